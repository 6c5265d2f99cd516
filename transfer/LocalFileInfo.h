#pragma once
// What the information step gives for a video file: the local name to store
// it under and what the server said of its length.
#include <cstdint>
#include <string>

#include "downloadlist/DownloadItem.h"

namespace mf {

struct LocalFileInfo {
  std::wstring FileName;
  SizeKnown Size = SizeKnown::NotAsked;
  int64_t FileLength = -1;  // when Size is Length
};

}  // namespace mf
