#pragma once
// The queue driver: works through the Download list one item at a time,
// resolving each item's page, naming its file and transferring it with the
// one download control; and the start/stop toggle that every start and stop
// request ends in. It knows no window: it tells its owner what happens
// through IRunEvents.
//
// A run is a state machine. Each item goes through its steps (its page, the
// YouTube redirect, the information request, the transfer, a wait before a
// try again, its end), each begun by one call and ended by the notification
// that comes back: from the download control, the resolver or a timer, all
// messages of the driver's own message-only window. Start returns at once;
// nothing waits in a loop.
#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "common/MessageWindow.h"
#include "downloadlist/DownloadList.h"
#include "resolver/LinkResolver.h"
#include "transfer/Download.h"
#include "transfer/LocalFileInfo.h"
#include "transfer/RunEvents.h"

namespace mf {

class QueueDriver : private IDownloadEvents, private IResolverHost {
 public:
  // Pages larger than this are no video pages; their fetch fails.
  static constexpr int64_t kMaxPageBytes = 16LL << 20;

  // Where a run stands.
  enum class Stage {
    Idle,          // no run
    Resolving,     // the item's page, and for YouTube its player's redirect
    Informing,     // the information request about the video file
    Transferring,  // the video file arrives
    Waiting,       // a failure that may pass: the next try comes after a wait
    Stopping,      // a stop was asked; the step under way is letting go
  };

  QueueDriver(DownloadList& list, IRunEvents& host);
  QueueDriver(const QueueDriver&) = delete;
  QueueDriver& operator=(const QueueDriver&) = delete;

  // The start/stop toggle (the start button's click). While a run is under
  // way it asks to stop it; a start asked while a stopped run is still ending
  // begins once that run has ended, so runs never overlap.
  void cmdStartDownload_Click();
  // Begins a run through the Download list; it goes on by itself.
  void StartDownloading();
  bool IsConnected();

  // Resolves the item at this position: the link, or "-1" when there is none,
  // to `done` (the item's status and fields show the steps as a run does).
  void PrepareItem(int16_t position, const std::function<void(const std::wstring&)>& done);
  // Asks the server about the resolved file link and derives the local file
  // name and the size text, to `done`; `siteId` is the site of the item's
  // page address.
  void GetLocalFileInfo(const std::wstring& sLink, int16_t siteId,
                        const std::function<void(const LocalFileInfo&)>& done);

  // Handlers of the download control's notifications.
  void Download_DownloadComplete();
  void Download_DownloadProgress(long& lProgress);
  void Download_DownloadError(std::wstring& sErrorDescription);

  bool IsDownloading = false;  // a run is under way, until it has wholly ended
  bool CancelRequested = false;
  // The item being worked on, by its key (0: none): positions change under a
  // run whenever the user removes or moves items.
  uint32_t RunningKey = 0;
  // The running item's position now; -1 when there is none or it went.
  int CurrentIndex() const;
  // "" before a page fetch; "1" once a transfer completed, else its error text.
  std::wstring TransferResult;
  bool IsFetchingPage = false;  // the running transfer fetches a page
  Stage CurrentStage() const noexcept { return stage_; }

  // A failure that may pass is tried again this many more times, after
  // these waits; a server's Retry-After is heeded up to the last figure.
  static constexpr int kRetries = 3;
  std::array<DWORD, kRetries> RetryWaitsMs{1000, 4000, 16000};
  DWORD MaxRetryAfterMs = 60000;

  // The one message-only window the run's notifications come through.
  MessageWindow Messages;
  // The one download control, which fetches pages and files.
  mf::Download Download{Messages};
  LinkResolver Resolver{*this};

  // Shutdown: the run stops, and its requests are given up to `ms` to let
  // go; true when all did.
  bool Shutdown(DWORD ms);

 private:
  // How one try at an item ended: for good (done or failed), with a failure
  // that may pass, stopped, or with the item gone.
  enum class Attempt { Ended, Transient, Cancelled, Gone };
  // Where a partial file goes on: nothing (from the start), or the bytes it
  // holds, the version they belong to and the whole file's length.
  struct ResumePoint {
    int64_t from = 0;
    std::wstring ifRange;
    int64_t total = -1;
  };
  bool BeginRun();
  void StopOrQueueStart();
  void Stop();
  const DownloadItem* NextItem() const;
  // The steps of a run.
  void NextItemOfRun();
  void TryItem();
  void Resolved(const std::wstring& link);
  void Informed();
  void BeginTransfer();
  void TransferEnded();
  void AttemptEnded(Attempt attempt);
  void ItemEnded();
  void EndRun();
  // The step under way let go after a stop (or its item went): the item ends.
  void LetGo();
  bool ItemGone() const;

  // The parts of a step.
  // The running item failed to resolve: it says why.
  std::wstring ResolutionFailed(const std::wstring& code, const std::wstring& pageAddress);
  LocalFileInfo NameFromInformation(const std::wstring& sLink, int16_t siteId);
  ResumePoint PreparePart(uint32_t key, const std::wstring& partFile);
  // The version of the answer whose bytes the partial file now holds.
  void RecordVersion(DownloadItem& item);
  bool EnoughSpace(const std::wstring& folder, int64_t have);
  bool LastFailureTransient() const;
  DWORD RetryWait(int retry) const;
  Attempt FolderTooLong();
  Attempt NoFreeName(const std::wstring& name);
  Attempt FinishTransfer(uint32_t key, const std::wstring& partFile);
  void TellFailure();
  void Notice(const std::wstring& text);
  // The running item's state (and the number it shows with it), told at once.
  bool SetState(ItemState state, int progress = 0);
  // The running item failed: why, in the words of `failure` and `reason`.
  void Fail(ItemFailure failure = ItemFailure::None, const std::wstring& reason = {});
  // The running item takes what the information request said of its file.
  void TakeName(const LocalFileInfo& info);

  // IDownloadEvents
  void DownloadComplete() override { Download_DownloadComplete(); }
  void DownloadProgress(long& p) override { Download_DownloadProgress(p); }
  void DownloadError(std::wstring& s) override { Download_DownloadError(s); }
  void DownloadCancelled(long& position) override;
  void InformationReady() override;
  // IResolverHost: the page goes through the same control and handlers.
  void FetchPage(const std::wstring& address, const std::wstring& file,
                 std::function<void(bool ok, const PageAnswer& answer)> done) override;
  void CancelPageFetch() override;
  void ConnectionError(const std::wstring& description) override;
  void PageEnded(bool ok);

  DownloadList& list_;
  IRunEvents& host_;
  Stage stage_ = Stage::Idle;
  bool startQueued_ = false;    // a start asked while a stopped run was ending
  std::set<uint32_t> visited_;  // the items this run has taken up
  int downloaded_ = 0, failed_ = 0;
  int retry_ = 0;  // the running item's tries again so far
  MessageWindow::Timer retryTimer_ = 0;
  std::wstring link_;      // the running item's video file address
  std::wstring partFile_;  // and the partial file it arrives in
  int64_t resumedFrom_ = 0;
  std::function<void(bool, const PageAnswer&)> pageDone_;
  std::function<void()> informed_;  // what follows the running information request
  bool restartTold_ = false;        // the user heard that the server sent the file whole again
  long shownProgress_ = -1;         // the last progress value told
};

}  // namespace mf
