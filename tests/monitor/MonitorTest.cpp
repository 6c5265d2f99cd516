// Starting and stopping the watcher, the receiving step on txtMonitor and
// the polling way, inside the test with the launches recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/AppPath.h"
#include "common/Text.h"
#include "common/WindowText.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/DownloadList.h"
#include "shell/CRegister.h"
#include "shell/Settings.h"
#include "tests/monitor/MonitorSupport.h"
#include "tests/support/HttpServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

std::wstring Decimal(HWND h) { return std::to_wstring(reinterpret_cast<UINT_PTR>(h)); }

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    ASSERT_TRUE(form.Load());
    ASSERT_TRUE(CreateTrayIcon(form));
    platform.shellCalls.clear();
  }
  void TearDown() override {
    Controls(form).tmrDownload.SetEnabled(false);
    app.queue.IsDownloading = false;
    ClearSettings();
  }
  std::wstring Var(const wchar_t* name) { return Controls(form).Flash.GetVariable(name); }
  // The watcher's delivery: the text of the hidden box is set.
  void Deliver(const std::wstring& text) { SetText(Controls(form).txtMonitor, text); }

  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  mf::test::TestProgram app;
  frmMain& form = app.form;
};

TEST_F(MonitorTest, OnLaunchesTheWatcherWithTheBoxHandleEachTimeAndOffSendsOneStop) {
  app.monitor.Monitor(true);
  app.monitor.Monitor(true);
  EXPECT_TRUE(app.monitor.MonitorOn);
  app.monitor.Monitor(false);
  EXPECT_FALSE(app.monitor.MonitorOn);
  ASSERT_EQ(platform.shellCalls.size(), 3u);
  const std::wstring parameters[] = {Decimal(Controls(form).txtMonitor),
                                     Decimal(Controls(form).txtMonitor), L"Exit"};
  for (size_t i = 0; i < 3; ++i) {
    const ShellCall& c = platform.shellCalls[i];
    EXPECT_EQ(c.verb, L"open");
    EXPECT_EQ(c.file, ProgramFolder() + L"\\Clip.exe");
    EXPECT_EQ(c.parameters, parameters[i]);
    EXPECT_EQ(c.directory, L"");
    EXPECT_EQ(c.show, SW_SHOWNORMAL);
  }
  // Nothing of it is saved.
  EXPECT_EQ(CRegister().REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, L"-"), L"-");
}

TEST(MonitorAtStartUp, TheWatcherStartsOnlyWhenTheSettingIsOn) {
  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  for (const wchar_t* stored : {L"False", L"True", L"<missing>"}) {
    ClearSettings();
    if (std::wstring(stored) != L"<missing>") {
      ASSERT_TRUE(
          CRegister().REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, stored));
    }
    platform.shellCalls.clear();
    mf::test::TestProgram app;
    frmMain& form = app.form;
    ASSERT_TRUE(form.Load());
    const bool on = std::wstring(stored) != L"False";
    EXPECT_EQ(app.monitor.MonitorOn, on) << ToAnsi(stored);
    ASSERT_EQ(platform.shellCalls.size(), on ? 1u : 0u) << ToAnsi(stored);
    if (on) {
      EXPECT_EQ(platform.shellCalls[0].parameters, Decimal(Controls(form).txtMonitor));
    }
  }
  ClearSettings();
}

