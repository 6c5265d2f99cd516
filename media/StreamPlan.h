#pragma once
// A stream as its playlist or manifest describes it: the tracks to fetch,
// each a run of segments, and what their bytes are. Reading a playlist gives
// a plan; the transfer fetches each segment (decrypting it where it has a
// key) into a file of its own; the writer joins the files into one movie.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mf::media {

// Bytes [offset, offset + length) of a resource; a length of -1 runs to its end.
struct ByteRange {
  int64_t offset = 0;
  int64_t length = -1;
};

// AES-128 in CBC mode over a whole segment, PKCS#7 padded: the only
// encryption a stream may have to be saved.
struct SegmentKey {
  std::wstring uri;  // where the 16-byte key is fetched; empty: not encrypted
  // None: the segment's sequence number, big-endian, is the IV.
  std::optional<std::array<uint8_t, 16>> iv;
};

struct Segment {
  std::wstring url;  // absolute
  std::optional<ByteRange> range;
  double duration = 0;         // seconds; 0 when not known
  uint64_t sequence = 0;       // the media sequence number
  bool discontinuity = false;  // timestamps may start again here
  SegmentKey key;
};

enum class Container { FragmentedMp4, MpegTs };
// Muxed: audio and video in one track's segments.
enum class TrackKind { Video, Audio, Muxed };

struct Track {
  TrackKind kind = TrackKind::Muxed;
  Container container = Container::MpegTs;
  std::optional<Segment> init;  // the initialization segment of fragmented MP4
  std::vector<Segment> segments;
  // Segments not yet known: they are listed by the index ("sidx") at this
  // range of this address, which must be read first.
  std::wstring indexUrl;
  std::optional<ByteRange> indexRange;
  int64_t bandwidth = 0;  // bits per second; 0 when not given
  int width = 0, height = 0;
  std::wstring codecs;
};

struct StreamPlan {
  std::vector<Track> tracks;
};

// Whether two segments are the same bytes of the same resource.
bool SamePlace(const Segment& a, const Segment& b);
// Whether the track's segments are still to be read from its index.
bool NeedsIndex(const Track& track);

// The IV of a key without one: the sequence number as a 128-bit big-endian number.
std::array<uint8_t, 16> SequenceIv(uint64_t sequence);

// The user's choice among a stream's variants.
enum class Quality { Best, UpTo1080, UpTo720, UpTo480, Smallest };

}  // namespace mf::media
