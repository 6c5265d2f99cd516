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

class StandInWindow : public IQueueHost {
 public:
  std::wstring folder;
  std::vector<std::wstring> shown;  // everything the driver asked the window to show, in order
  std::vector<std::wstring> statuses;

  HWND OwnerWindow() override { return nullptr; }
  void SetStartButtonCaption(const std::wstring& caption) override {
    shown.push_back(L"button " + caption);
  }
  void SetMenuDownloadCaption(const std::wstring& caption) override {
    shown.push_back(L"menu " + caption);
  }
  void SetFlashVariable(const std::wstring& name, const std::wstring& value) override {
    shown.push_back(name + L"=" + value);
  }
  std::wstring CurrentTab() override { return L"Download"; }
  std::wstring DownloadFolder() override { return folder; }
  void LocateCurrentRow() override {}
  void ShowCurrentStatus(const std::wstring& status) override {
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  }
  void ShowTransferProgress(int64_t bytes, float size) override {
    transfer.push_back({bytes, size});
  }
  void EndTransferProgress() override { shown.push_back(L"transfer over"); }
  void RunEnded(int downloaded, int failed) override {
    shown.push_back(L"ran " + std::to_wstring(downloaded) + L"/" + std::to_wstring(failed));
  }
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
  const std::vector<std::wstring> shown = {
      L"button Stop Downloading", L"menu Stop Downloading", L"_root.downloadBtn=0",
      L"_root.startDownload=0",  L"_root.downloadTab=0",   L"transfer over",
      L"ran 1/1",                L"button Start Downloading",
      L"_root.startDownload=1",  L"_root.downloadBtn=1",   L"_root.downloadTab=1",
      L"menu Start Downloading"};
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
