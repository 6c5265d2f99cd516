// The grid window: creation, binding, grid-level properties, selection and
// the message dispatch.
#include "controls/grid/Grid.h"

#include <ole2.h>
#include <olectl.h>

#include <algorithm>

#include "common/AppError.h"
#include "common/Dpi.h"
#include "controls/grid/GridAccess.h"

namespace mf::grid {
namespace {

bool SameColumns(const std::vector<ColumnLayout>& layout, const std::vector<table::Column>& cols) {
  if (layout.size() != cols.size()) return false;
  for (size_t i = 0; i < cols.size(); ++i)
    if (layout[i].key != cols[i].name) return false;
  return true;
}

std::vector<ColumnLayout> DefaultLayout(const std::vector<table::Column>& cols) {
  std::vector<ColumnLayout> layout;
  layout.reserve(cols.size());
  for (const table::Column& c : cols)
    layout.push_back({.key = c.name,
                      .caption = c.name,
                      .widthTwips = c.type == table::ColumnType::Integer ? 900 : 1440,
                      .editable = true});
  return layout;
}

void Apply(const Appearance& a, CellColours& colours) {
  if (a.back) colours.back = *a.back;
  if (a.fore) colours.fore = *a.fore;
}

}  // namespace

Grid::Grid() : access_(std::make_unique<GridAccess>(*this)) {}

Grid::~Grid() {
  DestroyEdit();
  Detach();
}

bool Grid::Create(const CreateArgs& args) {
  events_ = args.events;
  RegisterClassOnce(kClassName, CS_DBLCLKS, nullptr);
  DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP;
  if (args.visible) style |= WS_VISIBLE;
  if (!CreateFor(0, kClassName, "", style, args.left, args.top, args.width, args.height,
                 args.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id))))
    return false;
  dpi_ = 0;
  SetDpi(WindowDpi(Hwnd()));
  return true;
}

void Grid::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  FinishEdit();  // the edit box has the old font
  dpi_ = dpi;
  // The stock GUI font, made for this DPI.
  HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
  fontOwner_.reset(ScaledFont(stock, dpi_));
  font_ = static_cast<HFONT>(fontOwner_ ? fontOwner_.get() : stock);
  OnLayoutChanged();
}

// ---- Binding

void Grid::Detach() {
  if (!binding_) return;
  if (binding_->table) binding_->table->Unsubscribe(listenerToken_);
  binding_->grid = nullptr;
  binding_.reset();
  listenerToken_ = 0;
}

void Grid::ResetViewState() {
  topRow_ = 0;
  scrollX_ = 0;
  knownRows_ = 0;
  active_.reset();
  anchor_.reset();
  rowAnchor_.reset();
  drag_ = Drag::None;
  if (GetCapture() == Hwnd()) ReleaseCapture();
}

// By value on purpose: the caller's pointer may be the one Detach lets go.
void Grid::SetDataSource(
    std::shared_ptr<table::Table> table) {  // NOLINT(performance-unnecessary-value-param)
  if (!Hwnd()) throw AppError(kErrNoWindow, L"The grid has no window.");
  DestroyEdit();
  std::shared_ptr<Binding> old = binding_;
  Detach();
  ResetViewState();
  if (table) {
    auto b = std::make_shared<Binding>();
    b->table = table;
    b->grid = this;
    // A table with the same columns keeps the layout given to the last one.
    b->columns = old && SameColumns(old->columns, table->Columns())
                     ? old->columns
                     : DefaultLayout(table->Columns());
    binding_ = b;
    knownRows_ = table->RowCount();
    listenerToken_ =
        table->Subscribe([this](size_t row, size_t column) { OnCellChanged(row, column); });
  }
  UpdateScrollBars();
  InvalidateRect(Hwnd(), nullptr, FALSE);
  access_->Changed();
  if (table && events_) events_->InitializeLayout(*this);
}

std::shared_ptr<table::Table> Grid::DataSource() const {
  return binding_ ? binding_->table : nullptr;
}

// ---- The grid as a whole

void Grid::SetCaption(const std::wstring& caption) {
  caption_ = caption;
  OnLayoutChanged();
}

