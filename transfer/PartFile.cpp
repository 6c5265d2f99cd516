#include "transfer/PartFile.h"

#include <windows.h>

#include "common/AppPath.h"
#include "common/Handles.h"
#include "common/TextCodec.h"
#include "transfer/PieceJournal.h"

namespace mf {
namespace {

// Creates the partial file, or opens it when it is this item's own.
bool Reserve(const std::wstring& part, bool own) {
  UniqueFile file(CreateFileW(part.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              own ? OPEN_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && GetFileType(file.get()) == FILE_TYPE_DISK;
}

std::wstring PathIn(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder;
  return path.append(L"\\").append(name);
}

}  // namespace

std::wstring NumberedName(const std::wstring& name, int n) {
  if (n < 2) return name;
  const size_t dot = name.rfind(L'.');
  const std::wstring suffix = L" (" + std::to_wstring(n) + L")";
  if (dot == std::wstring::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

std::wstring ClaimFileName(const std::wstring& folder, const std::wstring& name,
                           const std::wstring& ownPart) {
  for (int n = 1; n <= kMaxNameNumber; ++n) {
    std::wstring candidate = NumberedName(name, n);
    const std::wstring path = PathIn(folder, candidate);
    if (FileExists(path) || FolderExists(path)) continue;
    const std::wstring part = path + kPartSuffix;
    if (Reserve(part, part == ownPart)) return candidate;
  }
  return {};
}

bool EmptyPartFile(const std::wstring& path) {
  // Its blocks go with its bytes.
  PieceJournal::Remove(path);
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

std::wstring MoveIntoPlace(const std::wstring& partFile, const std::wstring& folder,
                           const std::wstring& name) {
  for (int n = 1; n <= kMaxNameNumber; ++n) {
    std::wstring target = NumberedName(name, n);
    // Without MOVEFILE_REPLACE_EXISTING: a file that appeared meanwhile stays.
    if (MoveFileExW(partFile.c_str(), PathIn(folder, target).c_str(), 0)) return target;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return {};
  }
  return {};
}

void MarkFromInternet(const std::wstring& path, const std::wstring& fileAddress,
                      const std::wstring& pageAddress) {
  const std::string text = "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=" + ToUtf8(pageAddress) +
                           "\r\nHostUrl=" + ToUtf8(fileAddress) + "\r\n";
  UniqueFile stream(CreateFileW((path + L":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (stream)
    WriteFile(stream.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace mf
