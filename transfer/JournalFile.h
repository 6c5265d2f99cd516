#pragma once
// Journals beside a partial file: small texts read whole, and only ever
// replaced whole, so that a program killed while writing one leaves the old
// one or the new one, never half of each.
#include <string>

namespace mf {

// The file's bytes; empty when it cannot be read or is over 16 MiB.
std::string ReadSmallFile(const std::wstring& path);
// Written to "<path>.new", flushed, and moved over `path`.
bool ReplaceFileWith(const std::wstring& path, const std::string& text);

}  // namespace mf
