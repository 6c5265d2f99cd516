// The codec configurations taken from a transport stream: picture sizes from
// H.264 parameter sets (made by x264), NAL units from Annex B, and the AAC
// configuration from ADTS headers.
#include <gtest/gtest.h>

#include "media/Adts.h"
#include "media/Bytes.h"
#include "media/H264.h"
#include "tests/media/Hex.h"

namespace mf::media {
namespace {

using test::Hex;

TEST(CodecConfigTest, PictureSizeComesFromTheSpsAfterCropping) {
  const struct {
    const char* name;
    const char* sps;
    int width, height;
  } cases[] = {
      {"High, cropped to 360", "6764001eacd940a02ff97011000003000100000300320f162d96", 640, 360},
      {"Baseline, cropped to 1080", "6742c028d900780227e5c044000003000400000300c83c60c920", 1920,
       1080},
      {"High 4:4:4, odd sizes", "67f4000d919b282a33cf7808800000030080000019078a14cb", 330, 190},
      {"interlaced: fields of map units", "6764001eacd940b424d8088000000300800000190f8a14cb", 720,
       576},
      {"High 4:2:2", "677a001ebcd940b435ea3f011000000300100000030320f162d960", 718, 402},
  };
  for (const auto& c : cases) {
    PictureSize size = SpsPictureSize(Hex(c.sps));
    EXPECT_EQ(size.width, c.width) << c.name;
    EXPECT_EQ(size.height, c.height) << c.name;
  }
  EXPECT_THROW(SpsPictureSize(Hex("6764001eac")), FormatError);
}

TEST(CodecConfigTest, AnnexBSplitsAtStartCodesOfEitherLength) {
  const struct {
    const char* stream;
    std::vector<std::string> units;
  } cases[] = {
      {"00000001 09f0 000001 6764 0000 00000001 65aa00", {"09f0", "6764", "65aa"}},
      {"ffff 000001 41 000001", {"41"}},
      {"0000000000", {}},
  };
  for (const auto& c : cases) {
    std::string stream = Hex(c.stream);
    std::vector<std::string> units;
    for (std::string_view unit : SplitAnnexB(stream)) units.emplace_back(unit);
    std::vector<std::string> expected;
    for (const std::string& unit : c.units) expected.push_back(Hex(unit));
    EXPECT_EQ(units, expected) << c.stream;
  }
}

TEST(CodecConfigTest, AdtsHeaderGivesTheAudioSpecificConfig) {
  const struct {
    const char* name;
    const char* header;
    bool valid;
    uint32_t rate;
    size_t headerSize, frameSize;
    bool oneBlock;
    const char* config;
  } cases[] = {
      {"LC, 44.1 kHz, stereo", "fff150800c9ffc", true, 44100, 7, 100, true, "1210"},
      {"with a CRC, 48 kHz, mono", "fff04c400c9ffc", true, 48000, 9, 100, true, "1188"},
      {"two raw blocks in the frame", "fff150800c9ffd", true, 44100, 7, 100, false, "1210"},
      {"no sync word", "ffe150800c9ffc", false},
      {"a sampling rate index past the table", "fff174800c9ffc", false},
      {"a frame shorter than its header", "fff15080000000", false},
      {"cut short", "fff15080", false},
  };
  for (const auto& c : cases) {
    std::optional<AdtsFrame> frame = ReadAdtsHeader(Hex(c.header));
    ASSERT_EQ(frame.has_value(), c.valid) << c.name;
    if (!frame) continue;
    EXPECT_EQ(frame->sampleRate, c.rate) << c.name;
    EXPECT_EQ(frame->headerSize, c.headerSize) << c.name;
    EXPECT_EQ(frame->frameSize, c.frameSize) << c.name;
    EXPECT_EQ(frame->oneBlock, c.oneBlock) << c.name;
    EXPECT_EQ(AudioSpecificConfig(*frame), Hex(c.config)) << c.name;
  }
}

}  // namespace
}  // namespace mf::media
