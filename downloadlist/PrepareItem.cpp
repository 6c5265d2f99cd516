// Item preparation: resolve the item's page address into its video file's
// address and fill in the local file name and the size.
#include "downloadlist/Vocabulary.h"
#include "downloadlist/modMain.h"
#include "resolver/LinkResult.h"
#include "resolver/SiteId.h"
#include "shell/frmMain.h"

namespace mf {

std::wstring frmMain::PrepareItem(int16_t position) {
  std::wstring result = kLinkUnsupported;
  const auto id = static_cast<int16_t>(position + 1);
  auto& list = modMain::DownloadList;
  if (position < 0 || static_cast<size_t>(position) >= list.size()) return result;
  modMain::UpdateItem(id, L"", L"", vocab::kPreparingStart, L"");
  modMain::FillDownloadList();
  // The rebuild yields to the message loop: the item may have gone meanwhile.
  if (static_cast<size_t>(position) >= list.size()) return result;

  const std::wstring link = GetDownloadLink(list[static_cast<size_t>(position)].Video_URL);
  if (link == kLinkUnsupported) {
    modMain::UpdateItem(id, L"", vocab::kUnsupportedLink, vocab::kError, L"");
  } else if (link == kLinkNotFound) {
    modMain::UpdateItem(id, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
  } else if (link == kLinkFetchFailed) {
    modMain::UpdateItem(id, L"", L"", vocab::kError, L"");
  } else {
    if (static_cast<size_t>(position) >= list.size()) return result;
    const int16_t site = GetSiteID(list[static_cast<size_t>(position)].Video_URL);
    LocalFileInfo info = GetLocalFileInfo(link, site);
    if (static_cast<size_t>(position) >= list.size()) return result;
    DownloadItem& item = list[static_cast<size_t>(position)];
    // Only the placeholder is replaced: a name the user typed stays.
    if (item.FileName == vocab::kAutoDetect) item.FileName = info.FileName;
    item.FileSize = info.FileSize;
    result = link;
  }
  return result;
}

}  // namespace mf
