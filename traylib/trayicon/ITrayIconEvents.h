#pragma once
// The events of a notification-area icon, raised to whoever owns the icon
// object (the TrayIcon control passes them on to its host under the same names).
#include <windows.h>

namespace sd {

class ITrayIconEvents {
 public:
  // A button went down, up or double-clicked on the icon (WM_LBUTTONDOWN 513 to WM_MBUTTONDBLCLK
  // 521).
  virtual void TrayMouseEvent(LONG mouseEvent) = 0;
  // NIN_SELECT (1024) or NIN_KEYSELECT (1025).
  virtual void TrayKeyEvent(LONG keyEvent) = 0;
  // Movement tracking found a new middle of the icon, in screen pixels.
  virtual void TrayIconMoved(LONG x, LONG y) = 0;
  // NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT or NIN_BALLOONUSERCLICK (1026 to 1029).
  virtual void BalloonClick(LONG clickType) = 0;
  // The taskbar was re-created and the icon added again.
  virtual void TaskBarRecreated() = 0;

 protected:
  ~ITrayIconEvents() = default;
};

}  // namespace sd
