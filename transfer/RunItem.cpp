// One item of a run: resolve it, name its file, transfer it into a partial
// file and give the file its final name once all of it is there. A failure
// that may pass (the network, a busy server) is tried again after a wait,
// continuing the partial file. The item is found again by its key after
// every step that yields to the message loop.
#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "common/AppPath.h"
#include "common/DoEvents.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "transfer/PartFile.h"
#include "transfer/QueueDriver.h"

namespace mf {
namespace {

constexpr size_t kNumberRoom = 7;  // " (9999)", the highest number MoveIntoPlace gives
constexpr wchar_t kFolderTooLongNotice[] =
    L"The download folder's path is too long to hold a file; choose a shorter folder.";

int64_t SizeOfFile(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

QueueDriver::ItemOutcome QueueDriver::DownloadItemAt(uint32_t key) {
  RunningKey = key;
  for (int retry = 0;; ++retry) {
    const Attempt attempt = TryItem(key);
    if (attempt == Attempt::Cancelled) return CancelRun();
    // Done, failed for good, or gone; or no tries left: it stays "ERROR".
    if (attempt != Attempt::Transient || retry == kRetries) return ItemOutcome::Transferred;
    if (!WaitBeforeRetry(retry)) return CancelRequested ? CancelRun() : ItemOutcome::Skipped;
  }
}

QueueDriver::Attempt QueueDriver::TryItem(uint32_t key) {
  host_.LocateCurrentRow();
  const std::wstring link = Prepare(key);
  list_.FillDownloadList();
  if (CancelRequested) return Attempt::Cancelled;
  DownloadItem* item = list_.ByKey(key);
  if (!item) return Attempt::Gone;  // the user removed it: the run goes on
  if (item->Status == vocab::kError)
    return LastFailureTransient() ? Attempt::Transient : Attempt::Ended;

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
  const ResumePoint resume = PreparePart(key, partFile);
  if (!EnoughSpace(key, folder, resume.from)) return Attempt::Ended;

  Download.SetUrl(link);
  Download.SetLocalFile(partFile);
  if (resume.from > 0) Download.ResumeFrom(resume.from, resume.ifRange, resume.total);
  restartTold_ = false;
  host_.LocateCurrentRow();
  Download.StartDownload();
  host_.EndTransferProgress();

  // A stopped or failed transfer keeps its partial file.
  if (CancelRequested) return Attempt::Cancelled;
  if (!list_.ByKey(key)) {
    // Removed while it arrived: its partial file has no item any more.
    DeleteFileW(partFile.c_str());
    return Attempt::Gone;
  }
  const Attempt attempt = FinishTransfer(key, partFile);
  list_.FillDownloadList();
  return attempt;
}

QueueDriver::ResumePoint QueueDriver::PreparePart(uint32_t key, const std::wstring& partFile) {
  DownloadItem& item = *list_.ByKey(key);
  const std::wstring eTag = Download.ETag();
  const std::wstring modified =
      Download.LastModified() == Download::kNotAvailable ? L"" : Download.LastModified();
  const int64_t length = Download.ContentLength();
  const std::wstring lengthText = length >= 0 ? std::to_wstring(length) : L"";
  const int64_t have = item.PartFile == partFile ? SizeOfFile(partFile) : 0;
  item.PartFile = partFile;
  // Only a partial file of the very same version of the file is continued:
  // an ETag, a Last-Modified or a length that differs means another file.
  const bool versioned = !item.PartETag.empty() || !item.PartModified.empty();
  const bool same = versioned && item.PartETag == eTag && item.PartModified == modified &&
                    (item.PartLength.empty() || item.PartLength == lengthText);
  if (have > 0 && same)
    return {have, !eTag.empty() ? eTag : modified, length};
  // A new partial file: what the server says of it now is what later
  // attempts must find again.
  item.PartETag = eTag;
  item.PartModified = modified;
  item.PartLength = lengthText;
  return {};
}

bool QueueDriver::EnoughSpace(uint32_t key, const std::wstring& folder, int64_t have) {
  const int64_t length = Download.ContentLength();
  ULARGE_INTEGER free{};
  // A size the server did not tell, or a folder the system cannot tell about,
  // is tried: the transfer reports a full disk by itself.
  if (length <= have || !GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr) ||
      free.QuadPart >= static_cast<uint64_t>(length - have))
    return true;
  const DownloadItem& item = *list_.ByKey(key);
  host_.SetFlashVariable(
      L"_root.notice",
      item.FileName + L": there is not enough free space in the download folder (" +
          FormatFileSize(static_cast<float>(length - have)) + L" needed, " +
          FormatFileSize(static_cast<float>(free.QuadPart)) + L" free).");
  SetItemStatus(vocab::kError);
  list_.FillDownloadList();
  return false;
}

QueueDriver::Attempt QueueDriver::FolderTooLong() {
  // Nothing is written anywhere else: the item fails and says why.
  host_.SetFlashVariable(L"_root.notice", kFolderTooLongNotice);
  SetItemStatus(vocab::kError);
  list_.FillDownloadList();
  return Attempt::Ended;
}

QueueDriver::ItemOutcome QueueDriver::CancelRun() {
  SetItemStatus(vocab::kCancelled);
  list_.FillDownloadList();
  return ItemOutcome::RunCancelled;
}

QueueDriver::Attempt QueueDriver::FinishTransfer(uint32_t key, const std::wstring& partFile) {
  DownloadItem& item = *list_.ByKey(key);
  const Download::Resume resume = Download.LastResume();
  if (resume == Download::Resume::Refused) {
    // Another part or another version of the file came: the partial file
    // cannot be continued, and the next try starts it again.
    DeleteFileW(partFile.c_str());
    item.PartETag.clear();
    item.PartModified.clear();
    SetItemStatus(vocab::kError);
    return Attempt::Transient;
  }
  // A transfer counts as complete only when it ended with its data: a read or
  // write failure, an address that could not be opened, a server that knew
  // neither the file nor its size, or an error page in place of the video all
  // make the item "ERROR". An error page written into the partial file is not
  // kept at all; one that answered a resume left the file as it was.
  const bool complete = resume == Download::Resume::AlreadyComplete ||
                        (TransferResult == L"1" && Download.StatusCode() < 400);
  if (!complete && Download.StatusCode() >= 400 && resume == Download::Resume::NotAsked)
    DeleteFileW(partFile.c_str());
  bool failed = !complete || item.FileSize.starts_with(L"-1");
  if (!failed) {
    const std::wstring finalName = MoveIntoPlace(partFile, host_.DownloadFolder(), item.FileName);
    failed = finalName.empty();
    if (!failed) {
      item.FileName = finalName;
      item.PartFile.clear();
      item.PartETag.clear();
      item.PartModified.clear();
      item.PartLength.clear();
    }
  }
  SetItemStatus(failed ? vocab::kError : vocab::kComplete);
  if (!failed) return Attempt::Ended;
  TellFailure(item);
  return !complete && LastFailureTransient() ? Attempt::Transient : Attempt::Ended;
}

bool QueueDriver::LastFailureTransient() const {
  const DWORD status = Download.StatusCode();
  if (status >= 500 || status == 429 || status == 408) return true;
  if (status >= 400) return false;  // the server said no
  if (TransferResult == Download::kCouldNotReadUrl) return true;  // the data stopped coming
  switch (Download.LastError()) {
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_TIMEOUT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      return true;
    default:  // a certificate refused, a full disk, an address without a server
      return false;
  }
}

bool QueueDriver::WaitBeforeRetry(int retry) {
  // A server that says when to come back is heeded, up to a minute.
  const DWORD asked = Download.RetryAfter();
  const DWORD wait = asked ? std::min<DWORD>(asked * 1000, MaxRetryAfterMs)
                           : RetryWaitsMs[static_cast<size_t>(retry)];
  const std::wstring status = L"Retrying (" + std::to_wstring(retry + 1) + L" of " +
                              std::to_wstring(kRetries) + L")...";
  SetItemStatus(status);
  host_.ShowCurrentStatus(status);
  // The wait sleeps until a message comes or the time is up; a stop comes as
  // a message and ends it at once.
  const ULONGLONG end = GetTickCount64() + wait;
  for (;;) {
    if (StopRequested()) return false;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return true;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    DoEvents();
  }
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
