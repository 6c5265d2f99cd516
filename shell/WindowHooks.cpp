// The two window hooks: the movie's own context menu never opens, and the
// mouse wheel scrolls the Download grid one row per message.
#include <windows.h>

#include <cctype>
#include <string>

#include "controls/player/MoviePlayer.h"
#include "shell/Program.h"

namespace mf {
namespace {

// The hook procedures are plain window procedures: each hooked window
// carries its main window's object in this property.
constexpr char kHookOwner[] = "MarrowfinHookOwner";

constexpr UINT kContextMenuKey = 0x5D;  // VK_APPS

frmMain* HookOwner(HWND hwnd) { return static_cast<frmMain*>(GetPropA(hwnd, kHookOwner)); }

}  // namespace

HWND frmMain::FindFlashWindow() const {
  // Our player's class stands where the vendor's player class would.
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string wanted = lower(MoviePlayer::kClassName);
  for (HWND child = GetWindow(Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[250] = {};
    int n = GetClassNameA(child, name, sizeof name);
    if (lower(std::string(name, n > 0 ? static_cast<size_t>(n) : 0)).find(wanted) !=
        std::string::npos)
      return child;
  }
  return nullptr;
}

void frmMain::StartHook() {
  flashWindow_ = FindFlashWindow();
  if (flashWindow_) HookFlashWindow(flashWindow_);
  HookMainWindow(Hwnd());
}

void frmMain::StopHook() {
  HWND flash = FindFlashWindow();
  if (flash && previousFlashProc_) {
    SetWindowLongPtrA(flash, GWLP_WNDPROC, previousFlashProc_);
    RemovePropA(flash, kHookOwner);
    previousFlashProc_ = 0;
  }
  if (Hwnd() && previousMainProc_) {
    SetWindowLongPtrA(Hwnd(), GWLP_WNDPROC, previousMainProc_);
    RemovePropA(Hwnd(), kHookOwner);
    previousMainProc_ = 0;
  }
  flashWindow_ = nullptr;
}

void frmMain::HookFlashWindow(HWND window) {
  SetPropA(window, kHookOwner, this);
  previousFlashProc_ =
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FlashWindowProc));
}

void frmMain::HookMainWindow(HWND window) {
  SetPropA(window, kHookOwner, this);
  previousMainProc_ =
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindowProc));
}

LRESULT CALLBACK frmMain::FlashWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if ((msg == WM_KEYDOWN && wParam == kContextMenuKey) || msg == WM_RBUTTONDOWN)
    msg = WM_NULL;  // parameters unchanged
  frmMain* form = HookOwner(hwnd);
  // The window's resizing border lies over the movie's edges: the mouse
  // there belongs to the window.
  if (msg == WM_NCHITTEST && form &&
      form->Frame.OnResizeBorder(
          {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}))
    return HTTRANSPARENT;
  LONG_PTR previous = form ? form->previousFlashProc_ : 0;
  if (!previous) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return CallWindowProcA(reinterpret_cast<WNDPROC>(previous), hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK frmMain::MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  frmMain* form = HookOwner(hwnd);
  if (form && msg == WM_MOUSEWHEEL && form->app_.gridView.IsGridActive()) {
    if (static_cast<short>(HIWORD(wParam)) >= 0)
      form->ScrollDown();
    else
      form->ScrollUp();
  }
  LONG_PTR previous = form ? form->previousMainProc_ : 0;
  if (!previous) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return CallWindowProcA(reinterpret_cast<WNDPROC>(previous), hwnd, msg, wParam, lParam);
}

void frmMain::ScrollUp() { app_.gridView.ScrollUp(); }
void frmMain::ScrollDown() { app_.gridView.ScrollDown(); }

}  // namespace mf
