// The main window's icon in the notification area and its tray menu, with
// Sabledrift's real control registered in the prefix and a real pop-up menu
// worked with the keyboard.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "common/AppPath.h"
#include "common/Text.h"
#include "common/WindowText.h"
#include "downloadlist/DownloadList.h"
#include "shell/CRegister.h"
#include "shell/Settings.h"
#include "shell/Program.h"
#include "tests/shell/SabledriftRegistration.h"
#include "tests/shell/TrayMenuDriver.h"
#include "tests/support/HttpServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"
#include "traylib/trayicon/mTray.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

constexpr UINT kTrayCallback = WM_USER + 1;  // the control's icon message
constexpr UINT kIconId = 999;                // the control's icon id

// The shell still knows an icon of that owner: a change of it succeeds.
bool ShellKnowsIcon(HWND owner) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V3_SIZE;
  data.hWnd = owner;
  data.uID = kIconId;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// A window that notes when the message posted to it arrives.
bool g_sentinelSeen = false;
LRESULT CALLBACK SentinelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APP) g_sentinelSeen = true;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
HWND CreateSentinel() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = SentinelProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TrayTestSentinel";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "TrayTestSentinel", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

// The pixels of the taskbar as the screen shows them.
std::vector<COLORREF> TaskbarPixels() {
  std::vector<COLORREF> pixels;
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  RECT r{};
  if (!taskbar || !GetWindowRect(taskbar, &r)) return pixels;
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<size_t>(width) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The taskbar's picture once it has stopped changing.
std::vector<COLORREF> SettledTaskbarPixels() {
  std::vector<COLORREF> last = TaskbarPixels();
  for (int i = 0; i < 30; ++i) {
    PumpFor(100);
    std::vector<COLORREF> now = TaskbarPixels();
    if (now == last) return now;
    last = std::move(now);
  }
  return {};
}

// The taskbar (Wine's explorer) shows a balloon with exactly this text.
bool BalloonShown(const std::wstring& text) {
  DWORD taskbar = 0;
  GetWindowThreadProcessId(FindWindowA("Shell_TrayWnd", nullptr), &taskbar);
  for (HWND tip : WindowsOfProcess(taskbar, "tooltips_class32")) {
    if (!IsWindowVisible(tip)) continue;
    for (const sd::mTray::ToolRecord& tool : sd::mTray::ReadTools(tip, sd::mTray::Family::Nt))
      if (tool.text == text) return true;
  }
  return false;
}

// Item positions in TRAYMENU, separators not counted.
enum MenuPosition { posMarrowfin = 0, posDownload = 1, posMonitor = 2, posLimit = 3, posExit = 6 };

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin");
    ASSERT_TRUE(form.Load());
    // What the front end does first at start-up: the window's icon, then
    // the icon added for the main window.
    mainIcon = reinterpret_cast<HICON>(GetClassLongPtrA(form.Hwnd(), GCLP_HICON));
    Controls(form).SysTray.SetIconHandle(mainIcon);
    ASSERT_TRUE(Controls(form).SysTray.Create(form.Hwnd()));
    sentinel = CreateSentinel();
  }
  void TearDown() override {
    DestroyWindow(sentinel);
    app.queue.IsDownloading = false;
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin");
  }

  // The shell reports a mouse action on the icon, as it does to the owner.
  void ShellSays(UINT mouseMessage) {
    PostMessageA(form.Hwnd(), kTrayCallback, kIconId, mouseMessage);
  }
  // Every message posted before this one has been handled.
  void Settle() {
    g_sentinelSeen = false;
    PostMessageA(sentinel, WM_APP, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return g_sentinelSeen; }));
  }
  void Hide() {
    ShowWindow(form.Hwnd(), SW_HIDE);
    ASSERT_FALSE(IsWindowVisible(form.Hwnd()));
  }

  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  mf::test::TestProgram app;
  frmMain& form = app.form;
  HICON mainIcon = nullptr;
  HWND sentinel = nullptr;
};

