// Boxes read and written at their edges, and fragmented MP4 segments read
// as the writer takes them: where each run's samples lie under every rule
// of base offsets and defaults, and how time goes on from one to the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/TextCodec.h"
#include "media/Fmp4Source.h"
#include "media/MovieBoxes.h"
#include "tests/media/Hex.h"
#include "tests/support/Files.h"

namespace mf::media {
namespace {

using test::Hex;

TEST(BoxesTest, HeadersGiveSizesOrSayWhatIsWrong) {
  const struct {
    const char* head;
    uint64_t available;
    uint64_t size;  // 0: refused
    uint32_t header;
  } cases[] = {
      {"00000010 6d6f6f66", 16, 16, 8},      {"00000001 6d646174 0000000000000018", 24, 24, 16},
      {"00000000 6d646174", 100, 100, 8},  // to the end
      {"00000004 6d6f6f66", 8, 0},         // smaller than its header
      {"00000020 6d6f6f66", 16, 0},        // past the end
      {"00000001 6d646174 00000000", 24, 0}, {"0000", 4, 0},
  };
  for (const auto& c : cases) {
    if (c.size == 0) {
      EXPECT_THROW(ReadBoxHeader(Hex(c.head), c.available), FormatError) << c.head;
      continue;
    }
    BoxHeader h = ReadBoxHeader(Hex(c.head), c.available);
    EXPECT_EQ(h.size, c.size) << c.head;
    EXPECT_EQ(h.header, c.header) << c.head;
  }
  EXPECT_EQ(MediaDataHeader(10), Hex("00000012 6d646174"));
  EXPECT_EQ(MediaDataHeader(UINT32_MAX), Hex("00000001 6d646174 000000010000000f"));
}

class Fmp4Test : public ::testing::Test {
 protected:
  std::filesystem::path dir_ = std::filesystem::temp_directory_path() / "mf_media_test";
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::wstring Put(const std::wstring& name, const std::string& bytes) {
    std::wstring path = (dir_ / name).wstring();
    mf::test::WriteFileBytes(path, bytes);
    return path;
  }
  // Track 7 at 1000 units a second; its samples last 40, hold 10 bytes and are not sync.
  std::wstring Init() {
    ByteWriter w;
    size_t moov = w.Begin(Fourcc("moov"));
    size_t box = w.BeginFull(Fourcc("mvhd"), 0, 0);
    w.U32(0), w.U32(0), w.U32(1000), w.End(box);
    size_t trak = w.Begin(Fourcc("trak"));
    box = w.BeginFull(Fourcc("tkhd"), 0, 3);
    w.U32(0), w.U32(0), w.U32(7), w.Zeros(4 + 4 + 60), w.End(box);
    size_t mdia = w.Begin(Fourcc("mdia"));
    box = w.BeginFull(Fourcc("mdhd"), 0, 0);
    w.U32(0), w.U32(0), w.U32(1000), w.Zeros(8), w.End(box);
    w.End(mdia), w.End(trak);
    size_t mvex = w.Begin(Fourcc("mvex"));
    box = w.BeginFull(Fourcc("trex"), 0, 0);
    w.U32(7), w.U32(1), w.U32(40), w.U32(10), w.U32(kNonSyncSample), w.End(box);
    w.End(mvex), w.End(moov);
    return Put(L"init.mp4", w.Data());
  }
  // A moof of two runs of two samples at the start, then 400 bytes of mdat.
  static std::string Segment(uint32_t tfhdFlags, const std::vector<uint32_t>& tfhd,
                             const std::vector<std::pair<uint32_t, std::vector<uint32_t>>>& truns,
                             uint64_t decodeTime = 1000) {
    ByteWriter w;
    size_t moof = w.Begin(Fourcc("moof"));
    size_t traf = w.Begin(Fourcc("traf"));
    size_t box = w.BeginFull(Fourcc("tfhd"), 0, tfhdFlags);
    w.U32(7);
    for (uint32_t field : tfhd) w.U32(field);
    w.End(box);
    box = w.BeginFull(Fourcc("tfdt"), 1, 0);
    w.U64(decodeTime), w.End(box);
    for (const auto& [flags, fields] : truns) {
      box = w.BeginFull(Fourcc("trun"), 0, flags);
      w.U32(2);
      for (uint32_t field : fields) w.U32(field);
      w.End(box);
    }
    w.End(traf), w.End(moof);
    w.End(w.Begin(Fourcc("mdat"))), w.Zeros(400);
    w.PutU32At(w.Size() - 408, 408);
    return w.Data();
  }
  TrackFiles Files(const std::vector<std::pair<std::string, bool>>& segments) {
    TrackFiles files{TrackKind::Video, Container::FragmentedMp4, Init()};
    for (size_t i = 0; i < segments.size(); ++i)
      files.segments.push_back({Put(std::to_wstring(i), segments[i].first), segments[i].second});
    return files;
  }
};

TEST_F(Fmp4Test, RunsLieWhereTheirBaseAndDefaultsSay) {
  const uint32_t kSync = kSyncSample, kNon = kNonSyncSample;
  const struct {
    const char* name;
    std::string segment;
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> durations, sizes, flags;
  } cases[] = {
      {"offsets from the moof",
       Segment(0x020000, {}, {{0x201, {200, 10, 10}}, {0x201, {220, 10, 10}}}),
       {200, 220},
       {40, 40, 40, 40},
       {10, 10, 10, 10},
       {kNon, kNon, kNon, kNon}},
      {"an explicit base",
       Segment(0x000001, {0, 150}, {{0x201, {50, 11, 11}}, {0x201, {72, 11, 11}}}),
       {200, 222},
       {40, 40, 40, 40},
       {11, 11, 11, 11},
       {kNon, kNon, kNon, kNon}},
      {"a run after the one before",
       Segment(0, {}, {{0x201, {200, 10, 10}}, {0x200, {10, 10}}}),
       {200, 220},
       {40, 40, 40, 40},
       {10, 10, 10, 10},
       {kNon, kNon, kNon, kNon}},
      {"the fragment's defaults",
       Segment(0x020038, {33, 5, kSync}, {{0x001, {200}}, {0x000, {}}}),
       {200, 210},
       {33, 33, 33, 33},
       {5, 5, 5, 5},
       {kSync, kSync, kSync, kSync}},
      {"a first sample's flags",
       Segment(0x020000, {}, {{0x105, {200, kSync, 20, 21}}, {0x001, {220}}}),
       {200, 220},
       {20, 21, 40, 40},
       {10, 10, 10, 10},
       {kSync, kNon, kNon, kNon}},
  };
  for (const auto& c : cases) {
    TrackFiles files = Files({{c.segment, false}});
    Fmp4Source source(0, files, 3);
    Fragment fragment;
    ASSERT_TRUE(source.Next(fragment)) << c.name;
    ASSERT_EQ(fragment.tracks.size(), 1u) << c.name;
    const TrackFragment& t = fragment.tracks[0];
    EXPECT_EQ(t.track, 3u) << c.name;
    EXPECT_EQ(t.decodeTime, 1000u) << c.name;
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> durations, sizes, flags;
    for (const SampleRun& run : t.runs) {
      offsets.push_back(run.dataOffset);
      for (const Sample& s : run.samples)
        durations.push_back(s.duration), sizes.push_back(s.size), flags.push_back(s.flags);
    }
    EXPECT_EQ(offsets, c.offsets) << c.name;
    EXPECT_EQ(durations, c.durations) << c.name;
    EXPECT_EQ(sizes, c.sizes) << c.name;
    EXPECT_EQ(flags, c.flags) << c.name;
    EXPECT_FALSE(source.Next(fragment)) << c.name;
  }
}

TEST_F(Fmp4Test, TimeGoesOnAcrossDiscontinuities) {
  // The first segment runs from 1000 to 1160.
  const struct {
    const char* name;
    uint64_t decodeTime;
    bool discontinuity;
    uint64_t placed;
  } cases[] = {
      {"steady", 1160, false, 1160},
      {"a gap is kept", 5000, false, 5000},
      {"a new run after a discontinuity", 5000, true, 1160},
      {"time that goes back", 0, false, 1160},
  };
  for (const auto& c : cases) {
    auto runs = std::vector<std::pair<uint32_t, std::vector<uint32_t>>>{{0x201, {200, 10, 10}},
                                                                        {0x201, {220, 10, 10}}};
    TrackFiles files = Files({{Segment(0x020000, {}, runs), false},
                              {Segment(0x020000, {}, runs, c.decodeTime), c.discontinuity}});
    Fmp4Source source(0, files, 0);
    Fragment fragment;
    ASSERT_TRUE(source.Next(fragment) && source.Next(fragment)) << c.name;
    EXPECT_EQ(fragment.tracks[0].decodeTime, c.placed) << c.name;
  }
}

TEST_F(Fmp4Test, DamageNamesTheSegmentAndLeavesNoFile) {
  std::string good = Segment(0x020000, {}, {{0x201, {200, 10, 10}}, {0x201, {220, 10, 10}}});
  const struct {
    const char* name;
    std::string second;
    bool init;
    std::optional<size_t> segment;
    const wchar_t* error;
  } cases[] = {
      {"a box past the end", Hex("00000040 6d6f6f66"), true, 1,
       L"Segment 2 of the video track cannot be used: a box runs past the end of its data"},
      {"samples past the end", good.substr(0, 230), true, 1,
       L"Segment 2 of the video track cannot be used: its samples lie outside the file"},
      {"no init segment", good, false, std::nullopt,
       L"The init segment of the video track cannot be used: "},
  };
  for (const auto& c : cases) {
    TrackFiles files = Files({{good, false}, {c.second, false}});
    if (!c.init) files.initPath = (dir_ / "missing.mp4").wstring();
    std::wstring out = (dir_ / "out.mp4").wstring();
    Result result = WriteMovie({files}, out);
    EXPECT_FALSE(result.ok) << c.name;
    EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << c.name;
    ASSERT_TRUE(result.damaged) << c.name;
    EXPECT_EQ(result.damaged->segment, c.segment) << c.name;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
  }
}

TEST_F(Fmp4Test, DamagedBytesEndInAnErrorNeverAFault) {
  TrackFiles files =
      Files({{Segment(0x020000, {},
                      {{0x205, {200, kSyncSample, 10, 10}}, {0x301, {220, 40, 10, 40, 10}}}),
              false}});
  std::string init = mf::test::ReadFileBytes(files.initPath);
  std::string segment = mf::test::ReadFileBytes(files.segments[0].path);
  std::mt19937 random(29);
  for (int round = 0; round < 300; ++round) {
    std::string damaged[2] = {init, segment};
    for (int flip = 0; flip < 4; ++flip) {
      std::string& bytes = damaged[random() % 2];
      bytes[random() % std::min<size_t>(bytes.size(), 200)] = char(random());
    }
    Put(L"init.mp4", damaged[0]);
    Put(L"0", damaged[1]);
    Result result = WriteMovie({files}, (dir_ / "out.mp4").wstring());
    // Damage is laid at a segment's door, or the media is gone with it.
    ASSERT_TRUE(result.ok || result.damaged ||
                result.error == L"The stream's segments hold no audio or video")
        << "round " << round << ": " << ToUtf8(result.error);
  }
}

}  // namespace
}  // namespace mf::media
