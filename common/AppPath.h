#pragma once
#include <string>

namespace mf {

// Folder that holds the running executable, without a trailing backslash.
std::wstring ProgramFolder();

// "<the user's local application data>\Tallowmere Marrowfin", where the
// program keeps what it writes (never beside itself: an installed copy may
// not write there). Empty when the system does not say where that is; the
// folder itself is not created.
std::wstring UserDataFolder();

// True when a file (not a folder) exists at the path.
bool FileExists(const std::wstring& path);
// True when a folder exists at the path.
bool FolderExists(const std::wstring& path);
// Deletes a file, also when it is read-only. True when it is gone afterwards.
bool DeleteFileForced(const std::wstring& path);

}  // namespace mf
