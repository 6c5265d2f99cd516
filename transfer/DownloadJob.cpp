#include "transfer/DownloadJob.h"

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

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
  InternetSetOptionW(handle, option, &ms, sizeof ms);
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
  if (!OpenRequest(L"GET", nullptr, kTransferFlags) ||
      !HttpSendRequestW(http_.get(), nullptr, 0, nullptr, 0)) {
    const DWORD error = GetLastError();
    http_.reset();
    connection_.reset();
    Push({.kind = JobEvent::Failed, .failure = JobEvent::CouldNotFind, .error = error});
    return;
  }
  Push({.kind = JobEvent::Opened,
        .status = AnswerStatus(http_.get()),
        .finalUrl = QueryText(http_.get(), [](HINTERNET h, wchar_t* text, DWORD* size) {
          return InternetQueryOptionW(h, INTERNET_OPTION_URL, text, size);
        }),
        .contentType = QueryText(http_.get(), [](HINTERNET h, wchar_t* text, DWORD* size) {
          return HttpQueryInfoW(h, HTTP_QUERY_CONTENT_TYPE, text, size, nullptr);
        })});
  if (!OpenLocalFile()) {
    http_.reset();
    connection_.reset();
    Push({.kind = JobEvent::Failed, .failure = JobEvent::CouldNotWrite});
    return;
  }
  ReadAll();
}

void DownloadJob::ReadAll() {
  const std::optional<uint64_t> announced = AnnouncedLength(http_.get());
  std::vector<char> buffer(kBlockSize);
  int64_t total = 0;
  JobEvent end{.kind = JobEvent::Done};
  for (;;) {
    if (!WaitForRoom()) return;
    DWORD read = 0;
    const BOOL ok = InternetReadFile(http_.get(), buffer.data(), kBlockSize, &read);
    // A read that ends at its deadline may still bring the bytes it had.
    if (read > 0 && !WriteBlock(buffer.data(), read)) {
      if (stop_) return;
      end = {.kind = JobEvent::Failed, .failure = JobEvent::CouldNotWrite};
      break;
    }
    total += read;
    const bool cutShort = ok && read == 0 && announced && static_cast<uint64_t>(total) < *announced;
    if (!ok || cutShort) {
      const DWORD error = ok ? 0 : GetLastError();
      if (read > 0) Push({.kind = JobEvent::Block, .total = total});
      end = {.kind = JobEvent::Failed, .failure = JobEvent::CouldNotRead, .error = error};
      break;
    }
    Push({.kind = JobEvent::Block, .total = total});
    if (read == 0) break;
  }
  // The handles are closed before the end is told; the file stays open for
  // the control, which may still have to cut it to what it reported.
  http_.reset();
  connection_.reset();
  Push(end);
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
  http_.reset();
  connection_.reset();
  Push(std::move(info));
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

bool DownloadJob::OpenLocalFile() {
  // Opened without truncating, a longer leftover file would keep stale bytes
  // after the new data: the file is cut to nothing once it is open. A name
  // such as NUL or COM1 opens a device, which is no place for a download.
  HANDLE file = CreateFileW(request_.localFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (GetFileType(file) != FILE_TYPE_DISK || !SetEndOfFile(file)) {
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