TEST_F(TrayTest, IconIsAddedForTheMainWindowAndGoesWithTheControl) {
  EXPECT_TRUE(Controls(form).SysTray.Available());
  EXPECT_EQ(Controls(form).SysTray.LoadResult(), S_OK);
  EXPECT_TRUE(Controls(form).SysTray.Created());
  EXPECT_TRUE(ShellKnowsIcon(form.Hwnd()));
  EXPECT_EQ(Controls(form).SysTray.IconHandle(), mainIcon);
  EXPECT_TRUE(Controls(form).SysTray.TrayIconVisible());
  // The control itself is placed on the window, unseen.
  HWND control = Controls(form).SysTray.ControlWindow();
  ASSERT_TRUE(IsWindow(control));
  EXPECT_EQ(GetParent(control), form.Hwnd());
  EXPECT_FALSE(IsWindowVisible(control));
  EXPECT_TRUE(platform.messageBoxes.empty());

  // Hidden to the tray: the icon stays while the window is away.
  ShowWindow(form.Hwnd(), SW_HIDE);
  Controls(form).SysTray.SetTrayIconVisible(true);
  EXPECT_TRUE(Controls(form).SysTray.TrayIconVisible());
  EXPECT_TRUE(ShellKnowsIcon(form.Hwnd()));

  // The taskbar draws the icon: it changes the picture, and its removal
  // brings the picture back.
  Controls(form).SysTray.Unload();
  EXPECT_FALSE(Controls(form).SysTray.Available());
  EXPECT_FALSE(ShellKnowsIcon(form.Hwnd()));
  const std::vector<COLORREF> without = SettledTaskbarPixels();
  ASSERT_FALSE(without.empty()) << "the desktop has a taskbar";
  ASSERT_TRUE(Controls(form).SysTray.Load(form.Hwnd(), nullptr));
  Controls(form).SysTray.SetIconHandle(mainIcon);
  ASSERT_TRUE(Controls(form).SysTray.Create(form.Hwnd()));
  EXPECT_TRUE(PumpUntil([&] { return TaskbarPixels() != without; }, 3000));
  Controls(form).SysTray.Remove();
  EXPECT_TRUE(PumpUntil([&] { return TaskbarPixels() == without; }, 3000));

  // An icon that is not there (the notification area refused it, as when
  // Marrowfin starts before the taskbar) comes when a taskbar announces itself.
  EXPECT_FALSE(Controls(form).SysTray.Created());
  SendMessageA(form.Hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(Controls(form).SysTray.Created());
  EXPECT_TRUE(ShellKnowsIcon(form.Hwnd()));
}

TEST_F(TrayTest, LeftDoubleClickShowsAHiddenWindowAndLeavesAShownOneAsItIs) {
  Hide();
  ShellSays(WM_LBUTTONDBLCLK);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(form.Hwnd()) != FALSE; }));
  EXPECT_FALSE(IsIconic(form.Hwnd()));

  ShowWindow(form.Hwnd(), SW_MINIMIZE);
  ShellSays(WM_LBUTTONDBLCLK);
  Settle();
  EXPECT_TRUE(IsIconic(form.Hwnd()));
  EXPECT_TRUE(IsWindowVisible(form.Hwnd()));
}

TEST_F(TrayTest, SingleClicksMiddleClicksAndRightPressesDoNothing) {
  TrayMenuDriver menus;
  Hide();
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,
                 WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_MOUSEMOVE})
    ShellSays(m);
  Settle();
  EXPECT_FALSE(IsWindowVisible(form.Hwnd()));
  EXPECT_EQ(menus.opened, 0);
  EXPECT_TRUE(platform.shellCalls.size() == 1u);  // only the start-up's watcher launch
}

