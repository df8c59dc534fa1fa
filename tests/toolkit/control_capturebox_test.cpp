// The capture box: pen sequences to stored ink (smoothing, repeated points,
// leaving the box), handing out, undo, the pair limit, the notifications,
// the ink and frame pixels, and the box embedded in a field and in a list.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "engine/preferences.h"
#include "platform/controls.h"
#include "platform/gdi.h"
#include "platform/paint.h"
#include "recognizer/quillet.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_field.h"

namespace {

constexpr int kBoxId = 71;
constexpr int kHostId = 72;

using Pair = std::pair<uint16_t, uint16_t>;
using Pairs = std::vector<Pair>;
constexpr Pair kEnd{0xFFFF, 0};
constexpr Pair kInkEnd{0xFFFF, 0xFFFF};

struct PenStep {
  int event;  // 0 down, 1 move, 2 up
  int x, y;
};

// The rounded mean of points, computed apart from the box's integer form.
Pair Mean(std::initializer_list<Pair> points) {
  double x = 0, y = 0;
  for (const Pair& p : points) {
    x += p.first;
    y += p.second;
  }
  double n = static_cast<double>(points.size());
  return {static_cast<uint16_t>(std::floor(x / n + 0.5)), static_cast<uint16_t>(std::floor(y / n + 0.5))};
}

LPARAM At(int x, int y) {
  return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}

class CaptureboxTest : public ControlTest {
 protected:
  void TearDown() override {
    if (colorsChanged_) SetSysColors(2, kStaticIndices, savedColors_);
    ControlTest::TearDown();
  }

  HWND MakeBox(int w = 200, int h = 120) {
    if (box_) DestroyWindow(box_);
    // The parent repaints where the old box was before the new one is drawn.
    UpdateWindow(parent_);
    box_ = MakeControl(kCaptureboxClassName, kBoxId, 20, 20, w, h, nullptr);
    UpdateWindow(box_);
    return box_;
  }
  CaptureboxState* State(HWND h = nullptr) { return GetCaptureboxState(h ? h : box_); }

  std::vector<int> Run(const std::vector<PenStep>& steps) {
    std::vector<int> results;
    for (const PenStep& step : steps) results.push_back(CaptureboxPenEvent(State(), step.event, step.x, step.y));
    return results;
  }
  // The same steps as real pen input on a window.
  void PenSteps(HWND h, const std::vector<PenStep>& steps) {
    for (const PenStep& step : steps) Pen(h, step.x, step.y, step.event);
  }

  // The handed-out ink (0x8261), its end included.
  Pairs Taken(HWND h = nullptr) {
    uint16_t count = 0;
    auto* pairs = reinterpret_cast<const uint16_t*>(
        SendMessageW(h ? h : box_, kCaptureboxGetInk, 0, reinterpret_cast<LPARAM>(&count)));
    Pairs out;
    if (!pairs) return out;
    for (uint16_t i = 0; i < count; ++i) out.push_back({pairs[2 * i], pairs[2 * i + 1]});
    return out;
  }
  // The stored ink: the handed-out pairs less the end of the ink.
  Pairs Stored(HWND h = nullptr) {
    Pairs p = Taken(h);
    EXPECT_FALSE(p.empty());
    EXPECT_EQ(p.back(), kInkEnd);
    if (!p.empty()) p.pop_back();
    return p;
  }

  // Static controls' colours changed to values no other colour has, so that
  // the pixels show which system colours the box uses.
  void DistinctStaticColours() {
    for (int i = 0; i < 2; ++i) savedColors_[i] = GetSysColor(kStaticIndices[i]);
    const COLORREF colours[2] = {RGB(250, 248, 230), RGB(20, 40, 160)};
    SetSysColors(2, kStaticIndices, colours);
    colorsChanged_ = true;
  }
  static uint32_t InkColour() { return SwapRgbBytes(GetSysColor(COLOR_STATICTEXT) & 0xFFFFFF); }
  static uint32_t StaticBackground() { return SwapRgbBytes(GetSysColor(COLOR_STATIC) & 0xFFFFFF); }

