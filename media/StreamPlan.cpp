#include "media/StreamPlan.h"

namespace mf::media {

std::array<uint8_t, 16> SequenceIv(uint64_t sequence) {
  std::array<uint8_t, 16> iv{};
  for (size_t i = 0; i < 8; ++i) iv[15 - i] = static_cast<uint8_t>(sequence >> (8 * i));
  return iv;
}

bool SamePlace(const Segment& a, const Segment& b) {
  if (a.url != b.url || a.range.has_value() != b.range.has_value()) return false;
  return !a.range || (a.range->offset == b.range->offset && a.range->length == b.range->length);
}

bool NeedsIndex(const Track& track) { return !track.indexUrl.empty(); }

}  // namespace mf::media
