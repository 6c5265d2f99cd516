#pragma once
// Percent-decoding of addresses, query part included.
#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The decoded result holds at most this many characters (its buffer, with
// the terminating NUL, is 1024 characters long).
constexpr size_t kMaxUnescapedLength = 1023;

// Every "%" with two hexadecimal digits becomes that byte; "+" stays "+".
// Empty text in, or a result that does not fit, gives empty text.
std::wstring UnescapeUrl(const std::wstring& address);

// The same over single-byte text; nothing when decoding failed.
std::optional<std::string> UnescapeUrlBytes(std::string_view address);

}  // namespace mf
