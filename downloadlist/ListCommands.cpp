// The user's commands on the Download list. Each reads the selection from
// the grid, changes the list through modMain's primitives, and rebuilds the
// grid. Rows are visited backwards wherever items are removed, so that the
// renumbering of each removal only touches rows already visited.
#include <cwchar>
#include <string>

#include "common/AppError.h"
#include "common/WindowText.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "resolver/SiteId.h"
#include "shell/frmMain.h"

namespace mf {
namespace {

constexpr wchar_t kDownloadButton[] = L"_root.downloadBtn";
constexpr wchar_t kFileNameKey[] = L"FileName";

// The item a grid row shows: the text of its ID cell as a 16-bit integer.
int16_t RowID(const grid::Row& row) {
  std::wstring text = row.Cells(modMain::colID).Text();
  wchar_t* end = nullptr;
  long n = std::wcstol(text.c_str(), &end, 10);
  if (text.empty() || !end || *end != 0) throw AppError(13, L"Type mismatch");
  if (n < INT16_MIN || n > INT16_MAX) throw AppError(6, L"Overflow");
  return static_cast<int16_t>(n);
}

}  // namespace

bool frmMain::AddURLToList(const std::wstring& pageAddress) {
  bool added =
      GetSiteID(pageAddress) == siteUnsupported
          ? modMain::AddItem(pageAddress, vocab::kNameError, vocab::kLinkNotSupported,
                             vocab::kUnknownSize)
          : modMain::AddItem(pageAddress, vocab::kAutoDetect, vocab::kWaiting, vocab::kUnknownSize);
  modMain::FillDownloadList();
  SetFlashVariable(kDownloadButton, L"1");
  if (IsDownloading) LocateCurrentRow();  // the rebuild replaced the rows
  return added;
}

void frmMain::ClearComplete() {
  try {
    std::optional<grid::Row> row = DownloadGrid.LastRow();
    if (!row) return;
    for (;;) {
      if (row->Cells(modMain::colStatus).Text() == vocab::kComplete) modMain::RemoveItem(RowID(*row));
      if (!row->HasPrevSibling()) break;
      row = row->PrevSibling();
    }
  } catch (const AppError&) {
    return;  // the grid failed: the list stays as the removals left it
  }
  if (modMain::IsListEmpty()) {
    GridFormatted = false;
    SetFlashVariable(kDownloadButton, L"0");
  }
  modMain::FillDownloadList();
}

void frmMain::RemoveSelected() {
  try {
    // Widen the selection to whole rows through each row's Video_URL cell.
    for (size_t i = DownloadGrid.SelectedCellCount(); i-- > 0;)
      DownloadGrid.SelectedCell(i).Row().Cells(modMain::colVideoURL).SetSelected(true);
    std::optional<grid::Row> row = DownloadGrid.LastRow();
    if (!row) return;
    for (;;) {
      if (row->Cells(modMain::colVideoURL).Selected() || row->Selected())
        modMain::RemoveItem(RowID(*row));
      if (!row->HasPrevSibling()) break;
      row = row->PrevSibling();
    }
  } catch (const AppError&) {
    return;
  }
  if (modMain::IsListEmpty()) {
    GridFormatted = false;
    SetFlashVariable(kDownloadButton, L"0");
  }
  modMain::FillDownloadList();
}

void frmMain::SelectAll() {
  try {
    for (std::optional<grid::Row> row = DownloadGrid.FirstRow(); row;
         row = row->HasNextSibling() ? std::optional(row->NextSibling()) : std::nullopt)
      row->SetSelected(true);
  } catch (const AppError&) {
    // the grid failed: what was selected stays selected
  }
}

void frmMain::MoveUp() {
  try {
    if (DownloadGrid.SelectedCellCount() > 0)
      modMain::MoveItemUp(RowID(DownloadGrid.SelectedCell(0).Row()));
  } catch (const AppError&) {
    return;
  }
  modMain::FillDownloadList();
}

void frmMain::MoveDown() {
  try {
    if (DownloadGrid.SelectedCellCount() > 0)
      modMain::MoveItemDown(RowID(DownloadGrid.SelectedCell(0).Row()));
  } catch (const AppError&) {
    return;
  }
  modMain::FillDownloadList();
}

void frmMain::LocateCurrentRow() {
  CurrentRow.reset();
  const std::wstring wanted = std::to_wstring(CurrentIndex + 1);
  try {
    for (std::optional<grid::Row> row = DownloadGrid.FirstRow(); row;
         row = row->HasNextSibling() ? std::optional(row->NextSibling()) : std::nullopt) {
      if (row->Cells(modMain::colID).Text() == wanted) {
        CurrentRow = row;
        return;
      }
    }
  } catch (const AppError&) {
    CurrentRow.reset();
  }
}

// ---- Renaming a local file in the grid

void frmMain::DownloadGrid_BeforeCellUpdate(const grid::Cell& cell, const table::Value& newValue,
                                            bool& cancel) {
  if (cell.Column().Key() != kFileNameKey) return;
  std::wstring name = CheckFileName(table::ValueText(newValue));
  if (name.empty() || name == vocab::kEnterFileName) {
    cancel = true;  // nothing usable: the cell keeps its old name
    return;
  }
  PendingFileName = name;
}

void frmMain::DownloadGrid_AfterCellUpdate(const grid::Cell& cell) {
  if (cell.Column().Key() != kFileNameKey) return;
  try {
    cell.SetValue(PendingFileName);  // shows the cleaned name; raises no edit notification
    modMain::UpdateItem(RowID(cell.Row()), L"", cell.Text(), L"", L"");
  } catch (const AppError&) {
    // the grid failed: the item keeps its name
  }
}

// ---- The hidden classic buttons

void frmMain::cmdAdd2List_Click() { AddURLToList(GetText(txtURL)); }
void frmMain::cmdClear_Click() { ClearComplete(); }
void frmMain::cmdRemoveSelected_Click() { RemoveSelected(); }
void frmMain::cmdSelectAll_Click() { SelectAll(); }
void frmMain::cmdUp_Click() { MoveUp(); }
void frmMain::cmdDown_Click() { MoveDown(); }

}  // namespace mf
