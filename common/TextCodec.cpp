#include "common/TextCodec.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace mf {
namespace {

// MultiByteToWideChar counts in int; longer input goes in pieces that end on
// a character boundary of the code pages used here (UTF-8 lead bytes).
std::wstring Convert(unsigned codePage, DWORD flags, std::string_view bytes, bool& ok) {
  std::wstring out;
  ok = true;
  while (!bytes.empty()) {
    size_t piece = std::min<size_t>(bytes.size(), INT_MAX / 2);
    if (piece < bytes.size() && codePage == kCodePageUtf8)
      while (piece > 1 && (static_cast<unsigned char>(bytes[piece]) & 0xC0) == 0x80) --piece;
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(piece), nullptr, 0);
    if (n <= 0) {
      ok = false;
      return out;
    }
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(piece), out.data() + at, n);
    bytes.remove_prefix(piece);
  }
  return out;
}

std::wstring FromUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring out(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    auto a = static_cast<unsigned char>(bytes[2 * i]),
         b = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = static_cast<wchar_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  return out;
}

}  // namespace

std::optional<std::wstring> FromUtf8Strict(std::string_view bytes) {
  bool ok = false;
  std::wstring out = Convert(kCodePageUtf8, MB_ERR_INVALID_CHARS, bytes, ok);
  if (!ok) return std::nullopt;
  return out;
}

bool CanDecode(unsigned codePage) {
  return codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be ||
         IsValidCodePage(codePage) != FALSE;
}

std::wstring FromCodePage(unsigned codePage, std::string_view bytes) {
  if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be)
    return FromUtf16(bytes, codePage == kCodePageUtf16Be);
  if (!CanDecode(codePage)) codePage = kCodePageUtf8;
  bool ok = false;
  return Convert(codePage, 0, bytes, ok);
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  while (!text.empty()) {
    size_t piece = std::min<size_t>(text.size(), INT_MAX / 4);
    if (piece < text.size() && IS_LOW_SURROGATE(text[piece])) --piece;
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(piece), nullptr, 0,
                                nullptr, nullptr);
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(std::max(n, 0)));
    if (n > 0)
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(piece), out.data() + at, n,
                          nullptr, nullptr);
    text.remove_prefix(piece);
  }
  return out;
}

}  // namespace mf
