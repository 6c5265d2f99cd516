// The Download list's primitive operations: duplicates, numbering, moves, limits.
#include <gtest/gtest.h>

#include "downloadlist/Vocabulary.h"
#include "downloadlist/modMain.h"

using namespace mf;

namespace {

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override { modMain::Reset(); }
  void TearDown() override { modMain::Reset(); }

  static void Add(const std::wstring& url) {
    ASSERT_TRUE(modMain::AddItem(url, L"name", L"", L""));
  }
  static std::vector<std::wstring> Urls() {
    std::vector<std::wstring> v;
    for (const auto& item : modMain::DownloadList) v.push_back(item.Video_URL);
    return v;
  }
  static void ExpectIdsInOrder() {
    for (size_t i = 0; i < modMain::DownloadList.size(); ++i)
      EXPECT_EQ(modMain::DownloadList[i].ID, static_cast<int16_t>(i + 1)) << "position " << i;
  }
};

TEST_F(ListTest, AddFillsDefaultsAndNumbersFromOne) {
  EXPECT_TRUE(modMain::IsListEmpty());
  ASSERT_TRUE(modMain::AddItem(L"http://a", L"file.flv", L"", L""));
  ASSERT_TRUE(modMain::AddItem(L"http://b", L"", L"Complete", L"1 KB"));
  ASSERT_EQ(modMain::DownloadList.size(), 2u);
  const auto& first = modMain::DownloadList[0];
  EXPECT_EQ(first.ID, 1);
  EXPECT_EQ(first.Status, vocab::kWaiting);
  EXPECT_EQ(first.FileSize, vocab::kUnknownSize);
  EXPECT_EQ(first.FileName, L"file.flv");
  const auto& second = modMain::DownloadList[1];
  EXPECT_EQ(second.ID, 2);
  EXPECT_EQ(second.FileName, L"");  // stored unchanged
  EXPECT_EQ(second.Status, L"Complete");
  EXPECT_EQ(second.FileSize, L"1 KB");
  EXPECT_FALSE(modMain::IsListEmpty());
}

TEST_F(ListTest, RepeatedAddressIsAbsorbedButOtherCaseIsNew) {
  Add(L"http://www.youtube.com/watch?v=abc");
  EXPECT_TRUE(modMain::AddItem(L"http://www.youtube.com/watch?v=abc", L"x", L"ERROR", L"1"));
  EXPECT_EQ(modMain::DownloadList.size(), 1u);
  EXPECT_EQ(modMain::DownloadList[0].Status, vocab::kWaiting);  // the first one is untouched
  Add(L"HTTP://WWW.YOUTUBE.COM/watch?v=abc");
  EXPECT_EQ(modMain::DownloadList.size(), 2u);
}

TEST_F(ListTest, HoldsAtMost32767Items) {
  modMain::DownloadList.reserve(kMaxItems);
  for (size_t i = 0; i < kMaxItems; ++i)
    modMain::DownloadList.push_back({static_cast<int16_t>(i + 1), L"u" + std::to_wstring(i), L"",
                                     vocab::kWaiting, vocab::kUnknownSize});
  EXPECT_FALSE(modMain::AddItem(L"one more", L"", L"", L""));
  EXPECT_EQ(modMain::DownloadList.size(), kMaxItems);
  // A repeat is still absorbed, even when full.
  EXPECT_TRUE(modMain::AddItem(L"u5", L"", L"", L""));
  EXPECT_EQ(modMain::DownloadList.back().ID, 32767);
}

TEST_F(ListTest, UpdateWritesOnlyNonEmptyFields) {
  Add(L"a");
  EXPECT_TRUE(modMain::UpdateItem(1, L"", L"new.flv", L"", L"2 MB"));
  const auto& item = modMain::DownloadList[0];
  EXPECT_EQ(item.Video_URL, L"a");
  EXPECT_EQ(item.FileName, L"new.flv");
  EXPECT_EQ(item.Status, vocab::kWaiting);
  EXPECT_EQ(item.FileSize, L"2 MB");
  // An ID without an item changes nothing and still reports success.
  EXPECT_TRUE(modMain::UpdateItem(7, L"z", L"z", L"z", L"z"));
  EXPECT_TRUE(modMain::UpdateItem(0, L"z", L"z", L"z", L"z"));
  EXPECT_EQ(Urls(), std::vector<std::wstring>{L"a"});
}

TEST_F(ListTest, RemoveRenumbersSurvivorsInOrder) {
  EXPECT_FALSE(modMain::RemoveItem(1));  // empty list
  Add(L"a");
  Add(L"b");
  Add(L"c");
  EXPECT_TRUE(modMain::RemoveItem(2));
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"c"}));
  ExpectIdsInOrder();
  EXPECT_TRUE(modMain::RemoveItem(9));  // unknown: everything kept
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"c"}));
  EXPECT_TRUE(modMain::RemoveItem(1));
  EXPECT_TRUE(modMain::RemoveItem(1));
  EXPECT_TRUE(modMain::IsListEmpty());
}

TEST_F(ListTest, RemoveKeepsOtherItemsThatShareATextAndTheirFields) {
  // Items whose resolution failed all carry the same explanatory address.
  Add(L"a");
  Add(L"b");
  Add(L"c");
  modMain::UpdateItem(1, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
  modMain::UpdateItem(3, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
  ASSERT_TRUE(modMain::RemoveItem(2));
  ASSERT_EQ(modMain::DownloadList.size(), 2u);
  for (const auto& item : modMain::DownloadList) {
    EXPECT_EQ(item.Video_URL, vocab::kInappropriate);
    EXPECT_EQ(item.FileName, vocab::kProcessFailed);
    EXPECT_EQ(item.Status, vocab::kError);
  }
  ExpectIdsInOrder();
}

TEST_F(ListTest, MovesExchangeNeighboursAndKeepIdsInOrder) {
  for (auto u : {L"a", L"b", L"c", L"d"}) Add(u);
  modMain::MoveItemUp(1);  // first never moves
  modMain::MoveItemDown(4);  // last never moves
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
  modMain::MoveItemUp(3);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"c", L"b", L"d"}));
  ExpectIdsInOrder();
  modMain::MoveItemDown(1);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"c", L"a", L"b", L"d"}));
  ExpectIdsInOrder();
  modMain::MoveItemUp(99);
  modMain::MoveItemDown(-1);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"c", L"a", L"b", L"d"}));
  // Moving down twice carries an item two places.
  modMain::MoveItemDown(1);
  modMain::MoveItemDown(2);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
  ExpectIdsInOrder();
}

}  // namespace
