#pragma once
// What a stream's download has on disk: beside its partial file
// "<name>.part.stream" names the plan the segments belong to and the size of
// each segment file saved in "<name>.part.segments". It is only ever
// replaced whole, and lists a segment only once its file is complete, so a
// stream stopped or killed goes on without fetching a saved segment again.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mf {

struct StreamJournal {
  static constexpr wchar_t kSuffix[] = L".stream";
  static constexpr wchar_t kFolderSuffix[] = L".segments";

  uint64_t plan = 0;           // the identity of the plan: its addresses and ranges
  std::vector<int64_t> sizes;  // one per segment file; -1 while it is not saved

  static std::wstring PathFor(const std::wstring& partFile) { return partFile + kSuffix; }
  static std::wstring FolderFor(const std::wstring& partFile) { return partFile + kFolderSuffix; }
  static std::optional<StreamJournal> Load(const std::wstring& partFile);
  static bool Exists(const std::wstring& partFile);
  bool Save(const std::wstring& partFile) const;
  // The journal and the segment files go.
  static void Remove(const std::wstring& partFile);
};

}  // namespace mf
