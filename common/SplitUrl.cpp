#include "common/SplitUrl.h"

#include "common/Text.h"

namespace mf {

void SplitUrl(const std::wstring& url, std::wstring& host, std::wstring& path) {
  std::wstring rest = url;
  if (LowerCase(std::wstring_view(rest).substr(0, 7)) == L"http://") rest.erase(0, 7);
  size_t slash = rest.find(L'/');
  if (slash == std::wstring::npos) {
    host = rest;
    return;
  }
  host = rest.substr(0, slash);
  path = rest.substr(slash);
}

HostAndPort SplitHostPort(const std::wstring& host) {
  // The port follows the last colon, unless that colon is inside an IPv6
  // literal such as [::1].
  size_t colon = host.rfind(L':');
  size_t bracket = host.rfind(L']');
  if (colon == std::wstring::npos || (bracket != std::wstring::npos && bracket > colon))
    return {host, 0};
  std::wstring digits = host.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of(L"0123456789") != std::wstring::npos)
    return {host, 0};
  unsigned long port = std::stoul(digits);
  if (port == 0 || port > 65535) return {host, 0};
  return {host.substr(0, colon), static_cast<uint16_t>(port)};
}

}  // namespace mf