  // Every pixel of `colour` lies within `reach` of the polyline of a stroke,
  // and the polyline's points (but its last, which a line never covers) are
  // of that colour.
  void ExpectInkAlong(HWND h, const Pairs& stroke, uint32_t colour, double reach) {
    RECT r{};
    GetClientRect(h, &r);
    int inked = 0;
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) {
        if ((AutoGetPixel(h, x, y) & 0xFFFFFF) != colour) continue;
        ++inked;
        double best = 1e9;
        for (size_t i = 0; i + 1 < stroke.size(); ++i) best = std::min(best, Distance(x, y, stroke[i], stroke[i + 1]));
        if (stroke.size() == 1) best = Distance(x, y, stroke[0], stroke[0]);
        EXPECT_LE(best, reach) << "ink at " << x << "," << y;
      }
    EXPECT_GT(inked, 0);
    for (size_t i = 0; i + 1 < stroke.size(); ++i)
      EXPECT_EQ(AutoGetPixel(h, stroke[i].first, stroke[i].second) & 0xFFFFFF, colour) << "point " << i;
  }
  static double Distance(int x, int y, Pair a, Pair b) {
    double ax = a.first, ay = a.second, dx = b.first - ax, dy = b.second - ay;
    double t = dx == 0 && dy == 0 ? 0 : std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
  }

  HWND box_ = nullptr;
  static constexpr int kStaticIndices[2] = {COLOR_STATIC, COLOR_STATICTEXT};
  COLORREF savedColors_[2] = {};
  bool colorsChanged_ = false;
};

// ---- Ink format ----

TEST_F(CaptureboxTest, PenSequencesStoreTheInkFormat) {
  const Pair d{10, 10}, p0{20, 10}, p1{30, 14}, p2{40, 20}, p3{51, 22}, p4{60, 30}, p5{66, 41};
  struct Case {
    const char* why;
    uint8_t smoothing;
    std::vector<PenStep> pen;
    std::vector<int> results;
    Pairs stored;
    uint16_t strokes;
  } cases[] = {
      {"a tap stores its point and a stroke end", 1, {{0, 30, 40}, {2, 30, 40}}, {1, 1}, {{30, 40}, kEnd}, 1},
      {"the up position is not stored", 1, {{0, 30, 40}, {2, 35, 45}}, {1, 1}, {{30, 40}, kEnd}, 1},
      {"smoothing: the down point raw, then windows of 1 and 3, and at the up 3 and 1",
       1,
       {{0, 10, 10}, {1, 20, 10}, {1, 30, 14}, {1, 40, 20}, {1, 51, 22}, {2, 51, 22}},
       {1, 1, 1, 1, 1, 1},
       {d, p0, Mean({p0, p1, p2}), Mean({p1, p2, p3}), p3, kEnd},
       1},
      {"smoothing: a window of 5 once five points have come",
       1,
       {{0, 10, 10}, {1, 20, 10}, {1, 30, 14}, {1, 40, 20}, {1, 51, 22}, {1, 60, 30}, {1, 66, 41}, {2, 0, 0}},
       {1, 1, 1, 1, 1, 1, 1, 1},
       {d, p0, Mean({p0, p1, p2}), Mean({p0, p1, p2, p3, p4}), Mean({p1, p2, p3, p4, p5}), Mean({p3, p4, p5}), p5,
        kEnd},
       1},
      {"without smoothing the raw points",
       0,
       {{0, 10, 10}, {1, 20, 10}, {1, 30, 14}, {1, 40, 20}, {1, 51, 22}, {2, 51, 22}},
       {1, 1, 1, 1, 1, 1},
       {d, p0, p1, p2, p3, kEnd},
       1},
      {"repeated moves at one place add nothing (smoothing)",
       1,
       {{0, 10, 10}, {1, 20, 20}, {1, 20, 20}, {1, 20, 20}, {2, 20, 20}},
       {1, 1, 1, 1, 1},
       {{10, 10}, {20, 20}, kEnd},
       1},
      {"repeated moves at one place add nothing (raw)",
       0,
       {{0, 10, 10}, {1, 20, 20}, {1, 20, 20}, {2, 20, 20}},
       {1, 1, 1, 1},
       {{10, 10}, {20, 20}, kEnd},
       1},
      {"moves at the down point leave a tap",
       1,
       {{0, 10, 10}, {1, 10, 10}, {2, 10, 10}},
       {1, 1, 1},
       {{10, 10}, kEnd},
       1},
      {"leaving the box ends the stroke at the first outside point, a negative coordinate as 0 (raw)",
       0,
       {{0, 10, 10}, {1, 20, 20}, {1, -5, 30}, {1, 40, 40}, {2, 40, 40}},
       {1, 1, 1, 0, 0},
       {{10, 10}, {20, 20}, {0, 30}, kEnd},
       1},
      {"leaving the box ends the stroke at the first outside point (smoothing)",
       1,
       {{0, 10, 10}, {1, 20, 20}, {1, 30, -7}, {2, 30, -7}},
       {1, 1, 1, 0},
       {{10, 10}, {20, 20}, {30, 0}, kEnd},
       1},
      {"leaving past the far side keeps the coordinate",
       0,
       {{0, 10, 10}, {1, 250, 50}, {2, 250, 50}},
       {1, 1, 0},
       {{10, 10}, {250, 50}, kEnd},
       1},
      {"move and up without a down do nothing", 1, {{1, 10, 10}, {2, 10, 10}}, {0, 0}, {}, 0},
      {"two strokes",
       0,
       {{0, 10, 10}, {1, 20, 10}, {2, 0, 0}, {0, 50, 60}, {2, 50, 60}},
       {1, 1, 1, 1, 1},
       {{10, 10}, {20, 10}, kEnd, {50, 60}, kEnd},
       2},
      {"a down that finds the pen down ends the open stroke first",
       0,
       {{0, 10, 10}, {1, 20, 20}, {0, 50, 50}, {2, 50, 50}},
       {1, 1, 1, 1},
       {{10, 10}, {20, 20}, kEnd, {50, 50}, kEnd},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeBox();
    EXPECT_EQ(SendMessageW(box_, kCaptureboxSetSmoothing, c.smoothing, 0), 1);
    EXPECT_EQ(Run(c.pen), c.results);
    EXPECT_EQ(Stored(), c.stored);
    EXPECT_EQ(GetInkStrokeCount(State()), c.strokes);
  }
}

TEST_F(CaptureboxTest, TwoStrokesAreHandedOutWithTheirEndsAndTheEndOfTheInk) {
  MakeBox();
  SendMessageW(box_, kCaptureboxSetSmoothing, 0, 0);
  PenSteps(box_, {{0, 10, 10}, {1, 30, 10}, {2, 30, 10}, {0, 50, 50}, {1, 50, 70}, {2, 50, 70}});
  const Pairs two = {{10, 10}, {30, 10}, kEnd, {50, 50}, {50, 70}, kEnd, kInkEnd};
  EXPECT_EQ(Taken(), two) << "the count includes the end of the ink";
  EXPECT_EQ(Taken(), two) << "handing out does not clear";
  // The next stored point takes the end pair's place.
  PenSteps(box_, {{0, 90, 90}, {2, 90, 90}});
  EXPECT_EQ(Taken(), (Pairs{{10, 10}, {30, 10}, kEnd, {50, 50}, {50, 70}, kEnd, {90, 90}, kEnd, kInkEnd}));
}

TEST_F(CaptureboxTest, AnEmptyInkIsHandedOutAsItsEndAlone) {
  MakeBox();
  uint16_t count = 7;
  auto* pairs =
      reinterpret_cast<const uint16_t*>(SendMessageW(box_, kCaptureboxGetInk, 0, reinterpret_cast<LPARAM>(&count)));
  ASSERT_NE(pairs, nullptr);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Pair(pairs[0], pairs[1]), kInkEnd);
  EXPECT_EQ(Taken(), Pairs{kInkEnd});
}

