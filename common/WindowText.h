#pragma once
// A window's text through the wide entry points: names and paths in any
// language pass unchanged (a window made through the ANSI ones converts).
#include <windows.h>

#include <string>

namespace mf {

inline std::wstring GetText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(n > 0 ? n : 0));
  return buf;
}

inline void SetText(HWND hwnd, const std::wstring& text) { SetWindowTextW(hwnd, text.c_str()); }

}  // namespace mf
