// Winsock before the platform's other headers.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include "transfer/HttpConnection.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "common/HttpHeaders.h"
#include "common/TextCodec.h"
#include "controls/socket/TlsChannel.h"

namespace mf {
namespace {

// The longest a wait goes without looking whether a stop was asked.
constexpr DWORD kSliceMs = 50;
constexpr size_t kMaxHeaderBytes = 256 * 1024;
constexpr int kReceiveSize = 256 * 1024;

bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::string HostHeader(const WebAddress& address) {
  std::string host = ToUtf8(address.host);
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  const bool usual = address.port == (address.secure ? 443 : 80);
  return usual ? host : host + ":" + std::to_string(address.port);
}

std::wstring ServerOf(const WebAddress& address) {
  return (address.secure ? L"https://" : L"http://") + address.host + L":" +
         std::to_wstring(address.port);
}

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  return text;
}

bool HasChunkedCoding(const HttpHeaderBlock& block) {
  return LowerAscii(block.Get("Transfer-Encoding").value_or("")).find("chunked") !=
         std::string::npos;
}

}  // namespace

HttpConnection::HttpConnection(const std::atomic<bool>& stop, Timeouts timeouts,
                               const ProxySettings& proxy)
    : stop_(stop), timeouts_(timeouts), proxy_(proxy) {}

HttpConnection::~HttpConnection() {
  // At once, whatever is still on its way: an unread body is not drained.
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

bool HttpConnection::Fail(NetError error) {
  if (error_ == NetError::None) error_ = error;
  return false;
}

bool HttpConnection::Exchange(const WebAddress& address, const char* verb,
                              const std::string& headers, bool http10) {
  return Open(address) && Ask(address, verb, headers, http10, false);
}

bool HttpConnection::ExchangeKeepingAlive(const WebAddress& address, const std::string& headers) {
  staleReuse_ = false;
  if (!CanReuse(address)) return Open(address) && Ask(address, "GET", headers, false, true);
  error_ = NetError::None;
  const bool answered = Ask(address, "GET", headers, false, true);
  // A server may close an idle connection just as we use it again.
  staleReuse_ = !answered && headers_.empty() && !stop_;
  return answered;
}

bool HttpConnection::CanReuse(const WebAddress& address) const {
  return keepAlive_ && !closed_ && socket_ != INVALID_SOCKET && inbox_.empty() &&
         (body_ == Body::None || (body_ == Body::Length && left_ == 0)) &&
         server_ == ServerOf(address);
}

bool HttpConnection::Open(const WebAddress& address) {
  if (socket_ != INVALID_SOCKET) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
    tls_.reset();
    inbox_.clear();
    closed_ = false;
  }
  const std::optional<ProxyServer> proxy = proxy_.For(address);
  if (!Connect(proxy ? proxy->host : address.host, proxy ? proxy->port : address.port))
    return false;
  if (proxy && address.secure && !Tunnel(address)) return false;
  if (address.secure && !StartTls(address.host)) return false;
  server_ = ServerOf(address);
  return true;
}

bool HttpConnection::Ask(const WebAddress& address, const char* verb, const std::string& headers,
                         bool http10, bool keepAlive) {
  // Through a proxy, a plain request names the whole address.
  const std::string target =
      (proxy_.For(address) && !address.secure ? "http://" + HostHeader(address) : std::string()) +
      ToUtf8(address.target);
  const std::string request = std::string(verb) + " " + target +
                              (http10 ? " HTTP/1.0" : " HTTP/1.1") +
                              "\r\nHost: " + HostHeader(address) + "\r\nAccept: */*\r\n" +
                              (keepAlive ? "" : "Connection: close\r\n") + headers + "\r\n";
  headers_.clear();
  keepAlive_ = false;
  if (!SendAll(request)) return false;
  // Interim answers (100 Continue...) come before the real one.
  do {
    if (!ReadHeaderBlock(headers_)) return false;
  } while (ParseHeaderBlock(headers_).status / 100 == 1);
  PlanBody(verb);
  const HttpHeaderBlock block = ParseHeaderBlock(headers_);
  const std::string connection = LowerAscii(block.Get("Connection").value_or(""));
  keepAlive_ = keepAlive && block.statusLine.starts_with("HTTP/1.1") &&
               connection.find("close") == std::string::npos;
  return true;
}

