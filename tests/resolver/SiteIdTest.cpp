// Site recognition of page addresses.
#include <gtest/gtest.h>

#include "resolver/SiteId.h"

using namespace mf;

namespace {

TEST(GetSiteID, RecognisesEachSitesAddressForms) {
  EXPECT_EQ(GetSiteID(L"http://video.google.com/videoplay?docid=-8536546431271530424"), 1);
  EXPECT_EQ(GetSiteID(L"http://www.youtube.com/watch?v=dQw4w9WgXcQ"), 2);
  EXPECT_EQ(GetSiteID(L"http://youtube.com/watch?v=dQw4w9WgXcQ&feature=related"), 2);
  EXPECT_EQ(GetSiteID(L"http://uk.youtube.com/watch?v=abc"), 2);
  EXPECT_EQ(GetSiteID(L"http://www.angryalien.com/0504/shiningbunnies.asp"), 5);
  EXPECT_EQ(GetSiteID(L"http://www.break.com/index/funny-cat.html"), 9);
  EXPECT_EQ(GetSiteID(L"http://my.break.com/media/view.aspx?ContentID=1"), 9);
  EXPECT_EQ(GetSiteID(L"http://www.zippyvideos.com/2312342/clip/"), 13);
  // Forms users paste: no scheme, https, a fragment, more query keys.
  EXPECT_EQ(GetSiteID(L"www.youtube.com/watch?v=dQw4w9WgXcQ"), 2);
  EXPECT_EQ(GetSiteID(L"https://www.youtube.com/watch?v=dQw4w9WgXcQ#t=30"), 2);
  EXPECT_EQ(GetSiteID(L"http://video.google.com/videoplay?docid=1&q=cats&hl=en"), 1);
  EXPECT_EQ(GetSiteID(L"angryalien.com/0504/shiningbunnies.asp"), 5);
  EXPECT_EQ(GetSiteID(L"http://break.com/"), 9);
}

TEST(GetSiteID, IgnoresLetterCase) {
  EXPECT_EQ(GetSiteID(L"HTTP://WWW.YOUTUBE.COM/WATCH?V=ABC"), 2);
  EXPECT_EQ(GetSiteID(L"http://Video.Google.COM/VideoPlay?docid=1"), 1);
}

TEST(GetSiteID, FirstPatternInOrderWins) {
  EXPECT_EQ(GetSiteID(L"http://video.google.com/videoplay?q=youtube.com/watch?v=x"), 1);
  EXPECT_EQ(GetSiteID(L"http://www.youtube.com/watch?v=x&from=break.com"), 2);
  EXPECT_EQ(GetSiteID(L"http://angryalien.com/?ref=zippyvideos.com"), 5);
}

TEST(GetSiteID, OtherWebPagesAreVideoPagesAndOnlyNonWebAddressesAreRejected) {
  // Not a page of the five sites, yet a web page: searched for a video.
  for (const wchar_t* page :
       {L"http://www.youtube.com/user/someone", L"http://video.google.com/",
        L"https://vimeo.com/12345", L"http://www.youtube.com/v/dQw4w9WgXcQ",
        L"http://youtu.be/dQw4w9WgXcQ", L"http://video.google.co.uk/videoplay?docid=1"}) {
    EXPECT_EQ(GetSiteID(page), siteVideoPage) << page;
    EXPECT_FALSE(IsAutomaticAddress(page)) << page;
  }
  // A video or audio file's own address, whatever the host.
  for (const wchar_t* file : {L"https://cdn.example.com/a/clip.MP4?sig=1", L"http://h/x.webm#t=3",
                              L"http://h/song.opus"}) {
    EXPECT_EQ(GetSiteID(file), siteMediaLink) << file;
    EXPECT_TRUE(IsAutomaticAddress(file)) << file;
  }
  // The five sites come first, a media link on their hosts included.
  EXPECT_EQ(GetSiteID(L"http://www.break.com/clip.mp4"), siteBreak);
  EXPECT_TRUE(IsAutomaticAddress(L"http://www.youtube.com/watch?v=abc"));
  for (const wchar_t* other : {L"", L"youtube.com/watch?x=1", L"ftp://h/clip.mp4", L"mailto:a@b"}) {
    EXPECT_EQ(GetSiteID(other), siteUnsupported) << other;
    EXPECT_FALSE(IsAutomaticAddress(other)) << other;
  }
}

}  // namespace
