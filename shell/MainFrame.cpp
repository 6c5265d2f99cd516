#include "shell/MainFrame.h"

#include <algorithm>

#include "common/Dpi.h"
#include "shell/Program.h"
#include "shell/Resources.h"
#include "shell/WindowPlacement.h"

namespace mf {
namespace {

// The grid's place on the download page when the movie names no frame for it.
constexpr RECT kGridFallback{21, 177, 596, 359};
// A kept window is left where it was while this much of its title strip
// (pixels at 96 DPI) can still be taken with the mouse.
constexpr int kGrip = 120;
constexpr int kTitleHeight = 44;
constexpr int kResizeBorder = 5;

// DwmSetWindowAttribute(DWMWA_USE_IMMERSIVE_DARK_MODE), from Windows 10 20H1
// on; older systems have no dark title bars and dwmapi may be missing.
void SetDarkTitleBar(HWND window, bool dark) {
  constexpr DWORD kImmersiveDarkMode = 20;
  static const auto set = [] {
    using Fn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    return dwm ? reinterpret_cast<Fn>(
                     reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")))
               : nullptr;
  }();
  BOOL on = dark;
  if (set) set(window, kImmersiveDarkMode, &on, sizeof on);
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

RECT MainFrame::DefaultRect() {
  const int dpi = SystemDpi();
  const int w = ScaleFor(kWidth, dpi), h = ScaleFor(kHeight, dpi);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
            y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  return {x, y, x + w, y + h};
}

void MainFrame::SetUp() {
  HWND window = form_.Hwnd();
  dpi_ = 0;
  ApplyDpi(WindowDpi(window));
  RECT r{};
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, 0, 0, std::max<int>(Width(r), ScaleFor(kWidth, dpi_)),
               std::max<int>(Height(r), ScaleFor(kHeight, dpi_)),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RestorePlacement();
  ApplyLook();
  LayOutChildren();
}

void MainFrame::RestorePlacement() {
  std::optional<KeptPlacement> kept = LoadPlacement();
  if (!kept) return;
  HWND window = form_.Hwnd();
  // Moved first: a monitor of another DPI answers with WM_DPICHANGED, and
  // the kept size is then scaled from the DPI it was kept at to that one.
  SetWindowPos(window, nullptr, kept->normal.left, kept->normal.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT r = kept->normal;
  r.right = r.left + std::max(MulDiv(Width(r), dpi_, kept->dpi), ScaleFor(kWidth, dpi_));
  r.bottom = r.top + std::max(MulDiv(Height(r), dpi_, kept->dpi), ScaleFor(kHeight, dpi_));
  MONITORINFO monitor{sizeof monitor};
  if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor))
    r = BringOntoWorkArea(r, monitor.rcWork, ScaleFor(kGrip, dpi_), ScaleFor(kTitleHeight, dpi_));
  SetWindowPos(window, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER | SWP_NOACTIVATE);
  maximizeAtShow_ = kept->maximized;
}

void MainFrame::Keep() const {
  HWND window = form_.Hwnd();
  WINDOWPLACEMENT wp{sizeof wp};
  if (!window || !GetWindowPlacement(window, &wp)) return;
  KeptPlacement kept;
  // The restored rectangle in screen pixels: the window's own while it is
  // neither maximized nor minimized. A placement counts from the primary
  // monitor's work area (GetWindowPlacement: workspace coordinates).
  if (IsZoomed(window) || IsIconic(window)) {
    kept.normal = wp.rcNormalPosition;
    MONITORINFO primary{sizeof primary};
    if (GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary))
      OffsetRect(&kept.normal, primary.rcWork.left, primary.rcWork.top);
  } else {
    GetWindowRect(window, &kept.normal);
  }
  kept.maximized = IsZoomed(window) || (IsIconic(window) && (wp.flags & WPF_RESTORETOMAXIMIZED));
  kept.dpi = dpi_;
  SavePlacement(kept);
  SaveColumnWidths(form_.App().gridView.UserColumnWidths());
}

bool MainFrame::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_NCCALCSIZE:
      result = 0;  // the rectangle unchanged: no frame, the movie is the whole window
      return true;
    case WM_NCHITTEST:
      result = HitTest({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return true;
    case WM_GETMINMAXINFO:
      LimitTracking(*reinterpret_cast<MINMAXINFO*>(lParam));
      result = 0;
      return true;
    case WM_SIZE:
      LayOutChildren();
      result = 0;
      return true;
    case WM_DPICHANGED: {
      // The system's suggestion keeps the window's place under the mouse.
      ApplyDpi(LOWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(form_.Hwnd(), nullptr, suggested->left, suggested->top, Width(*suggested),
                   Height(*suggested), SWP_NOZORDER | SWP_NOACTIVATE);
      result = 0;
      return true;
    }
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      ApplyLook();
      return false;
    default:
      return false;
  }
}

bool MainFrame::RunCommand(const std::wstring& command) {
  if (command == L"IDC_FS_Maximize") {
    ShowWindow(form_.Hwnd(), SW_MAXIMIZE);
    return true;
  }
  if (command == L"IDC_FS_Restore") {
    ShowWindow(form_.Hwnd(), SW_RESTORE);
    return true;
  }
  return false;
}

int MainFrame::BorderWidth() const {
  return std::max(ScaleFor(kResizeBorder, dpi_),
                  MetricForDpi(SM_CXSIZEFRAME, dpi_) + MetricForDpi(SM_CXPADDEDBORDER, dpi_));
}

LRESULT MainFrame::HitTest(POINT screen) const {
  HWND window = form_.Hwnd();
  RECT r{};
  if (IsZoomed(window) || !GetWindowRect(window, &r) || !PtInRect(&r, screen)) return HTCLIENT;
  const int b = BorderWidth();
  const bool left = screen.x < r.left + b, right = screen.x >= r.right - b;
  const bool top = screen.y < r.top + b, bottom = screen.y >= r.bottom - b;
  if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
  if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
  return left ? HTLEFT : right ? HTRIGHT : HTCLIENT;
}

bool MainFrame::OnResizeBorder(POINT screen) const { return HitTest(screen) != HTCLIENT; }

void MainFrame::LimitTracking(MINMAXINFO& info) const {
  info.ptMinTrackSize = {ScaleFor(kWidth, dpi_), ScaleFor(kHeight, dpi_)};
  // Maximized it fills the work area of its monitor, the taskbar left free.
  MONITORINFO monitor{sizeof monitor};
  if (!GetMonitorInfoW(MonitorFromWindow(form_.Hwnd(), MONITOR_DEFAULTTONEAREST), &monitor)) return;
  info.ptMaxPosition = {monitor.rcWork.left - monitor.rcMonitor.left,
                        monitor.rcWork.top - monitor.rcMonitor.top};
  info.ptMaxSize = {Width(monitor.rcWork), Height(monitor.rcWork)};
}

void MainFrame::ApplyDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  form_.Flash.SetDpi(dpi);
  form_.App().gridView.DownloadGrid.SetDpi(dpi);
  SetIcons();
  LayOutChildren();
}

void MainFrame::SetIcons() {
  HINSTANCE module = GetModuleHandleW(nullptr);
  auto load = [&](int size) {
    return static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(IDI_MARROWFIN), IMAGE_ICON, size, size, 0));
  };
  UniqueIcon big(load(MetricForDpi(SM_CXICON, dpi_)));
  UniqueIcon small(load(MetricForDpi(SM_CXSMICON, dpi_)));
  if (!big || !small) return;  // the class's icon stays
  HWND window = form_.Hwnd();
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  // The notification area shows small icons; the old one goes once replaced.
  form_.SysTray.SetIconHandle(small.get());
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

void MainFrame::UseSystemLook(ISystemLook& look) {
  look_ = &look;
  ApplyLook();
}

void MainFrame::ApplyLook() {
  const bool contrast = look_->HighContrast();
  const bool dark = !contrast && look_->DarkApps();
  form_.Flash.SetSystemColours(contrast);
  form_.App().gridView.UseSystemColours(contrast);
  form_.Flash.SetVariable(L"_root.darkTitle", dark ? L"1" : L"0");
  SetDarkTitleBar(form_.Hwnd(), dark);
}

void MainFrame::LayOutChildren() {
  HWND window = form_.Hwnd();
  RECT client{};
  if (!window || !GetClientRect(window, &client)) return;
  MoviePlayer& movie = form_.Flash;
  if (movie.Hwnd())
    SetWindowPos(movie.Hwnd(), nullptr, 0, 0, client.right, client.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  movie.SetVariable(L"_root.maximized", IsZoomed(window) ? L"1" : L"0");
  DownloadGridView& view = form_.App().gridView;
  HWND grid = view.DownloadGrid.Hwnd();
  if (!grid) return;
  // Inside the movie's frame, its one-pixel border left showing.
  const int frame = movie.FindElement(kGridFrame);
  RECT r = frame >= 0 ? movie.ElementRect(static_cast<size_t>(frame)) : RECT{};
  if (frame >= 0)
    InflateRect(&r, -1, -1);
  else
    r = {ScaleFor(kGridFallback.left, dpi_), ScaleFor(kGridFallback.top, dpi_),
         ScaleFor(kGridFallback.right, dpi_), ScaleFor(kGridFallback.bottom, dpi_)};
  SetWindowPos(grid, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER | SWP_NOACTIVATE);
  view.FitColumns();
}

}  // namespace mf
