#pragma once
// DASH manifests (static ones): the representations to save, as a plan.
#include <string_view>

#include "media/ReadResult.h"
#include "media/StreamPlan.h"

namespace mf::media {

// A manifest's text (as fetched from `manifestUrl`, its final address after
// redirects) to its plan: the video representation the quality setting
// names and the audio one of the highest bandwidth, or one muxed
// representation when the manifest has no video and audio apart. Refused
// when dynamic (live) or when anything in it names ContentProtection.
// Tracks of a SegmentBase still need their index (NeedsIndex): the caller
// fetches each one's indexRange of indexUrl and hands the bytes to
// TrackFromIndex (DashIndex.h).
ReadResult<StreamPlan> ReadDashManifest(std::string_view text, std::wstring_view manifestUrl,
                                        Quality quality);

}  // namespace mf::media
