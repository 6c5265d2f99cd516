#pragma once
// Speed and time left of the running transfer, as the one line the window
// and the tray tooltip show ("2.4 MB/s, about 1 min left"). The speed is
// measured over the last few seconds so the line does not jitter, and the
// text is made at most twice a second: the download control notifies once
// per block, thousands of times a second on a fast line.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace mf {

class TransferRate {
 public:
  static constexpr uint64_t kSpanMs = 5000;    // the speed is the average over this span
  static constexpr uint64_t kRefreshMs = 500;  // the text changes at most this often

  // A new transfer: what was measured of the last one is forgotten.
  void Reset() { samples_.clear(); }
  // The transfer has `bytes` at `nowMs`, of `size` bytes (0 or below:
  // unknown). The new text when one is due; most calls return nothing at once.
  std::optional<std::wstring> Update(uint64_t nowMs, int64_t bytes, int64_t size);

 private:
  struct Sample {
    uint64_t ms;
    int64_t bytes;
  };
  std::deque<Sample> samples_;  // one per refresh, oldest first
  uint64_t dueMs_ = 0;
};

// "2.4 MB/s", "512 Bytes/s".
std::wstring SpeedText(double bytesPerSecond);
// "about 40 seconds left", "about 1 min left", "about 2 h 5 min left",
// "more than a day left".
std::wstring TimeLeftText(double seconds);
// The line for a transfer: speed and time left with a known size, the bytes
// so far and the speed without one.
std::wstring RateText(int64_t bytes, int64_t size, double bytesPerSecond);

}  // namespace mf
