// The queue driver: the start/stop toggle that every start and stop request
// ends in, and the life of a run from its start to its end.
#include "transfer/QueueDriver.h"

#include <windows.h>

#include "common/AppPath.h"
#include "common/Platform.h"
#include "transfer/PieceJournal.h"

namespace mf {

QueueDriver::QueueDriver(DownloadList& list, IRunEvents& host) : list_(list), host_(host) {
  Download.SetEvents(this);  // hears the control from the start on
}

bool QueueDriver::IsConnected() { return Platform().IsOnline(); }

int QueueDriver::CurrentIndex() const {
  std::optional<size_t> at = RunningKey ? list_.Find(RunningKey) : std::nullopt;
  return at ? static_cast<int>(*at) : -1;
}

bool QueueDriver::ItemGone() const { return RunningKey != 0 && CurrentIndex() < 0; }

void QueueDriver::cmdStartDownload_Click() {
  // While a run is under way the toggle stops it, whatever the list holds.
  if (IsDownloading) return StopOrQueueStart();
  if (BeginRun()) StartDownloading();
}

bool QueueDriver::BeginRun() {
  if (list_.IsListEmpty()) {
    host_.StartRefused(IRunEvents::Refusal::EmptyList);
    return false;
  }
  if (!IsConnected()) {
    host_.StartRefused(IRunEvents::Refusal::NotConnected);
    return false;
  }
  host_.RunningChanged(true);
  return true;
}

void QueueDriver::StopOrQueueStart() {
  // A stopped run is still ending (its request letting go): the start waits
  // for it and begins once it has ended.
  if (CancelRequested && !startQueued_) {
    startQueued_ = true;
    host_.RunningChanged(true);
    return;
  }
  if (!host_.ConfirmStop()) return;
  // Only the waiting start is called off when there is one; otherwise the
  // run stops. The run may have ended while the question was open.
  if (startQueued_) {
    startQueued_ = false;
  } else if (IsDownloading) {
    Stop();
  }
  host_.RunningChanged(false);
}

void QueueDriver::StartDownloading() {
  host_.RunStarted();
  // One level only; a folder that cannot be made shows up as failed transfers.
  const std::wstring folder = host_.DownloadFolder();
  if (!FolderExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
  CancelRequested = false;
  IsDownloading = true;
  visited_.clear();
  downloaded_ = failed_ = 0;
  NextItemOfRun();
}

// Items are worked on in the list's order as it stands after each item, by
// identity: items the user moves, removes or adds meanwhile are neither
// mistaken for one another nor visited twice.
const DownloadItem* QueueDriver::NextItem() const {
  for (const DownloadItem& item : list_.Items())
    if (!visited_.contains(item.Key)) return &item;
  return nullptr;
}

void QueueDriver::NextItemOfRun() {
  while (const DownloadItem* item = NextItem()) {
    visited_.insert(item->Key);
    if (item->State == ItemState::Complete || item->State == ItemState::Failed) continue;
    RunningKey = item->Key;
    retry_ = 0;
    partFile_.clear();
    return TryItem();
  }
  EndRun();
}

void QueueDriver::ItemEnded() {
  if (DownloadItem* item = list_.ByKey(RunningKey)) {
    downloaded_ += item->State == ItemState::Complete ? 1 : 0;
    failed_ += item->State == ItemState::Failed ? 1 : 0;
    // A partial file that never got a byte reserves its name no longer.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!item->PartFile.empty() &&
        GetFileAttributesExW(item->PartFile.c_str(), GetFileExInfoStandard, &data) &&
        data.nFileSizeLow == 0 && data.nFileSizeHigh == 0) {
      DeleteFileW(item->PartFile.c_str());
      PieceJournal::Remove(item->PartFile);
      item->PartFile.clear();
    }
  }
  if (CancelRequested) return EndRun();
  NextItemOfRun();
}

void QueueDriver::EndRun() {
  RunningKey = 0;
  IsDownloading = false;
  stage_ = Stage::Idle;
  host_.RunEnded(downloaded_, failed_);
  // A stop has already shown the run as ended.
  if (!CancelRequested) host_.RunningChanged(false);
  if (!startQueued_) return;
  startQueued_ = false;
  if (BeginRun())
    StartDownloading();
  else
    host_.RunningChanged(false);
}

void QueueDriver::Stop() {
  CancelRequested = true;
  const Stage stage = stage_;
  stage_ = Stage::Stopping;
  switch (stage) {
    case Stage::Resolving:
      // A page fetch lets go of the page file first; a redirect ends at once.
      if (IsFetchingPage) return CancelPageFetch();
      Resolver.Cancel();
      return LetGo();
    case Stage::Informing:
    case Stage::Transferring:
      // The control tells when its request has let go of the file.
      return Download.CancelDownload();
    case Stage::Waiting:
      Messages.Cancel(retryTimer_);
      return LetGo();
    case Stage::Idle:
    case Stage::Stopping:
      return;
  }
}

void QueueDriver::LetGo() {
  if (ItemGone()) {
    // Removed while it was worked on: its partial file has no item any more.
    if (!partFile_.empty()) {
      DeleteFileW(partFile_.c_str());
      PieceJournal::Remove(partFile_);
    }
    return ItemEnded();
  }
  SetState(ItemState::Cancelled);
  EndRun();
}

bool QueueDriver::Shutdown(DWORD ms) {
  if (IsDownloading) Stop();
  Resolver.Cancel();
  return Download.StopAll(ms);
}

}  // namespace mf
