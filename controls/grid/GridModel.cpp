#include "controls/grid/GridModel.h"

#include <algorithm>

#include "common/AppError.h"
#include "controls/grid/Grid.h"

namespace mf::grid {
namespace {

bool Flag(const std::vector<uint8_t>& flags, size_t i) noexcept {
  return i < flags.size() && flags[i] != 0;
}

// Sets one flag, growing the vector as rows are added; true when it changed.
bool SetFlag(std::vector<uint8_t>& flags, size_t i, bool on) {
  if (Flag(flags, i) == on) return false;
  if (i >= flags.size()) flags.resize(i + 1, 0);
  flags[i] = on ? 1 : 0;
  return true;
}

}  // namespace

void CheckRow(const Binding& b, size_t row) {
  if (row >= b.RowCount()) throw AppError(kErrNoSuchItem, L"The row does not exist.");
}

void CheckColumn(const Binding& b, size_t column) {
  if (column >= b.ColumnCount()) throw AppError(kErrNoSuchItem, L"The column does not exist.");
}

bool Binding::IsRowSelected(size_t row) const noexcept { return Flag(rowSelected, row); }

bool Binding::IsColumnSelected(size_t column) const noexcept {
  return Flag(columnSelected, column);
}

bool Binding::IsCellSelected(size_t row, size_t column) const noexcept {
  return column < ColumnCount() && Flag(cellSelected, row * ColumnCount() + column);
}

bool Binding::SelectRow(size_t row, bool on) {
  return SetFlag(rowSelected, row, on) && SelectionChanged();
}

bool Binding::SelectColumn(size_t column, bool on) {
  return SetFlag(columnSelected, column, on) && SelectionChanged();
}

bool Binding::SelectionChanged() {
  if (grid) grid->OnSelectionChanged();
  return true;
}

bool Binding::SelectCell(size_t row, size_t column, bool on) {
  if (!SetFlag(cellSelected, row * ColumnCount() + column, on)) return false;
  CellAddress a{row, column};
  if (on)
    selectionOrder.push_back(a);
  else
    std::erase(selectionOrder, a);
  return SelectionChanged();
}

bool Binding::ClearSelection() {
  bool any = !selectionOrder.empty() ||
             std::any_of(rowSelected.begin(), rowSelected.end(), [](uint8_t f) { return f; }) ||
             std::any_of(columnSelected.begin(), columnSelected.end(), [](uint8_t f) { return f; });
  rowSelected.clear();
  columnSelected.clear();
  cellSelected.clear();
  selectionOrder.clear();
  return any && SelectionChanged();
}

// ---- Column

Column::Column(std::shared_ptr<Binding> binding, size_t index)
    : b_(std::move(binding)), index_(index) {
  CheckColumn(*b_, index_);
}

ColumnLayout& Column::Layout() const { return b_->columns[index_]; }

const std::wstring& Column::Key() const { return Layout().key; }

const std::wstring& Column::Caption() const { return Layout().caption; }

void Column::SetCaption(const std::wstring& caption) const {
  Layout().caption = caption;
  if (b_->grid) b_->grid->OnLayoutChanged();
}

int Column::Width() const { return Layout().widthTwips; }

void Column::SetWidth(int twips) const {
  Layout().widthTwips = std::max(0, twips);
  if (b_->grid) b_->grid->OnLayoutChanged();
}

bool Column::Editable() const { return Layout().editable; }

void Column::SetEditable(bool editable) const {
  Layout().editable = editable;
  if (b_->grid) b_->grid->OnLayoutChanged();
}

bool Column::Selected() const { return b_->IsColumnSelected(index_); }

void Column::SetSelected(bool selected) const {
  if (b_->SelectColumn(index_, selected) && b_->grid) b_->grid->OnLayoutChanged();
}

// ---- Row

Row::Row(std::shared_ptr<Binding> binding, size_t index) : b_(std::move(binding)), index_(index) {
  CheckRow(*b_, index_);
}

Cell Row::Cells(size_t column) const { return Cell(b_, index_, column); }

bool Row::Selected() const { return b_->IsRowSelected(index_); }

void Row::SetSelected(bool selected) const {
  if (b_->SelectRow(index_, selected) && b_->grid) b_->grid->OnRowChanged(index_);
}

bool Row::HasNextSibling() const { return index_ + 1 < b_->RowCount(); }

bool Row::HasPrevSibling() const { return index_ > 0 && index_ - 1 < b_->RowCount(); }

Row Row::NextSibling() const { return Row(b_, index_ + 1); }

Row Row::PrevSibling() const {
  if (index_ == 0) throw AppError(kErrNoSuchItem, L"The row does not exist.");
  return Row(b_, index_ - 1);
}

bool Row::IsShown() const noexcept { return b_->grid != nullptr; }

// ---- Cell

Cell::Cell(std::shared_ptr<Binding> binding, size_t row, size_t column)
    : b_(std::move(binding)), row_(row), column_(column) {
  CheckRow(*b_, row_);
  CheckColumn(*b_, column_);
}

table::Value Cell::Value() const { return b_->table->GetValue(row_, column_); }

void Cell::SetValue(table::Value value) const {
  // The grid hears of the change through the table and repaints this cell.
  b_->table->SetValue(row_, column_, std::move(value));
}

std::wstring Cell::Text() const { return table::ValueText(Value()); }

bool Cell::Selected() const { return b_->IsCellSelected(row_, column_); }

void Cell::SetSelected(bool selected) const {
  if (b_->SelectCell(row_, column_, selected) && b_->grid) b_->grid->OnCellChanged(row_, column_);
}

CellColours Cell::ResolvedAppearance() const {
  if (b_->grid) return b_->grid->ResolveCellColours(row_, column_);
  // A cell of a table no longer shown resolves to the system's colours.
  bool selected =
      b_->IsCellSelected(row_, column_) || b_->IsRowSelected(row_) || b_->IsColumnSelected(column_);
  return selected ? CellColours{SystemColour(COLOR_HIGHLIGHT), SystemColour(COLOR_HIGHLIGHTTEXT)}
                  : CellColours{SystemColour(COLOR_WINDOW), SystemColour(COLOR_WINDOWTEXT)};
}

}  // namespace mf::grid
