#pragma once
// A grid on a plain top-level window, bound to a small table, with its
// notifications recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid/Grid.h"
#include "controls/table/Table.h"
#include "tests/support/Wait.h"

namespace mf::test {

class HostWindow {
 public:
  HostWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = "GridTestHost";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, "GridTestHost", "grid test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                            40, 40, 640, 420, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~HostWindow() { DestroyWindow(hwnd_); }
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

struct EditRecord {
  std::string phase;  // "before" or "after"
  size_t row, column;
  std::wstring value;
};

class EventLog : public grid::IGridEvents {
 public:
  int layouts = 0;
  std::vector<EditRecord> edits;
  bool cancel = false;
  void InitializeLayout(grid::Grid&) override { ++layouts; }
  void BeforeCellUpdate(const grid::Cell& cell, const table::Value& value, bool& c) override {
    edits.push_back({"before", cell.RowIndex(), cell.ColumnIndex(), table::ValueText(value)});
    c = cancel;
  }
  void AfterCellUpdate(const grid::Cell& cell) override {
    edits.push_back({"after", cell.RowIndex(), cell.ColumnIndex(), cell.Text()});
  }
};

// Counts what the grid draws; can take over a cell's background or text.
class CountingFilter : public grid::IDrawFilter {
 public:
  struct Drawn {
    int type;
    RECT rect;
    size_t row, column;
  };
  std::vector<Drawn> backgrounds, foregrounds;
  int befores = 0, borders = 0, afters = 0;
  // Cells of this column get their background painted here and no text.
  std::optional<size_t> ownColumn;
  COLORREF ownColour = RGB(1, 2, 3);

  void Reset() {
    backgrounds.clear();
    foregrounds.clear();
    befores = borders = afters = 0;
  }
  int CellBackgrounds() const {
    int n = 0;
    for (const Drawn& d : backgrounds) n += d.type == grid::kElementCell;
    return n;
  }
  void BeforeDraw(const grid::DrawInfo&, bool&) override { ++befores; }
  void BeforeDrawBackground(const grid::DrawInfo& info, bool& cancel) override {
    const grid::UIElement& e = info.element;
    backgrounds.push_back(
        {e.type, e.rect, e.cell ? e.cell->RowIndex() : 0, e.cell ? e.cell->ColumnIndex() : 0});
    if (e.type == grid::kElementCell && ownColumn && e.cell->ColumnIndex() == *ownColumn) {
      HBRUSH b = CreateSolidBrush(ownColour);
      FillRect(info.dc, &e.rect, b);
      DeleteObject(b);
      cancel = true;
    }
  }
  void BeforeDrawBorders(const grid::DrawInfo&, bool&) override { ++borders; }
  void BeforeDrawForeground(const grid::DrawInfo& info, bool& cancel) override {
    const grid::UIElement* cell = info.element.Find(grid::kElementCell);
    foregrounds.push_back({info.element.type, info.element.rect, cell ? cell->cell->RowIndex() : 0,
                           cell ? cell->cell->ColumnIndex() : 0});
    if (cell && ownColumn && cell->cell->ColumnIndex() == *ownColumn) cancel = true;
  }
  void AfterDraw(const grid::DrawInfo&) override { ++afters; }
  void BeforeSetCursor(const grid::UIElement&, HCURSOR&) override {}
};

// Columns ID (integer), Name (text of 12), Status (text of 20).
inline std::shared_ptr<table::Table> MakeTable(size_t rows) {
  auto t = std::make_shared<table::Table>(
      std::vector<table::Column>{{L"ID", table::ColumnType::Integer, 0},
                                 {L"Name", table::ColumnType::VarChar, 12},
                                 {L"Status", table::ColumnType::VarChar, 20}});
  for (size_t i = 0; i < rows; ++i) {
    size_t r = t->AddNew();
    t->SetValue(r, 0, static_cast<int32_t>(i + 1));
    t->SetValue(r, 1, L"name " + std::to_wstring(i));
    t->SetValue(r, 2, L"s" + std::to_wstring(i));
  }
  return t;
}

class GridFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(grid.Create({.parent = host.Hwnd(),
                             .id = 7,
                             .left = 10,
                             .top = 10,
                             .width = 560,
                             .height = 300,
                             .visible = true,
                             .events = &log}));
  }
  void Bind(size_t rows) {
    table = MakeTable(rows);
    grid.SetDataSource(table);
    UpdateWindow(grid.Hwnd());
  }
  grid::Cell CellAt(size_t row, size_t column) const { return RowAt(row).Cells(column); }
  grid::Row RowAt(size_t row) const {
    grid::Row r = *grid.FirstRow();
    for (size_t i = 0; i < row; ++i) r = r.NextSibling();
    return r;
  }
  POINT CentreOf(size_t row, size_t column) const {
    RECT r{};
    EXPECT_TRUE(grid.GetCellRect(RowAt(row).Cells(column), &r));
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Click(POINT pt, WPARAM keys = 0) {
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    SendMessageA(grid.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    SendMessageA(grid.Hwnd(), WM_LBUTTONUP, keys, at);
  }
  void ClickCell(size_t row, size_t column, WPARAM keys = 0) { Click(CentreOf(row, column), keys); }
  void ClickSelector(size_t row, WPARAM keys = 0) { Click({3, CentreOf(row, 0).y}, keys); }
  void ClickHeader(size_t column, WPARAM keys = 0) {
    RECT r{};
    grid.GetCellRect(RowAt(grid.TopRow()).Cells(column), &r);
    Click({(r.left + r.right) / 2, r.top - 6}, keys);
  }
  void Key(WPARAM vk, HWND to = nullptr) {
    SendMessageA(to ? to : grid.Hwnd(), WM_KEYDOWN, vk, 0);
    SendMessageA(to ? to : grid.Hwnd(), WM_KEYUP, vk, 0);
  }
  // Holds a modifier key down in the thread's keyboard state while `body` runs.
  static void WithKeyDown(int vk, const std::function<void()>& body) {
    BYTE state[256];
    GetKeyboardState(state);
    BYTE saved = state[vk];
    state[vk] = 0x80;
    SetKeyboardState(state);
    body();
    state[vk] = saved;
    SetKeyboardState(state);
  }

  HostWindow host;
  EventLog log;
  grid::Grid grid;
  std::shared_ptr<table::Table> table;
};

}  // namespace mf::test
