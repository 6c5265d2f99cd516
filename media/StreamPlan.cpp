#include "media/StreamPlan.h"

namespace mf::media {

std::array<uint8_t, 16> SequenceIv(uint64_t sequence) {
  std::array<uint8_t, 16> iv{};
  for (size_t i = 0; i < 8; ++i) iv[15 - i] = static_cast<uint8_t>(sequence >> (8 * i));
  return iv;
}

}  // namespace mf::media
