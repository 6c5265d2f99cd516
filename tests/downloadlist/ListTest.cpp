// The Download list's primitive operations: duplicates, numbering, moves, limits.
#include <gtest/gtest.h>

#include "downloadlist/DownloadList.h"
#include "downloadlist/Vocabulary.h"
#include "tests/support/Shown.h"

using namespace mf;

namespace {

class ListTest : public ::testing::Test {
 protected:
  void Add(const std::wstring& url) { ASSERT_TRUE(list.AddItem(url, L"name", L"", L"")); }
  std::vector<std::wstring> Urls() const {
    std::vector<std::wstring> v;
    for (const auto& item : list.Items()) v.push_back(item.Video_URL);
    return v;
  }
  void ExpectIdsInOrder() const {
    for (size_t i = 0; i < list.Items().size(); ++i)
      EXPECT_EQ(list.Items()[i].ID, static_cast<int16_t>(i + 1)) << "position " << i;
  }
  DownloadList list;
};

TEST_F(ListTest, AddFillsDefaultsAndNumbersFromOne) {
  EXPECT_TRUE(list.IsListEmpty());
  ASSERT_TRUE(list.AddItem(L"http://a", L"file.flv", L"", L""));
  ASSERT_TRUE(list.AddItem(L"http://b", L"", L"Complete", L"1 KB"));
  ASSERT_EQ(list.Items().size(), 2u);
  const auto& first = list.Items()[0];
  EXPECT_EQ(first.ID, 1);
  EXPECT_EQ(StatusText(first), vocab::kWaiting);
  EXPECT_EQ(SizeText(first), vocab::kUnknownSize);
  EXPECT_EQ(first.FileName, L"file.flv");
  const auto& second = list.Items()[1];
  EXPECT_EQ(second.ID, 2);
  EXPECT_EQ(second.FileName, L"");  // stored unchanged
  EXPECT_EQ(StatusText(second), L"Complete");
  EXPECT_EQ(SizeText(second), L"1 KB");
  EXPECT_FALSE(list.IsListEmpty());
}

TEST_F(ListTest, RepeatedAddressIsAbsorbedButOtherCaseIsNew) {
  Add(L"http://www.youtube.com/watch?v=abc");
  EXPECT_TRUE(list.AddItem(L"http://www.youtube.com/watch?v=abc", L"x", L"ERROR", L"1"));
  EXPECT_EQ(list.Items().size(), 1u);
  EXPECT_EQ(StatusText(list.Items()[0]), vocab::kWaiting);  // the first one is untouched
  Add(L"HTTP://WWW.YOUTUBE.COM/watch?v=abc");
  EXPECT_EQ(list.Items().size(), 2u);
}

TEST_F(ListTest, HoldsAtMost32767Items) {
  for (size_t i = 0; i < kMaxItems; ++i)
    ASSERT_TRUE(list.AddItem(L"u" + std::to_wstring(i), L"", L"", L""));
  EXPECT_FALSE(list.AddItem(L"one more", L"", L"", L""));
  EXPECT_EQ(list.Items().size(), kMaxItems);
  // A repeat is still absorbed, even when full.
  EXPECT_TRUE(list.AddItem(L"u5", L"", L"", L""));
  EXPECT_EQ(list.Items().back().ID, 32767);
}

TEST_F(ListTest, UpdateWritesOnlyNonEmptyFields) {
  Add(L"a");
  EXPECT_TRUE(list.UpdateItem(1, L"", L"new.flv", L"", L"2 MB"));
  const auto& item = list.Items()[0];
  EXPECT_EQ(item.Video_URL, L"a");
  EXPECT_EQ(item.FileName, L"new.flv");
  EXPECT_EQ(StatusText(item), vocab::kWaiting);
  EXPECT_EQ(SizeText(item), L"2 MB");
  // An ID without an item changes nothing and still reports success.
  EXPECT_TRUE(list.UpdateItem(7, L"z", L"z", L"z", L"z"));
  EXPECT_TRUE(list.UpdateItem(0, L"z", L"z", L"z", L"z"));
  EXPECT_EQ(Urls(), std::vector<std::wstring>{L"a"});
}

TEST_F(ListTest, RemoveRenumbersSurvivorsInOrder) {
  EXPECT_FALSE(list.RemoveItem(1));  // empty list
  Add(L"a");
  Add(L"b");
  Add(L"c");
  EXPECT_TRUE(list.RemoveItem(2));
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"c"}));
  ExpectIdsInOrder();
  EXPECT_TRUE(list.RemoveItem(9));  // unknown: everything kept
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"c"}));
  EXPECT_TRUE(list.RemoveItem(1));
  EXPECT_TRUE(list.RemoveItem(1));
  EXPECT_TRUE(list.IsListEmpty());
}

TEST_F(ListTest, RemoveKeepsOtherItemsThatShareATextAndTheirFields) {
  // Items whose resolution failed all carry the same explanatory address.
  Add(L"a");
  Add(L"b");
  Add(L"c");
  list.UpdateItem(1, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
  list.UpdateItem(3, vocab::kInappropriate, vocab::kProcessFailed, vocab::kError, L"");
  ASSERT_TRUE(list.RemoveItem(2));
  ASSERT_EQ(list.Items().size(), 2u);
  for (const auto& item : list.Items()) {
    EXPECT_EQ(AddressText(item), vocab::kInappropriate);
    EXPECT_EQ(NameText(item), vocab::kProcessFailed);
    EXPECT_EQ(StatusText(item), vocab::kError);
  }
  ExpectIdsInOrder();
}

TEST_F(ListTest, MovesExchangeNeighboursAndKeepIdsInOrder) {
  for (auto u : {L"a", L"b", L"c", L"d"}) Add(u);
  list.MoveItemUp(1);    // first never moves
  list.MoveItemDown(4);  // last never moves
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
  list.MoveItemUp(3);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"c", L"b", L"d"}));
  ExpectIdsInOrder();
  list.MoveItemDown(1);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"c", L"a", L"b", L"d"}));
  ExpectIdsInOrder();
  list.MoveItemUp(99);
  list.MoveItemDown(-1);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"c", L"a", L"b", L"d"}));
  // Moving down twice carries an item two places.
  list.MoveItemDown(1);
  list.MoveItemDown(2);
  EXPECT_EQ(Urls(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
  ExpectIdsInOrder();
}

}  // namespace
