// The whole road of a page address: page fetch from a loopback HTTP server
// into the page file, the site's parser, and for YouTube the raw request
// answered by a loopback socket server; then item preparation on top.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/AppPath.h"
#include "common/Text.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/DownloadList.h"
#include "resolver/LinkResult.h"
#include "resolver/PageFile.h"
#include "shell/Program.h"
#include "tests/controls/LoopbackSocketServer.h"
#include "tests/support/Files.h"
#include "tests/support/HttpServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

// Watches the main window from a thread timer while a fetch pumps messages.
const QueueDriver* g_watched = nullptr;
bool g_sawFetching = false;
void CALLBACK WatchFetching(HWND, UINT, UINT_PTR, DWORD) {
  if (g_watched && g_watched->IsFetchingPage) g_sawFetching = true;
}

const std::string kRedirect =
    "HTTP/1.1 303 See Other\r\n"
    "Location: http://www.youtube.com/swf/l.swf?video_id=abc&t=OEgs\r\n"
    "\r\n";

std::string YouTubePage(const std::string& player) {
  return "<input name=\"embed_code\" value=\"&lt;embed src=&quot;" + player +
         "&amp;hl=en&quot; type=&quot;application/x-shockwave-flash&quot;&gt;\">";
}

class DownloadLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(http.Start());
    DeleteFileForced(PageFile());
  }
  void TearDown() override { http.Stop(); }
  // The run's steps, each to its answer.
  std::wstring Resolve(const std::wstring& page) {
    return Await<std::wstring>([&](auto done) { app.queue.Resolver.GetDownloadLink(page, done); });
  }
  std::wstring Prepare(int16_t position) {
    return Await<std::wstring>([&](auto done) { app.queue.PrepareItem(position, done); });
  }
  // A page address of the site the pattern names, served by the test server.
  std::wstring PageAt(const std::string& target, const std::string& page) {
    http.Route(target, HttpResponse::Text(page));
    return http.Url(target);
  }

  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  HttpServer http;
  LoopbackSocketServer youtube;
  mf::test::TestProgram app;
  frmMain& form = app.form;
};

TEST_F(DownloadLinkTest, EachSitesPageIsFetchedIntoThePageFileAndParsed) {
  const std::string google = "<a href=\"" + ToAnsi(http.Url("/other")) + "\">x</a><a href=\"" +
                             ToAnsi(http.Url("/ipod.mp4?a=1&amp;b=2")) +
                             "\" id=\"ipoddownloadlink\">";
  // Served slowly, so that the fetch lasts some timer ticks.
  http.Route("/video.google.com/videoplay?docid=1", HttpResponse::Text(google).Slow(40, 20));
  g_watched = &app.queue;
  g_sawFetching = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, &WatchFetching);
  std::wstring link = Resolve(http.Url("/video.google.com/videoplay?docid=1"));
  KillTimer(nullptr, timer);
  g_watched = nullptr;
  EXPECT_TRUE(g_sawFetching);
  EXPECT_EQ(link, http.Url("/ipod.mp4?a=1&b=2"));
  EXPECT_EQ(ReadFileBytes(PageFile()), google);  // left on disk after parsing
  EXPECT_EQ(app.queue.TransferResult, L"1");
  EXPECT_FALSE(app.queue.IsFetchingPage);
  EXPECT_EQ(http.CountRequests("GET", "/video.google.com/videoplay?docid=1"), 1u);

  EXPECT_EQ(
      Resolve(PageAt("/angryalien.com/0504/bunnies.asp", "<embed src=\"http://h/bunnies.swf\">")),
      L"http://h/bunnies.swf");
  EXPECT_EQ(Resolve(PageAt("/www.break.com/index/cat.html",
                           "var sGlobalFileName='cat'; var sGlobalContentFilePath='2007/11';")),
            L"http://media1.break.com/dnet/media/2007/11/cat.flv");
  EXPECT_EQ(
      Resolve(PageAt("/zippyvideos.com/1/clip/",
                     "<embed src='/p.swf?storageId=3&userName=u&videoId=4&srvURL=http://s/v' >")),
      L"http://s/v/3/u/4");
}