void Grid::SetBackColor(Colour colour) {
  backColour_ = colour;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Grid::SetBorderColor(Colour colour) {
  borderColour_ = colour;
  if (Hwnd()) PaintBorder();
}

bool Grid::Visible() const {
  return Hwnd() && (GetWindowLongPtrA(Hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Grid::SetVisible(bool visible) {
  if (!Hwnd()) throw AppError(kErrNoWindow, L"The grid has no window.");
  if (!visible) DestroyEdit();
  ShowWindow(Hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

void Grid::BringToFront() {
  if (!Hwnd()) throw AppError(kErrNoWindow, L"The grid has no window.");
  SetWindowPos(Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Grid::SetRowSelectors(bool shown) {
  rowSelectors_ = shown;
  OnLayoutChanged();
}

void Grid::SetDrawFilter(IDrawFilter* filter) {
  filter_ = filter;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

// ---- Band

size_t Grid::ColumnCount() const noexcept { return binding_ ? binding_->ColumnCount() : 0; }

Column Grid::Columns(size_t position) const {
  if (!binding_) throw AppError(kErrNoSuchItem, L"The grid has no columns.");
  return Column(binding_, position);
}

Appearance Grid::BandAppearance(BandPart part) const {
  auto it = appearances_.find(part);
  return it == appearances_.end() ? Appearance{} : it->second;
}

void Grid::SetBandAppearance(BandPart part, const Appearance& appearance) {
  appearances_[part] = appearance;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

CellColours Grid::ResolveCellColours(size_t row, size_t column) const {
  CellColours c{SystemColour(COLOR_WINDOW), SystemColour(COLOR_WINDOWTEXT)};
  Apply(BandAppearance(BandPart::Row), c);
  if (active_ && active_->row == row) Apply(BandAppearance(BandPart::ActiveRow), c);
  if (binding_ && (binding_->IsCellSelected(row, column) || binding_->IsRowSelected(row) ||
                   binding_->IsColumnSelected(column))) {
    c = {SystemColour(COLOR_HIGHLIGHT), SystemColour(COLOR_HIGHLIGHTTEXT)};
    Apply(BandAppearance(BandPart::Selected), c);
  }
  return c;
}

COLORREF Grid::ToRgb(Colour colour) {
  COLORREF rgb = 0;
  return SUCCEEDED(OleTranslateColor(colour, nullptr, &rgb)) ? rgb : RGB(0, 0, 0);
}

// ---- Rows

size_t Grid::RowCount() const noexcept { return binding_ ? binding_->RowCount() : 0; }

std::optional<Row> Grid::FirstRow() const {
  if (RowCount() == 0) return std::nullopt;
  return Row(binding_, 0);
}

std::optional<Row> Grid::LastRow() const {
  if (RowCount() == 0) return std::nullopt;
  return Row(binding_, RowCount() - 1);
}

std::optional<Row> Grid::ActiveRow() const {
  if (!active_ || active_->row >= RowCount()) return std::nullopt;
  return Row(binding_, active_->row);
}

std::optional<Cell> Grid::ActiveCell() const {
  if (!active_ || active_->row >= RowCount() || active_->column >= ColumnCount())
    return std::nullopt;
  return Cell(binding_, active_->row, active_->column);
}

void Grid::SetActiveCell(const Cell& cell) {
  if (cell.Row().Owner() != this)
    throw AppError(kErrNoSuchItem, L"The cell is not shown by this grid.");
  SetActive({cell.RowIndex(), cell.ColumnIndex()});
}

void Grid::SetActive(CellAddress address) {
  if (active_ && active_->row != address.row) OnRowChanged(active_->row);
  active_ = address;
  OnRowChanged(address.row);
  access_->Changed();
}

// ---- Selection

size_t Grid::SelectedCellCount() const noexcept {
  return binding_ ? binding_->selectionOrder.size() : 0;
}

Cell Grid::SelectedCell(size_t index) const {
  if (index >= SelectedCellCount()) throw AppError(kErrNoSuchItem, L"No such selected cell.");
  const CellAddress& a = binding_->selectionOrder[index];
  return Cell(binding_, a.row, a.column);
}

std::vector<Cell> Grid::SelectedCells() const {
  std::vector<Cell> cells;
  for (size_t i = 0; i < SelectedCellCount(); ++i) cells.push_back(SelectedCell(i));
  return cells;
}

std::vector<Row> Grid::SelectedRows() const {
  std::vector<Row> rows;
  for (size_t r = 0; r < RowCount(); ++r)
    if (binding_->IsRowSelected(r)) rows.emplace_back(binding_, r);
  return rows;
}

void Grid::ClearSelection() {
  if (binding_ && binding_->ClearSelection() && Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

// ---- Changes reported by the references

void Grid::OnCellChanged(size_t row, size_t column) {
  if (!Hwnd()) return;
  if (RowCount() != knownRows_) {
    // Rows were added to the table after it was bound.
    knownRows_ = RowCount();
    UpdateScrollBars();
    InvalidateRect(Hwnd(), nullptr, FALSE);
    return;
  }
  if (row < topRow_ || column >= ColumnCount()) return;
  RECT frame = VisibleCellFrame(row, column);
  if (!IsRectEmpty(&frame)) InvalidateRect(Hwnd(), &frame, FALSE);
}

void Grid::OnRowChanged(size_t row) {
  if (!Hwnd() || row < topRow_) return;
  RECT frame = RowFrame(row);
  InvalidateRect(Hwnd(), &frame, FALSE);
}

void Grid::OnLayoutChanged() {
  if (!Hwnd()) return;
  if (editCell_ && !(editCell_->Row().IsShown() && editCell_->Column().Editable())) DestroyEdit();
  UpdateMetrics();
  UpdateScrollBars();
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

// ---- Messages

LRESULT Grid::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  if (LRESULT answer = 0; access_->Handle(msg, wParam, lParam, answer)) return answer;
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:
      OnPrintClient(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // everything is painted from the buffer
    case WM_NCCALCSIZE:
      return OnNcCalcSize(wParam, lParam);
    case WM_NCPAINT:
      Window::HandleMessage(msg, wParam, lParam);
      PaintBorder();
      return 0;
    case WM_SIZE:
      UpdateScrollBars();
      InvalidateRect(Hwnd(), nullptr, FALSE);
      return 0;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wParam));
      return 0;
    case WM_HSCROLL:
      OnHScroll(LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      if (!wheelScrolls_) return Window::HandleMessage(msg, wParam, lParam);
      OnMouseWheel(static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(pt, wParam);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(pt);
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      OnLButtonUp();
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(pt);
      return 0;
    case WM_RBUTTONDOWN:
      OnRButtonDown(pt);
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu(pt);  // screen coordinates, or -1, -1 from the keyboard
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_APPS) {
        OnContextMenu({-1, -1});
        return 0;
      }
      if (OnKeyDown(wParam)) return 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_APPS) return 0;  // the menu opened on the key's press
      break;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      // Shift+F10: the context menu, not the window's menu bar.
      if (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000)) {
        if (msg == WM_SYSKEYDOWN) OnContextMenu({-1, -1});
        return 0;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      OnFocusChanged(msg == WM_SETFOCUS);
      return 0;
    case WM_SYSCHAR:
      // The grid has no access keys: Alt+letter is its owner's.
      return SendMessageW(GetParent(Hwnd()), msg, wParam, lParam);
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && OnSetCursor()) return TRUE;
      break;
    case kMsgCommitEdit:
      if (edit_ && reinterpret_cast<HWND>(wParam) == edit_ && GetFocus() != edit_) FinishEdit();
      return 0;
    case WM_DESTROY:
      DestroyEdit();
      return 0;
    default:
      break;
  }
  return Window::HandleMessage(msg, wParam, lParam);
}

LRESULT Grid::OnNcCalcSize(WPARAM wParam, LPARAM lParam) {
  // A one-pixel border in the border colour, inside which the system places
  // the scroll bars (rgrc[0] comes first in NCCALCSIZE_PARAMS as well).
  auto* rect = reinterpret_cast<RECT*>(lParam);
  InflateRect(rect, -1, -1);
  return Window::HandleMessage(WM_NCCALCSIZE, wParam, lParam);
}

void Grid::PaintBorder() {
  HDC dc = GetWindowDC(Hwnd());
  if (!dc) return;
  RECT r;
  GetWindowRect(Hwnd(), &r);
  OffsetRect(&r, -r.left, -r.top);
  SetDCBrushColor(dc, ToRgb(borderColour_));
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  ReleaseDC(Hwnd(), dc);
}

}  // namespace mf::grid
