// Painting. Everything is drawn into a buffer bitmap and copied to the
// window, so nothing flickers; only elements that touch the part being
// repainted are drawn, each through the owner-draw hook.
#include <algorithm>

#include "common/Dpi.h"
#include "controls/grid/Grid.h"

namespace mf::grid {
namespace {

HBRUSH DcBrush(HDC dc, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

void Fill(HDC dc, const RECT& r, COLORREF colour) { FillRect(dc, &r, DcBrush(dc, colour)); }

bool Touches(const RECT& a, const RECT& b) {
  RECT tmp;
  return IntersectRect(&tmp, &a, &b) != 0;
}

void DrawTextIn(HDC dc, const std::wstring& text, RECT r, COLORREF colour, UINT format) {
  if (text.empty()) return;
  COLORREF old = SetTextColor(dc, colour);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SetTextColor(dc, old);
}

// Lines between cells, in the colour of the band's headers' shadow.
constexpr int kLineColour = COLOR_BTNFACE;

}  // namespace

void Grid::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Hwnd(), &ps);
  if (dc) PaintTo(dc, ps.rcPaint);
  EndPaint(Hwnd(), &ps);
}

void Grid::OnPrintClient(HDC dc) {
  RECT rc;
  GetClientRect(Hwnd(), &rc);
  PaintTo(dc, rc);
}

HDC Grid::BufferFor(int width, int height) {
  if (bufferDc_ && bufferWidth_ >= width && bufferHeight_ >= height) return bufferDc_.get();
  HDC screen = GetDC(Hwnd());
  if (!screen) return nullptr;
  if (!bufferDc_) bufferDc_.reset(CreateCompatibleDC(screen));
  UniqueGdiObject bitmap(CreateCompatibleBitmap(screen, width, height));
  ReleaseDC(Hwnd(), screen);
  if (!bufferDc_ || !bitmap) return nullptr;
  SelectObject(bufferDc_.get(), bitmap.get());
  buffer_ = std::move(bitmap);  // the old bitmap is deselected above, then deleted
  bufferWidth_ = width;
  bufferHeight_ = height;
  return bufferDc_.get();
}

void Grid::PaintTo(HDC target, const RECT& area) {
  RECT client, clip;
  GetClientRect(Hwnd(), &client);
  if (!IntersectRect(&clip, &area, &client)) return;
  HDC dc = BufferFor(client.right, client.bottom);
  if (!dc) return;
  int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  Fill(dc, clip, ToRgb(backColour_));
  PaintCaption(dc, clip);
  PaintHeaders(dc, clip);
  for (size_t r = topRow_; r < RowCount(); ++r) {
    RECT frame = RowFrame(r);
    if (frame.top >= clip.bottom) break;
    if (frame.bottom > clip.top) PaintRow(dc, clip, r);
  }
  if (RowCount() == 0 && GetFocus() == Hwnd()) {
    // An empty grid that has the focus still shows it, around its rows' place.
    RECT rows{DataLeft(), DataTop(), client.right, client.bottom};
    InflateRect(&rows, -2, -2);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &rows);
  }
  RestoreDC(dc, saved);
  BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, dc, clip.left,
         clip.top, SRCCOPY);
}

void Grid::PaintFramedElement(HDC dc, UIElement& element, Colour back, Colour fore,
                              const std::wstring& text, UINT textFormat, bool raised) {
  DrawInfo info{dc, element};
  bool cancel = false;
  if (filter_) filter_->BeforeDraw(info, cancel);
  if (cancel) return;
  RECT r = element.rect;
  if (filter_) filter_->BeforeDrawBackground(info, cancel);
  if (!cancel) Fill(dc, r, ToRgb(back));
  cancel = false;
  if (filter_) filter_->BeforeDrawBorders(info, cancel);
  if (!cancel) {
    // Raised parts (headers, selectors) get a light and a dark edge; cells
    // get a line on their right and bottom.
    COLORREF shadow = ToRgb(SystemColour(raised ? COLOR_BTNSHADOW : kLineColour));
    Fill(dc, {r.right, r.top, r.right + 1, r.bottom + 1}, shadow);
    Fill(dc, {r.left, r.bottom, r.right + 1, r.bottom + 1}, shadow);
    if (raised) {
      COLORREF light = ToRgb(SystemColour(COLOR_BTNHIGHLIGHT));
      Fill(dc, {r.left, r.top, r.right, r.top + 1}, light);
      Fill(dc, {r.left, r.top, r.left + 1, r.bottom}, light);
    }
  }
  const int margin = ScaleFor(3, dpi_);
  UIElement textElement{
      kElementText, {r.left + margin, r.top, r.right - margin, r.bottom}, &element, element.cell};
  DrawInfo textInfo{dc, textElement};
  cancel = false;
  if (filter_) filter_->BeforeDrawForeground(textInfo, cancel);
  if (!cancel) DrawTextIn(dc, text, textElement.rect, ToRgb(fore), textFormat);
  if (filter_) filter_->AfterDraw(info);
}

