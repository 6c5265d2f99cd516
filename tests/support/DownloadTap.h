#pragma once
// Listens to the program's download control after the program's own
// handlers: every notification reaches the program first, then Note().
#include <functional>
#include <string>

#include "tests/support/TestProgram.h"

namespace mf::test {

class DownloadTap : public IDownloadEvents {
 public:
  explicit DownloadTap(TestProgram& app) : app_(app), inner_(app.queue.Download.Events()) {
    app.queue.Download.SetEvents(this);
  }
  ~DownloadTap() override { app_.queue.Download.SetEvents(inner_); }
  DownloadTap(const DownloadTap&) = delete;
  DownloadTap& operator=(const DownloadTap&) = delete;

  void DownloadComplete() override {
    inner_->DownloadComplete();
    Note();
  }
  void DownloadProgress(long& p) override {
    inner_->DownloadProgress(p);
    Note();
    if (onProgress) onProgress();
  }
  void DownloadError(std::wstring& s) override {
    inner_->DownloadError(s);
    Note();
  }
  void DownloadCancelled(long& p) override { inner_->DownloadCancelled(p); }
  void InformationReady() override { inner_->InformationReady(); }

  // Runs after each progress notification, e.g. to act in the middle of a run.
  std::function<void()> onProgress;

 protected:
  virtual void Note() = 0;
  TestProgram& app_;

 private:
  IDownloadEvents* inner_;
};

}  // namespace mf::test
