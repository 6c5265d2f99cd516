#include "shell/CRegister.h"

#include <vector>

#include "common/Handles.h"

namespace mf {
namespace {

// The value name as the registry calls take it: null for the default value.
const wchar_t* ValueName(const std::wstring& name) { return name == L"*" ? nullptr : name.c_str(); }

}  // namespace

std::wstring CRegister::NormalizeKeyPath(const std::wstring& path) {
  std::wstring p = path;
  if (!p.empty() && p.front() == L'\\') p.erase(0, 1);
  if (!p.empty() && p.back() == L'\\') p.pop_back();
  return p;
}

// Through the wide entry points: a folder of any name is stored and read back
// as it is. Sizes are in bytes; the text is counted in characters.
std::wstring CRegister::REGGetSetting(HKEY hive, const std::wstring& section,
                                      const std::wstring& name,
                                      const std::wstring& defaultText) const {
  const std::wstring path = NormalizeKeyPath(section);
  UniqueRegKey key;
  LONG r = RegOpenKeyExW(hive, path.c_str(), 0, KEY_ALL_ACCESS, key.put());
  // A key we may read but not write is still read.
  if (r == ERROR_ACCESS_DENIED) r = RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, key.put());
  if (r != ERROR_SUCCESS) return defaultText;

  DWORD size = 0;
  if (RegQueryValueExW(key.get(), ValueName(name), nullptr, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0)
    return defaultText;
  std::vector<wchar_t> buf((size + 1) / sizeof(wchar_t));
  DWORD bytes = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), ValueName(name), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buf.data()), &bytes) != ERROR_SUCCESS)
    return defaultText;
  // The stored string without its terminating NUL. A value written without
  // one keeps its last character; half of a character is not one.
  std::wstring_view text(buf.data(), std::min<size_t>(bytes / sizeof(wchar_t), buf.size()));
  size_t nul = text.find(L'\0');
  if (nul != std::wstring_view::npos) text = text.substr(0, nul);
  return std::wstring(text);
}

bool CRegister::REGSaveSetting(HKEY hive, const std::wstring& section, const std::wstring& name,
                               const std::wstring& text) const {
  UniqueRegKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExW(hive, NormalizeKeyPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), &disposition) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.get(), ValueName(name), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::optional<DWORD> CRegister::REGGetNumber(HKEY hive, const std::wstring& section,
                                             const std::wstring& name) const {
  UniqueRegKey key;
  if (RegOpenKeyExW(hive, NormalizeKeyPath(section).c_str(), 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, number = 0, size = sizeof number;
  // A value of another type or size is not read as a number.
  if (RegQueryValueExW(key.get(), ValueName(name), nullptr, &type, reinterpret_cast<BYTE*>(&number),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof number)
    return std::nullopt;
  return number;
}

bool CRegister::REGSaveNumber(HKEY hive, const std::wstring& section, const std::wstring& name,
                              DWORD number) const {
  UniqueRegKey key;
  if (RegCreateKeyExW(hive, NormalizeKeyPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.get(), ValueName(name), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
}

bool CRegister::REGDeleteSetting(HKEY hive, const std::wstring& section,
                                 const std::wstring& name) const {
  if (name.empty()) return RegDeleteKeyW(hive, section.c_str()) == ERROR_SUCCESS;
  UniqueRegKey key;
  if (RegOpenKeyExW(hive, NormalizeKeyPath(section).c_str(), 0, KEY_ALL_ACCESS, key.put()) !=
      ERROR_SUCCESS)
    return false;
  return RegDeleteValueW(key.get(), ValueName(name)) == ERROR_SUCCESS;
}

}  // namespace mf
