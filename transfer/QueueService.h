#pragma once
// Keeps the thread's message queue serviced during long synchronous work.
//
// A sweep of the queue costs about as much as a 2,048-byte read under Wine
// (each PeekMessage is a round trip to the server), so sweeping around every
// read of a transfer costs a third of its throughput. Sweeping only when a
// quantum of time has passed since the last sweep keeps timers, input and
// repaints running at a pace no person can tell apart, for a cost that no
// longer grows with the number of reads.
#include <windows.h>

namespace mf {

class QueueService {
 public:
  // 10 ms: a hundred sweeps a second, below one frame of a 60 Hz screen.
  static constexpr unsigned kDefaultQuantumUs = 10000;

  explicit QueueService(unsigned quantumUs = kDefaultQuantumUs);

  // Sweeps the queue now.
  void Now();
  // Sweeps the queue when the quantum has passed since the last sweep.
  void Due() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    if (t.QuadPart - last_ >= quantumTicks_) Sweep(t.QuadPart);
  }

 private:
  void Sweep(LONGLONG now);

  LONGLONG quantumTicks_;
  LONGLONG last_ = 0;
};

}  // namespace mf
