#pragma once
// One item of a run, on a lane of its own: its page resolved, its file named
// and transferred into a partial file, given its final name once all of it
// is there, and a failure that may pass tried again after a wait. Each lane
// has its own download control and resolver, so several items go at once;
// the queue driver hands out the items and hears when each lane is free.
//
// Each step begins with one call and ends in the notification that comes
// back (the download control, the resolver or a timer, all messages of the
// driver's message-only window); the item is found again by its key in each.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/MessageWindow.h"
#include "downloadlist/DownloadList.h"
#include "resolver/LinkResolver.h"
#include "transfer/Download.h"
#include "transfer/LocalFileInfo.h"
#include "transfer/RunEvents.h"
#include "transfer/StreamDownload.h"

namespace mf {

class QueueDriver;
namespace test {
class TestProgram;
}

// Where a run, or one of its lanes, stands.
enum class RunStage {
  Idle,          // nothing to do
  Resolving,     // the item's page, and for YouTube its player's redirect
  Informing,     // the information request about the video file
  Transferring,  // the video file arrives
  Waiting,       // a failure that may pass: the next try comes after a wait
  Stopping,      // a stop was asked; the step under way is letting go
};

class ItemRun : private IDownloadEvents, private IResolverHost, private IStreamEvents {
 public:
  // Lane `number` (0 for the first).
  ItemRun(QueueDriver& driver, DownloadList& list, IRunEvents& host, MessageWindow& messages,
          int number);
  ItemRun(const ItemRun&) = delete;
  ItemRun& operator=(const ItemRun&) = delete;

  mf::Download Download;  // pages, information requests and files of this lane
  LinkResolver Resolver{*this};
  StreamDownload Stream;  // streams (HLS, DASH) saved as one movie

  // Takes up the item with this key; the driver hears when the lane is free.
  void Begin(uint32_t key);
  // Asks the step under way to let go; the item then ends "Cancelled".
  void Stop();
  bool Busy() const noexcept { return stage_ != RunStage::Idle; }
  RunStage Stage() const noexcept { return stage_; }
  uint32_t Key() const noexcept { return key_; }

  // Resolves the item at this position outside a run: the link, or "-1"
  // when there is none, to `done`.
  void PrepareItem(int16_t position, const std::function<void(const std::wstring&)>& done);
  // Asks the server about the resolved file link and derives the local file
  // name and the size, to `done`; `siteId` is the site of the page address.
  void GetLocalFileInfo(const std::wstring& sLink, int16_t siteId,
                        const std::function<void(const LocalFileInfo&)>& done);

  // Handlers of the download control's notifications.
  void Download_DownloadComplete();
  void Download_DownloadProgress(long& lProgress);
  void Download_DownloadError(std::wstring& sErrorDescription);

  // "" before a page fetch; "1" once a transfer completed, else its error text.
  std::wstring TransferResult;
  bool IsFetchingPage = false;  // the transfer under way fetches a page

 private:
  friend class test::TestProgram;  // shows a lane at work without its requests
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

  // The steps.
  void TryItem();
  // Goes on with `next` once the server of the item's link has a free slot.
  void AwaitServer(const std::function<void()>& next);
  static constexpr UINT kServerWaitMs = 250;
  // The item waits `ms` (a stop or its removal ends the wait), then `next`.
  void WaitThen(UINT ms, std::function<void()> next);
  void Resolved(const std::wstring& link);
  // The link is a playlist or a manifest: its segments are saved as one movie.
  void BeginStream();
  std::wstring StreamName(const DownloadItem& item) const;
  void StreamProgress(const StreamEvent& progress) override;
  void StreamEnded(const StreamEvent& end) override;
  Attempt FinishStream(const StreamEvent& end);
  // The part file (whatever it held) is no longer the item's.
  void DropPart(DownloadItem& item);
  // The item's name made safe and given a partial file of its own; false
  // (the attempt ended) when there is none.
  bool ClaimPart();
  void BeginTransfer();
  void TransferEnded();
  void AttemptEnded(Attempt attempt);
  void ItemEnded();
  // The step under way let go after a stop (or its item went): the item ends.
  void LetGo();
  bool ItemGone() const;

  // The parts of a step.
  // The item failed to resolve: it says why.
  std::wstring ResolutionFailed(const std::wstring& code, const std::wstring& pageAddress);
  LocalFileInfo NameFromInformation(const std::wstring& sLink, int16_t siteId);
  ResumePoint PreparePart(uint32_t key, const std::wstring& partFile);
  // The version of the answer whose bytes the partial file now holds.
  void RecordVersion(DownloadItem& item);
  bool EnoughSpace(const std::wstring& folder, int64_t have);
  bool LastFailureTransient() const;
  // The HTTP status of the last try's answer, a stream's or a file's.
  DWORD LastStatus() const;
  DWORD RetryWait(int retry) const;
  Attempt FolderTooLong();
  Attempt NoFreeName(const std::wstring& name);
  Attempt FinishTransfer(uint32_t key, const std::wstring& partFile);
  void TellFailure();
  void Notice(const std::wstring& text);
  // The item's state (and the number it shows with it), told at once.
  bool SetState(ItemState state, int progress = 0);
  // The item failed: why, in the words of `failure` and `reason`.
  void Fail(ItemFailure failure = ItemFailure::None, const std::wstring& reason = {});
  // The item takes what the information request said of its file.
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

  QueueDriver& driver_;
  DownloadList& list_;
  IRunEvents& host_;
  MessageWindow& messages_;
  RunStage stage_ = RunStage::Idle;
  uint32_t key_ = 0;  // the item, found again by its key: positions change under a run
  int retry_ = 0;     // the item's tries again so far
  MessageWindow::Timer retryTimer_ = 0;
  std::wstring link_;      // the item's video file address
  std::wstring partFile_;  // and the partial file it arrives in
  int64_t resumedFrom_ = 0;
  std::function<void(bool, const PageAnswer&)> pageDone_;
  std::function<void()> informed_;  // what follows the information request under way
  bool transferOpen_ = false;
  bool streaming_ = false;                // the transfer under way is a stream's
  std::optional<StreamEvent> streamEnd_;  // how the item's last stream ended, this try
  bool pageIsMedia_ = false;              // the page fetch under way brought a video, not a page
  bool versionRecorded_ = false;          // for the partial file, while its transfer runs
  bool restartTold_ = false;  // the user heard that the server sent the file whole again
  long shownProgress_ = -1;   // the last progress value told
};

}  // namespace mf
