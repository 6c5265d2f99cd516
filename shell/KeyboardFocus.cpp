// The main window without a mouse: Tab moves the focus between the movie
// and the Download grid, the focus comes back where it was when the window
// is activated again (at first on the address field), and Alt with a letter
// reaches the movie's access keys from the grid as well.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "shell/frmMain.h"

namespace mf {
namespace {

constexpr wchar_t kAddressField[] = L"_root.video_url";

bool IsTabStop(HWND child) {
  return (GetWindowLongPtrA(child, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(child) &&
         IsWindowEnabled(child);
}

}  // namespace

bool frmMain::OnKeyboardMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_NEXTDLGCTL:
      // A control's Tab past its last stop (lParam FALSE: wParam says backwards).
      MoveFocusByTab(wParam != 0);
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Hwnd(), focus)) lastFocus_ = focus;
        return false;
      }
      if (HIWORD(wParam)) return false;  // minimised: nothing takes the keys
      RestoreFocus();
      return true;
    case WM_SETFOCUS:
      RestoreFocus();
      return true;
    case WM_SYSCHAR:
      return Flash.PressAccessKey(static_cast<wchar_t>(wParam));
    default:
      return false;
  }
}

void frmMain::RestoreFocus() {
  HWND to = lastFocus_;
  if (!to || !IsChild(Hwnd(), to) || !IsWindowVisible(to) || !IsWindowEnabled(to)) {
    HWND field = Flash.FieldWindow(kAddressField);
    to = field && IsWindowVisible(field) ? field : Flash.Hwnd();
  }
  if (to) SetFocus(to);
}

void frmMain::MoveFocusByTab(bool backwards) {
  std::vector<HWND> stops;
  for (HWND child = GetWindow(Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsTabStop(child)) stops.push_back(child);
  if (stops.empty()) return;
  // The child of this window that holds the focus, maybe through its own child.
  HWND from = GetFocus();
  while (from && GetParent(from) != Hwnd()) from = GetParent(from);
  auto at = std::find(stops.begin(), stops.end(), from);
  const size_t n = stops.size();
  size_t next = backwards ? n - 1 : 0;
  if (at != stops.end()) {
    const size_t here = static_cast<size_t>(at - stops.begin());
    next = backwards ? (here + n - 1) % n : (here + 1) % n;
  }
  if (stops[next] == from) return;  // the only stop: it goes round its own
  if (stops[next] == Flash.Hwnd())
    Flash.EnterFocus(backwards);
  else
    SetFocus(stops[next]);
}

}  // namespace mf
