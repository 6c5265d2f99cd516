// Tells the desktop test, which drives the program from outside, what it
// cannot see from there:
//   window_probe          where Marrowfin's main window is: "left top right bottom visible"
//   window_probe grid     where its Download grid is: "left top right bottom"
//   window_probe taskbar  broadcasts "TaskbarCreated", as a re-created taskbar does
//   window_probe kill     ends Marrowfin with TerminateProcess: "killed" once it is gone
// and "none" when there is no main window.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

BOOL CALLBACK FindGrid(HWND child, LPARAM found) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  if (std::strcmp(name, "DataGridWindow") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "taskbar") == 0) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 10000, &answer);
    std::puts("sent");
    return 0;
  }
  HWND main = FindWindowA("MarrowfinMain", "Marrowfin");
  if (!main) {
    std::puts("none");
    return 1;
  }
  if (argc > 1 && std::strcmp(argv[1], "kill") == 0) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    const bool gone = process && TerminateProcess(process, 9) &&
                      WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    if (process) CloseHandle(process);
    std::puts(gone ? "killed" : "alive");
    return gone ? 0 : 1;
  }
  RECT r{};
  if (argc > 1 && std::strcmp(argv[1], "grid") == 0) {
    HWND grid = nullptr;
    EnumChildWindows(main, FindGrid, reinterpret_cast<LPARAM>(&grid));
    if (!grid) {
      std::puts("none");
      return 1;
    }
    GetWindowRect(grid, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  GetWindowRect(main, &r);
  std::printf("%ld %ld %ld %ld %d\n", r.left, r.top, r.right, r.bottom,
              IsWindowVisible(main) ? 1 : 0);
  return 0;
}
