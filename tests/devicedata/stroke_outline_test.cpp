// Stroke outlines to stroke box records: paths flattened, each stroke
// restarted at its start with two equal sides, y flipped, limits kept.
#include "tools/devicedata/stroke_outline.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace devicedata {
namespace {

struct Pt {
  int x, y;
};

// The strokes of a record as point lists (checks the markers on the way).
std::vector<std::vector<Pt>> Strokes(const std::vector<std::uint16_t>& items) {
  std::vector<std::vector<Pt>> out(1);
  EXPECT_EQ(items.size() % 2, 0u);
  EXPECT_GE(items.size(), 4u);
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
    if (items[i] == 65535 && items[i + 1] == 65535) {
      EXPECT_EQ(i + 2, items.size()) << "the end pair is last";
      EXPECT_TRUE(out.back().empty()) << "the last stroke is closed by its own end pair";
      out.pop_back();
      return out;
    }
    if (items[i] == 65535) {
      EXPECT_EQ(items[i + 1], 0);
      out.emplace_back();
    } else {
      out.back().push_back({items[i], items[i + 1]});
    }
  }
  ADD_FAILURE() << "no end pair";
  return out;
}

SourceStroke Stroke(const char* path, std::vector<Point> median) {
  SourceStroke s;
  std::string error;
  EXPECT_EQ(FlattenSvgPath(path, &s.outline, &error), 0) << error;
  s.median = std::move(median);
  return s;
}

// A horizontal bar, source y 600-700 (y up): y 200-300 in the record.
const char kBar[] = "M 100 600 L 900 600 L 900 700 L 100 700 Z";

TEST(StrokeOutlineTest, FlattensLinesAndCurves) {
  std::vector<Point> poly;
  std::string error;
  ASSERT_EQ(FlattenSvgPath(kBar, &poly, &error), 0) << error;
  EXPECT_EQ(poly.size(), 4u);
  ASSERT_EQ(FlattenSvgPath("M 0 0 Q 10 10 20 0 L 10 -5 Z", &poly, &error), 0) << error;
  ASSERT_EQ(poly.size(), 10u);  // start, 8 curve pieces, one line
  EXPECT_DOUBLE_EQ(poly[4].x, 10);
  EXPECT_DOUBLE_EQ(poly[4].y, 5);  // the curve's middle
  ASSERT_EQ(FlattenSvgPath("M 0 0 C 0 10 20 10 20 0 Z", &poly, &error), 0) << error;
  EXPECT_EQ(poly.size(), 9u);
  EXPECT_DOUBLE_EQ(poly[4].y, 7.5);
  // A closing line back onto the start adds no vertex.
  ASSERT_EQ(FlattenSvgPath("M 0 0 L 5 0 L 5 5 L 0 0 Z", &poly, &error), 0);
  EXPECT_EQ(poly.size(), 3u);
}

