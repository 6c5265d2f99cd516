#pragma once
// Big-endian numbers and ISO boxes (the building blocks of MP4), read from
// and written to byte strings. A reader that runs out of bytes throws
// FormatError: the caller names the segment that held them.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mf::media {

// A fault of the movie being joined, in plain words for the user.
class MediaError : public std::runtime_error {
 public:
  explicit MediaError(std::wstring why) : std::runtime_error("media"), why_(std::move(why)) {}
  const std::wstring& Why() const noexcept { return why_; }

 private:
  std::wstring why_;
};
// Bytes of an input that are not what they claim to be.
class FormatError : public MediaError {
  using MediaError::MediaError;
};
// The output cannot be written (disk full, no access).
class OutputError : public MediaError {
  using MediaError::MediaError;
};

constexpr uint32_t Fourcc(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  uint8_t U8() { return uint8_t(Take(1)[0]); }
  uint16_t U16() { return uint16_t(Number(2)); }
  uint32_t U24() { return uint32_t(Number(3)); }
  uint32_t U32() { return uint32_t(Number(4)); }
  uint64_t U64() { return Number(8); }
  std::string_view Take(size_t count);
  void Skip(size_t count) { Take(count); }
  size_t Position() const { return pos_; }
  size_t Left() const { return bytes_.size() - pos_; }

 private:
  uint64_t Number(size_t width);
  std::string_view bytes_;
  size_t pos_ = 0;
};

// A box's place: `size` counts its header, `header` is 8 or 16 bytes.
struct BoxHeader {
  uint32_t type = 0;
  uint64_t size = 0;
  uint32_t header = 8;
};
// Reads a box header from the first (up to 16) bytes at a place where
// `available` bytes remain; a size of 0 runs to the end.
BoxHeader ReadBoxHeader(std::string_view head, uint64_t available);

struct Box {
  uint32_t type = 0;
  std::string_view body;  // without the header
  std::string_view whole;
};
// The first box of `bytes` with this type among the boxes laid one after
// another; an empty body when there is none.
Box FindBox(std::string_view bytes, uint32_t type);
// Calls `each(Box)` for every box laid one after another in `bytes`.
template <typename Each>
void ForEachBox(std::string_view bytes, Each each) {
  while (!bytes.empty()) {
    BoxHeader h = ReadBoxHeader(bytes.substr(0, 16), bytes.size());
    std::string_view whole = bytes.substr(0, size_t(h.size));
    each(Box{h.type, whole.substr(h.header), whole});
    bytes.remove_prefix(size_t(h.size));
  }
}

class ByteWriter {
 public:
  void U8(uint64_t v) { Number(v, 1); }
  void U16(uint64_t v) { Number(v, 2); }
  void U24(uint64_t v) { Number(v, 3); }
  void U32(uint64_t v) { Number(v, 4); }
  void U64(uint64_t v) { Number(v, 8); }
  void Bytes(std::string_view bytes) { data_.append(bytes); }
  void Zeros(size_t count) { data_.append(count, '\0'); }
  // Opens a box whose size End fills in; returns where it starts.
  size_t Begin(uint32_t type);
  size_t BeginFull(uint32_t type, uint8_t version, uint32_t flags);
  void End(size_t start);
  void PutU32At(size_t at, uint32_t v);
  void PutU64At(size_t at, uint64_t v);
  size_t Size() const { return data_.size(); }
  const std::string& Data() const { return data_; }

 private:
  void Number(uint64_t v, size_t width);
  std::string data_;
};

}  // namespace mf::media
