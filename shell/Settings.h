#pragma once
// The two settings kept between runs, and the folder picker.
#include <windows.h>

#include <optional>
#include <string>

#include "monitor/ClipboardMonitor.h"

namespace mf {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Tallowmere Marrowfin\\Settings";
inline constexpr wchar_t kMonitorValue[] = L"URL Mon";
inline constexpr wchar_t kFolderValue[] = L"Download Dir";
inline constexpr wchar_t kDefaultDownloadFolder[] = L"C:\\Downloaded Videos";

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

class ISettingsHost {
 public:
  virtual ~ISettingsHost() = default;
  virtual HWND OwnerWindow() = 0;
  virtual void SetFlashVariable(const std::wstring& name, const std::wstring& value) = 0;
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

  void LoadSettings();
  void SaveSettings();
  void ShowSettingsInMovie();
  void cmdBrowse_Click();

 private:
  ClipboardMonitor& monitor_;
  ISettingsHost& host_;
};

}  // namespace mf