TEST_F(CaptureboxTest, UndoRemovesTheLastStroke) {
  MakeBox();
  SendMessageW(box_, kCaptureboxSetSmoothing, 0, 0);
  EXPECT_EQ(UndoInkStroke(State()), 0) << "an empty ink";
  EXPECT_EQ(Taken(), Pairs{kInkEnd});

  Run({{0, 10, 10}, {1, 20, 10}, {2, 20, 10}, {0, 40, 40}, {1, 40, 60}, {2, 40, 60}});
  EXPECT_EQ(UndoInkStroke(State()), 1);
  EXPECT_EQ(GetInkStrokeCount(State()), 1);
  EXPECT_EQ(Taken(), (Pairs{{10, 10}, {20, 10}, kEnd, kInkEnd}));

  EXPECT_EQ(UndoInkStroke(State()), 0) << "the only stroke";
  EXPECT_EQ(GetInkStrokeCount(State()), 0);
  EXPECT_EQ(Taken(), Pairs{kInkEnd});

  // The box window answers 1 whatever is left.
  Run({{0, 10, 10}, {2, 10, 10}});
  EXPECT_EQ(SendMessageW(box_, kCaptureboxUndoStroke, 0, 0), 1);
  EXPECT_EQ(SendMessageW(box_, kCaptureboxUndoStroke, 0, 0), 1);
  EXPECT_EQ(Taken(), Pairs{kInkEnd});
}

