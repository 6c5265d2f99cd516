// The queue driver against the loopback server, with real files on disk: every
// item resolved, named, transferred into the download folder, and its status
// written as it happens. The server listens on port 80, where the YouTube
// redirect request always goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <regex>

#include "common/WindowText.h"
#include "downloadlist/Vocabulary.h"
#include "tests/transfer/QueueFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"
#include "transfer/SpeedLimit.h"

using namespace mf;
using namespace mf::test;

namespace {

using QueueDriverTest = QueueFixture;

TEST_F(QueueDriverTest, FiveItemsOfSeveralSitesAreDownloadedIntoTheFolder) {
  // YouTube: the page names the player, whose redirect names the video.
  const std::wstring youtube =
      Add(Page("/www.youtube.com/watch?v=abc", YouTubePage("http://127.0.0.1/v/abc")));
  http.Route("/v/abc", HttpResponse::Text("")
                           .Status(303, "See Other")
                           .Header("Location", "http://127.0.0.1/swf/l.swf?video_id=abc&t=X1"));
  http.Route("/get_video?video_id=abc&t=X1", HttpResponse::File(300000, 1));
  // Google Video: the iPod link; the server names the file.
  const std::wstring google =
      Add(Page("/video.google.com/videoplay?docid=7", GooglePage(http.Url("/ipod/v7.mp4"))));
  http.Route("/ipod/v7.mp4", HttpResponse::File(2049, 2).Header(
                                 "Content-Disposition", "attachment; filename=\"talk.mp4\""));
  // AngryAlien: the embedded source.
  const std::wstring angry = Add(Page("/www.angryalien.com/0504/bunnies.asp",
                                      "<embed src=\"http://127.0.0.1/aa/bunnies.swf\" w=1>"));
  http.Route("/aa/bunnies.swf", HttpResponse::File(70000, 3));
  // ZippyVideos: four values put together; the name gets ".flv".
  const std::wstring zippy = Add(
      Page("/www.zippyvideos.com/1/clip/",
           "<embed src='/p.swf?storageId=3&userName=u&videoId=4&srvURL=http://127.0.0.1/zv' >"));
  http.Route("/zv/3/u/4", HttpResponse::File(5000, 4));
  // A video whose size the server does not tell.
  const std::wstring unsized =
      Add(Page("/video.google.com/videoplay?docid=8", GooglePage(http.Url("/ipod/v8.flv"))));
  http.Route("/ipod/v8.flv", HttpResponse::File(9000, 5).WithoutContentLength());

  StatusRecorder recorder(app);
  Run();

  ASSERT_EQ(app.list.Items().size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(StatusText(Item(i)), vocab::kComplete) << i;
  EXPECT_EQ(Item(0).FileName, L"get_videovideo_id=abct=X1.flv");
  EXPECT_EQ(Item(1).FileName, L"talk.mp4");
  EXPECT_EQ(Item(2).FileName, L"bunnies.swf");
  EXPECT_EQ(Item(3).FileName, L"4.flv");
  EXPECT_EQ(Item(4).FileName, L"v8.flv");
  EXPECT_EQ(SizeText(Item(0)), L"293 KB");
  EXPECT_EQ(SizeText(Item(4)), vocab::kSizeWithoutLength);
  const std::pair<uint64_t, uint32_t> served[] = {
      {300000, 1}, {2049, 2}, {70000, 3}, {5000, 4}, {9000, 5}};
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(FileHash(InFolder(Item(i).FileName)), PatternHash(served[i].first, served[i].second))
        << Item(i).FileName;

  // The statuses pass through their sequence.
  const auto& yt = recorder.seen[youtube];
  ASSERT_GE(yt.size(), 4u);
  EXPECT_EQ(yt.front().rfind(L"Preparing (", 0), 0u) << yt.front();
  auto startAt = std::find(yt.begin(), yt.end(), vocab::kStartDownloading);
  ASSERT_NE(startAt, yt.end());
  for (auto it = yt.begin(); it != startAt; ++it)
    EXPECT_TRUE(it->rfind(L"Preparing (", 0) == 0 || *it == vocab::kPreparingMore) << *it;
  std::vector<std::wstring> percents(startAt + 1, yt.end());
  ASSERT_FALSE(percents.empty());
  int last = -1;
  for (const auto& p : percents) {
    int v = std::stoi(p);
    EXPECT_EQ(std::to_wstring(v), p);
    EXPECT_GT(v, last);
    last = v;
  }
  EXPECT_EQ(last, 100);
  const auto& sizes = recorder.seen[unsized];
  EXPECT_EQ(sizes.back(), L"8.8 KB so far..");

  // Idle again: captions and the front end's variables.
  EXPECT_FALSE(app.queue.IsDownloading);
  EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
  EXPECT_EQ(Controls(form).Menu.Caption(frmMenu::mnuDownload), L"Start Downloading");
  EXPECT_EQ(Var(L"_root.startDownload"), L"1");
  EXPECT_EQ(Var(L"_root.downloadBtn"), L"1");
  EXPECT_EQ(Var(L"_root.downloadTab"), L"1");
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(QueueDriverTest, StartOnAnEmptyListOnlySaysSo) {
  Controls(form).Flash.SetVariable(L"_root.startDownload", L"0");
  Run();
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, L"Please add video URL's first.");
  EXPECT_EQ(platform.messageBoxes[0].title, L"Empty List");
  EXPECT_EQ(platform.messageBoxes[0].Icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(Var(L"_root.startDownload"), L"1");
  EXPECT_EQ(platform.onlineChecks, 0);
  EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
}

TEST_F(QueueDriverTest, NotConnectedSaysSoAndChangesNothing) {
  Add(Page("/angryalien.com/a", "<embed src=\"http://127.0.0.1/aa/a.swf\">"));
  platform.online = false;
  Run();
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text,
            L"You are not connected to the internet, Please connect first then try again");
  EXPECT_EQ(platform.messageBoxes[0].title, L"Marrowfin");
  EXPECT_EQ(platform.messageBoxes[0].Icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(StatusText(Item(0)), vocab::kWaiting);
  EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
  EXPECT_EQ(Var(L"_root.startDownload"), L"");
  EXPECT_TRUE(http.Requests().empty());
}

TEST_F(QueueDriverTest, ItemsAlreadyCompleteOrFailedEndTheRunAtOnce) {
  app.list.AddItem(L"http://www.youtube.com/watch?v=done", L"a.flv", vocab::kComplete, L"1 KB");
  app.list.AddItem(L"http://www.youtube.com/watch?v=bad", L"b.flv", vocab::kError, L"1 KB");
  Run();
  EXPECT_TRUE(http.Requests().empty());
  EXPECT_EQ(StatusText(Item(0)), vocab::kComplete);
  EXPECT_EQ(StatusText(Item(1)), vocab::kError);
  EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
  EXPECT_EQ(Var(L"_root.downloadBtn"), L"1");
  EXPECT_FALSE(app.queue.IsDownloading);
}

TEST_F(QueueDriverTest, AFailedResolutionDoesNotStopTheNextItem) {
  Add(http.Url("/angryalien.com/missing"));  // answered with the server's 404 page
  Add(Page("/angryalien.com/b", "<embed src=\"http://127.0.0.1/aa/b.swf\">"));
  http.Route("/aa/b.swf", HttpResponse::File(4096, 9));
  Run();
  EXPECT_EQ(StatusText(Item(0)), vocab::kError);
  // An error page is no verdict on the video: the item keeps its address.
  EXPECT_EQ(NameText(Item(0)), vocab::kAutoDetect);
  EXPECT_EQ(Item(0).Video_URL, http.Url("/angryalien.com/missing"));
  EXPECT_EQ(StatusText(Item(1)), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(L"b.swf")), PatternHash(4096, 9));
}

TEST_F(QueueDriverTest, StopDuringATransferAsksAndCancelsOnlyOnYes) {
  Add(Page("/angryalien.com/slow", "<embed src=\"http://127.0.0.1/aa/slow.swf\">"));
  Add(Page("/angryalien.com/next", "<embed src=\"http://127.0.0.1/aa/next.swf\">"));
  http.Route("/aa/slow.swf", HttpResponse::File(800000, 1).Slow(16384, 15));
  http.Route("/aa/next.swf", HttpResponse::File(1000, 2));
  StatusRecorder recorder(app);
  int progressSeen = 0;
  platform.messageBoxAnswers = {IDNO, IDYES};
  recorder.onProgress = [&] {
    if (app.queue.IsFetchingPage) return;
    ++progressSeen;
    // The user presses Stop twice during the transfer: No, then Yes.
    if (progressSeen == 3) form.cmdStartDownload_Click();
    if (progressSeen == 6) {
      EXPECT_EQ(GetText(Controls(form).cmdStartDownload),
                L"Stop Downloading");  // No kept it running
      form.cmdStartDownload_Click();
      EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
      EXPECT_EQ(Controls(form).Menu.Caption(frmMenu::mnuDownload), L"Start Downloading");
      EXPECT_EQ(Var(L"_root.downloadBtn"), L"1");
      EXPECT_EQ(Var(L"_root.startDownload"), L"1");
      EXPECT_EQ(Var(L"_root.downloadTab"), L"1");
    }
  };
  Run();
  ASSERT_EQ(platform.messageBoxes.size(), 2u);
  EXPECT_EQ(platform.messageBoxes[0].text, L"Are you sure that you want to cancel downloading?");
  EXPECT_EQ(platform.messageBoxes[0].Buttons(), static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(platform.messageBoxes[0].Icon(), static_cast<UINT>(MB_ICONQUESTION));
  EXPECT_EQ(StatusText(Item(0)), vocab::kCancelled);
  EXPECT_EQ(StatusText(Item(1)), vocab::kWaiting);  // untouched
  EXPECT_EQ(http.CountRequests("GET", "/aa/next.swf"), 0u);
  EXPECT_FALSE(app.queue.IsDownloading);
  EXPECT_LE(progressSeen, 8);
}

TEST_F(QueueDriverTest, AnItemAddedDuringTheLastTransferIsDownloadedInTheSameRun) {
  Add(Page("/angryalien.com/one", "<embed src=\"http://127.0.0.1/aa/one.swf\">"));
  http.Route("/aa/one.swf", HttpResponse::File(100000, 1).Slow(8192, 10));
  const std::wstring later =
      Page("/angryalien.com/two", "<embed src=\"http://127.0.0.1/aa/two.swf\">");
  http.Route("/aa/two.swf", HttpResponse::File(3000, 2));
  StatusRecorder recorder(app);
  recorder.onProgress = [&] {
    if (!app.queue.IsFetchingPage && app.list.Items().size() == 1) app.gridView.AddURLToList(later);
  };
  Run();
  ASSERT_EQ(app.list.Items().size(), 2u);
  EXPECT_EQ(StatusText(Item(0)), vocab::kComplete);
  EXPECT_EQ(StatusText(Item(1)), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(L"two.swf")), PatternHash(3000, 2));
}

TEST_F(QueueDriverTest, TransfersThatEndWithoutTheirDataAreErrors) {
  // The connection drops halfway: the part received stays, the item fails.
  Add(Page("/angryalien.com/cut", "<embed src=\"http://127.0.0.1/aa/cut.swf\">"));
  http.Route("/aa/cut.swf", HttpResponse::File(50000, 1).DropAfter(20000));
  // The server answers the video with its error page.
  Add(Page("/angryalien.com/gone", "<embed src=\"http://127.0.0.1/aa/gone.swf\">"));
  // The server knows neither the file nor its size.
  Add(Page("/angryalien.com/nothing", "<embed src=\"http://127.0.0.1:1/x/nothing.swf\">"));
  Run();
  EXPECT_EQ(StatusText(Item(0)), vocab::kError);
  // The part received stays under the partial file's name, never the video's.
  EXPECT_TRUE(FileExists(InFolder(L"cut.swf.part")));
  EXPECT_FALSE(FileExists(InFolder(L"cut.swf")));
  EXPECT_EQ(StatusText(Item(1)), vocab::kError);
  EXPECT_FALSE(FileExists(InFolder(L"gone.swf"))) << "the error page was kept as the video";
  EXPECT_FALSE(FileExists(InFolder(L"gone.swf.part")));
  EXPECT_EQ(StatusText(Item(2)), vocab::kError);
  EXPECT_EQ(SizeText(Item(2)), L"-1 Bytes");
}

TEST_F(QueueDriverTest, ADeviceNameOrDotsStayAFileInTheFolder) {
  Add(Page("/angryalien.com/c", "<embed src=\"http://127.0.0.1/aa/c.swf\">"));
  Add(Page("/angryalien.com/d", "<embed src=\"http://127.0.0.1/aa/d.swf\">"));
  http.Route("/aa/c.swf", HttpResponse::File(1000, 1));
  http.Route("/aa/d.swf", HttpResponse::File(1000, 2));
  app.list.UpdateItem(1, L"", L"CON.flv", L"", L"");  // renamed by the user
  app.list.UpdateItem(2, L"", L"..", L"", L"");
  Run();
  EXPECT_EQ(StatusText(Item(0)), vocab::kComplete);
  EXPECT_EQ(Item(0).FileName, L"_CON.flv");
  EXPECT_EQ(FileHash(InFolder(L"_CON.flv")), PatternHash(1000, 1));
  EXPECT_EQ(StatusText(Item(1)), vocab::kComplete);
  // A name of only dots is no name: the address gives one.
  EXPECT_EQ(Item(1).FileName, L"d.swf");
  EXPECT_EQ(FileHash(InFolder(L"d.swf")), PatternHash(1000, 2));
}

TEST_F(QueueDriverTest, ARunStartedOnTheAboutPageTellsTheDownloadTab) {
  form.CurrentTab = L"About";
  Add(Page("/angryalien.com/e", "<embed src=\"http://127.0.0.1/aa/e.swf\">"));
  http.Route("/aa/e.swf", HttpResponse::File(10, 1));
  Run();
  EXPECT_EQ(Var(L"_root.downloadBtnTab"), L"1");
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_EQ(StatusText(Item(0)), vocab::kComplete);
}

TEST_F(QueueDriverTest, TheSpeedLineShowsSpeedAndTimeLeftWhileAFileArrivesAndGoesAfter) {
  struct Case {
    std::string target;
    HttpResponse file;
    const wchar_t* line;  // what the line beside the start button says meanwhile
  };
  const Case cases[] = {
      {"/aa/sized.swf", HttpResponse::File(500000, 1).Slow(8192, 20),
       // Once all of it is there no time is left to tell.
       LR"(\d+([.,]\d)? (Bytes|KB|MB)/s(, about \d+ (seconds|min) left)?)"},
      {"/aa/unsized.swf", HttpResponse::File(500000, 2).WithoutContentLength().Slow(8192, 20),
       LR"(\d+([.,]\d)? (Bytes|KB|MB) so far, \d+([.,]\d)? (Bytes|KB|MB)/s)"},
  };
  for (const Case& c : cases) {
    Add(Page("/angryalien.com" + c.target, "<embed src=\"http://127.0.0.1" + c.target + "\">"));
    http.Route(c.target, c.file);
  }
  // Each item's distinct lines while its file arrives, and the tray tooltip then.
  std::map<std::wstring, std::vector<std::wstring>> lines;
  StatusRecorder recorder(app);
  recorder.onProgress = [&] {
    if (app.queue.IsFetchingPage) return;
    const DownloadItem& item = Item(static_cast<size_t>(app.queue.CurrentIndex()));
    const std::wstring line = Var(L"_root.progressTxt");
    auto& seen = lines[item.Video_URL];
    if (!seen.empty() && seen.back() == line) return;
    seen.push_back(line);
    if (!line.empty()) {
      EXPECT_EQ(Controls(form).SysTray.ToolTip(), item.FileName + L"\n" + line);
    }
  };
  Run();

  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(StatusText(Item(i)), vocab::kComplete);
    const std::vector<std::wstring>& seen = lines[Item(i).Video_URL];
    ASSERT_GE(seen.size(), 2u) << i;
    EXPECT_EQ(seen.front(), L"") << "cleared when the item before it ended";
    for (size_t k = 1; k < seen.size(); ++k)
      EXPECT_TRUE(std::regex_match(seen[k], std::wregex(cases[i].line)))
          << i << ": " << ToAnsi(seen[k]);
  }
  EXPECT_EQ(Var(L"_root.progressTxt"), L"");
  EXPECT_EQ(Controls(form).SysTray.ToolTip(), L"Marrowfin");
}

// Three items at once, each with its own transfer and bar, the line and the
// tooltip the whole run's; then a stop that cancels all of them at once.
TEST_F(QueueDriverTest, ThreeItemsGoAtOnceAndAStopCancelsThemAll) {
  app.queue.SetSimultaneous(3);
  for (bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stopped" : "to their end");
    const size_t first = app.list.Items().size();  // the items of the case before are complete
    for (int n = 1; n <= 4; ++n) {
      const std::string name = "at-once-" + std::to_string(n) + (stop ? "s" : "");
      const std::string target = "/aa/" + name + ".swf";
      Add(Page("/angryalien.com/" + name, "<embed src=\"http://127.0.0.1" + target + "\">"));
      http.Route(target, HttpResponse::File(400000, static_cast<uint32_t>(n)).Slow(8192, 20));
    }
    size_t most = 0;
    std::wstring tooltip;
    platform.messageBoxAnswers = {IDYES};
    StatusRecorder recorder(app);
    recorder.onProgress = [&] {
      const size_t arriving = std::ranges::count_if(
          app.list.Items(), [](const DownloadItem& i) { return i.State == ItemState::Arriving; });
      most = std::max(most, arriving);
      if (arriving == 3) tooltip = Controls(form).SysTray.ToolTip();
      if (stop && arriving == 3) form.cmdStartDownload_Click();
    };
    Run();
    EXPECT_EQ(most, 3u);
    EXPECT_EQ(app.queue.RunningKeys().size(), 0u);
    if (stop) {
      for (size_t i = 0; i < 3; ++i) EXPECT_EQ(StatusText(Item(first + i)), vocab::kCancelled) << i;
      EXPECT_EQ(StatusText(Item(first + 3)), vocab::kWaiting);
      continue;
    }
    EXPECT_EQ(tooltip.rfind(L"3 videos at once\n", 0), 0u) << ToAnsi(tooltip);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(StatusText(Item(first + i)), vocab::kComplete)
          << i << ToAnsi(Item(first + i).Reason);
      EXPECT_EQ(FileHash(InFolder(Item(first + i).FileName)),
                PatternHash(400000, static_cast<uint32_t>(i + 1)))
          << i;
    }
  }
}

