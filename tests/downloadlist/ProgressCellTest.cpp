// The progress bars of the Download grid, checked in pixels: the grid is
// rendered into a bitmap and each Status cell compared with what it must show.
#include <gtest/gtest.h>

#include <cmath>

#include "downloadlist/modGrid.h"
#include "tests/controls/GdiObjects.h"
#include "tests/controls/Pixels.h"
#include "tests/downloadlist/FormFixture.h"

using namespace mf;
using mf::test::Pixels;

namespace {

constexpr size_t kStatus = DownloadList::colStatus;

class ProgressCell : public test::FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    bar = GetSysColor(COLOR_HIGHLIGHT);
    back = GetSysColor(COLOR_HIGHLIGHTTEXT);
    ASSERT_NE(bar, back);
  }
  RECT CellRect(size_t row) const {
    RECT r{};
    EXPECT_TRUE(app.gridView.DownloadGrid.GetCellRect(Cell(row, kStatus), &r));
    return r;
  }
  // The grid as it paints itself.
  void Render(Pixels& px) {
    RECT rc;
    GetClientRect(app.gridView.DownloadGrid.Hwnd(), &rc);
    EXPECT_EQ(px.Width(), rc.right);
    test::PrintClient(app.gridView.DownloadGrid.Hwnd(), px);
  }
  std::unique_ptr<Pixels> Rendered() {
    RECT rc;
    GetClientRect(app.gridView.DownloadGrid.Hwnd(), &rc);
    auto px = std::make_unique<Pixels>(rc.right, rc.bottom);
    Render(*px);
    return px;
  }
  // Pixels of the cell that differ from a bar of `barWidth` pixels in
  // `fill` over `ground`, with `text` centred, in `fill` outside the bar and
  // in `ground` inside it. The text is drawn separately in the grid's font.
  int Mismatches(const Pixels& px, const RECT& cell, const std::string& text, int barWidth,
                 COLORREF fill, COLORREF ground) {
    int w = cell.right - cell.left, h = cell.bottom - cell.top;
    Pixels ref(w, h);
    RECT all{0, 0, w, h};
    HBRUSH b = CreateSolidBrush(ground);
    FillRect(ref.Dc(), &all, b);
    DeleteObject(b);
    SelectObject(ref.Dc(), GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(ref.Dc(), TRANSPARENT);
    SetTextColor(ref.Dc(), fill);
    DrawTextA(ref.Dc(), text.c_str(), static_cast<int>(text.size()), &all,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        COLORREF expected = ref.At(x, y);
        if (x < barWidth) expected ^= fill ^ ground;  // inside the bar the colours swap
        if (px.At(cell.left + x, cell.top + y) != expected) ++wrong;
      }
    return wrong;
  }
  // Where the bar ends on the cell's top line (above the text).
  int BarEnd(const Pixels& px, const RECT& cell) {
    int x = cell.left;
    while (x < cell.right && px.At(x, cell.top + 1) == bar) ++x;
    for (int rest = x; rest < cell.right; ++rest)
      EXPECT_EQ(px.At(rest, cell.top + 1), back) << "at x=" << rest;
    return x - cell.left;
  }

  COLORREF bar = 0, back = 0;
};

TEST_F(ProgressCell, FortyFivePercentFillsTheLeft45PercentWithTheTextInBothColours) {
  Fill({L"Waiting", L"45", L"Complete"});
  auto px = Rendered();
  RECT cell = CellRect(1);
  int width = cell.right - cell.left;
  EXPECT_NEAR(BarEnd(*px, cell), 0.45 * width, 1.0);
  // "45%" centred over the bar's end: part of it lies on the bar (drawn in
  // the highlight-text colour), part on the rest (in the highlight colour).
  int barEnd = BarEnd(*px, cell);
  RECT onBar{cell.left, cell.top + 2, cell.left + barEnd, cell.bottom - 2};
  RECT offBar{cell.left + barEnd, cell.top + 2, cell.right, cell.bottom - 2};
  EXPECT_GT(px->Count(onBar, back), 0);
  EXPECT_GT(px->Count(offBar, bar), 0);
  EXPECT_EQ(Mismatches(*px, cell, "45%", barEnd, bar, back), 0);
  // The neighbours are left to the grid: no bar colour there.
  EXPECT_EQ(px->Count(CellRect(0), bar), 0);
  EXPECT_EQ(px->Count(CellRect(2), bar), 0);
}

TEST_F(ProgressCell, ZeroShowsNoBarAHundredAFullOneAndOutOfRangeValuesAreClamped) {
  Fill({L"0", L"100", L"150", L"-5"});
  auto px = Rendered();
  RECT zero = CellRect(0), full = CellRect(1), over = CellRect(2), under = CellRect(3);
  int width = zero.right - zero.left;
  EXPECT_EQ(BarEnd(*px, zero), 0);
  EXPECT_EQ(Mismatches(*px, zero, "0%", 0, bar, back), 0);
  EXPECT_EQ(BarEnd(*px, full), width);
  EXPECT_EQ(Mismatches(*px, full, "100%", width, bar, back), 0);
  EXPECT_EQ(Mismatches(*px, over, "100%", width, bar, back), 0);
  EXPECT_EQ(Mismatches(*px, under, "0%", 0, bar, back), 0);
}

