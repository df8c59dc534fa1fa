// The main window's pane layout through a recording sink: the default
// portrait pass call by call, every input kind on every side, landscape
// preferences, the small window's give-way option, splitter limits, the
// first button row's edge counts, the drags and side changes, the
// handwriting section's button sets, degenerate windows, and one pass
// through the real dialog callbacks.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/preferences.h"
#include "tests/toolkit/recording_sink.h"
#include "tests/toolkit/toolkit_fixture.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"

namespace {

using recording_sink::Recorder;
using recording_sink::Rect4;

class PaneLayoutTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    engine_ = MakeEngine({toolkit_test::kLatin});
    *GetPaneLayoutBlock() = PaneLayoutBlock{};
    recording_sink::Current() = &rec_;
  }
  void TearDown() override {
    recording_sink::Current() = nullptr;
    *GetPaneLayoutBlock() = PaneLayoutBlock{};
    ToolkitTest::TearDown();
  }
  LayoutSink Sink() { return recording_sink::MakeSink(kMainPaneControls); }
  void Pass(int w, int h) { Pass(w, h, w, h); }
  void Pass(int w, int h, int ww, int wh) {
    rec_ = Recorder{};
    LayoutSink sink = Sink();
    LayoutMainPanes(engine_, &sink, PaneRect{0, 0, w, h}, PaneRect{0, 0, ww, wh});
  }
  std::optional<Rect4> Placed(int id) { return rec_.Placed(id); }
  bool Shown(int id) { return rec_.Shown(id); }
  Rect4 Content() {
    const uint16_t* c = GetPaneLayoutBlock()->content;
    return {c[0], c[1], c[2], c[3]};
  }
  void Set(std::initializer_list<std::pair<int32_t, int32_t>> prefs) {
    for (auto [id, value] : prefs) SetPref(engine_, id, value);
  }

  DictEngine* engine_ = nullptr;
  Recorder rec_;
};

TEST_F(PaneLayoutTest, DefaultPortraitPassCallByCall) {
  Pass(80, 98);
  std::vector<std::string> expected = {"begin 1"};
  // 9 buttons over 80 units: 8 gaps of one unit.
  for (int i = 0; i < 9; ++i) {
    expected.push_back("place " + std::to_string(1004 + i) + " " + std::to_string(9 * i) + " 0 8 8");
    expected.push_back("show " + std::to_string(1004 + i) + " 1");
  }
  // The field: 80 less 3 second-row buttons of 9 and the extra button.
  expected.push_back("place 1002 0 9 45 8");
  // The second row under the first row's last three.
  for (int j = 0; j < 3; ++j) {
    expected.push_back("place " + std::to_string(1020 + j) + " " + std::to_string(54 + 9 * j) + " 9 8 8");
    expected.push_back("show " + std::to_string(1020 + j) + " 1");
  }
  expected.insert(expected.end(), {"show 1002 1",
                                   // No input section (side 4); the list pane on the right at 28.
                                   "place 1031 52 17 28 81", "show 1031 1", "place 1032 51 17 1 81", "show 1032 1",
                                   "place 1030 0 17 51 81", "show 1030 1"});
  EXPECT_EQ(rec_.log, expected);
  uint16_t first = 0, second = 0;
  GetButtonRowCounts(&first, &second);
  EXPECT_EQ(first, 9);
  EXPECT_EQ(second, 3);
  bool laid = true, list = false;
  GetPaneLayoutFlags(engine_, &laid, &list);
  EXPECT_FALSE(laid);
  EXPECT_TRUE(list);
  EXPECT_EQ(GetPaneLayoutBlock()->landscape, 0);
  int32_t lo = 0, hi = 0;
  GetSplitterLimits(0, &lo, &hi);
  EXPECT_EQ(lo, 40);
  EXPECT_EQ(hi, 72);
}

struct Expect {
  int id;
  Rect4 rect;
};

// Each kind on each side of an 80 x 98 portrait client (tall, top bar 17),
// the list pane hidden, default sizes: handwriting 28, radical 25, keyboard
// 28. The rectangles of the combinations the rules leave open are written
// here as decided.
struct SectionCase {
  const char* what;
  int kind;
  int compact;
  int side;
  int mirrored;
  std::vector<Expect> expect;
  Rect4 content;
  std::array<int, 2> limits;
};

