#include "transfer/RequestFailure.h"

namespace mf {

std::wstring RequestFailureText(NetError error, const std::wstring& secureReason) {
  switch (error) {
    case NetError::SecureFailure:
      return secureReason.empty() ? L"The secure connection to the server could not be made."
                                  : secureReason + L".";
    case NetError::Timeout:
      return L"The server did not answer in time.";
    case NetError::NameNotResolved:
      return L"The server's name could not be found.";
    case NetError::CannotConnect:
      return L"The server could not be reached.";
    case NetError::ProxyFailed:
      return L"The proxy server did not pass the request on.";
    default:
      return {};
  }
}

std::wstring NoFileText(DWORD status) {
  return L"The server answered " + std::to_wstring(status) + L" instead of sending the file.";
}

}  // namespace mf
