#pragma once
// The download control: transfers one file over HTTP into a local file and
// answers a HEAD request about a remote file (size, last change, name, type,
// existence). The run holds one instance and fetches everything with it: the
// video pages, the information before a video is named, the videos.
//
// Every operation only begins: StartDownload and RequestInformation return at
// once. The network work (connecting, the request, the reads, the file) runs
// on a thread of its own, which posts to the control's message window; each
// notification reaches the owner from there, on the owner's thread, in order,
// as the window's thread takes the message in its turn. Nothing waits in a
// loop of its own.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/MessageWindow.h"
#include "transfer/DownloadJob.h"

namespace mf {

// What a Download tells its owner. Arguments are passed by reference, as the
// owner's handlers receive them; changing them changes nothing in the
// control. A notification the owner does not handle goes nowhere.
class IDownloadEvents {
 public:
  virtual ~IDownloadEvents() = default;
  // The end of the data was reached; the local file is whole, flushed and closed.
  virtual void DownloadComplete() {}
  // After every block read (up to 256 KiB), the final empty read included: the
  // percentage of FileSize received, or the bytes received when FileSize is
  // not above 0. Over several connections the blocks of all of them count,
  // told as often as the owner keeps up.
  virtual void DownloadProgress(long& /*lProgress*/) {}
  // The address could not be opened, a read failed, or the local file could
  // not be written.
  virtual void DownloadError(std::wstring& /*sErrorDescription*/) {}
  // The transfer was cancelled and has let go of the local file: the bytes
  // received so far.
  virtual void DownloadCancelled(long& /*lPosition*/) {}
  // The information request has ended: the properties hold its answer (or
  // say that none came).
  virtual void InformationReady() {}
};

class Download {
 public:
  static constexpr wchar_t kClassId[] = L"Marrowfin.Download";
  static constexpr const char* kAgent = DownloadJob::kAgent;
  // One read, one notification: small reads are what made transfers slow.
  static constexpr DWORD kChunkSize = DownloadJob::kBlockSize;
  // Connecting ends after this long, and so does a request that receives
  // nothing for the idle time.
  static constexpr DWORD kConnectTimeoutMs = 15000;
  static constexpr DWORD kIdleTimeoutMs = 30000;
  // How long the control's end waits for its requests' threads.
  static constexpr DWORD kStopWaitMs = 5000;

  // Texts of DownloadError, word for word.
  static constexpr wchar_t kCouldNotFindUrl[] = L"Could not find URL";
  static constexpr wchar_t kCouldNotReadUrl[] = L"Could not read URL";
  static constexpr wchar_t kCouldNotWriteFile[] = L"Could not write file";
  // LastModified when the server gave none.
  static constexpr wchar_t kNotAvailable[] = L"Not Available";

  // Its requests' threads post to `window`, which must outlive the control.
  explicit Download(MessageWindow& window);
  // Stops its requests and waits for their threads: none outlives the control.
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  // The owner that hears the notifications; none until set.
  void SetEvents(IDownloadEvents* events) noexcept { events_ = events; }
  IDownloadEvents* Events() const noexcept { return events_; }

  // ---- Properties, in the order of the control's interface
  // False when the last information answer was a 404.
  bool FileExists() const noexcept { return fileExists_; }
  // The Last-Modified header, or "Not Available".
  const std::wstring& LastModified() const noexcept { return lastModified_; }
  // The Content-Length header in bytes; -1 when the server gave none.
  float FileSize() const noexcept { return fileSize_; }
  void SetFileSize(float New_FileSize) noexcept { fileSize_ = New_FileSize; }
  // Path of the file a transfer writes.
  const std::wstring& LocalFile() const noexcept { return localFile_; }
  void SetLocalFile(const std::wstring& New_LocalFile) { localFile_ = New_LocalFile; }
  // The text after "filename=" in the headers, quotes included.
  const std::wstring& RemoteFileName() const noexcept { return remoteFileName_; }
  // The name the Content-Disposition header gives, decoded: "filename*"
  // (RFC 5987, as UTF-8 with percent escapes) before "filename", quotes and
  // escapes removed, any folder part dropped. Empty when the header names none.
  const std::wstring& RemoteFileNameDecoded() const noexcept { return remoteFileNameDecoded_; }
  // The Content-Type after its first "/".
  const std::wstring& RemoteFileType() const noexcept { return remoteFileType_; }
  // The Content-Type of the last information answer, whole (empty: none).
  const std::wstring& InformationContentType() const noexcept { return infoContentType_; }
  // The address to transfer or query.
  const std::wstring& Url() const noexcept { return url_; }
  void SetUrl(const std::wstring& New_Url) { url_ = New_Url; }
  // Credentials of the information request (the transfer sends none).
  const std::wstring& SiteUser() const noexcept { return siteUser_; }
  void SetSiteUser(const std::wstring& New_SiteUser) { siteUser_ = New_SiteUser; }
  const std::wstring& SitePassword() const noexcept { return sitePassword_; }
  void SetSitePassword(const std::wstring& New_SitePassword) { sitePassword_ = New_SitePassword; }

