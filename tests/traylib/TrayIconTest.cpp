// The notification-area icon: every Shell_NotifyIconA call as the recorder in
// the door sees it, and the icon itself in the notification area of Wine's
// desktop, whose taskbar (explorer) keeps one tooltip tool per icon.
#include <gtest/gtest.h>

#include "tests/support/Wait.h"
#include "tests/traylib/TraySupport.h"
#include "traylib/Error.h"
#include "traylib/subclass/MSubclass.h"
#include "traylib/trayicon/cTrayIcon.h"
#include "traylib/trayicon/mFileVersion.h"
#include "traylib/trayicon/mTray.h"

namespace sd::test {
namespace {

using mf::test::PumpFor;
using mf::test::PumpUntil;

// Wine's taskbar on the test desktop.
struct WineTray {
  static DWORD Process() {
    DWORD pid = 0;
    GetWindowThreadProcessId(FindWindowA("Shell_TrayWnd", nullptr), &pid);
    return pid;
  }
  // Every tooltip window of the taskbar's process.
  static std::vector<HWND> Tooltips() {
    std::vector<HWND> found;
    for (HWND h : mf::test::WindowsOfProcess(Process(), "tooltips_class32")) found.push_back(h);
    return found;
  }
  // The tool of a shown icon (or balloon) with this text: its rectangle is not empty.
  static bool FindTool(const std::wstring& text, mTray::ToolRecord* out = nullptr,
                       bool visibleWindowOnly = false) {
    for (HWND tip : Tooltips()) {
      if (visibleWindowOnly && !IsWindowVisible(tip)) continue;
      for (const mTray::ToolRecord& tool : mTray::ReadTools(tip, mTray::Family::Nt)) {
        if (tool.text != text) continue;
        if (!visibleWindowOnly && IsRectEmpty(&tool.info.rect)) continue;
        if (out) *out = tool;
        return true;
      }
    }
    return false;
  }
  // The shell still has an icon for this owner: an empty change of it succeeds.
  static bool KnowsIcon(HWND owner) {
    NOTIFYICONDATAA d{};
    d.cbSize = NOTIFYICONDATAA_V3_SIZE;
    d.hWnd = owner;
    d.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &d) != FALSE;
  }
};

std::wstring Unique(const wchar_t* what) {
  return std::wstring(what) + L" " + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetTickCount());
}

class TrayIconTest : public ::testing::Test {
 protected:
  NotifyRecorder shell;
  EventLog events;
  std::vector<std::string> hostLog;
  TestWindow host{&hostLog};
  HICON image = LoadIconA(nullptr, IDI_APPLICATION);
  HICON image2 = LoadIconA(nullptr, IDI_WARNING);
  std::wstring tip = Unique(L"Sabledrift icon");
  ComPtr<cTrayIcon> icon = MakeRef<cTrayIcon>();

  void SetUp() override { icon->SetEvents(&events); }
  void TearDown() override {
    if (icon) icon->SetEvents(nullptr);
    icon.Reset();
  }
  LONG_PTR Prop(const std::string& key) {
    Props p = EngineProps(host.hwnd());
    return p.count(key) ? p[key] : 0;
  }
  LONG_PTR TimerClients() { return Prop(MessageKey(host.hwnd(), WM_TIMER) + "C"); }
  const NotifyCall& Last() { return shell.calls.back(); }
};

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

