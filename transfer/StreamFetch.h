#pragma once
// One resource of a stream fetched by a worker thread: a playlist, a
// manifest, a key or a segment, whole or a byte range of it, its body handed
// on in blocks as it arrives. Redirects are followed as a file's are (at
// most ten, never from https to http), and the body must be exactly what
// was asked for: a cut-off answer is a failure, not a shorter segment.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "media/StreamPlan.h"
#include "transfer/HttpConnection.h"
#include "transfer/NetError.h"

namespace mf {

struct FetchOutcome {
  bool ok = false;
  int status = 0;  // the final answer's (0: none came)
  std::wstring finalUrl;
  std::wstring contentType;
  uint64_t retryAfter = 0;
  NetError net = NetError::None;
  std::wstring reason;  // when not ok, in the user's words
  // A failure a later try may not meet: the network, a busy or broken server.
  bool Passing() const;
};

class StreamFetch {
 public:
  StreamFetch(const std::atomic<bool>& stop, HttpConnection::Timeouts timeouts,
              const ProxySettings& proxy)
      : stop_(stop), timeouts_(timeouts), proxy_(proxy) {}

  // False from `sink` ends the fetch (not ok). More than `limit` bytes (0:
  // none) fail it too.
  using Sink = std::function<bool(std::string_view bytes)>;
  FetchOutcome Get(const std::wstring& url, const std::optional<media::ByteRange>& range,
                   const Sink& sink, int64_t limit = 0);
  // The whole body as text, up to `limit` bytes.
  FetchOutcome GetText(const std::wstring& url, const std::optional<media::ByteRange>& range,
                       std::string& text, int64_t limit);

 private:
  bool Send(const std::wstring& url, const std::string& headers, FetchOutcome& outcome);
  bool ReadBody(int64_t skip, int64_t expect, const Sink& sink, FetchOutcome& outcome);
  bool NoAnswer(FetchOutcome& outcome) const;

  const std::atomic<bool>& stop_;
  HttpConnection::Timeouts timeouts_;
  const ProxySettings& proxy_;
  std::unique_ptr<HttpConnection> connection_;
};

}  // namespace mf
