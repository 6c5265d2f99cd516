// DASH manifests to plans (templates, timelines, lists, BaseURL at every
// level, the choice of representations), the sidx index, and refusals.
#include <gtest/gtest.h>

#include <string>

#include "common/TextCodec.h"
#include "media/DashIndex.h"
#include "media/DashManifest.h"
#include "tests/media/TrackText.h"

namespace mf::media {
namespace {

using Lines = std::vector<std::wstring>;
constexpr wchar_t kManifestUrl[] = L"https://cdn.test/d/manifest.mpd";

constexpr char kTemplates[] = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- two videos on a timeline, two audios of fixed duration -->
<MPD xmlns="urn:mpeg:dash:schema:mpd:2011" type="static" mediaPresentationDuration="PT6S">
  <BaseURL>https://media.test/root/</BaseURL>
  <Period><BaseURL>p1/</BaseURL>
    <AdaptationSet contentType="video" mimeType="video/mp4"><BaseURL>video/</BaseURL>
      <SegmentTemplate timescale="1000" startNumber="5" initialization="$RepresentationID$/init.mp4"
                       media="$RepresentationID$/$Number%04d$-$Time$.m4s">
        <SegmentTimeline>
          <S t="100" d="2000" r="1"/><S d="1000"/><S d="500" r="-1"/>
        </SegmentTimeline>
      </SegmentTemplate>
      <Representation id="v1080" bandwidth="4000000" width="1920" height="1080"/>
      <Representation id="v480" bandwidth="800000" width="854" height="480">
        <BaseURL>/abs/</BaseURL></Representation>
    </AdaptationSet>
    <AdaptationSet contentType="text" mimeType="text/vtt"><Representation id="t"/></AdaptationSet>
    <AdaptationSet mimeType="audio/mp4" codecs="mp4a.40.2">
      <SegmentTemplate duration="3" startNumber="0" media="a/$Bandwidth$/$Number$.m4s"
                       initialization="a/init-$Bandwidth%08d$.mp4"/>
      <Representation id="a64" bandwidth="64000"/>
      <Representation id="a128" bandwidth="128000"/>
    </AdaptationSet>
  </Period>
</MPD>)";

constexpr char kList[] = R"(<mpd:MPD xmlns:mpd="urn:mpeg:dash:schema:mpd:2011">
 <mpd:Period duration="PT4S"><mpd:AdaptationSet mimeType="video/mp4">
  <mpd:Representation id="m" bandwidth="1" codecs="avc1.4d401f,mp4a.40.2">
   <mpd:BaseURL><![CDATA[media/all.mp4]]></mpd:BaseURL>
   <mpd:SegmentList timescale="10" duration="20">
     <mpd:Initialization range="0-99"/>
     <mpd:SegmentURL mediaRange="100-1099"/><mpd:SegmentURL media="extra.mp4?a=1&amp;b=2"/>
   </mpd:SegmentList>
  </mpd:Representation></mpd:AdaptationSet></mpd:Period></mpd:MPD>)";

TEST(DashManifestTest, BuildsTracksFromTemplatesTimelinesAndLists) {
  const std::wstring video = L"https://media.test/root/p1/video/v1080/";
  const std::wstring audio = L"https://media.test/root/p1/a/";
  struct {
    const char* manifest;
    Quality quality;
    std::vector<TrackKind> kinds;
    std::vector<Lines> tracks;
  } cases[] = {
      {kTemplates,
       Quality::Best,
       {TrackKind::Video, TrackKind::Audio},
       {{L"init " + video + L"init.mp4 #0", video + L"0005-100.m4s #5 2s",
         video + L"0006-2100.m4s #6 2s", video + L"0007-4100.m4s #7 1s",
         video + L"0008-5100.m4s #8 0.5s", video + L"0009-5600.m4s #9 0.5s"},
        {L"init " + audio + L"init-00128000.mp4 #0", audio + L"128000/0.m4s #0 3s",
         audio + L"128000/1.m4s #1 3s"}}},
      {kTemplates,
       Quality::UpTo720,
       {TrackKind::Video, TrackKind::Audio},
       {{L"init https://media.test/abs/v480/init.mp4 #0",
         L"https://media.test/abs/v480/0005-100.m4s #5 2s",
         L"https://media.test/abs/v480/0006-2100.m4s #6 2s",
         L"https://media.test/abs/v480/0007-4100.m4s #7 1s",
         L"https://media.test/abs/v480/0008-5100.m4s #8 0.5s",
         L"https://media.test/abs/v480/0009-5600.m4s #9 0.5s"},
        {L"init " + audio + L"init-00128000.mp4 #0", audio + L"128000/0.m4s #0 3s",
         audio + L"128000/1.m4s #1 3s"}}},
      {kList,
       Quality::Best,
       {TrackKind::Muxed},
       {{L"init https://cdn.test/d/media/all.mp4 @0+100 #0",
         L"https://cdn.test/d/media/all.mp4 @100+1000 #1 2s",
         L"https://cdn.test/d/media/extra.mp4?a=1&b=2 #2 2s"}}},
  };
  for (const auto& c : cases) {
    auto plan = ReadDashManifest(c.manifest, kManifestUrl, c.quality);
    ASSERT_TRUE(plan) << ToUtf8(plan.Failure().message);
    ASSERT_EQ(plan->tracks.size(), c.tracks.size());
    for (size_t i = 0; i < c.tracks.size(); ++i) {
      EXPECT_EQ(plan->tracks[i].kind, c.kinds[i]);
      EXPECT_EQ(plan->tracks[i].container, Container::FragmentedMp4);
      EXPECT_EQ(TrackText(plan->tracks[i]), c.tracks[i]);
    }
  }
}

