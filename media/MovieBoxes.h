#pragma once
// The boxes of the fragmented MP4 the writer makes: the file type, the one
// moov that describes every track, and each fragment's moof and mdat.
#include <cstdint>
#include <string>
#include <vector>

#include "media/Fragment.h"

namespace mf::media {

class OutFile;

// The movie timescale: durations in the moov count milliseconds.
constexpr uint32_t kMovieTimescale = 1000;

// Defaults of a track's fragments (its trex).
struct TrackDefaults {
  uint32_t descriptionIndex = 1;
  uint32_t duration = 0;
  uint32_t size = 0;
  uint32_t flags = 0;
};

// One track as the moov describes it. Either copied from a fragmented MP4's
// init segment (`sourceTrak` set) or made here (`sampleEntry` set).
struct MovieTrack {
  uint32_t timescale = 0;
  TrackDefaults defaults;
  std::string sourceTrak;                // the whole trak box
  uint32_t sourceMovieTimescale = 1000;  // what its edit list counts in
  bool video = false;
  std::string sampleEntry;  // avc1/avc3 or mp4a, with its configuration box
  uint16_t width = 0, height = 0;
  // Learnt from the fragments, in `timescale`: where the media begins and
  // ends, and for a made track where it starts to show (its edit), after
  // `emptyEdit` milliseconds of nothing.
  uint64_t begin = UINT64_MAX;
  uint64_t end = 0;
  uint64_t presentationStart = 0;
  uint64_t emptyEdit = 0;
};

std::string FileTypeBox();
// Fields the fragments fill in later keep their width, so the box is the same
// size before and after they are known.
std::string MovieBox(const std::vector<MovieTrack>& tracks);
// The moof (with this sequence number) and mdat of a fragment; decode times
// less `rebase` of their track.
void WriteFragment(OutFile& out, uint32_t sequence, const Fragment& fragment,
                   const std::vector<uint64_t>& rebase);
// An mdat header for a payload of this size: 8 bytes, or 16 past 4 GiB.
std::string MediaDataHeader(uint64_t payload);
// A fragment where playing can start: its moof, and the presentation time
// of its first sample in its track's timescale.
struct RandomAccessPoint {
  uint64_t time = 0;
  uint64_t moofOffset = 0;
  uint8_t traf = 1;  // which of the moof's track fragments, from 1
};
// The mfra that lists them for each track, for players that seek with it.
std::string RandomAccessBox(const std::vector<std::vector<RandomAccessPoint>>& tracks);
// A box of this size (0, or at least 8) that holds nothing.
std::string FreeBox(size_t size);

}  // namespace mf::media
