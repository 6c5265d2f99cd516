// A standard container places the control: Wine's own ActiveX host window
// class "AtlAxWin" from atl.dll, created with the ProgID as window text.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Wait.h"
#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

class Container : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                             400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, frame_);
    host_ = CreateAtlHost(frame_, L"Quenbrook.TrayIcon", 10, 20, 200, 100);
    ASSERT_NE(nullptr, host_);
    control_ = HostedControl(host_);
    ASSERT_TRUE(control_);
  }
  void TearDown() override {
    control_.Reset();
    if (host_) DestroyWindow(host_);
    if (frame_) DestroyWindow(frame_);
  }

  HWND ControlWindow() {
    auto window = control_.As<IOleWindow>(IID_IOleWindow);
    HWND handle = nullptr;
    EXPECT_EQ(S_OK, window->GetWindow(&handle));
    return handle;
  }

  HWND frame_ = nullptr;
  HWND host_ = nullptr;
  Ref<IDispatch> control_;
};

int SidePixels() {
  HDC screen = GetDC(nullptr);
  int side = MulDiv(375, GetDeviceCaps(screen, LOGPIXELSX), 1440);
  ReleaseDC(nullptr, screen);
  return side;
}

TEST_F(Container, PlacesTheControlAsAWindowOfFixedSize) {
  HWND window = ControlWindow();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(host_, GetParent(window));
  EXPECT_TRUE(IsWindowVisible(window));
  RECT rect{};
  GetClientRect(window, &rect);
  EXPECT_EQ(SidePixels(), rect.right);
  EXPECT_EQ(SidePixels(), rect.bottom);

  auto object = control_.As<IOleObject>(IID_IOleObject);
  SIZEL extent{};
  ASSERT_EQ(S_OK, object->GetExtent(DVASPECT_CONTENT, &extent));
  EXPECT_EQ(661, extent.cx);  // 375 twips in HIMETRIC
  EXPECT_EQ(661, extent.cy);
  SIZEL other{2000, 1000};
  EXPECT_EQ(E_FAIL, object->SetExtent(DVASPECT_CONTENT, &other));
  // Whatever rectangle the container offers, the square stays.
  auto inPlace = control_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  RECT offered{5, 6, 305, 206};
  ASSERT_EQ(S_OK, inPlace->SetObjectRects(&offered, &offered));
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(5, rect.left);
  EXPECT_EQ(6, rect.top);
  EXPECT_EQ(5 + SidePixels(), rect.right);
  EXPECT_EQ(6 + SidePixels(), rect.bottom);
  Ref<IOleClientSite> site;
  EXPECT_EQ(S_OK, object->GetClientSite(site.Put()));
  EXPECT_TRUE(site);
}

TEST_F(Container, IsDrivenThroughIDispatchByDispatchId) {
  ASSERT_EQ(S_OK, Put(control_.Get(), id::ToolTip, Var(L"placed").v));
  EXPECT_EQ(L"placed", GetString(control_.Get(), id::ToolTip));
  ASSERT_EQ(S_OK, Put(control_.Get(), id::IconMovementTrackInterval, Var(0L).v));
  EXPECT_EQ(1, GetLong(control_.Get(), id::IconMovementTrackInterval));
  EXPECT_FALSE(GetBool(control_.Get(), id::Created));
  DispatchCall call;
  Invoke(control_.Get(), 0x7777, DISPATCH_METHOD, {}, call);
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, call.hr);
}

bool HasTextPixels(HDC dc, int width, int height) {
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (GetPixel(dc, x, y) == text) return true;
  return false;
}

TEST_F(Container, DrawsItsLabelInItsSquare) {
  int side = SidePixels();
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, side * 2, side * 2);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, side * 2, side * 2};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  auto view = control_.As<IViewObject2>(IID_IViewObject2);
  RECTL bounds{0, 0, side, side};
  ASSERT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds,
                             nullptr, nullptr, 0));
  EXPECT_TRUE(HasTextPixels(memory, side, side)) << "the label is drawn";
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(memory, side - 2, side - 2));
  EXPECT_EQ(RGB(255, 255, 255), GetPixel(memory, side + 2, side + 2)) << "nothing outside";
  SIZEL extent{};
  EXPECT_EQ(S_OK, view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent));
  EXPECT_EQ(661, extent.cx);
  EXPECT_EQ(DV_E_DVASPECT, view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, memory, &bounds,
                                      nullptr, nullptr, 0));

  // The window shows the same.
  HWND window = ControlWindow();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC windowDc = GetDC(window);
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  BitBlt(memory, 0, 0, side, side, windowDc, 0, 0, SRCCOPY);
  ReleaseDC(window, windowDc);
  EXPECT_TRUE(HasTextPixels(memory, side, side));

  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

TEST_F(Container, HostedControlMakesItsIconAndRaisesItsEvents) {
  auto points = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  Ref<IConnectionPoint> events;
  ASSERT_EQ(S_OK, points->FindConnectionPoint(DIID___TrayIcon, events.Put()));
  Ref<EventSink> sink = EventSink::Create();
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, events->Advise(sink.Get(), &cookie));

  // As Marrowfin does: the icon belongs to the window that holds the control.
  LONG owner = HandleNumber(frame_);
  DispatchCall create;
  Invoke(control_.Get(), id::Create, DISPATCH_METHOD, {ByRef(&owner)}, create);
  ASSERT_EQ(S_OK, create.hr);
  EXPECT_TRUE(GetBool(control_.Get(), id::Created));
  EXPECT_TRUE(ShellKnowsIcon(frame_));

  PostMessageA(frame_, kCallbackMessage, 999, WM_LBUTTONDBLCLK);
  PostMessageA(frame_, kCallbackMessage, 999, WM_RBUTTONUP);
  ASSERT_TRUE(mf::test::PumpUntil([&] { return sink->events.size() >= 2; }));
  EXPECT_EQ(1, sink->events[0].id);
  EXPECT_EQ(std::vector<LONG>{515}, sink->events[0].args);
  EXPECT_EQ(std::vector<LONG>{517}, sink->events[1].args);
  EXPECT_EQ(S_OK, events->Unadvise(cookie));

  // Closing the host and letting go of the control takes the icon away.
  events.Reset();
  points.Reset();
  DestroyWindow(host_);
  host_ = nullptr;
  EXPECT_EQ(0u, control_.ReleaseCount());
  EXPECT_FALSE(ShellKnowsIcon(frame_));
  EXPECT_EQ(S_OK, DllCanUnloadNowOfSabledrift());
}

TEST_F(Container, LetsGoOfTheControlWhenTheHostWindowCloses) {
  HWND window = ControlWindow();
  ASSERT_TRUE(IsWindow(window));
  DestroyWindow(host_);
  host_ = nullptr;
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(1u, RefCount(control_.Get())) << "only our own reference is left";
  EXPECT_EQ(0u, control_.ReleaseCount());
  EXPECT_EQ(S_OK, DllCanUnloadNowOfSabledrift());
}

}  // namespace
}  // namespace sdtest
