#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "recognizer/template_table.h"

using namespace quillet;

namespace {

struct Group {
  uint8_t mask;
  int first;
  int count;
};

constexpr Group kGroups[] = {{0x4, 0, 185},   {0x8, 185, 263},  {0x10, 448, 128}, {0x1, 576, 125},
                             {0x2, 701, 99},  {0x20, 800, 96},  {0x40, 896, 88}};

struct BuiltInTable : testing::Test {
  TemplateTable t = BuiltInTemplateTable();
};

TEST_F(BuiltInTable, ClustersHaveTheirGroupsAndSizes) {
  for (const Group& g : kGroups)
    for (int c = g.first; c < g.first + g.count; ++c) {
      EXPECT_EQ(ClusterMask(t, c), g.mask) << c;
      EXPECT_GE(ClusterSize(t, c), 11) << c;
      EXPECT_LE(ClusterSize(t, c), kMaxClusterSize) << c;
    }
}

TEST_F(BuiltInTable, DirectClustersTileClassesUpTo18280) {
  std::vector<std::pair<int, int>> ranges;
  for (int c = 0; c < kDirectClusters; ++c) ranges.push_back({ClusterStart(t, c), ClusterSize(t, c)});
  std::sort(ranges.begin(), ranges.end());
  int next = 0;
  for (const auto& [start, size] : ranges) {
    EXPECT_EQ(start, next);
    next = start + size;
  }
  EXPECT_EQ(next, 18281);
}

TEST_F(BuiltInTable, ListClustersTileTheClassListAndMarkOnlyTheirGroups) {
  std::vector<std::pair<int, int>> ranges;
  for (int c = kDirectClusters; c < kClusters; ++c) {
    ranges.push_back({ClusterStart(t, c), ClusterSize(t, c)});
    const bool markedGroup = c >= 800;
    for (int pos = ClusterStart(t, c); pos < ClusterStart(t, c) + ClusterSize(t, c); ++pos) {
      const uint16_t e = ClassListEntry(t, pos);
      EXPECT_EQ((e & kMarkedClass) != 0, markedGroup) << pos;
      EXPECT_LT(e & 0x7FFF, 19222) << pos;
    }
  }
  std::sort(ranges.begin(), ranges.end());
  int next = 0;
  for (const auto& [start, size] : ranges) {
    EXPECT_EQ(start, next);
    next = start + size;
  }
  EXPECT_EQ(next, kClassListSize);
  // Classes 18,281 .. 19,221 are reached through the list only.
  std::set<int> listed;
  for (int pos = 0; pos < kClassListSize; ++pos) listed.insert(ClassListEntry(t, pos) & 0x7FFF);
  for (int cls = 18281; cls < 19222; ++cls) EXPECT_TRUE(listed.count(cls)) << cls;
}

TEST_F(BuiltInTable, CodesListsAndFixedClasses) {
  for (int cls = 0; cls < kClasses; ++cls) EXPECT_NE(ClassCode(t, cls), 0) << cls;
  EXPECT_EQ(ReadU16(t.bytes + kOffClassCodes + kClasses * 2), 0);
  for (int i = 0; i < kFixedListSize; ++i) EXPECT_LT(FixedListEntry(t, i), kClasses);
  // Fixed ranges: letters, digits, gestures.
  auto codesOf = [&](int first, int end) {
    std::set<uint16_t> s;
    for (int c = first; c < end; ++c) s.insert(ClassCode(t, c));
    return s;
  };
  std::set<uint16_t> lower, upper, digits;
  for (char c = 'a'; c <= 'z'; ++c) lower.insert(static_cast<uint16_t>(c));
  for (char c = 'A'; c <= 'Z'; ++c) upper.insert(static_cast<uint16_t>(c));
  for (char c = '0'; c <= '9'; ++c) digits.insert(static_cast<uint16_t>(c));
  EXPECT_EQ(codesOf(19363, 19420), lower);
  EXPECT_EQ(codesOf(19311, 19363), upper);
  EXPECT_EQ(codesOf(19280, 19311), digits);
  EXPECT_EQ(codesOf(19470, 19475), (std::set<uint16_t>{8, 9, 13, 16, 32}));
  EXPECT_EQ(codesOf(19420, 19428), (std::set<uint16_t>{0x21, 0x22, 0x2C, 0x3A, 0x3B, 0x3F, 0x3001, 0x3002}));
  std::map<uint16_t, int> inA, inB;
  for (int k = 0; k < kVariantPairs; ++k) {
    ++inA[ListA(t, k)];
    ++inB[ListB(t, k)];
  }
  for (const auto& [code, n] : inA) EXPECT_LE(n, 2) << code;
  for (const auto& [code, n] : inB) EXPECT_LE(n, 4) << code;
}

TEST_F(BuiltInTable, ProjectionDataStaysInRange) {
  // Every quantiser level and stage nibble is a 4-bit code by construction;
  // the weights must keep 96 terms of a re-score from wrapping 32 bits.
  for (int d = 0; d < 256; ++d) EXPECT_LE(Weight(t, d), 65535 / 96 + 1);
  for (int d = 1; d < 256; ++d) EXPECT_GE(Weight(t, d), Weight(t, d - 1));
  // Templates are told apart: hardly any two of the first 100 classes share
  // all 48 stage bytes.
  int identical = 0;
  for (int a = 0; a < 100; ++a)
    for (int b = a + 1; b < 100; ++b) {
      bool same = true;
      for (int k = 0; k < kStages && same; ++k) same = StageRow(t, k)[a] == StageRow(t, k)[b];
      identical += same;
    }
  EXPECT_LT(identical, 5);
}

}  // namespace
