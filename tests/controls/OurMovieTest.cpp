// Our movie (Main.mfm beside the program) against the front end's commands and
// variables, clicked and drawn by a real player; and the help file beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "common/AppPath.h"
#include "common/Text.h"
#include "common/WindowText.h"
#include "tests/controls/PlayerHost.h"
#include "tests/support/Wait.h"

namespace {

using mf::test::PlayerHost;
using Names = std::set<std::wstring>;

const Names kCommands = {L"IDC_FS_Drag",
                         L"IDC_FS_Minimize",
                         L"IDC_FS_Tray",
                         L"IDC_FS_Close",
                         L"IDC_FS_Slider",
                         L"IDC_FS_Download",
                         L"IDC_FS_About",
                         L"IDC_FS_Help",
                         L"ID_FS_webSite",
                         L"IDC_FS_startDownload",
                         L"IDC_FS_stopDownload",
                         L"IDC_FS_addDownloadURL",
                         L"IDC_FS_selectAllD",
                         L"IDC_FS_removeSelectedD",
                         L"IDC_FS_moveUp",
                         L"IDC_FS_moveDown",
                         L"ID_FS_clearComplete",
                         L"ID_FS_downloadBrowse",
                         L"ID_FS_autoDownloadCheck",
                         L"ID_FS_autoDownloadUncheck",
                         L"IDC_FS_Maximize",
                         L"IDC_FS_Restore"};
// The limits on the settings page.
const Names kLimitCommands = {
    L"ID_FS_simultaneousLess",  L"ID_FS_simultaneousMore",  L"ID_FS_connectionsLess",
    L"ID_FS_connectionsMore",   L"ID_FS_speedLimitLess",    L"ID_FS_speedLimitMore",
    L"ID_FS_limitSpeedCheck",   L"ID_FS_limitSpeedUncheck", L"ID_FS_timeWindowCheck",
    L"ID_FS_timeWindowUncheck", L"ID_FS_windowFromEarlier", L"ID_FS_windowFromLater",
    L"ID_FS_windowToEarlier",   L"ID_FS_windowToLater",     L"ID_FS_qualityLower",
    L"ID_FS_qualityHigher"};
const Names kVariables = {
    L"_root.aboutTxt",       L"_root.download_dir",  L"_root.autoToDownloadList_CB",
    L"_root.Download_CB",    L"_root.Convert_CB",    L"_root.video_url",
    L"_root.downloadBtn",    L"_root.startDownload", L"_root.downloadTab",
    L"_root.downloadBtnTab", L"_root.maximized",     L"_root.darkTitle",
    L"_root.simultaneous",   L"_root.connections",   L"_root.speedLimit",
    L"_root.videoQuality",   L"_root.speedLimitKB",  L"_root.limitSpeed_CB",
    L"_root.timeWindow_CB",  L"_root.windowFrom",    L"_root.windowTo"};

class OurMovie : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Open(630, 535));
    host.player.LoadMovie(0, mf::ProgramFolder() + L"\\Main.mfm");
    ASSERT_TRUE(host.player.IsMovieLoaded()) << mf::ToAnsi(host.player.LoadError());
    // The movie asks for the download page (and so the grid) once it is up.
    ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.commands.empty(); }));
    EXPECT_EQ(host.commands, std::vector<std::wstring>{L"IDC_FS_Download"});
    host.commands.clear();
  }

  // Clicks the first element on show that sends the command (pressing only,
  // for a drag area); true when the command arrived.
  bool ClickSending(const std::wstring& command) {
    const auto& elements = host.player.LoadedMovie().elements;
    for (size_t i = 0; i < elements.size(); ++i) {
      const auto& e = elements[i];
      bool sends = e.command == command || e.offCommand == command;
      // A text field sends on Enter, not on a click.
      if (!sends || e.kind == mf::movie::ElementKind::Field || !host.player.IsElementEnabled(i))
        continue;
      POINT p = host.Inside(i);
      if (host.player.ElementAt(p.x, p.y) != static_cast<int>(i)) continue;
      size_t before = host.commands.size();
      host.Down(p.x, p.y);
      if (e.kind != mf::movie::ElementKind::Drag) host.Up(p.x, p.y);
      return host.commands.size() == before + 1 && host.commands.back() == command;
    }
    return false;
  }

  // Opens or closes the settings: the button that flips the panel's variable.
  void ToggleSettings() {
    const auto& elements = host.player.LoadedMovie().elements;
    for (size_t i = 0; i < elements.size(); ++i)
      if (elements[i].toggle == L"settings") host.ClickElement(i);
    ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.player.IsAnimating(); }));
    mf::test::PumpFor(20);
  }

  std::vector<uint32_t> Picture() { return host.Picture(630, 535); }

  PlayerHost host;
};