  // ---- Operations
  // Begins transferring Url into LocalFile; it ends with DownloadComplete,
  // DownloadError or DownloadCancelled. False (and nothing begun) while a
  // request of this instance runs.
  bool StartDownload();
  // The running request stops at once: no progress is told after this call,
  // and the request ends with DownloadCancelled (an information request with
  // InformationReady, no answer) once its thread has let go of the file.
  // Nothing when no request runs.
  void CancelDownload();
  // Begins a HEAD request about Url; when it ends, FileExists, LastModified,
  // FileSize, RemoteFileName (and its decoded form) and RemoteFileType hold
  // this answer alone (no answer: no file, "Not Available", -1 and empty
  // texts), and InformationReady is told. False while a request runs.
  bool RequestInformation();
  // A request runs (a transfer, a transfer's own information request, or an
  // information request).
  bool IsBusy() const noexcept { return static_cast<bool>(job_); }

  // ---- Beyond the control's interface
  // Bytes received by the running or last transfer, counted in 64 bits;
  // DownloadProgress holds a byte count from 2 GiB on at 2,147,483,647.
  int64_t BytesReceived() const noexcept { return bytesReceived_; }
  // The HTTP status of the last transfer's answer (0 before one, or for an
  // answer without a status). The transfer itself stores any answer, error
  // pages included; its owner decides what an error status means.
  DWORD StatusCode() const noexcept { return statusCode_; }
  // Where the last transfer's answer came from after redirects, and its
  // Content-Type (empty before one).
  const std::wstring& FinalUrl() const noexcept { return finalUrl_; }
  const std::wstring& ContentType() const noexcept { return contentType_; }
  // ---- Continuing a partial file
  // The ETag and the exact length in bytes (-1: none) of the last
  // information answer.
  const std::wstring& ETag() const noexcept { return eTag_; }
  int64_t ContentLength() const noexcept { return contentLength_; }
  // The length the information request gave for Url, when it was answered
  // (-1: none).
  int64_t InformedLength() const;
  // Whether the last transfer failed for passing its limit (LimitTo).
  bool OverLimit() const noexcept { return overLimit_; }
  // Whether the last information request was answered with success (2xx):
  // only then does what it says describe the file.
  bool InformationAnswered() const noexcept { return infoStatus_ >= 200 && infoStatus_ < 300; }
  int InformationStatus() const noexcept { return infoStatus_; }
  // The next transfer continues LocalFile, which holds its first `from`
  // bytes: it asks for the rest of the version `ifRange` names (an ETag or a
  // Last-Modified), the whole file being `total` bytes (-1: not known). It
  // adds only exactly that rest; a server that sends the whole file again
  // starts the file again. Holds for that one transfer.
  void ResumeFrom(int64_t from, const std::wstring& ifRange, int64_t total) {
    resumeFrom_ = from;
    ifRange_ = ifRange;
    resumeTotal_ = total;
  }
  // The next transfer fails once its body passes this many bytes (0: no
  // limit). Holds for that one transfer.
  void LimitTo(int64_t maxBytes) noexcept { maxBytes_ = maxBytes; }
  enum class Resume { NotAsked, Continued, Restarted, AlreadyComplete, Kept, Refused };
  // What the last transfer did with its partial file. Kept: the server
  // answered with an error and the file was left as it was; Refused: it
  // answered with another part or another version of the file, which was
  // left as it was too and cannot be continued.
  Resume LastResume() const noexcept { return resume_; }
  // The seconds the last transfer's answer asked to wait (Retry-After; 0 for none).
  uint64_t RetryAfter() const noexcept { return retryAfter_; }
  // The version and the whole length (-1: not known) of the file whose bytes
  // the last transfer's answer brought; empty texts when it brought none.
  const std::wstring& AnswerETag() const noexcept { return answerETag_; }
  const std::wstring& AnswerLastModified() const noexcept { return answerLastModified_; }
  int64_t AnswerFileLength() const noexcept { return answerFileLength_; }
  // Whether the last transfer opened its local file (an answer that brought
  // the file came): the file's bytes are then of the answer's version.
  bool FileOpened() const noexcept { return fileOpened_; }
  // Why the network failed the last transfer (None: it did not, or the
  // failure was an answer's).
  NetError LastNetError() const noexcept { return lastNetError_; }

