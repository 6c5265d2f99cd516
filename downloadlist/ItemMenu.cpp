// The menu on the items of the Download grid (right click, the context-menu
// key): open a finished video, show its file in Explorer, copy the page
// addresses, try failed items again, remove items. It acts on the rows in the
// selection, found again by their items' keys once the menu has closed, since
// a run may rebuild the grid while the menu is open.
#include <cwchar>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/AppError.h"
#include "common/AppPath.h"
#include "common/ClipboardText.h"
#include "common/Platform.h"
#include "downloadlist/DownloadGridView.h"
#include "resolver/MediaLink.h"

namespace mf {
namespace {

enum ItemCommand : UINT {
  cmdOpen = 1,
  cmdShowInFolder,
  cmdCopyAddress,
  cmdTryAgain,
  cmdRemove,
};

struct MenuEntry {
  UINT id;  // 0 for a separator
  const wchar_t* caption;
};
constexpr MenuEntry kItemMenu[] = {
    {cmdOpen, L"&Open"},
    {cmdShowInFolder, L"Show in &folder"},
    {0, nullptr},
    {cmdCopyAddress, L"&Copy page address"},
    {0, nullptr},
    {cmdTryAgain, L"&Try again"},
    {cmdRemove, L"&Remove"},
};

bool CanTryAgain(const DownloadItem& item) {
  return item.State == ItemState::Failed || item.State == ItemState::Cancelled;
}

}  // namespace

std::wstring DownloadGridView::ItemFile(const DownloadItem& item) {
  if (item.State == ItemState::Complete) return host_.DownloadFolder() + L"\\" + item.FileName;
  return item.PartFile;  // what a failed or stopped transfer left, if anything
}

const DownloadItem* DownloadGridView::ItemOfRow(const grid::Row& row) const {
  const std::wstring id = row.Cells(DownloadList::colID).Text();
  wchar_t* end = nullptr;
  const long n = std::wcstol(id.c_str(), &end, 10);
  if (id.empty() || *end != 0 || n < 1) return nullptr;
  return list_.At(static_cast<size_t>(n - 1));
}

std::vector<uint32_t> DownloadGridView::SelectedKeys() const {
  std::vector<grid::Row> rows;
  try {
    for (const grid::Cell& cell : DownloadGrid.SelectedCells()) rows.push_back(cell.Row());
    for (const grid::Row& row : DownloadGrid.SelectedRows()) rows.push_back(row);
    for (size_t c = 0; c < DownloadGrid.ColumnCount(); ++c) {
      if (!DownloadGrid.Columns(c).Selected()) continue;
      for (auto row = DownloadGrid.FirstRow(); row;
           row = row->HasNextSibling() ? std::optional(row->NextSibling()) : std::nullopt)
        rows.push_back(*row);
    }
  } catch (const AppError&) {
    return {};  // the grid failed: nothing is taken to be selected
  }
  std::set<size_t> positions;
  for (const grid::Row& row : rows)
    if (const DownloadItem* item = ItemOfRow(row))
      positions.insert(static_cast<size_t>(item->ID - 1));
  std::vector<uint32_t> keys;  // in the list's order
  keys.reserve(positions.size());
  for (size_t at : positions) keys.push_back(list_.At(at)->Key);
  return keys;
}

std::vector<const DownloadItem*> DownloadGridView::ItemsOf(const std::vector<uint32_t>& keys) {
  std::vector<const DownloadItem*> items;
  for (uint32_t key : keys)
    if (const DownloadItem* item = list_.ByKey(key)) items.push_back(item);
  return items;
}

void DownloadGridView::ShowItemMenu(POINT screen) {
  const std::vector<uint32_t> keys = SelectedKeys();
  if (keys.empty()) return;
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  bool open = false, show = false, retry = false;
  for (const DownloadItem* item : ItemsOf(keys)) {
    const bool complete = item->State == ItemState::Complete;
    // Only items whose file is there; looked for until one is found.
    if ((complete && !open) || !show) {
      const std::wstring file = ItemFile(*item);
      const bool there = !file.empty() && FileExists(file);
      open = open || (complete && there);
      show = show || there;
    }
    retry = retry || CanTryAgain(*item);
  }
  const bool enabled[] = {open, show, true, retry, true};  // by command, from cmdOpen
  for (const MenuEntry& e : kItemMenu) {
    if (!e.id) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuW(menu, MF_STRING | (enabled[e.id - 1] ? 0 : MF_GRAYED), e.id, e.caption);
  }
  SetMenuDefaultItem(menu, cmdOpen, FALSE);
  // The choice comes back here, so its action runs after the menu has closed.
  const UINT choice = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, DownloadGrid.Hwnd(), nullptr));
  DestroyMenu(menu);
  RunItemCommand(choice, keys);
}

