// One file over several connections. The first answer, a range of a known
// whole with a version, shows that the server takes ranges: its connection
// reads on as the first piece while helpers, each on a thread and a
// connection of its own, fetch the others and write them at their places in
// the one partial file. Every piece's answer is held to the same version and
// the exact range asked for; a journal beside the file records the blocks on
// disk, so that a stopped or killed transfer goes on with what it had.
#include <algorithm>
#include <vector>

#include "common/Uri.h"
#include "transfer/DownloadJob.h"
#include "transfer/JobAnswer.h"
#include "transfer/ServerSlots.h"
#include "transfer/SpeedLimit.h"

namespace mf {
namespace {}  // namespace

std::optional<PieceJournal> DownloadJob::PiecesOnDisk(int64_t& from, std::wstring& ifRange) {
  if (!PieceJournal::Exists(request_.localFile)) return std::nullopt;
  std::optional<PieceJournal> journal = PieceJournal::Load(request_.localFile);
  const bool fits = journal && from > 0 && !ifRange.empty() &&
                    (ifRange == journal->eTag || ifRange == journal->lastModified) &&
                    (request_.total < 0 || request_.total == journal->total);
  if (!fits) {
    // Bytes of another version, or of blocks nobody can name: the file starts again.
    PieceJournal::Remove(request_.localFile);
    from = 0;
    ifRange.clear();
    return std::nullopt;
  }
  from = Pieces(journal->total, journal->blocks).FirstMissing();
  return journal;
}

bool DownloadJob::Divisible(const Answer& answer, const Plan& plan, const JobEvent& opened) const {
  return answer.status == 206 && !answer.Version().empty() && opened.fileLength > 0 &&
         plan.rangeEnd < 0 && plan.skip == 0 && Worth(opened.fileLength - plan.writeAt);
}

bool DownloadJob::TransferPieces(const Answer& answer, const Plan& plan,
                                 std::optional<PieceJournal> journal, JobEvent opened) {
  const int64_t total = opened.fileLength;
  eTagSent_ = answer.headers.Get("ETag").value_or("");
  modifiedSent_ = answer.headers.Get("Last-Modified").value_or("");
  journal_ = {.eTag = opened.eTag, .lastModified = opened.lastModified, .total = total};
  // Without a journal the file was written from its start, up to where it goes on.
  pieces_ = journal ? std::make_unique<Pieces>(total, journal->blocks)
                    : std::make_unique<Pieces>(total, std::vector<bool>(), plan.writeAt);
  pieceUrl_ = answer.url;
  server_ = ServerSlots::Of(answer.url);
  opened.startAt = pieces_->BytesOnDisk();
  Push(opened);
  // The journal is there before any byte of a piece: a file of pieces is
  // never taken for one written from its start.
  if (!PieceJournal{journal_.eTag, journal_.lastModified, total, pieces_->Blocks()}.Save(
          request_.localFile) ||
      !OpenPieceFile(total))
    return stop_ ? false : Fail(JobEvent::CouldNotWrite, &answer);
  Pieces::Piece* first = pieces_->TakeFrom(plan.writeAt);
  ServerSlots::Open(server_);
  std::vector<std::thread> helpers;
  for (int i = 1; i < request_.connections && ServerSlots::TryOpen(server_); ++i)
    helpers.emplace_back([this] {
      RunConnection();
      ServerSlots::Close(server_);
    });
  if (first && ReadPiece(*connection_, first)) RunConnection();
  connection_.reset();
  for (std::thread& helper : helpers) helper.join();
  // What helpers gave back goes over this one connection; a server still
  // busy with connections just closed gets a moment, twice.
  for (int tries = 0; !halt_ && pieces_->LeftOver() && !RunConnection() && tries < 2; ++tries)
    Sleep(kBusyPauseMs);
  ServerSlots::Close(server_);
  return EndPieces();
}

bool DownloadJob::RunConnection() {
  while (!halt_) {
    Pieces::Piece* piece = pieces_->Next();
    if (!piece) return true;
    if (!FetchPiece(piece)) return false;
  }
  return false;
}

bool DownloadJob::FetchPiece(Pieces::Piece* piece) {
  const std::optional<WebAddress> address = SplitWebAddress(pieceUrl_);
  const int64_t end = pieces_->End(piece);
  HttpConnection connection(halt_, {request_.connectTimeoutMs, request_.idleTimeoutMs},
                            *request_.proxy);
  // The version named as a resume names it: a strong ETag, else the date.
  const bool strong = !eTagSent_.empty() && !eTagSent_.starts_with("W/");
  const std::string headers = std::string("User-Agent: ") + kAgent +
                              "\r\nRange: bytes=" + std::to_string(piece->begin) + "-" +
                              std::to_string(end - 1) +
                              "\r\nIf-Range: " + (strong ? eTagSent_ : modifiedSent_) + "\r\n";
  if (!address || !connection.Exchange(*address, "GET", headers)) {
    // A server that refuses a connection takes fewer.
    if (connection.Error() == NetError::CannotConnect) ServerSlots::StepDown(server_);
    NoteFailure({.kind = JobEvent::Failed,
                 .failure = JobEvent::CouldNotFind,
                 .net = connection.Error(),
                 .reason = connection.SecureFailure()});
    pieces_->GiveBack(piece);
    return false;
  }
  const HttpHeaderBlock answer = ParseHeaderBlock(connection.Headers());
  const Fit fit = Check(answer, *piece, end);
  if (fit == Fit::Yes) return ReadPiece(connection, piece);
  if (fit == Fit::Busy) ServerSlots::StepDown(server_);
  // Another version: every connection stops, and the file starts again.
  if (fit == Fit::OtherVersion) halt_ = true;
  const std::optional<std::string> retry = answer.Get("Retry-After");
  NoteFailure(
      {.kind = JobEvent::Failed,
       .failure = fit == Fit::OtherVersion ? JobEvent::RangeRefused : JobEvent::CouldNotFind,
       .status = static_cast<DWORD>(answer.status),
       .finalUrl = pieceUrl_,
       .retryAfter = retry ? ParseRetryAfter(*retry).value_or(0) : 0});
  pieces_->GiveBack(piece);
  return false;
}

DownloadJob::Fit DownloadJob::Check(const HttpHeaderBlock& headers, const Pieces::Piece& piece,
                                    int64_t end) const {
  if (headers.status == 503 || headers.status == 429) return Fit::Busy;
  // A whole file instead of the range: the If-Range named a version gone.
  if (headers.status == 200) return Fit::OtherVersion;
  if (headers.status != 206) return Fit::Error;
  std::optional<ContentRange> range;
  if (std::optional<std::string> value = headers.Get("Content-Range"))
    range = ParseContentRange(*value);
  const std::optional<std::string> length = headers.Get("Content-Length");
  const bool exact = range && range->first == piece.begin && range->last == end - 1 &&
                     range->total == pieces_->Total() &&
                     (!length || ParseDecimal(*length) == end - piece.begin);
  const bool same = headers.Get("ETag").value_or("") == eTagSent_ &&
                    headers.Get("Last-Modified").value_or("") == modifiedSent_;
  return exact && same ? Fit::Yes : Fit::OtherVersion;
}

bool DownloadJob::ReadPiece(HttpConnection& connection, Pieces::Piece* piece) {
  std::vector<char> buffer(kBlockSize);
  for (;;) {
    const int64_t want = pieces_->Reserve(piece, kBlockSize);
    if (want == 0) {
      pieces_->Finish(piece);
      return true;
    }
    const size_t leave = SpeedLimit::Acquire(static_cast<size_t>(want), halt_);
    if (leave == 0) break;
    const int64_t got = connection.Read(buffer.data(), leave, static_cast<DWORD>(kBlockMs));
    SpeedLimit::Refund(leave - static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got > 0 && !WriteAt(buffer.data(), static_cast<DWORD>(got), piece->at)) {
      NoteFailure({.kind = JobEvent::Failed, .failure = JobEvent::CouldNotWrite});
      break;
    }
    if (got <= 0) {
      // The data stopped before the piece's end.
      NoteFailure({.kind = JobEvent::Failed,
                   .failure = JobEvent::CouldNotRead,
                   .net = got < 0 ? connection.Error() : NetError::None});
      break;
    }
    pieces_->Wrote(piece, got);
    PushProgress();
    SaveJournal(false);
  }
  pieces_->GiveBack(piece);
  return false;
}

bool DownloadJob::EndPieces() {
  if (!stop_ && pieces_->Complete()) {
    LARGE_INTEGER size{};
    {
      Locked guard(fileLock_);
      GetFileSizeEx(file_, &size);
    }
    if (size.QuadPart != pieces_->Total()) return Fail(JobEvent::CouldNotWrite, nullptr);
    whole_ = true;
    CloseLocalFile();
    PieceJournal::Remove(request_.localFile);
    PushProgress(true);
    return true;
  }
  SaveJournal(true);
  if (!stop_) {
    Locked guard(failureLock_);
    if (!failure_) failure_ = JobEvent{.kind = JobEvent::Failed, .failure = JobEvent::CouldNotRead};
  }
  return false;
}

bool DownloadJob::OpenPieceFile(int64_t total) {
  Locked guard(fileLock_);
  if (stop_) return false;
  HANDLE file = CreateFileW(request_.localFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The whole length at once: a full disk shows now, and pieces land anywhere.
  LARGE_INTEGER at{};
  at.QuadPart = total;
  if (GetFileType(file) != FILE_TYPE_DISK || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(file)) {
    CloseHandle(file);
    return false;
  }
  file_ = file;
  return true;
}

bool DownloadJob::WriteAt(const char* data, DWORD size, int64_t at) {
  Locked guard(fileLock_);
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(at);
  where.OffsetHigh = static_cast<DWORD>(at >> 32);
  DWORD written = 0;
  return !stop_ && file_ != INVALID_HANDLE_VALUE &&
         WriteFile(file_, data, size, &written, &where) && written == size;
}

void DownloadJob::PushProgress(bool last) {
  {
    Locked guard(lock_);
    // Blocks come from every connection: a control behind hears the next total instead.
    if (!last && ahead_ >= kBlocksAhead) return;
    ++ahead_;
    events_.push_back({.kind = JobEvent::Block, .total = pieces_->BytesOnDisk()});
  }
  if (armed_.exchange(false) && wake_) wake_();
}

void DownloadJob::SaveJournal(bool now) {
  if (now)
    AcquireSRWLockExclusive(&journalLock_);
  else if (!TryAcquireSRWLockExclusive(&journalLock_))
    return;
  const double at = MillisecondsNow();
  if (now || at - journalAt_ >= kJournalMs) {
    journalAt_ = at;
    // Blocks taken before the flush: each of them is on disk once it returns.
    PieceJournal journal = journal_;
    journal.blocks = pieces_->Blocks();
    // The handle stays open until every connection has ended; the other
    // connections write on while it flushes.
    HANDLE file = INVALID_HANDLE_VALUE;
    {
      Locked guard(fileLock_);
      file = file_;
    }
    if (file != INVALID_HANDLE_VALUE && FlushFileBuffers(file)) journal.Save(request_.localFile);
  }
  ReleaseSRWLockExclusive(&journalLock_);
}

void DownloadJob::NoteFailure(JobEvent failure) {
  Locked guard(failureLock_);
  if (!failure_ || failure.failure == JobEvent::RangeRefused) failure_ = std::move(failure);
}

}  // namespace mf
