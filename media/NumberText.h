#pragma once
// Numbers as playlists and manifests write them, read strictly: a value that
// is not wholly a number, or does not fit, is no number.
#include <cstdint>
#include <optional>
#include <string_view>

namespace mf::media {

// Decimal digits only, at most 2^63 - 1.
std::optional<int64_t> ParseCount(std::wstring_view text);
// An unsigned or signed decimal with an optional fraction ("4", "-1", "9.97").
std::optional<double> ParseDecimal(std::wstring_view text);
// "a-b" (DASH) as the inclusive byte range a..b; b must not be below a.
struct InclusiveRange {
  int64_t first = 0, last = 0;
};
std::optional<InclusiveRange> ParseDashRange(std::wstring_view text);
// An ISO 8601 duration as manifests write them ("PT1H2M3.5S", "P1DT10S") in
// seconds; a year counts 365 days and a month 30.
std::optional<double> ParseIsoDuration(std::wstring_view text);

}  // namespace mf::media