// One representation with the given segment information, in a period of 10 s.
std::string OneRepresentation(const std::string& inside, const std::string& mpd = "") {
  return "<MPD mediaPresentationDuration=\"PT10S\"" + mpd +
         "><Period><AdaptationSet mimeType=\"video/mp4\"><Representation id=\"r\">" + inside +
         "</Representation></AdaptationSet></Period></MPD>";
}

std::string Sidx(uint32_t firstOffset, std::vector<uint32_t> references) {
  std::string box;
  auto put = [&](uint64_t value, int bytes) {
    while (bytes--) box += static_cast<char>(value >> (8 * bytes));
  };
  put(32 + 12 * references.size(), 4);
  box += "sidx";
  // Version and flags, reference ID, timescale, earliest time, first offset, reserved, count.
  for (auto [value, bytes] : std::initializer_list<std::pair<uint64_t, int>>{
           {0, 4}, {1, 4}, {1000, 4}, {0, 4}, {firstOffset, 4}, {0, 2}, {references.size(), 2}})
    put(value, bytes);
  for (uint32_t size : references) {  // each 2 s long, starting with a key frame
    put(size, 4);
    put(2000, 4);
    put(0x90000000, 4);
  }
  return box;
}

TEST(DashManifestTest, ReadsASegmentBaseThroughItsIndex) {
  auto plan = ReadDashManifest(
      OneRepresentation("<BaseURL>f.mp4</BaseURL><SegmentBase indexRange=\"800-855\"/>"),
      kManifestUrl, Quality::Best);
  ASSERT_TRUE(plan);
  Track& track = plan->tracks[0];
  ASSERT_TRUE(NeedsIndex(track));
  EXPECT_EQ(track.indexUrl, L"https://cdn.test/d/f.mp4");
  EXPECT_EQ(track.indexRange->offset, 800);
  EXPECT_EQ(track.indexRange->length, 56);
  auto indexed = TrackFromIndex(track, Sidx(10, {500, 600}));
  ASSERT_TRUE(indexed) << ToUtf8(indexed.Failure().message);
  EXPECT_FALSE(NeedsIndex(*indexed));
  EXPECT_EQ(TrackText(*indexed), (Lines{L"init https://cdn.test/d/f.mp4 @0+800 #0",
                                        L"https://cdn.test/d/f.mp4 @866+500 #1 2s",
                                        L"https://cdn.test/d/f.mp4 @1366+600 #2 2s"}));
  for (std::string bad : {Sidx(0, {1u << 31}), Sidx(0, {5}).substr(0, 40), std::string("moov")})
    EXPECT_FALSE(TrackFromIndex(track, bad));
}

TEST(DashManifestTest, RefusesLiveProtectedAbsurdAndUnreadableManifests) {
  const std::string kTimeline = "<SegmentTemplate media=\"$Number$\"><SegmentTimeline>";
  const std::string kTemplate = "<SegmentTemplate media=\"$Number$\" ";
  std::string deep = "<MPD>";
  for (int i = 0; i < 100; ++i) deep += "<a>";
  struct {
    std::string manifest;
    FailureKind kind;
    std::wstring message;
  } cases[] = {
      {OneRepresentation("", " type=\"dynamic\""), FailureKind::Live, kLiveRefusal},
      {OneRepresentation("<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\"/>"),
       FailureKind::Protected, kProtectedRefusal},
      {OneRepresentation(kTimeline + "<S d=\"1\" r=\"1000000000\"/></SegmentTimeline>"
                                     "</SegmentTemplate>"),
       FailureKind::Unreadable, L"it lists too many segments"},
      {OneRepresentation(kTemplate + "duration=\"1\" timescale=\"1000000\"/>"),
       FailureKind::Unreadable, L"it lists too many segments"},
      {OneRepresentation("<SegmentTemplate media=\"$Number$\"/>"), FailureKind::Unreadable,
       L"a segment template gives no segment duration"},
      {"<MPD><Period><AdaptationSet mimeType=\"audio/mp4\"><Representation>" + kTimeline +
           "<S d=\"1\" r=\"-1\"/></SegmentTimeline></SegmentTemplate></Representation>"
           "</AdaptationSet></Period></MPD>",
       FailureKind::Unreadable, L"a segment repeats without an end"},
      {OneRepresentation("<SegmentTemplate media=\"$Name$\" duration=\"1\"/>"),
       FailureKind::Unreadable, L"a segment template cannot be filled in"},
      {"<MPD><Period><AdaptationSet mimeType=\"video/webm\"><Representation/></AdaptationSet>"
       "</Period></MPD>",
       FailureKind::Unreadable, L"it has no video or audio that can be saved"},
      {"<MPD><Period></MPD>", FailureKind::Unreadable, L"its elements do not close in order"},
      {"<MPD><Period>", FailureKind::Unreadable, L"the text ends inside an element"},
      {deep, FailureKind::Unreadable, L"it is too large"},
  };
  for (const auto& c : cases) {
    auto plan = ReadDashManifest(c.manifest, kManifestUrl, Quality::Best);
    ASSERT_FALSE(plan) << c.manifest;
    EXPECT_EQ(plan.Failure().kind, c.kind) << c.manifest;
    std::wstring prefix = L"The manifest cannot be read: ";
    if (c.kind != FailureKind::Unreadable) prefix.clear();
    EXPECT_EQ(plan.Failure().message, prefix + c.message) << c.manifest;
  }
}

}  // namespace
}  // namespace mf::media
