#include "tests/support/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <functional>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "tests/support/HttpServer.h"

namespace mf::test {
namespace {

// Feeds the hash with blocks from `next` until it returns 0 bytes.
std::string Digest(const std::function<size_t(std::vector<char>&)>& next) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return {};
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::string hex;
  if (BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
    std::vector<char> block(1 << 20);
    bool ok = true;
    for (size_t n; ok && (n = next(block)) > 0;)
      ok = BCryptHashData(hash, reinterpret_cast<PUCHAR>(block.data()), static_cast<ULONG>(n), 0) ==
           0;
    UCHAR digest[32];
    if (ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0) {
      static const char kHex[] = "0123456789abcdef";
      for (UCHAR b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
      }
    }
    BCryptDestroyHash(hash);
  }
  BCryptCloseAlgorithmProvider(alg, 0);
  return hex;
}

}  // namespace

std::string Sha256OfFile(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  return Digest([&](std::vector<char>& block) -> size_t {
    DWORD read = 0;
    if (!ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr))
      return 0;
    return read;
  });
}

std::string Sha256OfPattern(uint32_t seed, uint64_t size) {
  uint64_t offset = 0;
  return Digest([&](std::vector<char>& block) -> size_t {
    size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size - offset));
    FillPattern(seed, offset, block.data(), n);
    offset += n;
    return n;
  });
}

}  // namespace mf::test