  // Why the last transfer failed, in the user's words (a certificate the
  // platform refused, a server that did not answer...); empty when it did not
  // fail or there is nothing particular to tell.
  const std::wstring& FailureReason() const noexcept { return failureReason_; }

  // Whether the internet session is open (it lives from the first request to
  // the end of the next transfer).
  bool IsSessionOpen() const noexcept { return static_cast<bool>(SessionHandle); }
  // The deadlines of connecting and of a request that receives nothing.
  void SetTimeouts(DWORD connectMs, DWORD idleMs) noexcept {
    connectTimeoutMs_ = connectMs;
    idleTimeoutMs_ = idleMs;
  }
  // Connections a transfer may open for its file when the server takes
  // requests for ranges of it: 1 to 16 (values beyond are brought within).
  static constexpr int kMostConnections = 16;
  static constexpr int kDefaultConnections = 8;
  int ConnectionsPerDownload() const noexcept { return connections_; }
  void SetConnectionsPerDownload(int connections) noexcept {
    connections_ = connections < 1                  ? 1
                   : connections > kMostConnections ? kMostConnections
                                                    : connections;
  }
  // Threads of requests that have not yet ended.
  size_t PendingThreads();
  // Stops every request and waits up to `ms` for their threads; true when
  // none is left.
  bool StopAll(DWORD ms);
  // The most requests that were open at once (a stopped one stays open until
  // its thread has let go), since the control was made.
  size_t MostOpenAtOnce() const noexcept { return mostOpen_; }

 private:
  void OpenSession();
  void BeginInformation();
  void BeginTransfer();
  std::shared_ptr<DownloadJob> Launch(DownloadJob::Request request);
  // The posted message: the running job's events, taken in order.
  void TakeEvents();
  // One event; false once the job has ended (it is let go first).
  bool Handle(const JobEvent& event);
  void EndJob();
  void ApplyInformation(const JobEvent& answer);
  void ClearInformation();
  void ReadHeaders(const std::string& raw);
  void ReadStatusOnly(const std::string& status);
  // What an answer that brings the file says of it.
  void TakeOpened(const JobEvent& event);
  void TakeFailure(const JobEvent& event);
  static const wchar_t* FailureDescription(int failure);

  void RaiseComplete();
  void RaiseProgress(long value);
  void RaiseError(const wchar_t* text);
  void RaiseCancelled(long position);
  void RaiseInformationReady();

  IDownloadEvents* events_ = nullptr;

  bool fileExists_ = false;
  std::wstring lastModified_;
  float fileSize_ = 0;
  std::wstring localFile_;
  std::wstring remoteFileName_;
  std::wstring remoteFileNameDecoded_;
  std::wstring remoteFileType_;
  std::wstring infoContentType_;
  std::wstring url_;
  std::wstring siteUser_;
  std::wstring sitePassword_;

  // The session: the proxy settings read when it opened.
  std::shared_ptr<const ProxySettings> SessionHandle;
  bool InfoRequested = false;    // set by the first RequestInformation, for good
  bool TransferStarted = false;  // false only while a transfer runs its own HEAD
  MessageWindow& window_;
  MessageWindow::Mailbox mailbox_ = 0;
  std::shared_ptr<DownloadJob> job_;  // the running request
  enum class Kind { Information, OwnInformation, Transfer } kind_ = Kind::Information;
  bool cancelled_ = false;  // the running request was cancelled
  int64_t bytesReceived_ = 0;
  DWORD statusCode_ = 0;
  std::wstring finalUrl_;
  std::wstring contentType_;
  std::wstring failureReason_;
  std::wstring eTag_;
  int64_t contentLength_ = -1;
  int infoStatus_ = 0;
  std::wstring infoUrl_;  // the address the last information request asked about
  int64_t resumeFrom_ = 0;
  std::wstring ifRange_;
  int64_t resumeTotal_ = -1;
  int64_t maxBytes_ = 0;
  bool overLimit_ = false;
  Resume resume_ = Resume::NotAsked;
  uint64_t retryAfter_ = 0;
  std::wstring answerETag_;
  std::wstring answerLastModified_;
  int64_t answerFileLength_ = -1;
  bool fileOpened_ = false;
  NetError lastNetError_ = NetError::None;
  DWORD connectTimeoutMs_ = kConnectTimeoutMs;
  DWORD idleTimeoutMs_ = kIdleTimeoutMs;
  struct Worker {
    std::shared_ptr<DownloadJob> job;
    std::thread thread;
  };
  std::vector<Worker> workers_;
  size_t mostOpen_ = 0;
  int connections_ = kDefaultConnections;
};

}  // namespace mf
