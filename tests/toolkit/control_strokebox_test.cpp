// The stroke box: loading stroke data (capacities, midlines), showing,
// advancing in order or by the choice list, stepping back, choosing with the
// pen and its notification, hit testing, the colours of marks, gradient and
// highlight, and the animation's pacing on the virtual clock.
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/preferences.h"
#include "engine/stroke_index.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/virtual_clock.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_strokebox.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/devicedata/device_files.h"

namespace {

constexpr int kId = 81;

using Outline = std::vector<std::pair<int, int>>;  // closed: the last point repeats the first

// Stroke data: each outline's points, a stroke end after each, the data end.
std::vector<uint16_t> Data(const std::vector<Outline>& strokes) {
  std::vector<uint16_t> out;
  for (const Outline& o : strokes) {
    for (auto [x, y] : o) {
      out.push_back(static_cast<uint16_t>(x));
      out.push_back(static_cast<uint16_t>(y));
    }
    out.push_back(kStrokeDataEnd);
    out.push_back(0);
  }
  out.push_back(kStrokeDataEnd);
  out.push_back(kStrokeDataEnd);
  return out;
}

Outline Square(int x, int y, int size) { return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}}; }
// An L: concave at (x + 20, y + 50).
Outline Ell(int x, int y) {
  return {{x, y}, {x + 20, y}, {x + 20, y + 50}, {x + 70, y + 50}, {x + 70, y + 70}, {x, y + 70}, {x, y}};
}
// A bar of 40 segments: 20 along the top from the start, 20 back below.
Outline Bar40(int x, int y) {
  Outline o;
  for (int k = 0; k <= 20; ++k) o.push_back({x + 10 * k, y});
  for (int k = 19; k >= 0; --k) o.push_back({x + 10 * k, y + 12});
  return o;
}

class StrokeboxTest : public ControlTest {
 protected:
  HWND MakeBox(uint16_t points = 2000, uint16_t strokes = 50, int w = 300, int h = 200) {
    StrokeboxCreateParams p{};
    p.pointCapacity = points;
    p.strokeCapacity = strokes;
    box_ = MakeControl(kStrokeboxClassName, kId, 0, 0, w, h, &p);
    UpdateWindow(box_);
    return box_;
  }
  StrokeboxState* State() { return GetStrokeboxState(box_); }
  void Load(const std::vector<uint16_t>& data, uint32_t flags = 0) {
    SendMessageW(box_, kStrokeboxLoad, static_cast<WPARAM>(data.size() | flags), reinterpret_cast<LPARAM>(data.data()));
  }
  uint32_t Counts() { return static_cast<uint32_t>(SendMessageW(box_, kStrokeboxGetCounts, 0, 0)); }
  LRESULT Advance(uint16_t n, int all = 0) { return SendMessageW(box_, kStrokeboxAdvance, all, n); }
  uint32_t Px(int x, int y) { return AutoGetPixel(box_, x, y) & 0xFFFFFF; }
  std::vector<uint16_t> Choices() {
    std::vector<uint16_t> out(60, 0xEEEE);
    out.resize(static_cast<size_t>(
        SendMessageW(box_, kStrokeboxGetChoices, out.size(), reinterpret_cast<LPARAM>(out.data()))));
    return out;
  }
  void TapAt(int x, int y) { Tap(box_, x, y); }
  std::vector<std::vector<uint32_t>> StrokeNotes() const {
    std::vector<std::vector<uint32_t>> out;
    for (const ControlNotify& n : notes_)
      out.push_back(
          {n.header.code, n.payload.strokebox.shown, n.payload.strokebox.total, n.payload.strokebox.choosing});
    return out;
  }
  HWND box_ = nullptr;
};

// Three squares apart: their middles are (30, 30), (100, 30), (170, 30).
const std::vector<Outline> kThree = {Square(10, 10, 40), Square(80, 10, 40), Square(150, 10, 40)};

TEST_F(StrokeboxTest, ShowAllDrawsEveryStrokeAndCountsThem) {
  MakeBox();
  Load(Data(kThree), kStrokeLoadShowAll);
  EXPECT_EQ(Counts(), (3u << 16) + 3u);
  for (int x : {30, 100, 170}) EXPECT_EQ(Px(x, 30), 0x000000u) << x;
  EXPECT_EQ(Px(65, 30), 0xFFFFFFu) << "between the strokes";
  Load(Data(kThree));
  EXPECT_EQ(Counts(), 3u) << "without the flag nothing is shown";
  EXPECT_EQ(Px(30, 30), 0xFFFFFFu);
}

