// Item preparation: resolve the item's page address into its video file's
// address and fill in the local file name and the size.
#include "downloadlist/Vocabulary.h"
#include "resolver/LinkResult.h"
#include "resolver/SiteId.h"
#include "resolver/Sites.h"
#include "transfer/QueueDriver.h"

namespace mf {

void QueueDriver::PrepareItem(int16_t position, std::function<void(const std::wstring&)> done) {
  const DownloadItem* item = position >= 0 ? list_.At(static_cast<size_t>(position)) : nullptr;
  if (!item) return done(kLinkUnsupported);
  const uint32_t key = item->Key;
  RunningKey = key;
  SetItemStatus(vocab::kPreparingStart);
  host_.ItemChanged(RunningKey);
  Resolver.GetDownloadLink(item->Video_URL, [this, key, done](const std::wstring& link) {
    DownloadItem* resolved = list_.ByKey(key);
    if (!resolved) return done(kLinkUnsupported);
    if (link == kLinkUnsupported || link == kLinkNotFound || link == kLinkFetchFailed)
      return done(ResolutionFailed(key, link, resolved->Video_URL));
    GetLocalFileInfo(link, GetSiteID(resolved->Video_URL), [this, key, link, done](const LocalFileInfo& info) {
      DownloadItem* named = list_.ByKey(key);
      if (!named) return done(kLinkUnsupported);
      // Only the placeholder is replaced: a name the user typed stays.
      if (named->FileName == vocab::kAutoDetect) named->FileName = info.FileName;
      named->FileSize = info.FileSize;
      done(link);
    });
  });
}

std::wstring QueueDriver::ResolutionFailed(uint32_t key, const std::wstring& code,
                                           const std::wstring& pageAddress) {
  const int16_t id = list_.ByKey(key)->ID;
  if (code == kLinkUnsupported) {
    list_.UpdateItem(id, L"", vocab::kUnsupportedLink, vocab::kError, L"");
  } else if (code == kLinkNotFound) {
    // A page of one of the five sites without its video loses its address,
    // as it always has; any other page keeps it and says so in plain words.
    const Site* site = FindSite(GetSiteID(pageAddress));
    if (site && site->noVideo)
      list_.UpdateItem(id, L"", site->noVideo, vocab::kError, L"");
    else
      list_.UpdateItem(id, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
  } else {
    // The page address stays: a failed fetch is no verdict on the video.
    list_.UpdateItem(id, L"", L"", vocab::kError, L"");
    TellFailure();
  }
  return kLinkUnsupported;
}

}  // namespace mf
