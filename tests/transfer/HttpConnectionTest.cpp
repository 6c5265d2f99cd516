// The transfer's own HTTP client against answers as servers really write
// them, and the system proxy settings it follows.
#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/HttpServer.h"
#include "transfer/HttpConnection.h"

using namespace mf;
using namespace mf::test;

namespace {

TEST(HttpConnection, ReadsEveryFormOfBodyAndRefusesWhatIsNoAnswer) {
  struct Case {
    const char* form;
    std::string answer;
    std::string body;  // what Read gives up to its end; "!" for a failure
  };
  const std::string head = "HTTP/1.1 200 OK\r\n";
  const Case cases[] = {
      {"length", head + "Content-Length: 5\r\n\r\nhello, and more", "hello"},
      {"to the close", head + "\r\nall of it", "all of it"},
      {"chunked",
       head +
           "Transfer-Encoding: chunked\r\n\r\n4;ext=1\r\nwiki\r\n5\r\npedia\r\n0\r\nX-T: 1\r\n\r\n",
       "wikipedia"},
      {"chunked, cut", head + "Transfer-Encoding: Chunked\r\n\r\n9\r\nwiki", "!"},
      {"after 100 Continue",
       std::string("HTTP/1.1 100 Continue\r\n\r\n")
           .append(head)
           .append("Content-Length: 2\r\n\r\nok"),
       "ok"},
      {"bare line ends", "HTTP/1.0 200 OK\nContent-Length: 3\n\nabc", "abc"},
      {"no HTTP at all", "SSH-2.0-OpenSSH\r\n\r\n", "!"},
  };
  HttpServer server;
  ASSERT_TRUE(server.Start());
  const ProxySettings direct;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    server.Route("/x", HttpResponse::Raw(c.answer));
    std::atomic<bool> stop{false};
    HttpConnection connection(stop, {2000, 2000}, direct);
    std::string body;
    bool failed = !connection.Exchange(*SplitWebAddress(server.Url("/x")), "GET", "");
    char buffer[3];  // small reads cross every boundary
    for (int64_t n = 1; !failed && n > 0;) {
      n = connection.Read(buffer, sizeof buffer, 10);
      if (n > 0) body.append(buffer, static_cast<size_t>(n));
      failed = n < 0;
    }
    if (failed) body.assign(1, '!');
    EXPECT_EQ(body, c.body);
  }
}

TEST(HttpConnection, TheSystemProxyIsUsedExceptForItsExceptions) {
  const ProxySettings settings =
      ParseProxySettings(L"http=web:8080;https=safe:3128", L"*.intra.net;<local>");
  struct Case {
    const wchar_t* address;
    const wchar_t* proxy;  // "" for none
  };
  const Case cases[] = {
      {L"http://example.com/a", L"web:8080"}, {L"https://example.com/a", L"safe:3128"},
      {L"http://files.intra.net/x", L""},     {L"http://printer/x", L""},
      {L"http://127.0.0.1:81/x", L""},
  };
  for (const Case& c : cases) {
    const std::optional<ProxyServer> proxy = settings.For(*SplitWebAddress(c.address));
    EXPECT_EQ(proxy ? proxy->host + L":" + std::to_wstring(proxy->port) : L"", c.proxy)
        << c.address;
  }
  EXPECT_EQ(ParseProxySettings(L"one:99", L"").https->host, L"one");
}

}  // namespace
