// The cutting of the redirection a YouTube player address is answered with.
#include <gtest/gtest.h>

#include "resolver/YoutubeRedirect.h"

using namespace mf;

namespace {

std::string Answer(const std::string& headers, const std::string& body = "") {
  return "HTTP/1.1 303 See Other\r\nDate: Tue, 27 Nov 2007 10:00:00 GMT\r\n" + headers + "\r\n" +
         body;
}

TEST(CutYoutubeRedirect, KeepsTheTargetsQueryBehindGetVideo) {
  EXPECT_EQ(CutYoutubeRedirect(
                Answer("Location: http://www.youtube.com/swf/l.swf?video_id=dQw4&t=OEgsToPDskJ\r\n"
                       "Content-Length: 0\r\n")),
            L"/get_video?video_id=dQw4&t=OEgsToPDskJ");
  // Any path, any case of the header's name; blanks around the value are no part of it.
  EXPECT_EQ(CutYoutubeRedirect(Answer("LOCATION:/p/q/r?a=1 \r\n")), L"/get_video?a=1");
  EXPECT_EQ(CutYoutubeRedirect(Answer("location:   http://h/x?\r\n")), L"/get_video?");
}

TEST(CutYoutubeRedirect, GivesNothingWithoutAUsableLocationHeader) {
  EXPECT_EQ(CutYoutubeRedirect(Answer("Content-Type: text/html\r\n")), L"");
  EXPECT_EQ(CutYoutubeRedirect(Answer("Location: http://h/no/query\r\n")), L"");
  // Only a header named Location counts, not one that ends in it...
  EXPECT_EQ(CutYoutubeRedirect(Answer("Content-Location: http://h/x?a=1\r\n")), L"");
  EXPECT_EQ(CutYoutubeRedirect(Answer("Content-Location: http://h/x?a=1\r\nLocation: /y?b=2\r\n")),
            L"/get_video?b=2");
  // ...and not one quoted by the body.
  EXPECT_EQ(CutYoutubeRedirect(Answer("", "\r\nLocation: http://h/x?a=1\r\n")), L"");
  // A Location line cut off before its end.
  EXPECT_EQ(CutYoutubeRedirect("HTTP/1.1 303 See Other\r\nLocation: http://h/x?a=1"), L"");
  EXPECT_EQ(CutYoutubeRedirect(""), L"");
}

TEST(CutYoutubeRedirect, TheLocationLineMustEndWithinTheFirst32767Bytes) {
  std::string filler = "X-Filler: " + std::string(32000, 'f') + "\r\n";
  std::string near = Answer(filler + "Location: /x?a=1\r\n");
  EXPECT_EQ(CutYoutubeRedirect(near), L"/get_video?a=1");
  std::string far =
      Answer(filler + "X-More: " + std::string(1000, 'm') + "\r\nLocation: /x?a=1\r\n");
  EXPECT_EQ(CutYoutubeRedirect(far), L"");
}

TEST(CutYoutubeRedirect, ATargetsOddBytesTravelPercentEncoded) {
  EXPECT_EQ(CutYoutubeRedirect(Answer("Location: /x?a=b c\x01\xE9\r\n")),
            L"/get_video?a=b%20c%01%E9");
}

TEST(HasWholeHeader, IsTrueOnceTheEmptyLineHasArrived) {
  EXPECT_FALSE(HasWholeHeader("HTTP/1.1 303 See Other\r\nLocation: /x?a\r\n"));
  EXPECT_TRUE(HasWholeHeader("HTTP/1.1 303 See Other\r\nLocation: /x?a\r\n\r\n"));
}

}  // namespace
