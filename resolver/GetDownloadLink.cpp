#include "common/AppPath.h"
#include "resolver/AddressText.h"
#include "resolver/LinkResolver.h"
#include "resolver/LinkResult.h"
#include "resolver/PageFile.h"
#include "resolver/SiteId.h"
#include "resolver/Sites.h"

namespace mf {

std::wstring LinkResolver::GetDownloadLink(const std::wstring& sLink) {
  // An unsupported address costs no network access and leaves the page file alone.
  if (GetSiteID(sLink) == siteUnsupported) return kLinkUnsupported;
  const std::wstring pageFile = PageFile();
  // The transfer does not truncate the file it writes: a page file that
  // cannot be deleted would mix the old page into the new one.
  if (FileExists(pageFile) && !DeleteFileForced(pageFile)) return kLinkFetchFailed;
  // Characters the ANSI entry points cannot carry would turn into "?" and
  // fetch some other page: they go as their UTF-8 bytes, percent-encoded.
  if (!host_.FetchPage(AddressForWire(sLink), pageFile)) return kLinkFetchFailed;

  const Site* site = FindSite(GetSiteID(sLink));
  if (!site) return kLinkNotFound;
  ParseContext context{[this](const std::wstring& player) { return Youtube.GetYoutubePathLnik(player); }};
  std::wstring link = site->parse(pageFile, context);
  return link.empty() ? std::wstring(kLinkNotFound) : link;
}

}  // namespace mf
