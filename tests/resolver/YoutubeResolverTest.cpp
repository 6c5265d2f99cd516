// The YouTube link resolver on the main window, against a loopback server
// that plays YouTube's part. The socket's port is redirected to the test
// server's port; the program itself always asks for port 80.
#include <gtest/gtest.h>

#include "resolver/LinkResult.h"
#include "resolver/YoutubeRedirect.h"
#include "common/Text.h"
#include "shell/Program.h"
#include "tests/controls/LoopbackSocketServer.h"
#include "tests/support/HttpsFront.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using mf::test::LoopbackSocketServer;

namespace {

// The redirect followed, to its answer.
std::wstring Follow(YoutubeResolver& youtube, const std::wstring& player) {
  return test::Await<std::wstring>([&](auto done) { youtube.GetYoutubePathLnik(player, done); });
}

const std::string kRedirect =
    "HTTP/1.1 303 See Other\r\n"
    "Date: Tue, 27 Nov 2007 10:00:00 GMT\r\n"
    "Content-Location: http://www.youtube.com/elsewhere?wrong=1\r\n"
    "Location: http://www.youtube.com/swf/l.swf?video_id=dQw4w9WgXcQ&t=OEgsToPDskJ\r\n"
    "Content-Length: 0\r\n"
    "\r\n";

class YoutubeResolverTest : public ::testing::Test {
 protected:
  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  LoopbackSocketServer server;
  mf::test::TestProgram app;
  frmMain& form = app.form;

  std::wstring Resolve(const LoopbackSocketServer::Script& script, const std::wstring& player) {
    EXPECT_TRUE(server.Start(script));
    app.queue.Resolver.Youtube.WS.SetTestPortOverride(server.Port());
    std::wstring result = Follow(app.queue.Resolver.Youtube, player);
    server.Stop();
    return result;
  }
};

TEST_F(YoutubeResolverTest, SendsTheTabledRequestAndBuildsGetVideoFromTheRedirect) {
  std::wstring result = Resolve({.pieces = {kRedirect}}, L"http://127.0.0.1/v/dQw4w9WgXcQ");
  EXPECT_EQ(result, L"http://127.0.0.1/get_video?video_id=dQw4w9WgXcQ&t=OEgsToPDskJ");
  ASSERT_EQ(server.Requests().size(), 1u);
  // The whole request, byte for byte, is checked on the whole road (DownloadLinkTest).
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.substr(0, request.find("\r\n\r\n") + 4),
            BuildYoutubeRequest("127.0.0.1", "/v/dQw4w9WgXcQ"));
  EXPECT_TRUE(request.starts_with("GET /v/dQw4w9WgXcQ HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
  EXPECT_EQ(app.queue.Resolver.Youtube.wsHost, L"127.0.0.1");
  EXPECT_EQ(app.queue.Resolver.Youtube.wsLink, L"/v/dQw4w9WgXcQ");
  EXPECT_EQ(app.queue.Resolver.Youtube.sYoutubeDownLink,
            L"/get_video?video_id=dQw4w9WgXcQ&t=OEgsToPDskJ");
  EXPECT_TRUE(app.queue.Resolver.Youtube.bFindYoutubeFinish);
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.RemoteHost(), L"127.0.0.1");
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.RemotePort(), 80);
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.State(), sckClosed);  // closed once the answer was read
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(YoutubeResolverTest, AnAnswerInPiecesIsReadUpToTheEndOfItsHeader) {
  std::vector<std::string> pieces = {kRedirect.substr(0, 30), kRedirect.substr(30, 100),
                                     kRedirect.substr(130), "body that is never read"};
  EXPECT_EQ(Resolve({.pieces = pieces, .pauseMs = 100}, L"http://127.0.0.1/v/x"),
            L"http://127.0.0.1/get_video?video_id=dQw4w9WgXcQ&t=OEgsToPDskJ");
  // Ended by the server before its empty line: what came is used.
  EXPECT_EQ(Resolve({.pieces = {"HTTP/1.1 303 See Other\r\nLocation: /p?a=1\r\n"}},
                    L"http://127.0.0.1/v/x"),
            L"http://127.0.0.1/get_video?a=1");
}

