#pragma once
// Version numbers of files, read from their version resources.
#include <windows.h>

#include <optional>
#include <string>

namespace sd::mFileVersion {

// "a.b.c.d" from the file's fixed file information, or empty when the file
// has none or its major part is 0. Each part is a signed 16-bit number: a part
// of 32768 or more raises the runtime's overflow error.
std::wstring FileVersion(const std::wstring& fileName);

// The fixed file information of a file, when it has a version resource.
std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::wstring& fileName);

}  // namespace sd::mFileVersion
