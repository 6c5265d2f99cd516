// The Download list kept between runs: the file's text, the keeper that writes
// it after changes, and what a start-up makes of a file it cannot read. The
// files live in a folder whose name the ANSI code page cannot spell.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "common/TextCodec.h"
#include "downloadlist/ItemTexts.h"
#include "common/WholeFile.h"
#include "downloadlist/DownloadList.h"
#include "downloadlist/QueueFile.h"
#include "downloadlist/QueueKeeper.h"
#include "downloadlist/Vocabulary.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/Shown.h"

using namespace mf;

namespace {

DownloadItem Item(std::wstring url, std::wstring name, std::wstring status, std::wstring size,
                  std::wstring part = L"") {
  DownloadItem item;
  ApplyAddressText(item, url);
  ApplyNameText(item, name);
  ApplySizeText(item, size);
  ApplyStatusText(item, status);
  item.PartFile = std::move(part);
  return item;
}

// One item of every kind the program leaves behind.
DownloadItems EveryKind() {
  return {
      Item(L"http://www.youtube.com/watch?v=abc", vocab::kAutoDetect, vocab::kWaiting,
           vocab::kUnknownSize),
      Item(L"http://video.google.com/videoplay?docid=-7", L"Größe – 日本語 🎬.flv", vocab::kComplete,
           L"12.3 MB"),
      // Failed items may share one address text; both stay.
      Item(vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, vocab::kUnknownSize),
      Item(vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, vocab::kUnknownSize),
      Item(L"http://www.angryalien.com/x.asp", L"clip.swf", vocab::kCancelled, L"1.5 MB",
           L"C:\\Vidéos\\clip.swf.part"),
      Item(L"http://elsewhere.example/", vocab::kNameError, vocab::kLinkNotSupported,
           vocab::kUnknownSize),
      Item(L"http://www.break.com/\"q\"\\b?\x01", L"tab\there.flv", vocab::kError, L"-1",
           L"C:\\V\\tab\there.flv.part"),
  };
}

std::string Utf8(const wchar_t* text) { return ToUtf8(text); }

// What the file keeps of each item.
std::vector<std::vector<std::wstring>> Fields(const DownloadItems& items) {
  std::vector<std::vector<std::wstring>> fields;
  for (const DownloadItem& i : items)
    fields.push_back({i.Video_URL, i.FileName, StatusText(i), SizeText(i), i.PartFile});
  return fields;
}

class QueueFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"mf-queue-テスト";
    file = folder + L"\\queue.json";
    Clear();
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  void TearDown() override { Clear(); }

