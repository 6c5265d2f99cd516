// The grid's object model: binding, columns, rows, cells and selection.
#include <gtest/gtest.h>

#include "common/AppError.h"
#include "tests/controls/GridFixture.h"

using namespace mf;
using mf::test::GridFixture;

namespace {

using GridModel = GridFixture;

TEST_F(GridModel, BindingBuildsColumnsAndRowsAndRaisesLayoutInitialisation) {
  EXPECT_THROW(grid.Columns(0), AppError);  // no data source, no columns
  EXPECT_FALSE(grid.FirstRow());
  Bind(4);
  EXPECT_EQ(log.layouts, 1);
  ASSERT_EQ(grid.ColumnCount(), 3u);
  EXPECT_EQ(grid.Columns(1).Key(), L"Name");
  EXPECT_EQ(grid.Columns(1).Caption(), L"Name");
  EXPECT_THROW(grid.Columns(3), AppError);
  ASSERT_EQ(grid.RowCount(), 4u);

  // First to last and back through the siblings.
  grid::Row row = *grid.FirstRow();
  EXPECT_FALSE(row.HasPrevSibling());
  std::vector<std::wstring> names;
  for (;;) {
    names.push_back(row.Cells(1).Text());
    if (!row.HasNextSibling()) break;
    row = row.NextSibling();
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"name 0", L"name 1", L"name 2", L"name 3"}));
  EXPECT_TRUE(row == *grid.LastRow());
  EXPECT_THROW(row.NextSibling(), AppError);
  EXPECT_EQ(row.PrevSibling().Cells(0).Text(), L"3");
  EXPECT_TRUE(std::holds_alternative<int32_t>(row.Cells(0).Value()));
  EXPECT_EQ(row.Cells(2).Column().Key(), L"Status");
  EXPECT_THROW(row.Cells(3), AppError);

  grid.SetDataSource(nullptr);
  EXPECT_EQ(grid.ColumnCount(), 0u);
  EXPECT_FALSE(grid.LastRow());
  EXPECT_EQ(log.layouts, 1);  // none for "no data source"
}

TEST_F(GridModel, ATableWithTheSameColumnsKeepsTheLayoutAnotherStartsAfresh) {
  Bind(2);
  grid.Columns(1).SetCaption(L"Local name");
  grid.Columns(1).SetWidth(1800);
  grid.Columns(0).SetEditable(false);
  grid.SetDataSource(test::MakeTable(5));
  EXPECT_EQ(log.layouts, 2);
  EXPECT_EQ(grid.Columns(1).Caption(), L"Local name");
  EXPECT_EQ(grid.Columns(1).Width(), 1800);
  EXPECT_FALSE(grid.Columns(0).Editable());
  RECT r{};
  ASSERT_TRUE(grid.GetCellRect(grid.FirstRow()->Cells(1), &r));
  EXPECT_EQ(r.right - r.left, 1800 / 15 - 1);  // twips at 96 dpi, less the grid line

  auto other = std::make_shared<table::Table>(std::vector<table::Column>{
      {L"ID", table::ColumnType::Integer, 0}, {L"Other", table::ColumnType::VarChar, 5}});
  grid.SetDataSource(other);
  EXPECT_EQ(grid.Columns(1).Caption(), L"Other");
  EXPECT_TRUE(grid.Columns(0).Editable());

  // Without a data source the columns are gone: the next table starts afresh.
  grid.SetDataSource(test::MakeTable(1));
  grid.Columns(1).SetCaption(L"Local name");
  grid.SetDataSource(nullptr);
  grid.SetDataSource(test::MakeTable(1));
  EXPECT_EQ(grid.Columns(1).Caption(), L"Name");
}

TEST_F(GridModel, ReferencesKeptAcrossARebindingAddressTheOldTableAndRepaintNothing) {
  Bind(3);
  auto oldTable = table;
  grid::Row kept = grid.LastRow().value();
  EXPECT_TRUE(kept.IsShown());
  grid.SetDataSource(test::MakeTable(3));
  UpdateWindow(grid.Hwnd());
  EXPECT_FALSE(kept.IsShown());
  kept.Cells(2).SetValue(std::wstring(L"45"));
  EXPECT_EQ(table::ValueText(oldTable->GetValue(2, 2)), L"45");
  EXPECT_EQ(grid.LastRow()->Cells(2).Text(), L"s2");
  RECT update{};
  EXPECT_FALSE(GetUpdateRect(grid.Hwnd(), &update, FALSE));
  kept.SetSelected(true);
  EXPECT_TRUE(grid.SelectedRows().empty());
}

