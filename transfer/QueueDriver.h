#pragma once
// The queue driver: works through the Download list, several items at once,
// each on a lane of its own (see ItemRun.h); and the start/stop toggle that
// every start and stop request ends in. It knows no window: it tells its
// owner what happens through IRunEvents.
//
// A run is a state machine. Each item goes through its steps (its page, the
// YouTube redirect, the information request, the transfer, a wait before a
// try again, its end), each begun by one call and ended by the notification
// that comes back: from a download control, a resolver or a timer, all
// messages of the driver's own message-only window. Start returns at once;
// nothing waits in a loop.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/MessageWindow.h"
#include "common/TimeWindow.h"
#include "downloadlist/DownloadList.h"
#include "media/StreamPlan.h"
#include "transfer/ItemRun.h"
#include "transfer/RunEvents.h"

namespace mf {

namespace test {
class TestProgram;
}

class QueueDriver {
 public:
  // Pages larger than this are no video pages; their fetch fails.
  static constexpr int64_t kMaxPageBytes = 16LL << 20;
  using Stage = RunStage;
  // Items worked on at once: from 1 to this many.
  static constexpr int kMostSimultaneous = 8;

  QueueDriver(DownloadList& list, IRunEvents& host);
  ~QueueDriver();
  QueueDriver(const QueueDriver&) = delete;
  QueueDriver& operator=(const QueueDriver&) = delete;

  // The start/stop toggle (the start button's click). While a run is under
  // way it asks to stop it; a start asked while a stopped run is still ending
  // begins once that run has ended, so runs never overlap.
  void cmdStartDownload_Click();
  // Begins a run through the Download list; it goes on by itself.
  void StartDownloading();
  bool IsConnected();

  // How many items a run works on at once (clamped to 1..8); a run under way
  // takes up more, or lets the lanes beyond run out, at its next item.
  void SetSimultaneous(int n);
  int Simultaneous() const noexcept { return simultaneous_; }
  // The hours in which downloads may run (none: at any time). Start waits
  // for them, and a run stops at their end and goes on when they open again.
  void SetTimeWindow(std::optional<TimeWindow> window) { window_ = window; }
  // A run waits for its hours to open.
  bool WaitingForWindow() const noexcept { return waitingForWindow_; }
  // The local time of day; tests set a clock of their own.
  std::function<SYSTEMTIME()> LocalTime = [] {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now;
  };
  // The connections each item's file may take (see Download); from the
  // next request of each lane on.
  void SetConnectionsPerDownload(int n);

  // Outside a run, through the first lane (see ItemRun).
  void PrepareItem(int16_t position, const std::function<void(const std::wstring&)>& done) {
    first_.PrepareItem(position, done);
  }
  void GetLocalFileInfo(const std::wstring& sLink, int16_t siteId,
                        const std::function<void(const LocalFileInfo&)>& done) {
    first_.GetLocalFileInfo(sLink, siteId, done);
  }

  bool IsDownloading = false;  // a run is under way, until it has wholly ended
  bool CancelRequested = false;
  // The first item being worked on, by its key (0: none), and its position
  // now (-1 when there is none or it went).
  uint32_t RunningKey() const;
  int CurrentIndex() const;
  // The stage of the first lane at work; Idle when none is.
  Stage CurrentStage() const;
  // The keys of the items being worked on.
  std::vector<uint32_t> RunningKeys() const;

  // A failure that may pass is tried again this many more times, after
  // these waits; a server's Retry-After is heeded up to the last figure.
  static constexpr int kRetries = 3;
  std::array<DWORD, kRetries> RetryWaitsMs{1000, 4000, 16000};
  // The version of a stream saved: the user's "Video quality".
  media::Quality VideoQuality = media::Quality::Best;
  DWORD MaxRetryAfterMs = 60000;

  // The one message-only window the run's notifications come through.
  MessageWindow Messages;

 private:
  std::unique_ptr<ItemRun> firstLane_;  // made first: the members below name it
  ItemRun& first_;

 public:
  // The first lane's download control and resolver: the only ones while one
  // item goes at a time, and the ones that work outside a run.
  mf::Download& Download;
  LinkResolver& Resolver;
  // The first lane's page fetch and transfer.
  std::wstring& TransferResult;
  bool& IsFetchingPage;

  // Shutdown: the run stops, and its requests are given up to `ms` to let
  // go; true when all did.
  bool Shutdown(DWORD ms);

 private:
  friend class ItemRun;  // hears the lanes' ends, and whether a stop is a pause
  friend class test::TestProgram;
  bool BeginRun();
  void StopOrQueueStart();
  void Stop();
  void StopLanes();
  const DownloadItem* NextItem() const;
  // Takes up items while lanes are free; ends the run when none is at work.
  void FillLanes();
  ItemRun* FreeLane();
  // Every lane made so far, the first first.
  std::vector<ItemRun*> Lanes() const;
  // From a lane: its item ended (done, failed or gone), or let go after a stop.
  void ItemEnded(ItemRun& lane, uint32_t key);
  void LaneLetGo();
  void EndRun();
  // The hours: how long until they open (0: open now), the wait for them,
  // and the stop at their end.
  struct TimeOfDay {
    int minute, ms;  // minutes after midnight, and into the minute
  };
  TimeOfDay Now() const;
  int64_t MsUntilWindowOpens() const;
  void WaitForWindow(int64_t ms);
  void ArmWindowEnd();
  void WindowEnded();

  DownloadList& list_;
  IRunEvents& host_;
  std::vector<std::unique_ptr<ItemRun>> lanes_;  // after the first
  int simultaneous_ = 3;
  int connections_ = mf::Download::kDefaultConnections;
  bool startQueued_ = false;    // a start asked while a stopped run was ending
  std::set<uint32_t> visited_;  // the items this run has taken up
  int downloaded_ = 0, failed_ = 0;
  std::optional<TimeWindow> window_;
  MessageWindow::Timer windowTimer_ = 0;  // its opening while waiting, its end while running
  bool waitingForWindow_ = false;
  bool pausing_ = false;  // the hours ended: the lanes let go, and the run goes on later
};

}  // namespace mf
