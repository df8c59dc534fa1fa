// The small shared helpers: language names, rectangles, record clearing,
// posting-list intersections, word comparisons and random values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/index_search.h"
#include "engine/mem_handle.h"
#include "engine/string_utils.h"
#include "engine/system_services.h"
#include "platform/random.h"

namespace {

TEST(SmallHelpers, LanguageNamesRectsAndRecords) {
  WCHAR name[40];
  const struct {
    uint32_t code;
    const char16_t* name;
  } names[] = {{0, u"English"}, {4096, u"Chinese"}, {65534, u"None"}, {65535, u"Unknown"}, {1, u"Unknown"}};
  for (const auto& n : names) {
    GetLanguageName(n.code, name);
    EXPECT_EQ(std::u16string(name), n.name);
  }

  const uint16_t rect[4] = {10, 20, 5, 5};
  EXPECT_EQ(PointInRect(10, 20, rect), 1);
  EXPECT_EQ(PointInRect(14, 24, rect), 1);
  EXPECT_EQ(PointInRect(15, 20, rect), 0);
  EXPECT_EQ(PointInRect(10, 25, rect), 0);
  EXPECT_EQ(PointInRect(9, 20, rect), 0);
  const uint16_t edge[4] = {65530, 0, 10, 10};  // left + width passes 16 bits
  EXPECT_EQ(PointInRect(65535, 5, edge), 1);
  EXPECT_EQ(PointInRect(3, 5, edge), 0);

  unsigned char record[80];
  std::memset(record, 0xAB, sizeof record);
  EXPECT_EQ(ClearRecord72(record), record);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(record[i], 0) << i;
  for (int i = 72; i < 80; ++i) EXPECT_EQ(record[i], 0xAB) << i;
}

MemHandle* HandleOf(const std::vector<uint32_t>& values) {
  return NewMemHandleFromCopy(values.data(), static_cast<uint32_t>(values.size() * 4));
}

std::vector<uint32_t> ValuesOf(MemHandle* h, uint32_t count) {
  const auto* p = static_cast<const uint32_t*>(LockMemHandle(h));
  std::vector<uint32_t> out(p, p + count);
  UnlockMemHandle(h);
  return out;
}

TEST(IntersectSortedWords, KeepsValuesWhoseMaskedValueIsInB) {
  const struct {
    const char* name;
    std::vector<uint32_t> a, b;
    uint32_t mask;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"plain", {1, 3, 5, 7, 9}, {3, 4, 7, 10}, 0xFFFFFFFF, {3, 7}},
      {"under a mask", {0x101, 0x203, 0x305, 0x406}, {0x003, 0x005}, 0xFF, {0x203, 0x305}},
      {"equal masked values in A share one B value", {0x102, 0x202, 0x303}, {0x002}, 0xFF, {0x102, 0x202}},
      {"B runs out", {1, 2, 3, 4}, {2}, 0xFFFFFFFF, {2}},
      {"empty B", {1, 2}, {}, 0xFFFFFFFF, {}},
      {"the marker value is dropped", {5, 0xFFFFFFFF}, {5, 0xFFFFFFFF}, 0xFFFFFFFF, {5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemHandle* a = HandleOf(c.a);
    MemHandle* b = c.b.empty() ? NewMemHandle(0) : HandleOf(c.b);
    const uint32_t n = IntersectSortedWords(a, static_cast<uint32_t>(c.a.size()), b,
                                            static_cast<uint32_t>(c.b.size()), c.mask);
    EXPECT_EQ(ValuesOf(a, n), c.expected);
    FreeMemHandle(a);
    FreeMemHandle(b);
  }
  // Counts beyond a handle's size are cut to it.
  MemHandle* a = HandleOf({1, 2, 3});
  MemHandle* b = HandleOf({1, 2, 3});
  EXPECT_EQ(IntersectSortedWords(a, 1000, b, 1000, 0xFFFFFFFF), 3u);
  FreeMemHandle(a);
  FreeMemHandle(b);
}

TEST(IntersectSortedPairs, ComparesFirstWordsAndCanTakeB) {
  MemHandle* a = HandleOf({0x101, 11, 0x202, 22, 0x303, 33});
  MemHandle* b = HandleOf({0x002, 7, 0x003, 8});
  EXPECT_EQ(IntersectSortedPairs(a, 3, b, 2, 0xFF, false), 2u);
  EXPECT_EQ(ValuesOf(a, 4), (std::vector<uint32_t>{0x202, 22, 0x303, 33}));
  FreeMemHandle(a);

  a = HandleOf({0x101, 11, 0x202, 22, 0x303, 33});
  EXPECT_EQ(IntersectSortedPairs(a, 3, b, 2, 0xFF, true), 2u);
  EXPECT_EQ(ValuesOf(a, 4), (std::vector<uint32_t>{0x002, 22, 0x003, 33}));
  FreeMemHandle(a);
  FreeMemHandle(b);
}

TEST(CompareWords, SortBySignedWordsWithoutOverflow) {
  struct Rec {
    int32_t first;
    int32_t second;
  };
  Rec recs[] = {{INT32_MAX, 3}, {-5, 2}, {INT32_MIN, 1}, {0, 0}, {7, -9}};
  std::qsort(recs, 5, sizeof(Rec), CompareFirstWord);
  const int32_t firsts[] = {INT32_MIN, -5, 0, 7, INT32_MAX};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(recs[i].first, firsts[i]) << i;
  std::qsort(recs, 5, sizeof(Rec), CompareSecondWord);
  const int32_t seconds[] = {-9, 0, 1, 2, 3};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(recs[i].second, seconds[i]) << i;
  EXPECT_EQ(CompareFirstWord(&recs[0], &recs[0]), 0);
}

TEST(GetRandomValue, DrawsFromTheSystemGenerator) {
  SeedRandomForTests(42);
  const uint32_t a1 = GetRandomValue(0);
  const uint32_t a2 = GetRandomValue(0);
  SeedRandomForTests(42);
  EXPECT_EQ(GetRandomValue(7), a1);
  EXPECT_EQ(GetRandomValue(7), a2);
  UnseedRandomForTests();
}

}  // namespace
