// winsock2.h must come before windows.h, which the header brings.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include "controls/socket/TcpSocket.h"
// clang-format on

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/Text.h"
#include "controls/socket/ServerCertificate.h"
#include "controls/socket/SocketHandle.h"
#include "controls/socket/TlsChannel.h"

namespace mf {
namespace {

constexpr const char* kClassName = "MarrowfinSocket";
constexpr UINT kMsgSocket = WM_APP + 1;     // WSAAsyncSelect: wParam socket, lParam event
constexpr UINT kMsgLookup = WM_APP + 2;     // WSAAsyncGetHostByName: wParam task
constexpr UINT kMsgFailure = WM_APP + 3;    // wParam error, lParam generation
constexpr UINT kMsgReadAgain = WM_APP + 4;  // lParam generation

// What one readiness message reads at most, and how much may wait untaken
// before reading pauses until the owner takes it.
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kInboxLimit = 1024 * 1024;

// Names the resolver could look up: letters, digits, '-', '.', '_'. Anything
// else (a port, a path, a blank) cannot name a host and is refused at once.
bool IsHostName(const std::wstring& host) {
  if (host.empty() || host.size() > 253) return false;
  for (wchar_t c : host) {
    bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
              c == L'-' || c == L'.' || c == L'_';
    if (!ok) return false;
  }
  return true;
}

struct ErrorText {
  long number;
  const wchar_t* text;
};

// The texts users of the Winsock control knew for the failures a client meets.
constexpr ErrorText kErrorTexts[] = {
    {WSAECONNREFUSED, L"Connection is forcefully rejected"},
    {WSAETIMEDOUT, L"Attempt to connect timed out"},
    {WSAECONNRESET, L"The connection is reset by remote side"},
    {WSAECONNABORTED, L"Connection is aborted due to timeout or other failure"},
    {WSAENETUNREACH, L"The network cannot be reached from this host at this time"},
    {WSAEHOSTUNREACH, L"The host cannot be reached"},
    {WSAHOST_NOT_FOUND, L"Authoritative answer: Host not found"},
    {WSATRY_AGAIN, L"Non-Authoritative answer: Host not found"},
    {WSANO_DATA, L"Valid name, no data record of requested type"},
    {WSAENETDOWN, L"The network subsystem is unavailable"},
};

}  // namespace

struct TcpSocket::Lookup {
  HANDLE task = nullptr;
  char buffer[MAXGETHOSTSTRUCT] = {};
};

struct TcpSocket::Connection {
  UniqueSocket socket;
  std::unique_ptr<Lookup> lookup;
  // Lookups that were given up while the resolver still worked on them: their
  // buffers stay alive until their answer has come back.
  std::vector<std::unique_ptr<Lookup>> abandoned;
  std::unique_ptr<TlsChannel> tls;  // on a secure connection, from the TCP connect on

