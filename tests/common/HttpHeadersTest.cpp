// Header blocks read as the standard defines them: exact names, whole blocks.
#include <gtest/gtest.h>

#include "common/HttpHeaders.h"

using namespace mf;

namespace {

TEST(HttpHeaders, FieldsAreFoundByTheirExactNameOnly) {
  const std::string raw =
      "HTTP/1.1 200 OK\r\nX-Original-Content-Length: 999\r\n"
      "Link: <x>; filename=evil.exe\r\ncontent-length:  12 \r\n"
      "Content-Disposition: attachment;\r\n filename=\"a.mp4\"\r\n"
      "Bad Name: x\r\nnocolon\r\nETag: \"1\"\r\n\r\nBody: no\r\n" +
      std::string(3000, 'x');
  const HttpHeaderBlock block = ParseHeaderBlock(raw);
  EXPECT_EQ(block.status, 200);
  EXPECT_EQ(block.Get("Content-Length"), "12");
  EXPECT_EQ(block.Get("Content-Disposition"), "attachment; filename=\"a.mp4\"");
  EXPECT_EQ(block.Get("etag"), "\"1\"");
  for (const char* absent : {"Length", "Bad Name", "nocolon", "Body", "filename"})
    EXPECT_FALSE(block.Get(absent)) << absent;
}

TEST(HttpHeaders, RangesLengthsAndWaitsAreReadInSixtyFourBits) {
  struct Case {
    const char* value;
    std::optional<ContentRange> range;
  };
  const Case ranges[] = {
      {"bytes 0-99/100", ContentRange{0, 99, 100}},
      {"bytes 100-199/5000000000", ContentRange{100, 199, 5000000000}},
      {"bytes 5-9/*", ContentRange{5, 9, -1}},
      {"bytes */300", ContentRange{-1, -1, 300}},
      {"bytes 9-5/100", std::nullopt},
      {"bytes 0-100/100", std::nullopt},
      {"bytes */*", std::nullopt},
      {"items 0-1/2", std::nullopt},
  };
  for (const Case& c : ranges) {
    const std::optional<ContentRange> got = ParseContentRange(c.value);
    ASSERT_EQ(got.has_value(), c.range.has_value()) << c.value;
    if (got) {
      EXPECT_EQ(std::tie(got->first, got->last, got->total),
                std::tie(c.range->first, c.range->last, c.range->total))
          << c.value;
    }
  }
  EXPECT_EQ(ParseDecimal("5000000000"), 5000000000);
  EXPECT_FALSE(ParseDecimal("-1") || ParseDecimal("1e3") || ParseDecimal(""));
  EXPECT_EQ(ParseRetryAfter(" 4294968 "), 4294968u);
  EXPECT_EQ(ParseRetryAfter("99999999999999999999999"), UINT64_MAX);
  EXPECT_FALSE(ParseRetryAfter("Wed, 21 Oct 2015 07:28:00 GMT"));
}

}  // namespace
