// The list commands on the main window, driven as the user drives them:
// selections made with the mouse in the grid, the hidden buttons' clicks.
#include <gtest/gtest.h>

#include "common/WindowText.h"
#include "downloadlist/Vocabulary.h"
#include "tests/downloadlist/FormFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;

namespace {

using ListCommands = test::FormFixture;

TEST_F(ListCommands, ClearCompleteRemovesItems2And4Of5AndRenumbersTheRest) {
  Fill({L"Waiting", L"Complete", L"ERROR", L"Complete", L"45"});
  PressButton(Controls(form).cmdClear);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(1), Url(3), Url(5)}));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(app.list.Items()[i].ID, static_cast<int16_t>(i + 1));
  EXPECT_EQ(GridRows(),
            (std::vector<std::wstring>{L"1 " + Url(1), L"2 " + Url(3), L"3 " + Url(5)}));
  EXPECT_TRUE(app.gridView.GridFormatted);
  EXPECT_EQ(DownloadButton(), L"");  // untouched while items remain
}

TEST_F(ListCommands, ClearCompleteOnAnEmptyGridDoesNothingNotEvenARebuild) {
  app.gridView.ClearComplete();
  EXPECT_EQ(DownloadButton(), L"");
  EXPECT_FALSE(app.gridView.DownloadGrid.DataSource());
}

TEST_F(ListCommands, RemoveSelectedTakesCellsOfRows2And3AndRow5ThroughItsSelector) {
  Fill({L"Waiting", L"Waiting", L"Waiting", L"Waiting", L"Waiting", L"Waiting"});
  ClickCell(1, DownloadList::colFileName);
  ClickCell(2, DownloadList::colFileSize, MK_CONTROL);
  ClickSelector(4, MK_CONTROL);
  PressButton(Controls(form).cmdRemoveSelected);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(1), Url(4), Url(6)}));
  EXPECT_EQ(GridRows(),
            (std::vector<std::wstring>{L"1 " + Url(1), L"2 " + Url(4), L"3 " + Url(6)}));
  EXPECT_EQ(app.gridView.DownloadGrid.SelectedCellCount(), 0u);  // a new table, no selection
}

TEST_F(ListCommands, RemovingTheLastItemsDisablesTheDownloadButtonAndTheNextAddLaysOutAgain) {
  Fill({L"Complete", L"Complete"});
  ASSERT_TRUE(app.gridView.GridFormatted);
  const int addressWidth = app.gridView.DownloadGrid.Columns(1).Width();
  PressButton(Controls(form).cmdClear);
  EXPECT_TRUE(app.list.IsListEmpty());
  EXPECT_EQ(DownloadButton(), L"0");
  EXPECT_FALSE(app.gridView.GridFormatted);
  EXPECT_FALSE(app.gridView.DownloadGrid.DataSource());
  EXPECT_EQ(app.gridView.DownloadGrid.RowCount(), 0u);

  app.gridView.AddURLToList(Url(9));
  EXPECT_EQ(DownloadButton(), L"1");
  EXPECT_TRUE(app.gridView.GridFormatted);
  ASSERT_EQ(app.gridView.DownloadGrid.ColumnCount(), 5u);
  EXPECT_EQ(app.gridView.DownloadGrid.Columns(1).Caption(), L"Video URL");
  EXPECT_EQ(app.gridView.DownloadGrid.Columns(1).Width(), addressWidth);
  EXPECT_TRUE(app.gridView.DownloadGrid.Columns(2).Editable());
  EXPECT_EQ(app.gridView.DownloadGrid.DrawFilter(), &app.gridView);

  // Removing through the selection empties it the same way.
  ClickSelector(0);
  app.gridView.RemoveSelected();
  EXPECT_EQ(DownloadButton(), L"0");
  EXPECT_FALSE(app.gridView.GridFormatted);
  EXPECT_EQ(app.gridView.DownloadGrid.RowCount(), 0u);
}

TEST_F(ListCommands, MovingTheFirstUpOrTheLastDownChangesNothingButRebuilds) {
  Fill({L"Waiting", L"Waiting", L"Waiting"});
  ClickCell(0, DownloadList::colVideoURL);
  auto shown = app.gridView.DownloadGrid.DataSource();
  PressButton(Controls(form).cmdUp);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(1), Url(2), Url(3)}));
  EXPECT_NE(app.gridView.DownloadGrid.DataSource(), shown);
  EXPECT_EQ(app.gridView.DownloadGrid.SelectedCellCount(), 0u);

  ClickCell(2, DownloadList::colStatus);
  shown = app.gridView.DownloadGrid.DataSource();
  PressButton(Controls(form).cmdDown);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(1), Url(2), Url(3)}));
  EXPECT_NE(app.gridView.DownloadGrid.DataSource(), shown);
  EXPECT_EQ(app.gridView.DownloadGrid.SelectedCellCount(), 0u);
}

