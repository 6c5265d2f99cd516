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

Download::~Download() {
  for (Worker& w : workers_) w.job->Stop();
  for (Worker& w : workers_) w.thread.join();
}

std::shared_ptr<DownloadJob> Download::Launch(DownloadJob::Request request) {
  // Threads of stopped requests that have ended since are let go here.
  PendingThreads();
  request.proxy = SessionHandle;
  request.connectTimeoutMs = connectTimeoutMs_;
  request.idleTimeoutMs = idleTimeoutMs_;
  auto job = std::make_shared<DownloadJob>(std::move(request));
  workers_.push_back({job, std::thread([job] { job->Run(); })});
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

Download::Wake Download::NextEvent(DownloadJob& job, JobEvent& event,
                                   bool (Download::*cancelled)() const, ULONGLONG deadline) {
  for (;;) {
    // Events that keep coming must not keep the queue waiting.
    queue_();
    if ((this->*cancelled)()) return Wake::Cancel;
    if (job.Take(event)) return Wake::Event;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return Wake::Deadline;
    HANDLE ready = job.Ready();
    const DWORD wait =
        static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, DownloadJob::kLookMs));
    if (MsgWaitForMultipleObjectsEx(1, &ready, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
        WAIT_OBJECT_0 + 1)
      queue_.Now();
  }
}

int64_t Download::InformedLength() const {
  // What the information request said of this very address, when it was answered.
  return infoUrl_ == url_ && InformationAnswered() ? contentLength_ : -1;
}

void Download::RequestInformation() {
  InfoRequested = true;
  infoUrl_ = url_;
  // Nothing of an earlier answer may stand for this one: another file's name
  // or size would be taken as this file's.
  fileExists_ = false;
  lastModified_ = kNotAvailable;
  fileSize_ = -1;
  remoteFileName_.clear();
  remoteFileNameDecoded_.clear();
  remoteFileType_.clear();
  eTag_.clear();
  contentLength_ = -1;
  infoStatus_ = 0;
  if (!SessionHandle) OpenSession();

  DownloadJob::Request request{.url = url_, .information = true};
  // Credentials only with a user name; the password alone is never sent.
  if (!siteUser_.empty()) {
    request.user = siteUser_;
    request.password = sitePassword_;
  }
  // A cancel asked before this request was meant for something else.
  cancelBeforeInformation_ = CancelFlag;
  std::shared_ptr<DownloadJob> job = Launch(std::move(request));
  // The thread ends its own request at its deadlines; this one is a backstop.
  const ULONGLONG deadline = GetTickCount64() + connectTimeoutMs_ + 2ULL * idleTimeoutMs_;
  JobEvent answer;
  if (NextEvent(*job, answer, &Download::InformationCancelled, deadline) == Wake::Event)
    ApplyInformation(answer);
  else
    job->Stop();  // no answer: the properties say so
  // After the first transfer every information request ends the session,
  // except one made from a handler while a transfer still uses it.
  if (TransferStarted && !transferring_) SessionHandle.reset();
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
  TransferStarted = false;
  if (!InfoRequested) RequestInformation();
  TransferStarted = true;
  if (CancelFlag) {
    RaiseCancelled(0);
    SessionHandle.reset();
    return false;
  }
  std::shared_ptr<DownloadJob> job = Launch({.url = url_,
                                             .localFile = localFile_,
                                             .resumeFrom = resumeFrom_,
                                             .ifRange = ifRange_,
                                             .total = resumeTotal_ >= 0 ? resumeTotal_
                                                                         : InformedLength(),
                                             .maxBytes = maxBytes_});
  // A partial file is continued by the one transfer it was asked for.
  maxBytes_ = 0;
  resumeFrom_ = 0;
  ifRange_.clear();
  resumeTotal_ = -1;
  return FollowTransfer(*job);
}

bool Download::FollowTransfer(DownloadJob& job) {
  // The thread ends its own request at its deadlines; this one is a backstop.
  const ULONGLONG backstop = connectTimeoutMs_ + 2ULL * idleTimeoutMs_;
  bool opened = false;
  for (;;) {
    JobEvent event;
    const Wake wake =
        NextEvent(job, event, &Download::TransferCancelled, GetTickCount64() + backstop);
    if (wake == Wake::Cancel) return EndCancelled(job);
    if (wake == Wake::Deadline) {
      WhileServing([&] { job.Stop(); });
      DrainStopped(job);
      SessionHandle.reset();
      RaiseError(opened ? kCouldNotReadUrl : kCouldNotFindUrl);
      return false;
    }
    switch (event.kind) {
      case JobEvent::Opened:
        opened = true;
        TakeOpened(event);
        break;
      case JobEvent::Block:
        bytesReceived_ = event.total;
        job.Consumed();
        RaiseProgress(ProgressValue(bytesReceived_, fileSize_));
        if (CancelFlag) return EndCancelled(job);
        break;
      case JobEvent::Failed:
        queue_.Now();  // what the handlers posted meanwhile runs before the end
        WhileServing([&] { job.CloseFile(); });
        TakeFailure(event);
        // An address that could not be opened leaves the session open.
        if (event.failure != JobEvent::CouldNotFind) SessionHandle.reset();
        RaiseError(FailureDescription(event.failure));
        return false;
      case JobEvent::Done:
        queue_.Now();
        WhileServing([&] { job.CloseFile(); });
        SessionHandle.reset();
        RaiseComplete();
        return true;
      case JobEvent::Information:
        break;
    }
  }
}

bool Download::EndCancelled(DownloadJob& job) {
  // The file keeps what was written; the thread ends by itself and touches
  // the file no more.
  WhileServing([&] { job.Stop(); });
  DrainStopped(job);
  RaiseCancelled(ClampToLong(bytesReceived_));
  SessionHandle.reset();
  return false;
}

void Download::DrainStopped(DownloadJob& job) {
  // An answer that came before the stop was taken still says whose bytes
  // the file holds.
  JobEvent event;
  while (job.Take(event))
    if (event.kind == JobEvent::Opened) TakeOpened(event);
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
      failureReason_ = event.net == NetError::None ? kCutShort : RequestFailureText(event.net, event.reason);
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

void Download::WhileServing(const std::function<void()>& work) {
  // Closing a file of many megabytes takes a tenth of a second under Wine:
  // long enough to be seen as a frozen window.
  UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE wait = done.get();
  std::thread helper([&] {
    work();
    SetEvent(wait);
  });
  while (MsgWaitForMultipleObjectsEx(1, &wait, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0 + 1)
    queue_.Now();
  helper.join();
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
