#include "shell/frmMenu.h"

namespace mf {

void frmMenu::Load() {
  if (IsLoaded()) return;
  RegisterClassOnce(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE));
  // Never shown: created without WS_VISIBLE.
  if (!CreateFor(WS_EX_TOOLWINDOW, kClassName, "frmMenu", WS_OVERLAPPED | WS_CAPTION, 0, 0, 240,
                 90, nullptr, nullptr))
    return;
  label_ = CreateWindowExA(0, "STATIC", kLabelText, WS_CHILD | WS_VISIBLE, 8, 8, 220, 40, Hwnd(),
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

void frmMenu::Unload() {
  if (IsLoaded()) DestroyWindow(Hwnd());
  label_ = nullptr;
}

}  // namespace mf
