// The Download grid without a mouse and through a screen reader: Delete and
// Enter on the items, and what MSAA reads of each row.
#include <windows.h>

#include <gtest/gtest.h>

#include "downloadlist/Vocabulary.h"
#include "tests/controls/MsaaClient.h"
#include "tests/downloadlist/FormFixture.h"

using namespace mf;
using namespace mf::test;

namespace {

using ListKeys = FormFixture;

TEST_F(ListKeys, ARowReadsAsItsFileNameOrItsAddressAndAsItsStatusOrPercentage) {
  struct Case {
    std::wstring fileName, status, name, value;
  } cases[] = {
      {vocab::kAutoDetect, vocab::kWaiting, Url(1), L"Waiting"},  // no name yet: the address
      {L"clip.flv", L"42", L"clip.flv", L"42 %"},                 // drawn as a bar
      {vocab::kNameError, vocab::kLinkNotSupported, Url(3), vocab::kLinkNotSupported},
      {L"big.flv", L"150", L"big.flv", L"100 %"},  // as the bar shows it
      {vocab::kProcessFailed, vocab::kError, Url(5), vocab::kError},
      {L"done.flv", vocab::kComplete, L"done.flv", vocab::kComplete},
  };
  for (int i = 0; i < 6; ++i)
    app.list.AddItem(Url(i + 1), cases[i].fileName, cases[i].status, L"1 MB");
  ASSERT_TRUE(app.list.FillDownloadList());
  MsaaClient reader(app.gridView.DownloadGrid.Hwnd());
  ASSERT_EQ(reader.hr, S_OK);
  EXPECT_EQ(reader.Name(CHILDID_SELF), L"Download list");
  ASSERT_EQ(reader.Count(), 6);
  for (long child = 1; child <= 6; ++child) {
    EXPECT_EQ(reader.Name(child), cases[child - 1].name) << child;
    EXPECT_EQ(reader.Value(child), cases[child - 1].value) << child;
  }
}

TEST_F(ListKeys, DeleteRemovesTheSelectedItemsAndEnterOpensTheFinishedOne) {
  Fill({vocab::kComplete, vocab::kWaiting, vocab::kWaiting});
  HWND grid = app.gridView.DownloadGrid.Hwnd();
  ClickCell(1, DownloadList::colVideoURL);
  SendMessageA(grid, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(grid, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(1), Url(2)}));
  platform.shellCalls.clear();  // the clipboard watcher's start, with the settings of the moment
  ClickCell(1, DownloadList::colVideoURL);
  SendMessageA(grid, WM_KEYDOWN, VK_RETURN, 0);  // waiting: nothing to open
  EXPECT_TRUE(platform.shellCalls.empty());
  ClickCell(0, DownloadList::colVideoURL);
  SendMessageA(grid, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(platform.shellCalls.size(), 1u);
  EXPECT_EQ(platform.shellCalls[0].file, app.settings.DownloadFolder + L"\\file1.flv");
}

}  // namespace