// Positions inside the 200 x 120 box, each unlike the one before.
PenStep Numbered(int event, int i) { return {event, i % 200, (i / 200) % 120}; }

TEST_F(CaptureboxTest, TheInkStaysWithinItsLimitAndEveryStrokeEnds) {
  struct Case {
    const char* why;
    int firstPoints;  // of the first stroke, its down point included
    Pair lastBeforeEnd;
    uint16_t strokes;
  } cases[] = {
      // Points stop at 8189 pairs; the stroke end still fits, and the end of
      // the ink after it.
      {"a stroke longer than the limit", 9000, {8188 % 200, 8188 / 200}, 1},
      // 8187 points and an end leave room for one more point and its end.
      {"a stroke that reaches the limit with its next point", 8187, {0, 100}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeBox();
    SetInkSmoothing(State(), 0);
    CaptureboxPenEvent(State(), 0, 0, 0);
    for (int i = 1; i < c.firstPoints; ++i) CaptureboxPenEvent(State(), 1, Numbered(1, i).x, Numbered(1, i).y);
    CaptureboxPenEvent(State(), 2, 0, 0);
    // A second stroke of a down and two moves.
    Run({{0, 0, 100}, {1, 5, 105}, {1, 9, 109}, {2, 9, 109}});
    Pairs taken = Taken();
    ASSERT_EQ(taken.size(), kInkMaxPairs);
    EXPECT_EQ(taken[8188], c.lastBeforeEnd);
    EXPECT_EQ(taken[8189], kEnd);
    EXPECT_EQ(taken[8190], kInkEnd);
    EXPECT_EQ(GetInkStrokeCount(State()), c.strokes) << "a stroke none of whose points fit is not counted";
    // Nothing more fits, and what is handed out stays the same.
    Run({{0, 3, 3}, {1, 4, 4}, {2, 4, 4}});
    EXPECT_EQ(Taken(), taken);
    EXPECT_EQ(UndoInkStroke(State()), c.strokes > 1 ? 1 : 0);
    EXPECT_EQ(GetInkStrokeCount(State()), c.strokes - 1);
  }
}

TEST_F(CaptureboxTest, SwitchingSmoothingOrClearingWithinAStrokeKeepsTheInkWellFormed) {
  MakeBox();
  // A smoothed stroke fills the ring; the next one starts raw and is
  // smoothed from its third move on, from its own points only.
  Run({{0, 10, 10}, {1, 20, 10}, {1, 30, 10}, {1, 40, 10}, {1, 50, 10}, {1, 60, 10}, {1, 70, 10}, {2, 70, 10}});
  SendMessageW(box_, kCaptureboxSetSmoothing, 0, 0);
  Run({{0, 100, 100}, {1, 110, 100}, {1, 120, 100}});
  SendMessageW(box_, kCaptureboxSetSmoothing, 1, 0);
  Run({{1, 130, 103}, {1, 140, 106}, {2, 140, 106}});
  Pairs stored = Stored();
  const Pairs second(stored.begin() + 8, stored.end());
  EXPECT_EQ(second, (Pairs{{100, 100}, {110, 100}, {120, 100}, {130, 103}, {140, 106}, kEnd}));

  // Switched off within a stroke, the points smoothing held back are kept.
  MakeBox();
  const Pair p0{20, 10}, p1{30, 14}, p2{40, 20}, p3{51, 22};
  Run({{0, 10, 10}, {1, 20, 10}, {1, 30, 14}, {1, 40, 20}, {1, 51, 22}});
  SendMessageW(box_, kCaptureboxSetSmoothing, 0, 0);
  Run({{1, 60, 30}, {2, 60, 30}});
  EXPECT_EQ(Stored(), (Pairs{{10, 10}, p0, Mean({p0, p1, p2}), Mean({p1, p2, p3}), p3, {60, 30}, kEnd}));

  // Cleared while the pen is down: the stroke's end alone is not kept, as
  // the recogniser refuses ink that begins with one.
  MakeBox();
  Run({{0, 10, 10}});
  EXPECT_EQ(SendMessageW(box_, kCaptureboxClear, 0, 0), 1);
  Run({{2, 10, 10}});
  EXPECT_EQ(Stored(), Pairs{});
  EXPECT_EQ(GetInkStrokeCount(State()), 0);
}

TEST_F(CaptureboxTest, StrokesAreReportedToTheParentWithTheControlId) {
  MakeBox();
  PenSteps(box_, {{0, 10, 10}, {1, 30, 10}, {2, 30, 10}, {0, 50, 50}, {2, 50, 50}});
  ASSERT_EQ(notes_.size(), 4u);
  const std::pair<UINT, uint32_t> want[] = {{kCaptureboxStrokeBegun, 1},
                                            {kCaptureboxStrokeEnded, 1},
                                            {kCaptureboxStrokeBegun, 2},
                                            {kCaptureboxStrokeEnded, 2}};
  for (size_t i = 0; i < notes_.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(notes_[i].header.hwndFrom, box_);
    EXPECT_EQ(notes_[i].header.idFrom, static_cast<UINT_PTR>(kBoxId));
    EXPECT_EQ((std::pair<UINT, uint32_t>{notes_[i].header.code, notes_[i].payload.index}), want[i]);
  }
}

// The ink is what the recogniser reads: characters written with the pen in
// a box come back from HWRecognize first.
TEST_F(CaptureboxTest, TheRecogniserReadsTheInkThatIsHandedOut) {
  struct Written {
    char16_t character;
    std::vector<std::vector<Pair>> strokes;  // corners; the pen moves every few pixels between them
  } samples[] = {
      {u'十', {{{40, 120}, {260, 120}}, {{150, 20}, {150, 260}}}},
      {u'中',
       {{{60, 80}, {60, 200}}, {{60, 80}, {240, 80}, {240, 200}}, {{60, 200}, {240, 200}}, {{150, 20}, {150, 280}}}},
      {u'人', {{{150, 30}, {140, 120}, {60, 250}}, {{140, 120}, {250, 250}}}},
  };
  for (const Written& w : samples) {
    SCOPED_TRACE(static_cast<int>(w.character));
    MakeBox(300, 300);
    for (const auto& stroke : w.strokes) {
      Down(box_, stroke[0].first, stroke[0].second);
      for (size_t i = 1; i < stroke.size(); ++i) {
        const Pair a = stroke[i - 1], b = stroke[i];
        for (int step = 1; step <= 12; ++step)
          Move(box_, a.first + (b.first - a.first) * step / 12, a.second + (b.second - a.second) * step / 12);
      }
      Up(box_, stroke.back().first, stroke.back().second);
    }
    uint16_t count = 0;
    auto* ink =
        reinterpret_cast<const int16_t*>(SendMessageW(box_, kCaptureboxGetInk, 0, reinterpret_cast<LPARAM>(&count)));
    ASSERT_NE(ink, nullptr);
    EXPECT_EQ(GetInkStrokeCount(State()), w.strokes.size());
    uint16_t out[11] = {};
    ASSERT_GT(HWRecognize(ink, out, 10, 0xF), 0);
    EXPECT_EQ(out[0], static_cast<uint16_t>(w.character));
  }
}

// ---- Pixels ----

TEST_F(CaptureboxTest, InkIsTwoPixelsWideOnAScaledScreenAndOneOtherwise) {
  DistinctStaticColours();
  struct Case {
    const char* why;
    uint32_t num, den;
    bool wide;
  } cases[] = {
      {"192 dpi (factor 6)", 6, 3, true},
      {"96 dpi (factor 3)", 3, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeEngine({toolkit_test::kLatin}, c.num, c.den);
    MakeBox();
    SendMessageW(box_, kCaptureboxSetSmoothing, 0, 0);
    PenSteps(box_, {{0, 10, 30}, {1, 80, 30}, {2, 80, 30}, {0, 120, 20}, {1, 120, 90}, {2, 120, 90}});
    const uint32_t ink = InkColour(), back = StaticBackground();
    auto px = [&](int x, int y) { return AutoGetPixel(box_, x, y) & 0xFFFFFF; };
    EXPECT_EQ(px(45, 30), ink);
    EXPECT_EQ(px(45, 31), c.wide ? ink : back);
    EXPECT_EQ(px(45, 29), back);
    EXPECT_EQ(px(45, 32), back);
    EXPECT_EQ(px(120, 50), ink);
    EXPECT_EQ(px(121, 50), c.wide ? ink : back);
    EXPECT_EQ(px(119, 50), back);
    EXPECT_EQ(px(122, 50), back);
    // A tap is a dot of one pixel, however wide the ink.
    PenSteps(box_, {{0, 160, 60}, {2, 160, 60}});
    EXPECT_EQ(px(160, 60), ink);
    EXPECT_EQ(px(161, 60), back);
    EXPECT_EQ(px(160, 61), back);
  }
}

TEST_F(CaptureboxTest, SmoothedInkLiesAlongTheStoredPathAndARepaintDrawsItAgain) {
  DistinctStaticColours();
  for (uint32_t num : {3u, 6u}) {
    SCOPED_TRACE(num);
    MakeEngine({toolkit_test::kLatin}, num, 3);
    MakeBox();
    PenSteps(box_, {{0, 12, 100},
                    {1, 20, 90},
                    {1, 31, 84},
                    {1, 45, 70},
                    {1, 52, 50},
                    {1, 70, 44},
                    {1, 90, 40},
                    {1, 101, 20},
                    {1, 130, 15},
                    {2, 130, 15}});
    Pairs stroke = Stored();
    ASSERT_EQ(stroke.back(), kEnd);
    stroke.pop_back();
    ExpectInkAlong(box_, stroke, InkColour(), num > 3 ? 2.0 : 1.0);
    std::vector<uint32_t> live = ClientPixels(box_);
    InvalidateRect(box_, nullptr, TRUE);
    UpdateWindow(box_);
    EXPECT_EQ(ClientPixels(box_), live);
  }
}

TEST_F(CaptureboxTest, TheBoxWindowShowsItsBackgroundAndEtchedFrameAndClearRepaintsThem) {
  DistinctStaticColours();
  MakeBox(160, 100);
  std::vector<uint32_t> shown = ClientPixels(box_);
  EXPECT_EQ(AutoGetPixel(box_, 80, 50) & 0xFFFFFF, StaticBackground());
  // The same frame drawn by hand over it changes nothing.
  HDC dc = GetDC(box_);
  RECT r{0, 0, 160, 100};
  FillRect(dc, &r, GetSysColorBrush(COLOR_STATIC));
  DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT | BF_MONO);
  ReleaseDC(box_, dc);
  EXPECT_EQ(ClientPixels(box_), shown);
  EXPECT_NE(AutoGetPixel(box_, 0, 50) & 0xFFFFFF, StaticBackground()) << "the frame";

  PenSteps(box_, {{0, 20, 20}, {1, 90, 60}, {2, 90, 60}});
  EXPECT_NE(ClientPixels(box_), shown);
  EXPECT_EQ(SendMessageW(box_, kCaptureboxClear, 0, 0), 1);
  EXPECT_EQ(ClientPixels(box_), shown) << "cleared at once, without a repaint";
  EXPECT_EQ(Taken(), Pairs{kInkEnd});
  EXPECT_EQ(GetInkStrokeCount(State()), 0);
}

// ---- Embedded in a field and a list ----

class EmbeddedInkTest : public CaptureboxTest {
 protected:
  HWND MakeField(DWORD style = 0, int h = 100) {
    FieldCreateParams p{};
    p.fontSize = 14;
    host_ = MakeControl(kFieldClassName, kHostId, 10, 10, 220, h, &p, style);
    text_.clear();
    for (int i = 0; i < 12; ++i) text_ += u"Written over the text MWM " + std::u16string(1, u'A' + i) + u"\r\n";
    SendMessageW(host_, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text_.c_str()));
    UpdateWindow(host_);
    notes_.clear();
    return host_;
  }
  HWND MakeList() {
    ListCreateParams p{};
    p.itemCount = 30;
    p.fontSize = kListFontSizeDefault;
    p.border = 1;
    for (uint32_t i = 0; i < p.itemCount; ++i) rows_[i] = {u"Row MWM " + std::u16string(1, u'A' + (i % 26)), u""};
    host_ = MakeControl(kListClassName, kHostId, 10, 10, 220, 120, &p, WS_VSCROLL);
    UpdateWindow(host_);
    return host_;
  }
  SCROLLINFO Bar() {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    GetScrollInfo(host_, SB_VERT, &info);
    return info;
  }
  static bool Same(const SCROLLINFO& a, const SCROLLINFO& b) {
    return a.nMin == b.nMin && a.nMax == b.nMax && a.nPage == b.nPage && a.nPos == b.nPos;
  }

  // The first stroke fades the host's text (every pixel ORed with grey:
  // black becomes (192, 192, 192), white stays white); after a repaint the
  // ink lies over the faded text.
  void ExpectFadeAndInkOver(HWND host) {
    const std::vector<uint32_t> plain = ClientPixels(host);
    std::vector<uint32_t> faded;
    bool black = false;
    for (uint32_t p : plain) {
      black = black || p == 0;
      faded.push_back(p | 0xC0C0C0);
    }
    ASSERT_TRUE(black) << "the host shows black text";
    EXPECT_EQ(SendMessageW(host, kSetInkMessage, 1, 0), 1);
    EXPECT_EQ(SendMessageW(host, kHasInkMessage, 0, 0), 0);
    Down(host, 20, 15);
    EXPECT_EQ(ClientPixels(host), faded);
    Move(host, 60, 30);
    Move(host, 100, 50);
    Move(host, 150, 40);
    Up(host, 150, 40);
    EXPECT_EQ(SendMessageW(host, kHasInkMessage, 0, 0), 1);
    Pairs stored = Stored(host);
    ASSERT_EQ(stored.back(), kEnd);
    stored.pop_back();

    InvalidateRect(host, nullptr, TRUE);
    UpdateWindow(host);
    const std::vector<uint32_t> after = ClientPixels(host);
    ASSERT_EQ(after.size(), faded.size());
    const uint32_t ink = InkColour();
    int inked = 0;
    for (size_t i = 0; i < after.size(); ++i) {
      if (after[i] == ink) {
        ++inked;
        continue;
      }
      EXPECT_EQ(after[i], faded[i]) << "pixel " << i;
    }
    EXPECT_GT(inked, 0);
    ExpectInkAlong(host, stored, ink, 1.0);
  }

  HWND host_ = nullptr;
  std::u16string text_;
};

