// Loading, saving and showing the settings; choosing the download folder.
#include "shell/Settings.h"

#include <cwchar>

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
  if (auto on = TextToBoolean(reg.REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue,
                                                L"true")))
    monitor_.MonitorOn = *on;
  StoredMonitorOn = monitor_.MonitorOn;
  if (monitor_.MonitorOn) monitor_.Monitor(true);
  DownloadFolder =
      reg.REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, kFolderValue, kDefaultDownloadFolder);
  ShowSettingsInMovie();
}

void Settings::SaveSettings() {
  CRegister reg;
  // The results are not looked at: a failed write leaves the values in memory as set.
  reg.REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kMonitorValue, StoredMonitorOn ? L"True" : L"False");
  reg.REGSaveSetting(HKEY_CURRENT_USER, kSettingsKey, kFolderValue, DownloadFolder);
}

void Settings::ShowSettingsInMovie() {
  host_.SetFlashVariable(L"_root.autoToDownloadList_CB", monitor_.MonitorOn ? L"1" : L"0");
  host_.SetFlashVariable(L"_root.Download_CB", L"1");
  host_.SetFlashVariable(L"_root.Convert_CB", L"1");
  host_.SetFlashVariable(L"_root.download_dir", DownloadFolder);
}

void Settings::cmdBrowse_Click() {
  std::wstring path =
      BrowseForFolder(host_.OwnerWindow(), L"Please select the desired Download directory then press Ok.");
  if (path.empty()) return;
  host_.SetFlashVariable(L"_root.download_dir", path);
  DownloadFolder = path;
}

}  // namespace mf