TEST_F(DownloadLinkTest, AYouTubePageGoesThroughTheRawRequestToItsRedirect) {
  ASSERT_TRUE(youtube.Start({.pieces = {kRedirect}}));
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(youtube.Port());
  std::wstring link =
      Resolve(PageAt("/www.youtube.com/watch?v=abc", YouTubePage("http://127.0.0.1/v/abc")));
  EXPECT_EQ(link, L"http://127.0.0.1/get_video?video_id=abc&t=OEgs");
  ASSERT_EQ(youtube.Requests().size(), 1u);
  // Character for character, header line 5 and the closing empty line included.
  EXPECT_EQ(youtube.Requests()[0],
            "GET /v/abc HTTP/1.1\r\n"
            "Host: 127.0.0.1\r\n"
            "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,"
            "text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
            "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.8.1.9) "
            "Gecko/20071025 Firefox/2.0.0.9\r\n"
            "Accept -Encoding: gzip , deflate\r\n"
            "Accept-Language: en-us,en;q=0.5\r\n"
            "Accept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\n"
            "Connection: Close\r\n"
            "\r\n");
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.RemotePort(), 80);
}

TEST_F(DownloadLinkTest, AYouTubeConnectionFailureIsAFetchFailureNotAMissingVideo) {
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(LoopbackSocketServer::UnusedPort());
  EXPECT_EQ(Resolve(PageAt("/www.youtube.com/watch?v=abc", YouTubePage("http://127.0.0.1/v/abc"))),
            kLinkFetchFailed);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text.substr(0, 17), L"Connection Error,");
}

TEST_F(DownloadLinkTest, APageWithoutAnAddressGivesZero) {
  EXPECT_EQ(Resolve(PageAt("/angryalien.com/x", "<embed src=\"relative.swf\">")), kLinkNotFound);
  ASSERT_TRUE(youtube.Start({.pieces = {kRedirect}}));
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(youtube.Port());
  // An empty player address asks nothing of the socket.
  EXPECT_EQ(Resolve(PageAt("/youtube.com/watch?v=e", "embed src=;&amp;")), kLinkNotFound);
  EXPECT_EQ(youtube.Connections(), 0);
}

TEST_F(DownloadLinkTest, AnUnsupportedAddressCostsNoNetworkAndLeavesThePageFile) {
  WriteFileBytes(PageFile(), "the page of last time");
  EXPECT_EQ(Resolve(L"ftp://vimeo.com/12345"), kLinkUnsupported);
  EXPECT_EQ(Resolve(L"youtube.com/user/someone"), kLinkUnsupported);
  EXPECT_EQ(ReadFileBytes(PageFile()), "the page of last time");
  EXPECT_TRUE(http.Requests().empty());
}

TEST_F(DownloadLinkTest, AFetchAnsweredByAnErrorGivesMinusTwoAndRunsNoParser) {
  ASSERT_TRUE(youtube.Start({.pieces = {kRedirect}}));
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(youtube.Port());
  // Nothing listens there: the address cannot be opened.
  std::wstring nowhere = L"http://127.0.0.1:" +
                         std::to_wstring(LoopbackSocketServer::UnusedPort()) +
                         L"/www.youtube.com/watch?v=abc";
  EXPECT_EQ(Resolve(nowhere), kLinkFetchFailed);
  EXPECT_EQ(app.queue.TransferResult, L"Could not find URL");
  // The connection breaks in the middle of the page.
  std::string page = YouTubePage("http://127.0.0.1/v/abc") + std::string(20000, ' ');
  http.Route("/www.youtube.com/watch?v=cut", HttpResponse::Text(page).DropAfter(3000, true));
  EXPECT_EQ(Resolve(http.Url("/www.youtube.com/watch?v=cut")), kLinkFetchFailed);
  EXPECT_EQ(app.queue.TransferResult, L"Could not read URL");
  EXPECT_FALSE(app.queue.IsFetchingPage);
  // The player address was in the part received, yet no parser asked for it.
  EXPECT_EQ(youtube.Connections(), 0);
}

