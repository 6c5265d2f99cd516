// The typed, width-limited table behind the grid.
#include <gtest/gtest.h>

#include "common/AppError.h"
#include "controls/table/Table.h"

using namespace mf::table;

namespace {

Table TwoColumns() {
  return Table({{L"ID", ColumnType::Integer, 0}, {L"Name", ColumnType::VarChar, 5}});
}

TEST(Table, StoresTypedValuesUpToTheColumnWidth) {
  Table t = TwoColumns();
  EXPECT_EQ(t.ColumnIndex(L"Name"), 1);
  EXPECT_EQ(t.ColumnIndex(L"name"), -1);
  size_t r = t.AddNew();
  EXPECT_EQ(t.Position(), r);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(t.GetValue(r, 1)));
  t.SetValue(r, 0, 7);
  t.SetValue(r, 1, std::wstring(L"12345"));
  EXPECT_EQ(ValueText(t.GetValue(r, 0)), L"7");
  EXPECT_EQ(ValueText(t.GetValue(r, 1)), L"12345");
  t.SetValue(r, 1, Value{});
  EXPECT_EQ(ValueText(t.GetValue(r, 1)), L"");
}

TEST(Table, RefusesValuesThatDoNotFitAndKeepsTheOldOne) {
  Table t = TwoColumns();
  size_t r = t.AddNew();
  t.SetValue(r, 1, std::wstring(L"abc"));
  try {
    t.SetValue(r, 1, std::wstring(L"123456"));
    FAIL() << "a six-character value fitted a five-character column";
  } catch (const mf::AppError& e) {
    EXPECT_EQ(e.Number(), kErrValueDoesNotFit);
  }
  EXPECT_THROW(t.SetValue(r, 0, std::wstring(L"1")), mf::AppError);
  EXPECT_THROW(t.SetValue(r, 1, 5), mf::AppError);
  EXPECT_EQ(ValueText(t.GetValue(r, 1)), L"abc");
  EXPECT_THROW(t.GetValue(1, 0), mf::AppError);
  EXPECT_THROW(t.SetValue(0, 2, 1), mf::AppError);
}

TEST(Table, TellsListenersOfEveryChangeUntilTheyLeave) {
  Table t = TwoColumns();
  t.AddNew();
  t.AddNew();
  std::vector<std::pair<size_t, size_t>> seen;
  int token = t.Subscribe([&](size_t row, size_t col) { seen.emplace_back(row, col); });
  t.SetValue(1, 1, std::wstring(L"x"));
  t.SetValue(0, 0, 3);
  t.SetValue(1, 1, std::wstring(L"x"));  // the same value again changes nothing
  t.Unsubscribe(token);
  t.SetValue(0, 1, std::wstring(L"y"));
  EXPECT_EQ(seen, (std::vector<std::pair<size_t, size_t>>{{1, 1}, {0, 0}}));
}

}  // namespace