TEST_F(TrayIconTest, CreateAddsTheIconToTheNotificationArea) {
  auto shell32 = mFileVersion::FixedFileInfo(L"shell32.dll");
  ASSERT_TRUE(shell32.has_value());
  ASSERT_GE(HIWORD(shell32->dwFileVersionMS), 6);

  icon->Create(host.hwnd(), image, tip);
  ASSERT_EQ(shell.calls.size(), 1u);
  const NotifyCall& add = shell.calls[0];
  EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V3_SIZE));
  EXPECT_EQ(add.data.hWnd, host.hwnd());
  EXPECT_EQ(add.data.uID, 999u);
  EXPECT_EQ(add.data.uFlags, 23u);
  EXPECT_EQ(add.data.uCallbackMessage, 1025u);
  EXPECT_EQ(add.data.hIcon, image);
  EXPECT_EQ(add.Tip(), Narrow(tip));
  EXPECT_EQ(add.data.dwState, 2u);
  EXPECT_EQ(add.data.dwStateMask, 0u);
  EXPECT_EQ(add.Info(), "");
  EXPECT_EQ(add.data.uTimeout, 3u);
  EXPECT_EQ(add.InfoTitle(), "");
  EXPECT_EQ(add.data.dwInfoFlags, 0u);
  EXPECT_EQ(add.data.guidItem, GUID{});
  EXPECT_TRUE(add.result);

  EXPECT_TRUE(WineTray::KnowsIcon(host.hwnd()));
  EXPECT_TRUE(WineTray::FindTool(tip));
  // The callback message and "TaskbarCreated" are attached on the owner.
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  EXPECT_EQ(Prop(AttachKey(host.hwnd())), 2);
  EXPECT_EQ(Prop(MessageKey(host.hwnd(), 1025) + "C"), 1);
  EXPECT_EQ(Prop(MessageKey(host.hwnd(), taskbarCreated) + "C"), 1);
}

TEST_F(TrayIconTest, EmptyTooltipShowsTheLibraryTitleAndLongOnesAreCut) {
  icon->Create(host.hwnd(), image, L"");
  EXPECT_EQ(shell.calls.at(0).Tip(), "Quenbrook");
  EXPECT_EQ(icon->ToolTip(), L"Quenbrook");

  icon->ToolTip(std::wstring(200, L'x'));
  EXPECT_EQ(Last().data.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_EQ(std::string(Last().data.szTip, 128), std::string(127, 'x') + '\0');
  EXPECT_EQ(icon->ToolTip(), std::wstring(200, L'x'));

  icon->ToolTip(tip);
  EXPECT_EQ(Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(Last().Tip(), Narrow(tip));
  EXPECT_TRUE(WineTray::FindTool(tip));
}

TEST_F(TrayIconTest, VisibleAndIconHandleSendOnlyWhatChanged) {
  icon->Create(host.hwnd(), image, tip);
  shell.calls.clear();
  icon->Visible(true);
  EXPECT_TRUE(shell.calls.empty());

  icon->Visible(false);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(Last().data.uFlags, 6u);
  EXPECT_EQ(Last().data.hIcon, nullptr);
  EXPECT_EQ(Last().Tip(), Narrow(tip));
  // Without its image the icon stays in the area.
  EXPECT_TRUE(WineTray::KnowsIcon(host.hwnd()));
  EXPECT_TRUE(WineTray::FindTool(tip));

  icon->IconHandle(image2);
  EXPECT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(icon->IconHandle(), image2);
  icon->Visible(true);
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(Last().data.uFlags, 6u);
  EXPECT_EQ(Last().data.hIcon, image2);

  icon->IconHandle(image);
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(Last().data.uFlags, 2u);
  EXPECT_EQ(Last().data.hIcon, image);
  EXPECT_TRUE(Last().result);
}

TEST_F(TrayIconTest, BalloonIsShownAndClosedInTheNotificationArea) {
  icon->Create(host.hwnd(), image, tip);
  shell.calls.clear();
  icon->BalloonTipShow(2, L"", L"Heads up", 0);
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0].data.uFlags, 16u);  // the close that comes first
  EXPECT_EQ(shell.calls[0].Info(), "");
  EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.calls[1].data.uFlags, 16u);
  EXPECT_EQ(shell.calls[1].Info(), " ");
  EXPECT_EQ(shell.calls[1].InfoTitle(), "Heads up");
  EXPECT_EQ(shell.calls[1].data.dwInfoFlags, 2u);
  EXPECT_EQ(shell.calls[1].data.uTimeout, 3u);
  // Time-out 0: no timer of ours.
  EXPECT_EQ(TimerClients(), 0);

  const std::wstring prompt = Unique(L"Balloon");
  icon->BalloonTipShow(1, prompt, L"Title", 0);
  EXPECT_TRUE(PumpUntil([&] { return WineTray::FindTool(prompt, nullptr, true); }, 15000));
  icon->BalloonTipClose();
  EXPECT_EQ(Last().data.uFlags, 16u);
  EXPECT_EQ(Last().Info(), "");
  EXPECT_EQ(Last().InfoTitle(), "");
  EXPECT_EQ(Last().data.dwInfoFlags, 0u);
  EXPECT_TRUE(PumpUntil([&] { return !WineTray::FindTool(prompt, nullptr, true); }, 15000));
}

