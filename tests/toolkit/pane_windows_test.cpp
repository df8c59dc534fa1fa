// The flashcard test window's and the reader window's passes through a
// recording sink: the middle area per answer mode and form, the bottom row's
// corner block and buttons, the block values read back, the reader's heights,
// top row, side buttons, strip and status texts, and windows smaller than
// their margins.
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "engine/engine_host.h"
#include "engine/preferences.h"
#include "tests/toolkit/recording_sink.h"
#include "tests/toolkit/toolkit_fixture.h"
#include "toolkit/pane_windows.h"

namespace {

using recording_sink::Recorder;
using recording_sink::Rect4;

class PaneWindowsTest : public ToolkitTest {
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
  // A test-window pass with margin 0: W is the width, R the height - 25.
  void Test(int mode, int form, int w, int h, int flags = 0) {
    SessionDisplayLayout layout{};
    layout.fields[kLayoutAnswerMode] = mode;
    layout.fields[kLayoutForm] = form;
    layout.fields[kLayoutWritingHeight] = writing_;
    layout.fields[kLayoutChoiceRows] = rows_;
    layout.fields[kLayoutMargin] = margin_;
    for (int i = 0; i < flags; ++i) layout.fields[kLayoutFirstBottomButton + i] = 1;
    rec_ = Recorder{};
    LayoutSink sink = recording_sink::MakeSink(kTestWindowControls);
    LayoutTestWindow(engine_, &sink, &layout, PaneRect{0, 0, w, h});
  }
  void Reader(int w, int h) {
    rec_ = Recorder{};
    LayoutSink sink = recording_sink::MakeSink(kReaderWindowControls);
    LayoutReaderWindow(engine_, &sink, record_.data(), PaneRect{0, 0, w, h});
  }
  void Put16(uint32_t at, uint16_t v) {
    record_[at] = static_cast<uint8_t>(v);
    record_[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  std::optional<Rect4> Placed(int id) { return rec_.Placed(id); }
  bool Shown(int id) { return rec_.Shown(id); }
  std::array<int, 2> Moved(int id) { return rec_.moved.count(id) ? rec_.moved[id] : std::array<int, 2>{-1, -1}; }

  DictEngine* engine_ = nullptr;
  Recorder rec_;
  int writing_ = 0, rows_ = 0, margin_ = 0;
  std::array<uint8_t, kReaderRecordSize> record_{};
};

TEST_F(PaneWindowsTest, StrokeBoxModeNeverLaysTheContentField) {
  struct Case {
    int w, h;
  };
  for (Case c : {Case{100, 100}, Case{90, 125}, Case{60, 65}, Case{20, 100}, Case{0, 0}}) {
    SCOPED_TRACE(c.w * 1000 + c.h);
    Test(4, 0, c.w, c.h);
    EXPECT_FALSE(Placed(1105).has_value());
    EXPECT_EQ(GetPaneLayoutValue(engine_), kTestKindStrokeBox);
  }
}

TEST_F(PaneWindowsTest, StrokeBoxBesideOrBelowTheControls) {
  // R = 75: A = 75 is not below B = 66, the controls stand beside.
  Test(4, 0, 100, 100);
  EXPECT_EQ(*Placed(1110), (Rect4{0, 7, 75, 75}));
  EXPECT_EQ(*Placed(1111), (Rect4{76, 7, 23, 7}));
  EXPECT_EQ(*Placed(1112), (Rect4{76, 16, 23, 7}));
  EXPECT_EQ(Moved(1115), (std::array<int, 2>{78, 60}));
  EXPECT_EQ(Moved(1113), (std::array<int, 2>{78, 68}));
  EXPECT_EQ(Moved(1116), (std::array<int, 2>{78, 68}));
  EXPECT_EQ(Moved(1117), (std::array<int, 2>{78, 76}));
  EXPECT_FALSE(Shown(1113));  // moved only
  // W = 90, R = 100: A = 65 < B = 90, below.
  Test(4, 0, 90, 125);
  EXPECT_EQ(*Placed(1110), (Rect4{0, 7, 90, 90}));
  EXPECT_EQ(*Placed(1111), (Rect4{2, 99, 23, 7}));
  EXPECT_EQ(*Placed(1112), (Rect4{27, 99, 23, 7}));
  EXPECT_EQ(Moved(1113), (std::array<int, 2>{52, 100}));
  EXPECT_EQ(Moved(1114), (std::array<int, 2>{72, 100}));
  EXPECT_EQ(Moved(1115), (std::array<int, 2>{-1, -1}));  // not touched
  // W < 25 wraps: A = min(W - 25, R) = R, and the box lands where the
  // 16-bit arithmetic puts it.
  Test(4, 0, 20, 100);
  EXPECT_EQ(*Placed(1110), (Rect4{static_cast<uint16_t>(20 - 75 - 25) / 2, 7, 75, 75}));
}

TEST_F(PaneWindowsTest, WritingAreaNeedsRoom) {
  writing_ = 3;
  Test(0, 0, 100, 65);  // R = 40
  EXPECT_EQ(*Placed(1106), (Rect4{0, 37, 100, 10}));
  EXPECT_EQ(Moved(1108), (std::array<int, 2>{92, 39}));
  EXPECT_TRUE(Shown(1108));
  EXPECT_EQ(*Placed(1105), (Rect4{0, 7, 100, 29}));
  uint8_t area = 0;
  GetTestLayoutFlags(engine_, &area, nullptr, nullptr);
  EXPECT_EQ(area, 1);
  Test(0, 0, 100, 46);  // R = 21
  EXPECT_FALSE(Placed(1106).has_value());
  EXPECT_EQ(*Placed(1105), (Rect4{0, 7, 100, 21}));
  GetTestLayoutFlags(engine_, &area, nullptr, nullptr);
  EXPECT_EQ(area, 0);
}

TEST_F(PaneWindowsTest, ChoiceRowsAreCappedByTheRoom) {
  rows_ = 8;
  Test(2, 0, 100, 65);  // R = 40: 5 rows fit
  EXPECT_EQ(*Placed(1109), (Rect4{0, 8, 100, 40}));
  EXPECT_FALSE(Placed(1105).has_value());
  Test(2, 0, 100, 125);  // R = 100: all 8
  EXPECT_EQ(*Placed(1109), (Rect4{0, 44, 100, 64}));
  EXPECT_EQ(*Placed(1105), (Rect4{0, 7, 100, 36}));
  rows_ = 100000;  // a damaged setting
  Test(2, 0, 100, 125);
  EXPECT_EQ(*Placed(1109), (Rect4{0, 12, 100, 96}));
  EXPECT_EQ(*Placed(1105), (Rect4{0, 7, 100, 4}));
}

TEST_F(PaneWindowsTest, FormsLoseTheirGridWithoutRoom) {
  struct Case {
    int form, R;
    int grid;  // expected grid height, 0: none
    uint32_t kind;
    uint16_t selectors;
  };
  const Case cases[] = {
      {2, 48, 25, 2, 1}, {2, 47, 0, 2, 1}, {3, 48, 25, 3, 4}, {3, 47, 0, 3, 4},
      {4, 33, 10, 3, 4}, {4, 32, 0, 3, 4}, {5, 80, 0, 2, 1},  {6, 80, 0, 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form * 1000 + c.R);
    Test(3, c.form, 100, c.R + 25);
    const int K = c.R - c.grid - 10;
    const int yr = 7 + K + 1;
    EXPECT_EQ(*Placed(1105), (Rect4{0, 7, 100, K}));
    if (c.grid) EXPECT_EQ(*Placed(1123), (Rect4{0, yr + 9, 100, c.grid}));
    else
      EXPECT_FALSE(Placed(1123).has_value());
    if (c.kind == 2) {
      EXPECT_EQ(*Placed(1118), (Rect4{0, yr, 100, 8}));
    } else {
      EXPECT_EQ(*Placed(1119), (Rect4{0, yr, 24, 8}));
      EXPECT_EQ(*Placed(1122), (Rect4{75, yr, 24, 8}));
    }
    EXPECT_EQ(GetPaneLayoutValue(engine_), c.kind);
    uint16_t n = 0;
    GetTestLayoutFlags(engine_, nullptr, nullptr, &n);
    EXPECT_EQ(n, c.selectors);
  }
}

TEST_F(PaneWindowsTest, SquareFormAndItsMirror) {
  struct Case {
    int mirrored;
    int squareX, xf;
    std::array<int, 3> toolIds;  // from the left
  };
  for (const Case& c : {Case{0, 64, 0, {1130, 1131, 1132}}, Case{1, 0, 37, {1132, 1131, 1130}}}) {
    SCOPED_TRACE(c.mirrored);
    SetPref(engine_, kPrefMirrorInputSection, c.mirrored);
    Test(5, 1, 100, 65);  // R = 40: the square at y 12
    EXPECT_EQ(*Placed(1124), (Rect4{c.squareX, 12, 36, 36}));
    EXPECT_EQ(*Placed(1129), (Rect4{c.xf, 31, 63, 17}));
    const int toolX[3] = {c.xf, c.xf + 28, c.xf + 55};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(*Placed(c.toolIds[i]), (Rect4{toolX[i], 22, 8, 8}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(*Placed(1125 + i), (Rect4{c.xf + 18 * i, 12, 9, 9}));
    EXPECT_EQ(*Placed(1105), (Rect4{0, 7, 100, 4}));
    uint8_t square = 0;
    uint16_t n = 0;
    GetTestLayoutFlags(engine_, nullptr, &square, &n);
    EXPECT_EQ(square, 1);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(GetPaneLayoutValue(engine_), kTestKindSquare);
  }
}

TEST_F(PaneWindowsTest, ValuesAreResetEveryPass) {
  Test(3, 1, 100, 65);
  Test(7, 0, 100, 65);  // no middle area
  uint8_t area = 9, square = 9;
  uint16_t n = 9;
  GetTestLayoutFlags(engine_, &area, &square, &n);
  EXPECT_EQ(area, 0);
  EXPECT_EQ(square, 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(GetPaneLayoutValue(engine_), kTestKindNone);
  EXPECT_FALSE(Placed(1105).has_value());
  EXPECT_EQ(rec_.begins, 1);
}

TEST_F(PaneWindowsTest, BottomRowAt100Units) {
  // g = 2: the corner block is 34 wide at the right, placed only.
  Test(7, 0, 100, 65, 6);
  const int yb = 65 - 17;
  EXPECT_EQ(*Placed(1152), (Rect4{66, yb, 34, 17}));
  EXPECT_EQ(*Placed(1151), (Rect4{84, yb, 16, 17}));
  EXPECT_EQ(*Placed(1149), (Rect4{90, yb, 10, 17}));
  EXPECT_EQ(*Placed(1146), (Rect4{90, yb + 9, 10, 8}));
  for (int id = 1141; id <= 1152; ++id) EXPECT_FALSE(Shown(id)) << id;
  // 7 buttons in 7 slots: one row, 9 wide, 10 apart.
  for (int i = 0; i < 7; ++i) EXPECT_EQ(*Placed(1133 + i), (Rect4{10 * i, yb, 9, 17})) << i;
  EXPECT_FALSE(Placed(1140).has_value());
  // 8 buttons: two rows of 4, 15 wide.
  Test(7, 0, 100, 65, 7);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(*Placed(1133 + i), (Rect4{16 * i, yb, 15, 8})) << i;
    EXPECT_EQ(*Placed(1137 + i), (Rect4{16 * i, yb + 9, 15, 8})) << i;
  }
}

TEST_F(PaneWindowsTest, MirroredBottomRowTakesTheLastSlots) {
  SetPref(engine_, kPrefTestBottomMirrored, 0x301);  // only the low byte counts
  Test(7, 0, 100, 65, 2);
  const int yb = 48;
  EXPECT_EQ(*Placed(1152), (Rect4{0, yb, 34, 17}));
  // The area starts at 35; 3 buttons take slots 5-7.
  EXPECT_EQ(*Placed(1133), (Rect4{75, yb, 9, 17}));
  EXPECT_EQ(*Placed(1135), (Rect4{95, yb, 9, 17}));
  SetPref(engine_, kPrefTestBottomMirrored, 0x300);
  Test(7, 0, 100, 65, 2);
  EXPECT_EQ(*Placed(1133), (Rect4{0, yb, 9, 17}));
}

TEST_F(PaneWindowsTest, MarginShiftsEverything) {
  margin_ = 2;
  writing_ = 0;
  Test(0, 0, 104, 69);  // W = 100, R = 69 - 6 - 25 = 38
  EXPECT_EQ(*Placed(1102), (Rect4{3, 2, 48, 6}));
  EXPECT_EQ(*Placed(1103), (Rect4{51, 2, 24, 6}));
  EXPECT_EQ(*Placed(1104), (Rect4{75, 2, 24, 6}));
  EXPECT_EQ(*Placed(1105), (Rect4{2, 9, 100, 38}));
  EXPECT_EQ((*Placed(1133))[1], 69 - 2 - 17);
}

TEST_F(PaneWindowsTest, ReaderLowerPaneIsAtLeast8) {
  for (int P : {0, 8, 19, 20, 30}) {
    SCOPED_TRACE(P);
    Put16(kReaderLowerPaneSize, static_cast<uint16_t>(P));
    Reader(100, 100);
    const int p = P > 19 ? P - 11 : 8;
    const int T = 89 - p;
    EXPECT_EQ(*Placed(1205), (Rect4{0, 0, 93, T}));
    EXPECT_EQ(*Placed(1212), (Rect4{0, T, 100, 1}));
    EXPECT_EQ(*Placed(1225), (Rect4{0, T + 1, 100, p}));
  }
  // The side buttons at most 14 high.
  EXPECT_EQ(*Placed(1206), (Rect4{93, 0, 7, 14}));
  EXPECT_EQ(*Placed(1207), (Rect4{93, 56, 7, 14}));
  // The bottom bar.
  EXPECT_EQ(*Placed(1215), (Rect4{0, 91, 8, 8}));
  EXPECT_EQ(*Placed(1217), (Rect4{18, 91, 8, 8}));
  EXPECT_EQ(*Placed(1227), (Rect4{36, 91, 8, 8}));
  EXPECT_FALSE(Shown(1227));  // placed only
  EXPECT_EQ(*Placed(1214), (Rect4{46, 92, 35, 8}));
  EXPECT_FALSE(Placed(1213).has_value());
  EXPECT_EQ(*Placed(1219), (Rect4{83, 91, 8, 8}));
  EXPECT_EQ(*Placed(1218), (Rect4{92, 91, 8, 8}));
  uint16_t top = 0, bottom = 0;
  GetReaderSplitterLimits(engine_, &top, &bottom);
  EXPECT_EQ(top, 16);
  EXPECT_EQ(bottom, 81);
}

TEST_F(PaneWindowsTest, ReaderTopRowCountsAtMostThree) {
  record_[kReaderTopRowShown] = 1;
  Put16(kReaderTopRowCount, 5);
  Put16(kReaderLowerPaneSize, 30);
  Reader(100, 100);
  EXPECT_EQ(*Placed(1202), (Rect4{1, 1, 31, 7}));
  EXPECT_EQ(*Placed(1203), (Rect4{34, 1, 31, 7}));
  EXPECT_EQ(*Placed(1204), (Rect4{67, 1, 31, 7}));
  EXPECT_EQ(*Placed(1205), (Rect4{0, 9, 93, 89 - 9 - 19}));
  uint16_t top = 0, bottom = 0;
  GetReaderSplitterLimits(engine_, &top, &bottom);
  EXPECT_EQ(top, 25);
  // One field.
  Put16(kReaderTopRowCount, 1);
  Reader(100, 100);
  EXPECT_EQ(*Placed(1202), (Rect4{1, 1, 98, 7}));
  EXPECT_FALSE(Placed(1203).has_value());
}

TEST_F(PaneWindowsTest, ReaderWithoutSideButtons) {
  Put16(kReaderLowerPaneSize, 30);
  record_[kReaderNoSideButton1] = 1;
  Reader(100, 100);
  EXPECT_TRUE(Placed(1206).has_value());  // one flag is not enough
  record_[kReaderNoSideButton2] = 1;
  Reader(100, 100);
  EXPECT_EQ(*Placed(1205), (Rect4{0, 0, 100, 70}));
  EXPECT_FALSE(Placed(1206).has_value());
  EXPECT_FALSE(Placed(1207).has_value());
}

TEST_F(PaneWindowsTest, ReaderStripForms) {
  struct Case {
    const char* what;
    int tall, P;
    int T, S, buttonHeight, pane;
  };
  const Case cases[] = {
      {"short", 0, 40, 60, 8, 6, 20},
      {"tall", 1, 40, 60, 14, 12, 14},
      // A size of 0: the strip still comes off the text, so the pane ends
      // above the bottom bar.
      {"short, size 0", 0, 0, 72, 8, 6, 8},
      {"tall, size 0", 1, 0, 66, 14, 12, 8},
  };
  record_[kReaderStripShown] = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    record_[kReaderTallStrip] = static_cast<uint8_t>(c.tall);
    Put16(kReaderLowerPaneSize, static_cast<uint16_t>(c.P));
    Reader(100, 100);
    const int u = c.T + 1;
    EXPECT_EQ(*Placed(1205), (Rect4{0, 0, 93, c.T}));
    EXPECT_EQ(*Placed(1220), (Rect4{1, u + 1, 7, c.buttonHeight}));
    EXPECT_EQ(*Placed(1221), (Rect4{9, u + 1, 7, c.buttonHeight}));
    EXPECT_EQ(*Placed(1223), (Rect4{84, u + 1, 7, c.buttonHeight}));
    EXPECT_EQ(*Placed(1224), (Rect4{92, u + 1, 7, c.buttonHeight}));
    EXPECT_EQ(*Placed(1222), (Rect4{17, u, 66, c.S}));
    EXPECT_EQ(*Placed(1225), (Rect4{0, u + c.S + 1, 100, c.pane}));
    EXPECT_LE(u + c.S + 1 + c.pane, 91);  // clear of the bottom bar
    uint16_t top = 0, bottom = 0;
    GetReaderSplitterLimits(engine_, &top, &bottom);
    EXPECT_EQ(top, 16);
    EXPECT_EQ(bottom, 100 - 19 - (c.S + 1));
  }
}

TEST_F(PaneWindowsTest, ReaderLowerPaneOffSplitsTheStatusTexts) {
  record_[kReaderLowerPaneOff] = 1;
  record_[kReaderStripShown] = 1;  // no strip without the lower pane
  Reader(100, 100);
  EXPECT_EQ(*Placed(1205), (Rect4{0, 0, 93, 90}));
  EXPECT_FALSE(Placed(1212).has_value());
  EXPECT_FALSE(Placed(1225).has_value());
  EXPECT_FALSE(Placed(1222).has_value());
  EXPECT_FALSE(Placed(1215).has_value());
  EXPECT_EQ(*Placed(1213), (Rect4{0, 92, 54, 8}));
  EXPECT_EQ(*Placed(1214), (Rect4{57, 92, 26, 8}));
  uint16_t top = 0, bottom = 0;
  GetReaderSplitterLimits(engine_, &top, &bottom);
  EXPECT_EQ(bottom, 81);
  // No room: neither text.
  Reader(20, 100);
  EXPECT_FALSE(Placed(1213).has_value());
  EXPECT_FALSE(Placed(1214).has_value());
}

TEST_F(PaneWindowsTest, WindowsSmallerThanTheirMarginsComplete) {
  for (int margin : {0, 3, 40})
    for (int mode : {0, 1, 2, 3, 4, 5, 9})
      for (int form : {0, 1, 2, 3, 4, 5, 6})
        for (auto [w, h] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{10, 5}, std::pair{30, 200}}) {
          margin_ = margin;
          writing_ = 20;
          rows_ = 3;
          Test(mode, form, w, h, 7);
          EXPECT_EQ(rec_.begins, 1);
        }
  for (int flags = 0; flags < 64; ++flags) {
    record_[kReaderStripShown] = flags & 1;
    record_[kReaderTallStrip] = (flags >> 1) & 1;
    record_[kReaderLowerPaneOff] = (flags >> 2) & 1;
    record_[kReaderNoSideButton1] = record_[kReaderNoSideButton2] = (flags >> 3) & 1;
    record_[kReaderTopRowShown] = (flags >> 4) & 1;
    Put16(kReaderTopRowCount, (flags >> 5) ? 0xFFFF : 2);
    Put16(kReaderLowerPaneSize, 0xFFFF);
    for (auto [w, h] : {std::pair{0, 0}, std::pair{3, 3}, std::pair{30, 12}}) {
      Reader(w, h);
      EXPECT_EQ(rec_.begins, 1);
    }
  }
}

}  // namespace
