// Transfers of whole files: content, progress, failures, and the rules about
// the information request and the session.
#include <gtest/gtest.h>

#include "common/Handles.h"
#include "common/Text.h"
#include "tests/support/Sha256.h"
#include "tests/transfer/TransferFixture.h"

using namespace mf;
using namespace mf::test;

namespace {

using Kind = DownloadEvent::Kind;

class TransferTest : public DownloadTest {};

TEST_F(TransferTest, FilesArriveByteForByte) {
  for (uint64_t size : {0ull, 1ull, 65535ull, 65536ull, 65537ull, 50ull << 20}) {
    SCOPED_TRACE(size);
    const uint32_t seed = static_cast<uint32_t>(size) + 7;
    const std::string target = "/file" + std::to_string(size);
    ServeFile(target, size, seed);
    const std::wstring name = L"file" + std::to_wstring(size) + L".bin";
    Aim(target, name);
    Inform();
    owner.events.clear();
    ASSERT_TRUE(Transfer());
    EXPECT_EQ(Sha256OfFile(LocalPath(name)), Sha256OfPattern(seed, size));
    EXPECT_EQ(download.BytesReceived(), static_cast<int64_t>(size));
    ASSERT_GE(owner.Sequence().size(), 2u);
    ASSERT_EQ(owner.Sequence().substr(owner.Sequence().size() - 2), "PC");
    EXPECT_EQ(owner.Count(Kind::Error) + owner.Count(Kind::Cancelled), 0u);
    // One notification per block at most the chunk size, and the final empty read.
    const uint64_t block = Download::kChunkSize;
    EXPECT_GE(owner.Progress().size(), (size + block - 1) / block + 1);
    EXPECT_EQ(owner.Progress().back(), size == 0 ? 0 : 100);
  }
}

TEST_F(TransferTest, AnEmptyBodyGivesOneProgressOfZeroThenCompleteAndAnEmptyFile) {
  ServeFile("/empty", 0);
  Aim("/empty", L"empty.bin");
  ASSERT_FALSE(FileSizeOf(LocalPath(L"empty.bin")));
  EXPECT_TRUE(Transfer());
  EXPECT_EQ(owner.Sequence(), "PC");
  EXPECT_EQ(owner.Progress(), std::vector<long>{0});
  EXPECT_EQ(FileSizeOf(LocalPath(L"empty.bin")), 0u);
}

TEST_F(TransferTest, WithoutContentLengthTheSizeIsUnknownAndProgressCountsBytes) {
  server.Route("/nolength", HttpResponse::File(10000, 5).WithoutContentLength());
  Aim("/nolength", L"nolength.bin");
  Inform();
  EXPECT_EQ(download.FileSize(), -1.0f);
  EXPECT_TRUE(download.FileExists());
  ASSERT_TRUE(Transfer());
  std::vector<long> progress = owner.Progress();
  ASSERT_GE(progress.size(), 2u);
  for (size_t i = 1; i + 1 < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
  EXPECT_EQ(progress[progress.size() - 2], 10000);
  EXPECT_EQ(progress.back(), 10000);  // the final empty read
  EXPECT_EQ(ReadWholeFile(LocalPath(L"nolength.bin")), Pattern(5, 0, 10000));
}

TEST_F(TransferTest, ASizeSmallerThanTheRealOneGivesProgressAbove100) {
  ServeFile("/small", 1000);
  ServeFile("/big", 4000, 2);
  Aim("/small", L"ignored.bin");
  Inform();
  ASSERT_EQ(download.FileSize(), 1000.0f);
  Aim("/big", L"big.bin");
  ASSERT_TRUE(Transfer());
  EXPECT_EQ(owner.Progress().back(), 400);
  EXPECT_EQ(ReadWholeFile(LocalPath(L"big.bin")), Pattern(2, 0, 4000));
}

TEST_F(TransferTest, OnlyTheFirstTransferOfAnInstanceNeverAskedMakesAHeadRequest) {
  ServeFile("/a", 3000);
  ServeFile("/b", 5000, 2);
  Aim("/a", L"a.bin");
  ASSERT_TRUE(Transfer());
  EXPECT_EQ(server.CountRequests("HEAD", "/a"), 1u);
  EXPECT_EQ(download.FileSize(), 3000.0f);
  EXPECT_EQ(owner.Progress().back(), 100);

  Aim("/b", L"b.bin");
  owner.events.clear();
  ASSERT_TRUE(Transfer());
  EXPECT_EQ(server.CountRequests("HEAD"), 1u);
  EXPECT_EQ(server.CountRequests("GET"), 2u);
  // The size is still the first file's: 5000 of 3000 bytes.
  EXPECT_EQ(owner.Progress().back(), 167);

  // An instance asked for information first makes no HEAD of its own.
  Download other{window};
  RecordingOwner otherOwner;
  other.SetEvents(&otherOwner);
  other.SetUrl(server.Url("/b"));
  other.SetLocalFile(LocalPath(L"b2.bin"));
  Inform(other);
  ASSERT_TRUE(Transfer(other));
  EXPECT_EQ(server.CountRequests("HEAD", "/b"), 1u);
  EXPECT_EQ(otherOwner.Progress().back(), 100);
}

TEST_F(TransferTest, TheSessionLivesFromTheFirstRequestToTheEndOfTheNextTransfer) {
  ServeFile("/s", 100);
  Aim("/s", L"s.bin");
  EXPECT_FALSE(download.IsSessionOpen());
  Inform();
  EXPECT_TRUE(download.IsSessionOpen());
  Inform();
  EXPECT_TRUE(download.IsSessionOpen());  // no transfer yet: it stays for the transfer
  ASSERT_TRUE(Transfer());
  EXPECT_FALSE(download.IsSessionOpen());
  Inform();
  EXPECT_FALSE(download.IsSessionOpen());  // after a transfer each request ends it
  EXPECT_TRUE(download.FileExists());
  ASSERT_TRUE(Transfer());
  EXPECT_FALSE(download.IsSessionOpen());
  EXPECT_EQ(server.CountRequests("GET", "/s"), 2u);
}

TEST_F(TransferTest, AnUnreachableAddressGivesCouldNotFindUrlAndWritesNoFile) {
  download.SetUrl(L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/video.flv");
  download.SetLocalFile(LocalPath(L"new.bin"));
  EXPECT_FALSE(Transfer());
  ASSERT_EQ(owner.Sequence(), "E");
  EXPECT_EQ(owner.events[0].text, L"Could not find URL");
  EXPECT_FALSE(FileSizeOf(LocalPath(L"new.bin")));
  EXPECT_TRUE(download.IsSessionOpen());  // only an ended transfer closes it

  // A file already there is left as it was.
  ASSERT_TRUE(WriteWholeFile(LocalPath(L"old.bin"), "previous content"));
  download.SetLocalFile(LocalPath(L"old.bin"));
  EXPECT_FALSE(Transfer());
  EXPECT_EQ(ReadWholeFile(LocalPath(L"old.bin")), "previous content");
}

TEST_F(TransferTest, ADroppedConnectionGivesCouldNotReadUrlAndKeepsTheBytesReceived) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "orderly close");
    server.Route("/drop", HttpResponse::File(100000, 3).DropAfter(30000, reset));
    Aim("/drop", L"drop.bin");
    Inform();
    owner.events.clear();
    EXPECT_FALSE(Transfer());
    ASSERT_FALSE(owner.events.empty());
    EXPECT_EQ(owner.events.back().kind, Kind::Error);
    EXPECT_EQ(owner.events.back().text, L"Could not read URL");
    EXPECT_EQ(owner.Count(Kind::Complete), 0u);
    const int64_t received = download.BytesReceived();
    EXPECT_GT(received, 0);
    EXPECT_LE(received, 30000);
    if (!reset) {
      EXPECT_EQ(received, 30000);
    }
    EXPECT_EQ(ReadWholeFile(LocalPath(L"drop.bin")), Pattern(3, 0, static_cast<size_t>(received)));
    EXPECT_FALSE(download.IsSessionOpen());
  }
}