TEST_F(StrokeboxTest, AdvanceInOrderThenAtTheEndAndStepBack) {
  MakeBox();
  Load(Data(kThree));
  EXPECT_EQ(Advance(1), 0);
  EXPECT_EQ(Px(30, 30), 0x000000u);
  EXPECT_EQ(Px(100, 30), 0xFFFFFFu);
  EXPECT_EQ(Advance(0), 1) << "0 shows all the rest";
  EXPECT_EQ(Px(170, 30), 0x000000u);
  SendMessageW(box_, kStrokeboxSetChoosing, 1, 0);
  EXPECT_EQ(Advance(1), 0) << "nothing left to show";
  EXPECT_EQ(State()->choosing, 0) << "and choosing ends";
  SendMessageW(box_, kStrokeboxStepBack, 0, 0);
  EXPECT_EQ(Counts(), (2u << 16) + 3u);
  EXPECT_EQ(Px(170, 30), 0xFFFFFFu) << "the step back repaints";
  for (int i = 0; i < 3; ++i) SendMessageW(box_, kStrokeboxStepBack, 0, 0);
  EXPECT_EQ(Counts(), 3u) << "a step back at 0 does nothing";
  EXPECT_EQ(Advance(0, 1), 1) << "show all";
  EXPECT_EQ(Counts(), (3u << 16) + 3u);
}

TEST_F(StrokeboxTest, ChoosingWithThePenAndOrderedAdvances) {
  MakeBox();
  Load(Data(kThree));
  SendMessageW(box_, kStrokeboxSetChoosing, 1, 0);
  TapAt(170, 30);
  TapAt(30, 30);
  EXPECT_EQ(Px(170, 30), 0x000000u) << "a chosen stroke is drawn black";
  EXPECT_EQ(Px(100, 30), 0xFFFFFFu);
  // A chosen stroke is left out: a tap on it again finds no outline and
  // takes the nearest midline among the others.
  TapAt(30, 30);
  EXPECT_EQ(Choices(), (std::vector<uint16_t>{2, 0, 1}));
  std::vector<uint16_t> values(3);
  EXPECT_EQ(SendMessageW(box_, kStrokeboxGetChoiceValues, 3, reinterpret_cast<LPARAM>(values.data())), 3);
  EXPECT_EQ(values, (std::vector<uint16_t>{1, 1, 1}));
  EXPECT_EQ(StrokeNotes(),
            (std::vector<std::vector<uint32_t>>{
                {kStrokeboxChosenCode, 1, 3, 1}, {kStrokeboxChosenCode, 2, 3, 1}, {kStrokeboxChosenCode, 3, 3, 0}}))
      << "the last choice ends choosing";
  EXPECT_EQ(notes_.back().header.idFrom, static_cast<UINT_PTR>(kId));

  // Loaded again in order: the choice list stays and leads the advances.
  Load(Data(kThree), kStrokeLoadOrdered);
  EXPECT_EQ(Choices(), std::vector<uint16_t>{}) << "nothing shown yet";
  EXPECT_EQ(Advance(1), 0);
  EXPECT_EQ(Px(170, 30), 0x000000u) << "the first choice comes first";
  EXPECT_EQ(Px(30, 30), 0xFFFFFFu);
  EXPECT_EQ(Advance(1), 0);
  EXPECT_EQ(Px(30, 30), 0x000000u);
  EXPECT_EQ(Px(100, 30), 0xFFFFFFu);
  EXPECT_EQ(Advance(1), 1);
}

TEST_F(StrokeboxTest, OrderedAdvanceSkipsChoicesTheCharacterDoesNotHave) {
  MakeBox();
  // Four strokes chosen in the order 3, 2, 1, 0.
  std::vector<Outline> four = {Square(10, 10, 30), Square(60, 10, 30), Square(110, 10, 30), Square(160, 10, 30)};
  Load(Data(four));
  SendMessageW(box_, kStrokeboxSetChoosing, 1, 0);
  for (int x : {175, 125, 75, 25}) TapAt(x, 25);
  ASSERT_EQ(Choices(), (std::vector<uint16_t>{3, 2, 1, 0}));
  // A character of two strokes: entries 3 and 2 name strokes it lacks.
  Load(Data({Square(10, 100, 30), Square(60, 100, 30)}), kStrokeLoadOrdered);
  std::vector<uint32_t> before = ClientPixels(box_);
  EXPECT_EQ(Advance(1), 0);
  EXPECT_EQ(ClientPixels(box_), before) << "nothing is drawn for a missing stroke";
  EXPECT_EQ(Counts(), (1u << 16) + 2u) << "shown still rises";
  EXPECT_EQ(Advance(0), 1);
  EXPECT_EQ(ClientPixels(box_), before) << "the second entry (2) is missing too";
}

