#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "recognizer/recognizer.h"
#include "tests/recognizer/fake_table.h"

using namespace quillet;

namespace {

struct Prepared {
  std::unique_ptr<RecognizerWorkArea> wa = std::make_unique<RecognizerWorkArea>();
  int strokes = 0;
};

Prepared Prepare(const std::vector<int16_t>& ink) {
  Prepared p;
  p.strokes = PrepareInk(ink.data(), p.wa.get());
  return p;
}

Prepared Features(const std::vector<int16_t>& ink) {
  Prepared p = Prepare(ink);
  if (p.strokes) ExtractCounters(p.wa->ink, p.wa->grid, &p.wa->features);
  return p;
}

int Sum(const uint8_t* counters, int from, int to) {
  int s = 0;
  for (int i = from; i < to; ++i) s += counters[i];
  return s;
}

TEST(Normalize, VerticalStrokeMapsXToCentreAndYAcrossTheGrid) {
  const Prepared p = Prepare({100, 100, 100, 200, 100, 300, -1, 0, -1, -1});
  ASSERT_EQ(p.strokes, 1);
  EXPECT_EQ(p.wa->xMap[100], 31);
  EXPECT_EQ(p.wa->yMap[100], 1);
  EXPECT_EQ(p.wa->yMap[300], 62);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p.wa->ink[i].x, 31);
}

TEST(Normalize, FlatStrokeGetsItsShortRangePadded) {
  // Width 40, height 1: the y range collapses onto the centre line.
  const Prepared flat = Prepare({100, 200, 139, 200, -1, 0, -1, -1});
  ASSERT_EQ(flat.strokes, 1);
  EXPECT_EQ(flat.wa->ink[0].y, 31);
  EXPECT_EQ(flat.wa->ink[0].x, 1);
  EXPECT_EQ(flat.wa->ink[1].x, 62);
  // Width 40, height 2: padding (40 - 4) / 2 = 18 keeps the stroke near the
  // middle instead of stretching it over 1..62. Weighted centre y = 201.
  const Prepared thin = Prepare({100, 200, 139, 201, -1, 0, -1, -1});
  EXPECT_EQ(thin.wa->yMap[200], 1 + ((200 - 182) * 30 + 19 / 2) / 19);
  EXPECT_EQ(thin.wa->yMap[201], 31);
}

TEST(Normalize, TapIsNoCharacterButTwoTapsAre) {
  EXPECT_EQ(Prepare({10, 10, 12, 12, 11, 10, -1, 0, -1, -1}).strokes, 0);  // within 3 x 3
  EXPECT_EQ(Prepare({10, 10, -1, 0, -1, -1}).strokes, 0);
  const Prepared taps = Features({10, 10, -1, 0, 90, 10, -1, 0, -1, -1});
  ASSERT_EQ(taps.strokes, 2);
  // The doubled points draw nothing; only the pen-up move reaches the features.
  const uint8_t* c = taps.wa->features.counters;
  EXPECT_EQ(Sum(c, 0, 768), 0);
  EXPECT_GT(Sum(c, 768, 1024), 0);
  EXPECT_GT(c[768 + 0 * 32 + 0 * 8 + 3], 0);  // east, seen from the left, middle rows
}

TEST(Normalize, LargeInkDoesNotOverflowTheCentre) {
  // Long zig-zags over the whole range: 32-bit sums would overflow.
  std::vector<int16_t> ink;
  for (int i = 0; i < 2200; ++i) ink.insert(ink.end(), {int16_t(i % 2 ? 1023 : 0), int16_t(i % 2 ? 1023 : 0)});
  ink.insert(ink.end(), {-1, 0, -1, -1});
  const Prepared p = Prepare(ink);
  ASSERT_EQ(p.strokes, 1);
  EXPECT_EQ(p.wa->xMap[0], 1);
  EXPECT_EQ(p.wa->xMap[1023], 62);
  EXPECT_NEAR(p.wa->xMap[511], 31, 1);
}

TEST(DirectionGrid, DrawsBresenhamBitsAndTheEndPointOnlyWhenAsked) {
  uint8_t grid[kGridCells] = {};
  DrawDirectionLine(grid, InkPoint{2, 2}, InkPoint{6, 4}, false);
  // dx 4, dy 2: east, south-east, east, south-east.
  EXPECT_EQ(grid[2 * 64 + 2], kSouthEast);
  EXPECT_EQ(grid[3 * 64 + 3], kEast);
  EXPECT_EQ(grid[3 * 64 + 4], kSouthEast);
  EXPECT_EQ(grid[4 * 64 + 5], kEast);
  EXPECT_EQ(grid[4 * 64 + 6], 0);
  DrawDirectionLine(grid, InkPoint{2, 2}, InkPoint{6, 4}, true);
  EXPECT_NE(grid[4 * 64 + 6], 0);
  uint8_t empty[kGridCells] = {};
  DrawDirectionLine(empty, InkPoint{5, 5}, InkPoint{5, 5}, true);
  DrawDirectionLine(empty, InkPoint{5, 5}, InkPoint{-1, 0}, true);
  EXPECT_EQ(Sum(empty, 0, kGridCells), 0);
}

