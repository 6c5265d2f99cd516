#include "transfer/DownloadJob.h"

#include <algorithm>
#include <vector>

#include "common/HttpHeaders.h"
#include "common/Text.h"
#include "common/TextCodec.h"
#include "common/Uri.h"
#include "resolver/AddressText.h"
#include "transfer/JobAnswer.h"
#include "transfer/Redirect.h"
#include "transfer/SpeedLimit.h"

namespace mf {
namespace {

std::wstring HostOf(const std::wstring& url) {
  std::optional<WebAddress> address = SplitWebAddress(url);
  return address ? address->host + L":" + std::to_wstring(address->port) : std::wstring();
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k)
      group = group << 8 | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0u);
    for (size_t k = 0; k < 4; ++k) text += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return text;
}

}  // namespace

DownloadJob::DownloadJob(Request request, std::function<void()> wake)
    : request_(std::move(request)), wake_(std::move(wake)) {}

DownloadJob::~DownloadJob() { CloseLocalFile(); }

void DownloadJob::Run() {
  if (request_.information)
    RunInformation();
  else
    RunTransfer();
  // A stopped request may end in the middle: its connection and its file
  // close here, on this thread, and then it says so.
  connection_.reset();
  if (stop_ && !ended_) {
    CloseLocalFile();
    Push({.kind = JobEvent::Stopped});
  }
  finished_ = true;
}

bool DownloadJob::Exchange(const std::wstring& url, const char* verb, const std::string& headers,
                           bool credentials) {
  std::optional<WebAddress> address = SplitWebAddress(url);
  if (!address) return false;
  const std::string agent = std::string("User-Agent: ").append(kAgent).append("\r\n");
  std::string authorization;
  for (bool asked = false;; asked = true) {
    connection_ = std::make_unique<HttpConnection>(
        stop_, HttpConnection::Timeouts{request_.connectTimeoutMs, request_.idleTimeoutMs},
        *request_.proxy);
    std::string lines = agent;
    lines.append(authorization).append(headers);
    if (!connection_->Exchange(*address, verb, lines, request_.information)) return false;
    // Only the Basic scheme is answered, and only when the server asks.
    const HttpHeaderBlock answer = ParseHeaderBlock(connection_->Headers());
    const std::string challenge = answer.Get("WWW-Authenticate").value_or("");
    if (answer.status != 401 || !credentials || asked || challenge.rfind("Basic", 0) != 0)
      return true;
    authorization = "Authorization: Basic " +
                    Base64(ToUtf8(*request_.user + L":" + request_.password.value_or(L""))) +
                    "\r\n";
  }
}

bool DownloadJob::Send(const wchar_t* verb, const std::wstring& headers, Answer& answer) {
  // An address without a scheme names a host, as it always has.
  const bool schemeless = request_.url.find(L"://") == std::wstring::npos;
  answer.url = schemeless ? L"http://" + request_.url : request_.url;
  const std::wstring host = HostOf(answer.url);
  const bool secure = IsSecure(answer.url);
  const std::string method = ToUtf8(verb), lines = ToUtf8(headers);
  for (int redirects = 0;; ++redirects) {
    if (stop_) return false;
    // Credentials go only to the host they were given for, never on with a redirect.
    const bool credentials = request_.user && HostOf(answer.url) == host;
    if (!Exchange(answer.url, method.c_str(), lines, credentials))
      return FailNet(JobEvent::CouldNotFind);
    answer.headers = ParseHeaderBlock(connection_->Headers());
    answer.status = answer.headers.status;
    std::optional<std::string> location = answer.headers.Get("Location");
    if (!IsRedirect(answer.status) || !location || location->empty()) return true;
    if (redirects == kMaxRedirects) return Fail(JobEvent::TooManyRedirects, &answer);
    const std::wstring next = ResolveReference(answer.url, AddressFromBytes(*location));
    if (secure && !IsSecure(next)) return Fail(JobEvent::InsecureRedirect, &answer);
    answer.url = next;
  }
}

