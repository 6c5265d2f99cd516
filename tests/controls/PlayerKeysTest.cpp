// Our movie without a mouse and through a screen reader: its access keys,
// its tab stops, and its buttons as MSAA reads and presses them.
#include <gtest/gtest.h>

#include <map>

#include "common/AppPath.h"
#include "common/Text.h"
#include "controls/player/MovieAccessKeys.h"
#include "tests/controls/MsaaClient.h"
#include "tests/controls/PlayerHost.h"
#include "tests/support/Wait.h"

namespace {

using Commands = std::vector<std::wstring>;

class PlayerKeys : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Open(630, 535));
    host.player.LoadMovie(0, mf::ProgramFolder() + L"\\Main.mfm");
    ASSERT_TRUE(host.player.IsMovieLoaded()) << mf::ToAnsi(host.player.LoadError());
    ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.commands.empty(); }));  // its start
    host.commands.clear();
  }
  const mf::movie::ElementDef& Element(size_t i) const {
    return host.player.LoadedMovie().elements.at(i);
  }
  // The focused stop by its caption, its tip or its variable.
  std::wstring Focused() const {
    if (host.player.FocusedElement() < 0) return L"<none>";
    const auto& e = Element(static_cast<size_t>(host.player.FocusedElement()));
    return !e.text.empty() ? e.text : !e.tip.empty() ? e.tip : e.var;
  }
  void Tab(bool shift = false) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
  }

  mf::test::PlayerHost host;
};

TEST_F(PlayerKeys, AccessKeysComeFromTheCaptionsAndNeverClashOnAPage) {
  std::map<std::wstring, wchar_t> byText;
  const auto keys = mf::movie::AssignAccessKeys(host.player.LoadedMovie());
  for (const auto& [index, at] : keys) byText[Element(index).text] = host.player.AccessKey(index);
  const std::pair<const wchar_t*, wchar_t> expected[] = {
      {L"Download", L'D'},
      {L"About", L'A'},
      {L"Video page address", L'V'},
      {L"Add", 0},
      {L"Select all", L'S'},
      {L"Settings", L'E'},
      {L"Start downloading", L'T'},
      {L"Stop downloading", L'O'},
      {L"Done", L'N'},
      {L"Show downloads", L'S'},
      {L"Marrowfin", 0}};  // a plain label takes none
  for (const auto& [text, key] : expected) EXPECT_EQ(byText[text], key) << mf::ToAnsi(text);
  for (const auto& [i, a] : keys)
    for (const auto& [j, b] : keys) {
      const int pi = Element(i).page, pj = Element(j).page;
      if (i < j && host.player.AccessKey(i) == host.player.AccessKey(j)) {
        EXPECT_TRUE(pi >= 0 && pj >= 0 && pi != pj)
            << mf::ToAnsi(Element(i).text) << " and " << mf::ToAnsi(Element(j).text);
      }
    }
}

TEST_F(PlayerKeys, TabWalksTheStopsAndEnterOrAnAccessKeyPressesThem) {
  host.player.EnterFocus(false);
  Commands walked{Focused()};
  for (int i = 0; i < 13; ++i) {
    Tab();
    walked.push_back(Focused());
  }
  // Add and Start wait for an address and a list: they are no stops yet.
  // Restore stands in Maximise's place only while the window is maximized.
  EXPECT_EQ(walked, (Commands{L"Download", L"About", L"Minimise", L"Maximise",
                              L"Hide in the notification area", L"Close Marrowfin",
                              L"_root.video_url", L"Select all", L"Remove",
                              L"Move the selected video up", L"Move the selected video down",
                              L"Clear completed", L"Settings", L"Download"}));  // round again
  Tab(true);
  EXPECT_EQ(Focused(), L"Settings");
  EXPECT_EQ(GetFocus(), host.player.Hwnd());
  host.player.SetVariable(L"_root.downloadBtn", L"1");
  Tab();
  EXPECT_EQ(Focused(), L"Start downloading");
  host.player.SetVariable(L"_root.startDownload", L"0");  // a run: Stop in its place
  EXPECT_EQ(Focused(), L"Stop downloading");
  host.player.SetVariable(L"_root.startDownload", L"1");
  host.player.SetVariable(L"_root.downloadBtn", L"0");
  host.player.EnterFocus(false);
  SendMessageA(host.player.Hwnd(), WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(host.player.Hwnd(), WM_SYSCHAR, 'r', 0);  // Alt+R
  SendMessageA(host.player.Hwnd(), WM_CHAR, 'c', 0);     // a button has the focus: C alone
  SendMessageA(host.player.Hwnd(), WM_SYSCHAR, 't', 0);  // Start, not available
  EXPECT_EQ(host.commands,
            (Commands{L"IDC_FS_Download", L"IDC_FS_removeSelectedD", L"ID_FS_clearComplete"}));
  SendMessageA(host.player.Hwnd(), WM_SYSCHAR, 'v', 0);  // the label's key: its field
  EXPECT_EQ(GetFocus(), host.player.FieldWindow(L"_root.video_url"));
}

TEST_F(PlayerKeys, AScreenReaderReadsTheButtonsAndPressesThemAsAClickDoes) {
  mf::test::MsaaClient reader(host.player.Hwnd());
  ASSERT_EQ(reader.hr, S_OK);
  EXPECT_EQ(reader.Count(), 14);  // tabs, window buttons and the download page's buttons
  const long on = STATE_SYSTEM_FOCUSABLE;
  const std::pair<const wchar_t*, long> states[] = {
      {L"Download", on | STATE_SYSTEM_PRESSED},  // the chosen tab
      {L"Minimise", on},                         // named by its tip: it shows a picture
      {L"Add", STATE_SYSTEM_UNAVAILABLE},
      {L"Start downloading", STATE_SYSTEM_UNAVAILABLE},
      {L"Settings", on}};
  for (const auto& [name, state] : states) {
    const long child = reader.Find(name);
    ASSERT_NE(child, 0) << mf::ToAnsi(name);
    EXPECT_EQ(reader.Role(child), ROLE_SYSTEM_PUSHBUTTON) << mf::ToAnsi(name);
    EXPECT_EQ(reader.State(child), state) << mf::ToAnsi(name);
  }
  EXPECT_EQ(reader.Find(L"Stop downloading"), 0);  // not on show
  EXPECT_EQ(reader.Find(L"Restore"), 0);
  EXPECT_EQ(reader.Shortcut(reader.Find(L"Select all")), L"Alt+S");
  EXPECT_EQ(reader.Press(reader.Find(L"Add")), E_FAIL);
  EXPECT_EQ(reader.Press(reader.Find(L"Select all")), S_OK);
  ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.commands.empty(); }));
  EXPECT_EQ(host.commands, Commands{L"IDC_FS_selectAllD"});
  host.player.EnterFocus(false);
  EXPECT_EQ(reader.State(reader.Find(L"Download")) & STATE_SYSTEM_FOCUSED, STATE_SYSTEM_FOCUSED);
  mf::test::MsaaClient field(host.player.FieldWindow(L"_root.video_url"));
  EXPECT_EQ(field.Name(CHILDID_SELF), L"Video page address");
}

}  // namespace
