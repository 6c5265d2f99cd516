#pragma once
// The speed limit of the whole process: every connection of every transfer
// asks it for leave before it reads, so that all of them together stay under
// one rate. A token bucket with a small burst: a rate held over any two
// seconds, not just on average.
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace mf {

class SpeedLimit {
 public:
  // Bytes per second for all transfers together; 0: no limit. Takes effect
  // at once, also for transfers under way.
  static void Set(int64_t bytesPerSecond);
  static int64_t Get();
  // Waits until `want` bytes may be read (fewer under a limit: at most a
  // slice of it); what may be read, or 0 once `stop` is set.
  static size_t Acquire(size_t want, const std::atomic<bool>& stop);
  // Leave taken by Acquire and not used goes back.
  static void Refund(size_t unused);
};

}  // namespace mf
