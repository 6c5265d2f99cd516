// One item of a run: resolve it, name its file, transfer it into a partial
// file and give the file its final name once all of it is there. The item is
// found again by its key after every step that yields to the message loop.
#include <windows.h>

#include "common/AppPath.h"
#include "common/Text.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "transfer/PartFile.h"
#include "transfer/QueueDriver.h"

namespace mf {
namespace {

constexpr size_t kNumberRoom = 7;  // " (9999)", the highest number MoveIntoPlace gives
constexpr wchar_t kFolderTooLongNotice[] =
    L"The download folder's path is too long to hold a file; choose a shorter folder.";

}  // namespace

QueueDriver::ItemOutcome QueueDriver::DownloadItemAt(uint32_t key) {
  RunningKey = key;
  host_.LocateCurrentRow();
  const std::wstring link = Prepare(key);
  list_.FillDownloadList();
  if (CancelRequested) return CancelRun();
  const DownloadItem* item = list_.ByKey(key);
  // Gone (the user removed it) or not resolved: the run goes on.
  if (!item || item->Status == vocab::kError) return ItemOutcome::Skipped;

  // A name the server or the user gave may still name a device or only dots,
  // and may be taken by a file that is not this item's: it gets a free one.
  const std::wstring folder = host_.DownloadFolder();
  // The whole path stays within the platform's limit, its ".part" and a
  // number a taken name may get included.
  const std::wstring fitted =
      FitFileName(folder, SafeFileName(item->FileName), std::size(kPartSuffix) - 1 + kNumberRoom);
  if (fitted.empty()) return FolderTooLong();
  const std::wstring name = FreeFileName(folder, fitted, item->PartFile);
  if (name != item->FileName) list_.UpdateItem(item->ID, L"", name, L"", L"");
  const std::wstring partFile = folder + L"\\" + name + kPartSuffix;
  list_.ByKey(key)->PartFile = partFile;
  Download.SetUrl(link);
  Download.SetLocalFile(partFile);

  host_.LocateCurrentRow();
  Download.StartDownload();
  host_.EndTransferProgress();

  // A stopped or failed transfer keeps its partial file.
  if (CancelRequested) return CancelRun();
  if (!list_.ByKey(key)) {
    // Removed while it arrived: its partial file has no item any more.
    DeleteFileW(partFile.c_str());
    return ItemOutcome::Skipped;
  }
  FinishTransfer(key, partFile);
  list_.FillDownloadList();
  return ItemOutcome::Transferred;
}

QueueDriver::ItemOutcome QueueDriver::FolderTooLong() {
  // Nothing is written anywhere else: the item fails and says why.
  host_.SetFlashVariable(L"_root.notice", kFolderTooLongNotice);
  SetItemStatus(vocab::kError);
  list_.FillDownloadList();
  return ItemOutcome::Skipped;
}

QueueDriver::ItemOutcome QueueDriver::CancelRun() {
  SetItemStatus(vocab::kCancelled);
  list_.FillDownloadList();
  return ItemOutcome::RunCancelled;
}

void QueueDriver::FinishTransfer(uint32_t key, const std::wstring& partFile) {
  DownloadItem& item = *list_.ByKey(key);
  // A transfer counts as complete only when it ended with its data: a read or
  // write failure, an address that could not be opened, a server that knew
  // neither the file nor its size, or an error page in place of the video all
  // make the item "ERROR". An error page is not kept at all.
  const bool errorPage = Download.StatusCode() >= 400;
  bool failed = item.FileSize.starts_with(L"-1") || TransferResult != L"1" || errorPage;
  if (errorPage) DeleteFileW(partFile.c_str());
  if (!failed) {
    const std::wstring finalName = MoveIntoPlace(partFile, host_.DownloadFolder(), item.FileName);
    failed = finalName.empty();
    if (!failed) {
      item.FileName = finalName;
      item.PartFile.clear();
    }
  }
  SetItemStatus(failed ? vocab::kError : vocab::kComplete);
  if (failed) TellFailure(item);
}

void QueueDriver::TellFailure(const DownloadItem& item) {
  // Why the platform refused the request (a certificate above all) is told
  // under the list; the item's status stays "ERROR".
  const std::wstring& reason = Download.FailureReason();
  if (reason.empty()) return;
  const std::wstring& name = item.FileName == vocab::kAutoDetect ? item.Video_URL : item.FileName;
  host_.SetFlashVariable(L"_root.notice", name + L": " + reason);
}

}  // namespace mf
