#include "transfer/QueueService.h"

#include "common/DoEvents.h"

namespace mf {

QueueService::QueueService(unsigned quantumUs) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  quantumTicks_ = f.QuadPart * static_cast<LONGLONG>(quantumUs) / 1000000;
}

void QueueService::Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  Sweep(t.QuadPart);
}

void QueueService::Sweep(LONGLONG now) {
  DoEvents();
  // The quantum counts from the end of the sweep: handlers that ran in it
  // may have taken a while.
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  last_ = t.QuadPart > now ? t.QuadPart : now;
}

}  // namespace mf
