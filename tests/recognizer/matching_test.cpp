#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "recognizer/recognizer.h"
#include "tests/recognizer/fake_table.h"

using namespace quillet;

namespace {

// Every projection is 128 and every code 0 with a zero table.
ProjectedFeatures Flat() {
  ProjectedFeatures f{};
  std::fill(std::begin(f.q), std::end(f.q), 128);
  return f;
}

std::vector<uint16_t> Classes(const MatchBuffers& m, int n) {
  std::vector<uint16_t> out;
  for (int i = 0; i < n; ++i) out.push_back(EntryClass(m.candidates[i]));
  return out;
}

struct Matching : testing::Test {
  FakeTable table;
  std::unique_ptr<MatchBuffers> buffers = std::make_unique<MatchBuffers>();
};

TEST_F(Matching, NoGroupAndNoFixedRangeGivesNoCandidate) {
  table.Cluster(0, 0x4, 11, 0, 0);
  EXPECT_EQ(FineMatchStage(table.View(), buffers.get(), Flat(), 0), 0);
  EXPECT_EQ(FineMatchStage(table.View(), buffers.get(), Flat(), 0x2), 0);  // enabled group has no cluster
  auto wa = std::make_unique<RecognizerWorkArea>();
  const std::vector<int16_t> ink = LineInk();
  EXPECT_EQ(RecognizeCore(table.View(), ink.data(), 0, wa.get()), 0);
}

TEST_F(Matching, GroupContributesOnlyItsNinetySixNearestClusters) {
  // 200 clusters of 11 classes; cluster c lies at distance 200 - c, so the
  // nearest are the last ones.
  for (int c = 0; c < 200; ++c) table.Cluster(c, 0x4, 11, static_cast<uint16_t>(c * 11), 200 - c);
  const int n = CoarseClusterStage(table.View(), buffers.get(), Flat().q, 0x4);
  ASSERT_EQ(n, 96 * 11);
  // Nearest first: cluster 199, then 198, ...
  EXPECT_EQ(EntryClass(buffers->candidates[0]), 199 * 11);
  EXPECT_EQ(EntryClass(buffers->candidates[11]), 198 * 11);
  const std::vector<uint16_t> got = Classes(*buffers, n);
  EXPECT_EQ(*std::min_element(got.begin(), got.end()), 104 * 11);
}

TEST_F(Matching, ExpansionStopsOncePastTheCandidateBound) {
  // 96 clusters of 44: after 71 ranges (3,124 classes) the bound is passed
  // and the remaining 25 clusters, however near, add nothing.
  for (int c = 0; c < 96; ++c) table.Cluster(c, 0x8, 44, static_cast<uint16_t>(c * 44), c);
  const int n = CoarseClusterStage(table.View(), buffers.get(), Flat().q, 0x8 | 0x80);
  EXPECT_EQ(n, 71 * 44 + kFixedListSize);
  const std::vector<uint16_t> got = Classes(*buffers, 71 * 44);
  EXPECT_EQ(*std::max_element(got.begin(), got.end()), 71 * 44 - 1);
  // Add the fixed ranges of every bit: the list stays within its capacity.
  const int all = AppendFixedRanges(buffers->candidates, n, 0xFFFF);
  EXPECT_EQ(all, n + 237);
  EXPECT_LE(all, kCandidateCapacity);
}

TEST_F(Matching, ClassListRangesAreMarkedAndKeepTheirBit) {
  table.Cluster(576, 0x1, 11, 100, 0);
  table.Cluster(800, 0x20, 11, 200, 5);
  for (int i = 0; i < 11; ++i) {
    table.ClassList(100 + i, static_cast<uint16_t>(5000 + i));
    table.ClassList(200 + i, static_cast<uint16_t>(0x8000 | (6000 + i)));
  }
  const int n = CoarseClusterStage(table.View(), buffers.get(), Flat().q, 0x1 | 0x20);
  ASSERT_EQ(n, 22);
  EXPECT_EQ(EntryClass(buffers->candidates[0]), 5000);
  EXPECT_EQ(EntryClass(buffers->candidates[11]), 0x8000 | 6000);
}

TEST_F(Matching, OversizedClustersNeverOverrunTheCandidateList) {
  // A table whose clusters break the 44-class bound: the expansion stops at
  // the list's capacity; class-list ranges past the list's end and class
  // numbers past the last class are skipped.
  for (int c = 0; c < 96; ++c) table.Cluster(c, 0x4, 255, static_cast<uint16_t>(c * 7), c);
  int n = CoarseClusterStage(table.View(), buffers.get(), Flat().q, 0x4 | 0x80);
  n = AppendFixedRanges(buffers->candidates, n, 0xFFFF);
  EXPECT_EQ(n, kCandidateCapacity);

  FakeTable listTable;
  listTable.Cluster(576, 0x1, 44, kClassListSize - 4, 0);
  for (int pos = kClassListSize - 4; pos < kClassListSize; ++pos) listTable.ClassList(pos, 0x7FFF);
  listTable.ClassList(kClassListSize - 1, 42);
  listTable.FixedList(0, 30000);
  listTable.FixedList(1, 19000);
  n = CoarseClusterStage(listTable.View(), buffers.get(), Flat().q, 0x1 | 0x80);
  // The list's last valid position, then the fixed list less its bad entry.
  ASSERT_EQ(n, 1 + 41);
  EXPECT_EQ(EntryClass(buffers->candidates[0]), 42);
  EXPECT_EQ(EntryClass(buffers->candidates[1]), 19000);
  for (int i = 0; i < n; ++i) EXPECT_LT(EntryClass(buffers->candidates[i]), kClasses);
}

TEST_F(Matching, FixedListAloneIsTheWholeCandidateList) {
  for (int i = 0; i < kFixedListSize; ++i) table.FixedList(i, static_cast<uint16_t>(3000 + 7 * i));
  for (int c = 0; c < 10; ++c) table.Cluster(c, 0x4, 11, static_cast<uint16_t>(c * 11), 0);
  const int n = FineMatchStage(table.View(), buffers.get(), Flat(), 0x80);
  // The 42 tie at score 0; the best 32 by class number remain.
  ASSERT_EQ(n, 32);
  for (int i = 0; i < n; ++i) EXPECT_EQ(EntryClass(buffers->candidates[i]), 3000 + 7 * i);
}

TEST_F(Matching, TiesRankByClassNumberAndFineScoresPrune) {
  // 600 classes in 15 clusters of 40. Classes 100 and 300 match every
  // stage; the others are one nibble step off in the odd projections, which
  // the re-score sees as a difference of 1 (weight 5).
  for (int c = 0; c < 15; ++c) table.Cluster(c, 0x4, 40, static_cast<uint16_t>(c * 40), c);
  for (int cls = 0; cls < 600; ++cls) table.AllStages(cls, 0x01);
  table.AllStages(300, 0x00);
  table.AllStages(100, 0x00);
  for (int k = 0; k < kStages; ++k) {
    table.Decoder(k, 0, 128);
    table.Decoder(k, 16, 128);
    table.Decoder(k, 17, 127);
  }
  table.Weight(1, 5);
  const int n = FineMatchStage(table.View(), buffers.get(), Flat(), 0x4);
  ASSERT_EQ(n, 32);
  EXPECT_EQ(buffers->candidates[0], MakeEntry(0, 100));
  EXPECT_EQ(buffers->candidates[1], MakeEntry(0, 300));
  // The rest tie at 48 x 5: the pruning kept the lowest class numbers and
  // they come in class order.
  for (int i = 2; i < n; ++i) EXPECT_EQ(buffers->candidates[i], MakeEntry(240, i - 2)) << i;
}

TEST_F(Matching, SmallListIsReScoredWholeAndCappedScoresSortLast) {
  // 22 candidates: never pruned. Nibble 0 decodes to 128 (difference 0),
  // nibble 1 to 0 (difference 128, weight 2,000): 96 x 2,000 passes 65,535.
  table.Cluster(0, 0x4, 11, 0, 0);
  table.Cluster(1, 0x4, 11, 11, 1);
  for (int k = 0; k < kStages; ++k) {
    table.Decoder(k, 0, 128);
    table.Decoder(k, 16, 128);
    table.Decoder(k, 1, 0);
    table.Decoder(k, 17, 0);
  }
  table.Weight(128, 2000);
  table.Weight(0, 3);
  for (int cls : {2, 5, 13}) table.AllStages(cls, 0x11);
  const int n = FineMatchStage(table.View(), buffers.get(), Flat(), 0x4);
  ASSERT_EQ(n, 22);
  for (int i = 0; i < 19; ++i) EXPECT_EQ(EntryScore(buffers->candidates[i]), 96 * 3) << i;
  EXPECT_EQ(buffers->candidates[19], MakeEntry(65535, 2));
  EXPECT_EQ(buffers->candidates[20], MakeEntry(65535, 5));
  EXPECT_EQ(buffers->candidates[21], MakeEntry(65535, 13));
}

TEST(MatchingHelpers, NibbleDistanceAndSelection) {
  uint8_t d[256];
  BuildNibbleDistanceTable(0x3C, d);
  EXPECT_EQ(d[0x3C], 0);
  EXPECT_EQ(d[0x00], 3 + 12);
  EXPECT_EQ(d[0xF0], 12 + 12);
  EXPECT_EQ(*std::max_element(d, d + 256), 12 + 12);
  BuildNibbleDistanceTable(0xF0, d);
  EXPECT_EQ(d[0x0F], 30);

  std::vector<CandidateEntry> keys;
  for (uint32_t i = 0; i < 100; ++i) keys.push_back(MakeEntry((i * 37) % 11, i));
  std::vector<CandidateEntry> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  SelectSmallest(keys.data(), 10, 100);
  SortAscending(keys.data(), keys.data() + 9);
  EXPECT_EQ(std::vector<CandidateEntry>(keys.begin(), keys.begin() + 10),
            std::vector<CandidateEntry>(sorted.begin(), sorted.begin() + 10));
}

}  // namespace
