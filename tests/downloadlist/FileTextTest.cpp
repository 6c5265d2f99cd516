// Size texts and cleaned file names.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>

#include "downloadlist/FileText.h"

using mf::CheckFileName;
using mf::CleanFileName;
using mf::FitFileName;
using mf::FormatFileSize;
using mf::SafeFileName;

namespace {

TEST(FormatFileSize, BytesBelowOneKilobyteIncludingNegatives) {
  EXPECT_EQ(FormatFileSize(0), L"0 Bytes");
  EXPECT_EQ(FormatFileSize(512), L"512 Bytes");
  EXPECT_EQ(FormatFileSize(1023), L"1023 Bytes");
  EXPECT_EQ(FormatFileSize(-1), L"-1 Bytes");
  EXPECT_EQ(FormatFileSize(-123456), L"-123456 Bytes");
}

TEST(FormatFileSize, UnitBoundaries) {
  EXPECT_EQ(FormatFileSize(1024), L"1 KB");
  EXPECT_EQ(FormatFileSize(2048), L"2 KB");
  EXPECT_EQ(FormatFileSize(1048575), L"1024 KB");  // just under a megabyte rounds up
  EXPECT_EQ(FormatFileSize(1048576), L"1 MB");
  EXPECT_EQ(FormatFileSize(1073741824.0f), L"1 GB");
  EXPECT_EQ(FormatFileSize(1099511627776.0f), L"");  // 2^40
  EXPECT_EQ(FormatFileSize(1099511627776.0f * 8), L"");
  EXPECT_EQ(FormatFileSize(INFINITY), L"");
}

class DecimalSeparator : public ::testing::Test {
 protected:
  void SetUp() override {
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_, sizeof saved_);
  }
  void TearDown() override { SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_); }
  void Use(const char* sep) {
    ASSERT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep));
  }
  char saved_[8] = {};
};

TEST_F(DecimalSeparator, RoundsToOneDecimalWithTiesToEven) {
  Use(".");
  EXPECT_EQ(FormatFileSize(1536), L"1.5 KB");
  EXPECT_EQ(FormatFileSize(1280), L"1.2 KB");              // 1.25 -> 1.2
  EXPECT_EQ(FormatFileSize(1792), L"1.8 KB");              // 1.75 -> 1.8
  EXPECT_EQ(FormatFileSize(1024 * 10 + 256), L"10.2 KB");  // 10.25 -> 10.2
  EXPECT_EQ(FormatFileSize(1024 * 10 + 768), L"10.8 KB");  // 10.75 -> 10.8
  EXPECT_EQ(FormatFileSize(1572864), L"1.5 MB");
  EXPECT_EQ(FormatFileSize(12.3f * 1048576), L"12.3 MB");
  EXPECT_EQ(FormatFileSize(1.25f * 1073741824.0f), L"1.2 GB");
  EXPECT_EQ(FormatFileSize(1.05f * 1073741824.0f), L"1 GB");  // 1.0499999 -> 1.0 -> "1"
}

TEST_F(DecimalSeparator, UsesTheUsersSeparator) {
  Use(",");
  EXPECT_EQ(FormatFileSize(1536), L"1,5 KB");
  EXPECT_EQ(FormatFileSize(2048), L"2 KB");
  EXPECT_EQ(FormatFileSize(1572864), L"1,5 MB");
}

TEST(CheckFileName, RemovesTheTenCharactersAndNothingElse) {
  EXPECT_EQ(CheckFileName(L"a\\b/c:d*e?f\"g<h>i|j&k"), L"abcdefghijk");
  EXPECT_EQ(CheckFileName(L"a&b.flv"), L"ab.flv");
  EXPECT_EQ(CheckFileName(L"????"), L"Enter File Name");
  EXPECT_EQ(CheckFileName(L""), L"Enter File Name");
  EXPECT_EQ(CheckFileName(L"  "), L"  ");
  EXPECT_EQ(CheckFileName(L" CON . "), L" CON . ");  // no trimming, no device-name check
  std::wstring longName(300, L'x');
  EXPECT_EQ(CheckFileName(longName), longName);
  // Names in any script keep every character the rule does not remove.
  EXPECT_EQ(CheckFileName(L"動:画?.mp4"), L"動画.mp4");
  EXPECT_EQ(CheckFileName(L"Видео <1>.mp4"), L"Видео 1.mp4");
  EXPECT_EQ(CheckFileName(L"🎬|.mp4"), L"🎬.mp4");
}

