#pragma once
// Joins a stream's downloaded segments into one movie file, by our own code.
//
// The caller (the transfer) calls WriteMovie once every segment of every
// track of a stream is on disk, each in a file of its own, decrypted (see
// SegmentCipher.h) and in playlist order. It writes `outPath` (normally the
// ".part" file) and then names the finished file after `Result::kind`: an
// ".mp4", or a ".ts" when a transport stream carries codecs other than H.264
// and AAC, which the item tells the user. On failure no part of a movie is left at
// `outPath`; `error` says why in plain words, and `damaged` names the segment
// that could not be read, so that it can be fetched again.
#include <optional>
#include <string>
#include <vector>

#include "media/StreamPlan.h"

namespace mf::media {

struct SegmentFile {
  std::wstring path;
  bool discontinuity = false;  // timestamps may start again here
};

// One track of the plan, as files.
struct TrackFiles {
  TrackKind kind = TrackKind::Muxed;
  Container container = Container::MpegTs;
  std::wstring initPath;  // fragmented MP4 only: the init segment (ftyp, moov)
  std::vector<SegmentFile> segments;
};

enum class MovieKind { Mp4, TransportStream };

struct DamagedSegment {
  size_t track = 0;               // index into the caller's tracks
  std::optional<size_t> segment;  // none: the track's init segment
};

struct Result {
  bool ok = false;
  MovieKind kind = MovieKind::Mp4;
  std::wstring error;
  std::optional<DamagedSegment> damaged;
};

Result WriteMovie(const std::vector<TrackFiles>& tracks, const std::wstring& outPath);

}  // namespace mf::media
