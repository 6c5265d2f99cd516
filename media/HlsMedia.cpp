#include "media/HlsMedia.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/Text.h"
#include "common/Uri.h"
#include "media/HlsText.h"
#include "media/NumberText.h"

namespace mf::media {
namespace {

// "0x" and up to 32 hexadecimal digits, right-aligned in 16 bytes.
std::optional<std::array<uint8_t, 16>> ParseIv(std::wstring_view text) {
  if (text.size() < 3 || text[0] != L'0' || (text[1] != L'x' && text[1] != L'X')) return {};
  text.remove_prefix(2);
  if (text.size() > 32) return {};
  std::array<uint8_t, 16> iv{};
  size_t nibble = 0;
  for (auto c = text.rbegin(); c != text.rend(); ++c, ++nibble) {
    int value = HexDigitValue(*c);
    if (value < 0) return {};
    iv[15 - nibble / 2] |= static_cast<uint8_t>(nibble % 2 ? value << 4 : value);
  }
  return iv;
}

// "n[@o]": the offset is absent when it follows on from the previous range.
struct RangeTag {
  int64_t length = 0;
  std::optional<int64_t> offset;
};

std::optional<RangeTag> ParseRangeTag(std::wstring_view text) {
  size_t at = text.find(L'@');
  auto length = ParseCount(text.substr(0, at));
  if (!length) return std::nullopt;
  if (at == std::wstring_view::npos) return RangeTag{*length, std::nullopt};
  auto offset = ParseCount(text.substr(at + 1));
  if (!offset || *offset > INT64_MAX - *length) return std::nullopt;
  return RangeTag{*length, offset};
}

class MediaReader {
 public:
  explicit MediaReader(std::wstring_view playlistUrl) : base_(playlistUrl) {}

  // Empty when the line was taken; else why the playlist is not to be read.
  std::optional<ReadFailure> Take(std::wstring_view line);
  ReadResult<Track> Finish();

 private:
  std::optional<ReadFailure> TakeKey(std::wstring_view value);
  std::optional<ReadFailure> TakeMap(std::wstring_view value);
  std::optional<ReadFailure> TakeUri(std::wstring_view line);
  std::optional<ByteRange> Place(const std::wstring& url, const std::optional<RangeTag>& tag);
  SegmentKey KeyFor(uint64_t sequence) const;

