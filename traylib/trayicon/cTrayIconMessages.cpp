// The icon's timers and the messages it hears on its owner window.
#include "traylib/subclass/MSubclass.h"
#include "traylib/trayicon/cTrayIcon.h"

namespace sd {

// Both timers tick as WM_TIMER on the owner window. The engine takes a client
// only once per message, so WM_TIMER stays attached while either timer runs.
void cTrayIcon::StartBalloonTimer(LONG periodMs) {
  if (!owner_ || balloonTimerRunning_ || periodMs == 0) return;
  balloonTimerId_ = kBalloonTimerId;
  balloonTimerRunning_ =
      SetTimer(owner_, balloonTimerId_, static_cast<UINT>(periodMs), nullptr) != 0;
  if (!balloonTimerRunning_ || trackingTimerRunning_) return;
  try {
    MSubclass::AttachMessage(this, owner_, WM_TIMER);
  } catch (...) {
    // A timer nobody hears must not keep running.
    KillTimer(owner_, balloonTimerId_);
    balloonTimerRunning_ = false;
    throw;
  }
}

void cTrayIcon::StopBalloonTimer() {
  if (!owner_ || !balloonTimerRunning_) return;
  if (!trackingTimerRunning_) MSubclass::DetachMessage(this, owner_, WM_TIMER);
  KillTimer(owner_, balloonTimerId_);
  balloonTimerRunning_ = false;
}

void cTrayIcon::StartTrackingTimer() {
  if (!owner_ || trackingTimerRunning_) return;
  trackingTimerId_ = kTrackingTimerId;
  trackingTimerRunning_ =
      SetTimer(owner_, trackingTimerId_, static_cast<UINT>(trackInterval_), nullptr) != 0;
  if (!trackingTimerRunning_ || balloonTimerRunning_) return;
  try {
    MSubclass::AttachMessage(this, owner_, WM_TIMER);
  } catch (...) {
    KillTimer(owner_, trackingTimerId_);
    trackingTimerRunning_ = false;
    throw;
  }
}

void cTrayIcon::StopTrackingTimer() {
  if (!owner_ || !trackingTimerRunning_) return;
  if (!balloonTimerRunning_) MSubclass::DetachMessage(this, owner_, WM_TIMER);
  KillTimer(owner_, trackingTimerId_);
  trackingTimerRunning_ = false;
}

EMsgResponse cTrayIcon::MsgResponse() {
  const UINT msg = MSubclass::CurrentMessage();
  if (msg == kTrayCallbackMessage || msg == WM_TIMER ||
      (taskbarCreatedMessage_ && msg == taskbarCreatedMessage_))
    return MsgResponseConsume;
  return MsgResponseCallOldBefore;
}

void cTrayIcon::MsgResponse(EMsgResponse) {}

LRESULT cTrayIcon::WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  // Whatever fails in here ends the handling quietly: this is a window procedure.
  try {
    if (iMsg == WM_TIMER && hwnd == owner_ && wParam == kBalloonTimerId) {
      BalloonTipClose();
    } else if (iMsg == WM_TIMER && hwnd == owner_ && wParam == kTrackingTimerId) {
      OnTimer(wParam);
    } else if (iMsg == kTrayCallbackMessage && hwnd == owner_) {
      result = OnCallback(hwnd, iMsg, wParam, lParam);
    } else if (taskbarCreatedMessage_ && iMsg == taskbarCreatedMessage_) {
      OnTaskbarCreated();
    } else {
      result = MSubclass::CallOldWindowProc(hwnd, iMsg, wParam, lParam);
    }
  } catch (...) {
  }
  return result;
}

void cTrayIcon::OnTimer(UINT_PTR) {
  LONG x = 0, y = 0;
  GetIconMiddle(x, y);
  if (x == reportedX_ && y == reportedY_) return;
  reportedX_ = x;
  reportedY_ = y;
  if (events_) events_->TrayIconMoved(x, y);
}

LRESULT cTrayIcon::OnCallback(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) {
  const LONG code = static_cast<LONG>(lParam);
  if (code >= WM_LBUTTONDOWN && code <= WM_MBUTTONDBLCLK) {
    StopBalloonTimer();
    if (events_) events_->TrayMouseEvent(code);
  } else if (code == NIN_SELECT || code == NIN_KEYSELECT) {
    if (events_) events_->TrayKeyEvent(code);
  } else if (code == NIN_BALLOONSHOW || code == NIN_BALLOONHIDE) {
    if (events_) events_->BalloonClick(code);
  } else if (code == NIN_BALLOONTIMEOUT || code == NIN_BALLOONUSERCLICK) {
    StopBalloonTimer();
    if (events_) events_->BalloonClick(code);
  } else {
    // Mouse movement (and anything else) is not an event.
    return MSubclass::CallOldWindowProc(hwnd, iMsg, wParam, lParam);
  }
  return 0;
}

// The new taskbar knows nothing of the icon: it is added again, with its image
// and tooltip, for the same owner.
void cTrayIcon::OnTaskbarCreated() {
  const HWND owner = owner_;
  const HICON icon = icon_;
  const std::wstring tip = toolTip_;
  Create(owner, icon, tip);
  if (events_) events_->TaskBarRecreated();
}

}  // namespace sd
