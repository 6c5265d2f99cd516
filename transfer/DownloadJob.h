#pragma once
// The network side of the download control: one request (the information
// request or a transfer) run on a thread of its own, so that connecting,
// waiting for an answer, reading, writing and closing the file never hold up
// the user-interface thread. The thread reports each step as an event and
// wakes the control through the function it was given (a message posted to
// the control's window); the control takes the events on its own thread and
// raises its notifications from there. Every job ends with exactly one of
// Done, Failed, Information or Stopped.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/Handles.h"
#include "common/HttpHeaders.h"
#include "transfer/PieceJournal.h"
#include "transfer/Pieces.h"
#include "transfer/HttpConnection.h"
#include "transfer/NetError.h"
#include "transfer/SystemProxy.h"

namespace mf {

struct JobEvent {
  enum Kind {
    Opened,       // an answer that brings the file is in: `status`, and where it goes on
    Block,        // a block arrived and was written (or the final empty read): `total` bytes so far
    Failed,       // `failure` ends the transfer
    Done,         // the whole file is in, flushed and closed
    Information,  // the answer to the information request
    Stopped,      // after Stop: the request has let go of the file and the network
  };
  enum Failure {
    CouldNotFind,  // no answer, or an error status
    CouldNotRead,  // the data stopped before all of it came: what came is kept
    CouldNotWrite,
    RangeRefused,  // another part or another version: the partial file must start again
    NotAFile,      // an answer that brings no file (204, 304, a 3xx without a place...)
    TooManyRedirects,
    InsecureRedirect,  // an https request sent on to http
    TooLarge,          // more than the request's limit
  };
  // What a transfer that continues a partial file did with it.
  enum Resume { NotAsked, Continued, Restarted, AlreadyComplete, Kept };
  Kind kind = Block;
  int64_t total = 0;
  Failure failure = CouldNotFind;
  NetError net = NetError::None;  // Failed: why the network failed, when it did
  std::wstring reason;            // Failed: a secure connection's failure, in words
  DWORD status = 0;               // the answer's HTTP status (0 for none)
  std::wstring finalUrl;          // Opened, Failed: the address answered, after redirects
  std::wstring contentType;       // Opened: the answer's Content-Type
  uint64_t retryAfter = 0;        // Opened, Failed: the seconds of its Retry-After (0 for none)
  Resume resume = NotAsked;       // Opened
  int64_t startAt = 0;            // Opened: the bytes already in the partial file
  // Opened: the version the file's bytes belong to, and the whole file's
  // length (-1: not known).
  std::wstring eTag, lastModified;
  int64_t fileLength = -1;
  bool requested = false;  // Information: a request could be made at all
  bool headersRead = false;
  std::string headers;     // Information: the raw header lines
  std::string statusText;  // Information: the status as text, when the headers could not be read
};

class DownloadJob {
 public:
  static constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";
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

  struct Request {
    std::shared_ptr<const ProxySettings> proxy;  // the session's
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
    // A body longer than this ends the request (0: no limit).
    int64_t maxBytes = 0;
    // Connections a transfer may open for its file, when the server takes
    // requests for ranges of it.
    int connections = 1;
  };
  // Redirects a request follows before it gives up.
  static constexpr int kMaxRedirects = 10;

  DownloadJob(Request request, std::function<void()> wake);
  ~DownloadJob();
  DownloadJob(const DownloadJob&) = delete;
  DownloadJob& operator=(const DownloadJob&) = delete;

  // The thread's work; returns once the request has ended or been stopped.
  void Run();

  // ---- The control's side
  // Takes the next event; when there is none, arms the wake function to be
  // called by the next one (once: a wake is never repeated before a Take).
  bool Take(JobEvent& event);
  // A block event was handled: the thread may read one more block.
  void Consumed();
  // From this call on nothing of this request writes, cuts or opens the
  // local file, however late its answer comes. The thread ends within one
  // slice of its current wait, closes the file and tells Stopped (unless it
  // had already told its end).
  void Stop();
  bool Finished() const noexcept { return finished_; }
  // The request has told its end: nothing of it holds the file or the network.
  bool LetGo() const noexcept { return letGo_; }

