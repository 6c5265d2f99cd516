#include "common/DoEvents.h"

#include <windows.h>

namespace mf {
namespace {
long long Ticks() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart;
}
}  // namespace

void DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

ThrottledYield::ThrottledYield(double intervalMs) noexcept {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  interval_ = static_cast<long long>(static_cast<double>(f.QuadPart) * intervalMs / 1000.0);
}

void ThrottledYield::operator()() {
  if (pumped_ && Ticks() - last_ < interval_) return;
  Now();
}

void ThrottledYield::Now() {
  DoEvents();
  pumped_ = true;
  // The interval counts from the end of the pump: handlers that ran in it
  // may have taken a while.
  last_ = Ticks();
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace mf
