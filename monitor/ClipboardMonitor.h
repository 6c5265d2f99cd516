#pragma once
// The clipboard monitor: whether the clipboard is watched, the addresses the
// watcher "Clip.exe" hands over, and the second way, a poll of the clipboard
// every two seconds. It knows no window: the program starts the watcher and
// shows what the monitor took.
#include <string>

namespace mf {

class IMonitorEvents {
 public:
  virtual ~IMonitorEvents() = default;
  // Starts (true) or stops the clipboard watcher program.
  virtual void LaunchWatcher(bool on) = 0;
  // Switches the two-second poll.
  virtual void SetPolling(bool on) = 0;
  virtual bool IsPolling() = 0;
  virtual bool AddURLToList(const std::wstring& address) = 0;
  // An address was taken from the clipboard; `announce` when it came from
  // the watcher and went into the list (the user hears of it).
  virtual void AddressTaken(const std::wstring& address, bool announce) = 0;
  virtual bool IsDownloading() = 0;
  // The start/stop toggle, about 200 ms from now (the start timer) or at once.
  virtual void StartDownloadSoon() = 0;
  virtual void StartDownloadNow() = 0;
};

class ClipboardMonitor {
 public:
  explicit ClipboardMonitor(IMonitorEvents& host) : host_(host) {}
  ClipboardMonitor(const ClipboardMonitor&) = delete;
  ClipboardMonitor& operator=(const ClipboardMonitor&) = delete;

  bool MonitorOn = false;  // clipboard monitoring wanted
  // Starts (true) or stops the clipboard watcher program; sets MonitorOn.
  void Monitor(bool on);
  // The watcher handed over this text (what it wrote into the hidden box).
  void txtMonitor_Change(const std::wstring& address);
  // The polling way behind the hidden check box.
  void chkMonitor_Click();
  void CallMonTimer();
  std::wstring LastClipboardText;  // what the previous poll found

 private:
  IMonitorEvents& host_;
};

}  // namespace mf