bool HttpConnection::Connect(const std::wstring& host, uint16_t port) {
  if (!WinsockStarted()) return Fail(NetError::CannotConnect);
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* found = nullptr;
  if (GetAddrInfoW(host.c_str(), std::to_wstring(port).c_str(), &hints, &found) != 0)
    return Fail(NetError::NameNotResolved);
  for (ADDRINFOW* at = found; at && !stop_; at = at->ai_next) {
    socket_ = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (socket_ == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonBlocking);
    const bool started = connect(socket_, at->ai_addr, static_cast<int>(at->ai_addrlen)) == 0 ||
                         WSAGetLastError() == WSAEWOULDBLOCK;
    error_ = NetError::None;
    if (started && Wait(true, timeouts_.connectMs)) {
      int problem = 0, size = sizeof problem;
      getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&problem), &size);
      if (problem == 0) break;
      error_ = NetError::CannotConnect;
    }
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  FreeAddrInfoW(found);
  return socket_ != INVALID_SOCKET || Fail(NetError::CannotConnect);
}

bool HttpConnection::Tunnel(const WebAddress& address) {
  const std::string place =
      HostHeader({.secure = false, .host = address.host, .port = address.port});
  if (!SendAll("CONNECT " + place + " HTTP/1.1\r\nHost: " + place + "\r\n\r\n")) return false;
  std::string answer;
  if (!ReadHeaderBlock(answer)) return false;
  return ParseHeaderBlock(answer).status == 200 || Fail(NetError::ProxyFailed);
}

bool HttpConnection::StartTls(const std::wstring& host) {
  tls_ = std::make_unique<TlsChannel>(host);
  std::string wire;
  tls_->Start(wire);
  while (tls_->GetPhase() == TlsChannel::Phase::Handshaking) {
    if (!SendRaw(wire)) return false;
    wire.clear();
    if (!Fill(timeouts_.idleMs)) break;
  }
  if (tls_->GetPhase() == TlsChannel::Phase::Open) return true;
  secureFailure_ = tls_->FailureText();
  return Fail(NetError::SecureFailure);
}

bool HttpConnection::SendAll(const std::string& bytes) {
  if (!tls_) return SendRaw(bytes);
  std::string sealed;
  return tls_->Seal(bytes, sealed) ? SendRaw(sealed) : Fail(NetError::SecureFailure);
}

bool HttpConnection::SendRaw(const std::string& wire) {
  for (size_t sent = 0; sent < wire.size();) {
    const int n = send(socket_, wire.data() + sent, static_cast<int>(wire.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
      return Fail(NetError::ConnectionBroken);
    } else if (!Wait(true, timeouts_.idleMs)) {
      return false;
    }
  }
  return true;
}

bool HttpConnection::Wait(bool write, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    if (stop_) return false;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return Fail(NetError::Timeout);
    const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(kSliceMs, end - now));
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket_, &ready);
    FD_SET(socket_, &failed);
    timeval wait{0, static_cast<long>(slice) * 1000};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &wait);
    if (n < 0) return Fail(NetError::ConnectionBroken);
    if (n > 0) return FD_ISSET(socket_, &ready) || Fail(NetError::CannotConnect);
  }
}

int HttpConnection::Receive(char* into, int size, DWORD ms) {
  for (;;) {
    const int n = recv(socket_, into, size, 0);
    if (n >= 0) {
      closed_ = n == 0;
      return n;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      Fail(NetError::ConnectionBroken);
      return -1;
    }
    if (!Wait(false, ms)) return -1;
  }
}

bool HttpConnection::Fill(DWORD ms) {
  if (!raw_) raw_ = std::make_unique<char[]>(kReceiveSize);
  const size_t before = inbox_.size();
  while (inbox_.size() == before) {
    const int n = Receive(raw_.get(), kReceiveSize, ms);
    if (n <= 0) return false;
    if (!tls_) {
      inbox_.append(raw_.get(), static_cast<size_t>(n));
      continue;
    }
    // A record moves the channel on, whether or not it carried text: the
    // caller looks again.
    std::string wire;
    tls_->Receive(std::string_view(raw_.get(), static_cast<size_t>(n)), wire, inbox_);
    if (!wire.empty() && !SendRaw(wire)) return false;
    const TlsChannel::Phase phase = tls_->GetPhase();
    if (phase == TlsChannel::Phase::Failed) return Fail(NetError::SecureFailure);
    if (phase != TlsChannel::Phase::Ended) return true;
    closed_ = true;
    return inbox_.size() > before;
  }
  return true;
}