TEST_F(MonitorTest, DeliveredAddressIsAddedShownAnnouncedAndStartsTheTimer) {
  const std::wstring page = L"http://www.youtube.com/watch?v=monitored";
  ASSERT_FALSE(TaskbarBalloonShown());
  const ULONGLONG shownAt = GetTickCount64();
  Deliver(page);
  ASSERT_EQ(app.list.Items().size(), 1u);
  EXPECT_EQ(app.list.Items()[0].Video_URL, page);
  EXPECT_EQ(StatusText(app.list.Items()[0]), vocab::kWaiting);
  EXPECT_EQ(Var(L"_root.video_url"), page);
  EXPECT_TRUE(Controls(form).tmrDownload.Enabled());
  EXPECT_EQ(GetText(Controls(form).txtMonitor), L"");  // emptied for the next one
  Controls(form).tmrDownload.SetEnabled(false);

  // The balloon comes up on the icon, and goes after its five seconds.
  ASSERT_TRUE(PumpUntil([] { return TaskbarBalloonShown(); }, 5000));
  ASSERT_TRUE(PumpUntil([] { return !TaskbarBalloonShown(); }, 9000));
  EXPECT_GE(GetTickCount64() - shownAt, 4500u);
}

TEST_F(MonitorTest, RepeatedAndUnsupportedAddressesStillGetTheBalloonAndTheField) {
  const std::wstring page = L"http://www.break.com/index/twice.html";
  Deliver(page);
  Controls(form).tmrDownload.SetEnabled(false);
  ASSERT_TRUE(PumpUntil([] { return TaskbarBalloonShown(); }, 5000));
  Controls(form).SysTray.Remove();  // takes the balloon away with the icon
  ASSERT_TRUE(PumpUntil([] { return !TaskbarBalloonShown(); }, 5000));
  ASSERT_TRUE(CreateTrayIcon(form));

  form.SetFlashVariable(L"_root.video_url", L"");
  Deliver(page);  // already in the list
  EXPECT_EQ(app.list.Items().size(), 1u);
  EXPECT_EQ(Var(L"_root.video_url"), page);
  ASSERT_TRUE(PumpUntil([] { return TaskbarBalloonShown(); }, 5000));

  const std::wstring other = L"ftp://www.example.com/no/video/site";
  Deliver(other);
  ASSERT_EQ(app.list.Items().size(), 2u);
  EXPECT_EQ(app.list.Items()[1].Video_URL, other);
  EXPECT_EQ(StatusText(app.list.Items()[1]), vocab::kLinkNotSupported);
  EXPECT_EQ(Var(L"_root.video_url"), other);
}

TEST_F(MonitorTest, DuringARunTheAddressIsAddedButNoSecondStartIsMade) {
  app.queue.IsDownloading = true;
  Deliver(L"http://www.youtube.com/watch?v=during");
  EXPECT_EQ(app.list.Items().size(), 1u);
  EXPECT_EQ(Var(L"_root.video_url"), L"http://www.youtube.com/watch?v=during");
  EXPECT_FALSE(Controls(form).tmrDownload.Enabled());
}

TEST_F(MonitorTest, AnEmptiedBoxIsIgnored) {
  form.SetFlashVariable(L"_root.video_url", L"kept");
  Deliver(L"");
  EXPECT_TRUE(app.list.Items().empty());
  EXPECT_EQ(Var(L"_root.video_url"), L"kept");
  EXPECT_FALSE(Controls(form).tmrDownload.Enabled());
}

// The polling way: the check box switches the 2-second timer.
class PollingTest : public MonitorTest {
 protected:
  void Click() { SendMessageA(Controls(form).chkMonitor, BM_CLICK, 0, 0); }
};

