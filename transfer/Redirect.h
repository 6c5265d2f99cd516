#pragma once
// What every request of ours makes of a redirect.
#include <optional>
#include <string>

#include "common/Uri.h"

namespace mf {

inline bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

inline bool IsSecure(const std::wstring& url) {
  std::optional<WebAddress> address = SplitWebAddress(url);
  return address && address->secure;
}

}  // namespace mf