  void Clear() {
    for (const std::wstring& name : Names()) {
      const std::wstring path = folder + L"\\" + name;
      if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
  }
  std::optional<std::string> Read(const std::wstring& path) const {
    DWORD error = 0;
    return ReadWholeFile(path, 1u << 26, error);
  }
  void Write(const std::wstring& path, const std::string& bytes) const {
    ASSERT_TRUE(ReplaceWholeFile(path, bytes));
  }
  // A new list restored from the file by a new keeper, as a start-up does:
  // what the user is told.
  std::wstring Restore(QueueKeeper& keeper) const {
    keeper.SetFile(file);
    return keeper.Restore();
  }
  void Save(const DownloadItems& items) {
    DownloadList list;
    QueueKeeper keeper(list);
    Restore(keeper);
    list.RestoreItems(items);
    ASSERT_TRUE(keeper.SaveNow());
  }

  std::wstring folder, file;
  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
};

TEST_F(QueueFileTest, EveryKindOfItemComesBackInItsOrder) {
  Save(EveryKind());
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"queue.json"});  // no new file left behind
  const std::string text = Read(file).value_or("");
  // UTF-8 as it stands, not escaped, with the format's name and version.
  EXPECT_NE(text.find(Utf8(L"Größe – 日本語 🎬.flv")), std::string::npos);
  EXPECT_NE(text.find("\"format\": \"Marrowfin download list\""), std::string::npos);
  EXPECT_NE(text.find("\"version\": 2"), std::string::npos);

  DownloadList list;
  QueueKeeper keeper(list);
  Restore(keeper);
  EXPECT_EQ(Fields(list.Items()), Fields(EveryKind()));
  std::set<uint32_t> keys{0};  // new keys: distinct, never 0
  for (size_t i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.Items()[i].ID, static_cast<int16_t>(i + 1));
    EXPECT_TRUE(keys.insert(list.Items()[i].Key).second);
  }
  EXPECT_EQ(QueueToJson(list.Items()), text);
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(QueueFileTest, AnItemCaughtInARunComesBackWaitingWithItsPartFile) {
  struct {
    const wchar_t* status;
    const wchar_t* after;
  } cases[] = {
      {L"Preparing (0%)", vocab::kWaiting},
      {L"Preparing (57%)", vocab::kWaiting},
      {L"Preparing...", vocab::kWaiting},
      {L"Start Downloading...", vocab::kWaiting},
      {L"42", vocab::kWaiting},
      {L"1.5 MB so far..", vocab::kWaiting},
      {L"Retrying (2 of 3)...", vocab::kWaiting},
      {L"Waiting", L"Waiting"},
      {L"Complete", L"Complete"},
      {L"Cancelled", L"Cancelled"},
      {L"ERROR", L"ERROR"},
      {L"ERROR: not enough free space", L"ERROR"},
      {L"Link is not supported", L"Link is not supported"},
  };
  // As an earlier version, or a hand, may have written them.
  std::string items;
  for (const auto& c : cases)
    items += std::string(items.empty() ? "" : ",") + "{\"Video_URL\":\"http://v/" + Utf8(c.status) +
             "\",\"FileName\":\"a.flv\",\"Status\":\"" + Utf8(c.status) +
             "\",\"FileSize\":\"2 MB\",\"PartFile\":\"C:\\\\d\\\\a.flv.part\"}";
  Write(file, "{\"format\":\"Marrowfin download list\",\"version\":1,\"items\":[" + items + "]}");
  DownloadList list;
  QueueKeeper keeper(list);
  Restore(keeper);
  ASSERT_EQ(list.Count(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(StatusText(list.Items()[i]), cases[i].after) << "was " << Utf8(cases[i].status);
    EXPECT_EQ(list.Items()[i].PartFile, L"C:\\d\\a.flv.part");
    // The saver writes what will come back: a run's progress leaves the text as it is.
    DownloadItems one{list.Items()[i]};
    const std::string shown = QueueToJson(one);
    ApplyStatusText(one[0], cases[i].status);
    EXPECT_EQ(QueueToJson(one), shown) << Utf8(cases[i].status);
  }
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(QueueFileTest, ChangesAreWrittenAfterADelayAndProgressAloneWritesNothing) {
  DownloadList list;
  QueueKeeper keeper(list);
  Restore(keeper);  // no file yet: an empty list, and no message
  EXPECT_TRUE(list.IsListEmpty());
  ASSERT_TRUE(list.AddItem(L"http://v/1", vocab::kAutoDetect, L"", L""));
  ASSERT_TRUE(list.AddItem(L"http://v/2", vocab::kAutoDetect, L"", L""));
  const ULONGLONG changedAt = GetTickCount64();
  EXPECT_TRUE(keeper.SavePending());
  EXPECT_FALSE(Read(file));
  ASSERT_TRUE(test::PumpUntil([&] { return Read(file).has_value(); }, 5000));
  EXPECT_GE(GetTickCount64() - changedAt, QueueKeeper::kSaveDelayMs - 100);
  EXPECT_FALSE(keeper.SavePending());

  // A run's progress: the running item's status written many times through ByKey.
  ASSERT_TRUE(DeleteFileW(file.c_str()));
  const uint32_t key = list.Items()[1].Key;
  for (int percent = 0; percent <= 100; ++percent) list.ByKey(key)->Received = percent;
  EXPECT_TRUE(keeper.SavePending());
  EXPECT_TRUE(keeper.SaveNow());
  EXPECT_FALSE(Read(file)) << "progress alone wrote the file";
  // Its partial file is news.
  list.ByKey(key)->PartFile = L"C:\\d\\2.flv.part";
  EXPECT_TRUE(keeper.SaveNow());
  EXPECT_NE(Read(file).value_or("").find("2.flv.part"), std::string::npos);
  // The list's own operations are heard as well.
  list.MoveItemUp(2);
  EXPECT_TRUE(keeper.SavePending());
  EXPECT_TRUE(keeper.SaveNow());
  DownloadList again;
  QueueKeeper reader(again);
  Restore(reader);
  ASSERT_EQ(again.Count(), 2u);
  EXPECT_EQ(again.Items()[0].Video_URL, L"http://v/2");
  EXPECT_EQ(StatusText(again.Items()[0]), vocab::kWaiting);
}

TEST_F(QueueFileTest, AFileThatCannotBeReadIsSetAsideAndTheListStartsEmpty) {
  Save(EveryKind());
  const std::string good = Read(file).value_or("");
  const std::string item = "{\"Video_URL\":\"u\",\"FileName\":\"n\",\"FileSize\":\"1\"";
  auto doc = [](const std::string& version, const std::string& items) {
    return "{\"format\":\"Marrowfin download list\",\"version\":" + version + ",\"items\":[" +
           items + "]}";
  };
  struct {
    const char* what;
    std::string bytes;
    const wchar_t* reason;
  } cases[] = {
      {"truncated", good.substr(0, good.size() / 2), L"damaged"},
      {"garbage", std::string("\x00\xff\x13garbage{{{[", 14), L"damaged"},
      {"not UTF-8", doc("1", item + ",\"Status\":\"W\xc3\x28\"}"), L"damaged"},
      {"an item without its status", doc("1", item + "}"), L"damaged"},
      {"a number for a text", doc("1", item + ",\"Status\":7}"), L"damaged"},
      {"other JSON", "[1, 2, 3]", L"damaged"},
      {"another format", "{\"format\":\"x\",\"version\":1,\"items\":[]}", L"damaged"},
      {"version 0", doc("0", ""), L"damaged"},
      {"version as text", doc("\"1\"", ""), L"damaged"},
      {"a state this version does not know", doc("2", "{\"Video_URL\":\"u\",\"State\":\"x\"}"),
       L"damaged"},
      {"a newer version", doc("3", ""), L"newer version"},
      {"empty", "", L"empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Clear();
    CreateDirectoryW(folder.c_str(), nullptr);
    Write(file, c.bytes);
    DownloadList list;
    QueueKeeper keeper(list);
    const std::wstring told = Restore(keeper);
    EXPECT_TRUE(list.IsListEmpty());
    // The file was moved aside whole, and the user told where.
    const std::vector<std::wstring> names = Names();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind(L"queue.json.damaged-", 0), 0u);
    EXPECT_EQ(Read(folder + L"\\" + names[0]), c.bytes);
    EXPECT_NE(told.find(c.reason), std::wstring::npos) << Utf8(told.c_str());
    EXPECT_NE(told.find(names[0]), std::wstring::npos);
    EXPECT_NE(told.find(L"starts with an empty list"), std::wstring::npos);
    // The list is kept again from the next change on.
    ASSERT_TRUE(list.AddItem(L"http://v/new", vocab::kAutoDetect, L"", L""));
    EXPECT_TRUE(keeper.SaveNow());
    DownloadList again;
    QueueKeeper reader(again);
    Restore(reader);
    EXPECT_EQ(again.Count(), 1u);
  }
}

TEST_F(QueueFileTest, OnlyACompleteNewFileEverReplacesTheOldOne) {
  Save(EveryKind());
  const std::string good = Read(file).value_or("");
  // A run that ended between writing the new file and the rename left it
  // behind, half written: it is not read.
  Write(NewFileName(file), good.substr(0, 40));
  DownloadList list;
  QueueKeeper keeper(list);
  Restore(keeper);
  EXPECT_EQ(list.Count(), EveryKind().size());
  EXPECT_TRUE(platform.messageBoxes.empty());
  // A new file that cannot be written (a folder is in its way) leaves the old
  // one as it was.
  ASSERT_TRUE(DeleteFileW(NewFileName(file).c_str()));
  ASSERT_TRUE(CreateDirectoryW(NewFileName(file).c_str(), nullptr));
  list.RemoveItem(1);
  EXPECT_FALSE(keeper.SaveNow());
  EXPECT_EQ(Read(file), good);
  // Once it can, the next save writes the list as it is now.
  ASSERT_TRUE(RemoveDirectoryW(NewFileName(file).c_str()));
  EXPECT_TRUE(keeper.SaveNow());
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"queue.json"});
  EXPECT_EQ(Read(file), QueueToJson(list.Items()));
  EXPECT_EQ(list.Count(), EveryKind().size() - 1);
}

TEST_F(QueueFileTest, AFileThatCanBeNeitherReadNorMovedIsNeverOverwritten) {
  Save(EveryKind());
  const std::string good = Read(file).value_or("");
  // Another program holds it open and shares nothing.
  HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DownloadList list;
  QueueKeeper keeper(list);
  const std::wstring told = Restore(keeper);
  CloseHandle(held);
  EXPECT_TRUE(list.IsListEmpty());
  EXPECT_NE(told.find(L"will not be kept"), std::wstring::npos);
  ASSERT_TRUE(list.AddItem(L"http://v/new", vocab::kAutoDetect, L"", L""));
  EXPECT_FALSE(keeper.SaveNow());
  EXPECT_EQ(Read(file), good);
}

}  // namespace
