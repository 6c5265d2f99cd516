// The menu on the Download list's items, opened as the user opens it (right
// button, context-menu key) on real rows and worked with the keyboard; the
// double click on a finished item; the column widths.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/AppPath.h"
#include "common/Text.h"
#include "downloadlist/Vocabulary.h"
#include "tests/downloadlist/FormFixture.h"
#include "tests/shell/TrayMenuDriver.h"
#include "tests/support/Shown.h"

using namespace mf;
using namespace mf::test;

namespace {

constexpr UINT kOpen = 1, kShow = 2, kCopy = 3, kTryAgain = 4, kRemove = 5;

// Notes when the menu's own loop takes its first message: the menu is open.
LARGE_INTEGER g_menuUp{};
LRESULT CALLBACK NoteMenuUp(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_MENU && !g_menuUp.QuadPart) QueryPerformanceCounter(&g_menuUp);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ItemMenu : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    folder = FromAnsi(tmp) + L"mf-menu-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryA(ToAnsi(folder).c_str(), nullptr);
    app.settings.DownloadFolder = folder;
    // 1 finished and there, 2 failed with its partial file, 3 waiting, 4 cancelled.
    Fill({vocab::kComplete, vocab::kError, vocab::kWaiting, vocab::kCancelled});
    Touch(InFolder(L"file1.flv"));
    Touch(InFolder(L"file2.flv.part"));
    app.list.At(1)->PartFile = InFolder(L"file2.flv.part");
    platform.shellCalls.clear();
    menuHook = SetWindowsHookExA(WH_MSGFILTER, &NoteMenuUp, nullptr, GetCurrentThreadId());
  }
  void TearDown() override {
    UnhookWindowsHookEx(menuHook);
    DeleteFileA(ToAnsi(InFolder(L"file1.flv")).c_str());
    DeleteFileA(ToAnsi(InFolder(L"file2.flv.part")).c_str());
    RemoveDirectoryA(ToAnsi(folder).c_str());
  }
  static void Touch(const std::wstring& path) {
    HANDLE h =
        CreateFileA(ToAnsi(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  std::wstring InFolder(const std::wstring& name) const { return folder + L"\\" + name; }
  HWND Grid() const { return app.gridView.DownloadGrid.Hwnd(); }

  // Right click on the row's status cell; `choose` is the letter of the item
  // to choose (0 closes the menu). Returns which items were available.
  std::vector<UINT> RightClick(size_t row, char choose) {
    const POINT at = CentreOf(row, DownloadList::colStatus);
    SendMessageA(Grid(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    return WithMenu(choose, [&] { SendMessageA(Grid(), WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y)); });
  }
  template <typename Open>
  std::vector<UINT> WithMenu(char choose, Open open) {
    TrayMenuDriver menus;
    std::vector<UINT> available;
    menus.onOpen = [&](HWND menu) {
      HMENU items = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
      for (UINT id = kOpen; id <= kRemove; ++id)
        if (!(GetMenuState(items, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)))
          available.push_back(id);
      return choose ? std::vector<WORD>{static_cast<WORD>(choose)} : TrayMenuDriver::Close();
    };
    LARGE_INTEGER asked;
    g_menuUp.QuadPart = 0;
    QueryPerformanceCounter(&asked);
    open();
    EXPECT_EQ(menus.opened, 1);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    lastOpenMs = static_cast<double>(g_menuUp.QuadPart - asked.QuadPart) * 1000.0 /
                 static_cast<double>(frequency.QuadPart);
    return available;
  }
  std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }

  std::wstring folder;
  HHOOK menuHook = nullptr;
  double lastOpenMs = 0;
};

TEST_F(ItemMenu, ItemsThatDoNotApplyAreGreyedForEachKindOfRow) {
  struct Case {
    size_t row;
    std::vector<UINT> available;
  };
  const Case cases[] = {
      {0, {kOpen, kShow, kCopy, kRemove}},      // finished, its file there
      {1, {kShow, kCopy, kTryAgain, kRemove}},  // failed, its partial file there
      {2, {kCopy, kRemove}},                    // waiting
      {3, {kCopy, kTryAgain, kRemove}},         // cancelled, no partial file
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RightClick(c.row, 0), c.available) << c.row;
    // The row clicked is the selection the menu acted on.
    EXPECT_EQ(app.gridView.SelectedKeys(), std::vector<uint32_t>{app.list.At(c.row)->Key});
    EXPECT_GT(g_menuUp.QuadPart, 0);
    EXPECT_LT(lastOpenMs, 100.0) << "the menu opened in " << lastOpenMs << " ms";
  }
  // A finished video whose file has gone cannot be opened or shown.
  DeleteFileA(ToAnsi(InFolder(L"file1.flv")).c_str());
  EXPECT_EQ(RightClick(0, 0), (std::vector<UINT>{kCopy, kRemove}));
}

TEST_F(ItemMenu, EachCommandActsOnTheRowsInTheSelection) {
  // Open and Show in folder go to the shell.
  RightClick(0, 'O');
  RightClick(1, 'F');
  ASSERT_EQ(platform.shellCalls.size(), 2u);
  EXPECT_EQ(platform.shellCalls[0].verb, L"open");
  EXPECT_EQ(platform.shellCalls[0].file, InFolder(L"file1.flv"));
  EXPECT_EQ(platform.shellCalls[1].file, L"explorer.exe");
  EXPECT_EQ(platform.shellCalls[1].parameters, L"/select,\"" + InFolder(L"file2.flv.part") + L"\"");

  // Several rows: a right click inside the selection keeps it.
  ClickCell(0, DownloadList::colVideoURL);
  ClickCell(1, DownloadList::colVideoURL, MK_SHIFT);
  RightClick(1, 'C');
  EXPECT_EQ(ClipboardText(), Url(1) + L"\r\n" + Url(2));

  ClickSelector(1);
  ClickSelector(3, MK_CONTROL);
  EXPECT_EQ(RightClick(3, 'T'), (std::vector<UINT>{kShow, kCopy, kTryAgain, kRemove}));
  EXPECT_EQ(StatusText(*app.list.At(1)), vocab::kWaiting);
  EXPECT_EQ(StatusText(*app.list.At(3)), vocab::kWaiting);
  EXPECT_EQ(Cell(3, DownloadList::colStatus).Text(), vocab::kWaiting);

  // The context-menu key opens it for the selection too.
  ClickCell(0, DownloadList::colFileName);
  ClickCell(2, DownloadList::colFileName, MK_CONTROL);
  WithMenu('R', [&] { SendMessageA(Grid(), WM_KEYDOWN, VK_APPS, 0); });
  EXPECT_EQ(ListUrls(), (std::vector<std::wstring>{Url(2), Url(4)}));
  EXPECT_EQ(GridRows(), (std::vector<std::wstring>{L"1 " + Url(2), L"2 " + Url(4)}));
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ItemMenu, DoubleClickOpensAFinishedVideoFromItsAddressOrStatusAndRenamesFromItsName) {
  auto doubleClick = [&](size_t row, size_t column) {
    const POINT at = CentreOf(row, column);
    Click(at);
    SendMessageA(Grid(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  };
  doubleClick(0, DownloadList::colVideoURL);
  doubleClick(0, DownloadList::colStatus);
  doubleClick(1, DownloadList::colStatus);  // failed: nothing to open
  ASSERT_EQ(platform.shellCalls.size(), 2u);
  for (const ShellCall& call : platform.shellCalls) EXPECT_EQ(call.file, InFolder(L"file1.flv"));
  EXPECT_FALSE(app.gridView.DownloadGrid.IsEditing());
  doubleClick(0, DownloadList::colFileName);
  EXPECT_TRUE(app.gridView.DownloadGrid.IsEditing());
  EXPECT_EQ(platform.shellCalls.size(), 2u);
}

TEST_F(ItemMenu, SizesFitTheAddressTakesTheRestAndDraggedWidthsStayForTheSession) {
  grid::Grid& grid = app.gridView.DownloadGrid;
  // "1023.9 MB" fits in the size cell, margins included, in the grid's font.
  HDC dc = GetDC(Grid());
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE text{};
  GetTextExtentPoint32A(dc, "1023.9 MB", 9, &text);
  SelectObject(dc, old);
  ReleaseDC(Grid(), dc);
  RECT size{}, client{};
  ASSERT_TRUE(grid.GetCellRect(Cell(0, DownloadList::colFileSize), &size));
  EXPECT_GE(size.right - size.left, text.cx + 6);
  // The columns end where the room ends, a vertical scroll bar's width short.
  GetClientRect(Grid(), &client);
  EXPECT_NEAR(size.right + 1 + GetSystemMetrics(SM_CXVSCROLL), client.right, 1);
  EXPECT_EQ(grid.Columns(DownloadList::colFileName).Width(), 1800);

  // The user drags the address column's right edge 40 pixels to the left.
  RECT address{};
  ASSERT_TRUE(grid.GetCellRect(Cell(0, DownloadList::colVideoURL), &address));
  const int edge = address.right + 1, y = address.top - 5;  // in the header
  SendMessageA(Grid(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(edge, y));
  SendMessageA(Grid(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(edge - 40, y));
  SendMessageA(Grid(), WM_LBUTTONUP, 0, MAKELPARAM(edge - 40, y));
  RECT narrower{};
  ASSERT_TRUE(grid.GetCellRect(Cell(0, DownloadList::colVideoURL), &narrower));
  EXPECT_EQ(narrower.right, address.right - 40);
  const int dragged = grid.Columns(DownloadList::colVideoURL).Width();

  // Emptied and filled again, the list is laid out anew with that width.
  app.gridView.SelectAll();
  app.gridView.RemoveSelected();
  ASSERT_EQ(grid.ColumnCount(), 0u);
  app.gridView.AddURLToList(Url(9));
  EXPECT_EQ(grid.Columns(DownloadList::colVideoURL).Width(), dragged);
}

}  // namespace
