#pragma once
// What the information step gives for a video file: the local name to store
// it under and the size as display text.
#include <string>

namespace mf {

struct LocalFileInfo {
  std::wstring FileName;
  std::wstring FileSize;
};

}  // namespace mf
