#include "media/TsSource.h"

#include <algorithm>

#include "media/H264.h"

namespace mf::media {
namespace {

constexpr size_t kReadPackets = 2048;
constexpr uint32_t kAacFrame = 1024;  // samples in one AAC frame
// A fragment is cut at every key frame, and sooner when this much waits.
constexpr size_t kMaxPending = 32 << 20;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// 90 kHz to a track's timescale, rounded to the nearest.
int64_t FromClock(int64_t at, uint32_t timescale) {
  return FloorDiv(at * timescale + kTsClock / 2, kTsClock);
}

bool SameFormat(const AdtsFrame& a, const AdtsFrame& b) {
  return a.objectType == b.objectType && a.rateIndex == b.rateIndex && a.channels == b.channels;
}

void AddDistinct(std::vector<std::string>& sets, std::string_view set) {
  if (std::find(sets.begin(), sets.end(), set) == sets.end() && sets.size() < 31)
    sets.emplace_back(set);
}

}  // namespace

TsProbe ProbeTransportStream(size_t input, const TrackFiles& files) {
  TsSource source(input, files);
  while (source.Step()) {
  }
  TsProbe probe = source.probe_;
  try {
    if (probe.video && !probe.sps.empty()) SpsPictureSize(probe.sps.front());
  } catch (const FormatError&) {
    probe.sps.clear();
  }
  if (probe.video && (probe.sps.empty() || probe.pps.empty()))
    probe.unconvertible = L"its video has no parameter sets that can be read";
  if (!probe.video && !probe.aac && !probe.unconvertible)
    throw MediaError(L"The stream holds no audio or video");
  return probe;
}

TsSource::TsSource(size_t input, const TrackFiles& files)
    : input_(input),
      files_(files),
      probing_(true),
      timeline_(kStreams, 0),
      demux_([this](const auto& streams) { OnStreams(streams); },
             [this](PesPacket&& pes) { OnPes(std::move(pes)); }) {}

TsSource::TsSource(size_t input, const TrackFiles& files, const TsProbe& probe, size_t firstTrack,
                   int64_t startAt)
    : input_(input),
      files_(files),
      probing_(false),
      probe_(probe),
      timeline_(kStreams, startAt),
      demux_([this](const auto& streams) { OnStreams(streams); },
             [this](PesPacket&& pes) { OnPes(std::move(pes)); }) {
  track_[kVideo] = firstTrack;
  track_[kAudio] = firstTrack + (probe.video ? 1 : 0);
  if (probe.aac) timescale_[kAudio] = probe.aac->sampleRate;
}

std::vector<MovieTrack> TsSource::Tracks() const {
  std::vector<MovieTrack> tracks;
  if (probe_.video) {
    MovieTrack& t = tracks.emplace_back();
    PictureSize size = SpsPictureSize(probe_.sps.front());
    bool inBand = probe_.sps.size() > 1 || probe_.pps.size() > 1;
    t.video = true;
    t.timescale = timescale_[kVideo];
    t.width = uint16_t(size.width);
    t.height = uint16_t(size.height);
    t.sampleEntry = AvcSampleEntry(probe_.sps, probe_.pps, size, inBand);
  }
  if (probe_.aac) {
    MovieTrack& t = tracks.emplace_back();
    t.timescale = timescale_[kAudio];
    t.sampleEntry = AacSampleEntry(*probe_.aac);
  }
  return tracks;
}

bool TsSource::Step() {
  try {
    return Advance();
  } catch (const FormatError& e) {
    throw SegmentError(input_, segment_, e.Why());
  }
}

bool TsSource::Next(Fragment& fragment) {
  while (ready_.empty() && Step()) {
  }
  if (ready_.empty()) return false;
  fragment = std::move(ready_.front());
  ready_.pop_front();
  return true;
}

// Reads on; false once every segment is read and every sample handed on.
bool TsSource::Advance() {
  if (finished_) return false;
  if (!file_) {
    if (segment_ >= files_.segments.size()) {
      Cut(std::nullopt);
      finished_ = true;
      return true;
    }
    file_ = std::make_unique<InFile>(files_.segments[segment_].path);
    position_ = 0;
    if (files_.segments[segment_].discontinuity) timeline_.Break();
  }
  std::string packets = file_->ReadUpTo(position_, kReadPackets * kTsPacket);
  position_ += packets.size();
  demux_.Feed(packets);
  if (position_ < file_->Size()) return true;
  demux_.Flush();
  audioLeft_.clear();  // a frame cut short by the segment's end is lost
  if (!pid_[kVideo]) Cut(std::nullopt);
  file_.reset();
  ++segment_;
  return true;
}

void TsSource::OnStreams(const std::vector<ElementaryStream>& streams) {
  pid_[kVideo].reset();
  pid_[kAudio].reset();
  for (const ElementaryStream& es : streams) {
    EsKind kind = KindOfStreamType(es.type);
    if (kind == EsKind::H264 && !pid_[kVideo]) pid_[kVideo] = es.pid;
    if (kind == EsKind::Aac && !pid_[kAudio]) pid_[kAudio] = es.pid;
    if (kind == EsKind::Other && !probe_.unconvertible)
      probe_.unconvertible =
          L"it carries a stream that is not H.264 or AAC (type " + std::to_wstring(es.type) + L")";
  }
}

void TsSource::OnPes(PesPacket&& pes) {
  if (pes.pid == pid_[kVideo]) OnVideo(pes);
  if (pes.pid == pid_[kAudio]) OnAudio(pes);
}

int64_t TsSource::Place(Stream stream, uint64_t raw) {
  if (!probe_.firstTimestamp) probe_.firstTimestamp = raw;
  return timeline_.Place(stream, raw);
}

void TsSource::OnVideo(const PesPacket& pes) {
  Pending& p = pending_[kVideo];
  if (!pes.pts && p.samples.empty()) return;  // the rest of an access unit we never saw begin
  bool sync = false;
  bool inBand = probe_.sps.size() > 1 || probe_.pps.size() > 1;
  std::string units;
  for (std::string_view nal : SplitAnnexB(pes.payload)) {
    uint8_t type = uint8_t(nal[0]) & 0x1F;
    if (type == kNalSps) AddDistinct(probe_.sps, nal);
    if (type == kNalPps) AddDistinct(probe_.pps, nal);
    if (type == kNalDelimiter || type == kNalFiller) continue;
    if ((type == kNalSps || type == kNalPps) && !inBand) continue;
    sync |= type == kNalIdr;
    char length[4] = {char(nal.size() >> 24), char(nal.size() >> 16), char(nal.size() >> 8),
                      char(nal.size())};
    units.append(length, 4).append(nal);
  }
  probe_.video = true;
  if (!pes.pts) {  // more of the same access unit
    p.data.append(units);
    p.samples.back().size += uint32_t(units.size());
    return;
  }
  uint64_t dts = pes.dts.value_or(*pes.pts);
  int64_t at = Place(kVideo, dts);
  if (!p.samples.empty()) {
    if (at > p.times.back()) videoStep_ = at - p.times.back();
    if (sync || p.data.size() > kMaxPending) Cut(at);
  }
  int64_t offset = std::max<int64_t>(TimestampDelta(*pes.pts, dts), 0);
  NoteShown(kVideo, at + offset);
  p.times.push_back(at);
  p.samples.push_back({0, uint32_t(units.size()), sync ? kSyncSample : kNonSyncSample,
                       int32_t(std::min<int64_t>(offset, INT32_MAX))});
  p.data.append(units);
  timeline_.Reach(kVideo, at + videoStep_);
}

void TsSource::OnAudio(const PesPacket& pes) {
  std::string bytes = std::move(audioLeft_);
  audioLeft_.clear();
  bool continues = !bytes.empty();
  bytes.append(pes.payload);
  // The PES time belongs to the first frame that starts in it.
  bool timed = pes.pts.has_value();
  int64_t at = timed ? Place(kAudio, *pes.pts) : 0;
  std::string_view rest = bytes;
  while (!rest.empty()) {
    std::optional<AdtsFrame> frame = ReadAdtsHeader(rest);
    if (!frame) {  // not at a frame: look for the next one
      rest.remove_prefix(1);
      continue;
    }
    if (frame->frameSize > rest.size()) break;
    if (!probe_.aac) {
      probe_.aac = frame;
      timescale_[kAudio] = frame->sampleRate;
    }
    if ((!SameFormat(*frame, *probe_.aac) || !frame->oneBlock) && !probe_.unconvertible)
      probe_.unconvertible = L"its audio changes format or packs several AAC blocks in a frame";
    if (timed && !continues) {
      int64_t time = FromClock(at, timescale_[kAudio]);
      if (!audioNext_ || std::abs(time - *audioNext_) >= kAacFrame / 2) audioNext_ = time;
      timed = false;
    }
    continues = false;
    AddAudioFrame(rest.substr(frame->headerSize, frame->frameSize - frame->headerSize));
    rest.remove_prefix(frame->frameSize);
  }
  audioLeft_.assign(rest);
}

void TsSource::AddAudioFrame(std::string_view body) {
  if (!audioNext_) return;  // no time known yet for it
  Pending& p = pending_[kAudio];
  int64_t time = *audioNext_;
  uint32_t rate = timescale_[kAudio];
  NoteShown(kAudio, time);
  p.times.push_back(time);
  p.samples.push_back({kAacFrame, uint32_t(body.size()), kSyncSample, 0});
  p.data.append(body);
  *audioNext_ += kAacFrame;
  timeline_.Reach(kAudio, FloorDiv(*audioNext_ * kTsClock, rate));
}

void TsSource::NoteShown(Stream stream, int64_t at) {
  std::optional<int64_t>& shown = span_[stream].shown;
  if (!shown || at < *shown) shown = at;
}

std::vector<TsSource::Span> TsSource::Spans() const {
  std::vector<Span> spans;
  if (probe_.video) spans.push_back(span_[kVideo]);
  if (probe_.aac) spans.push_back(span_[kAudio]);
  return spans;
}

// Hands on what waits as one fragment. `videoNext`: the time of the video
// sample that follows, which ends the last one.
void TsSource::Cut(std::optional<int64_t> videoNext) {
  Fragment fragment;
  fragment.start = 1e300;
  for (size_t s = kVideo; s < kStreams; ++s) {
    Pending& p = pending_[s];
    if (p.samples.empty()) continue;
    for (size_t i = 0; i + 1 < p.samples.size(); ++i)
      p.samples[i].duration = uint32_t(std::max<int64_t>(p.times[i + 1] - p.times[i], 0));
    if (s == kVideo) {
      int64_t last = videoNext ? *videoNext - p.times.back() : videoStep_;
      p.samples.back().duration = uint32_t(std::max<int64_t>(last, 0));
    }
    TrackFragment& t = fragment.tracks.emplace_back();
    std::optional<int64_t>& origin = span_[s].origin;
    if (!origin) origin = p.times.front();
    t.track = track_[s];
    t.decodeTime = uint64_t(std::max<int64_t>(p.times.front() - *origin, 0));
    t.runs.push_back({std::move(p.samples), fragment.bytes.size()});
    fragment.bytes.append(p.data);
    fragment.start = std::min(fragment.start, double(p.times.front()) / timescale_[s]);
    p = Pending{};
  }
  if (!fragment.tracks.empty() && !probing_) ready_.push_back(std::move(fragment));
}

}  // namespace mf::media
