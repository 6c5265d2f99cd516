#include "media/TsDemux.h"

#include "media/Bytes.h"

namespace mf::media {
namespace {

constexpr uint8_t kSyncByte = 0x47;
constexpr uint16_t kPatPid = 0;

uint64_t ReadTimestamp(ByteReader& r) {
  uint64_t a = r.U8(), b = r.U16(), c = r.U16();
  return (a >> 1 & 7) << 30 | (b >> 1) << 15 | c >> 1;
}

// Stream ids without the optional PES header (ISO/IEC 13818-1, 2.4.3.7).
bool BarePesStream(uint8_t id) {
  return id == 0xBC || id == 0xBE || id == 0xBF || id == 0xF0 || id == 0xF1 || id == 0xF2 ||
         id == 0xF8 || id == 0xFF;
}

}  // namespace

EsKind KindOfStreamType(uint8_t type) {
  switch (type) {
    case 0x1B:
      return EsKind::H264;
    case 0x0F:
      return EsKind::Aac;
    case 0x05:  // private sections
    case 0x0B:  // DSM-CC
    case 0x0C:
    case 0x0D:
    case 0x15:  // timed metadata (ID3)
    case 0x86:  // SCTE-35 cues
      return EsKind::Ignored;
    default:
      return EsKind::Other;
  }
}

PesPacket ReadPes(uint16_t pid, std::string_view bytes) {
  ByteReader head(bytes);
  if (head.U24() != 1) throw FormatError(L"a PES packet has no start code");
  uint8_t id = head.U8();
  uint16_t length = head.U16();
  if (length != 0 && length + 6u < bytes.size()) bytes = bytes.substr(0, length + 6u);
  ByteReader r(bytes);
  r.Skip(6);
  PesPacket pes;
  pes.pid = pid;
  if (BarePesStream(id)) {
    pes.payload.assign(bytes.substr(6));
    return pes;
  }
  r.U8();
  uint8_t timestamps = r.U8() >> 6;
  size_t headerLength = r.U8();
  ByteReader fields(r.Take(headerLength));
  if (timestamps & 2) pes.pts = ReadTimestamp(fields);
  if (timestamps == 3) pes.dts = ReadTimestamp(fields);
  pes.payload.assign(bytes.substr(r.Position()));
  return pes;
}

void TsDemux::Feed(std::string_view packets) {
  for (; packets.size() >= kTsPacket; packets.remove_prefix(kTsPacket))
    Packet(packets.substr(0, kTsPacket));
  if (!packets.empty()) throw FormatError(L"it ends in the middle of a packet");
}

void TsDemux::Packet(std::string_view packet) {
  ByteReader r(packet);
  if (r.U8() != kSyncByte) throw FormatError(L"it is not a transport stream");
  uint16_t head = r.U16();
  bool unitStart = head & 0x4000;
  uint16_t pid = head & 0x1FFF;
  uint8_t control = r.U8();
  if (control >> 6) throw FormatError(L"it is scrambled");
  if (control & 0x20) r.Skip(r.U8());  // the adaptation field
  if (!(control & 0x10)) return;       // no payload
  std::string_view payload = r.Take(r.Left());
  if (pid == kPatPid || pid == pmtPid_) return SectionPayload(pid, unitStart, payload);
  auto pes = pes_.find(pid);
  if (pes == pes_.end()) return;  // a stream the program does not list
  if (unitStart) EndPes(pid);
  if (unitStart || !pes->second.empty()) pes->second.append(payload);
}

void TsDemux::SectionPayload(uint16_t pid, bool unitStart, std::string_view payload) {
  Section& s = sections_[pid];
  if (unitStart) {
    ByteReader r(payload);
    r.Skip(r.U8());  // the pointer field
    s.bytes.assign(payload.substr(r.Position()));
    s.open = true;
  } else if (s.open) {
    s.bytes.append(payload);
  }
  if (!s.open || s.bytes.size() < 3) return;
  size_t length = 3 + ((uint8_t(s.bytes[1]) & 0x0F) << 8 | uint8_t(s.bytes[2]));
  if (s.bytes.size() < length) return;
  s.open = false;
  Table(pid, std::string_view(s.bytes).substr(0, length));
}

// The first program of the PAT, and the streams of its PMT.
void TsDemux::Table(uint16_t pid, std::string_view section) {
  ByteReader r(section);
  r.Skip(8);  // table id, length, id, version, section numbers
  if (pid == kPatPid) {
    while (r.Left() > 4) {
      uint16_t program = r.U16(), mapPid = r.U16() & 0x1FFF;
      if (program != 0) {
        pmtPid_ = mapPid;
        return;
      }
    }
    return;
  }
  r.Skip(2);  // PCR PID
  r.Skip(r.U16() & 0x0FFF);
  std::vector<ElementaryStream> streams;
  while (r.Left() > 4) {
    ElementaryStream es;
    es.type = r.U8();
    es.pid = r.U16() & 0x1FFF;
    r.Skip(r.U16() & 0x0FFF);
    streams.push_back(es);
    pes_.try_emplace(es.pid);
  }
  onStreams_(streams);
}

void TsDemux::EndPes(uint16_t pid) {
  std::string bytes;
  bytes.swap(pes_[pid]);
  if (!bytes.empty()) onPes_(ReadPes(pid, bytes));
}

void TsDemux::Flush() {
  for (auto& [pid, bytes] : pes_) EndPes(pid);
}

}  // namespace mf::media
