#pragma once
// Painting of the Download grid's progress cells.
#include <windows.h>

#include <cstdint>
#include <optional>

#include "controls/grid/GridEvents.h"
#include "controls/grid/GridTypes.h"

namespace mf::modGrid {

// Paints one progress cell: a bar of `barColour` over value % of the cell
// on `backColour`, with the percentage centred and readable on both parts.
// A selected cell is painted whole in its own selection colours. Every
// setting of the DC is restored and every object made here deleted.
void DrawProgressCell(const grid::DrawInfo& info, int32_t value, grid::Colour barColour,
                      grid::Colour backColour, bool drawText);

// A colour that may name a system colour, as plain RGB (OleTranslateColor);
// black when it cannot be translated.
COLORREF TranslateColor(grid::Colour colour);

template <typename T>
constexpr T MaxOf(T a, T b) {
  return a > b ? a : b;
}
template <typename T>
constexpr T MinOf(T a, T b) {
  return a < b ? a : b;
}

// The cell itself, its column or its row is selected.
bool IsCellSelected(const grid::Cell& cell);

// A numeric cell value as a 32-bit integer, rounded to nearest with halves
// to even; none for a value that is not a number or does not fit.
std::optional<int32_t> NumericValue(const table::Value& value);

}  // namespace mf::modGrid