TEST_F(OurMovie, WiresEveryCommandAndVariableOfTheFrontEnd) {
  const auto& movie = host.player.LoadedMovie();
  EXPECT_EQ(movie.width, 630);
  EXPECT_EQ(movie.height, 535);
  auto commands = movie.Commands();
  Names all = kCommands;
  all.insert(kLimitCommands.begin(), kLimitCommands.end());
  for (const std::wstring& c : all)
    EXPECT_NE(std::find(commands.begin(), commands.end(), c), commands.end()) << mf::ToAnsi(c);
  auto variables = movie.Variables();
  for (const std::wstring& v : kVariables)
    EXPECT_NE(std::find(variables.begin(), variables.end(), v), variables.end()) << mf::ToAnsi(v);
  // The movie speaks only the front end's language and its own words.
  for (const std::wstring& c : commands) EXPECT_TRUE(all.count(c)) << mf::ToAnsi(c);
}

TEST_F(OurMovie, SendsEveryCommandWhenTheUserUsesItsControl) {
  // The download page: address, list commands, window buttons, title bar.
  EXPECT_FALSE(ClickSending(L"IDC_FS_addDownloadURL"));  // nothing typed yet
  host.player.SetVariable(L"_root.video_url", L"http://www.youtube.com/watch?v=abc");
  EXPECT_EQ(mf::GetText(host.player.FieldWindow(L"_root.video_url")),
            L"http://www.youtube.com/watch?v=abc");
  for (const wchar_t* c :
       {L"IDC_FS_addDownloadURL", L"IDC_FS_selectAllD", L"IDC_FS_removeSelectedD", L"IDC_FS_moveUp",
        L"IDC_FS_moveDown", L"ID_FS_clearComplete", L"IDC_FS_Minimize", L"IDC_FS_Tray",
        L"IDC_FS_Close", L"IDC_FS_Drag"})
    EXPECT_TRUE(ClickSending(c)) << mf::ToAnsi(c);
  // Start wants a list; during a run the same place stops it.
  EXPECT_FALSE(ClickSending(L"IDC_FS_startDownload"));
  host.player.SetVariable(L"_root.downloadBtn", L"1");
  EXPECT_FALSE(ClickSending(L"IDC_FS_stopDownload"));
  EXPECT_TRUE(ClickSending(L"IDC_FS_startDownload"));
  for (const wchar_t* v : {L"_root.downloadBtn", L"_root.startDownload", L"_root.downloadTab"})
    host.player.SetVariable(v, L"0");
  EXPECT_FALSE(ClickSending(L"IDC_FS_startDownload"));
  EXPECT_TRUE(ClickSending(L"IDC_FS_stopDownload"));
  // The settings slide over the grid and give it back when they go.
  host.commands.clear();
  ToggleSettings();
  EXPECT_EQ(host.commands, std::vector<std::wstring>{L"IDC_FS_Slider"});
  EXPECT_FALSE(ClickSending(L"IDC_FS_selectAllD"));  // the list rests meanwhile
  EXPECT_TRUE(ClickSending(L"ID_FS_downloadBrowse"));
  EXPECT_TRUE(ClickSending(L"ID_FS_autoDownloadCheck"));
  EXPECT_EQ(host.player.GetVariable(L"_root.autoToDownloadList_CB"), L"1");
  EXPECT_TRUE(ClickSending(L"ID_FS_autoDownloadUncheck"));
  // The limit's tick wants a speed to limit to.
  EXPECT_FALSE(ClickSending(L"ID_FS_limitSpeedCheck"));
  host.player.SetVariable(L"_root.speedLimitKB", L"64");
  for (const std::wstring& c : kLimitCommands) EXPECT_TRUE(ClickSending(c)) << mf::ToAnsi(c);
  host.commands.clear();
  ToggleSettings();
  EXPECT_EQ(host.commands, std::vector<std::wstring>{L"IDC_FS_Download"});
  // The about page and back.
  EXPECT_TRUE(ClickSending(L"IDC_FS_About"));
  EXPECT_FALSE(IsWindowVisible(host.player.FieldWindow(L"_root.video_url")));
  EXPECT_TRUE(ClickSending(L"IDC_FS_Help"));
  EXPECT_TRUE(ClickSending(L"ID_FS_webSite"));
  EXPECT_TRUE(ClickSending(L"IDC_FS_Download"));
}

