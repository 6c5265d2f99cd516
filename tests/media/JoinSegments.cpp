// Joins segment files into one movie as the transfer will, for the Python
// test that makes streams with ffmpeg. Its list (UTF-8, tab-separated):
//   track <video|audio|muxed> <fmp4|ts>
//   init <path>
//   key <key file> <IV in hex, or "sequence">   (for the track's later segments)
//   segment <path> <sequence number> [discontinuity]
// Prints "mp4" or "ts" (what was written), or "error <reason>" and exits 1.
#include <cstdio>
#include <sstream>

#include "common/TextCodec.h"
#include "media/MovieWriter.h"
#include "media/SegmentCipher.h"
#include "tests/support/Files.h"

using namespace mf;
using namespace mf::media;

namespace {

struct Key {
  AesBlock key{};
  std::optional<AesBlock> iv;
};

AesBlock Block(const std::string& bytes) {
  AesBlock block{};
  for (size_t i = 0; i < block.size() && i < bytes.size(); ++i) block[i] = uint8_t(bytes[i]);
  return block;
}

AesBlock FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = hex.size() >= 2 && hex[1] == 'x' ? 2 : 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return Block(bytes);
}

std::wstring Decrypted(const std::wstring& path, const Key& key, uint64_t sequence) {
  std::wstring error;
  auto plain = DecryptSegment(test::ReadFileBytes(path), key.key,
                              key.iv ? *key.iv : SequenceIv(sequence), error);
  if (!plain) throw std::runtime_error(ToUtf8(error));
  test::WriteFileBytes(path + L".plain", *plain);
  return path + L".plain";
}

std::vector<TrackFiles> ReadList(const std::string& text) {
  std::vector<TrackFiles> tracks;
  std::optional<Key> key;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() < 2) continue;
    std::wstring path = FromCodePage(kCodePageUtf8, f[1]);
    if (f[0] == "track") {
      tracks.push_back({f[1] == "video"   ? TrackKind::Video
                        : f[1] == "audio" ? TrackKind::Audio
                                          : TrackKind::Muxed,
                        f[2] == "ts" ? Container::MpegTs : Container::FragmentedMp4});
      key.reset();
    } else if (f[0] == "init") {
      tracks.back().initPath = path;
    } else if (f[0] == "key") {
      key = Key{Block(test::ReadFileBytes(path)), std::nullopt};
      if (f[2] != "sequence") key->iv = FromHex(f[2]);
    } else if (f[0] == "segment") {
      if (key) path = Decrypted(path, *key, std::stoull(f[2]));
      tracks.back().segments.push_back({path, f.size() > 3 && f[3] == "discontinuity"});
    }
  }
  return tracks;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  try {
    std::vector<TrackFiles> tracks =
        ReadList(test::ReadFileBytes(FromCodePage(kCodePageUtf8, argv[1])));
    Result result = WriteMovie(tracks, FromCodePage(kCodePageUtf8, argv[2]));
    if (!result.ok) throw std::runtime_error(ToUtf8(result.error));
    std::puts(result.kind == MovieKind::Mp4 ? "mp4" : "ts");
    return 0;
  } catch (const std::exception& e) {
    std::printf("error\t%s\n", e.what());
    return 1;
  }
}
