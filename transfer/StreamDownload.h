#pragma once
// The stream control of a lane: saves one stream at a time as a movie (see
// StreamJob), its work on threads of its own, its notifications taken on
// the owner's thread from the lane's message window. Like the download
// control, every operation only begins.
#include <windows.h>

#include <memory>
#include <thread>
#include <vector>

#include "common/MessageWindow.h"
#include "transfer/StreamJob.h"

namespace mf {

class IStreamEvents {
 public:
  virtual ~IStreamEvents() = default;
  virtual void StreamProgress(const StreamEvent& /*progress*/) {}
  // Failed, Done or Stopped: the job has let go of every file.
  virtual void StreamEnded(const StreamEvent& /*end*/) {}
};

class StreamDownload {
 public:
  explicit StreamDownload(MessageWindow& window);
  ~StreamDownload();
  StreamDownload(const StreamDownload&) = delete;
  StreamDownload& operator=(const StreamDownload&) = delete;

  void SetEvents(IStreamEvents* events) noexcept { events_ = events; }
  // Begins saving; the proxy is the system's. False while one runs.
  bool Start(StreamJob::Request request);
  // The running stream stops: it ends with Stopped once it has let go.
  void Cancel();
  bool IsBusy() const noexcept { return static_cast<bool>(job_); }
  // Stops every job and waits up to `ms` for their threads; true when none is left.
  bool StopAll(DWORD ms);

 private:
  void TakeEvents();
  size_t PendingThreads();

  MessageWindow& window_;
  MessageWindow::Mailbox mailbox_ = 0;
  IStreamEvents* events_ = nullptr;
  std::shared_ptr<StreamJob> job_;
  struct Worker {
    std::shared_ptr<StreamJob> job;
    std::thread thread;
  };
  std::vector<Worker> workers_;
};

}  // namespace mf
