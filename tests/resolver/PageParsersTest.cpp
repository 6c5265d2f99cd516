// Each site's parser on pages in that site's format.
#include <gtest/gtest.h>

#include "resolver/PageParsers.h"
#include "tests/resolver/PageFiles.h"

using namespace mf;
using mf::test::ScratchPage;

namespace {

const std::wstring kMissingFile = L"C:\\no such folder\\Parse.pgq";

// ---- Google Video

TEST(ParseGoogleVideoPage, TakesTheHrefNearestBeforeTheIpodLinkWithAmpEntitiesUndone) {
  ScratchPage page(
      "<html><a href=\"http://video.google.com/other?a=1\">Other</a>\n"
      "<a href=\"http://vp.video.google.com/videodownload?version=0&amp;secureurl=Xy&AMP;"
      "sigh=k&Amp;begin=0\" class=\"dl\" id=\"ipodDownloadLink\">Download for iPod</a>\n"
      "<a href=\"http://later.example/never\">x</a></html>");
  EXPECT_EQ(ParseGoogleVideoPage(page.Path()),
            L"http://vp.video.google.com/videodownload?version=0&secureurl=Xy&sigh=k&begin=0");
}

TEST(ParseGoogleVideoPage, MarkersInCapitalsAreFoundToo) {
  ScratchPage page("<A HREF=\"http://v.example/ipod.mp4?x=1&AMP;y=2\" ID=IPODDOWNLOADLINK>");
  EXPECT_EQ(ParseGoogleVideoPage(page.Path()), L"http://v.example/ipod.mp4?x=1&y=2");
}

TEST(ParseGoogleVideoPage, WithoutTheIpodLinkDecodesTheHttpAddressAfterVideoUrl) {
  ScratchPage page(
      "<embed src=\"/googleplayer.swf?hl=en&videoUrl=http%3A%2F%2Fvp.video.google.com%2F"
      "videodownload%3Fversion%3D0%26secureurl%3DuQAAA%26sigh%3Dabc+d\" type=\"x\">");
  EXPECT_EQ(ParseGoogleVideoPage(page.Path()),
            L"http://vp.video.google.com/videodownload?version=0&secureurl=uQAAA&sigh=abc+d");
}

TEST(ParseGoogleVideoPage, GivesNothingWhenAMarkerOrDelimiterIsMissing) {
  const char* misses[] = {
      "<html>no video here</html>",
      "<b id=\"ipoddownloadlink\">no link before the marker</b> href=\"http://after/x\"",
      "<a href=\"http://v.example/ipod.mp4 ipoddownloadlink",  // never closed
      "<a href=\"\"ipoddownloadlink",  // the quote is searched from the address's 2nd character
      "var videoUrl = 'ftp://nothing-with-the-scheme'",
      "videoUrl=http%3A%2F%2Fnever.closed",
      "http://before.example/x\" videoUrl=",  // the http must follow videoUrl
  };
  for (const char* text : misses) {
    ScratchPage page(text);
    EXPECT_EQ(ParseGoogleVideoPage(page.Path()), L"") << text;
  }
  EXPECT_EQ(ParseGoogleVideoPage(kMissingFile), L"");
}

TEST(ParseGoogleVideoPage, ADecodedAddressBeyond1023CharactersIsNoAddress) {
  std::string fits = "videoUrl=http://h/" + std::string(1023 - 9, 'a') + "\"";
  std::string tooLong = "videoUrl=http://h/" + std::string(1024 - 9, 'a') + "\"";
  ScratchPage a(fits), b(tooLong);
  EXPECT_EQ(ParseGoogleVideoPage(a.Path()).size(), 1023u);
  EXPECT_EQ(ParseGoogleVideoPage(b.Path()), L"");
}

// ---- YouTube

TEST(ParseYouTubePage, HandsTheEmbeddedPlayerAddressToTheResolverAndReturnsItsAnswer) {
  ScratchPage page(
      "<input name=\"embed_code\" value=\"&lt;object width=&quot;425&quot;&gt;"
      "&lt;embed src=&quot;http://www.youtube.com/v/dQw4w9WgXcQ&amp;hl=en&quot; "
      "type=&quot;application/x-shockwave-flash&quot;&gt;\">");
  std::vector<std::wstring> asked;
  std::wstring result = ParseYouTubePage(page.Path(), [&](const std::wstring& player) {
    asked.push_back(player);
    return std::wstring(L"http://www.youtube.com/get_video?video_id=dQw4w9WgXcQ&t=x");
  });
  EXPECT_EQ(asked, std::vector<std::wstring>{L"http://www.youtube.com/v/dQw4w9WgXcQ"});
  EXPECT_EQ(result, L"http://www.youtube.com/get_video?video_id=dQw4w9WgXcQ&t=x");
}

TEST(ParseYouTubePage, AsksNoResolverWhenThereIsNothingToResolve) {
  const char* misses[] = {
      "<html>no embed code</html>",
      "&lt;EMBED SRC=;&amp;",            // empty fragment
      "embed src=&quot",                 // no semicolon
      "embed src=&quot;http://y/v/abc",  // no ampersand after it
      "; http://y/v/abc& embed src",     // delimiters before the marker do not count
  };
  for (const char* text : misses) {
    ScratchPage page(text);
    bool asked = false;
    EXPECT_EQ(ParseYouTubePage(page.Path(),
                               [&](const std::wstring&) {
                                 asked = true;
                                 return std::wstring(L"x");
                               }),
              L"")
        << text;
    EXPECT_FALSE(asked) << text;
  }
}

// ---- AngryAlien

TEST(ParseAngryAlienPage, TakesTheEmbeddedSourceWhenItIsAnHttpAddress) {
  ScratchPage page(
      "<object><param name=\"movie\" value=\"x.swf\">"
      "<EMBED SRC=\"HTTP://www.angryalien.com/0504/shiningbunnies.swf\" width=\"550\"></object>");
  EXPECT_EQ(ParseAngryAlienPage(page.Path()), L"HTTP://www.angryalien.com/0504/shiningbunnies.swf");
}

TEST(ParseAngryAlienPage, GivesNothingForARelativeSourceOrAMissingMarkerOrQuote) {
  for (const char* text : {"<embed src=\"0504/shiningbunnies.swf\">", "<embed src=shining.swf>",
                           "<embed src=\"http://never.closed", "<embed src=\"\">", ""}) {
    ScratchPage page(text);
    EXPECT_EQ(ParseAngryAlienPage(page.Path()), L"") << text;
  }
}

// ---- Break

TEST(ParseBreakPage, BuildsTheMediaAddressFromFileNameAndContentPath) {
  ScratchPage page(
      "<script>var sGlobalContentID='412231';\n"
      "var sGlobalFileName='Funny_Cat_Video';\n"
      "var SGLOBALCONTENTFILEPATH='2007/11/27';</script>");
  EXPECT_EQ(ParseBreakPage(page.Path()),
            L"http://media1.break.com/dnet/media/2007/11/27/Funny_Cat_Video.flv");
}

TEST(ParseBreakPage, GivesNothingWhenAValueOrItsQuoteIsMissing) {
  const char* misses[] = {
      "var sGlobalContentFilePath='2007/11/27';",                    // no file name
      "var sGlobalFileName='cat';",                                  // no content path
      "var sGlobalFileName='cat",                                    // name not closed
      "var sGlobalContentFilePath='p'; var sGlobalFileName='cat';",  // path before name
      "var sGlobalFileName='cat'; var sGlobalContentFilePath='never closed",
      "var sGlobalFileName='cat'; var sGlobalContentFilePath='';",  // empty path
  };
  for (const char* text : misses) {
    ScratchPage page(text);
    EXPECT_EQ(ParseBreakPage(page.Path()), L"") << text;
  }
}

TEST(ParseBreakPage, TheNamesClosingQuoteIsSearchedFromItsSecondCharacter) {
  ScratchPage page("var sGlobalFileName='';x' var sGlobalContentFilePath='p';");
  EXPECT_EQ(ParseBreakPage(page.Path()), L"http://media1.break.com/dnet/media/p/';x.flv");
}

// ---- ZippyVideos

const char kZippyPage[] =
    "<embed src='/flvplayer.swf?storageId=3141&userName=joe_b&videoId=2718&autostart=1&"
    "srvURL=http://www7.zippyvideos.com/videos' width='450'>";

TEST(ParseZippyVideosPage, JoinsServerStorageUserAndVideo) {
  ScratchPage page(kZippyPage);
  EXPECT_EQ(ParseZippyVideosPage(page.Path()),
            L"http://www7.zippyvideos.com/videos/3141/joe_b/2718");
}

TEST(ParseZippyVideosPage, LackingAnyOneOfTheFourMarkersGivesNothing) {
  for (const char* marker : {"storageId=", "userName=", "videoId=", "srvURL="}) {
    std::string text = kZippyPage;
    text.replace(text.find(marker), 3, "xyz");
    ScratchPage page(text);
    EXPECT_EQ(ParseZippyVideosPage(page.Path()), L"") << marker;
  }
  ScratchPage unclosed("storageId=1&userName=u&videoId=2&srvURL=http://never.closed");
  EXPECT_EQ(ParseZippyVideosPage(unclosed.Path()), L"");
  EXPECT_EQ(ParseZippyVideosPage(kMissingFile), L"");
}

// ---- Bytes that are no plain address characters

TEST(Parsers, PassOnBlanksControlCharactersAndNonAsciiBytesPercentEncoded) {
  ScratchPage angry("<embed src=\"http://h/a b\r\nX: \x01\xE9\xC3\xA9.swf\">");
  EXPECT_EQ(ParseAngryAlienPage(angry.Path()), L"http://h/a%20b%0D%0AX:%20%01%E9%C3%A9.swf");
  // A player address can never break into the lines of the raw request.
  ScratchPage tube("embed src=&quot;http://h/v/a\r\nHost: evil&amp;");
  std::wstring asked;
  ParseYouTubePage(tube.Path(), [&](const std::wstring& p) { return asked = p; });
  EXPECT_EQ(asked, L"http://h/v/a%0D%0AHost:%20evil");
  // Escapes decoded from a Google address to such bytes travel encoded again.
  ScratchPage google("videoUrl=http%3A%2F%2Fh%2Fa%0D%0Ab%20c%C3%A9\"");
  EXPECT_EQ(ParseGoogleVideoPage(google.Path()), L"http://h/a%0D%0Ab%20c%C3%A9");
}

}  // namespace
