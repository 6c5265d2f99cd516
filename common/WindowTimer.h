#pragma once
// A window timer that is switched on and off like a timer control: it belongs
// to one window and one id, and its ticks arrive there as WM_TIMER.
#include <windows.h>

namespace mf {

class WindowTimer {
 public:
  WindowTimer(UINT_PTR id, UINT intervalMs) noexcept : id_(id), interval_(intervalMs) {}
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;
  ~WindowTimer() { SetEnabled(false); }

  void Attach(HWND owner) noexcept { owner_ = owner; }
  UINT_PTR Id() const noexcept { return id_; }
  UINT Interval() const noexcept { return interval_; }
  bool Enabled() const noexcept { return enabled_; }

  void SetEnabled(bool on) noexcept {
    if (!owner_) return;
    if (on) {
      // Re-arming restarts the period, as enabling a stopped timer does.
      enabled_ = SetTimer(owner_, id_, interval_, nullptr) != 0;
    } else if (enabled_) {
      KillTimer(owner_, id_);
      enabled_ = false;
    }
  }

 private:
  UINT_PTR id_;
  UINT interval_;
  HWND owner_ = nullptr;
  bool enabled_ = false;
};

}  // namespace mf
