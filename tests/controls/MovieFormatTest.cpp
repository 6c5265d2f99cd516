// The movie file format: conditions, reading, writing back, and refusing
// everything malformed without harm.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "common/AppPath.h"
#include "common/Text.h"
#include "controls/player/MovieFormat.h"

using namespace mf::movie;

namespace {

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(mf::ToAnsi(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string OurMovie() { return ReadFile(mf::ProgramFolder() + L"\\Main.mfm"); }

bool Parses(const std::string& text, std::wstring* error = nullptr) {
  Movie m;
  std::wstring e;
  bool ok = ParseMovie(text, m, e);
  if (error) *error = e;
  return ok;
}

Lookup From(std::map<std::wstring, std::wstring> vars) {
  return [vars](const std::wstring& n) {
    auto it = vars.find(n);
    return it == vars.end() ? std::wstring() : it->second;
  };
}

bool Holds(const wchar_t* text, const Lookup& vars) {
  Condition c;
  std::wstring error;
  EXPECT_TRUE(Condition::Parse(text, c, error)) << mf::ToAnsi(error);
  return c.Evaluate(vars);
}

TEST(MovieCondition, EvaluatesComparisonsAndLogicWithPrecedence) {
  Lookup vars = From({{L"a", L"1"}, {L"b", L"0"}, {L"_root.x", L"Stop it"}});
  EXPECT_TRUE(Holds(L"a", vars));
  EXPECT_FALSE(Holds(L"b", vars));
  EXPECT_FALSE(Holds(L"unset", vars));
  EXPECT_TRUE(Holds(L"!b & !unset", vars));
  EXPECT_TRUE(Holds(L"b | a & a", vars));  // & binds tighter than |
  EXPECT_FALSE(Holds(L"(b | a) & b", vars));
  EXPECT_TRUE(Holds(L"_root.x='Stop it'", vars));
  EXPECT_TRUE(Holds(L"unset=''", vars));
  EXPECT_TRUE(Holds(L"b!=1 & a=1", vars));
  EXPECT_FALSE(Holds(L"false | !true", vars));
}

TEST(MovieCondition, PrintsTextThatParsesToTheSameCondition) {
  for (const wchar_t* text :
       {L"a", L"!a", L"a & b | c", L"a & (b | c)", L"!(a=1 | b!='x y')", L"(a | b) & !(c & d)"}) {
    Condition c, again;
    std::wstring error;
    ASSERT_TRUE(Condition::Parse(text, c, error)) << mf::ToAnsi(text);
    ASSERT_TRUE(Condition::Parse(c.Text(), again, error)) << mf::ToAnsi(c.Text());
    EXPECT_EQ(again.Text(), c.Text());
    for (int bits = 0; bits < 16; ++bits) {
      Lookup vars = From({{L"a", bits & 1 ? L"1" : L"0"},
                          {L"b", bits & 2 ? L"1" : L"x y"},
                          {L"c", bits & 4 ? L"1" : L"0"},
                          {L"d", bits & 8 ? L"1" : L"0"}});
      EXPECT_EQ(c.Evaluate(vars), again.Evaluate(vars)) << mf::ToAnsi(text);
    }
  }
}

TEST(MovieCondition, RefusesMalformedTextAndDeepNesting) {
  Condition c;
  std::wstring error;
  for (const wchar_t* bad :
       {L"", L"a &", L"(a", L"a)", L"a = ", L"a='x", L"1abc", L"a | | b", L"!"})
    EXPECT_FALSE(Condition::Parse(bad, c, error)) << mf::ToAnsi(bad);
  std::wstring deep(5000, L'(');
  deep += L"a" + std::wstring(5000, L')');
  EXPECT_FALSE(Condition::Parse(deep, c, error));
  std::wstring nots(5000, L'!');
  EXPECT_FALSE(Condition::Parse(nots + L"a", c, error));
  std::wstring wide = L"a";
  for (int i = 0; i < 1000; ++i) wide += L" | a";
  EXPECT_FALSE(Condition::Parse(wide, c, error));  // too long to keep
}

TEST(MovieCondition, FillsPlaceholdersAndLeavesOtherBracesAlone) {
  Lookup vars = From({{L"_root.dir", L"C:\\Videos"}, {L"n", L"3"}});
  EXPECT_EQ(Interpolate(L"Folder: {_root.dir}", vars), L"Folder: C:\\Videos");
  EXPECT_EQ(Interpolate(L"{n}{n} {unset}|", vars), L"33 |");
  EXPECT_EQ(Interpolate(L"{ not a name } {n", vars), L"{ not a name } {n");
  EXPECT_EQ(Interpolate(L"{{n}}", vars), L"{3}");
  std::vector<std::wstring> names;
  CollectPlaceholders(L"{a} {b.c} {1x} {", names);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"b.c"}));
}