bool HttpConnection::ReadHeaderBlock(std::string& block) {
  for (;;) {
    size_t end = inbox_.find("\r\n\r\n");
    const size_t bare = inbox_.find("\n\n");
    if (bare != std::string::npos && bare >= 2 && bare < end) end = bare - 2;  // bare LF line ends
    if (end != std::string::npos) {
      block = inbox_.substr(0, end + 4);
      inbox_.erase(0, end + 4);
      return block.rfind("HTTP/", 0) == 0 || Fail(NetError::BadAnswer);
    }
    if (inbox_.size() > kMaxHeaderBytes) return Fail(NetError::BadAnswer);
    if (!Fill(timeouts_.idleMs))
      return Fail(inbox_.empty() ? NetError::ConnectionBroken : NetError::BadAnswer);
  }
}

void HttpConnection::PlanBody(const char* verb) {
  const HttpHeaderBlock block = ParseHeaderBlock(headers_);
  const int status = block.status;
  if (std::string_view(verb) == "HEAD" || status == 204 || status == 304) {
    body_ = Body::None;
  } else if (HasChunkedCoding(block)) {
    body_ = Body::Chunked;
  } else if (const std::optional<std::string> length = block.Get("Content-Length");
             length && ParseDecimal(*length)) {
    body_ = Body::Length;
    left_ = *ParseDecimal(*length);
  } else {
    body_ = Body::ToClose;
  }
}

size_t HttpConnection::Take(char* buffer, size_t size) {
  const size_t n = std::min(size, inbox_.size());
  std::copy_n(inbox_.data(), n, buffer);
  inbox_.erase(0, n);
  return n;
}

int64_t HttpConnection::Read(char* buffer, size_t size, DWORD gatherMs) {
  if (body_ == Body::None) return 0;
  if (body_ == Body::Chunked) return ReadChunked(buffer, size, gatherMs);
  if (body_ == Body::Length) size = static_cast<size_t>(std::min<int64_t>(left_, size));
  size_t got = 0;
  ULONGLONG first = 0;
  while (got < size) {
    if (inbox_.empty()) {
      if (closed_) break;
      DWORD wait = timeouts_.idleMs;
      if (got > 0) {
        const ULONGLONG spent = GetTickCount64() - first;
        if (spent >= gatherMs) break;
        wait = static_cast<DWORD>(gatherMs - spent);
      }
      if (!tls_) {  // plain bytes go straight into the caller's buffer
        const int n =
            Receive(buffer + got, static_cast<int>(std::min<size_t>(size - got, INT_MAX)), wait);
        if (n > 0) {
          if (got == 0) first = GetTickCount64();
          got += static_cast<size_t>(n);
          continue;
        }
      } else if (Fill(wait)) {
        continue;
      }
      if (closed_) break;
      // The gathering time is up: what came so far goes.
      if (got > 0 && error_ == NetError::Timeout && !stop_) {
        error_ = NetError::None;
        break;
      }
      return -1;
    }
    if (got == 0) first = GetTickCount64();
    got += Take(buffer + got, size - got);
  }
  if (body_ == Body::Length) left_ -= static_cast<int64_t>(got);
  return static_cast<int64_t>(got);
}

int64_t HttpConnection::ReadChunked(char* buffer, size_t size, DWORD gatherMs) {
  const auto broken = [this](NetError error) {
    Fail(error);
    return int64_t{-1};
  };
  while (left_ == 0 && !chunkEnded_) {
    // A chunk's size line (after the CR LF that ended the one before), or
    // the last chunk's trailer lines.
    size_t end;
    while ((end = inbox_.find("\r\n")) == std::string::npos) {
      if (inbox_.size() > kMaxHeaderBytes) return broken(NetError::BadAnswer);
      if (!Fill(timeouts_.idleMs)) return broken(NetError::ConnectionBroken);
    }
    const std::string line = inbox_.substr(0, end);
    inbox_.erase(0, end + 2);
    if (line.empty()) continue;
    char* stop = nullptr;
    const long long length = std::strtoll(line.c_str(), &stop, 16);
    if (stop == line.c_str() || length < 0) return broken(NetError::BadAnswer);
    chunkEnded_ = length == 0;  // trailers, if any, are of no use here
    left_ = length;
  }
  if (chunkEnded_) return 0;
  body_ = Body::Length;  // the chunk's bytes are read as a body of that length
  const int64_t got = Read(buffer, size, gatherMs);
  body_ = Body::Chunked;
  return got == 0 ? broken(NetError::ConnectionBroken) : got;
}

}  // namespace mf
