// Prints where Marrowfin's main window is, for the desktop test that drives
// the program from outside: "left top right bottom visible", or "none".
#include <windows.h>

#include <cstdio>

int main() {
  HWND main = FindWindowA("MarrowfinMain", "Marrowfin");
  if (!main) {
    std::puts("none");
    return 1;
  }
  RECT r{};
  GetWindowRect(main, &r);
  std::printf("%ld %ld %ld %ld %d\n", r.left, r.top, r.right, r.bottom,
              IsWindowVisible(main) ? 1 : 0);
  return 0;
}