TEST(StrokeOutlineTest, RefusesPathsItCannotRead) {
  std::vector<Point> poly;
  for (const char* bad : {"L 1 1 L 2 2 L 3 0", "M 0 0 L 1 1 M 2 2 L 3 3", "M 0 0 A 1 1 0 0 0 5 5 L 1 0 Z",
                          "M 0 0 L 1 1 Z L 3 3", "M 0 0 L 1 1 Z", "M 0 x L 1 1 L 2 0", "1 2 3"}) {
    std::string error;
    EXPECT_EQ(FlattenSvgPath(bad, &poly, &error), 1) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(StrokeOutlineTest, StrokeStartsAtItsStartWithTwoEqualSides) {
  std::vector<std::uint16_t> items;
  std::string error;
  ASSERT_EQ(BuildStrokeRecord({Stroke(kBar, {{120, 650}, {500, 640}, {880, 650}})}, 32, &items, &error), 0) << error;
  auto strokes = Strokes(items);
  ASSERT_EQ(strokes.size(), 1u);
  const std::vector<Pt>& p = strokes[0];
  // Each side is 900 units long: 28 pieces each, closed back on the start.
  ASSERT_EQ(p.size(), 57u);
  const std::size_t L = p.size() - 1, m = L / 2;
  EXPECT_EQ(p[0].x, 100);
  EXPECT_EQ(p[0].y, 250);
  EXPECT_EQ(p[L].x, p[0].x);
  EXPECT_EQ(p[L].y, p[0].y);
  EXPECT_EQ(p[m].x, 900);
  EXPECT_EQ(p[m].y, 250);
  for (const Pt& q : p) {
    EXPECT_GE(q.y, 200);  // flipped: source 600-700 is 200-300 here
    EXPECT_LE(q.y, 300);
  }
  // The stroke box's midline: P(k+1) with P(L-k-1) runs from start to end
  // along the middle of the bar.
  int lastX = 100;
  for (std::size_t k = 0; k < m; ++k) {
    const Pt a = p[k + 1], b = p[L - k - 1];
    const int mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
    EXPECT_GE(mx, lastX) << k;
    EXPECT_NEAR(my, 250, 1) << k;
    EXPECT_LE(std::abs(a.x - b.x), 1) << "paired points face each other, " << k;
    lastX = mx;
  }
  EXPECT_EQ(lastX, 900);
  EXPECT_EQ(CountRecordSegments(items), L);
}

TEST(StrokeOutlineTest, MedianDirectionPicksTheStart) {
  std::vector<std::uint16_t> items;
  ASSERT_EQ(BuildStrokeRecord({Stroke(kBar, {{880, 650}, {120, 650}})}, 32, &items, nullptr), 0);
  auto strokes = Strokes(items);
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_EQ(strokes[0].front().x, 900);
  EXPECT_EQ(strokes[0][strokes[0].size() / 2].x, 100);
}

TEST(StrokeOutlineTest, ADotRunsToItsFarSide) {
  std::vector<std::uint16_t> items;
  ASSERT_EQ(BuildStrokeRecord({Stroke("M 400 400 L 440 400 L 440 440 L 400 440 Z", {{401, 439}, {401, 439}})}, 32,
                              &items, nullptr),
            0);
  auto strokes = Strokes(items);
  ASSERT_EQ(strokes.size(), 1u);
  const std::vector<Pt>& p = strokes[0];
  ASSERT_GE(p.size(), 5u);
  EXPECT_EQ(p.size() % 2, 1u);
  // Start at the top-left corner (source 400,440 is y 460 here), end at the far corner.
  EXPECT_NEAR(p.front().x, 400, 1);
  EXPECT_NEAR(p.front().y, 460, 1);
  EXPECT_EQ(p[p.size() / 2].x, 440);
  EXPECT_EQ(p[p.size() / 2].y, 500);
}

TEST(StrokeOutlineTest, CoordinatesStayInsideTheDesignBox) {
  std::vector<std::uint16_t> items;
  ASSERT_EQ(BuildStrokeRecord({Stroke("M -20 950 L 1100 950 L 1100 -200 Z", {{0, 940}, {1000, -100}})}, 32, &items,
                              nullptr),
            0);
  for (const auto& s : Strokes(items)) {
    for (const Pt& q : s) {
      EXPECT_LE(q.x, 1023);
      EXPECT_LE(q.y, 1023);
    }
  }
}

TEST(StrokeOutlineTest, KeepsTheStrokeBoxLimits) {
  std::vector<SourceStroke> many(50, Stroke(kBar, {{120, 650}, {880, 650}}));
  std::vector<std::uint16_t> items;
  std::string error;
  // Step 1 would give 1,800 segments a stroke: every stroke is cut alike.
  ASSERT_EQ(BuildStrokeRecord(many, 1, &items, &error), 0) << error;
  EXPECT_LE(CountRecordSegments(items), kStrokeMaxSegments);
  EXPECT_LE(items.size(), kStrokeMaxValues);
  auto strokes = Strokes(items);
  ASSERT_EQ(strokes.size(), 50u);
  for (const auto& s : strokes) {
    EXPECT_EQ(s.size(), strokes[0].size());
    EXPECT_GE(s.size(), 5u);  // at least 2 pieces a side
  }
  many.push_back(many[0]);
  EXPECT_EQ(BuildStrokeRecord(many, 32, &items, &error), 2);
  EXPECT_EQ(BuildStrokeRecord({}, 32, &items, &error), 1);
  SourceStroke noMedian = many[0];
  noMedian.median.clear();
  EXPECT_EQ(BuildStrokeRecord({noMedian}, 32, &items, &error), 1);
}

}  // namespace
}  // namespace devicedata
