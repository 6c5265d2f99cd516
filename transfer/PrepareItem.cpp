// Item preparation: resolve the item's page address into its video file's
// address and fill in the local file name and the size.
#include "resolver/LinkResult.h"
#include "resolver/SiteId.h"
#include "resolver/Sites.h"
#include "transfer/ItemRun.h"
#include "transfer/QueueDriver.h"

namespace mf {

void ItemRun::PrepareItem(int16_t position, const std::function<void(const std::wstring&)>& done) {
  const DownloadItem* item = position >= 0 ? list_.At(static_cast<size_t>(position)) : nullptr;
  if (!item) return done(kLinkUnsupported);
  const uint32_t key = item->Key;
  key_ = key;
  SetState(ItemState::Preparing);
  Resolver.GetDownloadLink(item->Video_URL, [this, key, done](const std::wstring& link) {
    DownloadItem* resolved = list_.ByKey(key);
    if (!resolved) return done(kLinkUnsupported);
    if (link == kLinkUnsupported || link == kLinkNotFound || link == kLinkFetchFailed)
      return done(ResolutionFailed(link, resolved->Video_URL));
    GetLocalFileInfo(link, GetSiteID(resolved->Video_URL),
                     [this, key, link, done](const LocalFileInfo& info) {
                       if (!list_.ByKey(key)) return done(kLinkUnsupported);
                       TakeName(info);
                       done(link);
                     });
  });
}

std::wstring ItemRun::ResolutionFailed(const std::wstring& code, const std::wstring& pageAddress) {
  if (code == kLinkUnsupported) {
    Fail(ItemFailure::SiteUnsupported);
  } else if (code == kLinkNotFound) {
    // A page of the five old sites without its video says so in their old
    // words; a page of any other site in plain ones.
    const Site* site = FindSite(GetSiteID(pageAddress));
    Fail(site && site->noVideo ? ItemFailure::NoVideoOnPage : ItemFailure::NoVideo);
  } else {
    // The page address stays: a failed fetch is no verdict on the video.
    Fail(ItemFailure::None, Download.FailureReason());
    TellFailure();
  }
  return kLinkUnsupported;
}

}  // namespace mf
