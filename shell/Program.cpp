#include "shell/Program.h"

#include "common/AppInfo.h"
#include "common/WindowText.h"
#include "downloadlist/QueueFile.h"

namespace mf {
namespace {

// The movie's line beside the start button while a file arrives.
constexpr wchar_t kProgressText[] = L"_root.progressTxt";
// The notification area keeps 127 characters of a tooltip.
constexpr size_t kToolTipRoom = 127;

std::wstring TrayToolTip(const std::wstring& name, const std::wstring& rate) {
  if (name.empty()) return rate;
  const size_t room = kToolTipRoom - rate.size() - 1;
  const std::wstring shown = name.size() <= room ? name : name.substr(0, room - 3) + L"...";
  return shown + L"\n" + rate;
}

std::wstring Videos(int n) { return std::to_wstring(n) + (n == 1 ? L" video" : L" videos"); }

std::wstring RunSummary(int downloaded, int failed) {
  std::wstring text = Videos(downloaded) + L" downloaded";
  return failed ? text + L", " + std::to_wstring(failed) + L" failed" : text;
}

}  // namespace

void Program::SetFlashVariable(const std::wstring& name, const std::wstring& value) {
  form.SetFlashVariable(name, value);
}

void Program::RestoreList() {
  keeper.Restore();
  if (list.IsListEmpty()) return;
  // The file is the user's to edit: what it names is acted on only once safe.
  std::set<std::wstring> claimed;
  for (size_t i = 0; i < list.Count(); ++i)
    SettleRestoredItem(*list.At(i), settings.DownloadFolder, claimed);
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

void Program::ShowTransferProgress(int64_t bytesReceived, float fileSize) {
  const int64_t size = fileSize > 0 ? static_cast<int64_t>(fileSize) : 0;
  std::optional<std::wstring> text = rate_.Update(GetTickCount64(), bytesReceived, size);
  if (!text) return;
  form.SetFlashVariable(kProgressText, *text);
  const DownloadItem* item = list.ByKey(queue.RunningKey);
  form.SysTray.SetToolTip(TrayToolTip(item ? item->FileName : std::wstring(), *text));
}

void Program::EndTransferProgress() {
  rate_.Reset();
  if (form.Flash.GetVariable(kProgressText).empty()) return;
  form.SetFlashVariable(kProgressText, L"");
  form.SysTray.SetToolTip(kAppTitle);
}

// One word when a run ends out of sight; a run the user stopped needs none.
void Program::RunEnded(int downloaded, int failed) {
  EndTransferProgress();
  const bool away = !IsWindowVisible(form.Hwnd()) || IsIconic(form.Hwnd());
  if (!away || queue.CancelRequested || downloaded + failed == 0) return;
  form.SysTray.BalloonTipShow(failed ? BalloonIcon::Warning : BalloonIcon::Info,
                              RunSummary(downloaded, failed), kAppTitle, 0);
}

void Program::ShowBalloon(const std::wstring& text) {
  form.SysTray.BalloonTipShow(BalloonIcon::Info, text, L"", 5000);
}

}  // namespace mf