TEST_F(PollingTest, TheCheckBoxSwitchesTheTimerAndForgetsTheLastText) {
  app.monitor.MonitorOn = false;
  app.monitor.LastClipboardText = L"from before";
  Click();
  EXPECT_TRUE(Controls(form).tmrMonitor.Enabled());
  EXPECT_TRUE(app.monitor.MonitorOn);
  EXPECT_EQ(app.monitor.LastClipboardText, L"");
  EXPECT_EQ(SendMessageA(Controls(form).chkMonitor, BM_GETCHECK, 0, 0), BST_CHECKED);
  Click();
  EXPECT_FALSE(Controls(form).tmrMonitor.Enabled());
  EXPECT_FALSE(app.monitor.MonitorOn);
  EXPECT_EQ(SendMessageA(Controls(form).chkMonitor, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(platform.shellCalls.empty()) << "the watcher is not touched";
}

TEST_F(PollingTest, FirstPollTakesTheCurrentAddressAndDownloadsItAtOnce) {
  HttpServer http;
  ASSERT_TRUE(http.Start());
  http.Route("/www.angryalien.com/0504/polled.asp",
             HttpResponse::Text("<embed src=\"" + ToAnsi(http.Url("/aa/polled.swf")) + "\" w=1>"));
  http.Route("/aa/polled.swf", HttpResponse::File(5000, 7));
  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  const std::string folder = std::string(tmp) + "mf-poll-" + std::to_string(GetCurrentProcessId());
  app.settings.DownloadFolder = FromAnsi(folder);
  const std::wstring page = http.Url("/www.angryalien.com/0504/polled.asp");
  ASSERT_TRUE(PutOnClipboard(ToAnsi(page)));
  app.monitor.LastClipboardText = page;  // seen before the box was switched on

  Click();
  app.monitor.CallMonTimer();  // starts the download at once
  ASSERT_TRUE(app.queue.IsDownloading);
  ASSERT_TRUE(PumpUntil([&] { return !app.queue.IsDownloading; }, 30000));
  ASSERT_EQ(app.list.Items().size(), 1u);
  EXPECT_EQ(StatusText(app.list.Items()[0]), vocab::kComplete);
  EXPECT_EQ(Var(L"_root.video_url"), page);
  EXPECT_EQ(app.monitor.LastClipboardText, page);
  EXPECT_EQ(platform.onlineChecks, 1);
  EXPECT_FALSE(TaskbarBalloonShown()) << "the poll shows no balloon";

  // The same text again does nothing, even with its item gone.
  ASSERT_TRUE(app.list.RemoveItem(1));
  app.monitor.CallMonTimer();
  EXPECT_TRUE(app.list.Items().empty());
  EXPECT_EQ(platform.onlineChecks, 1);

  Click();
  http.Stop();
  DeleteFileA((folder + "\\polled.swf").c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(PollingTest, RejectedTextsAndEmptyClipboardsAreOnlyRemembered) {
  app.queue.IsDownloading = true;  // no run starts from these polls
  ASSERT_TRUE(PutOnClipboard("http://www.example.com/not/a/video/site"));
  app.monitor.CallMonTimer();
  EXPECT_TRUE(app.list.Items().empty());
  EXPECT_EQ(app.monitor.LastClipboardText, L"http://www.example.com/not/a/video/site");

  ASSERT_TRUE(PutBitmapOnClipboard());
  app.monitor.CallMonTimer();
  EXPECT_EQ(app.monitor.LastClipboardText, L"");

  // A clipboard held open elsewhere is read at the next poll instead.
  ASSERT_TRUE(PutOnClipboard("http://www.youtube.com/watch?v=busy"));
  HWND holder =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(holder));
  app.monitor.CallMonTimer();
  CloseClipboard();
  DestroyWindow(holder);
  EXPECT_EQ(app.monitor.LastClipboardText, L"");
  EXPECT_TRUE(app.list.Items().empty());
  app.monitor.CallMonTimer();
  ASSERT_EQ(app.list.Items().size(), 1u);
  EXPECT_EQ(app.list.Items()[0].Video_URL, L"http://www.youtube.com/watch?v=busy");
}

TEST_F(PollingTest, TheTimerPollsEveryTwoSeconds) {
  app.queue.IsDownloading = true;
  ASSERT_TRUE(PutOnClipboard("http://www.youtube.com/watch?v=ticked"));
  Click();
  const ULONGLONG clicked = GetTickCount64();
  ASSERT_TRUE(PumpUntil([&] { return !app.list.Items().empty(); }, 5000));
  EXPECT_GE(GetTickCount64() - clicked, 1900u);
  EXPECT_EQ(app.list.Items()[0].Video_URL, L"http://www.youtube.com/watch?v=ticked");
  Click();
}

}  // namespace
