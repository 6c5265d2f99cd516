#pragma once
// The main window's frame. The movie draws the caption, so the window has
// no system one; the frame gives it what a window of today has besides: a
// border to resize it by (never below its first size), maximizing, the DPI
// of its monitor (WM_DPICHANGED), the system's colours under high contrast,
// a dark title bar where Windows uses dark apps, and its place kept between
// runs.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace mf {

class frmMain;

// What the system says about the look of windows. A showcase may answer in
// its place (Wine never reports high contrast).
class ISystemLook {
 public:
  virtual ~ISystemLook() = default;
  virtual bool HighContrast() = 0;  // SPI_GETHIGHCONTRAST
  virtual bool DarkApps() = 0;      // Personalize\AppsUseLightTheme = 0
};
ISystemLook& SystemLook();

class MainFrame {
 public:
  // The first size at 96 DPI, which is also the least.
  static constexpr int kWidth = 630;
  static constexpr int kHeight = 535;
  static constexpr DWORD kStyle =
      WS_POPUP | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU | WS_CLIPCHILDREN;
  // The movie's element the Download grid covers.
  static constexpr wchar_t kGridFrame[] = L"list-frame";

  explicit MainFrame(frmMain& form) : form_(form) {}
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // Where the window is made: centred on the primary monitor, at its DPI.
  static RECT DefaultRect();
  // With the movie loaded: DPI, look, the kept place (the window stays hidden).
  void SetUp();
  // How the window is first shown: maximized when it was so at the end.
  int ShowCommand() const { return maximizeAtShow_ ? SW_SHOWMAXIMIZED : SW_SHOW; }
  // At shutdown: the place, size and the column widths the user chose.
  void Keep() const;

  bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The movie's window commands; false for every other command.
  bool RunCommand(const std::wstring& command);
  // The screen point is on the resizing border, which the movie lets through.
  bool OnResizeBorder(POINT screen) const;
  void UseSystemLook(ISystemLook& look);
  int Dpi() const noexcept { return dpi_; }

 private:
  void ApplyDpi(int dpi);
  void ApplyLook();
  void LayOutChildren();
  void SetIcons();
  void RestorePlacement();
  LRESULT HitTest(POINT screen) const;
  void LimitTracking(MINMAXINFO& info) const;
  int BorderWidth() const;

  frmMain& form_;
  ISystemLook* look_ = &SystemLook();
  int dpi_ = 96;
  bool maximizeAtShow_ = false;
  UniqueIcon bigIcon_, smallIcon_;
};

}  // namespace mf
