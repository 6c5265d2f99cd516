#include "common/Dpi.h"

namespace mf {
namespace {

// The user32 entry points of Windows 10, null on older systems.
struct DpiApi {
  UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
  UINT(WINAPI* dpiForSystem)() = nullptr;
  int(WINAPI* metricsForDpi)(int, UINT) = nullptr;

  DpiApi() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    Load(user32, "GetDpiForWindow", dpiForWindow);
    Load(user32, "GetDpiForSystem", dpiForSystem);
    Load(user32, "GetSystemMetricsForDpi", metricsForDpi);
  }
  template <typename F>
  static void Load(HMODULE module, const char* name, F& out) {
    out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

const DpiApi& Api() {
  static const DpiApi api;
  return api;
}

int ScreenDcDpi() {
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : kDefaultDpi;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

int SystemDpi() {
  if (Api().dpiForSystem) {
    UINT dpi = Api().dpiForSystem();
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return ScreenDcDpi();
}

int WindowDpi(HWND window) {
  if (window && Api().dpiForWindow) {
    UINT dpi = Api().dpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int MetricForDpi(int index, int dpi) {
  if (Api().metricsForDpi) return Api().metricsForDpi(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

HFONT ScaledFont(HGDIOBJ systemFont, int dpi) {
  LOGFONTW lf{};
  if (!GetObjectW(systemFont, sizeof lf, &lf)) return nullptr;
  lf.lfHeight = MulDiv(lf.lfHeight, dpi, SystemDpi());
  return CreateFontIndirectW(&lf);
}

}  // namespace mf
