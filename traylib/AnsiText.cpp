#include "traylib/AnsiText.h"

#include <windows.h>

#include <algorithm>

namespace sd {

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
