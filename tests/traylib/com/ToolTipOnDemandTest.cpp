// The ToolTipOnDemand control placed in the platform's ActiveX host
// ("AtlAxWin") and driven through IDispatch as a host drives it: each Show
// makes a real tracking tooltip window, whose messages are watched from
// beneath the library, and the balloon's events come back through the
// control's connection point.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Wait.h"
#include "tests/traylib/com/ComTest.h"
#include "tests/traylib/tooltip/TooltipWatch.h"

namespace sdtest {
namespace {

using mf::test::PumpFor;
using mf::test::PumpUntil;
using sd::test::ToolText;
using sd::test::TooltipWatch;

constexpr HRESULT kOverflow = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6);

class HostedToolTip : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 50, 300,
                             200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, frame_);
    host_ = CreateAtlHost(frame_, L"Quenbrook.ToolTipOnDemand", 10, 10, 100, 100);
    ASSERT_NE(nullptr, host_);
    control = HostedControl(host_);
    ASSERT_TRUE(control);
    auto points = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ASSERT_EQ(S_OK, points->FindConnectionPoint(DIID___ToolTipOnDemand, events_.Put()));
    ASSERT_EQ(S_OK, events_->Advise(sink.Get(), &cookie_));
    Put(control.Get(), tid::x, Var(150L).v);
    Put(control.Get(), tid::y, Var(300L).v);
  }
  void TearDown() override {
    if (events_) events_->Unadvise(cookie_);
    events_.Reset();
    control.Reset();
    if (host_) DestroyWindow(host_);
    if (frame_) DestroyWindow(frame_);
  }

  HRESULT Call(DISPID id, std::vector<VARIANT> args = {}) {
    DispatchCall call;
    Invoke(control.Get(), id, DISPATCH_METHOD, std::move(args), call);
    return call.hr;
  }
  // The balloon window the last Show made.
  HWND Tip() const { return watch.Last(); }
  RECT Rect() const {
    RECT r{};
    GetWindowRect(Tip(), &r);
    return r;
  }
  size_t Count(DISPID event) const {
    size_t n = 0;
    for (const auto& e : sink->events) n += e.id == event;
    return n;
  }

  TooltipWatch watch;
  Ref<IDispatch> control;
  Ref<EventSink> sink = EventSink::Create(DIID___ToolTipOnDemand);

 private:
  HWND frame_ = nullptr;
  HWND host_ = nullptr;
  Ref<IConnectionPoint> events_;
  DWORD cookie_ = 0;
};

int SidePixels() {
  HDC screen = GetDC(nullptr);
  int side = MulDiv(375, GetDeviceCaps(screen, LOGPIXELSX), 1440);
  ReleaseDC(nullptr, screen);
  return side;
}

// Pixels of `side` x `side` drawn by `paint` on the button face.
std::vector<COLORREF> Picture(int side, const std::function<void(HDC, const RECT&)>& paint) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, side, side);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, side, side};
  paint(memory, all);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) pixels.push_back(GetPixel(memory, x, y));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return pixels;
}

std::vector<COLORREF> Label(int side, const char* text) {
  return Picture(side, [&](HDC dc, const RECT& all) {
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT box = all;
    DrawTextA(dc, text, -1, &box, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, font);
  });
}

TEST_F(HostedToolTip, IsAFixedSquareLabelledTT) {
  auto window = control.As<IOleWindow>(IID_IOleWindow);
  HWND handle = nullptr;
  ASSERT_EQ(S_OK, window->GetWindow(&handle));
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(SidePixels(), client.right);
  EXPECT_EQ(SidePixels(), client.bottom);
  auto view = control.As<IViewObject2>(IID_IViewObject2);
  const int side = SidePixels();
  auto drawn = Picture(side, [&](HDC dc, const RECT&) {
    RECTL bounds{0, 0, side, side};
    view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
  });
  EXPECT_EQ(Label(side, "TT"), drawn);
  EXPECT_NE(Label(side, "TI"), drawn);
}

