#include "transfer/DownloadJob.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "common/Uri.h"

namespace mf {
namespace {

// A transfer asks for the file as it is, keeps no copy in WinINet's cache (a
// video would be written twice) and follows redirects between http and https.
constexpr DWORD kTransferFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;

DWORD AnswerStatus(HINTERNET request) {
  DWORD code = 0, size = sizeof code;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                      nullptr))
    return 0;
  return code;
}

// The length the answer announces, when it announces one. A connection that
// ends before this many bytes is a failed read, even where WinINet reports
// the early end as the end of the data.
std::optional<uint64_t> AnnouncedLength(HINTERNET request) {
  char text[32] = {};
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
    return std::nullopt;
  char* end = nullptr;
  unsigned long long n = std::strtoull(text, &end, 10);
  if (end == text) return std::nullopt;
  return n;
}

// A text WinINet gives in a buffer of the caller's; empty when there is
// none. The length it reports is in bytes for some queries and in
// characters for others: the text ends at its NUL.
template <typename Query>
std::wstring QueryText(HINTERNET handle, Query query) {
  std::wstring text(2048, L'\0');
  DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!query(handle, text.data(), &size)) return {};
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

// "bytes first-last/total" of a 206, or "bytes */total" of a 416.
struct ContentRange {
  int64_t first = -1;
  int64_t total = -1;
};
std::optional<ContentRange> AnswerRange(HINTERNET request) {
  char text[128] = {};
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_RANGE, text, &size, nullptr))
    return std::nullopt;
  std::string value(text);
  if (value.rfind("bytes ", 0) != 0) return std::nullopt;
  const size_t slash = value.find('/');
  if (slash == std::string::npos) return std::nullopt;
  ContentRange range;
  if (value[6] != '*') range.first = std::strtoll(value.c_str() + 6, nullptr, 10);
  char* end = nullptr;
  range.total = std::strtoll(value.c_str() + slash + 1, &end, 10);
  if (end == value.c_str() + slash + 1) return std::nullopt;
  return range;
}

// The seconds a Retry-After asks for; its date form counts as no request.
DWORD RetryAfterSeconds(HINTERNET request) {
  char text[64] = {};
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_RETRY_AFTER, text, &size, nullptr)) return 0;
  char* end = nullptr;
  const unsigned long seconds = std::strtoul(text, &end, 10);
  return end != text ? static_cast<DWORD>(seconds) : 0;
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
  InternetSetOptionW(handle, option, &ms, sizeof ms);
}

double MillisecondsNow() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

DownloadJob::DownloadJob(Request request)
    : request_(std::move(request)),
      ready_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

DownloadJob::~DownloadJob() { CloseLocalFile(); }

void DownloadJob::Run() {
  if (request_.information)
    RunInformation();
  else
    RunTransfer();
  // A stopped request may end in the middle: its handles close here, on the
  // thread that used them.
  http_.reset();
  connection_.reset();
  finished_ = true;
}

