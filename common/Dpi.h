#pragma once
// Display scale. The program is per-monitor aware (its manifest says so):
// every length it draws is given at 96 dots per inch and scaled to the DPI
// of the monitor its window is on. The per-monitor calls exist from
// Windows 10 on and are looked up at run time; older systems get the
// system DPI, which is what they scale by.
#include <windows.h>

namespace mf {

constexpr int kDefaultDpi = 96;

// A length at 96 DPI as pixels at `dpi`; ScaleRectFor scales each edge, so
// neighbouring rectangles stay neighbours.
constexpr int ScaleFor(int pixels96, int dpi) noexcept {
  // MulDiv's rounding (half away from zero), usable at compile time.
  const long long n = static_cast<long long>(pixels96) * dpi;
  return static_cast<int>(n >= 0 ? (n + kDefaultDpi / 2) / kDefaultDpi
                                 : -((-n + kDefaultDpi / 2) / kDefaultDpi));
}

// The DPI of the screen as a whole (GetDpiForSystem, else the screen DC's).
int SystemDpi();
// The DPI of the monitor a window is on (GetDpiForWindow); the system DPI
// where the system cannot tell, and for no window.
int WindowDpi(HWND window);
// GetSystemMetricsForDpi, else GetSystemMetrics scaled from the system DPI.
int MetricForDpi(int index, int dpi);
// A font the system made for the system DPI (a stock font), remade for `dpi`.
HFONT ScaledFont(HGDIOBJ systemFont, int dpi);

}  // namespace mf
