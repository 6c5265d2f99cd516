// The TrayIcon control's own behaviour, driven as a host drives it: through
// IDispatch by dispatch id, with a real icon in the notification area of
// Wine's desktop and real messages to the owner window.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Wait.h"
#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

VARIANT ByRef(LONG* value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4 | VT_BYREF;
  V_I4REF(&v) = value;
  return v;
}

TEST(TrayIconBeforeCreate, PositionQueriesGiveZeroAndLeaveArgumentsAlone) {
  Ref<IDispatch> control = CreateTrayIcon();
  EXPECT_FALSE(GetBool(control.Get(), id::Created));

  DispatchCall rect;
  Invoke(control.Get(), id::IconRect, DISPATCH_METHOD, {}, rect);
  ASSERT_EQ(S_OK, rect.hr);
  ASSERT_EQ(VT_RECORD, V_VT(&rect.result.v));
  const auto* value = static_cast<const tiRECT*>(V_RECORD(&rect.result.v));
  ASSERT_NE(nullptr, value);
  EXPECT_EQ(0, value->Left);
  EXPECT_EQ(0, value->Top);
  EXPECT_EQ(0, value->Right);
  EXPECT_EQ(0, value->Bottom);

  DispatchCall tray;
  Invoke(control.Get(), id::SysTrayHWnd, DISPATCH_METHOD, {}, tray);
  ASSERT_EQ(S_OK, tray.hr);
  EXPECT_EQ(0, V_I4(&tray.result.v));

  LONG x = 17, y = -4;
  DispatchCall middle;
  Invoke(control.Get(), id::GetIconMiddle, DISPATCH_METHOD, {ByRef(&x), ByRef(&y)}, middle);
  ASSERT_EQ(S_OK, middle.hr);
  EXPECT_EQ(17, x);
  EXPECT_EQ(-4, y);
}

TEST(TrayIconBeforeCreate, CallsWithoutAnIconDoNothingAndFailNothing) {
  Ref<IDispatch> control = CreateTrayIcon();
  for (DISPID method : {id::Remove, id::BalloonTipClose, id::BalloonTipShow}) {
    DispatchCall call;
    Invoke(control.Get(), method, DISPATCH_METHOD, {}, call);
    EXPECT_EQ(S_OK, call.hr) << std::hex << method;
  }
  EXPECT_FALSE(GetBool(control.Get(), id::Created));
}

}  // namespace
}  // namespace sdtest
