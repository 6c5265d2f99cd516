#pragma once
// Where a video is written while it arrives, and the name it ends under. A
// transfer writes "<final name>.part" and the file takes its final name only
// once all its data is there, so a cut-off file never looks complete.
#include <string>

#include "downloadlist/FileText.h"

namespace mf {

// The highest number a taken name gets: "name (9999).ext".
inline constexpr int kMaxNameNumber = 9999;

// "name (n).ext" (a name without extension gets the number at its end); the
// name itself for n below 2.
std::wstring NumberedName(const std::wstring& name, int n);

// `name`, or the first of "name (2).ext" ... "name (9999).ext" that is free,
// its partial file reserved on disk: no file or folder of that name is in the
// folder, and its partial file is `ownPart` (the item's own from an earlier
// attempt, made again if it went) or could be newly created. Empty when no
// name is free, so that two items never share a partial file.
std::wstring ClaimFileName(const std::wstring& folder, const std::wstring& name,
                           const std::wstring& ownPart);

// Cuts the partial file to nothing; it stays, and so does the name it reserves.
bool EmptyPartFile(const std::wstring& path);

// Renames the complete partial file into the folder under `name`, or under the
// next free name when another file took that one meanwhile; never replaces a
// file. The name it got; empty when it could not be renamed.
std::wstring MoveIntoPlace(const std::wstring& partFile, const std::wstring& folder,
                           const std::wstring& name);

// Marks a downloaded file as coming from the internet, as browsers do (the
// "Zone.Identifier" stream); a file system without streams is left as it is.
void MarkFromInternet(const std::wstring& path, const std::wstring& fileAddress,
                      const std::wstring& pageAddress);

}  // namespace mf