TEST_F(TrayIconTest, BalloonTimeOutClosesTheBalloon) {
  icon->Create(host.hwnd(), image, tip);
  icon->BalloonTipShow(1, L"soon gone", L"", 100);
  EXPECT_EQ(TimerClients(), 1);
  const size_t shown = shell.calls.size();
  ASSERT_TRUE(PumpUntil([&] { return shell.calls.size() > shown; }, 5000));
  EXPECT_EQ(Last().data.uFlags, 16u);
  EXPECT_EQ(Last().Info(), "");
  EXPECT_EQ(TimerClients(), 0);
}

TEST_F(TrayIconTest, ClickOrBalloonTimeOutStopsTheBalloonTimerBeforeTheEvent) {
  icon->Create(host.hwnd(), image, tip);
  for (LPARAM code : {WM_LBUTTONUP, 1028}) {
    icon->BalloonTipShow(1, L"click me", L"", 150);
    ASSERT_EQ(TimerClients(), 1);
    LONG_PTR timerAtEvent = -1;
    events.onEvent = [&](const std::string&) { timerAtEvent = TimerClients(); };
    events.events.clear();
    PostMessageA(host.hwnd(), 1025, 999, code);
    ASSERT_TRUE(PumpUntil([&] { return !events.events.empty(); }));
    EXPECT_EQ(timerAtEvent, 0);
    const size_t calls = shell.calls.size();
    PumpFor(400);  // three periods of the stopped timer
    EXPECT_EQ(shell.calls.size(), calls);
  }
  EXPECT_EQ(events.events, (std::vector<std::string>{"balloon 1028"}));
}

TEST_F(TrayIconTest, CallbackMessagesBecomeEvents) {
  icon->Create(host.hwnd(), image, tip);
  std::vector<LPARAM> codes{512};
  for (LPARAM c = 513; c <= 521; ++c) codes.push_back(c);
  for (LPARAM c = 1024; c <= 1030; ++c) codes.push_back(c);
  for (LPARAM c : codes) PostMessageA(host.hwnd(), 1025, 999, c);
  auto passedOn = [&] {
    std::vector<LPARAM> l;
    for (const auto& s : host.seen)
      if (s.msg == 1025) l.push_back(s.lParam);
    return l;
  };
  ASSERT_TRUE(PumpUntil([&] { return passedOn().size() == 2; }));
  std::vector<std::string> expected;
  for (int c = 513; c <= 521; ++c) expected.push_back("mouse " + std::to_string(c));
  expected.insert(expected.end(), {"key 1024", "key 1025", "balloon 1026", "balloon 1027",
                                   "balloon 1028", "balloon 1029"});
  EXPECT_EQ(events.events, expected);
  // Mouse movement and unknown codes go on to the owner's own procedure.
  EXPECT_EQ(passedOn(), (std::vector<LPARAM>{512, 1030}));
}

