// The registry class and the settings, in the real registry of the prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/Text.h"
#include "shell/CRegister.h"
#include "shell/Settings.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestProgram.h"

using namespace mf;

namespace {

const wchar_t kScratch[] = L"Software\\Marrowfin Tests\\Scratch";

// Gives the scratch key an open DACL again, so that it can be deleted.
void OpenUpScratchKey() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Marrowfin Tests\\Scratch", 0, WRITE_DAC, &key) !=
      ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
  RegCloseKey(key);
}

class RegisterTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    OpenUpScratchKey();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Marrowfin Tests");
  }
  CRegister reg;
};

TEST_F(RegisterTest, SaveThenGetRoundTripsNamedAndDefaultValues) {
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"fallback"), L"fallback");
  ASSERT_TRUE(reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"value one"));
  ASSERT_TRUE(reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"*", L"the default"));
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"x"), L"value one");
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"*", L"x"), L"the default");
  // Stored as REG_SZ with its NUL.
  char buf[32] = {};
  DWORD size = sizeof buf, type = 0;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\Marrowfin Tests\\Scratch", "Name",
                         RRF_RT_ANY, &type, buf, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 10u);
  // An empty text is a stored value, not a missing one.
  ASSERT_TRUE(reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"Empty", L""));
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Empty", L"x"), L"");
}

TEST_F(RegisterTest, OneBackslashAtEachEndOfTheSectionIsIgnored) {
  ASSERT_TRUE(reg.REGSaveSetting(HKEY_CURRENT_USER, L"\\Software\\Marrowfin Tests\\Scratch\\",
                                 L"Name", L"v"));
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"x"), L"v");
  EXPECT_EQ(
      reg.REGGetSetting(HKEY_CURRENT_USER, L"\\Software\\Marrowfin Tests\\Scratch", L"Name", L"x"),
      L"v");
}

TEST_F(RegisterTest, ValueWithoutTerminatingNulKeepsItsLastCharacter) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Marrowfin Tests\\Scratch", &key),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
  // Counted in characters: two of them without a NUL, and half of a third.
  RegSetValueExW(key, L"Wide", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"映画x"), 4);
  RegSetValueExW(key, L"Odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"映画x"), 5);
  RegCloseKey(key);
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Raw", L"x"), L"abc");
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Wide", L"x"), L"映画");
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Odd", L"x"), L"映画");
}

TEST_F(RegisterTest, DeleteRemovesAValueOrTheWholeKey) {
  reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"A", L"1");
  reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"B", L"2");
  EXPECT_TRUE(reg.REGDeleteSetting(HKEY_CURRENT_USER, kScratch, L"A"));
  EXPECT_FALSE(reg.REGDeleteSetting(HKEY_CURRENT_USER, kScratch, L"A"));
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"A", L"gone"), L"gone");
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"B", L"gone"), L"2");
  EXPECT_TRUE(reg.REGDeleteSetting(HKEY_CURRENT_USER, kScratch, L""));
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"B", L"gone"), L"gone");
  EXPECT_FALSE(
      reg.REGDeleteSetting(HKEY_CURRENT_USER, L"Software\\Marrowfin Tests\\Nothing", L"A"));
}

TEST_F(RegisterTest, KeyThatMayOnlyBeReadIsStillRead) {
  ASSERT_TRUE(reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"readable"));
  // Give the key a DACL that lets everyone read and nobody write.
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Marrowfin Tests\\Scratch", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  BYTE aclBuf[256];
  auto* acl = reinterpret_cast<PACL>(aclBuf);
  InitializeAcl(acl, sizeof aclBuf, ACL_REVISION);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC, everyone);
  SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
  RegCloseKey(key);
  FreeSid(everyone);

  HKEY probe;
  LONG full = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Marrowfin Tests\\Scratch", 0,
                            KEY_ALL_ACCESS, &probe);
  if (full == ERROR_SUCCESS) {
    RegCloseKey(probe);
    GTEST_SKIP() << "this registry grants full access despite the key's DACL";
  }
  ASSERT_EQ(full, ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.REGGetSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"x"), L"readable");
  EXPECT_FALSE(reg.REGSaveSetting(HKEY_CURRENT_USER, kScratch, L"Name", L"changed"));
}

