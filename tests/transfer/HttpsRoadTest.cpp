// The whole road over HTTPS: pages, information requests and transfers of
// the sites and of a direct link, a redirect from http to https, and the
// certificates the platform refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "downloadlist/Vocabulary.h"
#include "resolver/PageParsers.h"
#include "tests/support/HttpsFront.h"
#include "tests/transfer/QueueFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

class HttpsRoad : public QueueFixture {
 protected:
  void SetUp() override {
    QueueFixture::SetUp();
    ASSERT_TRUE(tls.Start(http)) << "the TLS front did not start";
  }
  void TearDown() override {
    tls.Stop();
    QueueFixture::TearDown();
  }
  std::string Secure(const std::string& target) { return ToAnsi(tls.Url(target)); }
  const DownloadItem* ItemOf(const std::wstring& page) {
    auto at = app.list.FindAddress(page);
    return at ? app.list.At(*at) : nullptr;
  }
  std::wstring Notice() { return Controls(form).Flash.GetVariable(L"_root.notice"); }

  HttpsFront tls;
};

TEST_F(HttpsRoad, EverySiteAndADirectLinkArriveOverHttps) {
  struct Case {
    const char* site;
    std::string page;  // target of the page (none: a direct link)
    std::string html;
    std::string video;  // target of the video
    uint64_t size;
    std::wstring name;  // the local file's name
  };
  const Case cases[] = {
      {"Google Video", "/video.google.com/videoplay?docid=1", GooglePage(tls.Url("/ipod/g.mp4")),
       "/ipod/g.mp4", 70000, L"g.mp4"},
      {"AngryAlien", "/www.angryalien.com/x.asp", "<embed src=\"" + Secure("/aa/x.swf") + "\">",
       "/aa/x.swf", 90000, L"x.swf"},
      {"ZippyVideos", "/www.zippyvideos.com/1/",
       "<embed src='/p.swf?storageId=3&userName=u&videoId=4&srvURL=" + Secure("/zv") + "' >",
       "/zv/3/u/4", 40000, L"4.flv"},
      {"direct link", "", "", "/media/clip.mp4", 120000, L"clip.mp4"},
      // The player's redirect travels over TLS too, its request unchanged.
      {"YouTube", "/www.youtube.com/watch?v=s", YouTubePage(Secure("/v/s")),
       "/get_video?video_id=s&t=Y", 60000, L"get_videovideo_id=st=Y.flv"},
  };
  http.Route("/v/s", HttpResponse::Text("")
                         .Status(303, "See Other")
                         .Header("Location", Secure("/swf/l.swf?video_id=s&t=Y")));
  uint32_t seed = 1;
  for (const Case& c : cases) {
    http.Route(c.video, HttpResponse::File(c.size, seed++));
    if (!c.page.empty()) http.Route(c.page, HttpResponse::Text(c.html));
    Add(tls.Url(c.page.empty() ? c.video : c.page));
  }
  // A page of http that moved to https.
  http.Route("/www.angryalien.com/old.asp",
             HttpResponse::Text("")
                 .Status(302, "Found")
                 .Header("Location", Secure("/www.angryalien.com/moved.asp")));
  http.Route("/www.angryalien.com/moved.asp",
             HttpResponse::Text("<embed src=\"" + Secure("/aa/moved.swf") + "\">"));
  http.Route("/aa/moved.swf", HttpResponse::File(30000, 9));
  Add(http.Url("/www.angryalien.com/old.asp"));

  Run();

  seed = 1;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].site);
    EXPECT_EQ(StatusText(Item(i)), vocab::kComplete);
    EXPECT_EQ(Item(i).FileName, cases[i].name);
    EXPECT_EQ(FileHash(InFolder(cases[i].name)), PatternHash(cases[i].size, seed++));
  }
  EXPECT_EQ(StatusText(Item(std::size(cases))), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(L"moved.swf")), PatternHash(30000, 9));
  EXPECT_TRUE(platform.messageBoxes.empty());

  // Break's videos come from its own media host; its page comes over https.
  http.Route("/www.break.com/index/b.html",
             HttpResponse::Text("sGlobalFileName='clip';sGlobalContentFilePath='2008/1';"));
  EXPECT_EQ(Await<std::wstring>([&](auto done) {
              app.queue.Resolver.GetDownloadLink(tls.Url("/www.break.com/index/b.html"), done);
            }),
            std::wstring(L"http://") + kBreakMediaHost + L"/dnet/media/2008/1/clip.flv");
}

