#pragma once
// The client side of one TLS connection, made by the platform's Schannel
// through SSPI: the handshake, sealing what goes out and opening what comes
// in. It moves bytes between buffers only and knows nothing of sockets or
// windows; its owner carries the bytes to and from the wire.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace mf {

class TlsChannel {
 public:
  enum class Phase {
    Handshaking,  // not yet usable
    Open,         // the server's certificate passed the check
    Ended,        // the server closed the session; nothing more is read
    Failed,       // see FailureNumber and FailureText
  };

  // `serverName` is sent to the server and must be in its certificate.
  explicit TlsChannel(std::wstring serverName);
  ~TlsChannel();
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // Begins the handshake: the first message for the server is appended to `wire`.
  void Start(std::string& wire);
  // Bytes from the server, in any pieces. Replies the handshake needs are
  // appended to `wire`; once open, the received text to `plain`.
  void Receive(std::string_view bytes, std::string& wire, std::string& plain);
  // Appends to `wire` the records that carry `plain`; false unless open.
  bool Seal(std::string_view plain, std::string& wire);

  Phase GetPhase() const noexcept { return phase_; }
  long FailureNumber() const noexcept { return failureNumber_; }
  const std::wstring& FailureText() const noexcept { return failureText_; }

 private:
  struct Sspi;

  void Handshake(std::string& wire);
  // The handshake is done: checks the certificate, then opens.
  void Opened();
  void Unseal(std::string& wire, std::string& plain);
  void SayGoodbye(std::string& wire);
  void Fail(long number, std::wstring text);

  std::unique_ptr<Sspi> sspi_;
  std::wstring serverName_;
  std::string received_;  // bytes from the server not yet a whole message
  Phase phase_ = Phase::Handshaking;
  bool checked_ = false;  // the certificate was checked (once, at the first handshake)
  long failureNumber_ = 0;
  std::wstring failureText_;
};

}  // namespace mf
