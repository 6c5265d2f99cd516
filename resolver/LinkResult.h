#pragma once
// The codes GetDownloadLink gives instead of a video file's address.
namespace mf {

// The site of the page address is not supported; nothing was fetched.
inline constexpr wchar_t kLinkUnsupported[] = L"-1";
// The page (or, for YouTube, the player's redirection) could not be fetched.
inline constexpr wchar_t kLinkFetchFailed[] = L"-2";
// The page was fetched but holds no video address.
inline constexpr wchar_t kLinkNotFound[] = L"0";

}  // namespace mf
