// Random and mutated pages through the HTML page reader: it must end on any
// input, within a time that grows with the page, not with its square.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "resolver/HtmlVideoPage.h"
#include "resolver/JsonLdVideo.h"

using namespace mf;

namespace {

// Pieces the reader looks for, so random pages reach its branches often.
// clang-format off
const std::vector<std::string> kPieces = {
    "<meta ", "property=", "name=", "content=", "og:video", "og:video:url", "og:video:secure_url",
    "og:video:type", "twitter:player:stream", "text/html", "<video", "</video>", "<source ",
    "type=video/mp4", "src=", "<base href=", "<script type=application/ld+json>", "</script>",
    "<script>", "<style>", "<textarea>", "<!--", "-->", "<!", "<?", "</", "<", ">", "/>", "=", " ",
    "\"", "'", "\n", "{", "}", "[", "]", ":", ",", "\"@type\"", "\"VideoObject\"", "\"contentUrl\"",
    "\"@graph\"", "\\", "\\u", "\\ud83d", "&amp;", "&amp", "&#", "&#x", "&#1114112;", ";", "//",
    "../", "./", "/", "?", "#", "%", "http://", "https://", "HTTPS://h:99999", "http://[::1",
    "javascript:", "v.mp4", "<meta charset=", "shift_jis", "utf-16", "windows-1251",
    "\xE5\x8B\x95", "\xFF", "\x80", std::string(1, '\0'),
};
const std::vector<std::string> kValidPages = {
    "<meta property=\"og:video:secure_url\" content=\"https://c/s.mp4\">",
    "<META CONTENT='//c/a.mp4' PROPERTY=og:video>",
    "<base href=\"http://b/x/\"><video src=\"../v.mp4?a=1&amp;b=2\"></video>",
    "<video><source src=a.m3u8 type=application/x-mpegURL>"
    "<source src='b.webm' type=video/webm></video>",
    "<script type=\"application/ld+json\">{\"@graph\":[{\"@type\":[\"VideoObject\"],"
    "\"contentUrl\":\"https:\\/\\/c\\/j\\u002emp4\"}]}</script>",
    "<meta charset=shift_jis><video src=\"/\x93\xAE.mp4\">",
};
// clang-format on

std::string RandomPage(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(0, 200), pick(0, static_cast<int>(kPieces.size()) - 1),
      byte(0, 255), kind(0, 4);
  std::string page = kind(rng) == 0 ? "\xFF\xFE" : "";
  for (int n = count(rng); n > 0; --n)
    page += kind(rng) == 0 ? std::string(1, static_cast<char>(byte(rng)))
                           : kPieces[static_cast<size_t>(pick(rng))];
  return page;
}

// A valid page with bytes changed, a slice repeated, or cut short.
std::string MutatedPage(std::mt19937& rng) {
  std::string page =
      kValidPages[std::uniform_int_distribution<size_t>(0, kValidPages.size() - 1)(rng)];
  std::uniform_int_distribution<int> byte(0, 255), what(0, 2);
  for (int k = std::uniform_int_distribution<int>(1, 4)(rng); k > 0; --k) {
    size_t at = std::uniform_int_distribution<size_t>(0, page.size() - 1)(rng);
    size_t length = std::uniform_int_distribution<size_t>(0, page.size() - at)(rng);
    switch (what(rng)) {
      case 0:
        page[at] = static_cast<char>(byte(rng));
        break;
      case 1:
        page.insert(at, page.substr(at, length));
        break;
      default:
        page.erase(at, length);
        break;
    }
    if (page.empty()) page.push_back('<');
  }
  return page;
}

size_t Read(const std::string& page) {
  return FindPageVideo(page, L"https://site.example/dir/page", L"").size() +
         FindPageVideo(page, L"site.example", L"text/html; charset=windows-1252").size();
}

TEST(PageReaderFuzz, TenThousandRandomAndMutatedPages) {
  std::mt19937 rng(20240518);
  size_t found = 0;
  for (int i = 0; i < 10000; ++i) {
    std::string page = i % 2 ? RandomPage(rng) : MutatedPage(rng);
    EXPECT_NO_THROW(found += Read(page)) << i;
  }
  EXPECT_GT(found, 0u);  // the pieces led the reader to addresses
}

// Pages built to make a careless reader quadratic or blow its stack.
TEST(PageReaderFuzz, HostilePagesEndQuickly) {
  constexpr size_t kSize = 1 << 20;
  auto repeat = [](const std::string& piece) {
    std::string page;
    while (page.size() < kSize) page += piece;
    return page;
  };
  const std::string json = "<script type=application/ld+json>";
  const std::vector<std::string> pages = {
      repeat("<script>"),
      repeat("<!--"),
      repeat("<a b=c "),
      repeat("&#"),
      repeat("&amp"),
      repeat("<video "),
      repeat("<meta property=og:video content="),
      repeat("<"),
      json + repeat("["),
      json + repeat("{\"a\":"),
      json + repeat("{\"@type\":\"VideoObject\",\"contentUrl\":\"v.mp4\",\"x\":["),
      repeat("<title>"),
      repeat("<video><source src=v.mp4>"),
  };
  for (const std::string& page : pages) {
    ULONGLONG start = GetTickCount64();
    Read(page);
    // Linear work takes milliseconds here; a quadratic one, minutes.
    EXPECT_LT(GetTickCount64() - start, 5000u) << page.substr(0, 40);
  }
  // Deep nesting stops at its limit; objects before it still count.
  std::wstring deep =
      L"[{\"@type\":\"VideoObject\",\"contentUrl\":\"a.mp4\"}," + std::wstring(100000, L'[');
  EXPECT_EQ(JsonLdVideoAddresses(deep), std::vector<std::wstring>{L"a.mp4"});
}

}  // namespace
