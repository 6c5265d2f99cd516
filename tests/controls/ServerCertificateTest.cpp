// The check of a server's certificate, on the test certificates read from
// the build tree, each alone as a server could send it.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controls/socket/ServerCertificate.h"
#include "tests/support/HttpsFront.h"

using namespace mf;

namespace {

// The first certificate of a .pem file of the build tree, reached as Wine maps the host's root.
PCCERT_CONTEXT FirstCertificate(const std::string& name) {
  std::ifstream in("Z:" MF_TLS_DIR "/" + name + ".pem");
  std::string pem{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string end = "-----END CERTIFICATE-----";
  pem = pem.substr(0, pem.find(end) + end.size());
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr))
    return nullptr;
  std::vector<BYTE> der(size);
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                       nullptr);
  return CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size);
}

// Expired, wrongly named and untrusted certificates are refused over the
// wire (TcpSocketTest); these are the cases the wire does not show.
TEST(ServerCertificate, AChainThatStopsShortIsNotTrusted) {
  ASSERT_TRUE(test::TrustTestAuthority());
  struct Case {
    const char* file;
    const wchar_t* name;
    long number;
  };
  const Case cases[] = {
      {"good", L"localhost", 0},
      {"good", L"LOCALHOST", 0},  // names are matched in any letter case
      {"good", L"other.localhost", CERT_E_CN_NO_MATCH},
      // Without the authority that the server sends along: Wine's SSL
      // policy lets it pass, the chain's own status does not.
      {"untrusted", L"localhost", CERT_E_CHAINING},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    PCCERT_CONTEXT certificate = FirstCertificate(c.file);
    ASSERT_NE(certificate, nullptr);
    EXPECT_EQ(CheckServerCertificate(certificate, c.name), c.number);
    CertFreeCertificateContext(certificate);
  }
  EXPECT_EQ(SecureConnectionErrorText(CERT_E_CHAINING),
            L"The server's certificate is not from a trusted authority");
  EXPECT_EQ(SecureConnectionErrorText(TRUST_E_FAIL), L"The server's certificate is not valid");
  EXPECT_NE(CheckServerCertificate(nullptr, L"localhost"), 0);
}

}  // namespace
