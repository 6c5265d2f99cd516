#include "transfer/Download.h"

#include <cstdlib>
#include <cwchar>
#include <optional>

#include "common/Text.h"
#include "transfer/Progress.h"
#include "common/SplitUrl.h"

namespace mf {
namespace {

// The value of the header whose name (with its ": ") starts at `at` in the
// raw headers: up to, not including, the next CR LF.
std::wstring HeaderValue(const std::wstring& raw, size_t at, size_t nameLength) {
  size_t begin = at + nameLength;
  size_t end = raw.find(L"\r\n", begin);
  return raw.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
}

// A Content-Length value as the 32-bit float FileSize holds; -1 (no size)
// when it is not a number at all.
float SizeFromHeader(const std::wstring& value) {
  const wchar_t* text = value.c_str();
  wchar_t* end = nullptr;
  double v = std::wcstod(text, &end);
  if (end == text) return -1;
  while (*end == L' ' || *end == L'\t') ++end;
  return *end == L'\0' ? static_cast<float>(v) : -1;
}

// The status code of an HTTP answer; 0 when there is none (another scheme).
DWORD AnswerStatus(HINTERNET url) {
  DWORD code = 0, size = sizeof code;
  if (!HttpQueryInfoA(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
    return 0;
  return code;
}

// The length the answer to a GET announces, when it announces one. A
// connection that ends before this many bytes is a failed read, even where
// WinINet reports the early end as the end of the data.
std::optional<uint64_t> AnnouncedLength(HINTERNET url) {
  char text[32] = {};
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(url, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
  char* end = nullptr;
  unsigned long long n = std::strtoull(text, &end, 10);
  if (end == text) return std::nullopt;
  return n;
}

bool WriteAll(HANDLE file, const char* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

void Download::OpenSession() {
  SessionHandle.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
}

void Download::RequestInformation() {
  InfoRequested = true;
  // Nothing of an earlier answer may stand for this one: another file's name
  // or size would be taken as this file's.
  fileExists_ = false;
  lastModified_ = kNotAvailable;
  fileSize_ = -1;
  remoteFileName_.clear();
  remoteFileType_.clear();
  std::wstring host, path;
  SplitUrl(url_, host, path);
  if (!SessionHandle) OpenSession();

  // Credentials only with a user name; the password alone is never sent.
  std::string user, password;
  const char* userArg = nullptr;
  const char* passwordArg = nullptr;
  if (!siteUser_.empty()) {
    user = ToAnsi(siteUser_);
    password = ToAnsi(sitePassword_);
    userArg = user.c_str();
    passwordArg = password.c_str();
  }
  // SplitUrl keeps a port in the host; InternetConnectA wants it apart.
  HostAndPort server = SplitHostPort(host);
  UniqueInternet connection(InternetConnectA(SessionHandle.get(), ToAnsi(server.name).c_str(),
                                             server.port, userArg, passwordArg,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  UniqueInternet request;
  if (connection)
    request.reset(HttpOpenRequestA(connection.get(), "HEAD", ToAnsi(path).c_str(), "HTTP/1.0",
                                   nullptr, nullptr, INTERNET_FLAG_RELOAD, 0));
  if (request) {
    std::string headers(kHeaderBufferSize, ' ');
    DWORD length = kHeaderBufferSize;
    // The send's result is not looked at on purpose: an answer that did not
    // come shows as headers that cannot be read.
    HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0);
    // Wine answers the query for a request that got no answer at all with
    // an empty header block ("\r\n"): that is no headers either.
    if (HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &length,
                       nullptr) &&
        headers.find_first_not_of("\r\n", 0) < length) {
      headers.resize(length);
      ReadHeaders(FromAnsi(headers));
    } else {
      ReadStatusOnly(request.get());
    }
  }
  request.reset();
  connection.reset();
  // After the first transfer every information request ends the session,
  // except one made from a handler while a transfer still uses it.
  if (TransferStarted && !transferring_) SessionHandle.reset();
}

void Download::ReadHeaders(const std::wstring& raw) {
  // Names are found in a lower-case copy, values cut from the text as sent.
  const std::wstring lower = LowerCase(raw);
  const auto find = [&](const wchar_t* name) { return lower.find(name); };
  constexpr auto npos = std::wstring::npos;

  size_t at = find(L"last-modified: ");
  lastModified_ = at == npos ? std::wstring(kNotAvailable) : HeaderValue(raw, at, 15);

  at = find(L"content-length: ");
  fileSize_ = at == npos ? -1.0f : SizeFromHeader(HeaderValue(raw, at, 16));

  at = find(L"filename=");
  remoteFileName_ = at == npos ? std::wstring() : HeaderValue(raw, at, 9);

  at = find(L"content-type: ");
  if (at == npos) {
    remoteFileType_.clear();
  } else {
    std::wstring type = HeaderValue(raw, at, 14);
    size_t slash = type.find(L'/');
    remoteFileType_ = slash == npos ? type : type.substr(slash + 1);
  }

  // Only these two status lines count as "not there"; a 404 of version 1.0
  // does not.
  fileExists_ = find(L"http/1.1 404 not found") == npos && find(L"http/1.1 404 file not found") == npos;
}

void Download::ReadStatusOnly(HINTERNET request) {
  char status[32] = {};
  DWORD length = sizeof status - 1;
  std::string code;
  if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, status, &length, nullptr))
    code.assign(status);  // TrimAtNull: the text ends at its first NUL
  fileExists_ = code == "200";
  lastModified_ = kNotAvailable;
  fileSize_ = -1;
}

bool Download::StartDownload() {
  // One transfer per instance at a time: a second one started from a handler
  // of the first would close the session under it.
  if (transferring_) return false;
  transferring_ = true;
  bool result = TransferFile();
  transferring_ = false;
  return result;
}

bool Download::TransferFile() {
  CancelFlag = false;
  bytesReceived_ = 0;
  statusCode_ = 0;
  queue_.Now();

  if (!SessionHandle) OpenSession();
  queue_.Now();

  // Only a transfer on an instance that has never been asked for
  // information makes a HEAD request of its own; otherwise FileSize is what
  // the last RequestInformation left.
  TransferStarted = false;
  if (!InfoRequested) RequestInformation();
  TransferStarted = true;
  queue_.Now();

  UniqueInternet url(InternetOpenUrlA(SessionHandle.get(), ToAnsi(url_).c_str(), nullptr, 0,
                                      INTERNET_FLAG_EXISTING_CONNECT, 0));
  if (!url) {
    // The session stays open; no local file is written.
    RaiseError(kCouldNotFindUrl);
    return false;
  }
  statusCode_ = AnswerStatus(url.get());
  const std::optional<uint64_t> announced = AnnouncedLength(url.get());
  queue_.Now();

  // Opened without truncating, a longer leftover file would keep stale bytes
  // after the new data: the file is cut to nothing once it is open. A name
  // such as NUL or COM1 opens a device, which is no place for a download.
  UniqueFile file(CreateFileA(ToAnsi(localFile_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !SetEndOfFile(file.get())) {
    EndTransfer(url, file);
    RaiseError(kCouldNotWriteFile);
    return false;
  }
  queue_.Now();

  char buffer[kChunkSize];
  for (;;) {
    DWORD read = 0;
    queue_();
    BOOL ok = InternetReadFile(url.get(), buffer, kChunkSize, &read);
    queue_();
    // WinINet reports a connection that closes early as the end of the data.
    const bool cutShort = ok && read == 0 && announced &&
                          static_cast<uint64_t>(bytesReceived_) < *announced;
    if (!ok || cutShort) {
      EndTransfer(url, file);
      RaiseError(kCouldNotReadUrl);
      return false;
    }
    bytesReceived_ += read;
    if (read > 0 && !WriteAll(file.get(), buffer, read)) {
      EndTransfer(url, file);
      RaiseError(kCouldNotWriteFile);
      return false;
    }
    RaiseProgress(ProgressValue(bytesReceived_, fileSize_));
    if (CancelFlag) {
      RaiseCancelled(ClampToLong(bytesReceived_));
      EndTransfer(url, file);
      return false;
    }
    if (read == 0) break;
  }
  EndTransfer(url, file);
  RaiseComplete();
  return true;
}

void Download::EndTransfer(UniqueInternet& url, UniqueFile& file) {
  url.reset();
  SessionHandle.reset();
  file.reset();
}

void Download::RaiseComplete() {
  if (events_) events_->DownloadComplete();
}

void Download::RaiseProgress(long value) {
  if (events_) events_->DownloadProgress(value);
}

void Download::RaiseError(const wchar_t* text) {
  std::wstring description = text;
  if (events_) events_->DownloadError(description);
}

void Download::RaiseCancelled(long position) {
  if (events_) events_->DownloadCancelled(position);
}

}  // namespace mf