TEST_F(ProgressCell, ASelectedProgressCellShowsItsSelectionColoursOverTheFullWidth) {
  Fill({L"45", L"10", L"45"});
  ClickSelector(0);                   // a whole row
  ClickCell(1, kStatus, MK_CONTROL);  // the cell itself
  SetFocus(form.Hwnd());              // no focus rectangle over the active cell
  auto px = Rendered();
  grid::CellColours own = Cell(0, kStatus).ResolvedAppearance();
  COLORREF selBack = modGrid::TranslateColor(own.back), selText = modGrid::TranslateColor(own.fore);
  EXPECT_EQ(selBack, RGB(0, 0, 0));  // band appearance set 4
  EXPECT_EQ(selText, RGB(255, 255, 255));
  for (size_t row : {0u, 1u}) {
    RECT cell = CellRect(row);
    int w = cell.right - cell.left;
    EXPECT_EQ(Mismatches(*px, cell, row == 0 ? "45%" : "10%", w, selBack, selText), 0) << row;
    EXPECT_EQ(px->Count(cell, bar), 0);
  }
  // The unselected one keeps the highlight bar.
  EXPECT_NEAR(BarEnd(*px, CellRect(2)), 0.45 * (CellRect(2).right - CellRect(2).left), 1.0);
}

TEST_F(ProgressCell, StatusTextsAreDrawnByTheGridAsPlainText) {
  Fill({L"Complete", L"Preparing (45%)", L"1.5 MB so far..", L"Start Downloading..."});
  auto withFilter = Rendered();
  app.gridView.DownloadGrid.SetDrawFilter(nullptr);
  auto gridOnly = Rendered();
  for (size_t row = 0; row < 4; ++row) {
    RECT cell = CellRect(row);
    EXPECT_EQ(withFilter->Count(cell, bar), 0) << row;
    EXPECT_GT(withFilter->Count(cell, GetSysColor(COLOR_WINDOWTEXT)), 0) << row;  // its text
    EXPECT_EQ(withFilter->At(cell.right - 2, cell.top + 1), RGB(255, 255, 255));  // set 3
    for (int y = cell.top; y < cell.bottom; ++y)
      for (int x = cell.left; x < cell.right; ++x)
        ASSERT_EQ(withFilter->At(x, y), gridOnly->At(x, y)) << row << " at " << x << "," << y;
  }
}

TEST_F(ProgressCell, NumericMeansANumberRoundedHalfToEven) {
  using modGrid::NumericValue;
  EXPECT_EQ(NumericValue(std::wstring(L"45")), 45);
  EXPECT_EQ(NumericValue(std::wstring(L" 45 ")), 45);
  EXPECT_EQ(NumericValue(std::wstring(L"45.5")), 46);
  EXPECT_EQ(NumericValue(std::wstring(L"44.5")), 44);
  EXPECT_EQ(NumericValue(std::wstring(L"-5")), -5);
  EXPECT_EQ(NumericValue(std::wstring(L"1e2")), 100);
  EXPECT_EQ(NumericValue(int32_t{7}), 7);
  for (const wchar_t* text : {L"Complete", L"Preparing (45%)", L"1.5 MB so far..", L"", L"  ",
                              L"0x10", L"inf", L"nan", L"45%", L"99999999999"})
    EXPECT_FALSE(NumericValue(std::wstring(text))) << text;
  EXPECT_FALSE(NumericValue(table::Value{}));
}

