#include "resolver/SiteId.h"

#include "common/Text.h"
#include "resolver/Sites.h"

namespace mf {

int16_t GetSiteID(const std::wstring& address) {
  const std::wstring lower = LowerCase(address);
  for (const Site& site : Sites())
    if (lower.find(site.pattern) != std::wstring::npos) return site.id;
  return siteUnsupported;
}

}  // namespace mf
