// regsvr32 registers and unregisters the library; the file carries the
// resources a host and a toolbox look for.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

const wchar_t kLibid[] = L"{E0461D71-0B0B-472D-B786-4CCFA7317603}";

// The library's two controls, each registered the same way.
struct ControlClass {
  const wchar_t* clsidText;
  const CLSID* clsid;
  const wchar_t* progId;
  const wchar_t* name;
  const wchar_t* bitmap;  // resource id of its toolbox picture
  const wchar_t* defaultInterface;
  const wchar_t* eventInterface;
};
const ControlClass kControls[] = {
    {L"{4438397D-C479-4CBE-92BF-E838BDED29C5}", &CLSID_TrayIcon, L"Quenbrook.TrayIcon", L"TrayIcon",
     L"30000", L"{0536C4E0-EA50-436C-988B-68DA739753AB}",
     L"{5D3F0839-545D-4795-B715-731778CF1F63}"},
    {L"{1DFE34C4-6EE1-4AC4-AAF7-6BA3486206BC}", &CLSID_ToolTipOnDemand,
     L"Quenbrook.ToolTipOnDemand", L"ToolTipOnDemand", L"30001",
     L"{C88F3BEC-2236-4893-986E-E23E53FA807A}", L"{80F1FEAA-DFF7-41D3-BCCD-762B09BC0A1E}"},
};
const ControlClass& kTrayIcon = kControls[0];

bool KeyExists(const std::wstring& key, HKEY root = HKEY_CLASSES_ROOT) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// The string value, or "<missing>".
std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr,
                   HKEY root = HKEY_CLASSES_ROOT) {
  wchar_t data[1024];
  DWORD size = sizeof data;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return data;
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ClassKey(const ControlClass& control, const std::wstring& sub = L"") {
  return std::wstring(L"CLSID\\") + control.clsidText + (sub.empty() ? L"" : L"\\" + sub);
}

std::wstring InterfaceKey(const wchar_t* iid) { return std::wstring(L"Interface\\") + iid; }

TEST(Registration, WritesTheClassProgIdAndControlEntriesOfBothControls) {
  const DWORD misc = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                     OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
  for (const ControlClass& c : kControls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.clsidText, Value(std::wstring(c.progId) + L"\\Clsid"));
    EXPECT_EQ(c.name, Value(c.progId));
    EXPECT_EQ(c.progId, Value(ClassKey(c, L"ProgID")));
    EXPECT_EQ(Lower(SabledriftPath()), Lower(Value(ClassKey(c, L"InprocServer32"))));
    EXPECT_EQ(L"Apartment", Value(ClassKey(c, L"InprocServer32"), L"ThreadingModel"));
    EXPECT_EQ(kLibid, Value(ClassKey(c, L"TypeLib")));
    EXPECT_EQ(L"1.0", Value(ClassKey(c, L"Version")));
    EXPECT_TRUE(KeyExists(ClassKey(c, L"Control")));
    EXPECT_TRUE(
        KeyExists(ClassKey(c, L"Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}")));
    EXPECT_EQ(Lower(SabledriftPath() + L", " + c.bitmap),
              Lower(Value(ClassKey(c, L"ToolboxBitmap32"))));
    EXPECT_EQ(std::to_wstring(misc), Value(ClassKey(c, L"MiscStatus\\1")));

    CLSID fromProgId{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(c.progId, &fromProgId));
    EXPECT_TRUE(IsEqualCLSID(*c.clsid, fromProgId));
  }
}

TEST(Registration, RegistersTheTypeLibraryAndItsInterfaces) {
  std::wstring lib = std::wstring(L"TypeLib\\") + kLibid + L"\\1.0";
  EXPECT_EQ(L"Quenbrook", Value(lib));
  const wchar_t* platform = sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32";
  EXPECT_EQ(Lower(SabledriftPath()), Lower(Value(lib + platform)));
  for (const ControlClass& c : kControls) {
    for (const wchar_t* iid : {c.defaultInterface, c.eventInterface})
      EXPECT_EQ(kLibid, Value(InterfaceKey(iid) + L"\\TypeLib")) << iid;
  }
  Ref<ITypeLib> registered;
  ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_Quenbrook, 1, 0, 0, registered.Put()));
}

TEST(Registration, UnregistrationRemovesEverythingAndMayBeRepeated) {
  ASSERT_EQ(0u, RunRegsvr32(L"/s /u"));
  EXPECT_FALSE(KeyExists(std::wstring(L"TypeLib\\") + kLibid));
  for (const ControlClass& c : kControls) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(KeyExists(c.progId));
    EXPECT_FALSE(KeyExists(ClassKey(c)));
    EXPECT_FALSE(KeyExists(InterfaceKey(c.defaultInterface)));
    EXPECT_FALSE(KeyExists(InterfaceKey(c.eventInterface)));
    Ref<IUnknown> none;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_IUnknown, none.PutVoid()));
  }

  // Entries that are already gone count as removed.
  EXPECT_EQ(0u, RunRegsvr32(L"/s /u"));

  RegisterSabledrift();
  for (const ControlClass& c : kControls) {
    Ref<IUnknown> created;
    EXPECT_EQ(S_OK, CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     created.PutVoid()))
        << c.name;
  }
}

