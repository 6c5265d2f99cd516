#pragma once
// The queue driver: works through the Download list one item at a time,
// resolving each item's page, naming its file and transferring it with the
// one download control; and the start/stop toggle that every start and stop
// request ends in. It creates no window; it reaches the window through
// IQueueHost.
#include <array>
#include <cstdint>
#include <set>
#include <string>

#include "downloadlist/DownloadList.h"
#include "resolver/LinkResolver.h"
#include "transfer/Download.h"
#include "transfer/LocalFileInfo.h"
#include "transfer/QueueHost.h"

namespace mf {

class QueueDriver : private IDownloadEvents, private IResolverHost {
 public:
  // Pages larger than this are no video pages; their fetch fails.
  static constexpr int64_t kMaxPageBytes = 16LL << 20;

  QueueDriver(DownloadList& list, IQueueHost& host);
  QueueDriver(const QueueDriver&) = delete;
  QueueDriver& operator=(const QueueDriver&) = delete;

  // The start/stop toggle (the start button's click). While a run is under
  // way it asks to stop it; a start asked while a stopped run is still ending
  // waits for that run to end and then begins, so runs never nest.
  void cmdStartDownload_Click();
  // Works through the Download list; returns when the run is over.
  void StartDownloading();
  bool IsConnected();

  // Resolves the item at this position: the link, or "-1" when there is none
  // (or the run stopped, or the item went, meanwhile).
  std::wstring PrepareItem(int16_t position);
  // Asks the server about the resolved file link and derives the local file
  // name and the size text; `siteId` is the site of the item's page address.
  LocalFileInfo GetLocalFileInfo(const std::wstring& sLink, int16_t siteId);

  // Handlers of the download control's notifications.
  void Download_DownloadComplete();
  void Download_DownloadProgress(long& lProgress);
  void Download_DownloadError(std::wstring& sErrorDescription);

  bool IsDownloading = false;   // a run is under way, until it has wholly ended
  bool CancelRequested = false;
  // The item being worked on, by its key (0: none): positions change under a
  // run whenever the user removes or moves items.
  uint32_t RunningKey = 0;
  // The running item's position now; -1 when there is none or it went.
  int CurrentIndex() const;
  // "" before a page fetch; "1" once a transfer completed, else its error text.
  std::wstring TransferResult;
  bool IsFetchingPage = false;  // the running transfer fetches a page

  // A failure that may pass is tried again this many more times, after
  // these waits; a server's Retry-After is heeded up to the last figure.
  static constexpr int kRetries = 3;
  std::array<DWORD, kRetries> RetryWaitsMs{1000, 4000, 16000};
  DWORD MaxRetryAfterMs = 60000;

  // The one download control, which fetches pages and files.
  mf::Download Download;
  LinkResolver Resolver{*this};

 private:
  enum class ItemOutcome { Skipped, Transferred, RunCancelled };
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
  void ShowRunning(bool running);
  const DownloadItem* NextItem(const std::set<uint32_t>& visited) const;
  ItemOutcome DownloadItemAt(uint32_t key);
  ItemOutcome TryUntilEnd(uint32_t key);
  Attempt TryItem(uint32_t key);
  ResumePoint PreparePart(uint32_t key, const std::wstring& partFile);
  // The version of the answer whose bytes the partial file now holds.
  void RecordVersion(DownloadItem& item);
  Attempt NoFreeName(const std::wstring& name);
  bool EnoughSpace(uint32_t key, const std::wstring& folder, int64_t have);
  bool LastFailureTransient() const;
  // False when a stop (or the item's removal) ended the wait.
  bool WaitBeforeRetry(int retry);
  ItemOutcome CancelRun();
  Attempt FolderTooLong();
  Attempt FinishTransfer(uint32_t key, const std::wstring& partFile);
  void TellFailure(const DownloadItem& item);
  std::wstring Prepare(uint32_t key);
  bool SetItemStatus(const std::wstring& status);

  // IDownloadEvents
  void DownloadComplete() override { Download_DownloadComplete(); }
  void DownloadProgress(long& p) override { Download_DownloadProgress(p); }
  void DownloadError(std::wstring& s) override { Download_DownloadError(s); }
  // IResolverHost: the page goes through the same control and handlers.
  bool FetchPage(const std::wstring& address, const std::wstring& file,
                 PageAnswer& answer) override;
  HWND OwnerWindow() override { return host_.OwnerWindow(); }
  // A stop was asked, or the running item went: nothing more is asked of the
  // network for it.
  bool StopRequested() override;

  DownloadList& list_;
  IQueueHost& host_;
  bool startPending_ = false;  // a start asked while a stopped run was ending
  bool pageTooLarge_ = false;
  bool restartTold_ = false;  // the user heard that the server sent the file whole again
};

}  // namespace mf
