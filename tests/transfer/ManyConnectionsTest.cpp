// One file over several connections, against the loopback server: pieces
// held to one version, a server's cap on connections, a stop and a resume
// that fetches only what was missing, and the speed limit of the process.
#include <atomic>

#include "tests/transfer/TransferFixture.h"
#include "transfer/PartFile.h"
#include "transfer/PieceJournal.h"
#include "transfer/SpeedLimit.h"

namespace mf::test {
namespace {

constexpr uint64_t kMiB = 1 << 20;

// The pattern of `seed` under the ETag `tag`, its ranges honoured, each
// connection held to about 30 MB/s so that the pieces overlap, in small
// sends so that little is under way when a connection closes.
HttpResponse Versioned(uint64_t size, uint32_t seed, const std::string& tag) {
  return HttpResponse::File(size, seed)
      .AcceptRanges()
      .Header("ETag", "\"" + tag + "\"")
      .Slow(64 * 1024, 2);
}

class ManyConnectionsTest : public DownloadTest {
 protected:
  bool Holds(uint64_t size, uint32_t seed) {
    return ReadWholeFile(LocalPath(L"file.bin")) == Pattern(seed, 0, size);
  }
};

TEST_F(ManyConnectionsTest, EachServerGetsTheConnectionsItTakesAndTheFileArrivesWhole) {
  struct Case {
    const char* what;
    bool ranges;
    int serverCap, connections;
    int mostAtOnce;  // seen by the server
    bool refused;
  } cases[] = {
      {"eight connections", true, 0, 8, 8, false},
      {"a server taking two", true, 2, 8, 2, true},
      {"a server ignoring ranges", false, 0, 8, 1, false},
      {"one connection asked for", true, 0, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HttpServer own;
    ASSERT_TRUE(own.Start());
    const uint64_t size = 24 * kMiB + 12345;
    HttpResponse file = Versioned(size, 3, "v1");
    if (!c.ranges) file = HttpResponse::File(size, 3).Slow(64 * 1024, 2);
    own.Route("/f", file);
    own.LimitConnections(c.serverCap);
    download.SetConnectionsPerDownload(c.connections);
    download.SetUrl(own.Url("/f"));
    download.SetLocalFile(LocalPath(L"file.bin"));
    ASSERT_TRUE(Transfer());
    EXPECT_TRUE(Holds(size, 3));
    EXPECT_EQ(own.MostAtOnce(), c.mostAtOnce);
    // Each 503 takes one connection away for good: at most the cap's fall
    // from 8 to 1 (a connection closed early may still count at the server).
    EXPECT_EQ(own.Refusals() > 0, c.refused);
    EXPECT_LE(own.Refusals(), 7u);
    if (!c.ranges) {
      EXPECT_EQ(own.CountRequests("GET"), 1u);
    }
    EXPECT_FALSE(PieceJournal::Exists(LocalPath(L"file.bin")));
    own.Stop();
  }
}

TEST_F(ManyConnectionsTest, AnotherVersionWhilePiecesArriveStartsTheFileAgain) {
  const uint64_t size = 16 * kMiB;
  std::atomic<int> gets{0};
  // From the fourth request on the server has a new file.
  server.Route("/f", [&](const HttpRequest& r) {
    const bool changed = r.method == "GET" && ++gets > 3;
    return Versioned(size, changed ? 2 : 1, changed ? "v2" : "v1");
  });
  Aim("/f", L"file.bin");
  ASSERT_FALSE(Transfer());
  EXPECT_EQ(download.LastResume(), Download::Resume::Refused);
  // As the queue does with a refused file: emptied, and asked again.
  EmptyPartFile(LocalPath(L"file.bin"));
  EXPECT_FALSE(PieceJournal::Exists(LocalPath(L"file.bin")));
  ASSERT_TRUE(Transfer());
  EXPECT_TRUE(Holds(size, 2));
}

TEST_F(ManyConnectionsTest, AResumeFetchesOnlyTheBlocksItsJournalLacks) {
  const uint64_t size = 48 * kMiB;
  server.Route("/f", Versioned(size, 4, "v1"));
  Aim("/f", L"file.bin");
  struct Case {
    const char* what;
    const char* journal;  // written over the journal after the stop, unless null
    const wchar_t* version;
    bool again;  // the whole file comes again
  } cases[] = {
      {"its own journal", nullptr, L"\"v1\"", false},
      {"a journal that cannot be read", "marrowfin pieces 1\n\"v1\"\n", L"\"v1\"", true},
      {"a journal of another version", nullptr, L"\"v0\"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    owner.onProgress = [&](long) {
      if (download.BytesReceived() >= static_cast<int64_t>(size / 2)) download.CancelDownload();
    };
    const uint64_t before = server.BodyBytesSent();
    ASSERT_FALSE(Transfer());
    ASSERT_EQ(owner.events.back().kind, DownloadEvent::Cancelled);
    ASSERT_TRUE(PieceJournal::Exists(LocalPath(L"file.bin")));
    if (c.journal) WriteWholeFile(PieceJournal::PathFor(LocalPath(L"file.bin")), c.journal);
    owner.onProgress = nullptr;
    const uint64_t stopped = server.BodyBytesSent() - before;
    EXPECT_LT(stopped, size);
    download.ResumeFrom(static_cast<int64_t>(*FileSizeOf(LocalPath(L"file.bin"))), c.version,
                        static_cast<int64_t>(size));
    ASSERT_TRUE(Transfer());
    EXPECT_TRUE(Holds(size, 4));
    const uint64_t resumed = server.BodyBytesSent() - before - stopped;
    if (c.again)
      EXPECT_GE(resumed, size);
    else
      EXPECT_LE(stopped + resumed, size + 8 * kMiB);
    EXPECT_FALSE(PieceJournal::Exists(LocalPath(L"file.bin")));
    DeleteFileW(LocalPath(L"file.bin").c_str());
  }
}

TEST_F(ManyConnectionsTest, TheSpeedLimitHoldsForAllConnectionsTogether) {
  const int64_t limit = 4'000'000;
  const uint64_t size = 8 * kMiB;
  server.Route("/f", HttpResponse::File(size, 5).AcceptRanges().Header("ETag", "\"v1\""));
  Aim("/f", L"file.bin");
  for (int connections : {1, 8}) {
    SCOPED_TRACE(connections);
    download.SetConnectionsPerDownload(connections);
    SpeedLimit::Set(limit);
    const ULONGLONG began = GetTickCount64();
    const bool done = Transfer();
    const double seconds = (GetTickCount64() - began) / 1000.0;
    SpeedLimit::Set(0);
    ASSERT_TRUE(done);
    EXPECT_TRUE(Holds(size, 5));
    const double rate = size / seconds;
    EXPECT_LE(rate, limit * 1.05);
    EXPECT_GE(rate, limit * 0.95);
  }
}

}  // namespace
}  // namespace mf::test
