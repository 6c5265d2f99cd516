// The queue driver: works through the Download list one item at a time, and
// the start/stop toggle that every start and stop request ends in.
#include "transfer/QueueDriver.h"

#include <windows.h>

#include "common/AppInfo.h"
#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/Text.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"

namespace mf {
namespace {

constexpr wchar_t kStartCaption[] = L"Start Downloading";
constexpr wchar_t kStopCaption[] = L"Stop Downloading";

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

QueueDriver::QueueDriver(DownloadList& list, IQueueHost& host) : list_(list), host_(host) {
  Download.SetEvents(this);  // hears the control from the start on
}

bool QueueDriver::IsConnected() { return Platform().IsOnline(); }

void QueueDriver::SetRunCaptions(const wchar_t* caption) {
  host_.SetStartButtonCaption(caption);
  host_.SetMenuDownloadCaption(caption);
}

void QueueDriver::cmdStartDownload_Click() {
  if (list_.IsListEmpty()) {
    host_.SetFlashVariable(L"_root.startDownload", L"1");
    Platform().ShowMessageBox(host_.OwnerWindow(), L"Please add video URL's first.", L"Empty List",
                              MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  // The run state is the button's caption: a second start asks to stop.
  if (host_.StartButtonCaption() == kStopCaption) {
    if (Platform().ShowMessageBox(host_.OwnerWindow(), L"Are you sure that you want to cancel downloading?",
                                  kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
    // The running transfer sees the request at its next progress notification.
    CancelRequested = true;
    SetRunCaptions(kStartCaption);
    host_.SetFlashVariable(L"_root.downloadBtn", L"1");
    host_.SetFlashVariable(L"_root.startDownload", L"1");
    host_.SetFlashVariable(L"_root.downloadTab", L"1");
    return;
  }
  if (!IsConnected()) {
    Platform().ShowMessageBox(
        host_.OwnerWindow(), L"You are not connected to the internet, Please connect first then try again",
        kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  host_.SetStartButtonCaption(kStopCaption);
  host_.SetMenuDownloadCaption(kStopCaption);
  host_.SetFlashVariable(L"_root.downloadBtn", L"0");
  host_.SetFlashVariable(L"_root.startDownload", L"0");
  host_.SetFlashVariable(L"_root.downloadTab", L"0");

  StartDownloading();

  // A stop during the run has already put captions and variables back.
  if (CancelRequested) return;
  host_.SetStartButtonCaption(kStartCaption);
  host_.SetFlashVariable(L"_root.startDownload", L"1");
  host_.SetFlashVariable(L"_root.downloadBtn", L"1");
  host_.SetFlashVariable(L"_root.downloadTab", L"1");
  host_.SetMenuDownloadCaption(kStartCaption);
}

void QueueDriver::StartDownloading() {
  if (host_.CurrentTab() == L"About") host_.SetFlashVariable(L"_root.downloadBtnTab", L"1");
  // One level only; a folder that cannot be made shows up as failed transfers.
  const std::wstring folder = host_.DownloadFolder();
  if (!FolderExists(folder)) CreateDirectoryA(ToAnsi(folder).c_str(), nullptr);
  CancelRequested = false;
  IsDownloading = true;

  // The end is noted once; an item appended meanwhile is still reached
  // straight after an item that was transferred.
  const size_t count = list_.Count();
  for (size_t position = 0; count > 0 && position <= count - 1; ++position) {
    for (;;) {
      ItemOutcome outcome = DownloadItemAt(position);
      if (outcome == ItemOutcome::RunCancelled) {
        IsDownloading = false;
        return;
      }
      if (outcome == ItemOutcome::Transferred && position + 1 < list_.Count()) {
        ++position;
        continue;
      }
      break;
    }
  }
  IsDownloading = false;
}

QueueDriver::ItemOutcome QueueDriver::DownloadItemAt(size_t position) {
  // Positions that went while the run yielded are passed over.
  const DownloadItem* item = list_.At(position);
  if (!item || item->Status == vocab::kComplete || item->Status == vocab::kError)
    return ItemOutcome::Skipped;
  CurrentIndex = static_cast<int16_t>(item->ID - 1);
  host_.LocateCurrentRow();

  const std::wstring link = PrepareItem(CurrentIndex);
  list_.FillDownloadList();
  const auto at = static_cast<size_t>(CurrentIndex);
  item = list_.At(at);
  if (!item || item->Status == vocab::kError) return ItemOutcome::Skipped;

  // A name the server or the user gave may still name a device or only dots:
  // such a file would not land in the download folder.
  const std::wstring fileName = SafeFileName(item->FileName);
  if (fileName != item->FileName) list_.UpdateItem(item->ID, L"", fileName, L"", L"");
  const std::wstring localFile = host_.DownloadFolder() + L"\\" + fileName;
  Download.SetUrl(link);
  Download.SetLocalFile(localFile);
  if (FileExists(localFile)) DeleteFileForced(localFile);

  host_.LocateCurrentRow();
  Download.StartDownload();

  if (CancelRequested) {
    SetItemStatus(vocab::kCancelled);
    list_.FillDownloadList();
    return ItemOutcome::RunCancelled;
  }
  item = list_.At(at);
  if (item) {
    // A transfer counts as complete only when it ended with its data: a read
    // or write failure, an address that could not be opened, a server that
    // knew neither the file nor its size, or an error page in place of the
    // video all make the item "ERROR". An error page is not kept under the
    // video's name.
    const bool errorPage = Download.StatusCode() >= 400;
    const bool failed = item->FileSize.starts_with(L"-1") || TransferResult != L"1" || errorPage;
    if (errorPage && TransferResult == L"1") DeleteFileForced(localFile);
    SetItemStatus(failed ? vocab::kError : vocab::kComplete);
  }
  list_.FillDownloadList();
  return ItemOutcome::Transferred;
}

bool QueueDriver::FetchPage(const std::wstring& address, const std::wstring& file) {
  TransferResult.clear();
  Download.SetUrl(address);
  Download.SetLocalFile(file);
  {
    FetchingPage fetching(IsFetchingPage);
    Download.StartDownload();
  }
  return TransferResult == L"1";
}

void QueueDriver::SetItemStatus(const std::wstring& status) {
  list_.UpdateItem(static_cast<int16_t>(CurrentIndex + 1), L"", L"", status, L"");
}

void QueueDriver::Download_DownloadComplete() {
  if (IsFetchingPage) SetItemStatus(vocab::kStartDownloading);
  TransferResult = L"1";
}

void QueueDriver::Download_DownloadError(std::wstring& sErrorDescription) {
  TransferResult = sErrorDescription;
}

void QueueDriver::Download_DownloadProgress(long& lProgress) {
  if (CancelRequested) Download.CancelDownload();
  std::wstring status;
  if (IsFetchingPage) {
    status = lProgress < 101 ? vocab::kPreparingOpen + std::to_wstring(lProgress) +
                                   vocab::kPreparingClose
                             : std::wstring(vocab::kPreparingMore);
  } else {
    const DownloadItem* item = list_.At(static_cast<size_t>(CurrentIndex));
    // Without a known size the progress value is a byte count.
    status = item && item->FileSize == vocab::kSizeWithoutLength
                 ? FormatFileSize(static_cast<float>(lProgress)) + vocab::kSoFar
                 : std::to_wstring(lProgress);
  }
  SetItemStatus(status);
  // The running item's cell is written directly: one cell repaints, no rebuild.
  host_.ShowCurrentStatus(status);
  if (IsFetchingPage) list_.FillDownloadList();
}

}  // namespace mf
