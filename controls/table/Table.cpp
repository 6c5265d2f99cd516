#include "controls/table/Table.h"

#include "common/AppError.h"

namespace mf::table {

std::wstring ValueText(const Value& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return std::to_wstring(*i);
  if (const auto* s = std::get_if<std::wstring>(&v)) return *s;
  return {};
}

Table::Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

int Table::ColumnIndex(const std::wstring& name) const noexcept {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].name == name) return static_cast<int>(i);
  return -1;
}

size_t Table::AddNew() {
  rows_.emplace_back(columns_.size());
  position_ = rows_.size() - 1;
  return position_;
}

void Table::CheckAddress(size_t row, size_t column) const {
  if (row >= rows_.size() || column >= columns_.size())
    throw AppError(kErrNoSuchField,
                   L"Either BOF or EOF is True, or the current record has been deleted.");
}

void Table::SetValue(size_t row, size_t column, Value value) {
  CheckAddress(row, column);
  const Column& c = columns_[column];
  if (!std::holds_alternative<std::monostate>(value)) {
    bool fits = c.type == ColumnType::Integer ? std::holds_alternative<int32_t>(value)
                                              : std::holds_alternative<std::wstring>(value);
    if (fits && c.type == ColumnType::VarChar)
      fits = std::get<std::wstring>(value).size() <= static_cast<size_t>(c.width);
    if (!fits)
      throw AppError(kErrValueDoesNotFit, L"The value does not fit the column " + c.name + L".");
  }
  // A write that changes nothing is no change: views need not repaint.
  if (rows_[row][column] == value) return;
  rows_[row][column] = std::move(value);
  // Listeners may unsubscribe while being told; walk a copy.
  auto listeners = listeners_;
  for (auto& [token, listener] : listeners) listener(row, column);
}

const Value& Table::GetValue(size_t row, size_t column) const {
  CheckAddress(row, column);
  return rows_[row][column];
}

int Table::Subscribe(ChangeListener listener) {
  listeners_.emplace_back(nextToken_, std::move(listener));
  return nextToken_++;
}

void Table::Unsubscribe(int token) {
  std::erase_if(listeners_, [token](const auto& l) { return l.first == token; });
}

}  // namespace mf::table