TEST_F(TrayTest, RightButtonReleaseOpensTheMenuAtTheMouseWithTheMonitorMarkOfMonitorOn) {
  SetCursorPos(400, 300);  // away from the screen's edges
  Hide();
  struct Seen {
    bool checked;
    HWND foreground;
    RECT rect;
    POINT mouse;
  };
  std::vector<Seen> seen;
  TrayMenuDriver menus;
  menus.onOpen = [&](HWND menu) {
    Seen s{Controls(form).Menu.Checked(frmMenu::mnuMonitor), GetForegroundWindow(), {}, {}};
    GetWindowRect(menu, &s.rect);
    GetCursorPos(&s.mouse);
    seen.push_back(s);
    return TrayMenuDriver::Close();
  };
  for (bool on : {true, false, true}) {
    const size_t before = seen.size();
    app.monitor.MonitorOn = on;
    ShellSays(WM_RBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return seen.size() > before && !TrayMenuDriver::OpenMenu(); }));
  }
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen[0].checked);
  EXPECT_FALSE(seen[1].checked);
  EXPECT_TRUE(seen[2].checked);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.foreground, form.Hwnd());
    EXPECT_EQ(s.rect.left, s.mouse.x);
    EXPECT_EQ(s.rect.top, s.mouse.y);
  }
  // Closing the menu without a choice changes nothing.
  EXPECT_FALSE(IsWindowVisible(form.Hwnd()));
  EXPECT_TRUE(app.monitor.MonitorOn);
  EXPECT_FALSE(Controls(form).tmrend.Enabled());
}

TEST_F(TrayTest, TheMarrowfinItemShowsTheWindow) {
  Hide();
  TrayMenuDriver menus;
  menus.onOpen = [](HWND) { return TrayMenuDriver::Choose(posMarrowfin); };
  ShellSays(WM_RBUTTONUP);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(form.Hwnd()) != FALSE; }));
  EXPECT_EQ(menus.opened, 1);
}

TEST_F(TrayTest, TheMonitorItemSwitchesMonitoringAndTheMovieButSavesNothing) {
  ASSERT_TRUE(CRegister().REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, L"True"));
  ASSERT_TRUE(app.monitor.MonitorOn);
  TrayMenuDriver menus;
  menus.onOpen = [](HWND) { return TrayMenuDriver::Choose(posMonitor); };
  const std::wstring clip = ProgramFolder() + L"\\Clip.exe";

  form.SysTray_TrayMouseEvent(517);  // returns once the item's action ran
  EXPECT_FALSE(app.monitor.MonitorOn);
  ASSERT_FALSE(platform.shellCalls.empty());
  EXPECT_EQ(platform.shellCalls.back().parameters, L"Exit");
  EXPECT_EQ(platform.shellCalls.back().file, clip);
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.autoToDownloadList_CB"), L"0");

  form.SysTray_TrayMouseEvent(517);
  EXPECT_TRUE(app.monitor.MonitorOn);
  EXPECT_EQ(platform.shellCalls.back().parameters,
            std::to_wstring(reinterpret_cast<UINT_PTR>(Controls(form).txtMonitor)));
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.autoToDownloadList_CB"), L"1");

  form.SysTray_TrayMouseEvent(517);
  EXPECT_FALSE(app.monitor.MonitorOn);
  EXPECT_EQ(menus.opened, 3);
  EXPECT_EQ(CRegister().REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, L"-"),
            L"True");
  // A later save of the settings (the folder's browse, here cancelled) keeps
  // the stored choice: the tray's switch was for this run only.
  form.Flash_FSCommand(L"ID_FS_downloadBrowse", L"");
  EXPECT_EQ(CRegister().REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, L"-"),
            L"True");
}

