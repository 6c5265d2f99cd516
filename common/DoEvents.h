#pragma once
// Yielding to the message loop: long-running work on the user-interface thread
// calls DoEvents so that timers, commands and repaints keep running meanwhile.
namespace mf {

// Dispatches every message waiting for this thread and returns. A WM_QUIT is
// put back so the outer message loop still sees it.
void DoEvents();

// A yield point for tight loops. Under Wine every look at the message queue is
// a server round trip (tens of microseconds; a sweep per 2,048-byte read costs
// a transfer a third of its throughput), so between two real pumps this only
// reads the clock: it pumps at its first call and then whenever the interval
// has passed since its last pump. Messages wait at most about one interval
// plus the work between two yield points.
class ThrottledYield {
 public:
  explicit ThrottledYield(double intervalMs = 1.0) noexcept;
  // Pumps when the interval has passed since the last pump (always the first time).
  void operator()();
  // Pumps now.
  void Now();

 private:
  long long interval_;  // in performance-counter ticks
  long long last_ = 0;
  bool pumped_ = false;
};

// Message loop of the program: runs until WM_QUIT, returns its exit code.
int RunMessageLoop();

}  // namespace mf
