#pragma once
// Telling a stream from other answers: by its address before anything is
// fetched, by the answer's content type, and by the text itself once read.
#include <string_view>

namespace mf::media {

enum class StreamFormat { None, Hls, Dash };

// A path ending in ".m3u8" or ".mpd" (any letter case); the query and the
// fragment do not count. The caller fetches such an address as a stream.
StreamFormat StreamFormatOfAddress(std::wstring_view address);
// "application/vnd.apple.mpegurl", "application/x-mpegurl", "audio/mpegurl",
// "application/dash+xml" (any letter case, parameters ignored). The caller
// reads an answer of such a type as a playlist or manifest, never as a page.
StreamFormat StreamFormatOfContentType(std::wstring_view contentType);

enum class ManifestKind { Neither, HlsMaster, HlsMedia, Dash };

// What a fetched text is, by its content: the caller hands a master to
// ReadHlsMaster, a media playlist to ReadHlsMedia, a manifest to
// ReadDashManifest, and treats anything else as no stream.
ManifestKind ManifestKindOfText(std::string_view text);

}  // namespace mf::media