TEST(TextToBoolean, TrueFalseInAnyCaseOrNumbers) {
  EXPECT_EQ(TextToBoolean(L"True"), true);
  EXPECT_EQ(TextToBoolean(L"TRUE"), true);
  EXPECT_EQ(TextToBoolean(L"false"), false);
  EXPECT_EQ(TextToBoolean(L"FALSE"), false);
  EXPECT_EQ(TextToBoolean(L"1"), true);
  EXPECT_EQ(TextToBoolean(L"-2.5"), true);
  EXPECT_EQ(TextToBoolean(L"0"), false);
  EXPECT_EQ(TextToBoolean(L"0.0"), false);
  EXPECT_EQ(TextToBoolean(L"yes"), std::nullopt);
  EXPECT_EQ(TextToBoolean(L""), std::nullopt);
  EXPECT_EQ(TextToBoolean(L"nan"), std::nullopt);
  EXPECT_EQ(TextToBoolean(L"1x"), std::nullopt);
}

// The program's own key, cleared before and after each test.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin"); }
  static void Store(const wchar_t* name, const wchar_t* text) {
    ASSERT_TRUE(CRegister().REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, name, text));
  }
  static std::wstring Stored(const wchar_t* name) {
    return CRegister().REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, name, L"<missing>");
  }
  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
};

TEST_F(SettingsTest, FirstStartWithoutTheKeyUsesTheDefaultsAndShowsThem) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  EXPECT_TRUE(app.monitor.MonitorOn);
  EXPECT_EQ(app.settings.DownloadFolder, L"C:\\Downloaded Videos");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.autoToDownloadList_CB"), L"1");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.Download_CB"), L"1");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.Convert_CB"), L"1");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.download_dir"), L"C:\\Downloaded Videos");
  EXPECT_EQ(Stored(L"URL Mon"), L"<missing>");  // loading writes nothing
}

TEST_F(SettingsTest, StoredMonitorTextFollowsTheBooleanRule) {
  struct {
    const wchar_t* text;
    bool expected;
  } cases[] = {{L"FALSE", false}, {L"0", false},     {L"TRUE", true},  {L"true", true},
               {L"1", true},      {L"False", false}, {L"maybe", false}};
  for (const auto& c : cases) {
    Store(L"URL Mon", c.text);
    mf::test::TestProgram app;
    frmMain& form = app.form;
    app.settings.LoadSettings();
    EXPECT_EQ(app.monitor.MonitorOn, c.expected)
        << "stored " << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.autoToDownloadList_CB"),
              c.expected ? L"1" : L"0");
  }
}

TEST_F(SettingsTest, SaveWritesTheBooleanWordAndTheFolderExactly) {
  mf::test::TestProgram app;
  app.settings.StoredMonitorOn = false;
  app.settings.DownloadFolder = L"D:\\";
  app.settings.SaveSettings();
  EXPECT_EQ(Stored(L"URL Mon"), L"False");
  EXPECT_EQ(Stored(L"Download Dir"), L"D:\\");
  app.settings.StoredMonitorOn = true;
  app.settings.DownloadFolder = L"E:\\Videos\\Kept";
  app.settings.SaveSettings();
  EXPECT_EQ(Stored(L"URL Mon"), L"True");
  EXPECT_EQ(Stored(L"Download Dir"), L"E:\\Videos\\Kept");
  mf::test::TestProgram again;
  again.settings.LoadSettings();
  EXPECT_TRUE(again.monitor.MonitorOn);
  EXPECT_EQ(again.settings.DownloadFolder, L"E:\\Videos\\Kept");
}

// Folders in any script are stored as UTF-16 REG_SZ text and come back as they were.
TEST_F(SettingsTest, FoldersInAnyLanguageRoundTripThroughTheRegistry) {
  for (const wchar_t* folder : {L"C:\\Видео\\映画", L"D:\\Ünïcødé 🎬", L"C:\\Downloaded Videos"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(folder)));
    mf::test::TestProgram app;
    app.settings.DownloadFolder = folder;
    app.settings.SaveSettings();
    wchar_t stored[64] = {};
    DWORD size = sizeof stored, type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Download Dir", RRF_RT_ANY, &type,
                           stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (wcslen(folder) + 1) * sizeof(wchar_t));
    EXPECT_STREQ(stored, folder);
    mf::test::TestProgram again;
    again.settings.LoadSettings();
    EXPECT_EQ(again.settings.DownloadFolder, folder);
    EXPECT_EQ(Controls(again.form).Flash.GetVariable(L"_root.download_dir"), folder);
  }
}

