// The choices control: its layout of rows, taps on active and inactive
// choices and on the empty place below them, the expanded view with its
// Confirm and Cancel, the kinds' pixels, and the clamp of every count to the
// eight choices the control holds.
#include <string>
#include <vector>

#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_choices.h"

namespace {

constexpr int kId = 71;

class ChoicesTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    // 96 dpi: the row height is 20, icon 15, inset 3.
    app_->context().dpiFactor = 3;
  }
  HWND Make(int w, int h, uint16_t count, uint16_t fontSize = 12) {
    ChoicesCreateParams p{};
    p.fontSize = fontSize;
    p.count = count;
    choices_ = MakeControl(kChoicesClassName, kId, 10, 10, w, h, &p);
    return choices_;
  }
  ChoicesState* State() { return static_cast<ChoicesState*>(GetPropW(choices_, u"SorviChoicesInfo")); }
  void Set(int i, const std::u16string& text, int32_t kind) {
    SendMessageW(choices_, kChoicesSetText, i, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(choices_, kChoicesSetKind, i, kind);
  }
  void Show(int count) {
    SendMessageW(choices_, kChoicesSetShown, count, 0);
    InvalidateRect(choices_, nullptr, TRUE);
    UpdateWindow(choices_);
  }
  // The middle of row r.
  void TapRow(int r) {
    ChoicesState* s = State();
    Tap(choices_, s->columnPitch / 2, r * s->rowPitch + s->rowPitch / 2);
  }
  int CellHeight() {
    uint16_t m[4] = {};
    GetFontMetrics(app_->engine(), 0, 12, m);
    return m[1];
  }
  uint32_t Px(int x, int y) { return AutoGetPixel(choices_, x, y) & 0xFFFFFF; }
  HWND choices_ = nullptr;
};

TEST_F(ChoicesTest, RowsFitTheHeightWithTheirPitch) {
  struct Case {
    int height;
    uint16_t count;
    int rows;
    int pitch;  // 0: not laid out
    const char* why;
  } cases[] = {
      {160, 8, 7, 23, "161 / 21 = 7 rows of 161 / 7"},
      {160, 3, 3, 53, "fewer choices than room: 161 / 3"},
      {20, 8, 1, 21, "one row just fits"},
      {19, 8, 0, 0, "no row fits"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Make(200, c.height, 0);
    EXPECT_EQ(SendMessageW(choices_, kChoicesLayout, c.count, 0), c.rows);
    ChoicesState* s = State();
    EXPECT_EQ(s->rows, c.rows);
    if (c.pitch) {
      EXPECT_EQ(s->rowPitch, c.pitch);
      EXPECT_EQ(s->columnPitch, 201);
      EXPECT_EQ(s->columns, 1);
      EXPECT_EQ(SendMessageW(choices_, kChoicesGetCount, 0, 0), c.count);
    } else {
      EXPECT_EQ(SendMessageW(choices_, kChoicesGetCount, 0, 0), 0) << "the count is not stored";
    }
    DestroyWindow(choices_);
  }
}

TEST_F(ChoicesTest, CountsAboveEightAreClamped) {
  // A damaged profile can ask for twelve; the control holds eight.
  Make(200, 400, 12);
  EXPECT_EQ(SendMessageW(choices_, kChoicesGetCount, 0, 0), 8);
  EXPECT_EQ(State()->rows, 8);
  EXPECT_EQ(SendMessageW(choices_, kChoicesLayout, 12, 0), 8);
  EXPECT_EQ(SendMessageW(choices_, kChoicesLayout, 0xFFFF, 0), 8);
  for (int i = 0; i < 12; ++i) Set(i, u"x", kChoiceActive);  // indexes past 7 are ignored
  Show(12);
  EXPECT_EQ(State()->shownCount, 8);
  TapRow(7);
  EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kChoicesChosenCode, 7}}));
}

