// Mouse and keyboard, as users of Windows grids expect them: a click selects
// a cell, Ctrl adds to the selection, Shift selects a range from the anchor;
// the row selectors select whole rows and the headers whole columns; the
// arrow keys move the active cell; F2 or a double click edits it; a right
// click, the context-menu key or Shift+F10 asks the owner for its menu; a
// header's right edge drags the column's width; Tab moves on to the next
// control. The owner sees every key first (IGridEvents::KeyDown).
#include <algorithm>

#include "controls/grid/Grid.h"

namespace mf::grid {
namespace {

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

}  // namespace

void Grid::SelectCellRange(CellAddress from, CellAddress to) {
  for (size_t r = std::min(from.row, to.row); r <= std::max(from.row, to.row); ++r)
    for (size_t c = std::min(from.column, to.column); c <= std::max(from.column, to.column); ++c)
      binding_->SelectCell(r, c, true);
}

void Grid::SelectRowRange(size_t from, size_t to) {
  for (size_t r = std::min(from, to); r <= std::max(from, to); ++r) binding_->SelectRow(r, true);
}

void Grid::ClickCell(size_t row, size_t column, bool ctrl, bool shift) {
  CellAddress at{row, column};
  if (shift && anchor_) {
    if (!ctrl) binding_->ClearSelection();
    SelectCellRange(*anchor_, at);
  } else if (ctrl) {
    binding_->SelectCell(row, column, !binding_->IsCellSelected(row, column));
    anchor_ = at;
  } else {
    binding_->ClearSelection();
    binding_->SelectCell(row, column, true);
    anchor_ = at;
  }
  rowAnchor_ = row;
  SetActive(at);
  EnsureVisible(row, column);
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::ClickSelector(size_t row, bool ctrl, bool shift) {
  if (shift && rowAnchor_) {
    if (!ctrl) binding_->ClearSelection();
    SelectRowRange(*rowAnchor_, row);
  } else if (ctrl) {
    binding_->SelectRow(row, !binding_->IsRowSelected(row));
    rowAnchor_ = row;
  } else {
    binding_->ClearSelection();
    binding_->SelectRow(row, true);
    rowAnchor_ = row;
  }
  SetActive({row, active_ ? active_->column : 0});
  EnsureVisible(row, ColumnCount());
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::ClickHeader(size_t column, bool ctrl) {
  if (ctrl) {
    binding_->SelectColumn(column, !binding_->IsColumnSelected(column));
  } else {
    binding_->ClearSelection();
    binding_->SelectColumn(column, true);
  }
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::OnLButtonDown(POINT pt, WPARAM keys) {
  FinishEdit();  // clicking elsewhere commits an edit under way
  if (GetFocus() != Hwnd()) SetFocus(Hwnd());
  if (!binding_) return;
  if (std::optional<size_t> edge = ColumnEdgeAt(pt)) {
    drag_ = Drag::ColumnEdge;
    resizing_ = *edge;
    SetCapture(Hwnd());
    return;
  }
  Hit hit = HitTest(pt);
  bool ctrl = (keys & MK_CONTROL) != 0, shift = (keys & MK_SHIFT) != 0;
  switch (hit.area) {
    case Hit::CellArea:
      ClickCell(hit.row, hit.column, ctrl, shift);
      drag_ = ctrl ? Drag::None : Drag::Cells;
      break;
    case Hit::RowSelector:
      ClickSelector(hit.row, ctrl, shift);
      drag_ = ctrl ? Drag::None : Drag::Rows;
      break;
    case Hit::Header:
      ClickHeader(hit.column, ctrl);
      break;
    default:
      break;
  }
  dragTarget_ = CellAddress{hit.row, hit.column};
  if (drag_ != Drag::None) SetCapture(Hwnd());
}

void Grid::OnMouseMove(POINT pt) {
  if (drag_ == Drag::ColumnEdge && binding_) {
    ResizeColumnTo(pt.x);
    return;
  }
  if (drag_ == Drag::None || !binding_ || RowCount() == 0 || ColumnCount() == 0) return;
  // Dragging past an edge keeps selecting (and scrolls) toward that edge.
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  int y = std::clamp(static_cast<int>(pt.y), DataTop(),
                     std::max(DataTop(), static_cast<int>(rc.bottom) - 1));
  int offset = (y - DataTop()) / metrics_.rowHeight + (pt.y < DataTop() ? -1 : 0) +
               (pt.y >= rc.bottom ? 1 : 0);
  size_t row = static_cast<size_t>(
      std::clamp(static_cast<int>(topRow_) + offset, 0, static_cast<int>(RowCount()) - 1));
  size_t column = ColumnCount() - 1;
  for (size_t c = 0; c < ColumnCount(); ++c)
    if (pt.x < ColumnLeft(c) + ColumnPixels(c)) {
      column = c;
      break;
    }
  CellAddress target{row, drag_ == Drag::Rows ? size_t{0} : column};
  if (dragTarget_ && *dragTarget_ == target) return;
  dragTarget_ = target;
  binding_->ClearSelection();
  if (drag_ == Drag::Rows && rowAnchor_)
    SelectRowRange(*rowAnchor_, row);
  else if (drag_ == Drag::Cells && anchor_)
    SelectCellRange(*anchor_, target);
  SetActive({row, drag_ == Drag::Rows && active_ ? active_->column : column});
  EnsureVisible(row, drag_ == Drag::Rows ? ColumnCount() : column);
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::OnLButtonUp() {
  if (drag_ == Drag::None) return;
  const bool resized = drag_ == Drag::ColumnEdge;
  drag_ = Drag::None;
  dragTarget_.reset();
  if (GetCapture() == Hwnd()) ReleaseCapture();
  if (resized && binding_ && resizing_ < ColumnCount() && events_)
    events_->ColumnResized(Column(binding_, resizing_));
}

void Grid::ResizeColumnTo(int x) {
  if (resizing_ >= ColumnCount()) return;
  // Never narrower than a few pixels, so the edge can still be found.
  const int pixels = std::max(MulDiv(8, dpi_, 96), x - ColumnLeft(resizing_));
  const int twips = MulDiv(pixels, 1440, dpi_);
  if (binding_->columns[resizing_].widthTwips == twips) return;
  binding_->columns[resizing_].widthTwips = twips;
  OnLayoutChanged();
}

void Grid::OnLButtonDblClk(POINT pt) {
  if (!binding_) return;
  Hit hit = HitTest(pt);
  if (hit.area != Hit::CellArea) return;
  SetActive({hit.row, hit.column});
  bool handled = false;
  if (events_) events_->CellDoubleClick(Cell(binding_, hit.row, hit.column), handled);
  if (!handled) BeginEdit();
}

bool Grid::InSelection(size_t row) const {
  if (binding_->IsRowSelected(row)) return true;
  for (size_t c = 0; c < ColumnCount(); ++c)
    if (binding_->IsCellSelected(row, c) || binding_->IsColumnSelected(c)) return true;
  return false;
}

// As in Explorer: a right click on a row outside the selection selects that
// row alone; on a selected row the selection stays for the menu to act on.
void Grid::OnRButtonDown(POINT pt) {
  FinishEdit();
  if (GetFocus() != Hwnd()) SetFocus(Hwnd());
  if (!binding_) return;
  Hit hit = HitTest(pt);
  if (hit.area == Hit::CellArea && !InSelection(hit.row))
    ClickCell(hit.row, hit.column, false, false);
  if (hit.area == Hit::RowSelector && !InSelection(hit.row)) ClickSelector(hit.row, false, false);
}

void Grid::OnContextMenu(POINT screen) {
  if (!events_) return;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: below the active cell, or at the top of the rows.
    RECT cell{};
    std::optional<grid::Cell> active = ActiveCell();
    POINT at{DataLeft(), DataTop()};
    if (active && GetCellRect(*active, &cell)) at = {cell.left, cell.bottom};
    ClientToScreen(Hwnd(), &at);
    screen = at;
  }
  events_->ContextMenu(*this, screen);
}

void Grid::MoveActive(int dRow, int dColumn, bool extend, bool keepSelection) {
  if (!binding_ || RowCount() == 0 || ColumnCount() == 0) return;
  CellAddress from = active_.value_or(CellAddress{topRow_, 0});
  if (!active_) dRow = dColumn = 0;  // the first key only shows where the grid stands
  CellAddress to{static_cast<size_t>(std::clamp(static_cast<long long>(from.row) + dRow, 0LL,
                                                static_cast<long long>(RowCount()) - 1)),
                 static_cast<size_t>(std::clamp(static_cast<long long>(from.column) + dColumn, 0LL,
                                                static_cast<long long>(ColumnCount()) - 1))};
  if (extend && anchor_) {
    binding_->ClearSelection();
    SelectCellRange(*anchor_, to);
  } else if (!keepSelection) {
    binding_->ClearSelection();
    binding_->SelectCell(to.row, to.column, true);
    anchor_ = to;
    rowAnchor_ = to.row;
  }
  SetActive(to);
  EnsureVisible(to.row, to.column);
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::OnFocusChanged(bool gained) {
  if (gained && !active_ && binding_ && RowCount() > 0 && ColumnCount() > 0)
    SetActive({std::min(topRow_, RowCount() - 1), 0});
  if (active_) OnCellChanged(active_->row, active_->column);    // the focus rectangle
  if (RowCount() == 0) InvalidateRect(Hwnd(), nullptr, FALSE);  // the empty grid's
}

void Grid::LeaveByTab(bool backwards) {
  // As a dialog's controls do; an owner that is a dialog moves the focus itself.
  if (HWND parent = GetParent(Hwnd())) SendMessageA(parent, WM_NEXTDLGCTL, backwards, FALSE);
}

bool Grid::OnKeyDown(WPARAM key) {
  const bool ctrl = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT);
  const int page = VisibleRowCapacity();
  constexpr int kFar = 1 << 20;
  bool handled = false;
  if (events_) events_->KeyDown(*this, key, handled);
  if (handled) return true;
  switch (key) {
    case VK_TAB:
      LeaveByTab(shift);
      return true;
    case VK_UP:
      MoveActive(-1, 0, shift, ctrl);
      return true;
    case VK_DOWN:
      MoveActive(1, 0, shift, ctrl);
      return true;
    case VK_LEFT:
      MoveActive(0, -1, shift, ctrl);
      return true;
    case VK_RIGHT:
      MoveActive(0, 1, shift, ctrl);
      return true;
    case VK_PRIOR:
      MoveActive(-page, 0, shift, ctrl);
      return true;
    case VK_NEXT:
      MoveActive(page, 0, shift, ctrl);
      return true;
    case VK_HOME:
      MoveActive(ctrl ? -kFar : 0, -kFar, shift, false);
      return true;
    case VK_END:
      MoveActive(ctrl ? kFar : 0, kFar, shift, false);
      return true;
    case VK_F2:
      BeginEdit();
      return true;
    case VK_SPACE:
      if (!ctrl || !active_ || !binding_) return false;
      binding_->SelectCell(active_->row, active_->column,
                           !binding_->IsCellSelected(active_->row, active_->column));
      OnCellChanged(active_->row, active_->column);
      return true;
    case 'A':
      if (!ctrl || !binding_) return false;
      for (size_t r = 0; r < RowCount(); ++r) binding_->SelectRow(r, true);
      InvalidateRect(Hwnd(), nullptr, FALSE);
      return true;
    default:
      return false;
  }
}

bool Grid::OnSetCursor() {
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(Hwnd(), &pt);
  if (drag_ == Drag::ColumnEdge || (binding_ && ColumnEdgeAt(pt))) {
    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZEWE)));
    return true;
  }
  if (!filter_) return false;
  Hit hit = HitTest(pt);
  UIElement element;
  if (hit.area == Hit::CellArea) {
    element.type = kElementCell;
    element.cell.emplace(binding_, hit.row, hit.column);
    GetCellRect(*element.cell, &element.rect);
  } else if (hit.area == Hit::Header) {
    element.type = kElementHeader;
  } else if (hit.area == Hit::RowSelector) {
    element.type = kElementRowSelector;
  } else if (hit.area == Hit::Caption) {
    element.type = kElementCaption;
  }
  HCURSOR cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  filter_->BeforeSetCursor(element, cursor);
  SetCursor(cursor);
  return true;
}

}  // namespace mf::grid
