#include "shell/Program.h"

#include "common/AppInfo.h"
#include "common/AppPath.h"
#include "common/DoEvents.h"
#include "common/Platform.h"
#include "common/WindowText.h"
#include "downloadlist/QueueFile.h"

namespace mf {

void Program::SetFlashVariable(const std::wstring& name, const std::wstring& value) {
  form.SetFlashVariable(name, value);
}

int Program::Run() {
  form.SetQuitOnDestroy(true);
  keeper.SetFile(QueueKeeper::DefaultFile());
  if (!form.Load()) return 0;
  return RunMessageLoop();
}

void Program::RestoreList() {
  if (const std::wstring told = keeper.Restore(); !told.empty())
    Platform().ShowMessageBox(nullptr, told, kAppTitle, MB_OK | MB_ICONWARNING);
  if (list.IsListEmpty()) return;
  // The file is the user's to edit: what it names is acted on only once safe.
  std::set<std::wstring> claimed;
  for (size_t i = 0; i < list.Count(); ++i)
    SettleRestoredItem(*list.At(i), settings.DownloadFolder, claimed);
  list.FillDownloadList();
  SetFlashVariable(L"_root.downloadBtn", L"1");
}

void Program::ListFillFailed(long number, const std::wstring& description) {
  Platform().ShowMessageBox(nullptr,
                            L"An error occured while filling the Download list\r" +
                                std::to_wstring(number) + L":" + description,
                            kAppTitle, MB_OK | MB_ICONERROR);
}

void Program::SetPolling(bool on) {
  form.tmrMonitor.SetEnabled(on);
  SendMessageA(form.chkMonitor, BM_SETCHECK,
               form.tmrMonitor.Enabled() ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The watcher gets the hidden box's handle as a decimal number, or "Exit".
void Program::LaunchWatcher(bool on) {
  const std::wstring parameter =
      on ? std::to_wstring(reinterpret_cast<UINT_PTR>(form.txtMonitor)) : std::wstring(L"Exit");
  Platform().ShellOpen(form.Hwnd(), L"open", ProgramFolder() + L"\\Clip.exe", parameter, L"",
                       SW_SHOWNORMAL);
}

void Program::AddressTaken(const std::wstring& address, bool announce) {
  if (announce)
    form.SysTray.BalloonTipShow(BalloonIcon::Info, L"Video Link Added : " + address, L"", 5000);
  SetFlashVariable(L"_root.video_url", address);
}

}  // namespace mf
