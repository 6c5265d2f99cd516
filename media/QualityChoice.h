#pragma once
// The user's quality setting applied to a stream's versions, the same way for
// HLS variants and DASH representations.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "media/StreamPlan.h"

namespace mf::media {

struct VersionShape {
  int height = 0;         // 0: not given
  int64_t bandwidth = 0;  // bits per second; 0: not given
  bool audioOnly = false;
};

// The index of the version to fetch (the list must not be empty). Audio-only
// versions and, where some version gives its height, those that do not are
// passed over while others remain. Best: the tallest, then the widest in
// bandwidth; Up to N: the same among those at most N high, else the smallest;
// Smallest: the shortest, then the narrowest.
size_t ChooseVersion(const std::vector<VersionShape>& versions, Quality quality);

// A codecs list ("avc1.64001f,mp4a.40.2") by what it carries.
bool HasVideoCodec(std::wstring_view codecs);
bool HasAudioCodec(std::wstring_view codecs);

}  // namespace mf::media
