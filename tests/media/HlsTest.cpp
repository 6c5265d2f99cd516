// HLS masters (quality choice, audio renditions) and media playlists
// (addresses, byte ranges, keys, discontinuities), and their refusals.
#include <gtest/gtest.h>

#include <string>

#include "common/TextCodec.h"
#include "media/HlsMaster.h"
#include "media/HlsMedia.h"
#include "tests/media/TrackText.h"

namespace mf::media {
namespace {

using Lines = std::vector<std::wstring>;

constexpr char kMaster[] = R"(#EXTM3U
#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="aud",NAME="en",URI="audio/en.m3u8"
#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="aud",NAME="de",DEFAULT=YES,URI="audio/de.m3u8"
#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="first",NAME="one",URI="/one.m3u8"
#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="first",NAME="two",URI="/two.m3u8"
#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="in",NAME="main",DEFAULT=YES
#EXT-X-STREAM-INF:BANDWIDTH=5000000,RESOLUTION=1920x1080,CODECS="avc1.640028,mp4a.40.2",AUDIO="aud"
hd/index.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=9000000,RESOLUTION=3840x2160,AUDIO="first"
/uhd.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=1200000,RESOLUTION=854x480,AUDIO="in"
sd.m3u8?a=1,b=2
#EXT-X-STREAM-INF:BANDWIDTH=1500000,RESOLUTION=1280x720
720low.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=2500000,RESOLUTION=1280x720
https://other.test/720.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS="mp4a.40.2"
audio-only.m3u8
)";

TEST(HlsMasterTest, ChoosesTheVariantTheQualityNamesWithItsApartAudio) {
  auto master = ReadHlsMaster(kMaster, L"https://cdn.test/v/master.m3u8");
  ASSERT_TRUE(master) << master.Failure().message;
  EXPECT_EQ(master->variants.size(), 6u);
  struct {
    Quality quality;
    const wchar_t *variant, *audio;  // the audio rendition: empty when inside the variant
  } cases[] = {
      {Quality::Best, L"https://cdn.test/uhd.m3u8", L"https://cdn.test/one.m3u8"},
      {Quality::UpTo1080, L"https://cdn.test/v/hd/index.m3u8", L"https://cdn.test/v/audio/de.m3u8"},
      {Quality::UpTo720, L"https://other.test/720.m3u8", L""},
      {Quality::UpTo480, L"https://cdn.test/v/sd.m3u8?a=1,b=2", L""},
      {Quality::Smallest, L"https://cdn.test/v/sd.m3u8?a=1,b=2", L""},
  };
  for (const auto& c : cases) {
    HlsChoice choice = ChooseHlsVariant(*master, c.quality);
    EXPECT_EQ(choice.variant.url, c.variant) << static_cast<int>(c.quality);
    EXPECT_EQ(choice.audio ? choice.audio->url : L"", c.audio) << static_cast<int>(c.quality);
  }
  // With every variant too tall, "up to" takes the smallest.
  auto tall = ReadHlsMaster(
      "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=9,RESOLUTION=1280x720\nb.m3u8\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=8,RESOLUTION=1920x1080\na.m3u8\n",
      L"http://h/m.m3u8");
  ASSERT_TRUE(tall);
  EXPECT_EQ(ChooseHlsVariant(*tall, Quality::UpTo480).variant.url, L"http://h/b.m3u8");

  HlsChoice choice = ChooseHlsVariant(*master, Quality::UpTo1080);
  StreamPlan plan = HlsPlan(choice, Track{}, Track{});
  ASSERT_EQ(plan.tracks.size(), 2u);
  EXPECT_EQ(plan.tracks[0].kind, TrackKind::Video);
  EXPECT_EQ(plan.tracks[0].height, 1080);
  EXPECT_EQ(plan.tracks[1].kind, TrackKind::Audio);
  EXPECT_EQ(HlsPlan(choice, Track{}, std::nullopt).tracks[0].kind, TrackKind::Muxed);
}

struct MediaCase {
  const char* name;
  const char* body;  // between "#EXTM3U" and "#EXT-X-ENDLIST"
  Container container;
  Lines track;
};

const MediaCase kMediaCases[] = {
    {"relative addresses, sequence, discontinuity",
     "#EXT-X-MEDIA-SEQUENCE:7\n#EXTINF:4.0,\nseg7.ts\n#EXT-X-DISCONTINUITY\n"
     "#EXTINF:3.5,title, with comma\n../other/seg8.ts?x=1\n#EXTINF:1,\nhttp://else.test/9.ts\n",
     Container::MpegTs,
     {L"https://cdn.test/v/hd/seg7.ts #7 4s", L"https://cdn.test/v/other/seg8.ts?x=1 #8 3.5s D",
      L"http://else.test/9.ts #9 1s"}},
    {"fragmented MP4 in one file: offsets follow on",
     "#EXT-X-MAP:URI=\"main.mp4\",BYTERANGE=\"720@0\"\n"
     "#EXTINF:2,\n#EXT-X-BYTERANGE:1000\nmain.mp4\n"
     "#EXTINF:2,\n#EXT-X-BYTERANGE:500\nmain.mp4\n#EXT-X-BYTERANGE:300@5000\n#EXTINF:1,\nmain.mp4\n"
     "#EXT-X-BYTERANGE:20\n#EXTINF:1,\nmain.mp4\n",
     Container::FragmentedMp4,
     {L"init https://cdn.test/v/hd/main.mp4 @0+720 #0",
      L"https://cdn.test/v/hd/main.mp4 @720+1000 #0 2s",
      L"https://cdn.test/v/hd/main.mp4 @1720+500 #1 2s",
      L"https://cdn.test/v/hd/main.mp4 @5000+300 #2 1s",
      L"https://cdn.test/v/hd/main.mp4 @5300+20 #3 1s"}},
    {"keys: IV from the tag, else the sequence number; NONE ends encryption",
     "#EXT-X-MEDIA-SEQUENCE:30\n#EXT-X-KEY:METHOD=AES-128,URI=\"k1.bin\"\n#EXTINF:2,\na.ts\n"
     "#EXT-X-KEY:METHOD=AES-128,URI=\"https://keys.test/k2\","
     "IV=0x0123456789ABCDEF0123456789abcdef\n"
     "#EXTINF:2,\nb.ts\n#EXT-X-KEY:METHOD=NONE\n#EXTINF:2,\nc.ts\n"
     "#EXT-X-KEY:METHOD=AES-128,URI=\"/k3\",KEYFORMAT=\"identity\"\n#EXTINF:2,\nd.ts\n",
     Container::MpegTs,
     {L"https://cdn.test/v/hd/a.ts #30 2s key=https://cdn.test/v/hd/k1.bin iv=1e",
      L"https://cdn.test/v/hd/b.ts #31 2s key=https://keys.test/k2 "
      L"iv=0123456789abcdef0123456789abcdef",
      L"https://cdn.test/v/hd/c.ts #32 2s",
      L"https://cdn.test/v/hd/d.ts #33 2s key=https://cdn.test/k3 iv=21"}},
};

TEST(HlsMediaTest, ReadsSegmentsRangesAndKeys) {
  for (const MediaCase& c : kMediaCases) {
    std::string text = std::string("#EXTM3U\r\n") + c.body + "#EXT-X-ENDLIST\r\n";
    auto track = ReadHlsMedia(text, L"https://cdn.test/v/hd/index.m3u8");
    ASSERT_TRUE(track) << c.name << ": " << ToUtf8(track.Failure().message);
    EXPECT_EQ(track->container, c.container) << c.name;
    EXPECT_EQ(TrackText(*track), c.track) << c.name;
  }
}

std::string ManySegments(size_t count) {
  std::string text = "#EXTM3U\n";
  for (size_t i = 0; i < count; ++i) text += "#EXTINF:1,\ns.ts\n";
  return text + "#EXT-X-ENDLIST\n";
}

TEST(HlsMediaTest, RefusesLiveProtectedAndUnreadablePlaylists) {
  const std::string kEnd = "#EXTINF:2,\na.ts\n#EXT-X-ENDLIST\n";
  struct {
    std::string text;
    FailureKind kind;
    const wchar_t* message;
  } cases[] = {
      {"#EXTM3U\n#EXTINF:2,\na.ts\n", FailureKind::Live, kLiveRefusal},
      {"#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\n" + kEnd, FailureKind::Protected,
       kProtectedRefusal},
      {"#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES-CTR,URI=\"k\"\n" + kEnd, FailureKind::Protected,
       kProtectedRefusal},
      {"#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\",KEYFORMAT=\"com.apple.fps\"\n" + kEnd,
       FailureKind::Protected, kProtectedRefusal},
      {"<html>" + kEnd, FailureKind::Unreadable,
       L"The playlist cannot be read: it does not start with #EXTM3U"},
      {"#EXTM3U\n#EXT-X-BYTERANGE:100\n" + kEnd, FailureKind::Unreadable,
       L"The playlist cannot be read: a byte range does not say where it starts"},
      {"#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\",IV=0xZZ\n" + kEnd, FailureKind::Unreadable,
       L"The playlist cannot be read: a key's IV is not a 128-bit hexadecimal number"},
      {"#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nv.m3u8\n", FailureKind::Unreadable,
       L"The playlist cannot be read: it is a master playlist, not a media playlist"},
      {ManySegments(kMaxSegmentsPerTrack + 1), FailureKind::Unreadable,
       L"The playlist cannot be read: it lists too many segments"},
  };
  for (const auto& c : cases) {
    auto track = ReadHlsMedia(c.text, L"http://h/p.m3u8");
    ASSERT_FALSE(track) << c.text.substr(0, 80);
    EXPECT_EQ(track.Failure().kind, c.kind) << c.text.substr(0, 80);
    EXPECT_EQ(track.Failure().message, c.message);
  }
  auto master = ReadHlsMaster(
      "#EXTM3U\n#EXT-X-SESSION-KEY:METHOD=SAMPLE-AES,URI=\"k\"\n#EXT-X-STREAM-INF:BANDWIDTH=1\nv\n",
      L"http://h/");
  ASSERT_FALSE(master);
  EXPECT_EQ(master.Failure().kind, FailureKind::Protected);
  EXPECT_FALSE(ReadHlsMaster("#EXTM3U\n#EXT-X-VERSION:3\n", L"http://h/"));
}

}  // namespace
}  // namespace mf::media
