// The TrayIcon control's own behaviour, driven as a host drives it: through
// IDispatch by dispatch id, with a real icon in the notification area of
// Wine's desktop and real messages to the owner window.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "tests/support/Wait.h"
#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

using mf::test::PumpFor;
using mf::test::PumpUntil;

constexpr HRESULT kInvalidWindow = static_cast<HRESULT>(0x80040000u + 13083);

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

// A hidden window of this thread that owns the icon.
struct OwnerWindow {
  HWND hwnd = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr);
  OwnerWindow() = default;
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  ~OwnerWindow() {
    if (hwnd) DestroyWindow(hwnd);
  }
  LONG Number() const { return HandleNumber(hwnd); }
};

class TrayIcon : public testing::Test {
 protected:
  void SetUp() override {
    control = CreateTrayIcon();
    ASSERT_TRUE(control);
    auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___TrayIcon, events.Put()));
    ASSERT_EQ(S_OK, events->Advise(sink.Get(), &cookie));
  }
  void TearDown() override {
    if (events) events->Unadvise(cookie);
  }

  // Create by dispatch id with only the owner window.
  HRESULT CreateFor(const OwnerWindow& owner, DispatchCall& call) {
    LONG hwnd = owner.Number();
    Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd)}, call);
    return call.hr;
  }
  HRESULT CreateFor(const OwnerWindow& owner) {
    DispatchCall call;
    return CreateFor(owner, call);
  }
  // Posts the icon's callback message with `code` to the owner, as the shell does.
  void ShellSays(const OwnerWindow& owner, LPARAM code) {
    PostMessageA(owner.hwnd, kCallbackMessage, 999, code);
  }
  bool WaitForEvents(size_t count) {
    return PumpUntil([&] { return sink->events.size() >= count; }, 5000);
  }

  Ref<IDispatch> control;
  Ref<IConnectionPoint> events;
  Ref<EventSink> sink = EventSink::Create();
  DWORD cookie = 0;
  OwnerWindow owner;
};

TEST_F(TrayIcon, CreateWithOnlyTheWindowKeepsToolTipAndIconHandle) {
  HICON image = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  ASSERT_EQ(S_OK, Put(control.Get(), id::ToolTip, Var(L"Stored tip").v));
  ASSERT_EQ(S_OK, Put(control.Get(), id::IconHandle, Var(HandleNumber(image)).v));
  ASSERT_EQ(S_OK, CreateFor(owner));
  EXPECT_TRUE(GetBool(control.Get(), id::Created));
  EXPECT_TRUE(ShellKnowsIcon(owner.hwnd));
  EXPECT_EQ(L"Stored tip", GetString(control.Get(), id::ToolTip));
  EXPECT_EQ(HandleNumber(image), GetLong(control.Get(), id::IconHandle));
}

TEST_F(TrayIcon, CreateTakesAGivenToolTipWithoutMarkingItAndOnlyPositiveIcons) {
  auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  Ref<IConnectionPoint> changes;
  container->FindConnectionPoint(IID_IPropertyNotifySink, changes.Put());
  Ref<PropertyNotifySink> notified = PropertyNotifySink::Create();
  DWORD changesCookie = 0;
  changes->Advise(notified.Get(), &changesCookie);
  auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
  persist->InitNew();
  Put(control.Get(), id::IconHandle, Var(0x3003L).v);

  LONG hwnd = owner.Number(), negative = -5;
  BSTR tip = SysAllocString(L"Given tip");
  DispatchCall call;
  Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd), ByRef(&negative), ByRef(&tip)},
         call);
  SysFreeString(tip);
  ASSERT_EQ(S_OK, call.hr);
  EXPECT_EQ(L"Given tip", GetString(control.Get(), id::ToolTip));
  EXPECT_EQ(0x3003, GetLong(control.Get(), id::IconHandle))
      << "a handle of 0 or less keeps the stored one";
  EXPECT_TRUE(notified->changed.empty());
  EXPECT_EQ(S_FALSE, persist->IsDirty());

  // An empty text is a text too; the marker itself means "left out".
  tip = SysAllocString(L"");
  Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd), ByRef(&negative), ByRef(&tip)},
         call);
  SysFreeString(tip);
  EXPECT_EQ(L"", GetString(control.Get(), id::ToolTip));
  Put(control.Get(), id::ToolTip, Var(L"kept").v);
  tip = SysAllocString(L"~nOtOoLtIp");
  LONG image = 0x4004;
  Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd), ByRef(&image), ByRef(&tip)},
         call);
  SysFreeString(tip);
  EXPECT_EQ(L"kept", GetString(control.Get(), id::ToolTip));
  EXPECT_EQ(0x4004, GetLong(control.Get(), id::IconHandle));

  // A late-bound host skips the icon in the middle and names the tooltip.
  VARIANT skipped;
  VariantInit(&skipped);
  V_VT(&skipped) = VT_ERROR;
  V_ERROR(&skipped) = DISP_E_PARAMNOTFOUND;
  tip = SysAllocString(L"after a gap");
  Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd), skipped, ByRef(&tip)}, call);
  SysFreeString(tip);
  ASSERT_EQ(S_OK, call.hr);
  EXPECT_EQ(L"after a gap", GetString(control.Get(), id::ToolTip));
  EXPECT_EQ(0x4004, GetLong(control.Get(), id::IconHandle));
  EXPECT_TRUE(GetBool(control.Get(), id::Created));
  changes->Unadvise(changesCookie);
}

