// winsock2.h must come before windows.h, which the header brings.
// clang-format off
#include <winsock2.h>
#include "tests/controls/LoopbackSocketServer.h"
// clang-format on

namespace mf::test {
namespace {

// Waits up to `ms` for the socket to become readable; false on time-out or stop.
bool WaitReadable(SOCKET s, DWORD ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  return select(0, &set, nullptr, nullptr, &tv) == 1;
}

}  // namespace

LoopbackSocketServer::LoopbackSocketServer() : listener_(INVALID_SOCKET) {
  WSADATA data;
  winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

LoopbackSocketServer::~LoopbackSocketServer() {
  Stop();
  if (winsock_) WSACleanup();
}

bool LoopbackSocketServer::Start(const Script& script) {
  script_ = script;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof at;
  if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, 4) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
    closesocket(s);
    return false;
  }
  listener_ = s;
  port_ = ntohs(at.sin_port);
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void LoopbackSocketServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  listener_ = INVALID_SOCKET;
}

std::vector<std::string> LoopbackSocketServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

unsigned short LoopbackSocketServer::UnusedPort() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof at;
  bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
  getsockname(s, reinterpret_cast<sockaddr*>(&at), &len);
  closesocket(s);  // nothing listens there from now on
  return ntohs(at.sin_port);
}

void LoopbackSocketServer::Run() {
  while (!stop_) {
    if (!WaitReadable(listener_, 20)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    ++connections_;
    Serve(client);
    closesocket(client);
  }
}

void LoopbackSocketServer::Serve(UINT_PTR c) {
  auto client = static_cast<SOCKET>(c);
  std::string request;
  if (script_.readRequest) {
    // Up to the empty line that ends the header block, or the client's close.
    while (!stop_ && request.find("\r\n\r\n") == std::string::npos) {
      if (!WaitReadable(client, 20)) continue;
      char buf[4096];
      int n = recv(client, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  if (script_.reply == Reply::Answer || script_.reply == Reply::AnswerAndHold) {
    for (size_t i = 0; i < script_.pieces.size() && !stop_; ++i) {
      if (i > 0 && script_.pauseMs) Sleep(script_.pauseMs);
      const std::string& piece = script_.pieces[i];
      size_t sent = 0;
      while (sent < piece.size()) {
        int n = send(client, piece.data() + sent, static_cast<int>(piece.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
      }
    }
  }
  switch (script_.reply) {
    case Reply::Answer:
      shutdown(client, SD_SEND);
      // The client closes once it has read everything (or gives up).
      for (ULONGLONG end = GetTickCount64() + 2000; !stop_ && GetTickCount64() < end;) {
        if (!WaitReadable(client, 20)) continue;
        char buf[512];
        if (recv(client, buf, sizeof buf, 0) <= 0) break;
      }
      return;
    case Reply::AnswerAndHold:
    case Reply::Silent:
      while (!stop_) {
        if (!WaitReadable(client, 20)) continue;
        char buf[512];
        if (recv(client, buf, sizeof buf, 0) <= 0) return;  // the client went away
      }
      return;
    case Reply::CloseAtOnce:
      return;
  }
}

}  // namespace mf::test
