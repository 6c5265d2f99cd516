// A run never mistakes one item for another and never destroys the user's
// work: edits during a run, stops at every step, error pages, names that are
// taken, and the window closed from the system. The real window, list and
// download control against the loopback server.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/WindowText.h"
#include "downloadlist/Vocabulary.h"
#include "tests/support/Files.h"
#include "tests/transfer/QueueFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

// A thread timer, for acting while the program waits with no transfer
// notification to hook (the redirect wait).
std::function<void()> g_onTimer;
void CALLBACK FireOnce(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto action = std::move(g_onTimer);
  g_onTimer = nullptr;
  if (action) action();
}
UINT_PTR g_timer = 0;
void After(UINT ms, std::function<void()> action) {
  g_onTimer = std::move(action);
  g_timer = SetTimer(nullptr, g_timer, ms, FireOnce);
}

class RunSafety : public QueueFixture {
 protected:
  void TearDown() override {
    if (g_timer) KillTimer(nullptr, g_timer);
    g_timer = 0;
    g_onTimer = nullptr;
    QueueFixture::TearDown();
  }
  // Between the cases of one test: an empty list and folder, a quiet server.
  void Fresh() {
    while (!app.list.IsListEmpty()) app.list.RemoveItem(1);
    app.list.FillDownloadList();
    EmptyFolder();
    http.ClearRequests();
    platform.messageBoxes.clear();
    platform.messageBoxAnswers.clear();
  }
  // An AngryAlien item whose video "/aa/<name>.swf" is `video`.
  std::wstring Video(const std::string& name, HttpResponse video) {
    http.Route("/aa/" + name + ".swf", std::move(video));
    return Add(
        Page("/angryalien.com/" + name, "<embed src=\"http://127.0.0.1/aa/" + name + ".swf\">"));
  }
  // A YouTube item whose player answers its redirect after `delayMs`.
  std::wstring Tube(const std::string& id, uint64_t size, uint32_t seed, DWORD delayMs) {
    const std::string redirect = "http://127.0.0.1/swf/l.swf?video_id=" + id + "&t=T";
    http.Route("/v/" + id, [redirect, delayMs](const HttpRequest&) {
      Sleep(delayMs);
      return HttpResponse::Text("").Status(303, "See Other").Header("Location", redirect);
    });
    http.Route("/get_video?video_id=" + id + "&t=T", HttpResponse::File(size, seed));
    return Add(Page("/www.youtube.com/watch?v=" + id, YouTubePage("http://127.0.0.1/v/" + id)));
  }
  void Select(size_t position) {
    app.gridView.DownloadGrid.ClearSelection();
    grid::Row row = *app.gridView.DownloadGrid.FirstRow();
    for (size_t i = 0; i < position; ++i) row = row.NextSibling();
    row.Cells(DownloadList::colVideoURL).SetSelected(true);
  }
  size_t PositionOf(const std::wstring& page) { return *app.list.FindAddress(page); }
  const DownloadItem* ItemOf(const std::wstring& page) {
    auto at = app.list.FindAddress(page);
    return at ? app.list.At(*at) : nullptr;
  }
  // Presses Stop and answers the question with Yes.
  void StopWithYes() {
    platform.messageBoxAnswers.push_back(IDYES);
    form.cmdStartDownload_Click();
  }
};

