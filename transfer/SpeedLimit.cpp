#include "transfer/SpeedLimit.h"

#include <windows.h>

#include <algorithm>

namespace mf {
namespace {

// One lock for the bucket: taken a few hundred times a second at most.
struct Bucket {
  SRWLOCK lock = SRWLOCK_INIT;
  std::atomic<int64_t> rate{0};
  double tokens = 0;
  double last = 0;  // seconds
};

Bucket& TheBucket() {
  static Bucket bucket;
  return bucket;
}

double SecondsNow() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A read under a limit takes at most 1/50 s of the rate: many connections
// then share it evenly, and none runs far ahead of the others.
double SliceOf(int64_t rate) { return std::max(4096.0, rate / 50.0); }
// The burst: what may go at once after a pause.
double BurstOf(int64_t rate) { return 2 * SliceOf(rate); }

}  // namespace

void SpeedLimit::Set(int64_t bytesPerSecond) {
  Bucket& b = TheBucket();
  AcquireSRWLockExclusive(&b.lock);
  b.rate = std::max<int64_t>(0, bytesPerSecond);
  b.tokens = 0;
  b.last = SecondsNow();
  ReleaseSRWLockExclusive(&b.lock);
}

int64_t SpeedLimit::Get() { return TheBucket().rate; }

size_t SpeedLimit::Acquire(size_t want, const std::atomic<bool>& stop) {
  Bucket& b = TheBucket();
  while (!stop) {
    if (b.rate == 0) return want;
    AcquireSRWLockExclusive(&b.lock);
    const int64_t rate = b.rate;
    const double now = SecondsNow();
    b.tokens = std::min(BurstOf(rate), b.tokens + (now - b.last) * rate);
    b.last = now;
    const double asked = std::min<double>(static_cast<double>(want), SliceOf(rate));
    if (rate == 0 || b.tokens >= asked) {
      b.tokens -= rate == 0 ? 0 : asked;
      ReleaseSRWLockExclusive(&b.lock);
      return rate == 0 ? want : static_cast<size_t>(asked);
    }
    const double waitMs = (asked - b.tokens) * 1000.0 / rate;
    ReleaseSRWLockExclusive(&b.lock);
    Sleep(static_cast<DWORD>(std::clamp(waitMs, 1.0, 50.0)));
  }
  return 0;
}

void SpeedLimit::Refund(size_t unused) {
  Bucket& b = TheBucket();
  if (unused == 0 || b.rate == 0) return;
  AcquireSRWLockExclusive(&b.lock);
  b.tokens = std::min(BurstOf(b.rate), b.tokens + static_cast<double>(unused));
  ReleaseSRWLockExclusive(&b.lock);
}

}  // namespace mf
