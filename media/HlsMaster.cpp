#include "media/HlsMaster.h"

#include "common/Uri.h"
#include "media/HlsText.h"
#include "media/NumberText.h"
#include "media/QualityChoice.h"

namespace mf::media {
namespace {

// Far more than any real master lists; a text past it is not one.
constexpr size_t kMaxEntries = 10000;

int ToSize(std::optional<int64_t> value) {
  return value && *value <= 1000000 ? static_cast<int>(*value) : 0;
}

HlsVariant VariantOf(const HlsAttributes& attributes) {
  HlsVariant variant;
  variant.bandwidth = ParseCount(Attribute(attributes, L"BANDWIDTH")).value_or(0);
  std::wstring resolution = Attribute(attributes, L"RESOLUTION");
  size_t x = resolution.find(L'x');
  if (x != std::wstring::npos) {
    variant.width = ToSize(ParseCount(std::wstring_view(resolution).substr(0, x)));
    variant.height = ToSize(ParseCount(std::wstring_view(resolution).substr(x + 1)));
  }
  variant.codecs = Attribute(attributes, L"CODECS");
  variant.audioGroup = Attribute(attributes, L"AUDIO");
  return variant;
}

HlsAudioRendition RenditionOf(const HlsAttributes& attributes, std::wstring_view playlistUrl) {
  HlsAudioRendition rendition;
  rendition.groupId = Attribute(attributes, L"GROUP-ID");
  rendition.name = Attribute(attributes, L"NAME");
  rendition.language = Attribute(attributes, L"LANGUAGE");
  std::wstring uri = Attribute(attributes, L"URI");
  if (!uri.empty()) rendition.url = ResolveReference(playlistUrl, uri);
  rendition.isDefault = Attribute(attributes, L"DEFAULT") == L"YES";
  return rendition;
}

std::optional<HlsAudioRendition> AudioOf(const HlsMaster& master, const HlsVariant& variant) {
  const HlsAudioRendition* chosen = nullptr;
  for (const HlsAudioRendition& rendition : master.audio) {
    if (variant.audioGroup.empty() || rendition.groupId != variant.audioGroup) continue;
    if (!chosen) chosen = &rendition;
    if (rendition.isDefault) {
      chosen = &rendition;
      break;
    }
  }
  if (!chosen || chosen->url.empty()) return std::nullopt;
  return *chosen;
}

}  // namespace

ReadResult<HlsMaster> ReadHlsMaster(std::string_view bytes, std::wstring_view playlistUrl) {
  ReadResult<std::wstring> text = PlaylistText(bytes);
  if (!text) return text.Failure();
  HlsMaster master;
  std::optional<HlsVariant> pending;
  for (std::wstring_view line : PlaylistLines(*text)) {
    std::wstring_view value;
    if (master.variants.size() + master.audio.size() > kMaxEntries)
      return PlaylistUnreadable(L"it lists too many variants");
    if (IsTag(line, L"EXT-X-STREAM-INF", &value)) {
      pending = VariantOf(ParseAttributes(value));
    } else if (IsTag(line, L"EXT-X-MEDIA", &value)) {
      HlsAttributes attributes = ParseAttributes(value);
      if (Attribute(attributes, L"TYPE") == L"AUDIO")
        master.audio.push_back(RenditionOf(attributes, playlistUrl));
    } else if (IsTag(line, L"EXT-X-SESSION-KEY", &value)) {
      if (IsProtectedKey(ParseAttributes(value))) return ProtectedRefusal();
    } else if (line[0] != L'#' && pending) {
      pending->url = ResolveReference(playlistUrl, line);
      master.variants.push_back(std::move(*pending));
      pending.reset();
    }
  }
  if (master.variants.empty()) return PlaylistUnreadable(L"it lists no variant to play");
  return master;
}

HlsChoice ChooseHlsVariant(const HlsMaster& master, Quality quality) {
  std::vector<VersionShape> shapes;
  for (const HlsVariant& variant : master.variants)
    shapes.push_back({variant.height, variant.bandwidth,
                      HasAudioCodec(variant.codecs) && !HasVideoCodec(variant.codecs)});
  const HlsVariant& variant = master.variants[ChooseVersion(shapes, quality)];
  return {variant, AudioOf(master, variant)};
}

StreamPlan HlsPlan(const HlsChoice& choice, Track variant, std::optional<Track> audio) {
  variant.kind = audio ? TrackKind::Video : TrackKind::Muxed;
  variant.bandwidth = choice.variant.bandwidth;
  variant.width = choice.variant.width;
  variant.height = choice.variant.height;
  variant.codecs = choice.variant.codecs;
  StreamPlan plan;
  plan.tracks.push_back(std::move(variant));
  if (audio) {
    audio->kind = TrackKind::Audio;
    plan.tracks.push_back(std::move(*audio));
  }
  return plan;
}

}  // namespace mf::media
