// Finding the video of an ordinary page: each markup form, the order of the
// sources, addresses resolved and made fit for the wire, and page charsets.
#include <gtest/gtest.h>

#include <string>

#include "resolver/HtmlVideoPage.h"
#include "resolver/MediaLink.h"
#include "resolver/PageCharset.h"

using namespace mf;

namespace {

constexpr wchar_t kPage[] = L"https://site.example/videos/page.html";

struct Case {
  const char* what;
  const wchar_t* html;
  const wchar_t* expected;
};

void Check(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c)
    EXPECT_EQ(FindPageVideoInText(c->html, kPage), c->expected) << c->what;
}

TEST(HtmlVideoPage, MarkupForms) {
  const Case cases[] = {
      {"og:video:secure_url",
       L"<meta property=\"og:video:secure_url\" content=\"https://cdn.example/s.mp4\">",
       L"https://cdn.example/s.mp4"},
      {"content first, single quotes, upper case",
       L"<META CONTENT='https://cdn.example/a.mp4' PROPERTY='OG:VIDEO'>",
       L"https://cdn.example/a.mp4"},
      {"unquoted, self-closing",
       L"<meta property=og:video:url content=https://cdn.example/u.mp4 />",
       L"https://cdn.example/u.mp4"},
      {"name= and blanks around =",
       L"<meta name = \"twitter:player:stream\"\ncontent =\t\"https://cdn.example/t.mp4\">",
       L"https://cdn.example/t.mp4"},
      {"video src", L"<body><video controls src=\"https://cdn.example/v.webm\"></video>",
       L"https://cdn.example/v.webm"},
      {"source of a video type first",
       L"<video><source src=\"a.m3u8\" type=\"application/x-mpegURL\"><source type='Video/WebM' "
       L"src='b.webm'></video>",
       L"https://site.example/videos/b.webm"},
      {"source without type", L"<video poster=p.jpg><source src=c.mp4></video>",
       L"https://site.example/videos/c.mp4"},
      {"JSON-LD object",
       L"<script type=\"application/ld+json\">"
       L"{\"@context\":\"https://schema.org\",\"@type\":\"VideoObject\","
       L"\"contentUrl\":\"https:\\/\\/cdn.example\\/j.mp4\"}</script>",
       L"https://cdn.example/j.mp4"},
      {"JSON-LD @graph, type list, nested",
       L"<script type='application/ld+json; charset=utf-8'>"
       L"{\"@graph\":[{\"@type\":\"WebPage\",\"video\":"
       L"{\"@type\":[\"schema:VideoObject\"],\"contentUrl\":\"/g.mp4\"}}]}</script>",
       L"https://site.example/g.mp4"},
      {"JSON-LD array, the first VideoObject",
       L"<script type=application/ld+json>[{\"@type\":\"ImageObject\",\"contentUrl\":\"i.jpg\"},"
       L"{\"contentUrl\":\"k.mp4\",\"@type\":\"http://schema.org/VideoObject\"},"
       L"{\"@type\":\"VideoObject\",\"contentUrl\":\"l.mp4\"}]</script>",
       L"https://site.example/videos/k.mp4"},
      {"entities", L"<video src=\"/v.mp4?a=1&amp;b=2&#38;c=3&#x26;d=4&copy=5&amp\">",
       L"https://site.example/v.mp4?a=1&b=2&c=3&d=4&copy=5&"},
      {"blanks and line breaks", L"<video src=\"  /clip\n.mp4\t \">",
       L"https://site.example/clip.mp4"},
  };
  Check(std::begin(cases), std::end(cases));
}

TEST(HtmlVideoPage, AddressesAreResolvedAndMadeFitForTheWire) {
  const Case cases[] = {
      {"relative", L"<video src=\"clips/v.mp4\">", L"https://site.example/videos/clips/v.mp4"},
      {"root-relative", L"<video src=/v.mp4>", L"https://site.example/v.mp4"},
      {"protocol-relative", L"<video src=\"//cdn.example/v.mp4\">", L"https://cdn.example/v.mp4"},
      {"dot segments", L"<video src=\"./a/../b/./v.mp4\">", L"https://site.example/videos/b/v.mp4"},
      {"base href", L"<base href=\"http://static.example/media/x/\"><video src=\"../v.mp4\">",
       L"http://static.example/media/v.mp4"},
      {"relative base href, after the video", L"<video src=v.mp4><base href=\"/other/\">",
       L"https://site.example/other/v.mp4"},
      {"only the first base counts",
       L"<base target=_top><base href=/one/><base href=/two/><video src=v.mp4>",
       L"https://site.example/one/v.mp4"},
      {"non-ASCII path", L"<video src=\"/\u52D5\u753B/a b.mp4\">",
       L"https://site.example/%E5%8B%95%E7%94%BB/a%20b.mp4"},
      {"non-ASCII host", L"<video src=\"https://b\u00FCcher.example/v.mp4\">",
       L"https://xn--bcher-kva.example/v.mp4"},
  };
  Check(std::begin(cases), std::end(cases));
  EXPECT_EQ(FindPageVideoInText(L"<video src=v.mp4>", L"site.example/p/"),
            L"http://site.example/p/v.mp4");
}