TEST_F(RunSafety, EditsDuringATransferNeverMisattributeAnItem) {
  struct Case {
    const char* edit;
    std::function<void(const std::wstring& running)> apply;
    bool runningRemoved;
  };
  const Case cases[] = {
      {"remove the running item",
       [this](const std::wstring& b) {
         Select(PositionOf(b));
         app.gridView.RemoveSelected();
       },
       true},
      {"remove an item above it",
       [this](const std::wstring&) {
         Select(0);
         app.gridView.RemoveSelected();
       },
       false},
      {"clear completed", [this](const std::wstring&) { app.gridView.ClearComplete(); }, false},
      {"move the next item up",
       [this](const std::wstring&) {
         Select(2);
         app.gridView.MoveUp();
       },
       false},
      {"move the item above down",
       [this](const std::wstring&) {
         Select(0);
         app.gridView.MoveDown();
       },
       false},
      {"add an item", [this](const std::wstring&) { Video("d", HttpResponse::File(2500, 4)); },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    Fresh();
    app.list.AddItem(L"http://www.angryalien.com/done", L"a.swf", vocab::kComplete, L"1 KB");
    const std::wstring b = Video("b", HttpResponse::File(200000, 2).Slow(4096, 10));
    const std::wstring c2 = Video("c", HttpResponse::File(3000, 3));
    StatusRecorder recorder(app);
    int progress = 0;
    bool rowChecked = false;
    recorder.onProgress = [&] {
      if (app.queue.IsFetchingPage || !ItemOf(b) || app.queue.RunningKey() != ItemOf(b)->Key)
        return;
      if (++progress == 3) c.apply(b);
      // The progress bar stays on the running item's row.
      if (progress == 5 && !c.runningRemoved) {
        ASSERT_TRUE(app.gridView.CurrentRow);
        EXPECT_EQ(app.gridView.CurrentRow->Cells(DownloadList::colVideoURL).Text(), b);
        rowChecked = true;
      }
    };
    Run();

    EXPECT_FALSE(app.queue.IsDownloading);
    EXPECT_EQ(rowChecked, !c.runningRemoved);
    for (const std::string name : {"b", "c", "d"}) {
      const std::wstring page = http.Url("/angryalien.com/" + name);
      const DownloadItem* item = ItemOf(page);
      const std::wstring file = InFolder(FromAnsi(name) + L".swf");
      EXPECT_LE(http.CountRequests("GET", "/aa/" + name + ".swf"), 1u) << name;
      if (!item) {
        EXPECT_FALSE(FileExists(file) || FileExists(file + L".part")) << name;
        continue;
      }
      EXPECT_EQ(StatusText(*item), vocab::kComplete) << name;
      const std::pair<uint64_t, uint32_t> sent = name == "b"   ? std::pair{200000ull, 2u}
                                                 : name == "c" ? std::pair{3000ull, 3u}
                                                               : std::pair{2500ull, 4u};
      EXPECT_EQ(FileHash(file), PatternHash(sent.first, sent.second)) << name;
    }
    EXPECT_EQ(ItemOf(b) == nullptr, c.runningRemoved);
    EXPECT_TRUE(ItemOf(c2));
  }
}

TEST_F(RunSafety, AStopEndsTheRunAtOnceAndTouchesNothingMore) {
  struct Case {
    const char* when;
    bool youtube;         // the item goes through the redirect wait
    bool duringTransfer;  // else during the page fetch or the redirect wait
    bool removeAllFirst;
  };
  const Case cases[] = {
      {"while the page loads", false, false, false},
      {"during the redirect wait", true, false, false},
      {"while the video arrives", false, true, false},
      {"after every item was removed", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.when);
    Fresh();
    const std::wstring b = c.youtube ? Tube("b", 5000, 2, 3000)
                                     : Video("b", HttpResponse::File(200000, 2).Slow(4096, 10));
    if (!c.youtube && !c.duringTransfer)
      http.Route(
          "/angryalien.com/b",
          HttpResponse::Text("<embed src=\"http://127.0.0.1/aa/b.swf\">" + std::string(200000, ' '))
              .Slow(4096, 10));
    const std::wstring next = Video("c", HttpResponse::File(3000, 3));
    StatusRecorder recorder(app);
    int progress = 0;
    recorder.onProgress = [&] {
      if (c.youtube) {
        // Stop once the page is in and the redirect wait has begun.
        if (app.queue.IsFetchingPage) After(300, [&] { StopWithYes(); });
        return;
      }
      if (app.queue.IsFetchingPage != !c.duringTransfer || ++progress != 3) return;
      if (c.removeAllFirst) {
        app.gridView.SelectAll();
        app.gridView.RemoveSelected();
      }
      StopWithYes();
    };
    const ULONGLONG started = GetTickCount64();
    Run();
    const ULONGLONG took = GetTickCount64() - started;

    EXPECT_FALSE(app.queue.IsDownloading);
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].text, L"Are you sure that you want to cancel downloading?");
    EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
    if (c.removeAllFirst) {
      EXPECT_TRUE(app.list.IsListEmpty());
      continue;
    }
    EXPECT_EQ(StatusText(*ItemOf(b)), vocab::kCancelled);
    EXPECT_EQ(StatusText(*ItemOf(next)), vocab::kWaiting);
    EXPECT_EQ(http.CountRequests("GET", "/angryalien.com/c"), 0u);
    const std::string video = c.youtube ? "/get_video?video_id=b&t=T" : "/aa/b.swf";
    EXPECT_EQ(http.CountRequests("HEAD", video), c.duringTransfer ? 1u : 0u);
    EXPECT_EQ(http.CountRequests("GET", video), c.duringTransfer ? 1u : 0u);
    if (c.youtube) {
      EXPECT_LT(took, 2500u) << "the redirect wait did not end on the stop";
    }
  }
}

