#include "media/DashManifest.h"

#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "common/Uri.h"
#include "media/DashSegments.h"
#include "media/NumberText.h"
#include "media/QualityChoice.h"
#include "media/XmlReader.h"

namespace mf::media {
namespace {

// Anywhere in the manifest, however deep (bounded by the reader's depth).
bool NamesProtection(const XmlElement& root) {
  std::vector<const XmlElement*> pending{&root};
  while (!pending.empty()) {
    const XmlElement* element = pending.back();
    pending.pop_back();
    if (element->name == L"ContentProtection") return true;
    for (const XmlElement& child : element->children) pending.push_back(&child);
  }
  return false;
}

// The element's first BaseURL resolved against the address above it.
std::wstring BaseOf(const XmlElement& element, const std::wstring& above) {
  const XmlElement* base = element.Child(L"BaseURL");
  std::wstring text = base ? TrimSpaces(base->text) : std::wstring();
  for (wchar_t blank : {L'\r', L'\n', L'\t'}) std::erase(text, blank);
  return text.empty() ? above : ResolveReference(above, text);
}

std::optional<double> DurationAttribute(const XmlElement& element, const wchar_t* name) {
  const std::wstring* text = element.Attribute(name);
  return text ? ParseIsoDuration(*text) : std::nullopt;
}

struct PeriodTiming {
  const XmlElement* period = nullptr;
  std::optional<double> seconds;
};

// Each period's length: its duration, else up to the next one's start, else
// up to the end of the whole.
std::vector<PeriodTiming> Periods(const XmlElement& mpd) {
  std::vector<const XmlElement*> periods = mpd.Children(L"Period");
  std::optional<double> total = DurationAttribute(mpd, L"mediaPresentationDuration");
  std::vector<PeriodTiming> timings;
  double start = 0;
  for (size_t i = 0; i < periods.size(); ++i) {
    start = DurationAttribute(*periods[i], L"start").value_or(start);
    std::optional<double> seconds = DurationAttribute(*periods[i], L"duration");
    std::optional<double> next =
        i + 1 < periods.size() ? DurationAttribute(*periods[i + 1], L"start") : total;
    if (!seconds && next && *next >= start) seconds = *next - start;
    timings.push_back({periods[i], seconds});
    if (seconds) start += *seconds;
  }
  return timings;
}

struct Candidate {
  Track track;  // its kind, container and shape; no segments yet
  const XmlElement* set = nullptr;
  const XmlElement* representation = nullptr;
};

int SizeAttribute(const std::wstring& text) {
  auto value = ParseCount(text);
  return value && *value <= 1000000 ? static_cast<int>(*value) : 0;
}

// What a representation carries, from its own attributes or its set's; nothing
// for what cannot be saved (text, pictures, containers other than MP4 and TS).
std::optional<Candidate> CandidateOf(const XmlElement& set, const XmlElement& representation) {
  auto common = [&](const wchar_t* name) {
    const std::wstring* value = representation.Attribute(name);
    if (!value) value = set.Attribute(name);
    return value ? *value : std::wstring();
  };
  std::wstring mime = AsciiLowerText(common(L"mimeType"));
  std::wstring type = common(L"contentType");
  Candidate candidate{{}, &set, &representation};
  Track& track = candidate.track;
  track.codecs = common(L"codecs");
  if (mime.ends_with(L"/mp2t"))
    track.container = Container::MpegTs;
  else if (mime.empty() || mime.ends_with(L"/mp4"))
    track.container = Container::FragmentedMp4;
  else
    return std::nullopt;
  bool video = HasVideoCodec(track.codecs), audio = HasAudioCodec(track.codecs);
  if (!video && !audio) {
    video = type == L"video" || mime.starts_with(L"video/");
    audio = type == L"audio" || mime.starts_with(L"audio/");
  }
  if (!video && !audio) return std::nullopt;
  track.kind = video && audio ? TrackKind::Muxed : video ? TrackKind::Video : TrackKind::Audio;
  track.bandwidth = ParseCount(common(L"bandwidth")).value_or(0);
  track.width = SizeAttribute(common(L"width"));
  track.height = SizeAttribute(common(L"height"));
  return candidate;
}

// The candidate of one kind that the quality names; with audio, the one of
// the highest bandwidth.
const Candidate* Choose(const std::vector<Candidate>& all, TrackKind kind, Quality quality) {
  std::vector<const Candidate*> pool;
  std::vector<VersionShape> shapes;
  for (const Candidate& candidate : all) {
    if (candidate.track.kind != kind) continue;
    pool.push_back(&candidate);
    // Audio goes by bandwidth alone, whatever the quality setting.
    shapes.push_back(
        {kind == TrackKind::Audio ? 0 : candidate.track.height, candidate.track.bandwidth});
  }
  if (pool.empty()) return nullptr;
  return pool[ChooseVersion(shapes, kind == TrackKind::Audio ? Quality::Best : quality)];
}

std::vector<const Candidate*> ChooseTracks(const std::vector<Candidate>& all, Quality quality) {
  const Candidate* video = Choose(all, TrackKind::Video, quality);
  const Candidate* audio = Choose(all, TrackKind::Audio, quality);
  const Candidate* muxed = Choose(all, TrackKind::Muxed, quality);
  if (video && audio) return {video, audio};
  if (muxed) return {muxed};
  if (video) return {video};
  if (audio) return {audio};
  return {};
}

ReadResult<std::vector<Track>> PeriodTracks(const PeriodTiming& timing, const std::wstring& base,
                                            Quality quality) {
  std::vector<Candidate> all;
  for (const XmlElement* set : timing.period->Children(L"AdaptationSet"))
    for (const XmlElement* representation : set->Children(L"Representation"))
      if (auto candidate = CandidateOf(*set, *representation)) all.push_back(std::move(*candidate));
  std::vector<const Candidate*> chosen = ChooseTracks(all, quality);
  if (chosen.empty()) return ManifestUnreadable(L"it has no video or audio that can be saved");
  std::wstring periodBase = BaseOf(*timing.period, base);
  std::vector<Track> tracks;
  for (const Candidate* candidate : chosen) {
    const XmlElement& representation = *candidate->representation;
    RepresentationPlace place{{&representation, candidate->set, timing.period}};
    place.baseUrl = BaseOf(representation, BaseOf(*candidate->set, periodBase));
    const std::wstring* id = representation.Attribute(L"id");
    place.ids = {id ? *id : std::wstring(), candidate->track.bandwidth};
    place.periodSeconds = timing.seconds;
    Track track = candidate->track;
    if (auto failure = AddDashSegments(place, track)) return *failure;
    if (track.segments.empty() && !NeedsIndex(track))
      return ManifestUnreadable(L"it lists no segment");
    tracks.push_back(std::move(track));
  }
  return tracks;
}

// Periods played one after another make one track of each kind: they must
// hold the same tracks in the same format.
std::optional<ReadFailure> Append(std::vector<Track>& tracks, std::vector<Track> next) {
  if (next.size() != tracks.size()) return ManifestUnreadable(L"its periods hold different tracks");
  for (size_t i = 0; i < tracks.size(); ++i) {
    Track& track = tracks[i];
    Track& more = next[i];
    bool sameInit = track.init.has_value() == more.init.has_value() &&
                    (!track.init || SamePlace(*track.init, *more.init));
    if (more.kind != track.kind || NeedsIndex(track) || NeedsIndex(more) || !sameInit ||
        more.container != track.container)
      return ManifestUnreadable(L"its format changes from one period to the next");
    if (track.segments.size() + more.segments.size() > kMaxSegmentsPerTrack)
      return ManifestUnreadable(L"it lists too many segments");
    more.segments.front().discontinuity = true;
    for (Segment& segment : more.segments) track.segments.push_back(std::move(segment));
  }
  return std::nullopt;
}

}  // namespace

ReadResult<StreamPlan> ReadDashManifest(std::string_view text, std::wstring_view manifestUrl,
                                        Quality quality) {
  ReadResult<XmlElement> mpd = ReadXml(text);
  if (!mpd) return ManifestUnreadable(mpd.Failure().message);
  if (mpd->name != L"MPD") return ManifestUnreadable(L"it is not a DASH manifest");
  const std::wstring* type = mpd->Attribute(L"type");
  if (type && *type == L"dynamic") return LiveRefusal();
  if (NamesProtection(*mpd)) return ProtectedRefusal();
  std::wstring base = BaseOf(*mpd, std::wstring(manifestUrl));
  StreamPlan plan;
  for (const PeriodTiming& timing : Periods(*mpd)) {
    ReadResult<std::vector<Track>> tracks = PeriodTracks(timing, base, quality);
    if (!tracks) return tracks.Failure();
    if (plan.tracks.empty())
      plan.tracks = std::move(*tracks);
    else if (auto failure = Append(plan.tracks, std::move(*tracks)))
      return *failure;
  }
  if (plan.tracks.empty()) return ManifestUnreadable(L"it has no period");
  return plan;
}

}  // namespace mf::media