// Three items at once, each over several connections, from a server that
// takes only two connections and answers 503 beyond: the run steps down and
// brings every file whole.
TEST_F(QueueDriverTest, ThreeItemsOfManyConnectionsFromAServerOfTwoAllEndWhole) {
  app.queue.SetSimultaneous(3);
  HttpServer files;  // a port of its own: its cap is not another test's
  ASSERT_TRUE(files.Start());
  files.LimitConnections(2);
  constexpr uint64_t kSize = 6 << 20;
  for (uint32_t n = 1; n <= 3; ++n) {
    const std::string target = std::string("/m").append(std::to_string(n)) + ".swf";
    files.Route(target, HttpResponse::File(kSize, n)
                            .AcceptRanges()
                            .Header("ETag", "\"m" + std::to_string(n) + "\"")
                            .Slow(64 * 1024, 2));
    Add(Page("/angryalien.com/m" + std::to_string(n),
             "<embed src=\"" + ToAnsi(files.Url(target)) + "\">"));
  }
  Run();
  for (uint32_t n = 1; n <= 3; ++n) {
    EXPECT_EQ(StatusText(Item(n - 1)), vocab::kComplete) << n;
    EXPECT_EQ(FileHash(InFolder(Item(n - 1).FileName)), PatternHash(kSize, n)) << n;
  }
  EXPECT_LE(files.MostAtOnce(), 2);
  EXPECT_GT(files.Refusals(), 0u);
  files.Stop();
}