// Each variable the program sets changes what the user sees.
TEST_F(OurMovie, ShowsEveryVariableTheProgramSets) {
  struct Case {
    const wchar_t* name;
    const wchar_t* before;
    const wchar_t* after;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> setting;
    bool settingsOpen;
  } cases[] = {
      {L"_root.aboutTxt", L"", L"Version 1.0.0.0\r\nAbout text", {{L"page", L"About"}}, false},
      {L"_root.download_dir", L"", L"C:\\Downloaded Videos", {}, false},
      {L"_root.download_dir", L"C:\\A", L"D:\\", {}, true},
      {L"_root.autoToDownloadList_CB", L"0", L"1", {}, false},
      {L"_root.autoToDownloadList_CB", L"0", L"1", {}, true},
      {L"_root.Download_CB", L"0", L"1", {}, true},
      {L"_root.Convert_CB", L"0", L"1", {}, true},
      {L"_root.speedLimit", L"No limit", L"64 KB/s", {}, true},
      {L"_root.downloadBtn", L"0", L"1", {}, false},
      {L"_root.startDownload", L"1", L"0", {}, false},
      {L"_root.downloadTab", L"1", L"0", {}, false},
      {L"_root.downloadTab", L"1", L"0", {{L"page", L"About"}}, false},
      {L"_root.downloadBtnTab",
       L"0",
       L"1",
       {{L"page", L"About"}, {L"_root.downloadTab", L"0"}},
       false},
  };
  for (const Case& c : cases) {
    host.player.SetVariable(L"page", L"Download");
    for (const auto& [n, v] : c.setting) host.player.SetVariable(n, v);
    if (c.settingsOpen) ToggleSettings();
    host.player.SetVariable(c.name, c.before);
    auto before = Picture();
    host.player.SetVariable(c.name, c.after);
    EXPECT_TRUE(Picture() != before)
        << mf::ToAnsi(c.name) << (c.settingsOpen ? " in the settings" : "");
    if (c.settingsOpen) ToggleSettings();
    host.player.SetVariable(L"_root.downloadTab", L"1");
  }
  // The address the clipboard monitor takes over shows in the address box.
  host.player.SetVariable(L"_root.video_url", L"http://video.google.com/videoplay?docid=1");
  EXPECT_EQ(mf::GetText(host.player.FieldWindow(L"_root.video_url")),
            L"http://video.google.com/videoplay?docid=1");
}

TEST_F(OurMovie, ShowsStopInPlaceOfStartDuringARun) {
  const auto& elements = host.player.LoadedMovie().elements;
  auto senders = [&](const wchar_t* command) {
    for (size_t i = 0; i < elements.size(); ++i)
      if (elements[i].command == command) return i;
    return elements.size();
  };
  size_t start = senders(L"IDC_FS_startDownload"), stop = senders(L"IDC_FS_stopDownload");
  ASSERT_LT(start, elements.size());
  ASSERT_LT(stop, elements.size());
  RECT a = host.player.ElementRect(start), b = host.player.ElementRect(stop);
  EXPECT_TRUE(EqualRect(&a, &b));
  EXPECT_TRUE(host.player.IsElementShown(start));
  EXPECT_FALSE(host.player.IsElementShown(stop));
  host.player.SetVariable(L"_root.startDownload", L"0");
  EXPECT_FALSE(host.player.IsElementShown(start));
  EXPECT_TRUE(host.player.IsElementEnabled(stop));
  host.player.SetVariable(L"_root.startDownload", L"1");
  EXPECT_TRUE(host.player.IsElementShown(start));
}

TEST(HelpFile, IsACompiledHelpFileBesideTheProgram) {
  std::ifstream in(mf::ToAnsi(mf::ProgramFolder() + L"\\Help.chm"), std::ios::binary);
  ASSERT_TRUE(in.good());
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(data.substr(0, 4), "ITSF");
  for (const char* page : {"/index.html", "/adding.html", "/downloading.html", "/list.html",
                           "/settings.html", "/tray.html"})
    EXPECT_NE(data.find(page), std::string::npos) << page;
}

}  // namespace
