// Site recognition of page addresses.
#include <gtest/gtest.h>

#include "resolver/SiteId.h"

using mf::GetSiteID;

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

TEST(GetSiteID, RejectsEverythingElse) {
  EXPECT_EQ(GetSiteID(L""), -1);
  EXPECT_EQ(GetSiteID(L"http://www.youtube.com/user/someone"), -1);  // not a watch page
  EXPECT_EQ(GetSiteID(L"http://video.google.com/"), -1);
  EXPECT_EQ(GetSiteID(L"http://vimeo.com/12345"), -1);
  EXPECT_EQ(GetSiteID(L"youtube.com/watch?x=1"), -1);
  EXPECT_EQ(GetSiteID(L"http://www.youtube.com/v/dQw4w9WgXcQ"), -1);  // a player, not a page
  EXPECT_EQ(GetSiteID(L"http://youtu.be/dQw4w9WgXcQ"), -1);
  EXPECT_EQ(GetSiteID(L"http://video.google.co.uk/videoplay?docid=1"), -1);
}

}  // namespace
