#include "tests/monitor/MonitorSupport.h"

#include <cstring>

#include "tests/support/Wait.h"
#include "tests/support/TestProgram.h"

namespace mf::test {

namespace {
// Another program (the watcher, the desktop's clipboard bridge) may hold the
// clipboard for a moment.
bool OpenTheClipboard() {
  return PumpUntil([] { return OpenClipboard(nullptr) != FALSE; }, 3000);
}
}  // namespace

bool PutOnClipboard(const std::string& text) {
  if (!OpenTheClipboard()) return false;
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  bool ok = false;
  if (mem) {
    std::memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
    GlobalUnlock(mem);
    ok = SetClipboardData(CF_TEXT, mem) != nullptr;
    if (!ok) GlobalFree(mem);
  }
  CloseClipboard();
  return ok;
}

bool PutBitmapOnClipboard() {
  if (!OpenTheClipboard()) return false;
  EmptyClipboard();
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
  ReleaseDC(nullptr, screen);
  bool ok = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
  CloseClipboard();
  return ok;
}

namespace {
BOOL CALLBACK FindBalloon(HWND w, LPARAM param) {
  auto* found = reinterpret_cast<std::pair<DWORD, bool>*>(param);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == found->first && IsWindowVisible(w) && std::strcmp(cls, "tooltips_class32") == 0)
    found->second = true;
  return TRUE;
}
}  // namespace

bool TaskbarBalloonShown() {
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  if (!taskbar) return false;
  std::pair<DWORD, bool> found{0, false};
  GetWindowThreadProcessId(taskbar, &found.first);
  EnumWindows(FindBalloon, reinterpret_cast<LPARAM>(&found));
  return found.second;
}

bool CreateTrayIcon(frmMain& form) {
  Controls(form).SysTray.SetIconHandle(
      reinterpret_cast<HICON>(GetClassLongPtrA(form.Hwnd(), GCLP_HICON)));
  return Controls(form).SysTray.Create(form.Hwnd());
}

void ClearSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin"); }

}  // namespace mf::test