TEST_F(YoutubeResolverTest, AnAnswerWithoutAUsableRedirectGivesNothing) {
  EXPECT_EQ(Resolve({.pieces = {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>"}},
                    L"http://127.0.0.1/v/x"),
            L"");
  EXPECT_EQ(Resolve({.pieces = {"HTTP/1.1 303 See Other\r\nLocation: /no/query\r\n\r\n"}},
                    L"http://127.0.0.1/v/x"),
            L"");
  EXPECT_EQ(Resolve({.reply = LoopbackSocketServer::Reply::CloseAtOnce}, L"http://127.0.0.1/v/x"),
            L"");
  EXPECT_EQ(app.queue.Resolver.Youtube.sYoutubeDownLink, L"");
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(YoutubeResolverTest, AnOverLongAnswerEndsTheWaitWithoutAResult) {
  app.queue.Resolver.Youtube.YoutubeAnswerTimeoutMs = 20000;
  ULONGLONG start = GetTickCount64();
  // Never an empty line, never a close: only the length limit ends the reading.
  std::string endless = "HTTP/1.1 303 See Other\r\nX-Junk: " + std::string(40000, 'j');
  LoopbackSocketServer::Script script{.reply = LoopbackSocketServer::Reply::AnswerAndHold,
                                      .pieces = {endless}};
  EXPECT_TRUE(server.Start(script));
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(server.Port());
  EXPECT_EQ(Follow(app.queue.Resolver.Youtube, L"http://127.0.0.1/v/x"), L"");
  EXPECT_LT(GetTickCount64() - start, 10000u);
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(YoutubeResolverTest, AConnectionErrorIsReportedAndNeverReusesAnEarlierPath) {
  ASSERT_EQ(Resolve({.pieces = {kRedirect}}, L"http://127.0.0.1/v/first"),
            L"http://127.0.0.1/get_video?video_id=dQw4w9WgXcQ&t=OEgsToPDskJ");
  app.queue.Resolver.Youtube.WS.SetTestPortOverride(LoopbackSocketServer::UnusedPort());
  EXPECT_EQ(Follow(app.queue.Resolver.Youtube, L"http://127.0.0.1/v/second"), kLinkFetchFailed);
  EXPECT_EQ(app.queue.Resolver.Youtube.sYoutubeDownLink, L"");
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, L"Connection Error,Connection is forcefully rejected");
  EXPECT_EQ(platform.messageBoxes[0].title, L"Marrowfin");
  EXPECT_EQ(platform.messageBoxes[0].type, static_cast<UINT>(MB_OK));
  EXPECT_TRUE(app.queue.Resolver.Youtube.bFindYoutubeFinish);
}

TEST_F(YoutubeResolverTest, AServerThatNeverAnswersEndsAtTheTimeLimit) {
  app.queue.Resolver.Youtube.YoutubeAnswerTimeoutMs = 2000;
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(Resolve({.reply = LoopbackSocketServer::Reply::Silent}, L"http://127.0.0.1/v/x"),
            kLinkFetchFailed);
  ULONGLONG took = GetTickCount64() - start;
  EXPECT_GE(took, 1900u);
  EXPECT_LT(took, 8000u);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text,
            L"Connection Error,No answer from the server within 2 seconds");
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.State(), sckClosed);
  EXPECT_EQ(app.queue.Resolver.Youtube.YoutubeAnswerTimeoutMs, 2000u);
  mf::test::TestProgram fresh;
  EXPECT_EQ(fresh.queue.Resolver.Youtube.YoutubeAnswerTimeoutMs,
            30000u);  // the program's own limit
}

TEST_F(YoutubeResolverTest, ThePortIs80WhateverThePlayerAddressSays) {
  // No lookup happens: "127.0.0.1:8123" cannot name a host.
  EXPECT_EQ(Follow(app.queue.Resolver.Youtube, L"http://127.0.0.1:8123/v/x"), kLinkFetchFailed);
  EXPECT_EQ(app.queue.Resolver.Youtube.wsHost, L"127.0.0.1:8123");
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.RemoteHost(), L"127.0.0.1:8123");
  EXPECT_EQ(app.queue.Resolver.Youtube.WS.RemotePort(), 80);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text,
            L"Connection Error,Authoritative answer: Host not found");
}

TEST_F(YoutubeResolverTest, NothingTheCallerGivesCanAddLinesToTheRequest) {
  Resolve({.pieces = {kRedirect}}, L"http://127.0.0.1/v/a\r\nX-Evil: 1 \x00e9");
  ASSERT_EQ(server.Requests().size(), 1u);
  std::string request = server.Requests()[0];
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /v/a%0D%0AX-Evil:%201%20%C3%A9 HTTP/1.1");
  EXPECT_EQ(request.find("X-Evil: 1"), std::string::npos);
}

