#pragma once
// The 33-bit, 90 kHz timestamps of a transport stream turned into one
// steady line of time for the whole program: carried on across the wrap at
// 2^33, and across discontinuities (a segment flagged as one, or time that
// jumps), where the new run continues where the last one ended. Every
// stream of the program shares the line, so audio and video stay together.
#include <cstdint>
#include <vector>

namespace mf::media {

constexpr int64_t kTsClock = 90000;

class Timeline {
 public:
  // `startAt`: what the first timestamp becomes.
  Timeline(size_t streams, int64_t startAt);
  // The next segment starts a new run of timestamps.
  void Break() { breakPending_ = true; }
  // A stream's raw timestamp (a DTS) on the line.
  int64_t Place(size_t stream, uint64_t raw);
  // The stream's samples reach this far (a sample's time plus its duration).
  void Reach(size_t stream, int64_t end);

 private:
  struct Stream {
    int64_t end = INT64_MIN;
    bool newRun = false;
  };
  int64_t EarliestEnd() const;
  std::vector<Stream> streams_;
  int64_t startAt_;
  bool started_ = false;
  bool breakPending_ = false;
  int64_t last_ = 0;    // the last raw timestamp, unwrapped
  int64_t offset_ = 0;  // from unwrapped to the line
};

// The difference of two 33-bit timestamps, taken the short way round the wrap.
int64_t TimestampDelta(uint64_t to, uint64_t from);

}  // namespace mf::media
