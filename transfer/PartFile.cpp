#include "transfer/PartFile.h"

#include <windows.h>

#include "common/AppPath.h"

namespace mf {
namespace {

// "name (n).ext"; a name without extension (or only one starting with a dot)
// gets the number at its end.
std::wstring Numbered(const std::wstring& name, int n) {
  const size_t dot = name.rfind(L'.');
  const std::wstring suffix = L" (" + std::to_wstring(n) + L")";
  if (dot == std::wstring::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

bool Taken(const std::wstring& folder, const std::wstring& name, const std::wstring& ownPart) {
  const std::wstring path = folder + L"\\" + name;
  if (FileExists(path) || FolderExists(path)) return true;
  const std::wstring part = path + kPartSuffix;
  return FileExists(part) && part != ownPart;
}

}  // namespace

std::wstring FreeFileName(const std::wstring& folder, const std::wstring& name,
                          const std::wstring& ownPart) {
  if (!Taken(folder, name, ownPart)) return name;
  for (int n = 2;; ++n) {
    std::wstring candidate = Numbered(name, n);
    if (!Taken(folder, candidate, ownPart)) return candidate;
  }
}

std::wstring MoveIntoPlace(const std::wstring& partFile, const std::wstring& folder,
                           const std::wstring& name) {
  std::wstring target = name;
  for (int n = 2; n < 10000; ++n) {
    // Without MOVEFILE_REPLACE_EXISTING: a file that appeared meanwhile stays.
    if (MoveFileExW(partFile.c_str(), (folder + L"\\" + target).c_str(), 0))
      return target;
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return {};
    target = Numbered(name, n);
  }
  return {};
}

}  // namespace mf
