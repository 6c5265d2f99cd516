#include "media/MovieBoxes.h"

#include <algorithm>

#include "media/MediaFiles.h"

namespace mf::media {
namespace {

constexpr uint32_t kUnityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
constexpr uint32_t kTkhdEnabledInMovie = 0x000003;
constexpr uint32_t kTfhdDescriptionIndex = 0x000002;
constexpr uint32_t kTfhdBaseIsMoof = 0x020000;
constexpr uint32_t kTrunDataOffset = 0x001, kTrunDuration = 0x100, kTrunSize = 0x200,
                   kTrunFlags = 0x400, kTrunCompositionOffset = 0x800;
constexpr uint16_t kUndeterminedLanguage = 0x55C4;  // "und", packed

// value * to / from, exact without a 128-bit product (the 32-bit build has
// none): timescales are 32-bit, so the remainder times `to` fits.
uint64_t Rescale(uint64_t value, uint32_t from, uint32_t to) {
  return from == 0 ? 0 : value / from * to + value % from * to / from;
}

void Matrix(ByteWriter& w) {
  for (uint32_t v : kUnityMatrix) w.U32(v);
}

// tkhd after its duration (layer, volume, matrix, size) stays the source's.
void TrackHeader(ByteWriter& w, uint32_t flags, uint32_t id, uint64_t duration,
                 std::string_view tail) {
  size_t box = w.BeginFull(Fourcc("tkhd"), 1, flags);
  w.U64(0);
  w.U64(0);
  w.U32(id);
  w.U32(0);
  w.U64(duration);
  w.Bytes(tail);
  w.End(box);
}

void MediaHeader(ByteWriter& w, uint32_t timescale, uint64_t duration, uint16_t language) {
  size_t box = w.BeginFull(Fourcc("mdhd"), 1, 0);
  w.U64(0);
  w.U64(0);
  w.U32(timescale);
  w.U64(duration);
  w.U16(language);
  w.U16(0);
  w.End(box);
}

struct Edit {
  uint64_t duration;  // movie timescale
  int64_t mediaTime;  // -1: an empty edit
  uint32_t rate;
};

void EditList(ByteWriter& w, const std::vector<Edit>& edits) {
  size_t edts = w.Begin(Fourcc("edts"));
  size_t elst = w.BeginFull(Fourcc("elst"), 1, 0);
  w.U32(edits.size());
  for (const Edit& e : edits) {
    w.U64(e.duration);
    w.U64(uint64_t(e.mediaTime));
    w.U32(e.rate);
  }
  w.End(elst);
  w.End(edts);
}

// The source's edits, their durations counted in our movie timescale.
std::vector<Edit> SourceEdits(std::string_view edts, uint32_t movieTimescale) {
  ByteReader r(FindBox(edts, Fourcc("elst")).body);
  if (r.Left() == 0) return {};
  uint8_t version = r.U8();
  r.Skip(3);
  uint32_t count = r.U32();
  if (count > r.Left() / (version ? 20 : 12)) throw FormatError(L"an edit list is cut short");
  std::vector<Edit> edits(count);
  for (Edit& e : edits) {
    e.duration = Rescale(version ? r.U64() : r.U32(), movieTimescale, kMovieTimescale);
    e.mediaTime = version ? int64_t(r.U64()) : int32_t(r.U32());
    e.rate = r.U32();
  }
  return edits;
}

uint64_t ShownDuration(const MovieTrack& t) {
  return Rescale(t.end - std::min(t.end, t.presentationStart), t.timescale, kMovieTimescale);
}

uint64_t DurationInMovie(const MovieTrack& t) { return t.emptyEdit + ShownDuration(t); }

// What the samples span.
uint64_t MediaDuration(const MovieTrack& t) { return t.end - std::min(t.begin, t.end); }

void CopiedMedia(ByteWriter& w, const MovieTrack& t, std::string_view mdia) {
  size_t box = w.Begin(Fourcc("mdia"));
  ForEachBox(mdia, [&](const Box& b) {
    if (b.type != Fourcc("mdhd")) return w.Bytes(b.whole);
    ByteReader r(b.body);
    r.Skip(r.U8() == 1 ? 3 + 8 + 8 + 4 + 8 : 3 + 4 + 4 + 4 + 4);
    MediaHeader(w, t.timescale, MediaDuration(t), r.U16());
  });
  w.End(box);
}

// The source's trak under a new ID, its durations set, its references to
// other tracks (whose IDs change) left out.
void CopiedTrack(ByteWriter& w, const MovieTrack& t, uint32_t id) {
  size_t box = w.Begin(Fourcc("trak"));
  ForEachBox(FindBox(t.sourceTrak, Fourcc("trak")).body, [&](const Box& b) {
    if (b.type == Fourcc("tkhd")) {
      ByteReader r(b.body);
      uint8_t version = r.U8();
      uint32_t flags = r.U24();
      r.Skip(version == 1 ? 32 : 20);
      TrackHeader(w, flags, id, DurationInMovie(t), r.Take(r.Left()));
    } else if (b.type == Fourcc("edts")) {
      std::vector<Edit> edits = SourceEdits(b.body, t.sourceMovieTimescale);
      if (!edits.empty()) EditList(w, edits);
    } else if (b.type == Fourcc("mdia")) {
      CopiedMedia(w, t, b.body);
    } else if (b.type != Fourcc("tref")) {
      w.Bytes(b.whole);
    }
  });
  w.End(box);
}

void MadeTrackHeader(ByteWriter& w, const MovieTrack& t, uint32_t id) {
  ByteWriter tail;
  tail.Zeros(8 + 2 + 2);  // reserved, layer, alternate group
  tail.U16(t.video ? 0 : 0x0100);
  tail.U16(0);
  Matrix(tail);
  tail.U32(uint32_t(t.width) << 16);
  tail.U32(uint32_t(t.height) << 16);
  TrackHeader(w, kTkhdEnabledInMovie, id, DurationInMovie(t), tail.Data());
}

void EmptyFullBox(ByteWriter& w, const char (&type)[5], int zeroWords) {
  size_t box = w.BeginFull(Fourcc(type), 0, 0);
  for (int i = 0; i < zeroWords; ++i) w.U32(0);
  w.End(box);
}

void MadeMediaInformation(ByteWriter& w, const MovieTrack& t) {
  size_t minf = w.Begin(Fourcc("minf"));
  size_t header = w.BeginFull(Fourcc(t.video ? "vmhd" : "smhd"), 0, t.video ? 1 : 0);
  w.Zeros(t.video ? 8 : 4);
  w.End(header);
  size_t dinf = w.Begin(Fourcc("dinf"));
  size_t dref = w.BeginFull(Fourcc("dref"), 0, 0);
  w.U32(1);
  w.End(w.BeginFull(Fourcc("url "), 0, 1));  // the media is in this file
  w.End(dref);
  w.End(dinf);
  size_t stbl = w.Begin(Fourcc("stbl"));
  size_t stsd = w.BeginFull(Fourcc("stsd"), 0, 0);
  w.U32(1);
  w.Bytes(t.sampleEntry);
  w.End(stsd);
  // The samples are all in fragments: the tables stay empty.
  EmptyFullBox(w, "stts", 1);
  EmptyFullBox(w, "stsc", 1);
  EmptyFullBox(w, "stsz", 2);
  EmptyFullBox(w, "stco", 1);
  w.End(stbl);
  w.End(minf);
}

void MadeTrack(ByteWriter& w, const MovieTrack& t, uint32_t id) {
  size_t trak = w.Begin(Fourcc("trak"));
  MadeTrackHeader(w, t, id);
  std::vector<Edit> edits;
  if (t.emptyEdit > 0) edits.push_back({t.emptyEdit, -1, 0x00010000});
  edits.push_back({ShownDuration(t), int64_t(t.presentationStart), 0x00010000});
  EditList(w, edits);
  size_t mdia = w.Begin(Fourcc("mdia"));
  MediaHeader(w, t.timescale, MediaDuration(t), kUndeterminedLanguage);
  size_t hdlr = w.BeginFull(Fourcc("hdlr"), 0, 0);
  w.U32(0);
  w.U32(Fourcc(t.video ? "vide" : "soun"));
  w.Zeros(12);
  w.Bytes(t.video ? "VideoHandler" : "SoundHandler");
  w.U8(0);  // the name ends in a null
  w.End(hdlr);
  MadeMediaInformation(w, t);
  w.End(mdia);
  w.End(trak);
}

void MovieHeader(ByteWriter& w, uint64_t duration, size_t trackCount) {
  size_t box = w.BeginFull(Fourcc("mvhd"), 1, 0);
  w.U64(0);
  w.U64(0);
  w.U32(kMovieTimescale);
  w.U64(duration);
  w.U32(0x00010000);  // rate 1.0
  w.U16(0x0100);      // volume 1.0
  w.Zeros(2 + 8);
  Matrix(w);
  w.Zeros(24);
  w.U32(trackCount + 1);
  w.End(box);
}

void MovieExtends(ByteWriter& w, const std::vector<MovieTrack>& tracks, uint64_t duration) {
  size_t mvex = w.Begin(Fourcc("mvex"));
  size_t mehd = w.BeginFull(Fourcc("mehd"), 1, 0);
  w.U64(duration);
  w.End(mehd);
  for (size_t i = 0; i < tracks.size(); ++i) {
    size_t trex = w.BeginFull(Fourcc("trex"), 0, 0);
    const TrackDefaults& d = tracks[i].defaults;
    w.U32(i + 1);
    w.U32(d.descriptionIndex);
    w.U32(d.duration);
    w.U32(d.size);
    w.U32(d.flags);
    w.End(trex);
  }
  w.End(mvex);
}

void TrackFragmentBox(ByteWriter& w, const TrackFragment& t, uint64_t rebase,
                      std::vector<size_t>& offsetFields) {
  size_t traf = w.Begin(Fourcc("traf"));
  size_t tfhd = w.BeginFull(Fourcc("tfhd"), 0, kTfhdBaseIsMoof | kTfhdDescriptionIndex);
  w.U32(t.track + 1);
  w.U32(t.descriptionIndex);
  w.End(tfhd);
  size_t tfdt = w.BeginFull(Fourcc("tfdt"), 1, 0);
  w.U64(t.decodeTime - std::min(t.decodeTime, rebase));
  w.End(tfdt);
  for (const SampleRun& run : t.runs) {
    bool offsets = std::any_of(run.samples.begin(), run.samples.end(),
                               [](const Sample& s) { return s.compositionOffset != 0; });
    bool negative = std::any_of(run.samples.begin(), run.samples.end(),
                                [](const Sample& s) { return s.compositionOffset < 0; });
    uint32_t flags = kTrunDataOffset | kTrunDuration | kTrunSize | kTrunFlags |
                     (offsets ? kTrunCompositionOffset : 0);
    size_t trun = w.BeginFull(Fourcc("trun"), negative ? 1 : 0, flags);
    w.U32(run.samples.size());
    offsetFields.push_back(w.Size());
    w.U32(0);
    for (const Sample& s : run.samples) {
      w.U32(s.duration);
      w.U32(s.size);
      w.U32(s.flags);
      if (offsets) w.U32(uint32_t(s.compositionOffset));
    }
    w.End(trun);
  }
  w.End(traf);
}

}  // namespace

uint64_t SampleRun::DataSize() const {
  uint64_t total = 0;
  for (const Sample& s : samples) total += s.size;
  return total;
}

uint64_t TrackFragment::Duration() const {
  uint64_t total = 0;
  for (const SampleRun& run : runs)
    for (const Sample& s : run.samples) total += s.duration;
  return total;
}

std::string FileTypeBox() {
  ByteWriter w;
  size_t box = w.Begin(Fourcc("ftyp"));
  w.U32(Fourcc("isom"));
  w.U32(0x200);
  for (const char* brand : {"isom", "iso6", "mp41"}) w.Bytes(std::string_view(brand, 4));
  w.End(box);
  return w.Data();
}

std::string MovieBox(const std::vector<MovieTrack>& tracks) {
  uint64_t duration = 0;
  for (const MovieTrack& t : tracks) duration = std::max(duration, DurationInMovie(t));
  ByteWriter w;
  size_t moov = w.Begin(Fourcc("moov"));
  MovieHeader(w, duration, tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (tracks[i].sourceTrak.empty())
      MadeTrack(w, tracks[i], uint32_t(i + 1));
    else
      CopiedTrack(w, tracks[i], uint32_t(i + 1));
  }
  MovieExtends(w, tracks, duration);
  w.End(moov);
  return w.Data();
}

std::string MediaDataHeader(uint64_t payload) {
  ByteWriter w;
  if (payload + 8 <= UINT32_MAX) {
    w.U32(payload + 8);
    w.U32(Fourcc("mdat"));
  } else {
    w.U32(1);
    w.U32(Fourcc("mdat"));
    w.U64(payload + 16);
  }
  return w.Data();
}

std::string RandomAccessBox(const std::vector<std::vector<RandomAccessPoint>>& tracks) {
  ByteWriter w;
  size_t mfra = w.Begin(Fourcc("mfra"));
  for (size_t t = 0; t < tracks.size(); ++t) {
    if (tracks[t].empty()) continue;
    size_t tfra = w.BeginFull(Fourcc("tfra"), 1, 0);
    w.U32(t + 1);
    w.U32(0);  // one byte each for the traf, trun and sample numbers
    w.U32(tracks[t].size());
    for (const RandomAccessPoint& p : tracks[t]) {
      w.U64(p.time);
      w.U64(p.moofOffset);
      w.U8(p.traf);
      w.U8(1);  // its first run's
      w.U8(1);  // first sample
    }
    w.End(tfra);
  }
  size_t mfro = w.BeginFull(Fourcc("mfro"), 0, 0);
  w.U32(w.Size() - mfra + 4);
  w.End(mfro);
  w.End(mfra);
  return w.Data();
}

std::string FreeBox(size_t size) {
  if (size == 0) return {};
  ByteWriter w;
  w.End(w.Begin(Fourcc("free")));
  w.Zeros(size - 8);
  w.PutU32At(0, uint32_t(size));
  return w.Data();
}

void WriteFragment(OutFile& out, uint32_t sequence, const Fragment& fragment,
                   const std::vector<uint64_t>& rebase) {
  ByteWriter w;
  size_t moof = w.Begin(Fourcc("moof"));
  size_t mfhd = w.BeginFull(Fourcc("mfhd"), 0, 0);
  w.U32(sequence);
  w.End(mfhd);
  std::vector<size_t> offsetFields;
  for (const TrackFragment& t : fragment.tracks)
    TrackFragmentBox(w, t, rebase[t.track], offsetFields);
  w.End(moof);

  uint64_t payload = 0;
  for (const TrackFragment& t : fragment.tracks)
    for (const SampleRun& run : t.runs) payload += run.DataSize();
  std::string header = MediaDataHeader(payload);
  // Each run's offset counts from the moof's first byte (default-base-is-moof).
  uint64_t at = w.Size() + header.size();
  if (at + payload > INT32_MAX) throw FormatError(L"one of its fragments is larger than 2 GB");
  size_t field = 0;
  for (const TrackFragment& t : fragment.tracks)
    for (const SampleRun& run : t.runs) {
      w.PutU32At(offsetFields[field++], uint32_t(at));
      at += run.DataSize();
    }
  out.Write(w.Data());
  out.Write(header);
  for (const TrackFragment& t : fragment.tracks)
    for (const SampleRun& run : t.runs) {
      if (fragment.file)
        fragment.file->CopyTo(run.dataOffset, run.DataSize(), out);
      else
        out.Write(std::string_view(fragment.bytes).substr(run.dataOffset, run.DataSize()));
    }
}

}  // namespace mf::media
