#pragma once
// H.264 as a transport stream carries it (Annex B: NAL units after start
// codes) turned into MP4 samples (NAL units after their 4-byte lengths), and
// the parameter sets turned into the avcC configuration.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mf::media {

enum NalType : uint8_t {
  kNalIdr = 5,
  kNalSps = 7,
  kNalPps = 8,
  kNalDelimiter = 9,
  kNalFiller = 12
};

// The NAL units of an Annex B byte stream, without start codes.
std::vector<std::string_view> SplitAnnexB(std::string_view stream);

struct PictureSize {
  int width = 0, height = 0;
};
// The size of the pictures a sequence parameter set announces, after its
// cropping; throws FormatError when the set cannot be read.
PictureSize SpsPictureSize(std::string_view sps);

// An avc1 (or, with parameter sets in the samples, avc3) sample entry.
std::string AvcSampleEntry(const std::vector<std::string>& sps, const std::vector<std::string>& pps,
                           PictureSize size, bool inBand);

}  // namespace mf::media
