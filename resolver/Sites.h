#pragma once
// The supported sites, one row each: how a page address is recognised, which
// parser reads its page, and how its video files are named. Site recognition,
// link resolution and file naming all read this one table. Adding a site is
// one row here and one parser.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "resolver/PageParsers.h"

namespace mf {

// What a parser may ask of link resolution while it reads a page.
struct ParseContext {
  // Follows a YouTube player address to the video file's address.
  YoutubePathResolver followPlayer;
};

struct Site {
  int16_t id;                // the SiteID
  const wchar_t* pattern;    // lower case; may occur anywhere in the address
  // Cuts the video file's address out of the page file; empty text for none.
  std::wstring (*parse)(const std::wstring& pageFile, const ParseContext& context);
  const wchar_t* extension;  // appended to every local name of the site ("" for none)
  size_t nameLimit;          // local names longer than this are cut, extension kept (0: no limit)
};

// The rows in the order they are tried: the first pattern found wins.
std::span<const Site> Sites();

// The row of a site identifier; none for -1 or an unknown value.
const Site* FindSite(int16_t id);

}  // namespace mf