const char* kSmall = R"(# every kind once
movie width=200 height=100 background=#102030 page-variable=page start-command=Hello
font body face="Tahoma" size=12
font big face=Tahoma size=20 bold=yes italic=yes
look b font=big radius=3 fill=#FFFFFF hover-fill=#EEEEEE down-text=#000000 off-border=#ABCDEF on-fill=#010203 mark=#FF0000
var page value=One
var quote value="say \"hi\"\n"
box at=0,0,200,20 fill=#276892 glyph=tray color=#FFFFFF radius=2
drag at=0,0,200,20 command=Drag
tab one at=0,20,50,20 text=One page=One look=b set="x=1; y=" command=TabOne
tab at=50,20,50,20 text=Two page=Two command=TabTwo align=right
page One
label at=0,40,100,20 text="Hello {name}" font=big color=#000000 align=center valign=top trim=path wrap=yes
button go at=0,60,50,20 text=Go look=b glyph=play tip="Go on" toggle=t visible="a & !b" enabled="c=1 | d!='x y'" command=Go.now
field at=50,60,100,20 var=_root.url look=b cue="Type here" command=Enter
check at=150,60,50,20 var=c text=Tick look=b command=On off-command=Off
panel p at=0,40,200,60 var=open fill=#FFFFFF border=#000000 from=left duration=0 open-command=Opened close-command=Closed
button at=0,0,20,20 set=open=0
end
page Two
)";