TEST_F(YoutubeResolverTest, AnAddressWithoutPathAsksForTheRootAndOneWithoutHostAsksNothing) {
  Resolve({.pieces = {kRedirect}}, L"http://127.0.0.1");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].substr(0, 16), "GET / HTTP/1.1\r\n");
  EXPECT_EQ(Resolve({.pieces = {kRedirect}}, L"http:///v/x"), L"");
  EXPECT_EQ(server.Connections(), 1);  // only the first
}

// YouTube's part over TLS: the HTTPS front of a loopback HTTP server.
class YoutubeOverTlsTest : public YoutubeResolverTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(http.Start());
    ASSERT_TRUE(front.Start(http));
    http.Route("/v/x",
               test::HttpResponse::Text("")
                   .Status(303, "See Other")
                   .Header("Location", "http://www.youtube.com/swf/l.swf?video_id=abc&t=OEgs"));
  }
  // The request as the server read it, written out again.
  static std::string Rewritten(const test::HttpRequest& r) {
    std::string out = r.method + " " + r.target + " " + r.version + "\r\n";
    for (const test::HttpHeader& h : r.headers) out += h.name + ": " + h.value + "\r\n";
    return out + "\r\n";
  }
  test::HttpServer http;
  test::HttpsFront front;
  YoutubeResolver& youtube = app.queue.Resolver.Youtube;
};

TEST_F(YoutubeOverTlsTest, AnHttpsPlayerAddressIsAskedOverTlsWithTheSameRequest) {
  const std::wstring port = std::to_wstring(front.Port());
  struct Case {
    std::wstring player;
    bool portOverride;  // else the port written in the address is used
    std::wstring host;  // of the Host line and of the answer
    long remotePort;
  };
  const Case cases[] = {
      {L"https://localhost:" + port + L"/v/x", false, L"localhost:" + port, front.Port()},
      {L"https://localhost/v/x", true, L"localhost", 443},
      {L"HTTPS://localhost/v/x", true, L"localhost", 443},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.player));
    http.ClearRequests();
    youtube.WS.SetTestPortOverride(c.portOverride ? front.Port() : 0);
    EXPECT_EQ(Follow(youtube, c.player), L"https://" + c.host + L"/get_video?video_id=abc&t=OEgs");
    ASSERT_EQ(http.Requests().size(), 1u);
    EXPECT_EQ(Rewritten(http.Requests()[0]), BuildYoutubeRequest(ToAnsi(c.host), "/v/x"));
    EXPECT_TRUE(youtube.WS.Secure());
    EXPECT_EQ(youtube.WS.RemoteHost(), L"localhost");
    EXPECT_EQ(youtube.WS.RemotePort(), c.remotePort);
  }
  EXPECT_TRUE(platform.messageBoxes.empty());
  // The next plain address goes plain again.
  EXPECT_EQ(Resolve({.pieces = {kRedirect}}, L"http://127.0.0.1/v/x"),
            L"http://127.0.0.1/get_video?video_id=dQw4w9WgXcQ&t=OEgsToPDskJ");
  EXPECT_FALSE(youtube.WS.Secure());
}

TEST_F(YoutubeOverTlsTest, ARefusedCertificateIsAConnectionErrorThatSaysWhy) {
  struct Case {
    test::TestCertificate certificate;
    const wchar_t* reason;
  };
  const Case cases[] = {
      {test::TestCertificate::Expired, L"The server's certificate has expired"},
      {test::TestCertificate::WrongName, L"The server's certificate is for another name"},
      {test::TestCertificate::Untrusted,
       L"The server's certificate is not from a trusted authority"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.reason));
    platform.messageBoxes.clear();
    youtube.WS.SetTestPortOverride(front.Port(c.certificate));
    EXPECT_EQ(Follow(youtube, L"https://localhost/v/x"), kLinkFetchFailed);
    EXPECT_EQ(youtube.sYoutubeDownLink, L"");
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].text, std::wstring(L"Connection Error,") + c.reason);
    EXPECT_EQ(youtube.WS.State(), sckClosed);
  }
  test::PumpFor(100);
  EXPECT_TRUE(http.Requests().empty());  // no request went out
}

}  // namespace