const SectionCase kSections[] = {
    {"handwriting right: buttons at the outer edge, the box at the foot",
     0,
     0,
     0,
     0,
     {{1034, {72, 17, 8, 8}},
      {1039, {72, 40, 8, 8}},
      {1036, {72, 63, 8, 8}},
      {1038, {62, 63, 8, 8}},
      {1037, {52, 63, 8, 8}},
      {1041, {53, 18, 19, 45}},
      {1040, {53, 71, 26, 26}},
      {1033, {51, 17, 1, 81}}},
     {0, 17, 51, 81},
     {40, 56}},
    {"handwriting left: mirrored columns, splitter after the band",
     0,
     0,
     1,
     0,
     {{1034, {0, 17, 8, 8}},
      {1039, {0, 40, 8, 8}},
      {1036, {0, 63, 8, 8}},
      {1038, {10, 63, 8, 8}},
      {1037, {20, 63, 8, 8}},
      {1041, {8, 18, 19, 45}},
      {1040, {1, 71, 26, 26}},
      {1033, {28, 17, 1, 81}}},
     {29, 17, 51, 81},
     {24, 40}},
    {"handwriting bottom: grid, button column, box at the right",
     0,
     0,
     2,
     0,
     {{1041, {1, 71, 44, 19}},
      {1036, {45, 70, 8, 8}},
      {1038, {45, 80, 8, 8}},
      {1037, {45, 90, 8, 8}},
      {1039, {23, 90, 8, 8}},
      {1034, {0, 90, 8, 8}},
      {1040, {53, 71, 26, 26}},
      {1033, {0, 69, 80, 1}}},
     {0, 17, 80, 52},
     {58, 74}},
    {"handwriting bottom mirrored: box at the left, buttons run right",
     0,
     0,
     2,
     1,
     {{1041, {35, 71, 44, 19}},
      {1036, {27, 70, 8, 8}},
      {1039, {49, 90, 8, 8}},
      {1034, {72, 90, 8, 8}},
      {1040, {1, 71, 26, 26}}},
     {0, 17, 80, 52},
     {58, 74}},
    {"compact right: a 9-unit strip without splitter",
     0,
     1,
     0,
     0,
     {{1034, {71, 17, 8, 8}},
      {1036, {71, 17, 8, 8}},
      {1035, {71, 25, 8, 8}},
      {1038, {71, 25, 8, 8}},
      {1039, {71, 33, 8, 8}},
      {1037, {71, 33, 8, 8}},
      {1041, {71, 42, 9, 56}}},
     {0, 17, 71, 81},
     {40, 71}},
    {"compact bottom: a row of buttons, the grid after them",
     0,
     1,
     2,
     0,
     {{1034, {0, 89, 8, 8}}, {1035, {8, 89, 8, 8}}, {1039, {16, 89, 8, 8}}, {1041, {25, 89, 55, 9}}},
     {0, 17, 80, 72},
     {58, 89}},
    {"compact bottom mirrored: buttons from the right end",
     0,
     1,
     2,
     1,
     {{1034, {71, 89, 8, 8}}, {1035, {63, 89, 8, 8}}, {1039, {55, 89, 8, 8}}, {1041, {0, 89, 55, 9}}},
     {0, 17, 80, 72},
     {58, 89}},
    {"radical right (odd size): 1034 at the right, the selector line",
     1,
     0,
     0,
     0,
     {{1034, {73, 17, 8, 8}},
      {1039, {55, 17, 8, 8}},
      {1042, {56, 26, 10, 8}},
      {1043, {67, 27, 12, 7}},
      {1041, {55, 35, 25, 63}},
      {1033, {54, 17, 1, 81}}},
     {0, 17, 54, 81},
     {40, 64}},
    {"radical left (odd size): the inner button stops before the splitter",
     1,
     0,
     1,
     0,
     {{1034, {0, 17, 8, 8}}, {1039, {17, 17, 8, 8}}, {1042, {1, 26, 10, 8}}, {1043, {12, 27, 12, 7}}},
     {26, 17, 54, 81},
     {16, 40}},
    {"radical bottom",
     1,
     0,
     2,
     0,
     {{1039, {0, 73, 8, 8}},
      {1034, {0, 91, 8, 8}},
      {1042, {11, 74, 9, 16}},
      {1043, {9, 91, 12, 7}},
      {1041, {22, 73, 58, 25}}},
     {0, 17, 80, 55},
     {58, 82}},
    {"keyboard left: push buttons near the inner side",
     2,
     0,
     1,
     0,
     {{1034, {0, 17, 8, 8}},
      {1045, {10, 18, 6, 6}},
      {1046, {16, 18, 6, 6}},
      {1047, {22, 18, 6, 6}},
      {1044, {0, 25, 28, 71}},
      {1033, {28, 17, 1, 81}}},
     {29, 17, 51, 81},
     {27, 40}},
    {"keyboard right",
     2,
     0,
     0,
     0,
     {{1034, {72, 17, 8, 8}}, {1045, {53, 18, 6, 6}}, {1047, {65, 18, 6, 6}}, {1044, {52, 25, 28, 71}}},
     {0, 17, 51, 81},
     {40, 53}},
    {"keyboard bottom: a column of push buttons at the start",
     2,
     0,
     2,
     0,
     {{1045, {1, 71, 6, 6}},
      {1046, {1, 77, 6, 6}},
      {1047, {1, 83, 6, 6}},
      {1034, {0, 90, 8, 8}},
      {1044, {10, 70, 70, 28}}},
     {0, 17, 80, 52},
     {58, 71}},
};

