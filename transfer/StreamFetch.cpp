#include "transfer/StreamFetch.h"

#include <algorithm>
#include <memory>

#include "common/HttpHeaders.h"
#include "common/Text.h"
#include "resolver/AddressText.h"
#include "transfer/JobAnswer.h"
#include "transfer/Redirect.h"
#include "transfer/RequestFailure.h"
#include "transfer/SpeedLimit.h"

namespace mf {
namespace {

constexpr size_t kReadSize = 64 * 1024;
constexpr DWORD kGatherMs = 50;

std::string RangeHeader(const media::ByteRange& range) {
  std::string text = "Range: bytes=" + std::to_string(range.offset) + "-";
  if (range.length >= 0) text += std::to_string(range.offset + range.length - 1);
  return text + "\r\n";
}

}  // namespace

bool FetchOutcome::Passing() const {
  if (status >= 500 || status == 429 || status == 408) return true;
  // A server's other answers stay what they are on the next try.
  return net != NetError::None && IsPassing(net);
}

FetchOutcome StreamFetch::Get(const std::wstring& url, const std::optional<media::ByteRange>& range,
                              const Sink& sink, int64_t limit) {
  FetchOutcome outcome;
  outcome.finalUrl = url;
  if (!Send(url, range ? RangeHeader(*range) : std::string(), outcome)) return outcome;
  const HttpHeaderBlock headers = ParseHeaderBlock(connection_->Headers());
  outcome.contentType = Wide(headers.Get("Content-Type"));
  outcome.retryAfter = ParseRetryAfter(headers.Get("Retry-After").value_or("")).value_or(0);
  const std::optional<int64_t> length = ParseDecimal(headers.Get("Content-Length").value_or("-"));
  int64_t skip = 0, expect = length.value_or(-1);
  if (outcome.status == 206 && range) {
    // Only exactly the range asked for will do.
    const auto got = ParseContentRange(headers.Get("Content-Range").value_or(""));
    const int64_t last = range->length >= 0 ? range->offset + range->length - 1 : -1;
    if (!got || got->first != range->offset || (last >= 0 && got->last != last)) {
      outcome.reason = L"The server sent another part of the segment than the one asked for.";
      return outcome;
    }
    expect = got->last - got->first + 1;
  } else if (outcome.status == 200 && range) {
    // A server that ignores ranges sends it all: the range is cut out of it.
    skip = range->offset;
    if (range->length >= 0)
      expect = range->length;
    else if (length)
      expect = *length - range->offset;
    if (length && range->length >= 0 && *length < range->offset + range->length) expect = -2;
  } else if (outcome.status != 200) {
    outcome.reason = NoFileText(static_cast<DWORD>(outcome.status));
    return outcome;
  }
  if (expect == -2 || (limit > 0 && expect > limit)) {
    outcome.reason = expect == -2 ? std::wstring(kCutShort) : L"The answer is too large.";
    return outcome;
  }
  int64_t taken = 0;
  outcome.ok = ReadBody(
      skip, expect,
      [&](std::string_view bytes) {
        taken += static_cast<int64_t>(bytes.size());
        return (limit <= 0 || taken <= limit) && sink(bytes);
      },
      outcome);
  return outcome;
}

FetchOutcome StreamFetch::GetText(const std::wstring& url,
                                  const std::optional<media::ByteRange>& range, std::string& text,
                                  int64_t limit) {
  text.clear();
  return Get(
      url, range,
      [&](std::string_view bytes) {
        text.append(bytes);
        return true;
      },
      limit);
}

bool StreamFetch::Send(const std::wstring& url, const std::string& headers, FetchOutcome& outcome) {
  const bool secure = IsSecure(url);
  const std::string lines =
      std::string("User-Agent: ").append(DownloadJob::kAgent).append("\r\n") + headers;
  for (int redirects = 0;; ++redirects) {
    std::optional<WebAddress> address = SplitWebAddress(outcome.finalUrl);
    if (!address || stop_) return false;
    // One connection after another to the same server: no new handshake for each segment.
    if (!connection_ || !connection_->CanReuse(*address))
      connection_ = std::make_unique<HttpConnection>(stop_, timeouts_, proxy_);
    bool answered = connection_->ExchangeKeepingAlive(*address, lines);
    if (!answered && connection_->StaleReuse()) {
      connection_ = std::make_unique<HttpConnection>(stop_, timeouts_, proxy_);
      answered = connection_->ExchangeKeepingAlive(*address, lines);
    }
    if (!answered) return NoAnswer(outcome);
    const HttpHeaderBlock answer = ParseHeaderBlock(connection_->Headers());
    outcome.status = answer.status;
    std::optional<std::string> location = answer.Get("Location");
    if (!IsRedirect(answer.status) || !location || location->empty()) return true;
    const std::wstring next = ResolveReference(outcome.finalUrl, AddressFromBytes(*location));
    if (redirects == DownloadJob::kMaxRedirects || (secure && !IsSecure(next))) {
      outcome.reason =
          redirects == DownloadJob::kMaxRedirects ? kTooManyRedirects : kInsecureRedirect;
      return false;
    }
    outcome.finalUrl = next;
  }
}

bool StreamFetch::NoAnswer(FetchOutcome& outcome) const {
  outcome.net = connection_->Error();
  outcome.reason = RequestFailureText(outcome.net, connection_->SecureFailure());
  if (outcome.reason.empty()) outcome.reason = L"The server did not answer.";
  return false;
}

bool StreamFetch::ReadBody(int64_t skip, int64_t expect, const Sink& sink, FetchOutcome& outcome) {
  auto buffer = std::make_unique<char[]>(kReadSize);
  int64_t taken = 0;
  while (expect < 0 || taken < expect) {
    const size_t want = expect < 0 || skip > 0
                            ? kReadSize
                            : static_cast<size_t>(std::min<int64_t>(kReadSize, expect - taken));
    const size_t leave = SpeedLimit::Acquire(want, stop_);
    if (leave == 0) return false;
    const int64_t got = connection_->Read(buffer.get(), leave, kGatherMs);
    SpeedLimit::Refund(leave - static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got < 0 || (got == 0 && expect >= 0)) {
      outcome.net = got < 0 ? connection_->Error() : NetError::ConnectionBroken;
      outcome.reason = kCutShort;
      return false;
    }
    if (got == 0) break;
    std::string_view bytes(buffer.get(), static_cast<size_t>(got));
    const int64_t passed = std::min<int64_t>(skip, got);
    skip -= passed;
    bytes.remove_prefix(static_cast<size_t>(passed));
    if (expect >= 0 && taken + static_cast<int64_t>(bytes.size()) > expect)
      bytes = bytes.substr(0, static_cast<size_t>(expect - taken));
    taken += static_cast<int64_t>(bytes.size());
    if (!bytes.empty() && !sink(bytes)) {
      if (outcome.reason.empty()) outcome.reason = L"The answer is too large.";
      return false;
    }
  }
  return skip == 0;
}

}  // namespace mf
