// Transport stream timestamps on one line: the wrap at 2^33, discontinuities
// flagged or seen as jumps, and streams that must not overlap themselves.
#include <gtest/gtest.h>

#include "media/Timeline.h"

namespace mf::media {
namespace {

constexpr uint64_t kWrap = uint64_t(1) << 33;

TEST(TimelineTest, DeltaTakesTheShortWayRoundTheWrap) {
  EXPECT_EQ(TimestampDelta(150, 100), 50);
  EXPECT_EQ(TimestampDelta(100, 150), -50);
  EXPECT_EQ(TimestampDelta(2, kWrap - 1), 3);
  EXPECT_EQ(TimestampDelta(kWrap - 1, 2), -3);
}

TEST(TimelineTest, RunsFollowOneAnother) {
  struct Step {
    bool breakFirst;
    size_t stream;
    uint64_t raw;
    int64_t duration;  // the sample reaches this far past its time
    int64_t placed;
  };
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"steady",
       {{false, 0, 126000, 3600, 0},
        {false, 1, 127000, 1920, 1000},
        {false, 0, 129600, 3600, 3600}}},
      {"across the wrap",
       {{false, 0, kWrap - 3600, 3600, 0},
        {false, 0, 0, 3600, 3600},
        {false, 0, 3600, 3600, 7200}}},
      {"a flagged discontinuity",
       {{false, 0, 900000, 3600, 0},
        {false, 0, 903600, 3600, 3600},
        {true, 0, 126000, 3600, 7200},
        {false, 0, 129600, 3600, 10800}}},
      {"time that goes back",
       {{false, 0, 2000000, 3600, 0},
        {false, 0, 2003600, 3600, 3600},
        {false, 0, 126000, 3600, 7200}}},
      {"time that leaps on", {{false, 0, 0, 3600, 0}, {false, 0, 3600 + 20 * 90000, 3600, 3600}}},
      // Audio ends later than video; the new run starts from video's end,
      // and moves on where audio would overlap itself.
      {"apart ends",
       {{false, 0, 1000, 3600, 0},
        {false, 1, 1000, 5000, 0},
        {true, 0, 500000, 3600, 3600},
        {false, 1, 500000, 1920, 5000},
        {false, 0, 503600, 3600, 8600}}},
  };
  for (const auto& c : cases) {
    Timeline line(2, 0);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      if (s.breakFirst) line.Break();
      int64_t placed = line.Place(s.stream, s.raw);
      EXPECT_EQ(placed, s.placed) << c.name << ", step " << i;
      line.Reach(s.stream, placed + s.duration);
    }
  }
  Timeline shifted(1, 5000);
  EXPECT_EQ(shifted.Place(0, 126000), 5000);
}

}  // namespace
}  // namespace mf::media
