#pragma once
// The clipboard monitor: starts and stops the clipboard watcher "Clip.exe",
// takes in each address it writes into the window's hidden box, and the
// second way, a poll of the clipboard behind a hidden check box. It creates
// no window; it reaches the window through IMonitorHost.
#include <windows.h>

#include <string>

namespace mf {

class IMonitorHost {
 public:
  virtual ~IMonitorHost() = default;
  virtual HWND OwnerWindow() = 0;
  // The hidden box the watcher writes each address into (txtMonitor).
  virtual HWND MonitorBox() = 0;
  // Switches the polling timer; the check box shows the new state.
  virtual void SetPolling(bool on) = 0;
  virtual bool IsPolling() = 0;
  virtual bool AddURLToList(const std::wstring& address) = 0;
  virtual void SetFlashVariable(const std::wstring& name, const std::wstring& value) = 0;
  // "Video Link Added : ..." on the tray icon.
  virtual void ShowBalloon(const std::wstring& text) = 0;
  virtual bool IsDownloading() = 0;
  // The start/stop toggle, about 200 ms from now (the start timer) or at once.
  virtual void StartDownloadSoon() = 0;
  virtual void StartDownloadNow() = 0;
};

class ClipboardMonitor {
 public:
  explicit ClipboardMonitor(IMonitorHost& host) : host_(host) {}
  ClipboardMonitor(const ClipboardMonitor&) = delete;
  ClipboardMonitor& operator=(const ClipboardMonitor&) = delete;

  bool MonitorOn = false;  // clipboard monitoring wanted
  // Starts (true) or stops the clipboard watcher program; sets MonitorOn.
  void Monitor(bool on);
  // The watcher wrote an address into the hidden box.
  void txtMonitor_Change();
  // The polling way behind the hidden check box.
  void chkMonitor_Click();
  void CallMonTimer();
  std::wstring LastClipboardText;  // what the previous poll found

 private:
  IMonitorHost& host_;
};

}  // namespace mf
