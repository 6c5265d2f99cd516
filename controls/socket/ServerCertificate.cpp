#include "controls/socket/ServerCertificate.h"

#include "common/Handles.h"

namespace mf {
namespace {

struct ChainTraits {
  using type = PCCERT_CHAIN_CONTEXT;
  static type invalid() noexcept { return nullptr; }
  static void close(type c) noexcept { ::CertFreeCertificateChain(c); }
};
using UniqueChain = UniqueHandle<ChainTraits>;

// Revocation is not asked for (it would need the outside world), so its
// "unknown" marks say nothing about the certificate.
constexpr DWORD kRevocationNotChecked =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

struct ChainProblem {
  DWORD status;
  long number;
};
constexpr ChainProblem kChainProblems[] = {
    {CERT_TRUST_IS_NOT_TIME_VALID, CERT_E_EXPIRED},
    {CERT_TRUST_IS_REVOKED, CERT_E_REVOKED},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, CERT_E_WRONG_USAGE},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, CERT_E_UNTRUSTEDROOT},
    {CERT_TRUST_IS_PARTIAL_CHAIN, CERT_E_CHAINING},
};

// The chain's own verdict. Wine's SSL policy passes a certificate that came
// without its authority (a partial chain), so the chain is read as well.
long ChainStatusNumber(DWORD status) {
  status &= ~kRevocationNotChecked;
  if (status == 0) return 0;
  for (const ChainProblem& p : kChainProblems)
    if (status & p.status) return p.number;
  return TRUST_E_FAIL;
}

UniqueChain BuildChain(PCCERT_CONTEXT certificate) {
  // Intermediate certificates the server sent come with its certificate's store.
  LPSTR serverUse[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{sizeof para};
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = serverUse;
  UniqueChain chain;
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0,
                               nullptr, chain.put()))
    chain.reset();
  return chain;
}

struct ErrorText {
  long number;
  const wchar_t* text;
};
constexpr ErrorText kCertificateTexts[] = {
    {CERT_E_EXPIRED, L"The server's certificate has expired"},
    {CERT_E_CN_NO_MATCH, L"The server's certificate is for another name"},
    {CERT_E_UNTRUSTEDROOT, L"The server's certificate is not from a trusted authority"},
    {CERT_E_CHAINING, L"The server's certificate is not from a trusted authority"},
    {CERT_E_UNTRUSTEDTESTROOT, L"The server's certificate is not from a trusted authority"},
    {CERT_E_REVOKED, L"The server's certificate has been revoked"},
    {CERT_E_WRONG_USAGE, L"The server's certificate is not meant for a web server"},
};

}  // namespace

long CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& serverName) {
  if (!certificate) return TRUST_E_NOSIGNATURE;
  UniqueChain chain = BuildChain(certificate);
  if (!chain) return CERT_E_CHAINING;
  HTTPSPolicyCallbackData server{};
  server.cbStruct = sizeof server;
  server.dwAuthType = AUTHTYPE_SERVER;
  server.pwszServerName = const_cast<wchar_t*>(serverName.c_str());
  CERT_CHAIN_POLICY_PARA policy{sizeof policy};
  policy.pvExtraPolicyPara = &server;
  CERT_CHAIN_POLICY_STATUS verdict{sizeof verdict};
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &verdict))
    return TRUST_E_FAIL;
  if (verdict.dwError != 0) return static_cast<long>(verdict.dwError);
  return ChainStatusNumber(chain.get()->TrustStatus.dwErrorStatus);
}

bool IsSecureConnectionError(long number) {
  const auto code = static_cast<HRESULT>(number);
  return FAILED(code) &&
         (HRESULT_FACILITY(code) == FACILITY_SSPI || HRESULT_FACILITY(code) == FACILITY_CERT);
}

std::wstring SecureConnectionErrorText(long number) {
  for (const ErrorText& e : kCertificateTexts)
    if (e.number == number) return e.text;
  if (HRESULT_FACILITY(static_cast<HRESULT>(number)) == FACILITY_CERT)
    return L"The server's certificate is not valid";
  return L"The secure connection could not be made";
}

}  // namespace mf
