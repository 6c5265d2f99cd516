// The front end: the window, movie and grid set-up, and the movie's commands.
#include <windows.h>

#include <string>

#include "common/AppInfo.h"
#include "common/AppPath.h"
#include "common/AppVersion.h"
#include "common/Platform.h"
#include "resolver/SiteId.h"
#include "shell/Program.h"
#include "shell/WindowPlacement.h"

namespace mf {
namespace {

constexpr wchar_t kVideoUrl[] = L"_root.video_url";
constexpr wchar_t kAboutSentence[] =
    L"Marrowfin is an easy to use program to download video files from Google,youtube, and "
    L"other video sharing sites to your PC.";

// The limits' commands of the settings page: a value stepped up (+1) or down (-1).
struct StepRoute {
  const wchar_t* name;
  Settings::Step value;
  int direction;
};
constexpr StepRoute kStepCommands[] = {
    {L"ID_FS_simultaneousLess", Settings::Step::Simultaneous, -1},
    {L"ID_FS_simultaneousMore", Settings::Step::Simultaneous, +1},
    {L"ID_FS_connectionsLess", Settings::Step::Connections, -1},
    {L"ID_FS_connectionsMore", Settings::Step::Connections, +1},
    {L"ID_FS_speedLimitLess", Settings::Step::SpeedLimit, -1},
    {L"ID_FS_speedLimitMore", Settings::Step::SpeedLimit, +1},
    {L"ID_FS_windowFromEarlier", Settings::Step::WindowFrom, -1},
    {L"ID_FS_windowFromLater", Settings::Step::WindowFrom, +1},
    {L"ID_FS_windowToEarlier", Settings::Step::WindowTo, -1},
    {L"ID_FS_windowToLater", Settings::Step::WindowTo, +1},
    {L"ID_FS_qualityLower", Settings::Step::VideoQuality, -1},
    {L"ID_FS_qualityHigher", Settings::Step::VideoQuality, +1},
};

// Leading and trailing spaces only, as the address field's check wants.
std::wstring TrimSpaces(const std::wstring& s) {
  size_t first = s.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L' ') - first + 1);
}

}  // namespace

std::wstring frmMain::AboutText() {
  AppVersion v = ProgramVersion();
  return L"Version " + std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L".0." +
         std::to_wstring(v.revision) + L"\r\n" + kAboutSentence;
}

