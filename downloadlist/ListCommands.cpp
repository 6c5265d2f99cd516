// The user's commands on the Download list. Each reads the selection from
// the grid, changes the list through the list's primitives, and rebuilds the
// grid. Rows are visited backwards wherever items are removed, so that the
// renumbering of each removal only touches rows already visited.
#include <cwchar>
#include <string>

#include "common/AppError.h"
#include "downloadlist/DownloadGridView.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "resolver/SiteId.h"

namespace mf {
namespace {

constexpr wchar_t kFileNameKey[] = L"FileName";
constexpr wchar_t kTriedAgain[] =
    L"This video was in the list already and had not been downloaded; it waits to be tried again.";

// The item a grid row shows: the text of its ID cell as a 16-bit integer.
int16_t RowID(const grid::Row& row) {
  std::wstring text = row.Cells(DownloadList::colID).Text();
  wchar_t* end = nullptr;
  long n = std::wcstol(text.c_str(), &end, 10);
  if (text.empty() || !end || *end != 0) throw AppError(13, L"Type mismatch");
  if (n < INT16_MIN || n > INT16_MAX) throw AppError(6, L"Overflow");
  return static_cast<int16_t>(n);
}

}  // namespace

bool DownloadGridView::AddURLToList(const std::wstring& pageAddress) {
  // An address that failed or was cancelled is tried again: its item waits
  // again where it stands.
  const bool retried = TryAgain(pageAddress);
  bool added =
      GetSiteID(pageAddress) == siteUnsupported
          ? list_.AddItem(pageAddress, vocab::kNameError, vocab::kLinkNotSupported,
                          vocab::kUnknownSize)
          : list_.AddItem(pageAddress, vocab::kAutoDetect, vocab::kWaiting, vocab::kUnknownSize);
  list_.FillDownloadList();
  host_.ListHasItems(true);
  host_.ListNotice(retried ? kTriedAgain : L"");
  if (host_.IsDownloading()) LocateCurrentRow();  // the rebuild replaced the rows
  return added;
}

bool DownloadGridView::TryAgain(const std::wstring& pageAddress) {
  std::optional<size_t> at = list_.FindAddress(pageAddress);
  if (!at) return false;
  const DownloadItem& item = *list_.At(*at);
  if (item.State != ItemState::Failed && item.State != ItemState::Cancelled) return false;
  return list_.UpdateItem(item.ID, L"", L"", vocab::kWaiting, L"");
}

void DownloadGridView::ClearComplete() {
  try {
    std::optional<grid::Row> row = DownloadGrid.LastRow();
    if (!row) return;
    for (;;) {
      if (row->Cells(DownloadList::colStatus).Text() == vocab::kComplete)
        list_.RemoveItem(RowID(*row));
      if (!row->HasPrevSibling()) break;
      row = row->PrevSibling();
    }
  } catch (const AppError&) {
    return;  // the grid failed: the list stays as the removals left it
  }
  AfterRemoval();
}

void DownloadGridView::RemoveSelected() {
  try {
    // Widen the selection to whole rows through each row's Video_URL cell.
    for (size_t i = DownloadGrid.SelectedCellCount(); i-- > 0;)
      DownloadGrid.SelectedCell(i).Row().Cells(DownloadList::colVideoURL).SetSelected(true);
    std::optional<grid::Row> row = DownloadGrid.LastRow();
    if (!row) return;
    for (;;) {
      if (row->Cells(DownloadList::colVideoURL).Selected() || row->Selected())
        list_.RemoveItem(RowID(*row));
      if (!row->HasPrevSibling()) break;
      row = row->PrevSibling();
    }
  } catch (const AppError&) {
    return;
  }
  AfterRemoval();
}

void DownloadGridView::AfterRemoval() {
  if (list_.IsListEmpty()) {
    GridFormatted = false;
    host_.ListHasItems(false);
  }
  list_.FillDownloadList();
}

void DownloadGridView::SelectAll() {
  try {
    for (std::optional<grid::Row> row = DownloadGrid.FirstRow(); row;
         row = row->HasNextSibling() ? std::optional(row->NextSibling()) : std::nullopt)
      row->SetSelected(true);
  } catch (const AppError&) {
    // the grid failed: what was selected stays selected
  }
}

void DownloadGridView::MoveUp() {
  try {
    if (DownloadGrid.SelectedCellCount() > 0)
      list_.MoveItemUp(RowID(DownloadGrid.SelectedCell(0).Row()));
  } catch (const AppError&) {
    return;
  }
  list_.FillDownloadList();
}

void DownloadGridView::MoveDown() {
  try {
    if (DownloadGrid.SelectedCellCount() > 0)
      list_.MoveItemDown(RowID(DownloadGrid.SelectedCell(0).Row()));
  } catch (const AppError&) {
    return;
  }
  list_.FillDownloadList();
}

void DownloadGridView::ShowItem(uint32_t key) {
  if (list_.IsFilling()) return;
  const std::optional<size_t> at = list_.Find(key);
  if (!at) return;
  const DownloadItem& item = list_.Items()[*at];
  // Only the item's own row is written: the table is not rebuilt, so the
  // user's selection, scroll position and open rename stay.
  if (!CurrentRow || CurrentRow->Cells(DownloadList::colID).Text() != std::to_wstring(*at + 1))
    LocateCurrentRow();
  std::optional<grid::Row> row = CurrentRow;
  if (!row || row->Cells(DownloadList::colID).Text() != std::to_wstring(*at + 1)) {
    row = RowOf(*at);
    if (!row) {
      list_.FillDownloadList();
      return;
    }
  }
  const RowTexts texts = list_.TextsOf(item);
  const std::pair<size_t, const std::wstring*> cells[] = {
      {DownloadList::colVideoURL, &texts.address},
      {DownloadList::colFileName, &texts.name},
      {DownloadList::colStatus, &texts.status},
      {DownloadList::colFileSize, &texts.size}};
  try {
    for (const auto& [column, text] : cells)
      if (row->Cells(column).Text() != *text) row->Cells(column).SetValue(*text);
  } catch (const AppError&) {
    // the grid refused: the next rebuild shows the item
  }
}

std::optional<grid::Row> DownloadGridView::RowOf(size_t position) const {
  const std::wstring wanted = std::to_wstring(position + 1);
  try {
    for (std::optional<grid::Row> row = DownloadGrid.FirstRow(); row;
         row = row->HasNextSibling() ? std::optional(row->NextSibling()) : std::nullopt)
      if (row->Cells(DownloadList::colID).Text() == wanted) return row;
  } catch (const AppError&) {
  }
  return std::nullopt;
}

void DownloadGridView::LocateCurrentRow() {
  CurrentRow.reset();
  const int index = host_.CurrentIndex();
  if (index >= 0) CurrentRow = RowOf(static_cast<size_t>(index));
}

// ---- Renaming a local file in the grid

void DownloadGridView::DownloadGrid_BeforeCellUpdate(const grid::Cell& cell,
                                                     const table::Value& newValue, bool& cancel) {
  if (cell.Column().Key() != kFileNameKey) return;
  const std::wstring typed = table::ValueText(newValue);
  if (CheckFileName(typed) == vocab::kEnterFileName) {
    cancel = true;  // nothing usable: the cell keeps its old name
    return;
  }
  PendingFileName = CleanFileName(typed, L"");
}

void DownloadGridView::DownloadGrid_AfterCellUpdate(const grid::Cell& cell) {
  if (cell.Column().Key() != kFileNameKey) return;
  try {
    cell.SetValue(PendingFileName);  // shows the cleaned name; raises no edit notification
    list_.UpdateItem(RowID(cell.Row()), L"", cell.Text(), L"", L"");
  } catch (const AppError&) {
    // the grid failed: the item keeps its name
  }
}

}  // namespace mf
