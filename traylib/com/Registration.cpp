#include "traylib/com/Registration.h"

#include <oleauto.h>

#include <cwchar>
#include <string>
#include <vector>

#include "base/Handles.h"
#include "traylib/com/ClassTable.h"
#include "traylib/com/ComError.h"
#include "traylib/com/ComPtr.h"
#include "traylib/com/Module.h"

namespace sd {

using base::UniqueRegKey;

namespace {

// One registry entry. A null value name is the key's default value; a null
// data writes the key alone. Texts in braces are filled in per class.
struct RegistryRow {
  const wchar_t* key;
  const wchar_t* value;
  const wchar_t* data;
};

// Written in this order under the kind's classes key, removed in the reverse order.
constexpr RegistryRow kControlRows[] = {
    {L"{progid}", nullptr, L"{name}"},
    {L"{progid}\\Clsid", nullptr, L"{clsid}"},
    {L"CLSID\\{clsid}", nullptr, L"{progid}"},
    {L"CLSID\\{clsid}\\InprocServer32", nullptr, L"{module}"},
    {L"CLSID\\{clsid}\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\{clsid}\\ProgID", nullptr, L"{progid}"},
    {L"CLSID\\{clsid}\\VersionIndependentProgID", nullptr, L"{progid}"},
    {L"CLSID\\{clsid}\\TypeLib", nullptr, L"{libid}"},
    {L"CLSID\\{clsid}\\Version", nullptr, L"{version}"},
    {L"CLSID\\{clsid}\\Control", nullptr, L""},
    {L"CLSID\\{clsid}\\Implemented Categories", nullptr, nullptr},
    // CATID_Control
    {L"CLSID\\{clsid}\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", nullptr,
     nullptr},
    {L"CLSID\\{clsid}\\MiscStatus", nullptr, L"0"},
    {L"CLSID\\{clsid}\\MiscStatus\\1", nullptr, L"{misc}"},
    {L"CLSID\\{clsid}\\ToolboxBitmap32", nullptr, L"{module}, {bitmap}"},
};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40];
  ::StringFromGUID2(guid, text, 40);
  return text;
}

struct TypeLibraryFacts {
  GUID libid;
  WORD major;
  WORD minor;
  LCID lcid;
  SYSKIND syskind;
  WORD flags;
};

std::wstring VersionText(const TypeLibraryFacts& lib) {
  return std::to_wstring(lib.major) + L"." + std::to_wstring(lib.minor);
}

std::wstring Expand(const wchar_t* pattern, const ClassEntry& entry, const TypeLibraryFacts& lib,
                    const std::wstring& modulePath) {
  std::wstring text = pattern;
  const std::pair<const wchar_t*, std::wstring> fields[] = {
      {L"{progid}", entry.progId},
      {L"{name}", entry.name},
      {L"{clsid}", GuidText(*entry.control.clsid)},
      {L"{module}", modulePath},
      {L"{libid}", GuidText(lib.libid)},
      {L"{version}", VersionText(lib)},
      {L"{misc}", std::to_wstring(entry.control.miscStatus)},
      {L"{bitmap}", std::to_wstring(entry.toolboxBitmap)},
  };
  for (const auto& [name, value] : fields) {
    for (size_t at = text.find(name); at != std::wstring::npos;
         at = text.find(name, at + value.size()))
      text.replace(at, wcslen(name), value);
  }
  return text;
}

struct ExpandedRow {
  std::wstring key;
  std::wstring value;
  bool defaultValue;
  bool keyOnly;
  std::wstring data;
};

ExpandedRow Entry(std::wstring key, std::wstring data, const wchar_t* value = nullptr) {
  return {std::move(key), value ? value : L"", value == nullptr, false, std::move(data)};
}

ExpandedRow KeyOnly(std::wstring key) { return {std::move(key), L"", true, true, L""}; }

// The proxy-stub classes oleaut32 marshals a type library's interfaces with.
constexpr wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";  // PSOAInterface
constexpr wchar_t kDispatchProxy[] = L"{00020420-0000-0000-C000-000000000046}";    // PSDispatch

