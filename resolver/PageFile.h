#pragma once
// The page file: the page fetched most recently, beside the program.
#include <optional>
#include <string>

namespace mf {

// The program folder + "\Parse.pgq".
std::wstring PageFile();

// Pages are some hundred kilobytes; a larger file is not read (it would only
// take the memory of a 32-bit process).
constexpr long long kMaxPageBytes = 64LL << 20;

// The whole file as single-byte text; nothing when it cannot be read. Never
// creates the file.
std::optional<std::string> ReadPageFile(const std::wstring& path);

}  // namespace mf
