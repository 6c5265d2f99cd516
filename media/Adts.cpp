#include "media/Adts.h"

#include "media/Bytes.h"

namespace mf::media {
namespace {

constexpr uint32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                 22050, 16000, 12000, 11025, 8000,  7350};

void Descriptor(ByteWriter& w, uint8_t tag, const std::string& body) {
  w.U8(tag);
  w.U8(body.size());  // every descriptor here is shorter than 128 bytes
  w.Bytes(body);
}

}  // namespace

std::optional<AdtsFrame> ReadAdtsHeader(std::string_view bytes) {
  if (bytes.size() < 7) return std::nullopt;
  auto b = [&](size_t i) { return uint32_t(uint8_t(bytes[i])); };
  if (b(0) != 0xFF || (b(1) & 0xF6) != 0xF0) return std::nullopt;  // sync word, layer 0
  AdtsFrame f;
  f.objectType = uint8_t((b(2) >> 6) + 1);
  f.rateIndex = uint8_t((b(2) >> 2) & 0x0F);
  f.channels = uint8_t((b(2) & 1) << 2 | b(3) >> 6);
  f.headerSize = (b(1) & 1) ? 7 : 9;
  f.frameSize = (b(3) & 3) << 11 | b(4) << 3 | b(5) >> 5;
  f.oneBlock = (b(6) & 3) == 0;
  if (f.rateIndex >= 13 || f.frameSize <= f.headerSize) return std::nullopt;
  f.sampleRate = kRates[f.rateIndex];
  return f;
}

std::string AudioSpecificConfig(const AdtsFrame& frame) {
  uint16_t bits = uint16_t(frame.objectType << 11 | frame.rateIndex << 7 | frame.channels << 3);
  return {char(bits >> 8), char(bits & 0xFF)};
}

std::string AacSampleEntry(const AdtsFrame& frame) {
  ByteWriter config;  // DecoderConfigDescriptor
  config.U8(0x40);    // MPEG-4 audio
  config.U8(0x15);    // an audio stream
  config.U24(0);
  config.U32(0);
  config.U32(0);
  Descriptor(config, 0x05, AudioSpecificConfig(frame));
  ByteWriter es;  // ES_Descriptor
  es.U16(0);
  es.U8(0);
  Descriptor(es, 0x04, config.Data());
  Descriptor(es, 0x06, std::string(1, '\x02'));  // SLConfig: as MP4 has it

  ByteWriter w;
  size_t entry = w.Begin(Fourcc("mp4a"));
  w.Zeros(6);
  w.U16(1);  // data reference index
  w.Zeros(8);
  w.U16(frame.channels == 7 ? 8 : frame.channels);
  w.U16(16);
  w.Zeros(4);
  w.U32(frame.sampleRate <= 0xFFFF ? frame.sampleRate << 16 : 0);
  size_t esds = w.BeginFull(Fourcc("esds"), 0, 0);
  Descriptor(w, 0x03, es.Data());
  w.End(esds);
  w.End(entry);
  return w.Data();
}

}  // namespace mf::media
