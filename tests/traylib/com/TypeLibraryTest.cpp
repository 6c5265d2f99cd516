// The type library a host binds to: every identifier, dispatch id,
// parameter and type as the public interface has it.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "tests/traylib/com/TypeInfoSupport.h"

namespace sdtest {
namespace {

class TypeLibrary : public TypeLibraryFixture {
 protected:
  Ref<ITypeInfo> InterfaceView() { return TypeLibraryFixture::InterfaceView(IID__TrayIcon); }
};

TEST_F(TypeLibrary, DefaultInterfaceHasEveryMemberUnderItsDispatchId) {
  Ref<ITypeInfo> info = Info(IID__TrayIcon);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
  EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  info->ReleaseTypeAttr(attr);

  auto functions = Functions(InterfaceView().Get());
  const std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> expected = {
      {{0x68030000, INVOKE_PROPERTYGET}, L"IconHandle"},
      {{0x68030000, INVOKE_PROPERTYPUT}, L"IconHandle"},
      {{0x68030001, INVOKE_PROPERTYGET}, L"ToolTip"},
      {{0x68030001, INVOKE_PROPERTYPUT}, L"ToolTip"},
      {{0x68030002, INVOKE_PROPERTYGET}, L"TrayIconVisible"},
      {{0x68030002, INVOKE_PROPERTYPUT}, L"TrayIconVisible"},
      {{0x68030003, INVOKE_PROPERTYGET}, L"Created"},
      {{0x68030004, INVOKE_PROPERTYGET}, L"TrackIconMovement"},
      {{0x68030004, INVOKE_PROPERTYPUT}, L"TrackIconMovement"},
      {{0x68030005, INVOKE_PROPERTYGET}, L"IconMovementTrackInterval"},
      {{0x68030005, INVOKE_PROPERTYPUT}, L"IconMovementTrackInterval"},
      {{0x60030006, INVOKE_FUNC}, L"SysTrayHWnd"},
      {{0x60030007, INVOKE_FUNC}, L"CommonControlsVersion"},
      {{0x60030008, INVOKE_FUNC}, L"Create"},
      {{0x60030009, INVOKE_FUNC}, L"Remove"},
      {{0x6003000A, INVOKE_FUNC}, L"BalloonTipShow"},
      {{0x6003000B, INVOKE_FUNC}, L"BalloonTipClose"},
      {{0x6003000C, INVOKE_FUNC}, L"GetIconMiddle"},
      {{0x6003000D, INVOKE_FUNC}, L"IconRect"},
  };
  EXPECT_EQ(expected, functions);
}

TEST_F(TypeLibrary, CreateTakesItsArgumentsByReferenceWithTheToolTipMarker) {
  WithFunction(InterfaceView().Get(), 0x60030008, INVOKE_FUNC, [](const FUNCDESC& f) {
    ASSERT_EQ(3, f.cParams);
    const ELEMDESC* p = f.lprgelemdescParam;
    EXPECT_EQ(VT_I4, PointsTo(p[0].tdesc));
    EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOUT, p[0].paramdesc.wParamFlags);
    EXPECT_EQ(VT_I4, PointsTo(p[1].tdesc));
    EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT,
              p[1].paramdesc.wParamFlags);
    EXPECT_EQ(VT_BSTR, PointsTo(p[2].tdesc));
    ASSERT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT,
              p[2].paramdesc.wParamFlags);
    const VARIANT& marker = p[2].paramdesc.pparamdescex->varDefaultValue;
    ASSERT_EQ(VT_BSTR, V_VT(&marker));
    EXPECT_STREQ(L"~nOtOoLtIp", V_BSTR(&marker));
  });
}

