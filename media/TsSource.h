#pragma once
// A transport stream track of the stream (HLS with TS segments) rewritten as
// MP4 fragments: H.264 access units become length-prefixed samples, AAC
// frames lose their ADTS headers, and PTS/DTS become one steady line of
// time. A first pass (the probe) learns the codecs' configuration and where
// time starts; the second writes.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/Adts.h"
#include "media/Fragment.h"
#include "media/MediaFiles.h"
#include "media/MovieBoxes.h"
#include "media/MovieWriter.h"
#include "media/Timeline.h"
#include "media/TsDemux.h"

namespace mf::media {

struct TsProbe {
  std::vector<std::string> sps, pps;  // each distinct parameter set, in order
  std::optional<AdtsFrame> aac;
  bool video = false;
  std::optional<std::wstring> unconvertible;  // why it can only stay a transport stream
  std::optional<uint64_t> firstTimestamp;
};

// Reads every segment once; throws SegmentError.
TsProbe ProbeTransportStream(size_t input, const TrackFiles& files);

class TsSource : public FragmentSource {
 public:
  // `startAt`: the time of the probe's first timestamp on the movie's line.
  TsSource(size_t input, const TrackFiles& files, const TsProbe& probe, size_t firstTrack,
           int64_t startAt);
  std::vector<MovieTrack> Tracks() const;
  bool Next(Fragment& fragment) override;
  // Per track of Tracks(): where it starts to show (its lowest PTS) in its
  // timescale, on the line shared by every transport stream of the movie,
  // and the decode time its media starts from (its fragments count from it).
  struct Span {
    std::optional<int64_t> shown, origin;
  };
  std::vector<Span> Spans() const;

 private:
  friend TsProbe ProbeTransportStream(size_t input, const TrackFiles& files);
  enum Stream : size_t { kVideo, kAudio, kStreams };
  struct Pending {
    std::vector<int64_t> times;  // decode times, in the track's timescale
    std::vector<Sample> samples;
    std::string data;
  };
  TsSource(size_t input, const TrackFiles& files);  // probing
  bool Step();
  bool Advance();
  void OnStreams(const std::vector<ElementaryStream>& streams);
  void OnPes(PesPacket&& pes);
  void OnVideo(const PesPacket& pes);
  void OnAudio(const PesPacket& pes);
  void AddAudioFrame(std::string_view body);
  int64_t Place(Stream stream, uint64_t raw);
  void Cut(std::optional<int64_t> videoNext);
  void NoteShown(Stream stream, int64_t at);

  size_t input_;
  const TrackFiles& files_;
  bool probing_;
  TsProbe probe_;
  size_t track_[kStreams] = {};
  uint32_t timescale_[kStreams] = {uint32_t(kTsClock), 0};
  Timeline timeline_;
  TsDemux demux_;
  std::optional<uint16_t> pid_[kStreams];
  size_t segment_ = 0;
  std::unique_ptr<InFile> file_;
  uint64_t position_ = 0;
  bool finished_ = false;
  Pending pending_[kStreams];
  int64_t videoStep_ = kTsClock / 25;  // the last frame duration seen
  std::optional<int64_t> audioNext_;   // where the next AAC frame is expected
  std::string audioLeft_;              // a frame begun in the last PES packet
  std::deque<Fragment> ready_;
  Span span_[kStreams];
};

}  // namespace mf::media
