// File names from Content-Disposition (RFC 6266, RFC 5987) and from addresses.
#include <gtest/gtest.h>

#include "common/ContentDisposition.h"

using namespace mf;

namespace {

struct Case {
  const wchar_t* input;
  const wchar_t* expected;
};

TEST(ContentDisposition, FileNames) {
  const Case cases[] = {
      {L"attachment; filename*=UTF-8''%E5%8B%95%E7%94%BB.mp4", L"\u52D5\u753B.mp4"},
      {L"attachment; filename=\"plain.mp4\"; filename*=UTF-8''%E2%82%AC%20rates.mp4",
       L"\u20AC rates.mp4"},
      {L"attachment; filename*=utf-8''x.mp4; filename=\"y.mp4\"", L"x.mp4"},
      {L"attachment; filename*=iso-8859-1'en'%A3%20rates.mp4", L"\u00A3 rates.mp4"},
      {L"attachment; filename*=UTF-8'ja'%E5%8B%95.mp4", L"\u52D5.mp4"},
      {L"attachment; filename*=UTF-8''%FF.mp4; filename=\"fallback.mp4\"", L"fallback.mp4"},
      {L"attachment; filename*=KOI8-R''%C1.mp4; filename=other.mp4", L"other.mp4"},
      {L"attachment; filename*=UTF-8''a b.mp4; filename=c.mp4", L"c.mp4"},  // blank: invalid
      {L"attachment; filename*=\"UTF-8''quoted%20ext.mp4\"", L"quoted ext.mp4"},
      {L"attachment; filename=\"a \\\"quoted\\\" name.mp4\"", L"a \"quoted\" name.mp4"},
      {L"attachment; filename=\"semi;colon.mp4\"; size=3", L"semi;colon.mp4"},
      {L"attachment; filename=token.mp4", L"token.mp4"},
      {L"inline; FILENAME = \"Spaced.mp4\" ", L"Spaced.mp4"},
      {L"filename=\"noType.mp4\"", L"noType.mp4"},
      {L"attachment; filename=\"unterminated.mp4", L"unterminated.mp4"},
      {L"attachment; filename=\"..\\\\..\\\\evil.exe\"", L"evil.exe"},
      {L"attachment; filename=\"/etc/passwd\"", L"passwd"},
      {L"attachment; filename=\"\u00E9t\u00E9.mp4\"", L"\u00E9t\u00E9.mp4"},
      {L"attachment; filename=\"..\"", L""},
      {L"attachment; filename=\"\"", L""},
      {L"attachment", L""},
      {L"", L""},
      {L"attachment; name=\"x.mp4\"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FileNameFromContentDisposition(c.input), c.expected) << c.input;
}

TEST(ContentDisposition, NamesFromAddresses) {
  const Case cases[] = {
      {L"http://h/v/%E5%8B%95%E7%94%BB.mp4?x=1#t", L"\u52D5\u753B.mp4"},
      {L"https://h/a%20b.webm", L"a b.webm"},
      {L"http://h/a%2F..%2Fb.mp4", L"b.mp4"},
      {L"www.h.com/clip.flv", L"clip.flv"},
      {L"http://h/dir/", L""},
      {L"http://h", L""},
      {L"http://h?x=/a.mp4", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNameFromAddress(c.input), c.expected) << c.input;
}

}  // namespace