TEST_F(TrayIconTest, RealClickOnTheIconArrivesAsMouseEvents) {
  icon->Create(host.hwnd(), image, tip);
  mTray::ToolRecord tool;
  ASSERT_TRUE(WineTray::FindTool(tip, &tool));
  POINT middle{(tool.info.rect.left + tool.info.rect.right) / 2,
               (tool.info.rect.top + tool.info.rect.bottom) / 2};
  ClientToScreen(tool.info.hwnd, &middle);
  // Nothing of another test may lie over the taskbar where the click lands.
  if (WindowFromPoint(middle) != tool.info.hwnd)
    SetWindowPos(tool.info.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_EQ(WindowFromPoint(middle), tool.info.hwnd);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT input[3]{};
  for (INPUT& in : input) {
    in.type = INPUT_MOUSE;
    in.mi.dx = (middle.x * 65536 + w / 2) / w;
    in.mi.dy = (middle.y * 65536 + h / 2) / h;
  }
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  ASSERT_EQ(SendInput(3, input, sizeof(INPUT)), 3u);
  ASSERT_TRUE(PumpUntil([&] { return events.events.size() >= 2; }, 10000));
  EXPECT_EQ(events.events, (std::vector<std::string>{"mouse 513", "mouse 514"}));
}

TEST_F(TrayIconTest, TaskbarCreatedAddsTheIconAgain) {
  icon->Create(host.hwnd(), image, tip);
  shell.calls.clear();
  PostMessageA(host.hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !events.events.empty(); }));
  EXPECT_EQ(events.events, (std::vector<std::string>{"recreated"}));
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[0].data.uFlags, 16u);
  EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_DELETE));
  const NotifyCall& add = shell.calls[2];
  EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.data.hWnd, host.hwnd());
  EXPECT_EQ(add.data.hIcon, image);
  EXPECT_EQ(add.Tip(), Narrow(tip));
  EXPECT_EQ(icon->IconHandle(), image);
  EXPECT_TRUE(WineTray::KnowsIcon(host.hwnd()));
  EXPECT_EQ(Prop(AttachKey(host.hwnd())), 2);
}

TEST_F(TrayIconTest, HostProcedureInstalledAfterCreateKeepsItsPlace) {
  icon->Create(host.hwnd(), image, tip);
  HostHook hook(host.hwnd(), &hostLog);
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  const std::function<void()> steps[] = {
      [&] { icon->Remove(); },
      [&] { icon->Create(host.hwnd(), image, tip); },
      [&] { SendMessageA(host.hwnd(), taskbarCreated, 0, 0); },
  };
  for (const auto& step : steps) {
    step();
    EXPECT_EQ(GetWindowLongPtrA(host.hwnd(), GWLP_WNDPROC), HostHook::Proc());
  }
  EXPECT_EQ(events.events, (std::vector<std::string>{"recreated"}));
  EXPECT_TRUE(WineTray::KnowsIcon(host.hwnd()));
  // Both hear the window: the hook first, then the icon object.
  hostLog.clear();
  SendMessageA(host.hwnd(), 1025, 999, WM_LBUTTONUP);
  EXPECT_EQ(hostLog, (std::vector<std::string>{"hook 1025"}));
  EXPECT_EQ(events.events.back(), "mouse 514");
}

