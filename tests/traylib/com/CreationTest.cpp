// The class as COM hands it out: by ProgID and class id, with the
// interfaces a container asks for, its connection points, aggregation, and
// nothing left behind once every reference is gone.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

TEST(Creation, ByProgIdAndByClassIdWithTheStartValues) {
  CLSID clsid{};
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"Quenbrook.TrayIcon", &clsid));
  for (const CLSID* which : {static_cast<const CLSID*>(&clsid), &CLSID_TrayIcon}) {
    Ref<IDispatch> control;
    ASSERT_EQ(S_OK, CoCreateInstance(*which, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     control.PutVoid()));
    EXPECT_TRUE(GetBool(control.Get(), id::TrayIconVisible));
    EXPECT_EQ(L"", GetString(control.Get(), id::ToolTip));
    EXPECT_EQ(0, GetLong(control.Get(), id::IconHandle));
    EXPECT_EQ(500, GetLong(control.Get(), id::IconMovementTrackInterval));
    EXPECT_FALSE(GetBool(control.Get(), id::TrackIconMovement));
    EXPECT_FALSE(GetBool(control.Get(), id::Created));
  }
}

TEST(Creation, AnswersEveryInterfaceAContainerAsksFor) {
  Ref<IDispatch> control = CreateTrayIcon();
  Ref<IUnknown> identity = control.As<IUnknown>(IID_IUnknown);
  const IID* wanted[] = {&IID__TrayIcon,
                         &IID_IOleObject,
                         &IID_IOleWindow,
                         &IID_IOleInPlaceObject,
                         &IID_IOleInPlaceActiveObject,
                         &IID_IOleControl,
                         &IID_IViewObject,
                         &IID_IViewObject2,
                         &IID_IPersist,
                         &IID_IPersistStreamInit,
                         &IID_IPersistStream,
                         &IID_IPersistPropertyBag,
                         &IID_IProvideClassInfo,
                         &IID_IProvideClassInfo2,
                         &IID_IConnectionPointContainer,
                         &IID_ISupportErrorInfo};
  for (const IID* iid : wanted) {
    Ref<IUnknown> itf;
    ASSERT_EQ(S_OK, control->QueryInterface(*iid, itf.PutVoid()));
    // Every interface leads back to the one identity.
    EXPECT_EQ(identity.Get(), itf.As<IUnknown>(IID_IUnknown).Get());
  }
  Ref<IUnknown> none;
  EXPECT_EQ(E_NOINTERFACE, control->QueryInterface(IID_IClassFactory, none.PutVoid()));
  EXPECT_FALSE(none);
}

TEST(Creation, ClassInformationNamesTheEvents) {
  Ref<IDispatch> control = CreateTrayIcon();
  auto info = control.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
  GUID events{};
  ASSERT_EQ(S_OK, info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
  EXPECT_TRUE(IsEqualGUID(DIID___TrayIcon, events));
  Ref<ITypeInfo> coclass;
  ASSERT_EQ(S_OK, info->GetClassInfo(coclass.Put()));
  TYPEATTR* attr = nullptr;
  coclass->GetTypeAttr(&attr);
  EXPECT_TRUE(IsEqualGUID(CLSID_TrayIcon, attr->guid));
  coclass->ReleaseTypeAttr(attr);

  auto errors = control.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(IID__TrayIcon));
  EXPECT_EQ(S_FALSE, errors->InterfaceSupportsErrorInfo(IID_IOleObject));

  UINT count = 0;
  ASSERT_EQ(S_OK, control->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  LPOLESTR name = const_cast<LPOLESTR>(L"IconMovementTrackInterval");
  DISPID dispid = 0;
  ASSERT_EQ(S_OK, control->GetIDsOfNames(IID_NULL, &name, 1, 0, &dispid));
  EXPECT_EQ(id::IconMovementTrackInterval, dispid);
}

TEST(Creation, PropertiesKeepWhatIsSetAndIntervalsBelowOneBecomeOne) {
  Ref<IDispatch> control = CreateTrayIcon();
  EXPECT_EQ(S_OK, Put(control.Get(), id::ToolTip, Var(L"Marrowfin").v));
  EXPECT_EQ(L"Marrowfin", GetString(control.Get(), id::ToolTip));
  EXPECT_EQ(S_OK, Put(control.Get(), id::IconHandle, Var(0x1234L).v));
  EXPECT_EQ(0x1234, GetLong(control.Get(), id::IconHandle));
  EXPECT_EQ(S_OK, Put(control.Get(), id::TrayIconVisible, Var(false).v));
  EXPECT_FALSE(GetBool(control.Get(), id::TrayIconVisible));
  EXPECT_EQ(S_OK, Put(control.Get(), id::TrackIconMovement, Var(true).v));
  EXPECT_TRUE(GetBool(control.Get(), id::TrackIconMovement));
  for (LONG low : {0L, -5L}) {
    EXPECT_EQ(S_OK, Put(control.Get(), id::IconMovementTrackInterval, Var(low).v));
    EXPECT_EQ(1, GetLong(control.Get(), id::IconMovementTrackInterval)) << low;
  }
  EXPECT_EQ(S_OK, Put(control.Get(), id::IconMovementTrackInterval, Var(250L).v));
  EXPECT_EQ(250, GetLong(control.Get(), id::IconMovementTrackInterval));

  DispatchCall call;
  Invoke(control.Get(), id::Created, DISPATCH_PROPERTYPUT, {Var(true).v}, call);
  EXPECT_TRUE(FAILED(call.hr)) << "Created is read-only";
}

TEST(Creation, PersistentPropertiesAreReportedChangedAndIconHandleIsNot) {
  Ref<IDispatch> control = CreateTrayIcon();
  auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  Ref<IConnectionPoint> point;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()));
  Ref<PropertyNotifySink> sink = PropertyNotifySink::Create();
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(sink.Get(), &cookie));

  Put(control.Get(), id::IconHandle, Var(7L).v);
  Put(control.Get(), id::ToolTip, Var(L"x").v);
  Put(control.Get(), id::TrayIconVisible, Var(false).v);
  Put(control.Get(), id::TrackIconMovement, Var(true).v);
  Put(control.Get(), id::IconMovementTrackInterval, Var(9L).v);
  EXPECT_EQ((std::vector<DISPID>{id::ToolTip, id::TrayIconVisible, id::TrackIconMovement,
                                 id::IconMovementTrackInterval}),
            sink->changed);
  EXPECT_EQ(S_OK, point->Unadvise(cookie));
}