TEST_F(HostedToolTip, ShowWithoutArgumentsShowsTheStoredSettings) {
  Put(control.Get(), tid::Prompt, Var(L"Stored prompt").v);
  Put(control.Get(), tid::Title, Var(L"Stored title").v);
  Put(control.Get(), tid::IconType, Var(2L).v);
  Put(control.Get(), tid::TimeOut, Var(0L).v);
  ASSERT_EQ(S_OK, Call(tid::Show));
  ASSERT_TRUE(IsWindow(Tip()));
  EXPECT_TRUE(IsWindowVisible(Tip()));
  EXPECT_EQ("Stored prompt", ToolText(Tip()));
  auto titles = watch.Of(Tip(), TTM_SETTITLEA);
  ASSERT_EQ(1u, titles.size());
  EXPECT_EQ(2u, titles[0].wParam);
  EXPECT_EQ("Stored title", titles[0].text);
  EXPECT_EQ(MAKELONG(150, 300), watch.Of(Tip(), TTM_TRACKPOSITION).at(0).lParam);
  // The tool belongs to the library's module; a free-standing balloon has no owner.
  EXPECT_EQ(GetModuleHandleW(L"Sabledrift.dll"), watch.Of(Tip(), TTM_ADDTOOLA).at(0).tool.hinst);
  EXPECT_EQ(nullptr, GetWindow(Tip(), GW_OWNER));
  // The system's tooltip background, translated by the balloon.
  EXPECT_EQ(static_cast<LRESULT>(GetSysColor(COLOR_INFOBK)),
            SendMessageA(Tip(), TTM_GETTIPBKCOLOR, 0, 0));
  ASSERT_EQ(1u, sink->events.size());
  EXPECT_EQ(tid::BalloonShowed, sink->events[0].id);
  EXPECT_EQ(L"Stored prompt", GetString(control.Get(), tid::Prompt));
  EXPECT_EQ(2, GetLong(control.Get(), tid::IconType));
}

TEST_F(HostedToolTip, GivenArgumentsBecomeTheSettingsAndMarkersMeanLeftOut) {
  Put(control.Get(), tid::Prompt, Var(L"Old prompt").v);
  Put(control.Get(), tid::Title, Var(L"Old title").v);
  Put(control.Get(), tid::IconType, Var(1L).v);
  Put(control.Get(), tid::TimeOut, Var(9000L).v);
  // An explicit empty prompt clears it: the balloon has no text.
  LONG keepIcon = -1;
  BSTR empty = SysAllocString(L"");
  ASSERT_EQ(S_OK, Call(tid::Show, {ByRef(&keepIcon), ByRef(&empty)}));
  SysFreeString(empty);
  EXPECT_EQ(L"", GetString(control.Get(), tid::Prompt));
  EXPECT_EQ("", ToolText(Tip()));
  EXPECT_EQ(L"Old title", GetString(control.Get(), tid::Title));
  EXPECT_EQ(1, GetLong(control.Get(), tid::IconType));
  EXPECT_EQ(9000, GetLong(control.Get(), tid::TimeOut));

  // The markers themselves, a negative icon type and time-out, and a skipped
  // argument all keep the stored values.
  VARIANT skipped;
  VariantInit(&skipped);
  V_VT(&skipped) = VT_ERROR;
  V_ERROR(&skipped) = DISP_E_PARAMNOTFOUND;
  LONG negative = -7, noTime = -1;
  BSTR marker = SysAllocString(L"~eMpTyStRiNg");
  Put(control.Get(), tid::Prompt, Var(L"Kept prompt").v);
  ASSERT_EQ(S_OK, Call(tid::Show, {ByRef(&negative), skipped, ByRef(&marker), ByRef(&noTime)}));
  SysFreeString(marker);
  EXPECT_EQ(L"Kept prompt", GetString(control.Get(), tid::Prompt));
  EXPECT_EQ(L"Old title", GetString(control.Get(), tid::Title));
  EXPECT_EQ(1, GetLong(control.Get(), tid::IconType));
  EXPECT_EQ(9000, GetLong(control.Get(), tid::TimeOut));
  EXPECT_EQ("Kept prompt", ToolText(Tip()));

  LONG icon = 3, time = 0;
  BSTR prompt = SysAllocString(L"New prompt"), title = SysAllocString(L"New title");
  ASSERT_EQ(S_OK, Call(tid::Show, {ByRef(&icon), ByRef(&prompt), ByRef(&title), ByRef(&time)}));
  SysFreeString(prompt);
  SysFreeString(title);
  EXPECT_EQ(3, GetLong(control.Get(), tid::IconType));
  EXPECT_EQ(L"New title", GetString(control.Get(), tid::Title));
  EXPECT_EQ(0, GetLong(control.Get(), tid::TimeOut));
  EXPECT_EQ("New prompt", ToolText(Tip()));
  EXPECT_EQ("New title", watch.Of(Tip(), TTM_SETTITLEA).at(0).text);
  EXPECT_EQ(3u, watch.Of(Tip(), TTM_SETTITLEA).at(0).wParam);
}