TEST_F(RunSafety, AStartWhileAStoppedRunEndsWaitsForIt) {
  const std::wstring b = Tube("b", 40000, 2, 1000);
  const std::wstring c = Tube("c", 30000, 3, 200);
  StatusRecorder recorder(app);
  bool pressed = false;
  recorder.onProgress = [&] {
    if (!app.queue.IsFetchingPage || pressed) return;
    pressed = true;
    // Stop and at once Start again, while the redirect wait still runs.
    After(300, [&] {
      StopWithYes();
      form.cmdStartDownload_Click();
      EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Stop Downloading");
    });
  };
  Run();

  EXPECT_FALSE(app.queue.IsDownloading);
  EXPECT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(StatusText(*ItemOf(b)), vocab::kComplete);
  EXPECT_EQ(StatusText(*ItemOf(c)), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(ItemOf(b)->FileName)), PatternHash(40000, 2));
  EXPECT_EQ(FileHash(InFolder(ItemOf(c)->FileName)), PatternHash(30000, 3));
  EXPECT_EQ(http.CountRequests("GET", "/get_video?video_id=b&t=T"), 1u);
  EXPECT_EQ(http.CountRequests("GET", "/get_video?video_id=c&t=T"), 1u);
  EXPECT_EQ(GetText(Controls(form).cmdStartDownload), L"Start Downloading");
}

