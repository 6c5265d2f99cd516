#pragma once
// Plain types of the grid control: appearances, element types, scroll
// actions and the error numbers the grid raises to its owner.
#include <windows.h>

#include <optional>

namespace mf::grid {

// Colours are OLE colours: a plain RGB value, or a system colour when the
// high bit is set (low byte = GetSysColor index).
using Colour = DWORD;  // OLE_COLOR
constexpr Colour SystemColour(int index) noexcept {
  return 0x80000000u | static_cast<Colour>(index);
}

// Background and text colour; an unset colour is inherited.
struct Appearance {
  std::optional<Colour> back;
  std::optional<Colour> fore;
};

// The parts of a band that take a default appearance.
enum class BandPart { Header, RowSelector, Row, ActiveRow, Selected };

// Element types handed to the draw filter.
enum ElementType : int {
  kElementCaption = 2000,
  kElementHeader = 3000,
  kElementRowSelector = 4000,
  kElementCell = 6000,
  kElementText = 7000,  // the text inside a cell, header or caption
};

// Scroll actions of a row-scroll region.
enum class RowScrollAction : int { LineUp = 0, LineDown = 1, PageUp = 2, PageDown = 3 };

// Raised (as mf::AppError) for a column, row or cell that does not exist.
constexpr long kErrNoSuchItem = 9;
// Raised when the grid has no window to act on.
constexpr long kErrNoWindow = 91;

}  // namespace mf::grid
