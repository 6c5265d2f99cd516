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
  // Beyond the five sites, tried after them:
  siteMediaLink = 20,  // an http(s) address of a video or audio file itself
  siteVideoPage = 21,  // any other http(s) page, searched for a video in its markup
};

// Tests the address against the sites in order (the five sites' patterns,
// case-insensitive, anywhere in the address; then a direct media link; then
// any web page) and gives the first match, or -1. No network access.
int16_t GetSiteID(const std::wstring& address);

// Whether the address is one the program downloads without asking: a page
// of the five sites or a direct media link (the clipboard monitor takes only
// these, never every copied link).
bool IsAutomaticAddress(const std::wstring& address);

}  // namespace mf