TEST_F(TransferTest, ALongerLeftoverFileIsCutToTheNewData) {
  ASSERT_TRUE(WriteWholeFile(LocalPath(L"video.flv"), std::string(10000, 'Z')));
  ServeFile("/video.flv", 3000, 9);
  Aim("/video.flv", L"video.flv");
  ASSERT_TRUE(Transfer());
  EXPECT_EQ(FileSizeOf(LocalPath(L"video.flv")), 3000u);
  EXPECT_EQ(ReadWholeFile(LocalPath(L"video.flv")), Pattern(9, 0, 3000));
}

TEST_F(TransferTest, CompleteComesWithTheFileAndTheSessionAlreadyClosed) {
  ServeFile("/closed", 5000);
  Aim("/closed", L"closed.bin");
  bool exclusive = false, session = true;
  owner.onComplete = [&] {
    UniqueFile f(CreateFileA(ToAnsi(LocalPath(L"closed.bin")).c_str(), GENERIC_READ | GENERIC_WRITE,
                             0, nullptr, OPEN_EXISTING, 0, nullptr));
    exclusive = static_cast<bool>(f);
    session = download.IsSessionOpen();
  };
  ASSERT_TRUE(Transfer());
  EXPECT_TRUE(exclusive);
  EXPECT_FALSE(session);
}

TEST_F(TransferTest, AnErrorPageIsNoDownloadAndWritesNothing) {
  Aim("/nowhere", L"page.html");  // no route: the server's 404 page
  EXPECT_FALSE(Transfer());
  EXPECT_EQ(owner.events.back().text, L"Could not find URL");
  EXPECT_EQ(download.StatusCode(), 404u);
  EXPECT_EQ(GetFileAttributesW(LocalPath(L"page.html").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TransferTest, ALocalFileThatCannotBeWrittenIsReportedAsAnError) {
  ServeFile("/f", 5000);
  Aim("/f", L"no such folder\\f.bin");
  EXPECT_FALSE(Transfer());
  ASSERT_EQ(owner.Sequence(), "E");
  EXPECT_EQ(owner.events[0].text, L"Could not write file");
  EXPECT_FALSE(download.IsSessionOpen());

  // A device name is no file either.
  owner.events.clear();
  Aim("/f", L"NUL.flv");
  EXPECT_FALSE(Transfer());
  ASSERT_EQ(owner.Sequence(), "E");
  EXPECT_EQ(owner.events[0].text, L"Could not write file");
}

}  // namespace
TEST_F(TransferTest, ASlowServerStillGivesProgressSeveralTimesASecond) {
  // About 400 KB/s for three quarters of a second: one block of the fast
  // size would hold it all.
  server.Route("/slow", HttpResponse::File(300000, 6).Slow(2048, 5));
  Aim("/slow", L"slow.bin");
  ASSERT_TRUE(Transfer());
  EXPECT_GE(owner.Progress().size(), 5u);
  EXPECT_EQ(ReadWholeFile(LocalPath(L"slow.bin")), Pattern(6, 0, 300000));
}
