// The queue driver's side of the download control: the page fetch of link
// resolution, and the handlers of the control's notifications, which show
// the running item's progress in its Status.
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "transfer/QueueDriver.h"

namespace mf {

void QueueDriver::FetchPage(const std::wstring& address, const std::wstring& file,
                            std::function<void(bool ok, const PageAnswer& answer)> done) {
  TransferResult.clear();
  Download.SetUrl(address);
  Download.SetLocalFile(file);
  // A page is read no further than its limit.
  Download.LimitTo(kMaxPageBytes);
  pageDone_ = std::move(done);
  IsFetchingPage = Download.StartDownload();
  if (!IsFetchingPage) PageEnded(false);
}

void QueueDriver::CancelPageFetch() {
  pageDone_ = nullptr;
  if (IsFetchingPage) Download.CancelDownload();
}

void QueueDriver::PageEnded(bool ok) {
  IsFetchingPage = false;
  const PageAnswer answer{.address = Download.FinalUrl(), .contentType = Download.ContentType()};
  // An error page, a page cut off or one too large is no page to read.
  const DWORD status = Download.StatusCode();
  ok = ok && TransferResult == L"1" && status >= 200 && status < 300;
  if (auto done = std::move(pageDone_)) done(ok, answer);
}

void QueueDriver::ConnectionError(const std::wstring& description) {
  host_.ConnectionError(description);
}

void QueueDriver::DownloadCancelled(long& /*position*/) {
  // The request has let go of its file: a stopped or removed item ends now.
  if (IsFetchingPage) {
    IsFetchingPage = false;
    pageDone_ = nullptr;
  } else if (stage_ == Stage::Transferring) {
    return TransferEnded();
  }
  if (stage_ == Stage::Stopping || ItemGone()) LetGo();
}

void QueueDriver::InformationReady() {
  if (auto informed = std::move(informed_)) informed();
}

bool QueueDriver::SetItemStatus(const std::wstring& status) {
  DownloadItem* item = RunningKey ? list_.ByKey(RunningKey) : nullptr;
  if (!item) return false;
  item->Status = status;
  host_.ItemChanged(RunningKey);
  return true;
}

void QueueDriver::Download_DownloadComplete() {
  TransferResult = L"1";
  if (IsFetchingPage) {
    SetItemStatus(vocab::kStartDownloading);
    return PageEnded(true);
  }
  if (stage_ == Stage::Transferring || stage_ == Stage::Stopping) TransferEnded();
}

void QueueDriver::Download_DownloadError(std::wstring& sErrorDescription) {
  TransferResult = sErrorDescription;
  if (IsFetchingPage) return PageEnded(false);
  if (stage_ == Stage::Transferring || stage_ == Stage::Stopping) TransferEnded();
}

void QueueDriver::Download_DownloadProgress(long& lProgress) {
  // The running item removed: its request ends at once.
  if (ItemGone()) return Download.CancelDownload();
  const DownloadItem* item = RunningKey ? list_.ByKey(RunningKey) : nullptr;
  if (!item) return;
  std::wstring status;
  if (IsFetchingPage) {
    status = lProgress < 101 ? vocab::kPreparingOpen + std::to_wstring(lProgress) +
                                   vocab::kPreparingClose
                             : std::wstring(vocab::kPreparingMore);
  } else {
    // Without a known size the progress value is a byte count.
    status = item->FileSize == vocab::kSizeWithoutLength
                 ? FormatFileSize(static_cast<float>(lProgress)) + vocab::kSoFar
                 : std::to_wstring(lProgress);
  }
  // A server that ignored the request for the rest of a partial file sends
  // all of it again: the file starts over, and the user hears why.
  if (!IsFetchingPage && !restartTold_ && Download.LastResume() == Download::Resume::Restarted) {
    restartTold_ = true;
    Notice(L"the server sent the whole file again, so it is downloaded from its beginning.");
  }
  // The speed line takes every block; it measures time itself.
  if (!IsFetchingPage)
    host_.TransferProgress(RunningKey, Download.BytesReceived(), Download.FileSize());
  // Blocks come by the thousand: only a status that changes is told.
  if (status != item->Status) SetItemStatus(status);
}

}  // namespace mf
