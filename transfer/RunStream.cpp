// A lane's stream: a playlist or manifest saved as one movie. The item is
// named after its page or its playlist, its segments go beside its partial
// file, and the movie takes the item's name once it is written whole.
#include <windows.h>

#include "common/ContentDisposition.h"
#include "media/StreamRecognition.h"
#include "transfer/ItemRun.h"
#include "transfer/PartFile.h"
#include "transfer/PieceJournal.h"
#include "transfer/QueueDriver.h"
#include "transfer/StreamJournal.h"

namespace mf {
namespace {

constexpr wchar_t kSavedAsTransportStream[] =
    L"the stream's video or sound is not H.264 and AAC, so it was saved as it came, as one .ts "
    L"file.";
constexpr wchar_t kNotRenamed[] = L"The movie could not be given its name in the download folder.";

std::wstring WithoutExtension(std::wstring name) {
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return name;
}

int64_t LengthOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

std::wstring ItemRun::StreamName(const DownloadItem& item) const {
  // The page's name; the playlist's when the address given was the playlist.
  const bool page = item.Video_URL != link_ &&
                    media::StreamFormatOfAddress(item.Video_URL) == media::StreamFormat::None;
  std::wstring name = WithoutExtension(FileNameFromAddress(page ? item.Video_URL : link_));
  if (name.empty()) name = WithoutExtension(FileNameFromAddress(link_));
  return (name.empty() ? std::wstring(L"video") : name) + L".mp4";
}

void ItemRun::BeginStream() {
  DownloadItem* item = list_.ByKey(key_);
  // Only a name that is not known is given: a name the user typed stays.
  if (item->FileName.empty()) item->FileName = StreamName(*item);
  if (!ClaimPart()) return;
  // Segments beside a partial file that was not this item's belong to no one.
  if (item->PartFile != partFile_) StreamJournal::Remove(partFile_);
  item->PartFile = partFile_;
  item->Size = SizeKnown::Segments;
  item->Received = 0;
  host_.ItemChanged(key_);
  TransferResult.clear();
  stage_ = RunStage::Transferring;
  streaming_ = Stream.Start({.url = link_,
                             .partFile = partFile_,
                             .quality = driver_.VideoQuality,
                             .connections = Download.ConnectionsPerDownload()});
}

void ItemRun::StreamProgress(const StreamEvent& progress) {
  if (ItemGone()) return Stream.Cancel();
  DownloadItem* item = list_.ByKey(key_);
  if (!item || stage_ != RunStage::Transferring) return;
  // By bytes where the segments' sizes are known, by segments otherwise.
  item->Received = progress.bytes;
  int percent = 0;
  if (progress.total > 0) {
    item->Size = SizeKnown::Length;
    item->FileLength = progress.total;
  } else {
    item->Size = SizeKnown::Segments;
    percent = progress.count ? static_cast<int>(100 * progress.saved / progress.count) : 0;
  }
  SetState(ItemState::Arriving, percent);
  host_.TransferProgress(key_, progress.bytes,
                         progress.total > 0 ? static_cast<float>(progress.total) : -1.0f);
}

void ItemRun::StreamEnded(const StreamEvent& end) {
  streaming_ = false;
  streamEnd_ = end;
  host_.TransferEnded(key_);
  if (ItemGone() || (end.kind != StreamEvent::Done && stage_ == RunStage::Stopping)) return LetGo();
  const Attempt attempt = FinishStream(end);
  if (stage_ != RunStage::Stopping) return AttemptEnded(attempt);
  // The movie was written whole as the stop came: it is kept, complete.
  stage_ = RunStage::Idle;
  driver_.LaneLetGo();
}

ItemRun::Attempt ItemRun::FinishStream(const StreamEvent& end) {
  DownloadItem& item = *list_.ByKey(key_);
  if (end.kind != StreamEvent::Done) {
    // A refused stream leaves nothing behind.
    if (end.failure == StreamEvent::Refused) DropPart(item);
    Fail(ItemFailure::None, end.reason);
    Notice(end.reason);
    return end.failure == StreamEvent::Passing ? Attempt::Transient : Attempt::Ended;
  }
  if (end.movie == media::MovieKind::TransportStream) {
    item.FileName = WithoutExtension(item.FileName) + L".ts";
    Notice(kSavedAsTransportStream);
  }
  const std::wstring folder = host_.DownloadFolder();
  const std::wstring finalName = MoveIntoPlace(partFile_, folder, item.FileName);
  if (finalName.empty()) {
    Fail(ItemFailure::None, kNotRenamed);
    return Attempt::Ended;
  }
  MarkFromInternet(folder + L"\\" + finalName, end.finalUrl, item.Video_URL);
  item.FileName = finalName;
  item.PartFile.clear();
  item.Size = SizeKnown::Length;
  item.FileLength = item.Received = LengthOf(folder + L"\\" + finalName);
  SetState(ItemState::Complete);
  return Attempt::Ended;
}

void ItemRun::DropPart(DownloadItem& item) {
  if (item.PartFile.empty()) return;
  DeleteFileW(item.PartFile.c_str());
  PieceJournal::Remove(item.PartFile);
  StreamJournal::Remove(item.PartFile);
  item.PartFile.clear();
}

}  // namespace mf
