// The socket component over TLS, against the HTTPS front of the loopback
// HTTP server with each test certificate, and against servers that speak no TLS.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "controls/socket/TcpSocket.h"
#include "tests/controls/LoopbackSocketServer.h"
#include "tests/support/HttpsFront.h"
#include "tests/support/Wait.h"

using namespace mf;
using namespace mf::test;

namespace {

struct Events : ISocketEvents {
  TcpSocket* socket = nullptr;
  std::string request;  // sent on Connected
  std::vector<std::string> seen;
  std::string received;
  long errorNumber = 0;
  std::wstring errorText;

  void Note(const char* what) {
    seen.push_back(std::string(what) + "@" + std::to_string(socket->State()));
  }
  void Connected() override {
    Note("connected");
    EXPECT_TRUE(socket->SendData(request));
  }
  void DataArrival(long) override {
    Note("data");
    received += socket->GetData();
  }
  void Error(long number, const std::wstring& description) override {
    Note("error");
    errorNumber = number;
    errorText = description;
  }
  void Closed() override { Note("closed"); }
  bool Ended() const {
    return !seen.empty() && (seen.back() == "closed@8" || seen.back() == "error@9");
  }
};

// Longer than one TLS record (16 KB), so that it leaves in several.
const std::string kFill(40000, 'f');
const std::string kRequest =
    "GET /page HTTP/1.1\r\nHost: localhost\r\nAccept -Encoding: gzip , deflate\r\n"
    "X-Fill: " +
    kFill + "\r\nConnection: Close\r\n\r\n";

// The request as the server read it, written out again.
std::string Rewritten(const HttpRequest& r) {
  std::string out = r.method + " " + r.target + " " + r.version + "\r\n";
  for (const HttpHeader& h : r.headers) out += h.name + ": " + h.value + "\r\n";
  return out + "\r\n";
}

class TlsSocketTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(http.Start());
    ASSERT_TRUE(front.Start(http));
  }
  // Connects securely, sends kRequest once connected and waits for the end.
  void Run(const std::wstring& host, uint16_t port) {
    events.socket = &socket;
    events.request = kRequest;
    socket.SetSecure(true);
    socket.SetRemoteHost(host);
    socket.SetRemotePort(port);
    ASSERT_TRUE(socket.Connect());
    ASSERT_TRUE(PumpUntil([&] { return events.Ended(); }, 15000));
  }
  HttpServer http;
  HttpsFront front;
  Events events;
  TcpSocket socket{&events};
};

TEST_F(TlsSocketTest, OnlyTheGoodCertificateReachedByItsNameCarriesTheRequest) {
  http.Route("/page", HttpResponse::Text("<html>over TLS</html>"));
  struct Case {
    const char* what;
    TestCertificate certificate;
    const wchar_t* host;
    long number;  // 0: the exchange goes through
    const wchar_t* text;
  };
  const Case cases[] = {
      {"good", TestCertificate::Good, L"localhost", 0, L""},
      {"expired", TestCertificate::Expired, L"localhost", CERT_E_EXPIRED,
       L"The server's certificate has expired"},
      {"wrong name", TestCertificate::WrongName, L"localhost", CERT_E_CN_NO_MATCH,
       L"The server's certificate is for another name"},
      {"untrusted", TestCertificate::Untrusted, L"localhost", CERT_E_UNTRUSTEDROOT,
       L"The server's certificate is not from a trusted authority"},
      {"good, by address", TestCertificate::Good, L"127.0.0.1", CERT_E_CN_NO_MATCH,
       L"The server's certificate is for another name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    events = Events{};
    socket.Close();
    http.ClearRequests();
    Run(c.host, front.Port(c.certificate));
    if (c.number == 0) {
      EXPECT_EQ(events.seen.front(), "connected@7");
      EXPECT_EQ(events.seen.back(), "closed@8");
      EXPECT_TRUE(events.received.starts_with("HTTP/1.1 200 OK\r\n"));
      EXPECT_TRUE(events.received.ends_with("\r\n\r\n<html>over TLS</html>"));
      ASSERT_EQ(http.Requests().size(), 1u);
      EXPECT_EQ(Rewritten(http.Requests()[0]), kRequest);
    } else {
      EXPECT_EQ(events.seen, std::vector<std::string>{"error@9"});
      EXPECT_EQ(events.errorNumber, c.number);
      EXPECT_EQ(events.errorText, c.text);
      EXPECT_EQ(TcpSocket::ErrorDescription(c.number), c.text);
      // Refused before the owner could send: nothing reached the server.
      PumpFor(100);
      EXPECT_TRUE(http.Requests().empty());
    }
  }
}

TEST_F(TlsSocketTest, ALargeAnswerArrivesByteForByte) {
  const uint64_t size = 3 * 1024 * 1024 + 17;
  http.Route("/page", HttpResponse::File(size, 7));
  Run(L"localhost", front.Port(TestCertificate::Good));
  ASSERT_EQ(events.seen.back(), "closed@8");
  size_t body = events.received.find("\r\n\r\n") + 4;
  ASSERT_EQ(events.received.size() - body, size);
  std::string expected(size, '\0');
  FillPattern(7, 0, expected.data(), expected.size());
  EXPECT_TRUE(events.received.compare(body, std::string::npos, expected) == 0);
}

TEST_F(TlsSocketTest, AServerThatSpeaksNoTlsIsAnErrorNeverAConnection) {
  using Reply = LoopbackSocketServer::Reply;
  const LoopbackSocketServer::Script scripts[] = {
      {.reply = Reply::Answer,
       .pieces = {"HTTP/1.1 400 Bad Request\r\n\r\n"},
       .readRequest = false},
      {.reply = Reply::CloseAtOnce, .readRequest = false},
  };
  for (const auto& script : scripts) {
    LoopbackSocketServer plain;
    ASSERT_TRUE(plain.Start(script));
    events = Events{};
    socket.Close();
    Run(L"localhost", plain.Port());
    EXPECT_EQ(events.seen, std::vector<std::string>{"error@9"});
    EXPECT_EQ(events.errorText, L"The secure connection could not be made");
    EXPECT_EQ(HRESULT_FACILITY(events.errorNumber), FACILITY_SSPI);
  }
}

}  // namespace
