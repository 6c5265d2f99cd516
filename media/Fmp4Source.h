#pragma once
// A fragmented MP4 track of the stream (HLS fMP4 or DASH): the tracks its
// init segment describes, and its segments' fragments one after another,
// with their timestamps carried on across discontinuities.
#include <memory>
#include <vector>

#include "media/Fragment.h"
#include "media/MediaFiles.h"
#include "media/MovieBoxes.h"
#include "media/MovieWriter.h"

namespace mf::media {

class Fmp4Source : public FragmentSource {
 public:
  // Reads the init segment; its tracks become the movie's tracks numbered
  // from `firstTrack`. Throws SegmentError.
  Fmp4Source(size_t input, const TrackFiles& files, size_t firstTrack);
  const std::vector<MovieTrack>& Tracks() const { return headers_; }
  bool Next(Fragment& fragment) override;

 private:
  struct Track {
    uint32_t sourceId = 0;
    uint64_t end = 0;   // where its fragments so far end, in the output's time
    int64_t shift = 0;  // added to the source's decode times
    bool started = false;
    bool breakPending = false;
  };
  void ReadInit(const std::wstring& path);
  bool NextFragment(Fragment& fragment);
  void ReadFragment(uint64_t moofAt, const BoxHeader& h, Fragment& fragment);
  uint64_t ReadTrackFragment(std::string_view traf, uint64_t moofAt, uint64_t base,
                             TrackFragment& out);
  uint64_t Place(size_t local, std::optional<uint64_t> decodeTime, uint64_t duration);

  size_t input_;
  const TrackFiles& files_;
  size_t firstTrack_;
  std::vector<MovieTrack> headers_;
  std::vector<Track> tracks_;
  size_t segment_ = 0;
  std::unique_ptr<InFile> file_;
  uint64_t position_ = 0;
  size_t budget_ = 0;  // samples the fragment being read may still list
};

}  // namespace mf::media
