// Loading, saving and showing the settings; choosing the download folder.
#include "shell/Settings.h"

#include <algorithm>
#include <array>
#include <string>
#include <cwctype>
#include <cwchar>
#include <string_view>

#include "common/Platform.h"
#include "common/Text.h"
#include "shell/CRegister.h"

namespace mf {
namespace {

// The speeds the movie steps through, in KB/s; a stored speed between two
// of them steps to the nearer one in the direction asked.
constexpr std::array<int, 12> kSpeedSteps = {0,    64,   128,   256,   512,   1024,
                                             2048, 5120, 10240, 20480, 51200, 102400};
constexpr int kWindowStep = 30;  // minutes

int NextSpeed(int speed, int direction) {
  if (direction > 0) {
    auto up = std::upper_bound(kSpeedSteps.begin(), kSpeedSteps.end(), speed);
    return up == kSpeedSteps.end() ? speed : *up;
  }
  auto down = std::lower_bound(kSpeedSteps.begin(), kSpeedSteps.end(), speed);
  return down == kSpeedSteps.begin() ? speed : *(down - 1);
}

// Onto the next half hour in the direction asked, round the clock.
int NextTime(int minute, int direction) {
  int next = direction > 0 ? (minute / kWindowStep + 1) * kWindowStep
                           : ((minute + kWindowStep - 1) / kWindowStep - 1) * kWindowStep;
  return (next + kMinutesPerDay) % kMinutesPerDay;
}

// A stored number within [low, high]; the default when missing or not a REG_DWORD.
int StoredNumber(const wchar_t* name, int low, int high, int fallback) {
  std::optional<DWORD> n = CRegister().REGGetNumber(HKEY_CURRENT_USER, kSettingsKey, name);
  if (!n) return fallback;
  return static_cast<int>(std::clamp<DWORD>(*n, static_cast<DWORD>(low), static_cast<DWORD>(high)));
}

}  // namespace

std::wstring SpeedInWords(int kilobytesPerSecond) {
  if (kilobytesPerSecond < 1024) return std::to_wstring(kilobytesPerSecond) + L" KB/s";
  const int tenths = (kilobytesPerSecond * 10 + 512) / 1024;
  std::wstring text = std::to_wstring(tenths / 10);
  if (tenths % 10) text += L"." + std::to_wstring(tenths % 10);
  return text + L" MB/s";
}

std::wstring TimeOfDayText(int minute) {
  const auto twoDigits = [](int n) {
    return std::wstring{static_cast<wchar_t>(L'0' + n / 10), static_cast<wchar_t>(L'0' + n % 10)};
  };
  return twoDigits(minute / 60 % 24) + L":" + twoDigits(minute % 60);
}

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
  LoadLimits();
  ShowSettingsInMovie();
  host_.LimitsChanged();
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
  SaveLimits();
}

void Settings::ShowSettingsInMovie() {
  host_.SetFlashVariable(L"_root.autoToDownloadList_CB", monitor_.MonitorOn ? L"1" : L"0");
  host_.SetFlashVariable(L"_root.Download_CB", L"1");
  host_.SetFlashVariable(L"_root.Convert_CB", L"1");
  host_.SetFlashVariable(L"_root.download_dir", DownloadFolder);
  ShowLimitsInMovie();
}

void Settings::cmdBrowse_Click() {
  std::wstring path = BrowseForFolder(
      host_.OwnerWindow(), L"Please select the desired Download directory then press Ok.");
  if (path.empty()) return;
  host_.SetFlashVariable(L"_root.download_dir", path);
  DownloadFolder = path;
}

