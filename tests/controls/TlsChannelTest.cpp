// The TLS channel alone: its bytes carried by the test, in memory or over a
// blocking socket to the HTTPS front in pieces of any size.
// clang-format off
#include <winsock2.h>
#include <gtest/gtest.h>
// clang-format on

#include <algorithm>
#include <string>

#include "controls/socket/SocketHandle.h"
#include "controls/socket/TlsChannel.h"
#include "tests/support/HttpsFront.h"

using namespace mf;
using namespace mf::test;
using Phase = TlsChannel::Phase;

namespace {

TEST(TlsChannel, AServerThatRefusesOrSpeaksNoTlsEndsTheHandshake) {
  const std::string answers[] = {
      std::string("\x15\x03\x03\x00\x02\x02\x28", 7),  // a fatal alert: handshake failure
      "HTTP/1.1 400 Bad Request\r\n\r\n" + std::string(30000, ' '),
  };
  for (const std::string& answer : answers) {
    TlsChannel tls(L"localhost");
    std::string wire, plain;
    tls.Start(wire);
    ASSERT_EQ(tls.GetPhase(), Phase::Handshaking);
    ASSERT_GT(wire.size(), 5u);
    EXPECT_EQ(wire[0], '\x16');  // a handshake record: the client's hello
    std::string sealed;
    EXPECT_FALSE(tls.Seal("too early", sealed));
    EXPECT_TRUE(sealed.empty());
    tls.Receive(answer, wire, plain);
    EXPECT_EQ(tls.GetPhase(), Phase::Failed);
    EXPECT_EQ(tls.FailureText(), L"The secure connection could not be made");
    EXPECT_EQ(HRESULT_FACILITY(tls.FailureNumber()), FACILITY_SSPI);
    EXPECT_TRUE(plain.empty());
  }
}

// Carries the channel's bytes over a blocking socket, handing it what
// arrives `piece` bytes at a time, until the server has closed.
struct Carrier {
  SOCKET s;
  size_t piece;
  bool Send(std::string& wire) {
    for (size_t at = 0; at < wire.size();) {
      int n = send(s, wire.data() + at, static_cast<int>(wire.size() - at), 0);
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    wire.clear();
    return true;
  }
  // Feeds the channel until `enough` holds or the server closes.
  template <typename Enough>
  void Feed(TlsChannel& tls, std::string& plain, Enough enough) {
    std::string wire;
    char buf[4096];
    while (!enough() && tls.GetPhase() != Phase::Failed) {
      int n = recv(s, buf, sizeof buf, 0);
      if (n <= 0) return;
      for (int at = 0; at < n; at += static_cast<int>(piece))
        tls.Receive(std::string_view(buf + at, std::min<size_t>(piece, n - at)), wire, plain);
      if (!Send(wire)) return;
    }
  }
};

TEST(TlsChannel, MessagesCutAnywhereAreJoinedAgain) {
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  HttpServer http;
  HttpsFront front;
  ASSERT_TRUE(http.Start());
  ASSERT_TRUE(front.Start(http));
  const std::string body(50000, 'b');  // several records
  http.Route("/cut", HttpResponse::Text(body));
  for (size_t piece : {size_t{1}, size_t{5}, size_t{4096}}) {
    SCOPED_TRACE(piece);
    UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(front.Port(TestCertificate::Good));
    ASSERT_EQ(connect(s.get(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    DWORD patience = 10000;  // a stuck exchange fails the test instead of hanging it
    setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&patience),
               sizeof patience);
    Carrier carrier{s.get(), piece};
    TlsChannel tls(L"localhost");
    std::string wire, plain;
    tls.Start(wire);
    ASSERT_TRUE(carrier.Send(wire));
    carrier.Feed(tls, plain, [&] { return tls.GetPhase() != Phase::Handshaking; });
    ASSERT_EQ(tls.GetPhase(), Phase::Open) << tls.FailureNumber();
    ASSERT_TRUE(tls.Seal("GET /cut HTTP/1.1\r\nHost: localhost\r\n\r\n", wire));
    ASSERT_TRUE(carrier.Send(wire));
    carrier.Feed(tls, plain, [] { return false; });
    EXPECT_NE(tls.GetPhase(), Phase::Failed) << tls.FailureNumber();
    EXPECT_TRUE(plain.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(plain.ends_with("\r\n\r\n" + body));
  }
  WSACleanup();
}

}  // namespace
