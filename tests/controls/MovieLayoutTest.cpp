// Where the movie's elements lie: scaled to the DPI, and given the room of a
// larger window by their anchors.
#include <gtest/gtest.h>

#include "controls/player/MovieLayout.h"

using namespace mf::movie;

namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(MovieLayout, ElementsScaleAndFollowTheEdgesTheyAreAnchoredTo) {
  const Rect at{20, 176, 577, 184};
  struct Case {
    unsigned anchor;
    int dpi;
    SIZE grow;
    RECT expected;
  };
  const Case cases[] = {
      {kAnchorDefault, 96, {0, 0}, {20, 176, 597, 360}},
      {kAnchorDefault, 144, {0, 0}, {30, 264, 896, 540}},
      {kAnchorDefault, 192, {0, 0}, {40, 352, 1194, 720}},
      {kAnchorDefault, 96, {100, 50}, {20, 176, 597, 360}},              // stays
      {kAnchorRight, 96, {100, 50}, {120, 176, 697, 360}},               // moves right
      {kAnchorLeft | kAnchorRight, 96, {100, 50}, {20, 176, 697, 360}},  // stretches
      {kAnchorBottom, 96, {100, 50}, {20, 226, 597, 410}},               // moves down
      {kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom,
       144,
       {100, 50},
       {30, 264, 996, 590}},
      {kAnchorRight | kAnchorBottom, 192, {10, 20}, {50, 372, 1204, 740}},
  };
  for (const Case& c : cases) {
    RECT r = Arrange(at, c.anchor, c.dpi, c.grow);
    EXPECT_TRUE(Same(r, c.expected))
        << "anchor " << c.anchor << " at " << c.dpi << " dpi: " << r.left << "," << r.top << ","
        << r.right << "," << r.bottom;
  }
}

TEST(MovieLayout, TheRoomIsWhatTheWindowHasBeyondTheScaledMovie) {
  struct Case {
    SIZE client;
    int dpi;
    SIZE expected;
  };
  const Case cases[] = {
      {{630, 535}, 96, {0, 0}},     {{1600, 1000}, 96, {970, 465}}, {{945, 803}, 144, {0, 0}},
      {{1000, 900}, 144, {55, 97}}, {{500, 400}, 96, {0, 0}},  // a smaller window crops, never
                                                               // shrinks
  };
  for (const Case& c : cases) {
    SIZE room = Growth(c.client, 630, 535, c.dpi);
    EXPECT_EQ(room.cx, c.expected.cx) << c.client.cx << " at " << c.dpi;
    EXPECT_EQ(room.cy, c.expected.cy) << c.client.cy << " at " << c.dpi;
  }
}

}  // namespace
