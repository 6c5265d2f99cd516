#pragma once
// All registry access of the program goes through this class. It has no
// state; every operation names the hive, the key path ("section") and the
// value, where "*" stands for the key's unnamed default value.
#include <windows.h>

#include <optional>
#include <string>

namespace mf {

class CRegister {
 public:
  // The stored text, or `defaultText` when the key or value is missing or empty.
  std::wstring REGGetSetting(HKEY hive, const std::wstring& section, const std::wstring& name,
                             const std::wstring& defaultText) const;
  // True when the value was written (the key is created when missing).
  bool REGSaveSetting(HKEY hive, const std::wstring& section, const std::wstring& name,
                      const std::wstring& text) const;
  // The stored REG_DWORD; nothing when the key or value is missing or of another type.
  std::optional<DWORD> REGGetNumber(HKEY hive, const std::wstring& section,
                                    const std::wstring& name) const;
  // True when the value was written as a REG_DWORD (the key is created when missing).
  bool REGSaveNumber(HKEY hive, const std::wstring& section, const std::wstring& name,
                     DWORD number) const;
  // With a name: deletes that value. With an empty name: deletes the subkey
  // named by `section`, taken unchanged. True on success.
  bool REGDeleteSetting(HKEY hive, const std::wstring& section, const std::wstring& name) const;

 private:
  static std::wstring NormalizeKeyPath(const std::wstring& path);
};

}  // namespace mf