TEST_F(TrayIcon, CreateTwiceRemovesTheFirstIconBeforeTheSecondIsAdded) {
  OwnerWindow second;
  ASSERT_EQ(S_OK, CreateFor(owner));
  ASSERT_TRUE(ShellKnowsIcon(owner.hwnd));
  ASSERT_EQ(S_OK, CreateFor(second));
  EXPECT_FALSE(ShellKnowsIcon(owner.hwnd));
  EXPECT_TRUE(ShellKnowsIcon(second.hwnd));
  // With the same owner the new icon would be refused (it exists) and then
  // deleted with the old object, were the old one not removed first.
  ASSERT_EQ(S_OK, CreateFor(second));
  EXPECT_TRUE(ShellKnowsIcon(second.hwnd));
}

// A host's procedure on the owner, installed after Create as Marrowfin does:
// it counts the icon's timer ticks (998 tracking, 999 balloon) on their way down.
class TickCounter {
 public:
  explicit TickCounter(HWND hwnd) : hwnd_(hwnd) {
    SetPropA(hwnd, kProp, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~TickCounter() {
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropA(hwnd_, kProp);
  }
  TickCounter(const TickCounter&) = delete;
  TickCounter& operator=(const TickCounter&) = delete;
  std::map<WPARAM, int> ticks;

 private:
  static constexpr char kProp[] = "SdTestTicks";
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TickCounter*>(GetPropA(hwnd, kProp));
    if (msg == WM_TIMER) ++self->ticks[wParam];
    return CallWindowProcA(self->previous_, hwnd, msg, wParam, lParam);
  }
  HWND hwnd_;
  WNDPROC previous_;
};

TEST_F(TrayIcon, CreateFromInsideEachEventLeavesOneLiveIcon) {
  struct Case {
    const wchar_t* event;
    DISPID id;
    UINT msg;
    LPARAM code;
  };
  const Case cases[] = {{L"TaskBarRecreated", 5, RegisterWindowMessageA("TaskbarCreated"), 0},
                        {L"TrayMouseEvent", 1, kCallbackMessage, WM_RBUTTONUP},
                        {L"BalloonClick", 4, kCallbackMessage, NIN_BALLOONUSERCLICK}};
  HICON image = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  ASSERT_EQ(S_OK, Put(control.Get(), id::IconHandle, Var(HandleNumber(image)).v));
  ASSERT_EQ(S_OK, Put(control.Get(), id::IconMovementTrackInterval, Var(50L).v));
  ASSERT_EQ(S_OK, Put(control.Get(), id::TrackIconMovement, Var(true).v));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.event);
    OwnerWindow host;
    const std::wstring tip = std::wstring(c.event) + L" " + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(S_OK, Put(control.Get(), id::ToolTip, Var(tip.c_str()).v));
    ASSERT_EQ(S_OK, CreateFor(host));
    TickCounter counter(host.hwnd);
    HRESULT again = E_PENDING;
    sink->onEvent = [&](const EventSink::Event& e) {
      if (e.id == c.id && again == E_PENDING) again = CreateFor(host);
    };
    PostMessageA(host.hwnd, c.msg, 999, c.code);
    ASSERT_TRUE(PumpUntil([&] { return again != E_PENDING; }));
    sink->onEvent = nullptr;
    // The message that raised the event has ended, and the old object with it.
    EXPECT_EQ(S_OK, again);
    EXPECT_TRUE(GetBool(control.Get(), id::Created));
    EXPECT_TRUE(ShellKnowsIcon(host.hwnd));
    EXPECT_TRUE(PumpUntil([&] { return TaskbarIconsWithText(tip) == 1; }));
    const int ticks = counter.ticks[998];
    EXPECT_TRUE(PumpUntil([&] { return counter.ticks[998] >= ticks + 3; }));

