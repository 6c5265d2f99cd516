#include "media/MovieWriter.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "media/Fmp4Source.h"
#include "media/MediaFiles.h"
#include "media/MovieBoxes.h"
#include "media/TsSource.h"

namespace mf::media {
namespace {

// The sources of the movie and the tracks they fill.
struct Plan {
  std::vector<std::unique_ptr<FragmentSource>> sources;
  std::vector<MovieTrack> tracks;
  std::vector<bool> fromTs;                             // per track
  std::vector<std::pair<TsSource*, size_t>> tsSources;  // with their first track
};

struct Head {
  FragmentSource* source;
  Fragment fragment;
  bool live;
};

// Each transport stream's first timestamp on one line shared by all, so
// that apart audio and video stay together.
std::vector<int64_t> TransportStarts(const std::vector<TsProbe>& probes) {
  const TsProbe* first = nullptr;
  std::vector<int64_t> starts(probes.size());
  for (size_t i = 0; i < probes.size(); ++i) {
    if (!probes[i].firstTimestamp) continue;
    if (!first) first = &probes[i];
    starts[i] = TimestampDelta(*probes[i].firstTimestamp, *first->firstTimestamp);
  }
  return starts;
}

Plan MakePlan(const std::vector<TrackFiles>& inputs, const std::vector<TsProbe>& probes) {
  Plan plan;
  std::vector<int64_t> starts = TransportStarts(probes);
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::vector<MovieTrack> tracks;
    if (inputs[i].container == Container::MpegTs) {
      auto ts = std::make_unique<TsSource>(i, inputs[i], probes[i], plan.tracks.size(), starts[i]);
      tracks = ts->Tracks();
      plan.tsSources.push_back({ts.get(), plan.tracks.size()});
      plan.sources.push_back(std::move(ts));
    } else {
      auto mp4 = std::make_unique<Fmp4Source>(i, inputs[i], plan.tracks.size());
      tracks = mp4->Tracks();
      plan.sources.push_back(std::move(mp4));
    }
    for (MovieTrack& t : tracks) {
      plan.fromTs.push_back(inputs[i].container == Container::MpegTs);
      plan.tracks.push_back(std::move(t));
    }
  }
  return plan;
}

// Fragmented MP4 tracks start at 0 together: their earliest fragment's time
// is taken off all of them.
std::vector<uint64_t> Rebase(const Plan& plan, const std::vector<Head>& heads) {
  double earliest = INFINITY;
  for (const Head& h : heads)
    for (const TrackFragment& t : h.fragment.tracks)
      if (h.live && !plan.fromTs[t.track]) earliest = std::min(earliest, h.fragment.start);
  std::vector<uint64_t> rebase(plan.tracks.size());
  for (size_t t = 0; t < rebase.size(); ++t)
    if (!plan.fromTs[t] && earliest != INFINITY)
      rebase[t] = uint64_t(std::floor(earliest * plan.tracks[t].timescale));
  return rebase;
}

// The tracks learn where they begin and end, and where playing can start.
void NoteFragment(Plan& plan, const TrackFragment& t, uint64_t rebase, RandomAccessPoint at,
                  std::vector<std::vector<RandomAccessPoint>>& points) {
  MovieTrack& track = plan.tracks[t.track];
  uint64_t start = t.decodeTime - std::min(t.decodeTime, rebase);
  track.begin = std::min(track.begin, start);
  track.end = std::max(track.end, start + t.Duration());
  if (t.runs.empty() || t.runs[0].samples.empty()) return;
  const Sample& first = t.runs[0].samples[0];
  if (first.flags & kNonSyncBit) return;
  at.time = uint64_t(std::max<int64_t>(int64_t(start) + first.compositionOffset, 0));
  points[t.track].push_back(at);
}

// The fragments of every source, earliest first, and the mfra that finds them.
void WriteFragments(Plan& plan, OutFile& out) {
  std::vector<Head> heads;
  for (auto& source : plan.sources) {
    Head& h = heads.emplace_back(Head{source.get(), {}, false});
    h.live = source->Next(h.fragment);
  }
  std::vector<uint64_t> rebase = Rebase(plan, heads);
  std::vector<std::vector<RandomAccessPoint>> points(plan.tracks.size());
  uint32_t sequence = 0;
  for (;;) {
    Head* next = nullptr;
    for (Head& h : heads)
      if (h.live && (!next || h.fragment.start < next->fragment.start)) next = &h;
    if (!next) break;
    uint64_t moofAt = out.Position();
    WriteFragment(out, ++sequence, next->fragment, rebase);
    const std::vector<TrackFragment>& tracks = next->fragment.tracks;
    for (size_t i = 0; i < tracks.size() && i < UINT8_MAX; ++i)
      NoteFragment(plan, tracks[i], rebase[tracks[i].track], {0, moofAt, uint8_t(i + 1)}, points);
    next->live = next->source->Next(next->fragment);
  }
  if (sequence == 0) throw MediaError(L"The stream's segments hold no audio or video");
  out.Write(RandomAccessBox(points));
}

// Made tracks show together: each from its lowest PTS, after as much
// nothing as it starts later than the earliest of them.
void SetEdits(Plan& plan) {
  double earliest = INFINITY;
  for (auto [ts, first] : plan.tsSources) {
    std::vector<TsSource::Span> spans = ts->Spans();
    for (size_t i = 0; i < spans.size(); ++i)
      if (spans[i].shown)
        earliest = std::min(earliest, double(*spans[i].shown) / plan.tracks[first + i].timescale);
  }
  for (auto [ts, first] : plan.tsSources) {
    std::vector<TsSource::Span> spans = ts->Spans();
    for (size_t i = 0; i < spans.size(); ++i) {
      MovieTrack& t = plan.tracks[first + i];
      t.emptyEdit = 0;
      if (!spans[i].shown || !spans[i].origin) continue;
      t.presentationStart = uint64_t(std::max<int64_t>(*spans[i].shown - *spans[i].origin, 0));
      double late = double(*spans[i].shown) / t.timescale - earliest;
      t.emptyEdit = uint64_t(std::llround(late * kMovieTimescale));
    }
  }
}

void WriteMp4(const std::vector<TrackFiles>& inputs, const std::vector<TsProbe>& probes,
              OutFile& out) {
  Plan plan = MakePlan(inputs, probes);
  out.Write(FileTypeBox());
  uint64_t moovAt = out.Position();
  // Room for the moov at its largest: every made track with an empty edit.
  for (size_t t = 0; t < plan.tracks.size(); ++t) plan.tracks[t].emptyEdit = plan.fromTs[t];
  std::string room = MovieBox(plan.tracks);
  out.Write(room);
  WriteFragments(plan, out);
  SetEdits(plan);
  // Now that the durations are known, the moov says them, in its room.
  std::string moov = MovieBox(plan.tracks);
  // An edit entry is 20 bytes: what is spare is 0 or room for a free box.
  if (moov.size() > room.size() || (moov.size() < room.size() && moov.size() + 8 > room.size()))
    throw OutputError(L"the movie header outgrew its room");
  out.WriteAt(moovAt, moov + FreeBox(room.size() - moov.size()));
}

// A transport stream that stays one: its segments one after another.
void WriteTransportStream(const TrackFiles& input, OutFile& out) {
  for (size_t i = 0; i < input.segments.size(); ++i) {
    try {
      InFile segment(input.segments[i].path);
      segment.CopyTo(0, segment.Size(), out);
    } catch (const FormatError& e) {
      throw SegmentError(0, i, e.Why());
    }
  }
}

std::wstring TrackName(TrackKind kind) {
  switch (kind) {
    case TrackKind::Video:
      return L"the video track";
    case TrackKind::Audio:
      return L"the audio track";
    case TrackKind::Muxed:
      break;
  }
  return L"the stream";
}

std::wstring Describe(const std::vector<TrackFiles>& inputs, const SegmentError& e) {
  std::wstring track = TrackName(inputs[e.Input()].kind);
  if (!e.Segment()) return L"The init segment of " + track + L" cannot be used: " + e.Why();
  return L"Segment " + std::to_wstring(*e.Segment() + 1) + L" of " + track + L" cannot be used: " +
         e.Why();
}

void Write(const std::vector<TrackFiles>& inputs, const std::wstring& outPath, Result& result,
           bool& opened) {
  if (inputs.empty()) throw MediaError(L"The stream has no tracks");
  std::vector<TsProbe> probes(inputs.size());
  std::optional<std::wstring> unconvertible;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].container != Container::MpegTs) continue;
    probes[i] = ProbeTransportStream(i, inputs[i]);
    if (!unconvertible) unconvertible = probes[i].unconvertible;
  }
  if (unconvertible && inputs.size() > 1)
    throw MediaError(L"The stream cannot be joined into one file: " + *unconvertible);
  OutFile out(outPath);
  opened = true;
  if (unconvertible) {
    result.kind = MovieKind::TransportStream;
    WriteTransportStream(inputs[0], out);
  } else {
    WriteMp4(inputs, probes, out);
  }
  out.Close();
}

}  // namespace

Result WriteMovie(const std::vector<TrackFiles>& tracks, const std::wstring& outPath) {
  Result result;
  bool opened = false;
  try {
    Write(tracks, outPath, result, opened);
    result.ok = true;
  } catch (const SegmentError& e) {
    result.error = Describe(tracks, e);
    result.damaged = DamagedSegment{e.Input(), e.Segment()};
  } catch (const OutputError& e) {
    result.error = L"The movie cannot be written: " + e.Why();
  } catch (const FormatError& e) {
    result.error = L"The stream cannot be joined: " + e.Why();
  } catch (const MediaError& e) {
    result.error = e.Why();
  } catch (const std::bad_alloc&) {
    result.error = L"There is not enough memory to join the stream";
  } catch (const std::exception&) {
    // A fault of ours: the item ends in error, not the program.
    result.error = L"The stream cannot be joined: an unexpected fault";
  }
  // What was begun is taken away; a file we did not open stays.
  if (!result.ok && opened) DeleteFileW(outPath.c_str());
  return result;
}

}  // namespace mf::media