TEST_F(ChoicesTest, TapsReachOnlyShownActiveChoices) {
  Make(200, 160, 5);
  Set(0, u"one", kChoiceActive);
  Set(1, u"two", kChoiceActive);
  Set(2, u"three", kChoiceActive);
  Set(3, u"four", kChoiceActive);
  Set(4, u"five", kChoiceActive);
  Show(3);
  struct Case {
    int row;
    int kind;  // set on row 1 before the tap
    bool reported;
    const char* why;
  } cases[] = {
      {1, kChoiceActive, true, "a shown active choice"}, {3, kChoiceActive, false, "the empty place below the third"},
      {4, kChoiceActive, false, "further below"},        {1, kChoiceCorrect, false, "kind 3 never responds"},
      {1, kChoiceWrong, false, "kind 4 never responds"}, {1, kChoiceEmpty, false, "kind 0 never responds"},
      {1, 2, false, "a plain kind never responds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SendMessageW(choices_, kChoicesSetKind, 1, c.kind);
    Show(3);
    notes_.clear();
    TapRow(c.row);
    if (c.reported) {
      EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kChoicesChosenCode, (uint32_t)c.row}}));
    } else {
      EXPECT_TRUE(notes_.empty());
    }
    EXPECT_EQ(State()->expanded, -1);
  }
}

TEST_F(ChoicesTest, ExpandedChoiceConfirmsOrCancels) {
  const std::u16string longText =
      u"a text much too long for its button, which the user opens to read it whole before choosing";
  struct Case {
    const std::u16string text;
    bool expandAll;
    bool confirm;
    bool expands;
    const char* why;
  } cases[] = {
      {u"short", false, true, false, "a short text is chosen at once"},
      {u"short", true, true, true, "expand-all opens even a short text; Confirm chooses it"},
      {u"short", true, false, true, "Cancel closes it silently"},
      {longText, false, true, true, "a cut text opens; Confirm chooses it"},
      {longText, false, false, true, "Cancel closes it silently"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Make(200, 160, 3);
    Set(0, u"zero", kChoiceActive);
    Set(1, c.text, kChoiceActive);
    Set(2, u"two", kChoiceActive);
    SendMessageW(choices_, kChoicesExpandAll, c.expandAll ? 1 : 0, 0);
    Show(3);
    notes_.clear();
    TapRow(1);
    if (!c.expands) {
      EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kChoicesChosenCode, 1}}));
      EXPECT_EQ(State()->expanded, -1);
      DestroyWindow(choices_);
      continue;
    }
    EXPECT_TRUE(notes_.empty()) << "opening reports nothing";
    ASSERT_EQ(State()->expanded, 1);
    UpdateWindow(choices_);
    // The buttons lie below the text area: "Confirm" on the left half,
    // "Cancel" on the right.
    int avail = 160 - CellHeight() - 2;
    int y = avail + 2 + (160 - avail - 3) / 2;
    Tap(choices_, c.confirm ? 30 : 150, y);
    if (c.confirm) {
      EXPECT_EQ(ListNotes(), (std::vector<std::pair<UINT, uint32_t>>{{kChoicesChosenCode, 1}}));
    } else {
      EXPECT_TRUE(notes_.empty());
    }
    EXPECT_EQ(State()->expanded, -1) << "the list comes back";
    DestroyWindow(choices_);
  }
}

TEST_F(ChoicesTest, ChangingAChoiceLeavesTheExpandedView) {
  Make(200, 160, 2);
  Set(0, u"zero", kChoiceActive);
  SendMessageW(choices_, kChoicesExpandAll, 1, 0);
  Show(2);
  const UINT messages[] = {kChoicesSetText, kChoicesSetKind, kChoicesSetShown};
  for (UINT msg : messages) {
    SCOPED_TRACE(msg);
    SendMessageW(choices_, kChoicesSetKind, 0, kChoiceActive);
    Show(2);
    TapRow(0);
    ASSERT_EQ(State()->expanded, 0);
    LPARAM l = msg == kChoicesSetText ? reinterpret_cast<LPARAM>(u"zero") : msg == kChoicesSetKind ? kChoiceActive : 0;
    SendMessageW(choices_, msg, msg == kChoicesSetShown ? 2 : 0, l);
    EXPECT_EQ(State()->expanded, -1);
  }
}

