#pragma once
// An MPEG transport stream taken apart: the program map (PAT, PMT) and the
// PES packets of its elementary streams.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf::media {

constexpr size_t kTsPacket = 188;

enum class EsKind { H264, Aac, Ignored, Other };
// How the writer takes a PMT stream type: the two it rewrites, the data
// streams it leaves out (ID3 tags, SCTE-35 cues, DSM-CC), and any other.
EsKind KindOfStreamType(uint8_t streamType);

struct PesPacket {
  uint16_t pid = 0;
  std::optional<uint64_t> pts, dts;
  std::string payload;
};

struct ElementaryStream {
  uint16_t pid = 0;
  uint8_t type = 0;
};

class TsDemux {
 public:
  using StreamsSink = std::function<void(const std::vector<ElementaryStream>&)>;
  using PesSink = std::function<void(PesPacket&&)>;
  TsDemux(StreamsSink onStreams, PesSink onPes)
      : onStreams_(std::move(onStreams)), onPes_(std::move(onPes)) {}
  // Whole packets; throws FormatError at one that is not a transport stream packet.
  void Feed(std::string_view packets);
  // The segment ends: the PES packets under way are complete.
  void Flush();

 private:
  struct Section {
    std::string bytes;
    bool open = false;
  };
  void Packet(std::string_view packet);
  void SectionPayload(uint16_t pid, bool unitStart, std::string_view payload);
  void Table(uint16_t pid, std::string_view section);
  void EndPes(uint16_t pid);

  StreamsSink onStreams_;
  PesSink onPes_;
  std::optional<uint16_t> pmtPid_;
  std::map<uint16_t, Section> sections_;
  std::map<uint16_t, std::string> pes_;  // the PES packets under way, by PID
};

// A PES packet's header read: its timestamps and where its payload starts.
// Throws FormatError when it is not a PES packet.
PesPacket ReadPes(uint16_t pid, std::string_view bytes);

}  // namespace mf::media
