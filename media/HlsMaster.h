#pragma once
// HLS master playlists: the versions of one video, and the choice of the one
// to save with its audio.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/ReadResult.h"
#include "media/StreamPlan.h"

namespace mf::media {

struct HlsVariant {  // EXT-X-STREAM-INF
  std::wstring url;  // absolute: its media playlist
  int64_t bandwidth = 0;
  int width = 0, height = 0;
  std::wstring codecs;
  std::wstring audioGroup;  // AUDIO: the GROUP-ID of its audio renditions
};

struct HlsAudioRendition {  // EXT-X-MEDIA:TYPE=AUDIO
  std::wstring groupId, name, language;
  std::wstring url;  // absolute; empty: the audio is inside the variants' segments
  bool isDefault = false;
};

struct HlsMaster {
  std::vector<HlsVariant> variants;  // never empty
  std::vector<HlsAudioRendition> audio;
};

// A master playlist's text (as fetched from `playlistUrl`, its final address
// after redirects) to its variants and audio renditions; refused when it
// names protection (EXT-X-SESSION-KEY). The caller then chooses with
// ChooseHlsVariant.
ReadResult<HlsMaster> ReadHlsMaster(std::string_view text, std::wstring_view playlistUrl);

struct HlsChoice {
  HlsVariant variant;
  // Set when the variant's audio is a playlist of its own: the group's
  // DEFAULT=YES rendition, else the first of the group.
  std::optional<HlsAudioRendition> audio;
};

// The variant the quality setting names, and its audio. The caller fetches
// choice.variant.url (and choice.audio->url), reads each with ReadHlsMedia,
// and joins the tracks with HlsPlan.
HlsChoice ChooseHlsVariant(const HlsMaster& master, Quality quality);

// The plan of a chosen variant's track and its apart audio track: the
// variant's track becomes video when its audio is apart, and carries the
// variant's bandwidth, size and codecs.
StreamPlan HlsPlan(const HlsChoice& choice, Track variant, std::optional<Track> audio);

}  // namespace mf::media
