// Winsock comes before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/support/HttpServer.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <thread>

#include "common/Handles.h"
#include "common/Text.h"
#include "controls/socket/SocketHandle.h"

namespace mf::test {
namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kSendBlock = 64 * 1024;
constexpr DWORD kReceiveTimeoutMs = 15000;
constexpr DWORD kDrainTimeoutMs = 2000;

// splitmix64: a cheap mixer whose output looks random byte by byte.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::optional<HttpRequest> ParseRequest(std::string_view head) {
  HttpRequest req;
  size_t eol = head.find("\r\n");
  std::string_view line = head.substr(0, eol);
  size_t sp1 = line.find(' ');
  size_t sp2 = line.rfind(' ');
  if (sp1 == std::string_view::npos || sp2 == sp1) return std::nullopt;
  req.method = line.substr(0, sp1);
  req.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  req.version = line.substr(sp2 + 1);
  while (eol != std::string_view::npos) {
    size_t start = eol + 2;
    eol = head.find("\r\n", start);
    std::string_view h = head.substr(start, eol == std::string_view::npos ? eol : eol - start);
    size_t colon = h.find(':');
    if (h.empty() || colon == std::string_view::npos) continue;
    req.headers.push_back(
        {std::string(Trim(h.substr(0, colon))), std::string(Trim(h.substr(colon + 1)))});
  }
  return req;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    int n = send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool HasHeader(const HttpResponse& r, std::string_view name) {
  return std::any_of(r.headers.begin(), r.headers.end(),
                     [&](const HttpHeader& h) { return EqualNoCase(h.name, name); });
}

std::string ResponseHead(const HttpResponse& r) {
  std::string head = r.version + " " + std::to_string(r.status) + " " + r.reason + "\r\n";
  for (const HttpHeader& h : r.headers) head += h.name + ": " + h.value + "\r\n";
  if (r.sendContentLength)
    head += "Content-Length: " + std::to_string(r.announcedLength.value_or(r.BodySize())) + "\r\n";
  if (!HasHeader(r, "Connection")) head += "Connection: close\r\n";
  return head + "\r\n";
}

}  // namespace

void FillPattern(uint32_t seed, uint64_t offset, char* out, size_t count) {
  const uint64_t key = Mix(seed);
  while (count > 0) {
    uint64_t word = Mix(key + (offset >> 3));
    size_t skip = static_cast<size_t>(offset & 7);
    size_t n = std::min<size_t>(8 - skip, count);
    if (n == 8) {
      std::memcpy(out, &word, 8);  // little-endian, as the byte loop below
    } else {
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(word >> ((skip + i) * 8));
    }
    out += n;
    offset += n;
    count -= n;
  }
}

std::optional<std::string> HttpRequest::Header(std::string_view name) const {
  for (const HttpHeader& h : headers)
    if (EqualNoCase(h.name, name)) return h.value;
  return std::nullopt;
}

HttpResponse HttpResponse::File(uint64_t size, uint32_t seed) {
  HttpResponse r;
  r.pattern = PatternBody{size, seed};
  r.headers.push_back({"Content-Type", "application/octet-stream"});
  return r;
}

HttpResponse HttpResponse::Text(std::string body, std::string contentType) {
  HttpResponse r;
  r.body = std::move(body);
  r.headers.push_back({"Content-Type", std::move(contentType)});
  return r;
}

HttpResponse HttpResponse::NotFound() {
  HttpResponse r = Text(
      "<html><head><title>404 Not Found</title></head>"
      "<body><h1>Not Found</h1><p>The requested URL was not found.</p></body></html>");
  r.status = 404;
  r.reason = "Not Found";
  return r;
}

HttpResponse& HttpResponse::Status(int code, std::string reasonText, std::string statusVersion) {
  status = code;
  reason = std::move(reasonText);
  version = std::move(statusVersion);
  return *this;
}

HttpResponse& HttpResponse::Header(std::string name, std::string value) {
  headers.push_back({std::move(name), std::move(value)});
  return *this;
}

HttpResponse& HttpResponse::WithoutContentLength() {
  sendContentLength = false;
  return *this;
}

HttpResponse& HttpResponse::AnnounceLength(uint64_t length) {
  announcedLength = length;
  return *this;
}