TEST_F(TrayIconTest, RemoveTakesTheIconAwayAndSilencesTheObject) {
  icon->Create(host.hwnd(), image, tip);
  shell.calls.clear();
  icon->Remove();
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0].data.uFlags, 16u);
  EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.calls[1].data.hWnd, host.hwnd());
  EXPECT_EQ(shell.calls[1].data.uID, 999u);
  EXPECT_FALSE(WineTray::KnowsIcon(host.hwnd()));
  EXPECT_TRUE(EngineProps(host.hwnd()).empty());
  EXPECT_EQ(GetWindowLongPtrA(host.hwnd(), GWLP_WNDPROC), host.OriginalProc());
  EXPECT_EQ(icon->Owner(), nullptr);
  EXPECT_EQ(icon->IconHandle(), nullptr);
  EXPECT_EQ(icon->ToolTip(), L"");

  shell.calls.clear();
  icon->ToolTip(L"nobody sees this");
  icon->Visible(false);
  icon->Visible(true);
  icon->IconHandle(image);
  icon->BalloonTipShow(1, L"nor this", L"", 100);
  icon->BalloonTipClose();
  icon->Remove();
  EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIconTest, CreateWithoutOwnerRaisesInvalidWindow) {
  try {
    icon->Create(nullptr, image, tip);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), static_cast<long>(0x80040000u + 13083));
    EXPECT_EQ(e.Description(), L"Invalid window");
  }
  EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIconTest, CreateForAnotherOwnerRemovesTheFirstIcon) {
  TestWindow host2;
  icon->Create(host.hwnd(), image, tip);
  icon->Create(host2.hwnd(), image2, L"second " + tip);
  ASSERT_EQ(shell.calls.size(), 4u);
  EXPECT_EQ(shell.calls[2].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.calls[2].data.hWnd, host.hwnd());
  EXPECT_EQ(shell.calls[3].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.calls[3].data.hWnd, host2.hwnd());
  EXPECT_EQ(shell.calls[3].data.hIcon, image2);
  EXPECT_TRUE(EngineProps(host.hwnd()).empty());
  EXPECT_FALSE(WineTray::KnowsIcon(host.hwnd()));
  EXPECT_TRUE(WineTray::KnowsIcon(host2.hwnd()));
  icon.Reset();
  EXPECT_FALSE(WineTray::KnowsIcon(host2.hwnd()));
  EXPECT_TRUE(EngineProps(host2.hwnd()).empty());
}

TEST_F(TrayIconTest, BothTimersShareOneWmTimerAttachment) {
  icon->IconMovementTrackInterval(0);
  EXPECT_EQ(icon->IconMovementTrackInterval(), 1);
  icon->IconMovementTrackInterval(-5);
  EXPECT_EQ(icon->IconMovementTrackInterval(), 1);
  icon->IconMovementTrackInterval(60000);
  icon->TrackIconMovement(true);
  EXPECT_EQ(TimerClients(), 0);  // no icon yet

  icon->Create(host.hwnd(), image, tip);
  EXPECT_EQ(TimerClients(), 1);
  icon->BalloonTipShow(1, L"both", L"", 60000);  // a second attachment would raise
  EXPECT_EQ(TimerClients(), 1);
  icon->BalloonTipClose();
  EXPECT_EQ(TimerClients(), 1);
  icon->TrackIconMovement(false);
  EXPECT_EQ(TimerClients(), 0);

  icon->BalloonTipShow(1, L"both", L"", 60000);
  icon->TrackIconMovement(true);
  icon->TrackIconMovement(false);
  EXPECT_EQ(TimerClients(), 1);
  // The owner's own timers still reach it while WM_TIMER is attached.
  SetTimer(host.hwnd(), 5, 10, nullptr);
  EXPECT_TRUE(PumpUntil([&] {
    for (const auto& s : host.seen)
      if (s.msg == WM_TIMER && s.wParam == 5) return true;
    return false;
  }));
  KillTimer(host.hwnd(), 5);
  icon->BalloonTipClose();
  EXPECT_EQ(TimerClients(), 0);
}

TEST_F(TrayIconTest, LastReleaseRemovesTheIconEvenFromItsOwnEvent) {
  icon->Create(host.hwnd(), image, tip);
  events.onEvent = [&](const std::string&) { icon.Reset(); };
  PostMessageA(host.hwnd(), 1025, 999, WM_RBUTTONUP);
  ASSERT_TRUE(PumpUntil([&] { return !icon; }));
  EXPECT_EQ(events.events, (std::vector<std::string>{"mouse 517"}));
  EXPECT_EQ(Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_FALSE(WineTray::KnowsIcon(host.hwnd()));
  EXPECT_TRUE(EngineProps(host.hwnd()).empty());
}

}  // namespace
}  // namespace sd::test
