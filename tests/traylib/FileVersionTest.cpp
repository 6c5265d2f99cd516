// Version strings read from files with known version resources.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/Process.h"
#include "tests/traylib/TraySupport.h"
#include "traylib/Error.h"
#include "traylib/trayicon/cTrayIcon.h"
#include "traylib/trayicon/mFileVersion.h"
#include "traylib/trayicon/mSystemUtils.h"

namespace sd::test {
namespace {

using mf::test::BesideTest;

TEST(FileVersion, FourPartsWithoutLeadingZeros) {
  EXPECT_EQ(mFileVersion::FileVersion(BesideTest(L"traylib_version_plain.exe")), L"3.14.15.9265");
}

TEST(FileVersion, EmptyWithoutAResourceOrAMajorPart) {
  EXPECT_EQ(mFileVersion::FileVersion(BesideTest(L"traylib_standin.exe")), L"");
  EXPECT_EQ(mFileVersion::FileVersion(BesideTest(L"traylib_version_zero.exe")), L"");
  EXPECT_EQ(mFileVersion::FileVersion(BesideTest(L"no such file.dll")), L"");
}

TEST(FileVersion, PartOf32768OrMoreOverflows) {
  try {
    mFileVersion::FileVersion(BesideTest(L"traylib_version_overflow.exe"));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
    EXPECT_EQ(e.Description(), L"Overflow");
  }
}

TEST(FileVersion, SystemLibraries) {
  ComPtr<cTrayIcon> icon = MakeRef<cTrayIcon>();
  EXPECT_TRUE(std::regex_match(icon->CommonControlsVersion(),
                               std::wregex(L"[1-9][0-9]*(\\.(0|[1-9][0-9]*)){3}")));
  // Wine's shell is of the sixth generation, with balloons.
  EXPECT_TRUE(mSystemUtils::ShellVersionAtLeast(6));
  EXPECT_FALSE(mSystemUtils::ShellVersionAtLeast(60));
  EXPECT_EQ(mSystemUtils::Os().platformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_TRUE(mSystemUtils::BalloonsSupported());
}

// The library's DLL holds the same classes; loading and unloading it runs their
// start-up and clean-up (the per-thread slots) inside a module of their own.
TEST(Library, DllLoadsAndUnloads) {
  HMODULE dll = LoadLibraryW(BesideTest(L"Sabledrift.dll").c_str());
  ASSERT_NE(dll, nullptr) << GetLastError();
  EXPECT_TRUE(FreeLibrary(dll));
}

}  // namespace
}  // namespace sd::test
