// Links and text dropped on the main window, through the drop target the
// window registered, called as OLE calls it during a drag, with the real
// data object of the clipboard in the place of a browser's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Handles.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/TestProgram.h"

using namespace mf;

namespace {

using Formats = std::vector<std::pair<UINT, std::wstring>>;

const UINT kUrlFormat = RegisterClipboardFormatA("UniformResourceLocatorW");

std::wstring Page(int n) { return L"http://www.youtube.com/watch?v=drop" + std::to_wstring(n); }

// The clipboard's data object holding these formats, as OLE hands one over.
ComPtr<IDataObject> DataWith(const Formats& formats) {
  ComPtr<IDataObject> data;
  if (!OpenClipboard(nullptr)) return data;
  EmptyClipboard();
  for (const auto& [format, text] : formats) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    SetClipboardData(format, block);
  }
  CloseClipboard();
  OleGetClipboard(data.Put());
  return data;
}

class DropTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.Load()); }

  // A drag over the window that ends in a drop: the effect each step offered.
  std::pair<DWORD, DWORD> DragAndDrop(IDataObject* data) {
    IDropTarget& target = form.DropTarget();
    const POINTL at{300, 300};
    DWORD entered = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target.DragEnter(data, MK_LBUTTON, at, &entered), S_OK);
    DWORD over = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, at, &over), S_OK);
    EXPECT_EQ(over, entered);
    DWORD dropped = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target.Drop(data, 0, at, &dropped), S_OK);
    return {entered, dropped};
  }
  std::wstring Notice() { return Controls(form).Flash.GetVariable(L"_root.notice"); }

  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  mf::test::TestProgram app;
  frmMain& form = app.form;
};

TEST_F(DropTest, TheWindowTakesDropsOfLinksAndTextLineByLine) {
  EXPECT_EQ(form.DropRegistration(), S_OK);
  EXPECT_EQ(RegisterDragDrop(form.Hwnd(), &form.DropTarget()), DRAGDROP_E_ALREADYREGISTERED);

  struct Case {
    Formats formats;
    std::vector<std::wstring> added;
    std::wstring notice;
  };
  const Case cases[] = {
      // A link from a browser: its address, not its text.
      {{{kUrlFormat, Page(1)}, {CF_UNICODETEXT, L"A video about cats"}}, {Page(1)}, L""},
      // Three links as text, with blank lines and blanks around them.
      {{{CF_UNICODETEXT, Page(2) + L"\r\n\r\n  " + Page(3) + L" \n" + Page(4)}},
       {Page(2), Page(3), Page(4)},
       L""},
      {{{CF_UNICODETEXT, Page(5) + L"\r\nftp://example.com/x\r\nnot a link"}},
       {Page(5)},
       L"2 of the 3 dropped lines are not addresses of video pages on supported sites and were "
       L"not added."},
      {{{CF_UNICODETEXT, L"ftp://example.com/"}},
       {},
       L"The dropped text is not the address of a video page on a supported site, so it was not "
       L"added."},
  };
  for (const Case& c : cases) {
    const size_t before = app.list.Count();
    ComPtr<IDataObject> data = DataWith(c.formats);
    ASSERT_TRUE(data);
    Controls(form).Flash.SetVariable(L"_root.notice", L"(before)");
    EXPECT_EQ(DragAndDrop(data.Get()),
              std::make_pair(DWORD{DROPEFFECT_COPY}, DWORD{DROPEFFECT_COPY}));
    // Taken in once the drag is over.
    ASSERT_TRUE(test::PumpUntil([&] { return Notice() != L"(before)"; }));
    std::vector<std::wstring> added;
    for (size_t i = before; i < app.list.Count(); ++i) added.push_back(app.list.At(i)->Video_URL);
    EXPECT_EQ(added, c.added);
    EXPECT_EQ(Notice(), c.notice);
  }
  EXPECT_TRUE(platform.messageBoxes.empty());

  // Something without text is refused from the start.
  ComPtr<IDataObject> nothing = DataWith({});
  ASSERT_TRUE(nothing);
  EXPECT_EQ(DragAndDrop(nothing.Get()),
            std::make_pair(DWORD{DROPEFFECT_NONE}, DWORD{DROPEFFECT_NONE}));
}

}  // namespace