// Servers that do not let a file be cut into pieces, through the whole run:
// one that ignores ranges brings it over one connection; one whose file
// changes while its pieces arrive has it started again, whole and new.
TEST_F(QueueDriverTest, FilesThatCannotGoInPiecesStillEndWhole) {
  app.queue.SetSimultaneous(1);
  constexpr uint64_t kSize = 6 << 20;
  struct Case {
    const char* what;
    bool ranges;
    uint32_t endsAs;  // the pattern of the file at the end
  };
  for (const Case& c :
       {Case{"ranges ignored", false, 1}, Case{"a new version meanwhile", true, 2}}) {
    SCOPED_TRACE(c.what);
    HttpServer files;
    ASSERT_TRUE(files.Start());
    std::atomic<int> gets{0};
    files.Route("/f.swf", [&](const HttpRequest& r) {
      // From the fourth request for its bytes on, the server has a new file.
      const bool changed = r.method == "GET" && ++gets > 3 && c.ranges;
      HttpResponse file = HttpResponse::File(kSize, changed ? 2 : 1).Slow(64 * 1024, 2);
      if (!c.ranges) return file;
      return AnswerRange(r, file.AcceptRanges().Header("ETag", changed ? "\"v2\"" : "\"v1\""));
    });
    const std::string page = std::string("/angryalien.com/p") + (c.ranges ? "r" : "n");
    Add(Page(page, "<embed src=\"" + ToAnsi(files.Url("/f.swf")) + "\">"));
    Run();
    const DownloadItem& item = app.list.Items().back();
    EXPECT_EQ(StatusText(item), vocab::kComplete);
    EXPECT_EQ(FileHash(InFolder(item.FileName)), PatternHash(kSize, c.endsAs));
    if (!c.ranges) {
      EXPECT_EQ(files.CountRequests("GET"), 1u);
    }
    files.Stop();
  }
}

