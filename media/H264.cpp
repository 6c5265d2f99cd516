#include "media/H264.h"

#include "media/Bytes.h"

namespace mf::media {
namespace {

// Reads the bits of a NAL unit's payload, its emulation prevention bytes
// (00 00 03) taken out.
class BitReader {
 public:
  explicit BitReader(std::string_view nal) {
    int zeros = 0;
    for (char c : nal) {
      if (zeros >= 2 && c == 3) {
        zeros = 0;
        continue;
      }
      zeros = c == 0 ? zeros + 1 : 0;
      bytes_.push_back(c);
    }
  }
  uint32_t Bit() {
    if (pos_ >= bytes_.size() * 8) throw FormatError(L"a parameter set ends early");
    uint32_t bit = (uint8_t(bytes_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
    ++pos_;
    return bit;
  }
  uint32_t Bits(int count) {
    uint32_t v = 0;
    while (count-- > 0) v = v << 1 | Bit();
    return v;
  }
  // Exp-Golomb codes.
  uint32_t Ue() {
    int zeros = 0;
    while (Bit() == 0)
      if (++zeros > 31) throw FormatError(L"a parameter set holds an impossible number");
    return (uint32_t(1) << zeros) - 1 + Bits(zeros);
  }
  int32_t Se() {
    uint32_t v = Ue();
    return v & 1 ? int32_t((v + 1) / 2) : -int32_t(v / 2);
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

void SkipScalingLists(BitReader& r, int count) {
  for (int i = 0; i < count; ++i) {
    if (!r.Bit()) continue;
    int size = i < 6 ? 16 : 64, last = 8, next = 8;
    for (int j = 0; j < size && next != 0; ++j) {
      next = (last + r.Se() + 256) % 256;
      last = next == 0 ? last : next;
    }
  }
}

bool HasChromaFormat(uint32_t profile) {
  for (uint32_t p : {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135})
    if (profile == p) return true;
  return false;
}

struct SpsFields {
  uint32_t profile = 0, chroma = 1, lumaDepth = 0, chromaDepth = 0;
  PictureSize size;
};

void SkipPictureOrder(BitReader& r) {
  uint32_t type = r.Ue();
  if (type == 0) {
    r.Ue();
  } else if (type == 1) {
    r.Bit();
    r.Se();
    r.Se();
    for (uint32_t n = r.Ue(); n > 0; --n) r.Se();
  }
}

SpsFields ReadSps(std::string_view sps) {
  BitReader r(sps);
  SpsFields f;
  r.Bits(8);  // the NAL header
  f.profile = r.Bits(8);
  r.Bits(16);  // constraint flags, level
  r.Ue();
  bool separatePlanes = false;
  if (HasChromaFormat(f.profile)) {
    f.chroma = r.Ue();
    if (f.chroma == 3) separatePlanes = r.Bit();
    f.lumaDepth = r.Ue();
    f.chromaDepth = r.Ue();
    r.Bit();
    if (r.Bit()) SkipScalingLists(r, f.chroma == 3 ? 12 : 8);
  }
  r.Ue();  // log2_max_frame_num
  SkipPictureOrder(r);
  r.Ue();
  r.Bit();
  uint32_t widthMbs = r.Ue() + 1, heightUnits = r.Ue() + 1;
  uint32_t frameMbsOnly = r.Bit();
  if (!frameMbsOnly) r.Bit();
  r.Bit();
  uint32_t crop[4] = {};
  if (r.Bit())
    for (uint32_t& c : crop) c = r.Ue();
  // Cropping counts in chroma samples (ISO/IEC 14496-10, 7.4.2.1.1).
  uint32_t planar = f.chroma == 0 || separatePlanes;
  uint32_t unitX = planar ? 1 : (f.chroma == 3 ? 1 : 2);
  uint32_t unitY = (planar ? 1 : (f.chroma == 1 ? 2 : 1)) * (2 - frameMbsOnly);
  int64_t width = int64_t(widthMbs) * 16 - int64_t(unitX) * (crop[0] + crop[1]);
  int64_t height =
      int64_t(heightUnits) * 16 * (2 - frameMbsOnly) - int64_t(unitY) * (crop[2] + crop[3]);
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
    throw FormatError(L"its pictures have an impossible size");
  f.size = {int(width), int(height)};
  return f;
}

}  // namespace

std::vector<std::string_view> SplitAnnexB(std::string_view stream) {
  std::vector<std::string_view> units;
  size_t start = std::string_view::npos;
  for (size_t i = 0; i + 2 < stream.size(); ++i) {
    if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
    if (start != std::string_view::npos) units.push_back(stream.substr(start, i - start));
    start = i + 3;
    i += 2;
  }
  if (start != std::string_view::npos) units.push_back(stream.substr(start));
  // The zeros before a start code (and trailing_zero_8bits) belong to no unit.
  for (std::string_view& unit : units)
    while (!unit.empty() && unit.back() == 0) unit.remove_suffix(1);
  std::erase_if(units, [](std::string_view unit) { return unit.empty(); });
  return units;
}

PictureSize SpsPictureSize(std::string_view sps) { return ReadSps(sps).size; }

std::string AvcSampleEntry(const std::vector<std::string>& sps, const std::vector<std::string>& pps,
                           PictureSize size, bool inBand) {
  SpsFields f = ReadSps(sps.front());
  ByteWriter w;
  size_t entry = w.Begin(Fourcc(inBand ? "avc3" : "avc1"));
  w.Zeros(6);
  w.U16(1);  // data reference index
  w.Zeros(16);
  w.U16(size.width);
  w.U16(size.height);
  w.U32(0x00480000);  // 72 dpi
  w.U32(0x00480000);
  w.U32(0);
  w.U16(1);  // frames per sample
  w.Zeros(32);
  w.U16(0x0018);
  w.U16(0xFFFF);
  size_t avcc = w.Begin(Fourcc("avcC"));
  w.U8(1);
  w.Bytes(sps.front().substr(1, 3));  // profile, compatibility, level
  w.U8(0xFC | 3);                     // 4-byte lengths
  w.U8(0xE0 | sps.size());
  for (const std::string& s : sps) {
    w.U16(s.size());
    w.Bytes(s);
  }
  w.U8(pps.size());
  for (const std::string& p : pps) {
    w.U16(p.size());
    w.Bytes(p);
  }
  // High profiles carry their chroma format and depths (ISO/IEC 14496-15, 5.3.3.1).
  if (f.profile == 100 || f.profile == 110 || f.profile == 122 || f.profile == 144) {
    w.U8(0xFC | f.chroma);
    w.U8(0xF8 | f.lumaDepth);
    w.U8(0xF8 | f.chromaDepth);
    w.U8(0);
  }
  w.End(avcc);
  w.End(entry);
  return w.Data();
}

}  // namespace mf::media
