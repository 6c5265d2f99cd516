// The movie player in a real window: variables, the text field, mouse input
// turned into commands, pages, sliding panels, repainting, broken movies.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "common/AppPath.h"
#include "common/Text.h"
#include "common/WindowText.h"
#include "controls/player/MoviePlayer.h"
#include "tests/controls/PlayerHost.h"
#include "tests/support/Wait.h"

namespace {

using mf::test::PlayerHost;

const char* kMovie = R"(movie width=300 height=200 page-variable=page
font body face=Tahoma size=13
var page value=One
drag grip at=0,0,300,20 command=Drag
tab t1 at=0,20,50,20 text=One page=One command=ShowOne
tab t2 at=50,20,50,20 text=Two page=Two command=ShowTwo set=seen=1
page One
button go at=10,50,60,24 text=Go command=Go enabled=ready visible="state!=0"
button stop at=10,50,60,24 text=Stop command=Stop visible="state=0"
field url at=80,50,150,24 var=url command=Enter cue="Type"
button add at=240,50,50,24 text=Add command=Add enabled=url
check tick at=10,80,100,20 var=tick text=Tick command=Ticked off-command=Cleared
check locked at=120,80,100,20 var=locked text=Locked command=L1 off-command=L2 enabled=false
label caption at=10,110,200,20 text="Dir: {dir}"
button opener at=220,110,70,24 text=More toggle=more
panel drawer at=0,140,300,60 var=more from=bottom duration=120 open-command=Opened close-command=Closed
button inner at=10,10,60,24 text=Inner command=Inner
button done at=80,10,60,24 text=Done set=more=0
end
page Two
button two at=10,50,60,24 text=Two command=TwoPressed
)";

class PlayerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Open(300, 200)); }
  void LoadTest() { ASSERT_TRUE(host.LoadText(kMovie)) << mf::ToAnsi(host.player.LoadError()); }
  size_t At(const wchar_t* name) const { return host.Find(name); }
  bool Shown(const wchar_t* name) const { return host.player.IsElementShown(At(name)); }
  bool Enabled(const wchar_t* name) const { return host.player.IsElementEnabled(At(name)); }
  void ClickOn(const wchar_t* name) { host.ClickElement(At(name)); }
  std::vector<std::wstring>& Sent() { return host.commands; }

  PlayerHost host;
};

using Commands = std::vector<std::wstring>;

TEST_F(PlayerTest, VariablesAreKeptAndStartValuesNeverOverrideTheOwner) {
  host.player.SetVariable(L"page", L"Two");
  LoadTest();
  EXPECT_EQ(host.player.GetVariable(L"page"), L"Two");
  EXPECT_EQ(host.player.GetVariable(L"never.set"), L"");
  host.player.SetVariable(L"_root.some", L"text with spaces");
  EXPECT_EQ(host.player.GetVariable(L"_root.some"), L"text with spaces");
  host.player.SetVariable(L"_root.some", L"");
  EXPECT_EQ(host.player.GetVariable(L"_root.some"), L"");
}

TEST_F(PlayerTest, TheTextFieldIsAnEditControlWhoseTextIsTheVariable) {
  host.player.SetVariable(L"url", L"http://before/");
  LoadTest();
  HWND edit = host.player.FieldWindow(L"url");
  ASSERT_NE(edit, nullptr);
  char cls[16] = {};
  GetClassNameA(edit, cls, sizeof cls);
  EXPECT_STREQ(cls, "Edit");
  EXPECT_EQ(mf::GetText(edit), L"http://before/");
  host.player.SetVariable(L"url", L"abc");
  EXPECT_EQ(mf::GetText(edit), L"abc");
  // Typing and replacing the selection go through the platform's edit control.
  SendMessageA(edit, EM_SETSEL, 3, 3);
  SendMessageA(edit, WM_CHAR, 'x', 0);
  EXPECT_EQ(host.player.GetVariable(L"url"), L"abcx");
  SendMessageA(edit, EM_SETSEL, 0, 1);
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("Z"));
  EXPECT_EQ(host.player.GetVariable(L"url"), L"Zbcx");
  // Enter sends the field's command; Add follows whether there is any text.
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Sent(), (Commands{L"Enter"}));
  EXPECT_TRUE(Enabled(L"add"));
  SetWindowTextA(edit, "");
  EXPECT_FALSE(Enabled(L"add"));
  ClickOn(L"add");
  EXPECT_EQ(Sent(), (Commands{L"Enter"}));
  SendMessageA(edit, WM_CHAR, 'q', 0);
  ClickOn(L"add");
  EXPECT_EQ(Sent(), (Commands{L"Enter", L"Add"}));
}

