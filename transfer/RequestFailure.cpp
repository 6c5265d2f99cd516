#include "transfer/RequestFailure.h"

#include <wininet.h>

namespace mf {

std::wstring RequestFailureText(DWORD winInetError) {
  switch (winInetError) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      return L"The server's certificate has expired or is not yet valid.";
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      return L"The server's certificate is for another name.";
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
      return L"The server's certificate is not from a trusted authority.";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
      return L"The secure connection to the server could not be made.";
    case ERROR_INTERNET_TIMEOUT:
      return L"The server did not answer in time.";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return L"The server's name could not be found.";
    case ERROR_INTERNET_CANNOT_CONNECT:
      return L"The server could not be reached.";
    default:
      return {};
  }
}

}  // namespace mf
