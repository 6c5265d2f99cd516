#pragma once
// What a download over several connections has on disk: beside its partial
// file "<name>.part.pieces" names the version the bytes belong to and which
// blocks of kBlockBytes are written. It is only ever replaced whole, after
// the bytes it lists were flushed, so that a download stopped or killed goes
// on with the blocks it had and never trusts one that was not written.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mf {

struct PieceJournal {
  static constexpr int64_t kBlockBytes = 1 << 20;
  static constexpr wchar_t kSuffix[] = L".pieces";

  std::wstring eTag, lastModified;
  int64_t total = 0;
  std::vector<bool> blocks;  // one per block of the file, true when on disk

  static int64_t BlockCount(int64_t total) { return (total + kBlockBytes - 1) / kBlockBytes; }
  static std::wstring PathFor(const std::wstring& partFile) { return partFile + kSuffix; }
  // The journal beside `partFile`; none when there is none or it cannot be read.
  static std::optional<PieceJournal> Load(const std::wstring& partFile);
  // Whether a journal file is there at all, readable or not.
  static bool Exists(const std::wstring& partFile);
  // Written to a temporary file and moved over the old one.
  bool Save(const std::wstring& partFile) const;
  static void Remove(const std::wstring& partFile);

  // Bytes of the blocks on disk.
  int64_t BytesOnDisk() const;
};

}  // namespace mf
