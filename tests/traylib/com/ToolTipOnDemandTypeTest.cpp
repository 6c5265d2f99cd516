// The ToolTipOnDemand control as a host binds to it before any balloon is
// shown: its type information, start values, the properties it reports
// changed, and what it saves and loads.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "tests/traylib/com/TypeInfoSupport.h"

namespace sdtest {
namespace {

constexpr LONG kTooltipBackground = static_cast<LONG>(0x80000018u);

class ToolTipTypes : public TypeLibraryFixture {
 protected:
  Ref<ITypeInfo> InterfaceView() { return TypeLibraryFixture::InterfaceView(IID__ToolTipOnDemand); }
};

TEST_F(ToolTipTypes, DefaultInterfaceHasEveryMemberUnderItsDispatchId) {
  Ref<ITypeInfo> dispatch = Info(IID__ToolTipOnDemand);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(S_OK, dispatch->GetTypeAttr(&attr));
  EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  dispatch->ReleaseTypeAttr(attr);

  std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> expected;
  const std::pair<DISPID, const wchar_t*> properties[] = {{tid::TimeOut, L"TimeOut"},
                                                          {tid::Centered, L"Centered"},
                                                          {tid::Prompt, L"Prompt"},
                                                          {tid::BackColor, L"BackColor"},
                                                          {tid::Title, L"Title"},
                                                          {tid::ForeColor, L"ForeColor"},
                                                          {tid::ParentHwnd, L"ParentHwnd"},
                                                          {tid::y, L"y"},
                                                          {tid::x, L"x"},
                                                          {tid::IconType, L"IconType"},
                                                          {tid::Style, L"Style"}};
  for (auto [id, name] : properties) {
    expected[{id, INVOKE_PROPERTYGET}] = name;
    expected[{id, INVOKE_PROPERTYPUT}] = name;
  }
  expected[{tid::Show, INVOKE_FUNC}] = L"Show";
  expected[{tid::Destroy, INVOKE_FUNC}] = L"Destroy";
  Ref<ITypeInfo> view = InterfaceView();
  EXPECT_EQ(expected, Functions(view.Get()));

  // The two enumerated properties carry their enumerations.
  WithFunction(view.Get(), tid::IconType, INVOKE_PROPERTYPUT, [&](const FUNCDESC& f) {
    EXPECT_EQ(L"blIconType", TypeName(view.Get(), f.lprgelemdescParam[0].tdesc));
  });
  WithFunction(view.Get(), tid::Style, INVOKE_PROPERTYPUT, [&](const FUNCDESC& f) {
    EXPECT_EQ(L"blStyleEnum", TypeName(view.Get(), f.lprgelemdescParam[0].tdesc));
  });
  WithFunction(view.Get(), tid::Destroy, INVOKE_FUNC,
               [](const FUNCDESC& f) { EXPECT_EQ(0, f.cParams); });
}

TEST_F(ToolTipTypes, ShowTakesFourOptionalArgumentsByReferenceWithTheirMarkers) {
  Ref<ITypeInfo> view = InterfaceView();
  WithFunction(view.Get(), tid::Show, INVOKE_FUNC, [&](const FUNCDESC& f) {
    ASSERT_EQ(4, f.cParams);
    const WORD flags = PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
    const VARTYPE pointees[] = {VT_USERDEFINED, VT_BSTR, VT_BSTR, VT_I4};
    for (int p = 0; p < 4; ++p) {
      const ELEMDESC& param = f.lprgelemdescParam[p];
      EXPECT_EQ(pointees[p], PointsTo(param.tdesc)) << p;
      EXPECT_EQ(flags, param.paramdesc.wParamFlags) << p;
    }
    EXPECT_EQ(L"blIconType", TypeName(view.Get(), f.lprgelemdescParam[0].tdesc));
    Var minusOne(-1L);
    for (int p : {0, 3}) {
      EXPECT_EQ(VARCMP_EQ, VarCmp(&f.lprgelemdescParam[p].paramdesc.pparamdescex->varDefaultValue,
                                  &minusOne.v, 0, 0))
          << p;
    }
    for (int p : {1, 2}) {
      const VARIANT& marker = f.lprgelemdescParam[p].paramdesc.pparamdescex->varDefaultValue;
      ASSERT_EQ(VT_BSTR, V_VT(&marker)) << p;
      EXPECT_STREQ(L"~eMpTyStRiNg", V_BSTR(&marker)) << p;
    }
  });
}

TEST_F(ToolTipTypes, EnumerationsAndEvents) {
  EXPECT_EQ((std::map<std::wstring, LONG>{{L"blStandard", 0}, {L"blBalloon", 1}}),
            EnumerationMembers(L"blStyleEnum"));
  EXPECT_EQ((std::map<std::wstring, LONG>{{L"blMouseMove", 512},
                                          {L"blLeftButtonDown", 513},
                                          {L"blLeftButtonUp", 514},
                                          {L"blLeftButtonDoubleClick", 515},
                                          {L"blRightButtonDown", 516},
                                          {L"blRightButtonUp", 517},
                                          {L"blRightButtonDoubleClick", 518},
                                          {L"blMiddleButtonDown", 519},
                                          {L"blMiddleButtonUp", 520},
                                          {L"blMiddleButtonDoubleClick", 521}}),
            EnumerationMembers(L"blMouseEvent"));

  Ref<ITypeInfo> events = Info(DIID___ToolTipOnDemand);
  const std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> expected = {
      {{tid::MouseEvents, INVOKE_FUNC}, L"MouseEvents"},
      {{tid::BalloonDestroyed, INVOKE_FUNC}, L"BalloonDestroyed"},
      {{tid::BalloonShowed, INVOKE_FUNC}, L"BalloonShowed"}};
  EXPECT_EQ(expected, Functions(events.Get()));
  WithFunction(events.Get(), tid::MouseEvents, INVOKE_FUNC, [&](const FUNCDESC& f) {
    ASSERT_EQ(1, f.cParams);
    EXPECT_EQ(VT_USERDEFINED, PointsTo(f.lprgelemdescParam[0].tdesc)) << "by reference";
    EXPECT_EQ(L"blMouseEvent", TypeName(events.Get(), f.lprgelemdescParam[0].tdesc));
  });
  for (DISPID id : {tid::BalloonDestroyed, tid::BalloonShowed})
    WithFunction(events.Get(), id, INVOKE_FUNC, [](const FUNCDESC& f) { EXPECT_EQ(0, f.cParams); });
}

TEST(ToolTipCreation, ByProgIdWithTheStartValues) {
  CLSID clsid{};
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"Quenbrook.ToolTipOnDemand", &clsid));
  EXPECT_TRUE(IsEqualCLSID(CLSID_ToolTipOnDemand, clsid));
  Ref<IDispatch> control = CreateToolTip();
  ASSERT_TRUE(control);
  EXPECT_EQ(0, GetLong(control.Get(), tid::x));
  EXPECT_EQ(0, GetLong(control.Get(), tid::y));
  EXPECT_EQ(blBalloon, GetLong(control.Get(), tid::Style));
  EXPECT_EQ(blNoIcon, GetLong(control.Get(), tid::IconType));
  EXPECT_EQ(0, GetLong(control.Get(), tid::ParentHwnd));
  EXPECT_EQ(0, GetLong(control.Get(), tid::ForeColor));
  EXPECT_EQ(kTooltipBackground, GetLong(control.Get(), tid::BackColor));
  EXPECT_EQ(L"", GetString(control.Get(), tid::Title));
  EXPECT_EQ(L"", GetString(control.Get(), tid::Prompt));
  EXPECT_FALSE(GetBool(control.Get(), tid::Centered));
  EXPECT_EQ(0, GetLong(control.Get(), tid::TimeOut));
  // Colours are kept as given: the balloon translates them.
  EXPECT_EQ(S_OK, Put(control.Get(), tid::ForeColor, Var(static_cast<LONG>(0x80000008)).v));
  EXPECT_EQ(static_cast<LONG>(0x80000008), GetLong(control.Get(), tid::ForeColor));

