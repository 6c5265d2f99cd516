#pragma once
// A track written out one line per segment, so that tests compare whole
// tracks at a glance: "url @offset+length #sequence 2.5s D key=uri iv=hex".
#include <cwchar>
#include <string>
#include <vector>

#include "media/StreamPlan.h"

namespace mf::media {

inline std::wstring SegmentText(const Segment& segment) {
  std::wstring text = segment.url;
  if (segment.range)
    text += L" @" + std::to_wstring(segment.range->offset) + L"+" +
            std::to_wstring(segment.range->length);
  text += L" #" + std::to_wstring(segment.sequence);
  wchar_t seconds[32];
  swprintf(seconds, 32, L" %gs", segment.duration);
  if (segment.duration) text += seconds;
  if (segment.discontinuity) text += L" D";
  if (!segment.key.uri.empty()) text += L" key=" + segment.key.uri;
  if (segment.key.iv) {
    constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring hex;
    for (uint8_t byte : *segment.key.iv) {
      if (hex.empty() && !byte) continue;  // leading zero bytes left out
      hex += kHex[byte >> 4];
      hex += kHex[byte & 15];
    }
    text += L" iv=" + hex;
  }
  return text;
}

// The initialization segment first ("init ..."), then the segments.
inline std::vector<std::wstring> TrackText(const Track& track) {
  std::vector<std::wstring> lines;
  if (track.init) lines.push_back(L"init " + SegmentText(*track.init));
  for (const Segment& segment : track.segments) lines.push_back(SegmentText(segment));
  return lines;
}

}  // namespace mf::media
