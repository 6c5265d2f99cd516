// Loading, saving and showing the settings; choosing the download folder.
#include "shell/Settings.h"

#include <algorithm>
#include <cwctype>
#include <cwchar>
#include <string_view>

#include "common/Platform.h"
#include "common/Text.h"
#include "shell/CRegister.h"

namespace mf {

std::optional<bool> TextToBoolean(const std::wstring& text) {
  const std::wstring t = LowerCase(TrimSpaces(text));
  if (t == L"true") return true;
  if (t == L"false") return false;
  // Plain decimal numbers only (no "inf", "nan" or hexadecimal forms).
  if (t.empty() || t.find_first_not_of(L"0123456789+-.e") != std::wstring::npos)
    return std::nullopt;
  wchar_t* end = nullptr;
  double number = std::wcstod(t.c_str(), &end);
  if (end != t.c_str() + t.size()) return std::nullopt;
  return number != 0.0;
}

bool IsDownloadFolderPath(const std::wstring& path) {
  const auto bad = [](wchar_t c) {
    return c < 0x20 || std::wstring_view(L"*?\"<>|").find(c) != std::wstring_view::npos;
  };
  if (path.empty() || std::any_of(path.begin(), path.end(), bad)) return false;
  const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  const bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && slash(path[2]);
  // "\\server\share", never the "\\?\" and "\\.\" device spaces.
  const bool share = path.size() >= 5 && slash(path[0]) && slash(path[1]) && path[2] != L'?' &&
                     path[2] != L'.' && !slash(path[2]) &&
                     path.find_first_of(L"\\/", 2) != std::wstring::npos &&
                     path.find_first_of(L"\\/", 2) + 1 < path.size();
  // A colon past the drive names a stream of a file.
  return (drive || share) && path.find(L':', drive ? 2 : 0) == std::wstring::npos;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title) {
  constexpr UINT kFileSystemFoldersNewStyle = 0x41;  // BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE
  try {
    return Platform().PickFolder(owner, title, kFileSystemFoldersNewStyle);
  } catch (...) {
    return {};
  }
}

// Each step that fails is skipped and the next one runs.
void Settings::LoadSettings() {
  CRegister reg;
  if (auto on =
          TextToBoolean(reg.REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, L"true")))
    monitor_.MonitorOn = *on;
  StoredMonitorOn = monitor_.MonitorOn;
  if (monitor_.MonitorOn) monitor_.Monitor(true);
  DownloadFolder =
      reg.REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kFolderValue, kDefaultDownloadFolder);
  ShowSettingsInMovie();
  if (IsDownloadFolderPath(DownloadFolder)) return;
  // Told once, under the list; the stored value stays until the user saves another.
  host_.SetFlashVariable(L"_root.notice", L"The download folder in the settings, \"" +
                                              DownloadFolder +
                                              L"\", is not a full path to a folder, so videos go "
                                              L"to \"" +
                                              kDefaultDownloadFolder + L"\".");
  DownloadFolder = kDefaultDownloadFolder;
  host_.SetFlashVariable(L"_root.download_dir", DownloadFolder);
}

void Settings::SaveSettings() {
  CRegister reg;
  // The results are not looked at: a failed write leaves the values in memory as set.
  reg.REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue,
                     StoredMonitorOn ? L"True" : L"False");
  reg.REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kFolderValue, DownloadFolder);
}

void Settings::ShowSettingsInMovie() {
  host_.SetFlashVariable(L"_root.autoToDownloadList_CB", monitor_.MonitorOn ? L"1" : L"0");
  host_.SetFlashVariable(L"_root.Download_CB", L"1");
  host_.SetFlashVariable(L"_root.Convert_CB", L"1");
  host_.SetFlashVariable(L"_root.download_dir", DownloadFolder);
}

void Settings::cmdBrowse_Click() {
  std::wstring path = BrowseForFolder(
      host_.OwnerWindow(), L"Please select the desired Download directory then press Ok.");
  if (path.empty()) return;
  host_.SetFlashVariable(L"_root.download_dir", path);
  DownloadFolder = path;
}

}  // namespace mf