HttpResponse& HttpResponse::DropAfter(uint64_t bytes, bool reset) {
  dropAfter = bytes;
  dropWithReset = reset;
  return *this;
}

HttpResponse& HttpResponse::AcceptRanges() {
  ranges = true;
  return Header("Accept-Ranges", "bytes");
}

HttpResponse AnswerRange(const HttpRequest& request, HttpResponse full) {
  std::optional<std::string> range = request.Header("Range");
  // An answer already cut to a range (by a handler) goes as it is.
  if (!full.ranges || full.status != 200 || !range || range->rfind("bytes=", 0) != 0) return full;
  // An If-Range that names another version of the file gets the whole file.
  if (std::optional<std::string> ifRange = request.Header("If-Range")) {
    bool same = false;
    for (const HttpHeader& h : full.headers)
      if ((EqualNoCase(h.name, "ETag") || EqualNoCase(h.name, "Last-Modified")) &&
          h.value == *ifRange)
        same = true;
    if (!same) return full;
  }
  const uint64_t size = full.BodySize();
  char* dash = nullptr;
  const uint64_t from = std::strtoull(range->c_str() + 6, &dash, 10);
  // "bytes=N-M" ends at M; "bytes=N-" at the end.
  const uint64_t last = *dash == '-' && dash[1] ? std::strtoull(dash + 1, nullptr, 10) : size - 1;
  if (from >= size || last < from) {
    HttpResponse none = HttpResponse::Text("", "text/plain").Status(416, "Range Not Satisfiable");
    return none.Header("Content-Range", "bytes */" + std::to_string(size));
  }
  full.Status(206, "Partial Content")
      .Header("Content-Range", "bytes " + std::to_string(from) + "-" +
                                   std::to_string(std::min(last, size - 1)) + "/" +
                                   std::to_string(size));
  full.bodyOffset = from;
  full.bodyEnd = std::min(last, size - 1) + 1;
  return full;
}

HttpResponse& HttpResponse::SlowUntil(uint64_t bytes) {
  slowUntil = bytes;
  return *this;
}

HttpResponse HttpResponse::Raw(std::string bytes) {
  HttpResponse r;
  r.raw = std::move(bytes);
  return r;
}

HttpResponse& HttpResponse::ResetBeforeAnswer() {
  resetBeforeAnswer = true;
  return *this;
}

HttpResponse& HttpResponse::DelayHeaders(unsigned ms) {
  headerDelayMs = ms;
  return *this;
}

HttpResponse& HttpResponse::Slow(size_t chunk, unsigned delayMs) {
  slowChunk = chunk;
  slowDelayMs = delayMs;
  return *this;
}

struct HttpServer::Impl {
  struct Connection {
    std::thread thread;
    SOCKET socket = INVALID_SOCKET;  // guarded by `lock`; closed under it
    std::atomic<bool> done{false};
  };

