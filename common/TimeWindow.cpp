#include "common/TimeWindow.h"

namespace mf {
namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;

int DayMinute(int minute) { return ((minute % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay; }

// From the moment to the next start of minute `target`; the callers never
// ask for the minute they are in.
int64_t MsUntil(int target, int minute, int msIntoMinute) {
  const int minutes = (DayMinute(target) - DayMinute(minute) + kMinutesPerDay) % kMinutesPerDay;
  return minutes * kMsPerMinute - msIntoMinute;
}

}  // namespace

bool TimeWindow::IsOpen(int minute) const {
  const int now = DayMinute(minute), start = DayMinute(from), end = DayMinute(to);
  if (start == end) return true;
  if (start < end) return now >= start && now < end;
  return now >= start || now < end;  // passes midnight
}

int64_t TimeWindow::MsUntilOpen(int minute, int msIntoMinute) const {
  return IsOpen(minute) ? 0 : MsUntil(from, minute, msIntoMinute);
}

int64_t TimeWindow::MsUntilClose(int minute, int msIntoMinute) const {
  if (DayMinute(from) == DayMinute(to)) return kNever;
  return IsOpen(minute) ? MsUntil(to, minute, msIntoMinute) : 0;
}

}  // namespace mf
