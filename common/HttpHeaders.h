#pragma once
// An HTTP answer's header block as the standard defines it (RFC 9110, 9112):
// a status line, then fields whose names are matched exactly, ignoring
// letter case, never found as text inside another field.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

struct HttpField {
  std::string name;
  std::string value;  // leading and trailing blanks removed
};

struct HttpHeaderBlock {
  std::string statusLine;
  int status = 0;  // 0 when the status line has none
  std::vector<HttpField> fields;

  // The value of the first field of that name.
  std::optional<std::string> Get(std::string_view name) const;
};

// The raw block as received (CR LF or LF line ends, folded lines joined).
HttpHeaderBlock ParseHeaderBlock(std::string_view raw);

// A whole non-negative number of at most 18 digits; nothing for any other text.
std::optional<int64_t> ParseDecimal(std::string_view text);

// "bytes first-last/total" (a 206) or "bytes */total" (a 416). A part or a
// total that is not given is -1.
struct ContentRange {
  int64_t first = -1;
  int64_t last = -1;
  int64_t total = -1;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// The seconds of a Retry-After in its delta form; its date form and anything
// else give nothing.
std::optional<uint64_t> ParseRetryAfter(std::string_view value);

}  // namespace mf
