#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace mf {

// One entry of the Download list.
struct DownloadItem {
  // Stays with the item for its whole life, whatever moves or goes around it;
  // never 0, never given to another item of the same list.
  uint32_t Key = 0;
  int16_t ID = 0;          // position + 1
  std::wstring Video_URL;  // the page address the user gave
  std::wstring FileName;   // local name in the download folder, or a placeholder
  std::wstring Status;
  std::wstring FileSize;
  // The partial file the item's transfer writes ("<final name>.part" in the
  // download folder), once one has started; it is this item's own.
  std::wstring PartFile;
  // What the server said of the file when its partial file was begun: the
  // partial file is continued only while the server still says the same.
  std::wstring PartETag;
  std::wstring PartModified;  // its Last-Modified
  std::wstring PartLength;    // the whole file's length in bytes, as decimal text
};

using DownloadItems = std::vector<DownloadItem>;

// The list holds at most this many items: IDs are 16-bit signed.
constexpr size_t kMaxItems = 32767;

}  // namespace mf
