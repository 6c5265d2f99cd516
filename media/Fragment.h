#pragma once
// One movie fragment (a moof and its mdat) as the writer lays it out: for
// each track a start time and runs of samples, whose bytes come from a
// segment file or from memory. Every source of the movie, fragmented MP4 or
// transport stream, hands its media over in this form.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/Bytes.h"

namespace mf::media {

class InFile;

// Sample flags of ISO/IEC 14496-12 ("sample_depends_on" and "is_non_sync_sample").
constexpr uint32_t kNonSyncBit = 0x00010000;
constexpr uint32_t kSyncSample = 0x02000000;
constexpr uint32_t kNonSyncSample = 0x01000000 | kNonSyncBit;

struct Sample {
  uint32_t duration = 0;
  uint32_t size = 0;
  uint32_t flags = 0;
  int32_t compositionOffset = 0;
};

struct SampleRun {
  std::vector<Sample> samples;
  uint64_t dataOffset = 0;  // in the fragment's file, or its bytes
  uint64_t DataSize() const;
};

struct TrackFragment {
  size_t track = 0;         // the movie's track: its ID is this plus one
  uint64_t decodeTime = 0;  // in the track's timescale
  uint32_t descriptionIndex = 1;
  std::vector<SampleRun> runs;
  uint64_t Duration() const;
};

struct Fragment {
  std::vector<TrackFragment> tracks;
  const InFile* file = nullptr;  // the sample bytes: here when set, else in `bytes`
  std::string bytes;
  double start = 0;  // seconds, for interleaving the sources
};

// A damaged input: which of the caller's tracks, which segment (none: its
// init segment), and what is wrong with it.
class SegmentError : public MediaError {
 public:
  SegmentError(size_t input, std::optional<size_t> segment, std::wstring why)
      : MediaError(std::move(why)), input_(input), segment_(segment) {}
  size_t Input() const { return input_; }
  std::optional<size_t> Segment() const { return segment_; }

 private:
  size_t input_;
  std::optional<size_t> segment_;
};

// A track (or tracks, for muxed segments) of the movie as fragments in time order.
class FragmentSource {
 public:
  virtual ~FragmentSource() = default;
  // False when the source has no more. Throws SegmentError.
  virtual bool Next(Fragment& fragment) = 0;
};

}  // namespace mf::media
