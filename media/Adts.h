#pragma once
// AAC as a transport stream carries it: frames behind ADTS headers. MP4
// wants the bare frames and, once, their AudioSpecificConfig in an esds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mf::media {

struct AdtsFrame {
  uint8_t objectType = 0;  // 2: AAC LC
  uint8_t rateIndex = 0;
  uint8_t channels = 0;  // the channel configuration
  uint32_t sampleRate = 0;
  size_t headerSize = 0;  // 7, or 9 with a CRC
  size_t frameSize = 0;   // header included
  bool oneBlock = true;   // one raw data block: one MP4 sample of 1024
};

// The header at the start of `bytes`; none when it is not one, or is cut short.
std::optional<AdtsFrame> ReadAdtsHeader(std::string_view bytes);

// The two-byte AudioSpecificConfig of ISO/IEC 14496-3.
std::string AudioSpecificConfig(const AdtsFrame& frame);

// An mp4a sample entry with its esds.
std::string AacSampleEntry(const AdtsFrame& frame);

}  // namespace mf::media
