#pragma once
// The video of an ordinary web page, found in the standard markup that pages
// use to describe it.
#include <string>
#include <string_view>

namespace mf {

// What an item says when its page names no video.
inline constexpr wchar_t kNoVideoFound[] = L"No video found on this page";

// The first usable video address of a page, searched in this order:
// og:video:secure_url, og:video:url, og:video (<meta property=...> or
// <meta name=...>), twitter:player:stream, <video src>, <source src> inside
// <video> (those of a "video/..." type first, then those of a playlist or
// manifest type), and the contentUrl (or a media or stream embedUrl) of a
// JSON-LD VideoObject. og:video addresses whose og:video:type is neither a
// "video/..." type nor a stream's (a player page, a Flash movie) are passed
// over. Relative
// and protocol-relative addresses are resolved against <base href> and the
// page's own address (taken as http:// when it has no scheme); only http and
// https results are usable. The page's bytes are decoded by the charset of
// the Content-Type value (may be empty), else of its <meta>, else as UTF-8.
// The result is fit for the wire: a host outside ASCII in its IDNA form,
// other characters outside '!'..'~' percent-encoded as UTF-8. Empty when
// the page has none.
std::wstring FindPageVideo(std::string_view page, std::wstring_view pageAddress,
                           std::wstring_view contentType);

// The same over text already decoded.
std::wstring FindPageVideoInText(std::wstring_view text, std::wstring_view pageAddress);

}  // namespace mf
