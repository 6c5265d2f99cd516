#pragma once
// What the grid tells its owner: layout initialisation and the user's edits
// (IGridEvents), and the owner-draw hook around every element it paints
// (IDrawFilter); and what the owner tells assistive technology of each row
// (IRowDescription).
#include <windows.h>

#include <optional>
#include <string>

#include "controls/grid/GridModel.h"
#include "controls/table/Table.h"

namespace mf::grid {

class Grid;

// One painted part of the grid.
struct UIElement {
  int type = 0;  // ElementType
  RECT rect{};   // in the coordinates of the drawing DC
  const UIElement* parent = nullptr;
  std::optional<grid::Cell> cell;  // the cell the element shows or lies in

  // This element or the nearest enclosing one of the type; none when absent.
  const UIElement* Find(int wanted) const noexcept {
    for (const UIElement* e = this; e; e = e->parent)
      if (e->type == wanted) return e;
    return nullptr;
  }
};

struct DrawInfo {
  HDC dc = nullptr;
  const UIElement& element;
};

// The owner-draw hook. Each Before* call may set `cancel` so that the grid
// leaves that part of the element undrawn.
class IDrawFilter {
 public:
  virtual ~IDrawFilter() = default;
  virtual void BeforeDraw(const DrawInfo& info, bool& cancel) = 0;
  virtual void BeforeDrawBackground(const DrawInfo& info, bool& cancel) = 0;
  virtual void BeforeDrawBorders(const DrawInfo& info, bool& cancel) = 0;
  virtual void BeforeDrawForeground(const DrawInfo& info, bool& cancel) = 0;
  virtual void AfterDraw(const DrawInfo& info) = 0;
  // The mouse is over the element; the handler may choose another cursor.
  virtual void BeforeSetCursor(const UIElement& element, HCURSOR& cursor) = 0;
};

class IGridEvents {
 public:
  virtual ~IGridEvents() = default;
  // The grid has taken a new data source and built its columns.
  virtual void InitializeLayout(Grid& grid) = 0;
  // The user is committing an edit. Raised for the user's edits only.
  virtual void BeforeCellUpdate(const Cell& cell, const table::Value& newValue, bool& cancel) = 0;
  virtual void AfterCellUpdate(const Cell& cell) = 0;
  // The user asks for a context menu at `screen`: a right click, or the
  // context-menu key or Shift+F10, which point at the active cell. A right
  // click on a row outside the selection has selected that row first.
  virtual void ContextMenu(Grid& /*grid*/, POINT /*screen*/) {}
  // A double click on a cell, before the grid would edit it; a handler that
  // acts on it sets `handled` and the cell is not edited.
  virtual void CellDoubleClick(const Cell& /*cell*/, bool& /*handled*/) {}
  // The user has dragged the right edge of the column's header.
  virtual void ColumnResized(const Column& /*column*/) {}
  // A key pressed in the grid, before the grid's own keys; a handler that
  // acts on it sets `handled` and the grid leaves the key alone.
  virtual void KeyDown(Grid& /*grid*/, WPARAM /*key*/, bool& /*handled*/) {}
};

// What a screen reader says of a row: the grid knows only its cells' texts,
// its owner knows what the row stands for. Without one, a row is named by
// its cells.
class IRowDescription {
 public:
  virtual ~IRowDescription() = default;
  virtual std::wstring RowName(size_t row) = 0;
  // Empty when the row has no value to tell.
  virtual std::wstring RowValue(size_t row) = 0;
};

}  // namespace mf::grid