bool DownloadJob::FailNet(JobEvent::Failure failure) {
  failure_ = {.kind = JobEvent::Failed, .failure = failure};
  if (connection_) {
    failure_->net = connection_->Error();
    failure_->reason = connection_->SecureFailure();
  }
  return false;
}

bool DownloadJob::Fail(JobEvent::Failure failure, const Answer* answer) {
  failure_ = {.kind = JobEvent::Failed, .failure = failure};
  if (answer) {
    failure_->status = static_cast<DWORD>(answer->status);
    failure_->finalUrl = answer->url;
    failure_->retryAfter = answer->RetryAfter();
  }
  return false;
}

void DownloadJob::RunTransfer() {
  // A stopped request tells nothing more.
  if (!Transfer()) {
    if (failure_ && !stop_) {
      CloseLocalFile();
      EndWith(std::move(*failure_));
    }
    return;
  }
  // A whole file is flushed and closed here: closing one of many megabytes
  // takes a while, which the window's thread must not wait for.
  whole_ = true;
  CloseLocalFile();
  EndWith({.kind = JobEvent::Done});
}

bool DownloadJob::Transfer() {
  int64_t from = request_.resumeFrom;
  std::wstring ifRange = request_.ifRange;
  // Only a file may come over several connections: never a page under a limit.
  bool several = request_.connections > 1 && request_.maxBytes == 0;
  std::optional<PieceJournal> journal;
  if (several) journal = PiecesOnDisk(from, ifRange);
  several = several && (request_.total < 0 || journal || Worth(request_.total - from));
  for (bool first = true;; first = false) {
    std::wstring headers;
    // A first request for a range tells whether the server takes them.
    if (from > 0 || (several && first)) {
      headers = L"Range: bytes=" + std::to_wstring(from) + L"-\r\n";
      if (!ifRange.empty()) headers += L"If-Range: " + ifRange + L"\r\n";
    }
    Answer answer;
    Plan plan;
    JobEvent opened;
    if (!Send(L"GET", headers, answer) || !Judge(answer, from, first, plan, opened)) return false;
    if (first && several && Divisible(answer, plan, opened))
      return TransferPieces(answer, plan, std::move(journal), std::move(opened));
    if (first) Push(opened);
    if (opened.resume == JobEvent::AlreadyComplete) {
      if (journal) PieceJournal::Remove(request_.localFile);
      return true;
    }
    if (first && !OpenLocalFile(plan.writeAt)) return Fail(JobEvent::CouldNotWrite, &answer);
    // Cut at the first missing block, the file goes on in one stream.
    if (first && journal) PieceJournal::Remove(request_.localFile);
    int64_t total = plan.writeAt;
    if (!ReadBody(plan, total)) return false;
    if (plan.rangeEnd < 0) return true;
    // A range that stopped short of the end: the rest of the same version next.
    from = plan.rangeEnd + 1;
    if (!answer.Version().empty()) ifRange = answer.Version();
  }
}

