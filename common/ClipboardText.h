#pragma once
// The UTF-16 text of a clipboard memory block (CF_UNICODETEXT, which the
// system also makes of ANSI text), read no further than the block itself: a
// block whose text lacks its closing NUL ends where the block ends; and the
// writing of text to the clipboard.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace mf {

inline std::wstring ClipboardBlockText(HANDLE data) {
  std::wstring text;
  const SIZE_T size = GlobalSize(data) / sizeof(wchar_t);
  if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data))) {
    text.assign(p, wcsnlen(p, size));
    GlobalUnlock(data);
  }
  return text;
}

// Puts the text on the clipboard as Unicode text (the system offers it to
// programs that read ANSI text too); false when the clipboard stayed closed.
inline bool SetClipboardText(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool placed = false;
  if (void* p = block ? GlobalLock(block) : nullptr) {
    std::memcpy(p, text.c_str(), bytes);
    GlobalUnlock(block);
    placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  }
  // The clipboard owns the block once it took it.
  if (!placed && block) GlobalFree(block);
  CloseClipboard();
  return placed;
}

}  // namespace mf
