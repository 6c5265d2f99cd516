#pragma once
// The two settings kept between runs, and the folder picker.
#include <windows.h>

#include <optional>
#include <string>

namespace mf {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Tallowmere Marrowfin\\Settings";
inline constexpr wchar_t kMonitorValue[] = L"URL Mon";
inline constexpr wchar_t kFolderValue[] = L"Download Dir";
inline constexpr wchar_t kDefaultDownloadFolder[] = L"C:\\Downloaded Videos";

// The usual text-to-boolean rule: "true" or "false" in any letter case, or a
// number where zero is false. Nothing for any other text.
std::optional<bool> TextToBoolean(const std::wstring& text);

// The shell's folder picker rooted at the desktop (file-system folders only,
// new dialog style): the chosen folder, or empty text when cancelled or failed.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title);

}  // namespace mf
