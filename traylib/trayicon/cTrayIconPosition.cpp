// Where the icon is: the marker search of mTray around the icon's own tooltip.
#include "traylib/trayicon/cTrayIcon.h"
#include "traylib/trayicon/mTray.h"

namespace sd {

HWND cTrayIcon::SysTrayHWnd() const { return mTray::SysTrayHWnd(); }

RECT cTrayIcon::FindIconRect() {
  const std::wstring saved = toolTip_;
  SetTip(mTray::Marker());
  RECT rect{};
  try {
    rect = mTray::FindMarkedRect(mTray::Marker());
  } catch (...) {
    SetTip(saved);
    throw;
  }
  SetTip(saved);
  return rect;
}

void cTrayIcon::GetIconMiddle(LONG& x, LONG& y) {
  const RECT r = FindIconRect();
  middleX_ = mTray::Middle(r.left, r.right);
  middleY_ = mTray::Middle(r.top, r.bottom);
  x = middleX_;
  y = middleY_;
}

void cTrayIcon::GetIconRect(LONG& left, LONG& right, LONG& top, LONG& bottom) {
  const RECT r = FindIconRect();
  left = r.left;
  right = r.right;
  top = r.top;
  bottom = r.bottom;
}

}  // namespace sd