    const std::wstring prompt = L"Balloon of " + tip;
    LONG type = 1, timeOut = 4000;
    DispatchCall balloon;
    Invoke(control.Get(), id::BalloonTipShow, DISPATCH_METHOD,
           {ByRef(&type), Var(prompt.c_str()).v, Var(L"Title").v, ByRef(&timeOut)}, balloon);
    EXPECT_EQ(S_OK, balloon.hr);
    EXPECT_TRUE(PumpUntil([&] { return TaskbarShowsBalloon(prompt); }, 15000));
    // Wine shows it two seconds after it is asked for, and would keep it for ten;
    // ours closes it at four.
    EXPECT_TRUE(PumpUntil([&] { return counter.ticks[999] == 1 && !TaskbarShowsBalloon(prompt); }));
    EXPECT_EQ(1, TaskbarIconsWithText(tip));
    DispatchCall remove;
    Invoke(control.Get(), id::Remove, DISPATCH_METHOD, {}, remove);
  }
}

TEST_F(TrayIcon, ASecondControlOnTheSameOwnerIsRefusedAndSaysSo) {
  ASSERT_EQ(S_OK, CreateFor(owner));
  Ref<IDispatch> second = CreateTrayIcon();
  LONG hwnd = owner.Number();
  DispatchCall call;
  Invoke(second.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd)}, call);
  ASSERT_EQ(DISP_E_EXCEPTION, call.hr);
  EXPECT_EQ(static_cast<HRESULT>(0x80040000u + 13085), call.exception.scode);
  EXPECT_EQ(L"The notification area refused the icon", call.Description());
  EXPECT_FALSE(GetBool(second.Get(), id::Created));
  EXPECT_TRUE(GetBool(control.Get(), id::Created));
  EXPECT_TRUE(ShellKnowsIcon(owner.hwnd));
}

TEST_F(TrayIcon, CreatedFromCreateUntilRemoveAndTheIconWithIt) {
  EXPECT_FALSE(GetBool(control.Get(), id::Created));
  ASSERT_EQ(S_OK, CreateFor(owner));
  EXPECT_TRUE(GetBool(control.Get(), id::Created));
  DispatchCall remove;
  Invoke(control.Get(), id::Remove, DISPATCH_METHOD, {}, remove);
  ASSERT_EQ(S_OK, remove.hr);
  EXPECT_FALSE(GetBool(control.Get(), id::Created));
  EXPECT_FALSE(ShellKnowsIcon(owner.hwnd));
  // Calls without an icon object again do nothing.
  Invoke(control.Get(), id::Remove, DISPATCH_METHOD, {}, remove);
  EXPECT_EQ(S_OK, remove.hr);
}

TEST_F(TrayIcon, InvalidWindowReachesTheCallerWithNumberDescriptionAndSource) {
  OwnerWindow gone;
  DestroyWindow(gone.hwnd);
  for (LONG bad : {0L, gone.Number()}) {
    DispatchCall call;
    LONG hwnd = bad;
    Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd)}, call);
    ASSERT_EQ(DISP_E_EXCEPTION, call.hr) << bad;
    EXPECT_EQ(kInvalidWindow, call.exception.scode);
    EXPECT_EQ(L"Invalid window", call.Description());
    EXPECT_EQ(L"Sabledrift.WindowProc", call.Source());
    // A failed Create keeps no icon object.
    EXPECT_FALSE(GetBool(control.Get(), id::Created));
  }
  gone.hwnd = nullptr;

  // Bound to the vtable, the same failure is the call's result and the
  // thread's error object.
  auto bound = control.As<_TrayIcon>(IID__TrayIcon);
  LONG hwnd = 0, icon = 0;
  BSTR tip = SysAllocString(L"~nOtOoLtIp");
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(kInvalidWindow, bound->Create(&hwnd, &icon, &tip));
  SysFreeString(tip);
  Ref<IErrorInfo> error;
  ASSERT_EQ(S_OK, GetErrorInfo(0, error.Put()));
  BSTR description = nullptr, source = nullptr;
  error->GetDescription(&description);
  error->GetSource(&source);
  GUID guid{};
  error->GetGUID(&guid);
  EXPECT_STREQ(L"Invalid window", description);
  EXPECT_STREQ(L"Sabledrift.WindowProc", source);
  EXPECT_TRUE(IsEqualGUID(IID__TrayIcon, guid));
  SysFreeString(description);
  SysFreeString(source);
}

