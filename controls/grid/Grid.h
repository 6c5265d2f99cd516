#pragma once
// A data grid: a child window that shows a table, one row per table row and
// one column per table column, with a header, row selectors, a caption,
// multiple selection of cells, rows and columns, in-place editing of the
// columns that allow it, and an owner-draw hook around every element.
// Painting is double-buffered; a value written into a table cell repaints
// that cell alone.
#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Window.h"
#include "controls/grid/GridEvents.h"
#include "controls/grid/GridModel.h"
#include "controls/grid/GridTypes.h"
#include "controls/table/Table.h"

namespace mf::grid {

class GridAccess;

class Grid : public Window {
 public:
  static constexpr const char* kClassName = "DataGridWindow";

  struct CreateArgs {
    HWND parent = nullptr;
    int id = 0;
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    IGridEvents* events = nullptr;
  };

  Grid();
  ~Grid() override;
  bool Create(const CreateArgs& args);

  // ---- Display scale. The grid is drawn for one DPI, at first its window's:
  // its font, rows, margins and the columns' pixels (widths are twips)
  // follow it.
  int Dpi() const noexcept { return dpi_; }
  void SetDpi(int dpi);

  // ---- Data source. A table is shown with a layout built for it (or the
  // current one, when the new table has the same columns), and
  // InitializeLayout is raised; none leaves the grid empty, without columns.
  void SetDataSource(std::shared_ptr<table::Table> table);
  std::shared_ptr<table::Table> DataSource() const;

  // ---- The grid as a whole
  const std::wstring& Caption() const noexcept { return caption_; }
  void SetCaption(const std::wstring& caption);
  Colour BackColor() const noexcept { return backColour_; }
  void SetBackColor(Colour colour);
  Colour BorderColor() const noexcept { return borderColour_; }
  void SetBorderColor(Colour colour);
  bool Visible() const;
  void SetVisible(bool visible);
  void BringToFront();
  bool RowSelectors() const noexcept { return rowSelectors_; }
  void SetRowSelectors(bool shown);
  IDrawFilter* DrawFilter() const noexcept { return filter_; }
  void SetDrawFilter(IDrawFilter* filter);
  // What assistive technology hears of each row (GridAccess.h); none names
  // a row by its cells.
  void SetRowDescription(IRowDescription* description) noexcept { rowDescription_ = description; }

  // ---- The band: columns by position and default appearances
  size_t ColumnCount() const noexcept;
  grid::Column Columns(size_t position) const;  // throws when there is none
  Appearance BandAppearance(BandPart part) const;
  void SetBandAppearance(BandPart part, const Appearance& appearance);

  // ---- Rows
  size_t RowCount() const noexcept;
  std::optional<grid::Row> FirstRow() const;
  std::optional<grid::Row> LastRow() const;
  std::optional<grid::Row> ActiveRow() const;
  std::optional<grid::Cell> ActiveCell() const;
  void SetActiveCell(const grid::Cell& cell);

  // ---- Selection. Cells come in the order they were selected.
  size_t SelectedCellCount() const noexcept;
  grid::Cell SelectedCell(size_t index) const;  // throws when out of range
  std::vector<grid::Cell> SelectedCells() const;
  std::vector<grid::Row> SelectedRows() const;
  void ClearSelection();

  // ---- Scrolling. Only row-scroll region 0 exists; false for another.
  bool Scroll(size_t region, RowScrollAction action);
  // Off, the wheel is left to the parent window, as unhandled wheel
  // messages are, so an owner can scroll the grid its own way.
  void SetWheelScrolls(bool on) noexcept { wheelScrolls_ = on; }
  size_t TopRow() const noexcept { return topRow_; }

  // ---- Editing of the active cell (F2 or a double click do the same).
  bool BeginEdit();
  bool IsEditing() const noexcept { return edit_ != nullptr; }
  HWND EditWindow() const noexcept { return edit_; }
  // Commits (true) or abandons (false) an edit under way.
  void EndEdit(bool commit);

  // Twips of the width that `text` takes in a cell, its margins included,
  // in the grid's font.
  int CellTextTwips(const std::wstring& text) const;
  // Twips the columns have side by side without scrolling, with room kept
  // for the vertical scroll bar that a longer list brings.
  int ColumnRoomTwips() const;

  // The cell's rectangle in client coordinates, without its grid lines;
  // false when the cell is not in view.
  bool GetCellRect(const grid::Cell& cell, RECT* rect) const;
  // Paints the part `clip` of the grid into `dc` (what WM_PAINT and
  // WM_PRINTCLIENT do).
  void PaintTo(HDC dc, const RECT& clip);

  // ---- Used by the references of the object model
  void OnCellChanged(size_t row, size_t column);
  void OnRowChanged(size_t row);
  void OnLayoutChanged();
  void OnSelectionChanged();
  CellColours ResolveCellColours(size_t row, size_t column) const;
  static COLORREF ToRgb(Colour colour);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class GridAccess;
  friend class GridAccessible;
  // Posted by the edit box when it loses the focus: the edit is committed
  // once the focus change is over. (WM_USER + 2 is GridAccess's.)
  static constexpr UINT kMsgCommitEdit = WM_USER + 1;

