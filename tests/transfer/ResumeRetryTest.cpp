// Nothing lost when a transfer breaks: the partial file is continued where it
// stopped, only ever with the rest of the same file, and a failure that may
// pass is tried again after a wait.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "downloadlist/Vocabulary.h"
#include "tests/transfer/QueueFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

class ResumeRetry : public QueueFixture {
 protected:
  void SetUp() override {
    QueueFixture::SetUp();
    app.queue.RetryWaitsMs = {50, 50, 50};
    app.queue.Download.SetTimeouts(2000, 700);
  }
  // An AngryAlien page whose video "/aa/<name>" the handler answers.
  std::wstring Video(const std::string& name, HttpHandler video) {
    http.Route("/aa/" + name, std::move(video));
    return Add(Page("/angryalien.com/" + name, "<embed src=\"http://127.0.0.1/aa/" + name + "\">"));
  }
  static HttpResponse Versioned(uint64_t size, uint32_t seed, const std::string& etag) {
    return HttpResponse::File(size, seed).AcceptRanges().Header("ETag", etag);
  }
};

TEST_F(ResumeRetry, ATransferCutAgainAndAgainEndsWholeHavingFetchedItOnce) {
  constexpr uint64_t kSize = 256ull << 20;
  std::mt19937 random(20261207);
  std::vector<uint64_t> cuts;
  for (int i = 0; i < 3; ++i)
    cuts.push_back(std::uniform_int_distribution<uint64_t>(1, kSize / 3)(random));
  std::atomic<int> gets{0};
  Video("big.swf", [&](const HttpRequest& request) {
    HttpResponse r = AnswerRange(request, Versioned(kSize, 3, "\"v1\""));
    if (request.method != "GET") return r;
    const int n = gets++;
    // Cut twice, then stop sending for longer than the transfer waits, then whole.
    if (n < 2) return r.DropAfter(cuts[static_cast<size_t>(n)], n == 1);
    if (n == 2) return r.Slow(cuts[2], 2000).SlowUntil(cuts[2]);
    return r;
  });
  // One stream, so that each GET is one of the cuts (pieces have tests of their own).
  app.queue.Download.SetConnectionsPerDownload(1);
  Run();

  EXPECT_EQ(StatusText(Item(0)), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(L"big.swf")), PatternHash(kSize, 3));
  EXPECT_EQ(gets.load(), 4);
  EXPECT_LT(http.BodyBytesSent(), kSize + kSize / 10) << "the parts were fetched again";
}

