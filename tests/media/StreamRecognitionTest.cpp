// Streams told by address, by content type and by their text.
#include <gtest/gtest.h>

#include "media/StreamRecognition.h"

namespace mf::media {
namespace {

TEST(StreamRecognitionTest, TellsStreamsByAddressTypeAndText) {
  const std::pair<const wchar_t*, StreamFormat> addresses[] = {
      {L"https://h.test/a/master.m3u8", StreamFormat::Hls},
      {L"https://h.test/a/Master.M3U8?token=x.mpd", StreamFormat::Hls},
      {L"http://h.test/live/manifest.MPD#t=10", StreamFormat::Dash},
      {L"http://h.test/a.m3u8/page.html", StreamFormat::None},
      {L"http://h.test/page?file=a.m3u8", StreamFormat::None},
      {L"http://video.mpd/", StreamFormat::None},
  };
  for (const auto& [address, format] : addresses)
    EXPECT_EQ(StreamFormatOfAddress(address), format) << address;

  const std::pair<const wchar_t*, StreamFormat> types[] = {
      {L"application/vnd.apple.mpegurl", StreamFormat::Hls},
      {L"Application/X-MpegURL; charset=utf-8", StreamFormat::Hls},
      {L"audio/mpegurl", StreamFormat::Hls},
      {L"application/dash+xml;profiles=x", StreamFormat::Dash},
      {L"video/mp4", StreamFormat::None},
      {L"text/html", StreamFormat::None},
  };
  for (const auto& [type, format] : types)
    EXPECT_EQ(StreamFormatOfContentType(type), format) << type;

  const std::pair<const char*, ManifestKind> texts[] = {
      {"#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nv.m3u8\n", ManifestKind::HlsMaster},
      {"\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:2,\na.ts\n", ManifestKind::HlsMedia},
      {"#EXTM3U\n#EXTINF:2,#EXT-X-STREAM-INF\na.ts\n", ManifestKind::HlsMedia},
      {"<?xml version=\"1.0\"?>\n<!-- x -->\n<MPD type=\"static\">", ManifestKind::Dash},
      {"<dash:MPD xmlns:dash=\"urn:mpeg:dash:schema:mpd:2011\">", ManifestKind::Dash},
      {"<!DOCTYPE html><html><MPD>", ManifestKind::Neither},
      {"<MPDX>", ManifestKind::Neither},
      {"", ManifestKind::Neither},
  };
  for (const auto& [text, kind] : texts) EXPECT_EQ(ManifestKindOfText(text), kind) << text;
}

}  // namespace
}  // namespace mf::media
