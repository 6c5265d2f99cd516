#pragma once
// SHA-256 digests (lower-case hex) of files and of the test server's made-up
// content, for comparing what arrived with what was sent.
#include <cstdint>
#include <string>

namespace mf::test {

// Empty text when the file cannot be read.
std::string Sha256OfFile(const std::wstring& path);
// The digest of `size` bytes of the test server's pattern with this seed.
std::string Sha256OfPattern(uint32_t seed, uint64_t size);

}  // namespace mf::test
