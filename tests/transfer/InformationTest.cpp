// The HEAD request about a remote file and what it fills in.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "tests/transfer/TransferFixture.h"

using namespace mf;
using namespace mf::test;

namespace {

class InformationTest : public DownloadTest {
 protected:
  void Ask(const std::string& target) {
    download.SetUrl(server.Url(target));
    Inform();
  }
  // A full answer, so that a later call shows what it replaces and what it keeps.
  void AskAboutAFullAnswer() {
    server.Route("/full",
                 HttpResponse::File(123456)
                     .Header("Last-Modified", "Tue, 15 Nov 1994 12:45:26 GMT")
                     .Header("Content-Disposition", "attachment; filename=\"holiday clip.flv\""));
    Ask("/full");
    ASSERT_EQ(download.RemoteFileName(), L"\"holiday clip.flv\"");
  }
};

TEST_F(InformationTest, StartsEmpty) {
  EXPECT_FALSE(download.FileExists());
  EXPECT_EQ(download.LastModified(), L"");
  EXPECT_EQ(download.FileSize(), 0.0f);
  EXPECT_EQ(download.LocalFile(), L"");
  EXPECT_EQ(download.RemoteFileName(), L"");
  EXPECT_EQ(download.RemoteFileType(), L"");
  EXPECT_EQ(download.Url(), L"");
  EXPECT_EQ(download.SiteUser(), L"");
  EXPECT_EQ(download.SitePassword(), L"");
  EXPECT_STREQ(Download::kClassId, L"Marrowfin.Download");
}

TEST_F(InformationTest, OneHeadRequestFillsEveryPropertyFromTheHeaders) {
  AskAboutAFullAnswer();
  EXPECT_TRUE(download.FileExists());
  EXPECT_EQ(download.LastModified(), L"Tue, 15 Nov 1994 12:45:26 GMT");
  EXPECT_EQ(download.FileSize(), 123456.0f);
  EXPECT_EQ(download.RemoteFileType(), L"octet-stream");

  std::vector<HttpRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "HEAD");
  EXPECT_EQ(requests[0].target, "/full");
  EXPECT_EQ(requests[0].version, "HTTP/1.0");
  EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), Download::kAgent);
  EXPECT_FALSE(requests[0].Header("Authorization"));
  EXPECT_EQ(server.BodyBytesSent(), 0u);
  // Nothing was transferred: no event, and the session stays for the transfer.
  EXPECT_TRUE(owner.events.empty());
  EXPECT_TRUE(download.IsSessionOpen());
}

TEST_F(InformationTest, MissingHeadersGiveTheirDefaultsInPlaceOfEarlierValues) {
  AskAboutAFullAnswer();
  HttpResponse bare;
  bare.body = "abc";
  bare.sendContentLength = false;
  server.Route("/bare", bare);
  Ask("/bare");
  EXPECT_TRUE(download.FileExists());
  EXPECT_EQ(download.LastModified(), L"Not Available");
  EXPECT_EQ(download.FileSize(), -1.0f);
  EXPECT_EQ(download.RemoteFileName(), L"");
  EXPECT_EQ(download.RemoteFileType(), L"");
}

TEST_F(InformationTest, HeaderNamesAreFoundInAnyLetterCaseAndValuesKeptAsSent) {
  HttpResponse r;
  r.sendContentLength = false;
  r.Header("CONTENT-TYPE", "Video/X-FLV")
      .Header("content-length", "2048")
      .Header("LAST-MODIFIED", "Wed, 01 Jan 2020 00:00:00 GMT")
      .Header("Content-Disposition", "inline; FILENAME=Clip.FLV");
  server.Route("/cases", r);
  Ask("/cases");
  EXPECT_EQ(download.RemoteFileType(), L"X-FLV");
  EXPECT_EQ(download.FileSize(), 2048.0f);
  EXPECT_EQ(download.LastModified(), L"Wed, 01 Jan 2020 00:00:00 GMT");
  EXPECT_EQ(download.RemoteFileName(), L"Clip.FLV");

  server.Route("/plain-type", HttpResponse::Text("x", "flv"));
  Ask("/plain-type");
  EXPECT_EQ(download.RemoteFileType(), L"flv");
}

