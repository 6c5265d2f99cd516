#pragma once
// What the transfer's connections share of an answer: the final answer to a
// request after its redirects, and how its header texts are read.
#include <windows.h>

#include <optional>
#include <string>

#include "common/HttpHeaders.h"
#include "common/Text.h"
#include "common/TextCodec.h"
#include "transfer/DownloadJob.h"

namespace mf {

inline std::wstring Wide(const std::optional<std::string>& value) {
  if (!value) return {};
  std::optional<std::wstring> text = FromUtf8Strict(*value);
  return text ? *text : FromAnsi(*value);
}

inline double MillisecondsNow() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The final answer to a request, after its redirects.
struct DownloadJob::Answer {
  std::wstring url;
  HttpHeaderBlock headers;
  int status = 0;
  std::optional<int64_t> Length() const {
    std::optional<std::string> value = headers.Get("Content-Length");
    return value ? ParseDecimal(*value) : std::nullopt;
  }
  uint64_t RetryAfter() const {
    std::optional<std::string> value = headers.Get("Retry-After");
    return value ? ParseRetryAfter(*value).value_or(0) : 0;
  }
  // What a later request names to get the rest of this very version: a
  // strong ETag, else the Last-Modified date.
  std::wstring Version() const {
    std::wstring tag = Wide(headers.Get("ETag"));
    if (!tag.empty() && !tag.starts_with(L"W/")) return tag;
    return Wide(headers.Get("Last-Modified"));
  }
};

// The lock of a scope.
class DownloadJob::Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace mf