TEST_F(TypeLibrary, BalloonTipShowHasItsOptionalArguments) {
  WithFunction(InterfaceView().Get(), 0x6003000A, INVOKE_FUNC, [](const FUNCDESC& f) {
    ASSERT_EQ(4, f.cParams);
    const ELEMDESC* p = f.lprgelemdescParam;
    WORD optional = PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
    EXPECT_EQ(VT_USERDEFINED, PointsTo(p[0].tdesc));  // blIconType, by reference
    EXPECT_EQ(optional | PARAMFLAG_FOUT, p[0].paramdesc.wParamFlags);
    EXPECT_EQ(VT_BSTR, p[1].tdesc.vt);
    EXPECT_EQ(optional, p[1].paramdesc.wParamFlags);
    EXPECT_EQ(VT_BSTR, p[2].tdesc.vt);
    EXPECT_EQ(optional, p[2].paramdesc.wParamFlags);
    EXPECT_EQ(VT_I4, PointsTo(p[3].tdesc));
    EXPECT_EQ(optional | PARAMFLAG_FOUT, p[3].paramdesc.wParamFlags);
    Var zero(0L);
    EXPECT_EQ(VARCMP_EQ, VarCmp(&p[3].paramdesc.pparamdescex->varDefaultValue, &zero.v, 0, 0));
  });
}

TEST_F(TypeLibrary, GetIconMiddleAndIconRectGiveTheirResults) {
  Ref<ITypeInfo> view = InterfaceView();
  WithFunction(view.Get(), 0x6003000C, INVOKE_FUNC, [](const FUNCDESC& f) {
    ASSERT_EQ(2, f.cParams);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(VT_I4, PointsTo(f.lprgelemdescParam[i].tdesc));
      EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOUT, f.lprgelemdescParam[i].paramdesc.wParamFlags);
    }
  });
  WithFunction(view.Get(), 0x6003000D, INVOKE_FUNC, [&](const FUNCDESC& f) {
    ASSERT_EQ(1, f.cParams);
    const TYPEDESC& result = f.lprgelemdescParam[0].tdesc;
    ASSERT_EQ(VT_USERDEFINED, PointsTo(result));
    Ref<ITypeInfo> record;
    ASSERT_EQ(S_OK, view->GetRefTypeInfo(result.lptdesc->hreftype, record.Put()));
    EXPECT_EQ(L"tiRECT", Name(record.Get(), MEMBERID_NIL));
  });
}

TEST_F(TypeLibrary, EnumerationsHaveTheirMembers) {
  struct Enumeration {
    const wchar_t* name;
    std::map<std::wstring, LONG> members;
  };
  const Enumeration enumerations[] = {
      {L"stMouseEvent",
       {{L"stMouseMove", 512},
        {L"stLeftButtonDown", 513},
        {L"stLeftButtonUp", 514},
        {L"stLeftButtonDoubleClick", 515},
        {L"stRightButtonDown", 516},
        {L"stRightButtonUp", 517},
        {L"stRightButtonDoubleClick", 518},
        {L"stMiddleButtonDown", 519},
        {L"stMiddleButtonUp", 520},
        {L"stMiddleButtonDoubleClick", 521}}},
      {L"stKeyEvent", {{L"stSelect", 1024}, {L"stKeySelect", 1025}}},
      {L"stBalloonClickType",
       {{L"stbBalloonShow", 1026},
        {L"stbBalloonHide", 1027},
        {L"stbRightClick", 1028},
        {L"stbLeftClick", 1029}}},
      {L"blIconType",
       {{L"blNoIcon", 0}, {L"blIconInfo", 1}, {L"blIconWarning", 2}, {L"blIconError", 3}}},
      {L"stBalloonIconType",
       {{L"btNoIcon", 0}, {L"btInfo", 1}, {L"btWarning", 2}, {L"btError", 3}}},
  };
  for (const Enumeration& e : enumerations)
    EXPECT_EQ(e.members, EnumerationMembers(e.name)) << e.name;
}