  auto info = control.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
  GUID events{};
  ASSERT_EQ(S_OK, info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
  EXPECT_TRUE(IsEqualGUID(DIID___ToolTipOnDemand, events));
  LPOLESTR name = const_cast<LPOLESTR>(L"ParentHwnd");
  DISPID id = 0;
  ASSERT_EQ(S_OK, control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
  EXPECT_EQ(tid::ParentHwnd, id);
}

TEST(ToolTipCreation, EveryPropertyIsReportedChangedAndShowsArgumentsAreNot) {
  Ref<IDispatch> control = CreateToolTip();
  auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_EQ(S_OK, persist->InitNew());
  auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  Ref<IConnectionPoint> point;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()));
  Ref<PropertyNotifySink> sink = PropertyNotifySink::Create();
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(sink.Get(), &cookie));

  // Show with every argument given: none of them is a change the container must save.
  LONG icon = blIconInfo, timeout = 0;
  BSTR prompt = SysAllocString(L"shown"), title = SysAllocString(L"heading");
  DispatchCall show;
  Invoke(control.Get(), tid::Show, DISPATCH_METHOD,
         {ByRef(&icon), ByRef(&prompt), ByRef(&title), ByRef(&timeout)}, show);
  SysFreeString(prompt);
  SysFreeString(title);
  ASSERT_EQ(S_OK, show.hr);
  EXPECT_TRUE(sink->changed.empty());
  EXPECT_EQ(S_FALSE, persist->IsDirty());
  EXPECT_EQ(L"shown", GetString(control.Get(), tid::Prompt));

  EXPECT_EQ(S_OK, Put(control.Get(), tid::TimeOut, Var(100L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::Centered, Var(true).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::Prompt, Var(L"p").v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::BackColor, Var(5L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::Title, Var(L"t").v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::ForeColor, Var(6L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::ParentHwnd, Var(0L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::y, Var(7L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::x, Var(8L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::IconType, Var(2L).v));
  EXPECT_EQ(S_OK, Put(control.Get(), tid::Style, Var(0L).v));
  const std::vector<DISPID> expected = {
      tid::TimeOut,    tid::Centered, tid::Prompt, tid::BackColor, tid::Title, tid::ForeColor,
      tid::ParentHwnd, tid::y,        tid::x,      tid::IconType,  tid::Style};
  EXPECT_EQ(expected, sink->changed);
  EXPECT_EQ(S_OK, persist->IsDirty());
  DispatchCall destroy;
  Invoke(control.Get(), tid::Destroy, DISPATCH_METHOD, {}, destroy);
  EXPECT_EQ(S_OK, destroy.hr);
  point->Unadvise(cookie);
}

const std::vector<std::wstring> kSavedOrder = {L"Style",      L"IconType",  L"x",         L"y",
                                               L"ParentHwnd", L"ForeColor", L"BackColor", L"Title",
                                               L"Prompt",     L"Centered",  L"TimeOut"};

TEST(ToolTipPersistence, EveryPropertyInItsOrderWithItsDefault) {
  Ref<IDispatch> control = CreateToolTip();
  auto bag = control.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  Ref<MemoryBag> sparse = MemoryBag::Create();
  ASSERT_EQ(S_OK, bag->Save(sparse.Get(), TRUE, FALSE));
  EXPECT_TRUE(sparse->values.empty()) << "the start values are the defaults";

  Ref<MemoryBag> full = MemoryBag::Create();
  ASSERT_EQ(S_OK, bag->Save(full.Get(), TRUE, TRUE));
  ASSERT_EQ(kSavedOrder, full->Names());
  EXPECT_EQ(1, V_I4(full->Find(L"Style")));
  EXPECT_EQ(kTooltipBackground, V_I4(full->Find(L"BackColor")));
  EXPECT_STREQ(L"", V_BSTR(full->Find(L"Prompt")));
  EXPECT_EQ(VARIANT_FALSE, V_BOOL(full->Find(L"Centered")));
  EXPECT_EQ(0, V_I4(full->Find(L"TimeOut")));
}

TEST(ToolTipPersistence, SavedValuesComeBackAndMissingOnesAreTheDefaults) {
  Ref<IDispatch> saved = CreateToolTip();
  Put(saved.Get(), tid::Style, Var(0L).v);
  Put(saved.Get(), tid::IconType, Var(3L).v);
  Put(saved.Get(), tid::x, Var(-40L).v);
  Put(saved.Get(), tid::y, Var(700L).v);
  Put(saved.Get(), tid::ParentHwnd, Var(0x1234L).v);
  Put(saved.Get(), tid::ForeColor, Var(static_cast<LONG>(RGB(1, 2, 3))).v);
  Put(saved.Get(), tid::BackColor, Var(static_cast<LONG>(0x80000005)).v);
  Put(saved.Get(), tid::Title, Var(L"Saved title").v);
  Put(saved.Get(), tid::Prompt, Var(L"Saved prompt").v);
  Put(saved.Get(), tid::Centered, Var(true).v);
  Put(saved.Get(), tid::TimeOut, Var(2500L).v);
  Ref<MemoryBag> bag = MemoryBag::Create();
  ASSERT_EQ(S_OK,
            saved.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(bag.Get(), TRUE, FALSE));
  ASSERT_EQ(kSavedOrder, bag->Names());

  auto expectSaved = [](IDispatch* c) {
    EXPECT_EQ(0, GetLong(c, tid::Style));
    EXPECT_EQ(3, GetLong(c, tid::IconType));
    EXPECT_EQ(-40, GetLong(c, tid::x));
    EXPECT_EQ(700, GetLong(c, tid::y));
    EXPECT_EQ(0x1234, GetLong(c, tid::ParentHwnd));
    EXPECT_EQ(static_cast<LONG>(RGB(1, 2, 3)), GetLong(c, tid::ForeColor));
    EXPECT_EQ(static_cast<LONG>(0x80000005), GetLong(c, tid::BackColor));
    EXPECT_EQ(L"Saved title", GetString(c, tid::Title));
    EXPECT_EQ(L"Saved prompt", GetString(c, tid::Prompt));
    EXPECT_TRUE(GetBool(c, tid::Centered));
    EXPECT_EQ(2500, GetLong(c, tid::TimeOut));
  };
  Ref<IDispatch> loaded = CreateToolTip();
  ASSERT_EQ(S_OK,
            loaded.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(bag.Get(), nullptr));
  expectSaved(loaded.Get());

  // The same through a stream.
  Ref<IStream> stream;
  ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  ASSERT_EQ(S_OK, saved.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.Get(), TRUE));
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  Ref<IDispatch> streamed = CreateToolTip();
  ASSERT_EQ(S_OK, streamed.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.Get()));
  expectSaved(streamed.Get());

  // Saved without a BackColor, a control starts with the tooltip background.
  Ref<MemoryBag> withoutBackColor = MemoryBag::Create();
  withoutBackColor->Set(L"Prompt", Var(L"only this").v);
  Ref<IDispatch> sparse = CreateToolTip();
  Put(sparse.Get(), tid::BackColor, Var(99L).v);
  ASSERT_EQ(S_OK, sparse.As<IPersistPropertyBag>(IID_IPersistPropertyBag)
                      ->Load(withoutBackColor.Get(), nullptr));
  EXPECT_EQ(kTooltipBackground, GetLong(sparse.Get(), tid::BackColor));
  EXPECT_EQ(L"only this", GetString(sparse.Get(), tid::Prompt));
  EXPECT_EQ(blBalloon, GetLong(sparse.Get(), tid::Style));

  // InitNew is no defaults step: what was set stays.
  Put(sparse.Get(), tid::Title, Var(L"kept").v);
  ASSERT_EQ(S_OK, sparse.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew());
  EXPECT_EQ(L"kept", GetString(sparse.Get(), tid::Title));
}

}  // namespace
}  // namespace sdtest
