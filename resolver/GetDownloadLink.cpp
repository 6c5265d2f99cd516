// From a page address to the address of its video file: fetch the page into
// the page file, then cut the address out with the parser of its site.
#include "common/AppPath.h"
#include "resolver/AddressText.h"
#include "resolver/LinkResult.h"
#include "resolver/PageFile.h"
#include "resolver/PageParsers.h"
#include "resolver/SiteId.h"
#include "shell/frmMain.h"

namespace mf {
namespace {

// IsFetchingPage is true exactly for the length of the fetch.
class FetchingPage {
 public:
  explicit FetchingPage(bool& flag) : flag_(flag) { flag_ = true; }
  ~FetchingPage() { flag_ = false; }
  FetchingPage(const FetchingPage&) = delete;
  FetchingPage& operator=(const FetchingPage&) = delete;

 private:
  bool& flag_;
};

}  // namespace

std::wstring frmMain::GetDownloadLink(const std::wstring& sLink) {
  // An unsupported address costs no network access and leaves the page file alone.
  if (GetSiteID(sLink) == siteUnsupported) return kLinkUnsupported;
  TransferResult.clear();
  // Characters the ANSI entry points cannot carry would turn into "?" and
  // fetch some other page: they go as their UTF-8 bytes, percent-encoded.
  Download.SetUrl(AddressForWire(sLink));
  const std::wstring pageFile = PageFile();
  // The transfer does not truncate the file it writes: a page file that
  // cannot be deleted would mix the old page into the new one.
  if (FileExists(pageFile) && !DeleteFileForced(pageFile)) return kLinkFetchFailed;
  Download.SetLocalFile(pageFile);
  {
    FetchingPage fetching(IsFetchingPage);
    Download.StartDownload();
  }
  if (TransferResult != L"1") return kLinkFetchFailed;

  std::wstring link;
  switch (GetSiteID(sLink)) {
    case siteGoogleVideo:
      link = ParseGoogleVideoPage(pageFile);
      break;
    case siteYouTube:
      link = ParseYouTubePage(
          pageFile, [this](const std::wstring& player) { return GetYoutubePathLnik(player); });
      break;
    case siteAngryAlien:
      link = ParseAngryAlienPage(pageFile);
      break;
    case siteBreak:
      link = ParseBreakPage(pageFile);
      break;
    case siteZippyVideos:
      link = ParseZippyVideosPage(pageFile);
      break;
    default:
      break;
  }
  return link.empty() ? std::wstring(kLinkNotFound) : link;
}

}  // namespace mf
