#include "resolver/Sites.h"

#include <iterator>
#include <optional>

#include "common/Uri.h"
#include "resolver/HtmlVideoPage.h"
#include "resolver/MediaLink.h"
#include "resolver/PageFile.h"
#include "resolver/SiteId.h"

namespace mf {
namespace {

std::wstring ParseVideoPage(const std::wstring& pageFile, const ParseContext& context) {
  std::optional<std::string> page = ReadPageFile(pageFile);
  return page ? FindPageVideo(*page, context.pageAddress, context.contentType) : std::wstring();
}

bool IsDirectMediaLink(const std::wstring& address) {
  return IsWebAddress(address) && (IsMediaLink(address) || IsStreamLink(address));
}

bool IsWebPage(const std::wstring& address) { return IsWebAddress(address); }

// Tried in this order: the first site that recognises the address wins.
constexpr Site kSites[] = {
    {.id = siteGoogleVideo,
     .pattern = L"video.google.com/videoplay?",
     .parse = [](const std::wstring& page,
                 const ParseContext&) { return ParseGoogleVideoPage(page); },
     .extension = L"",
     .automatic = true},
    // The video is served under a name without extension; names are kept short.
    {.id = siteYouTube,
     .pattern = L"youtube.com/watch?v=",
     .parse = [](const std::wstring& page,
                 const ParseContext&) { return ParseYouTubePlayer(page); },
     .extension = L".flv",
     .nameLimit = 35,
     .automatic = true,
     .followsPlayer = true},
    {.id = siteAngryAlien,
     .pattern = L"angryalien.com",
     .parse = [](const std::wstring& page,
                 const ParseContext&) { return ParseAngryAlienPage(page); },
     .extension = L"",
     .automatic = true},
    {.id = siteBreak,
     .pattern = L"break.com",
     .parse = [](const std::wstring& page, const ParseContext&) { return ParseBreakPage(page); },
     .extension = L"",
     .automatic = true},
    {.id = siteZippyVideos,
     .pattern = L"zippyvideos.com",
     .parse = [](const std::wstring& page,
                 const ParseContext&) { return ParseZippyVideosPage(page); },
     .extension = L".flv",
     .automatic = true},
    {.id = siteMediaLink,
     .recognises = &IsDirectMediaLink,
     .extension = L"",
     .namesFromHeader = true,
     .automatic = true},
    {.id = siteVideoPage,
     .recognises = &IsWebPage,
     .parse = &ParseVideoPage,
     .extension = L"",
     .namesFromHeader = true,
     .noVideo = kNoVideoFound},
};

}  // namespace

std::span<const Site> Sites() { return kSites; }

const Site* FindSite(int16_t id) {
  for (const Site& site : kSites)
    if (site.id == id) return &site;
  return nullptr;
}

}  // namespace mf