TEST_F(TrayIcon, ShellNotificationsAreRaisedAgainWithTheirValues) {
  ASSERT_EQ(S_OK, CreateFor(owner));
  ShellSays(owner, WM_MOUSEMOVE);  // not reported
  ShellSays(owner, WM_LBUTTONDBLCLK);
  ShellSays(owner, WM_RBUTTONUP);
  ShellSays(owner, NIN_SELECT);
  ShellSays(owner, NIN_BALLOONUSERCLICK);
  PostMessageA(owner.hwnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  ASSERT_TRUE(WaitForEvents(5));
  PumpFor(50);
  ASSERT_EQ(5u, sink->events.size());
  EXPECT_EQ(1, sink->events[0].id);
  EXPECT_EQ(std::vector<LONG>{515}, sink->events[0].args);
  EXPECT_EQ(1, sink->events[1].id);
  EXPECT_EQ(std::vector<LONG>{517}, sink->events[1].args);
  EXPECT_EQ(2, sink->events[2].id);
  EXPECT_EQ(std::vector<LONG>{1024}, sink->events[2].args);
  EXPECT_EQ(4, sink->events[3].id);
  EXPECT_EQ(std::vector<LONG>{1029}, sink->events[3].args);
  EXPECT_EQ(5, sink->events[4].id);
  EXPECT_TRUE(sink->events[4].args.empty());
  // The taskbar's re-creation added the icon again.
  EXPECT_TRUE(ShellKnowsIcon(owner.hwnd));
}

TEST_F(TrayIcon, AFailingSinkDoesNotKeepTheEventFromTheOthers) {
  Ref<EventSink> second = EventSink::Create();
  DWORD secondCookie = 0;
  ASSERT_EQ(S_OK, events->Advise(second.Get(), &secondCookie));
  sink->answer = E_FAIL;
  ASSERT_EQ(S_OK, CreateFor(owner));
  ShellSays(owner, WM_LBUTTONUP);
  ASSERT_TRUE(PumpUntil([&] { return !second->events.empty(); }));
  EXPECT_EQ(1u, sink->events.size());
  EXPECT_EQ(std::vector<LONG>{514}, second->events[0].args);
  events->Unadvise(secondCookie);
}

TEST_F(TrayIcon, FrozenEventsAreNotRaised) {
  ASSERT_EQ(S_OK, CreateFor(owner));
  auto olecontrol = control.As<IOleControl>(IID_IOleControl);
  olecontrol->FreezeEvents(TRUE);
  ShellSays(owner, WM_LBUTTONDOWN);
  PumpFor(100);
  EXPECT_TRUE(sink->events.empty());
  olecontrol->FreezeEvents(FALSE);
  ShellSays(owner, WM_MBUTTONDOWN);
  ASSERT_TRUE(WaitForEvents(1));
  EXPECT_EQ(std::vector<LONG>{519}, sink->events[0].args);
}

TEST_F(TrayIcon, RemoveInsideItsOwnEventIsSafe) {
  ASSERT_EQ(S_OK, CreateFor(owner));
  bool removed = false;
  // A host that removes the icon while handling its click.
  struct Remover final : IDispatch {
    IDispatch* control;
    bool* removed;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
      *object =
          (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___TrayIcon) ? this : nullptr;
      return *object ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
      return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
      DispatchCall call;
      sdtest::Invoke(control, id::Remove, DISPATCH_METHOD, {}, call);
      *removed = SUCCEEDED(call.hr);
      return S_OK;
    }
  } remover;
  remover.control = control.Get();
  remover.removed = &removed;
  DWORD removerCookie = 0;
  ASSERT_EQ(S_OK, events->Advise(&remover, &removerCookie));
  ShellSays(owner, WM_RBUTTONDOWN);
  ASSERT_TRUE(PumpUntil([&] { return removed; }));
  PumpFor(50);
  EXPECT_FALSE(GetBool(control.Get(), id::Created));
  EXPECT_FALSE(ShellKnowsIcon(owner.hwnd));
  events->Unadvise(removerCookie);
}

