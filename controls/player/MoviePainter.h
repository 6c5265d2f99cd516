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

COLORREF ToColorRef(uint32_t rgb);

// The colours of a look in a state; unset colours fall back to the look's
// normal ones. Without a look, the defaults.
StateColors Resolve(const LookDef* look, LookState state, const StateColors& defaults);

void FillRounded(HDC dc, const RECT& r, int radius, const Color& fill, const Color& border);
void DrawGlyph(HDC dc, Glyph glyph, const RECT& r, COLORREF color);

// Paints one element into `r` (its place on screen). `text` has its
// placeholders already filled; `font` may be null for the system's font.
void PaintElement(HDC dc, const ElementDef& e, const RECT& r, const LookDef* look, const ElementLook& state,
                  const std::wstring& text, HFONT font);

}  // namespace mf::movie
