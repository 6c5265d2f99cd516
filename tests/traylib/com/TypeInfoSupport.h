#pragma once
// Reading the library's type information as a host's tools read it.
#include <windows.h>
#include <oaidl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "tests/traylib/com/ComTest.h"

namespace sdtest {

// The type library inside the library's file, and the types in it.
class TypeLibraryFixture : public testing::Test {
 protected:
  void SetUp() override;
  Ref<ITypeInfo> Info(REFGUID guid);
  // The vtable view of the dual interface `iid`.
  Ref<ITypeInfo> InterfaceView(REFIID iid);
  // The members of the enumeration `name`, with their values.
  std::map<std::wstring, LONG> EnumerationMembers(const wchar_t* name);

  Ref<ITypeLib> lib_;
};

std::wstring Name(ITypeInfo* info, MEMBERID id);
// Every function of `info` by (memid, invoke kind), with its name.
std::map<std::pair<MEMBERID, INVOKEKIND>, std::wstring> Functions(ITypeInfo* info);
// What a by-reference type points to; VT_EMPTY for a type passed by value.
VARTYPE PointsTo(const TYPEDESC& type);
// The name of the user-defined type `type` is (or points to).
std::wstring TypeName(ITypeInfo* info, const TYPEDESC& type);

// Calls `check` with the function description of (memid, kind).
template <typename Check>
void WithFunction(ITypeInfo* info, MEMBERID id, INVOKEKIND kind, Check check) {
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
  bool found = false;
  for (UINT i = 0; i < attr->cFuncs && !found; ++i) {
    FUNCDESC* desc = nullptr;
    info->GetFuncDesc(i, &desc);
    if (desc->memid == id && desc->invkind == kind) {
      found = true;
      check(*desc);
    }
    info->ReleaseFuncDesc(desc);
  }
  info->ReleaseTypeAttr(attr);
  EXPECT_TRUE(found) << std::hex << id;
}

}  // namespace sdtest
