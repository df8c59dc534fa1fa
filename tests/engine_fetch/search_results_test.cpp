#include "engine/search_results.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

SearchResultList* ListOf(uint32_t room, uint32_t n) {
  SearchResultList* list = NewResultList(room);
  for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(AddResultListItem(list, i & 0xFFF, 1000 + i), 0);
  return list;
}

std::vector<uint32_t> Entries(const SearchResultList* list) {
  std::vector<uint32_t> out;
  for (uint32_t i = 0; i < GetResultListCount(list); ++i) out.push_back(list->items[i].entry);
  return out;
}

TEST(ResultList, GrowsBy32FromNothingAndFromItsRoom) {
  SearchResultList* list = NewResultList(0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->storage, nullptr);
  EXPECT_EQ(list->capacity, 0u);
  EXPECT_EQ(AddResultListItem(list, 3, 77), 0);
  EXPECT_EQ(list->capacity, 32u);
  EXPECT_EQ(list->count, 1u);
  FreeResultList(list);

  list = ListOf(32, 32);
  EXPECT_EQ(list->capacity, 32u);
  EXPECT_EQ(AddResultListItem(list, 1, 5000), 0);
  EXPECT_EQ(list->capacity, 64u);
  EXPECT_EQ(list->count, 33u);
  // The items survive the move of the storage.
  for (uint32_t i = 0; i < 32; ++i) EXPECT_EQ(list->items[i].entry, 1000 + i);
  EXPECT_EQ(list->items[32].entry, 5000u);
  FreeResultList(list);
}

TEST(ResultList, StopsBeforeTheLimit) {
  // A list at capacity 999,968 is full: growing by 32 would reach 1,000,000.
  SearchResultList* list = NewResultList(kResultListLimit - kResultListGrowItems);
  ASSERT_NE(list, nullptr);
  list->count = list->capacity;
  EXPECT_EQ(AddResultListItem(list, 0, 1), 1);
  EXPECT_EQ(list->count, kResultListLimit - kResultListGrowItems);
  EXPECT_EQ(list->capacity, kResultListLimit - kResultListGrowItems);
  // One below: it still grows.
  list->count = list->capacity - 1;
  EXPECT_EQ(AddResultListItem(list, 0, 1), 0);
  EXPECT_EQ(AddResultListItem(list, 0, 2), 1);
  FreeResultList(list);
}

TEST(ResultList, RemovesRangesAndDropsTails) {
  struct Case {
    uint32_t from, to;
    int rc;
    std::vector<uint32_t> left;
  };
  const Case cases[] = {
      {2, 100, 0, {1000, 1001}},
      {5, 9, 1, {1000, 1001, 1002, 1003, 1004}},
      {1, 3, 0, {1000, 1003, 1004}},
      {0, 5, 0, {}},
      {3, 3, 1, {1000, 1001, 1002, 1003, 1004}},
      {4, 2, 1, {1000, 1001, 1002, 1003, 1004}},
  };
  for (const Case& c : cases) {
    SearchResultList* list = ListOf(0, 5);
    EXPECT_EQ(RemoveResultListRange(list, c.from, c.to), c.rc) << c.from << ".." << c.to;
    EXPECT_EQ(Entries(list), c.left) << c.from << ".." << c.to;
    FreeResultList(list);
  }

  SearchResultList* list = ListOf(0, 3);
  EXPECT_EQ(DropResultListTail(list, 1), 0);
  EXPECT_EQ(Entries(list), (std::vector<uint32_t>{1000, 1001}));
  EXPECT_EQ(DropResultListTail(list, 10), 0);
  EXPECT_EQ(GetResultListCount(list), 0u);
  EXPECT_EQ(list->capacity, 32u);  // storage kept for reuse
  EXPECT_EQ(AddResultListItem(list, 2, 9), 0);
  EXPECT_EQ(Entries(list), (std::vector<uint32_t>{9}));
  FreeResultList(list);
}

TEST(ResultList, FindsGetsCopiesAndClears) {
  SearchResultList* list = NewResultList(0);
  EXPECT_EQ(FindResultListItem(list, 0, 1000), -1);
  EXPECT_EQ(FindResultListItem(nullptr, 0, 1000), -1);
  EXPECT_EQ(GetResultListCount(nullptr), 0u);
  AddResultListItem(list, 1, 50);
  AddResultListItem(list, 2, 50);
  AddResultListItem(list, 2, 50);
  EXPECT_EQ(FindResultListItem(list, 2, 50), 1);  // the first of equal items
  EXPECT_EQ(FindResultListItem(list, 1, 51), -1);

  SearchResultItem item{77, 88};
  EXPECT_EQ(GetResultListItem(nullptr, list, 3, &item), 1);
  EXPECT_EQ(item.first, 77u);  // untouched
  EXPECT_EQ(GetResultListItem(nullptr, nullptr, 0, &item), 1);
  EXPECT_EQ(GetResultListItem(nullptr, list, 0, &item), 0);
  EXPECT_EQ(item.first, 1u);
  EXPECT_EQ(item.entry, 50u);

  list->bestMatch = 4;
  list->language = 4096;
  list->flags = kResultFullText | kResultNoTones;
  SearchResultList* copy = CopyResultList(list);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->items, list->items);
  EXPECT_EQ(copy->count, 3u);
  EXPECT_EQ(copy->capacity, list->capacity);
  EXPECT_EQ(GetResultListBestMatch(copy), 4u);
  EXPECT_EQ(copy->language, 4096u);
  EXPECT_EQ(copy->flags, kResultFullText | kResultNoTones);
  EXPECT_EQ(Entries(copy), Entries(list));

  EXPECT_EQ(ClearResultList(list), 0);
  EXPECT_EQ(GetResultListCount(list), 0u);
  EXPECT_EQ(GetResultListCount(copy), 3u);
  FreeResultList(list);
  FreeResultList(copy);
  EXPECT_EQ(FreeResultList(nullptr), 0);
}

TEST(RangeList, GrowsByEightWithThirtyTwoBitCounts) {
  RangeList ranges{};
  // Past 65,535 ranges: a 16-bit count would wrap and overwrite the start.
  const uint32_t n = 70000;
  for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(AddRangeListItem(&ranges, i, i + 1), 0);
  EXPECT_EQ(ranges.count, n);
  EXPECT_EQ(ranges.capacity % kRangeListGrowItems, 0u);
  EXPECT_GE(ranges.capacity, n);
  EXPECT_EQ(ranges.ranges[0].first, 0u);
  EXPECT_EQ(ranges.ranges[n - 1].end, n);
  EXPECT_EQ(ranges.ranges[65536].first, 65536u);
  FreeRangeList(&ranges);
  EXPECT_EQ(ranges.storage, nullptr);
  EXPECT_EQ(ranges.count, 0u);

  // The first growth makes 8 pairs; the ninth adds 8 more.
  RangeList small{};
  ASSERT_EQ(GrowRangeList(&small), 0);
  EXPECT_EQ(small.capacity, 8u);
  small.count = 8;
  ASSERT_EQ(GrowRangeList(&small), 0);
  EXPECT_EQ(small.capacity, 16u);
  FreeRangeList(&small);
}

}  // namespace
