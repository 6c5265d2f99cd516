// The program's side of the clipboard watcher: starting and stopping
// "Clip.exe", and taking in each address it writes into txtMonitor.
#include <windows.h>

#include <string>

#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/WindowText.h"
#include "shell/frmMain.h"

namespace mf {

// The watcher gets txtMonitor's handle as a decimal number, or "Exit". No
// process handle is kept and no launch failure is looked at: the flag
// follows the wish.
void frmMain::Monitor(bool on) {
  const std::wstring parameter =
      on ? std::to_wstring(reinterpret_cast<UINT_PTR>(txtMonitor)) : std::wstring(L"Exit");
  Platform().ShellOpen(Hwnd(), L"open", ProgramFolder() + L"\\Clip.exe", parameter, L"",
                       SW_SHOWNORMAL);
  MonitorOn = on;
}

// Runs for every change of the box, the program's own emptying included.
void frmMain::txtMonitor_Change() {
  const std::wstring address = GetText(txtMonitor);
  if (address.empty()) return;
  // Also true for an address already in the list: the balloon shows it again.
  if (AddURLToList(address))
    SysTray.BalloonTipShow(BalloonIcon::Info, L"Video Link Added : " + address, L"", 5000);
  SetFlashVariable(L"_root.video_url", address);
  if (!IsDownloading) tmrDownload.SetEnabled(true);
  SetText(txtMonitor, L"");
}

}  // namespace mf