TEST_F(EmbeddedInkTest, TheFirstStrokeFadesAFieldAndTheInkLiesOverItAfterARepaint) {
  MakeField();
  ExpectFadeAndInkOver(host_);
  for (const ControlNotify& n : notes_) EXPECT_NE(n.header.code, static_cast<UINT>(kFieldPen));
}

TEST_F(EmbeddedInkTest, TheFirstStrokeFadesAListAndTheInkLiesOverItAfterARepaint) {
  MakeList();
  ExpectFadeAndInkOver(host_);
  for (const ControlNotify& n : notes_) EXPECT_NE(n.header.code, kListChooseCode);
}

TEST_F(EmbeddedInkTest, InkOffHandsThePenBackAndKeepsTheInk) {
  for (int kind = 0; kind < 2; ++kind) {
    SCOPED_TRACE(kind == 0 ? "field" : "list");
    kind == 0 ? MakeField() : MakeList();
    EXPECT_EQ(SendMessageW(host_, kHasInkMessage, 0, 0), 0) << "never turned on";
    EXPECT_EQ(GetCaptureboxState(host_), nullptr);
    SendMessageW(host_, kSetInkMessage, 1, 0);
    ASSERT_NE(GetCaptureboxState(host_), nullptr);
    EXPECT_TRUE(IsCaptureboxEmbedded(GetCaptureboxState(host_)));
    Tap(host_, 30, 20);
    EXPECT_EQ(SendMessageW(host_, kHasInkMessage, 0, 0), 1);
    SendMessageW(host_, kSetInkMessage, 0, 0);
    EXPECT_EQ(SendMessageW(host_, kHasInkMessage, 0, 0), 0);
    notes_.clear();
    Tap(host_, 30, 20);
    EXPECT_FALSE(notes_.empty()) << "the host takes the pen again";
    uint16_t count = 0;
    EXPECT_EQ(SendMessageW(host_, kCaptureboxGetInk, 0, reinterpret_cast<LPARAM>(&count)), 0)
        << "0x8261 is not the host's";
    EXPECT_EQ(GetInkStrokeCount(GetCaptureboxState(host_)), 1);
    SendMessageW(host_, kSetInkMessage, 1, 0);
    EXPECT_EQ(SendMessageW(host_, kHasInkMessage, 0, 0), 1) << "the same box, its ink kept";
    DestroyWindow(host_);
  }
}