TEST_F(TrayTest, TheLimitSpeedItemSwitchesTheLimitSavesItAndIsGreyedWithoutASpeed) {
  const frmMenu& menu = Controls(form).Menu;
  EXPECT_FALSE(menu.Enabled(frmMenu::mnuLimitSpeed));
  form.Flash_FSCommand(L"ID_FS_speedLimitMore", L"");  // a speed to limit to
  EXPECT_TRUE(menu.Enabled(frmMenu::mnuLimitSpeed));
  TrayMenuDriver menus;
  menus.onOpen = [](HWND) { return TrayMenuDriver::Choose(posLimit); };
  for (bool on : {true, false}) {
    form.SysTray_TrayMouseEvent(517);
    EXPECT_EQ(app.settings.LimitSpeed, on);
    EXPECT_EQ(menu.Checked(frmMenu::mnuLimitSpeed), on);
    EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.limitSpeed_CB"), on ? L"1" : L"0");
    EXPECT_EQ(CRegister().REGGetNumber(HKEY_CURRENT_USER, kSettingsKey, kLimitSpeedValue),
              on ? 1u : 0u);
  }
}

TEST_F(TrayTest, ExitDuringADownloadAsksTheExitQuestionAfterTheMenuHasClosed) {
  app.queue.IsDownloading = true;
  TrayMenuDriver menus;
  menus.onOpen = [](HWND) { return TrayMenuDriver::Choose(posExit); };
  bool menuOpenAtQuestion = true;
  platform.messageBoxAnswers = {IDNO};
  platform.onMessageBox = [&](const MessageBoxCall&) {
    menuOpenAtQuestion = TrayMenuDriver::OpenMenu() != nullptr;
  };

  form.SysTray_TrayMouseEvent(517);
  EXPECT_EQ(menus.opened, 1);
  EXPECT_TRUE(Controls(form).tmrend.Enabled());
  EXPECT_TRUE(platform.messageBoxes.empty()) << "nothing is asked within the click";

  ASSERT_TRUE(PumpUntil([&] { return !platform.messageBoxes.empty(); }, 3000));
  EXPECT_EQ(platform.messageBoxes[0].text,
            L"Download is in Progress, Are you sure that you want to exit?");
  EXPECT_FALSE(menuOpenAtQuestion);
  // Answered No: everything goes on.
  EXPECT_FALSE(Controls(form).tmrend.Enabled());
  EXPECT_TRUE(IsWindow(form.Hwnd()));
  EXPECT_FALSE(app.queue.CancelRequested);
}