// Dispinterfaces and the dual and oleautomation interfaces, which callers in
// other apartments reach through the type library.
void AddInterfaceRows(ITypeLib* lib, const TypeLibraryFacts& facts,
                      std::vector<ExpandedRow>& rows) {
  for (UINT i = 0, count = lib->GetTypeInfoCount(); i < count; ++i) {
    ComPtr<ITypeInfo> info;
    ThrowIfFailed(lib->GetTypeInfo(i, info.Put()));
    TYPEATTR* attr = nullptr;
    ThrowIfFailed(info->GetTypeAttr(&attr));
    const GUID iid = attr->guid;
    const TYPEKIND kind = attr->typekind;
    const bool automation = (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0;
    info->ReleaseTypeAttr(attr);
    if (kind != TKIND_DISPATCH && !(kind == TKIND_INTERFACE && automation)) continue;
    Bstr name;
    ThrowIfFailed(info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr));
    const wchar_t* proxy = automation ? kAutomationProxy : kDispatchProxy;
    std::wstring key = L"Interface\\" + GuidText(iid);
    rows.push_back(Entry(key, name.Text()));
    rows.push_back(Entry(key + L"\\ProxyStubClsid", proxy));
    rows.push_back(Entry(key + L"\\ProxyStubClsid32", proxy));
    rows.push_back(Entry(key + L"\\TypeLib", GuidText(facts.libid)));
    rows.push_back(Entry(key + L"\\TypeLib", VersionText(facts), L"Version"));
  }
}

// What RegisterTypeLibForUser writes, written here as rows: some systems'
// RegisterTypeLibForUser (Wine's) registers for the whole machine instead,
// which a user without administrator rights may not do.
std::vector<ExpandedRow> TypeLibraryRows(ITypeLib* lib, const TypeLibraryFacts& facts,
                                         const std::wstring& modulePath) {
  Bstr name, help;
  ThrowIfFailed(lib->GetDocumentation(-1, name.Put(), help.Put(), nullptr, nullptr));
  wchar_t lcid[16];
  swprintf(lcid, 16, L"%lx", facts.lcid);
  std::wstring key = L"TypeLib\\" + GuidText(facts.libid);
  std::wstring version = key + L"\\" + VersionText(facts);
  std::wstring locale = version + L"\\" + lcid;
  std::vector<ExpandedRow> rows = {
      KeyOnly(key),
      Entry(version, help.Text().empty() ? name.Text() : help.Text()),
      Entry(version + L"\\FLAGS", std::to_wstring(facts.flags)),
      KeyOnly(locale),
      Entry(locale + (facts.syskind == SYS_WIN64 ? L"\\win64" : L"\\win32"), modulePath),
      Entry(version + L"\\HELPDIR", modulePath.substr(0, modulePath.find_last_of(L'\\'))),
  };
  AddInterfaceRows(lib, facts, rows);
  return rows;
}

// For the user's kind the type library comes first, as RegisterTypeLib comes
// first for the machine's.
std::vector<ExpandedRow> AllRows(RegistrationKind kind, ITypeLib* lib,
                                 const TypeLibraryFacts& facts, const std::wstring& modulePath) {
  std::vector<ExpandedRow> rows;
  if (kind == RegistrationKind::kUser) rows = TypeLibraryRows(lib, facts, modulePath);
  for (const ClassEntry& entry : Classes()) {
    for (const RegistryRow& row : kControlRows) {
      rows.push_back({Expand(row.key, entry, facts, modulePath), row.value ? row.value : L"",
                      row.value == nullptr, row.data == nullptr,
                      row.data ? Expand(row.data, entry, facts, modulePath) : std::wstring()});
    }
  }
  return rows;
}

// The classes of the kind's hive, named directly rather than through
// HKEY_CLASSES_ROOT: that merged view would send the machine's changes to the
// user's keys wherever the user has a registration of their own.
UniqueRegKey OpenClasses(RegistrationKind kind) {
  HKEY hive = kind == RegistrationKind::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  UniqueRegKey classes;
  LSTATUS status = ::RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0,
                                     KEY_READ | KEY_WRITE, nullptr, classes.put(), nullptr);
  if (status != ERROR_SUCCESS) throw ComError(HRESULT_FROM_WIN32(status));
  return classes;
}

