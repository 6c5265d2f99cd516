#include "media/QualityChoice.h"

#include <algorithm>
#include <string>

namespace mf::media {
namespace {

constexpr std::wstring_view kVideoCodecs[] = {L"avc1", L"avc3", L"hvc1", L"hev1", L"dvh1",
                                              L"dvhe", L"vp09", L"vp8",  L"av01", L"mp4v"};
constexpr std::wstring_view kAudioCodecs[] = {L"mp4a", L"ac-3", L"ec-3", L"ac-4",
                                              L"opus", L"flac", L"mp3",  L"vorbis"};

template <size_t N>
bool HasCodec(std::wstring_view codecs, const std::wstring_view (&known)[N]) {
  while (!codecs.empty()) {
    size_t comma = codecs.find(L',');
    std::wstring_view codec = codecs.substr(0, comma);
    while (!codec.empty() && codec.front() == L' ') codec.remove_prefix(1);
    for (std::wstring_view name : known)
      if (codec.substr(0, name.size()) == name) return true;
    codecs.remove_prefix(comma == std::wstring_view::npos ? codecs.size() : comma + 1);
  }
  return false;
}

int CapOf(Quality quality) {
  switch (quality) {
    case Quality::UpTo1080:
      return 1080;
    case Quality::UpTo720:
      return 720;
    case Quality::UpTo480:
      return 480;
    default:
      return 0;
  }
}

bool Smaller(const VersionShape& a, const VersionShape& b) {
  return a.height != b.height ? a.height < b.height : a.bandwidth < b.bandwidth;
}

}  // namespace

bool HasVideoCodec(std::wstring_view codecs) { return HasCodec(codecs, kVideoCodecs); }
bool HasAudioCodec(std::wstring_view codecs) { return HasCodec(codecs, kAudioCodecs); }

size_t ChooseVersion(const std::vector<VersionShape>& versions, Quality quality) {
  std::vector<size_t> pool;
  auto narrow = [&](auto keep) {
    std::vector<size_t> kept;
    for (size_t i : pool)
      if (keep(versions[i])) kept.push_back(i);
    if (!kept.empty()) pool = std::move(kept);
  };
  for (size_t i = 0; i < versions.size(); ++i) pool.push_back(i);
  narrow([](const VersionShape& v) { return !v.audioOnly; });
  narrow([](const VersionShape& v) { return v.height > 0; });
  auto smaller = [&](size_t a, size_t b) { return Smaller(versions[a], versions[b]); };
  size_t smallest = *std::min_element(pool.begin(), pool.end(), smaller);
  if (quality == Quality::Smallest) return smallest;
  int cap = CapOf(quality);
  if (cap > 0) narrow([&](const VersionShape& v) { return v.height <= cap; });
  if (cap > 0 && versions[pool[0]].height > cap) return smallest;
  return *std::max_element(pool.begin(), pool.end(), smaller);
}

}  // namespace mf::media
