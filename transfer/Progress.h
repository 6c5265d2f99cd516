#pragma once
// The value a transfer reports after each chunk.
#include <cstdint>

namespace mf {

// With a known size (fileSize above 0): the bytes received as a percentage of
// it, to the nearest integer with halves to even, unchanged above 100.
// Otherwise the byte count itself. The count is kept in 64 bits, but the
// notification carries 32: a value beyond 2,147,483,647 (a byte count from
// 2 GiB on, or a percentage of a size far too small) stays at that maximum
// instead of wrapping to a negative number.
long ProgressValue(int64_t bytesReceived, float fileSize);

// A byte count in the 32 bits of a notification, held at the maximum.
long ClampToLong(int64_t value);

}  // namespace mf
