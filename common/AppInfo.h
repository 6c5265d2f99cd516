#pragma once
// The program's title: the caption of message boxes that name no title.
namespace mf {
inline constexpr wchar_t kAppTitle[] = L"Marrowfin";
// The maker's web site, opened from the About page.
inline constexpr wchar_t kWebSite[] = L"https://www.tallowmere.com/marrowfin/";
}  // namespace mf
