#include "traylib/com/Registration.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "traylib/Handles.h"
#include "traylib/com/ClassTable.h"
#include "traylib/com/ComError.h"
#include "traylib/com/ComPtr.h"
#include "traylib/com/Module.h"

namespace sd {
namespace {

// One registry entry. A null value name is the key's default value; a null
// data writes the key alone. Texts in braces are filled in per class.
struct RegistryRow {
  const wchar_t* key;
  const wchar_t* value;
  const wchar_t* data;
};

// Written in this order under HKEY_CLASSES_ROOT, removed in the reverse order.
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
};

std::wstring Expand(const wchar_t* pattern, const ClassEntry& entry, const TypeLibraryFacts& lib,
                    const std::wstring& modulePath) {
  std::wstring text = pattern;
  const std::pair<const wchar_t*, std::wstring> fields[] = {
      {L"{progid}", entry.progId},
      {L"{name}", entry.name},
      {L"{clsid}", GuidText(*entry.control.clsid)},
      {L"{module}", modulePath},
      {L"{libid}", GuidText(lib.libid)},
      {L"{version}", std::to_wstring(lib.major) + L"." + std::to_wstring(lib.minor)},
      {L"{misc}", std::to_wstring(entry.control.miscStatus)},
      {L"{bitmap}", std::to_wstring(entry.toolboxBitmap)},
  };
  for (const auto& [name, value] : fields) {
    for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at + value.size()))
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

std::vector<ExpandedRow> AllRows(const TypeLibraryFacts& lib, const std::wstring& modulePath) {
  std::vector<ExpandedRow> rows;
  for (const ClassEntry& entry : Classes()) {
    for (const RegistryRow& row : kControlRows) {
      rows.push_back({Expand(row.key, entry, lib, modulePath), row.value ? row.value : L"",
                      row.value == nullptr, row.data == nullptr,
                      row.data ? Expand(row.data, entry, lib, modulePath) : std::wstring()});
    }
  }
  return rows;
}

HRESULT WriteRow(const ExpandedRow& row) {
  UniqueRegKey key;
  LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, row.key.c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, key.Put(), nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (!row.keyOnly) {
    status = ::RegSetValueExW(key.Get(), row.defaultValue ? nullptr : row.value.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(row.data.c_str()),
                              static_cast<DWORD>((row.data.size() + 1) * sizeof(wchar_t)));
  }
  return HRESULT_FROM_WIN32(status);
}

bool Gone(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

// Removes the row's value, then its key if nothing else is left in it (keys
// that other software filled stay).
HRESULT RemoveRow(const ExpandedRow& row) {
  UniqueRegKey key;
  LSTATUS status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, row.key.c_str(), 0,
                                   KEY_SET_VALUE | KEY_QUERY_VALUE, key.Put());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (!row.keyOnly)
    status = ::RegDeleteValueW(key.Get(), row.defaultValue ? nullptr : row.value.c_str());
  DWORD subkeys = 0, values = 0;
  LSTATUS query = ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                     nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  key.Reset();  // closed before the key itself may go
  if (!Gone(status)) return HRESULT_FROM_WIN32(status);
  if (query == ERROR_SUCCESS && subkeys == 0 && values == 0) {
    status = ::RegDeleteKeyW(HKEY_CLASSES_ROOT, row.key.c_str());
    if (!Gone(status)) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

ComPtr<ITypeLib> LoadOwnTypeLibrary(const std::wstring& modulePath, TypeLibraryFacts& facts) {
  ComPtr<ITypeLib> lib;
  ThrowIfFailed(::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put()));
  TLIBATTR* attr = nullptr;
  ThrowIfFailed(lib->GetLibAttr(&attr));
  facts = {attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind};
  lib->ReleaseTLibAttr(attr);
  return lib;
}

bool TypeLibraryRegistered(const TypeLibraryFacts& lib) {
  std::wstring key = L"TypeLib\\" + GuidText(lib.libid) + L"\\" + std::to_wstring(lib.major) +
                     L"." + std::to_wstring(lib.minor);
  UniqueRegKey handle;
  return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

HRESULT Unregister(const TypeLibraryFacts& lib, const std::wstring& modulePath) {
  HRESULT first = S_OK;
  auto rows = AllRows(lib, modulePath);
  // Every row is tried even after a failure, so that as much as possible goes.
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    HRESULT hr = RemoveRow(*row);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  if (TypeLibraryRegistered(lib)) {
    HRESULT hr = ::UnRegisterTypeLib(lib.libid, lib.major, lib.minor, lib.lcid, lib.syskind);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  return first;
}

}  // namespace

HRESULT RegisterServer() noexcept {
  return Guarded(GUID_NULL, [] {
    std::wstring modulePath = module::Path();
    TypeLibraryFacts facts{};
    ComPtr<ITypeLib> lib = LoadOwnTypeLibrary(modulePath, facts);
    std::wstring libraryPath = modulePath;  // RegisterTypeLib takes a non-const path
    HRESULT hr = ::RegisterTypeLib(lib.Get(), libraryPath.data(), nullptr);
    if (SUCCEEDED(hr)) {
      for (const ExpandedRow& row : AllRows(facts, modulePath)) {
        hr = WriteRow(row);
        if (FAILED(hr)) break;  // the rest would describe a class that cannot be created
      }
    }
    // A half registration is worse than none.
    if (FAILED(hr)) Unregister(facts, modulePath);
    return hr;
  });
}

HRESULT UnregisterServer() noexcept {
  return Guarded(GUID_NULL, [] {
    std::wstring modulePath = module::Path();
    TypeLibraryFacts facts{};
    ComPtr<ITypeLib> lib = LoadOwnTypeLibrary(modulePath, facts);
    return Unregister(facts, modulePath);
  });
}

}  // namespace sd
