// The balloon's time-out timer and the messages it hears on its own window.
#include "traylib/subclass/MSubclass.h"
#include "traylib/tooltip/cToolTipOnDemand.h"

namespace sd {

namespace {
bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK; }
}  // namespace

// WM_MOUSEMOVE (512) to WM_MBUTTONDBLCLK (521), in ascending order.
void cToolTipOnDemand::AttachMouseMessages() {
  for (UINT msg = WM_MOUSEMOVE; msg <= WM_MBUTTONDBLCLK; ++msg)
    MSubclass::AttachMessage(this, tooltip_, msg);
}

void cToolTipOnDemand::DetachMouseMessages() noexcept {
  for (UINT msg = WM_MOUSEMOVE; msg <= WM_MBUTTONDBLCLK; ++msg)
    MSubclass::DetachMessage(this, tooltip_, msg);
}

void cToolTipOnDemand::StartTimer(LONG periodMs) {
  if (timerRunning_ || periodMs == 0 || !tooltip_) return;
  timerId_ = kBalloonTimeoutTimerId;
  timerRunning_ = SetTimer(tooltip_, timerId_, static_cast<UINT>(periodMs), nullptr) != 0;
  if (!timerRunning_) return;
  try {
    MSubclass::AttachMessage(this, tooltip_, WM_TIMER);
  } catch (...) {
    // A timer nobody hears must not keep running.
    KillTimer(tooltip_, timerId_);
    timerRunning_ = false;
    throw;
  }
}

void cToolTipOnDemand::StopTimer() {
  if (!timerRunning_) return;
  MSubclass::DetachMessage(this, tooltip_, WM_TIMER);
  KillTimer(tooltip_, timerId_);
  timerRunning_ = false;
}

// After a time-out the object holds no colours any more: a later Show on it
// uses the window's default colours.
void cToolTipOnDemand::OnTimeout() {
  Destroy();
  ForeColor(0);
  BackColor(0);
}

EMsgResponse cToolTipOnDemand::MsgResponse() {
  const UINT msg = MSubclass::CurrentMessage();
  if (msg == WM_TIMER || IsMouseMessage(msg)) return MsgResponseConsume;
  return MsgResponseCallOldBefore;
}

void cToolTipOnDemand::MsgResponse(EMsgResponse) {}

LRESULT cToolTipOnDemand::WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  // Whatever fails in here ends the handling quietly: this is a window procedure.
  try {
    const bool ours = tooltip_ && hwnd == tooltip_;
    if (ours && iMsg == WM_TIMER && wParam == kBalloonTimeoutTimerId) {
      OnTimeout();
    } else if (ours && IsMouseMessage(iMsg)) {
      // Consumed: the tooltip itself never sees a click on the balloon.
      if (events_) events_->MouseEvents(static_cast<LONG>(iMsg));
    } else {
      // Another window's message, or one of the tooltip's own timers: they
      // stay theirs.
      result = MSubclass::CallOldWindowProc(hwnd, iMsg, wParam, lParam);
    }
  } catch (...) {
    result = 0;
  }
  return result;
}

}  // namespace sd
