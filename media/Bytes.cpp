#include "media/Bytes.h"

namespace mf::media {

std::string_view ByteReader::Take(size_t count) {
  if (count > Left()) throw FormatError(L"its data ends in the middle of a record");
  std::string_view piece = bytes_.substr(pos_, count);
  pos_ += count;
  return piece;
}

uint64_t ByteReader::Number(size_t width) {
  uint64_t v = 0;
  for (char c : Take(width)) v = v << 8 | uint8_t(c);
  return v;
}

BoxHeader ReadBoxHeader(std::string_view head, uint64_t available) {
  if (available < 8 || head.size() < 8) throw FormatError(L"a box is cut short");
  ByteReader r(head);
  BoxHeader h;
  h.size = r.U32();
  h.type = r.U32();
  if (h.size == 1) {
    if (available < 16 || head.size() < 16) throw FormatError(L"a box is cut short");
    h.size = r.U64();
    h.header = 16;
  } else if (h.size == 0) {
    h.size = available;
  }
  if (h.size < h.header) throw FormatError(L"a box has an impossible size");
  if (h.size > available) throw FormatError(L"a box runs past the end of its data");
  return h;
}

Box FindBox(std::string_view bytes, uint32_t type) {
  Box found;
  ForEachBox(bytes, [&](const Box& box) {
    if (box.type == type && found.whole.empty()) found = box;
  });
  return found;
}

size_t ByteWriter::Begin(uint32_t type) {
  size_t start = data_.size();
  U32(0);
  U32(type);
  return start;
}

size_t ByteWriter::BeginFull(uint32_t type, uint8_t version, uint32_t flags) {
  size_t start = Begin(type);
  U8(version);
  U24(flags);
  return start;
}

void ByteWriter::End(size_t start) { PutU32At(start, uint32_t(data_.size() - start)); }

void ByteWriter::PutU32At(size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) data_[at + i] = char(v >> (24 - 8 * i));
}

void ByteWriter::PutU64At(size_t at, uint64_t v) {
  PutU32At(at, uint32_t(v >> 32));
  PutU32At(at + 4, uint32_t(v));
}

void ByteWriter::Number(uint64_t v, size_t width) {
  for (size_t i = width; i-- > 0;) data_.push_back(char(v >> (8 * i)));
}

}  // namespace mf::media
