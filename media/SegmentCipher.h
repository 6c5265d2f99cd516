#pragma once
// AES-128 in CBC mode with PKCS#7 padding, as HLS encrypts whole segments
// (EXT-X-KEY METHOD=AES-128), decrypted with the Windows cryptography API.
// The transfer decrypts each segment as its bytes arrive, or at once.
// windows.h comes before bcrypt.h.
#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mf::media {

using AesBlock = std::array<uint8_t, 16>;

class SegmentDecryptor {
 public:
  // `iv`: the key's IV, or SequenceIv(the segment's sequence number).
  SegmentDecryptor(const AesBlock& key, const AesBlock& iv);
  ~SegmentDecryptor();
  SegmentDecryptor(const SegmentDecryptor&) = delete;
  SegmentDecryptor& operator=(const SegmentDecryptor&) = delete;

  // The next encrypted bytes, in pieces of any size; appends the plain
  // bytes ready so far to `plain` (the last block waits for Finish, as it
  // holds the padding). False when the system cannot decrypt.
  bool Update(std::string_view cipher, std::string& plain);
  // The padding checked and taken off. False, with `error` in plain words,
  // when the segment is not whole blocks or its padding is wrong (a wrong
  // key, or a damaged segment).
  bool Finish(std::string& plain, std::wstring& error);

 private:
  bool Decrypt(size_t count, std::string& plain);
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
  AesBlock iv_;
  std::string held_;  // bytes not yet decrypted: a partial block, or the last one
};

// A whole segment at once; none, with `error` set, as Finish fails.
std::optional<std::string> DecryptSegment(std::string_view cipher, const AesBlock& key,
                                          const AesBlock& iv, std::wstring& error);

}  // namespace mf::media