// Every name, from a server, an address, the list's file or the user, by one
// cleaner; a device name is caught after the name is cut to its length.
TEST(CleanFileName, NamesHideNothingAndNeverNameADevice) {
  using namespace std::string_literals;
  struct Case {
    std::wstring name;
    const wchar_t* fallback;
    const wchar_t* cleaned;
  };
  const Case cases[] = {
      {L"run.exe\0.mp4"s, L"", L"run.exe.mp4"},
      {L"a\x01"
       L"b\x1F\x7F.mp4\r\n",
       L"", L"ab.mp4"},
      {L"clip\u202Egpj.exe", L"", L"clipgpj.exe"},
      {L"\u200Ea\u2066b\u2069\u200F.mp4", L"", L"ab.mp4"},
      {L" .mp4. . ", L"http-name.webm", L"http-name.mp4"},
      {L"...", L"x", L"x"},
      {L"", L"", L"video"},
      {L".mp4", L"", L"video.mp4"},
      {L"..\\..\\x.bat", L"", L"....x.bat"},
      {L"a:s.mp4", L"", L"as.mp4"},
      {L"Process failed.", L"", L"Process failed"},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanFileName(c.name, c.fallback), c.cleaned) << c.name;

  // The name as cut to fit a long folder.
  const std::wstring folder = L"C:\\" + std::wstring(234, L'f');
  const std::wstring cut = FitFileName(folder, L"COM1abcdefgh.mp4", 13);
  EXPECT_EQ(cut, L"COM1.mp4");
  for (const wchar_t* device : {L"COM1.mp4", L"lpt0.x", L"COM\u00B9.mp4", L"conout$.a", L"NUL"})
    EXPECT_EQ(SafeFileName(device), std::wstring(L"_") + device);
  for (const wchar_t* plain : {L"COM10.mp4", L"console.mp4", L"auxiliary", L"LPT.mp4"})
    EXPECT_EQ(SafeFileName(plain), plain);
}

// Folder + "\" + name + 12 more characters stay within 259.
TEST(FitFileName, CutsTheNameBeforeItsExtensionToFitThePath) {
  const std::wstring folder = L"C:\\" + std::wstring(200, L'f');  // 203: room for 259-204-12 = 43
  const std::wstring stem43(43, L's');
  struct Case {
    std::wstring name, expected;
  } cases[] = {
      {L"short.mp4", L"short.mp4"},
      {stem43, stem43},  // exactly the room
      {stem43 + L"s.mp4", std::wstring(39, L's') + L".mp4"},
      {std::wstring(60, L'動') + L".mp4", std::wstring(39, L'動') + L".mp4"},
      {std::wstring(50, L'x'), std::wstring(43, L'x')},  // no extension
      // An "extension" too long to be one is cut like the rest.
      {L"a." + std::wstring(50, L'e'), L"a." + std::wstring(41, L'e')},
      // Never half a character, never a trailing blank or dot.
      {std::wstring(38, L'a') + L"🎬🎬.mp4", std::wstring(38, L'a') + L".mp4"},
      {std::wstring(37, L'a') + L"🎬🎬.mp4", std::wstring(37, L'a') + L"🎬.mp4"},
      {std::wstring(37, L'a') + L" .xyz.mp4", std::wstring(37, L'a') + L".mp4"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(mf::FitFileName(folder, c.name, 12), c.expected) << c.name.size();
  // A folder that leaves no room for a name: no name at all.
  EXPECT_EQ(mf::FitFileName(L"C:\\" + std::wstring(244, L'f'), L"a.mp4", 12), L"");
  EXPECT_EQ(mf::FitFileName(L"C:\\" + std::wstring(240, L'f'), L"ab.mp4", 12), L"");
  EXPECT_EQ(mf::FitFileName(L"C:\\" + std::wstring(238, L'f'), L"ab.mp4", 12), L"a.mp4");
}

}  // namespace
