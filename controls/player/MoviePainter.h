#pragma once
// Drawing of movie elements with GDI into the player's back buffer.
#include <windows.h>

#include <string>

#include "controls/player/MovieFormat.h"

namespace mf::movie {

// What a user sees of one element at this moment.
struct ElementLook {
  bool hover = false, down = false, disabled = false, on = false, focused = false;
  int accessKey = -1;  // the place in the text of the letter to underline; -1 for none
};

// How elements are drawn. The lengths of a look (glyphs, gaps, corners,
// lines) are scaled to `dpi`. With `systemColours` the system's colours
// replace the movie's, as high contrast asks.
struct PaintStyle {
  int dpi = 96;
  bool systemColours = false;
};

COLORREF ToColorRef(uint32_t rgb);
// A system colour (GetSysColor) as a movie colour.
uint32_t SystemRgb(int index);

// The colours of a look in a state; unset colours fall back to the look's
// normal ones. Without a look, the defaults.
StateColors Resolve(const LookDef* look, LookState state, const StateColors& defaults);

// Lines of `line` pixels are drawn inside the rectangle.
void FillRounded(HDC dc, const RECT& r, int radius, const Color& fill, const Color& border,
                 int line = 1);
void DrawGlyph(HDC dc, Glyph glyph, const RECT& r, COLORREF color);

// Paints one element into `r` (its place on screen). `text` has its
// placeholders already filled; `font` may be null for the system's font.
void PaintElement(HDC dc, const ElementDef& e, const RECT& r, const LookDef* look,
                  const ElementLook& state, const std::wstring& text, HFONT font,
                  const PaintStyle& style);

}  // namespace mf::movie