TEST_F(TrayIcon, CommonControlsVersionIsAnsweredWithAndWithoutAnIcon) {
  std::wstring before = GetString(control.Get(), id::CommonControlsVersion);
  EXPECT_TRUE(std::regex_match(before, std::wregex(L"[1-9][0-9]*(\\.[0-9]+){3}"))) << before;
  ASSERT_EQ(S_OK, CreateFor(owner));
  EXPECT_EQ(before, GetString(control.Get(), id::CommonControlsVersion));
}

TEST_F(TrayIcon, PropertiesReachTheIconWhileItExists) {
  ASSERT_EQ(S_OK, CreateFor(owner));
  HICON image = LoadIconA(nullptr, MAKEINTRESOURCEA(32516));  // IDI_INFORMATION
  EXPECT_EQ(S_OK, Put(control.Get(), id::IconHandle, Var(HandleNumber(image)).v));
  EXPECT_EQ(S_OK, Put(control.Get(), id::TrayIconVisible, Var(false).v));
  EXPECT_EQ(S_OK, Put(control.Get(), id::ToolTip, Var(L"changed").v));
  EXPECT_EQ(S_OK, Put(control.Get(), id::TrackIconMovement, Var(true).v));
  EXPECT_EQ(S_OK, Put(control.Get(), id::IconMovementTrackInterval, Var(0L).v));
  EXPECT_EQ(1, GetLong(control.Get(), id::IconMovementTrackInterval));
  EXPECT_EQ(S_OK, Put(control.Get(), id::TrackIconMovement, Var(false).v));
  // Without its image the icon is still in the notification area.
  EXPECT_TRUE(ShellKnowsIcon(owner.hwnd));

  LONG type = 1, timeOut = 0;
  DispatchCall balloon;
  Invoke(control.Get(), id::BalloonTipShow, DISPATCH_METHOD,
         {ByRef(&type), Var(L"prompt").v, Var(L"title").v, ByRef(&timeOut)}, balloon);
  EXPECT_EQ(S_OK, balloon.hr);
  DispatchCall close;
  Invoke(control.Get(), id::BalloonTipClose, DISPATCH_METHOD, {}, close);
  EXPECT_EQ(S_OK, close.hr);
  // Every argument left out: no icon, empty texts, no time-out.
  DispatchCall bare;
  Invoke(control.Get(), id::BalloonTipShow, DISPATCH_METHOD, {}, bare);
  EXPECT_EQ(S_OK, bare.hr);
  // GetIconMiddle writes into the caller's variables (0, 0 here: Wine's
  // notification area has no tooltip tools to find the icon by).
  LONG x = 55, y = 66;
  DispatchCall middle;
  Invoke(control.Get(), id::GetIconMiddle, DISPATCH_METHOD, {ByRef(&x), ByRef(&y)}, middle);
  EXPECT_EQ(S_OK, middle.hr);
  EXPECT_EQ(0, x);
  EXPECT_EQ(0, y);
}

TEST_F(TrayIcon, DestroyingTheControlRemovesTheIconAndLeavesNothing) {
  ASSERT_EQ(S_OK, CreateFor(owner));
  ASSERT_TRUE(ShellKnowsIcon(owner.hwnd));
  events->Unadvise(cookie);
  events.Reset();
  EXPECT_EQ(0u, control.ReleaseCount());
  EXPECT_FALSE(ShellKnowsIcon(owner.hwnd));
  EXPECT_EQ(1u, RefCount(sink.Get()));
  EXPECT_EQ(S_OK, DllCanUnloadNowOfSabledrift());
  // The owner's window procedure is its own again.
  EXPECT_EQ(0, SendMessageA(owner.hwnd, kCallbackMessage, 999, WM_LBUTTONDOWN));
  EXPECT_TRUE(sink->events.empty());
}

}  // namespace
}  // namespace sdtest
