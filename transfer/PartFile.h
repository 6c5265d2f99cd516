#pragma once
// Where a video is written while it arrives, and the name it ends under. A
// transfer writes "<final name>.part" and the file takes its final name only
// once all its data is there, so a cut-off file never looks complete.
#include <string>

namespace mf {

inline constexpr wchar_t kPartSuffix[] = L".part";

// `name`, or the first of "name (2).ext", "name (3).ext"... for which no file
// of that name is in the folder and no partial file either, unless that
// partial file is `ownPart` (the item's own, from an earlier attempt).
std::wstring FreeFileName(const std::wstring& folder, const std::wstring& name,
                          const std::wstring& ownPart);

// Renames the complete partial file into the folder under `name`, or under the
// next free name when another file took that one meanwhile; never replaces a
// file. The name it got; empty when it could not be renamed.
std::wstring MoveIntoPlace(const std::wstring& partFile, const std::wstring& folder,
                           const std::wstring& name);

}  // namespace mf
