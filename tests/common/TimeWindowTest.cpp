// The daily window of hours: open or not, and how long until that changes.
#include <gtest/gtest.h>

#include "common/TimeWindow.h"

using mf::TimeWindow;

namespace {

constexpr int64_t kMin = 60 * 1000;

TEST(TimeWindow, OpenAndMillisecondsUntilItOpensOrClosesRoundTheClock) {
  struct Case {
    TimeWindow window;
    int minute, ms;
    bool open;
    int64_t untilOpen, untilClose;
  };
  const Case cases[] = {
      // 01:00 to 07:00, at the edges and across midnight from before.
      {{60, 420}, 59, 30000, false, 30000, 0},
      {{60, 420}, 60, 0, true, 0, 360 * kMin},
      {{60, 420}, 419, 59000, true, 0, 1000},
      {{60, 420}, 420, 0, false, 1080 * kMin, 0},
      // 22:00 to 02:00 passes midnight.
      {{1320, 120}, 1380, 0, true, 0, 180 * kMin},
      {{1320, 120}, 120, 0, false, 1200 * kMin, 0},
      // The same hour at both ends is the whole day: never closed.
      {{300, 300}, 299, 0, true, 0, TimeWindow::kNever},
      // Minutes past the day count round the clock.
      {{60, 420}, -1, 0, false, 61 * kMin, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.window.from << "-" << c.window.to << " at " << c.minute << ":" << c.ms);
    EXPECT_EQ(c.window.IsOpen(c.minute), c.open);
    EXPECT_EQ(c.window.MsUntilOpen(c.minute, c.ms), c.untilOpen);
    EXPECT_EQ(c.window.MsUntilClose(c.minute, c.ms), c.untilClose);
  }
}

}  // namespace
