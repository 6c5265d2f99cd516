#include "transfer/TransferRate.h"

#include <algorithm>
#include <cmath>

#include "downloadlist/FileText.h"

namespace mf {

std::optional<std::wstring> TransferRate::Update(uint64_t nowMs, int64_t bytes, int64_t size) {
  if (samples_.empty()) {
    samples_.push_back({nowMs, bytes});
    dueMs_ = nowMs + kRefreshMs;
    return std::nullopt;
  }
  if (nowMs < dueMs_) return std::nullopt;
  dueMs_ = nowMs + kRefreshMs;
  samples_.push_back({nowMs, bytes});
  // Keep one sample at or beyond the span's start, so the span stays whole.
  while (samples_.size() > 2 && nowMs - samples_[1].ms >= kSpanMs) samples_.pop_front();
  const Sample& first = samples_.front();
  const double seconds = static_cast<double>(nowMs - first.ms) / 1000.0;
  const double speed = static_cast<double>(bytes - first.bytes) / seconds;
  return RateText(bytes, size, speed > 0 ? speed : 0);
}

std::wstring SpeedText(double bytesPerSecond) {
  return FormatFileSize(static_cast<float>(bytesPerSecond)) + L"/s";
}

std::wstring TimeLeftText(double seconds) {
  if (seconds < 60) {
    // Rounded up to five seconds: a count that moves by one every half second is noise.
    const long s = std::max(5L, static_cast<long>(std::ceil(seconds / 5) * 5));
    return L"about " + std::to_wstring(s) + L" seconds left";
  }
  // A stalled or crawling line would otherwise tell of years.
  if (seconds >= 24 * 3600) return L"more than a day left";
  const long minutes = std::lround(seconds / 60);
  if (minutes < 60) return L"about " + std::to_wstring(minutes) + L" min left";
  const std::wstring hours = L"about " + std::to_wstring(minutes / 60) + L" h";
  return minutes % 60 ? hours + L" " + std::to_wstring(minutes % 60) + L" min left"
                      : hours + L" left";
}

std::wstring RateText(int64_t bytes, int64_t size, double bytesPerSecond) {
  std::wstring speed = SpeedText(bytesPerSecond);
  if (size <= 0) return FormatFileSize(static_cast<float>(bytes)) + L" so far, " + speed;
  // Nothing arrives, or all has: no time left can be told.
  if (bytesPerSecond < 1 || bytes >= size) return speed;
  return speed + L", " + TimeLeftText(static_cast<double>(size - bytes) / bytesPerSecond);
}

}  // namespace mf
