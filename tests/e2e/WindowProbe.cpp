// Tells the desktop test, which drives the program from outside, what it
// cannot see from there:
//   window_probe          where Marrowfin's main window is: "left top right bottom visible"
//   window_probe grid     where its Download grid is: "left top right bottom"
//   window_probe taskbar  broadcasts "TaskbarCreated", as a re-created taskbar does
//   window_probe kill     ends Marrowfin with TerminateProcess: "killed" once it is gone
//   window_probe msaa     what a screen reader reads, through MSAA from this other
//                         process: "window|enabled" or "window|disabled", then one line
//                         per grid row "row|name|value|state" and per movie button
//                         "button|name|role|state" (states in hex)
// and "none" when there is no main window.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

BOOL CALLBACK FindGrid(HWND child, LPARAM found) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  if (std::strcmp(name, "DataGridWindow") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

BOOL CALLBACK FindMovie(HWND child, LPARAM found) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  if (std::strcmp(name, "MarrowfinMoviePlayer") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

std::string Utf8(BSTR text) {
  if (!text) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  SysFreeString(text);
  return out;
}

// Each child of the window's client object: "kind|name|value or role|state".
int PrintChildren(HWND window, const char* kind, bool values) {
  IAccessible* object = nullptr;
  if (!window || FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                                   reinterpret_cast<void**>(&object))))
    return 1;
  long count = 0;
  object->get_accChildCount(&count);
  for (long i = 1; i <= count; ++i) {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = i;
    BSTR name = nullptr, value = nullptr;
    VARIANT role{}, state{};
    object->get_accName(child, &name);
    object->get_accRole(child, &role);
    object->get_accState(child, &state);
    std::string second = values && SUCCEEDED(object->get_accValue(child, &value))
                             ? Utf8(value)
                             : std::to_string(role.lVal);
    std::printf("%s|%s|%s|%lx\n", kind, Utf8(name).c_str(), second.c_str(), state.lVal);
  }
  object->Release();
  return 0;
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
  if (argc > 1 && std::strcmp(argv[1], "msaa") == 0) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND grid = nullptr, movie = nullptr;
    EnumChildWindows(main, FindGrid, reinterpret_cast<LPARAM>(&grid));
    EnumChildWindows(main, FindMovie, reinterpret_cast<LPARAM>(&movie));
    // A disabled window has a modal dialog over it.
    std::printf("window|%s\n", IsWindowEnabled(main) ? "enabled" : "disabled");
    const int failed = PrintChildren(grid, "row", true) | PrintChildren(movie, "button", false);
    std::puts(failed ? "unreadable" : "end");
    CoUninitialize();
    return failed;
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
