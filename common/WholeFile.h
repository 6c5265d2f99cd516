#pragma once
// A small file read or replaced as a whole, for state the program keeps
// between runs. Paths are UTF-16 and go to the wide entry points: the user's
// profile folder may hold characters the ANSI code page lacks.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The file's bytes; nothing when it cannot be opened or read, or holds more
// than `maxBytes` (ERROR_FILE_TOO_LARGE). `error` gets GetLastError's code then.
std::optional<std::string> ReadWholeFile(const std::wstring& path, size_t maxBytes, DWORD& error);

// Writes the bytes to "<path>.new", flushes them to the disk and only then
// renames that file over `path`: whenever the program stops, `path` holds
// either all of the old bytes or all of the new ones. False when any step
// failed; `path` is untouched then.
bool ReplaceWholeFile(const std::wstring& path, std::string_view bytes);

// The name the new bytes are written under before they replace the file.
std::wstring NewFileName(const std::wstring& path);

}  // namespace mf
