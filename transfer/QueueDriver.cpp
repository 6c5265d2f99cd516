// The queue driver: works through the Download list one item at a time, and
// the start/stop toggle that every start and stop request ends in.
#include "transfer/QueueDriver.h"

#include <windows.h>

#include "common/AppInfo.h"
#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/Text.h"
#include "downloadlist/Vocabulary.h"

namespace mf {
namespace {

constexpr wchar_t kStartCaption[] = L"Start Downloading";
constexpr wchar_t kStopCaption[] = L"Stop Downloading";

}  // namespace

QueueDriver::QueueDriver(DownloadList& list, IQueueHost& host) : list_(list), host_(host) {
  Download.SetEvents(this);  // hears the control from the start on
}

bool QueueDriver::IsConnected() { return Platform().IsOnline(); }

int QueueDriver::CurrentIndex() const {
  std::optional<size_t> at = RunningKey ? list_.Find(RunningKey) : std::nullopt;
  return at ? static_cast<int>(*at) : -1;
}

bool QueueDriver::StopRequested() {
  return CancelRequested || (RunningKey != 0 && CurrentIndex() < 0);
}

// Captions and front-end variables of a run under way (true) or of none.
void QueueDriver::ShowRunning(bool running) {
  const wchar_t* caption = running ? kStopCaption : kStartCaption;
  const wchar_t* value = running ? L"0" : L"1";
  host_.SetStartButtonCaption(caption);
  host_.SetMenuDownloadCaption(caption);
  host_.SetFlashVariable(L"_root.downloadBtn", value);
  host_.SetFlashVariable(L"_root.startDownload", value);
  host_.SetFlashVariable(L"_root.downloadTab", value);
}

void QueueDriver::cmdStartDownload_Click() {
  // While a run is under way the toggle stops it, whatever the list holds.
  if (IsDownloading) {
    StopOrQueueStart();
    return;
  }
  do {
    const bool queued = startPending_;
    startPending_ = false;
    if (!BeginRun()) {
      if (queued) ShowRunning(false);
      return;
    }
    StartDownloading();
  } while (startPending_);
  // A stop during the run has already put captions and variables back.
  if (CancelRequested) return;
  host_.SetStartButtonCaption(kStartCaption);
  host_.SetFlashVariable(L"_root.startDownload", L"1");
  host_.SetFlashVariable(L"_root.downloadBtn", L"1");
  host_.SetFlashVariable(L"_root.downloadTab", L"1");
  host_.SetMenuDownloadCaption(kStartCaption);
}

bool QueueDriver::BeginRun() {
  if (list_.IsListEmpty()) {
    host_.SetFlashVariable(L"_root.startDownload", L"1");
    Platform().ShowMessageBox(host_.OwnerWindow(), L"Please add video URL's first.", L"Empty List",
                              MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  if (!IsConnected()) {
    Platform().ShowMessageBox(
        host_.OwnerWindow(),
        L"You are not connected to the internet, Please connect first then try again", kAppTitle,
        MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  host_.SetStartButtonCaption(kStopCaption);
  host_.SetMenuDownloadCaption(kStopCaption);
  host_.SetFlashVariable(L"_root.downloadBtn", L"0");
  host_.SetFlashVariable(L"_root.startDownload", L"0");
  host_.SetFlashVariable(L"_root.downloadTab", L"0");
  return true;
}

void QueueDriver::StopOrQueueStart() {
  // A stopped run is still ending (a wait being left, a transfer being shut):
  // the start waits for it and begins once it has ended.
  if (CancelRequested && !startPending_) {
    startPending_ = true;
    ShowRunning(true);
    return;
  }
  if (Platform().ShowMessageBox(host_.OwnerWindow(),
                                L"Are you sure that you want to cancel downloading?", kAppTitle,
                                MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  // Only the waiting start is called off when there is one; otherwise the run
  // stops: its current step sees the request and nothing more is begun.
  if (startPending_) {
    startPending_ = false;
  } else {
    CancelRequested = true;
    // Also a request waiting on a silent server ends now, not at its next block.
    Download.CancelDownload();
  }
  ShowRunning(false);
}

void QueueDriver::StartDownloading() {
  if (host_.CurrentTab() == L"About") host_.SetFlashVariable(L"_root.downloadBtnTab", L"1");
  // One level only; a folder that cannot be made shows up as failed transfers.
  const std::wstring folder = host_.DownloadFolder();
  if (!FolderExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
  CancelRequested = false;
  IsDownloading = true;

  // Items are worked on in the list's order as it stands after each item, by
  // identity: items the user moves, removes or adds meanwhile are neither
  // mistaken for one another nor visited twice.
  std::set<uint32_t> visited;
  int downloaded = 0, failed = 0;
  while (const DownloadItem* item = NextItem(visited)) {
    const uint32_t key = item->Key;
    visited.insert(key);
    if (item->Status == vocab::kComplete || item->Status == vocab::kError) continue;
    const ItemOutcome outcome = DownloadItemAt(key);
    if (const DownloadItem* done = list_.ByKey(key)) {
      downloaded += done->Status == vocab::kComplete ? 1 : 0;
      failed += done->Status == vocab::kError ? 1 : 0;
    }
    if (outcome == ItemOutcome::RunCancelled) break;
  }
  RunningKey = 0;
  IsDownloading = false;
  host_.RunEnded(downloaded, failed);
}

const DownloadItem* QueueDriver::NextItem(const std::set<uint32_t>& visited) const {
  for (const DownloadItem& item : list_.Items())
    if (!visited.contains(item.Key)) return &item;
  return nullptr;
}

}  // namespace mf