TEST_F(HostedToolTip, ATimeOutOfZeroKeepsTheBalloonUntilDestroy) {
  Put(control.Get(), tid::TimeOut, Var(100L).v);
  LONG icon = 0, time = 0;
  BSTR prompt = SysAllocString(L"Until Destroy");
  ASSERT_EQ(S_OK, Call(tid::Show, {ByRef(&icon), ByRef(&prompt), {}, ByRef(&time)}));
  SysFreeString(prompt);
  EXPECT_EQ(0, GetLong(control.Get(), tid::TimeOut));
  const HWND tip = Tip();
  PumpFor(500);
  EXPECT_TRUE(IsWindowVisible(tip));
  EXPECT_EQ(0u, Count(tid::BalloonDestroyed));
  ASSERT_EQ(S_OK, Call(tid::Destroy));
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ(1u, Count(tid::BalloonDestroyed));
  ASSERT_EQ(S_OK, Call(tid::Destroy));
  EXPECT_EQ(1u, Count(tid::BalloonDestroyed));
}

TEST_F(HostedToolTip, AStoredTimeOutClosesTheBalloonByItself) {
  Put(control.Get(), tid::TimeOut, Var(150L).v);
  ASSERT_EQ(S_OK, Call(tid::Show));
  const HWND tip = Tip();
  ASSERT_TRUE(PumpUntil([&] { return Count(tid::BalloonDestroyed) == 1; }));
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ(tid::BalloonShowed, sink->events.at(0).id);
  // The control's own settings stay; the next Show uses them again.
  EXPECT_EQ(static_cast<LONG>(0x80000018), GetLong(control.Get(), tid::BackColor));
  ASSERT_EQ(S_OK, Call(tid::Show));
  EXPECT_EQ(static_cast<LRESULT>(GetSysColor(COLOR_INFOBK)),
            SendMessageA(Tip(), TTM_GETTIPBKCOLOR, 0, 0));
  Call(tid::Destroy);
}

TEST_F(HostedToolTip, XMovesAShownBalloonAndStyleWaitsForTheNextShow) {
  Put(control.Get(), tid::Prompt, Var(L"Moving").v);
  ASSERT_EQ(S_OK, Call(tid::Show));
  const HWND first = Tip();
  RECT before = Rect();
  ASSERT_EQ(S_OK, Put(control.Get(), tid::x, Var(250L).v));
  RECT after = Rect();
  EXPECT_EQ(before.left + 100, after.left);
  EXPECT_EQ(before.top, after.top);

  ASSERT_EQ(S_OK, Put(control.Get(), tid::Style, Var(static_cast<LONG>(blStandard)).v));
  EXPECT_TRUE(GetWindowLongPtrA(first, GWL_STYLE) & TTS_BALLOON);
  EXPECT_EQ(first, Tip()) << "no new window";
  // The colours and the prompt reach the shown balloon at once.
  Put(control.Get(), tid::BackColor, Var(static_cast<LONG>(RGB(9, 8, 7))).v);
  EXPECT_EQ(static_cast<LRESULT>(RGB(9, 8, 7)), SendMessageA(first, TTM_GETTIPBKCOLOR, 0, 0));
  Put(control.Get(), tid::Prompt, Var(L"Changed").v);
  EXPECT_EQ("Changed", ToolText(first));

  ASSERT_EQ(S_OK, Call(tid::Show));
  EXPECT_FALSE(IsWindow(first)) << "every Show makes a fresh balloon";
  EXPECT_NE(first, Tip());
  EXPECT_FALSE(GetWindowLongPtrA(Tip(), GWL_STYLE) & TTS_BALLOON);
  EXPECT_EQ(MAKELONG(250, 300), watch.Of(Tip(), TTM_TRACKPOSITION).at(0).lParam);
  EXPECT_EQ(2u, Count(tid::BalloonShowed));
  EXPECT_EQ(0u, Count(tid::BalloonDestroyed)) << "a replaced balloon is gone without a word";
}

