// The soft keyboards: every layout's shape against the layout table, key
// codes spot-checked per table, the choices that give no keyboard, the
// tones-only row, a keyboard in a real grid (joined tone keys, the
// Backspace bitmap), and the search of the button rows.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "engine/preferences.h"
#include "resources/resources.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_grid.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"

namespace {

enum Function { kCompact, kFull, kPinyinBoard };

struct Board {
  KeyboardLayoutRecord record{};
  const uint16_t* keys = nullptr;
  uint16_t count = 0;
};

class KeyboardTest : public ControlTest {
 protected:
  void TearDown() override {
    *GetPaneLayoutBlock() = PaneLayoutBlock{};
    ControlTest::TearDown();
  }
  DictEngine* Engine() { return app_->engine(); }
  // `flag`: tall for the compact keyboard, shifted for the full one.
  Board Setup(Function function, int choice, int flag) {
    Board b;
    b.record.fontSize = 99;  // cleared by every function
    if (function == kCompact) {
      SetPref(Engine(), kPrefCompactKeyboardKind, choice);
      SetupCompactKeyboardLayout(Engine(), &b.record, &b.keys, &b.count, flag);
    } else if (function == kFull) {
      SetupKeyboardLayout(Engine(), &b.record, &b.keys, &b.count, choice, flag);
    } else {
      SetupPinyinKeyboardLayout(Engine(), &b.record, &b.keys, &b.count, choice);
    }
    return b;
  }
  static std::u16string Row(const Board& b, int row) {
    std::u16string out;
    for (int c = 0; c < b.record.fixedColumns; ++c)
      out += static_cast<char16_t>(b.keys[row * b.record.fixedColumns + c]);
    return out;
  }
};

using Spans = std::vector<std::array<uint16_t, 3>>;
using Bitmaps = std::vector<std::pair<uint32_t, uint16_t>>;
const Spans kTones = {{0, 0, 1}, {0, 2, 3}, {0, 4, 5}, {0, 6, 7}, {0, 8, 9}};
const Bitmaps kFull11 = {{kBitmapBackspace, 10}, {kBitmapEnter, 43}, {kBitmapShift, 44}};
const Bitmaps kFull12 = {{kBitmapBackspace, 11}, {kBitmapEnter, 47}, {kBitmapShift, 48}};

TEST_F(KeyboardTest, EveryLayoutHasItsShape) {
  struct Case {
    Function function;
    int choice, flag;
    uint16_t keys, columns, rows;
    Spans spans;
    Bitmaps bitmaps;
    const char* why;
  } cases[] = {
      {kCompact, 0, 0, 40, 10, 4, {}, {{kBitmapBackspace, 29}}, "compact, wide, letters"},
      {kCompact, 1, 0, 40, 10, 4, kTones, {{kBitmapBackspace, 29}}, "compact, wide, pinyin"},
      {kCompact, 2, 0, 44, 11, 4, {}, {{kBitmapBackspace, 21}}, "compact, wide, zhuyin"},
      {kCompact, 0, 1, 40, 5, 8, {}, {{kBitmapBackspace, 29}}, "compact, tall, letters"},
      {kCompact,
       1,
       1,
       40,
       5,
       8,
       {{5, 3, 4}, {6, 1, 2}, {6, 3, 4}, {7, 1, 2}, {7, 3, 4}},
       {{kBitmapBackspace, 30}},
       "compact, tall, pinyin"},
      {kCompact, 2, 1, 45, 5, 9, {}, {{kBitmapBackspace, 44}}, "compact, tall, zhuyin"},
      {kFull, 0, 0, 55, 11, 5, {{3, 9, 10}, {4, 0, 1}, {4, 2, 7}}, kFull11, "English"},
      {kFull, 0, 1, 55, 11, 5, {{3, 9, 10}, {4, 0, 1}, {4, 2, 7}}, kFull11, "English, shifted"},
      {kFull,
       1,
       0,
       55,
       11,
       5,
       {{0, 0, 1}, {0, 2, 3}, {0, 4, 5}, {0, 6, 7}, {0, 8, 9}, {3, 9, 10}, {4, 0, 1}, {4, 2, 7}},
       kFull11,
       "pinyin"},
      {kFull,
       1,
       1,
       55,
       11,
       5,
       {{0, 0, 1}, {0, 2, 3}, {0, 4, 5}, {0, 6, 7}, {0, 8, 9}, {3, 9, 10}, {4, 0, 1}, {4, 2, 7}},
       kFull11,
       "pinyin, shifted"},
      {kFull, 2, 0, 55, 11, 5, {{4, 2, 8}}, {{kBitmapBackspace, 21}, {kBitmapEnter, 32}}, "zhuyin"},
      {kFull, 2, 1, 55, 11, 5, {{4, 2, 8}}, {{kBitmapBackspace, 21}, {kBitmapEnter, 32}}, "zhuyin, shifted"},
      {kFull, 3, 0, 60, 12, 5, {{3, 10, 11}, {4, 0, 1}, {4, 2, 7}}, kFull12, "German"},
      {kFull, 3, 1, 60, 12, 5, {{3, 10, 11}, {4, 0, 1}, {4, 2, 7}}, kFull12, "German, shifted"},
      {kFull, 4, 0, 60, 12, 5, {{4, 0, 1}, {4, 2, 7}}, kFull12, "French"},
      {kFull, 4, 1, 60, 12, 5, {{4, 0, 1}, {4, 2, 7}}, kFull12, "French, shifted"},
      {kPinyinBoard, 0, 0, 40, 10, 4, kTones, {{kBitmapBackspace, 29}}, "pinyin keyboard"},
      {kPinyinBoard, 4, 0, 40, 10, 1, kTones, {}, "pinyin keyboard, tones only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Board b = Setup(c.function, c.choice, c.flag);
    ASSERT_NE(b.keys, nullptr);
    EXPECT_EQ(b.count, c.keys);
    EXPECT_EQ(b.record.frame, 1);
    EXPECT_EQ(b.record.cellSpacing, 0);
    EXPECT_EQ(b.record.fixedLayout, 1);
    EXPECT_EQ(b.record.fontSize, 0) << "the owner fills in slot and size";
    EXPECT_EQ(b.record.fixedColumns, c.columns);
    EXPECT_EQ(b.record.fixedRows, c.rows);
    Spans spans;
    for (uint16_t i = 0; i < b.record.spanCount; ++i)
      spans.push_back({b.record.spans[i].row, b.record.spans[i].firstColumn, b.record.spans[i].lastColumn});
    EXPECT_EQ(spans, c.spans);
    EXPECT_EQ(b.record.spans == nullptr, c.spans.empty()) << "no joined keys: a null pointer";
    Bitmaps bitmaps;
    for (uint16_t i = 0; i < b.record.bitmapCellCount; ++i)
      bitmaps.push_back({b.record.bitmapCells[i].bitmapWord, b.record.bitmapCells[i].itemIndex});
    EXPECT_EQ(bitmaps, c.bitmaps);
    // Every bitmap key stands on Backspace, Enter (or the empty cell that
    // the joined Enter key covers) or Shift.
    for (auto [word, cell] : bitmaps) {
      ASSERT_LT(cell, b.count);
      uint16_t key = b.keys[cell];
      if (word == kBitmapBackspace) {
        EXPECT_EQ(key, kKeyBackspace) << cell;
      }
      if (word == kBitmapEnter) {
        EXPECT_TRUE(key == kKeyEnter || (key == 0 && b.keys[cell - 1] == kKeyEnter)) << cell;
      }
      if (word == kBitmapShift) {
        EXPECT_TRUE(key == kKeyShift || key == kKeyUnshift) << cell;
      }
    }
  }
}

TEST_F(KeyboardTest, KeyCodesOfEachTable) {
  struct Case {
    Function function;
    int choice, flag, row;
    std::u16string keys;
    const char* why;
  } cases[] = {
      {kPinyinBoard, 0, 0, 0, u"1\u02C92\u02CA3\u02C74\u02CB5" + std::u16string(1, 0), "tone keys: digit, then mark"},
      {kPinyinBoard, 0, 0, 3, u"zxc\u00FCbnm'- ", "ü and the space bar"},
      {kCompact, 0, 0, 2, u"asdfghjkl\b", "Backspace ends the home row"},
      {kCompact, 2, 0, 0, u"\u3105\u3109\u02C7\u02CB\u3113\u02CA\u02D9\u311A\u311E\u3122\u3126", "zhuyin, wide"},
      {kCompact, 2, 1, 0, u"\u02D9\u02CA\u02C7\u02CB@", "zhuyin, tall: the tones first"},
      {kCompact, 1, 1, 7, u"'4\u02CB5" + std::u16string(1, 0), "pinyin, tall"},
      {kFull, 0, 0, 3, u"zxcvbnm,.\n" + std::u16string(1, 0), "Enter, then the cell it covers"},
      {kFull, 0, 1, 4, std::u16string{kKeyUnshift, 0, kKeySpace, 0, 0, 0, 0, 0, u'\\', u'_', u'?'},
       "English shifted: Unshift, the space bar, backslash"},
      {kFull, 0, 0, 4, std::u16string{kKeyShift, 0, kKeySpace, 0, 0, 0, 0, 0, u'\u2026', u'-', u'/'}, "Shift"},
      {kFull, 1, 1, 3, u"ZXC\u00DCBNM,.\n" + std::u16string(1, 0), "pinyin shifted"},
      {kFull, 2, 0, 4, std::u16string{u'@', u'$', kKeySpace, 0, 0, 0, 0, 0, 0, u',', u'.'}, "zhuyin"},
      {kFull, 3, 0, 0, u"1234567890\u00DF\b", "German"},
      {kFull, 3, 1, 0, u"!\"\u00A7$%&/()=?\b", "German shifted"},
      {kFull, 4, 0, 0, u"&\u00E9\"'(-\u00E8_\u00E7\u00E0)\b", "French"},
      {kFull, 4, 1, 4, std::u16string{kKeyUnshift, 0, kKeySpace, 0, 0, 0, 0, 0, u'`', u'\\', u'+', u'\u00B2'},
       "French shifted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Board b = Setup(c.function, c.choice, c.flag);
    ASSERT_NE(b.keys, nullptr);
    EXPECT_EQ(Row(b, c.row), c.keys);
  }
}

TEST_F(KeyboardTest, ChoicesWithoutAKeyboardGiveNone) {
  struct Case {
    Function function;
    int choice;
    const char* why;
  } cases[] = {
      {kCompact, 3, "compact kind 3"},
      {kCompact, -1, "compact kind -1"},
      {kFull, 5, "full mode 5"},
      {kFull, -1, "full mode -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Board b = Setup(c.function, c.choice, 0);
    EXPECT_EQ(b.count, 0);
    EXPECT_EQ(b.keys, nullptr);
    EXPECT_EQ(b.record.fixedLayout, 0) << "a cleared record";
    EXPECT_EQ(b.record.fontSize, 0);
  }
  // Zhuyin has no shifted table: the plain one comes back.
  EXPECT_EQ(Setup(kFull, kKeyboardZhuyin, 1).keys, Setup(kFull, kKeyboardZhuyin, 0).keys);
  EXPECT_NE(Setup(kFull, kKeyboardEnglish, 1).keys, Setup(kFull, kKeyboardEnglish, 0).keys);
}

TEST_F(KeyboardTest, TonesOnlyIsOneRowOverAnEmptyRest) {
  Board b = Setup(kPinyinBoard, kPinyinTonesOnly, 0);
  ASSERT_EQ(b.count, 40);
  EXPECT_EQ(b.record.fixedColumns * b.record.fixedRows, 10);
  EXPECT_EQ(Row(b, 0), Row(Setup(kPinyinBoard, 0, 0), 0)) << "the pinyin keyboard's tone row";
  for (int i = 10; i < 40; ++i) EXPECT_EQ(b.keys[i], 0) << i;
}

class KeyboardGridTest : public KeyboardTest {
 protected:
  HWND MakeKeyboard(const Board& b, int w, int h) {
    KeyboardLayoutRecord record = b.record;
    record.fontSize = 14;
    grid_ = MakeControl(kGridClassName, 70, 0, 0, w, h, &record);
    GridItems items{b.keys, nullptr, b.count, 1};
    SendMessageW(grid_, kGridSetItems, 0, reinterpret_cast<LPARAM>(&items));
    UpdateWindow(grid_);
    return grid_;
  }
  GridState* State() { return static_cast<GridState*>(GetPropW(grid_, u"SorviGridInfo")); }
  uint32_t Px(HWND h, int x, int y) { return AutoGetPixel(h, x, y) & 0xFFFFFF; }
  HWND grid_ = nullptr;
};

TEST_F(KeyboardGridTest, TheSecondCellOfAToneKeyEntersItsDigit) {
  Board b = Setup(kPinyinBoard, 0, 0);
  MakeKeyboard(b, 10 * 40 + 1, 4 * 40 + 1);
  GridState* s = State();
  ASSERT_NE(s, nullptr);
  struct Case {
    int column;
    uint16_t key;
  } cases[] = {{0, u'1'}, {1, u'1'}, {3, u'2'}, {7, u'4'}, {9, u'5'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    notes_.clear();
    Tap(grid_, GridCellX(s, c.column) + s->cellWidth / 2, GridCellY(s, 0) + s->cellHeight / 2);
    ASSERT_FALSE(notes_.empty());
    EXPECT_EQ(notes_.back().header.code, kGridChosenCode);
    EXPECT_EQ(notes_.back().payload.grid.value1, c.key);
  }
}

// The pixels of an area that differ from `background`, relative to the top
// and left edges of what differs.
std::vector<std::pair<std::pair<int, int>, uint32_t>> Ink(const std::vector<uint32_t>& pixels, int width, int x0,
                                                          int y0, int x1, int y1, uint32_t background) {
  auto at = [&](int x, int y) { return pixels[y * width + x] & 0xFFFFFF; };
  int left = x1, top = y1;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (at(x, y) != background) {
        left = std::min(left, x);
        top = std::min(top, y);
      }
  std::vector<std::pair<std::pair<int, int>, uint32_t>> out;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (at(x, y) != background) out.push_back({{x - left, y - top}, at(x, y)});
  return out;
}

TEST_F(KeyboardGridTest, BackspaceShowsTheArrowForTheScreensDpi) {
  RegisterSorviResources();
  Board b = Setup(kPinyinBoard, 0, 0);
  MakeKeyboard(b, 10 * 40 + 1, 4 * 40 + 1);
  GridState* s = State();
  RECT client{};
  GetClientRect(grid_, &client);
  std::vector<uint32_t> pixels = ClientPixels(grid_);
  // Backspace is cell 29: row 2, column 9 (inside its separators).
  int x0 = GridCellX(s, 9) + 1, y0 = GridCellY(s, 2) + 1;
  uint32_t background = pixels[y0 * client.right + x0];
  auto cell = Ink(pixels, client.right, x0, y0, x0 + s->cellWidth - 2, y0 + s->cellHeight - 2, background);

  // The arrow by itself, drawn the way the grid draws bitmaps, on the
  // cell's background, in a window beside the keyboard.
  HWND beside = MakeControl(kToolBackgroundClassName, 71, 0, 200, 200, 150, nullptr);
  UpdateWindow(beside);
  DrawContext* dc = NewDrawContext(beside, GetModuleHandleW(nullptr));
  ASSERT_NE(dc, nullptr);
  FillShortRect(dc, ShortRect{0, 0, 200, 150}, background);
  ASSERT_EQ(ResolveBitmapWord(kBitmapBackspace), 4592) << "the large arrow at 192 dpi";
  DrawBitmapResource(dc, kBitmapBackspace, 0, 0, 0, 0);
  FreeDrawContext(dc);
  auto arrow = Ink(ClientPixels(beside), 200, 0, 0, 200, 150, background);
  ASSERT_FALSE(arrow.empty());
  EXPECT_EQ(cell, arrow) << "the cell shows exactly the 192-dpi arrow";
  // The letter beside it still shows its character, not a bitmap.
  int lx = GridCellX(s, 8) + 1;
  EXPECT_NE(Ink(pixels, client.right, lx, y0, lx + s->cellWidth - 2, y0 + s->cellHeight - 2, background), arrow);
}

TEST_F(KeyboardTest, FindKeyInKeyListsSearchesTheButtonsInUse) {
  const uint16_t table[12] = {1002, 0, 0, 0, 0, 1004, 0, 16, 1020, 0, 10, 1030};
  DictEngine* e = Engine();
  const int32_t first[] = {5, 6, 11};
  const int32_t second[] = {11, 7, 6};
  SetPrefArray(e, kPrefArrayFirstRow, first, 3);
  SetPrefArray(e, kPrefArraySecondRow, second, 3);
  const int32_t firstWide[] = {7};
  SetPrefArray(e, kPrefArrayFirstRowWide, firstWide, 1);
  SetPrefArray(e, kPrefArraySecondRowWide, first, 3);
  struct Case {
    bool landscape;
    int32_t wideLists, firstInUse, secondInUse, firstWideInUse, secondWideInUse, value;
    uint32_t id;
    const char* why;
  } cases[] = {
      {false, 0, 2, 3, 0, 0, 6, 1005, "the first row: base id + index"},
      {false, 0, 2, 3, 0, 0, 11, 1020, "past the first row's buttons in use: found in the second"},
      {false, 0, 2, 1, 0, 0, 7, 0, "past the second row's buttons in use: none"},
      {false, 0, 3, 3, 0, 0, 11, 1006, "with three in use the first row has it"},
      {false, 0, 40, 40, 0, 0, 0, 0, "counts above the item counts are capped (no zero items past them)"},
      {false, 0, -5, 3, 0, 0, 5, 0, "a negative count is none in use"},
      {true, 0, 2, 3, 9, 9, 6, 1005, "landscape without preference 172: the portrait rows"},
      {false, 1, 2, 3, 9, 9, 6, 1005, "preference 172 without a landscape layout: the portrait rows"},
      {true, 1, 0, 0, 1, 3, 7, 1004, "landscape lists: array 4 with count 175"},
      {true, 1, 0, 0, 1, 3, 11, 1022, "landscape lists: array 5 with count 176"},
      {true, 1, 2, 3, 1, 2, 11, 0, "landscape lists stop at their own counts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    GetPaneLayoutBlock()->landscape = c.landscape;
    SetPref(e, kPrefLandscapeKeyLists, c.wideLists);
    SetPref(e, kPrefFirstRowInUse, c.firstInUse);
    SetPref(e, kPrefSecondRowInUse, c.secondInUse);
    SetPref(e, kPrefFirstRowInUseWide, c.firstWideInUse);
    SetPref(e, kPrefSecondRowInUseWide, c.secondWideInUse);
    EXPECT_EQ(FindKeyInKeyLists(e, table, c.value), c.id);
  }
  EXPECT_EQ(FindKeyInKeyLists(e, nullptr, 6), 0u);
}

TEST_F(KeyboardTest, LandscapeChoicesNeedALandscapeLayout) {
  DictEngine* e = Engine();
  struct Case {
    bool landscape;
    int32_t pref;
    bool want;
  } cases[] = {{false, 0, false}, {false, 1, false}, {true, 0, false}, {true, 1, true}, {true, -3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.landscape << " " << c.pref);
    GetPaneLayoutBlock()->landscape = c.landscape;
    SetPref(e, kPrefLandscapeInput, c.pref);
    SetPref(e, kPrefLandscapeKeyLists, 0);
    EXPECT_EQ(UseLandscapeInputLayout(e), c.want);
    EXPECT_FALSE(UseLandscapeKeyLists(e)) << "each reads its own preference";
    SetPref(e, kPrefLandscapeKeyLists, c.pref);
    EXPECT_EQ(UseLandscapeKeyLists(e), c.want);
  }
}

}  // namespace
