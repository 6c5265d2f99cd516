#include "common/HttpHeaders.h"

#include <algorithm>

namespace mf {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// The next line of `raw` from `at`, without its line end.
std::string_view NextLine(std::string_view raw, size_t& at) {
  const size_t end = std::min(raw.find('\n', at), raw.size());
  std::string_view line = raw.substr(at, end - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = end + 1;
  return line;
}

int StatusOf(std::string_view statusLine) {
  const size_t space = statusLine.find(' ');
  if (space == std::string_view::npos) return 0;
  const std::optional<int64_t> code = ParseDecimal(statusLine.substr(space + 1, 3));
  return code && *code >= 100 && *code <= 999 ? static_cast<int>(*code) : 0;
}

}  // namespace

std::optional<std::string> HttpHeaderBlock::Get(std::string_view name) const {
  for (const HttpField& field : fields)
    if (SameName(field.name, name)) return field.value;
  return std::nullopt;
}

HttpHeaderBlock ParseHeaderBlock(std::string_view raw) {
  HttpHeaderBlock block;
  size_t at = 0;
  // A block may start with blank lines (what is left of an earlier answer).
  while (at < raw.size() && block.statusLine.empty()) block.statusLine = NextLine(raw, at);
  block.status = StatusOf(block.statusLine);
  while (at < raw.size()) {
    const std::string_view line = NextLine(raw, at);
    if (line.empty()) break;
    if (IsBlank(line.front())) {  // an obsolete folded line continues the last field
      if (!block.fields.empty()) block.fields.back().value.append(" ").append(Trimmed(line));
      continue;
    }
    const size_t colon = line.find(':');
    // A name holds no blank; a line without one is no field at all.
    if (colon == std::string_view::npos || colon == 0 ||
        std::any_of(line.begin(), line.begin() + colon, IsBlank))
      continue;
    block.fields.push_back(
        {std::string(line.substr(0, colon)), std::string(Trimmed(line.substr(colon + 1)))});
  }
  return block;
}

std::optional<int64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  value = Trimmed(value);
  if (value.size() < 6 || !SameName(value.substr(0, 6), "bytes ")) return std::nullopt;
  value.remove_prefix(6);
  const size_t slash = value.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  ContentRange range;
  const std::string_view span = Trimmed(value.substr(0, slash));
  const std::string_view total = Trimmed(value.substr(slash + 1));
  if (total != "*") {
    std::optional<int64_t> n = ParseDecimal(total);
    if (!n) return std::nullopt;
    range.total = *n;
  }
  if (span == "*") return range.total >= 0 ? std::optional(range) : std::nullopt;
  const size_t dash = span.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  std::optional<int64_t> first = ParseDecimal(span.substr(0, dash));
  std::optional<int64_t> last = ParseDecimal(span.substr(dash + 1));
  // A range must lie inside the whole it names.
  if (!first || !last || *last < *first || (range.total >= 0 && *last >= range.total))
    return std::nullopt;
  range.first = *first;
  range.last = *last;
  return range;
}

std::optional<uint64_t> ParseRetryAfter(std::string_view value) {
  value = Trimmed(value);
  if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  // More digits than a number holds is still a wait longer than any cap.
  std::optional<int64_t> seconds = ParseDecimal(value);
  return seconds ? static_cast<uint64_t>(*seconds) : UINT64_MAX;
}

}  // namespace mf
