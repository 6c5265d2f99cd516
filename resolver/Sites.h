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

// What a parser knows of the page it reads.
struct ParseContext {
  std::wstring pageAddress;  // where the page came from (after redirects)
  std::wstring contentType;  // the page's Content-Type, charset included
};

struct Site {
  int16_t id;              // the SiteID
  const wchar_t* pattern;  // lower case; may occur anywhere in the address
  // For a site without a pattern: whether an address is the site's.
  bool (*recognises)(const std::wstring& address);
  // Cuts the video file's address out of the page file; empty text for none.
  // None: the address is the file's own and no page is fetched.
  std::wstring (*parse)(const std::wstring& pageFile, const ParseContext& context);
  const wchar_t* extension;  // appended to every local name of the site ("" for none)
  size_t nameLimit;          // local names longer than this are cut, extension kept (0: no limit)
  // The five sites name files as they always have (the text after
  // "filename=", or the link's end); the others read the header as RFC 6266
  // defines it, else take the address's last segment, percent-decoded.
  bool namesFromHeader;
  // When the page holds no video: what the item's file name says, the page
  // address staying. None: the five sites' texts, which replace the address.
  const wchar_t* noVideo;
  bool automatic;  // the clipboard monitor takes the site's addresses
  // The parser gives a player's address, which the YouTube redirect follows
  // to the video file's address.
  bool followsPlayer;
};

// The rows in the order they are tried: the first pattern found wins.
std::span<const Site> Sites();

// The row of a site identifier; none for -1 or an unknown value.
const Site* FindSite(int16_t id);

}  // namespace mf
