#include "media/DashSegments.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/Uri.h"
#include "media/NumberText.h"

namespace mf::media {
namespace {

using Failure = std::optional<ReadFailure>;

// One kind of segment information as a representation inherits it: its
// elements from the Representation up, nearest first; an attribute or child
// is taken from the nearest that has it.
struct Inherited {
  std::vector<const XmlElement*> levels;

  const std::wstring* Attribute(std::wstring_view name) const {
    for (const XmlElement* level : levels)
      if (const std::wstring* value = level->Attribute(name)) return value;
    return nullptr;
  }
  const XmlElement* Child(std::wstring_view name) const {
    for (const XmlElement* level : levels)
      if (const XmlElement* child = level->Child(name)) return child;
    return nullptr;
  }
  // Absent: the default; nothing when present but not a number.
  std::optional<int64_t> Count(std::wstring_view name, int64_t fallback) const {
    const std::wstring* value = Attribute(name);
    return value ? ParseCount(*value) : fallback;
  }
};

struct SegmentTime {
  int64_t time = 0, duration = 0;
};

Failure TooMany() { return ManifestUnreadable(L"it lists too many segments"); }

// Appends `count` segments of `duration` from `time` on.
Failure AppendTimes(int64_t& time, int64_t duration, int64_t count, std::vector<SegmentTime>& out) {
  if (count < 0 || static_cast<uint64_t>(count) > kMaxSegmentsPerTrack - out.size())
    return TooMany();
  if (count > 0 && duration > (INT64_MAX - time) / count)
    return ManifestUnreadable(L"its segment times are too large");
  for (int64_t i = 0; i < count; ++i, time += duration) out.push_back({time, duration});
  return std::nullopt;
}

// How many times an S repeats: r, or with a negative r up to the next S's
// start or the period's end.
std::optional<int64_t> Repeats(const XmlElement& s, const XmlElement* next, int64_t time,
                               int64_t duration, std::optional<int64_t> periodEnd) {
  const std::wstring* r = s.Attribute(L"r");
  if (!r) return 1;
  if (!r->empty() && (*r)[0] != L'-') {
    auto count = ParseCount(*r);
    return count && *count < INT64_MAX ? std::optional(*count + 1) : std::nullopt;
  }
  std::optional<int64_t> end = periodEnd;
  if (next && next->Attribute(L"t")) end = ParseCount(*next->Attribute(L"t"));
  if (!end) return std::nullopt;
  if (*end <= time) return 0;
  return (*end - time) / duration + ((*end - time) % duration != 0);
}

Failure TimelineTimes(const XmlElement& timeline, std::optional<int64_t> periodEnd,
                      std::vector<SegmentTime>& out) {
  std::vector<const XmlElement*> entries = timeline.Children(L"S");
  int64_t time = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const XmlElement& s = *entries[i];
    if (const std::wstring* t = s.Attribute(L"t")) {
      auto start = ParseCount(*t);
      if (!start) return ManifestUnreadable(L"a segment's time cannot be read");
      time = *start;
    }
    const std::wstring* d = s.Attribute(L"d");
    auto duration = d ? ParseCount(*d) : std::nullopt;
    if (!duration || *duration == 0) return ManifestUnreadable(L"a segment has no duration");
    const XmlElement* next = i + 1 < entries.size() ? entries[i + 1] : nullptr;
    auto count = Repeats(s, next, time, *duration, periodEnd);
    if (!count) return ManifestUnreadable(L"a segment repeats without an end");
    if (Failure failure = AppendTimes(time, *duration, *count, out)) return failure;
  }
  return std::nullopt;
}

// Segments of one duration filling the period.
Failure EvenTimes(const Inherited& info, const RepresentationPlace& place, int64_t timescale,
                  int64_t offset, std::vector<SegmentTime>& out) {
  auto duration = info.Count(L"duration", 0);
  if (!duration || *duration == 0)
    return ManifestUnreadable(L"a segment template gives no segment duration");
  if (!place.periodSeconds) return ManifestUnreadable(L"it does not say how long the video is");
  double count = std::ceil(*place.periodSeconds * timescale / *duration - 1e-9);
  if (!(count <= kMaxSegmentsPerTrack)) return TooMany();
  int64_t time = offset;
  return AppendTimes(time, *duration, static_cast<int64_t>(count), out);
}

Failure FromTemplate(const Inherited& info, const RepresentationPlace& place, Track& track) {
  const std::wstring* media = info.Attribute(L"media");
  if (!media) return ManifestUnreadable(L"a segment template has no media address");
  auto timescale = info.Count(L"timescale", 1);
  auto startNumber = info.Count(L"startNumber", 1);
  auto offset = info.Count(L"presentationTimeOffset", 0);
  if (!timescale || *timescale == 0 || !startNumber || !offset ||
      *startNumber > INT64_MAX - static_cast<int64_t>(kMaxSegmentsPerTrack))
    return ManifestUnreadable(L"a segment template's numbers cannot be read");
  TemplateValues values = place.ids;
  if (const std::wstring* initialization = info.Attribute(L"initialization")) {
    auto address = ExpandTemplate(*initialization, values);
    if (!address) return ManifestUnreadable(L"a segment template cannot be filled in");
    track.init = Segment{ResolveReference(place.baseUrl, *address)};
  }
  std::vector<SegmentTime> times;
  std::optional<int64_t> periodEnd;
  double span = place.periodSeconds ? std::round(*place.periodSeconds * *timescale) : -1;
  if (span >= 0 && span < 9e18 && *offset <= INT64_MAX - static_cast<int64_t>(span))
    periodEnd = *offset + static_cast<int64_t>(span);
  const XmlElement* timeline = info.Child(L"SegmentTimeline");
  Failure failure = timeline ? TimelineTimes(*timeline, periodEnd, times)
                             : EvenTimes(info, place, *timescale, *offset, times);
  if (failure) return failure;
  for (size_t i = 0; i < times.size(); ++i) {
    values.number = *startNumber + static_cast<int64_t>(i);
    values.time = times[i].time;
    auto address = ExpandTemplate(*media, values);
    if (!address) return ManifestUnreadable(L"a segment template cannot be filled in");
    Segment segment{ResolveReference(place.baseUrl, *address)};
    segment.duration = static_cast<double>(times[i].duration) / *timescale;
    segment.sequence = static_cast<uint64_t>(values.number);
    track.segments.push_back(std::move(segment));
  }
  return std::nullopt;
}

std::optional<ByteRange> RangeOf(const std::wstring* text) {
  auto range = text ? ParseDashRange(*text) : std::nullopt;
  if (!range) return std::nullopt;
  return ByteRange{range->first, range->last - range->first + 1};
}

// A part named by sourceURL or media (absent: the representation's own
// file) and a byte range; false when the range is given but unreadable.
bool PartOf(const XmlElement& element, const wchar_t* urlName, const wchar_t* rangeName,
            const RepresentationPlace& place, Segment& part) {
  const std::wstring* url = element.Attribute(urlName);
  part.url = url ? ResolveReference(place.baseUrl, *url) : place.baseUrl;
  const std::wstring* range = element.Attribute(rangeName);
  part.range = RangeOf(range);
  return !range || part.range;
}

Failure FromList(const Inherited& info, const RepresentationPlace& place, Track& track) {
  auto timescale = info.Count(L"timescale", 1);
  auto duration = info.Count(L"duration", 0);
  auto startNumber = info.Count(L"startNumber", 1);
  if (!timescale || *timescale == 0 || !duration || !startNumber)
    return ManifestUnreadable(L"a segment list's numbers cannot be read");
  if (const XmlElement* initialization = info.Child(L"Initialization")) {
    track.init.emplace();
    if (!PartOf(*initialization, L"sourceURL", L"range", place, *track.init))
      return ManifestUnreadable(L"a byte range cannot be read");
  }
  std::vector<const XmlElement*> urls;
  for (const XmlElement* level : info.levels)
    if (urls.empty()) urls = level->Children(L"SegmentURL");
  if (urls.size() > kMaxSegmentsPerTrack) return TooMany();
  for (const XmlElement* url : urls) {
    Segment segment;
    if (!PartOf(*url, L"media", L"mediaRange", place, segment))
      return ManifestUnreadable(L"a byte range cannot be read");
    segment.duration = static_cast<double>(*duration) / *timescale;
    segment.sequence = static_cast<uint64_t>(*startNumber) + track.segments.size();
    track.segments.push_back(std::move(segment));
  }
  return std::nullopt;
}

// The segments are listed by the index; the initialization section is the
// one named, else all that comes before the index.
Failure FromBase(const Inherited& info, const RepresentationPlace& place, Track& track) {
  const std::wstring* indexRange = info.Attribute(L"indexRange");
  if (!indexRange) {
    track.segments.push_back(Segment{place.baseUrl});
    return std::nullopt;
  }
  track.indexRange = RangeOf(indexRange);
  if (!track.indexRange) return ManifestUnreadable(L"a byte range cannot be read");
  track.indexUrl = place.baseUrl;
  if (track.indexRange->offset > 0)
    track.init = Segment{place.baseUrl, ByteRange{0, track.indexRange->offset}};
  const XmlElement* initialization = info.Child(L"Initialization");
  if (initialization &&
      !PartOf(*initialization, L"sourceURL", L"range", place, track.init.emplace()))
    return ManifestUnreadable(L"a byte range cannot be read");
  return std::nullopt;
}

}  // namespace

ReadFailure ManifestUnreadable(std::wstring_view why) {
  return Unreadable(L"The manifest cannot be read: " + std::wstring(why));
}

std::optional<ReadFailure> AddDashSegments(const RepresentationPlace& place, Track& track) {
  constexpr const wchar_t* kKinds[] = {L"SegmentTemplate", L"SegmentList", L"SegmentBase"};
  const wchar_t* kind = nullptr;
  for (const XmlElement* level : place.levels)
    for (const wchar_t* name : kKinds)
      if (!kind && level && level->Child(name)) kind = name;
  if (!kind) {
    track.segments.push_back(Segment{place.baseUrl});
    return std::nullopt;
  }
  Inherited info;
  for (const XmlElement* level : place.levels)
    if (const XmlElement* element = level ? level->Child(kind) : nullptr)
      info.levels.push_back(element);
  if (kind == kKinds[0]) return FromTemplate(info, place, track);
  if (kind == kKinds[1]) return FromList(info, place, track);
  return FromBase(info, place, track);
}

}  // namespace mf::media
