// Random and truncated pages against every cutter. This program builds the
// cutting code with the standard library's bounds checks on, so a read past
// the end of a page aborts it instead of passing unseen.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "resolver/PageParsers.h"
#include "resolver/UnescapeUrl.h"
#include "resolver/YoutubeRedirect.h"

using namespace mf;

namespace {

// Pieces the cutters look for, so random pages hit their branches often.
// clang-format off
const std::vector<std::string> kPieces = {
    "ipoddownloadlink", "IPODDOWNLOADLINK", "href=", "HREF=\"", "\"", "'", "&", "&amp;", "&AMP;",
    ";", "videoUrl", "http", "HTTP://", "%", "%4", "%41", "%zz", "embed src", "<embed src=\"",
    "sGlobalFileName='", "sGlobalContentFilePath='", "storageId=", "userName=", "videoId=",
    "srvURL=", "\r\n", "\r\n\r\n", "Location:", "\r\nLocation: ", "?", "/", " ",
    std::string(1, '\0'), "\xFF", "\x80",
};
// clang-format on

const std::vector<std::string> kValidPages = {
    "<a href=\"http://v/ipod.mp4?a=1&amp;b=2\" id=\"ipoddownloadlink\">",
    "x videoUrl=http%3A%2F%2Fv%2Fx%3Fa%3D1\" y",
    "&lt;embed src=&quot;http://127.0.0.1/v/abc&amp;hl=en&quot;",
    "<embed src=\"http://www.angryalien.com/a.swf\">",
    "sGlobalFileName='cat'; sGlobalContentFilePath='2007/11/27';",
    "storageId=1&userName=u&videoId=2&srvURL=http://s/v'",
    "HTTP/1.1 303 See Other\r\nLocation: http://h/x?video_id=1&t=2\r\n\r\nbody",
};

std::string RandomPage(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(0, 40), pick(0, static_cast<int>(kPieces.size()) - 1),
      byte(0, 255), kind(0, 3);
  std::string page;
  for (int n = count(rng); n > 0; --n) {
    if (kind(rng) == 0)
      page += static_cast<char>(byte(rng));
    else
      page += kPieces[static_cast<size_t>(pick(rng))];
  }
  return page;
}

// Runs every cutter over the page; none may throw or abort.
size_t CutEverything(const std::string& page) {
  size_t total = 0;
  total += CutGoogleVideoAddress(page).size();
  total += CutYouTubePlayerAddress(page).size();
  total += CutAngryAlienAddress(page).size();
  total += CutBreakAddress(page).size();
  total += CutZippyVideosAddress(page).size();
  total += CutYoutubeRedirect(page).size();
  if (auto decoded = UnescapeUrlBytes(page)) total += decoded->size();
  return total;
}

TEST(Fuzz, RandomPagesNeverCrashAnyCutter) {
  std::mt19937 rng(20071127);
  size_t found = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string page = RandomPage(rng);
    EXPECT_NO_THROW(found += CutEverything(page));
  }
  EXPECT_GT(found, 0u);  // the pieces did lead some cutters to an address
}

TEST(Fuzz, EveryTruncationOfAValidPageIsHandled) {
  for (const std::string& valid : kValidPages) {
    EXPECT_GT(CutEverything(valid), 0u) << valid;
    for (size_t n = 0; n <= valid.size(); ++n) {
      // An exact-size copy: nothing lies beyond the truncated page.
      std::string cut(valid.data(), n);
      EXPECT_NO_THROW(CutEverything(cut)) << n;
      std::string tail(valid.data() + n, valid.size() - n);
      EXPECT_NO_THROW(CutEverything(tail)) << n;
    }
  }
}

TEST(Fuzz, AlteringSingleBytesOfValidPagesIsHandled) {
  std::mt19937 rng(8);
  std::uniform_int_distribution<int> byte(0, 255);
  for (const std::string& valid : kValidPages) {
    for (int i = 0; i < 300; ++i) {
      std::string page = valid;
      std::uniform_int_distribution<size_t> at(0, page.size() - 1);
      page[at(rng)] = static_cast<char>(byte(rng));
      page[at(rng)] = static_cast<char>(byte(rng));
      EXPECT_NO_THROW(CutEverything(page));
    }
  }
}

}  // namespace
