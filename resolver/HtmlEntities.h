#pragma once
// HTML character references in attribute values.
#include <string>
#include <string_view>

namespace mf {

// "&amp;", "&#38;" and "&#x26;" become "&"; the common named references
// are known. As browsers do in attribute values, "&amp", "&lt", "&gt" and
// "&quot" need no ";" unless a letter, digit or "=" follows, so an address
// such as "?a=1&copy=2" keeps its text. Unknown references stay as written;
// numbers out of Unicode's range or naming a surrogate become U+FFFD.
std::wstring DecodeCharacterReferences(std::wstring_view text);

}  // namespace mf
