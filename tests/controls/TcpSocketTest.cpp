// The TCP client that replaces the Winsock control, against a loopback server,
// and over TLS against the HTTPS front of the loopback HTTP server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "controls/socket/TcpSocket.h"
#include "tests/controls/LoopbackSocketServer.h"
#include "tests/support/HttpsFront.h"
#include "tests/support/Wait.h"

using namespace mf;
using mf::test::LoopbackSocketServer;
using mf::test::PumpUntil;

namespace {

// Records every notification, the thread it came on and the state seen then.
struct Recorder : ISocketEvents {
  TcpSocket* socket = nullptr;
  std::vector<std::string> events;
  std::string received;
  long errorNumber = 0;
  std::wstring errorText;
  bool takeData = true;
  bool sendOnConnect = false;
  std::string toSend;
  DWORD thread = GetCurrentThreadId();
  bool foreignThread = false;

  void Note(const char* what) {
    events.push_back(std::string(what) + "@" + std::to_string(socket->State()));
    if (GetCurrentThreadId() != thread) foreignThread = true;
  }
  void Connected() override {
    Note("connected");
    if (sendOnConnect) socket->SendData(toSend);
  }
  void DataArrival(long bytesTotal) override {
    Note("data");
    EXPECT_EQ(bytesTotal, socket->BytesReceived());
    if (takeData) received += socket->GetData();
  }
  void Error(long number, const std::wstring& description) override {
    Note("error");
    errorNumber = number;
    errorText = description;
  }
  void Closed() override { Note("closed"); }
  bool Has(const std::string& e) const {
    for (const auto& x : events)
      if (x == e) return true;
    return false;
  }
};

class TcpSocketTest : public ::testing::Test {
 protected:
  LoopbackSocketServer server;
  Recorder rec;
  TcpSocket socket{&rec};
  void SetUp() override { rec.socket = &socket; }

  void ConnectToServer() {
    socket.SetRemoteHost(L"127.0.0.1");
    socket.SetRemotePort(server.Port());
    ASSERT_TRUE(socket.Connect());
  }
};

TEST_F(TcpSocketTest, ConnectsSendsAndReceivesOnTheUserInterfaceThread) {
  ASSERT_TRUE(server.Start({.pieces = {"HTTP/1.1 200 OK\r\n", "\r\nbody"}, .pauseMs = 50}));
  rec.sendOnConnect = true;
  rec.toSend = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  EXPECT_EQ(socket.State(), sckClosed);
  ConnectToServer();
  EXPECT_EQ(socket.State(), sckConnecting);
  ASSERT_TRUE(PumpUntil([&] { return rec.Has("closed@8"); }));
  EXPECT_EQ(rec.events.front(), "connected@7");
  EXPECT_TRUE(rec.Has("data@7"));
  EXPECT_EQ(rec.received, "HTTP/1.1 200 OK\r\n\r\nbody");
  EXPECT_EQ(server.Requests(), std::vector<std::string>{rec.toSend});
  EXPECT_EQ(socket.State(), sckClosing);
  EXPECT_FALSE(rec.foreignThread);
  EXPECT_FALSE(socket.SendData(std::string("late")));  // not connected any more
  socket.Close();
  EXPECT_EQ(socket.State(), sckClosed);
}

TEST_F(TcpSocketTest, DataWaitingAtThePeersCloseIsAnnouncedBeforeTheClose) {
  ASSERT_TRUE(server.Start({.pieces = {std::string(100000, 'x')}, .readRequest = false}));
  ConnectToServer();
  ASSERT_TRUE(PumpUntil([&] { return rec.Has("closed@8"); }));
  EXPECT_EQ(rec.received.size(), 100000u);
  // Every data notification came while connected, and the close came last.
  EXPECT_EQ(rec.events.back(), "closed@8");
  for (size_t i = 1; i + 1 < rec.events.size(); ++i) EXPECT_EQ(rec.events[i], "data@7");
}

TEST_F(TcpSocketTest, AnOwnerThatTakesNothingPausesReadingWithoutLosingBytes) {
  // Three megabytes, more than the socket holds untaken; the owner takes
  // them only later, all at once.
  std::string big;
  for (int i = 0; i < 3 * 1024 * 1024; ++i) big += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(server.Start({.pieces = {big}, .readRequest = false}));
  rec.takeData = false;
  ConnectToServer();
  ASSERT_TRUE(PumpUntil([&] { return socket.BytesReceived() >= 1024 * 1024; }, 10000));
  test::PumpFor(200);
  EXPECT_LE(socket.BytesReceived(), 1024 * 1024 + 64 * 1024);  // paused near the limit
  std::string all;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (socket.BytesReceived() >= 1024 * 1024 || rec.Has("closed@8")) all += socket.GetData();
        return rec.Has("closed@8");
      },
      15000));
  all += socket.GetData();
  EXPECT_EQ(all.size(), big.size());
  EXPECT_TRUE(all == big);
}

