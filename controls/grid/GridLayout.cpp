// Where things are in the grid: metrics, column and row frames, hit tests
// and scrolling.
#include <algorithm>
#include <cstdlib>

#include "common/Dpi.h"
#include "controls/grid/Grid.h"

namespace mf::grid {

void Grid::UpdateMetrics() {
  HDC dc = GetDC(Hwnd());
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(Hwnd(), dc);
  metrics_.rowHeight = tm.tmHeight + ScaleFor(5, dpi_);
  metrics_.headerHeight = tm.tmHeight + ScaleFor(7, dpi_);
  metrics_.captionHeight = caption_.empty() ? 0 : tm.tmHeight + ScaleFor(9, dpi_);
  metrics_.selectorWidth = MulDiv(14, dpi_, 96);
}

int Grid::CellTextTwips(const std::wstring& text) const {
  SIZE size{};
  if (HDC dc = GetDC(Hwnd())) {
    HGDIOBJ old = SelectObject(dc, font_);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(Hwnd(), dc);
  }
  // The text's margins (3 pixels a side) and the grid line; a little to spare.
  return MulDiv(size.cx + ScaleFor(10, dpi_), 1440, dpi_);
}

int Grid::ColumnRoomTwips() const {
  RECT rc{};
  GetClientRect(Hwnd(), &rc);
  int room = rc.right - DataLeft();
  // A shown vertical bar has already taken its room from the client area.
  if (!(GetWindowLongPtrA(Hwnd(), GWL_STYLE) & WS_VSCROLL))
    room -= MetricForDpi(SM_CXVSCROLL, dpi_);
  return MulDiv(std::max(0, room), 1440, dpi_);
}

int Grid::ColumnPixels(size_t column) const {
  return MulDiv(binding_->columns[column].widthTwips, dpi_, 1440);
}

int Grid::TotalColumnPixels() const {
  int total = 0;
  for (size_t c = 0; c < ColumnCount(); ++c) total += ColumnPixels(c);
  return total;
}

int Grid::DataLeft() const { return rowSelectors_ ? metrics_.selectorWidth : 0; }

int Grid::DataTop() const { return metrics_.captionHeight + metrics_.headerHeight; }

int Grid::ColumnLeft(size_t column) const {
  int x = DataLeft() - scrollX_;
  for (size_t c = 0; c < column; ++c) x += ColumnPixels(c);
  return x;
}

int Grid::VisibleRowCapacity() const {
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  return std::max(1, static_cast<int>(rc.bottom - DataTop()) / metrics_.rowHeight);
}

RECT Grid::RowFrame(size_t row) const {
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  int top = DataTop() + (static_cast<int>(row) - static_cast<int>(topRow_)) * metrics_.rowHeight;
  return {0, top, rc.right, top + metrics_.rowHeight};
}

RECT Grid::CellFrame(size_t row, size_t column) const {
  RECT r = RowFrame(row);
  r.left = ColumnLeft(column);
  r.right = r.left + ColumnPixels(column);
  return r;
}

RECT Grid::VisibleCellFrame(size_t row, size_t column) const {
  RECT rc, data, frame = CellFrame(row, column), visible{};
  GetClientRect(Hwnd(), &rc);
  data = {DataLeft(), DataTop(), rc.right, rc.bottom};
  IntersectRect(&visible, &frame, &data);
  return visible;
}

bool Grid::GetCellRect(const Cell& cell, RECT* rect) const {
  if (cell.Row().Owner() != this || cell.RowIndex() < topRow_) return false;
  RECT frame = VisibleCellFrame(cell.RowIndex(), cell.ColumnIndex());
  if (IsRectEmpty(&frame)) return false;
  *rect = CellFrame(cell.RowIndex(), cell.ColumnIndex());
  --rect->right;  // without the grid lines
  --rect->bottom;
  return true;
}

Grid::Hit Grid::HitTest(POINT pt) const {
  Hit hit;
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  if (!PtInRect(&rc, pt)) return hit;
  if (pt.y < metrics_.captionHeight) {
    hit.area = Hit::Caption;
    return hit;
  }
  auto columnAt = [&](int x) -> std::optional<size_t> {
    if (x < DataLeft()) return std::nullopt;
    for (size_t c = 0; c < ColumnCount(); ++c)
      if (x >= ColumnLeft(c) && x < ColumnLeft(c) + ColumnPixels(c)) return c;
    return std::nullopt;
  };
  if (pt.y < DataTop()) {
    if (auto c = columnAt(pt.x)) hit = {Hit::Header, 0, *c};
    return hit;
  }
  size_t row = topRow_ + static_cast<size_t>((pt.y - DataTop()) / metrics_.rowHeight);
  if (row >= RowCount()) return hit;
  if (pt.x < DataLeft()) return {Hit::RowSelector, row, 0};
  if (auto c = columnAt(pt.x)) hit = {Hit::CellArea, row, *c};
  return hit;
}

std::optional<size_t> Grid::ColumnEdgeAt(POINT pt) const {
  if (!binding_ || pt.y < metrics_.captionHeight || pt.y >= DataTop()) return std::nullopt;
  const int reach = MulDiv(3, dpi_, 96);
  // From the right: of two edges within reach, the later column's wins, so a
  // column dragged down to its narrowest can still be widened again.
  for (size_t c = ColumnCount(); c-- > 0;) {
    const int edge = ColumnLeft(c) + ColumnPixels(c);
    if (edge > DataLeft() && std::abs(pt.x - edge) <= reach) return c;
  }
  return std::nullopt;
}

void Grid::SetScrollBar(int bar, const SCROLLINFO& wanted) {
  // Setting a scroll bar repaints it; a rebinding mostly leaves it as it was.
  SCROLLINFO now{sizeof now, SIF_RANGE | SIF_PAGE | SIF_POS};
  if (GetScrollInfo(Hwnd(), bar, &now) && now.nMin == wanted.nMin && now.nMax == wanted.nMax &&
      now.nPage == wanted.nPage && now.nPos == wanted.nPos)
    return;
  SCROLLINFO si = wanted;
  SetScrollInfo(Hwnd(), bar, &si, TRUE);
}

void Grid::UpdateScrollBars() {
  if (!Hwnd()) return;
  // Showing one bar narrows the room for the other: settle in two passes.
  for (int pass = 0; pass < 2; ++pass) {
    RECT before;
    GetClientRect(Hwnd(), &before);
    int rows = static_cast<int>(RowCount());
    int capacity = VisibleRowCapacity();
    topRow_ =
        static_cast<size_t>(std::clamp(static_cast<int>(topRow_), 0, std::max(0, rows - capacity)));
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS};
    si.nMax = std::max(0, rows - 1);
    si.nPage = static_cast<UINT>(rows > capacity ? capacity : rows + 1);
    si.nPos = static_cast<int>(topRow_);
    SetScrollBar(SB_VERT, si);

    int total = binding_ ? TotalColumnPixels() : 0;
    int room = std::max(1, static_cast<int>(before.right) - DataLeft());
    scrollX_ = std::clamp(scrollX_, 0, std::max(0, total - room));
    si.nMax = std::max(0, total - 1);
    si.nPage = static_cast<UINT>(total > room ? room : total + 1);
    si.nPos = scrollX_;
    SetScrollBar(SB_HORZ, si);

    RECT after;
    GetClientRect(Hwnd(), &after);
    if (EqualRect(&before, &after)) break;
  }
}

