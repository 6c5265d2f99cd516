#include "media/Timeline.h"

#include <algorithm>

namespace mf::media {
namespace {

constexpr int64_t kWrap = int64_t(1) << 33;
// A step larger than this either way is a new run, not the stream going on.
constexpr int64_t kJump = 10 * kTsClock;

}  // namespace

int64_t TimestampDelta(uint64_t to, uint64_t from) {
  int64_t d = int64_t((to - from) & uint64_t(kWrap - 1));
  return d >= kWrap / 2 ? d - kWrap : d;
}

Timeline::Timeline(size_t streams, int64_t startAt) : streams_(streams), startAt_(startAt) {}

int64_t Timeline::Place(size_t stream, uint64_t raw) {
  if (!started_) {
    started_ = true;
    breakPending_ = false;
    last_ = int64_t(raw & uint64_t(kWrap - 1));
    offset_ = startAt_ - last_;
  }
  int64_t delta = TimestampDelta(raw, uint64_t(last_));
  last_ += delta;
  if (breakPending_ || delta > kJump || delta < -kJump) {
    // From the earliest end of a stream: one that would overlap itself
    // pushes the run on below, so the gap is the least that keeps order.
    offset_ = EarliestEnd() - last_;
    breakPending_ = false;
    for (Stream& s : streams_) s.newRun = true;
  }
  int64_t at = last_ + offset_;
  Stream& s = streams_[stream];
  // A stream that starts its new run before its own end would overlap
  // itself: the whole program moves on so that it does not.
  if (s.newRun && at < s.end) {
    offset_ += s.end - at;
    at = s.end;
  }
  s.newRun = false;
  return at;
}

void Timeline::Reach(size_t stream, int64_t end) {
  streams_[stream].end = std::max(streams_[stream].end, end);
}

int64_t Timeline::EarliestEnd() const {
  int64_t earliest = INT64_MAX;
  for (const Stream& s : streams_)
    if (s.end != INT64_MIN) earliest = std::min(earliest, s.end);
  return earliest == INT64_MAX ? startAt_ : earliest;
}

}  // namespace mf::media