TEST(Registration, UnregistrationLeavesWhatOthersAddedToOurKeys) {
  std::wstring foreign = ClassKey(kTrayIcon, L"Added By Someone Else");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, foreign.c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);
  ASSERT_EQ(0u, RunRegsvr32(L"/s /u"));
  EXPECT_TRUE(KeyExists(foreign));
  EXPECT_FALSE(KeyExists(ClassKey(kTrayIcon, L"InprocServer32")));
  EXPECT_FALSE(KeyExists(L"Quenbrook.TrayIcon"));
  RegDeleteKeyW(HKEY_CLASSES_ROOT, foreign.c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, ClassKey(kTrayIcon).c_str());
  RegisterSabledrift();
}

TEST(Registration, ForTheUserGoesIntoTheUsersClassesAloneAndOutAgain) {
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring lib = std::wstring(L"TypeLib\\") + kLibid;
  const std::wstring dll = SabledriftPath();
  struct Row {
    std::wstring key;
    const wchar_t* value;
    std::wstring data;
  };
  std::vector<Row> rows = {{lib + L"\\1.0", nullptr, L"Quenbrook"},
                           {lib + L"\\1.0\\0\\win64", nullptr, dll}};
  std::vector<std::wstring> ours = {lib};
  for (const ControlClass& c : kControls) {
    rows.insert(rows.end(), {{std::wstring(c.progId) + L"\\Clsid", nullptr, c.clsidText},
                             {ClassKey(c, L"InprocServer32"), nullptr, dll},
                             {ClassKey(c, L"InprocServer32"), L"ThreadingModel", L"Apartment"},
                             {InterfaceKey(c.defaultInterface) + L"\\TypeLib", nullptr, kLibid},
                             {InterfaceKey(c.defaultInterface) + L"\\ProxyStubClsid32", nullptr,
                              L"{00020424-0000-0000-C000-000000000046}"},
                             {InterfaceKey(c.eventInterface) + L"\\ProxyStubClsid32", nullptr,
                              L"{00020420-0000-0000-C000-000000000046}"}});
    ours.insert(ours.end(), {c.progId, ClassKey(c), InterfaceKey(c.defaultInterface),
                             InterfaceKey(c.eventInterface)});
  }
  ASSERT_EQ(0u, RunRegsvr32(L"/s /u"));  // the machine's registration out of the way
  ASSERT_EQ(0u, RunRegsvr32(L"/s /n /i:user"));
  for (const Row& row : rows)
    EXPECT_EQ(Lower(row.data), Lower(Value(classes + row.key, row.value, HKEY_CURRENT_USER)))
        << row.key;
  for (const std::wstring& key : ours)
    EXPECT_FALSE(KeyExists(classes + key, HKEY_LOCAL_MACHINE)) << key;

  ASSERT_EQ(0u, RunRegsvr32(L"/s /u /n /i:user"));
  for (const std::wstring& key : ours)
    EXPECT_FALSE(KeyExists(classes + key, HKEY_CURRENT_USER)) << key;
  EXPECT_NE(0u, RunRegsvr32(L"/s /n /i:everyone"));  // no such kind
  RegisterSabledrift();
}

TEST(Resources, VersionBlockSaysOnePointTwo) {
  std::wstring path = SabledriftPath();
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(MAKELONG(2, 1), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(2, 0), fixed->dwFileVersionLS);
  // The mark of a library that registers itself.
  void* selfRegister = nullptr;
  EXPECT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\OLESelfRegister",
                             &selfRegister, &length));
}

TEST(Resources, ToolboxBitmapsAreSixteenByFifteenInSixteenColours) {
  HMODULE file = LoadLibraryExW(SabledriftPath().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, file);
  for (int id : {30000, 30001}) {
    HRSRC found = FindResourceW(file, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_NE(nullptr, found) << id;
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(file, found)));
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(16, header->biWidth) << id;
    EXPECT_EQ(15, header->biHeight) << id;
    EXPECT_EQ(4, header->biBitCount) << id;
  }
  FreeLibrary(file);
}

TEST(Resources, TypeLibraryIsQuenbrookOnePointZero) {
  Ref<ITypeLib> lib;
  ASSERT_EQ(S_OK, LoadTypeLibEx(SabledriftPath().c_str(), REGKIND_NONE, lib.Put()));
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(LIBID_Quenbrook, attr->guid));
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr));
  EXPECT_STREQ(L"Quenbrook", name);
  SysFreeString(name);
}

}  // namespace
}  // namespace sdtest
