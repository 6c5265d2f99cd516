// The TLS channel alone, its bytes carried in memory: a server that refuses
// or speaks no TLS ends the handshake. (Whole exchanges run through the
// socket component in TcpSocketTest.)
#include <gtest/gtest.h>

#include <string>

#include "controls/socket/TlsChannel.h"

using namespace mf;
using Phase = TlsChannel::Phase;

namespace {

TEST(TlsChannel, AServerThatRefusesOrSpeaksNoTlsEndsTheHandshake) {
  const std::string answers[] = {
      std::string("\x15\x03\x03\x00\x02\x02\x28", 7),  // a fatal alert: handshake failure
      // Read as a record header, this asks for 20 KB more: they come.
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

}  // namespace
