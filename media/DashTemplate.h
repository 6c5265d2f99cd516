#pragma once
// The addresses a DASH SegmentTemplate writes: $RepresentationID$,
// $Number$, $Time$, $Bandwidth$ (the last three with an optional "%0Nd"
// width) and "$$" for a dollar sign.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mf::media {

struct TemplateValues {
  std::wstring representationId;
  int64_t bandwidth = 0;
  int64_t number = 0;
  int64_t time = 0;
};

// Nothing when the template names something else or is cut.
std::optional<std::wstring> ExpandTemplate(std::wstring_view pattern, const TemplateValues& values);

}  // namespace mf::media
