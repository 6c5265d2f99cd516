#include "shell/Program.h"

#include "common/WindowText.h"

namespace mf {

void Program::SetFlashVariable(const std::wstring& name, const std::wstring& value) {
  form.SetFlashVariable(name, value);
}

void Program::RestoreList() {
  keeper.Restore();
  if (list.IsListEmpty()) return;
  list.FillDownloadList();
  SetFlashVariable(L"_root.downloadBtn", L"1");
}

void Program::SetStartButtonCaption(const std::wstring& caption) {
  SetText(form.cmdStartDownload, caption);
}

void Program::SetMenuDownloadCaption(const std::wstring& caption) {
  form.Menu.SetCaption(frmMenu::mnuDownload, caption);
}

void Program::SetPolling(bool on) {
  form.tmrMonitor.SetEnabled(on);
  SendMessageA(form.chkMonitor, BM_SETCHECK, form.tmrMonitor.Enabled() ? BST_CHECKED : BST_UNCHECKED,
               0);
}

void Program::ShowBalloon(const std::wstring& text) {
  form.SysTray.BalloonTipShow(BalloonIcon::Info, text, L"", 5000);
}

}  // namespace mf
