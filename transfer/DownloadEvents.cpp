// The queue driver's side of the download control: the page fetch of link
// resolution, and the handlers of the control's notifications, which show
// the running item's progress in its Status.
#include <utility>

#include "resolver/MediaLink.h"
#include "transfer/ItemRun.h"
#include "transfer/QueueDriver.h"

namespace mf {

void ItemRun::FetchPage(const std::wstring& address, const std::wstring& file,
                        std::function<void(bool ok, const PageAnswer& answer)> done) {
  TransferResult.clear();
  Download.SetUrl(address);
  Download.SetLocalFile(file);
  // A page is read no further than its limit.
  Download.LimitTo(QueueDriver::kMaxPageBytes);
  pageDone_ = std::move(done);
  pageIsMedia_ = false;
  IsFetchingPage = Download.StartDownload();
  if (!IsFetchingPage) PageEnded(false);
}

void ItemRun::CancelPageFetch() {
  pageDone_ = nullptr;
  if (IsFetchingPage) Download.CancelDownload();
}

void ItemRun::PageEnded(bool ok) {
  IsFetchingPage = false;
  const PageAnswer answer{.address = Download.FinalUrl(), .contentType = Download.ContentType()};
  // An error page, a page cut off or one too large is no page to read.
  const DWORD status = Download.StatusCode();
  ok = ok && TransferResult == L"1" && status >= 200 && status < 300;
  if (auto done = std::move(pageDone_)) done(ok, answer);
}

void ItemRun::ConnectionError(const std::wstring& description) {
  host_.ConnectionError(description);
}

void ItemRun::DownloadCancelled(long& /*position*/) {
  // The request has let go of its file: a stopped or removed item ends now.
  if (IsFetchingPage) {
    IsFetchingPage = false;
    auto done = std::move(pageDone_);
    // A page that turned out to be a video was let go at its first block:
    // it is downloaded from where it answered.
    if (std::exchange(pageIsMedia_, false) && done && stage_ != RunStage::Stopping && !ItemGone())
      return done(true, {.address = Download.FinalUrl(), .contentType = Download.ContentType()});
  } else if (transferOpen_) {
    // Stopped or not, the transfer ends: its bytes keep the version they
    // belong to, and the speed line goes.
    return TransferEnded();
  }
  if (stage_ == RunStage::Stopping || ItemGone()) LetGo();
}

void ItemRun::InformationReady() {
  if (auto informed = std::move(informed_)) informed();
}

bool ItemRun::SetState(ItemState state, int progress) {
  DownloadItem* item = key_ ? list_.ByKey(key_) : nullptr;
  if (!item) return false;
  item->State = state;
  item->Progress = progress;
  if (state != ItemState::Failed) {
    item->Failure = ItemFailure::None;
    item->Reason.clear();
  }
  host_.ItemChanged(key_);
  return true;
}

void ItemRun::Fail(ItemFailure failure, const std::wstring& reason) {
  DownloadItem* item = key_ ? list_.ByKey(key_) : nullptr;
  if (!item) return;
  item->Failure = failure;
  item->Reason = reason;
  SetState(ItemState::Failed);
}

void ItemRun::TakeName(const LocalFileInfo& info) {
  DownloadItem* item = key_ ? list_.ByKey(key_) : nullptr;
  if (!item) return;
  // Only a name that is not known is given: a name the user typed stays.
  if (item->FileName.empty()) item->FileName = info.FileName;
  item->Size = info.Size;
  item->FileLength = info.FileLength;
  host_.ItemChanged(key_);
}

void ItemRun::Download_DownloadComplete() {
  TransferResult = L"1";
  if (IsFetchingPage) {
    SetState(ItemState::Prepared);
    return PageEnded(true);
  }
  if (stage_ == RunStage::Transferring || stage_ == RunStage::Stopping) TransferEnded();
}

void ItemRun::Download_DownloadError(std::wstring& sErrorDescription) {
  TransferResult = sErrorDescription;
  if (IsFetchingPage) return PageEnded(false);
  if (stage_ == RunStage::Transferring || stage_ == RunStage::Stopping) TransferEnded();
}

void ItemRun::Download_DownloadProgress(long& lProgress) {
  // The running item removed: its request ends at once.
  if (ItemGone()) return Download.CancelDownload();
  DownloadItem* item = key_ ? list_.ByKey(key_) : nullptr;
  if (!item) return;
  // Blocks come by the thousand: only a value that changes is told.
  const bool changed = lProgress != shownProgress_;
  shownProgress_ = lProgress;
  if (IsFetchingPage && !pageIsMedia_ && Download.StatusCode() / 100 == 2 &&
      IsMediaAnswer(Download.ContentType(), Download.FinalUrl())) {
    // A video is not read as a page, however long it is.
    pageIsMedia_ = true;
    return Download.CancelDownload();
  }
  if (IsFetchingPage) {
    if (changed) SetState(ItemState::Preparing, lProgress < 101 ? static_cast<int>(lProgress) : -1);
  } else {
    // The bytes belong to the answer's version from the first block on: a
    // partial file left by a killed program goes on from them.
    if (!versionRecorded_ && resumedFrom_ == 0 && Download.FileOpened()) {
      versionRecorded_ = true;
      RecordVersion(*item);
    }
    item->Received = Download.BytesReceived();
    if (changed || item->State != ItemState::Arriving) SetState(ItemState::Arriving);
  }
  // A server that ignored the request for the rest of a partial file sends
  // all of it again: the file starts over, and the user hears why.
  if (!IsFetchingPage && !restartTold_ && Download.LastResume() == Download::Resume::Restarted) {
    restartTold_ = true;
    Notice(L"the server sent the whole file again, so it is downloaded from its beginning.");
  }
  // The speed line takes every block; it measures time itself.
  if (!IsFetchingPage) host_.TransferProgress(key_, Download.BytesReceived(), Download.FileSize());
}

}  // namespace mf
