#include "resolver/SiteId.h"

#include "common/Text.h"

namespace mf {
namespace {

struct SitePattern {
  const wchar_t* pattern;
  int16_t id;
};

// The first pattern that occurs wins, so the order matters.
constexpr SitePattern kPatterns[] = {
    {L"video.google.com/videoplay?", siteGoogleVideo},
    {L"youtube.com/watch?v=", siteYouTube},
    {L"angryalien.com", siteAngryAlien},
    {L"break.com", siteBreak},
    {L"zippyvideos.com", siteZippyVideos},
};

}  // namespace

int16_t GetSiteID(const std::wstring& address) {
  const std::wstring lower = LowerCase(address);
  for (const SitePattern& p : kPatterns)
    if (lower.find(p.pattern) != std::wstring::npos) return p.id;
  return siteUnsupported;
}

}  // namespace mf
