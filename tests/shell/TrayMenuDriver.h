#pragma once
// Acts on the tray pop-up menu while its own modal loop runs: a thread timer
// finds the open menu window of this thread and lets the test look at it
// and choose an item with the keyboard, as a user would.
#include <windows.h>

#include <functional>
#include <vector>

namespace mf::test {

class TrayMenuDriver {
 public:
  // Called once when the menu is seen open; returns the keys to send to it.
  std::function<std::vector<WORD>(HWND menu)> onOpen;
  int opened = 0;

  TrayMenuDriver() {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 20, &TrayMenuDriver::Tick);
  }
  ~TrayMenuDriver() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  TrayMenuDriver(const TrayMenuDriver&) = delete;
  TrayMenuDriver& operator=(const TrayMenuDriver&) = delete;

  // The visible pop-up menu window of this thread, or null.
  static HWND OpenMenu() {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, MAKEINTATOM(0x8000), nullptr)) != nullptr)
      if (IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId())
        return w;
    return nullptr;
  }

  // Keys that choose the n-th item that is not a separator (from 0), and
  // the key that closes the menu without a choice.
  static std::vector<WORD> Choose(int n) {
    std::vector<WORD> keys(static_cast<size_t>(n) + 1, VK_DOWN);
    keys.push_back(VK_RETURN);
    return keys;
  }
  static std::vector<WORD> Close() { return {VK_ESCAPE}; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    TrayMenuDriver* self = current_;
    if (!self) return;
    HWND menu = OpenMenu();
    if (!menu) self->handled_ = nullptr;  // closed: the next one is new
    if (!menu || self->handled_ == menu) return;
    self->handled_ = menu;
    ++self->opened;
    std::vector<WORD> keys = self->onOpen ? self->onOpen(menu) : Close();
    for (WORD key : keys) {
      PostMessageA(menu, WM_KEYDOWN, key, 1);
      PostMessageA(menu, WM_KEYUP, key, 0xC0000001);
    }
  }
  static inline TrayMenuDriver* current_ = nullptr;
  UINT_PTR timer_ = 0;
  HWND handled_ = nullptr;
};

}  // namespace mf::test