TEST_F(TcpSocketTest, ARefusedConnectionIsAnErrorWithItsDescription) {
  socket.SetRemoteHost(L"127.0.0.1");
  socket.SetRemotePort(LoopbackSocketServer::UnusedPort());
  ASSERT_TRUE(socket.Connect());
  ASSERT_TRUE(PumpUntil([&] { return rec.Has("error@9"); }));
  EXPECT_EQ(rec.errorNumber, WSAECONNREFUSED);
  EXPECT_EQ(rec.errorText, L"Connection is forcefully rejected");
  EXPECT_FALSE(rec.Has("connected@7"));
  // A socket in error must be closed before it connects again.
  EXPECT_FALSE(socket.Connect());
  socket.Close();
  ASSERT_TRUE(server.Start({.pieces = {"ok"}, .readRequest = false}));
  ConnectToServer();
  ASSERT_TRUE(PumpUntil([&] { return rec.Has("closed@8"); }));
  EXPECT_EQ(rec.received, "ok");
}

TEST_F(TcpSocketTest, TextThatCannotNameAHostFailsWithoutALookup) {
  for (const wchar_t* host : {L"127.0.0.1:8080", L"bad host", L"", L"a/b"}) {
    rec.events.clear();
    socket.SetRemoteHost(host);
    socket.SetRemotePort(80);
    ASSERT_TRUE(socket.Connect());
    EXPECT_TRUE(rec.events.empty());  // reported from the message loop, not inside Connect
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("error@9"); })) << host;
    EXPECT_EQ(rec.errorNumber, WSAHOST_NOT_FOUND);
    EXPECT_EQ(rec.errorText, L"Authoritative answer: Host not found");
    socket.Close();
  }
}

TEST_F(TcpSocketTest, ALocalNameIsLookedUpBeforeConnecting) {
  ASSERT_TRUE(server.Start({.pieces = {"hello"}, .readRequest = false}));
  socket.SetRemoteHost(L"localhost");
  socket.SetRemotePort(server.Port());
  ASSERT_TRUE(socket.Connect());
  EXPECT_EQ(socket.State(), sckResolvingHost);
  ASSERT_TRUE(PumpUntil([&] { return rec.Has("closed@8") || rec.Has("error@9"); }));
  EXPECT_EQ(rec.received, "hello");
}

TEST_F(TcpSocketTest, CloseSilencesEverythingThatWasUnderWay) {
  ASSERT_TRUE(server.Start({.pieces = {"never seen"}, .readRequest = false}));
  ConnectToServer();
  socket.Close();
  test::PumpFor(300);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(socket.BytesReceived(), 0);
  // A lookup given up half-way stays silent as well.
  socket.SetRemoteHost(L"localhost");
  ASSERT_TRUE(socket.Connect());
  socket.Close();
  test::PumpFor(300);
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(TcpSocketTest, TheTestPortOverrideLeavesRemotePortAsSet) {
  ASSERT_TRUE(server.Start({.pieces = {"via override"}, .readRequest = false}));
  socket.SetRemoteHost(L"127.0.0.1");
  socket.SetRemotePort(80);
  socket.SetTestPortOverride(server.Port());
  ASSERT_TRUE(socket.Connect());
  ASSERT_TRUE(PumpUntil([&] { return rec.Has("closed@8"); }));
  EXPECT_EQ(socket.RemotePort(), 80);
  EXPECT_EQ(rec.received, "via override");
}

class TlsSocketTest : public TcpSocketTest {
 protected:
  void SetUp() override {
    TcpSocketTest::SetUp();
    ASSERT_TRUE(http.Start());
    ASSERT_TRUE(front.Start(http));
  }
  // Connects securely, sends `request` once connected and waits for the end.
  void Exchange(const std::wstring& host, uint16_t port, const std::string& request = "") {
    socket.Close();
    rec = Recorder{};
    rec.socket = &socket;
    rec.sendOnConnect = true;
    rec.toSend = request;
    socket.SetSecure(true);
    socket.SetRemoteHost(host);
    socket.SetRemotePort(port);
    ASSERT_TRUE(socket.Connect());
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("closed@8") || rec.Has("error@9"); }, 15000));
  }
  test::HttpServer http;
  test::HttpsFront front;
};

