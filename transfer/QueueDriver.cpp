// The queue driver: the start/stop toggle that every start and stop request
// ends in, and the life of a run from its start to its end, its items handed
// out to the lanes.
#include "transfer/QueueDriver.h"

#include <windows.h>

#include <algorithm>

#include "common/AppPath.h"
#include "common/Platform.h"

namespace mf {

QueueDriver::QueueDriver(DownloadList& list, IRunEvents& host)
    : firstLane_(std::make_unique<ItemRun>(*this, list, host, Messages, 0)),
      first_(*firstLane_),
      Download(first_.Download),
      Resolver(first_.Resolver),
      TransferResult(first_.TransferResult),
      IsFetchingPage(first_.IsFetchingPage),
      list_(list),
      host_(host) {}

QueueDriver::~QueueDriver() = default;

bool QueueDriver::IsConnected() { return Platform().IsOnline(); }

void QueueDriver::SetSimultaneous(int n) {
  simultaneous_ = std::clamp(n, 1, kMostSimultaneous);
  if (IsDownloading && !CancelRequested) FillLanes();
}

void QueueDriver::SetConnectionsPerDownload(int n) {
  connections_ = n;
  for (ItemRun* lane : Lanes()) lane->Download.SetConnectionsPerDownload(n);
}

std::vector<ItemRun*> QueueDriver::Lanes() const {
  std::vector<ItemRun*> lanes{&first_};
  for (const auto& lane : lanes_) lanes.push_back(lane.get());
  return lanes;
}

std::vector<uint32_t> QueueDriver::RunningKeys() const {
  std::vector<uint32_t> keys;
  for (const ItemRun* lane : Lanes())
    if (lane->Busy()) keys.push_back(lane->Key());
  return keys;
}

uint32_t QueueDriver::RunningKey() const {
  const std::vector<uint32_t> keys = RunningKeys();
  return keys.empty() ? 0 : keys.front();
}

int QueueDriver::CurrentIndex() const {
  const uint32_t key = RunningKey();
  std::optional<size_t> at = key ? list_.Find(key) : std::nullopt;
  return at ? static_cast<int>(*at) : -1;
}

QueueDriver::Stage QueueDriver::CurrentStage() const {
  for (const ItemRun* lane : Lanes())
    if (lane->Busy()) return lane->Stage();
  return Stage::Idle;
}

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
  IsDownloading = true;
  CancelRequested = false;
  if (const int64_t wait = MsUntilWindowOpens(); wait > 0) return WaitForWindow(wait);
  host_.RunStarted();
  // One level only; a folder that cannot be made shows up as failed transfers.
  const std::wstring folder = host_.DownloadFolder();
  if (!FolderExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
  CancelRequested = false;
  IsDownloading = true;
  visited_.clear();
  downloaded_ = failed_ = 0;
  ArmWindowEnd();
  FillLanes();
}

// Items are taken up in the list's order as it stands at each free lane,
// by identity: items the user moves, removes or adds meanwhile are neither
// mistaken for one another nor visited twice.
const DownloadItem* QueueDriver::NextItem() const {
  for (const DownloadItem& item : list_.Items())
    if (!visited_.contains(item.Key)) return &item;
  return nullptr;
}

ItemRun* QueueDriver::FreeLane() {
  if (!first_.Busy()) return &first_;
  for (size_t i = 0; i + 1 < static_cast<size_t>(simultaneous_); ++i) {
    if (i == lanes_.size()) {
      lanes_.push_back(
          std::make_unique<ItemRun>(*this, list_, host_, Messages, static_cast<int>(i + 1)));
      lanes_.back()->Download.SetConnectionsPerDownload(connections_);
    }
    if (!lanes_[i]->Busy()) return lanes_[i].get();
  }
  return nullptr;
}

void QueueDriver::FillLanes() {
  while (ItemRun* lane = FreeLane()) {
    const DownloadItem* item = NextItem();
    if (!item) break;
    visited_.insert(item->Key);
    if (item->State == ItemState::Complete || item->State == ItemState::Failed) continue;
    // Begin may end the item at once (a failure before any request), which
    // comes back here: the loop then finds the lanes as they are.
    lane->Begin(item->Key);
  }
  if (RunningKeys().empty() && IsDownloading) EndRun();
}

void QueueDriver::ItemEnded(ItemRun& /*lane*/, uint32_t key) {
  if (const DownloadItem* item = list_.ByKey(key)) {
    downloaded_ += item->State == ItemState::Complete ? 1 : 0;
    failed_ += item->State == ItemState::Failed ? 1 : 0;
  }
  if (CancelRequested) return LaneLetGo();
  FillLanes();
}

void QueueDriver::LaneLetGo() {
  // The run ends once every lane has let go (or, when its hours ended,
  // waits for them to open again).
  if (RunningKeys().empty() && IsDownloading && !waitingForWindow_) EndRun();
}

void QueueDriver::EndRun() {
  if (pausing_) {
    // The hours ended: the run waits for them to open again.
    pausing_ = false;
    return StartDownloading();
  }
  Messages.Cancel(windowTimer_);
  windowTimer_ = 0;
  waitingForWindow_ = false;
  IsDownloading = false;
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
  pausing_ = false;
  // Waiting for its hours, the run has nothing to let go.
  if (waitingForWindow_) return EndRun();
  StopLanes();
}

void QueueDriver::StopLanes() {
  // Taken first: a lane that lets go at once may end the run meanwhile.
  std::vector<ItemRun*> busy = Lanes();
  std::erase_if(busy, [](const ItemRun* lane) { return !lane->Busy(); });
  for (ItemRun* lane : busy) lane->Stop();
}

QueueDriver::TimeOfDay QueueDriver::Now() const {
  const SYSTEMTIME now = LocalTime();
  return {now.wHour * 60 + now.wMinute, now.wSecond * 1000 + now.wMilliseconds};
}

int64_t QueueDriver::MsUntilWindowOpens() const {
  if (!window_) return 0;
  const TimeOfDay now = Now();
  return window_->MsUntilOpen(now.minute, now.ms);
}

void QueueDriver::WaitForWindow(int64_t ms) {
  waitingForWindow_ = true;
  host_.RunWaiting(window_->from);
  windowTimer_ = Messages.After(static_cast<UINT>(ms), [this] {
    windowTimer_ = 0;
    waitingForWindow_ = false;
    StartDownloading();  // which looks at the clock again
  });
}

void QueueDriver::ArmWindowEnd() {
  if (!window_) return;
  const TimeOfDay now = Now();
  const int64_t ms = window_->MsUntilClose(now.minute, now.ms);
  if (ms == TimeWindow::kNever) return;
  windowTimer_ = Messages.After(static_cast<UINT>(ms), [this] {
    windowTimer_ = 0;
    WindowEnded();
  });
}

void QueueDriver::WindowEnded() {
  CancelRequested = true;
  pausing_ = true;
  StopLanes();
  LaneLetGo();  // when no lane was at work
}

bool QueueDriver::Shutdown(DWORD ms) {
  if (IsDownloading) Stop();
  const ULONGLONG end = GetTickCount64() + ms;
  bool all = true;
  for (ItemRun* lane : Lanes()) {
    lane->Resolver.Cancel();
    const ULONGLONG now = GetTickCount64();
    all = lane->Download.StopAll(now < end ? static_cast<DWORD>(end - now) : 0) && all;
    const ULONGLONG later = GetTickCount64();
    all = lane->Stream.StopAll(later < end ? static_cast<DWORD>(end - later) : 0) && all;
  }
  return all;
}

}  // namespace mf
