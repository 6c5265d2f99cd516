#include "media/Fmp4Source.h"

#include <algorithm>
#include <bit>

namespace mf::media {
namespace {

// Larger header boxes are surely not what they claim to be.
constexpr uint64_t kMaxHeaderBox = 64 << 20;
// More samples in one fragment are surely not what they claim to be (a run
// of samples that all take the defaults costs a trun only a few bytes).
constexpr size_t kMaxSamplesPerFragment = 1 << 20;

constexpr uint32_t kTfhdBaseOffset = 0x000001, kTfhdDescriptionIndex = 0x000002,
                   kTfhdDuration = 0x000008, kTfhdSize = 0x000010, kTfhdFlags = 0x000020,
                   kTfhdBaseIsMoof = 0x020000;
constexpr uint32_t kTrunDataOffset = 0x001, kTrunFirstFlags = 0x004, kTrunDuration = 0x100,
                   kTrunSize = 0x200, kTrunFlags = 0x400, kTrunCompositionOffset = 0x800;

// Skips a full box's version and flags and creation/modification times.
void SkipTimes(ByteReader& r) { r.Skip(r.U8() == 1 ? 3 + 16 : 3 + 8); }

std::string ReadHeaderBox(const InFile& file, uint64_t at, const BoxHeader& h) {
  if (h.size > kMaxHeaderBox) throw FormatError(L"a header box is impossibly large");
  return file.Read(at, size_t(h.size));
}

struct TrackFragmentHeader {
  uint32_t flags = 0;
  uint32_t trackId = 0;
  std::optional<uint64_t> baseOffset;
  TrackDefaults defaults;
};

TrackFragmentHeader ReadTfhd(std::string_view body, const std::vector<MovieTrack>& headers,
                             const std::vector<uint32_t>& ids, size_t& local) {
  ByteReader r(body);
  TrackFragmentHeader h;
  h.flags = r.U32() & 0xFFFFFF;
  h.trackId = r.U32();
  auto found = std::find(ids.begin(), ids.end(), h.trackId);
  if (found == ids.end()) throw FormatError(L"a fragment names a track its init segment lacks");
  local = size_t(found - ids.begin());
  h.defaults = headers[local].defaults;
  if (h.flags & kTfhdBaseOffset) h.baseOffset = r.U64();
  if (h.flags & kTfhdDescriptionIndex) h.defaults.descriptionIndex = r.U32();
  if (h.flags & kTfhdDuration) h.defaults.duration = r.U32();
  if (h.flags & kTfhdSize) h.defaults.size = r.U32();
  if (h.flags & kTfhdFlags) h.defaults.flags = r.U32();
  return h;
}

// A trun's samples; `next` is where its data lies when it gives no offset.
SampleRun ReadTrun(std::string_view body, uint64_t base, uint64_t next, const TrackDefaults& d,
                   uint64_t fileSize, size_t& budget) {
  ByteReader r(body);
  uint8_t version = r.U8();
  uint32_t flags = r.U24();
  uint32_t count = r.U32();
  SampleRun run;
  run.dataOffset = (flags & kTrunDataOffset) ? base + int32_t(r.U32()) : next;
  std::optional<uint32_t> firstFlags;
  if (flags & kTrunFirstFlags) firstFlags = r.U32();
  size_t entry = 4 * size_t(std::popcount(flags & 0xF00));
  if ((entry && count > r.Left() / entry) || count > budget)
    throw FormatError(L"a fragment lists more samples than it holds");
  budget -= count;
  run.samples.resize(count);
  for (size_t i = 0; i < count; ++i) {
    Sample& s = run.samples[i];
    s.duration = (flags & kTrunDuration) ? r.U32() : d.duration;
    s.size = (flags & kTrunSize) ? r.U32() : d.size;
    s.flags = (flags & kTrunFlags) ? r.U32() : (i == 0 && firstFlags) ? *firstFlags : d.flags;
    if (flags & kTrunCompositionOffset) {
      uint32_t offset = r.U32();
      s.compositionOffset =
          version ? int32_t(offset) : int32_t(std::min<uint32_t>(offset, INT32_MAX));
    }
  }
  if (run.dataOffset > fileSize || run.DataSize() > fileSize - run.dataOffset)
    throw FormatError(L"its samples lie outside the file");
  return run;
}

}  // namespace

Fmp4Source::Fmp4Source(size_t input, const TrackFiles& files, size_t firstTrack)
    : input_(input), files_(files), firstTrack_(firstTrack) {
  try {
    if (files.initPath.empty()) throw FormatError(L"it has no init segment");
    ReadInit(files.initPath);
  } catch (const FormatError& e) {
    throw SegmentError(input_, std::nullopt, e.Why());
  }
}

void Fmp4Source::ReadInit(const std::wstring& path) {
  InFile file(path);
  std::string moov;
  for (uint64_t at = 0; at < file.Size() && moov.empty();) {
    BoxHeader h = ReadBoxHeader(file.ReadUpTo(at, 16), file.Size() - at);
    if (h.type == Fourcc("moov")) moov = ReadHeaderBox(file, at, h);
    at += h.size;
  }
  if (moov.empty()) throw FormatError(L"it has no movie header (moov)");
  std::string_view body = FindBox(moov, Fourcc("moov")).body;
  ByteReader mvhd(FindBox(body, Fourcc("mvhd")).body);
  SkipTimes(mvhd);
  uint32_t movieTimescale = mvhd.U32();
  ForEachBox(body, [&](const Box& trak) {
    if (trak.type != Fourcc("trak")) return;
    ByteReader tkhd(FindBox(trak.body, Fourcc("tkhd")).body);
    SkipTimes(tkhd);
    std::string_view mdia = FindBox(trak.body, Fourcc("mdia")).body;
    ByteReader mdhd(FindBox(mdia, Fourcc("mdhd")).body);
    SkipTimes(mdhd);
    MovieTrack header;
    header.timescale = mdhd.U32();
    if (header.timescale == 0) throw FormatError(L"a track has no timescale");
    header.sourceTrak.assign(trak.whole);
    header.sourceMovieTimescale = movieTimescale;
    headers_.push_back(std::move(header));
    tracks_.push_back({tkhd.U32()});
  });
  if (tracks_.empty()) throw FormatError(L"it describes no track");
  ForEachBox(FindBox(body, Fourcc("mvex")).body, [&](const Box& box) {
    if (box.type != Fourcc("trex")) return;
    ByteReader r(box.body);
    r.Skip(4);
    uint32_t id = r.U32();
    for (size_t i = 0; i < tracks_.size(); ++i)
      if (tracks_[i].sourceId == id) headers_[i].defaults = {r.U32(), r.U32(), r.U32(), r.U32()};
  });
  MovieBox(headers_);  // finds what the copy of its tracks would stumble on, now
}

bool Fmp4Source::Next(Fragment& fragment) {
  try {
    return NextFragment(fragment);
  } catch (const FormatError& e) {
    throw SegmentError(input_, segment_, e.Why());
  }
}

bool Fmp4Source::NextFragment(Fragment& fragment) {
  for (;;) {
    if (!file_) {
      if (segment_ >= files_.segments.size()) return false;
      file_ = std::make_unique<InFile>(files_.segments[segment_].path);
      position_ = 0;
      for (Track& t : tracks_) t.breakPending |= files_.segments[segment_].discontinuity;
    }
    if (position_ >= file_->Size()) {
      file_.reset();
      ++segment_;
      continue;
    }
    uint64_t at = position_;
    BoxHeader h = ReadBoxHeader(file_->ReadUpTo(at, 16), file_->Size() - at);
    position_ += h.size;
    if (h.type == Fourcc("moof")) {
      ReadFragment(at, h, fragment);
      return true;
    }
  }
}

void Fmp4Source::ReadFragment(uint64_t moofAt, const BoxHeader& h, Fragment& fragment) {
  std::string moof = ReadHeaderBox(*file_, moofAt, h);
  fragment = Fragment{};
  fragment.file = file_.get();
  fragment.start = 1e300;
  budget_ = kMaxSamplesPerFragment;
  // Without an explicit base, a track fragment's data follows the previous one's.
  uint64_t base = moofAt;
  ForEachBox(std::string_view(moof).substr(h.header), [&](const Box& traf) {
    if (traf.type != Fourcc("traf")) return;
    TrackFragment& t = fragment.tracks.emplace_back();
    base = ReadTrackFragment(traf.body, moofAt, base, t);
    const MovieTrack& header = headers_[t.track - firstTrack_];
    fragment.start = std::min(fragment.start, double(t.decodeTime) / header.timescale);
  });
  if (fragment.tracks.empty()) throw FormatError(L"a fragment holds no track");
}

// Returns where the track fragment's data ends.
uint64_t Fmp4Source::ReadTrackFragment(std::string_view traf, uint64_t moofAt, uint64_t base,
                                       TrackFragment& out) {
  std::vector<uint32_t> ids;
  for (const Track& t : tracks_) ids.push_back(t.sourceId);
  size_t local = 0;
  TrackFragmentHeader h = ReadTfhd(FindBox(traf, Fourcc("tfhd")).body, headers_, ids, local);
  if (h.baseOffset)
    base = *h.baseOffset;
  else if (h.flags & kTfhdBaseIsMoof)
    base = moofAt;
  uint64_t next = base;
  ForEachBox(traf, [&](const Box& box) {
    if (box.type != Fourcc("trun")) return;
    out.runs.push_back(ReadTrun(box.body, base, next, h.defaults, file_->Size(), budget_));
    next = out.runs.back().dataOffset + out.runs.back().DataSize();
  });
  std::optional<uint64_t> decodeTime;
  if (Box tfdt = FindBox(traf, Fourcc("tfdt")); !tfdt.whole.empty()) {
    ByteReader r(tfdt.body);
    decodeTime = r.U8() == 1 ? (r.Skip(3), r.U64()) : (r.Skip(3), r.U32());
  }
  out.track = firstTrack_ + local;
  out.descriptionIndex = h.defaults.descriptionIndex;
  out.decodeTime = Place(local, decodeTime, out.Duration());
  return next;
}

// The fragment's time in the output: a new run after a discontinuity, or
// time that goes back, continues where the track ended.
uint64_t Fmp4Source::Place(size_t local, std::optional<uint64_t> decodeTime, uint64_t duration) {
  Track& t = tracks_[local];
  int64_t at = decodeTime ? int64_t(*decodeTime) + t.shift : int64_t(t.end);
  if (t.started && (t.breakPending || at < int64_t(t.end))) {
    t.shift += int64_t(t.end) - at;
    at = int64_t(t.end);
  }
  at = std::max<int64_t>(at, 0);
  t.started = true;
  t.breakPending = false;
  t.end = uint64_t(at) + duration;
  return uint64_t(at);
}

}  // namespace mf::media
