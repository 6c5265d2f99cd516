// AES-128-CBC segments (made with openssl, key 00..0f, the IV of sequence
// number 5), decrypted whole and in pieces of any size.
#include <gtest/gtest.h>

#include "media/SegmentCipher.h"
#include "media/StreamPlan.h"
#include "tests/media/Hex.h"

namespace mf::media {
namespace {

using test::Hex;

TEST(SegmentCipherTest, PaddingIsTakenOffOrTheSegmentRefused) {
  const AesBlock key = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const struct {
    const char* name;
    const char* cipher;
    const char* plain;  // null: refused, with `why` in the reason
    const wchar_t* why;
  } cases[] = {
      {"one byte of padding", "0880facabd52a0fad800bb2af04681e3", "Hello, segment!"},
      {"a block of padding", "69844cb8863a35448da0c864986510fee4c2b76f1caf7137abb50a2136b784b5",
       "0123456789abcdef"},
      {"blocks chained",
       "dfb9d476a489ebc9c9c3139e1fbbd98492387a22c89677c8f190f54932bb721a"
       "609a401b9f40b1e0ba25a589cde3caae",
       "The quick brown fox jumps over the lazy dog"},
      {"padding of zero", "d000a25c4e588f0137f2b821675a111d", nullptr, L"padding"},
      {"padding bytes that differ", "faae93647918199342dedafac7c70631", nullptr, L"padding"},
      {"padding longer than a block", "60a134563e0e22d78651520a0e31f540", nullptr, L"padding"},
      {"a block cut short", "0880facabd52a0fad800bb2af04681", nullptr, L"16-byte blocks"},
      {"nothing", "", nullptr, L"16-byte blocks"},
  };
  for (const auto& c : cases) {
    std::string cipher = Hex(c.cipher);
    for (size_t piece : {1, 5, 16, 17, 1000}) {
      SegmentDecryptor decryptor(key, SequenceIv(5));
      std::string plain;
      for (size_t at = 0; at < cipher.size(); at += piece)
        ASSERT_TRUE(decryptor.Update(std::string_view(cipher).substr(at, piece), plain));
      std::wstring error;
      bool finished = decryptor.Finish(plain, error);
      EXPECT_EQ(finished, c.plain != nullptr) << c.name << ", pieces of " << piece;
      if (finished) {
        EXPECT_EQ(plain, c.plain) << c.name << ", pieces of " << piece;
      } else {
        EXPECT_NE(error.find(c.why), std::wstring::npos) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace mf::media
