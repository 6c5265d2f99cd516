// regsvr32 registers and unregisters the library; the file carries the
// resources a host and a toolbox look for.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

const wchar_t kClsid[] = L"{4438397D-C479-4CBE-92BF-E838BDED29C5}";
const wchar_t kLibid[] = L"{E0461D71-0B0B-472D-B786-4CCFA7317603}";
const wchar_t kDefaultInterface[] = L"{0536C4E0-EA50-436C-988B-68DA739753AB}";
const wchar_t kEventInterface[] = L"{5D3F0839-545D-4795-B715-731778CF1F63}";

bool KeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

// The string value, or "<missing>".
std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024];
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS)
    return L"<missing>";
  return data;
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ClassKey(const std::wstring& sub = L"") {
  return std::wstring(L"CLSID\\") + kClsid + (sub.empty() ? L"" : L"\\" + sub);
}

TEST(Registration, WritesTheClassProgIdAndControlEntries) {
  EXPECT_EQ(kClsid, Value(L"Quenbrook.TrayIcon\\Clsid"));
  EXPECT_EQ(L"TrayIcon", Value(L"Quenbrook.TrayIcon"));
  EXPECT_EQ(L"Quenbrook.TrayIcon", Value(ClassKey(L"ProgID")));
  EXPECT_EQ(Lower(SabledriftPath()), Lower(Value(ClassKey(L"InprocServer32"))));
  EXPECT_EQ(L"Apartment", Value(ClassKey(L"InprocServer32"), L"ThreadingModel"));
  EXPECT_EQ(kLibid, Value(ClassKey(L"TypeLib")));
  EXPECT_EQ(L"1.0", Value(ClassKey(L"Version")));
  EXPECT_TRUE(KeyExists(ClassKey(L"Control")));
  EXPECT_TRUE(KeyExists(ClassKey(L"Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}")));
  EXPECT_EQ(Lower(SabledriftPath() + L", 30000"), Lower(Value(ClassKey(L"ToolboxBitmap32"))));
  DWORD misc = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
               OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
  EXPECT_EQ(std::to_wstring(misc), Value(ClassKey(L"MiscStatus\\1")));

  CLSID fromProgId{};
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"Quenbrook.TrayIcon", &fromProgId));
  EXPECT_TRUE(IsEqualCLSID(CLSID_TrayIcon, fromProgId));
}

TEST(Registration, RegistersTheTypeLibraryAndItsInterfaces) {
  std::wstring lib = std::wstring(L"TypeLib\\") + kLibid + L"\\1.0";
  EXPECT_EQ(L"Quenbrook", Value(lib));
  const wchar_t* platform = sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32";
  EXPECT_EQ(Lower(SabledriftPath()), Lower(Value(lib + platform)));
  for (const wchar_t* iid : {kDefaultInterface, kEventInterface}) {
    EXPECT_EQ(kLibid, Value(std::wstring(L"Interface\\") + iid + L"\\TypeLib")) << iid;
  }
  Ref<ITypeLib> registered;
  ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_Quenbrook, 1, 0, 0, registered.Put()));
}

TEST(Registration, UnregistrationRemovesEverythingAndMayBeRepeated) {
  ASSERT_EQ(0u, RunRegsvr32(L"/s /u"));
  EXPECT_FALSE(KeyExists(L"Quenbrook.TrayIcon"));
  EXPECT_FALSE(KeyExists(ClassKey()));
  EXPECT_FALSE(KeyExists(std::wstring(L"TypeLib\\") + kLibid));
  EXPECT_FALSE(KeyExists(std::wstring(L"Interface\\") + kDefaultInterface));
  EXPECT_FALSE(KeyExists(std::wstring(L"Interface\\") + kEventInterface));
  Ref<IUnknown> none;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_TrayIcon, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IUnknown, none.PutVoid()));

  // Entries that are already gone count as removed.
  EXPECT_EQ(0u, RunRegsvr32(L"/s /u"));

  RegisterSabledrift();
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_TrayIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   none.PutVoid()));
}

TEST(Registration, UnregistrationLeavesWhatOthersAddedToOurKeys) {
  std::wstring foreign = ClassKey(L"Added By Someone Else");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, foreign.c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);
  ASSERT_EQ(0u, RunRegsvr32(L"/s /u"));
  EXPECT_TRUE(KeyExists(foreign));
  EXPECT_FALSE(KeyExists(ClassKey(L"InprocServer32")));
  EXPECT_FALSE(KeyExists(L"Quenbrook.TrayIcon"));
  RegDeleteKeyW(HKEY_CLASSES_ROOT, foreign.c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, ClassKey().c_str());
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