TEST(MovieFormat, ReadsEveryKindOfLineWithItsAttributes) {
  Movie m;
  std::wstring error;
  ASSERT_TRUE(ParseMovie(kSmall, m, error)) << mf::ToAnsi(error);
  EXPECT_EQ(m.width, 200);
  EXPECT_EQ(m.background, Color(0x102030));
  EXPECT_EQ(m.pageVariable, L"page");
  EXPECT_EQ(m.startCommand, L"Hello");
  EXPECT_EQ(m.pages, (std::vector<std::wstring>{L"One", L"Two"}));
  ASSERT_EQ(m.fonts.size(), 2u);
  EXPECT_TRUE(m.fonts[1].bold && m.fonts[1].italic);
  const LookDef* b = m.FindLook(L"b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->states[static_cast<int>(LookState::Hover)].fill, Color(0xEEEEEE));
  EXPECT_EQ(b->states[static_cast<int>(LookState::Off)].border, Color(0xABCDEF));
  EXPECT_EQ(b->mark, Color(0xFF0000));
  ASSERT_EQ(m.startValues.size(), 2u);
  EXPECT_EQ(m.startValues[1].value, L"say \"hi\"\n");
  ASSERT_EQ(m.elements.size(), 10u);
  const ElementDef& tab = m.elements[2];
  EXPECT_EQ(tab.name, L"one");
  EXPECT_EQ(tab.page, -1);
  EXPECT_EQ(tab.sets, (std::vector<Assignment>{{L"x", L"1"}, {L"y", L""}}));
  const ElementDef& go = m.elements[5];
  EXPECT_EQ(go.kind, ElementKind::Button);
  EXPECT_EQ(go.page, 0);
  EXPECT_EQ(go.at, (Rect{0, 60, 50, 20}));
  EXPECT_EQ(go.command, L"Go.now");
  EXPECT_EQ(go.visible.Text(), L"a & !b");
  const ElementDef& inner = m.elements[9];
  EXPECT_EQ(inner.panel, 8);
  EXPECT_EQ(m.elements[8].from, Slide::Left);
  EXPECT_EQ(m.elements[8].duration, 0);
  auto commands = m.Commands();
  for (const wchar_t* c :
       {L"Hello", L"Drag", L"TabOne", L"Go.now", L"Enter", L"On", L"Off", L"Opened", L"Closed"})
    EXPECT_NE(std::find(commands.begin(), commands.end(), c), commands.end()) << mf::ToAnsi(c);
  auto vars = m.Variables();
  for (const wchar_t* v : {L"page", L"name", L"a", L"b", L"c", L"d", L"t", L"_root.url", L"open"})
    EXPECT_NE(std::find(vars.begin(), vars.end(), v), vars.end()) << mf::ToAnsi(v);
}

TEST(MovieFormat, WritesMoviesThatReadBackEqual) {
  for (const std::string& text : {std::string(kSmall), OurMovie()}) {
    Movie first, second;
    std::wstring error;
    ASSERT_TRUE(ParseMovie(text, first, error)) << mf::ToAnsi(error);
    std::string written = WriteMovie(first);
    ASSERT_TRUE(ParseMovie(written, second, error)) << mf::ToAnsi(error) << "\n" << written;
    EXPECT_EQ(first, second);
    EXPECT_EQ(WriteMovie(second), written);
  }
}

TEST(MovieFormat, RefusesEachKindOfFaultWithItsLine) {
  const std::string head = "movie width=10 height=10 page-variable=p\n";
  std::string withNul = head + "label at=0,0,1,1 text=\"a";
  withNul.push_back('\0');
  withNul += "b\"\n";
  struct Case {
    std::string text;
    const char* line;
  } cases[] = {
      {"", nullptr},
      {"box at=0,0,1,1\n", "line 1"},
      {head + "movie width=1 height=1\n", "line 2"},
      {"movie width=10\n", nullptr},
      {head + "sprite at=0,0,1,1\n", "line 2"},
      {head + "box at=0,0,1,1 colour=#000000\n", "line 2"},
      {head + "box\n", "line 2"},
      {head + "box at=0,0,1\n", "line 2"},
      {head + "box at=0,0,1,1,1\n", "line 2"},
      {head + "box at=0,0,-1,1\n", "line 2"},
      {head + "box at=99999999999999999999,0,1,1\n", "line 2"},
      {head + "box at=10001,0,1,1\n", "line 2"},
      {head + "box at=0,0,1,1 radius=2147483648\n", "line 2"},
      {head + "box at=0,0,1,1 fill=#12345\n", "line 2"},
      {head + "box at=0,0,1,1 fill=#12345G\n", "line 2"},
      {head + "label at=0,0,1,1 text=\"open\n", "line 2"},
      {head + "label at=0,0,1,1 text=\"bad \\q\"\n", "line 2"},
      {head + "label at=0,0,1,1 text=\"a\"b\n", "line 2"},
      {head + "label at=0,0,1,1 text=a text=b\n", "line 2"},
      {head + "label at=0,0,1,1 =x\n", "line 2"},
      {head + "button at=0,0,1,1 command=\"two words\"\n", "line 2"},
      {head + "button at=0,0,1,1 visible=\"a &\"\n", "line 2"},
      {head + "button at=0,0,1,1 look=missing\n", nullptr},
      {head + "label at=0,0,1,1 font=missing\n", nullptr},
      {head + "button at=0,0,1,1 set=novalue\n", "line 2"},
      {head + "check at=0,0,1,1\n", "line 2"},
      {head + "field at=0,0,1,1\n", "line 2"},
      {head + "drag at=0,0,1,1\n", "line 2"},
      {head + "tab at=0,0,1,1\n", "line 2"},
      {head + "tab at=0,0,1,1 page=Nowhere\n", nullptr},
      {"movie width=10 height=10\npage A\n", nullptr},
      {head + "page A\npage A\n", "line 3"},
      {head + "panel at=0,0,1,1 var=v\n", nullptr},
      {head + "end\n", "line 2"},
      {head + "panel at=0,0,1,1 var=v\npanel at=0,0,1,1 var=w\n", "line 3"},
      {head + "panel at=0,0,1,1 var=v\nfield at=0,0,1,1 var=f\n", "line 3"},
      {head + "panel at=0,0,1,1 var=v\npage A\n", "line 3"},
      {head + "font f face=\"\"\n", "line 2"},
      {head + "font f size=0\n", "line 2"},
      {head + "font f\nfont f\n", "line 3"},
      {head + "var x\n", "line 2"},
      {head + "var 9x value=1\n", "line 2"},
      {head + "label at=0,0,1,1 text=\"\xC3\x28\"\n", nullptr},
      {withNul, nullptr},
      {head + "label at=0,0,1,1 text=" + std::string(9000, 'x') + "\n", "line 2"},
      {head + std::string(kMaxMovieBytes, '#'), nullptr},
  };
  for (const Case& c : cases) {
    std::wstring error;
    EXPECT_FALSE(Parses(c.text, &error)) << c.text.substr(0, 200);
    EXPECT_FALSE(error.empty());
    if (c.line) {
      EXPECT_EQ(mf::ToAnsi(error).rfind(c.line, 0), 0u) << mf::ToAnsi(error);
    }
  }
}

TEST(MovieFormat, LeavesTheTargetUnchangedWhenItRefuses) {
  Movie m;
  std::wstring error;
  ASSERT_TRUE(ParseMovie(kSmall, m, error));
  Movie before = m;
  EXPECT_FALSE(ParseMovie(std::string(kSmall) + "nonsense\n", m, error));
  EXPECT_EQ(m, before);
}

TEST(MovieFormat, TruncatedMoviesNeverHarmTheReader) {
  std::string text = OurMovie();
  ASSERT_FALSE(text.empty());
  int refused = 0;
  for (size_t n = 0; n < text.size(); n += 7) {
    std::wstring error;
    if (!Parses(text.substr(0, n), &error)) ++refused;
  }
  // A cut inside a panel, a quote or an attribute is refused.
  EXPECT_GT(refused, 0);
}

// Random damage to our movie: bytes flipped, inserted, removed, lines doubled
// or swapped. Whatever is accepted must write back and read back equal.
TEST(MovieFormat, FuzzedMoviesAreRefusedOrReadConsistently) {
  const std::string base = OurMovie();
  ASSERT_FALSE(base.empty());
  std::mt19937 random(20240611);
  int accepted = 0, refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = base;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < edits && !text.empty(); ++k) {
      size_t at = random() % text.size();
      switch (random() % 6) {
        case 0:
          text[at] = static_cast<char>(random() % 256);
          break;
        case 1:
          text.insert(at, 1, " =\",#\\{}!&|()0-9"[random() % 17]);
          break;
        case 2:
          text.erase(at, 1 + random() % 20);
          break;
        case 3:
          text.insert(at, std::to_string(random()));
          break;
        case 4: {
          size_t s = text.rfind('\n', at), e = text.find('\n', at);
          if (s != std::string::npos && e != std::string::npos)
            text.insert(e, text.substr(s, e - s));
          break;
        }
        default: {
          size_t other = random() % text.size();
          std::swap(text[at], text[other]);
        }
      }
    }
    Movie m, again;
    std::wstring error;
    if (!ParseMovie(text, m, error)) {
      ++refused;
      EXPECT_FALSE(error.empty());
      continue;
    }
    ++accepted;
    ASSERT_TRUE(ParseMovie(WriteMovie(m), again, error)) << mf::ToAnsi(error);
    EXPECT_EQ(m, again);
  }
  EXPECT_GT(accepted, 100);
  EXPECT_GT(refused, 100);
}

}  // namespace
