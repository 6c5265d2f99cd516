#pragma once
// The grid's object model: references to its columns, rows and cells.
// References are small values that share the state of one binding of the
// grid to a table. A reference kept across a rebinding stays safe to use: it
// then addresses the old table, which nothing shows any more.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid/GridTypes.h"
#include "controls/table/Table.h"

namespace mf::grid {

class Grid;
class Row;
class Cell;

struct ColumnLayout {
  std::wstring key;
  std::wstring caption;
  int widthTwips = 1440;
  bool editable = true;
};

struct CellAddress {
  size_t row = 0;
  size_t column = 0;
  bool operator==(const CellAddress&) const = default;
};

// One binding of the grid to a table: its column layout and its selection.
struct Binding {
  std::shared_ptr<table::Table> table;
  Grid* grid = nullptr;  // none once the grid has moved on to another table
  std::vector<ColumnLayout> columns;
  std::vector<uint8_t> rowSelected;
  std::vector<uint8_t> columnSelected;
  std::vector<uint8_t> cellSelected;        // row-major, one per cell
  std::vector<CellAddress> selectionOrder;  // selected cells, oldest first

  size_t RowCount() const noexcept { return table ? table->RowCount() : 0; }
  size_t ColumnCount() const noexcept { return columns.size(); }
  bool IsRowSelected(size_t row) const noexcept;
  bool IsColumnSelected(size_t column) const noexcept;
  bool IsCellSelected(size_t row, size_t column) const noexcept;
  // Each returns whether anything changed.
  bool SelectRow(size_t row, bool on);
  bool SelectColumn(size_t column, bool on);
  bool SelectCell(size_t row, size_t column, bool on);
  bool ClearSelection();

 private:
  // Tells the grid, which tells assistive technology; true.
  bool SelectionChanged();
};

// Throws mf::AppError(kErrNoSuchItem) when the address is outside the binding.
void CheckRow(const Binding& b, size_t row);
void CheckColumn(const Binding& b, size_t column);

// Resolved colours of a cell, both plain or system OLE colours.
struct CellColours {
  Colour back;
  Colour fore;
};

class Column {
 public:
  Column(std::shared_ptr<Binding> binding, size_t index);
  size_t Index() const noexcept { return index_; }
  const std::wstring& Key() const;
  const std::wstring& Caption() const;
  void SetCaption(const std::wstring& caption) const;
  int Width() const;  // twips
  void SetWidth(int twips) const;
  bool Editable() const;
  void SetEditable(bool editable) const;
  bool Selected() const;
  void SetSelected(bool selected) const;

 private:
  ColumnLayout& Layout() const;
  std::shared_ptr<Binding> b_;
  size_t index_;
};

class Row {
 public:
  Row(std::shared_ptr<Binding> binding, size_t index);
  size_t Index() const noexcept { return index_; }
  Cell Cells(size_t column) const;
  bool Selected() const;
  void SetSelected(bool selected) const;
  bool HasNextSibling() const;
  bool HasPrevSibling() const;
  Row NextSibling() const;  // throws when there is none
  Row PrevSibling() const;
  // The same row of the same binding.
  bool operator==(const Row& other) const noexcept {
    return b_ == other.b_ && index_ == other.index_;
  }
  // Whether the grid still shows the table this row belongs to.
  bool IsShown() const noexcept;
  // The grid showing this row; none once it shows another table.
  const Grid* Owner() const noexcept { return b_->grid; }

 private:
  std::shared_ptr<Binding> b_;
  size_t index_;
};

class Cell {
 public:
  Cell(std::shared_ptr<Binding> binding, size_t row, size_t column);
  size_t RowIndex() const noexcept { return row_; }
  size_t ColumnIndex() const noexcept { return column_; }
  grid::Row Row() const { return grid::Row(b_, row_); }
  grid::Column Column() const { return grid::Column(b_, column_); }
  table::Value Value() const;
  // A value written by the program repaints the cell and raises no edit
  // notification. Throws mf::AppError when the value does not fit the column.
  void SetValue(table::Value value) const;
  std::wstring Text() const;
  bool Selected() const;
  void SetSelected(bool selected) const;
  CellColours ResolvedAppearance() const;
  bool operator==(const Cell& other) const noexcept {
    return b_ == other.b_ && row_ == other.row_ && column_ == other.column_;
  }

 private:
  std::shared_ptr<Binding> b_;
  size_t row_;
  size_t column_;
};

}  // namespace mf::grid
