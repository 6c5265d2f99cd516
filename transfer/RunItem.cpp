// One item of a run on its lane: resolve it, name its file, transfer it into
// a partial file and give the file its final name once all of it is there. A
// failure that may pass (the network, a busy server) is tried again after a
// wait, continuing the partial file. Each step begins here and ends in the
// notification that comes back; the item is found again by its key in each.
#include <windows.h>

#include <algorithm>

#include "common/AppPath.h"
#include "common/ContentDisposition.h"
#include "downloadlist/FileText.h"
#include "resolver/LinkResult.h"
#include "resolver/SiteId.h"
#include "transfer/PartFile.h"
#include "transfer/PieceJournal.h"
#include "transfer/ItemRun.h"
#include "transfer/QueueDriver.h"
#include "transfer/ServerSlots.h"
#include "transfer/StreamJournal.h"
#include "media/StreamRecognition.h"

namespace mf {
namespace {

// Room a name keeps for its ".part" and " (9999)", the highest number a
// taken name gets.
constexpr size_t kNameRoom = std::size(kPartSuffix) - 1 + 7;
constexpr wchar_t kFolderTooLongNotice[] =
    L"The download folder's path is too long to hold a file; choose a shorter folder.";

void ForgetVersion(DownloadItem& item) {
  item.PartETag.clear();
  item.PartModified.clear();
  item.PartLength = -1;
}

// What a request names to get the rest of the version the partial file
// holds: a strong ETag, else its Last-Modified date; empty when neither.
std::wstring RecordedVersion(const DownloadItem& item) {
  if (!item.PartETag.empty() && !item.PartETag.starts_with(L"W/")) return item.PartETag;
  return item.PartModified;
}

// Whether two versions' texts, both given, differ.
bool Differ(const std::wstring& now, const std::wstring& recorded) {
  return !now.empty() && !recorded.empty() && now != recorded;
}

// The item's name as it goes on disk: cleaned, cut to fit the folder with
// room to spare, and kept from naming a device once cut (the "_" it then
// gets has its room too). Empty when the folder leaves no room.
std::wstring DiskName(const std::wstring& folder, const std::wstring& name,
                      const std::wstring& link) {
  const std::wstring clean = CleanFileName(name, FileNameFromAddress(link));
  std::wstring fitted = FitFileName(folder, clean, kNameRoom);
  if (!fitted.empty() && SafeFileName(fitted) != fitted)
    fitted = FitFileName(folder, clean, kNameRoom + 1);
  return fitted.empty() ? fitted : SafeFileName(fitted);
}

int64_t SizeOfFile(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

ItemRun::ItemRun(QueueDriver& driver, DownloadList& list, IRunEvents& host, MessageWindow& messages,
                 int number)
    : Download(messages),
      Stream(messages),
      driver_(driver),
      list_(list),
      host_(host),
      messages_(messages) {
  Download.SetEvents(this);  // hears the control from the start on
  Stream.SetEvents(this);
  Resolver.SetPageFileNumber(number);
}

void ItemRun::Begin(uint32_t key) {
  key_ = key;
  retry_ = 0;
  partFile_.clear();
  TryItem();
}

bool ItemRun::ItemGone() const { return key_ != 0 && !list_.Find(key_); }

void ItemRun::Stop() {
  const RunStage stage = stage_;
  stage_ = RunStage::Stopping;
  switch (stage) {
    case RunStage::Resolving:
      // A page fetch lets go of the page file first; a redirect ends at once.
      if (IsFetchingPage) return CancelPageFetch();
      Resolver.Cancel();
      return LetGo();
    case RunStage::Informing:
    case RunStage::Transferring:
      // The control tells when its request has let go of the file.
      if (streaming_) return Stream.Cancel();
      return Download.CancelDownload();
    case RunStage::Waiting:
      messages_.Cancel(retryTimer_);
      return LetGo();
    case RunStage::Idle:
      stage_ = RunStage::Idle;
      return;
    case RunStage::Stopping:
      return;
  }
}

void ItemRun::LetGo() {
  if (ItemGone()) {
    // Removed while it was worked on: its partial file has no item any more.
    if (!partFile_.empty()) {
      DeleteFileW(partFile_.c_str());
      PieceJournal::Remove(partFile_);
      StreamJournal::Remove(partFile_);
    }
    return ItemEnded();
  }
  // Stopped at the end of its hours, the item goes on when they open again.
  SetState(driver_.pausing_ ? ItemState::Waiting : ItemState::Cancelled);
  stage_ = RunStage::Idle;
  driver_.LaneLetGo();
}

void ItemRun::ItemEnded() {
  if (DownloadItem* item = list_.ByKey(key_)) {
    // A partial file that never got a byte reserves its name no longer; a
    // stream's keeps its saved segments for the next try.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!item->PartFile.empty() && !StreamJournal::Exists(item->PartFile) &&
        GetFileAttributesExW(item->PartFile.c_str(), GetFileExInfoStandard, &data) &&
        data.nFileSizeLow == 0 && data.nFileSizeHigh == 0) {
      DeleteFileW(item->PartFile.c_str());
      PieceJournal::Remove(item->PartFile);
      item->PartFile.clear();
    }
  }
  stage_ = RunStage::Idle;
  driver_.ItemEnded(*this, key_);
}

void ItemRun::TryItem() {
  streamEnd_.reset();
  SetState(ItemState::Preparing);
  stage_ = RunStage::Resolving;
  const std::wstring pageAddress = list_.ByKey(key_)->Video_URL;
  Resolver.GetDownloadLink(pageAddress, [this](const std::wstring& link) { Resolved(link); });
}

void ItemRun::Resolved(const std::wstring& link) {
  if (stage_ == RunStage::Stopping || ItemGone()) return LetGo();
  DownloadItem& item = *list_.ByKey(key_);
  if (link == kLinkUnsupported || link == kLinkNotFound || link == kLinkFetchFailed) {
    ResolutionFailed(link, item.Video_URL);
    return AttemptEnded(LastFailureTransient() ? Attempt::Transient : Attempt::Ended);
  }
  link_ = link;
  if (media::StreamFormatOfAddress(link) != media::StreamFormat::None)
    return AwaitServer([this] { BeginStream(); });
  const int16_t siteId = GetSiteID(item.Video_URL);
  AwaitServer([this, link, siteId] {
    stage_ = RunStage::Informing;
    GetLocalFileInfo(link, siteId, [this](const LocalFileInfo& info) {
      if (stage_ == RunStage::Stopping || ItemGone()) return LetGo();
      // An address that does not look like a playlist may still answer with one.
      if (media::StreamFormatOfContentType(Download.InformationContentType()) !=
          media::StreamFormat::None)
        return BeginStream();
      TakeName(info);
      BeginTransfer();
    });
  });
}

void ItemRun::AwaitServer(const std::function<void()>& next) {
  // The server's connections are all taken by other transfers of ours: the
  // item waits for one rather than be refused.
  if (ServerSlots::HasRoom(ServerSlots::Of(link_))) return next();
  WaitThen(kServerWaitMs, [this, next] { AwaitServer(next); });
}

void ItemRun::WaitThen(UINT ms, std::function<void()> next) {
  stage_ = RunStage::Waiting;
  // A stop, or the item's removal, ends the wait at once.
  retryTimer_ = messages_.After(ms, [this, next = std::move(next)] {
    retryTimer_ = 0;
    if (ItemGone()) return LetGo();
    next();
  });
}

bool ItemRun::ClaimPart() {
  DownloadItem* item = list_.ByKey(key_);
  // A name, wherever it came from, is cleaned, cut to fit the platform's
  // limit with its ".part" and a number, kept from naming a device, and
  // given a free place of its own: no other item, no other file shares it.
  const std::wstring folder = host_.DownloadFolder();
  const std::wstring fitted = DiskName(folder, item->FileName, link_);
  if (fitted.empty()) return AttemptEnded(FolderTooLong()), false;
  const std::wstring name = ClaimFileName(folder, fitted, item->PartFile);
  if (name.empty()) return AttemptEnded(NoFreeName(fitted)), false;
  if (name != item->FileName) {
    item->FileName = name;
    host_.ItemChanged(key_);
  }
  partFile_ = folder + L"\\" + name + kPartSuffix;
  return true;
}

void ItemRun::BeginTransfer() {
  if (!ClaimPart()) return;
  const std::wstring folder = host_.DownloadFolder();
  const ResumePoint resume = PreparePart(key_, partFile_);
  if (!EnoughSpace(folder, resume.from)) return AttemptEnded(Attempt::Ended);

  Download.SetUrl(link_);
  Download.SetLocalFile(partFile_);
  if (resume.from > 0) Download.ResumeFrom(resume.from, resume.ifRange, resume.total);
  resumedFrom_ = resume.from;
  versionRecorded_ = false;
  restartTold_ = false;
  TransferResult.clear();
  stage_ = RunStage::Transferring;
  transferOpen_ = Download.StartDownload();
}

void ItemRun::TransferEnded() {
  transferOpen_ = false;
  host_.TransferEnded(key_);
  // The partial file's bytes now belong to the version of the answer that
  // brought them, also when the transfer was stopped or broke.
  if (DownloadItem* item = list_.ByKey(key_); item && resumedFrom_ == 0 && Download.FileOpened())
    RecordVersion(*item);
  // A stopped or failed transfer keeps its partial file.
  if (stage_ == RunStage::Stopping || ItemGone()) return LetGo();
  AttemptEnded(FinishTransfer(key_, partFile_));
}

void ItemRun::AttemptEnded(Attempt attempt) {
  // Done, failed for good, or gone; or no tries left: it stays "ERROR".
  // A server busy with our other transfers has shown it takes fewer: it
  // gets fewer, and this try does not count.
  const DWORD status = LastStatus();
  const std::wstring server = ServerSlots::Of(link_);
  const bool crowded = attempt == Attempt::Transient && (status == 503 || status == 429) &&
                       ServerSlots::Busy(server);
  if (crowded) {
    ServerSlots::StepDown(server);
    return WaitThen(kServerWaitMs, [this] { TryItem(); });
  }
  if (attempt != Attempt::Transient || retry_ == QueueDriver::kRetries) return ItemEnded();
  SetState(ItemState::Retrying, retry_ + 1);
  WaitThen(RetryWait(retry_), [this] {
    ++retry_;
    TryItem();
  });
}

ItemRun::ResumePoint ItemRun::PreparePart(uint32_t key, const std::wstring& partFile) {
  DownloadItem& item = *list_.ByKey(key);
  const int64_t have = item.PartFile == partFile ? SizeOfFile(partFile) : 0;
  item.PartFile = partFile;
  // Bytes go on only with the version they belong to. A version the
  // information request names otherwise makes them worthless: they are cut
  // before anything new is recorded. An information request that failed or
  // named none leaves the recorded version, which the request then names.
  const std::wstring modified =
      Download.LastModified() == Download::kNotAvailable ? L"" : Download.LastModified();
  const int64_t length = Download.ContentLength();
  const bool changed =
      Download.InformationAnswered() &&
      (Differ(Download.ETag(), item.PartETag) || Differ(modified, item.PartModified) ||
       (length >= 0 && item.PartLength >= 0 && length != item.PartLength));
  if (have > 0 && !changed && !RecordedVersion(item).empty())
    return {have, RecordedVersion(item), item.PartLength};
  if (have > 0) EmptyPartFile(partFile);
  ForgetVersion(item);
  return {};
}

void ItemRun::RecordVersion(DownloadItem& item) {
  item.PartETag = Download.AnswerETag();
  item.PartModified = Download.AnswerLastModified();
  // The information request's length when it gave one: an answer may
  // announce more than it brings.
  const int64_t informed = Download.InformedLength();
  const int64_t length = informed >= 0 ? informed : Download.AnswerFileLength();
  item.PartLength = length >= 0 ? length : -1;
}

bool ItemRun::EnoughSpace(const std::wstring& folder, int64_t have) {
  const int64_t length = Download.ContentLength();
  ULARGE_INTEGER free{};
  // A size the server did not tell, or a folder the system cannot tell about,
  // is tried: the transfer reports a full disk by itself.
  if (length <= have || !GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr) ||
      free.QuadPart >= static_cast<uint64_t>(length - have))
    return true;
  const std::wstring reason = L"there is not enough free space in the download folder (" +
                              FormatFileSize(static_cast<float>(length - have)) + L" needed, " +
                              FormatFileSize(static_cast<float>(free.QuadPart)) + L" free).";
  Notice(reason);
  Fail(ItemFailure::None, reason);
  return false;
}

ItemRun::Attempt ItemRun::FolderTooLong() {
  // Nothing is written anywhere else: the item fails and says why.
  host_.ItemNotice(0, kFolderTooLongNotice);
  Fail(ItemFailure::None, kFolderTooLongNotice);
  return Attempt::Ended;
}

ItemRun::Attempt ItemRun::NoFreeName(const std::wstring& name) {
  const std::wstring reason = L"every name up to \"" + NumberedName(name, kMaxNameNumber) +
                              L"\" is taken in the download folder.";
  Notice(reason);
  Fail(ItemFailure::None, reason);
  return Attempt::Ended;
}

ItemRun::Attempt ItemRun::FinishTransfer(uint32_t key, const std::wstring& partFile) {
  DownloadItem& item = *list_.ByKey(key);
  const Download::Resume resume = Download.LastResume();
  if (resume == Download::Resume::Refused) {
    // Another part or another version of the file came: the partial file
    // cannot be continued, and the next try starts it again.
    EmptyPartFile(partFile);
    ForgetVersion(item);
    Fail();
    return Attempt::Transient;
  }
  // Complete only when the transfer verified that the whole file came: a
  // failure, an error answer, an answer that brought no file, or a server
  // that knew neither the file nor its size make the item "ERROR". Nothing
  // but the file's own bytes was ever written into the partial file.
  const bool complete = TransferResult == L"1";
  bool failed = !complete || item.Size == SizeKnown::NoFile;
  if (!failed) {
    const std::wstring folder = host_.DownloadFolder();
    const std::wstring finalName = MoveIntoPlace(partFile, folder, item.FileName);
    failed = finalName.empty();
    if (!failed) {
      MarkFromInternet(folder + L"\\" + finalName, Download.FinalUrl(), item.Video_URL);
      item.FileName = finalName;
      item.PartFile.clear();
      ForgetVersion(item);
    }
  }
  if (!failed) {
    SetState(ItemState::Complete);
    return Attempt::Ended;
  }
  Fail(ItemFailure::None, Download.FailureReason());
  TellFailure();
  return !complete && LastFailureTransient() ? Attempt::Transient : Attempt::Ended;
}

DWORD ItemRun::LastStatus() const {
  return streamEnd_ ? static_cast<DWORD>(streamEnd_->status) : Download.StatusCode();
}

bool ItemRun::LastFailureTransient() const {
  const DWORD status = Download.StatusCode();
  if (status >= 500 || status == 429 || status == 408) return true;
  if (status >= 400) return false;         // the server said no
  if (Download.OverLimit()) return false;  // a page too large stays too large
  if (TransferResult == Download::kCouldNotReadUrl) return true;  // the data stopped coming
  // Not a certificate refused, a full disk, an address without a server.
  return IsPassing(Download.LastNetError());
}

DWORD ItemRun::RetryWait(int retry) const {
  // A server that says when to come back is heeded, up to a minute.
  const uint64_t asked = streamEnd_ ? streamEnd_->retryAfter : Download.RetryAfter();
  if (!asked) return driver_.RetryWaitsMs[static_cast<size_t>(retry)];
  return asked > driver_.MaxRetryAfterMs / 1000 ? driver_.MaxRetryAfterMs
                                                : static_cast<DWORD>(asked * 1000);
}

void ItemRun::TellFailure() {
  // Why the platform refused the request (a certificate above all) is told
  // under the list; the item's status stays "ERROR".
  const std::wstring& reason = Download.FailureReason();
  if (!reason.empty()) Notice(reason);
}

void ItemRun::Notice(const std::wstring& text) { host_.ItemNotice(key_, text); }

}  // namespace mf