// A folder from the registry is used only when it is a full path of a
// directory; otherwise videos go to the default, and the user is told.
TEST_F(SettingsTest, AStoredFolderThatIsNoFullPathGivesTheDefault) {
  for (const wchar_t* usable : {L"C:\\V", L"d:/v", L"\\\\server\\share", L"\\\\s\\sh\\v"})
    EXPECT_TRUE(IsDownloadFolderPath(usable)) << usable;
  for (const wchar_t* hostile :
       {L"", L"relative\\dir", L"C:", L"C:videos", L"\\videos", L"\\\\?\\C:\\v", L"\\\\.\\COM1",
        L"\\\\server", L"C:\\v:stream", L"C:\\a\tb", L"C:\\a?b"}) {
    EXPECT_FALSE(IsDownloadFolderPath(hostile)) << hostile;
    Store(L"Download Dir", hostile);
    mf::test::TestProgram app;
    app.settings.LoadSettings();
    EXPECT_EQ(app.settings.DownloadFolder, kDefaultDownloadFolder);
    EXPECT_EQ(Controls(app.form).Flash.GetVariable(L"_root.download_dir"), kDefaultDownloadFolder);
    EXPECT_NE(Controls(app.form).Flash.GetVariable(L"_root.notice").find(L"not a full path"),
              std::wstring::npos);
    EXPECT_EQ(Stored(L"Download Dir"), hostile);  // the user's value, until the user saves another
  }
}

TEST_F(SettingsTest, BrowsingSetsTheFolderOnlyWhenOneWasChosen) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  platform.folderAnswers = {L"", L"D:\\"};
  form.cmdBrowse_Click();  // cancelled
  EXPECT_EQ(app.settings.DownloadFolder, L"C:\\Downloaded Videos");
  ASSERT_EQ(platform.folderPicks.size(), 1u);
  EXPECT_EQ(platform.folderPicks[0].title,
            L"Please select the desired Download directory then press Ok.");
  EXPECT_EQ(platform.folderPicks[0].flags, 0x41u);
  EXPECT_EQ(platform.folderPicks[0].owner, form.Hwnd());
  form.cmdBrowse_Click();  // a drive's root, as the picker returns it
  EXPECT_EQ(app.settings.DownloadFolder, L"D:\\");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.download_dir"), L"D:\\");
  EXPECT_EQ(Stored(L"Download Dir"), L"<missing>");  // browsing itself saves nothing
}

TEST_F(SettingsTest, MovieBrowseCommandSavesBothValuesEvenWhenCancelled) {
  Store(L"URL Mon", L"0");
  Store(L"Download Dir", L"C:\\Mine");
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin");
  platform.folderAnswers = {L""};
  Controls(form).Flash.RaiseFSCommand(L"ID_FS_downloadBrowse", L"");
  EXPECT_EQ(Stored(L"URL Mon"), L"False");
  EXPECT_EQ(Stored(L"Download Dir"), L"C:\\Mine");
}

// The limits in the order of their stored names.
const wchar_t* const kLimitNames[] = {kSimultaneousValue, kConnectionsValue, kSpeedLimitValue,
                                      kLimitSpeedValue,   kTimeWindowValue,  kWindowFromValue,
                                      kWindowToValue,     kVideoQualityValue};
std::vector<int> Limits(const Settings& s) {
  return std::vector<int>{s.SimultaneousDownloads,
                          s.ConnectionsPerDownload,
                          s.SpeedLimit,
                          s.LimitSpeed,
                          s.UseTimeWindow,
                          s.Window.from,
                          s.Window.to,
                          s.VideoQuality};
}

TEST(SpeedInWords, KilobytesBelowAMegabyteMegabytesWithOneDecimalAbove) {
  EXPECT_EQ(SpeedInWords(500), L"500 KB/s");
  EXPECT_EQ(SpeedInWords(1536), L"1.5 MB/s");
  EXPECT_EQ(SpeedInWords(102400), L"100 MB/s");
}

