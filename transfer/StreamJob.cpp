#include "transfer/StreamJob.h"

#include <algorithm>
#include <thread>

#include "common/Handles.h"
#include "media/SegmentCipher.h"
#include "transfer/ServerSlots.h"

namespace mf {
namespace {

constexpr ULONGLONG kProgressMs = 100;
constexpr ULONGLONG kJournalMs = 500;

uint64_t Mix(uint64_t hash, std::wstring_view text) {
  for (wchar_t c : text) hash = (hash ^ static_cast<uint64_t>(c)) * 1099511628211ULL;
  return (hash ^ 0xFF) * 1099511628211ULL;
}

int64_t SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

StreamJob::StreamJob(Request request, std::function<void()> wake)
    : request_(std::move(request)), wake_(std::move(wake)) {}

void StreamJob::Run() {
  std::optional<StreamEvent> end;
  if (ReadPlan() && !halt_) {
    ListFiles();
    ResumeFromJournal();
    if (FetchAll() && WriteMovie())
      end = StreamEvent{.kind = StreamEvent::Done,
                        .bytes = bytes_,
                        .total = total_,
                        .saved = saved_,
                        .count = files_.size(),
                        .movie = movie_};
    else if (!files_.empty())
      SaveJournal(true);
  }
  if (stop_)
    end = StreamEvent{.kind = StreamEvent::Stopped};
  else if (!end)
    end =
        failure_.value_or(StreamEvent{.kind = StreamEvent::Failed, .reason = kUnreadablePlaylist});
  end->finalUrl = playlistUrl_;
  Push(*end);
  finished_ = true;
}

bool StreamJob::Take(StreamEvent& event) {
  std::lock_guard guard(eventsLock_);
  if (events_.empty()) {
    armed_ = true;
    return false;
  }
  event = std::move(events_.front());
  events_.pop_front();
  return true;
}

void StreamJob::Stop() {
  stop_ = true;
  halt_ = true;
}

void StreamJob::Push(StreamEvent event) {
  bool wake = false;
  {
    std::lock_guard guard(eventsLock_);
    // Progress the owner has not taken yet is only replaced by newer progress.
    if (event.kind == StreamEvent::Progress && !events_.empty() &&
        events_.back().kind == StreamEvent::Progress)
      events_.back() = event;
    else
      events_.push_back(std::move(event));
    wake = std::exchange(armed_, false);
  }
  if (wake) wake_();
}

void StreamJob::Fail(StreamEvent failure) {
  std::lock_guard guard(lock_);
  failure.kind = StreamEvent::Failed;
  if (!failure_) failure_ = std::move(failure);
  halt_ = true;
}

void StreamJob::ListFiles() {
  const std::wstring folder = StreamJournal::FolderFor(request_.partFile);
  total_ = 0;
  for (size_t t = 0; t < plan_.tracks.size(); ++t) {
    const media::Track& track = plan_.tracks[t];
    if (track.init) files_.push_back({.track = t, .segment = &*track.init, .init = true});
    for (const media::Segment& segment : track.segments)
      files_.push_back({.track = t, .segment = &segment});
  }
  for (size_t i = 0; i < files_.size(); ++i) {
    files_[i].path = folder + L"\\" + std::to_wstring(i) + L".seg";
    const media::Segment& s = *files_[i].segment;
    // Encrypted segments lose their padding: their size is known once saved.
    if (total_ >= 0 && s.range && s.range->length >= 0 && s.key.uri.empty())
      total_ += s.range->length;
    else
      total_ = -1;
  }
}

void StreamJob::ResumeFromJournal() {
  uint64_t identity = 14695981039346656037ULL;
  for (const File& file : files_) {
    const media::Segment& s = *file.segment;
    identity = Mix(identity, s.url);
    identity = Mix(identity, s.key.uri);
    if (s.range)
      identity =
          Mix(identity, std::to_wstring(s.range->offset) + L"/" + std::to_wstring(s.range->length));
  }
  std::optional<StreamJournal> kept = StreamJournal::Load(request_.partFile);
  if (!kept || kept->plan != identity || kept->sizes.size() != files_.size()) {
    // Segments of another plan (or none) are worth nothing here.
    StreamJournal::Remove(request_.partFile);
    kept = StreamJournal{.plan = identity, .sizes = std::vector<int64_t>(files_.size(), -1)};
  }
  journal_ = std::move(*kept);
  CreateDirectoryW(StreamJournal::FolderFor(request_.partFile).c_str(), nullptr);
  for (size_t i = 0; i < files_.size(); ++i) {
    int64_t& size = journal_.sizes[i];
    if (size >= 0 && SizeOf(files_[i].path) != size) size = -1;
    if (size >= 0) {
      bytes_ += size;
      ++saved_;
    } else {
      todo_.push_back(i);
    }
  }
  server_ = files_.empty() ? std::wstring() : ServerSlots::Of(files_.front().segment->url);
}

bool StreamJob::FetchAll() {
  if (todo_.empty()) return !halt_;
  NoteProgress(true);
  // The first connection always goes; the others while the server has room.
  ServerSlots::Open(server_);
  std::vector<std::thread> helpers;
  const size_t want =
      std::min<size_t>(static_cast<size_t>(std::max(1, request_.connections)), todo_.size());
  for (size_t i = 1; i < want && ServerSlots::TryOpen(server_); ++i)
    helpers.emplace_back([this] {
      Connection();
      ServerSlots::Close(server_);
    });
  Connection();
  ServerSlots::Close(server_);
  for (std::thread& helper : helpers) helper.join();
  SaveJournal(true);
  NoteProgress(true);
  return !halt_;
}

void StreamJob::Connection() {
  StreamFetch fetch(halt_, {request_.connectTimeoutMs, request_.idleTimeoutMs}, *request_.proxy);
  while (!halt_) {
    const size_t at = next_++;
    if (at >= todo_.size()) return;
    if (!FetchFile(fetch, todo_[at])) return;
  }
}

bool StreamJob::FetchFile(StreamFetch& fetch, size_t index) {
  const File& file = files_[index];
  for (int attempt = 1;; ++attempt) {
    int64_t size = 0;
    FetchOutcome outcome;
    if (FetchOnce(fetch, file, size, outcome)) {
      {
        std::lock_guard guard(lock_);
        journal_.sizes[index] = size;
        journalDirty_ = true;
      }
      ++saved_;
      SaveJournal(false);
      NoteProgress();
      return true;
    }
    if (halt_) return false;
    if (attempt == kSegmentTries || !outcome.Passing()) {
      Fail({.failure = outcome.Passing() ? StreamEvent::Passing : StreamEvent::Unreadable,
            .reason = L"A segment could not be fetched" +
                      (outcome.reason.empty() ? std::wstring(L".") : L": " + outcome.reason),
            .status = outcome.status,
            .retryAfter = outcome.retryAfter});
      return false;
    }
    if (outcome.status == 503 || outcome.status == 429) ServerSlots::StepDown(server_);
    const ULONGLONG asked = std::min<uint64_t>(outcome.retryAfter, 10) * 1000;
    const ULONGLONG until = GetTickCount64() + std::max<ULONGLONG>(asked, kRetryWaitMs * attempt);
    while (!halt_ && GetTickCount64() < until) Sleep(20);
  }
}

bool StreamJob::FetchOnce(StreamFetch& fetch, const File& file, int64_t& size,
                          FetchOutcome& outcome) {
  const media::Segment& segment = *file.segment;
  std::optional<media::SegmentDecryptor> decryptor;
  if (!segment.key.uri.empty()) {
    std::optional<media::AesBlock> key = Key(fetch, segment.key.uri, outcome);
    if (!key) return false;
    decryptor.emplace(*key, segment.key.iv.value_or(media::SequenceIv(segment.sequence)));
  }
  const std::wstring temporary = file.path + L".new";
  UniqueFile out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  int64_t counted = 0;
  std::string plain;
  bool written = static_cast<bool>(out);
  auto write = [&](std::string_view bytes) {
    DWORD done = 0;
    written =
        written && (bytes.empty() || (WriteFile(out.get(), bytes.data(),
                                                static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                                      done == bytes.size()));
    size += static_cast<int64_t>(bytes.size());
    return written;
  };
  outcome = fetch.Get(segment.url, segment.range, [&](std::string_view bytes) {
    counted += static_cast<int64_t>(bytes.size());
    bytes_ += static_cast<int64_t>(bytes.size());
    NoteProgress();
    if (!decryptor) return write(bytes);
    plain.clear();
    return decryptor->Update(bytes, plain) && write(plain);
  });
  std::wstring error;
  bool ok = outcome.ok && written;
  if (ok && decryptor) {
    plain.clear();
    ok = decryptor->Finish(plain, error) && write(plain);
    if (!error.empty()) outcome.reason = error;
  }
  if (!written) outcome.reason = L"The segment could not be written to the disk.";
  out.reset();
  // The bytes of a segment count once its file has its place.
  bytes_ += (ok ? size : 0) - counted;
  if (ok && MoveFileExW(temporary.c_str(), file.path.c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  DeleteFileW(temporary.c_str());
  return false;
}

std::optional<media::AesBlock> StreamJob::Key(StreamFetch& fetch, const std::wstring& uri,
                                              FetchOutcome& outcome) {
  {
    std::lock_guard guard(lock_);
    if (auto found = keys_.find(uri); found != keys_.end()) return found->second;
  }
  std::string bytes;
  outcome = fetch.GetText(uri, {}, bytes, 64);
  if (!outcome.ok) return std::nullopt;
  if (bytes.size() != 16) {
    outcome.ok = false;
    outcome.reason = L"The key of the segments is not an AES-128 key.";
    return std::nullopt;
  }
  media::AesBlock key;
  std::copy(bytes.begin(), bytes.end(), key.begin());
  std::lock_guard guard(lock_);
  keys_[uri] = key;
  return key;
}

bool StreamJob::WriteMovie() {
  std::vector<media::TrackFiles> tracks(plan_.tracks.size());
  for (size_t t = 0; t < tracks.size(); ++t) {
    tracks[t].kind = plan_.tracks[t].kind;
    tracks[t].container = plan_.tracks[t].container;
  }
  std::vector<std::pair<size_t, std::optional<size_t>>> places;  // of each file, by track
  for (const File& file : files_) {
    media::TrackFiles& track = tracks[file.track];
    if (file.init) {
      track.initPath = file.path;
      places.push_back({file.track, std::nullopt});
    } else {
      places.push_back({file.track, track.segments.size()});
      track.segments.push_back({file.path, file.segment->discontinuity});
    }
  }
  const media::Result result = media::WriteMovie(tracks, request_.partFile);
  if (result.ok) {
    movie_ = result.kind;
    StreamJournal::Remove(request_.partFile);
    return true;
  }
  bool refetch = false;
  if (result.damaged) {
    // The segment that could not be read is fetched again by the next try.
    for (size_t i = 0; i < places.size(); ++i)
      if (places[i].first == result.damaged->track && places[i].second == result.damaged->segment) {
        journal_.sizes[i] = -1;
        DeleteFileW(files_[i].path.c_str());
        refetch = true;
      }
    journalDirty_ = true;
  }
  Fail({.failure = refetch ? StreamEvent::Passing : StreamEvent::Unreadable,
        .reason = result.error});
  return false;
}

void StreamJob::SaveJournal(bool now) {
  std::lock_guard guard(lock_);
  const ULONGLONG tick = GetTickCount64();
  if (!journalDirty_ || (!now && tick - journalAt_ < kJournalMs)) return;
  journalAt_ = tick;
  journalDirty_ = !journal_.Save(request_.partFile);
}

void StreamJob::NoteProgress(bool now) {
  {
    std::lock_guard guard(lock_);
    const ULONGLONG tick = GetTickCount64();
    if (!now && tick - progressAt_ < kProgressMs) return;
    progressAt_ = tick;
  }
  Push({.kind = StreamEvent::Progress,
        .bytes = bytes_,
        .total = total_,
        .saved = saved_,
        .count = files_.size()});
}

}  // namespace mf