TEST_F(ProgressCell, TranslateColorResolvesSystemColoursAndGivesBlackForBadOnes) {
  EXPECT_EQ(modGrid::TranslateColor(grid::SystemColour(COLOR_HIGHLIGHT)),
            GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(modGrid::TranslateColor(RGB(60, 117, 157)), RGB(60, 117, 157));
  EXPECT_EQ(modGrid::TranslateColor(0x800000FFu), RGB(0, 0, 0));  // no such system colour
  EXPECT_EQ(modGrid::TranslateColor(0x7F123456u), RGB(0, 0, 0));  // not a colour at all
}

TEST_F(ProgressCell, ACellCountsAsSelectedThroughItselfItsColumnOrItsRow) {
  Fill({L"1", L"2", L"3", L"4"});
  EXPECT_FALSE(modGrid::IsCellSelected(Cell(0, kStatus)));
  Cell(0, kStatus).SetSelected(true);
  Row(1).SetSelected(true);
  app.gridView.DownloadGrid.Columns(DownloadList::colFileSize).SetSelected(true);
  EXPECT_TRUE(modGrid::IsCellSelected(Cell(0, kStatus)));
  EXPECT_TRUE(modGrid::IsCellSelected(Cell(1, kStatus)));
  EXPECT_TRUE(modGrid::IsCellSelected(Cell(3, DownloadList::colFileSize)));
  EXPECT_FALSE(modGrid::IsCellSelected(Cell(2, kStatus)));
}

TEST_F(ProgressCell, DrawProgressCellRestoresTheDeviceContextAndLeaksNothing) {
  Fill({L"45"});
  Pixels px(200, 40);
  HDC dc = px.Dc();
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
  HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
  HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
  SetROP2(dc, R2_MASKPEN);
  SetTextColor(dc, RGB(7, 8, 9));
  SetBkMode(dc, OPAQUE);
  grid::UIElement element{grid::kElementCell, {10, 5, 123, 22}, nullptr, Cell(0, kStatus)};
  grid::DrawInfo info{dc, element};

  long before = test::CountGdiObjects();
  ASSERT_GT(before, 0) << "no way to count GDI objects";
  for (int i = 0; i < 1000; ++i)
    modGrid::DrawProgressCell(info, i % 120, grid::SystemColour(COLOR_HIGHLIGHT),
                              grid::SystemColour(COLOR_HIGHLIGHTTEXT), true);
  EXPECT_EQ(test::CountGdiObjects(), before);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  EXPECT_EQ(GetROP2(dc), R2_MASKPEN);
  EXPECT_EQ(GetTextColor(dc), RGB(7, 8, 9));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  // The counter does see a leak.
  HBRUSH leak = CreateSolidBrush(RGB(1, 1, 1));
  EXPECT_EQ(test::CountGdiObjects(), before + 1);
  DeleteObject(leak);

  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);

  // A thousand repaints of the cell on screen leave no object behind either.
  RECT cell = CellRect(0);
  before = test::CountGdiObjects();
  for (int i = 0; i < 1000; ++i) {
    Cell(0, kStatus).SetValue(std::to_wstring(i % 101));
    UpdateWindow(app.gridView.DownloadGrid.Hwnd());
  }
  RedrawWindow(app.gridView.DownloadGrid.Hwnd(), &cell, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(test::CountGdiObjects(), before);
}

// Counts what the grid draws and passes everything on to the form's filter.
class CountingForward : public grid::IDrawFilter {
 public:
  explicit CountingForward(grid::IDrawFilter& inner) : inner_(inner) {}
  int elements = 0, barsDrawn = 0;
  std::vector<std::pair<size_t, size_t>> cells;
  void BeforeDraw(const grid::DrawInfo& i, bool& c) override {
    ++elements;
    inner_.BeforeDraw(i, c);
  }
  void BeforeDrawBackground(const grid::DrawInfo& i, bool& c) override {
    if (i.element.cell)
      cells.emplace_back(i.element.cell->RowIndex(), i.element.cell->ColumnIndex());
    inner_.BeforeDrawBackground(i, c);
    barsDrawn += c;
  }
  void BeforeDrawBorders(const grid::DrawInfo& i, bool& c) override {
    inner_.BeforeDrawBorders(i, c);
  }
  void BeforeDrawForeground(const grid::DrawInfo& i, bool& c) override {
    inner_.BeforeDrawForeground(i, c);
  }
  void AfterDraw(const grid::DrawInfo& i) override { inner_.AfterDraw(i); }
  void BeforeSetCursor(const grid::UIElement& e, HCURSOR& c) override {
    inner_.BeforeSetCursor(e, c);
  }

 private:
  grid::IDrawFilter& inner_;
};

TEST_F(ProgressCell, AProgressStepRepaintsTheRunningItemsStatusCellOnly) {
  Fill({L"Complete", L"Start Downloading...", L"Waiting", L"Waiting", L"Waiting", L"Waiting"});
  app.queue.IsDownloading = true;
  app.ShowRunning(app.list.At(1)->Key);
  app.gridView.LocateCurrentRow();
  ASSERT_TRUE(app.gridView.CurrentRow);
  CountingForward counting(app.gridView);
  app.gridView.DownloadGrid.SetDrawFilter(&counting);
  UpdateWindow(app.gridView.DownloadGrid.Hwnd());
  counting.elements = counting.barsDrawn = 0;
  counting.cells.clear();
  // What the queue driver does on each progress event of the transfer.
  for (int percent = 1; percent <= 100; ++percent) {
    app.gridView.CurrentRow->Cells(kStatus).SetValue(std::to_wstring(percent));
    UpdateWindow(app.gridView.DownloadGrid.Hwnd());
  }
  EXPECT_EQ(counting.elements, 100);
  EXPECT_EQ(counting.barsDrawn, 100);
  ASSERT_EQ(counting.cells.size(), 100u);
  for (const auto& cell : counting.cells) EXPECT_EQ(cell, (std::pair<size_t, size_t>{1, kStatus}));
  auto px = Rendered();
  RECT cell = CellRect(1);
  EXPECT_EQ(BarEnd(*px, cell), cell.right - cell.left);
}

}  // namespace
