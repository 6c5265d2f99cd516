#pragma once
// Which supported site a page address belongs to.
#include <cstdint>
#include <string>

namespace mf {

enum SiteID : int16_t {
  siteUnsupported = -1,
  siteGoogleVideo = 1,
  siteYouTube = 2,
  siteAngryAlien = 5,
  siteBreak = 9,
  siteZippyVideos = 13,
};

// Tests the address against the sites' patterns in order (case-insensitive,
// anywhere in the address) and gives the first match, or -1. No network access.
int16_t GetSiteID(const std::wstring& address);

}  // namespace mf