// Stored values are the user's to edit: each is held to its range, and one
// of another type counts as missing.
void Settings::LoadLimits() {
  SimultaneousDownloads = StoredNumber(kSimultaneousValue, 1, kMaxSimultaneous, 3);
  ConnectionsPerDownload = StoredNumber(kConnectionsValue, 1, kMaxConnections, 8);
  VideoQuality =
      StoredNumber(kVideoQualityValue, 0, static_cast<int>(std::size(kVideoQualityNames)) - 1, 0);
  SpeedLimit = StoredNumber(kSpeedLimitValue, 0, kMaxSpeedLimit, 0);
  LimitSpeed = StoredNumber(kLimitSpeedValue, 0, 1, 0) != 0 && SpeedLimit > 0;
  UseTimeWindow = StoredNumber(kTimeWindowValue, 0, 1, 0) != 0;
  Window.from = StoredNumber(kWindowFromValue, 0, kMinutesPerDay - 1, 60);
  Window.to = StoredNumber(kWindowToValue, 0, kMinutesPerDay - 1, 7 * 60);
}

void Settings::SaveLimits() const {
  CRegister reg;
  const auto save = [&](const wchar_t* name, int number) {
    reg.REGSaveNumber(HKEY_CURRENT_USER, kSettingsKey, name, static_cast<DWORD>(number));
  };
  save(kSimultaneousValue, SimultaneousDownloads);
  save(kConnectionsValue, ConnectionsPerDownload);
  save(kVideoQualityValue, VideoQuality);
  save(kSpeedLimitValue, SpeedLimit);
  save(kLimitSpeedValue, LimitSpeed ? 1 : 0);
  save(kTimeWindowValue, UseTimeWindow ? 1 : 0);
  save(kWindowFromValue, Window.from);
  save(kWindowToValue, Window.to);
}

void Settings::ShowLimitsInMovie() {
  host_.SetFlashVariable(L"_root.simultaneous", std::to_wstring(SimultaneousDownloads));
  host_.SetFlashVariable(L"_root.connections", std::to_wstring(ConnectionsPerDownload));
  host_.SetFlashVariable(L"_root.videoQuality", kVideoQualityNames[VideoQuality]);
  host_.SetFlashVariable(L"_root.speedLimitKB", std::to_wstring(SpeedLimit));
  host_.SetFlashVariable(L"_root.speedLimit",
                         SpeedLimit ? SpeedInWords(SpeedLimit) : std::wstring(L"No limit"));
  host_.SetFlashVariable(L"_root.limitSpeed_CB", LimitSpeed ? L"1" : L"0");
  host_.SetFlashVariable(L"_root.timeWindow_CB", UseTimeWindow ? L"1" : L"0");
  host_.SetFlashVariable(L"_root.windowFrom", TimeOfDayText(Window.from));
  host_.SetFlashVariable(L"_root.windowTo", TimeOfDayText(Window.to));
}

// Only the limits are written: the folder and monitoring stay as stored.
void Settings::LimitsEdited() {
  SaveLimits();
  ShowLimitsInMovie();
  host_.LimitsChanged();
}

void Settings::StepValue(Step which, int direction) {
  const int by = direction > 0 ? 1 : -1;
  switch (which) {
    case Step::Simultaneous:
      SimultaneousDownloads = std::clamp(SimultaneousDownloads + by, 1, kMaxSimultaneous);
      break;
    case Step::Connections:
      ConnectionsPerDownload = std::clamp(ConnectionsPerDownload + by, 1, kMaxConnections);
      break;
    case Step::SpeedLimit:
      SpeedLimit = NextSpeed(SpeedLimit, by);
      LimitSpeed = LimitSpeed && SpeedLimit > 0;
      break;
    case Step::WindowFrom:
      Window.from = NextTime(Window.from, by);
      break;
    case Step::WindowTo:
      Window.to = NextTime(Window.to, by);
      break;
    case Step::VideoQuality:
      // Up is better: towards "Best", the first.
      VideoQuality =
          std::clamp(VideoQuality - by, 0, static_cast<int>(std::size(kVideoQualityNames)) - 1);
      break;
  }
  LimitsEdited();
}

// Without a speed there is nothing to switch on.
void Settings::SetLimitSpeed(bool on) {
  LimitSpeed = on && SpeedLimit > 0;
  LimitsEdited();
}

void Settings::SetUseTimeWindow(bool on) {
  UseTimeWindow = on;
  LimitsEdited();
}

}  // namespace mf