HRESULT WriteRow(HKEY classes, const ExpandedRow& row) {
  UniqueRegKey key;
  LSTATUS status = ::RegCreateKeyExW(classes, row.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                     key.put(), nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (!row.keyOnly) {
    status = ::RegSetValueExW(key.get(), row.defaultValue ? nullptr : row.value.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(row.data.c_str()),
                              static_cast<DWORD>((row.data.size() + 1) * sizeof(wchar_t)));
  }
  return HRESULT_FROM_WIN32(status);
}

bool Gone(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

// Removes the row's value, then its key if nothing else is left in it (keys
// that other software filled stay).
HRESULT RemoveRow(HKEY classes, const ExpandedRow& row) {
  UniqueRegKey key;
  LSTATUS status =
      ::RegOpenKeyExW(classes, row.key.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (!row.keyOnly)
    status = ::RegDeleteValueW(key.get(), row.defaultValue ? nullptr : row.value.c_str());
  DWORD subkeys = 0, values = 0;
  LSTATUS query = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                     nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  key.reset();  // closed before the key itself may go
  if (!Gone(status)) return HRESULT_FROM_WIN32(status);
  if (query == ERROR_SUCCESS && subkeys == 0 && values == 0) {
    status = ::RegDeleteKeyW(classes, row.key.c_str());
    if (!Gone(status)) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

ComPtr<ITypeLib> LoadOwnTypeLibrary(const std::wstring& modulePath, TypeLibraryFacts& facts) {
  ComPtr<ITypeLib> lib;
  ThrowIfFailed(::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put()));
  TLIBATTR* attr = nullptr;
  ThrowIfFailed(lib->GetLibAttr(&attr));
  facts = {attr->guid, attr->wMajorVerNum, attr->wMinorVerNum,
           attr->lcid, attr->syskind,      attr->wLibFlags};
  lib->ReleaseTLibAttr(attr);
  return lib;
}

bool TypeLibraryRegistered(HKEY classes, const TypeLibraryFacts& lib) {
  std::wstring key = L"TypeLib\\" + GuidText(lib.libid) + L"\\" + VersionText(lib);
  UniqueRegKey handle;
  return ::RegOpenKeyExW(classes, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

HRESULT Unregister(RegistrationKind kind, HKEY classes, ITypeLib* lib,
                   const TypeLibraryFacts& facts, const std::wstring& modulePath) {
  HRESULT first = S_OK;
  auto rows = AllRows(kind, lib, facts, modulePath);
  // Every row is tried even after a failure, so that as much as possible goes.
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    HRESULT hr = RemoveRow(classes, *row);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  if (kind == RegistrationKind::kMachine && TypeLibraryRegistered(classes, facts)) {
    HRESULT hr =
        ::UnRegisterTypeLib(facts.libid, facts.major, facts.minor, facts.lcid, facts.syskind);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  return first;
}

}  // namespace

HRESULT RegisterServer(RegistrationKind kind) noexcept {
  return Guarded(GUID_NULL, [kind] {
    std::wstring modulePath = module::Path();
    TypeLibraryFacts facts{};
    ComPtr<ITypeLib> lib = LoadOwnTypeLibrary(modulePath, facts);
    UniqueRegKey classes = OpenClasses(kind);
    HRESULT hr = S_OK;
    if (kind == RegistrationKind::kMachine) {
      std::wstring libraryPath = modulePath;  // RegisterTypeLib takes a non-const path
      hr = ::RegisterTypeLib(lib.Get(), libraryPath.data(), nullptr);
    }
    if (SUCCEEDED(hr)) {
      for (const ExpandedRow& row : AllRows(kind, lib.Get(), facts, modulePath)) {
        hr = WriteRow(classes.get(), row);
        if (FAILED(hr)) break;  // the rest would describe a class that cannot be created
      }
    }
    // A half registration is worse than none.
    if (FAILED(hr)) Unregister(kind, classes.get(), lib.Get(), facts, modulePath);
    return hr;
  });
}

HRESULT UnregisterServer(RegistrationKind kind) noexcept {
  return Guarded(GUID_NULL, [kind] {
    std::wstring modulePath = module::Path();
    TypeLibraryFacts facts{};
    ComPtr<ITypeLib> lib = LoadOwnTypeLibrary(modulePath, facts);
    UniqueRegKey classes = OpenClasses(kind);
    return Unregister(kind, classes.get(), lib.Get(), facts, modulePath);
  });
}

HRESULT InstallServer(bool install, const wchar_t* commandLine) noexcept {
  auto is = [commandLine](const wchar_t* word) {
    return ::CompareStringOrdinal(commandLine, -1, word, -1, TRUE) == CSTR_EQUAL;
  };
  RegistrationKind kind = RegistrationKind::kMachine;
  if (commandLine && is(L"user"))
    kind = RegistrationKind::kUser;
  else if (commandLine && *commandLine && !is(L"machine"))
    return E_INVALIDARG;
  return install ? RegisterServer(kind) : UnregisterServer(kind);
}

}  // namespace sd