  struct Hit {
    enum Area { None, Caption, Header, RowSelector, CellArea } area = None;
    size_t row = 0;
    size_t column = 0;
  };
  struct Metrics {
    int rowHeight = 18;
    int headerHeight = 20;
    int captionHeight = 0;
    int selectorWidth = 14;
  };

  // Binding
  void Detach();
  void ResetViewState();
  void SetActive(CellAddress address);
  // Messages
  void OnPaint();
  void OnPrintClient(HDC dc);
  LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
  // Geometry (GridLayout.cpp)
  void UpdateMetrics();
  int ColumnPixels(size_t column) const;
  int ColumnLeft(size_t column) const;  // client x, scrolled
  int TotalColumnPixels() const;
  int DataTop() const;
  int DataLeft() const;
  int VisibleRowCapacity() const;  // whole rows that fit
  RECT CellFrame(size_t row, size_t column) const;
  // The cell's frame cut to the data area: what a change of the cell repaints.
  RECT VisibleCellFrame(size_t row, size_t column) const;
  RECT RowFrame(size_t row) const;
  Hit HitTest(POINT pt) const;
  // The column whose header's right edge lies under the point, within a few
  // pixels: dragging it changes the column's width.
  std::optional<size_t> ColumnEdgeAt(POINT pt) const;
  void UpdateScrollBars();
  void SetScrollBar(int bar, const SCROLLINFO& wanted);
  void ScrollToRow(size_t top);
  void ScrollHorizontallyTo(int x);
  void EnsureVisible(size_t row, size_t column);
  void OnVScroll(int code);
  void OnHScroll(int code);
  void OnMouseWheel(int delta);
  // Painting (GridPaint.cpp)
  void PaintCaption(HDC dc, const RECT& clip);
  void PaintHeaders(HDC dc, const RECT& clip);
  void PaintRow(HDC dc, const RECT& clip, size_t row);
  void PaintCell(HDC dc, size_t row, size_t column, const RECT& frame);
  void PaintSelector(HDC dc, size_t row, const RECT& frame);
  void PaintFramedElement(HDC dc, UIElement& element, Colour back, Colour fore,
                          const std::wstring& text, UINT textFormat, bool raised);
  HDC BufferFor(int width, int height);
  void PaintBorder();
  // Input (GridInput.cpp)
  void OnLButtonDown(POINT pt, WPARAM keys);
  void OnMouseMove(POINT pt);
  void OnLButtonUp();
  void OnLButtonDblClk(POINT pt);
  void OnRButtonDown(POINT pt);
  // The context menu asked for at `screen`, or at the active cell when the
  // keyboard asked (-1, -1).
  void OnContextMenu(POINT screen);
  bool InSelection(size_t row) const;
  // The grid shows where it stands as it takes the focus: the top row
  // becomes active when none is.
  void OnFocusChanged(bool gained);
  // Tab and Shift+Tab leave the grid (WM_NEXTDLGCTL to the parent).
  void LeaveByTab(bool backwards);
  void ResizeColumnTo(int x);
  bool OnKeyDown(WPARAM key);
  void MoveActive(int dRow, int dColumn, bool extend, bool keepSelection);
  void SelectCellRange(CellAddress from, CellAddress to);
  void SelectRowRange(size_t from, size_t to);
  void ClickCell(size_t row, size_t column, bool ctrl, bool shift);
  void ClickSelector(size_t row, bool ctrl, bool shift);
  void ClickHeader(size_t column, bool ctrl);
  bool OnSetCursor();
  // Editing (GridEdit.cpp)
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  // Commits when it can, otherwise abandons: the edit box never outlives a
  // scroll or a focus change.
  void FinishEdit();
  // Removes the edit box without committing.
  void DestroyEdit();

  IGridEvents* events_ = nullptr;
  IDrawFilter* filter_ = nullptr;
  IRowDescription* rowDescription_ = nullptr;
  std::unique_ptr<GridAccess> access_;
  std::shared_ptr<Binding> binding_;
  int listenerToken_ = 0;
  std::wstring caption_;
  Colour backColour_ = SystemColour(COLOR_APPWORKSPACE);
  Colour borderColour_ = SystemColour(COLOR_WINDOWFRAME);
  std::map<BandPart, Appearance> appearances_;
  bool rowSelectors_ = true;
  Metrics metrics_;
  int dpi_ = 96;
  HFONT font_ = nullptr;  // fontOwner_'s, or the stock one when none could be made
  UniqueGdiObject fontOwner_;

  size_t topRow_ = 0;
  size_t knownRows_ = 0;  // rows of the table when last laid out
  int scrollX_ = 0;
  int wheelRemainder_ = 0;
  bool wheelScrolls_ = true;
  std::optional<CellAddress> active_;
  std::optional<CellAddress> anchor_;
  std::optional<size_t> rowAnchor_;
  enum class Drag { None, Cells, Rows, ColumnEdge } drag_ = Drag::None;
  size_t resizing_ = 0;  // the column whose edge is dragged
  std::optional<CellAddress> dragTarget_;

  HWND edit_ = nullptr;
  std::optional<grid::Cell> editCell_;
  bool committing_ = false;

  UniqueGdiObject buffer_;
  int bufferWidth_ = 0, bufferHeight_ = 0;
  struct DcDeleter {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
  };
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> bufferDc_;
};

}  // namespace mf::grid