bool DownloadJob::OpenRequest(const wchar_t* verb, const wchar_t* version, DWORD flags) {
  // An address without a scheme names a host, as it always has.
  const bool schemeless = request_.url.find(L"://") == std::wstring::npos;
  std::optional<WebAddress> address =
      SplitWebAddress(schemeless ? L"http://" + request_.url : request_.url);
  if (!address) return false;
  const wchar_t* user = request_.user ? request_.user->c_str() : nullptr;
  const wchar_t* password = request_.password ? request_.password->c_str() : nullptr;
  connection_.reset(InternetConnectW(request_.session, address->host.c_str(), address->port, user,
                                     password, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection_) return false;
  if (address->secure) flags |= INTERNET_FLAG_SECURE;
  http_.reset(HttpOpenRequestW(connection_.get(), verb, address->target.c_str(), version, nullptr,
                               nullptr, flags, 0));
  if (!http_) return false;
  // Every wait of the request has its deadline: a server that accepts and
  // never answers, or stops sending, ends the request instead of holding it.
  SetTimeout(http_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, request_.connectTimeoutMs);
  SetTimeout(http_.get(), INTERNET_OPTION_SEND_TIMEOUT, request_.idleTimeoutMs);
  SetTimeout(http_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, request_.idleTimeoutMs);
  return true;
}

void DownloadJob::RunTransfer() {
  std::wstring headers;
  if (request_.resumeFrom > 0) {
    headers = L"Range: bytes=" + std::to_wstring(request_.resumeFrom) + L"-\r\n";
    if (!request_.ifRange.empty()) headers += L"If-Range: " + request_.ifRange + L"\r\n";
  }
  if (!OpenRequest(L"GET", nullptr, kTransferFlags) ||
      !HttpSendRequestW(http_.get(), headers.empty() ? nullptr : headers.c_str(),
                        static_cast<DWORD>(headers.size()), nullptr, 0)) {
    const DWORD error = GetLastError();
    EndWith({.kind = JobEvent::Failed, .failure = JobEvent::CouldNotFind, .error = error});
    return;
  }
  JobEvent opened{.kind = JobEvent::Opened,
                  .status = AnswerStatus(http_.get()),
                  .finalUrl = QueryText(http_.get(),
                                        [](HINTERNET h, wchar_t* text, DWORD* size) {
                                          return InternetQueryOptionW(h, INTERNET_OPTION_URL,
                                                                      text, size);
                                        }),
                  .contentType = QueryText(http_.get(),
                                           [](HINTERNET h, wchar_t* text, DWORD* size) {
                                             return HttpQueryInfoW(h, HTTP_QUERY_CONTENT_TYPE,
                                                                   text, size, nullptr);
                                           }),
                  .retryAfter = RetryAfterSeconds(http_.get())};
  int64_t start = 0;
  if (request_.resumeFrom > 0 && !AcceptResume(opened, start)) return;
  Push(opened);
  if (opened.resume == JobEvent::AlreadyComplete) {
    Push({.kind = JobEvent::Done, .total = start});
    return;
  }
  if (!OpenLocalFile(start)) {
    EndWith({.kind = JobEvent::Failed, .failure = JobEvent::CouldNotWrite});
    return;
  }
  ReadAll(start);
}

bool DownloadJob::AcceptResume(JobEvent& opened, int64_t& start) {
  const int64_t from = request_.resumeFrom;
  std::optional<ContentRange> range = AnswerRange(http_.get());
  const bool sameTotal =
      range && (request_.total < 0 || range->total == request_.total);
  switch (opened.status) {
    case 200:  // the server sends the whole file: the partial file starts again
      opened.resume = JobEvent::Restarted;
      return true;
    case 206:  // only exactly the rest of the same file may be added
      if (range && range->first == from && sameTotal) {
        opened.resume = JobEvent::Continued;
        opened.startAt = start = from;
        return true;
      }
      break;
    case 416:  // nothing is left to send: the partial file holds it all
      if (range && range->total == from && sameTotal) {
        opened.resume = JobEvent::AlreadyComplete;
        opened.startAt = start = from;
        return true;
      }
      break;
    default:
      // Any other answer (an error) leaves the partial file as it is.
      opened.resume = JobEvent::Kept;
      Push(opened);
      EndWith({.kind = JobEvent::Failed, .failure = JobEvent::CouldNotFind});
      return false;
  }
  opened.resume = JobEvent::Kept;
  Push(opened);
  EndWith({.kind = JobEvent::Failed, .failure = JobEvent::RangeRefused});
  return false;
}

// The handles are closed before the end is told, on the thread that used them.
void DownloadJob::EndWith(JobEvent last) {
  http_.reset();
  connection_.reset();
  Push(std::move(last));
}

void DownloadJob::ReadAll(int64_t start) {
  const std::optional<uint64_t> announced = AnnouncedLength(http_.get());
  std::vector<char> buffer(kBlockSize);
  int64_t total = start;
  JobEvent end{.kind = JobEvent::Done};
  DWORD block = kFirstBlock;
  for (;;) {
    if (!WaitForRoom()) return;
    DWORD read = 0;
    const double began = MillisecondsNow();
    const BOOL ok = InternetReadFile(http_.get(), buffer.data(), block, &read);
    block = NextBlockSize(block, read, MillisecondsNow() - began);
    // A read that ends at its deadline may still bring the bytes it had.
    if (read > 0 && !WriteBlock(buffer.data(), read)) {
      if (stop_) return;
      end = {.kind = JobEvent::Failed, .failure = JobEvent::CouldNotWrite};
      break;
    }
    total += read;
    const bool cutShort =
        ok && read == 0 && announced && static_cast<uint64_t>(total - start) < *announced;
    if (!ok || cutShort) {
      const DWORD error = ok ? 0 : GetLastError();
      if (read > 0) Push({.kind = JobEvent::Block, .total = total});
      end = {.kind = JobEvent::Failed, .failure = JobEvent::CouldNotRead, .error = error};
      break;
    }
    Push({.kind = JobEvent::Block, .total = total});
    if (read == 0) break;
  }
  // The file stays open for the control, which may still have to cut it to
  // what it reported.
  EndWith(end);
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
  if (OpenRequest(L"HEAD", L"HTTP/1.0", INTERNET_FLAG_RELOAD)) {
    info.requested = true;
    // The send's result is not looked at on purpose: an answer that did not
    // come shows as headers that cannot be read.
    HttpSendRequestW(http_.get(), nullptr, 0, nullptr, 0);
    std::string headers(kHeaderBufferSize, ' ');
    DWORD length = kHeaderBufferSize;
    // Wine answers the query for a request that got no answer at all with an
    // empty header block ("\r\n"): that is no headers either.
    if (HttpQueryInfoA(http_.get(), HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &length,
                       nullptr) &&
        headers.find_first_not_of("\r\n", 0) < length) {
      headers.resize(length);
      info.headersRead = true;
      info.headers = std::move(headers);
    } else {
      char status[32] = {};
      DWORD size = sizeof status - 1;
      if (HttpQueryInfoA(http_.get(), HTTP_QUERY_STATUS_CODE, status, &size, nullptr))
        info.statusText.assign(status);  // the text ends at its first NUL
    }
  }
  EndWith(std::move(info));
}

// The lock of a scope.
class DownloadJob::Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

void DownloadJob::Push(JobEvent event) {
  bool wake = event.kind != JobEvent::Block;
  {
    Locked guard(lock_);
    if (!wake) wake = ++ahead_ >= kWakeBatch;
    events_.push_back(std::move(event));
  }
  if (wake && armed_.exchange(false)) SetEvent(ready_.get());
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

void DownloadJob::Stop(std::optional<int64_t> keepBytes) {
  {
    Locked guard(lock_);
    stop_ = true;
  }
  WakeAllConditionVariable(&roomChanged_);
  Locked guard(fileLock_);
  if (file_ == INVALID_HANDLE_VALUE) return;
  // The bytes read ahead of what was reported do not stay.
  if (keepBytes) {
    LARGE_INTEGER at{};
    at.QuadPart = *keepBytes;
    if (SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) SetEndOfFile(file_);
  }
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

bool DownloadJob::OpenLocalFile(int64_t keep) {
  // Opened without truncating, a longer leftover file would keep stale bytes
  // after the new data: the file is cut to what is kept once it is open. A
  // name such as NUL or COM1 opens a device, which is no place for a download.
  HANDLE file = CreateFileW(request_.localFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{}, at{};
  at.QuadPart = keep;
  // A partial file shorter than what it should hold cannot be continued.
  const bool fits = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
                    size.QuadPart >= keep;
  if (!fits || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
    CloseHandle(file);
    return false;
  }
  Locked guard(fileLock_);
  if (stop_) {
    CloseHandle(file);
    return false;
  }
  file_ = file;
  return true;
}

bool DownloadJob::WriteBlock(const char* data, DWORD size) {
  Locked guard(fileLock_);
  DWORD written = 0;
  return file_ != INVALID_HANDLE_VALUE && WriteFile(file_, data, size, &written, nullptr) &&
         written == size;
}

void DownloadJob::CloseFile() { CloseLocalFile(); }

void DownloadJob::CloseLocalFile() {
  Locked guard(fileLock_);
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

}  // namespace mf
