#include "common/AppPath.h"
#include "resolver/AddressText.h"
#include "resolver/LinkResolver.h"
#include "resolver/LinkResult.h"
#include "resolver/MediaLink.h"
#include "resolver/PageFile.h"
#include "resolver/SiteId.h"
#include "resolver/Sites.h"

namespace mf {

LinkResolver::LinkResolver(IResolverHost& host) : Youtube(host), host_(host) {}

void LinkResolver::GetDownloadLink(const std::wstring& sLink, Done done) {
  Cancel();
  done_ = std::move(done);
  const uint32_t request = ++request_;
  const int16_t siteId = GetSiteID(sLink);
  const Site* site = FindSite(siteId);
  // An unsupported address costs no network access and leaves the page file alone.
  if (!site) return Finish(kLinkUnsupported);
  // Characters the request cannot carry would fetch some other page: they
  // go as their UTF-8 bytes, percent-encoded.
  const std::wstring address = AddressForWire(sLink);
  // A direct link is the file's own address: there is no page to read.
  if (!site->parse) return Finish(address);
  const std::wstring pageFile = PageFile(pageFileNumber_);
  // The transfer does not truncate the file it writes: a page file that
  // cannot be deleted would mix the old page into the new one.
  if (FileExists(pageFile) && !DeleteFileForced(pageFile)) return Finish(kLinkFetchFailed);
  host_.FetchPage(address, pageFile,
                  [this, request, siteId, address](bool ok, const PageAnswer& answer) {
                    if (request == request_) PageFetched(siteId, ok, answer, address);
                  });
}

void LinkResolver::PageFetched(int16_t siteId, bool ok, const PageAnswer& answer,
                               const std::wstring& address) {
  if (!ok) return Finish(kLinkFetchFailed);
  // An address taken for a page that answered with a video is its link.
  if (IsMediaAnswer(answer.contentType, answer.address) && !answer.address.empty())
    return Finish(answer.address);
  const Site& site = *FindSite(siteId);
  const ParseContext context{.pageAddress = answer.address.empty() ? address : answer.address,
                             .contentType = answer.contentType};
  const std::wstring link = site.parse(PageFile(pageFileNumber_), context);
  if (link.empty()) return Finish(kLinkNotFound);
  if (!site.followsPlayer) return Finish(link);
  const uint32_t request = request_;
  Youtube.GetYoutubePathLnik(link, [this, request](const std::wstring& video) {
    if (request == request_) Finish(video.empty() ? std::wstring(kLinkNotFound) : video);
  });
}

void LinkResolver::Finish(const std::wstring& link) {
  Done done = std::move(done_);
  done_ = nullptr;
  if (done) done(link);
}

void LinkResolver::Cancel() {
  if (!done_) return;
  done_ = nullptr;
  ++request_;
  host_.CancelPageFetch();
  Youtube.Cancel();
}

}  // namespace mf
