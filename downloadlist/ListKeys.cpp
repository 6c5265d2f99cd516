// The Download grid without a mouse: the keys that act on the items, and
// what a screen reader hears of each row.
#include <cwchar>
#include <string>

#include "downloadlist/DownloadGridView.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/modGrid.h"

namespace mf {
namespace {

// A FileName that stands where no name is known yet.
bool IsPlaceholderName(const std::wstring& name) {
  for (const wchar_t* placeholder : {vocab::kAutoDetect, vocab::kNameError, vocab::kUnsupportedLink,
                                     vocab::kProcessFailed, vocab::kEnterFileName})
    if (name == placeholder) return true;
  return name.empty();
}

}  // namespace

void DownloadGridView::KeyDown(grid::Grid& grid, WPARAM key, bool& handled) {
  if (key == VK_DELETE) {
    RemoveSelected();
    handled = true;
  } else if (key == VK_RETURN) {
    // The selected items, or the one the keyboard stands on.
    std::vector<uint32_t> keys = SelectedKeys();
    if (keys.empty())
      if (std::optional<grid::Row> row = grid.ActiveRow())
        if (const DownloadItem* item = ItemOfRow(*row)) keys.push_back(item->Key);
    OpenFiles(keys);
    handled = true;
  }
}

std::wstring DownloadGridView::RowName(size_t row) {
  const std::shared_ptr<table::Table> shown = DownloadGrid.DataSource();
  if (!shown || row >= shown->RowCount()) return {};
  // The item keeps the whole name and address; the grid shows them cut.
  const table::Value id = shown->GetValue(row, DownloadList::colID);
  const int32_t* n = std::get_if<int32_t>(&id);
  const DownloadList& list = list_;  // reading: the list's observer is not told
  const DownloadItem* item = n && *n > 0 ? list.At(static_cast<size_t>(*n - 1)) : nullptr;
  // While a rebuild runs the rows still show the list as it was: an item
  // that no longer stands at the row's place is not the row's.
  const std::wstring address = table::ValueText(shown->GetValue(row, DownloadList::colVideoURL));
  if (item && list.TextsOf(*item).address != address) item = nullptr;
  if (item) return item->FileName.empty() ? item->Video_URL : item->FileName;
  std::wstring name = table::ValueText(shown->GetValue(row, DownloadList::colFileName));
  return IsPlaceholderName(name) ? address : name;
}

std::wstring DownloadGridView::RowValue(size_t row) {
  const std::shared_ptr<table::Table> shown = DownloadGrid.DataSource();
  if (!shown || row >= shown->RowCount()) return {};
  // The status as the grid draws it: a bare number is a progress bar.
  const table::Value status = shown->GetValue(row, DownloadList::colStatus);
  if (std::optional<int32_t> percent = modGrid::NumericValue(status))
    return std::to_wstring(modGrid::MinOf(modGrid::MaxOf(*percent, 0), 100)) + L" %";
  return table::ValueText(status);
}

}  // namespace mf
