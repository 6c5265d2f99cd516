#pragma once
// The movie: what the player shows and which commands and variables it uses,
// read from a small line-based text file (UTF-8, extension ".mfm").
//
//   # a comment
//   movie width=630 height=535 background=#F2F5F7 page-variable=page [start-command=C]
//   font NAME face="Tahoma" size=13 [bold=yes] [italic=yes]
//   look NAME [font=F] [radius=N] [mark=#RGB] [STATE-]fill|text|border=#RGB ...
//        (STATE is hover, down, off for disabled, on for a chosen tab or ticked box)
//   var NAME value="text"                    (a start value)
//   KIND at=X,Y,W,H [anchor=left,top,right,bottom] ...   (an element; see ElementKind)
//   page NAME                                (the elements that follow belong to it)
//   panel NAME at=... var=V ...  ...  end    (a sliding panel and its elements)
//
// Values are single words or "quoted" with \" \\ \n escapes. Elements before
// the first page are on every page. A movie with any fault is refused whole.
//
// Places and sizes are pixels at 96 DPI in a window of the movie's size; the
// player scales them to its DPI. A larger window gives its extra room to
// the elements anchored to its right or bottom edge: anchored to both edges
// of a direction an element stretches, to the far one only it moves, and
// otherwise it stays where it is (elements of a panel follow the panel).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/player/MovieCondition.h"

namespace mf::movie {

using Color = std::optional<uint32_t>;  // 0xRRGGBB; empty when not given

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool operator==(const Rect&) const = default;
};

struct FontDef {
  std::wstring name, face = L"Tahoma";
  int size = 13;  // character height in pixels
  bool bold = false, italic = false;
  bool operator==(const FontDef&) const = default;
};

struct StateColors {
  Color fill, text, border;
  bool operator==(const StateColors&) const = default;
};

enum class LookState { Normal, Hover, Down, Off, On, Count };

struct LookDef {
  std::wstring name, font;
  StateColors states[static_cast<int>(LookState::Count)];
  Color mark;  // a bar under a chosen tab, the tick of a ticked box
  int radius = 0;
  bool operator==(const LookDef&) const = default;
};

enum class ElementKind {
  Box,     // a filled or framed rectangle, optionally with a glyph
  Label,   // text, with {variable} placeholders
  Button,  // sends `command` when clicked; may set variables; on while `toggle` is set
  Check,   // a tick box bound to `var`; `command` when ticked, `offCommand` when cleared
  Field,   // a text box whose text is the variable `var`; `command` on Enter
  Tab,     // shows `page` and sends `command`; chosen while its page shows
  Drag,    // sends `command` on mouse-down
  Panel,   // slides in over its rectangle while `var` is set
};

enum class Glyph {
  None,
  Minimize,
  Close,
  Tray,
  Up,
  Down,
  Plus,
  Cross,
  Tick,
  Play,
  Stop,
  Folder,
  Gear,
  Help,
  Globe,
  Maximize,
  Restore
};
// The edges an element keeps its distance to; bits of ElementDef::anchor.
enum Anchor : unsigned { kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8 };
constexpr unsigned kAnchorDefault = kAnchorLeft | kAnchorTop;
// Auto: labels start at the left, captions of buttons and tabs are centred.
enum class Align { Auto, Left, Center, Right };
enum class VAlign { Top, Middle, Bottom };
enum class Trim { None, End, Path };
enum class Slide { Bottom, Top, Left, Right };

struct Assignment {
  std::wstring name, value;
  bool operator==(const Assignment&) const = default;
};

struct ElementDef {
  ElementKind kind = ElementKind::Box;
  std::wstring name;
  Rect at;  // relative to the panel for an element of a panel
  unsigned anchor = kAnchorDefault;
  int page = -1;   // index into Movie::pages; -1 on every page
  int panel = -1;  // index of the panel element it belongs to

  std::wstring text, tip, cue, look, font;
  Color fill, border, color;
  int radius = 0;
  Glyph glyph = Glyph::None;
  Align align = Align::Auto;
  VAlign valign = VAlign::Middle;
  Trim trim = Trim::None;
  bool wrap = false;

  std::wstring var, command, offCommand, target;  // target: the page of a tab
  std::vector<Assignment> sets;                   // done on a click, before the command
  std::wstring toggle;                            // a variable flipped on a click
  Condition visible, enabled;

  // Panels only.
  std::wstring openCommand, closeCommand;
  Slide from = Slide::Bottom;
  int duration = 200;

  bool operator==(const ElementDef&) const = default;
};

struct Movie {
  int width = 0, height = 0;
  Color background;
  std::wstring pageVariable;
  std::wstring startCommand;  // sent once the movie has been loaded
  std::vector<std::wstring> pages;
  std::vector<FontDef> fonts;
  std::vector<LookDef> looks;
  std::vector<Assignment> startValues;
  std::vector<ElementDef> elements;  // in drawing order; later ones are on top

  const FontDef* FindFont(std::wstring_view name) const;
  const LookDef* FindLook(std::wstring_view name) const;
  // Every command any element may send, and every variable any element reads.
  std::vector<std::wstring> Commands() const;
  std::vector<std::wstring> Variables() const;
  // The variables one element depends on for how it looks.
  std::vector<std::wstring> VariablesOf(const ElementDef& e) const;

  bool operator==(const Movie&) const = default;
};

// The largest movie file the player reads.
constexpr size_t kMaxMovieBytes = 1 << 20;

// Parses the movie text. False with "line N: why" for anything malformed;
// `out` is then left unchanged.
bool ParseMovie(std::string_view utf8, Movie& out, std::wstring& error);
// Writes a movie that ParseMovie reads back equal.
std::string WriteMovie(const Movie& movie);

std::wstring GlyphName(Glyph g);
std::wstring KindName(ElementKind k);

}  // namespace mf::movie
