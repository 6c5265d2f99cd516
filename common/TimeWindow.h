#pragma once
// The hours of the day in which downloads may run, e.g. 01:00 to 07:00. Pure:
// the caller tells the local time of day, and arms its own timers.
#include <cstdint>

namespace mf {

inline constexpr int kMinutesPerDay = 24 * 60;

struct TimeWindow {
  // Minutes after midnight. The window is [from, to); when `to` is earlier
  // than `from` it passes midnight, and when they are equal it is the whole day.
  int from = 0;
  int to = 0;

  // Returned by MsUntilClose for a window that never closes.
  static constexpr int64_t kNever = -1;

  // Whether the window is open at `minute` after midnight (taken modulo a day).
  bool IsOpen(int minute) const;
  // Milliseconds from the moment `minute`:`msIntoMinute` until the window
  // opens; 0 while it is open.
  int64_t MsUntilOpen(int minute, int msIntoMinute = 0) const;
  // Milliseconds from that moment until the window closes; 0 while it is
  // closed, kNever for the whole day.
  int64_t MsUntilClose(int minute, int msIntoMinute = 0) const;
};

}  // namespace mf