TEST_F(StrokeboxTest, LoadingKeepsWithinTheCapacities) {
  struct Case {
    uint16_t points, strokes;
    std::vector<Outline> data;
    uint16_t wantStrokes, wantSegments;
    const char* why;
  } cases[] = {
      {2000, 50, {Square(0, 0, 10), Ell(20, 0)}, 2, 10, "4 + 6 segments"},
      {2000,
       2,
       {Square(0, 0, 10), Square(20, 0, 10), Square(40, 0, 10)},
       2,
       8,
       "the third stroke finds no room: reading stops, nothing glued on"},
      {6, 50, {Square(0, 0, 10), Square(20, 0, 10)}, 2, 6, "segments past the point capacity are dropped"},
      {2000, 0, {Square(0, 0, 10)}, 0, 0, "no room for any stroke"},
      {0, 50, {Square(0, 0, 10)}, 1, 0, "no room for any segment"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeBox(c.points, c.strokes);
    Load(Data(c.data), kStrokeLoadShowAll);
    StrokeboxState* s = State();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->strokeCount, c.wantStrokes);
    EXPECT_EQ(s->outlineCount, c.wantSegments);
    EXPECT_LE(s->midlineCount, s->midlineCapacity);
    for (uint16_t i = 0; i < s->strokeCount; ++i) EXPECT_LE(s->strokeStarts[i], s->outlineCount);
    DestroyWindow(box_);
  }
}

TEST_F(StrokeboxTest, NoDataKeepsTheStrokes) {
  MakeBox();
  Load(Data(kThree), kStrokeLoadShowAll);
  SendMessageW(box_, kStrokeboxSetChoosing, 1, 0);
  SendMessageW(box_, kStrokeboxLoad, 0, 0);
  EXPECT_EQ(Counts(), (3u << 16) + 3u);
  EXPECT_EQ(State()->choosing, 0) << "loading always ends choosing";
}

TEST_F(StrokeboxTest, MidlinesHaveHalfTheOutlineSegments) {
  struct Case {
    Outline outline;
    uint16_t segments;
  } cases[] = {
      {Square(0, 0, 40), 2},  {Ell(0, 0), 3},
      {Bar40(0, 0), 20},      {{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 5}, {0, 0}}, 2},  // 5 segments
      {{{0, 0}, {10, 0}}, 0},                                                             // 1 segment
  };
  MakeBox();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outline.size() - 1);
    Load(Data({c.outline, Square(100, 100, 10)}), kStrokeLoadNoRepaint);
    StrokeboxState* s = State();
    EXPECT_EQ(s->midlineStarts[1] - s->midlineStarts[0], c.segments);
    EXPECT_EQ(s->midlineCount - s->midlineStarts[1], 2) << "the square after it";
  }
  // The square's midline: from the middle of its ends (the start point
  // twice), through the middles of the points paired across it.
  Load(Data({Square(0, 0, 40)}), kStrokeLoadNoRepaint);
  StrokeboxState* s = State();
  ASSERT_EQ(s->midlineCount, 2);
  EXPECT_EQ(s->midline[0].x1, 0);
  EXPECT_EQ(s->midline[0].y1, 0);
  EXPECT_EQ(s->midline[0].x2, 20);  // middle of (40, 0) and (0, 40)
  EXPECT_EQ(s->midline[0].y2, 20);
  EXPECT_EQ(s->midline[1].x2, 40);  // middle of (40, 40) and itself
  EXPECT_EQ(s->midline[1].y2, 40);
}

