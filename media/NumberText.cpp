#include "media/NumberText.h"

#include <limits>

namespace mf::media {

std::optional<int64_t> ParseCount(std::wstring_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  return static_cast<int64_t>(value);
}

std::optional<double> ParseDecimal(std::wstring_view text) {
  bool negative = !text.empty() && text[0] == L'-';
  if (negative) text.remove_prefix(1);
  size_t dot = text.find(L'.');
  std::wstring_view whole = text.substr(0, dot);
  std::wstring_view fraction = dot == std::wstring_view::npos ? L"" : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  double value = 0;
  if (!whole.empty()) {
    auto count = ParseCount(whole);
    if (!count) return std::nullopt;
    value = static_cast<double>(*count);
  }
  double scale = 0.1;
  for (wchar_t c : fraction) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value += (c - L'0') * scale;
    scale /= 10;
  }
  return negative ? -value : value;
}

std::optional<InclusiveRange> ParseDashRange(std::wstring_view text) {
  size_t dash = text.find(L'-');
  if (dash == std::wstring_view::npos) return std::nullopt;
  auto first = ParseCount(text.substr(0, dash));
  auto last = ParseCount(text.substr(dash + 1));
  if (!first || !last || *last < *first) return std::nullopt;
  return InclusiveRange{*first, *last};
}

std::optional<double> ParseIsoDuration(std::wstring_view text) {
  if (text.empty() || text[0] != L'P') return std::nullopt;
  text.remove_prefix(1);
  constexpr double kDay = 86400;
  bool inTime = false;
  double seconds = 0;
  size_t parts = 0;
  while (!text.empty()) {
    if (text[0] == L'T' && !inTime) {
      inTime = true;
      text.remove_prefix(1);
      continue;
    }
    size_t unitAt = text.find_first_of(L"YMWDHS");
    if (unitAt == std::wstring_view::npos) return std::nullopt;
    auto value = ParseDecimal(text.substr(0, unitAt));
    if (!value || *value < 0) return std::nullopt;
    wchar_t unit = text[unitAt];
    double scale = inTime ? (unit == L'H'   ? 3600
                             : unit == L'M' ? 60
                             : unit == L'S' ? 1
                                            : 0)
                          : (unit == L'Y'   ? 365 * kDay
                             : unit == L'M' ? 30 * kDay
                             : unit == L'W' ? 7 * kDay
                             : unit == L'D' ? kDay
                                            : 0);
    if (scale == 0) return std::nullopt;
    seconds += *value * scale;
    ++parts;
    text.remove_prefix(unitAt + 1);
  }
  if (parts == 0) return std::nullopt;
  return seconds;
}

}  // namespace mf::media
