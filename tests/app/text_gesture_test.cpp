#include "app/text_gesture.h"

#include <gtest/gtest.h>

#include "toolkit/field_pen.h"

namespace {

// 你好 world: Chinese at 0-1, a space at 2, Latin letters from 3.
constexpr const char16_t* kText = u"你好 world";

constexpr uint32_t kDrag = kFieldPenDragged;
constexpr uint32_t kDouble = kFieldPenDoubleTap;
constexpr uint32_t kInSel = kFieldPenInSelection;
constexpr uint32_t kHold = kFieldPenHeld;
constexpr uint32_t kRight = kFieldPenRightHalf;
constexpr uint32_t kBelow = kFieldPenBelowLast;

TEST(DecideTextGesture, EachGestureReadsItsPreference) {
  const struct {
    const char* what;
    uint32_t start, end, flags;
    TextGesturePrefs prefs;  // 192, 193, 194, 195
    bool main, allowed;
    TextGestureAction action;
    bool select;
    uint32_t position;
  } cases[] = {
      // Plain taps (192) act on a Chinese character and select it.
      {"tap magnifies", 1, 1, 0, {1, 0, 0, 0}, true, true, kGestureMagnify, true, 1},
      {"tap char info", 0, 0, 0, {2, 0, 0, 0}, true, true, kGestureCharInfo, true, 0},
      {"tap copies to input", 0, 0, 0, {3, 0, 0, 0}, true, true, kGestureCopyToInput, true, 0},
      {"tap copy needs the main definition", 0, 0, 0, {3, 0, 0, 0}, false, true, kGestureNothing, false, 0},
      {"tap pop-up", 1, 1, 0, {4, 0, 0, 0}, true, true, kGesturePopup, true, 1},
      {"tap pop-up not allowed", 1, 1, 0, {4, 0, 0, 0}, true, false, kGestureNothing, false, 1},
      {"tap char info not allowed", 1, 1, 0, {2, 0, 0, 0}, true, false, kGestureNothing, false, 1},
      {"magnify needs no permission", 1, 1, 0, {1, 0, 0, 0}, false, false, kGestureMagnify, true, 1},
      {"a Latin letter with pop-up does nothing", 4, 4, 0, {4, 0, 0, 0}, true, true, kGestureNothing, false, 4},
      {"a space does nothing", 2, 2, 0, {1, 0, 0, 0}, true, true, kGestureNothing, false, 2},
      {"right half of 好 is before the caret at 2", 2, 2, kRight, {1, 0, 0, 0}, true, true, kGestureMagnify, true, 1},
      {"right half at 0 stays at 0", 0, 0, kRight, {1, 0, 0, 0}, true, true, kGestureMagnify, true, 0},
      {"below the last line is not a tap", 1, 1, kBelow, {1, 0, 0, 0}, true, true, kGestureNothing, false, 1},
      {"past the end of the text", 8, 8, 0, {1, 0, 0, 0}, true, true, kGestureNothing, false, 8},
      {"tap with 192 = 0", 0, 0, 0, {0, 7, 7, 7}, true, true, kGestureNothing, false, 0},
      // A hold (194), outside a selection.
      {"hold copies to input", 0, 0, kHold, {0, 0, 1, 0}, true, true, kGestureCopyToInput, true, 0},
      {"hold pop-up", 0, 0, kHold, {0, 0, 2, 0}, true, true, kGesturePopup, true, 0},
      {"hold word menu", 0, 0, kHold, {0, 0, 3, 0}, true, true, kGestureWordMenu, true, 0},
      {"hold copy", 0, 0, kHold, {0, 0, 4, 0}, true, true, kGestureCopy, true, 0},
      {"hold char info", 0, 0, kHold, {0, 0, 5, 0}, true, true, kGestureCharInfo, true, 0},
      {"hold char info not allowed", 0, 0, kHold, {0, 0, 5, 0}, true, false, kGestureNothing, false, 0},
      {"hold magnify on a Latin letter", 4, 4, kHold, {0, 0, 6, 0}, true, true, kGestureMagnify, true, 4},
      {"hold on a link keeps its range", 0, 2, kHold, {0, 0, 6, 0}, true, true, kGestureMagnify, false, 0},
      {"hold right half", 2, 2, kHold | kRight, {0, 0, 6, 0}, true, true, kGestureMagnify, true, 1},
      {"double tap does nothing", 3, 8, kDouble, {7, 7, 7, 7}, true, true, kGestureNothing, false, 3},
      // A dragged selection (193) and a tap inside the selection (195).
      {"drag copies to input", 0, 2, kDrag, {0, 1, 0, 0}, true, true, kGestureCopyToInput, false, 0},
      {"drag copy not on the reader", 0, 2, kDrag, {0, 1, 0, 0}, false, true, kGestureNothing, false, 0},
      {"drag pop-up", 0, 2, kDrag, {0, 2, 0, 0}, true, true, kGesturePopup, false, 0},
      {"drag of two: pop-up", 0, 2, kDrag, {0, 3, 0, 0}, true, true, kGesturePopup, false, 0},
      {"drag of one: char info", 0, 1, kDrag, {0, 3, 0, 0}, true, true, kGestureCharInfo, false, 0},
      {"drag char info", 0, 2, kDrag, {0, 4, 0, 0}, true, true, kGestureCharInfo, false, 0},
      {"drag copy", 0, 2, kDrag, {0, 5, 0, 0}, true, true, kGestureCopy, false, 0},
      {"drag magnify", 0, 2, kDrag, {0, 6, 0, 0}, true, true, kGestureMagnify, false, 0},
      {"drag magnify not allowed", 0, 2, kDrag, {0, 6, 0, 0}, true, false, kGestureNothing, false, 0},
      {"drag word menu", 0, 2, kDrag, {0, 7, 0, 0}, false, false, kGestureWordMenu, false, 0},
      {"tap in selection reads 195", 0, 2, kInSel, {0, 5, 0, 7}, true, true, kGestureWordMenu, false, 0},
      {"tap in selection, 195 = 0", 0, 2, kInSel, {0, 5, 5, 0}, true, true, kGestureNothing, false, 0},
      {"drag ending in the selection reads 195",
       0,
       2,
       kInSel | kDrag,
       {0, 5, 0, 6},
       true,
       true,
       kGestureMagnify,
       false,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TextGesture g = DecideTextGesture({kText, c.start, c.end, c.flags, c.main, c.allowed}, c.prefs);
    EXPECT_EQ(g.action, c.action);
    EXPECT_EQ(g.select, c.select);
    EXPECT_EQ(g.position, c.position);
  }
}

TEST(DecideTextGesture, ChineseRangeOfATap) {
  const struct {
    char16_t c;
    bool acts;
  } cases[] = {
      {0x33FF, false}, {0x3400, true}, {0x4E00, true}, {0x9FAF, true}, {0x9FB0, false}, {u'A', false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.c));
    const char16_t text[] = {c.c, 0};
    TextGesture g = DecideTextGesture({text, 0, 0, 0, true, true}, {1, 0, 0, 0});
    EXPECT_EQ(g.action == kGestureMagnify, c.acts);
  }
  // An empty field and a null text decide nothing.
  EXPECT_EQ(DecideTextGesture({u"", 0, 0, 0, true, true}, {1, 0, 0, 0}).action, kGestureNothing);
  EXPECT_EQ(DecideTextGesture({nullptr, 0, 0, kHold, true, true}, {0, 0, 6, 0}).select, false);
}

}  // namespace
