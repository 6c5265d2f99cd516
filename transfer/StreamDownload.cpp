#include "transfer/StreamDownload.h"

#include "transfer/SystemProxy.h"

namespace mf {

namespace {
constexpr DWORD kStopWaitMs = 5000;
}

StreamDownload::StreamDownload(MessageWindow& window) : window_(window) {
  mailbox_ = window_.Open([this] { TakeEvents(); });
}

StreamDownload::~StreamDownload() {
  window_.Close(mailbox_);
  // A thread in a call that cannot be cut short (a name lookup) is let go.
  if (!StopAll(kStopWaitMs))
    for (Worker& w : workers_) w.thread.detach();
}

bool StreamDownload::Start(StreamJob::Request request) {
  if (job_) return false;
  PendingThreads();
  request.proxy = std::make_shared<ProxySettings>(SystemProxy());
  job_ = std::make_shared<StreamJob>(std::move(request), window_.PosterFor(mailbox_));
  workers_.push_back({job_, std::thread([job = job_] { job->Run(); })});
  return true;
}

void StreamDownload::Cancel() {
  if (job_) job_->Stop();
}

void StreamDownload::TakeEvents() {
  for (std::shared_ptr<StreamJob> job = job_; job && job == job_;) {
    StreamEvent event;
    if (!job->Take(event)) return;
    if (event.kind == StreamEvent::Progress) {
      if (events_) events_->StreamProgress(event);
      continue;
    }
    job_.reset();
    PendingThreads();
    if (events_) events_->StreamEnded(event);
    return;
  }
}

size_t StreamDownload::PendingThreads() {
  std::erase_if(workers_, [](Worker& w) {
    if (!w.job->Finished()) return false;
    w.thread.join();
    return true;
  });
  return workers_.size();
}

bool StreamDownload::StopAll(DWORD ms) {
  for (Worker& w : workers_) w.job->Stop();
  const ULONGLONG end = GetTickCount64() + ms;
  while (PendingThreads() > 0 && GetTickCount64() < end) Sleep(5);
  if (!workers_.empty()) return false;
  job_.reset();
  return true;
}

}  // namespace mf
