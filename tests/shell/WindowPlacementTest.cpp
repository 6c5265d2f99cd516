// The main window's place kept between runs: brought back onto a monitor
// when it no longer lies on one, and stored and read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "shell/WindowPlacement.h"

using namespace mf;

namespace {

TEST(WindowPlacement, AWindowWhoseTitleCannotBeReachedIsBroughtOntoTheWorkArea) {
  const RECT work{0, 0, 1280, 984};  // a taskbar below
  struct Case {
    const char* what;
    RECT window, expected;
  };
  const Case cases[] = {
      {"inside", {100, 80, 730, 615}, {100, 80, 730, 615}},
      {"partly off to the right, its title still reachable",
       {1100, 80, 1730, 615},
       {1100, 80, 1730, 615}},
      {"larger than the screen, its title on it", {40, 12, 1640, 1012}, {40, 12, 1640, 1012}},
      {"on a monitor that is gone", {1400, 100, 2030, 635}, {650, 100, 1280, 635}},
      {"only a sliver left at the right", {1200, 100, 1830, 635}, {650, 100, 1280, 635}},
      {"title above the top", {100, -30, 730, 505}, {100, 0, 730, 535}},
      {"under the taskbar", {100, 960, 730, 1495}, {100, 449, 730, 984}},
      {"gone and larger than the work area", {-3000, 0, -1000, 1200}, {0, 0, 1280, 984}},
  };
  for (const Case& c : cases) {
    RECT r = BringOntoWorkArea(c.window, work, 120, 44);
    EXPECT_TRUE(EqualRect(&r, &c.expected))
        << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}

class KeptPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin"); }
};

TEST_F(KeptPlacementTest, PlacementAndColumnWidthsRoundTripAndDamagedValuesAreIgnored) {
  EXPECT_FALSE(LoadPlacement());
  EXPECT_TRUE(LoadColumnWidths().empty());
  SavePlacement({.normal = {-20, 30, 1580, 1030}, .maximized = true, .dpi = 144});
  SaveColumnWidths({300, 0, 2400});
  std::optional<KeptPlacement> kept = LoadPlacement();
  ASSERT_TRUE(kept);
  const RECT expected{-20, 30, 1580, 1030};
  EXPECT_TRUE(EqualRect(&kept->normal, &expected));
  EXPECT_TRUE(kept->maximized);
  EXPECT_EQ(kept->dpi, 144);
  EXPECT_EQ(LoadColumnWidths(), (std::vector<int>{300, 0, 2400}));

  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin\\Settings", 0,
                          KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  for (const char* damaged : {"1,2,3", "10,10,5,5,96", "1,2,x,4,96", "0,0,630,535,0"}) {
    RegSetValueExA(key, "Window Placement", 0, REG_SZ, reinterpret_cast<const BYTE*>(damaged),
                   static_cast<DWORD>(strlen(damaged) + 1));
    EXPECT_FALSE(LoadPlacement()) << damaged;
  }
  RegSetValueExA(key, "Column Widths", 0, REG_SZ, reinterpret_cast<const BYTE*>("300,-5"), 7);
  RegCloseKey(key);
  EXPECT_TRUE(LoadColumnWidths().empty());
}

}  // namespace
