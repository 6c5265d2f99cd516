#pragma once
// The Download grid: the list shown as a grid on the main window, its layout
// and its progress bars, and the user's commands on the list, which read the
// grid's selection. It reaches the window through IDownloadGridHost.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "controls/grid/Grid.h"
#include "downloadlist/DownloadList.h"

namespace mf {

class IDownloadGridHost {
 public:
  virtual ~IDownloadGridHost() = default;
  // The list has items to download (Start is available), or none.
  virtual void ListHasItems(bool any) = 0;
  // A word for the user under the list; empty text clears it.
  virtual void ListNotice(const std::wstring& text) = 0;
  // The list's table could not be built.
  virtual void ListFillFailed(long number, const std::wstring& description) = 0;
  // A run is under way, working on the item at CurrentIndex (its position
  // now; -1 when there is none).
  virtual bool IsDownloading() = 0;
  virtual int CurrentIndex() = 0;
  // Where finished videos are: their files are opened and shown from there.
  virtual std::wstring DownloadFolder() = 0;
};

class DownloadGridView : public IListGrid,
                         public grid::IDrawFilter,
                         private grid::IGridEvents,
                         private grid::IRowDescription {
 public:
  DownloadGridView(DownloadList& list, IDownloadGridHost& host);
  ~DownloadGridView() override;
  DownloadGridView(const DownloadGridView&) = delete;
  DownloadGridView& operator=(const DownloadGridView&) = delete;

  // Creates the grid, hidden, as a child of `parent`, and shows the list in it.
  bool Create(HWND parent, int id);

  grid::Grid DownloadGrid;
  bool GridFormatted = false;  // the columns are laid out
  // The grid row of the item at the host's CurrentIndex, or none. Found again
  // after every rebuild, so the progress bar stays on its item's row.
  std::optional<grid::Row> CurrentRow;
  // A checked new file name, from the grid's before-update to its after-update.
  std::wstring PendingFileName;

  bool FormatDownloadGrid(bool initial) override;
  // The widths (twips) the user dragged, by column, 0 where the layout
  // chooses; kept between runs by the program.
  std::vector<int> UserColumnWidths() const;
  void SetUserColumnWidths(const std::vector<int>& twips);
  // The grid was resized: the address column takes the room the others leave.
  void FitColumns();
  // The system's colours in place of the grid's own (high contrast).
  void UseSystemColours(bool on);
  void UnbindListTable() override;
  void FillFailed(long number, const std::wstring& d) override { host_.ListFillFailed(number, d); }
  void DownloadGrid_InitializeLayout();
  void DownloadGrid_BeforeCellUpdate(const grid::Cell& cell, const table::Value& newValue,
                                     bool& cancel);
  void DownloadGrid_AfterCellUpdate(const grid::Cell& cell);

  // The draw filter: progress bars in the Status cells.
  void BeforeDraw(const grid::DrawInfo& info, bool& cancel) override;
  void BeforeDrawBackground(const grid::DrawInfo& info, bool& cancel) override;
  void BeforeDrawBorders(const grid::DrawInfo& info, bool& cancel) override;
  void BeforeDrawForeground(const grid::DrawInfo& info, bool& cancel) override;
  void AfterDraw(const grid::DrawInfo& info) override;
  void BeforeSetCursor(const grid::UIElement& element, HCURSOR& cursor) override;

  // The list commands. Adding the address of an item that ended "ERROR" or
  // "Cancelled" puts that item back to "Waiting" and says so.
  bool AddURLToList(const std::wstring& pageAddress);
  void ClearComplete();
  void RemoveSelected();
  void SelectAll();
  void MoveUp();
  void MoveDown();
  void LocateCurrentRow();
  // Writes the cells of the item's row with what the item is now; nothing
  // while a rebuild runs, which shows the list's items itself.
  void ShowItem(uint32_t key);

  // The menu on the items of the selected rows, at `screen` (ItemMenu.cpp):
  // Open, Show in folder, Copy page address, Try again, Remove; an item
  // that does not apply to any of them is greyed.
  void ShowItemMenu(POINT screen);
  // The menu's commands, on the items with these keys that are still there.
  void OpenFiles(const std::vector<uint32_t>& keys);
  void ShowInFolder(const std::vector<uint32_t>& keys);
  void CopyAddresses(const std::vector<uint32_t>& keys);
  void TryAgainItems(const std::vector<uint32_t>& keys);
  void RemoveItems(const std::vector<uint32_t>& keys);
  // The keys of the items whose rows are in the selection, in list order.
  std::vector<uint32_t> SelectedKeys() const;

  // What a screen reader hears of a row (ListKeys.cpp): its item's file name,
  // or its address while the name is a placeholder; and its status, or
  // "42 %" while it downloads.
  std::wstring RowName(size_t row) override;
  std::wstring RowValue(size_t row) override;

  // The grid or its edit box has the focus.
  bool IsGridActive() const;
  // One row towards the end (up) or the start (down) of the list, while the
  // grid is active; failures are ignored.
  void ScrollUp();
  void ScrollDown();

 private:
  // grid::IGridEvents
  void InitializeLayout(grid::Grid& grid) override;
  void BeforeCellUpdate(const grid::Cell& cell, const table::Value& newValue,
                        bool& cancel) override;
  void AfterCellUpdate(const grid::Cell& cell) override;
  void ContextMenu(grid::Grid& /*grid*/, POINT screen) override { ShowItemMenu(screen); }
  // A double click on a finished item's address or status opens its file;
  // on its file name it still renames.
  void CellDoubleClick(const grid::Cell& cell, bool& handled) override {
    OpenIfComplete(cell, handled);
  }
  void ColumnResized(const grid::Column& column) override;
  // Delete removes the selected items; Enter opens the finished ones.
  void KeyDown(grid::Grid& grid, WPARAM key, bool& handled) override;
  void OpenIfComplete(const grid::Cell& cell, bool& handled);
  void RunItemCommand(UINT command, const std::vector<uint32_t>& keys);
  const DownloadItem* ItemOfRow(const grid::Row& row) const;
  std::vector<const DownloadItem*> ItemsOf(const std::vector<uint32_t>& keys);
  // The item's file: the finished video, or the partial file a failed or
  // stopped transfer left (empty when there is none).
  std::wstring ItemFile(const DownloadItem& item);
  // The width of each column at layout: the user's, once dragged this session.
  int LayoutWidth(size_t column);
  // After removals: an empty list lays the grid out again next time.
  void AfterRemoval();
  void BindAndLayOut(bool initial);
  // The grid row that shows the item at this position; none when there is none.
  std::optional<grid::Row> RowOf(size_t position) const;
  bool TryAgain(const std::wstring& pageAddress);

  DownloadList& list_;
  IDownloadGridHost& host_;
  std::vector<std::optional<int>> userWidths_;  // twips, by column position
  bool systemColours_ = false;
  void ApplyColours();
};

}  // namespace mf
