// Yielding to the message loop.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/DoEvents.h"

namespace {

struct Counter {
  HWND hwnd;
  int seen = 0;
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) ++reinterpret_cast<Counter*>(GetWindowLongPtrA(h, GWLP_USERDATA))->seen;
    return DefWindowProcA(h, m, w, l);
  }
  Counter() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DoEventsTestCounter";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Counter() { DestroyWindow(hwnd); }
  void Post() { PostMessageA(hwnd, WM_APP, 0, 0); }
};

TEST(DoEvents, DispatchesEverythingWaitingAndKeepsAQuitForTheOuterLoop) {
  Counter c;
  c.Post();
  c.Post();
  PostQuitMessage(7);
  mf::DoEvents();
  EXPECT_EQ(c.seen, 2);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