TEST_F(HostedToolTip, ClicksOnTheBalloonAreRaisedByReference) {
  ASSERT_EQ(S_OK, Call(tid::Show));
  const HWND tip = Tip();
  PostMessageA(tip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  PostMessageA(tip, WM_MBUTTONUP, 0, MAKELPARAM(3, 3));
  ASSERT_TRUE(PumpUntil([&] {
    for (const auto& e : sink->events)
      if (e.id == tid::MouseEvents && e.args == std::vector<LONG>{520}) return true;
    return false;
  }));
  std::vector<LONG> clicks;
  for (const auto& e : sink->events) {
    if (e.id != tid::MouseEvents || e.args[0] == WM_MOUSEMOVE) continue;
    clicks.push_back(e.args[0]);
    EXPECT_EQ(VT_I4 | VT_BYREF, e.types[0]);
  }
  EXPECT_EQ((std::vector<LONG>{513, 520}), clicks);
  EXPECT_TRUE(watch.Of(tip, WM_LBUTTONDOWN).empty());
  EXPECT_TRUE(watch.Of(tip, WM_MBUTTONUP).empty());
}

// A host's event handlers call the control again while the balloon that
// raised the event is still inside one of its window's messages.
TEST_F(HostedToolTip, AClickHandlerMayShowAnotherBalloonOrDestroyIt) {
  Put(control.Get(), tid::Prompt, Var(L"First").v);
  ASSERT_EQ(S_OK, Call(tid::Show));
  const HWND first = Tip();
  sink->onEvent = [&](const EventSink::Event& e) {
    if (e.id != tid::MouseEvents || e.args[0] == WM_MOUSEMOVE) return;
    if (e.args[0] == WM_LBUTTONDOWN) {
      Put(control.Get(), tid::Prompt, Var(L"Second").v);
      EXPECT_EQ(S_OK, Call(tid::Show));
    } else if (e.args[0] == WM_RBUTTONDOWN) {
      EXPECT_EQ(S_OK, Call(tid::Destroy));
    }
  };
  PostMessageA(first, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  ASSERT_TRUE(PumpUntil([&] { return Count(tid::BalloonShowed) == 2; }));
  PumpFor(50);
  EXPECT_FALSE(IsWindow(first));
  const HWND second = Tip();
  ASSERT_NE(first, second);
  EXPECT_TRUE(IsWindowVisible(second));
  EXPECT_EQ("Second", ToolText(second));

  PostMessageA(second, WM_RBUTTONDOWN, MK_RBUTTON, 0);
  ASSERT_TRUE(PumpUntil([&] { return Count(tid::BalloonDestroyed) == 1; }));
  PumpFor(50);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(S_OK, Call(tid::Destroy));
  EXPECT_EQ(1u, Count(tid::BalloonDestroyed));
}

TEST_F(HostedToolTip, ABalloonThatTimedOutMayBeShownAgainFromItsOwnEvent) {
  Put(control.Get(), tid::TimeOut, Var(100L).v);
  sink->onEvent = [&](const EventSink::Event& e) {
    if (e.id != tid::BalloonDestroyed || Count(tid::BalloonDestroyed) != 1) return;
    LONG icon = -1, time = 0;
    BSTR prompt = SysAllocString(L"Once more");
    EXPECT_EQ(S_OK, Call(tid::Show, {ByRef(&icon), ByRef(&prompt), {}, ByRef(&time)}));
    SysFreeString(prompt);
  };
  ASSERT_EQ(S_OK, Call(tid::Show));
  const HWND first = Tip();
  ASSERT_TRUE(PumpUntil([&] { return Count(tid::BalloonShowed) == 2; }));
  PumpFor(300);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindowVisible(Tip()));
  EXPECT_EQ("Once more", ToolText(Tip()));
  // The new balloon has the control's colours, not the ones the time-out cleared.
  EXPECT_EQ(static_cast<LRESULT>(GetSysColor(COLOR_INFOBK)),
            SendMessageA(Tip(), TTM_GETTIPBKCOLOR, 0, 0));
  EXPECT_EQ(1u, Count(tid::BalloonDestroyed));
  sink->onEvent = nullptr;
  EXPECT_EQ(S_OK, Call(tid::Destroy));
  EXPECT_EQ(2u, Count(tid::BalloonDestroyed));
}

TEST_F(HostedToolTip, AnOwnerWindowAndACentredTool) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 40, nullptr, nullptr,
                               nullptr, nullptr);
  Put(control.Get(), tid::ParentHwnd, Var(HandleNumber(owner)).v);
  Put(control.Get(), tid::Centered, Var(true).v);
  ASSERT_EQ(S_OK, Call(tid::Show));
  EXPECT_EQ(owner, GetWindow(Tip(), GW_OWNER));
  const TTTOOLINFOA tool = watch.Of(Tip(), TTM_ADDTOOLA).at(0).tool;
  EXPECT_EQ(owner, tool.hwnd);
  EXPECT_EQ(static_cast<UINT>(TTF_IDISHWND | TTF_TRACK | TTF_CENTERTIP), tool.uFlags);
  Call(tid::Destroy);
  DestroyWindow(owner);
}

