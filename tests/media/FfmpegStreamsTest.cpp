// Streams that ffmpeg wrote (make_streams.py, run before this test) read as
// the transfer reads them: every address a plan gives is a file ffmpeg
// wrote, and every segment file it wrote is in the plan.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "common/TextCodec.h"
#include "media/DashIndex.h"
#include "media/DashManifest.h"
#include "media/HlsMaster.h"
#include "media/HlsMedia.h"

namespace mf::media {
namespace {

namespace fs = std::filesystem;
const std::wstring kHost = L"http://streams.test/";

// The prefix maps the host's root to Z:.
fs::path FileOf(const std::wstring& url) {
  EXPECT_EQ(url.substr(0, kHost.size()), kHost);
  std::wstring folder = L"Z:" + FromCodePage(kCodePageUtf8, MF_MEDIA_STREAMS "/");
  return fs::path(folder) / url.substr(kHost.size());
}

std::string Fetch(const std::wstring& url, std::optional<ByteRange> range = {}) {
  std::ifstream in(FileOf(url), std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return range ? bytes.substr(range->offset, range->length) : bytes;
}

std::set<fs::path> FilesStarting(const fs::path& folder, const std::wstring& prefix) {
  std::set<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().wstring().starts_with(prefix)) files.insert(entry.path());
  return files;
}

// The segments' files, each named once, against those ffmpeg wrote beside
// the first one and named as it is up to its number ("seg000.ts", "chunk-stream1-00001.m4s").
void ExpectAllSegmentFiles(const Track& track) {
  ASSERT_FALSE(track.segments.empty());
  std::set<fs::path> named;
  for (const Segment& segment : track.segments) named.insert(FileOf(segment.url));
  EXPECT_EQ(named.size(), track.segments.size());
  fs::path first = FileOf(track.segments[0].url);
  std::wstring name = first.stem().wstring();
  name.erase(name.find_last_not_of(L"0123456789") + 1);
  EXPECT_EQ(named, FilesStarting(first.parent_path(), name));
}

TEST(FfmpegStreamsTest, ReadsAnHlsMasterWithThreeVariantsAndApartAudio) {
  std::wstring masterUrl = kHost + L"hls/master.m3u8";
  auto master = ReadHlsMaster(Fetch(masterUrl), masterUrl);
  ASSERT_TRUE(master);
  ASSERT_EQ(master->variants.size(), 3u);
  EXPECT_EQ(ChooseHlsVariant(*master, Quality::Best).variant.height, 180);
  EXPECT_EQ(ChooseHlsVariant(*master, Quality::Smallest).variant.height, 90);
  std::vector<std::wstring> playlists;
  for (const HlsVariant& variant : master->variants) playlists.push_back(variant.url);
  auto audio = ChooseHlsVariant(*master, Quality::Best).audio;
  ASSERT_TRUE(audio);
  playlists.push_back(audio->url);
  for (const std::wstring& url : playlists) {
    auto track = ReadHlsMedia(Fetch(url), url);
    ASSERT_TRUE(track) << ToUtf8(track.Failure().message);
    ExpectAllSegmentFiles(*track);
  }
}

TEST(FfmpegStreamsTest, ReadsADashTimelineAndASegmentBase) {
  std::wstring manifestUrl = kHost + L"dash/manifest.mpd";
  std::string manifest = Fetch(manifestUrl);
  ASSERT_NE(manifest.find("<SegmentTimeline>"), std::string::npos);
  auto plan = ReadDashManifest(manifest, manifestUrl, Quality::Best);
  ASSERT_TRUE(plan) << ToUtf8(plan.Failure().message);
  ASSERT_EQ(plan->tracks.size(), 2u);
  EXPECT_EQ(plan->tracks[0].kind, TrackKind::Video);
  EXPECT_EQ(plan->tracks[1].kind, TrackKind::Audio);
  for (const Track& track : plan->tracks) {
    EXPECT_TRUE(fs::exists(FileOf(track.init->url)));
    ExpectAllSegmentFiles(track);
  }

  manifestUrl = kHost + L"base/manifest.mpd";
  plan = ReadDashManifest(Fetch(manifestUrl), manifestUrl, Quality::Best);
  ASSERT_TRUE(plan && NeedsIndex(plan->tracks[0]));
  const Track& track = plan->tracks[0];
  auto indexed = TrackFromIndex(track, Fetch(track.indexUrl, track.indexRange));
  ASSERT_TRUE(indexed) << ToUtf8(indexed.Failure().message);
  std::ostringstream ranges;
  for (const Segment& segment : indexed->segments)
    ranges << segment.range->offset << ' ' << segment.range->length << '\n';
  EXPECT_EQ(ranges.str(), Fetch(kHost + L"base/moofs.txt"));
  EXPECT_EQ(indexed->init->range->length, track.indexRange->offset);
}

}  // namespace
}  // namespace mf::media
