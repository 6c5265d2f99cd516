#pragma once
// The check of a server's certificate after a TLS handshake, and the plain
// texts for the reasons a secure connection fails. Schannel is asked to leave
// the check to us (Wine's Schannel never makes it), so it is done here with
// CryptoAPI: the chain must reach a trusted authority, be valid now and be
// meant for a web server of this name.
// wincrypt.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <string>

namespace mf {

// 0 when the certificate may be trusted for `serverName`; otherwise the
// CERT_E_... or TRUST_E_... number of the first problem found.
long CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& serverName);

// The text for a failure of a secure connection: a certificate problem by its
// number, anything else as a connection that could not be made.
std::wstring SecureConnectionErrorText(long number);
// True for the numbers of Schannel and of the certificate check (their
// facilities), which SecureConnectionErrorText speaks of.
bool IsSecureConnectionError(long number);

}  // namespace mf