TEST_F(ListCommands, MovesTakeOnlyTheFirstSelectedCellsItem) {
  Fill({L"Waiting", L"Waiting", L"Waiting", L"Waiting"});
  ClickCell(2, DownloadList::colFileName);
  ClickCell(3, DownloadList::colFileName, MK_CONTROL);
  PressButton(Controls(form).cmdUp);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(1), Url(3), Url(2), Url(4)}));
  ClickCell(0, DownloadList::colID);
  PressButton(Controls(form).cmdDown);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(3), Url(1), Url(2), Url(4)}));
  EXPECT_EQ(GridRows()[0], L"1 " + Url(3));
  // A selected row alone is not a selected cell: nothing moves.
  ClickSelector(3);
  PressButton(Controls(form).cmdUp);
  EXPECT_EQ(ListUrls()[3], Url(4));
}

TEST_F(ListCommands, SelectAllSelectsEveryRowAndLeavesTheListAlone) {
  app.gridView.SelectAll();  // empty grid: nothing happens
  EXPECT_TRUE(app.gridView.DownloadGrid.SelectedRows().empty());
  Fill({L"Waiting", L"Complete", L"45"});
  auto shown = app.gridView.DownloadGrid.DataSource();
  PressButton(Controls(form).cmdSelectAll);
  EXPECT_EQ(app.gridView.DownloadGrid.SelectedRows().size(), 3u);
  EXPECT_EQ(app.gridView.DownloadGrid.DataSource(), shown);  // no rebuild
  EXPECT_EQ(app.list.Items().size(), 3u);
}

TEST_F(ListCommands, AddTakesTheTextBoxMarksUnsupportedAddressesAndIgnoresRepeats) {
  SetText(Controls(form).txtURL, Url(1));
  PressButton(Controls(form).cmdAdd2List);
  PressButton(Controls(form).cmdAdd2List);  // the same address again
  ASSERT_EQ(app.list.Items().size(), 1u);
  const DownloadItem& item = app.list.Items()[0];
  EXPECT_EQ(NameText(item), vocab::kAutoDetect);
  EXPECT_EQ(StatusText(item), vocab::kWaiting);
  EXPECT_EQ(SizeText(item), vocab::kUnknownSize);
  EXPECT_EQ(DownloadButton(), L"1");
  EXPECT_TRUE(app.gridView.AddURLToList(Url(1)));  // a repeat still reports success

  EXPECT_TRUE(app.gridView.AddURLToList(L"ftp://example.com/clip"));
  ASSERT_EQ(app.list.Items().size(), 2u);
  EXPECT_EQ(StatusText(app.list.Items()[1]), vocab::kLinkNotSupported);
  EXPECT_EQ(NameText(app.list.Items()[1]), vocab::kNameError);
  EXPECT_EQ(SizeText(app.list.Items()[1]), vocab::kUnknownSize);
  EXPECT_EQ(GridRows().size(), 2u);
  EXPECT_EQ(Cell(1, DownloadList::colStatus).Text(), vocab::kLinkNotSupported);
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ListCommands, RenamingKeepsACleanNameInGridAndListAndRefusesAnUnusableOne) {
  Fill({L"Waiting", L"Waiting"});
  auto rename = [&](const std::wstring& typed) {
    ClickCell(1, DownloadList::colFileName);
    SendMessageA(app.gridView.DownloadGrid.Hwnd(), WM_KEYDOWN, VK_F2, 0);
    HWND edit = app.gridView.DownloadGrid.EditWindow();
    ASSERT_NE(edit, nullptr);
    SetText(edit, typed);
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(app.gridView.DownloadGrid.IsEditing());
  };
  rename(L"??**||");
  EXPECT_EQ(Cell(1, DownloadList::colFileName).Text(), L"file2.flv");
  EXPECT_EQ(app.list.Items()[1].FileName, L"file2.flv");

  rename(L"my:clip*<1>.flv");
  EXPECT_EQ(Cell(1, DownloadList::colFileName).Text(), L"myclip1.flv");
  EXPECT_EQ(app.list.Items()[1].FileName, L"myclip1.flv");
  EXPECT_EQ(app.list.Items()[0].FileName, L"file1.flv");

  // Only the FileName column takes typing.
  ClickCell(1, DownloadList::colStatus);
  SendMessageA(app.gridView.DownloadGrid.Hwnd(), WM_KEYDOWN, VK_F2, 0);
  EXPECT_FALSE(app.gridView.DownloadGrid.IsEditing());
}

