#include "resolver/AddressText.h"

#include <windows.h>

namespace mf {
namespace {

bool IsPlainAddressByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

void AppendEscaped(std::wstring& out, unsigned char c) {
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  out += L'%';
  out += kHex[c >> 4];
  out += kHex[c & 0x0F];
}

}  // namespace

std::string AsciiLower(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::wstring AddressFromBytes(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (IsPlainAddressByte(c))
      out += static_cast<wchar_t>(c);
    else
      AppendEscaped(out, c);
  }
  return out;
}

std::wstring AddressForWire(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    wchar_t c = text[i];
    if (c >= 0x21 && c <= 0x7E) {
      out += c;
      ++i;
      continue;
    }
    // One character, or a surrogate pair, to UTF-8.
    int units =
        (IS_HIGH_SURROGATE(c) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
    char utf8[8];
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data() + i, units, utf8, sizeof utf8, nullptr,
                                nullptr);
    for (int k = 0; k < n; ++k) AppendEscaped(out, static_cast<unsigned char>(utf8[k]));
    i += static_cast<size_t>(units);
  }
  return out;
}

}  // namespace mf