TEST_F(RunSafety, APageThatDidNotArriveWholeKeepsTheAddress) {
  const std::string embed = "<embed src=\"http://127.0.0.1/aa/v.swf\">";
  struct Case {
    const char* page;
    HttpResponse answer;
  };
  const Case cases[] = {
      {"404", HttpResponse::Text(embed).Status(404, "Not Found")},
      {"429", HttpResponse::Text(embed).Status(429, "Too Many Requests")},
      {"503", HttpResponse::Text(embed).Status(503, "Service Unavailable")},
      {"cut off", HttpResponse::Text(embed + std::string(5000, ' ')).DropAfter(2000)},
      {"over 16 MiB", HttpResponse::Text(embed + std::string(17 << 20, ' '))},
  };
  http.Route("/aa/v.swf", HttpResponse::File(1000, 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const std::string target = std::string("/angryalien.com/") + c.page;
    http.Route(target, c.answer);
    const std::wstring page = Add(http.Url(target));
    Run();
    EXPECT_EQ(StatusText(*ItemOf(page)), vocab::kError);
    EXPECT_EQ(NameText(*ItemOf(page)), vocab::kAutoDetect);
  }
  EXPECT_EQ(app.list.Count(), std::size(cases));  // every address is still there
  EXPECT_EQ(http.CountRequests("GET", "/aa/v.swf"), 0u);

  // Adding a failed address again gives that item another try, in its place.
  const std::wstring first = app.list.At(0)->Video_URL;
  EXPECT_TRUE(app.gridView.AddURLToList(first));
  EXPECT_EQ(app.list.Count(), std::size(cases));
  EXPECT_EQ(StatusText(*app.list.At(0)), vocab::kWaiting);
  EXPECT_NE(Controls(form).Flash.GetVariable(L"_root.notice"), L"");
}

TEST_F(RunSafety, ATakenNameNeverCostsAFile) {
  CreateDirectoryA(ToAnsi(folder).c_str(), nullptr);
  const std::wstring mine = InFolder(L"keep.swf");
  WriteFileBytes(mine, "the user's own file");
  SetFileAttributesA(ToAnsi(mine).c_str(), FILE_ATTRIBUTE_READONLY);
  const auto named = [](uint64_t size, uint32_t seed) {
    return HttpResponse::File(size, seed)
        .Header("Content-Disposition", "attachment; filename=\"clip.mp4\"");
  };
  Video("x1", named(60000, 1).Slow(8192, 5));
  Video("x2", named(7000, 2));
  Video("keep", HttpResponse::File(5000, 3));
  // An answer whose headers cannot be read names nothing: no earlier name stands in.
  Video("x4", HttpResponse::File(4000, 4).Header("X-Padding", std::string(1100, 'p')));
  StatusRecorder recorder(app);
  bool partSeen = false;
  recorder.onProgress = [&] {
    if (!app.queue.IsFetchingPage && app.queue.CurrentIndex() == 0 && !partSeen) {
      partSeen = FileExists(InFolder(L"clip.mp4.part")) && !FileExists(InFolder(L"clip.mp4"));
    }
  };
  Run();

  EXPECT_TRUE(partSeen) << "the video arrived under its final name";
  const std::vector<std::pair<std::wstring, std::string>> files = {
      {L"clip.mp4", PatternHash(60000, 1)},
      {L"clip (2).mp4", PatternHash(7000, 2)},
      {L"keep (2).swf", PatternHash(5000, 3)},
      {L"x4.swf", PatternHash(4000, 4)},
  };
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(StatusText(*app.list.At(i)), vocab::kComplete) << i;
    EXPECT_EQ(app.list.At(i)->FileName, files[i].first) << i;
    EXPECT_EQ(FileHash(InFolder(files[i].first)), files[i].second) << i;
    EXPECT_FALSE(FileExists(InFolder(files[i].first + L".part"))) << i;
  }
  EXPECT_EQ(ReadFileBytes(mine), "the user's own file");
  EXPECT_TRUE(GetFileAttributesA(ToAnsi(mine).c_str()) & FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(ToAnsi(mine).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(RunSafety, TheWindowKeepsItsStateWhileAPageLoadsAndAsksBeforeClosing) {
  Video("b", HttpResponse::File(100000, 2).Slow(8192, 10));
  http.Route("/angryalien.com/b", HttpResponse::Text("<embed src=\"http://127.0.0.1/aa/b.swf\">" +
                                                     std::string(400000, ' '))
                                      .Slow(16384, 10));
  Video("c", HttpResponse::File(1000, 3));
  StatusRecorder recorder(app);
  std::shared_ptr<table::Table> table;
  int pageProgress = 0, transferProgress = 0;
  platform.messageBoxAnswers = {IDNO};
  recorder.onProgress = [&] {
    if (app.queue.IsFetchingPage && app.queue.CurrentIndex() == 0) {
      // Every chunk of the page writes the Status cell only: same table, and
      // the row the user selected meanwhile stays selected.
      if (++pageProgress == 1) {
        table = app.list.ListRecordset();
        Select(1);
      }
      EXPECT_EQ(app.list.ListRecordset(), table);
      EXPECT_EQ(app.gridView.DownloadGrid.SelectedCellCount(), 1u);
    } else if (!app.queue.IsFetchingPage && ++transferProgress == 3) {
      // Alt+F4 or the taskbar's "Close window" during a download: the question, No.
      SendMessageA(form.Hwnd(), WM_CLOSE, 0, 0);
    }
  };
  Run();
  EXPECT_GT(pageProgress, 3);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text,
            L"Download is in Progress, Are you sure that you want to exit?");
  EXPECT_EQ(StatusText(*app.list.At(0)), vocab::kComplete);  // "No" let it go on
  EXPECT_TRUE(IsWindow(form.Hwnd()));
}

}  // namespace