TEST_F(TrayTest, StopDownloadingDuringARunAsksWhetherToCancelIt) {
  HttpServer http;
  ASSERT_TRUE(http.Start());
  http.Route("/www.angryalien.com/0504/slow.asp",
             HttpResponse::Text("<embed src=\"" + ToAnsi(http.Url("/aa/slow.swf")) + "\" w=1>"));
  http.Route("/aa/slow.swf", HttpResponse::File(400000, 9).Slow(4096, 20));
  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  const std::string folder = std::string(tmp) + "mf-tray-" + std::to_string(GetCurrentProcessId());
  app.settings.DownloadFolder = FromAnsi(folder);
  ASSERT_TRUE(app.gridView.AddURLToList(http.Url("/www.angryalien.com/0504/slow.asp")));

  std::wstring captionInRun;
  TrayMenuDriver menus;
  menus.onOpen = [&](HWND) {
    captionInRun = Controls(form).Menu.Caption(frmMenu::mnuDownload);
    return TrayMenuDriver::Choose(posDownload);
  };
  platform.messageBoxAnswers = {IDYES};
  // The click arrives while the run works.
  ShellSays(WM_RBUTTONUP);
  form.cmdStartDownload_Click();
  EXPECT_TRUE(PumpUntil([&] { return !app.queue.IsDownloading; }, 30000));

  EXPECT_EQ(captionInRun, L"Stop Downloading");
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, L"Are you sure that you want to cancel downloading?");
  EXPECT_FALSE(app.queue.IsDownloading);
  EXPECT_EQ(Controls(form).Menu.Caption(frmMenu::mnuDownload), L"Start Downloading");
  EXPECT_LT(http.BodyBytesSent(), 400000u) << "the transfer was cancelled";
  http.Stop();
  DeleteFileA((folder + "\\slow.swf").c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(TrayTest, ARunThatEndsOutOfSightSaysSoInABalloonWhoseClickBringsTheWindowBack) {
  HttpServer http;
  ASSERT_TRUE(http.Start());
  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  const std::string folder = std::string(tmp) + "mf-end-" + std::to_string(GetCurrentProcessId());
  app.settings.DownloadFolder = FromAnsi(folder);
  int pages = 0;
  // A video that arrives, or a page without one (the item fails).
  auto add = [&](bool video) {
    const std::string n = std::to_string(++pages);
    http.Route("/aa/" + n + ".swf", HttpResponse::File(20000, 1));
    http.Route(
        "/www.angryalien.com/" + n + ".asp",
        HttpResponse::Text(video ? "<embed src=\"" + ToAnsi(http.Url("/aa/" + n + ".swf")) + "\">"
                                 : "no video here"));
    ASSERT_TRUE(app.gridView.AddURLToList(http.Url("/www.angryalien.com/" + n + ".asp")));
  };
  struct Case {
    int show;  // the window while the run ends
    int videos, failures;
    const wchar_t* balloon;
    bool shown;
  };
  const Case cases[] = {
      {SW_SHOWNORMAL, 1, 1, L"1 video downloaded, 1 failed", false},
      {SW_MINIMIZE, 1, 0, L"1 video downloaded", true},
      {SW_HIDE, 2, 1, L"2 videos downloaded, 1 failed", true},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < c.videos + c.failures; ++i) add(i < c.videos);
    ShowWindow(form.Hwnd(), c.show);
    form.cmdStartDownload_Click();  // items done before are passed over
    EXPECT_TRUE(PumpUntil([&] { return !app.queue.IsDownloading; }, 30000));
    if (!c.shown) {
      PumpFor(1000);
      EXPECT_FALSE(BalloonShown(c.balloon));
      continue;
    }
    EXPECT_TRUE(PumpUntil([&] { return BalloonShown(c.balloon); }, 15000)) << ToAnsi(c.balloon);
    // The user clicks the balloon; the shell tells the icon's owner.
    ShellSays(NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(form.Hwnd()) && !IsIconic(form.Hwnd()); }));
  }
  EXPECT_TRUE(platform.messageBoxes.empty());
  http.Stop();
  for (int n = 1; n <= pages; ++n)
    DeleteFileA((folder + "\\" + std::to_string(n) + ".swf").c_str());
  RemoveDirectoryA(folder.c_str());
}

// Without a registered control the program says so once and runs on.
TEST(TrayWithoutControl, TheProgramSaysSoOnceAndRunsWithoutTheIcon) {
  ASSERT_TRUE(UnregisterSabledrift());
  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  {
    mf::test::TestProgram app;
    frmMain& form = app.form;
    ASSERT_TRUE(form.Load());
    EXPECT_FALSE(Controls(form).SysTray.Available());
    EXPECT_EQ(Controls(form).SysTray.LoadResult(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(Controls(form).SysTray.Create(form.Hwnd()));
    EXPECT_FALSE(Controls(form).SysTray.Create(form.Hwnd()));
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    const MessageBoxCall& box = platform.messageBoxes[0];
    EXPECT_EQ(box.title, L"Marrowfin");
    EXPECT_EQ(box.Icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_NE(box.text.find(L"not registered"), std::wstring::npos) << ToAnsi(box.text);
    EXPECT_NE(box.text.find(L"regsvr32 Sabledrift.dll"), std::wstring::npos);
    // Every use of the missing control is a quiet no-op.
    Controls(form).SysTray.SetIconHandle(nullptr);
    Controls(form).SysTray.SetTrayIconVisible(true);
    EXPECT_FALSE(Controls(form).SysTray.Created());
    EXPECT_FALSE(Controls(form).SysTray.BalloonTipShow(BalloonIcon::Info, L"x", L"", 5000));
    form.SysTray_TrayMouseEvent(515);
    EXPECT_TRUE(IsWindow(form.Hwnd()));
  }
  ASSERT_TRUE(RegisterSabledrift());
}

}  // namespace
