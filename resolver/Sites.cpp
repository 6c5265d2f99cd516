#include "resolver/Sites.h"

#include <iterator>

#include "resolver/SiteId.h"

namespace mf {
namespace {

// The first pattern that occurs wins, so the order matters.
constexpr Site kSites[] = {
    {siteGoogleVideo, L"video.google.com/videoplay?",
     [](const std::wstring& page, const ParseContext&) { return ParseGoogleVideoPage(page); }, L"", 0},
    // The video is served under a name without extension; names are kept short.
    {siteYouTube, L"youtube.com/watch?v=",
     [](const std::wstring& page, const ParseContext& c) { return ParseYouTubePage(page, c.followPlayer); },
     L".flv", 35},
    {siteAngryAlien, L"angryalien.com",
     [](const std::wstring& page, const ParseContext&) { return ParseAngryAlienPage(page); }, L"", 0},
    {siteBreak, L"break.com",
     [](const std::wstring& page, const ParseContext&) { return ParseBreakPage(page); }, L"", 0},
    {siteZippyVideos, L"zippyvideos.com",
     [](const std::wstring& page, const ParseContext&) { return ParseZippyVideosPage(page); }, L".flv", 0},
};

}  // namespace

std::span<const Site> Sites() { return kSites; }

const Site* FindSite(int16_t id) {
  for (const Site& site : kSites)
    if (site.id == id) return &site;
  return nullptr;
}

}  // namespace mf