TEST_F(DownloadLinkTest, APageFileThatCannotBeReplacedFailsTheFetchBeforeAnyRequest) {
  WriteFileBytes(PageFile(), "<embed src=\"http://stale/old.swf\">");
  HANDLE held = CreateFileA(ToAnsi(PageFile()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Resolve(PageAt("/angryalien.com/new", "<embed src=\"http://h/new.swf\">")),
            kLinkFetchFailed);
  CloseHandle(held);
  EXPECT_EQ(http.CountRequests("GET"), 0u);
}

TEST_F(DownloadLinkTest, TypedCharactersBeyondAnsiReachTheServerAsUtf8) {
  const std::string target = "/www.youtube.com/watch?v=%C3%A9%D0%96";
  http.Route(target, HttpResponse::Text("no embed code"));
  std::wstring typed = http.Url("/www.youtube.com/watch?v=") + L"\u00E9\u0416";
  EXPECT_EQ(Resolve(typed), kLinkNotFound);
  EXPECT_EQ(http.CountRequests("GET", target), 1u);
}

// ---- Item preparation

class PrepareItemTest : public DownloadLinkTest {
 protected:
  // A Google Video page whose iPod link points at a file of `size` bytes here.
  std::wstring GooglePageFor(const std::string& file, uint64_t size) {
    http.Route(file, HttpResponse::File(size));
    return PageAt("/video.google.com/videoplay?docid=" + file.substr(1),
                  "<a href=\"" + ToAnsi(http.Url(file)) + "\" id=\"ipoddownloadlink\">");
  }
  const DownloadItem& Item(size_t i) { return app.list.Items().at(i); }
};

TEST_F(PrepareItemTest, ARenamedItemKeepsItsNameAndGetsOnlyItsSize) {
  std::wstring page = GooglePageFor("/clip.flv", 2048);
  ASSERT_TRUE(app.list.AddItem(page, L"my own name.flv", vocab::kWaiting, vocab::kUnknownSize));
  EXPECT_EQ(Prepare(0), http.Url("/clip.flv"));
  EXPECT_EQ(Item(0).FileName, L"my own name.flv");
  EXPECT_EQ(SizeText(Item(0)), L"2 KB");
  // The page fetch's notifications wrote its progress, then its arrival.
  EXPECT_EQ(StatusText(Item(0)), vocab::kStartDownloading);
  EXPECT_EQ(Item(0).Video_URL, page);
  // The grid's row shows the item as it is now, written in place.
  ASSERT_TRUE(app.list.ListRecordset());
  EXPECT_EQ(table::ValueText(app.list.ListRecordset()->GetValue(0, DownloadList::colStatus)),
            vocab::kStartDownloading);
}

TEST_F(PrepareItemTest, ThePlaceholderNameIsReplacedByTheDerivedOne) {
  std::wstring page = GooglePageFor("/talk.flv", 3 * 1024 * 1024);
  ASSERT_TRUE(app.list.AddItem(page, vocab::kAutoDetect, vocab::kWaiting, vocab::kUnknownSize));
  EXPECT_EQ(Prepare(0), http.Url("/talk.flv"));
  EXPECT_EQ(Item(0).FileName, L"talk.flv");
  EXPECT_EQ(SizeText(Item(0)), L"3 MB");
}

TEST_F(PrepareItemTest, EachFailureCodeLeavesItsMarksOnTheItem) {
  const std::wstring unsupported = L"ftp://vimeo.com/1";
  const std::wstring empty = PageAt("/angryalien.com/none", "<html></html>");
  const std::wstring broken =
      L"http://127.0.0.1:" + std::to_wstring(LoopbackSocketServer::UnusedPort()) + L"/break.com/x";
  for (const std::wstring& a : {unsupported, empty, broken})
    ASSERT_TRUE(app.list.AddItem(a, vocab::kAutoDetect, vocab::kWaiting, vocab::kUnknownSize));

  EXPECT_EQ(Prepare(0), kLinkUnsupported);
  EXPECT_EQ(StatusText(Item(0)), vocab::kError);
  EXPECT_EQ(NameText(Item(0)), vocab::kUnsupportedLink);
  EXPECT_EQ(Item(0).Video_URL, unsupported);

  EXPECT_EQ(Prepare(1), kLinkUnsupported);
  EXPECT_EQ(StatusText(Item(1)), vocab::kError);
  EXPECT_EQ(NameText(Item(1)), vocab::kProcessFailed);
  EXPECT_EQ(AddressText(Item(1)), vocab::kInappropriate);

  EXPECT_EQ(Prepare(2), kLinkUnsupported);
  EXPECT_EQ(StatusText(Item(2)), vocab::kError);
  EXPECT_EQ(NameText(Item(2)), vocab::kAutoDetect);
  EXPECT_EQ(Item(2).Video_URL, broken);  // the user's address survives a network failure
  EXPECT_EQ(SizeText(Item(2)), vocab::kUnknownSize);
}

TEST_F(PrepareItemTest, AYouTubeConnectionFailureKeepsTheItemsAddress) {
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(LoopbackSocketServer::UnusedPort());
  const std::wstring page =
      PageAt("/www.youtube.com/watch?v=abc", YouTubePage("http://127.0.0.1/v/abc"));
  ASSERT_TRUE(app.list.AddItem(page, vocab::kAutoDetect, vocab::kWaiting, vocab::kUnknownSize));
  EXPECT_EQ(Prepare(0), kLinkUnsupported);
  EXPECT_EQ(StatusText(Item(0)), vocab::kError);
  EXPECT_EQ(Item(0).Video_URL, page);
  EXPECT_EQ(NameText(Item(0)), vocab::kAutoDetect);
}

}  // namespace
