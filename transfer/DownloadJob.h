#pragma once
// The network side of the download control: one request (the information
// request or a transfer) run on a thread of its own, so that connecting,
// waiting for an answer and reading never hold up the user-interface thread.
// The thread reports each step as an event; the control takes the events on
// its own thread and raises its notifications from there.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "transfer/InternetHandle.h"

namespace mf {

struct JobEvent {
  enum Kind {
    Opened,       // the answer's status line is in: `status`
    Block,        // a block arrived and was written (or the final empty read): `total` bytes so far
    Failed,       // `failure` ends the transfer
    Done,         // the end of the data; the thread's handles are closed
    Information,  // the answer to the information request
  };
  enum Failure { CouldNotFind, CouldNotRead, CouldNotWrite, RangeRefused };
  // What a transfer that continues a partial file did with it.
  enum Resume { NotAsked, Continued, Restarted, AlreadyComplete, Kept };
  Kind kind = Block;
  int64_t total = 0;
  Failure failure = CouldNotFind;
  DWORD error = 0;         // Failed: WinINet's error number, when it gave one
  DWORD status = 0;        // the answer's HTTP status (0 for none)
  std::wstring finalUrl;     // Opened: the address answered, after redirects
  std::wstring contentType;  // Opened: the answer's Content-Type
  DWORD retryAfter = 0;      // Opened: the seconds of its Retry-After (0 for none)
  Resume resume = NotAsked;  // Opened
  int64_t startAt = 0;       // Opened: the bytes already in the partial file
  bool requested = false;  // Information: a request could be made at all
  bool headersRead = false;
  std::string headers;     // Information: the raw header lines
  std::string statusText;  // Information: the status as text, when the headers could not be read
};

class DownloadJob {
 public:
  // Larger reads cost the two threads less per byte; measured here 256 KiB
  // kept up with a bare 64 KiB loop where 64 KiB blocks did not. A read
  // waits until its block is full, so a slow server is read in smaller
  // blocks: about kBlockMs worth at the rate the last one came.
  static constexpr DWORD kBlockSize = 256 * 1024;
  static constexpr DWORD kSmallestBlock = 8 * 1024;
  static constexpr DWORD kFirstBlock = 64 * 1024;
  static constexpr double kBlockMs = 100;
  // The size of the read after one of `read` bytes that took `ms`.
  static DWORD NextBlockSize(DWORD asked, DWORD read, double ms);
  // Blocks the thread may read ahead of what the control has taken.
  static constexpr LONG kBlocksAhead = 4;
  // Blocks wake the sleeping control in batches of this many: one wake-up per
  // block would cost the control a thread switch per block. The control
  // looks at least every kLookMs anyway.
  static constexpr LONG kWakeBatch = 2;
  static constexpr DWORD kLookMs = 10;
  static constexpr DWORD kHeaderBufferSize = 1024;

  struct Request {
    HINTERNET session = nullptr;
    std::wstring url;
    std::wstring localFile;  // transfers only
    bool information = false;
    std::optional<std::wstring> user, password;  // the information request's credentials
    DWORD connectTimeoutMs = 0;
    DWORD idleTimeoutMs = 0;
    // A transfer that continues a partial file of this many bytes asks for
    // the rest of the version `ifRange` names, the whole being `total` bytes
    // (-1: not known).
    int64_t resumeFrom = 0;
    std::wstring ifRange;
    int64_t total = -1;
  };

  explicit DownloadJob(Request request);
  ~DownloadJob();
  DownloadJob(const DownloadJob&) = delete;
  DownloadJob& operator=(const DownloadJob&) = delete;

  // The thread's work; returns once the request has ended or been stopped.
  void Run();

  // ---- The control's side
  // Takes the next event; when there is none, arms Ready() to be signalled
  // by the next one, so that the control can sleep on it.
  bool Take(JobEvent& event);
  HANDLE Ready() const noexcept { return ready_.get(); }
  // A block event was handled: the thread may read one more block.
  void Consumed();
  // The thread ends as soon as its current network call returns; the local
  // file is cut to `keepBytes` (what was reported; none: as it is) and
  // closed at once.
  void Stop(std::optional<int64_t> keepBytes);
  bool Finished() const noexcept { return finished_; }
  // After the last event: the local file is closed (the thread leaves it
  // open, so that a cancel may still cut it).
  void CloseFile();

 private:
  class Locked;
  void RunTransfer();
  void RunInformation();
  bool OpenRequest(const wchar_t* verb, const wchar_t* version, DWORD flags);
  // What the answer to a request for the rest of a partial file allows:
  // `start` gets where the file goes on; false when it must not be touched.
  bool AcceptResume(JobEvent& opened, int64_t& start);
  void ReadAll(int64_t start);
  void Push(JobEvent event);
  void EndWith(JobEvent last);
  bool WaitForRoom();
  // Opened at `keep` bytes: what lies beyond goes.
  bool OpenLocalFile(int64_t keep);
  // False when the file could not take the bytes, or was closed by Stop.
  bool WriteBlock(const char* data, DWORD size);
  void CloseLocalFile();

  Request request_;
  UniqueInternet connection_;  // the thread's own handles
  UniqueInternet http_;
  // Blocks come by the thousand a second: the two threads meet through a
  // slim lock and a condition variable, which under Wine cost no round trip
  // to the server; the kernel event is set only while the control sleeps.
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE roomChanged_ = CONDITION_VARIABLE_INIT;
  std::deque<JobEvent> events_;         // guarded by lock_
  // The file has a lock of its own: a write never holds up the events.
  SRWLOCK fileLock_ = SRWLOCK_INIT;
  HANDLE file_ = INVALID_HANDLE_VALUE;  // guarded by fileLock_
  LONG ahead_ = 0;                      // blocks pushed and not yet consumed; guarded by lock_
  std::atomic<bool> stop_{false};
  std::atomic<bool> armed_{false};      // the control waits on ready_
  UniqueKernelHandle ready_;            // auto reset
  std::atomic<bool> finished_{false};
};

}  // namespace mf
