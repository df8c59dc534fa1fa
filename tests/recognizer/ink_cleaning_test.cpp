#include <gtest/gtest.h>

#include <vector>

#include "recognizer/ink_points.h"

using quillet::CleanInk;
using quillet::InkPoint;

namespace {

struct Cleaned {
  int strokes;
  std::vector<std::pair<int, int>> entries;  // up to and including (-1, -1)
};

Cleaned Clean(const std::vector<int16_t>& ink) {
  std::vector<InkPoint> out(quillet::kMaxInkEntries, InkPoint{77, 77});
  Cleaned c{CleanInk(ink.data(), out.data()), {}};
  for (const InkPoint& p : out) {
    c.entries.push_back({p.x, p.y});
    if (p.x == -1 && p.y == -1) break;
  }
  return c;
}

using E = std::vector<std::pair<int, int>>;

struct CleanCase {
  const char* name;
  std::vector<int16_t> ink;
  int strokes;
  E entries;
};

class CleanInkCases : public testing::TestWithParam<CleanCase> {};

TEST_P(CleanInkCases, Cleans) {
  const CleanCase& c = GetParam();
  const Cleaned got = Clean(c.ink);
  EXPECT_EQ(got.strokes, c.strokes);
  EXPECT_EQ(got.entries, c.entries);
}

INSTANTIATE_TEST_SUITE_P(
    Ink, CleanInkCases,
    testing::Values(
        CleanCase{"StartsWithEndMark", {-1, -1, 5, 5, -1, 0}, 0, E{{-1, -1}}},
        CleanCase{"EndMarkWhateverX", {1, 1, 9, 9, -1, 0, 300, -1, 7, 7}, 1, E{{1, 1}, {9, 9}, {-1, -1}}},
        CleanCase{"SingleTapDoubled", {10, 10, -1, 0, -1, -1}, 1, E{{10, 10}, {10, 10}, {-1, -1}}},
        CleanCase{"RepeatsCountOnce", {1, 1, 1, 1, 2, 2, 2, 2, -1, 0, -1, -1}, 1, E{{1, 1}, {2, 2}, {-1, -1}}},
        CleanCase{"OnlyRepeatsIsOnePoint", {4, 4, 4, 4, 4, 4, -1, 0, 8, 8, 9, 9, -1, 0, -1, -1}, 2,
                  E{{4, 4}, {4, 4}, {-1, 0}, {8, 8}, {9, 9}, {-1, -1}}},
        CleanCase{"DoubleStrokeEnd", {1, 1, 2, 2, -1, 0, -1, 0, 5, 5, 6, 6, -1, 0, -1, -1}, 2,
                  E{{1, 1}, {2, 2}, {-1, 0}, {5, 5}, {6, 6}, {-1, -1}}},
        CleanCase{"LeadingStrokeEnd", {-1, 0, 3, 3, 4, 4, -1, 0, -1, -1}, 1, E{{3, 3}, {4, 4}, {-1, -1}}},
        CleanCase{"OtherStrokeEndYAtStart", {-1, 5, 3, 3, 4, 4, -1, 0, -1, -1}, 1, E{{3, 3}, {4, 4}, {-1, -1}}},
        CleanCase{"NoFinalStrokeEnd", {1, 1, 2, 2, -1, -1}, 1, E{{1, 1}, {2, 2}, {-1, -1}}},
        CleanCase{"TwoTaps", {1, 1, -1, 0, 50, 50, -1, 0, -1, -1}, 2,
                  E{{1, 1}, {1, 1}, {-1, 0}, {50, 50}, {50, 50}, {-1, -1}}},
        CleanCase{"OutOfRangeClamped", {-5, 2000, 3000, -7, -1, 0, -1, -1}, 1, E{{0, 1023}, {1023, 0}, {-1, -1}}}),
    [](const testing::TestParamInfo<CleanCase>& info) { return std::string(info.param.name); });

TEST(CleanInk, KeepsSixtyFourStrokesAndIgnoresTheRest) {
  std::vector<int16_t> ink;
  for (int s = 0; s < 70; ++s) ink.insert(ink.end(), {int16_t(s), 0, int16_t(s), 10, -1, 0});
  ink.insert(ink.end(), {-1, -1});
  const Cleaned got = Clean(ink);
  EXPECT_EQ(got.strokes, 64);
  ASSERT_EQ(got.entries.size(), 64u * 3u);
  EXPECT_EQ(got.entries[63 * 3], (std::pair<int, int>{63, 0}));
  EXPECT_EQ(got.entries.back(), (std::pair<int, int>{-1, -1}));
}

TEST(CleanInk, CutsAtTwoThousandThreeHundredThreeKeptEntries) {
  std::vector<int16_t> ink;
  for (int i = 0; i < 3000; ++i) ink.insert(ink.end(), {int16_t(i % 1000), int16_t(i / 1000)});
  ink.insert(ink.end(), {-1, 0, -1, -1});
  const Cleaned got = Clean(ink);
  EXPECT_EQ(got.strokes, 1);
  ASSERT_EQ(got.entries.size(), 2304u);
  EXPECT_EQ(got.entries[2302], (std::pair<int, int>{302, 2}));
  EXPECT_EQ(got.entries[2303], (std::pair<int, int>{-1, -1}));
}

TEST(CleanInk, OnePointStrokeWithoutRoomToDoubleIsDropped) {
  // 2,301 points, a stroke end, then a lone point that the limit closes.
  std::vector<int16_t> ink;
  for (int i = 0; i < 2301; ++i) ink.insert(ink.end(), {int16_t(i % 1000), int16_t(i / 1000)});
  ink.insert(ink.end(), {-1, 0, 500, 500, 501, 501, -1, 0, -1, -1});
  const Cleaned got = Clean(ink);
  EXPECT_EQ(got.strokes, 1);
  ASSERT_EQ(got.entries.size(), 2302u);
  EXPECT_EQ(got.entries[2300], (std::pair<int, int>{300, 2}));
  EXPECT_EQ(got.entries[2301], (std::pair<int, int>{-1, -1}));
}

}  // namespace
