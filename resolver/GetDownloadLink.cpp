#include "common/AppPath.h"
#include "resolver/AddressText.h"
#include "resolver/LinkResolver.h"
#include "resolver/LinkResult.h"
#include "resolver/PageFile.h"
#include "resolver/SiteId.h"
#include "resolver/Sites.h"

namespace mf {

std::wstring LinkResolver::GetDownloadLink(const std::wstring& sLink) {
  const Site* site = FindSite(GetSiteID(sLink));
  // An unsupported address costs no network access and leaves the page file alone.
  if (!site) return kLinkUnsupported;
  // Characters the request cannot carry would fetch some other page: they
  // go as their UTF-8 bytes, percent-encoded.
  const std::wstring address = AddressForWire(sLink);
  // A direct link is the file's own address: there is no page to read.
  if (!site->parse) return address;
  const std::wstring pageFile = PageFile();
  // The transfer does not truncate the file it writes: a page file that
  // cannot be deleted would mix the old page into the new one.
  if (FileExists(pageFile) && !DeleteFileForced(pageFile)) return kLinkFetchFailed;
  PageAnswer answer;
  if (!host_.FetchPage(address, pageFile, answer)) return kLinkFetchFailed;

  ParseContext context{
      .followPlayer = [this](const std::wstring& player) { return Youtube.GetYoutubePathLnik(player); },
      .pageAddress = answer.address.empty() ? address : answer.address,
      .contentType = answer.contentType};
  std::wstring link = site->parse(pageFile, context);
  return link.empty() ? std::wstring(kLinkNotFound) : link;
}

}  // namespace mf