TEST_F(TlsSocketTest, OnlyTheGoodCertificateReachedByItsNameCarriesTheRequest) {
  http.Route("/page", test::HttpResponse::Text("<html>over TLS</html>"));
  // Longer than a TLS record (16 KB), so that it leaves in several.
  const std::string request =
      "GET /page HTTP/1.1\r\nHost: localhost\r\nAccept -Encoding: gzip , deflate\r\n"
      "X-Fill: " +
      std::string(40000, 'f') + "\r\n\r\n";
  struct Case {
    test::TestCertificate certificate;
    const wchar_t* host;
    long number;  // 0: the exchange goes through
    const wchar_t* text;
  };
  const Case cases[] = {
      {test::TestCertificate::Good, L"localhost", 0, L""},
      {test::TestCertificate::Expired, L"localhost", CERT_E_EXPIRED,
       L"The server's certificate has expired"},
      {test::TestCertificate::WrongName, L"localhost", CERT_E_CN_NO_MATCH,
       L"The server's certificate is for another name"},
      {test::TestCertificate::Untrusted, L"localhost", CERT_E_UNTRUSTEDROOT,
       L"The server's certificate is not from a trusted authority"},
      {test::TestCertificate::Good, L"127.0.0.1", CERT_E_CN_NO_MATCH,
       L"The server's certificate is for another name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.text));
    http.ClearRequests();
    Exchange(c.host, front.Port(c.certificate), request);
    EXPECT_EQ(rec.errorNumber, c.number);
    EXPECT_EQ(rec.errorText, c.text);
    if (c.number != 0) {
      // Refused before the owner could send: nothing reached the server.
      EXPECT_EQ(rec.events, std::vector<std::string>{"error@9"});
      EXPECT_EQ(TcpSocket::ErrorDescription(c.number), c.text);
      test::PumpFor(100);
      EXPECT_TRUE(http.Requests().empty());
      continue;
    }
    EXPECT_EQ(rec.events.front(), "connected@7");
    EXPECT_EQ(rec.events.back(), "closed@8");
    EXPECT_TRUE(rec.received.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(rec.received.ends_with("\r\n\r\n<html>over TLS</html>"));
    ASSERT_EQ(http.Requests().size(), 1u);
    // The request as the server read it, written out again.
    const test::HttpRequest got = http.Requests()[0];
    std::string rewritten = got.method + " " + got.target + " " + got.version + "\r\n";
    for (const test::HttpHeader& h : got.headers) rewritten += h.name + ": " + h.value + "\r\n";
    EXPECT_EQ(rewritten + "\r\n", request);
  }
}

TEST_F(TlsSocketTest, ALargeAnswerArrivesByteForByteThroughRecordsCutByTheReads) {
  const size_t size = 3 * 1024 * 1024 + 17;
  http.Route("/big", test::HttpResponse::File(size, 7));
  Exchange(L"localhost", front.Port(), "GET /big HTTP/1.1\r\n\r\n");
  ASSERT_EQ(rec.events.back(), "closed@8");
  std::string expected(size, '\0');
  test::FillPattern(7, 0, expected.data(), size);
  EXPECT_TRUE(rec.received.ends_with("\r\n\r\n" + expected));
}

TEST_F(TlsSocketTest, AServerThatSpeaksNoTlsIsAnErrorNeverAConnection) {
  using Reply = LoopbackSocketServer::Reply;
  for (Reply reply : {Reply::Answer, Reply::CloseAtOnce}) {
    ASSERT_TRUE(server.Start(
        {.reply = reply, .pieces = {"HTTP/1.1 400 Bad Request\r\n\r\n"}, .readRequest = false}));
    Exchange(L"localhost", server.Port());
    server.Stop();
    EXPECT_EQ(rec.events, std::vector<std::string>{"error@9"});
    EXPECT_EQ(rec.errorText, L"The secure connection could not be made");
    EXPECT_EQ(HRESULT_FACILITY(rec.errorNumber), FACILITY_SSPI);
  }
}

}  // namespace