bool DownloadJob::Judge(const Answer& answer, int64_t from, bool first, Plan& plan,
                        JobEvent& opened) {
  std::optional<ContentRange> range;
  if (std::optional<std::string> value = answer.headers.Get("Content-Range"))
    range = ParseContentRange(*value);
  const std::optional<int64_t> length = answer.Length();
  const int64_t known = request_.total;
  opened = {.kind = JobEvent::Opened,
            .status = static_cast<DWORD>(answer.status),
            .finalUrl = answer.url,
            .contentType = Wide(answer.headers.Get("Content-Type")),
            .retryAfter = answer.RetryAfter(),
            .startAt = from,
            .eTag = Wide(answer.headers.Get("ETag")),
            .lastModified = Wide(answer.headers.Get("Last-Modified"))};
  if (answer.status == 200) {
    // The whole file: from a request for the rest, only the very version asked
    // for may go on, its first bytes passed over; any other starts again.
    plan.expect = length ? *length : known;
    opened.fileLength = plan.expect;
    if (from == 0) return true;
    if (!first || request_.ifRange.empty() || answer.Version() != request_.ifRange ||
        (plan.expect >= 0 && plan.expect < from))
      return Fail(JobEvent::RangeRefused, &answer);
    plan.writeAt = plan.skip = from;
    if (plan.expect >= 0) plan.expect -= from;
    opened.resume = JobEvent::Restarted;
    return true;
  }
  if (answer.status == 206) {
    // Exactly the bytes from where the file stands, of a whole that did not
    // change; unasked, only the whole file is one.
    const int64_t whole = range && range->total >= 0 ? range->total : known;
    const bool fits = range && range->first == from && (known < 0 || whole == known) &&
                      (!length || *length == range->last - range->first + 1) &&
                      (from > 0 || (whole >= 0 && range->last + 1 == whole));
    if (!fits) return Fail(from > 0 ? JobEvent::RangeRefused : JobEvent::NotAFile, &answer);
    plan.writeAt = from;
    plan.expect = range->last - range->first + 1;
    if (whole >= 0 && range->last + 1 < whole) plan.rangeEnd = range->last;
    opened.fileLength = whole;
    opened.resume = from > 0 ? JobEvent::Continued : JobEvent::NotAsked;
    return true;
  }
  if (answer.status == 416 && from > 0 && first && range && range->total == from &&
      (known < 0 || known == from)) {
    opened.resume = JobEvent::AlreadyComplete;
    opened.fileLength = from;
    return true;
  }
  // An error leaves the file as it is; an answer with no file is no download.
  const bool error = answer.status >= 400 || answer.status < 200;
  return Fail(error ? JobEvent::CouldNotFind : JobEvent::NotAFile, &answer);
}

// The connection is closed before the end is told.
void DownloadJob::EndWith(JobEvent last) {
  connection_.reset();
  ended_ = true;
  Push(std::move(last));
}

bool DownloadJob::ReadBody(const Plan& plan, int64_t& total) {
  std::vector<char> buffer(kBlockSize);
  int64_t skip = plan.skip, body = 0;
  DWORD block = kFirstBlock;
  for (;;) {
    if (!WaitForRoom()) return false;
    const double began = MillisecondsNow();
    // The speed limit of all transfers together has its say on every read.
    const size_t leave = SpeedLimit::Acquire(block, stop_);
    if (leave == 0) return false;
    const int64_t got = connection_->Read(buffer.data(), leave, static_cast<DWORD>(kBlockMs));
    SpeedLimit::Refund(leave - static_cast<size_t>(std::max<int64_t>(got, 0)));
    const bool ok = got >= 0;
    const DWORD read = ok ? static_cast<DWORD>(got) : 0;
    block = NextBlockSize(static_cast<DWORD>(leave), read, MillisecondsNow() - began);
    body += read;
    // Bytes the file already holds pass by; a read that ends at its deadline
    // may still bring the bytes it had.
    const DWORD passed = static_cast<DWORD>(std::min<int64_t>(skip, read));
    skip -= passed;
    const DWORD fresh = read - passed;
    if (plan.expect >= 0 && body - plan.skip > plan.expect)
      return Fail(JobEvent::RangeRefused, nullptr);
    if (fresh > 0 && !WriteBlock(buffer.data() + passed, fresh))
      return stop_ ? false : Fail(JobEvent::CouldNotWrite, nullptr);
    total += fresh;
    if (request_.maxBytes > 0 && total > request_.maxBytes)
      return Fail(JobEvent::TooLarge, nullptr);
    // The end of the data counts only when all that was announced came.
    const bool cutShort =
        ok && read == 0 && ((plan.expect >= 0 && body - plan.skip < plan.expect) || skip > 0);
    if (!ok || cutShort) {
      if (fresh > 0) Push({.kind = JobEvent::Block, .total = total});
      return stop_ ? false : FailNet(JobEvent::CouldNotRead);
    }
    Push({.kind = JobEvent::Block, .total = total});
    if (read == 0) return true;
  }
}

