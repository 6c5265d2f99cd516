#pragma once
// One HTTP exchange over a connection of its own, for a thread of its own:
// the request out, the answer's header block in, then its body in blocks.
// It speaks HTTP/1.1 (chunked bodies, bodies to the connection's end) over
// Winsock, and TLS through the socket component's Schannel channel, with the
// server's certificate checked. Every wait is cut into short slices, so
// that a stop asked from another thread ends it within one of them, and the
// connection closes at once: nothing is drained.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "common/Uri.h"
#include "transfer/NetError.h"
#include "transfer/SystemProxy.h"

namespace mf {

class TlsChannel;

class HttpConnection {
 public:
  struct Timeouts {
    DWORD connectMs = 15000;  // to reach the server
    DWORD idleMs = 30000;     // without a byte moving
  };
  // `stop` is read between slices of every wait.
  HttpConnection(const std::atomic<bool>& stop, Timeouts timeouts, const ProxySettings& proxy);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // Connects and sends `verb` for the address with the header lines
  // `headers` (each ending in CR LF), then waits for the answer's headers.
  // False (Error says why) when no answer came.
  bool Exchange(const WebAddress& address, const char* verb, const std::string& headers,
                bool http10 = false);
  // The same, but the connection may stay open for the next exchange with
  // the same server (a stream's segments, one after another): one made for
  // an earlier exchange is used again when CanReuse says so.
  bool ExchangeKeepingAlive(const WebAddress& address, const std::string& headers);
  // The last answer's body was read to its end over a connection the
  // server keeps open, to this server: the next exchange may go over it.
  bool CanReuse(const WebAddress& address) const;
  // The reused connection had been closed by the server before this
  // exchange could begin: nothing was answered, a new connection may try.
  bool StaleReuse() const noexcept { return staleReuse_; }
  // The answer's header block, status line first, as it came.
  const std::string& Headers() const noexcept { return headers_; }
  // Fills `buffer` with the body's next bytes, up to `size`: until it is
  // full, the body ends, or `gatherMs` passed since its first byte. The
  // count; 0 at the body's end (or when the connection closed); -1 when
  // it broke (Error says why).
  int64_t Read(char* buffer, size_t size, DWORD gatherMs);

  NetError Error() const noexcept { return error_; }
  // A secure connection's failure in the user's words (its certificate...).
  const std::wstring& SecureFailure() const noexcept { return secureFailure_; }

 private:
  enum class Body { None, Length, Chunked, ToClose };
  bool Open(const WebAddress& address);
  bool Connect(const std::wstring& host, uint16_t port);
  bool Ask(const WebAddress& address, const char* verb, const std::string& headers, bool http10,
           bool keepAlive);
  bool Tunnel(const WebAddress& address);
  bool StartTls(const std::wstring& host);
  // Sends text of the exchange (sealed on a secure connection), or bytes as they are.
  bool SendAll(const std::string& bytes);
  bool SendRaw(const std::string& wire);
  // Waits for the socket to be readable (or writable); false at a stop or
  // after `ms` with nothing.
  bool Wait(bool write, DWORD ms);
  // Bytes from the socket into `into`, waiting up to `ms` for the first:
  // the count, 0 at the connection's end, -1 on failure or at a stop.
  int Receive(char* into, int size, DWORD ms);
  // More plain bytes into inbox_; false at the connection's end or failure.
  bool Fill(DWORD ms);
  bool ReadHeaderBlock(std::string& block);
  void PlanBody(const char* verb);
  int64_t ReadChunked(char* buffer, size_t size, DWORD gatherMs);
  size_t Take(char* buffer, size_t size);
  bool Fail(NetError error);

  const std::atomic<bool>& stop_;
  Timeouts timeouts_;
  const ProxySettings& proxy_;
  // A Winsock SOCKET (INVALID_SOCKET: none), kept out of this header so that
  // its includers need not put Winsock before the platform's other headers.
  UINT_PTR socket_ = ~UINT_PTR{0};
  std::unique_ptr<TlsChannel> tls_;
  std::unique_ptr<char[]> raw_;  // what the socket gave, before TLS opens it
  std::string inbox_;            // plain bytes received and not yet taken
  std::string headers_;
  Body body_ = Body::None;
  int64_t left_ = 0;  // of a Length body, or of the current chunk
  bool chunkEnded_ = false;
  bool closed_ = false;     // the server closed the connection
  bool keepAlive_ = false;  // the server keeps the connection open after the answer
  std::wstring server_;     // what the connection reaches: scheme, host and port
  bool staleReuse_ = false;
  NetError error_ = NetError::None;
  std::wstring secureFailure_;
};

}  // namespace mf
