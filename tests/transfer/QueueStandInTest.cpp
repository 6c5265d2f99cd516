// The queue driver on its own: a whole run against the loopback server, with
// real files, and no main window, no movie and no privileged port. A stand-in
// for the window records what the driver shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "common/AppPath.h"
#include "common/Text.h"
#include "downloadlist/Vocabulary.h"
#include "tests/support/HttpServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Sha256.h"
#include "tests/support/Wait.h"
#include "transfer/QueueDriver.h"
#include "tests/support/Shown.h"

using namespace mf;
using namespace mf::test;

namespace {

// Records what the run told it, in order.
class StandInWindow : public IRunEvents {
 public:
  std::wstring folder;
  std::vector<std::wstring> shown;  // the run's events, in order
  std::vector<std::wstring> statuses;
  DownloadList* list = nullptr;

  std::wstring DownloadFolder() override { return folder; }
  bool ConfirmStop() override { return true; }
  void StartRefused(Refusal) override { shown.push_back(L"refused"); }
  void RunningChanged(bool running) override { shown.push_back(running ? L"running" : L"idle"); }
  void RunStarted() override { shown.push_back(L"started"); }
  void RunWaiting(int opensAt) override { shown.push_back(L"waits " + std::to_wstring(opensAt)); }
  void RunEnded(int downloaded, int failed) override {
    shown.push_back(L"ran " + std::to_wstring(downloaded) + L"/" + std::to_wstring(failed));
  }
  void ItemChanged(uint32_t key) override {
    const DownloadItem* item = list->ByKey(key);
    if (item && (statuses.empty() || statuses.back() != StatusText(*item)))
      statuses.push_back(StatusText(*item));
  }
  void TransferProgress(uint32_t, int64_t bytes, float size) override {
    transfer.push_back({bytes, size});
  }
  void TransferEnded(uint32_t) override { shown.push_back(L"transfer over"); }
  void ItemNotice(uint32_t, const std::wstring& text) override {
    shown.push_back(L"notice " + text);
  }
  void ConnectionError(const std::wstring&) override { shown.push_back(L"connection error"); }
  std::vector<std::pair<int64_t, float>> transfer;  // the file's progress, pages not included
};

TEST(QueueStandIn, RunsTheListThroughWithoutAWindow) {
  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  HttpServer http;
  ASSERT_TRUE(http.Start());
  http.Route("/www.angryalien.com/0504/bunnies.asp",
             HttpResponse::Text("<embed src=\"" + ToAnsi(http.Url("/aa/bunnies.swf")) + "\">"));
  http.Route("/aa/bunnies.swf", HttpResponse::File(150000, 7));
  http.Route("/www.break.com/index/gone.html", HttpResponse::Text("no markers here"));

  StandInWindow window;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  window.folder = FromAnsi(temp) + L"mf-standin-" + std::to_wstring(GetCurrentProcessId());
  DownloadList list;
  window.list = &list;
  QueueDriver queue(list, window);
  queue.SetSimultaneous(1);  // the statuses below are one item's after another's
  list.AddItem(http.Url("/www.angryalien.com/0504/bunnies.asp"), vocab::kAutoDetect,
               vocab::kWaiting, vocab::kUnknownSize);
  list.AddItem(http.Url("/www.break.com/index/gone.html"), vocab::kAutoDetect, vocab::kWaiting,
               vocab::kUnknownSize);

  queue.cmdStartDownload_Click();
  EXPECT_TRUE(PumpUntil([&] { return !queue.IsDownloading; }, 30000));

  EXPECT_FALSE(queue.IsDownloading);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(StatusText(*list.At(0)), vocab::kComplete);
  EXPECT_EQ(list.At(0)->FileName, L"bunnies.swf");
  EXPECT_EQ(SizeText(*list.At(0)), L"146.5 KB");
  const std::wstring file = window.folder + L"\\bunnies.swf";
  EXPECT_EQ(Sha256OfFile(file), Sha256OfPattern(7, 150000));
  EXPECT_EQ(StatusText(*list.At(1)), vocab::kError);
  EXPECT_EQ(AddressText(*list.At(1)), vocab::kInappropriate);

  // The first item's statuses as the grid row would have shown them.
  ASSERT_GE(window.statuses.size(), 3u);
  EXPECT_EQ(window.statuses.front().rfind(L"Preparing (", 0), 0u);
  EXPECT_NE(std::find(window.statuses.begin(), window.statuses.end(), L"100"),
            window.statuses.end());
  const std::vector<std::wstring> shown = {L"running", L"started", L"transfer over", L"ran 1/1",
                                           L"idle"};
  EXPECT_EQ(window.shown, shown);
  EXPECT_TRUE(platform.messageBoxes.empty());
  // Only the video's bytes, as they grew, against its size.
  ASSERT_FALSE(window.transfer.empty());
  EXPECT_EQ(window.transfer.back(), (std::pair<int64_t, float>{150000, 150000.0f}));
  EXPECT_TRUE(std::is_sorted(window.transfer.begin(), window.transfer.end()));

  DeleteFileForced(file);
  RemoveDirectoryA(ToAnsi(window.folder).c_str());
}

// Stop at each step of an item, then Start at once: the stopped step lets go
// before anything new is asked, the item is "Cancelled" in between, and the
// run that follows brings it whole.
TEST(QueueStandIn, StopAtEveryStepThenStartNeverOverlapsRequests) {
  using Stage = QueueDriver::Stage;
  const struct {
    const char* what;
    Stage stage;
  } cases[] = {{"its page", Stage::Resolving},
               {"the information request", Stage::Informing},
               {"its file", Stage::Transferring},
               {"the wait to try again", Stage::Waiting}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingPlatform platform;
    ScopedPlatform usePlatform{platform};
    HttpServer http;
    ASSERT_TRUE(http.Start());
    std::atomic<bool> slow{true};  // until the stop: then every answer comes at once
    http.Route("/www.angryalien.com/0504/bunnies.asp", [&](const HttpRequest&) {
      HttpResponse page =
          HttpResponse::Text("<embed src=\"" + ToAnsi(http.Url("/aa/b.swf")) + "\">");
      return slow && c.stage == Stage::Resolving ? page.DelayHeaders(3000) : page;
    });
    http.Route("/aa/b.swf", [&](const HttpRequest& request) {
      HttpResponse file = HttpResponse::File(1 << 20, 9);
      if (!slow) return file;
      if (request.method == "HEAD")
        return c.stage == Stage::Informing ? file.DelayHeaders(3000) : file;
      if (c.stage == Stage::Waiting) return HttpResponse::Text("busy").Status(503, "Busy");
      return c.stage == Stage::Transferring ? file.Slow(16384, 40) : file;
    });

    StandInWindow window;
    window.folder = FromAnsi(std::getenv("TEMP") ? std::getenv("TEMP") : "C:\\") + L"\\mf-stop-" +
                    std::to_wstring(static_cast<int>(c.stage));
    DownloadList list;
    window.list = &list;
    QueueDriver queue(list, window);
    queue.RetryWaitsMs = {5000, 5000, 5000};
    list.AddItem(http.Url("/www.angryalien.com/0504/bunnies.asp"), L"", L"", L"");

    queue.cmdStartDownload_Click();
    ASSERT_TRUE(PumpUntil([&] { return queue.CurrentStage() == c.stage; }, 10000));
    queue.cmdStartDownload_Click();  // stop
    queue.cmdStartDownload_Click();  // and start again, while the stop is under way
    slow = false;
    EXPECT_TRUE(PumpUntil([&] { return !queue.IsDownloading; }, 30000));

    EXPECT_EQ(queue.Download.MostOpenAtOnce(), 1u);
    ASSERT_GE(window.statuses.size(), 2u);
    EXPECT_NE(std::find(window.statuses.begin(), window.statuses.end(), vocab::kCancelled),
              window.statuses.end());
    EXPECT_EQ(window.statuses.back(), vocab::kComplete);
    EXPECT_EQ(std::count(window.shown.begin(), window.shown.end(), L"started"), 2);
    const std::wstring file = window.folder + L"\\b.swf";
    EXPECT_EQ(Sha256OfFile(file), Sha256OfPattern(9, 1 << 20));
    DeleteFileForced(file);
    RemoveDirectoryW(window.folder.c_str());
  }
}

// The hours in which downloads may run: Start waits for them to open, and
// their end stops the run, which puts its items back to wait for the next day.
TEST(QueueStandIn, TheRunKeepsToItsHours) {
  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  HttpServer http;
  ASSERT_TRUE(http.Start());
  http.Route("/www.angryalien.com/hours.asp",
             HttpResponse::Text("<embed src=\"" + ToAnsi(http.Url("/aa/hours.swf")) + "\">"));
  http.Route("/aa/hours.swf", [](const HttpRequest& request) {
    return AnswerRange(
        request,
        HttpResponse::File(300000, 3).Header("ETag", "\"h1\"").AcceptRanges().Slow(8192, 50));
  });
  const struct {
    const char* what;
    int second, ms;  // the clock at Start: 10:00:ss.mmm
    TimeWindow window;
    std::vector<std::wstring> shown;
    const wchar_t* status;
  } cases[] = {
      {"opens 0.3 s after Start",
       59,
       700,
       {601, 602},
       {L"running", L"waits 601", L"started"},
       vocab::kComplete},
      {"closes 0.5 s after Start",
       59,
       500,
       {600, 601},
       {L"running", L"started", L"transfer over", L"waits 600"},
       vocab::kWaiting},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StandInWindow window;
    window.folder = FromAnsi(std::getenv("TEMP") ? std::getenv("TEMP") : "C:\\") + L"\\mf-hours";
    DownloadList list;
    window.list = &list;
    QueueDriver queue(list, window);
    const ULONGLONG start = GetTickCount64();
    queue.LocalTime = [&] {
      const ULONGLONG ms = c.second * 1000 + c.ms + (GetTickCount64() - start);
      SYSTEMTIME t{.wHour = 10, .wMinute = static_cast<WORD>(ms / 60000)};
      t.wSecond = static_cast<WORD>(ms / 1000 % 60);
      t.wMilliseconds = static_cast<WORD>(ms % 1000);
      return t;
    };
    queue.SetTimeWindow(c.window);
    list.AddItem(http.Url("/www.angryalien.com/hours.asp"), L"", L"", L"");
    queue.cmdStartDownload_Click();
    PumpUntil([&] { return window.shown.size() >= c.shown.size(); }, 10000);
    window.shown.resize(std::min(window.shown.size(), c.shown.size()));
    EXPECT_EQ(window.shown, c.shown);
    EXPECT_TRUE(PumpUntil([&] { return StatusText(*list.At(0)) == c.status; }, 10000));
    const bool paused = c.status == std::wstring(vocab::kWaiting);
    EXPECT_EQ(queue.WaitingForWindow(), paused);
    // What came before the end of the hours is kept, to go on from.
    if (paused) {
      EXPECT_EQ(list.At(0)->PartETag, L"\"h1\"");
    }
    // Stop: a run waiting for its hours ends at once.
    if (queue.IsDownloading) queue.cmdStartDownload_Click();
    EXPECT_TRUE(PumpUntil([&] { return !queue.IsDownloading; }, 10000));
    DeleteFileForced(window.folder + L"\\hours.swf");
    DeleteFileForced(window.folder + L"\\hours.swf.part");
    RemoveDirectoryW(window.folder.c_str());
  }
}

}  // namespace
