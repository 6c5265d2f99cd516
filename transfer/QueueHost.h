#pragma once
// What the queue driver needs of the window it runs behind: the run's
// captions, the movie's variables, the grid row of the running item, the
// running transfer's progress and the run's end, and an owner for its
// message boxes.
#include <windows.h>

#include <cstdint>
#include <string>

namespace mf {

class IQueueHost {
 public:
  virtual ~IQueueHost() = default;
  virtual HWND OwnerWindow() = 0;
  // The caption of the start/stop button and of the tray menu's download item.
  virtual void SetStartButtonCaption(const std::wstring& caption) = 0;
  virtual void SetMenuDownloadCaption(const std::wstring& caption) = 0;
  virtual void SetFlashVariable(const std::wstring& name, const std::wstring& value) = 0;
  // The movie page last chosen ("Download", "About" or empty).
  virtual std::wstring CurrentTab() = 0;
  virtual std::wstring DownloadFolder() = 0;
  // Finds the grid row of the running item again (the grid's rows are
  // replaced by every rebuild), and writes its Status cell directly.
  virtual void LocateCurrentRow() = 0;
  virtual void ShowCurrentStatus(const std::wstring& status) = 0;
  // The running item's file after each block: bytes so far and its size (0
  // or below when unknown). Called very often; the host keeps it cheap.
  virtual void ShowTransferProgress(int64_t bytesReceived, float fileSize) = 0;
  // The running item's transfer is over, whatever its end.
  virtual void EndTransferProgress() = 0;
  // A run has ended: the items it downloaded and those that failed.
  virtual void RunEnded(int downloaded, int failed) = 0;
};

}  // namespace mf
