#pragma once
// The text of a clipboard memory block, read no further than the block
// itself: a block whose text lacks its closing NUL ends where the block ends.
#include <windows.h>

#include <cstring>
#include <string>

namespace mf {

inline std::string ClipboardBlockText(HANDLE data) {
  std::string text;
  const SIZE_T size = GlobalSize(data);
  if (const char* p = static_cast<const char*>(GlobalLock(data))) {
    text.assign(p, strnlen(p, size));
    GlobalUnlock(data);
  }
  return text;
}

}  // namespace mf
