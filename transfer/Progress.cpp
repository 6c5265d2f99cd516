#include "transfer/Progress.h"

#include <climits>
#include <cmath>

namespace mf {

long ClampToLong(int64_t value) {
  if (value > LONG_MAX) return LONG_MAX;
  if (value < LONG_MIN) return LONG_MIN;
  return static_cast<long>(value);
}

long ProgressValue(int64_t bytesReceived, float fileSize) {
  if (!(fileSize > 0)) return ClampToLong(bytesReceived);
  double exact = static_cast<double>(bytesReceived) / static_cast<double>(fileSize) * 100.0;
  double percent = std::floor(exact);
  double fraction = exact - percent;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(percent, 2.0) != 0.0)) percent += 1.0;
  if (!(percent < static_cast<double>(LONG_MAX))) return LONG_MAX;
  return static_cast<long>(percent);
}

}  // namespace mf
