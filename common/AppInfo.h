#pragma once
// The program's title: the caption of message boxes that name no title.
namespace mf {
inline constexpr wchar_t kAppTitle[] = L"Marrowfin";
}
