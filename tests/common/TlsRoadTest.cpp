// The HTTPS test road: WinINet, as the program uses it, through the TLS front
// of the loopback server with each test certificate.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>

#include "common/Handles.h"
#include "tests/support/HttpsFront.h"
#include "tests/support/Wait.h"

using namespace mf::test;

namespace {

struct Fetched {
  DWORD error = 0;  // of InternetOpenUrlW; 0 when it opened
  DWORD status = 0;
  std::string body;
  std::wstring finalUrl;
};

Fetched Fetch(const std::wstring& url) {
  Fetched out;
  HINTERNET session =
      InternetOpenW(L"Marrowfin test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET file = InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (!file) {
    out.error = GetLastError();
  } else {
    char buffer[4096];
    DWORD n = 0;
    while (InternetReadFile(file, buffer, sizeof buffer, &n) && n > 0) out.body.append(buffer, n);
    DWORD size = sizeof out.status;
    HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &out.status, &size,
                   nullptr);
    wchar_t address[1024];
    DWORD length = ARRAYSIZE(address);
    if (InternetQueryOptionW(file, INTERNET_OPTION_URL, address, &length)) out.finalUrl = address;
    InternetCloseHandle(file);
  }
  InternetCloseHandle(session);
  return out;
}

class TlsRoad : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(http.Start());
    ASSERT_TRUE(front.Start(http));
    http.Route("/page", HttpResponse::Text("<html>over TLS</html>"));
  }
  HttpServer http;
  HttpsFront front;
};

TEST_F(TlsRoad, OnlyTheGoodCertificateReachedByItsNameIsAccepted) {
  struct Case {
    const char* what;
    TestCertificate certificate;
    bool byAddress;  // 127.0.0.1 instead of localhost
    DWORD error;
  };
  const Case cases[] = {
      {"good", TestCertificate::Good, false, 0},
      {"expired", TestCertificate::Expired, false, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
      {"wrong name", TestCertificate::WrongName, false, ERROR_INTERNET_SEC_CERT_CN_INVALID},
      {"untrusted authority", TestCertificate::Untrusted, false, ERROR_INTERNET_INVALID_CA},
      {"good, by IP address", TestCertificate::Good, true, ERROR_INTERNET_SEC_CERT_CN_INVALID},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    http.ClearRequests();
    std::wstring url = front.Url("/page", c.certificate);
    if (c.byAddress) url.replace(url.find(L"localhost"), 9, L"127.0.0.1");
    Fetched got = Fetch(url);
    EXPECT_EQ(got.error, c.error);
    if (c.error == 0) {
      EXPECT_EQ(got.status, 200u);
      EXPECT_EQ(got.body, "<html>over TLS</html>");
    }
    // A refused certificate ends the connection before any request is sent.
    EXPECT_EQ(http.CountRequests("GET", "/page"), c.error == 0 ? 1u : 0u);
  }
}

TEST_F(TlsRoad, WinInetFollowsARedirectFromHttpToHttps) {
  std::wstring secure = front.Url("/page");
  http.Route("/plain", HttpResponse::Text("moved")
                           .Status(302, "Found")
                           .Header("Location", std::string(secure.begin(), secure.end())));
  Fetched got = Fetch(http.Url("/plain"));
  EXPECT_EQ(got.error, 0u);
  EXPECT_EQ(got.status, 200u);
  EXPECT_EQ(got.body, "<html>over TLS</html>");
  EXPECT_EQ(got.finalUrl, secure);
}

TEST_F(TlsRoad, TheFrontPassesLargeBodiesByteForByte) {
  http.Route("/big", HttpResponse::File(3 * 1024 * 1024 + 17, 5));
  Fetched got = Fetch(front.Url("/big"));
  ASSERT_EQ(got.error, 0u);
  ASSERT_EQ(got.body.size(), 3u * 1024 * 1024 + 17);
  std::string expected(got.body.size(), '\0');
  FillPattern(5, 0, expected.data(), expected.size());
  EXPECT_TRUE(got.body == expected);
}

TEST(TlsFront, EndsWhenStoppedAndItsPortsClose) {
  HttpServer http;
  ASSERT_TRUE(http.Start());
  HttpsFront front;
  ASSERT_TRUE(front.Start(http));
  std::wstring url = front.Url("/x");
  EXPECT_NE(front.Port(TestCertificate::Good), front.Port(TestCertificate::Expired));
  front.Stop();
  // The front's listeners go with it.
  EXPECT_TRUE(PumpUntil([&] { return Fetch(url).error == ERROR_INTERNET_CANNOT_CONNECT; }));
}

}  // namespace
