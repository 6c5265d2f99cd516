#include "common/AppPath.h"

#include <windows.h>

#include "common/Text.h"

namespace mf {

std::wstring ProgramFolder() {
  char buf[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::wstring path = FromAnsi(std::string_view(buf, n));
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool FileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesA(ToAnsi(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD a = GetFileAttributesA(ToAnsi(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileForced(const std::wstring& path) {
  std::string p = ToAnsi(path);
  DWORD a = GetFileAttributesA(p.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return true;
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(p.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileA(p.c_str()) != FALSE;
}

}  // namespace mf