TEST(ConnectionPoints, EnumeratedFoundAndRefusedAsTheyShouldBe) {
  Ref<IDispatch> control = CreateTrayIcon();
  auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);

  Ref<IEnumConnectionPoints> points;
  ASSERT_EQ(S_OK, container->EnumConnectionPoints(points.Put()));
  IConnectionPoint* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, points->Next(3, got, &fetched));
  ASSERT_EQ(2u, fetched);
  std::vector<IID> iids;
  for (ULONG i = 0; i < fetched; ++i) {
    IID iid{};
    got[i]->GetConnectionInterface(&iid);
    iids.push_back(iid);
    Ref<IConnectionPointContainer> back;
    ASSERT_EQ(S_OK, got[i]->GetConnectionPointContainer(back.Put()));
    EXPECT_EQ(container.Get(), back.Get());
    got[i]->Release();
  }
  EXPECT_TRUE(IsEqualIID(DIID___TrayIcon, iids[0]));
  EXPECT_TRUE(IsEqualIID(IID_IPropertyNotifySink, iids[1]));
  // Reset, Skip and Clone walk the same snapshot.
  EXPECT_EQ(S_OK, points->Reset());
  EXPECT_EQ(S_OK, points->Skip(1));
  Ref<IEnumConnectionPoints> clone;
  ASSERT_EQ(S_OK, points->Clone(clone.Put()));
  Ref<IConnectionPoint> second;
  EXPECT_EQ(S_OK, clone->Next(1, second.Put(), nullptr));
  IID iid{};
  second->GetConnectionInterface(&iid);
  EXPECT_TRUE(IsEqualIID(IID_IPropertyNotifySink, iid));
  EXPECT_EQ(S_FALSE, clone->Skip(1));

  Ref<IConnectionPoint> none;
  EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, none.Put()));

  Ref<IConnectionPoint> events;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___TrayIcon, events.Put()));
  DWORD cookie = 123;
  // A sink that is no dispatch interface cannot hear events.
  Ref<PropertyNotifySink> wrongKind = PropertyNotifySink::Create();
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, events->Advise(wrongKind.Get(), &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(CONNECT_E_NOCONNECTION, events->Unadvise(1));
}