void Grid::ScrollToRow(size_t top) {
  int rows = static_cast<int>(RowCount());
  size_t limit = static_cast<size_t>(std::max(0, rows - VisibleRowCapacity()));
  top = std::min(top, limit);
  if (top == topRow_) return;
  FinishEdit();
  topRow_ = top;
  SetScrollPos(Hwnd(), SB_VERT, static_cast<int>(topRow_), TRUE);
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::ScrollHorizontallyTo(int x) {
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  int room = std::max(1, static_cast<int>(rc.right) - DataLeft());
  int total = binding_ ? TotalColumnPixels() : 0;
  x = std::clamp(x, 0, std::max(0, total - room));
  if (x == scrollX_) return;
  FinishEdit();
  scrollX_ = x;
  SetScrollPos(Hwnd(), SB_HORZ, scrollX_, TRUE);
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::EnsureVisible(size_t row, size_t column) {
  size_t capacity = static_cast<size_t>(VisibleRowCapacity());
  if (row < topRow_)
    ScrollToRow(row);
  else if (row >= topRow_ + capacity)
    ScrollToRow(row + 1 - capacity);
  if (column >= ColumnCount()) return;
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  int left = ColumnLeft(column) + scrollX_ - DataLeft();  // unscrolled
  int width = ColumnPixels(column);
  int room = static_cast<int>(rc.right) - DataLeft();
  if (left < scrollX_)
    ScrollHorizontallyTo(left);
  else if (left + width > scrollX_ + room)
    ScrollHorizontallyTo(std::min(left, left + width - room));
}

bool Grid::Scroll(size_t region, RowScrollAction action) {
  if (region != 0 || !Hwnd()) return false;
  size_t page = static_cast<size_t>(VisibleRowCapacity());
  switch (action) {
    case RowScrollAction::LineUp:
      if (topRow_ > 0) ScrollToRow(topRow_ - 1);
      break;
    case RowScrollAction::LineDown:
      ScrollToRow(topRow_ + 1);
      break;
    case RowScrollAction::PageUp:
      ScrollToRow(topRow_ > page ? topRow_ - page : 0);
      break;
    case RowScrollAction::PageDown:
      ScrollToRow(topRow_ + page);
      break;
  }
  return true;
}

void Grid::OnVScroll(int code) {
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(Hwnd(), SB_VERT, &si);
  switch (code) {
    case SB_LINEUP:
      Scroll(0, RowScrollAction::LineUp);
      break;
    case SB_LINEDOWN:
      Scroll(0, RowScrollAction::LineDown);
      break;
    case SB_PAGEUP:
      Scroll(0, RowScrollAction::PageUp);
      break;
    case SB_PAGEDOWN:
      Scroll(0, RowScrollAction::PageDown);
      break;
    case SB_TOP:
      ScrollToRow(0);
      break;
    case SB_BOTTOM:
      ScrollToRow(RowCount());
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      ScrollToRow(static_cast<size_t>(std::max(0, si.nTrackPos)));
      break;
    default:
      break;
  }
}

void Grid::OnHScroll(int code) {
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(Hwnd(), SB_HORZ, &si);
  const int line = MulDiv(20, dpi_, 96);
  switch (code) {
    case SB_LINELEFT:
      ScrollHorizontallyTo(scrollX_ - line);
      break;
    case SB_LINERIGHT:
      ScrollHorizontallyTo(scrollX_ + line);
      break;
    case SB_PAGELEFT:
      ScrollHorizontallyTo(scrollX_ - static_cast<int>(si.nPage));
      break;
    case SB_PAGERIGHT:
      ScrollHorizontallyTo(scrollX_ + static_cast<int>(si.nPage));
      break;
    case SB_LEFT:
      ScrollHorizontallyTo(0);
      break;
    case SB_RIGHT:
      ScrollHorizontallyTo(si.nMax);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      ScrollHorizontallyTo(si.nTrackPos);
      break;
    default:
      break;
  }
}

void Grid::OnMouseWheel(int delta) {
  // Lines per notch as the user set them in the system (SPI_GETWHEELSCROLLLINES).
  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  if (lines == 0) return;
  wheelRemainder_ += delta;
  while (wheelRemainder_ >= WHEEL_DELTA || wheelRemainder_ <= -WHEEL_DELTA) {
    bool away = wheelRemainder_ > 0;  // turned away from the user: toward the top
    wheelRemainder_ += away ? -WHEEL_DELTA : WHEEL_DELTA;
    if (lines == WHEEL_PAGESCROLL) {
      Scroll(0, away ? RowScrollAction::PageUp : RowScrollAction::PageDown);
    } else {
      for (UINT i = 0; i < lines; ++i)
        Scroll(0, away ? RowScrollAction::LineUp : RowScrollAction::LineDown);
    }
  }
}

}  // namespace mf::grid
