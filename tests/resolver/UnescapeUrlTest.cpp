// Percent-decoding of addresses, and addresses made fit for the wire.
#include <gtest/gtest.h>

#include "resolver/AddressText.h"
#include "resolver/UnescapeUrl.h"

using namespace mf;

namespace {

TEST(UnescapeUrl, DecodesTheWholeAddressQueryIncluded) {
  EXPECT_EQ(UnescapeUrl(L""), L"");
  EXPECT_EQ(UnescapeUrl(L"http%3A%2F%2Fh.example%2Fv%3Fid%3D1%26t%3Da%2Bb"),
            L"http://h.example/v?id=1&t=a+b");
  EXPECT_EQ(UnescapeUrl(L"http://h/a?x=%41%42+c%2b"), L"http://h/a?x=AB+c+");
  // "%" without two hexadecimal digits stays as it is.
  EXPECT_EQ(UnescapeUrl(L"100%zz%4"), L"100%zz%4");
}

TEST(UnescapeUrl, AResultBeyond1023CharactersGivesNothing) {
  std::wstring fits(1020, L'a');
  fits += L"%41";  // decodes to 1021 characters
  EXPECT_EQ(UnescapeUrl(fits).size(), 1021u);
  EXPECT_EQ(UnescapeUrl(std::wstring(1023, L'b')).size(), 1023u);
  EXPECT_EQ(UnescapeUrl(std::wstring(1024, L'b')), L"");
  // A long address that decodes short enough is fine.
  std::wstring escaped;
  for (int i = 0; i < 1000; ++i) escaped += L"%41";
  EXPECT_EQ(UnescapeUrl(escaped), std::wstring(1000, L'A'));
}

TEST(UnescapeUrlBytes, RefusesAnAddressWithANulInside) {
  EXPECT_FALSE(UnescapeUrlBytes(std::string("http://h/a\0b", 12)).has_value());
  EXPECT_EQ(UnescapeUrlBytes("a%00b").value(), std::string("a\0b", 3));
}

TEST(AddressFromBytes, EncodesOnlyWhatIsNoPrintableAscii) {
  EXPECT_EQ(AddressFromBytes("http://h.example/p?q=1&r=\"'<>"), L"http://h.example/p?q=1&r=\"'<>");
  EXPECT_EQ(AddressFromBytes(std::string("a b\t\r\n\x7F\x80\xFF\0", 10)),
            L"a%20b%09%0D%0A%7F%80%FF%00");
}

TEST(AddressForWire, SendsTypedCharactersAsTheirUtf8Bytes) {
  EXPECT_EQ(AddressForWire(L"http://www.youtube.com/watch?v=abc"),
            L"http://www.youtube.com/watch?v=abc");
  EXPECT_EQ(AddressForWire(L"http://h/caf\u00E9 \u0416\U0001F600"),
            L"http://h/caf%C3%A9%20%D0%96%F0%9F%98%80");
}

}  // namespace
