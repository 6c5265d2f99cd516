#pragma once
// One parser per supported site: each cuts the video file's address out of the
// page the site served. Empty text whenever a marker, a delimiter or a value is
// missing; no parser reports an error of its own.
#include <functional>
#include <string>
#include <string_view>

namespace mf {

// Break serves its video files from this host.
inline constexpr wchar_t kBreakMediaHost[] = L"media1.break.com";

// The cutting steps over the page text. All searches ignore letter case.
std::wstring CutGoogleVideoAddress(std::string_view page);
// The YouTube player address from the page's embed code (not yet resolved).
std::wstring CutYouTubePlayerAddress(std::string_view page);
std::wstring CutAngryAlienAddress(std::string_view page);
std::wstring CutBreakAddress(std::string_view page);
std::wstring CutZippyVideosAddress(std::string_view page);

// Turns a YouTube player address into the video file's address.
using YoutubePathResolver = std::function<std::wstring(const std::wstring&)>;

// The parsers read the page file whole; an unreadable file gives empty text.
std::wstring ParseGoogleVideoPage(const std::wstring& pageFile);
std::wstring ParseYouTubePage(const std::wstring& pageFile, const YoutubePathResolver& resolve);
// The first half of ParseYouTubePage: the player address the page names,
// which the YouTube redirect then follows.
std::wstring ParseYouTubePlayer(const std::wstring& pageFile);
std::wstring ParseAngryAlienPage(const std::wstring& pageFile);
std::wstring ParseBreakPage(const std::wstring& pageFile);
std::wstring ParseZippyVideosPage(const std::wstring& pageFile);

}  // namespace mf