  mutable std::mutex lock;
  std::map<std::string, HttpHandler> routes;
  std::vector<HttpRequest> requests;
  std::string quitTarget;
  std::list<Connection> connections;
  UniqueSocket listener;
  uint16_t port = 0;
  std::thread acceptor;
  UniqueKernelHandle stopRequested{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<uint64_t> bodyBytes{0};
  bool winsock = false;
  bool running = false;
  int cap = 0;  // GETs answered at once (0: any number); guarded by `lock`
  int active = 0;
  int mostAtOnce = 0;
  size_t refusals = 0;

  void AcceptLoop();
  void Reply(Connection& c, const HttpRequest& request, const HttpResponse& r, bool& counted);
  void Uncount(bool& counted);
  void Serve(Connection& c);
  HttpResponse Answer(const HttpRequest& req);
  bool SendBody(SOCKET s, const HttpResponse& r);
  void Close(Connection& c, bool reset);
  void ReapFinished();
};

void HttpServer::Impl::AcceptLoop() {
  for (;;) {
    SOCKET s = accept(listener.get(), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
      if (WaitForSingleObject(stopRequested.get(), 0) == WAIT_OBJECT_0) return;
      continue;
    }
    std::lock_guard<std::mutex> g(lock);
    ReapFinished();
    Connection& c = connections.emplace_back();
    c.socket = s;
    c.thread = std::thread([this, &c] {
      Serve(c);
      c.done = true;
    });
  }
}

void HttpServer::Impl::ReapFinished() {
  for (auto it = connections.begin(); it != connections.end();) {
    if (it->done) {
      it->thread.join();
      it = connections.erase(it);
    } else {
      ++it;
    }
  }
}

void HttpServer::Impl::Serve(Connection& c) {
  SOCKET s = c.socket;
  DWORD timeout = kReceiveTimeoutMs;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  std::string head;
  char buf[4096];
  size_t end;
  while ((end = head.find("\r\n\r\n")) == std::string::npos) {
    int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0 || head.size() > kMaxRequestHead) return Close(c, false);
    head.append(buf, static_cast<size_t>(n));
  }
  std::optional<HttpRequest> req = ParseRequest(std::string_view(head).substr(0, end));
  if (!req) {
    const std::string bad =
        "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    SendAll(s, bad.data(), bad.size());
    return Close(c, false);
  }
  {
    std::lock_guard<std::mutex> g(lock);
    requests.push_back(*req);
  }
  // Beyond the cap on connections at once, a GET is turned away.
  const bool get = req->method == "GET";
  bool counted = false;
  {
    std::lock_guard<std::mutex> g(lock);
    counted = get && (cap == 0 || active < cap);
    if (counted) mostAtOnce = std::max(mostAtOnce, ++active);
    if (get && !counted) ++refusals;
  }
  Reply(c, *req,
        get && !counted ? HttpResponse::Text("busy\n", "text/plain").Status(503, "Busy")
                        : AnswerRange(*req, Answer(*req)),
        counted);
  Uncount(counted);
}

void HttpServer::Impl::Uncount(bool& counted) {
  std::lock_guard<std::mutex> g(lock);
  active -= counted ? 1 : 0;
  counted = false;
}

// A counted answer counts no more once its last byte went.
void HttpServer::Impl::Reply(Connection& c, const HttpRequest& request, const HttpResponse& r,
                             bool& counted) {
  SOCKET s = c.socket;
  if (r.headerDelayMs && WaitForSingleObject(stopRequested.get(), r.headerDelayMs) == WAIT_OBJECT_0)
    return Close(c, false);
  if (r.resetBeforeAnswer) return Close(c, true);
  if (r.raw) return Close(c, !SendAll(s, r.raw->data(), r.raw->size()));
  std::string out = ResponseHead(r);
  bool ok = SendAll(s, out.data(), out.size());
  if (ok && request.method != "HEAD") ok = SendBody(s, r);
  Uncount(counted);
  Close(c, ok && r.dropAfter && r.dropWithReset);
}

HttpResponse HttpServer::Impl::Answer(const HttpRequest& req) {
  HttpHandler handler;
  {
    std::lock_guard<std::mutex> g(lock);
    if (!quitTarget.empty() && req.target == quitTarget) {
      SetEvent(stopRequested.get());
      return HttpResponse::Text("stopping\n", "text/plain");
    }
    auto it = routes.find(req.target);
    if (it == routes.end()) return HttpResponse::NotFound();
    handler = it->second;
  }
  return handler(req);
}

bool HttpServer::Impl::SendBody(SOCKET s, const HttpResponse& r) {
  uint64_t size = r.BodySize();
  if (r.dropAfter) size = std::min(size, *r.dropAfter);
  const uint64_t slowEnd = r.slowChunk ? r.slowUntil.value_or(size) : 0;
  std::vector<char> buf(r.pattern ? std::max(r.slowChunk, kSendBlock) : 0);
  for (uint64_t sent = 0; sent < size;) {
    const bool slow = sent < slowEnd;
    const size_t block = slow ? r.slowChunk : kSendBlock;
    size_t n = static_cast<size_t>(std::min<uint64_t>(block, size - sent));
    const char* data;
    if (r.pattern) {
      FillPattern(r.pattern->seed, r.bodyOffset + sent, buf.data(), n);
      data = buf.data();
    } else {
      data = r.body.data() + r.bodyOffset + sent;
    }
    if (!SendAll(s, data, n)) return false;
    sent += n;
    bodyBytes += n;
    if (slow && r.slowDelayMs && sent < size &&
        WaitForSingleObject(stopRequested.get(), r.slowDelayMs) == WAIT_OBJECT_0)
      return false;
  }
  return true;
}

