// The queue driver on its own: a whole run against the loopback server, with
// real files, and no main window, no movie and no privileged port. A stand-in
// for the window records what the driver shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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
  void RunEnded(int downloaded, int failed) override {
    shown.push_back(L"ran " + std::to_wstring(downloaded) + L"/" + std::to_wstring(failed));
  }
  void ItemChanged(uint32_t key) override {
    const DownloadItem* item = list->ByKey(key);
    if (item && (statuses.empty() || statuses.back() != item->Status)) statuses.push_back(item->Status);
  }
  void TransferProgress(uint32_t, int64_t bytes, float size) override {
    transfer.push_back({bytes, size});
  }
  void TransferEnded(uint32_t) override { shown.push_back(L"transfer over"); }
  void ItemNotice(uint32_t, const std::wstring& text) override { shown.push_back(L"notice " + text); }
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
  list.AddItem(http.Url("/www.angryalien.com/0504/bunnies.asp"), vocab::kAutoDetect,
               vocab::kWaiting, vocab::kUnknownSize);
  list.AddItem(http.Url("/www.break.com/index/gone.html"), vocab::kAutoDetect, vocab::kWaiting,
               vocab::kUnknownSize);

  queue.cmdStartDownload_Click();
  EXPECT_TRUE(PumpUntil([&] { return !queue.IsDownloading; }, 30000));

  EXPECT_FALSE(queue.IsDownloading);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.At(0)->Status, vocab::kComplete);
  EXPECT_EQ(list.At(0)->FileName, L"bunnies.swf");
  EXPECT_EQ(list.At(0)->FileSize, L"146.5 KB");
  const std::wstring file = window.folder + L"\\bunnies.swf";
  EXPECT_EQ(Sha256OfFile(file), Sha256OfPattern(7, 150000));
  EXPECT_EQ(list.At(1)->Status, vocab::kError);
  EXPECT_EQ(list.At(1)->Video_URL, vocab::kInappropriate);

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

}  // namespace
