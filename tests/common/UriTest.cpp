// Reference resolution against the examples of RFC 3986 section 5.4, web
// addresses cut for a connection, and path segments decoded.
#include <gtest/gtest.h>

#include "common/Uri.h"

using namespace mf;

namespace {

struct Resolution {
  const wchar_t* reference;
  const wchar_t* expected;
};

// RFC 3986 sections 5.4.1 and 5.4.2, base "http://a/b/c/d;p?q".
const Resolution kRfcExamples[] = {
    {L"g:h", L"g:h"},
    {L"g", L"http://a/b/c/g"},
    {L"./g", L"http://a/b/c/g"},
    {L"g/", L"http://a/b/c/g/"},
    {L"/g", L"http://a/g"},
    {L"//g", L"http://g"},
    {L"?y", L"http://a/b/c/d;p?y"},
    {L"g?y", L"http://a/b/c/g?y"},
    {L"#s", L"http://a/b/c/d;p?q#s"},
    {L"g#s", L"http://a/b/c/g#s"},
    {L"g?y#s", L"http://a/b/c/g?y#s"},
    {L";x", L"http://a/b/c/;x"},
    {L"g;x", L"http://a/b/c/g;x"},
    {L"g;x?y#s", L"http://a/b/c/g;x?y#s"},
    {L"", L"http://a/b/c/d;p?q"},
    {L".", L"http://a/b/c/"},
    {L"./", L"http://a/b/c/"},
    {L"..", L"http://a/b/"},
    {L"../", L"http://a/b/"},
    {L"../g", L"http://a/b/g"},
    {L"../..", L"http://a/"},
    {L"../../", L"http://a/"},
    {L"../../g", L"http://a/g"},
    // abnormal
    {L"../../../g", L"http://a/g"},
    {L"../../../../g", L"http://a/g"},
    {L"/./g", L"http://a/g"},
    {L"/../g", L"http://a/g"},
    {L"g.", L"http://a/b/c/g."},
    {L".g", L"http://a/b/c/.g"},
    {L"g..", L"http://a/b/c/g.."},
    {L"..g", L"http://a/b/c/..g"},
    {L"./../g", L"http://a/b/g"},
    {L"./g/.", L"http://a/b/c/g/"},
    {L"g/./h", L"http://a/b/c/g/h"},
    {L"g/../h", L"http://a/b/c/h"},
    {L"g;x=1/./y", L"http://a/b/c/g;x=1/y"},
    {L"g;x=1/../y", L"http://a/b/c/y"},
    {L"g?y/./x", L"http://a/b/c/g?y/./x"},
    {L"g?y/../x", L"http://a/b/c/g?y/../x"},
    {L"g#s/./x", L"http://a/b/c/g#s/./x"},
    {L"g#s/../x", L"http://a/b/c/g#s/../x"},
    {L"http:g", L"http:g"},  // the strict parser
};

TEST(Uri, ResolvesEveryExampleOfRfc3986) {
  for (const Resolution& r : kRfcExamples)
    EXPECT_EQ(ResolveReference(L"http://a/b/c/d;p?q", r.reference), r.expected) << r.reference;
}

TEST(Uri, ResolutionEdges) {
  const Resolution againstBareHost[] = {{L"g", L"http://a/g"}, {L"?q", L"http://a?q"}};
  for (const Resolution& r : againstBareHost)
    EXPECT_EQ(ResolveReference(L"http://a", r.reference), r.expected) << r.reference;
  EXPECT_EQ(RemoveDotSegments(L"/a/b/c/./../../g"), L"/a/g");
  EXPECT_EQ(RemoveDotSegments(L"mid/content=5/../6"), L"mid/6");
  EXPECT_EQ(ResolveReference(L"https://h/x/", L"HTTPS://Other/./a/../b"), L"HTTPS://Other/b");
  // Not a scheme (it starts with a digit): a path.
  EXPECT_EQ(ResolveReference(L"http://h/d/p", L"1x:y"), L"http://h/d/1x:y");
}

TEST(Uri, PartsTellAbsentFromEmptyAndJoinAgain) {
  UriParts p = ParseUriReference(L"http://h/p?");
  ASSERT_TRUE(p.query.has_value());
  EXPECT_TRUE(p.query->empty());
  EXPECT_FALSE(p.fragment.has_value());
  p = ParseUriReference(L"//h#");
  EXPECT_FALSE(p.scheme.has_value());
  EXPECT_EQ(*p.authority, L"h");
  EXPECT_TRUE(p.path.empty());
  EXPECT_EQ(*p.fragment, L"");
  for (const wchar_t* text : {L"http://u@h:1/p/q?x=1#f", L"//h", L"mailto:a@b", L"?", L"#", L"",
                              L"a/b:c", L"http://h/p?#"})
    EXPECT_EQ(RecomposeUri(ParseUriReference(text)), text);
}

TEST(Uri, SplitsHttpAndHttpsForAConnection) {
  struct Case {
    const wchar_t* address;
    bool secure;
    const wchar_t* host;
    uint16_t port;
    const wchar_t* target;
  };
  const Case cases[] = {
      {L"https://Example.com/a?b#c", true, L"Example.com", 443, L"/a?b"},
      {L"HTTP://h:8080", false, L"h", 8080, L"/"},
      {L"http://user:pw@h:81/x", false, L"h", 81, L"/x"},
      {L"http://[::1]:8443/v", false, L"::1", 8443, L"/v"},
      {L"https://h:/x", true, L"h", 443, L"/x"},
      {L"http://h?q", false, L"h", 80, L"/?q"},
  };
  for (const Case& c : cases) {
    std::optional<WebAddress> web = SplitWebAddress(c.address);
    ASSERT_TRUE(web) << c.address;
    EXPECT_EQ(web->secure, c.secure) << c.address;
    EXPECT_EQ(web->host, c.host) << c.address;
    EXPECT_EQ(web->port, c.port) << c.address;
    EXPECT_EQ(web->target, c.target) << c.address;
  }
  for (const wchar_t* bad :
       {L"ftp://h/x", L"http:///x", L"http://h:0/", L"http://h:65536/", L"http://h:8x/", L"//h/x",
        L"www.h.com/x", L"http:h/x", L"http://[::1/x", L"http://[::1]x/"})
    EXPECT_FALSE(IsWebAddress(bad)) << bad;
}

TEST(Uri, PathSegmentsDecodeAsUtf8) {
  const Resolution cases[] = {
      {L"%E5%8B%95%E7%94%BB.mp4", L"\u52D5\u753B.mp4"},
      {L"caf%E9.mp4", L"caf\u00E9.mp4"},  // not UTF-8: Windows-1252
      {L"%e2%82%ac%20a", L"\u20AC a"},
      {L"a%2", L"a%2"},
      {L"%zz%", L"%zz%"},
      {L"100%25", L"100%"},
      {L"\u52D5%E7%94%BB", L"\u52D5\u753B"},
  };
  for (const Resolution& c : cases) EXPECT_EQ(DecodePathSegment(c.reference), c.expected);
}

}  // namespace