TEST_F(GridModel, SelectedCellsComeInSelectionOrderBesideSelectedRowsAndColumns) {
  Bind(5);
  CellAt(2, 1).SetSelected(true);
  CellAt(0, 2).SetSelected(true);
  CellAt(1, 0).SetSelected(true);
  CellAt(2, 1).SetSelected(true);  // already selected: keeps its place
  RowAt(3).SetSelected(true);
  RowAt(4).SetSelected(true);
  grid.Columns(2).SetSelected(true);
  ASSERT_EQ(grid.SelectedCellCount(), 3u);
  EXPECT_TRUE(grid.SelectedCell(0) == CellAt(2, 1));
  EXPECT_TRUE(grid.SelectedCell(1) == CellAt(0, 2));
  EXPECT_TRUE(grid.SelectedCell(2) == CellAt(1, 0));
  EXPECT_THROW(grid.SelectedCell(3), AppError);
  EXPECT_EQ(grid.SelectedRows().size(), 2u);
  EXPECT_TRUE(grid.Columns(2).Selected());
  EXPECT_FALSE(CellAt(3, 1).Selected());  // a selected row does not select its cells

  CellAt(0, 2).SetSelected(false);
  std::vector<grid::Cell> cells = grid.SelectedCells();
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_TRUE(cells[1] == CellAt(1, 0));

  grid.ClearSelection();
  EXPECT_EQ(grid.SelectedCellCount(), 0u);
  EXPECT_TRUE(grid.SelectedRows().empty());
  EXPECT_FALSE(grid.Columns(2).Selected());
}

TEST_F(GridModel, ResolvedAppearanceFollowsRowActiveRowAndSelection) {
  Bind(3);
  // Without band appearances: the system's window and highlight colours.
  EXPECT_EQ(CellAt(0, 1).ResolvedAppearance().back, grid::SystemColour(COLOR_WINDOW));
  CellAt(0, 1).SetSelected(true);
  EXPECT_EQ(CellAt(0, 1).ResolvedAppearance().fore, grid::SystemColour(COLOR_HIGHLIGHTTEXT));

  grid.SetBandAppearance(grid::BandPart::Row, {RGB(255, 255, 255), std::nullopt});
  grid.SetBandAppearance(grid::BandPart::ActiveRow, {RGB(255, 199, 0), std::nullopt});
  grid.SetBandAppearance(grid::BandPart::Selected, {RGB(0, 0, 0), RGB(255, 255, 255)});
  grid.SetActiveCell(CellAt(1, 0));
  grid::CellColours plain = CellAt(2, 2).ResolvedAppearance();
  EXPECT_EQ(plain.back, RGB(255, 255, 255));
  EXPECT_EQ(plain.fore, grid::SystemColour(COLOR_WINDOWTEXT));
  EXPECT_EQ(CellAt(1, 2).ResolvedAppearance().back, RGB(255, 199, 0));
  grid::CellColours selected = CellAt(0, 1).ResolvedAppearance();
  EXPECT_EQ(selected.back, RGB(0, 0, 0));
  EXPECT_EQ(selected.fore, RGB(255, 255, 255));
  RowAt(1).SetSelected(true);  // selection wins over the active row
  EXPECT_EQ(CellAt(1, 2).ResolvedAppearance().back, RGB(0, 0, 0));
  grid.Columns(2).SetSelected(true);
  EXPECT_EQ(CellAt(2, 2).ResolvedAppearance().back, RGB(0, 0, 0));
}

TEST_F(GridModel, GridLevelPropertiesAndVisibility) {
  Bind(1);
  grid.SetCaption(L"Downloads");
  EXPECT_EQ(grid.Caption(), L"Downloads");
  grid.SetBackColor(RGB(201, 211, 216));
  grid.SetBorderColor(RGB(39, 104, 146));
  EXPECT_EQ(grid.BackColor(), RGB(201, 211, 216));
  EXPECT_EQ(grid.BorderColor(), RGB(39, 104, 146));
  EXPECT_TRUE(grid.Visible());
  grid.SetVisible(false);
  EXPECT_FALSE(grid.Visible());
  EXPECT_FALSE(IsWindowVisible(grid.Hwnd()));
  grid.SetVisible(true);
  // Bringing to the front puts the grid above a sibling created after it.
  HWND sibling = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, host.Hwnd(),
                                 nullptr, nullptr, nullptr);
  SetWindowPos(sibling, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(host.Hwnd(), GW_CHILD), sibling);
  grid.BringToFront();
  EXPECT_EQ(GetWindow(host.Hwnd(), GW_CHILD), grid.Hwnd());
  DestroyWindow(sibling);
}

}  // namespace
