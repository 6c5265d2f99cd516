// How a stream's segment answers are judged: only exactly the bytes asked
// for will do, whatever the server makes of the range.
#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/HttpServer.h"
#include "transfer/StreamFetch.h"

using namespace mf;
using namespace mf::test;

namespace {

TEST(StreamFetch, OnlyTheBytesAskedForCount) {
  struct Case {
    const char* what;
    std::optional<media::ByteRange> range;
    HttpResponse answer;
    std::string body;  // "!" for a failure
    bool passing;      // of a failure: a later try may do better
  };
  const auto raw = [](int status, const std::string& headers, const std::string& body) {
    return HttpResponse::Raw(std::string("HTTP/1.1 ")
                                 .append(std::to_string(status))
                                 .append(" X\r\n")
                                 .append(headers)
                                 .append("Content-Length: ")
                                 .append(std::to_string(body.size()))
                                 .append("\r\n\r\n")
                                 .append(body));
  };
  const media::ByteRange middle{2, 4};
  const Case cases[] = {
      {"whole", std::nullopt, raw(200, "", "0123456789"), "0123456789", false},
      {"the range", middle, raw(206, "Content-Range: bytes 2-5/10\r\n", "2345"), "2345", false},
      {"another range", middle, raw(206, "Content-Range: bytes 0-3/10\r\n", "0123"), "!", false},
      {"ranges ignored", middle, raw(200, "", "0123456789"), "2345", false},
      {"ranges ignored, too short", middle, raw(200, "", "012"), "!", false},
      {"cut short", std::nullopt, HttpResponse::File(100000).DropAfter(5000), "!", true},
      {"not there", std::nullopt, HttpResponse::NotFound(), "!", false},
      {"busy", std::nullopt, raw(503, "Retry-After: 2\r\n", "busy"), "!", true},
      {"redirected", middle, raw(302, "Location: /ranged\r\n", ""), "2345", false},
  };
  HttpServer server;
  ASSERT_TRUE(server.Start());
  server.Route("/ranged", HttpResponse::Text("0123456789", "video/mp2t").AcceptRanges());
  const ProxySettings direct;
  std::atomic<bool> stop{false};
  StreamFetch fetch(stop, {2000, 2000}, direct);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.Route("/s", c.answer);
    std::string body;
    const FetchOutcome outcome = fetch.GetText(server.Url("/s"), c.range, body, 1 << 20);
    EXPECT_EQ(outcome.ok ? body : "!", c.body);
    if (!outcome.ok) {
      EXPECT_EQ(outcome.Passing(), c.passing);
      EXPECT_FALSE(outcome.reason.empty());
    }
  }
}

}  // namespace
