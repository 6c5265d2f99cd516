// The whole road with real processes: the program launches the real
// Clip.exe, the test copies a page address to the real clipboard, the
// watcher delivers it and the program downloads the video from the loopback
// server.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "common/ClipboardText.h"
#include "common/Text.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/DownloadList.h"
#include "tests/monitor/MonitorSupport.h"
#include "tests/support/DownloadTap.h"
#include "tests/support/HttpServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Sha256.h"
#include "tests/support/Wait.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

// Records every launch and makes it for real.
class LaunchingPlatform : public RecordingPlatform {
 public:
  explicit LaunchingPlatform(IPlatform& real) : real_(real) {}
  INT_PTR ShellOpen(HWND owner, const std::wstring& verb, const std::wstring& file,
                    const std::wstring& parameters, const std::wstring& directory,
                    int show) override {
    RecordingPlatform::ShellOpen(owner, verb, file, parameters, directory, show);
    return real_.ShellOpen(owner, verb, file, parameters, directory, show);
  }

 private:
  IPlatform& real_;
};

HWND RunningWatcher() {
  return FindWindowExA(HWND_MESSAGE, nullptr, "MarrowfinClipWatcher", nullptr);
}

// Notes when the download control first reports anything, after the
// program's own handler.
class FirstEvent : public test::DownloadTap {
 public:
  using DownloadTap::DownloadTap;
  ULONGLONG at = 0;

 private:
  void Note() override {
    if (!at) at = GetTickCount64();
  }
};

class MonitorRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    // No watcher of an earlier run may linger.
    if (RunningWatcher()) {
      Platform().ShellOpen(nullptr, L"open", BesideTestClip(), L"Exit", L"", SW_SHOWNORMAL);
      ASSERT_TRUE(PumpUntil([] { return !RunningWatcher(); }, 10000));
    }
    ASSERT_TRUE(http.Start());
    ClearSettings();  // monitoring on, as at a first start
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    folder = std::string(tmp) + "mf-road-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(form.Load());
    ASSERT_TRUE(CreateTrayIcon(form));
    app.settings.DownloadFolder = FromAnsi(folder);
    ASSERT_TRUE(PumpUntil([] { return RunningWatcher() != nullptr; }, 10000));
  }
  void TearDown() override {
    app.monitor.Monitor(false);
    PumpUntil([] { return !RunningWatcher(); }, 10000);
    http.Stop();
    ClearSettings();
    for (const char* name : {"\\first.swf", "\\second.swf"}) DeleteFileA((folder + name).c_str());
    RemoveDirectoryA(folder.c_str());
  }
  static std::wstring BesideTestClip();
  std::wstring Page(const std::string& name, size_t size, size_t slowChunk = 0) {
    const std::string target = "/www.angryalien.com/0504/" + name + ".asp";
    http.Route(target, HttpResponse::Text("<embed src=\"" +
                                          ToAnsi(http.Url("/aa/" + name + ".swf")) + "\" w=1>"));
    HttpResponse file = HttpResponse::File(size, 3);
    if (slowChunk) file.Slow(slowChunk, 25);
    http.Route("/aa/" + name + ".swf", file);
    return http.Url(target);
  }

  LaunchingPlatform platform{Platform()};
  ScopedPlatform usePlatform{platform};
  HttpServer http;
  mf::test::TestProgram app;
  frmMain& form = app.form;
  std::string folder;
};

std::wstring MonitorRoad::BesideTestClip() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p = path;
  return FromAnsi(p.substr(0, p.find_last_of('\\')) + "\\Clip.exe");
}

TEST_F(MonitorRoad, CopiedAddressIsDeliveredAddedAnnouncedAndDownloaded) {
  const std::wstring page = Page("first", 70000);
  FirstEvent events(app);
  ASSERT_TRUE(PutOnClipboard(ToAnsi(page)));
  ULONGLONG addedAt = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (!addedAt && !app.list.Items().empty()) addedAt = GetTickCount64();
        return addedAt && !app.list.Items().empty() &&
               StatusText(app.list.Items()[0]) == vocab::kComplete;
      },
      30000));
  EXPECT_EQ(app.list.Items()[0].Video_URL, page);
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.video_url"), page);
  // The run began from the 200 ms timer, not within the delivery.
  ASSERT_NE(events.at, 0u);
  EXPECT_GE(events.at - addedAt, 150u);
  EXPECT_LT(events.at - addedAt, 2000u);
  EXPECT_EQ(Sha256OfFile(FromAnsi(folder + "\\first.swf")), Sha256OfPattern(3, 70000));
  EXPECT_EQ(platform.onlineChecks, 1);
  EXPECT_TRUE(PumpUntil([] { return TaskbarBalloonShown(); }, 5000));
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(MonitorRoad, DuringARunTheNextAddressIsAddedWithoutASecondStart) {
  const std::wstring first = Page("first", 300000, 4096);
  const std::wstring second = Page("second", 5000);
  bool copied = false, timerArmedAtDelivery = true;
  FirstEvent events(app);
  events.onProgress = [&] {
    if (!copied && app.queue.IsDownloading) {
      copied = true;
      PutOnClipboard(ToAnsi(second));
    }
    if (app.list.Items().size() == 2 && timerArmedAtDelivery)
      timerArmedAtDelivery = Controls(form).tmrDownload.Enabled();
  };
  ASSERT_TRUE(PutOnClipboard(ToAnsi(first)));
  ASSERT_TRUE(PumpUntil(
      [&] {
        return app.list.Items().size() == 2 &&
               StatusText(app.list.Items()[0]) == vocab::kComplete &&
               StatusText(app.list.Items()[1]) == vocab::kComplete;
      },
      60000));
  EXPECT_TRUE(copied);
  EXPECT_FALSE(timerArmedAtDelivery);
  EXPECT_EQ(platform.onlineChecks, 1) << "one run took both";
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.video_url"), second);
}

// Copied as Unicode text, an address in any script reaches the list whole,
// through the watcher's delivery into the box and through the poll alike.
TEST_F(MonitorRoad, AnAddressInAnyScriptArrivesWhole) {
  const std::wstring page = L"http://www.youtube.com/watch?v=動画-Видео";
  app.queue.IsDownloading = true;  // no run starts from it
  ASSERT_TRUE(PumpUntil([&] { return SetClipboardText(nullptr, page); }, 3000));
  ASSERT_TRUE(PumpUntil([&] { return !app.list.Items().empty(); }, 10000));
  EXPECT_EQ(app.list.Items()[0].Video_URL, page);
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.video_url"), page);
  app.monitor.CallMonTimer();
  EXPECT_EQ(app.monitor.LastClipboardText, page);
  app.queue.IsDownloading = false;
}

TEST_F(MonitorRoad, StartingTwiceLaunchesTwiceAndTheStopEndsTheOneWatcher) {
  HWND watcher = RunningWatcher();
  DWORD pid = 0;
  GetWindowThreadProcessId(watcher, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(process, nullptr);

  app.monitor.Monitor(true);  // a second launch hands over to the running watcher
  ASSERT_EQ(platform.shellCalls.size(), 2u);
  PumpFor(500);
  EXPECT_EQ(RunningWatcher(), watcher);

  app.monitor.Monitor(false);
  EXPECT_EQ(platform.shellCalls.size(), 3u);
  EXPECT_EQ(platform.shellCalls.back().parameters, L"Exit");
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  CloseHandle(process);
  EXPECT_EQ(RunningWatcher(), nullptr);
  EXPECT_FALSE(app.monitor.MonitorOn);
}

}  // namespace
