#pragma once
// The page file: the page fetched most recently, in the user's own folder of
// the program (an installed program may not write beside itself).
#include <optional>
#include <string>

namespace mf {

// UserDataFolder() + "\Parse.pgq", the folder made when missing; the
// temporary folder stands in when the system names no such folder. Items
// resolved at once each have a page file: number n > 0 is "Parse n.pgq".
std::wstring PageFile(int number = 0);

// Pages are some hundred kilobytes; a larger file is not read (it would only
// take the memory of a 32-bit process).
constexpr long long kMaxPageBytes = 64LL << 20;

// The whole file as single-byte text; nothing when it cannot be read. Never
// creates the file.
std::optional<std::string> ReadPageFile(const std::wstring& path);

}  // namespace mf