 private:
  class Locked;
  // What an answer that brings the file allows: where its body goes, the
  // body bytes to pass over before writing, and the bytes it must bring.
  struct Plan {
    int64_t writeAt = 0;
    int64_t skip = 0;
    int64_t expect = -1;    // -1: up to the connection's clean end
    int64_t rangeEnd = -1;  // a 206 that stops short ends here: the rest is asked for next
  };
  struct Answer;
  void RunTransfer();
  // The transfer's requests; false when it failed (failure_ says how) or was stopped.
  bool Transfer();
  void RunInformation();
  // Sends the request and follows its redirects; false when no answer came
  // or the redirects went wrong.
  bool Send(const wchar_t* verb, const std::wstring& headers, Answer& answer);
  // One request to `url` and its answer's headers; a server that asks who is
  // asking gets the credentials, once, when they are for it.
  bool Exchange(const std::wstring& url, const char* verb, const std::string& headers,
                bool credentials);
  // How the answer to a request from `from` bytes on goes into the file;
  // false when it brings no part of this file.
  bool Judge(const Answer& answer, int64_t from, bool first, Plan& plan, JobEvent& opened);
  // Notes the failure (false, for the callers to return).
  bool Fail(JobEvent::Failure failure, const Answer* answer);
  // The connection's failure: no answer came, or the data stopped.
  bool FailNet(JobEvent::Failure failure);
  // Reads the body into the file; false unless exactly the planned bytes came.
  bool ReadBody(const Plan& plan, int64_t& total);
  void Push(JobEvent event);
  void EndWith(JobEvent last);
  bool WaitForRoom();
  // Opened at `keep` bytes (never fewer: a partial file shorter than that
  // cannot go on); what lies beyond goes.
  bool OpenLocalFile(int64_t keep);
  // False when the file could not take the bytes, or was closed by Stop.
  bool WriteBlock(const char* data, DWORD size);
  void CloseLocalFile();

  // ---- One file over several connections (PieceTransfer.cpp)
  // The journal of an earlier transfer of this file: where it goes on from
  // (`from`, `ifRange`) when it is of the version asked for; else it goes,
  // and so does what the file held.
  std::optional<PieceJournal> PiecesOnDisk(int64_t& from, std::wstring& ifRange);
  // Whether the answer lets the file be cut into pieces: a range of a known
  // whole, with a version to hold the pieces to.
  bool Divisible(const Answer& answer, const Plan& plan, const JobEvent& opened) const;
  // Whether this many bytes make more than one piece.
  static bool Worth(int64_t bytes) { return bytes >= 2 * Pieces::kBlock; }
  // The first connection reads its answer as the first piece; helpers take
  // the others.
  bool TransferPieces(const Answer& answer, const Plan& plan, std::optional<PieceJournal> journal,
                      JobEvent opened);
  // Pieces one after another over new requests; false when one failed.
  bool RunConnection();
  bool FetchPiece(Pieces::Piece* piece);
  bool ReadPiece(HttpConnection& connection, Pieces::Piece* piece);
  // How an answer to a piece's request fits the file.
  enum class Fit { Yes, Busy, OtherVersion, Error };
  Fit Check(const HttpHeaderBlock& headers, const Pieces::Piece& piece, int64_t end) const;
  bool EndPieces();
  bool OpenPieceFile(int64_t total);
  bool WriteAt(const char* data, DWORD size, int64_t at);
  // A Block event with the bytes on disk, unless the control is behind
  // (`last`: always).
  void PushProgress(bool last = false);
  // Flushes the file and records its blocks: at most every kJournalMs, or now.
  void SaveJournal(bool now);
  // The first failure of the connections is told; another version wins over any.
  void NoteFailure(JobEvent failure);
  static constexpr double kJournalMs = 200;
  static constexpr DWORD kBusyPauseMs = 500;

  // Stops the connections of the pieces: a Stop, or another version of the file.
  std::atomic<bool> halt_{false};
  std::unique_ptr<Pieces> pieces_;
  PieceJournal journal_;                 // the version; its blocks are filled when saved
  std::wstring pieceUrl_;                // where the pieces are asked for
  std::wstring server_;                  // host:port, for the connections' cap
  std::string eTagSent_, modifiedSent_;  // the version's headers as the first answer gave them
  SRWLOCK journalLock_ = SRWLOCK_INIT;
  SRWLOCK failureLock_ = SRWLOCK_INIT;
  double journalAt_ = 0;  // guarded by journalLock_

  Request request_;
  std::unique_ptr<HttpConnection> connection_;  // the thread's own
  // Blocks come by the thousand a second: the two threads meet through a
  // slim lock and a condition variable, which under Wine cost no round trip
  // to the server; the kernel event is set only while the control sleeps.
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE roomChanged_ = CONDITION_VARIABLE_INIT;
  std::deque<JobEvent> events_;  // guarded by lock_
  // The file has a lock of its own: a write never holds up the events.
  SRWLOCK fileLock_ = SRWLOCK_INIT;
  HANDLE file_ = INVALID_HANDLE_VALUE;  // guarded by fileLock_
  LONG ahead_ = 0;                      // blocks pushed and not yet consumed; guarded by lock_
  std::atomic<bool> stop_{false};
  std::atomic<bool> armed_{true};  // the control waits for a wake
  std::function<void()> wake_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> letGo_{false};
  bool whole_ = false;               // the file holds all its data: flushed before it is closed
  bool ended_ = false;               // the last event was told
  std::optional<JobEvent> failure_;  // how the request failed, told once it has ended
};

}  // namespace mf