TEST_F(TypeLibrary, TiRectIsARecordOfFourLongs) {
  Ref<ITypeInfo> info;
  MEMBERID id = 0;
  USHORT found = 1;
  wchar_t name[] = L"tiRECT";
  ASSERT_EQ(S_OK, lib_->FindName(name, 0, info.Put(), &id, &found));
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
  EXPECT_EQ(TKIND_RECORD, attr->typekind);
  EXPECT_EQ(16u, attr->cbSizeInstance);
  ASSERT_EQ(4, attr->cVars);
  const wchar_t* fields[] = {L"Left", L"Top", L"Right", L"Bottom"};
  for (UINT i = 0; i < 4; ++i) {
    VARDESC* var = nullptr;
    info->GetVarDesc(i, &var);
    EXPECT_EQ(fields[i], Name(info.Get(), var->memid));
    EXPECT_EQ(VT_I4, var->elemdescVar.tdesc.vt);
    EXPECT_EQ(i * 4, var->oInst);
    info->ReleaseVarDesc(var);
  }
  info->ReleaseTypeAttr(attr);
}

TEST_F(TypeLibrary, EventsAreTheFiveOfTheEventInterface) {
  Ref<ITypeInfo> events = Info(DIID___TrayIcon);
  auto functions = Functions(events.Get());
  const std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> expected = {
      {{1, INVOKE_FUNC}, L"TrayMouseEvent"},   {{2, INVOKE_FUNC}, L"TrayKeyEvent"},
      {{3, INVOKE_FUNC}, L"TrayIconMoved"},    {{4, INVOKE_FUNC}, L"BalloonClick"},
      {{5, INVOKE_FUNC}, L"TaskBarRecreated"},
  };
  EXPECT_EQ(expected, functions);
  const std::pair<MEMBERID, SHORT> argumentCounts[] = {{1, 1}, {2, 1}, {3, 2}, {4, 1}, {5, 0}};
  for (auto [id, count] : argumentCounts) {
    WithFunction(events.Get(), id, INVOKE_FUNC, [&](const FUNCDESC& f) {
      EXPECT_EQ(count, f.cParams) << id;
      for (SHORT i = 0; i < f.cParams; ++i)
        EXPECT_NE(VT_PTR, f.lprgelemdescParam[i].tdesc.vt) << "events pass by value";
    });
  }
}

TEST_F(TypeLibrary, CoclassesAreControlsWithTheirDefaultAndSourceInterfaces) {
  struct Coclass {
    const CLSID* clsid;
    const wchar_t* name;
    const IID* defaultInterface;
    const IID* events;
  };
  const Coclass coclasses[] = {
      {&CLSID_TrayIcon, L"TrayIcon", &IID__TrayIcon, &DIID___TrayIcon},
      {&CLSID_ToolTipOnDemand, L"ToolTipOnDemand", &IID__ToolTipOnDemand, &DIID___ToolTipOnDemand}};
  for (const Coclass& c : coclasses) {
    SCOPED_TRACE(c.name);
    Ref<ITypeInfo> coclass = Info(*c.clsid);
    EXPECT_EQ(c.name, Name(coclass.Get(), MEMBERID_NIL));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
    ASSERT_EQ(2, attr->cImplTypes);
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < 2; ++i) {
      INT flags = 0;
      coclass->GetImplTypeFlags(i, &flags);
      HREFTYPE ref = 0;
      coclass->GetRefTypeOfImplType(i, &ref);
      Ref<ITypeInfo> implemented;
      coclass->GetRefTypeInfo(ref, implemented.Put());
      TYPEATTR* implAttr = nullptr;
      implemented->GetTypeAttr(&implAttr);
      const IID& expected = (flags & IMPLTYPEFLAG_FSOURCE) ? *c.events : *c.defaultInterface;
      EXPECT_TRUE(IsEqualGUID(expected, implAttr->guid)) << i;
      EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
      implemented->ReleaseTypeAttr(implAttr);
    }
  }
}

}  // namespace
}  // namespace sdtest
