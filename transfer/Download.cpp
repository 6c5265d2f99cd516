#include "transfer/Download.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "common/ContentDisposition.h"
#include "common/HttpHeaders.h"
#include "common/Text.h"
#include "common/TextCodec.h"
#include "transfer/Progress.h"
#include "transfer/RequestFailure.h"

namespace mf {
namespace {

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

// Header bytes as text: UTF-8 when they are valid UTF-8 (a server's
// filename="..." in any script), else the system's code page.
std::wstring HeaderText(const std::string& bytes) {
  std::optional<std::wstring> utf8 = FromUtf8Strict(bytes);
  return utf8 ? std::move(*utf8) : FromAnsi(bytes);
}

// The text after "filename=" in a Content-Disposition value, quotes included.
std::wstring RawFileName(const std::wstring& disposition) {
  const size_t at = LowerCase(disposition).find(L"filename=");
  return at == std::wstring::npos ? std::wstring() : disposition.substr(at + 9);
}

// A Content-Length as a whole number of bytes; -1 when it is none.
int64_t ExactLength(const std::wstring& value) {
  const wchar_t* text = value.c_str();
  wchar_t* end = nullptr;
  const long long n = std::wcstoll(text, &end, 10);
  while (*end == L' ' || *end == L'\t') ++end;
  return end != text && *end == L'\0' && n >= 0 ? n : -1;
}

}  // namespace

void Download::OpenSession() { SessionHandle = std::make_shared<ProxySettings>(SystemProxy()); }

Download::Download(MessageWindow& window) : window_(window) {
  mailbox_ = window_.Open([this] { TakeEvents(); });
}

Download::~Download() {
  window_.Close(mailbox_);
  // A thread still in a call that cannot be cut short (a name lookup) is let
  // go: it touches nothing of ours any more.
  if (!StopAll(kStopWaitMs))
    for (Worker& w : workers_) w.thread.detach();
}

std::shared_ptr<DownloadJob> Download::Launch(DownloadJob::Request request) {
  // Threads of requests that have ended since are let go here.
  PendingThreads();
  request.proxy = SessionHandle;
  request.connectTimeoutMs = connectTimeoutMs_;
  request.idleTimeoutMs = idleTimeoutMs_;
  auto job = std::make_shared<DownloadJob>(std::move(request), window_.PosterFor(mailbox_));
  workers_.push_back({job, std::thread([job] { job->Run(); })});
  // Threads that have let go and not yet ended hold nothing.
  mostOpen_ = std::max(mostOpen_, static_cast<size_t>(std::ranges::count_if(
                                      workers_, [](const Worker& w) { return !w.job->LetGo(); })));
  cancelled_ = false;
  return job;
}

size_t Download::PendingThreads() {
  std::erase_if(workers_, [](Worker& w) {
    if (!w.job->Finished()) return false;
    w.thread.join();
    return true;
  });
  return workers_.size();
}

bool Download::StopAll(DWORD ms) {
  for (Worker& w : workers_) w.job->Stop();
  const ULONGLONG end = ms == INFINITE ? ~0ULL : GetTickCount64() + ms;
  // A stopped request ends within one slice of its wait.
  while (PendingThreads() > 0 && GetTickCount64() < end) Sleep(5);
  if (!workers_.empty()) return false;
  job_.reset();
  return true;
}

void Download::ClearInformation() {
  // Nothing of an earlier answer may stand for this one: another file's name
  // or size would be taken as this file's.
  fileExists_ = false;
  lastModified_ = kNotAvailable;
  fileSize_ = -1;
  remoteFileName_.clear();
  remoteFileNameDecoded_.clear();
  remoteFileType_.clear();
  infoContentType_.clear();
  eTag_.clear();
  contentLength_ = -1;
  infoStatus_ = 0;
}

bool Download::RequestInformation() {
  if (job_) return false;
  kind_ = Kind::Information;
  BeginInformation();
  return true;
}

void Download::BeginInformation() {
  InfoRequested = true;
  infoUrl_ = url_;
  ClearInformation();
  if (!SessionHandle) OpenSession();
  DownloadJob::Request request{.url = url_, .information = true};
  // Credentials only with a user name; the password alone is never sent.
  if (!siteUser_.empty()) {
    request.user = siteUser_;
    request.password = sitePassword_;
  }
  job_ = Launch(std::move(request));
}

bool Download::StartDownload() {
  // One request per instance at a time: a second one started from a handler
  // of the first would close the session under it.
  if (job_) return false;
  bytesReceived_ = 0;
  statusCode_ = 0;
  finalUrl_.clear();
  contentType_.clear();
  failureReason_.clear();
  resume_ = Resume::NotAsked;
  retryAfter_ = 0;
  answerETag_.clear();
  answerLastModified_.clear();
  answerFileLength_ = -1;
  fileOpened_ = false;
  lastNetError_ = NetError::None;
  overLimit_ = false;
  if (!SessionHandle) OpenSession();
  // Only a transfer on an instance that has never been asked for
  // information makes a HEAD request of its own; otherwise FileSize is what
  // the last RequestInformation left.
  if (!InfoRequested) {
    TransferStarted = false;
    kind_ = Kind::OwnInformation;
    BeginInformation();
    return true;
  }
  BeginTransfer();
  return true;
}

void Download::BeginTransfer() {
  TransferStarted = true;
  kind_ = Kind::Transfer;
  job_ = Launch({.url = url_,
                 .localFile = localFile_,
                 .resumeFrom = resumeFrom_,
                 .ifRange = ifRange_,
                 .total = resumeTotal_ >= 0 ? resumeTotal_ : InformedLength(),
                 .maxBytes = maxBytes_,
                 .connections = connections_});
  // A partial file is continued by the one transfer it was asked for.
  maxBytes_ = 0;
  resumeFrom_ = 0;
  ifRange_.clear();
  resumeTotal_ = -1;
}

void Download::CancelDownload() {
  if (!job_ || cancelled_) return;
  cancelled_ = true;
  job_->Stop();
}

int64_t Download::InformedLength() const {
  // What the information request said of this very address, when it was answered.
  return infoUrl_ == url_ && InformationAnswered() ? contentLength_ : -1;
}

void Download::TakeEvents() {
  // Events of a job that is no longer the running one are not taken.
  for (std::shared_ptr<DownloadJob> job = job_; job && job == job_;) {
    JobEvent event;
    if (!job->Take(event)) return;
    if (!Handle(event)) return;
  }
}

void Download::EndJob() {
  job_.reset();
  PendingThreads();
}

bool Download::Handle(const JobEvent& event) {
  switch (event.kind) {
    case JobEvent::Opened:
      TakeOpened(event);
      return true;
    case JobEvent::Block:
      bytesReceived_ = event.total;
      job_->Consumed();
      // After a cancel, nothing more is told of the transfer but its end.
      if (!cancelled_) RaiseProgress(ProgressValue(bytesReceived_, fileSize_));
      return true;
    case JobEvent::Information:
    case JobEvent::Stopped:
    case JobEvent::Failed:
    case JobEvent::Done:
      break;
  }
  const bool cancelled = cancelled_;
  const Kind kind = kind_;
  EndJob();
  if (kind != Kind::Transfer) {
    if (event.kind == JobEvent::Information && !cancelled) ApplyInformation(event);
    // After the first transfer every information request ends the session.
    if (kind == Kind::Information && TransferStarted) SessionHandle.reset();
    if (kind == Kind::Information || cancelled) {
      if (kind == Kind::Information)
        RaiseInformationReady();
      else
        RaiseCancelled(0);
      return false;
    }
    BeginTransfer();  // the transfer's own information request is in
    return false;
  }
  if (cancelled) {
    SessionHandle.reset();
    RaiseCancelled(ClampToLong(bytesReceived_));
  } else if (event.kind == JobEvent::Done) {
    SessionHandle.reset();
    RaiseComplete();
  } else {
    TakeFailure(event);
    // An address that could not be opened leaves the session open.
    if (event.failure != JobEvent::CouldNotFind) SessionHandle.reset();
    RaiseError(FailureDescription(event.failure));
  }
  return false;
}

void Download::ApplyInformation(const JobEvent& answer) {
  if (!answer.requested) return;
  if (answer.headersRead)
    ReadHeaders(answer.headers);
  else
    ReadStatusOnly(answer.statusText);
}

void Download::ReadHeaders(const std::string& raw) {
  const HttpHeaderBlock block = ParseHeaderBlock(raw);
  infoStatus_ = block.status;
  const auto field = [&](const char* name) {
    std::optional<std::string> value = block.Get(name);
    return value ? std::optional(HeaderText(*value)) : std::nullopt;
  };
  lastModified_ = field("Last-Modified").value_or(kNotAvailable);
  const std::optional<std::wstring> length = field("Content-Length");
  fileSize_ = length ? SizeFromHeader(*length) : -1.0f;
  contentLength_ = length ? ExactLength(*length) : -1;
  eTag_ = field("ETag").value_or(L"");

  const std::wstring disposition = field("Content-Disposition").value_or(L"");
  remoteFileName_ = RawFileName(disposition);
  remoteFileNameDecoded_ = FileNameFromContentDisposition(disposition);

  const std::wstring type = field("Content-Type").value_or(L"");
  infoContentType_ = type;
  const size_t slash = type.find(L'/');
  remoteFileType_ = slash == std::wstring::npos ? type : type.substr(slash + 1);

  // Only these two status lines count as "not there"; a 404 of version 1.0
  // does not.
  const std::wstring status = LowerCase(HeaderText(block.statusLine));
  fileExists_ = status != L"http/1.1 404 not found" && status != L"http/1.1 404 file not found";
}

void Download::ReadStatusOnly(const std::string& status) {
  fileExists_ = status == "200";
  lastModified_ = kNotAvailable;
  fileSize_ = -1;
}

void Download::TakeOpened(const JobEvent& event) {
  statusCode_ = event.status;
  finalUrl_ = event.finalUrl;
  contentType_ = event.contentType;
  retryAfter_ = event.retryAfter;
  resume_ = static_cast<Resume>(event.resume);
  bytesReceived_ = event.startAt;  // progress counts the whole file
  fileOpened_ = event.resume != JobEvent::AlreadyComplete;
  answerETag_ = event.eTag;
  answerLastModified_ = event.lastModified;
  answerFileLength_ = event.fileLength;
}

void Download::TakeFailure(const JobEvent& event) {
  lastNetError_ = event.net;
  overLimit_ = event.failure == JobEvent::TooLarge;
  if (event.status) statusCode_ = event.status;
  if (!event.finalUrl.empty()) finalUrl_ = event.finalUrl;
  if (event.retryAfter) retryAfter_ = event.retryAfter;
  if (event.failure == JobEvent::RangeRefused) resume_ = Resume::Refused;
  switch (event.failure) {
    case JobEvent::TooManyRedirects:
      failureReason_ = kTooManyRedirects;
      break;
    case JobEvent::InsecureRedirect:
      failureReason_ = kInsecureRedirect;
      break;
    case JobEvent::NotAFile:
      failureReason_ = NoFileText(event.status);
      break;
    case JobEvent::CouldNotRead:
      failureReason_ =
          event.net == NetError::None ? kCutShort : RequestFailureText(event.net, event.reason);
      break;
    default:
      failureReason_ = RequestFailureText(event.net, event.reason);
  }
}

const wchar_t* Download::FailureDescription(int failure) {
  switch (failure) {
    case JobEvent::CouldNotWrite:
      return kCouldNotWriteFile;
    case JobEvent::CouldNotRead:
    case JobEvent::RangeRefused:
    case JobEvent::TooLarge:
      return kCouldNotReadUrl;
    default:  // no answer, an error, or an answer that led to no file
      return kCouldNotFindUrl;
  }
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

void Download::RaiseInformationReady() {
  if (events_) events_->InformationReady();
}

}  // namespace mf
