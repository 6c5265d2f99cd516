// The program's side of the clipboard watcher: starting and stopping
// "Clip.exe", and taking in each address it writes into txtMonitor.
#include "monitor/ClipboardMonitor.h"

#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/WindowText.h"

namespace mf {

// The watcher gets txtMonitor's handle as a decimal number, or "Exit". No
// process handle is kept and no launch failure is looked at: the flag
// follows the wish.
void ClipboardMonitor::Monitor(bool on) {
  const std::wstring parameter =
      on ? std::to_wstring(reinterpret_cast<UINT_PTR>(host_.MonitorBox())) : std::wstring(L"Exit");
  Platform().ShellOpen(host_.OwnerWindow(), L"open", ProgramFolder() + L"\\Clip.exe", parameter, L"",
                       SW_SHOWNORMAL);
  MonitorOn = on;
}

// Runs for every change of the box, the program's own emptying included.
void ClipboardMonitor::txtMonitor_Change() {
  const std::wstring address = GetText(host_.MonitorBox());
  if (address.empty()) return;
  // Also true for an address already in the list: the balloon shows it again.
  if (host_.AddURLToList(address)) host_.ShowBalloon(L"Video Link Added : " + address);
  host_.SetFlashVariable(L"_root.video_url", address);
  if (!host_.IsDownloading()) host_.StartDownloadSoon();
  SetText(host_.MonitorBox(), L"");
}

}  // namespace mf