TEST_F(HttpsRoad, APageOfAnyOtherSiteGivesTheVideoItsMarkupNames) {
  http.Route("/blog/post.html",
             HttpResponse::Text("<html><head><base href=\"/media/\">"
                                "<meta content='film.webm' property=og:video></head></html>"));
  http.Route("/media/film.webm", HttpResponse::File(50000, 4));
  http.Route("/blog/empty.html", HttpResponse::Text("<html><body>No film today</body></html>"));
  const std::wstring post = Add(tls.Url("/blog/post.html"));
  const std::wstring empty = Add(tls.Url("/blog/empty.html"));

  Run();

  EXPECT_EQ(StatusText(*ItemOf(post)), vocab::kComplete);
  EXPECT_EQ(FileHash(InFolder(L"film.webm")), PatternHash(50000, 4));
  // Nothing found: the item says so and keeps its address.
  EXPECT_EQ(StatusText(*ItemOf(empty)), vocab::kError);
  EXPECT_EQ(NameText(*ItemOf(empty)), L"No video found on this page");
}

TEST_F(HttpsRoad, ARefusedCertificateEndsTheItemWithItsReasonAndWritesNothing) {
  struct Case {
    TestCertificate certificate;
    const wchar_t* reason;
  };
  const Case cases[] = {
      {TestCertificate::Expired, L"expired"},
      {TestCertificate::WrongName, L"another name"},
      {TestCertificate::Untrusted, L"trusted authority"},
  };
  http.Route("/media/refused.mp4", HttpResponse::File(5000, 1));
  http.Route("/www.angryalien.com/refused.asp",
             HttpResponse::Text("<embed src=\"" + Secure("/media/refused.mp4") + "\">"));
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.reason));
    for (const char* target : {"/media/refused.mp4", "/www.angryalien.com/refused.asp"}) {
      http.ClearRequests();
      const std::wstring address = tls.Url(target, c.certificate);
      Add(address);
      Run();
      EXPECT_EQ(StatusText(*ItemOf(address)), vocab::kError) << target;
      EXPECT_NE(Notice().find(c.reason), std::wstring::npos) << ToAnsi(Notice());
      EXPECT_TRUE(http.Requests().empty()) << "a request passed the refused certificate";
      EXPECT_FALSE(FileExists(InFolder(L"refused.mp4")) ||
                   FileExists(InFolder(L"refused.mp4.part")));
    }
  }
}

TEST_F(HttpsRoad, ASecureDownloadSentOnToHttpIsRefused) {
  http.Route("/media/down.mp4", HttpResponse::Text("")
                                    .Status(302, "Found")
                                    .Header("Location", ToAnsi(http.Url("/media/plain.mp4"))));
  http.Route("/media/plain.mp4", HttpResponse::File(5000, 1));
  const std::wstring address = Add(tls.Url("/media/down.mp4"));
  Run();
  EXPECT_EQ(StatusText(*ItemOf(address)), vocab::kError);
  EXPECT_NE(Notice().find(L"insecure (http)"), std::wstring::npos) << ToAnsi(Notice());
  EXPECT_EQ(http.CountRequests("GET", "/media/plain.mp4"), 0u);
  EXPECT_FALSE(FileExists(InFolder(L"down.mp4")));
}

}  // namespace