TEST_F(ResumeRetry, ServersThatSendAnotherPartEndWithTheRightFileOrAnHonestError) {
  constexpr uint64_t kSize = 300000;
  struct Case {
    const char* server;
    // The answer to the second GET, the one that asks for the rest.
    std::function<HttpResponse(const HttpRequest&)> second;
    uint64_t sentAtMost;  // body bytes over both GETs
  };
  const Case cases[] = {
      {"ignores Range", [](const HttpRequest&) { return Versioned(kSize, 4, "\"v1\""); },
       100000 + kSize},
      {"sends another range",
       [](const HttpRequest& r) {
         HttpResponse wrong = Versioned(kSize, 4, "\"v1\"");
         HttpRequest elsewhere = r;
         for (HttpHeader& h : elsewhere.headers)
           if (h.name == "Range") h.value = "bytes=10-";
         return AnswerRange(elsewhere, std::move(wrong));
       },
       // The refused answer's bytes may have left the server before it was refused.
       100000 + 2 * kSize},
      {"changed the file",
       [](const HttpRequest& r) { return AnswerRange(r, Versioned(kSize, 4, "\"v2\"")); },
       100000 + kSize},
      {"has nothing more to send",
       [](const HttpRequest& r) { return AnswerRange(r, Versioned(kSize, 4, "\"v1\"")); }, kSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    http.ClearRequests();
    const uint64_t sentBefore = http.BodyBytesSent();
    const std::string name = std::string("f") + std::to_string(&c - cases) + ".swf";
    std::atomic<int> gets{0};
    const bool whole = std::string(c.server) == "has nothing more to send";
    const bool changed = std::string(c.server) == "changed the file";
    Video(name, [&](const HttpRequest& request) {
      // The server that changed the file says so to every request after the first.
      const char* etag = changed && gets > 0 ? "\"v2\"" : "\"v1\"";
      if (request.method != "GET") return AnswerRange(request, Versioned(kSize, 4, etag));
      // The first GET breaks off; the last server's only after all its bytes,
      // having announced one more.
      if (gets++ == 0)
        return whole ? Versioned(kSize, 4, etag).AnnounceLength(kSize + 1)
                     : Versioned(kSize, 4, etag).DropAfter(100000);
      return c.second(request);
    });
    Run();
    const DownloadItem& item = *app.list.At(app.list.Count() - 1);
    // Either the right file, or an honest "ERROR" and no file under the name.
    if (StatusText(item) == vocab::kComplete) {
      EXPECT_EQ(FileHash(InFolder(FromAnsi(name))), PatternHash(kSize, 4));
    } else {
      EXPECT_EQ(StatusText(item), vocab::kError);
      EXPECT_FALSE(FileExists(InFolder(FromAnsi(name))));
    }
    EXPECT_EQ(StatusText(item), vocab::kComplete) << "each of these servers allows a right file";
    // The page's few bytes come on top.
    EXPECT_LE(http.BodyBytesSent() - sentBefore, c.sentAtMost + 1000);
  }
}

TEST_F(ResumeRetry, BusyServersAreTriedAgainWithTheAttemptShownAndRefusalsAreNot) {
  std::atomic<int> busy{0}, missing{0};
  Video("later.swf", [&](const HttpRequest& request) {
    if (request.method == "GET" && busy++ < 2)
      return HttpResponse::Text("busy").Status(503, "Service Unavailable");
    return HttpResponse::File(20000, 5);
  });
  Video("gone.swf", [&](const HttpRequest& request) {
    if (request.method == "GET") ++missing;
    return HttpResponse::NotFound();
  });
  // The statuses of the waits, read as the window would show them meanwhile.
  app.queue.RetryWaitsMs = {300, 300, 300};
  static std::vector<std::string> seen;
  static const DownloadList* list;
  seen.clear();
  list = &app.list;
  struct Watch {
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
      const std::string status = ToAnsi(StatusText(*list->At(0)));
      if (seen.empty() || seen.back() != status) seen.push_back(status);
    }
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &Watch::Tick);
  Run();
  KillTimer(nullptr, timer);

  EXPECT_EQ(StatusText(Item(0)), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(L"later.swf")), PatternHash(20000, 5));
  for (const char* attempt : {"Retrying (1 of 3)...", "Retrying (2 of 3)..."})
    EXPECT_NE(std::find(seen.begin(), seen.end(), attempt), seen.end()) << attempt;
  EXPECT_EQ(StatusText(Item(1)), vocab::kError);
  EXPECT_EQ(missing.load(), 1) << "a 404 was tried again";
}

TEST_F(ResumeRetry, AStopEndsTheWaitBeforeATryAtOnce) {
  app.queue.RetryWaitsMs = {30000, 30000, 30000};
  Video("busy.swf", [](const HttpRequest& request) {
    return request.method == "GET" ? HttpResponse::Text("busy").Status(503, "Busy")
                                   : HttpResponse::File(100, 1);
  });
  // Stopped 300 ms into the first wait, from a timer as a click would come.
  static ULONGLONG stoppedAt;
  static frmMain* target;
  stoppedAt = 0;
  target = &form;
  platform.messageBoxAnswers = {IDYES};
  struct Stopper {
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      stoppedAt = GetTickCount64();
      target->cmdStartDownload_Click();
    }
  };
  SetTimer(nullptr, 0, 300, &Stopper::Tick);
  Run();
  ASSERT_NE(stoppedAt, 0u);
  EXPECT_LT(GetTickCount64() - stoppedAt, 100u);
  EXPECT_EQ(StatusText(Item(0)), vocab::kCancelled);
}

TEST_F(ResumeRetry, AFileLargerThanTheFreeSpaceIsRefusedBeforeAnyByteIsWritten) {
  Video("huge.swf", [](const HttpRequest&) {
    return HttpResponse::File(10, 1).AnnounceLength(1ull << 55);  // 32 PiB
  });
  Run();
  EXPECT_EQ(StatusText(Item(0)), vocab::kError);
  EXPECT_NE(Controls(form).Flash.GetVariable(L"_root.notice").find(L"not enough free space"),
            std::wstring::npos);
  EXPECT_EQ(http.CountRequests("GET", "/aa/huge.swf"), 0u);
  EXPECT_FALSE(FileExists(InFolder(L"huge.swf.part")));
}

}  // namespace
