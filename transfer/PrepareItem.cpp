// Item preparation: resolve the item's page address into its video file's
// address and fill in the local file name and the size.
#include "downloadlist/Vocabulary.h"
#include "resolver/LinkResult.h"
#include "resolver/SiteId.h"
#include "resolver/Sites.h"
#include "transfer/QueueDriver.h"

namespace mf {

std::wstring QueueDriver::PrepareItem(int16_t position) {
  const DownloadItem* item = position >= 0 ? list_.At(static_cast<size_t>(position)) : nullptr;
  if (!item) return kLinkUnsupported;
  RunningKey = item->Key;
  return Prepare(item->Key);
}

std::wstring QueueDriver::Prepare(uint32_t key) {
  // The item is found again after every step that yields to the message loop
  // (the rebuild, the fetch, the information request): it may move or go.
  // After a stop, or once the item went, nothing more is asked of the network.
  if (!SetItemStatus(vocab::kPreparingStart)) return kLinkUnsupported;
  list_.FillDownloadList();
  if (StopRequested()) return kLinkUnsupported;
  const std::wstring pageAddress = list_.ByKey(key)->Video_URL;

  std::wstring link = Resolver.GetDownloadLink(pageAddress);
  if (StopRequested()) return kLinkUnsupported;
  const int16_t id = list_.ByKey(key)->ID;
  if (link == kLinkUnsupported) {
    list_.UpdateItem(id, L"", vocab::kUnsupportedLink, vocab::kError, L"");
    return kLinkUnsupported;
  }
  if (link == kLinkNotFound) {
    // A page of one of the five sites without its video loses its address,
    // as it always has; any other page keeps it and says so in plain words.
    const Site* site = FindSite(GetSiteID(pageAddress));
    if (site && site->noVideo)
      list_.UpdateItem(id, L"", site->noVideo, vocab::kError, L"");
    else
      list_.UpdateItem(id, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
    return kLinkUnsupported;
  }
  if (link == kLinkFetchFailed) {
    // The page address stays: a failed fetch is no verdict on the video.
    list_.UpdateItem(id, L"", L"", vocab::kError, L"");
    TellFailure(*list_.ByKey(key));
    return kLinkUnsupported;
  }
  const LocalFileInfo info = GetLocalFileInfo(link, GetSiteID(pageAddress));
  if (StopRequested()) return kLinkUnsupported;
  DownloadItem& item = *list_.ByKey(key);
  // Only the placeholder is replaced: a name the user typed stays.
  if (item.FileName == vocab::kAutoDetect) item.FileName = info.FileName;
  item.FileSize = info.FileSize;
  return link;
}

}  // namespace mf
