// The speed line: its texts, how often it changes, and its smoothing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "transfer/TransferRate.h"

using namespace mf;

namespace {

constexpr int64_t kMB = 1048576;

TEST(TransferRate, TextsForKnownAndUnknownSizes) {
  struct Case {
    int64_t bytes, size;
    double speed;
    const wchar_t* text;
  };
  const Case cases[] = {
      {0, 10 * kMB, 2.4 * kMB, L"2.4 MB/s, about 5 seconds left"},
      {0, 100 * kMB, 2 * kMB, L"2 MB/s, about 50 seconds left"},
      {0, 150 * kMB, 2.5 * kMB, L"2.5 MB/s, about 1 min left"},
      {0, 600 * kMB, 512 * 1024, L"512 KB/s, about 20 min left"},
      {0, 7 * 3600 * kMB, 1.0 * kMB / 0.6, L"1.7 MB/s, about 4 h 12 min left"},
      {0, 7200 * kMB, kMB, L"1 MB/s, about 2 h left"},
      {0, 200000 * kMB, kMB, L"1 MB/s, more than a day left"},
      {kMB, 10 * kMB, 0, L"0 Bytes/s"},          // nothing arrives: no time can be told
      {10 * kMB, 10 * kMB, 3 * kMB, L"3 MB/s"},  // all is there
      {12 * kMB + kMB / 2, 0, 2.4 * kMB, L"12.5 MB so far, 2.4 MB/s"},
      {800, -1, 100, L"800 Bytes so far, 100 Bytes/s"},
  };
  for (const Case& c : cases) EXPECT_EQ(RateText(c.bytes, c.size, c.speed), c.text) << c.text;
}

TEST(TransferRate, ChangesAtMostTwiceASecondAndAveragesTheLastFiveSeconds) {
  TransferRate rate;
  std::vector<std::wstring> texts;
  // 1 MB/s for six seconds, a block every 10 ms, of a 20 MB file.
  for (uint64_t ms = 0; ms <= 6000; ms += 10)
    if (auto text = rate.Update(ms, static_cast<int64_t>(ms) * kMB / 1000, 20 * kMB))
      texts.push_back(*text);
  ASSERT_EQ(texts.size(), 12u);  // at 0.5 s, 1 s, ... 6 s
  EXPECT_EQ(texts.back(), L"1 MB/s, about 15 seconds left");

  // Two seconds without a byte: the speed falls gradually, not to nothing at once.
  std::optional<std::wstring> stalled;
  for (uint64_t ms = 6010; ms <= 8000; ms += 10)
    if (auto text = rate.Update(ms, 6 * kMB, 20 * kMB)) stalled = text;
  ASSERT_TRUE(stalled);
  EXPECT_EQ(*stalled, L"614.4 KB/s, about 25 seconds left");  // 3 MB over the last 5 s

  // A new transfer starts measuring afresh.
  rate.Reset();
  EXPECT_FALSE(rate.Update(9000, 0, 0));
  EXPECT_EQ(rate.Update(9500, kMB / 2, 0), L"512 KB so far, 1 MB/s");
}

}  // namespace