TEST_F(HostedToolTip, APositionOutOfRangeFailsThePropertyAndShow) {
  ASSERT_EQ(S_OK, Call(tid::Show));
  RECT before = Rect();
  DispatchCall put;
  Invoke(control.Get(), tid::y, DISPATCH_PROPERTYPUT, {Var(40000L).v}, put);
  ASSERT_EQ(DISP_E_EXCEPTION, put.hr);
  EXPECT_EQ(kOverflow, put.exception.scode);
  EXPECT_EQ(L"Overflow", put.Description());
  EXPECT_EQ(L"Quenbrook", put.Source());
  RECT after = Rect();
  EXPECT_TRUE(EqualRect(&before, &after)) << "the balloon stays where it was";
  EXPECT_EQ(40000, GetLong(control.Get(), tid::y));

  const size_t windows = watch.windows.size();
  DispatchCall show;
  Invoke(control.Get(), tid::Show, DISPATCH_METHOD, {}, show);
  ASSERT_EQ(DISP_E_EXCEPTION, show.hr);
  EXPECT_EQ(kOverflow, show.exception.scode);
  EXPECT_EQ(L"Overflow", show.Description());
  EXPECT_EQ(windows, watch.windows.size()) << "no window for a position out of range";
  EXPECT_EQ(1u, Count(tid::BalloonShowed));

  // Bound to the vtable, the same failure is the call's result.
  auto bound = control.As<_ToolTipOnDemand>(IID__ToolTipOnDemand);
  EXPECT_EQ(kOverflow, bound->Show(nullptr, nullptr, nullptr, nullptr));
  Put(control.Get(), tid::y, Var(320L).v);
  EXPECT_EQ(S_OK, bound->Show(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(MAKELONG(150, 320), watch.Of(Tip(), TTM_TRACKPOSITION).at(0).lParam);
}

TEST_F(HostedToolTip, AWindowThatCannotBeMadeReportsTheSystemsError) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                              nullptr, nullptr);
  DestroyWindow(gone);
  Put(control.Get(), tid::ParentHwnd, Var(HandleNumber(gone)).v);
  DispatchCall show;
  Invoke(control.Get(), tid::Show, DISPATCH_METHOD, {}, show);
  ASSERT_EQ(DISP_E_EXCEPTION, show.hr);
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, ERROR_INVALID_WINDOW_HANDLE),
            show.exception.scode);
  EXPECT_EQ(L"Quenbrook", show.Source());
  EXPECT_FALSE(show.Description().empty());
  EXPECT_NE(L'\n', show.Description().back());
  EXPECT_TRUE(sink->events.empty());
  // Nothing was kept: Destroy has nothing to close.
  EXPECT_EQ(S_OK, Call(tid::Destroy));
  EXPECT_TRUE(sink->events.empty());
}

TEST_F(HostedToolTip, LettingGoOfTheControlClosesItsBalloon) {
  ASSERT_EQ(S_OK, Call(tid::Show));
  const HWND tip = Tip();
  TearDown();
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ(0u, Count(tid::BalloonDestroyed)) << "the host let go: nothing more is raised";
  EXPECT_EQ(S_OK, DllCanUnloadNowOfSabledrift());
}

}  // namespace
}  // namespace sdtest