void frmMain::SetUpFrontEnd() {
  // 1. The window's own icon in the notification area; no tooltip is passed.
  SysTray.SetIconHandle(reinterpret_cast<HICON>(GetClassLongPtrA(Hwnd(), GCLP_HICON)));
  SysTray.Create(Hwnd());
  // 2. The movie covers the window, in front of every other control.
  if (Flash.Hwnd())
    SetWindowPos(Flash.Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  // 4. A missing or unreadable movie leaves the window empty.
  Flash.LoadMovie(0, ProgramFolder() + L"\\Main.mfm");
  // 3, 5. The window at its DPI and kept place, with no frame: the movie fills
  // it, and the grid lies on the movie's frame of the download page, still
  // behind the movie.
  Frame.SetUp();
  app_.gridView.SetUserColumnWidths(LoadColumnWidths());
  // 6.
  app_.gridView.FormatDownloadGrid(true);
  // 7.
  SetFlashVariable(L"_root.aboutTxt", AboutText());
}

void frmMain::ShowDownloadGrid() {
  grid::Grid& grid = app_.gridView.DownloadGrid;
  if (!grid.Hwnd()) return;
  grid.SetVisible(true);
  grid.BringToFront();
}

void frmMain::HideDownloadGrid() {
  grid::Grid& grid = app_.gridView.DownloadGrid;
  if (grid.Hwnd()) grid.SetVisible(false);
}

void frmMain::DragMainWindow(HWND window) {
  // The window system moves the window with the mouse until the button is up.
  ReleaseCapture();
  SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void frmMain::AddDownloadURLFromMovie() {
  if (!TrimSpaces(Flash.GetVariable(kVideoUrl)).empty()) {
    if (GetSiteID(Flash.GetVariable(kVideoUrl)) == siteUnsupported) {
      Platform().ShowMessageBox(Hwnd(), L"This is bad or unsupported Video Link", kAppTitle,
                                MB_OK | MB_ICONEXCLAMATION);
    } else {
      // Added as typed, spaces included. Once it is in the list the field
      // empties for the next one; a refused address stays to be corrected.
      const std::wstring address = Flash.GetVariable(kVideoUrl);
      app_.gridView.AddURLToList(address);
      if (app_.list.FindAddress(address)) SetFlashVariable(kVideoUrl, L"");
    }
  }
  if (app_.queue.IsDownloading) app_.gridView.LocateCurrentRow();
}

void frmMain::Flash_FSCommand(const std::wstring& command, const std::wstring& /*args*/) {
  if (Frame.RunCommand(command) || FS_LimitCommand(command)) return;
  // Names are compared exactly, case included; unknown names are ignored.
  struct Route {
    const wchar_t* name;
    void (frmMain::*run)();
  };
  static constexpr Route kCommands[] = {
      {L"IDC_FS_Drag", &frmMain::FS_Drag},
      {L"IDC_FS_Minimize", &frmMain::FS_Minimize},
      {L"IDC_FS_Tray", &frmMain::FS_Tray},
      {L"IDC_FS_Close", &frmMain::EndMe},
      {L"IDC_FS_Slider", &frmMain::HideDownloadGrid},
      {L"IDC_FS_Download", &frmMain::FS_Download},
      {L"IDC_FS_About", &frmMain::FS_About},
      {L"IDC_FS_Help", &frmMain::FS_Help},
      {L"ID_FS_webSite", &frmMain::FS_WebSite},
      {L"IDC_FS_startDownload", &frmMain::FS_StartDownload},
      {L"IDC_FS_stopDownload", &frmMain::FS_StopDownload},
      {L"IDC_FS_addDownloadURL", &frmMain::AddDownloadURLFromMovie},
      {L"IDC_FS_selectAllD", &frmMain::FS_SelectAll},
      {L"IDC_FS_removeSelectedD", &frmMain::FS_RemoveSelected},
      {L"IDC_FS_moveUp", &frmMain::FS_MoveUp},
      {L"IDC_FS_moveDown", &frmMain::FS_MoveDown},
      {L"ID_FS_clearComplete", &frmMain::FS_ClearComplete},
      {L"ID_FS_downloadBrowse", &frmMain::FS_DownloadBrowse},
      {L"ID_FS_autoDownloadCheck", &frmMain::FS_AutoDownloadCheck},
      {L"ID_FS_autoDownloadUncheck", &frmMain::FS_AutoDownloadUncheck},
      {L"ID_FS_limitSpeedCheck", &frmMain::FS_LimitSpeedCheck},
      {L"ID_FS_limitSpeedUncheck", &frmMain::FS_LimitSpeedUncheck},
      {L"ID_FS_timeWindowCheck", &frmMain::FS_TimeWindowCheck},
      {L"ID_FS_timeWindowUncheck", &frmMain::FS_TimeWindowUncheck},
  };
  for (const Route& r : kCommands) {
    if (command == r.name) {
      (this->*r.run)();
      return;
    }
  }
}

void frmMain::FS_Drag() { DragMainWindow(Hwnd()); }

void frmMain::FS_Minimize() { ShowWindow(Hwnd(), SW_MINIMIZE); }

void frmMain::FS_Tray() {
  // Only the tray brings the window back; without the tray control the
  // window would be lost, so it is only minimised then.
  if (!SysTray.Available()) {
    ShowWindow(Hwnd(), SW_MINIMIZE);
    return;
  }
  ShowWindow(Hwnd(), SW_HIDE);
  SysTray.SetTrayIconVisible(true);
}

void frmMain::FS_Download() {
  ShowDownloadGrid();
  CurrentTab = L"Download";
  if (app_.list.IsListEmpty()) SetFlashVariable(L"_root.downloadBtn", L"0");
}

void frmMain::FS_About() {
  HideDownloadGrid();
  CurrentTab = L"About";
}

void frmMain::FS_Help() {
  // A help file the shell cannot open is not reported.
  Platform().ShellOpen(Hwnd(), L"open", ProgramFolder() + L"\\Help.chm", L"", L"", SW_SHOWNORMAL);
}

void frmMain::FS_WebSite() {
  Platform().ShellOpen(Hwnd(), L"Open", kWebSite, L"", L"", SW_SHOWNORMAL);
}

void frmMain::FS_StartDownload() {
  // The driver runs from the timer's first tick, after this notification returned.
  tmrDownload.SetEnabled(true);
}

void frmMain::FS_DownloadBrowse() {
  app_.settings.cmdBrowse_Click();
  app_.settings.SaveSettings();  // also when the choice was cancelled
}

void frmMain::FS_AutoDownloadCheck() {
  app_.monitor.Monitor(true);
  app_.monitor.MonitorOn = true;
  app_.settings.StoredMonitorOn = true;
  app_.settings.SaveSettings();
}

void frmMain::FS_AutoDownloadUncheck() {
  app_.monitor.Monitor(false);
  app_.monitor.MonitorOn = false;
  app_.settings.StoredMonitorOn = false;
  app_.settings.SaveSettings();
}

bool frmMain::FS_LimitCommand(const std::wstring& command) {
  for (const StepRoute& r : kStepCommands) {
    if (command == r.name) {
      app_.settings.StepValue(r.value, r.direction);
      return true;
    }
  }
  return false;
}

void frmMain::FS_LimitSpeedCheck() { app_.settings.SetLimitSpeed(true); }
void frmMain::FS_LimitSpeedUncheck() { app_.settings.SetLimitSpeed(false); }
void frmMain::FS_TimeWindowCheck() { app_.settings.SetUseTimeWindow(true); }
void frmMain::FS_TimeWindowUncheck() { app_.settings.SetUseTimeWindow(false); }

void frmMain::FS_SelectAll() { app_.gridView.SelectAll(); }
void frmMain::FS_RemoveSelected() { app_.gridView.RemoveSelected(); }
void frmMain::FS_MoveUp() { app_.gridView.MoveUp(); }
void frmMain::FS_MoveDown() { app_.gridView.MoveDown(); }
void frmMain::FS_ClearComplete() { app_.gridView.ClearComplete(); }

}  // namespace mf
