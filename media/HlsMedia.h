#pragma once
// HLS media playlists: the segments of one track.
#include <string_view>

#include "media/ReadResult.h"
#include "media/StreamPlan.h"

namespace mf::media {

// A media playlist's text (as fetched from `playlistUrl`, its final address
// after redirects) to its track: segments with absolute addresses, byte
// ranges, keys (with their IVs, from the tag or the sequence number) and
// discontinuities; fragmented MP4 when it has an EXT-X-MAP. Refused when live
// (no EXT-X-ENDLIST) or protected. The track's kind is Muxed: HlsPlan sets it.
ReadResult<Track> ReadHlsMedia(std::string_view text, std::wstring_view playlistUrl);

}  // namespace mf::media
