#pragma once
// What the download tests share: a test server on loopback, a folder of their
// own for the files, and an owner that records every notification.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/HttpServer.h"
#include "transfer/Download.h"

namespace mf::test {

struct DownloadEvent {
  enum Kind { Complete, Progress, Error, Cancelled };
  Kind kind;
  long value = 0;                       // lProgress or lPosition
  std::wstring text;                    // sErrorDescription
  DWORD thread = GetCurrentThreadId();  // where the notification arrived
};

// The owner: records each notification, then runs the test's hook for it.
class RecordingOwner : public IDownloadEvents {
 public:
  std::vector<DownloadEvent> events;
  std::function<void(long)> onProgress;
  std::function<void()> onComplete;
  std::function<void()> onCancelled;

  void DownloadComplete() override;
  void DownloadProgress(long& lProgress) override;
  void DownloadError(std::wstring& sErrorDescription) override;
  void DownloadCancelled(long& lPosition) override;
  void InformationReady() override { ++informed; }
  int informed = 0;  // information requests answered

  std::vector<long> Progress() const;
  size_t Count(DownloadEvent::Kind kind) const;
  // The kinds in order, as one letter each: C complete, P progress, E error,
  // X cancelled (for example "PPPC").
  std::string Sequence() const;
};

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A path in the test's own folder.
  std::wstring LocalPath(const std::wstring& name) const { return folder_ + L"\\" + name; }
  // Serves `size` bytes of the pattern at `target` and points the control at it.
  void ServeFile(const std::string& target, uint64_t size, uint32_t seed = 1);
  // Url and LocalFile of the control.
  void Aim(const std::string& target, const std::wstring& fileName);

  // Begins a transfer and lets the messages flow until it has ended: true
  // when it completed.
  bool Transfer(Download& control);
  bool Transfer() { return Transfer(download); }
  // Asks about Url, to the answer.
  void Inform(Download& control);
  void Inform() { Inform(download); }

  HttpServer server;
  RecordingOwner owner;
  MessageWindow window;
  Download download{window};

 private:
  std::wstring folder_;
};

// A loopback port on which nothing listens.
uint16_t ClosedPort();
std::optional<uint64_t> FileSizeOf(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::string ReadWholeFile(const std::wstring& path);
// The test server's pattern as a string, for small comparisons.
std::string Pattern(uint32_t seed, uint64_t offset, size_t size);

}  // namespace mf::test
