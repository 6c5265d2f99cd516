#pragma once
// The settings kept between runs, and the folder picker.
#include <windows.h>

#include <optional>
#include <string>

#include "common/TimeWindow.h"
#include "monitor/ClipboardMonitor.h"

namespace mf {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Tallowmere Marrowfin\\Settings";
inline constexpr wchar_t kMonitorValue[] = L"URL Mon";
inline constexpr wchar_t kFolderValue[] = L"Download Dir";
inline constexpr wchar_t kDefaultDownloadFolder[] = L"C:\\Downloaded Videos";
// The limits of a run, stored as REG_DWORD values beside the two above.
inline constexpr wchar_t kSimultaneousValue[] = L"Simultaneous downloads";
inline constexpr wchar_t kConnectionsValue[] = L"Connections per download";
inline constexpr wchar_t kSpeedLimitValue[] = L"Speed limit";  // KB/s, 0 for none
inline constexpr wchar_t kLimitSpeedValue[] = L"Limit speed";
inline constexpr wchar_t kTimeWindowValue[] = L"Time window";
inline constexpr wchar_t kWindowFromValue[] = L"Window from";  // minutes after midnight
inline constexpr wchar_t kWindowToValue[] = L"Window to";
// The version of a stream saved, 0 to 4: the order of kVideoQualityNames.
inline constexpr wchar_t kVideoQualityValue[] = L"Video quality";
inline constexpr const wchar_t* kVideoQualityNames[] = {L"Best", L"Up to 1080p", L"Up to 720p",
                                                        L"Up to 480p", L"Smallest"};
inline constexpr int kMaxSimultaneous = 8;
inline constexpr int kMaxConnections = 16;
inline constexpr int kMaxSpeedLimit = 1024 * 1024;  // KB/s

// The usual text-to-boolean rule: "true" or "false" in any letter case, or a
// number where zero is false. Nothing for any other text.
std::optional<bool> TextToBoolean(const std::wstring& text);

// Whether a stored download folder may be used: an absolute path on a drive
// ("C:\...") or on a network share ("\\server\share..."), of characters a
// path may hold. Anything else (empty, relative, a device or a stream) would
// write where the user never chose.
bool IsDownloadFolderPath(const std::wstring& path);

// The shell's folder picker rooted at the desktop (file-system folders only,
// new dialog style): the chosen folder, or empty text when cancelled or failed.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title);

// "500 KB/s", "2 MB/s", "1.5 MB/s": a speed limit as the user reads it.
std::wstring SpeedInWords(int kilobytesPerSecond);
// "07:30" for 450 minutes after midnight.
std::wstring TimeOfDayText(int minute);

class ISettingsHost {
 public:
  virtual ~ISettingsHost() = default;
  virtual HWND OwnerWindow() = 0;
  virtual void SetFlashVariable(const std::wstring& name, const std::wstring& value) = 0;
  // The limits of a run were loaded or changed: the run is to follow them.
  virtual void LimitsChanged() = 0;
};

// The settings in memory, loaded once at start-up and saved when the user
// changes them in the movie. Monitoring wanted is the clipboard monitor's
// MonitorOn; the download folder is held here.
class Settings {
 public:
  Settings(ClipboardMonitor& monitor, ISettingsHost& host) : monitor_(monitor), host_(host) {}
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  std::wstring DownloadFolder;  // where videos go
  // Monitoring as stored: the tray menu switches it for the run only, so a
  // later save of the folder must not store the tray's choice.
  bool StoredMonitorOn = false;

  // The limits of a run. The speed limit and the time window are kept while
  // switched off, so that switching on again brings them back.
  int SimultaneousDownloads = 3;   // 1 to kMaxSimultaneous
  int ConnectionsPerDownload = 8;  // 1 to kMaxConnections
  int VideoQuality = 0;            // an index of kVideoQualityNames
  int SpeedLimit = 0;              // KB/s; 0 when none is set
  bool LimitSpeed = false;
  bool UseTimeWindow = false;
  TimeWindow Window{60, 7 * 60};

  // The speed a run may use in KB/s; 0 for no limit.
  int SpeedLimitInForce() const { return LimitSpeed ? SpeedLimit : 0; }

  void LoadSettings();
  void SaveSettings();
  void ShowSettingsInMovie();
  void cmdBrowse_Click();

  // The values the user steps in the movie, one step up (+1) or down (-1).
  enum class Step { Simultaneous, Connections, SpeedLimit, WindowFrom, WindowTo, VideoQuality };
  void StepValue(Step which, int direction);
  void SetLimitSpeed(bool on);
  void SetUseTimeWindow(bool on);

 private:
  void LoadLimits();
  void SaveLimits() const;
  void ShowLimitsInMovie();
  // Each change is kept at once, shown, and handed to the run.
  void LimitsEdited();

  ClipboardMonitor& monitor_;
  ISettingsHost& host_;
};

}  // namespace mf