TEST_F(EmbeddedInkTest, TheEmbeddedBoxAnswersTheInkMessagesWithItsOwnResults) {
  MakeField();
  SendMessageW(host_, kSetInkMessage, 1, 0);
  SendMessageW(host_, kCaptureboxSetSmoothing, 0, 0);
  PenSteps(host_, {{0, 10, 10}, {1, 30, 10}, {2, 30, 10}, {0, 50, 50}, {2, 50, 50}});
  EXPECT_EQ(Taken(host_), (Pairs{{10, 10}, {30, 10}, kEnd, {50, 50}, kEnd, kInkEnd}));
  EXPECT_EQ(SendMessageW(host_, kCaptureboxUndoStroke, 0, 0), 1) << "ink is left";
  EXPECT_EQ(SendMessageW(host_, kCaptureboxUndoStroke, 0, 0), 0) << "nothing is left";
  PenSteps(host_, {{0, 10, 10}, {2, 10, 10}});
  EXPECT_EQ(SendMessageW(host_, kCaptureboxClear, 0, 0), 1);
  EXPECT_EQ(Taken(host_), Pairs{kInkEnd});
  // Messages that are not the box's reach the field.
  EXPECT_EQ(SendMessageW(host_, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(text_.size()));
}

TEST_F(EmbeddedInkTest, ThePreferenceHidesTheScrollBarWhileWritingAndClearBringsItBack) {
  for (int kind = 0; kind < 2; ++kind) {
    SCOPED_TRACE(kind == 0 ? "field" : "list");
    SetPref(app_->engine(), kPrefInkHidesScrollBar, 0);
    kind == 0 ? MakeField(WS_VSCROLL, 60) : MakeList();
    const SCROLLINFO shown = Bar();
    ASSERT_GT(shown.nMax, 0) << "the host has a scroll bar";
    SendMessageW(host_, kSetInkMessage, 1, 0);

    // Off: the bar stays, and the box answers 1.
    EXPECT_EQ(SendMessageW(host_, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20)), 1);
    SendMessageW(host_, WM_LBUTTONUP, 0, At(20, 20));
    EXPECT_TRUE(Same(Bar(), shown));
    EXPECT_EQ(EmbeddedCaptureboxMessage(host_, kCaptureboxClear, 0, 0), 1);

    // On: pen down asks the host to hide its bar, clear to bring it back.
    SetPref(app_->engine(), kPrefInkHidesScrollBar, 1);
    EXPECT_EQ(EmbeddedCaptureboxMessage(host_, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20)), kInkHideScrollBar);
    EmbeddedCaptureboxMessage(host_, WM_LBUTTONUP, 0, At(20, 20));
    EXPECT_EQ(EmbeddedCaptureboxMessage(host_, kCaptureboxClear, 0, 0), kInkRefreshScrollBar);

    EXPECT_EQ(SendMessageW(host_, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20)), 1);
    SCROLLINFO hidden = Bar();
    EXPECT_EQ(hidden.nMin, 0);
    EXPECT_EQ(hidden.nMax, 0);
    EXPECT_EQ(hidden.nPage, 0u);
    EXPECT_EQ(hidden.nPos, 0);
    SendMessageW(host_, WM_LBUTTONUP, 0, At(20, 20));
    EXPECT_EQ(SendMessageW(host_, kCaptureboxClear, 0, 0), 1);
    EXPECT_TRUE(Same(Bar(), shown)) << "brought up to date from the host's own numbers";

    // Hidden again, the bar comes back when ink goes off.
    SendMessageW(host_, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
    SendMessageW(host_, WM_LBUTTONUP, 0, At(20, 20));
    EXPECT_EQ(Bar().nMax, 0);
    SendMessageW(host_, kSetInkMessage, 0, 0);
    EXPECT_TRUE(Same(Bar(), shown));
    DestroyWindow(host_);
  }
  SetPref(app_->engine(), kPrefInkHidesScrollBar, 0);
}

TEST_F(EmbeddedInkTest, AttachingTwiceKeepsOneBoxAndItFollowsTheHostsSize) {
  MakeField();
  SendMessageW(host_, kSetInkMessage, 1, 0);
  CaptureboxState* first = GetCaptureboxState(host_);
  SendMessageW(host_, kSetInkMessage, 1, 0);
  AttachCapturebox(host_);
  EXPECT_EQ(GetCaptureboxState(host_), first);
  RECT client{};
  GetClientRect(host_, &client);
  EXPECT_EQ(first->rect.width, client.right);
  SetWindowPos(host_, nullptr, 0, 0, 150, 70, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(host_, &client);
  ASSERT_LT(client.right, 150);
  EXPECT_EQ(first->rect.width, client.right);
  EXPECT_EQ(first->rect.height, client.bottom);
  // The field saw the size too.
  EXPECT_EQ(GetFieldState(host_)->clientRect.width, client.right);
  // A box window's procedure leaves an embedded state alone.
  EXPECT_EQ(CaptureboxWndProc(host_, kCaptureboxClear, 0, 0), DefWindowProcW(host_, kCaptureboxClear, 0, 0));
  EXPECT_EQ(GetCaptureboxState(host_), first);
}

}  // namespace
