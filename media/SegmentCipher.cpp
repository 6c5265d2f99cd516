#include "media/SegmentCipher.h"

namespace mf::media {
namespace {

constexpr size_t kBlock = 16;

}  // namespace

SegmentDecryptor::SegmentDecryptor(const AesBlock& key, const AesBlock& iv) : iv_(iv) {
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_AES_ALGORITHM, nullptr, 0)))
    return;
  auto mode = reinterpret_cast<const UCHAR*>(BCRYPT_CHAIN_MODE_CBC);
  if (!BCRYPT_SUCCESS(BCryptSetProperty(algorithm_, BCRYPT_CHAINING_MODE, const_cast<UCHAR*>(mode),
                                        sizeof BCRYPT_CHAIN_MODE_CBC, 0)) ||
      !BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(
          algorithm_, &key_, nullptr, 0, const_cast<UCHAR*>(key.data()), ULONG(key.size()), 0)))
    key_ = nullptr;
}

SegmentDecryptor::~SegmentDecryptor() {
  if (key_) BCryptDestroyKey(key_);
  if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

bool SegmentDecryptor::Update(std::string_view cipher, std::string& plain) {
  held_.append(cipher);
  // Whole blocks, keeping at least one back for Finish.
  return Decrypt(held_.size() < kBlock ? 0 : (held_.size() - 1) / kBlock * kBlock, plain);
}

// Decrypts the first `count` held bytes (whole blocks) onto `plain`.
bool SegmentDecryptor::Decrypt(size_t count, std::string& plain) {
  if (!key_) return false;
  if (count == 0) return true;
  size_t at = plain.size();
  plain.resize(at + count);
  ULONG done = 0;
  // BCryptDecrypt leaves the last cipher block in the IV: the chain goes on in the next call.
  NTSTATUS status = BCryptDecrypt(
      key_, reinterpret_cast<UCHAR*>(held_.data()), ULONG(count), nullptr, iv_.data(),
      ULONG(iv_.size()), reinterpret_cast<UCHAR*>(plain.data() + at), ULONG(count), &done, 0);
  held_.erase(0, count);
  if (!BCRYPT_SUCCESS(status) || done != count) {
    plain.resize(at);
    return false;
  }
  return true;
}

bool SegmentDecryptor::Finish(std::string& plain, std::wstring& error) {
  if (!key_) {
    error = L"Windows cannot decrypt AES-128";
    return false;
  }
  if (held_.size() != kBlock) {
    error = L"the encrypted segment is not a whole number of 16-byte blocks";
    return false;
  }
  std::string last;
  if (!Decrypt(kBlock, last)) {
    error = L"Windows cannot decrypt AES-128";
    return false;
  }
  uint8_t pad = last.empty() ? 0 : uint8_t(last.back());
  bool padded = pad >= 1 && pad <= kBlock;
  for (size_t i = 0; padded && i < pad; ++i) padded = uint8_t(last[kBlock - 1 - i]) == pad;
  if (!padded) {
    error = L"the decrypted segment's padding is wrong: the key is wrong or the segment is damaged";
    return false;
  }
  plain.append(last, 0, kBlock - pad);
  return true;
}

std::optional<std::string> DecryptSegment(std::string_view cipher, const AesBlock& key,
                                          const AesBlock& iv, std::wstring& error) {
  SegmentDecryptor decryptor(key, iv);
  std::string plain;
  if (!decryptor.Update(cipher, plain)) {
    error = L"Windows cannot decrypt AES-128";
    return std::nullopt;
  }
  if (!decryptor.Finish(plain, error)) return std::nullopt;
  return plain;
}

}  // namespace mf::media
