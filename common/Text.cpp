#include "common/Text.h"

#include <windows.h>

namespace mf {

std::wstring LowerCase(std::wstring_view text) {
  std::wstring out(text);
  if (!out.empty()) CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

size_t FindNoCase(std::wstring_view text, std::wstring_view what, size_t from) {
  if (from > text.size()) return std::wstring_view::npos;
  std::wstring t = LowerCase(text.substr(from));
  std::wstring w = LowerCase(what);
  size_t p = t.find(w);
  return p == std::wstring::npos ? std::wstring_view::npos : p + from;
}

std::wstring TrimSpaces(std::wstring_view text) {
  size_t b = text.find_first_not_of(L' ');
  if (b == std::wstring_view::npos) return {};
  size_t e = text.find_last_not_of(L' ');
  return std::wstring(text.substr(b, e - b + 1));
}

std::wstring AsciiLowerText(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return out;
}

int HexDigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace mf
