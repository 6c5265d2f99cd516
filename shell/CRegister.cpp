#include "shell/CRegister.h"

#include <vector>

#include "common/Handles.h"
#include "common/Text.h"

namespace mf {
namespace {

// The value name as the registry calls take it: null for the default value.
const char* ValueName(const std::string& ansiName) {
  return ansiName == "*" ? nullptr : ansiName.c_str();
}

}  // namespace

std::wstring CRegister::NormalizeKeyPath(const std::wstring& path) {
  std::wstring p = path;
  if (!p.empty() && p.front() == L'\\') p.erase(0, 1);
  if (!p.empty() && p.back() == L'\\') p.pop_back();
  return p;
}

std::wstring CRegister::REGGetSetting(HKEY hive, const std::wstring& section,
                                      const std::wstring& name,
                                      const std::wstring& defaultText) const {
  const std::string path = ToAnsi(NormalizeKeyPath(section));
  UniqueRegKey key;
  LONG r = RegOpenKeyExA(hive, path.c_str(), 0, KEY_ALL_ACCESS, key.put());
  // A key we may read but not write is still read.
  if (r == ERROR_ACCESS_DENIED) r = RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, key.put());
  if (r != ERROR_SUCCESS) return defaultText;

  const std::string ansiName = ToAnsi(name);
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), ValueName(ansiName), nullptr, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0)
    return defaultText;
  std::vector<char> buf(size);
  if (RegQueryValueExA(key.get(), ValueName(ansiName), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS)
    return defaultText;
  // The stored string without its terminating NUL. A value written without
  // one keeps its last character.
  std::string_view text(buf.data(), std::min<size_t>(size, buf.size()));
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  return FromAnsi(text);
}

bool CRegister::REGSaveSetting(HKEY hive, const std::wstring& section, const std::wstring& name,
                               const std::wstring& text) const {
  UniqueRegKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(hive, ToAnsi(NormalizeKeyPath(section)).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                      &disposition) != ERROR_SUCCESS)
    return false;
  const std::string ansiName = ToAnsi(name);
  const std::string data = ToAnsi(text);
  return RegSetValueExA(key.get(), ValueName(ansiName), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool CRegister::REGDeleteSetting(HKEY hive, const std::wstring& section,
                                 const std::wstring& name) const {
  if (name.empty()) return RegDeleteKeyA(hive, ToAnsi(section).c_str()) == ERROR_SUCCESS;
  UniqueRegKey key;
  if (RegOpenKeyExA(hive, ToAnsi(NormalizeKeyPath(section)).c_str(), 0, KEY_ALL_ACCESS,
                    key.put()) != ERROR_SUCCESS)
    return false;
  const std::string ansiName = ToAnsi(name);
  return RegDeleteValueA(key.get(), ValueName(ansiName)) == ERROR_SUCCESS;
}

}  // namespace mf
