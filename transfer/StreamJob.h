#pragma once
// A stream saved as one movie, on a thread of its own: its playlist or
// manifest read into a plan (the variant the quality setting names, its
// audio apart, the segment index of a single-file track), its segments
// fetched over several connections at once into files of their own (each
// decrypted as it arrives, each tried again like a file), and the files
// joined by our movie writer into the partial file. A journal beside the
// partial file keeps the segments saved, so a stream stopped or killed
// never fetches one of them again. The owner takes the events on its own
// thread; every job ends with exactly one of Failed, Done or Stopped.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/MovieWriter.h"
#include "media/ReadResult.h"
#include "media/SegmentCipher.h"
#include "media/StreamPlan.h"
#include "transfer/StreamFetch.h"
#include "transfer/StreamJournal.h"
#include "transfer/SystemProxy.h"

namespace mf {

struct StreamEvent {
  enum Kind { Progress, Failed, Done, Stopped };
  // What went wrong: the network or a server (a later try may do better),
  // a text that cannot be read, or a stream refused (live, protected).
  enum Failure { Passing, Unreadable, Refused };
  Kind kind = Progress;
  int64_t bytes = 0;            // of the segments saved and arriving
  int64_t total = -1;           // the sum of the segments' sizes, when all are known
  size_t saved = 0, count = 0;  // segments
  Failure failure = Unreadable;
  std::wstring reason;  // Failed, in the user's words
  int status = 0;       // Failed: the HTTP status that ended it (0: none)
  uint64_t retryAfter = 0;
  media::MovieKind movie = media::MovieKind::Mp4;  // Done
  std::wstring finalUrl;                           // where the playlist came from
};

class StreamJob {
 public:
  struct Request {
    std::shared_ptr<const ProxySettings> proxy;
    std::wstring url;       // the playlist or manifest
    std::wstring partFile;  // the movie is written here; its journal and segments beside it
    media::Quality quality = media::Quality::Best;
    int connections = 8;
    DWORD connectTimeoutMs = 15000;
    DWORD idleTimeoutMs = 30000;
  };
  static constexpr wchar_t kUnreadablePlaylist[] = L"The playlist or manifest could not be read.";
  // Tries of a segment before the stream fails, and the wait before each again.
  static constexpr int kSegmentTries = 4;
  static constexpr DWORD kRetryWaitMs = 1000;

  StreamJob(Request request, std::function<void()> wake);
  StreamJob(const StreamJob&) = delete;
  StreamJob& operator=(const StreamJob&) = delete;

  void Run();  // the thread's work
  // The owner's side: the next event (none: the next one wakes it), and stop.
  bool Take(StreamEvent& event);
  void Stop();
  bool Finished() const noexcept { return finished_; }

 private:
  // A file of the movie: a track's init segment or one of its segments.
  struct File {
    size_t track = 0;
    const media::Segment* segment = nullptr;
    bool init = false;
    std::wstring path;
  };
  // The plan, with its playlists, variants and indexes read.
  bool ReadPlan();
  bool ReadHlsMaster(const std::string& text, const std::wstring& url);
  std::optional<media::Track> ReadHlsTrack(const std::wstring& url);
  bool ReadDash(const std::string& text, const std::wstring& url);
  bool Refuse(const media::ReadFailure& failure);
  bool FetchFailed(const FetchOutcome& outcome, const std::wstring& what);
  void ListFiles();
  void ResumeFromJournal();
  bool FetchAll();
  void Connection();
  bool FetchFile(StreamFetch& fetch, size_t index);
  bool FetchOnce(StreamFetch& fetch, const File& file, int64_t& size, FetchOutcome& outcome);
  std::optional<media::AesBlock> Key(StreamFetch& fetch, const std::wstring& uri,
                                     FetchOutcome& outcome);
  bool WriteMovie();
  void SaveJournal(bool now);
  void NoteProgress(bool now = false);
  void Fail(StreamEvent failure);
  void Push(StreamEvent event);

  Request request_;
  std::function<void()> wake_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> halt_{false};  // a stop, or a segment that failed for good
  std::atomic<bool> finished_{false};
  std::wstring playlistUrl_;
  media::StreamPlan plan_;
  std::vector<File> files_;
  std::vector<size_t> todo_;  // the files still to fetch
  std::atomic<size_t> next_{0};
  std::atomic<int64_t> bytes_{0};
  std::atomic<size_t> saved_{0};
  int64_t total_ = -1;
  media::MovieKind movie_ = media::MovieKind::Mp4;
  std::wstring server_;

  std::mutex lock_;  // what the connections share
  StreamJournal journal_;
  bool journalDirty_ = false;
  ULONGLONG journalAt_ = 0;
  ULONGLONG progressAt_ = 0;
  std::map<std::wstring, media::AesBlock> keys_;
  std::optional<StreamEvent> failure_;

  std::mutex eventsLock_;
  std::deque<StreamEvent> events_;
  bool armed_ = true;  // the owner waits for a wake
};

}  // namespace mf
