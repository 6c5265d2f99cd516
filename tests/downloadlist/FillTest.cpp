// Rebuilding the grid's table from the list, with commands arriving during
// the rebuild's yields.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "common/WindowText.h"
#include "controls/table/Table.h"
#include "downloadlist/DownloadList.h"
#include "shell/ItemPresenter.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"

using namespace mf;

namespace {

class CountingGrid : public IListGrid {
 public:
  explicit CountingGrid(const DownloadList& list) : list_(list) {}
  int binds = 0, unbinds = 0;
  std::shared_ptr<table::Table> bound;
  void UnbindListTable() override {
    ++unbinds;
    bound.reset();
  }
  bool FormatDownloadGrid(bool initial) override {
    EXPECT_FALSE(initial);
    ++binds;
    bound = list_.ListRecordset();
    return true;
  }
  void FillFailed(long, const std::wstring&) override { ++failures; }
  int failures = 0;

 private:
  const DownloadList& list_;
};

// A message-only window whose handler runs whatever the test posts to it:
// the stand-in for a command arriving while the rebuild yields.
class CommandWindow {
 public:
  CommandWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FillTestCommands";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, "FillTestCommands", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CommandWindow() { DestroyWindow(hwnd_); }
  void Post(std::function<void()> command) {
    command_ = std::move(command);
    PostMessageA(hwnd_, WM_APP, 0, 0);
  }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) {
      auto* self = reinterpret_cast<CommandWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
      auto command = std::move(self->command_);
      if (command) command();
      return 0;
    }
    return DefWindowProcA(h, m, w, l);
  }
  HWND hwnd_;
  std::function<void()> command_;
};

class FillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list.SetGrid(&grid);
    list.SetTexts(&presenter);
  }
  static std::wstring Cell(const table::Table& t, size_t row, size_t col) {
    return table::ValueText(t.GetValue(row, col));
  }
  ItemPresenter presenter;
  DownloadList list;
  CountingGrid grid{list};
  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
};

TEST_F(FillTest, EmptyListUnbindsTheGridAndReportsFalse) {
  EXPECT_FALSE(list.FillDownloadList());
  EXPECT_EQ(grid.unbinds, 1);
  EXPECT_EQ(grid.binds, 0);
  EXPECT_FALSE(list.IsFilling());
}

TEST_F(FillTest, CopiesEveryItemIntoTheFiveColumnsAndBinds) {
  std::wstring longUrl = L"http://www.youtube.com/watch?v=" + std::wstring(269, L'x');
  ASSERT_EQ(longUrl.size(), 300u);
  list.AddItem(longUrl, L"a.flv", L"45", L"1.5 MB");
  list.AddItem(L"http://b", L"b.flv", L"", L"");
  ASSERT_TRUE(list.FillDownloadList());
  EXPECT_FALSE(list.IsFilling());
  ASSERT_EQ(grid.binds, 1);
  const table::Table& t = *grid.bound;
  ASSERT_EQ(t.RowCount(), 2u);
  ASSERT_EQ(t.Columns().size(), 5u);
  const wchar_t* names[] = {L"ID", L"Video_URL", L"FileName", L"Status", L"FileSize"};
  for (size_t c = 0; c < 5; ++c) EXPECT_EQ(t.Columns()[c].name, names[c]);
  EXPECT_EQ(std::get<int32_t>(t.GetValue(0, 0)), 1);
  EXPECT_EQ(Cell(t, 0, 1), longUrl.substr(0, 219));
  EXPECT_EQ(list.Items()[0].Video_URL, longUrl);  // the item keeps it whole
  EXPECT_EQ(Cell(t, 0, 2), L"a.flv");
  EXPECT_EQ(Cell(t, 0, 3), L"45");
  EXPECT_EQ(Cell(t, 0, 4), L"1.5 MB");
  EXPECT_EQ(Cell(t, 1, 0), L"2");
  EXPECT_EQ(Cell(t, 1, 3), L"Waiting");
  EXPECT_EQ(Cell(t, 1, 4), L"????");
  EXPECT_EQ(t.Position(), 0u);
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(FillTest, ValuesLongerThanTheirColumnAreShownCutAndKeptWhole) {
  std::wstring longName(130, L'n');
  list.AddItem(L"http://a", longName, L"", L"");
  ASSERT_TRUE(list.FillDownloadList());
  const table::Table& t = *grid.bound;
  EXPECT_EQ(Cell(t, 0, 2), longName.substr(0, 100));
  EXPECT_EQ(list.Items()[0].FileName, longName);
  EXPECT_TRUE(platform.messageBoxes.empty());
}

// A rebuild takes no message: a command the user gives meanwhile waits for
// it, so no command ever runs in the middle of one.
TEST_F(FillTest, ARebuildRunsThroughAndACommandWaitsForIt) {
  for (auto u : {L"a", L"b", L"c", L"d"}) list.AddItem(u, L"", L"", L"");
  CommandWindow commands;
  bool ran = false;
  commands.Post([&] {
    ran = true;
    list.RemoveItem(1);
    EXPECT_TRUE(list.FillDownloadList());
  });
  ASSERT_TRUE(list.FillDownloadList());
  EXPECT_FALSE(ran);
  EXPECT_EQ(grid.bound->RowCount(), 4u);
  ASSERT_TRUE(test::PumpUntil([&] { return ran; }));
  ASSERT_EQ(grid.bound->RowCount(), 3u);
  EXPECT_EQ(Cell(*grid.bound, 0, 1), L"b");
  EXPECT_FALSE(list.IsFilling());
}

TEST_F(FillTest, BindingFailureAfterACompleteBuildIsIgnored) {
  class ThrowingGrid : public IListGrid {
   public:
    void UnbindListTable() override {}
    bool FormatDownloadGrid(bool) override { throw std::runtime_error("grid failed"); }
    void FillFailed(long, const std::wstring&) override { ADD_FAILURE() << "reported"; }
  } throwing;
  list.SetGrid(&throwing);
  list.AddItem(L"a", L"", L"", L"");
  EXPECT_TRUE(list.FillDownloadList());
  EXPECT_FALSE(list.IsFilling());
  EXPECT_TRUE(platform.messageBoxes.empty());
}

}  // namespace
