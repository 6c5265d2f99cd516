#pragma once
// A window's text through the ANSI entry points, held as UTF-16.
#include <windows.h>

#include <string>

#include "common/Text.h"

namespace mf {

inline std::wstring GetText(HWND hwnd) {
  int n = GetWindowTextLengthA(hwnd);
  if (n <= 0) return {};
  std::string buf(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(hwnd, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(n > 0 ? n : 0));
  return FromAnsi(buf);
}

inline void SetText(HWND hwnd, const std::wstring& text) {
  SetWindowTextA(hwnd, ToAnsi(text).c_str());
}

}  // namespace mf
