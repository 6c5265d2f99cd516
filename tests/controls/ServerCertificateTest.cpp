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

TEST(ServerCertificate, OnlyAValidCertificateOfATrustedAuthorityForThisNamePasses) {
  ASSERT_TRUE(test::TrustTestAuthority());
  struct Case {
    const char* file;
    const wchar_t* name;
    long number;
    const wchar_t* text;
  };
  const wchar_t* const kUntrusted = L"The server's certificate is not from a trusted authority";
  const Case cases[] = {
      {"good", L"localhost", 0, nullptr},
      {"good", L"LOCALHOST", 0, nullptr},  // names are matched in any letter case
      {"good", L"other.localhost", CERT_E_CN_NO_MATCH,
       L"The server's certificate is for another name"},
      {"expired", L"localhost", CERT_E_EXPIRED, L"The server's certificate has expired"},
      {"wrongname", L"localhost", CERT_E_CN_NO_MATCH,
       L"The server's certificate is for another name"},
      // Without the authority that the server would send along: a chain that
      // stops short, which the SSL policy of Wine lets pass.
      {"untrusted", L"localhost", CERT_E_CHAINING, kUntrusted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    PCCERT_CONTEXT certificate = FirstCertificate(c.file);
    ASSERT_NE(certificate, nullptr);
    long number = CheckServerCertificate(certificate, c.name);
    CertFreeCertificateContext(certificate);
    EXPECT_EQ(number, c.number) << std::hex << number;
    if (c.text) {
      EXPECT_EQ(SecureConnectionErrorText(number), c.text);
    }
  }
  EXPECT_EQ(SecureConnectionErrorText(CERT_E_UNTRUSTEDROOT), kUntrusted);
  EXPECT_EQ(SecureConnectionErrorText(TRUST_E_FAIL), L"The server's certificate is not valid");
  EXPECT_EQ(SecureConnectionErrorText(SEC_E_ILLEGAL_MESSAGE),
            L"The secure connection could not be made");
  EXPECT_NE(CheckServerCertificate(nullptr, L"localhost"), 0);
}

}  // namespace