void DownloadGridView::RunItemCommand(UINT command, const std::vector<uint32_t>& keys) {
  switch (command) {
    case cmdOpen:
      OpenFiles(keys);
      break;
    case cmdShowInFolder:
      ShowInFolder(keys);
      break;
    case cmdCopyAddress:
      CopyAddresses(keys);
      break;
    case cmdTryAgain:
      TryAgainItems(keys);
      break;
    case cmdRemove:
      RemoveItems(keys);
      break;
    default:
      break;  // closed without a choice
  }
}

void DownloadGridView::OpenFiles(const std::vector<uint32_t>& keys) {
  for (const DownloadItem* item : ItemsOf(keys)) {
    if (item->State != ItemState::Complete) continue;
    // Only a video or a sound is opened: any other file came from a server
    // and could run, so it is shown in its folder instead. A file the shell
    // cannot open is reported by the shell itself.
    if (!IsMediaFileName(item->FileName)) {
      ShowInFolder({item->Key});
      continue;
    }
    Platform().ShellOpen(DownloadGrid.Hwnd(), L"open", ItemFile(*item), L"", host_.DownloadFolder(),
                         SW_SHOWNORMAL);
  }
}

void DownloadGridView::ShowInFolder(const std::vector<uint32_t>& keys) {
  // One Explorer window, with the first file that is there selected.
  for (const DownloadItem* item : ItemsOf(keys)) {
    const std::wstring file = ItemFile(*item);
    if (file.empty() || !FileExists(file)) continue;
    Platform().ShellOpen(DownloadGrid.Hwnd(), L"open", L"explorer.exe",
                         L"/select,\"" + file + L"\"", L"", SW_SHOWNORMAL);
    return;
  }
}

void DownloadGridView::CopyAddresses(const std::vector<uint32_t>& keys) {
  std::wstring text;
  for (const DownloadItem* item : ItemsOf(keys))
    text += (text.empty() ? L"" : L"\r\n") + item->Video_URL;
  SetClipboardText(DownloadGrid.Hwnd(), text);
}

void DownloadGridView::TryAgainItems(const std::vector<uint32_t>& keys) {
  bool changed = false;
  for (const DownloadItem* item : ItemsOf(keys))
    if (CanTryAgain(*item)) changed = TryAgain(item->Video_URL) || changed;
  if (!changed) return;
  list_.FillDownloadList();
  host_.ListHasItems(true);
}

void DownloadGridView::RemoveItems(const std::vector<uint32_t>& keys) {
  for (uint32_t key : keys)
    if (const DownloadItem* item = list_.ByKey(key)) list_.RemoveItem(item->ID);
  AfterRemoval();
}

void DownloadGridView::OpenIfComplete(const grid::Cell& cell, bool& handled) {
  const size_t column = cell.ColumnIndex();
  if (column != DownloadList::colVideoURL && column != DownloadList::colStatus) return;
  const DownloadItem* item = ItemOfRow(cell.Row());
  if (!item || item->State != ItemState::Complete) return;
  handled = true;
  OpenFiles({item->Key});
}

}  // namespace mf
