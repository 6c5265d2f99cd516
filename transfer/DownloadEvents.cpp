// The queue driver's side of the download control: the page fetch of link
// resolution, and the handlers of the control's notifications, which show
// the running item's progress in its Status.
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "transfer/QueueDriver.h"

namespace mf {
namespace {

// IsFetchingPage is true exactly for the length of the fetch.
class FetchingPage {
 public:
  explicit FetchingPage(bool& flag) : flag_(flag) { flag_ = true; }
  ~FetchingPage() { flag_ = false; }
  FetchingPage(const FetchingPage&) = delete;
  FetchingPage& operator=(const FetchingPage&) = delete;

 private:
  bool& flag_;
};

}  // namespace

bool QueueDriver::FetchPage(const std::wstring& address, const std::wstring& file,
                            PageAnswer& answer) {
  TransferResult.clear();
  pageTooLarge_ = false;
  Download.SetUrl(address);
  Download.SetLocalFile(file);
  // A page is read no further than its limit.
  Download.LimitTo(kMaxPageBytes);
  {
    FetchingPage fetching(IsFetchingPage);
    Download.StartDownload();
  }
  answer.address = Download.FinalUrl();
  answer.contentType = Download.ContentType();
  // An error page, a page cut off or one too large is no page to read.
  const DWORD status = Download.StatusCode();
  return TransferResult == L"1" && status >= 200 && status < 300 && !pageTooLarge_;
}

bool QueueDriver::SetItemStatus(const std::wstring& status) {
  DownloadItem* item = RunningKey ? list_.ByKey(RunningKey) : nullptr;
  if (!item) return false;
  item->Status = status;
  return true;
}

void QueueDriver::Download_DownloadComplete() {
  if (IsFetchingPage) SetItemStatus(vocab::kStartDownloading);
  TransferResult = L"1";
}

void QueueDriver::Download_DownloadError(std::wstring& sErrorDescription) {
  TransferResult = sErrorDescription;
}

void QueueDriver::Download_DownloadProgress(long& lProgress) {
  // A stop, or the running item removed: the transfer ends after this chunk.
  if (StopRequested()) Download.CancelDownload();
  if (IsFetchingPage && Download.BytesReceived() > kMaxPageBytes) {
    pageTooLarge_ = true;
    Download.CancelDownload();
  }
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
    host_.SetFlashVariable(L"_root.notice", item->FileName +
                                                L": the server sent the whole file again, so it "
                                                L"is downloaded from its beginning.");
  }
  // The speed line takes every block; it measures time itself.
  if (!IsFetchingPage) host_.ShowTransferProgress(Download.BytesReceived(), Download.FileSize());
  // Blocks come by the thousand: only a status that changes is shown, and
  // only in the running item's cell, for pages too (a rebuild would take the
  // user's selection, scroll position and open rename away).
  if (status == item->Status) return;
  SetItemStatus(status);
  host_.ShowCurrentStatus(status);
}

}  // namespace mf