  bool TlsFailed() const { return tls && tls->GetPhase() == TlsChannel::Phase::Failed; }
};

TcpSocket::TcpSocket(ISocketEvents* events)
    : events_(events), net_(std::make_unique<Connection>()) {}

TcpSocket::~TcpSocket() {
  Close();
  // A lookup still under way writes into its buffer when it ends: leave the
  // buffers to it rather than free memory that is about to be written.
  for (auto& lookup : net_->abandoned) static_cast<void>(lookup.release());
  if (winsockStarted_) WSACleanup();
}

std::wstring TcpSocket::ErrorDescription(long number) {
  for (const ErrorText& e : kErrorTexts)
    if (e.number == number) return e.text;
  if (IsSecureConnectionError(number)) return SecureConnectionErrorText(number);
  char buf[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(number), 0, buf, sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ')) --n;
  if (n > 0) return FromAnsi(std::string_view(buf, n));
  return L"Socket error " + std::to_wstring(number);
}

bool TcpSocket::EnsureWindow() {
  if (!winsockStarted_) {
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsockStarted_) return false;
  }
  if (Hwnd()) return true;
  RegisterClassOnce(kClassName, 0, nullptr);
  return CreateFor(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

bool TcpSocket::Connect() {
  if (state_ != sckClosed) return false;
  ++generation_;
  inbox_.clear();
  outbox_.clear();
  net_->tls.reset();
  // Without its window no notification could ever come: refuse at once.
  if (!EnsureWindow()) return false;
  IN_ADDR numeric{};
  std::string host = ToAnsi(remoteHost_);
  if (inet_pton(AF_INET, host.c_str(), &numeric) == 1) {
    state_ = sckHostResolved;
    StartConnect(numeric.s_addr);
  } else if (!IsHostName(remoteHost_)) {
    state_ = sckResolvingHost;
    PostFailure(WSAHOST_NOT_FOUND);
  } else {
    StartLookup();
  }
  return true;
}

void TcpSocket::StartLookup() {
  state_ = sckResolvingHost;
  net_->lookup = std::make_unique<Lookup>();
  net_->lookup->task = WSAAsyncGetHostByName(Hwnd(), kMsgLookup, ToAnsi(remoteHost_).c_str(),
                                             net_->lookup->buffer, sizeof net_->lookup->buffer);
  if (!net_->lookup->task) {
    int error = WSAGetLastError();
    net_->lookup.reset();
    PostFailure(error ? error : WSAHOST_NOT_FOUND);
  }
}

void TcpSocket::OnLookupDone(HANDLE task, int error) {
  if (!net_->lookup || net_->lookup->task != task) {
    // The answer of a lookup that was given up: its buffer may go now.
    std::erase_if(net_->abandoned, [task](const auto& l) { return l->task == task; });
    return;
  }
  std::unique_ptr<Lookup> done = std::move(net_->lookup);
  if (state_ != sckResolvingHost) return;
  const auto* entry = reinterpret_cast<const hostent*>(done->buffer);
  if (error || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) {
    Fail(error ? error : WSANO_DATA);
    return;
  }
  IN_ADDR address;
  memcpy(&address, entry->h_addr_list[0], sizeof address);
  state_ = sckHostResolved;
  StartConnect(address.s_addr);
}

void TcpSocket::StartConnect(ULONG address) {
  net_->socket.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!net_->socket) {
    PostFailure(WSAGetLastError());
    return;
  }
  // WSAAsyncSelect also makes the socket non-blocking.
  if (WSAAsyncSelect(net_->socket.get(), Hwnd(), kMsgSocket,
                     FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    PostFailure(WSAGetLastError());
    return;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  long port = testPortOverride_ ? testPortOverride_ : remotePort_;
  to.sin_port = htons(static_cast<u_short>(port));
  state_ = sckConnecting;
  if (::connect(net_->socket.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) PostFailure(error);
  }
}

void TcpSocket::PostFailure(int error) {
  // Failures found inside Connect are announced like every other event: from
  // the message loop, after Connect has returned.
  PostMessageA(Hwnd(), kMsgFailure, static_cast<WPARAM>(error), static_cast<LPARAM>(generation_));
}

void TcpSocket::ForgetLookup() {
  if (!net_->lookup) return;
  WSACancelAsyncRequest(net_->lookup->task);
  net_->abandoned.push_back(std::move(net_->lookup));
}

void TcpSocket::Close() {
  ++generation_;
  ForgetLookup();
  net_->socket.reset();
  net_->tls.reset();
  inbox_.clear();
  outbox_.clear();
  state_ = sckClosed;
  // Readiness messages of the closed socket may still wait in the queue; a
  // later socket can get the same handle value, so they must not reach it.
  if (Hwnd()) {
    MSG m;
    while (PeekMessageA(&m, Hwnd(), kMsgSocket, kMsgSocket, PM_REMOVE)) {
    }
  }
}

void TcpSocket::Fail(int error) {
  // A failure of TLS, reported late, keeps the reason TLS gave.
  if (net_->TlsFailed() && net_->tls->FailureNumber() == error)
    Fail(error, net_->tls->FailureText());
  else
    Fail(error, ErrorDescription(error));
}

// The description is a copy: the TLS channel that may hold it goes first.
// NOLINTNEXTLINE(performance-unnecessary-value-param): the copy is the point
void TcpSocket::Fail(long number, std::wstring description) {
  ForgetLookup();
  net_->socket.reset();
  net_->tls.reset();
  outbox_.clear();
  state_ = sckError;
  if (events_) events_->Error(number, description);
}

bool TcpSocket::SendData(std::string_view bytes) {
  if (state_ != sckConnected) return false;
  if (!net_->tls) {
    outbox_.append(bytes);
  } else if (!net_->tls->Seal(bytes, outbox_)) {
    if (net_->TlsFailed()) PostFailure(static_cast<int>(net_->tls->FailureNumber()));
    return false;
  }
  Flush();
  return true;
}

bool TcpSocket::SendData(const std::wstring& text) { return SendData(ToAnsi(text)); }

void TcpSocket::Flush() {
  while (!outbox_.empty() && net_->socket) {
    int chunk = static_cast<int>(std::min<size_t>(outbox_.size(), 1 << 20));
    int sent = ::send(net_->socket.get(), outbox_.data(), chunk, 0);
    if (sent == SOCKET_ERROR) {
      int error = WSAGetLastError();
      // The rest goes out at the next FD_WRITE.
      if (error != WSAEWOULDBLOCK) PostFailure(error);
      return;
    }
    outbox_.erase(0, static_cast<size_t>(sent));
  }
}

std::string TcpSocket::GetData() {
  std::string taken;
  taken.swap(inbox_);
  // Reading paused while the inbox was full: go on from the message loop.
  if (taken.size() >= kInboxLimit && net_->socket)
    PostMessageA(Hwnd(), kMsgReadAgain, 0, static_cast<LPARAM>(generation_));
  return taken;
}

bool TcpSocket::Drain(size_t limit, int& error) {
  error = 0;
  while (net_->socket && !net_->TlsFailed() && inbox_.size() < kInboxLimit && limit > 0) {
    char buf[8192];
    int want = static_cast<int>(std::min<size_t>(sizeof buf, limit));
    int got = ::recv(net_->socket.get(), buf, want, 0);
    if (got > 0) {
      Take(buf, static_cast<size_t>(got));
      limit -= static_cast<size_t>(got);
      continue;
    }
    if (got == SOCKET_ERROR) {
      int e = WSAGetLastError();
      if (e != WSAEWOULDBLOCK) {
        error = e;
        return false;
      }
    }
    break;  // nothing more now, or the end of the stream
  }
  return true;
}

void TcpSocket::Take(const char* bytes, size_t size) {
  if (net_->tls)
    net_->tls->Receive(std::string_view(bytes, size), outbox_, inbox_);
  else
    inbox_.append(bytes, size);
}

bool TcpSocket::AfterTls() {
  TlsChannel* tls = net_->tls.get();
  if (!tls) return true;
  if (tls->GetPhase() == TlsChannel::Phase::Failed) {
    Fail(tls->FailureNumber(), tls->FailureText());
    return false;
  }
  Flush();  // what the handshake answers
  if (state_ == sckConnecting && tls->GetPhase() != TlsChannel::Phase::Handshaking) {
    state_ = sckConnected;
    if (events_) events_->Connected();
  }
  return true;
}

void TcpSocket::OnConnected() {
  if (!secure_) {
    state_ = sckConnected;
    if (events_) events_->Connected();
    return;
  }
  // The owner hears of the connection once TLS is up (AfterTls).
  net_->tls = std::make_unique<TlsChannel>(remoteHost_);
  net_->tls->Start(outbox_);
  AfterTls();  // sends the first message, or reports a failure
}

void TcpSocket::OnReadable() {
  const bool handshaking = state_ == sckConnecting && net_->tls;
  if (state_ != sckConnected && !handshaking) return;
  size_t before = inbox_.size();
  int error = 0;
  if (!Drain(kReadChunk, error)) {
    Fail(error);
    return;
  }
  unsigned gen = generation_;
  if (!AfterTls() || gen != generation_) return;  // failed, or the owner acted on Connected
  if (inbox_.size() > before && events_) events_->DataArrival(BytesReceived());
}

void TcpSocket::OnPeerClosed(int error) {
  // What the peer sent before closing is announced first.
  unsigned gen = generation_;
  const bool handshaking = state_ == sckConnecting && net_->tls;
  if (state_ == sckConnected || handshaking) {
    size_t before = inbox_.size();
    int readError = 0;
    bool ok = Drain(SIZE_MAX, readError);
    if (!AfterTls() || gen != generation_) return;
    if (inbox_.size() > before && events_) events_->DataArrival(BytesReceived());
    if (gen != generation_) return;  // the owner closed or reconnected meanwhile
    if (!ok && !error) error = readError;
  }
  // The server left in the middle of the handshake.
  if (!error && state_ == sckConnecting && net_->tls) error = SEC_E_INCOMPLETE_MESSAGE;
  if (error) {
    Fail(error);
    return;
  }
  net_->socket.reset();
  state_ = sckClosing;
  if (events_) events_->Closed();
}

void TcpSocket::OnSocketEvent(UINT_PTR s, int event, int error) {
  if (!net_->socket || s != net_->socket.get()) return;  // a socket closed since
  switch (event) {
    case FD_CONNECT:
      if (state_ != sckConnecting) return;
      if (error) {
        Fail(error);
        return;
      }
      OnConnected();
      return;
    case FD_READ:
      if (error) {
        Fail(error);
        return;
      }
      OnReadable();
      return;
    case FD_WRITE:
      if (!error) Flush();
      return;
    case FD_CLOSE:
      OnPeerClosed(error);
      return;
    default:
      return;
  }
}

LRESULT TcpSocket::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgSocket:
      OnSocketEvent(static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam),
                    WSAGETSELECTERROR(lParam));
      return 0;
    case kMsgLookup:
      OnLookupDone(reinterpret_cast<HANDLE>(wParam), WSAGETASYNCERROR(lParam));
      return 0;
    case kMsgFailure:
      if (static_cast<unsigned>(lParam) == generation_ && state_ != sckClosed && state_ != sckError)
        Fail(static_cast<int>(wParam));
      return 0;
    case kMsgReadAgain:
      if (static_cast<unsigned>(lParam) == generation_) OnReadable();
      return 0;
    default:
      return Window::HandleMessage(msg, wParam, lParam);
  }
}

}  // namespace mf