TEST_F(ListCommands, AnAddDuringADownloadKeepsCurrentRowOnTheRunningItem) {
  Fill({L"Complete", L"45", L"Waiting"});
  app.queue.IsDownloading = true;
  app.ShowRunning(app.list.At(1)->Key);
  app.gridView.LocateCurrentRow();
  ASSERT_TRUE(app.gridView.CurrentRow);
  grid::Row before = *app.gridView.CurrentRow;
  app.gridView.AddURLToList(Url(7));
  ASSERT_TRUE(app.gridView.CurrentRow);
  EXPECT_FALSE(before.IsShown());
  EXPECT_TRUE(app.gridView.CurrentRow->IsShown());
  EXPECT_EQ(app.gridView.CurrentRow->Cells(DownloadList::colID).Text(), L"2");
  EXPECT_EQ(app.gridView.CurrentRow->Cells(DownloadList::colVideoURL).Text(), Url(2));
  // The driver's write reaches the running item's row in the new grid.
  app.gridView.CurrentRow->Cells(DownloadList::colStatus).SetValue(std::wstring(L"46"));
  EXPECT_EQ(Cell(1, DownloadList::colStatus).Text(), L"46");

  app.ShowRunning(0);  // no running item
  app.gridView.LocateCurrentRow();
  EXPECT_FALSE(app.gridView.CurrentRow);
}

TEST_F(ListCommands, LayoutAtStartUpAndAfterTheFirstRebuild) {
  // Start-up: the grid-level look at once, no columns, not yet laid out.
  EXPECT_FALSE(app.gridView.GridFormatted);
  EXPECT_EQ(app.gridView.DownloadGrid.BackColor(), RGB(201, 211, 216));
  EXPECT_EQ(app.gridView.DownloadGrid.BorderColor(), RGB(39, 104, 146));
  EXPECT_EQ(app.gridView.DownloadGrid.ColumnCount(), 0u);

  Fill({L"Waiting"});
  EXPECT_TRUE(app.gridView.GridFormatted);
  EXPECT_EQ(app.gridView.DownloadGrid.Caption(), L"");
  const wchar_t* captions[] = {L" ", L"Video URL", L"Local File Name", L"Download Status",
                               L"File Size"};
  // The address and size columns are fitted to the grid and the font (ItemMenuTest).
  const int widths[] = {300, 0, 1800, 1700, 0};
  for (size_t c = 0; c < 5; ++c) {
    grid::Column column = app.gridView.DownloadGrid.Columns(c);
    EXPECT_EQ(column.Caption(), captions[c]);
    if (widths[c]) {
      EXPECT_EQ(column.Width(), widths[c]);
    }
    EXPECT_EQ(column.Editable(), c == DownloadList::colFileName);
  }
  RECT id{};
  app.gridView.DownloadGrid.GetCellRect(Cell(0, 0), &id);
  EXPECT_EQ(id.right - id.left + 1, 20);  // 300 twips at 96 dpi
  using grid::BandPart;
  EXPECT_EQ(app.gridView.DownloadGrid.BandAppearance(BandPart::Header).back, RGB(60, 117, 157));
  EXPECT_EQ(app.gridView.DownloadGrid.BandAppearance(BandPart::Header).fore, RGB(255, 255, 255));
  EXPECT_EQ(app.gridView.DownloadGrid.BandAppearance(BandPart::Row).back, RGB(255, 255, 255));
  EXPECT_EQ(app.gridView.DownloadGrid.BandAppearance(BandPart::Selected).back, RGB(0, 0, 0));
  EXPECT_EQ(app.gridView.DownloadGrid.BandAppearance(BandPart::ActiveRow).back, RGB(255, 199, 0));
  EXPECT_EQ(app.gridView.DownloadGrid.DrawFilter(), &app.gridView);

  // Later rebuilds only re-bind; a re-bind that fails makes the next one lay out.
  app.list.AddItem(Url(2), L"", L"", L"");
  ASSERT_TRUE(app.list.FillDownloadList());
  EXPECT_EQ(app.gridView.DownloadGrid.RowCount(), 2u);
  DestroyWindow(app.gridView.DownloadGrid.Hwnd());
  EXPECT_TRUE(app.gridView.FormatDownloadGrid(false));
  EXPECT_FALSE(app.gridView.GridFormatted);
}

}  // namespace
