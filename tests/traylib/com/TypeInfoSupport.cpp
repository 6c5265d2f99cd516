#include "tests/traylib/com/TypeInfoSupport.h"

namespace sdtest {

void TypeLibraryFixture::SetUp() {
  ASSERT_EQ(S_OK, LoadTypeLibEx(SabledriftPath().c_str(), REGKIND_NONE, lib_.Put()));
}

Ref<ITypeInfo> TypeLibraryFixture::Info(REFGUID guid) {
  Ref<ITypeInfo> info;
  EXPECT_EQ(S_OK, lib_->GetTypeInfoOfGuid(guid, info.Put()));
  return info;
}

Ref<ITypeInfo> TypeLibraryFixture::InterfaceView(REFIID iid) {
  Ref<ITypeInfo> dispatch = Info(iid);
  HREFTYPE ref = 0;
  EXPECT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
  Ref<ITypeInfo> view;
  EXPECT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, view.Put()));
  return view;
}

std::map<std::wstring, LONG> TypeLibraryFixture::EnumerationMembers(const wchar_t* name) {
  std::map<std::wstring, LONG> members;
  Ref<ITypeInfo> info;
  MEMBERID id = 0;
  USHORT found = 1;
  std::wstring text = name;
  if (FAILED(lib_->FindName(text.data(), 0, info.Put(), &id, &found)) || found == 0) return members;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return members;
  EXPECT_EQ(TKIND_ENUM, attr->typekind) << name;
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    info->GetVarDesc(i, &var);
    members[Name(info.Get(), var->memid)] = V_I4(var->lpvarValue);
    info->ReleaseVarDesc(var);
  }
  info->ReleaseTypeAttr(attr);
  return members;
}

std::wstring Name(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) return L"<none>";
  std::wstring text = name;
  SysFreeString(name);
  return text;
}

std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> Functions(ITypeInfo* info) {
  std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> functions;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* desc = nullptr;
    info->GetFuncDesc(i, &desc);
    functions[{desc->memid, desc->invkind}] = Name(info, desc->memid);
    info->ReleaseFuncDesc(desc);
  }
  info->ReleaseTypeAttr(attr);
  return functions;
}

VARTYPE PointsTo(const TYPEDESC& type) {
  return type.vt == VT_PTR ? type.lptdesc->vt : VARTYPE(VT_EMPTY);
}

std::wstring TypeName(ITypeInfo* info, const TYPEDESC& type) {
  const TYPEDESC& named = type.vt == VT_PTR ? *type.lptdesc : type;
  if (named.vt != VT_USERDEFINED) return L"<builtin>";
  Ref<ITypeInfo> referenced;
  if (FAILED(info->GetRefTypeInfo(named.hreftype, referenced.Put()))) return L"<none>";
  return Name(referenced.Get(), MEMBERID_NIL);
}

}  // namespace sdtest
