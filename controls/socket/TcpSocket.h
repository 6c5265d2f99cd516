#pragma once
// A TCP client in place of the Winsock control: connect to a host and port,
// send text, take what arrives, close. Winsock 2 reports readiness through
// WSAAsyncSelect to a message-only window, so every notification reaches the
// owner on the user-interface thread. It knows nothing of any protocol above
// the connection; a secure connection is TLS by the platform's Schannel
// (TlsChannel), invisible to the owner but for its errors.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "common/Window.h"

namespace mf {

// The states, numbered as the Winsock control numbered them.
enum SocketState : int {
  sckClosed = 0,
  sckOpen = 1,
  sckListening = 2,
  sckConnectionPending = 3,
  sckResolvingHost = 4,
  sckHostResolved = 5,
  sckConnecting = 6,
  sckConnected = 7,
  sckClosing = 8,  // the peer has closed its side
  sckError = 9,
};

class ISocketEvents {
 public:
  virtual ~ISocketEvents() = default;
  virtual void Connected() = 0;
  // Bytes are waiting to be taken with GetData; `bytesTotal` is how many.
  virtual void DataArrival(long bytesTotal) = 0;
  // Host not found, refused, reset...: the socket is in state sckError.
  virtual void Error(long number, const std::wstring& description) = 0;
  // The peer closed its side after everything it sent has been announced.
  virtual void Closed() {}
};

class TcpSocket : private Window {
 public:
  explicit TcpSocket(ISocketEvents* events = nullptr);
  ~TcpSocket() override;

  void SetEvents(ISocketEvents* events) noexcept { events_ = events; }

  const std::wstring& RemoteHost() const noexcept { return remoteHost_; }
  void SetRemoteHost(const std::wstring& host) { remoteHost_ = host; }
  long RemotePort() const noexcept { return remotePort_; }
  void SetRemotePort(long port) noexcept { remotePort_ = port; }
  // A secure connection: TLS with RemoteHost as the server's name, which its
  // certificate must bear. Connected comes once the handshake is done and the
  // certificate has passed; a failure of either is an Error naming the reason
  // (no byte of the owner has been sent then). Set before Connect.
  bool Secure() const noexcept { return secure_; }
  void SetSecure(bool secure) noexcept { secure_ = secure; }
  int State() const noexcept { return state_; }

  // Starts connecting to RemoteHost:RemotePort; the outcome arrives as
  // Connected or Error. False, with nothing done, unless the socket is closed
  // (or Winsock cannot be started).
  bool Connect();
  // Drops the connection and everything not yet sent or taken; state closed.
  void Close();
  // Queues bytes for sending (sealed first on a secure connection); they go
  // out as the connection accepts them. False when not connected.
  bool SendData(std::string_view bytes);
  bool SendData(const std::wstring& text);
  // Everything received and not yet taken, as single-byte text.
  std::string GetData();
  long BytesReceived() const noexcept { return static_cast<long>(inbox_.size()); }

  // Tests only: connect to this local port whatever RemotePort says, so a
  // test server need not hold a privileged port. 0 switches it off.
  void SetTestPortOverride(unsigned short port) noexcept { testPortOverride_ = port; }

  // The text shown for a Winsock error number, or for the number of a
  // secure connection's failure.
  static std::wstring ErrorDescription(long number);

 private:
  struct Lookup;
  struct Connection;

  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool EnsureWindow();
  void StartLookup();
  void StartConnect(ULONG address);
  void OnLookupDone(HANDLE task, int error);
  void OnSocketEvent(UINT_PTR s, int event, int error);
  void OnConnected();
  void OnReadable();
  void OnPeerClosed(int error);
  void Flush();
  // Reads what the stack holds into the inbox; false on a hard error (given in `error`).
  bool Drain(size_t limit, int& error);
  // Received bytes into the inbox, through TLS on a secure connection.
  void Take(const char* bytes, size_t size);
  // After received bytes went through TLS: false when it failed (the socket
  // is in error then); raises Connected when the handshake has just ended.
  bool AfterTls();
  void PostFailure(int error);
  void Fail(int error);
  void Fail(long number, std::wstring description);
  void ForgetLookup();

  ISocketEvents* events_;
  std::wstring remoteHost_;
  long remotePort_ = 0;
  int state_ = sckClosed;
  // The Winsock side (socket, host lookups) lives in the source file, so that
  // includers of this header need not order winsock2.h before windows.h.
  std::unique_ptr<Connection> net_;
  std::string inbox_;
  std::string outbox_;
  unsigned generation_ = 0;  // counts connections: late messages of old ones are dropped
  unsigned short testPortOverride_ = 0;
  bool secure_ = false;
  bool winsockStarted_ = false;
};

}  // namespace mf