TEST_F(PaneLayoutTest, EachInputKindOnEachSide) {
  for (const SectionCase& c : kSections) {
    SCOPED_TRACE(c.what);
    Set({{kPrefInputKind, c.kind},
         {kPrefCompactHandwriting, c.compact},
         {kPrefInputSide, c.side},
         {kPrefMirrorInputSection, c.mirrored},
         {kPrefListSide, kPaneHidden}});
    Pass(80, 98);
    for (const Expect& e : c.expect) {
      SCOPED_TRACE(e.id);
      ASSERT_TRUE(Placed(e.id).has_value());
      EXPECT_EQ(*Placed(e.id), e.rect);
    }
    EXPECT_EQ(Content(), c.content);
    EXPECT_EQ(*Placed(1030), c.content);
    int32_t lo = 0, hi = 0;
    GetSplitterLimits(1, &lo, &hi);
    EXPECT_EQ(lo, c.limits[0]);
    EXPECT_EQ(hi, c.limits[1]);
    GetSplitterLimits(0, &lo, &hi);
    EXPECT_EQ(lo, 0);  // no list pane, no limits
    EXPECT_EQ(hi, 0);
    EXPECT_EQ(Placed(1033).has_value(), c.compact == 0);
    bool laid = false;
    GetPaneLayoutFlags(engine_, &laid, nullptr);
    EXPECT_TRUE(laid);
    EXPECT_FALSE(Placed(1031).has_value());
  }
}

TEST_F(PaneLayoutTest, CompactStripRecordsItsPlacesAndTheWritingArea) {
  Set({{kPrefCompactHandwriting, 1}, {kPrefInputSide, kPaneRight}, {kPrefListSide, kPaneHidden}});
  Pass(80, 98, 80, 120);
  const PaneLayoutBlock* b = GetPaneLayoutBlock();
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(
        (Rect4{b->candidateRects[i][0], b->candidateRects[i][1], b->candidateRects[i][2], b->candidateRects[i][3]}),
        (Rect4{71, 42, 9, 56}));
  EXPECT_EQ((Rect4{b->writingArea[0], b->writingArea[1], b->writingArea[2], b->writingArea[3]}), (Rect4{0, 0, 80, 17}));
  // The first set is shown, the second placed only.
  for (int id : {1034, 1035, 1039}) EXPECT_TRUE(Shown(id)) << id;
  for (int id : {1036, 1037, 1038}) EXPECT_FALSE(Shown(id)) << id;
}

TEST_F(PaneLayoutTest, FullHandwritingRecordsTheWindowBesideIt) {
  Set({{kPrefInputSide, kPaneLeft}, {kPrefListSide, kPaneHidden}});
  Pass(80, 98, 80, 120);
  const uint16_t* o = GetPaneLayoutBlock()->outsideRect;
  EXPECT_EQ((Rect4{o[0], o[1], o[2], o[3]}), (Rect4{28, 0, 52, 120}));
  EXPECT_FALSE(Shown(1035));
  for (int id : {1034, 1036, 1037, 1038, 1039, 1040, 1041}) EXPECT_TRUE(Shown(id)) << id;
}