DWORD DownloadJob::NextBlockSize(DWORD asked, DWORD read, double ms) {
  // A short read is the end of the data, or came as fast as it could.
  if (read < asked || ms <= 0) return std::min(kBlockSize, asked * 2);
  const double fitting = read * kBlockMs / ms;
  // Grows by doubling, so that one burst from a buffer does not jump to the top.
  const double next = std::min<double>(fitting, asked * 2.0);
  return static_cast<DWORD>(std::clamp<double>(next, kSmallestBlock, kBlockSize));
}

void DownloadJob::RunInformation() {
  JobEvent info{.kind = JobEvent::Information};
  // Failures of the information request are no events of their own: an
  // answer that did not come shows as headers that cannot be read.
  const bool schemeless = request_.url.find(L"://") == std::wstring::npos;
  info.requested =
      SplitWebAddress(schemeless ? L"http://" + request_.url : request_.url).has_value();
  Answer answer;
  if (info.requested && Send(L"HEAD", L"", answer)) {
    info.headersRead = true;
    info.headers = connection_->Headers();
  }
  EndWith(std::move(info));
}

void DownloadJob::Push(JobEvent event) {
  {
    Locked guard(lock_);
    if (event.kind == JobEvent::Block) ++ahead_;
    // Its end is told only once the file and the connection are closed.
    if (event.kind != JobEvent::Block && event.kind != JobEvent::Opened) letGo_ = true;
    events_.push_back(std::move(event));
  }
  // One message at a time: the control takes every event there is when it
  // comes, and arms the next wake only once it found none left.
  if (armed_.exchange(false) && wake_) wake_();
}

bool DownloadJob::Take(JobEvent& event) {
  // Armed before looking, so that an event pushed right after the look
  // still wakes the control.
  armed_ = true;
  Locked guard(lock_);
  if (events_.empty()) return false;
  armed_ = false;
  event = std::move(events_.front());
  events_.pop_front();
  return true;
}

void DownloadJob::Consumed() {
  {
    Locked guard(lock_);
    --ahead_;
  }
  WakeConditionVariable(&roomChanged_);
}

bool DownloadJob::WaitForRoom() {
  Locked guard(lock_);
  while (ahead_ >= kBlocksAhead && !stop_)
    SleepConditionVariableSRW(&roomChanged_, &lock_, INFINITE, 0);
  return !stop_;
}

void DownloadJob::Stop() {
  // Under the file's lock: no write is under way, and none follows. Every
  // byte written is a byte of this version in its place: none is cut.
  {
    Locked guard(fileLock_);
    Locked events(lock_);
    stop_ = true;
    halt_ = true;
  }
  WakeAllConditionVariable(&roomChanged_);
}

bool DownloadJob::OpenLocalFile(int64_t keep) {
  // Under the file's lock: a request stopped meanwhile never opens the file.
  Locked guard(fileLock_);
  if (stop_) return false;
  // A name such as NUL or COM1 opens a device, which is no place for a download.
  HANDLE file = CreateFileW(request_.localFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            keep > 0 ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{}, at{};
  at.QuadPart = keep;
  const bool fits =
      GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart >= keep;
  if (!fits || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
    CloseHandle(file);
    return false;
  }
  file_ = file;
  return true;
}

bool DownloadJob::WriteBlock(const char* data, DWORD size) {
  Locked guard(fileLock_);
  DWORD written = 0;
  return !stop_ && file_ != INVALID_HANDLE_VALUE &&
         WriteFile(file_, data, size, &written, nullptr) && written == size;
}

void DownloadJob::CloseLocalFile() {
  Locked guard(fileLock_);
  if (file_ == INVALID_HANDLE_VALUE) return;
  // A whole file is renamed into place next: its data is on disk first.
  if (whole_) FlushFileBuffers(file_);
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

}  // namespace mf