// RemoteFileName stays the raw text after "filename="; the decoded name is
// what the server meant, in any script, and is emptied by the next answer.
TEST_F(InformationTest, TheDecodedNameUndoesQuotesEscapesAndUtf8) {
  const std::wstring cafe = FromAnsi("caf\xE9.mp4");  // not UTF-8: read in the code page
  const struct {
    const char* disposition;
    std::wstring raw, decoded;
  } cases[] = {
      {"attachment; filename=\"a b.mp4\"; filename*=UTF-8''%E5%8B%95%E7%94%BB.mp4",
       L"\"a b.mp4\"; filename*=UTF-8''%E5%8B%95%E7%94%BB.mp4", L"動画.mp4"},
      {"attachment; filename=\"\xD0\x92\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE.mp4\"", L"\"Видео.mp4\"",
       L"Видео.mp4"},
      {"attachment; filename=\"caf\xE9.mp4\"", L"\"" + cafe + L"\"", cafe},
      {"inline", L"", L""},
  };
  for (const auto& c : cases) {
    server.Route("/named", HttpResponse::File(10).Header("Content-Disposition", c.disposition));
    Ask("/named");
    EXPECT_EQ(download.RemoteFileName(), c.raw) << c.disposition;
    EXPECT_EQ(download.RemoteFileNameDecoded(), c.decoded) << c.disposition;
  }
}

TEST_F(InformationTest, OnlyTheTwoVersion11NotFoundLinesMeanTheFileIsMissing) {
  struct Case {
    const char* version;
    int status;
    const char* reason;
    bool exists;
  } cases[] = {
      {"HTTP/1.1", 404, "Not Found", false}, {"HTTP/1.1", 404, "File Not Found", false},
      {"HTTP/1.1", 404, "NOT FOUND", false}, {"HTTP/1.0", 404, "Not Found", true},
      {"HTTP/1.1", 404, "Gone Away", true},  {"HTTP/1.1", 410, "Gone", true},
      {"HTTP/1.1", 200, "OK", true},
  };
  for (const Case& c : cases) {
    server.Route("/status", HttpResponse::NotFound().Status(c.status, c.reason, c.version));
    Ask("/status");
    EXPECT_EQ(download.FileExists(), c.exists) << c.version << " " << c.status << " " << c.reason;
  }
}

// Behind CDNs header blocks run long: a block of any length is read whole.
TEST_F(InformationTest, LongHeaderBlocksAreReadWhole) {
  for (size_t padding : {1100u, 20000u}) {
    server.Route("/long", HttpResponse::File(5000)
                              .Header("X-Padding", std::string(padding, 'x'))
                              .Header("Last-Modified", "Tue, 15 Nov 1994 12:45:26 GMT"));
    Ask("/long");
    EXPECT_TRUE(download.FileExists());
    EXPECT_EQ(download.FileSize(), 5000.0f) << padding;
    EXPECT_EQ(download.LastModified(), L"Tue, 15 Nov 1994 12:45:26 GMT");
    EXPECT_EQ(download.RemoteFileType(), L"octet-stream");
  }
}

TEST_F(InformationTest, AServerThatDoesNotAnswerGivesNoFileAndNoSize) {
  AskAboutAFullAnswer();
  download.SetUrl(L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/full");
  Inform();
  EXPECT_FALSE(download.FileExists());
  EXPECT_EQ(download.FileSize(), -1.0f);
  EXPECT_EQ(download.LastModified(), L"Not Available");
  // The earlier file's name is not this file's.
  EXPECT_EQ(download.RemoteFileName(), L"");
  EXPECT_EQ(download.RemoteFileType(), L"");
  EXPECT_TRUE(owner.events.empty());
}

TEST_F(InformationTest, WithoutARequestNothingOfThePreviousAnswerStays) {
  AskAboutAFullAnswer();
  // No host at all: there is no connection to make a request on.
  download.SetUrl(L"http:///full");
  Inform();
  EXPECT_FALSE(download.FileExists());
  EXPECT_EQ(download.FileSize(), -1.0f);
  EXPECT_EQ(download.LastModified(), L"Not Available");
  EXPECT_EQ(download.RemoteFileName(), L"");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(InformationTest, CredentialsGoOnlyWithAUserName) {
  // "user:secret" in Basic form.
  const std::string expected = "Basic dXNlcjpzZWNyZXQ=";
  auto guarded = [expected](const std::string& realm) {
    return [expected, realm](const HttpRequest& req) {
      if (req.Header("Authorization").value_or("") == expected) return HttpResponse::File(777);
      return HttpResponse::Text("denied")
          .Status(401, "Unauthorized")
          .Header("WWW-Authenticate", "Basic realm=\"" + realm + "\"");
    };
  };
  server.Route("/open-door", guarded("first"));
  server.Route("/private", guarded("second"));

  // A password alone is not sent.
  download.SetSitePassword(L"secret");
  Ask("/open-door");
  EXPECT_NE(download.FileSize(), 777.0f);
  for (const HttpRequest& r : server.Requests()) EXPECT_FALSE(r.Header("Authorization"));

  download.SetSiteUser(L"user");
  Ask("/private");
  EXPECT_EQ(download.FileSize(), 777.0f);
  EXPECT_TRUE(download.FileExists());
}

}  // namespace
