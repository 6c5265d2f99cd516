#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace mf {

// One entry of the Download list.
struct DownloadItem {
  int16_t ID = 0;          // position + 1
  std::wstring Video_URL;  // the page address the user gave
  std::wstring FileName;   // local name in the download folder, or a placeholder
  std::wstring Status;
  std::wstring FileSize;
};

using DownloadItems = std::vector<DownloadItem>;

// The list holds at most this many items: IDs are 16-bit signed.
constexpr size_t kMaxItems = 32767;

}  // namespace mf