TEST_F(ChoicesTest, TextsSkipLeadingBlanksAndKeep79Units) {
  Make(200, 160, 2);
  const std::u16string long100(100, u'q');
  struct Case {
    const char16_t* given;  // null: none
    std::u16string kept;
  } cases[] = {{u"   spaced", u"spaced"}, {nullptr, u""}, {u"    ", u""}, {long100.c_str(), std::u16string(79, u'q')}};
  for (const Case& c : cases) {
    SendMessageW(choices_, kChoicesSetText, 0, reinterpret_cast<LPARAM>(u"old"));
    EXPECT_EQ(SendMessageW(choices_, kChoicesSetText, 0, reinterpret_cast<LPARAM>(c.given)), 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(State()->texts[0])), c.kept);
  }
  // An index of 8 or more is ignored.
  EXPECT_EQ(SendMessageW(choices_, kChoicesSetText, 8, reinterpret_cast<LPARAM>(u"x")), 1);
}

TEST_F(ChoicesTest, KindsDrawTheirBackgroundsAndTheBoldNumber) {
  MakeEngine({toolkit_test::kLatin, toolkit_test::kLatinBold});
  app_->context().dpiFactor = 3;
  Make(200, 120, 4, 14);
  Set(0, u"", kChoiceActive);
  Set(1, u"", kChoiceCorrect);
  Set(2, u"", kChoiceWrong);
  Set(3, u"", 2);
  Show(4);
  ChoicesState* s = State();
  ASSERT_EQ(s->rows, 4);
  int pitch = s->rowPitch;
  // Rows 1 and 2: filled one pixel inside their cells; the cell's own
  // first row and column stay white, the separator above is drawn.
  struct Case {
    int row;
    uint32_t fill;
  } fills[] = {{1, 0xC8FFC8}, {2, 0xFFC8C8}};
  for (const Case& c : fills) {
    SCOPED_TRACE(c.row);
    int top = c.row * pitch;
    EXPECT_EQ(Px(1, top + 1), c.fill);
    EXPECT_EQ(Px(100, top + pitch / 2), c.fill);
    EXPECT_EQ(Px(198, top + pitch - 3), c.fill);
    EXPECT_EQ(Px(1, top), 0xFFFFFFu) << "inset by one pixel at the top";
    EXPECT_NE(Px(199, top + 1), c.fill) << "and at the right (the frame)";
    EXPECT_EQ(Px(100, top + pitch - 2), 0xFFFFFFu) << "and at the bottom";
    EXPECT_NE(Px(100, top - 1), 0xFFFFFFu) << "the separator line";
  }
  // The number of a kind-1 choice, in bold: more ink than the same digit
  // drawn plainly; a plain-kind choice has none there.
  auto ink = [&](int row) {
    int n = 0;
    for (int y = row * pitch; y < (row + 1) * pitch - 1; ++y)
      for (int x = 1; x < 15 + 6; ++x)
        if (Px(x, y) != 0xFFFFFF) ++n;
    return n;
  };
  int boldInk = ink(0);
  EXPECT_EQ(ink(3), 0);
  DrawContext* dc = Window(100, 40);
  TextStyleState plain{};
  DrawStyledText(app_->engine(), dc, 0, 14, u"1", 1, 2, 2, 20, &plain, kColorStaticText, kColorTransparent);
  int plainInk = CountInk();
  EXPECT_GT(plainInk, 0);
  EXPECT_GT(boldInk, plainInk);
}

}  // namespace
