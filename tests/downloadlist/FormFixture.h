#pragma once
// The main window loaded with its Download grid shown, an empty list, and the
// person's answers scripted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloadlist/DownloadList.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestProgram.h"

namespace mf::test {

class FormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form.Load());
    app.gridView.DownloadGrid.SetVisible(true);
    app.gridView.DownloadGrid.BringToFront();
  }
  void TearDown() override {}

  static std::wstring Url(int n) {
    return L"http://www.youtube.com/watch?v=item" + std::to_wstring(n);
  }
  // Items 1..n with these statuses, shown in the grid.
  void Fill(const std::vector<std::wstring>& statuses) {
    for (size_t i = 0; i < statuses.size(); ++i)
      app.list.AddItem(Url(static_cast<int>(i + 1)), L"file" + std::to_wstring(i + 1) + L".flv",
                       statuses[i], statuses[i].ends_with(L" so far..") ? L"0" : L"1.5 MB");
    ASSERT_TRUE(app.list.FillDownloadList());
    UpdateWindow(app.gridView.DownloadGrid.Hwnd());
  }
  grid::Row Row(size_t index) const {
    grid::Row r = *app.gridView.DownloadGrid.FirstRow();
    for (size_t i = 0; i < index; ++i) r = r.NextSibling();
    return r;
  }
  grid::Cell Cell(size_t row, size_t column) const { return Row(row).Cells(column); }
  std::vector<std::wstring> ListUrls() const {
    std::vector<std::wstring> urls;
    for (const DownloadItem& item : app.list.Items()) urls.push_back(item.Video_URL);
    return urls;
  }
  // Every row's ID and Video_URL as the grid shows them.
  std::vector<std::wstring> GridRows() const {
    std::vector<std::wstring> rows;
    for (auto r = app.gridView.DownloadGrid.FirstRow(); r;
         r = r->HasNextSibling() ? std::optional(r->NextSibling()) : std::nullopt)
      rows.push_back(r->Cells(0).Text() + L" " + r->Cells(1).Text());
    return rows;
  }
  POINT CentreOf(size_t row, size_t column) const {
    RECT r{};
    EXPECT_TRUE(app.gridView.DownloadGrid.GetCellRect(Cell(row, column), &r));
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Click(POINT pt, WPARAM keys = 0) {
    HWND g = app.gridView.DownloadGrid.Hwnd();
    SendMessageA(g, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(pt.x, pt.y));
    SendMessageA(g, WM_LBUTTONUP, keys, MAKELPARAM(pt.x, pt.y));
  }
  void ClickCell(size_t row, size_t column, WPARAM keys = 0) { Click(CentreOf(row, column), keys); }
  void ClickSelector(size_t row, WPARAM keys = 0) { Click({3, CentreOf(row, 0).y}, keys); }
  // What a click on one of the hidden classic buttons sends to the form.
  void PressButton(HWND button) {
    SendMessageA(form.Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  }
  std::wstring DownloadButton() const {
    return Controls(form).Flash.GetVariable(L"_root.downloadBtn");
  }

  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  mf::test::TestProgram app;
  frmMain& form = app.form;
};

}  // namespace mf::test
