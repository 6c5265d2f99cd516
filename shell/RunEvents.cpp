// What a run tells the program, shown as the design has it: the captions of
// the start button and the tray menu, the movie's variables, the grid's row
// of the item, the speed line, the tray's tooltip and balloon, and the
// questions and messages of message boxes.
#include <algorithm>

#include "common/AppInfo.h"
#include "common/Platform.h"
#include "common/WindowText.h"
#include "shell/Program.h"

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

constexpr wchar_t kStartCaption[] = L"Start Downloading";
constexpr wchar_t kStopCaption[] = L"Stop Downloading";

}  // namespace

bool Program::ConfirmStop() {
  return Platform().ShowMessageBox(form.Hwnd(),
                                   L"Are you sure that you want to cancel downloading?", kAppTitle,
                                   MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Program::StartRefused(Refusal why) {
  if (why == Refusal::EmptyList) {
    SetFlashVariable(L"_root.startDownload", L"1");
    Platform().ShowMessageBox(form.Hwnd(), L"Please add video URL's first.", L"Empty List",
                              MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  Platform().ShowMessageBox(
      form.Hwnd(), L"You are not connected to the internet, Please connect first then try again",
      kAppTitle, MB_OK | MB_ICONEXCLAMATION);
}

// Captions and front-end variables of a run under way, or of none.
void Program::RunningChanged(bool running) {
  const wchar_t* caption = running ? kStopCaption : kStartCaption;
  const wchar_t* value = running ? L"0" : L"1";
  SetText(form.cmdStartDownload, caption);
  form.Menu.SetCaption(frmMenu::mnuDownload, caption);
  SetFlashVariable(L"_root.downloadBtn", value);
  SetFlashVariable(L"_root.startDownload", value);
  SetFlashVariable(L"_root.downloadTab", value);
}

void Program::RunStarted() {
  if (form.CurrentTab == L"About") SetFlashVariable(L"_root.downloadBtnTab", L"1");
}

// The line is the whole run's: the bytes of every transfer under way added
// up, and the time left of them all when every size is known.
void Program::RunWaiting(int opensAt) {
  wchar_t time[8] = {};
  swprintf(time, std::size(time), L"%02d:%02d", opensAt / 60 % 24, opensAt % 60);
  SetFlashVariable(L"_root.notice",
                   std::wstring(L"Downloads wait for their hours, which begin at ") + time + L".");
}

void Program::TransferProgress(uint32_t key, int64_t bytesReceived, float fileSize) {
  Arrival& arrival = arrivals_[key];
  // A file that starts again counts its new bytes only.
  runBytes_ += std::max<int64_t>(0, bytesReceived - arrival.bytes);
  arrival.bytes = bytesReceived;
  arrival.size = fileSize > 0 ? static_cast<int64_t>(fileSize) : 0;
  int64_t left = 0;
  bool known = true;
  for (const auto& [k, a] : arrivals_) {
    known = known && a.size > 0;
    left += std::max<int64_t>(0, a.size - a.bytes);
  }
  std::optional<std::wstring> text =
      rate_.Update(GetTickCount64(), runBytes_, known ? runBytes_ + left : 0);
  if (!text) return;
  form.SetFlashVariable(kProgressText, *text);
  const DownloadItem* item = list.ByKey(key);
  std::wstring name = item ? ItemPresenter::ShownName(*item) : std::wstring();
  if (arrivals_.size() > 1) name = Videos(static_cast<int>(arrivals_.size())) + L" at once";
  form.SysTray.SetToolTip(TrayToolTip(name, *text));
}

void Program::TransferEnded(uint32_t key) {
  arrivals_.erase(key);
  if (arrivals_.empty()) EndTransferProgress();
}

void Program::EndTransferProgress() {
  rate_.Reset();
  arrivals_.clear();
  runBytes_ = 0;
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

// Under the list: the item's name (its address while it has none), then why.
void Program::ItemNotice(uint32_t key, const std::wstring& text) {
  const DownloadItem* item = key ? list.ByKey(key) : nullptr;
  if (!item) return SetFlashVariable(L"_root.notice", text);
  SetFlashVariable(L"_root.notice", ItemPresenter::ShownName(*item) + L": " + text);
}

void Program::ConnectionError(const std::wstring& description) {
  Platform().ShowMessageBox(form.Hwnd(), L"Connection Error," + description, kAppTitle, MB_OK);
}

}  // namespace mf
