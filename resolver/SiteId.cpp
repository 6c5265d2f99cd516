#include "resolver/SiteId.h"

#include "common/Text.h"
#include "resolver/Sites.h"

namespace mf {

namespace {

const Site* SiteOf(const std::wstring& address) {
  const std::wstring lower = LowerCase(address);
  for (const Site& site : Sites()) {
    const bool found =
        site.pattern ? lower.find(site.pattern) != std::wstring::npos : site.recognises(address);
    if (found) return &site;
  }
  return nullptr;
}

}  // namespace

int16_t GetSiteID(const std::wstring& address) {
  const Site* site = SiteOf(address);
  return site ? site->id : static_cast<int16_t>(siteUnsupported);
}

bool IsAutomaticAddress(const std::wstring& address) {
  const Site* site = SiteOf(address);
  return site && site->automatic;
}

}  // namespace mf
