#pragma once
// The segments of one DASH representation, from the SegmentTemplate,
// SegmentList or SegmentBase it has or inherits.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "media/DashTemplate.h"
#include "media/ReadResult.h"
#include "media/StreamPlan.h"
#include "media/XmlReader.h"

namespace mf::media {

struct RepresentationPlace {
  // The Representation, its AdaptationSet and its Period: nearest first.
  std::array<const XmlElement*, 3> levels{};
  std::wstring baseUrl;  // absolute: every BaseURL above it resolved in turn
  TemplateValues ids;    // its id and bandwidth
  std::optional<double> periodSeconds;
};

// Fills the track's initialization segment and segments, or for a
// SegmentBase its index's address and range. A representation with no
// segment information is one segment: its whole file.
std::optional<ReadFailure> AddDashSegments(const RepresentationPlace& place, Track& track);

// "The manifest cannot be read: <why>".
ReadFailure ManifestUnreadable(std::wstring_view why);

}  // namespace mf::media
