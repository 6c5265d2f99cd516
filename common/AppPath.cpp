#include "common/AppPath.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace mf {

std::wstring ProgramFolder() {
  // The program may be installed under a folder of any name and length.
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring UserDataFolder() {
  // Local, not roaming: the list names partial files on this computer's
  // disks, and it is written often, which a roaming profile would copy around.
  PWSTR folder = nullptr;
  std::wstring path;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder)) &&
      folder)
    path = std::wstring(folder) + L"\\Tallowmere Marrowfin";
  CoTaskMemFree(folder);
  return path;
}

bool FileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileForced(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return true;
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace mf
