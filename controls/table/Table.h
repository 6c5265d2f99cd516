#pragma once
// A small disconnected table with typed, width-limited columns: the data
// source that the grid shows. Values are null, a 32-bit integer or text.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace mf::table {

enum class ColumnType { Integer, VarChar };

struct Column {
  std::wstring name;
  ColumnType type;
  int width;  // characters, for VarChar columns
};

using Value = std::variant<std::monostate, int32_t, std::wstring>;

// Number raised for a value that does not fit its column (too long, wrong type).
constexpr long kErrValueDoesNotFit = static_cast<long>(0x80040E21);
// Number raised for a row or column that does not exist.
constexpr long kErrNoSuchField = static_cast<long>(0x800A0CC1);

// Text shown for a value: digits for an integer, empty for null.
std::wstring ValueText(const Value& v);

class Table {
 public:
  explicit Table(std::vector<Column> columns);

  const std::vector<Column>& Columns() const noexcept { return columns_; }
  int ColumnIndex(const std::wstring& name) const noexcept;  // -1 when absent
  size_t RowCount() const noexcept { return rows_.size(); }

  // Appends a row of nulls and makes it current; returns its index.
  size_t AddNew();
  // Raises mf::AppError (kErrValueDoesNotFit) for a value of the wrong type or
  // longer than the column's width, and kErrNoSuchField for a bad address.
  void SetValue(size_t row, size_t column, Value value);
  const Value& GetValue(size_t row, size_t column) const;

  // The cursor: the current row, or RowCount() when past the end.
  size_t Position() const noexcept { return position_; }
  void MoveFirst() noexcept { position_ = 0; }

  // Called after every SetValue that changed a value, with its row and column.
  using ChangeListener = std::function<void(size_t row, size_t column)>;
  int Subscribe(ChangeListener listener);
  void Unsubscribe(int token);

 private:
  void CheckAddress(size_t row, size_t column) const;

  std::vector<Column> columns_;
  std::vector<std::vector<Value>> rows_;
  size_t position_ = 0;
  std::vector<std::pair<int, ChangeListener>> listeners_;
  int nextToken_ = 1;
};

}  // namespace mf::table
