// The clipboard watcher program, run for real: a test window receives what it
// delivers while the test puts texts on the real clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/Text.h"
#include "common/WindowText.h"
#include "monitor/clip/AddressFilter.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"

using namespace mf;
using namespace mf::test;

namespace {

TEST(AddressFilter, PassesOnlySingleWebAddresses) {
  std::string a;
  EXPECT_TRUE(clip::SingleWebAddress("http://www.youtube.com/watch?v=abc", a));
  EXPECT_EQ(a, "http://www.youtube.com/watch?v=abc");
  EXPECT_TRUE(clip::SingleWebAddress("  https://www.break.com/index/x.html\r\n", a));
  EXPECT_EQ(a, "https://www.break.com/index/x.html");
  EXPECT_TRUE(clip::SingleWebAddress("HTTP://VIDEO.GOOGLE.COM/videoplay?docid=1", a));
  EXPECT_FALSE(clip::SingleWebAddress("", a));
  EXPECT_FALSE(clip::SingleWebAddress("just some words", a));
  EXPECT_FALSE(clip::SingleWebAddress("http://a.com/x http://b.com/y", a));
  EXPECT_FALSE(clip::SingleWebAddress("see http://a.com/x", a));
  EXPECT_FALSE(clip::SingleWebAddress("ftp://a.com/x", a));
  EXPECT_FALSE(clip::SingleWebAddress("http://", a));
  EXPECT_FALSE(clip::SingleWebAddress("http:///path", a));
  EXPECT_FALSE(clip::SingleWebAddress("http://" + std::string(3000, 'a'), a));
}

void PutOnClipboard(const std::string& text) {
  // Another program (the watcher, the desktop's clipboard bridge) may hold
  // the clipboard for a moment.
  ASSERT_TRUE(PumpUntil([] { return OpenClipboard(nullptr) != FALSE; }, 3000));
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
  GlobalUnlock(mem);
  SetClipboardData(CF_TEXT, mem);
  CloseClipboard();
}

// A visible edit box standing in for the program's hidden text box, wide as it is.
struct Receiver {
  HWND edit;
  std::vector<std::wstring> received;
  Receiver() {
    edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  }
  ~Receiver() { DestroyWindow(edit); }
  std::wstring Handle() const { return std::to_wstring(reinterpret_cast<UINT_PTR>(edit)); }
};

class ClipWatcher : public ::testing::Test {
 protected:
  void TearDown() override {
    ChildProcess stop;
    if (stop.Start(BesideTest(L"Clip.exe"), L"Exit")) stop.WaitExit(5000);
  }
  // Starts a watcher and waits until its window exists.
  bool StartWatcher(ChildProcess& p, const std::wstring& arg) {
    if (!p.Start(BesideTest(L"Clip.exe"), arg)) return false;
    return PumpUntil(
        [] { return FindWindowExA(HWND_MESSAGE, nullptr, "MarrowfinClipWatcher", nullptr); },
        10000);
  }
};

TEST_F(ClipWatcher, DeliversAddressesCopiedAfterItsStartOnly) {
  PutOnClipboard("http://www.youtube.com/watch?v=before");
  Receiver r;
  ChildProcess watcher;
  ASSERT_TRUE(StartWatcher(watcher, r.Handle()));
  PumpFor(300);
  EXPECT_EQ(GetText(r.edit), L"");  // what was there at its start is never sent

  // Only what Marrowfin downloads without asking: no other text, no
  // ordinary page, a page of its sites and a video's own address.
  for (const char* ignored : {"no address here", "https://www.example.com/news/today.html"}) {
    PutOnClipboard(ignored);
    PumpFor(300);
    EXPECT_EQ(GetText(r.edit), L"") << ignored;
  }
  for (const char* taken :
       {"http://www.youtube.com/watch?v=after", "https://cdn.example.com/films/trip.mp4"}) {
    PutOnClipboard(taken);
    ASSERT_TRUE(PumpUntil([&] { return GetText(r.edit) == mf::FromAnsi(taken); }, 10000))
        << "got: " << testing::PrintToString(GetText(r.edit));
  }

  // Exit stops the running watcher.
  ChildProcess stop;
  ASSERT_TRUE(stop.Start(BesideTest(L"Clip.exe"), L"Exit"));
  EXPECT_TRUE(stop.WaitExit(10000));
  EXPECT_TRUE(watcher.WaitExit(10000));
}

TEST_F(ClipWatcher, SecondStartHandsTheNewWindowToTheRunningWatcher) {
  Receiver first, second;
  ChildProcess watcher;
  ASSERT_TRUE(StartWatcher(watcher, first.Handle()));
  ChildProcess again;
  ASSERT_TRUE(again.Start(BesideTest(L"Clip.exe"), second.Handle()));
  DWORD code = 99;
  ASSERT_TRUE(again.WaitExit(10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(watcher.Running());
  PumpFor(200);
  PutOnClipboard("http://www.break.com/index/one.html");
  ASSERT_TRUE(PumpUntil(
      [&] { return GetText(second.edit) == L"http://www.break.com/index/one.html"; }, 10000));
  EXPECT_EQ(GetText(first.edit), L"");
}

TEST_F(ClipWatcher, RefusesAnArgumentThatIsNoWindowHandle) {
  ChildProcess p;
  ASSERT_TRUE(p.Start(BesideTest(L"Clip.exe"), L"12ab"));
  DWORD code = 99;
  ASSERT_TRUE(p.WaitExit(10000, &code));
  EXPECT_EQ(code, 1u);
}

}  // namespace
