#pragma once
// Base of every window the program makes: one C++ object per window. The
// object travels in CreateWindowEx's creation data, is stored in
// GWLP_USERDATA at WM_NCCREATE and forgotten at WM_NCDESTROY.
#include <windows.h>

namespace mf {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Hwnd() const noexcept { return hwnd_; }

 protected:
  // Registers the class once per process; later calls only look it up.
  static void RegisterClassOnce(const char* className, UINT style, HBRUSH background,
                                HICON icon = nullptr, HCURSOR cursor = nullptr);
  // Creates the window for this object; false when the system refused.
  bool CreateFor(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                 int width, int height, HWND parent, HMENU menuOrId);

  // Every message of the window arrives here; the default is DefWindowProcA.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace mf