TEST(HtmlVideoPage, SourcesAreTriedInOrderAndUnusableOnesPassedOver) {
  const Case cases[] = {
      {"secure_url before url before og:video",
       L"<meta property=og:video content=https://c/1.mp4><meta property=og:video:url "
       L"content=https://c/2.mp4>"
       L"<meta property=og:video:secure_url content=https://c/3.mp4>",
       L"https://c/3.mp4"},
      {"og:video before twitter",
       L"<meta name=twitter:player:stream content=https://c/t.mp4><meta property=og:video "
       L"content=https://c/o.mp4>",
       L"https://c/o.mp4"},
      {"twitter before video",
       L"<video src=https://c/v.mp4></video><meta name=twitter:player:stream "
       L"content=https://c/t.mp4>",
       L"https://c/t.mp4"},
      {"video src before source",
       L"<video><source src=https://c/s.mp4 type=video/mp4></video><video src=https://c/v.mp4>",
       L"https://c/v.mp4"},
      {"source before JSON-LD",
       L"<script type=application/ld+json>"
       L"{\"@type\":\"VideoObject\",\"contentUrl\":\"https://c/j.mp4\"}</script>"
       L"<video><source src=https://c/s.mp4></video>",
       L"https://c/s.mp4"},
      {"unusable schemes",
       L"<meta property=og:video:url content=rtmp://c/live><video src=\"javascript:go()\">"
       L"<video src=\"#top\"><video src=\"data:video/mp4,x\"><meta property=og:video "
       L"content=https://c/ok.mp4>",
       L"https://c/ok.mp4"},
      {"a player page's og:video",
       L"<meta property=og:video:url content=https://player.example/embed/1><meta "
       L"property=og:video:type content=text/html>"
       L"<meta property=og:video:url content=https://c/1.mp4><meta property=og:video:type "
       L"content=video/mp4>",
       L"https://c/1.mp4"},
      {"a stream's og:video",
       L"<meta property=og:video content=https://c/m.m3u8><meta property=og:video:type "
       L"content=application/x-mpegURL>",
       L"https://c/m.m3u8"},
      {"a stream's source before one of no type",
       L"<video><source src=https://c/a.webm><source src=https://c/m.mpd "
       L"type=application/dash+xml></video>",
       L"https://c/m.mpd"},
      {"JSON-LD embedUrl of a stream, not of a player",
       L"<script type=application/ld+json>[{\"@type\":\"VideoObject\",\"embedUrl\":"
       L"\"https://p/embed/1\"},{\"@type\":\"VideoObject\",\"embedUrl\":\"https://c/e.m3u8\"}]"
       L"</script>",
       L"https://c/e.m3u8"},
  };
  Check(std::begin(cases), std::end(cases));
}

TEST(HtmlVideoPage, PagesWithoutAVideo) {
  const Case cases[] = {
      {"empty", L"", L""},
      {"text", L"just text < and > & more", L""},
      {"image and links", L"<meta property=og:image content=https://c/i.jpg><a href=v.mp4>v</a>",
       L""},
      {"video without src", L"<video controls></video><video src=\"\">", L""},
      {"source outside video",
       L"<audio><source src=a.mp3></audio><picture><source src=b.webp></picture>", L""},
      {"markup in comments and scripts",
       L"<!-- <video src=hidden.mp4> --><script>var s='<video src=\"fake.mp4\">';</script>"
       L"<textarea><video src=t.mp4></textarea><![CDATA[<video src=c.mp4>]]>",
       L""},
      {"JSON-LD of other things or broken",
       L"<script type=application/ld+json>"
       L"{\"@type\":\"ImageObject\",\"contentUrl\":\"i.jpg\"}</script>"
       L"<script type=application/ld+json>{\"@type\":\"VideoObject\",\"contentUrl\":</script>"
       L"<script>{\"@type\":\"VideoObject\",\"contentUrl\":\"not-ld.mp4\"}</script>",
       L""},
  };
  Check(std::begin(cases), std::end(cases));
  EXPECT_STREQ(kNoVideoFound, L"No video found on this page");
}

struct ByteCase {
  const char* what;
  std::string page;
  const wchar_t* contentType;
  const wchar_t* expected;  // the path of https://site.example/...
};

