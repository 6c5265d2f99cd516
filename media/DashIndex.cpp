#include "media/DashIndex.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mf::media {
namespace {

class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  bool Has(size_t count) const { return data_.size() - at_ >= count; }
  uint64_t Read(size_t count) {  // big-endian; the caller checked Has(count)
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) value = value << 8 | static_cast<uint8_t>(data_[at_++]);
    return value;
  }
  size_t At() const { return at_; }

 private:
  std::string_view data_;
  size_t at_ = 0;
};

ReadFailure IndexUnreadable(std::wstring_view why) {
  return Unreadable(L"The stream's index cannot be read: " + std::wstring(why));
}

// Far beyond any file: offsets below it cannot overflow when added up.
constexpr uint64_t kMaxOffset = uint64_t{1} << 60;

struct BoxPlace {
  size_t start = 0, headerSize = 8;
  uint64_t size = 0;
};

// The "sidx" box among the boxes of the bytes.
std::optional<BoxPlace> FindSidx(std::string_view bytes) {
  for (size_t at = 0; bytes.size() - at >= 8;) {
    Bytes header(bytes.substr(at));
    BoxPlace box{at, 8, header.Read(4)};
    std::string_view type = bytes.substr(at + 4, 4);
    header.Read(4);
    if (box.size == 1 && header.Has(8)) {  // a 64-bit size follows the type
      box.size = header.Read(8);
      box.headerSize = 16;
    }
    if (box.size == 0) box.size = bytes.size() - at;  // runs to the end
    if (box.size < box.headerSize || box.size > bytes.size() - at) return std::nullopt;
    if (type == "sidx") return box;
    at += static_cast<size_t>(box.size);
  }
  return std::nullopt;
}

}  // namespace

ReadResult<Track> TrackFromIndex(Track track, std::string_view indexBytes) {
  auto sidx = FindSidx(indexBytes);
  if (!sidx || !track.indexRange) return IndexUnreadable(L"it holds no segment index");
  Bytes box(indexBytes.substr(sidx->start + sidx->headerSize,
                              static_cast<size_t>(sidx->size) - sidx->headerSize));
  if (!box.Has(12)) return IndexUnreadable(L"it is cut short");
  size_t wide = box.Read(1) == 0 ? 4 : 8;  // version 0 writes 32-bit times and offsets
  box.Read(3 + 4);                         // flags, reference ID
  if (!box.Has(4 + 2 * wide + 4)) return IndexUnreadable(L"it is cut short");
  uint64_t timescale = box.Read(4);
  box.Read(wide);  // earliest presentation time
  uint64_t offset = box.Read(wide);
  box.Read(2);
  uint64_t count = box.Read(2);
  if (!box.Has(count * 12)) return IndexUnreadable(L"it is cut short");
  if (offset >= kMaxOffset || static_cast<uint64_t>(track.indexRange->offset) >= kMaxOffset)
    return IndexUnreadable(L"its offsets are too large");
  // Offsets count from the first byte after the box.
  offset += static_cast<uint64_t>(track.indexRange->offset) + sidx->start + sidx->size;
  track.segments.clear();
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t size = box.Read(4);
    uint64_t duration = box.Read(4);
    box.Read(4);  // stream access point
    if (size >> 31) return IndexUnreadable(L"it points to further indexes");
    Segment segment{track.indexUrl,
                    ByteRange{static_cast<int64_t>(offset), static_cast<int64_t>(size)}};
    segment.duration = timescale ? static_cast<double>(duration) / timescale : 0;
    segment.sequence = i + 1;
    track.segments.push_back(std::move(segment));
    offset += size;
  }
  if (track.segments.empty()) return IndexUnreadable(L"it lists no segment");
  track.indexUrl.clear();
  track.indexRange.reset();
  return track;
}

}  // namespace mf::media
