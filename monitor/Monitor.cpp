// The program's side of the clipboard watcher: whether it runs, and each
// address it hands over.
#include "monitor/ClipboardMonitor.h"

namespace mf {

// No launch failure is looked at: the flag follows the wish.
void ClipboardMonitor::Monitor(bool on) {
  host_.LaunchWatcher(on);
  MonitorOn = on;
}

void ClipboardMonitor::txtMonitor_Change(const std::wstring& address) {
  if (address.empty()) return;
  // Also true for an address already in the list: the user hears of it again.
  const bool added = host_.AddURLToList(address);
  host_.AddressTaken(address, added);
  if (!host_.IsDownloading()) host_.StartDownloadSoon();
}

}  // namespace mf