  std::wstring base_;
  Track track_;
  uint64_t sequence_ = 0;
  bool endList_ = false;
  double duration_ = 0;
  bool discontinuity_ = false;
  std::optional<RangeTag> range_;
  std::wstring keyUri_;  // empty: no key
  std::optional<std::array<uint8_t, 16>> keyIv_;
  std::wstring lastRangeUrl_;
  int64_t lastRangeEnd_ = 0;
};

std::optional<ReadFailure> MediaReader::Take(std::wstring_view line) {
  std::wstring_view value;
  if (line[0] != L'#') return TakeUri(line);
  if (IsTag(line, L"EXT-X-STREAM-INF"))
    return PlaylistUnreadable(L"it is a master playlist, not a media playlist");
  if (IsTag(line, L"EXTINF", &value)) {
    duration_ = std::max(0.0, ParseDecimal(value.substr(0, value.find(L','))).value_or(0));
  } else if (IsTag(line, L"EXT-X-BYTERANGE", &value)) {
    range_ = ParseRangeTag(value);
    if (!range_) return PlaylistUnreadable(L"a byte range is not written as length@offset");
  } else if (IsTag(line, L"EXT-X-MEDIA-SEQUENCE", &value)) {
    auto sequence = ParseCount(value);
    if (!sequence) return PlaylistUnreadable(L"its media sequence is not a number");
    sequence_ = static_cast<uint64_t>(*sequence);
  } else if (IsTag(line, L"EXT-X-DISCONTINUITY")) {
    discontinuity_ = true;
  } else if (IsTag(line, L"EXT-X-ENDLIST")) {
    endList_ = true;
  } else if (IsTag(line, L"EXT-X-KEY", &value)) {
    return TakeKey(value);
  } else if (IsTag(line, L"EXT-X-MAP", &value)) {
    return TakeMap(value);
  }
  return std::nullopt;
}

std::optional<ReadFailure> MediaReader::TakeKey(std::wstring_view value) {
  HlsAttributes key = ParseAttributes(value);
  if (IsProtectedKey(key)) return ProtectedRefusal();
  std::wstring method = Attribute(key, L"METHOD");
  if (method == L"NONE") {
    keyUri_.clear();
    keyIv_.reset();
    return std::nullopt;
  }
  if (method != L"AES-128")
    return PlaylistUnreadable(L"its segments are encrypted in an unknown way");
  std::wstring uri = Attribute(key, L"URI");
  if (uri.empty()) return PlaylistUnreadable(L"a key has no address");
  keyIv_.reset();
  if (HasAttribute(key, L"IV")) {
    keyIv_ = ParseIv(Attribute(key, L"IV"));
    if (!keyIv_) return PlaylistUnreadable(L"a key's IV is not a 128-bit hexadecimal number");
  }
  keyUri_ = ResolveReference(base_, uri);
  return std::nullopt;
}

std::optional<ReadFailure> MediaReader::TakeMap(std::wstring_view value) {
  HlsAttributes map = ParseAttributes(value);
  std::wstring uri = Attribute(map, L"URI");
  if (uri.empty()) return PlaylistUnreadable(L"its initialization section has no address");
  Segment init;
  init.url = ResolveReference(base_, uri);
  if (HasAttribute(map, L"BYTERANGE")) {
    auto tag = ParseRangeTag(Attribute(map, L"BYTERANGE"));
    if (!tag) return PlaylistUnreadable(L"a byte range is not written as length@offset");
    init.range = ByteRange{tag->offset.value_or(0), tag->length};
  }
  init.sequence = sequence_ + track_.segments.size();
  init.key = KeyFor(init.sequence);
  // One track has one initialization section: a playlist that changes it
  // part way changes its format, which one movie cannot hold.
  if (track_.init && !SamePlace(*track_.init, init))
    return PlaylistUnreadable(L"its format changes part way");
  track_.container = Container::FragmentedMp4;
  track_.init = std::move(init);
  return std::nullopt;
}

// The range of the next part of `url`. Without an offset it follows the
// previous segment's range of the same resource, or at the first such
// segment the initialization section's range, as single-file playlists place them.
std::optional<ByteRange> MediaReader::Place(const std::wstring& url,
                                            const std::optional<RangeTag>& tag) {
  if (!tag) return std::nullopt;
  std::optional<int64_t> offset = tag->offset;
  if (!offset && url == lastRangeUrl_) offset = lastRangeEnd_;
  const std::optional<Segment>& init = track_.init;
  if (!offset && lastRangeUrl_.empty() && init && init->range && init->url == url)
    offset = init->range->offset + init->range->length;
  if (!offset || *offset > INT64_MAX - tag->length) return std::nullopt;
  lastRangeUrl_ = url;
  lastRangeEnd_ = *offset + tag->length;
  return ByteRange{*offset, tag->length};
}

SegmentKey MediaReader::KeyFor(uint64_t sequence) const {
  if (keyUri_.empty()) return {};
  return {keyUri_, keyIv_ ? keyIv_ : SequenceIv(sequence)};
}

std::optional<ReadFailure> MediaReader::TakeUri(std::wstring_view line) {
  if (track_.segments.size() >= kMaxSegmentsPerTrack)
    return PlaylistUnreadable(L"it lists too many segments");
  Segment segment;
  segment.url = ResolveReference(base_, line);
  segment.range = Place(segment.url, range_);
  if (range_ && !segment.range)
    return PlaylistUnreadable(L"a byte range does not say where it starts");
  segment.duration = duration_;
  segment.sequence = sequence_ + track_.segments.size();
  segment.discontinuity = discontinuity_;
  segment.key = KeyFor(segment.sequence);
  track_.segments.push_back(std::move(segment));
  duration_ = 0;
  discontinuity_ = false;
  range_.reset();
  return std::nullopt;
}

ReadResult<Track> MediaReader::Finish() {
  if (!endList_) return LiveRefusal();
  if (track_.segments.empty()) return PlaylistUnreadable(L"it lists no segment");
  return std::move(track_);
}

}  // namespace

ReadResult<Track> ReadHlsMedia(std::string_view bytes, std::wstring_view playlistUrl) {
  ReadResult<std::wstring> text = PlaylistText(bytes);
  if (!text) return text.Failure();
  MediaReader reader(playlistUrl);
  for (std::wstring_view line : PlaylistLines(*text))
    if (auto failure = reader.Take(line)) return *failure;
  return reader.Finish();
}

}  // namespace mf::media