void Grid::PaintCaption(HDC dc, const RECT& clip) {
  if (metrics_.captionHeight == 0) return;
  RECT client;
  GetClientRect(Hwnd(), &client);
  RECT frame{0, 0, client.right, metrics_.captionHeight};
  if (!Touches(frame, clip)) return;
  Appearance a = BandAppearance(BandPart::Header);
  UIElement e{kElementCaption, {frame.left, frame.top, frame.right - 1, frame.bottom - 1}};
  PaintFramedElement(dc, e, a.back.value_or(SystemColour(COLOR_BTNFACE)),
                     a.fore.value_or(SystemColour(COLOR_BTNTEXT)), caption_, DT_CENTER, true);
}

void Grid::PaintHeaders(HDC dc, const RECT& clip) {
  RECT client;
  GetClientRect(Hwnd(), &client);
  const int top = metrics_.captionHeight, bottom = DataTop();
  if (!Touches({0, top, client.right, bottom}, clip) || !binding_) return;
  Appearance a = BandAppearance(BandPart::Header);
  Colour back = a.back.value_or(SystemColour(COLOR_BTNFACE));
  Colour fore = a.fore.value_or(SystemColour(COLOR_BTNTEXT));
  Appearance sel = BandAppearance(BandPart::Selected);
  if (rowSelectors_) {
    RECT corner{0, top, DataLeft(), bottom};
    if (Touches(corner, clip)) Fill(dc, corner, ToRgb(back));
  }
  int saved = SaveDC(dc);
  IntersectClipRect(dc, DataLeft(), top, client.right, bottom);
  for (size_t c = 0; c < ColumnCount(); ++c) {
    RECT frame{ColumnLeft(c), top, ColumnLeft(c) + ColumnPixels(c), bottom};
    if (frame.left >= clip.right) break;
    if (frame.right <= DataLeft() || !Touches(frame, clip)) continue;
    bool selected = binding_->IsColumnSelected(c);
    UIElement e{kElementHeader, {frame.left, frame.top, frame.right - 1, frame.bottom - 1}};
    PaintFramedElement(dc, e, selected ? sel.back.value_or(SystemColour(COLOR_HIGHLIGHT)) : back,
                       selected ? sel.fore.value_or(SystemColour(COLOR_HIGHLIGHTTEXT)) : fore,
                       binding_->columns[c].caption, DT_LEFT, true);
  }
  RestoreDC(dc, saved);
}

void Grid::PaintRow(HDC dc, const RECT& clip, size_t row) {
  RECT client;
  GetClientRect(Hwnd(), &client);
  RECT frame = RowFrame(row);
  if (rowSelectors_) {
    RECT selector{0, frame.top, DataLeft(), frame.bottom};
    if (Touches(selector, clip)) PaintSelector(dc, row, selector);
  }
  int saved = SaveDC(dc);
  IntersectClipRect(dc, DataLeft(), DataTop(), client.right, client.bottom);
  for (size_t c = 0; c < ColumnCount(); ++c) {
    RECT cell = VisibleCellFrame(row, c);
    if (cell.left >= clip.right) break;
    if (IsRectEmpty(&cell) || !Touches(cell, clip)) continue;
    PaintCell(dc, row, c, CellFrame(row, c));
  }
  RestoreDC(dc, saved);
}

void Grid::PaintCell(HDC dc, size_t row, size_t column, const RECT& frame) {
  Cell cell(binding_, row, column);
  CellColours colours = ResolveCellColours(row, column);
  UIElement e{
      kElementCell, {frame.left, frame.top, frame.right - 1, frame.bottom - 1}, nullptr, cell};
  bool number = std::holds_alternative<int32_t>(binding_->table->GetValue(row, column));
  PaintFramedElement(dc, e, colours.back, colours.fore, cell.Text(), number ? DT_RIGHT : DT_LEFT,
                     false);
  if (active_ && *active_ == CellAddress{row, column} && GetFocus() == Hwnd()) {
    RECT focus = e.rect;
    InflateRect(&focus, -1, -1);
    COLORREF old = SetTextColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &focus);
    SetTextColor(dc, old);
  }
}

void Grid::PaintSelector(HDC dc, size_t row, const RECT& frame) {
  Appearance a =
      BandAppearance(binding_->IsRowSelected(row) ? BandPart::Selected : BandPart::RowSelector);
  bool selected = binding_->IsRowSelected(row);
  Colour back = a.back.value_or(SystemColour(selected ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
  Colour fore = a.fore.value_or(SystemColour(selected ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
  UIElement e{kElementRowSelector, {frame.left, frame.top, frame.right - 1, frame.bottom - 1}};
  PaintFramedElement(dc, e, back, fore, {}, DT_LEFT, true);
  if (active_ && active_->row == row) {
    // The active row's marker: a small triangle pointing at the row.
    int cy = (e.rect.top + e.rect.bottom) / 2, x = e.rect.left + 4;
    int h = std::max(3, metrics_.selectorWidth / 4);
    HGDIOBJ oldBrush = SelectObject(dc, DcBrush(dc, ToRgb(fore)));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, ToRgb(fore));
    POINT tri[3] = {{x, cy - h}, {x + h, cy}, {x, cy + h}};
    Polygon(dc, tri, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
  }
}

}  // namespace mf::grid