TEST(ConnectionPoints, CookiesNameConnectionsAndFreedOnesAreTakenAgain) {
  Ref<IDispatch> control = CreateTrayIcon();
  auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  Ref<IConnectionPoint> events;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___TrayIcon, events.Put()));
  Ref<EventSink> a = EventSink::Create(), b = EventSink::Create();
  // A sink that knows only IDispatch is taken through it.
  Ref<EventSink> dispatchOnly = EventSink::Create(IID_IDispatch);
  DWORD ca = 0, cb = 0, cd = 0;
  ASSERT_EQ(S_OK, events->Advise(a.Get(), &ca));
  ASSERT_EQ(S_OK, events->Advise(b.Get(), &cb));
  ASSERT_EQ(S_OK, events->Advise(dispatchOnly.Get(), &cd));
  EXPECT_NE(ca, cb);
  EXPECT_EQ(2u, RefCount(a.Get()));

  Ref<IEnumConnections> connections;
  ASSERT_EQ(S_OK, events->EnumConnections(connections.Put()));
  CONNECTDATA data[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, connections->Next(4, data, &fetched));
  ASSERT_EQ(3u, fetched);
  EXPECT_EQ(ca, data[0].dwCookie);
  EXPECT_EQ(cb, data[1].dwCookie);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  connections.Reset();  // its snapshot holds the sinks too

  EXPECT_EQ(S_OK, events->Unadvise(ca));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, events->Unadvise(ca));
  EXPECT_EQ(1u, RefCount(a.Get()));
  DWORD again = 0;
  ASSERT_EQ(S_OK, events->Advise(a.Get(), &again));
  EXPECT_EQ(ca, again);
  EXPECT_EQ(S_OK, events->Unadvise(again));
  EXPECT_EQ(S_OK, events->Unadvise(cb));
  EXPECT_EQ(S_OK, events->Unadvise(cd));
  EXPECT_EQ(1u, RefCount(b.Get()));
}

// An outer object that aggregates the control.
class Outer final : public IUnknown {
 public:
  Ref<IUnknown> inner;
  LONG refs = 1;
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown) {
      *object = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(iid, object);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the stack
};

TEST(Creation, AggregatedControlSpeaksForItsOuterObject) {
  Outer outer;
  Ref<IUnknown> refused;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_TrayIcon, &outer, CLSCTX_INPROC_SERVER,
                                                    IID_IDispatch, refused.PutVoid()));
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TrayIcon, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   outer.inner.PutVoid()));
  {
    IDispatch* control = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&control)));
    EXPECT_EQ(2, outer.refs) << "the reference went to the outer object";
    IUnknown* identity = nullptr;
    control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    EXPECT_EQ(500, GetLong(control, id::IconMovementTrackInterval));
    control->Release();
  }
  EXPECT_EQ(1, outer.refs);
  EXPECT_EQ(0u, outer.inner.ReleaseCount());
}

TEST(Lifetime, ReferencesReturnToZeroAndTheLibraryMayUnload) {
  {
    Ref<IDispatch> control = CreateTrayIcon();
    auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
    ASSERT_EQ(S_OK, persist->InitNew());
    auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    Ref<IConnectionPoint> events;
    container->FindConnectionPoint(DIID___TrayIcon, events.Put());
    Ref<EventSink> sink = EventSink::Create();
    DWORD cookie = 0;
    events->Advise(sink.Get(), &cookie);
    EXPECT_EQ(S_FALSE, DllCanUnloadNowOfSabledrift());
    events->Unadvise(cookie);
    EXPECT_EQ(1u, RefCount(sink.Get()));
    events.Reset();
    container.Reset();
    persist.Reset();
    EXPECT_EQ(0u, control.ReleaseCount());
  }
  EXPECT_EQ(S_OK, DllCanUnloadNowOfSabledrift());

  // A server lock keeps the library even without objects.
  Ref<IClassFactory> factory;
  ASSERT_EQ(S_OK, CoGetClassObject(CLSID_TrayIcon, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()));
  EXPECT_EQ(S_FALSE, DllCanUnloadNowOfSabledrift());
  factory->LockServer(TRUE);
  EXPECT_EQ(0u, factory.ReleaseCount());
  EXPECT_EQ(S_FALSE, DllCanUnloadNowOfSabledrift());
  // LockServer(FALSE) goes through a new class object.
  ASSERT_EQ(S_OK, CoGetClassObject(CLSID_TrayIcon, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()));
  factory->LockServer(FALSE);
  factory.Reset();
  EXPECT_EQ(S_OK, DllCanUnloadNowOfSabledrift());

  // Unloaded and loaded again, the library still works.
  CoFreeUnusedLibrariesEx(0, 0);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(nullptr, GetModuleHandleW(L"Sabledrift.dll"));
  Ref<IDispatch> again = CreateTrayIcon();
  ASSERT_TRUE(again);
  EXPECT_EQ(500, GetLong(again.Get(), id::IconMovementTrackInterval));
}

}  // namespace
}  // namespace sdtest