// A band shorter than the size and the button column before the box (a
// landscape window) keeps the buttons 8 units apart and shrinks the writing
// box instead, centred across; a band that leaves less than two buttons to
// write in lays nothing, and so does a size squeezed below the least.
TEST_F(PaneLayoutTest, ShortHandwritingBandShrinksTheBox) {
  struct Case {
    const char* what;
    int side;
    int w, h;
    std::vector<Expect> expect;  // empty: nothing laid
  };
  const Case cases[] = {
      {"right, 45 long: a 20-unit box under the whole column",
       kPaneRight,
       106,
       62,
       {{1034, {98, 17, 8, 8}},
        {1039, {98, 25, 8, 8}},
        {1036, {98, 33, 8, 8}},
        {1038, {88, 33, 8, 8}},
        {1037, {78, 33, 8, 8}},
        {1041, {79, 18, 19, 15}},
        {1040, {82, 41, 20, 20}}}},
      {"left, 45 long",
       kPaneLeft,
       106,
       62,
       {{1034, {0, 17, 8, 8}}, {1039, {0, 25, 8, 8}}, {1036, {0, 33, 8, 8}}, {1040, {4, 41, 20, 20}}}},
      {"bottom, 50 long: the row beside the grid stays apart",
       kPaneBottom,
       50,
       98,
       {{1041, {1, 71, 15, 19}},
        {1036, {16, 70, 8, 8}},
        {1038, {16, 80, 8, 8}},
        {1037, {16, 90, 8, 8}},
        {1039, {8, 90, 8, 8}},
        {1034, {0, 90, 8, 8}},
        {1040, {24, 71, 25, 25}}}},
      {"right, 40 long: a 15-unit box is too small", kPaneRight, 106, 57, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Set({{kPrefInputSide, c.side}, {kPrefListSide, kPaneHidden}});
    Pass(c.w, c.h);
    bool laid = false;
    GetPaneLayoutFlags(engine_, &laid, nullptr);
    EXPECT_EQ(laid, !c.expect.empty());
    EXPECT_EQ(Placed(1033).has_value(), !c.expect.empty());
    for (const Expect& e : c.expect) {
      SCOPED_TRACE(e.id);
      ASSERT_TRUE(Placed(e.id).has_value());
      EXPECT_EQ(*Placed(e.id), e.rect);
    }
    if (c.expect.empty()) {
      EXPECT_FALSE(Placed(1040).has_value());
      EXPECT_EQ(Content(), (Rect4{0, 17, c.w, c.h - 17}));
    }
  }
  // Opposite sides on a small window cap the section at 16, below the 24 the
  // row of three buttons needs across.
  Set({{kPrefInputSide, kPaneRight}, {kPrefListSide, kPaneLeft}});
  Pass(70, 70);
  EXPECT_FALSE(Placed(1040).has_value());
  EXPECT_FALSE(Placed(1034).has_value());
  bool laid = true;
  GetPaneLayoutFlags(engine_, &laid, nullptr);
  EXPECT_FALSE(laid);
}

// Both at the bottom of a short landscape client (45 units under the top
// bar): the list pane shrinks to the room the section leaves rather than
// climbing over the top bar, and gives up its side when less than the least
// pane is left.
TEST_F(PaneLayoutTest, ListPaneKeepsToTheRoomTheSectionLeaves) {
  Set({{kPrefInputSide, kPaneBottom}, {kPrefListSide, kPaneBottom}, {kPrefListSize, 28}});
  Pass(106, 62);
  EXPECT_EQ(*Placed(1033), (Rect4{0, 33, 106, 1}));  // the 28-unit section and its splitter
  EXPECT_EQ(*Placed(1031), (Rect4{0, 18, 106, 15}));
  EXPECT_EQ(*Placed(1032), (Rect4{0, 17, 106, 1}));
  EXPECT_EQ(Content(), (Rect4{0, 17, 106, 0}));
  bool list = false;
  GetPaneLayoutFlags(engine_, nullptr, &list);
  EXPECT_TRUE(list);

  Set({{kPrefInputKind, 2}, {kPrefKeyboardSize, 40}});
  Pass(106, 62);
  EXPECT_FALSE(Placed(1031).has_value());
  EXPECT_FALSE(Placed(1032).has_value());
  GetPaneLayoutFlags(engine_, nullptr, &list);
  EXPECT_FALSE(list);
  int32_t lo = 1, hi = 1;
  GetSplitterLimits(0, &lo, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  EXPECT_EQ(Content(), (Rect4{0, 17, 106, 4}));
}

TEST_F(PaneLayoutTest, LandscapeReadsTheLandscapeIds) {
  // The portrait ids say something else, so a wrong read shows.
  Set({{kPrefLandscapeInput, 1},
       {kPrefLandscapeKeyLists, 1},
       {kPrefInputKind, 2},
       {kPrefInputSide, kPaneRight},
       {kPrefInputSideWide, kPaneBottom},
       {kPrefListSide, kPaneRight},
       {kPrefListSideWide, kPaneLeft},
       {kPrefListSize, 28},
       {kPrefListSizeWide, 20},
       {kPrefKeyboardSize, 28},
       {kPrefKeyboardSizeWide, 30}});
  Pass(120, 80, 120, 80);  // wide: not tall, at least 81 across
  EXPECT_EQ(GetPaneLayoutBlock()->landscape, 1);
  EXPECT_TRUE(UseLandscapeInputLayout(engine_));
  EXPECT_TRUE(UseLandscapeKeyLists(engine_));
  EXPECT_EQ(rec_.log.front(), "begin 0");
  uint16_t first = 0, second = 0;
  GetButtonRowCounts(&first, &second);
  EXPECT_EQ(first, 12);  // 175
  EXPECT_EQ(second, 3);
  EXPECT_EQ(*Placed(1044), (Rect4{10, 50, 110, 30}));  // keyboard at the bottom, 30 high
  EXPECT_EQ(*Placed(1031), (Rect4{0, 17, 20, 32}));    // list on the left, 20 wide
  EXPECT_EQ(*Placed(1032), (Rect4{20, 17, 1, 32}));
  EXPECT_EQ(Content(), (Rect4{21, 17, 99, 32}));
  // The same preferences in a portrait window read the portrait ids.
  Pass(80, 98, 80, 120);
  EXPECT_EQ(GetPaneLayoutBlock()->landscape, 0);
  EXPECT_FALSE(UseLandscapeInputLayout(engine_));
  EXPECT_EQ(*Placed(1044), (Rect4{52, 25, 28, 71}));
}

TEST_F(PaneLayoutTest, SmallWindowGivesWayByOption) {
  struct Case {
    int option;
    int compact;
    int kind;
    bool sectionHidden;
    bool listHidden;
  };
  const Case cases[] = {
      // Both stay, each capped at 16 (opposite sides); the radical section
      // still fits in 16 units.
      {0, 0, 1, false, false}, {1, 0, 0, true, false},  {3, 0, 0, true, false},
      {2, 0, 0, false, true},  {1, 1, 0, false, false},  // the compact strip never gives way to option 1
      {3, 1, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option * 10 + c.compact);
    Set({{kPrefSmallWindowGivesWay, c.option},
         {kPrefCompactHandwriting, c.compact},
         {kPrefInputKind, c.kind},
         {kPrefInputSide, kPaneRight},
         {kPrefListSide, kPaneLeft}});
    Pass(70, 70);
    const int sectionControl = c.compact || c.kind == 1 ? 1041 : 1040;
    EXPECT_EQ(Placed(sectionControl).has_value(), !c.sectionHidden);
    EXPECT_EQ(GetPaneLayoutBlock()->inputHiddenForRoom, c.sectionHidden ? 1 : 0);
    EXPECT_EQ(Placed(1031).has_value(), !c.listHidden);
    bool laid = false, list = false;
    GetPaneLayoutFlags(engine_, &laid, &list);
    EXPECT_EQ(laid, !c.sectionHidden);
    EXPECT_EQ(list, !c.listHidden);
    if (!c.sectionHidden && !c.listHidden && !c.compact) {
      EXPECT_EQ((*Placed(1031))[2], 16);
      EXPECT_EQ((*Placed(1033))[0], 70 - 16 - 1);
    }
  }
}

TEST_F(PaneLayoutTest, ListSplitterLimitsPerSide) {
  struct Case {
    const char* what;
    int w, h;
    int inputSide, listSide, listSize;
    Rect4 pane;
    std::array<int, 2> limits;
  };
  const Case cases[] = {
      {"right", 80, 98, 4, 0, 28, {52, 17, 28, 81}, {40, 72}},
      {"left", 80, 98, 4, 1, 28, {0, 17, 28, 81}, {8, 40}},
      {"bottom", 80, 98, 4, 2, 28, {0, 70, 80, 28}, {58, 90}},
      {"wide without a section, left: half the width", 120, 70, 4, 1, 28, {0, 17, 28, 53}, {8, 60}},
      {"wide without a section, right", 120, 70, 4, 0, 28, {92, 17, 28, 53}, {60, 112}},
      // Handwriting 28 at the right takes 29 with its splitter; E = 52.
      {"shared band right", 80, 98, 0, 0, 20, {31, 17, 20, 81}, {21, 43}},
      // E = 29, counted after the gap.
      {"shared band left", 80, 98, 1, 1, 20, {29, 17, 20, 81}, {37, 59}},
      // Handwriting 28 at the bottom: E = 70.
      {"shared band bottom", 80, 98, 2, 2, 20, {0, 49, 80, 20}, {39, 61}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Set({{kPrefInputSide, c.inputSide}, {kPrefListSide, c.listSide}, {kPrefListSize, c.listSize}});
    Pass(c.w, c.h);
    ASSERT_TRUE(Placed(1031).has_value());
    EXPECT_EQ(*Placed(1031), c.pane);
    int32_t lo = 0, hi = 0;
    GetSplitterLimits(0, &lo, &hi);
    EXPECT_EQ(lo, c.limits[0]);
    EXPECT_EQ(hi, c.limits[1]);
  }
  // The input splitter shares its band: its outer limit is 30, not 40.
  Set({{kPrefInputSide, kPaneRight}, {kPrefListSide, kPaneRight}, {kPrefListSize, 20}});
  Pass(80, 98);
  int32_t lo = 0, hi = 0;
  GetSplitterLimits(1, &lo, &hi);
  EXPECT_EQ(lo, 50);
  EXPECT_EQ(hi, 56);
}

TEST_F(PaneLayoutTest, FillingListPaneTakesTheContentAndHasNoLimits) {
  Set({{kPrefListSide, kPaneFill}});
  Pass(80, 98);
  EXPECT_EQ(*Placed(1031), (Rect4{0, 17, 80, 81}));
  EXPECT_FALSE(Placed(1030).has_value());
  EXPECT_FALSE(Placed(1032).has_value());
  int32_t lo = 1, hi = 1;
  GetSplitterLimits(0, &lo, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  bool list = false;
  GetPaneLayoutFlags(engine_, nullptr, &list);
  EXPECT_TRUE(list);
}

TEST_F(PaneLayoutTest, FirstRowEdgeCounts) {
  // One button: at the row's start with no gap.
  Set({{kPrefFirstRowInUse, 1}});
  Pass(80, 98);
  EXPECT_EQ(*Placed(1004), (Rect4{0, 0, 8, 8}));
  EXPECT_FALSE(Placed(1005).has_value());
  EXPECT_EQ((*Placed(1002))[1], 9);
  // None: no row, the field line at the top and an 8-unit bar.
  Set({{kPrefFirstRowInUse, 0}});
  Pass(80, 98);
  EXPECT_FALSE(Placed(1004).has_value());
  EXPECT_EQ((*Placed(1002))[1], 0);
  EXPECT_EQ(Content()[1], 8);
  // Too narrow for 9: as many as fit, gaps from the remainder.
  Set({{kPrefFirstRowInUse, 9}});
  Pass(42, 98);
  uint16_t first = 0;
  GetButtonRowCounts(&first, nullptr);
  EXPECT_EQ(first, 5);
  EXPECT_EQ((*Placed(1005))[0], 9);  // gap 0 + the one wider gap
  EXPECT_EQ((*Placed(1006))[0], 18);
  EXPECT_EQ((*Placed(1008))[0], 34);
  EXPECT_FALSE(Placed(1009).has_value());
  // Below 8 units: none.
  rec_ = Recorder{};
  LayoutSink sink = Sink();
  EXPECT_EQ(LayoutTopBar(engine_, &sink, PaneRect{0, 0, 7, 98}), 8);
  GetButtonRowCounts(&first, nullptr);
  EXPECT_EQ(first, 0);
}

TEST_F(PaneLayoutTest, RowCountsFollowTheTablesCapacity) {
  // A table with room for 30 buttons lays 20; the main table stops at 16.
  Set({{kPrefFirstRowInUse, 20}, {kPrefSecondRowInUse, 12}});
  uint16_t table[kPaneControlCount] = {1002, 0, 0, 0, 0, 1100, 0, 30, 1200, 0, 30};
  LayoutSink sink = recording_sink::MakeSink(table);
  LayoutTopBar(engine_, &sink, PaneRect{0, 0, 200, 98});
  EXPECT_EQ(*Placed(1119), (Rect4{192, 0, 8, 8}));
  EXPECT_EQ(*Placed(1211), (Rect4{192, 9, 8, 8}));
  Pass(200, 98);
  uint16_t first = 0, second = 0;
  GetButtonRowCounts(&first, &second);
  EXPECT_EQ(first, 16);
  EXPECT_EQ(second, 10);
  EXPECT_TRUE(Placed(1029).has_value());
  EXPECT_EQ((*Placed(1030))[1], 17);  // the content, not an eleventh button
}

TEST_F(PaneLayoutTest, LandscapeSectionSizesPerKind) {
  // Sizes 20-22 are read in landscape, 11-13 never.
  const int kinds[3][3] = {
      {0, kPrefHandwritingSizeWide, 1040}, {1, kPrefRadicalSizeWide, 1041}, {2, kPrefKeyboardSizeWide, 1044}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k[0]);
    Set({{kPrefLandscapeInput, 1},
         {kPrefInputKind, k[0]},
         {kPrefInputSideWide, kPaneLeft},
         {kPrefListSideWide, kPaneHidden},
         {kPrefHandwritingSize, 50},
         {kPrefRadicalSize, 50},
         {kPrefKeyboardSize, 50},
         {k[1], 32}});
    Pass(120, 80);
    // The section band is 32 wide: its splitter stands at x 32.
    EXPECT_EQ(*Placed(1033), (Rect4{32, 17, 1, 63}));
    EXPECT_TRUE(Placed(k[2]).has_value());
  }
}

TEST_F(PaneLayoutTest, TopBarFromTheRightAndSecondField) {
  Set({{kPrefTopBarFromRight, 1}, {kPrefSecondInputField, 1}});
  const uint16_t table[kPaneControlCount] = {1002, 1003, 1050, 0, 0, 1004, 0, 16, 1020, 0, 10};
  LayoutSink sink = recording_sink::MakeSink(table);
  LayoutTopBar(engine_, &sink, PaneRect{0, 0, 80, 98});
  EXPECT_EQ(*Placed(1004), (Rect4{72, 0, 8, 8}));  // the first button at the right
  EXPECT_EQ(*Placed(1002), (Rect4{35, 9, 45, 8}));
  EXPECT_EQ(*Placed(1003), (Rect4{35, 9, 45, 8}));
  EXPECT_EQ(*Placed(1050), (Rect4{27, 9, 8, 8}));  // beside the field
  EXPECT_EQ(*Placed(1020), (Rect4{18, 9, 8, 8}));
  EXPECT_EQ(*Placed(1022), (Rect4{0, 9, 8, 8}));
  EXPECT_FALSE(Shown(1002));
  EXPECT_TRUE(Shown(1003));
}

TEST_F(PaneLayoutTest, InputDragClampsAndStoresPerKind) {
  struct Case {
    const char* what;
    int kind, compact, side, position;
    int pref, value;  // the preference that must hold `value` afterwards
    int compactAfter;
  };
  const Case cases[] = {
      {"radical right, clamped to 60", 1, 0, 0, 10, kPrefRadicalSize, 60, 0},
      {"radical right, clamped to 8", 1, 0, 0, 78, kPrefRadicalSize, 8, 0},
      {"keyboard left", 2, 0, 1, 33, kPrefKeyboardSize, 33, 0},
      {"handwriting bottom", 0, 0, 2, 68, kPrefHandwritingSize, 30, 0},
      {"handwriting below 24 turns compact, size kept", 0, 0, 0, 60, kPrefHandwritingSize, 28, 1},
      {"compact stores nothing", 0, 1, 0, 40, kPrefHandwritingSize, 28, 1},
      {"a hidden section stores nothing", 1, 0, 4, 40, kPrefRadicalSize, 25, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine_ = MakeEngine({toolkit_test::kLatin});
    Set({{kPrefInputKind, c.kind}, {kPrefCompactHandwriting, c.compact}, {kPrefInputSide, c.side}});
    SetPaneSizeFromDrag(engine_, PaneRect{0, 0, 80, 98}, true, c.position);
    EXPECT_EQ(GetPref(engine_, c.pref), c.value);
    EXPECT_EQ(GetLayoutSetting10(engine_), c.compactAfter);
  }
}

TEST_F(PaneLayoutTest, ListDragSubtractsASectionOnTheSameSide) {
  Set({{kPrefInputSide, kPaneRight}, {kPrefListSide, kPaneRight}, {kPrefListSize, 20}});
  Pass(80, 98);
  // 80 - 20 = 60 across, less the section's 28 and its splitter.
  SetPaneSizeFromDrag(engine_, PaneRect{0, 0, 80, 98}, false, 20);
  EXPECT_EQ(GetPref(engine_, kPrefListSize), 31);
  // Alone on its side: measured from the edge, clamped.
  Set({{kPrefInputSide, kPaneHidden}});
  Pass(80, 98);
  SetPaneSizeFromDrag(engine_, PaneRect{0, 0, 80, 98}, false, 50);
  EXPECT_EQ(GetPref(engine_, kPrefListSize), 30);
  SetPaneSizeFromDrag(engine_, PaneRect{0, 0, 80, 98}, false, 2);
  EXPECT_EQ(GetPref(engine_, kPrefListSize), 60);
  // Filling or hidden: nothing.
  for (int side : {kPaneFill, kPaneHidden}) {
    Set({{kPrefListSide, side}, {kPrefListSize, 20}});
    SetPaneSizeFromDrag(engine_, PaneRect{0, 0, 80, 98}, false, 50);
    EXPECT_EQ(GetPref(engine_, kPrefListSize), 20);
  }
}

TEST_F(PaneLayoutTest, SetPanePositionTogglesAndRemembers) {
  SetPanePosition(engine_, kPaneLeft);
  int32_t side = -1, size = 0;
  GetListPaneLayout(engine_, &side, &size);
  EXPECT_EQ(side, kPaneLeft);
  EXPECT_EQ(size, 28);
  SetPanePosition(engine_, -1);
  EXPECT_EQ(GetPref(engine_, kPrefListSide), kPaneHidden);
  EXPECT_EQ(GetPref(engine_, kPrefListSideSaved), kPaneLeft);
  SetPanePosition(engine_, -1);
  EXPECT_EQ(GetPref(engine_, kPrefListSide), kPaneLeft);
}

TEST_F(PaneLayoutTest, ChangeInputPaneSideTable) {
  struct Case {
    const char* what;
    int current, saved;
    bool hiddenForRoom;
    int request;
    int result;
    bool refused;
    int currentAfter, savedAfter;
  };
  const Case cases[] = {
      {"the side already set hides", 0, 3, false, 0, 1, false, 4, 3},
      {"another side, remembered over a 3", 4, 3, false, 1, 1, false, 1, 1},
      {"another side, remembered side kept", 0, 2, false, 1, 1, false, 1, 2},
      {"3 refused and remembered, section hidden", 4, 0, false, 3, 0, true, 4, 3},
      {"3 refused and remembered, section shown", 2, 0, false, 3, 1, true, 2, 3},
      {"-1 restores a hidden section", 4, 2, false, -1, 1, false, 2, 2},
      {"-1 hides a shown one and remembers", 1, 2, false, -1, 1, false, 4, 1},
      {"-1 with a remembered 3 is refused", 4, 3, false, -1, 0, true, 4, 3},
      {"hidden for room refuses a side", 0, 2, true, 1, 0, true, 0, 2},
      {"hidden for room refuses -1", 0, 2, true, -1, 0, true, 0, 2},
      {"out of range refused", 0, 2, false, 7, 0, true, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Set({{kPrefInputSide, c.current}, {kPrefInputSideSaved, c.saved}});
    GetPaneLayoutBlock()->inputHiddenForRoom = c.hiddenForRoom;
    bool refused = !c.refused;
    EXPECT_EQ(ChangeInputPaneSide(engine_, c.request, &refused), c.result);
    EXPECT_EQ(refused, c.refused);
    EXPECT_EQ(GetPref(engine_, kPrefInputSide), c.currentAfter);
    EXPECT_EQ(GetPref(engine_, kPrefInputSideSaved), c.savedAfter);
  }
  EXPECT_EQ(ChangeInputPaneSide(engine_, 1, nullptr), 1);  // a null out is skipped
}

TEST_F(PaneLayoutTest, ShowInputPanelControlsSwitchesTheSets) {
  Set({{kPrefCompactHandwriting, 1}, {kPrefInputSide, kPaneBottom}, {kPrefListSide, kPaneHidden}});
  Pass(80, 98);
  // Two different candidate places show that the grid moves between them.
  uint16_t(*places)[4] = GetPaneLayoutBlock()->candidateRects;
  places[0][0] = 3;
  LayoutSink sink = Sink();
  rec_ = Recorder{};
  ShowInputPanelControls(engine_, &sink, true);
  EXPECT_EQ(rec_.log[0], "show 1041 0");
  EXPECT_EQ(rec_.log[1], "place 1041 3 89 55 9");
  EXPECT_EQ(rec_.log[2], "show 1041 1");
  for (int id : {1036, 1037, 1038}) EXPECT_TRUE(Shown(id)) << id;
  for (int id : {1034, 1035, 1039}) EXPECT_FALSE(Shown(id)) << id;
  rec_ = Recorder{};
  ShowInputPanelControls(engine_, &sink, false);
  EXPECT_EQ(*Placed(1041), (Rect4{25, 89, 55, 9}));
  for (int id : {1034, 1035, 1039}) EXPECT_TRUE(Shown(id)) << id;
  for (int id : {1036, 1037, 1038}) EXPECT_FALSE(Shown(id)) << id;
  // Full form: all but 1035.
  Set({{kPrefCompactHandwriting, 0}});
  rec_ = Recorder{};
  ShowInputPanelControls(engine_, &sink, true);
  EXPECT_FALSE(Placed(1041).has_value());
  EXPECT_FALSE(Shown(1035));
  for (int id : {1034, 1036, 1037, 1038, 1039}) EXPECT_TRUE(Shown(id)) << id;
  // Not handwriting, or no side: nothing.
  for (auto [kind, side] : {std::pair{1, 2}, std::pair{0, 3}, std::pair{0, 4}}) {
    Set({{kPrefInputKind, kind}, {kPrefInputSide, side}});
    rec_ = Recorder{};
    ShowInputPanelControls(engine_, &sink, true);
    EXPECT_TRUE(rec_.log.empty());
  }
}

TEST_F(PaneLayoutTest, SplitterRectAtTheInnerEdge) {
  PaneRect out{};
  GetSplitterRect(PaneRect{10, 20, 30, 40}, &out, kPaneLeft);
  EXPECT_EQ((Rect4{out.x, out.y, out.width, out.height}), (Rect4{40, 20, 1, 40}));
  GetSplitterRect(PaneRect{10, 20, 30, 40}, &out, kPaneRight);
  EXPECT_EQ((Rect4{out.x, out.y, out.width, out.height}), (Rect4{9, 20, 1, 40}));
  GetSplitterRect(PaneRect{10, 20, 30, 40}, &out, kPaneBottom);
  EXPECT_EQ((Rect4{out.x, out.y, out.width, out.height}), (Rect4{10, 19, 30, 1}));
}

TEST_F(PaneLayoutTest, DegenerateWindowsCompleteWithoutNegativeSizes) {
  const std::array<int, 2> sizes[] = {{0, 0}, {5, 5}, {20, 12}, {7, 90}, {90, 7}};
  for (int kind : {0, 1, 2, 9})
    for (int compact : {0, 1})
      for (int side : {0, 1, 2, 4})
        for (int list : {0, 1, 2, 3, 4})
          for (auto [w, h] : sizes) {
            Set({{kPrefInputKind, kind},
                 {kPrefCompactHandwriting, compact},
                 {kPrefInputSide, side},
                 {kPrefListSide, list}});
            Pass(w, h);
            // Widths and heights never wrap to huge values.
            for (auto& [id, r] : rec_.placed) {
              EXPECT_LE(r[2], 100) << id;
              EXPECT_LE(r[3], 100) << id;
            }
          }
}

// The main window's own sink at factor 6: each child at 6 x its layout
// rectangle, visible only when placed and shown.
TEST_F(PaneLayoutTest, RealChildrenThroughTheDialogCallbacks) {
  HWND window = Top(0, 0, 480, 588);
  std::map<int, HWND> children;
  for (int id = 1002; id <= 1047; ++id) children[id] = Child(window, id, 0, 0, 5, 5);
  Set({{kPrefCompactHandwriting, 1}, {kPrefInputSide, kPaneBottom}});
  LayoutSink sink = MakeMainWindowSink(window);
  rec_ = Recorder{};
  // The same pass through the recorder gives the expected rectangles.
  LayoutSink recorder = Sink();
  LayoutMainPanes(engine_, &recorder, PaneRect{0, 0, 80, 98}, PaneRect{0, 0, 80, 98});
  LayoutMainPanes(engine_, &sink, PaneRect{0, 0, 80, 98}, PaneRect{0, 0, 80, 98});
  int checked = 0;
  for (auto [id, hwnd] : children) {
    SCOPED_TRACE(id);
    auto r = Placed(id);
    if (r) {
      RECT wr{}, pr{};
      GetWindowRect(hwnd, &wr);
      GetWindowRect(window, &pr);
      POINT origin{0, 0};
      ClientToScreen(window, &origin);
      EXPECT_EQ(wr.left - origin.x, 6 * (*r)[0]);
      EXPECT_EQ(wr.top - origin.y, 6 * (*r)[1]);
      EXPECT_EQ(wr.right - wr.left, 6 * (*r)[2]);
      EXPECT_EQ(wr.bottom - wr.top, 6 * (*r)[3]);
      ++checked;
    }
    EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, Shown(id));
  }
  EXPECT_GT(checked, 20);
  // Placed only: the compact strip's second set.
  EXPECT_FALSE(IsWindowVisible(children[1036]));
  EXPECT_TRUE(IsWindowVisible(children[1034]));
  // Never placed: stays hidden by the pass's begin.
  EXPECT_FALSE(IsWindowVisible(children[1013]));
  EXPECT_TRUE(IsWindowVisible(children[1002]));
  DestroyWindow(window);
}

}  // namespace
