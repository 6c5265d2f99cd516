// The value of each progress notification.
#include <gtest/gtest.h>

#include <climits>

#include "transfer/Progress.h"

using mf::ClampToLong;
using mf::ProgressValue;

namespace {

TEST(ProgressValue, PercentOfAKnownSizeToTheNearestIntegerWithHalvesToEven) {
  EXPECT_EQ(ProgressValue(0, 200), 0);
  EXPECT_EQ(ProgressValue(1, 200), 0);   // 0.5
  EXPECT_EQ(ProgressValue(3, 200), 2);   // 1.5
  EXPECT_EQ(ProgressValue(5, 200), 2);   // 2.5
  EXPECT_EQ(ProgressValue(9, 200), 4);   // 4.5
  EXPECT_EQ(ProgressValue(11, 200), 6);  // 5.5
  EXPECT_EQ(ProgressValue(7, 1000), 1);  // 0.7
  EXPECT_EQ(ProgressValue(200, 200), 100);
}

TEST(ProgressValue, MoreThanTheKnownSizeGoesPast100Unchanged) {
  EXPECT_EQ(ProgressValue(3000, 1000), 300);
  EXPECT_EQ(ProgressValue(1001, 1000), 100);  // 100.1
}

TEST(ProgressValue, WithoutAKnownSizeItIsTheByteCount) {
  EXPECT_EQ(ProgressValue(4096, -1), 4096);
  EXPECT_EQ(ProgressValue(4096, 0), 4096);
  EXPECT_EQ(ProgressValue(0, -1), 0);
  EXPECT_EQ(ProgressValue(123, -5), 123);
}

TEST(ProgressValue, SizesAFloatCannotHoldExactlyStillEndAt100) {
  // 16,777,217 is one more than a float holds exactly.
  EXPECT_EQ(ProgressValue(16777217, 16777217.0f), 100);
  EXPECT_EQ(ProgressValue(3221225472LL, 3221225472.0f), 100);  // 3 GiB
  EXPECT_EQ(ProgressValue(1610612736LL, 3221225472.0f), 50);
}

TEST(ProgressValue, ValuesBeyond32BitsStayAtTheMaximumInsteadOfWrapping) {
  EXPECT_EQ(ProgressValue(2147483647LL, -1), 2147483647L);
  EXPECT_EQ(ProgressValue(2147483648LL, -1), LONG_MAX);
  EXPECT_EQ(ProgressValue(5LL << 30, -1), LONG_MAX);
  EXPECT_EQ(ProgressValue(1LL << 40, 1.0f), LONG_MAX);
  EXPECT_EQ(ClampToLong(3LL << 30), LONG_MAX);
  EXPECT_EQ(ClampToLong(4096), 4096);
}

}  // namespace
