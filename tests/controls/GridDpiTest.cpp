// The grid drawn for a DPI: its font, rows, row selectors and column pixels
// (widths stay twips) grow with it, and the same cells stay in view.
#include <gtest/gtest.h>

#include "tests/controls/GridFixture.h"

using namespace mf;
using mf::test::GridFixture;

namespace {

class GridDpi : public GridFixture {};

TEST_F(GridDpi, RowsColumnsAndSelectorsScaleWithTheDpi) {
  Bind(3);
  grid.Columns(1).SetWidth(1440);  // one inch
  struct Expected {
    int dpi;
    int columnPixels, selectorWidth;
  };
  const Expected table[] = {{96, 96, 14}, {144, 144, 21}, {192, 192, 28}};
  int rowAt96 = 0;
  for (const Expected& e : table) {
    SCOPED_TRACE(e.dpi);
    grid.SetDpi(e.dpi);
    EXPECT_EQ(grid.Dpi(), e.dpi);
    RECT first{}, second{};
    ASSERT_TRUE(grid.GetCellRect(CellAt(0, 1), &first));
    ASSERT_TRUE(grid.GetCellRect(CellAt(1, 1), &second));
    EXPECT_EQ(first.right + 1 - first.left,
              e.columnPixels);  // the rectangle leaves out the grid line
    RECT id{};
    ASSERT_TRUE(grid.GetCellRect(CellAt(0, 0), &id));
    EXPECT_EQ(id.left, e.selectorWidth);
    // Rows are a line of the scaled font and scaled margins: in proportion, give or take the
    // font's rounding.
    const int row = second.top - first.top;
    if (e.dpi == 96) rowAt96 = row;
    EXPECT_NEAR(row, MulDiv(rowAt96, e.dpi, 96), 2);
    EXPECT_EQ(grid.Columns(1).Width(), 1440);
  }
}

}  // namespace
