#pragma once
// A small HTTP/1.1 server for tests and benchmarks. It listens on 127.0.0.1
// (a free port unless told otherwise), answers every connection on a thread
// of its own and records each request it receives. Routes are exact request
// targets; any other target gets a 404 page with a body. Every answer closes
// its connection, so a body without Content-Length ends where the data ends.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf::test {

struct HttpHeader {
  std::string name;
  std::string value;
};

struct HttpRequest {
  std::string method;   // "GET", "HEAD", ...
  std::string target;   // the path (and query) as sent
  std::string version;  // "HTTP/1.0", "HTTP/1.1"
  std::vector<HttpHeader> headers;

  // The value of the first header of that name (any letter case).
  std::optional<std::string> Header(std::string_view name) const;
};

// Made-up content: `size` bytes of a pseudo-random pattern that depends on the
// seed and on each byte's position, so that a byte out of place changes a hash.
struct PatternBody {
  uint64_t size = 0;
  uint32_t seed = 1;
};
// Writes the pattern's bytes [offset, offset + count) to `out`.
void FillPattern(uint32_t seed, uint64_t offset, char* out, size_t count);

struct HttpResponse {
  std::string version = "HTTP/1.1";  // of the status line
  int status = 200;
  std::string reason = "OK";
  std::vector<HttpHeader> headers;  // sent in this order after the status line
  std::string body;                 // the body unless `pattern` is set
  std::optional<PatternBody> pattern;
  bool sendContentLength = true;            // announce the body's size
  std::optional<uint64_t> announcedLength;  // announce this size instead
  std::optional<uint64_t> dropAfter;        // close after this many body bytes
  bool dropWithReset = false;               // ... with a TCP reset, not an orderly close
  size_t slowChunk = 0;                     // slow body: this many bytes, then a pause
  unsigned slowDelayMs = 0;
  std::optional<uint64_t> slowUntil;  // ... only this far, then full speed
  unsigned headerDelayMs = 0;         // silence before the status line
  bool resetBeforeAnswer = false;     // a TCP reset instead of any answer
  std::optional<std::string> raw;     // these bytes as the whole answer, then close
  bool ranges = false;                // honours "Range: bytes=N-" and If-Range
  uint64_t bodyOffset = 0;            // the body starts this far into the pattern
  uint64_t bodyEnd = 0;               // ... and ends here (0: at its end)

  uint64_t BodySize() const {
    return (bodyEnd ? bodyEnd : pattern ? pattern->size : body.size()) - bodyOffset;
  }

  // `size` bytes of the pattern, "application/octet-stream".
  static HttpResponse File(uint64_t size, uint32_t seed = 1);
  static HttpResponse Text(std::string body, std::string contentType = "text/html");
  // "HTTP/1.1 404 Not Found" with a small HTML page.
  static HttpResponse NotFound();

  HttpResponse& Status(int code, std::string reasonText, std::string statusVersion = "HTTP/1.1");
  HttpResponse& Header(std::string name, std::string value);
  HttpResponse& WithoutContentLength();
  HttpResponse& AnnounceLength(uint64_t length);
  HttpResponse& DropAfter(uint64_t bytes, bool reset = false);
  HttpResponse& Slow(size_t chunk, unsigned delayMs);
  HttpResponse& SlowUntil(uint64_t bytes);
  // Answers "Range: bytes=N-" (or "bytes=N-M") with 206 and the rest of the body (or 416 past
  // its end), unless an If-Range names another ETag or Last-Modified than
  // this answer's: then the whole body, 200. Says "Accept-Ranges: bytes".
  HttpResponse& AcceptRanges();
  HttpResponse& DelayHeaders(unsigned ms);
  HttpResponse& ResetBeforeAnswer();
  // An answer written by hand, byte for byte (chunked bodies, odd line ends...).
  static HttpResponse Raw(std::string bytes);
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

// `full` as it answers `request` when it accepts ranges (see AcceptRanges).
HttpResponse AnswerRange(const HttpRequest& request, HttpResponse full);

class HttpServer {
 public:
  HttpServer();
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on 127.0.0.1:`port` (0: a free port) and starts answering.
  bool Start(uint16_t port = 0);
  // Stops listening, ends every open connection and waits for its threads.
  void Stop();
  uint16_t Port() const;
  // "http://127.0.0.1:<port>" followed by the target.
  std::wstring Url(std::string_view target) const;

  // The answer for one target (its HEAD gets the same headers without body).
  void Route(const std::string& target, HttpResponse response);
  void Route(const std::string& target, HttpHandler handler);
  // A GET or HEAD of this target makes the server stop (standalone use).
  void SetQuitTarget(const std::string& target);
  // Blocks until the server has stopped or `timeoutMs` passed; true when stopped.
  bool WaitStopped(unsigned timeoutMs);

  std::vector<HttpRequest> Requests() const;
  // Requests with this method and (when given) this target.
  size_t CountRequests(std::string_view method, std::string_view target = {}) const;
  void ClearRequests();
  // Body bytes sent over every connection so far.
  uint64_t BodyBytesSent() const;
  // GETs beyond `most` answered at once get a 503 (0: no cap).
  void LimitConnections(int most);
  // The most GETs answered at once so far, and the 503s of the cap.
  int MostAtOnce() const;
  size_t Refusals() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace mf::test