TEST_F(StrokeboxTest, ConcaveFillAgreesWithTheOutlineTest) {
  MakeBox();
  Load(Data({Ell(20, 20)}), kStrokeLoadShowAll);
  StrokeboxState* s = State();
  int inside = 0, outside = 0;
  for (int y = 10; y < 100; y += 3)
    for (int x = 10; x < 100; x += 3) {
      // Points on or next to the outline belong to its pen, not the rule.
      if (MinSquaredDistanceToSegments(s->outline, s->outlineCount, x, y) < 4) continue;
      bool in = PointInStrokeOutline(s->outline, s->outlineCount, x, y) != 0;
      EXPECT_EQ(Px(x, y), in ? 0x000000u : 0xFFFFFFu) << x << "," << y;
      (in ? inside : outside)++;
    }
  EXPECT_GT(inside, 50);
  EXPECT_GT(outside, 50);
  EXPECT_FALSE(PointInStrokeOutline(s->outline, s->outlineCount, 70, 40)) << "inside the L's notch";
  EXPECT_TRUE(PointInStrokeOutline(s->outline, s->outlineCount, 30, 40));
}

TEST_F(StrokeboxTest, HitTestPrefersOutlinesThenTheNearMidline) {
  MakeBox(2000, 50, 300, 200);
  // Two overlapping squares: 0 covers 10..50, 1 covers 30..70.
  Load(Data({Square(10, 10, 40), Square(30, 10, 40)}), kStrokeLoadNoRepaint);
  StrokeboxState* s = State();
  struct Case {
    int ax, ay, bx, by;
    uint16_t stroke;
    const char* why;
  } cases[] = {
      {20, 30, 20, 30, 0, "inside the first only"},
      {60, 30, 60, 30, 1, "inside the second only"},
      {40, 30, 40, 30, 0, "inside both: the first collected"},
      {40, 30, 60, 30, 1, "inside both: the one holding B"},
      {20, 150, 20, 150, 0, "inside none: the nearest midline"},
      {65, 150, 65, 150, 1, "inside none: the other midline is nearer"},
      {20, 1060, 20, 1060, kNoStroke, "a midline 1000 pixels away or more is too far"},
      {20, 1020, 20, 1020, 0, "below 1000 pixels it is found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    uint8_t direction = 9;
    EXPECT_EQ(HitTestStroke(s, c.ax, c.ay, c.bx, c.by, &direction, 0), c.stroke);
    if (c.stroke == kNoStroke) {
      EXPECT_EQ(direction, 9) << "untouched";
    }
  }
  uint8_t direction = 0;
  HitTestStroke(s, 12, 12, 45, 45, &direction, 0);
  EXPECT_EQ(direction, 1) << "A is nearer the stroke's first point than B";
  HitTestStroke(s, 45, 45, 12, 12, &direction, 0);
  EXPECT_EQ(direction, 0);
  EXPECT_FLOAT_EQ(MinSquaredDistanceToSegments(s->midline, 0, 0, 0), kStrokeNearLimit);
}

TEST_F(StrokeboxTest, MarksGradientHighlightAndRestore) {
  MakeBox();
  Load(Data(kThree), kStrokeLoadShowAll);
  const uint16_t marks[3] = {kStrokeRight, kStrokeWrong, kStrokePlain};
  SendMessageW(box_, kStrokeboxSetMarks, 3, reinterpret_cast<LPARAM>(marks));
  EXPECT_EQ(Px(30, 30), 0x00FF00u) << "mark 1 is green";
  EXPECT_EQ(Px(10, 30), 0x000000u) << "with a black outline";
  EXPECT_EQ(Px(100, 30), 0xFF0000u) << "mark 2 is red";
  EXPECT_EQ(Px(80, 30), 0x000000u);
  EXPECT_EQ(Px(170, 30), 0x000000u) << "mark 0 is black";

  StrokeboxOptions gradient{};
  gradient.gradient = 1;
  SendMessageW(box_, kStrokeboxSetOptions, 0, reinterpret_cast<LPARAM>(&gradient));
  // Channel c becomes c + (255 - c) * i / 3.
  EXPECT_EQ(Px(30, 30), 0x00FF00u) << "stroke 0 keeps its colour";
  EXPECT_EQ(Px(100, 30), 0xFF5555u);
  EXPECT_EQ(Px(170, 30), 0xAAAAAAu);

  StrokeboxOptions plain{};
  SendMessageW(box_, kStrokeboxSetOptions, 0, reinterpret_cast<LPARAM>(&plain));
  Load(Data(kThree));
  SendMessageW(box_, kStrokeboxSetChoosing, 1, 0);
  Down(box_, 30, 30);
  EXPECT_EQ(Px(30, 30), kStrokeHighlight) << "the stroke under the pen";
  EXPECT_EQ(Px(10, 30), 0x000000u) << "with its outline";
  Move(box_, 100, 30);
  EXPECT_EQ(Px(100, 30), kStrokeHighlight) << "the pen moved onto the next";
  EXPECT_EQ(Px(30, 30), ResolveColorWord(kStrokeRestore, kRoleForeground)) << "the first is restored";
  Up(box_, 100, 30);
  EXPECT_EQ(Px(100, 30), 0x000000u) << "chosen";
  EXPECT_EQ(Choices(), std::vector<uint16_t>{1});
}

std::vector<DWORD> gTicks;
void RecordTick(void*) { gTicks.push_back(GetTickCount()); }

TEST_F(StrokeboxTest, AnimationFillsBandsPacedOnTheClock) {
  MakeBox();
  InstallTestClock();
  AddVirtualClockAdvanceHook(&RecordTick, nullptr);
  struct Case {
    uint16_t duration;
    std::vector<DWORD> steps;
    const char* why;
  } cases[] = {
      {600, {}, "20 bands of 30 ms, then a third of the duration"},
      {0, {}, "no duration: no sleep"},
      {10, {}, "more bands than milliseconds: 1 ms every 2 bands, then 3 ms"},
  };
  cases[0].steps.assign(20, 30);
  cases[0].steps.push_back(200);
  cases[2].steps.assign(10, 1);
  cases[2].steps.push_back(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Load(Data({Bar40(10, 100)}));
    StrokeboxOptions options{};
    options.duration = c.duration;
    SendMessageW(box_, kStrokeboxSetOptions, 0, reinterpret_cast<LPARAM>(&options));
    gTicks.clear();
    DWORD start = GetTickCount();
    EXPECT_EQ(Advance(1), 1);
    std::vector<DWORD> steps;
    for (DWORD t : gTicks) {
      steps.push_back(t - start);
      start = t;
    }
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(Px(15, 106), 0x000000u) << "the stroke's start is filled";
    EXPECT_EQ(Px(200, 106), 0x000000u) << "and its far end";
  }
  RemoveVirtualClockAdvanceHook(&RecordTick, nullptr);
  UninstallVirtualClock();
}

TEST_F(StrokeboxTest, AnimationDelayFollowsThePreference) {
  MakeBox();
  struct Case {
    int32_t pref;
    uint16_t ms;
  } cases[] = {{1, 600}, {2, 400}, {3, 200}, {0, 400}, {7, 400}, {-1, 400}};
  for (const Case& c : cases) {
    SetPref(app_->engine(), kPrefStrokeSpeed, c.pref);
    EXPECT_EQ(GetStrokeAnimationDelay(app_->engine()), c.ms) << c.pref;
  }
}

TEST_F(StrokeboxTest, MovingShiftsTheLoadedStrokes) {
  MakeBox();
  Load(Data({Square(10, 10, 40)}), kStrokeLoadShowAll);
  StrokeboxState* s = State();
  uint16_t x = s->outline[0].x1, mx = s->midline[0].x2;
  MoveStrokebox(s, ShortRect{5, 7, 300, 200});
  EXPECT_EQ(s->outline[0].x1, x + 5);
  EXPECT_EQ(s->outline[0].y1, 17);
  EXPECT_EQ(s->midline[0].x2, mx + 5);
  MoveStrokebox(s, ShortRect{5, 7, 100, 100});
  EXPECT_EQ(s->outline[0].x1, x + 5) << "a size change alone shifts nothing";
}

// ---- Real characters ----
// The committed stroke-order excerpts built into a stroke file by the device
// data's builder, read back through the engine's aux index scaled to the box,
// as the character page passes them.
class RealStrokesTest : public StrokeboxTest {
 protected:
  void SetUp() override {
    StrokeboxTest::SetUp();
    databuild::DataFileSpec file;
    databuild::StrokeIndexSpec index;
    std::string error;
    ASSERT_EQ(devicedata::BuildStrokeFile(SORVI_STROKE_EXCERPTS, u"", &file, &index, nullptr, &error), 0) << error;
    ASSERT_EQ(databuild::WriteDataFile(file, fonts_->root().Host("s2stroke.pdb"), &error), 0) << error;
    ClearOpenFileCache();
    HANDLE h = CreateFileW(u"\\s2stroke.pdb", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int kind = 0;
    file_ = OpenDbFile(h, u"\\s2stroke.pdb", &kind);
    ASSERT_NE(file_, nullptr);
    EngineParams params{};
    params.noFonts = 1;
    params.noFlashcards = 1;
    strokes_ = CreateEngine(&file_, 1, &params);
    ASSERT_NE(strokes_, nullptr);
    ASSERT_EQ(IsAuxIndexPresent(strokes_), 1);
  }
  void TearDown() override {
    if (strokes_) FreeEngineSaveBlock(DestroyEngine(strokes_));
    if (file_) CloseDbFile(file_);
    StrokeboxTest::TearDown();
  }
  std::vector<uint16_t> Record(char32_t code, int size) {
    EXPECT_EQ(LoadAuxIndexRecord(strokes_, code, size, size), 0);
    uint32_t count = 0;
    const uint16_t* items = GetAuxIndexRecord(strokes_, &count);
    return std::vector<uint16_t>(items, items + count);
  }
  DictEngine* strokes_ = nullptr;
  DbFile* file_ = nullptr;
};

TEST_F(RealStrokesTest, CharactersLoadDrawAndHitTheirStrokes) {
  struct Case {
    char32_t code;
    uint16_t strokes;
  } cases[] = {{U'一', 1}, {U'丶', 1}, {U'中', 4}, {U'永', 5}};
  const int size = 180;
  MakeBox(2000, 50, size, size);
  int checked = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(c.code));
    std::vector<uint16_t> data = Record(c.code, size);
    Load(data, kStrokeLoadShowAll);
    StrokeboxState* s = State();
    ASSERT_EQ(s->strokeCount, c.strokes);
    // Both sides of each outline have the same number of segments, so the
    // midline runs the stroke's length in half as many.
    for (uint16_t i = 0; i < s->strokeCount; ++i) {
      uint16_t end = i + 1 < s->strokeCount ? s->strokeStarts[i + 1] : s->outlineCount;
      uint16_t midEnd = i + 1 < s->strokeCount ? s->midlineStarts[i + 1] : s->midlineCount;
      uint16_t length = end - s->strokeStarts[i];
      EXPECT_GE(length, 4);
      EXPECT_EQ(midEnd - s->midlineStarts[i], length / 2);
      // A point inside this stroke's outline, found on its midline, is
      // filled black and hits this stroke (or one that overlaps it there).
      const StrokeSegment& mid = s->midline[s->midlineStarts[i] + (midEnd - s->midlineStarts[i]) / 2];
      int x = mid.x1, y = mid.y1;
      const StrokeSegment* outline = s->outline + s->strokeStarts[i];
      if (!PointInStrokeOutline(outline, length, x, y)) continue;  // a hooked stroke's bend
      ++checked;
      EXPECT_EQ(Px(x, y), 0x000000u) << "stroke " << i;
      uint16_t hit = HitTestStroke(s, x, y, x, y, nullptr, 0);
      ASSERT_NE(hit, kNoStroke);
      uint16_t hitFirst = s->strokeStarts[hit];
      uint16_t hitEnd = hit + 1 < s->strokeCount ? s->strokeStarts[hit + 1] : s->outlineCount;
      EXPECT_TRUE(PointInStrokeOutline(s->outline + hitFirst, hitEnd - hitFirst, x, y));
    }
  }
  EXPECT_GE(checked, 9) << "of the 11 strokes, only a bent one may have its midline point outside";
}

TEST_F(RealStrokesTest, ChoosingEveryStrokeOfZhongInWritingOrder) {
  const int size = 180;
  MakeBox(2000, 50, size, size);
  Load(Record(U'中', size));
  SendMessageW(box_, kStrokeboxSetChoosing, 1, 0);
  StrokeboxState* s = State();
  for (uint16_t i = 0; i < 4; ++i) {
    // A point on the stroke's midline where only it lies.
    bool tapped = false;
    for (uint16_t m = s->midlineStarts[i]; m < (i + 1 < 4 ? s->midlineStarts[i + 1] : s->midlineCount) && !tapped;
         ++m) {
      int x = s->midline[m].x1, y = s->midline[m].y1;
      if (HitTestStroke(s, x, y, x, y, nullptr, 1) != i) continue;
      TapAt(x, y);
      tapped = true;
    }
    ASSERT_TRUE(tapped) << "stroke " << i << " has a point of its own";
  }
  EXPECT_EQ(Choices(), (std::vector<uint16_t>{0, 1, 2, 3}));
  EXPECT_EQ(StrokeNotes().back(), (std::vector<uint32_t>{kStrokeboxChosenCode, 4, 4, 0}));
}

}  // namespace
