#pragma once
// The segment index of a DASH SegmentBase: the "sidx" box (ISO/IEC 14496-12
// section 8.16.3) gives the byte size and duration of each segment after it.
#include <string_view>

#include "media/ReadResult.h"
#include "media/StreamPlan.h"

namespace mf::media {

// A track that NeedsIndex, with the bytes of its index (`indexRange` of
// `indexUrl`, which hold its "sidx" box), to the same track with its
// segments as byte ranges of indexUrl and no index left to read.
ReadResult<Track> TrackFromIndex(Track track, std::string_view indexBytes);

}  // namespace mf::media