TEST(HtmlVideoPage, PagesAreDecodedByTheirCharset) {
  const ByteCase cases[] = {
      {"UTF-8 when nothing is declared", "<video src=\"/\xE5\x8B\x95.mp4\">", L"",
       L"/%E5%8B%95.mp4"},
      {"the header's charset", "<video src=\"/caf\xE9.mp4\">", L"text/html; charset=ISO-8859-1",
       L"/caf%C3%A9.mp4"},
      {"meta charset", "<meta charset='windows-1251'><video src=\"/\xC2\xE8\xE4\xE5\xEE.mp4\">",
       L"text/html", L"/%D0%92%D0%B8%D0%B4%D0%B5%D0%BE.mp4"},
      {"meta http-equiv",
       "<meta http-equiv=Content-Type content=\"text/html; charset=Shift_JIS\">"
       "<video src=\"/\x93\xAE\x89\xE6.mp4\">",
       L"", L"/%E5%8B%95%E7%94%BB.mp4"},
      {"the header before the meta", "<meta charset=windows-1251><video src=\"/\xE5\x8B\x95.mp4\">",
       L"text/html;charset=\"utf-8\"", L"/%E5%8B%95.mp4"},
      {"an unknown charset: UTF-8", "<video src=\"/\xE5\x8B\x95.mp4\">",
       L"text/html; charset=x-nonsense", L"/%E5%8B%95.mp4"},
      {"a byte order mark",
       std::string("\xFF\xFE<\0v\0i\0d\0e\0o\0 \0s\0r\0c\0=\0/\0\xD5R.\0m\0p\0\x34\0>\0", 38),
       L"text/html; charset=windows-1252", L"/%E5%8B%95.mp4"},
  };
  for (const ByteCase& c : cases)
    EXPECT_EQ(FindPageVideo(c.page, kPage, c.contentType),
              std::wstring(L"https://site.example") + c.expected)
        << c.what;
}

TEST(PageCharset, LabelsAndContentTypes) {
  const std::pair<const wchar_t*, unsigned> labels[] = {
      {L"UTF8", 65001},       {L" latin1 ", 1252}, {L"US-ASCII", 1252},
      {L"iso-8859-5", 28595}, {L"cp1251", 1251},   {L"Windows-1250", 1250},
      {L"shift_jis", 932},    {L"x-unknown", 0},   {L"", 0}};
  for (auto [label, codePage] : labels) EXPECT_EQ(CodePageOfCharset(label), codePage) << label;
  EXPECT_EQ(CharsetOfContentType(L"text/html; Charset=\"UTF-8\""), L"utf-8");
  EXPECT_EQ(CharsetOfContentType(L"text/html;charset=koi8-r;x=y"), L"koi8-r");
  EXPECT_EQ(CharsetOfContentType(L"text/html"), L"");
}

TEST(MediaLink, PathsEndingInAMediaExtension) {
  for (const wchar_t* extension : {L"mp4", L"m4v", L"webm", L"mkv", L"mov", L"flv", L"avi", L"ogv",
                                   L"mp3", L"m4a", L"ogg", L"opus", L"wav", L"ts"}) {
    EXPECT_TRUE(IsMediaLink(std::wstring(L"http://h/a.") + extension)) << extension;
    EXPECT_FALSE(IsMediaLink(std::wstring(L"http://h/a") + extension)) << extension;
  }
  for (const wchar_t* yes :
       {L"https://h/a/B.MP4?x=1", L"http://h/a.webm#t=10", L"h.example/clip.Flv"})
    EXPECT_TRUE(IsMediaLink(yes)) << yes;
  for (const wchar_t* no : {L"http://h/watch?v=a.mp4", L"http://h.mp4", L"http://h.mp4/",
                            L"http://h/a.mp4/", L"http://h/a.mp4x", L"http://h/a.html#x.mp4", L""})
    EXPECT_FALSE(IsMediaLink(no)) << no;
}

TEST(MediaLink, AnswersThatAreVideosAndNotPages) {
  const struct {
    const wchar_t *type, *address;
    bool media;
  } cases[] = {
      {L"video/mp4", L"http://h/share/1", true},
      {L"Audio/MPEG; x=1", L"http://h/d", true},
      {L"application/vnd.apple.mpegurl", L"http://h/p", true},
      {L"application/octet-stream", L"http://h/files/clip.mp4?sig=1", true},
      {L"text/plain", L"http://h/live/index.m3u8", true},
      {L"text/html; charset=utf-8", L"http://h/watch?v=a.mp4", false},
      {L"", L"http://h/page", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsMediaAnswer(c.type, c.address), c.media) << c.type;
}

}  // namespace