TEST_F(PlayerTest, AButtonSendsItsCommandWhenPressedAndReleasedOnIt) {
  LoadTest();
  host.player.SetVariable(L"ready", L"1");
  ClickOn(L"go");
  EXPECT_EQ(Sent(), (Commands{L"Go"}));
  POINT in = host.Inside(At(L"go"));
  host.Down(in.x, in.y);
  host.Up(250, 190);  // released elsewhere: no click
  host.Down(250, 190);
  host.Up(in.x, in.y);  // pressed elsewhere: no click
  EXPECT_EQ(Sent(), (Commands{L"Go"}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(PlayerTest, DisabledOrHiddenButtonsSendNothing) {
  LoadTest();
  EXPECT_TRUE(Shown(L"go"));
  EXPECT_FALSE(Enabled(L"go"));
  ClickOn(L"go");
  EXPECT_TRUE(Sent().empty());
  host.player.SetVariable(L"ready", L"1");
  host.player.SetVariable(L"state", L"0");  // Stop takes Go's place
  EXPECT_FALSE(Shown(L"go"));
  EXPECT_TRUE(Shown(L"stop"));
  ClickOn(L"stop");
  EXPECT_EQ(Sent(), (Commands{L"Stop"}));
  // A button that becomes disabled while held sends nothing on release.
  host.player.SetVariable(L"state", L"1");
  POINT p = host.Inside(At(L"go"));
  host.Down(p.x, p.y);
  host.player.SetVariable(L"ready", L"0");
  host.Up(p.x, p.y);
  EXPECT_EQ(Sent(), (Commands{L"Stop"}));
}

TEST_F(PlayerTest, ButtonsShowHoverPressedAndDisabledStates) {
  LoadTest();
  auto disabled = host.Picture(300, 200);
  host.player.SetVariable(L"ready", L"1");
  auto normal = host.Picture(300, 200);
  POINT p = host.Inside(At(L"go"));
  SendMessageA(host.player.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  auto hover = host.Picture(300, 200);
  SendMessageA(host.player.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  auto pressed = host.Picture(300, 200);
  EXPECT_TRUE(disabled != normal);
  EXPECT_TRUE(normal != hover);
  EXPECT_TRUE(hover != pressed);
  EXPECT_TRUE(pressed != normal);
  // Pressed and dragged off, it looks as it does at rest.
  SendMessageA(host.player.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(295, 195));
  EXPECT_TRUE(host.Picture(300, 200) == normal);
  host.Up(295, 195);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(PlayerTest, TheDragAreaSendsOnMouseDown) {
  LoadTest();
  POINT p = host.Inside(At(L"grip"));
  host.Down(p.x, p.y);
  EXPECT_EQ(Sent(), (Commands{L"Drag"}));
  host.Up(p.x, p.y);
  EXPECT_EQ(Sent(), (Commands{L"Drag"}));
}

TEST_F(PlayerTest, ACheckBoxSendsOneCommandWhenTickedAndAnotherWhenCleared) {
  LoadTest();
  ClickOn(L"tick");
  EXPECT_EQ(host.player.GetVariable(L"tick"), L"1");
  ClickOn(L"tick");
  EXPECT_EQ(host.player.GetVariable(L"tick"), L"0");
  host.player.SetVariable(L"tick", L"1");  // the owner ticks it
  ClickOn(L"tick");
  EXPECT_EQ(Sent(), (Commands{L"Ticked", L"Cleared", L"Cleared"}));
  host.player.SetVariable(L"locked", L"1");
  ClickOn(L"locked");
  EXPECT_EQ(host.player.GetVariable(L"locked"), L"1");
  EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(PlayerTest, TabsSwitchPagesAndSendTheirCommands) {
  LoadTest();
  HWND edit = host.player.FieldWindow(L"url");
  EXPECT_TRUE(IsWindowVisible(edit));
  EXPECT_FALSE(Shown(L"two"));
  ClickOn(L"t2");
  EXPECT_EQ(Sent(), (Commands{L"ShowTwo"}));
  EXPECT_EQ(host.player.GetVariable(L"page"), L"Two");
  EXPECT_EQ(host.player.GetVariable(L"seen"), L"1");
  EXPECT_FALSE(Shown(L"go"));
  EXPECT_FALSE(IsWindowVisible(edit));
  ClickOn(L"two");
  EXPECT_EQ(Sent().back(), L"TwoPressed");
  // The owner may choose the page too; that sends nothing.
  host.player.SetVariable(L"page", L"One");
  EXPECT_TRUE(IsWindowVisible(edit));
  EXPECT_TRUE(Shown(L"go"));
  EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(PlayerTest, APanelSlidesInWithItsCommandsAndCoversWhatIsUnderIt) {
  LoadTest();
  EXPECT_FALSE(Shown(L"inner"));
  ClickOn(L"opener");
  EXPECT_TRUE(host.player.IsAnimating());
  EXPECT_FALSE(Enabled(L"inner"));  // nothing on a sliding panel reacts
  ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.player.IsAnimating(); }));
  EXPECT_EQ(Sent(), (Commands{L"Opened"}));
  RECT r = host.player.ElementRect(At(L"inner"));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 150);
  EXPECT_TRUE(Enabled(L"inner"));
  ClickOn(L"inner");
  ClickOn(L"done");
  EXPECT_EQ(host.player.GetVariable(L"more"), L"0");
  ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.player.IsAnimating(); }));
  mf::test::PumpFor(20);
  EXPECT_EQ(Sent(), (Commands{L"Opened", L"Inner", L"Closed"}));
  EXPECT_FALSE(Shown(L"inner"));
  // A tab puts an open panel away at once, without its close command.
  ClickOn(L"opener");
  ASSERT_TRUE(mf::test::PumpUntil([&] { return !host.player.IsAnimating(); }));
  ClickOn(L"t1");
  mf::test::PumpFor(20);
  EXPECT_FALSE(Shown(L"drawer"));
  EXPECT_EQ(host.player.GetVariable(L"more"), L"0");
  EXPECT_EQ(Sent(), (Commands{L"Opened", L"Inner", L"Closed", L"Opened", L"ShowOne"}));
}

TEST_F(PlayerTest, SettingAVariableRepaintsOnlyWhatShowsIt) {
  LoadTest();
  HWND h = host.player.Hwnd();
  UpdateWindow(h);
  RECT update{};
  host.player.SetVariable(L"unrelated", L"x");
  EXPECT_FALSE(GetUpdateRect(h, &update, FALSE));
  host.player.SetVariable(L"dir", L"C:\\Videos");
  ASSERT_TRUE(GetUpdateRect(h, &update, FALSE));
  RECT caption = host.player.ElementRect(At(L"caption"));
  InflateRect(&caption, 2, 2);
  RECT both{};
  UnionRect(&both, &update, &caption);
  EXPECT_TRUE(EqualRect(&both, &caption));
  UpdateWindow(h);
  host.player.SetVariable(L"dir", L"C:\\Videos");  // unchanged: nothing to do
  EXPECT_FALSE(GetUpdateRect(h, &update, FALSE));
}

TEST_F(PlayerTest, AMissingOrBrokenMovieLeavesAnEmptyPlayer) {
  host.player.LoadMovie(0, L"C:\\no such folder\\Main.mfm");
  EXPECT_FALSE(host.player.IsMovieLoaded());
  EXPECT_FALSE(host.player.LoadError().empty());
  UpdateWindow(host.player.Hwnd());
  host.Click(20, 10);
  host.player.SetVariable(L"x", L"1");
  EXPECT_EQ(host.player.GetVariable(L"x"), L"1");
  LoadTest();
  HWND edit = host.player.FieldWindow(L"url");
  ASSERT_TRUE(IsWindow(edit));
  ASSERT_FALSE(host.LoadText(std::string(kMovie) + "sprite at=0,0,1,1\n"));
  EXPECT_FALSE(IsWindow(edit));
  EXPECT_TRUE(host.player.LoadedMovie().elements.empty());
  EXPECT_EQ(host.player.ElementAt(20, 10), -1);
  host.Click(20, 10);
  EXPECT_TRUE(Sent().empty());
  host.player.LoadMovie(1, L"ignored");  // only layer 0 exists
  EXPECT_FALSE(host.player.IsMovieLoaded());
}

// Mutations of our own movie that still parse are loaded, painted, clicked
// and given variables: none of it may harm the player.
TEST_F(PlayerTest, DamagedMoviesAreShownAndUsedWithoutHarm) {
  std::ifstream in(mf::ToAnsi(mf::ProgramFolder() + L"\\Main.mfm"), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  const std::string base = s.str();
  ASSERT_FALSE(base.empty());
  std::mt19937 random(7);
  int loaded = 0;
  for (int round = 0; round < 300; ++round) {
    std::string text = base;
    // Mostly numbers changed in place (sizes, places, colours' digits), which
    // keeps most movies readable; now and then a stray character.
    for (int k = 0; k < 2; ++k) {
      size_t at = random() % text.size();
      size_t digit = text.find_first_of("0123456789", at);
      if (digit == std::string::npos || random() % 5 == 0) {
        text[at] = "-0189,=\"{}"[random() % 10];
        continue;
      }
      size_t end = text.find_first_not_of("0123456789", digit);
      text.replace(digit, end - digit,
                   std::to_string(random() % 3 == 0 ? random() % 10001 : random() % 700));
    }
    if (!host.LoadText(text)) continue;
    ++loaded;
    UpdateWindow(host.player.Hwnd());
    for (int c = 0; c < 6; ++c)
      host.Click(static_cast<int>(random() % 320), static_cast<int>(random() % 220));
    host.player.SetVariable(L"page", L"About");
    host.player.SetVariable(L"settings", L"1");
    mf::test::PumpFor(5);
    UpdateWindow(host.player.Hwnd());
  }
  // About a third of the mutants still read (the anchors' word lists refuse
  // a stray character more often than numbers do).
  EXPECT_GT(loaded, 90);
}

}  // namespace
