#include "traylib/trayicon/NotifyIcon.h"

#include <atomic>

#include "traylib/AnsiText.h"

namespace sd {

namespace {
std::atomic<INotifyIconSeam*> g_seam{nullptr};
}  // namespace

INotifyIconSeam* SetNotifyIconSeam(INotifyIconSeam* seam) noexcept { return g_seam.exchange(seam); }

BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAA& data) {
  return Shell_NotifyIconA(message, &data);
}

BOOL NotifyIcon(DWORD message, const IconRecord& record) {
  NOTIFYICONDATAA data;
  ZeroMemory(&data, sizeof data);
  data.cbSize = record.cbSize;
  data.hWnd = record.hWnd;
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  data.uCallbackMessage = record.uCallbackMessage;
  data.hIcon = record.hIcon;
  ToAnsiField(record.szTip, data.szTip, sizeof data.szTip);
  data.dwState = record.dwState;
  data.dwStateMask = record.dwStateMask;
  ToAnsiField(record.szInfo, data.szInfo, sizeof data.szInfo);
  data.uTimeout = record.uTimeout;
  ToAnsiField(record.szInfoTitle, data.szInfoTitle, sizeof data.szInfoTitle);
  data.dwInfoFlags = record.dwInfoFlags;
  data.guidItem = record.guidItem;
  if (INotifyIconSeam* seam = g_seam.load()) return seam->NotifyIcon(message, data);
  return ShellNotifyIcon(message, data);
}

}  // namespace sd