// The speed limit holds for every transfer of the run together: two items
// at once, each over several connections.
TEST_F(QueueDriverTest, TheSpeedLimitHoldsForTheWholeRun) {
  app.queue.SetSimultaneous(2);
  constexpr int64_t kLimit = 4'000'000;
  constexpr uint64_t kSizes[] = {3 << 20, 5 << 20};
  for (uint32_t n = 1; n <= 2; ++n) {
    const std::string target = std::string("/aa/limited").append(std::to_string(n)) + ".swf";
    http.Route(target, HttpResponse::File(kSizes[n - 1], n).AcceptRanges().Header("ETag", "\"l\""));
    Add(Page("/angryalien.com/limited" + std::to_string(n),
             "<embed src=\"http://127.0.0.1" + target + "\">"));
  }
  SpeedLimit::Set(kLimit);
  const ULONGLONG began = GetTickCount64();
  Run();
  const double seconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
  SpeedLimit::Set(0);
  for (uint32_t n = 1; n <= 2; ++n) {
    EXPECT_EQ(StatusText(Item(n - 1)), vocab::kComplete);
    EXPECT_EQ(FileHash(InFolder(Item(n - 1).FileName)), PatternHash(kSizes[n - 1], n));
  }
  // Pages and information requests take a moment of the run's time too.
  const double rate = static_cast<double>(kSizes[0] + kSizes[1]) / seconds;
  EXPECT_LE(rate, kLimit * 1.05);
  EXPECT_GE(rate, kLimit * 0.9);
}

}  // namespace
