// Item preparation: resolve the item's page address into its video file's
// address and fill in the local file name and the size.
#include "downloadlist/Vocabulary.h"
#include "resolver/LinkResult.h"
#include "resolver/SiteId.h"
#include "transfer/QueueDriver.h"

namespace mf {

std::wstring QueueDriver::PrepareItem(int16_t position) {
  const auto id = static_cast<int16_t>(position + 1);
  const auto at = static_cast<size_t>(position);
  // The list is read again after every step that yields to the message loop
  // (the rebuild, the fetch, the information request): items may go meanwhile.
  auto present = [&] { return position >= 0 && at < list_.Count(); };
  if (!present()) return kLinkUnsupported;
  list_.UpdateItem(id, L"", L"", vocab::kPreparingStart, L"");
  list_.FillDownloadList();
  if (!present()) return kLinkUnsupported;

  std::wstring link = Resolver.GetDownloadLink(list_.At(at)->Video_URL);
  if (link == kLinkUnsupported) {
    list_.UpdateItem(id, L"", vocab::kUnsupportedLink, vocab::kError, L"");
    return kLinkUnsupported;
  }
  if (link == kLinkNotFound) {
    list_.UpdateItem(id, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
    return kLinkUnsupported;
  }
  if (link == kLinkFetchFailed) {
    // The page address stays: a network failure is no verdict on the video.
    list_.UpdateItem(id, L"", L"", vocab::kError, L"");
    return kLinkUnsupported;
  }
  if (!present()) return kLinkUnsupported;
  const int16_t site = GetSiteID(list_.At(at)->Video_URL);
  const LocalFileInfo info = GetLocalFileInfo(link, site);
  if (!present()) return kLinkUnsupported;
  DownloadItem& item = *list_.At(at);
  // Only the placeholder is replaced: a name the user typed stays.
  if (item.FileName == vocab::kAutoDetect) item.FileName = info.FileName;
  item.FileSize = info.FileSize;
  return link;
}

}  // namespace mf
