// The grid under the mouse and the keyboard: selection, editing, scrolling.
#include <gtest/gtest.h>

#include "common/WindowText.h"
#include "tests/controls/GridFixture.h"

using namespace mf;
using mf::test::GridFixture;

namespace {

using GridInput = GridFixture;

TEST_F(GridInput, ClicksSelectCellsRowsAndColumnsWithCtrlAndShift) {
  Bind(6);
  ClickCell(1, 1);
  ASSERT_EQ(grid.SelectedCellCount(), 1u);
  EXPECT_TRUE(grid.SelectedCell(0) == CellAt(1, 1));
  EXPECT_TRUE(grid.ActiveCell() == CellAt(1, 1));
  EXPECT_EQ(GetFocus(), grid.Hwnd());

  ClickCell(3, 2, MK_CONTROL);  // added, in order
  ASSERT_EQ(grid.SelectedCellCount(), 2u);
  EXPECT_TRUE(grid.SelectedCell(1) == CellAt(3, 2));
  ClickCell(1, 1, MK_CONTROL);  // toggled off
  ASSERT_EQ(grid.SelectedCellCount(), 1u);

  ClickCell(0, 0);
  ClickCell(1, 1, MK_SHIFT);  // the range from the anchor
  EXPECT_EQ(grid.SelectedCellCount(), 4u);
  EXPECT_TRUE(CellAt(1, 0).Selected());
  EXPECT_FALSE(CellAt(2, 0).Selected());

  ClickSelector(4, MK_CONTROL);  // a row beside the cells
  EXPECT_TRUE(RowAt(4).Selected());
  EXPECT_EQ(grid.SelectedCellCount(), 4u);
  ClickSelector(2);
  ClickSelector(5, MK_SHIFT);
  EXPECT_EQ(grid.SelectedRows().size(), 4u);
  EXPECT_EQ(grid.SelectedCellCount(), 0u);

  ClickHeader(2);
  EXPECT_TRUE(grid.Columns(2).Selected());
  EXPECT_TRUE(grid.SelectedRows().empty());
  ClickHeader(1, MK_CONTROL);
  EXPECT_TRUE(grid.Columns(1).Selected());
  EXPECT_TRUE(grid.Columns(2).Selected());
}

TEST_F(GridInput, DraggingOverCellsSelectsTheRange) {
  Bind(5);
  POINT from = CentreOf(0, 0), to = CentreOf(2, 1);
  SendMessageA(grid.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
  SendMessageA(grid.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  SendMessageA(grid.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  EXPECT_EQ(grid.SelectedCellCount(), 6u);
  SendMessageA(grid.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(from.x, from.y));  // button up: nothing
  EXPECT_EQ(grid.SelectedCellCount(), 6u);
}

TEST_F(GridInput, ArrowKeysMoveTheActiveCellAndShiftExtendsTheSelection) {
  Bind(5);
  ClickCell(0, 0);
  Key(VK_DOWN);
  Key(VK_RIGHT);
  EXPECT_TRUE(grid.ActiveCell() == CellAt(1, 1));
  ASSERT_EQ(grid.SelectedCellCount(), 1u);
  EXPECT_TRUE(grid.SelectedCell(0) == CellAt(1, 1));
  WithKeyDown(VK_SHIFT, [&] {
    Key(VK_DOWN);
    Key(VK_RIGHT);
  });
  EXPECT_EQ(grid.SelectedCellCount(), 4u);
  EXPECT_TRUE(CellAt(2, 2).Selected());
  Key(VK_UP);
  Key(VK_UP);
  Key(VK_UP);  // stops at the first row
  EXPECT_EQ(grid.ActiveCell()->RowIndex(), 0u);
  WithKeyDown(VK_CONTROL, [&] { Key(VK_END); });
  EXPECT_TRUE(grid.ActiveCell() == CellAt(4, 2));
  WithKeyDown(VK_CONTROL, [&] { Key('A'); });
  EXPECT_EQ(grid.SelectedRows().size(), 5u);
}

TEST_F(GridInput, F2AndDoubleClickEditOnlyEditableColumns) {
  Bind(3);
  grid.Columns(0).SetEditable(false);
  ClickCell(0, 0);
  Key(VK_F2);
  EXPECT_FALSE(grid.IsEditing());
  POINT at = CentreOf(1, 0);
  SendMessageA(grid.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  EXPECT_FALSE(grid.IsEditing());

  ClickCell(0, 1);
  Key(VK_F2);
  ASSERT_TRUE(grid.IsEditing());
  EXPECT_EQ(GetParent(grid.EditWindow()), grid.Hwnd());
  EXPECT_EQ(GetText(grid.EditWindow()), L"name 0");
  EXPECT_EQ(GetFocus(), grid.EditWindow());
  RECT cell{}, edit{};
  grid.GetCellRect(CellAt(0, 1), &cell);
  GetWindowRect(grid.EditWindow(), &edit);
  MapWindowPoints(nullptr, grid.Hwnd(), reinterpret_cast<POINT*>(&edit), 2);
  EXPECT_TRUE(EqualRect(&cell, &edit));
  Key(VK_ESCAPE, grid.EditWindow());
  EXPECT_FALSE(grid.IsEditing());

  at = CentreOf(2, 1);
  SendMessageA(grid.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  ASSERT_TRUE(grid.IsEditing());
  EXPECT_EQ(GetText(grid.EditWindow()), L"name 2");
  EXPECT_EQ(SendMessageA(grid.EditWindow(), EM_GETLIMITTEXT, 0, 0), 12);  // the column's width
}

TEST_F(GridInput, EnterCommitsThroughBothNotificationsAndEscapeAbandons) {
  Bind(3);
  ClickCell(1, 1);
  Key(VK_F2);
  SetText(grid.EditWindow(), L"renamed");
  Key(VK_RETURN, grid.EditWindow());
  EXPECT_FALSE(grid.IsEditing());
  EXPECT_EQ(GetFocus(), grid.Hwnd());
  ASSERT_EQ(log.edits.size(), 2u);
  EXPECT_EQ(log.edits[0].phase, "before");
  EXPECT_EQ(log.edits[0].value, L"renamed");
  EXPECT_EQ(log.edits[0].row, 1u);
  EXPECT_EQ(log.edits[1].phase, "after");
  EXPECT_EQ(table::ValueText(table->GetValue(1, 1)), L"renamed");

  log.edits.clear();
  Key(VK_F2);
  SetText(grid.EditWindow(), L"dropped");
  Key(VK_ESCAPE, grid.EditWindow());
  EXPECT_TRUE(log.edits.empty());
  EXPECT_EQ(CellAt(1, 1).Text(), L"renamed");

  Key(VK_F2);  // unchanged text: nothing to commit
  Key(VK_RETURN, grid.EditWindow());
  EXPECT_TRUE(log.edits.empty());

  log.cancel = true;
  Key(VK_F2);
  SetText(grid.EditWindow(), L"refused");
  Key(VK_RETURN, grid.EditWindow());
  ASSERT_EQ(log.edits.size(), 1u);  // asked, refused, never committed
  EXPECT_FALSE(grid.IsEditing());
  EXPECT_EQ(CellAt(1, 1).Text(), L"renamed");

  // A value the program writes raises no notification.
  log.edits.clear();
  CellAt(1, 1).SetValue(std::wstring(L"by program"));
  EXPECT_TRUE(log.edits.empty());
}

TEST_F(GridInput, AnIntegerCellTakesOnlyANumber) {
  Bind(2);
  ClickCell(0, 0);
  Key(VK_F2);
  SetText(grid.EditWindow(), L"abc");
  Key(VK_RETURN, grid.EditWindow());
  EXPECT_TRUE(grid.IsEditing());  // the user goes on typing
  EXPECT_TRUE(log.edits.empty());
  SetText(grid.EditWindow(), L"42");
  Key(VK_RETURN, grid.EditWindow());
  EXPECT_FALSE(grid.IsEditing());
  EXPECT_EQ(std::get<int32_t>(table->GetValue(0, 0)), 42);
}

TEST_F(GridInput, LosingTheFocusCommitsTheEdit) {
  Bind(2);
  ClickCell(0, 1);
  Key(VK_F2);
  SetText(grid.EditWindow(), L"elsewhere");
  SetFocus(host.Hwnd());
  ASSERT_TRUE(test::PumpUntil([&] { return !grid.IsEditing(); }));
  ASSERT_EQ(log.edits.size(), 2u);
  EXPECT_EQ(CellAt(0, 1).Text(), L"elsewhere");
}

TEST_F(GridInput, RebindingWhileEditingAbandonsTheEdit) {
  Bind(2);
  ClickCell(0, 1);
  Key(VK_F2);
  SetText(grid.EditWindow(), L"lost");
  grid.SetDataSource(test::MakeTable(2));
  EXPECT_FALSE(grid.IsEditing());
  test::PumpFor(50);
  EXPECT_TRUE(log.edits.empty());
}

TEST_F(GridInput, ScrollBarWheelAndTheFirstRowScrollRegion) {
  Bind(3);
  EXPECT_EQ(GetWindowLongPtrA(grid.Hwnd(), GWL_STYLE) & WS_VSCROLL, 0);
  Bind(40);
  EXPECT_NE(GetWindowLongPtrA(grid.Hwnd(), GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_TRUE(grid.Scroll(0, grid::RowScrollAction::LineDown));
  EXPECT_EQ(grid.TopRow(), 1u);
  grid.Scroll(0, grid::RowScrollAction::LineUp);
  grid.Scroll(0, grid::RowScrollAction::LineUp);
  EXPECT_EQ(grid.TopRow(), 0u);
  EXPECT_FALSE(grid.Scroll(1, grid::RowScrollAction::LineDown));

  UINT lines = 3;
  SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  ASSERT_GT(lines, 0u);
  SendMessageA(grid.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(grid.TopRow(), lines);  // toward the user: down the list
  SendMessageA(grid.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(grid.TopRow(), 0u);

  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(grid.Hwnd(), SB_VERT, &si);
  SendMessageA(grid.Hwnd(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(grid.TopRow(), si.nPage);
  SendMessageA(grid.Hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(grid.TopRow() + si.nPage, 40u);  // the last row shows at the bottom
  // A row scrolled out of view has no rectangle; the arrow keys bring it back.
  RECT r;
  EXPECT_FALSE(grid.GetCellRect(CellAt(0, 0), &r));
  grid.SetActiveCell(CellAt(grid.TopRow(), 0));
  WithKeyDown(VK_CONTROL, [&] { Key(VK_HOME); });
  EXPECT_EQ(grid.TopRow(), 0u);
}

}  // namespace
