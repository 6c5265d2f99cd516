// What the grid paints, and how much: pixels of the band appearances, the
// owner-draw hook around every element, one cell repainted per value write.
#include <gtest/gtest.h>

#include "tests/controls/GridFixture.h"
#include "tests/controls/Pixels.h"

using namespace mf;
using mf::test::GridFixture;
using mf::test::Pixels;

namespace {

class GridPaint : public GridFixture {
 protected:
  RECT ClientRect() const {
    RECT rc;
    GetClientRect(grid.Hwnd(), &rc);
    return rc;
  }
  RECT RectOf(size_t row, size_t column) const {
    RECT r{};
    EXPECT_TRUE(grid.GetCellRect(CellAt(row, column), &r));
    return r;
  }
  void Capture(Pixels& pixels) { test::PrintClient(grid.Hwnd(), pixels); }
  test::CountingFilter filter;
};

TEST_F(GridPaint, BandAppearancesAndTheGridBackgroundArePainted) {
  Bind(3);
  grid.SetBackColor(RGB(201, 211, 216));
  grid.SetBandAppearance(grid::BandPart::Row, {RGB(255, 255, 255), std::nullopt});
  grid.SetBandAppearance(grid::BandPart::Header, {RGB(60, 117, 157), RGB(255, 255, 255)});
  grid.SetBandAppearance(grid::BandPart::RowSelector, {RGB(60, 117, 157), std::nullopt});
  grid.SetBandAppearance(grid::BandPart::Selected, {RGB(0, 0, 0), RGB(255, 255, 255)});
  CellAt(1, 2).SetSelected(true);
  RECT client = ClientRect();
  Pixels px(client.right, client.bottom);
  Capture(px);
  RECT plain = RectOf(0, 2), selected = RectOf(1, 2), last = RectOf(2, 1);
  EXPECT_EQ(px.At(plain.right - 2, plain.top + 1), RGB(255, 255, 255));
  EXPECT_EQ(px.At(selected.right - 2, selected.top + 1), RGB(0, 0, 0));
  EXPECT_GT(px.Count(selected, RGB(255, 255, 255)), 0);  // its text in the selection text colour
  EXPECT_GT(px.Count(plain, GetSysColor(COLOR_WINDOWTEXT)), 0);
  EXPECT_EQ(px.At(plain.left + 5, plain.top - 4), RGB(60, 117, 157));     // header
  EXPECT_EQ(px.At(4, plain.top + 4), RGB(60, 117, 157));                  // row selector
  EXPECT_EQ(px.At(10, last.bottom + 10), RGB(201, 211, 216));             // below the rows
  EXPECT_EQ(px.At(client.right - 2, plain.top + 1), RGB(201, 211, 216));  // right of the columns
}

TEST_F(GridPaint, TheBorderIsDrawnInTheBorderColourAroundTheClientArea) {
  Bind(2);
  grid.SetBorderColor(RGB(39, 104, 146));
  RedrawWindow(grid.Hwnd(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  RECT window, client;
  GetWindowRect(grid.Hwnd(), &window);
  GetClientRect(grid.Hwnd(), &client);
  EXPECT_EQ(client.right, window.right - window.left - 2);
  EXPECT_EQ(client.bottom, window.bottom - window.top - 2);
  HDC dc = GetWindowDC(grid.Hwnd());
  EXPECT_EQ(GetPixel(dc, 0, 10), RGB(39, 104, 146));
  EXPECT_EQ(GetPixel(dc, 10, window.bottom - window.top - 1), RGB(39, 104, 146));
  ReleaseDC(grid.Hwnd(), dc);
}

TEST_F(GridPaint, TheDrawFilterSeesEveryPhaseOfEveryCellWithItsRectangle) {
  Bind(3);
  grid.SetDrawFilter(&filter);
  UpdateWindow(grid.Hwnd());
  ASSERT_EQ(filter.CellBackgrounds(), 9);
  int headers = 0;
  for (const auto& d : filter.backgrounds) {
    headers += d.type == grid::kElementHeader;
    if (d.type != grid::kElementCell) continue;
    RECT expected = RectOf(d.row, d.column);
    EXPECT_TRUE(EqualRect(&d.rect, &expected)) << d.row << "," << d.column;
  }
  EXPECT_EQ(headers, 3);
  EXPECT_EQ(filter.befores, static_cast<int>(filter.backgrounds.size()));
  EXPECT_EQ(filter.borders, filter.befores);
  EXPECT_EQ(filter.afters, filter.befores);
  // The foreground of a cell is its text, an element inside the cell.
  int cellTexts = 0;
  for (const auto& d : filter.foregrounds) cellTexts += d.type == grid::kElementText && d.row < 3;
  EXPECT_GE(cellTexts, 9);
}

TEST_F(GridPaint, CancellingTheBackgroundAndForegroundLeavesTheCellToTheFilter) {
  Bind(2);
  filter.ownColumn = 1;
  grid.SetDrawFilter(&filter);
  RECT client = ClientRect();
  Pixels px(client.right, client.bottom);
  Capture(px);
  RECT own = RectOf(0, 1), other = RectOf(0, 2);
  long area = (own.right - own.left) * (own.bottom - own.top);
  EXPECT_EQ(px.Count(own, filter.ownColour), area);  // no text over it either
  EXPECT_EQ(px.Count(other, filter.ownColour), 0);
}

TEST_F(GridPaint, AValueWrittenByTheProgramRepaintsThatCellOnly) {
  Bind(8);
  grid.SetDrawFilter(&filter);
  UpdateWindow(grid.Hwnd());
  filter.Reset();
  CellAt(5, 2).SetValue(std::wstring(L"46"));
  RECT update{}, cell = RectOf(5, 2);
  ASSERT_TRUE(GetUpdateRect(grid.Hwnd(), &update, FALSE));
  RECT frame{cell.left, cell.top, cell.right + 1, cell.bottom + 1};  // with its grid lines
  EXPECT_TRUE(EqualRect(&update, &frame));
  UpdateWindow(grid.Hwnd());
  ASSERT_EQ(filter.backgrounds.size(), 1u);
  EXPECT_EQ(filter.backgrounds[0].type, grid::kElementCell);
  EXPECT_EQ(filter.backgrounds[0].row, 5u);
  EXPECT_EQ(filter.backgrounds[0].column, 2u);
  EXPECT_EQ(filter.foregrounds.size(), 1u);

  // A row out of view is not repainted at all.
  Bind(60);
  grid.SetDrawFilter(&filter);
  UpdateWindow(grid.Hwnd());
  filter.Reset();
  CellAt(55, 2).SetValue(std::wstring(L"47"));
  EXPECT_FALSE(GetUpdateRect(grid.Hwnd(), &update, FALSE));
}

TEST_F(GridPaint, SelectingACellRepaintsItsCellAndARowItsRow) {
  Bind(5);
  grid.SetDrawFilter(&filter);
  UpdateWindow(grid.Hwnd());
  filter.Reset();
  CellAt(2, 1).SetSelected(true);
  UpdateWindow(grid.Hwnd());
  EXPECT_EQ(filter.CellBackgrounds(), 1);
  filter.Reset();
  RowAt(3).SetSelected(true);
  UpdateWindow(grid.Hwnd());
  EXPECT_EQ(filter.CellBackgrounds(), 3);
}

}  // namespace