TEST(Features, WritingDirectionChangesTheDirectionBits) {
  const Prepared right = Features({100, 200, 300, 210, -1, 0, -1, -1});
  const Prepared left = Features({300, 210, 100, 200, -1, 0, -1, -1});
  const uint8_t* r = right.wa->features.counters;
  const uint8_t* l = left.wa->features.counters;
  // First crossing seen from the top (side 1): east vs west, over all bands.
  const int eastFromTop = Sum(r, 0 * 16 + 4, 0 * 16 + 8);
  const int westFromTop = Sum(l, 4 * 16 + 4, 4 * 16 + 8);
  EXPECT_GT(eastFromTop, 10);
  EXPECT_NEAR(eastFromTop, westFromTop, 1);
  EXPECT_EQ(Sum(r, 4 * 16 + 4, 4 * 16 + 8), 0);
  EXPECT_EQ(Sum(l, 0 * 16 + 4, 0 * 16 + 8), 0);
  EXPECT_NE(std::vector<uint8_t>(r, r + 1024), std::vector<uint8_t>(l, l + 1024));
}

TEST(Features, PenUpMoveChangesOnlyDirectionPresence) {
  // Two vertical strokes; written in either order the ink and its crossings
  // are the same, only the pen-up move goes east or west.
  const Prepared ab = Features({100, 100, 100, 300, -1, 0, 300, 100, 300, 300, -1, 0, -1, -1});
  const Prepared ba = Features({300, 100, 300, 300, -1, 0, 100, 100, 100, 300, -1, 0, -1, -1});
  const uint8_t* x = ab.wa->features.counters;
  const uint8_t* y = ba.wa->features.counters;
  EXPECT_EQ(std::vector<uint8_t>(x, x + 768), std::vector<uint8_t>(y, y + 768));
  EXPECT_NE(std::vector<uint8_t>(x + 768, x + 1024), std::vector<uint8_t>(y + 768, y + 1024));
}

TEST(Features, SecondCrossingCountsTheNextStroke) {
  // Three vertical strokes at x = 1, 9 and 62 once normalised: rows scanned
  // from the left (side 0, 32 cells) meet the first, then the second; both
  // go south. Layer 1 lives 128 counters on.
  const Prepared p = Features({100, 100, 100, 300, -1, 0, 130, 100, 130, 300, -1, 0, 400, 100, 400, 300, -1, 0, -1, -1});
  ASSERT_EQ(p.wa->ink[3].x, 9);
  const uint8_t* c = p.wa->features.counters;
  EXPECT_GT(Sum(c, 2 * 16 + 0, 2 * 16 + 4), 0);
  EXPECT_EQ(Sum(c, 2 * 16 + 0, 2 * 16 + 4), Sum(c, 128 + 2 * 16 + 0, 128 + 2 * 16 + 4));
  for (int i = 0; i < 1024; ++i) EXPECT_LE(c[i], 16) << i;
}

TEST(Projection, CounterAtSixteenUsesTheLastValueRow) {
  FakeTable t;
  t.ValueRow(16, 0, 7 * 1024);
  const Prepared p = Features({100, 100, 100, 400, -1, 0, -1, -1});
  const uint8_t* c = p.wa->features.counters;
  int sixteens = 0;
  for (int i = 0; i < 1024; ++i) sixteens += c[i] == 16;
  ASSERT_GT(sixteens, 0);
  int32_t sums[kProjections];
  ProjectedFeatures out;
  ProjectAndPack(t.View(), p.wa->features, sums, &out);
  EXPECT_EQ(sums[0], 7 * 1024 * sixteens);
  EXPECT_EQ(out.q[0], std::min(255, 128 + 7 * sixteens));
  EXPECT_EQ(out.q[95], out.q[0]);
}

TEST(Projection, SumsQuantiseWithClampingAndPack) {
  FakeTable t;
  t.ValueRow(1, 1, -32768);
  t.ValueRow(1, 2, -31745);  // 3 x -32768 - 31745 = -130049
  t.ValueRow(1, 3, -31744);  // -130048
  t.ValueRow(1, 4, 32767);
  t.ValueRow(1, 5, 31747);   // 130048
  t.ValueRow(1, 6, 31746);   // 130047
  FeatureVector f{};
  for (int i = 0; i < 4; ++i) f.counters[i] = 1;
  for (int i = 0; i < 4; ++i) {
    t.Codebook(i, 0, i < 3 ? 1 : 2);
    t.Codebook(i, 1, i < 3 ? 1 : 3);
    t.Codebook(i, 2, i < 3 ? 4 : 5);
    t.Codebook(i, 3, i < 3 ? 4 : 6);
  }
  for (int b = 0; b < 256; ++b) t.bytes[kOffQuantisers + b] = static_cast<uint8_t>(b);
  int32_t sums[kProjections];
  ProjectedFeatures out;
  ProjectAndPack(t.View(), f, sums, &out);
  EXPECT_EQ(sums[0], -130049);
  EXPECT_EQ(out.q[0], 0);
  EXPECT_EQ(out.q[1], 1);
  EXPECT_EQ(out.q[2], 255);
  EXPECT_EQ(out.q[3], 254);
  EXPECT_EQ(out.q[4], 128);
  // Even projection in the high nibble, odd in the low, both through Q[0].
  EXPECT_EQ(out.c[0], (0 & 0xF0) | (1 & 0x0F));
  EXPECT_EQ(out.c[1], 0);
}

}  // namespace