TEST_F(SettingsTest, StoredLimitsOutOfRangeAreHeldToItAndOfAnotherTypeTakeTheDefault) {
  struct {
    size_t limit;
    std::optional<DWORD> number;  // stored as text when none
    int expected;
  } cases[] = {
      {0, 0, 1},  {0, 0xFFFFFFFF, 8}, {0, {}, 3},   {1, 17, 16}, {2, 0xFFFFFFFF, kMaxSpeedLimit},
      {2, {}, 0}, {3, 1, 0},  // no speed
      {4, 7, 1},  {5, 1440, 1439},    {6, {}, 420}, {7, 9, 4}};
  for (const auto& c : cases) {
    Clear();
    if (c.number)
      CRegister().REGSaveNumber(HKEY_CURRENT_USER, kSettingsKey, kLimitNames[c.limit], *c.number);
    else
      Store(kLimitNames[c.limit], L"5");
    mf::test::TestProgram app;
    app.settings.LoadSettings();
    EXPECT_EQ(Limits(app.settings)[c.limit], c.expected) << mf::ToAnsi(kLimitNames[c.limit]);
  }
}

// Each command of the settings page steps its value, saves it at once and
// shows it; the other stored settings are left as they were.
TEST_F(SettingsTest, MovieLimitCommandsStepSaveAndShowTheValuesForTheNextStart) {
  Store(L"Download Dir", L"relative");  // unusable, but the user's until replaced
  mf::test::TestProgram app;
  ASSERT_TRUE(app.form.Load());
  EXPECT_EQ(Limits(app.settings), (std::vector<int>{3, 8, 0, 0, 0, 60, 420, 0}));  // the defaults
  struct {
    const wchar_t *command, *variable, *shown, *value;
    DWORD stored;
  } steps[] = {
      {L"ID_FS_simultaneousMore", L"_root.simultaneous", L"4", kSimultaneousValue, 4},
      {L"ID_FS_speedLimitLess", L"_root.speedLimit", L"No limit", kSpeedLimitValue, 0},
      {L"ID_FS_limitSpeedCheck", L"_root.limitSpeed_CB", L"0", kLimitSpeedValue, 0},
      {L"ID_FS_speedLimitMore", L"_root.speedLimit", L"64 KB/s", kSpeedLimitValue, 64},
      {L"ID_FS_limitSpeedCheck", L"_root.limitSpeed_CB", L"1", kLimitSpeedValue, 1},
      {L"ID_FS_speedLimitLess", L"_root.limitSpeed_CB", L"0", kLimitSpeedValue, 0},
      {L"ID_FS_windowFromEarlier", L"_root.windowFrom", L"00:30", kWindowFromValue, 30},
      {L"ID_FS_windowFromEarlier", L"_root.windowFrom", L"00:00", kWindowFromValue, 0},
      {L"ID_FS_windowFromEarlier", L"_root.windowFrom", L"23:30", kWindowFromValue, 1410},
      {L"ID_FS_windowToLater", L"_root.windowTo", L"07:30", kWindowToValue, 450},
      {L"ID_FS_timeWindowCheck", L"_root.timeWindow_CB", L"1", kTimeWindowValue, 1},
      {L"ID_FS_qualityHigher", L"_root.videoQuality", L"Best", kVideoQualityValue, 0},
      {L"ID_FS_qualityLower", L"_root.videoQuality", L"Up to 1080p", kVideoQualityValue, 1},
  };
  for (const auto& s : steps) {
    Controls(app.form).Flash.RaiseFSCommand(s.command, L"");
    EXPECT_EQ(Controls(app.form).Flash.GetVariable(s.variable), s.shown) << s.command;
    EXPECT_EQ(CRegister().REGGetNumber(HKEY_CURRENT_USER, kSettingsKey, s.value), s.stored)
        << s.command;
  }
  EXPECT_EQ(app.queue.VideoQuality, media::Quality::UpTo1080);
  EXPECT_EQ(Stored(L"Download Dir"), L"relative");
  EXPECT_EQ(Stored(L"URL Mon"), L"<missing>");
  mf::test::TestProgram again;
  again.settings.LoadSettings();
  EXPECT_EQ(Limits(again.settings), Limits(app.settings));
}

}  // namespace