void HttpServer::Impl::Close(Connection& c, bool reset) {
  SOCKET s = c.socket;
  if (reset) {
    linger l{1, 0};  // closesocket then sends RST instead of FIN
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  } else {
    // An orderly close: our side first, then read what the client still
    // sends until it closes too, so that unread input cannot turn into a reset.
    shutdown(s, SD_SEND);
    DWORD timeout = kDrainTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    char buf[4096];
    while (recv(s, buf, sizeof buf, 0) > 0) {
    }
  }
  std::lock_guard<std::mutex> g(lock);
  closesocket(s);
  c.socket = INVALID_SOCKET;
}

HttpServer::HttpServer() : impl_(std::make_unique<Impl>()) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(uint16_t port) {
  Impl& m = *impl_;
  if (m.running) return true;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  m.winsock = true;
  m.listener.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!m.listener) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(m.listener.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(m.listener.get(), SOMAXCONN) != 0)
    return false;
  int len = sizeof addr;
  getsockname(m.listener.get(), reinterpret_cast<sockaddr*>(&addr), &len);
  m.port = ntohs(addr.sin_port);
  ResetEvent(m.stopRequested.get());
  m.running = true;
  m.acceptor = std::thread([&m] { m.AcceptLoop(); });
  return true;
}

void HttpServer::Stop() {
  Impl& m = *impl_;
  if (m.running) {
    SetEvent(m.stopRequested.get());
    // Closing the listener ends the blocking accept.
    SOCKET l = m.listener.release();
    closesocket(l);
    m.acceptor.join();
    {
      std::lock_guard<std::mutex> g(m.lock);
      for (auto& c : m.connections)
        if (c.socket != INVALID_SOCKET) shutdown(c.socket, SD_BOTH);
    }
    for (auto& c : m.connections) c.thread.join();
    m.connections.clear();
    m.running = false;
  }
  if (m.winsock) {
    WSACleanup();
    m.winsock = false;
  }
}

uint16_t HttpServer::Port() const { return impl_->port; }

std::wstring HttpServer::Url(std::string_view target) const {
  return L"http://127.0.0.1:" + std::to_wstring(impl_->port) + FromAnsi(target);
}

void HttpServer::Route(const std::string& target, HttpResponse response) {
  Route(target, [response = std::move(response)](const HttpRequest&) { return response; });
}

void HttpServer::Route(const std::string& target, HttpHandler handler) {
  std::lock_guard<std::mutex> g(impl_->lock);
  impl_->routes[target] = std::move(handler);
}

void HttpServer::SetQuitTarget(const std::string& target) {
  std::lock_guard<std::mutex> g(impl_->lock);
  impl_->quitTarget = target;
}

bool HttpServer::WaitStopped(unsigned timeoutMs) {
  return WaitForSingleObject(impl_->stopRequested.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::vector<HttpRequest> HttpServer::Requests() const {
  std::lock_guard<std::mutex> g(impl_->lock);
  return impl_->requests;
}

size_t HttpServer::CountRequests(std::string_view method, std::string_view target) const {
  std::lock_guard<std::mutex> g(impl_->lock);
  return static_cast<size_t>(
      std::count_if(impl_->requests.begin(), impl_->requests.end(), [&](const HttpRequest& r) {
        return r.method == method && (target.empty() || r.target == target);
      }));
}

void HttpServer::ClearRequests() {
  std::lock_guard<std::mutex> g(impl_->lock);
  impl_->requests.clear();
}

uint64_t HttpServer::BodyBytesSent() const { return impl_->bodyBytes; }

void HttpServer::LimitConnections(int most) {
  std::lock_guard<std::mutex> g(impl_->lock);
  impl_->cap = most;
}

int HttpServer::MostAtOnce() const {
  std::lock_guard<std::mutex> g(impl_->lock);
  return impl_->mostAtOnce;
}

size_t HttpServer::Refusals() const {
  std::lock_guard<std::mutex> g(impl_->lock);
  return impl_->refusals;
}

}  // namespace mf::test
