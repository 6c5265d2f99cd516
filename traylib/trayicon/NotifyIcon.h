#pragma once
// The icon record and the one door through which the library calls
// Shell_NotifyIconA. A test may put a seam in that door to watch (or take)
// every call; without one the shell's own function is called.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace sd {

// NOTIFYICONDATA as the icon object keeps it, with its texts as text. The
// texts are converted to the ANSI code page only for each call.
struct IconRecord {
  DWORD cbSize = 0;
  HWND hWnd = nullptr;
  UINT uID = 0;
  UINT uFlags = 0;
  UINT uCallbackMessage = 0;
  HICON hIcon = nullptr;
  std::wstring szTip;
  DWORD dwState = 0;
  DWORD dwStateMask = 0;
  std::wstring szInfo;
  UINT uTimeout = 0;
  std::wstring szInfoTitle;
  DWORD dwInfoFlags = 0;
  GUID guidItem{};
};

// Record sizes by the shell's major version: 504, 488 and 88 bytes on 32-bit
// Windows; the same layouts are larger on 64-bit, where handles are 8 bytes.
inline constexpr DWORD kRecordSizeShell6 = NOTIFYICONDATAA_V3_SIZE;
inline constexpr DWORD kRecordSizeShell5 = NOTIFYICONDATAA_V2_SIZE;
inline constexpr DWORD kRecordSizeOlder = NOTIFYICONDATAA_V1_SIZE;
#ifndef _WIN64
static_assert(kRecordSizeShell6 == 504 && kRecordSizeShell5 == 488 && kRecordSizeOlder == 88);
#endif

class INotifyIconSeam {
 public:
  virtual BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA& data) = 0;

 protected:
  ~INotifyIconSeam() = default;
};

// Puts `seam` in the door (nullptr: the shell again); returns the previous one.
INotifyIconSeam* SetNotifyIconSeam(INotifyIconSeam* seam) noexcept;
// The shell's own Shell_NotifyIconA.
BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAA& data);
// Converts the record (the whole platform record zeroed first) and calls
// through the door. The result is the shell's; the library never looks at it.
BOOL NotifyIcon(DWORD message, const IconRecord& record);

}  // namespace sd
