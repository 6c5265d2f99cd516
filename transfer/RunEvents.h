#pragma once
// What a run tells its owner, in the run's own terms, and the little it asks
// of it. The owner (the program) decides how each is shown: captions, the
// movie, the grid, the tray, message boxes.
#include <cstdint>
#include <string>

namespace mf {

class IRunEvents {
 public:
  virtual ~IRunEvents() = default;
  // Where the run puts the files.
  virtual std::wstring DownloadFolder() = 0;
  // A stop was asked while a run is under way: true to stop it.
  virtual bool ConfirmStop() = 0;

  // Why a start did not begin a run.
  enum class Refusal { EmptyList, NotConnected };
  virtual void StartRefused(Refusal why) = 0;
  // The run is under way, or no longer (after a stop, at once; after its
  // last item, at its end).
  virtual void RunningChanged(bool running) = 0;
  // A run began.
  virtual void RunStarted() = 0;
  // A run waits for the hours in which downloads may run, which open at
  // `opensAt` minutes after midnight.
  virtual void RunWaiting(int opensAt) = 0;
  // The run has wholly ended: the items it downloaded and those that failed.
  virtual void RunEnded(int downloaded, int failed) = 0;

  // The item with this key changed where it stands (its status, name, size).
  virtual void ItemChanged(uint32_t key) = 0;
  // The running item's file after each block: bytes so far and its size
  // (0 or below when unknown). Called very often; the owner keeps it cheap.
  virtual void TransferProgress(uint32_t key, int64_t bytesReceived, float fileSize) = 0;
  // The running item's transfer is over, whatever its end.
  virtual void TransferEnded(uint32_t key) = 0;
  // Something of an item the user should read: why it failed, or what
  // became of its file.
  virtual void ItemNotice(uint32_t key, const std::wstring& text) = 0;
  // The YouTube redirect's connection failed.
  virtual void ConnectionError(const std::wstring& description) = 0;
};

}  // namespace mf
