#include "traylib/AnsiText.h"

#include <windows.h>

#include <algorithm>

namespace sd {

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring FromAnsi(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

void ToAnsiField(const std::wstring& text, char* field, size_t size) {
  if (size == 0) return;
  std::string ansi = ToAnsi(text);
  size_t keep = std::min(ansi.size(), size - 1);
  if (keep < ansi.size()) {
    // Do not leave the lead byte of a double-byte character without its trail byte.
    size_t i = 0;
    while (i < keep) i += IsDBCSLeadByte(static_cast<BYTE>(ansi[i])) ? 2 : 1;
    if (i > keep) keep = i - 2;
  }
  ansi.copy(field, keep);
  field[keep] = '\0';
}

}  // namespace sd
