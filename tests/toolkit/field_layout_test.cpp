// Field layout over a state with no window procedure: wrapping, the empty
// line after a final break, centring, the greatest top, fixed fields, style
// carried across a line end, scroll-bar numbers, and the pixels of
// selection, ruled lines and scrolling.
#include <string>

#include "resources/resources.h"
#include "tests/toolkit/toolkit_fixture.h"
#include "toolkit/field_layout.h"

namespace {

using toolkit_test::kLatin;
using toolkit_test::kLatinBold;

class FieldLayoutTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    MakeEngine({kLatin, kLatinBold});
  }
  void TearDown() override {
    FreeFieldStorage(&state_);
    ToolkitTest::TearDown();
  }
  // A field over a window of the given size; the text laid out.
  FieldState& Field(const std::u16string& text, int w, int h, FieldOptions options = {}, bool window = false) {
    if (window) Window(w, h);
    state_ = FieldState{};
    EXPECT_EQ(InitFieldStorage(&state_), 0);
    state_.options = options;
    state_.engine = app_->engine();
    state_.fontSlot = 0;
    state_.fontSize = 14;
    state_.margin = 1;
    state_.buttonWidth = 20;
    state_.draw = context_;
    EXPECT_EQ(StoreFieldText(&state_, reinterpret_cast<const WCHAR*>(text.c_str()), text.size()), 0);
    ResizeField(&state_, ShortRect{0, 0, static_cast<uint16_t>(w), static_cast<uint16_t>(h)}, 0);
    return state_;
  }
  uint16_t LineHeight() { return GetLineHeight(app_->engine(), 0, 14); }
  // Ten short lines, each ending in LF (no final break).
  static std::u16string TenLines() {
    std::u16string t;
    for (int i = 0; i < 10; ++i) t += i ? u"\nline" : u"line";
    return t;
  }
  FieldState state_{};
};

FieldOptions Editable() {
  FieldOptions o{};
  o.editable = 1;
  o.caretActive = 1;
  return o;
}

TEST_F(FieldLayoutTest, FinalLineBreakLaysOutAnEmptyLineForTheCaret) {
  struct Case {
    const char16_t* text;
    uint16_t lines;
    const char* why;
  } cases[] = {
      {u"one\r\ntwo\r\n", 3, "CR LF at the end: an empty third line"},
      {u"one\r\ntwo", 2, "no final break: no empty line"},
      {u"one\ntwo\n", 3, "LF at the end"},
      {u"one\uEAB1", 2, "the paragraph code ends a line too"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FieldState& s = Field(c.text, 200, 200, Editable());
    ASSERT_EQ(s.lineCount, c.lines);
    const FieldLine& last = s.lines[s.lineCount - 1];
    if (c.lines == 3 || c.text[3] == 0xEAB1) {
      EXPECT_EQ(last.start, s.length);
      EXPECT_EQ(last.length, 0);
      EXPECT_EQ(last.height, s.lines[s.lineCount - 2].height) << "keeps the height of the line before";
    }
    FreeFieldStorage(&state_);
  }
}

TEST_F(FieldLayoutTest, CentredSingleLineIndent) {
  FieldOptions o{};
  o.singleLine = 1;
  o.centred = 1;
  FieldState& narrow = Field(u"a very long line that cannot fit in the field at all", 60, 20, o);
  EXPECT_EQ(narrow.singleIndent, 0);
  EXPECT_EQ(narrow.lineCount, 0);
  FreeFieldStorage(&state_);
  FieldState& wide = Field(u"ab", 200, 20, o);
  int w = MeasureText(app_->engine(), 0, 14, reinterpret_cast<const WCHAR*>(u"ab"), 2, nullptr);
  EXPECT_EQ(wide.singleIndent, (wide.textWidth - w) / 2);
}

TEST_F(FieldLayoutTest, GreatestTopOfTenLines) {
  const int h = LineHeight();
  // Five lines fit exactly, or five and a half: the greatest top is 5 both
  // times.
  for (int height : {5 * h, 5 * h + h / 2}) {
    SCOPED_TRACE(height);
    FieldState& s = Field(TenLines(), 300, height);
    ASSERT_EQ(s.lineCount, 10);
    for (uint16_t i = 0; i < 10; ++i) ASSERT_EQ(s.lines[i].height, h);
    EXPECT_EQ(s.greatestTop, 5);
    SetFieldTopLine(&s, 9);
    EXPECT_EQ(s.topLine, 5) << "the top never passes the greatest top";
    FreeFieldStorage(&state_);
  }
}

TEST_F(FieldLayoutTest, FixedFieldStopsWhenFullAndNeverScrolls) {
  const int h = LineHeight();
  FieldOptions o{};
  o.fixed = 1;
  FieldState& s = Field(TenLines(), 300, 3 * h);
  EXPECT_EQ(s.lineCount, 10) << "a scrolling field lays out everything";
  FreeFieldStorage(&state_);
  FieldState& f = Field(TenLines(), 300, 3 * h, o);
  EXPECT_EQ(f.lineCount, 3);
  EXPECT_EQ(ScrollFieldByLine(&f, 0, 0), 0);
  SetFieldTopLine(&f, 2);
  EXPECT_EQ(f.topLine, 0);
  EXPECT_EQ(ScrollFieldToShow(&f, f.length, f.length, 1), 0);
  FieldScrollParams p = GetFieldScrollParams(&f);
  EXPECT_EQ(p.maximum, 0);
}

TEST_F(FieldLayoutTest, BoldCrossingALineEndIsBoldAtTheNextLineStart) {
  FieldState& s = Field(u"plain \uEAB2bold words that wrap onto the next line\uEAB3 tail", 120, 300);
  ASSERT_GE(s.lineCount, 2);
  EXPECT_EQ(s.lines[0].startStyle.bold, 0u);
  EXPECT_NE(s.lines[1].startStyle.bold, 0u);
  // The wrapped lines cover the text without gaps.
  for (uint16_t i = 1; i < s.lineCount; ++i) EXPECT_EQ(s.lines[i].start, s.lines[i - 1].start + s.lines[i - 1].length);
  EXPECT_EQ(s.lines[s.lineCount - 1].start + s.lines[s.lineCount - 1].length, s.length);
}

TEST_F(FieldLayoutTest, ScrollParams) {
  const int h = LineHeight();
  FieldState& s = Field(TenLines(), 300, 4 * h);
  FieldScrollParams p = GetFieldScrollParams(&s);
  EXPECT_EQ(p.position, 0);
  EXPECT_EQ(p.page, 4);
  EXPECT_EQ(p.maximum, 10);
  SetFieldTopLine(&s, 6);
  p = GetFieldScrollParams(&s);
  EXPECT_EQ(p.position, 6);
  EXPECT_EQ(p.maximum, 10);
  FreeFieldStorage(&state_);
  FieldState& all = Field(u"one\ntwo", 300, 4 * h);
  p = GetFieldScrollParams(&all);
  EXPECT_EQ(p.page, 2);
  EXPECT_EQ(p.maximum, 0) << "all lines fit at top 0";
  FreeFieldStorage(&state_);
  FieldState& one = Field(u"one", 300, 4 * h);
  p = GetFieldScrollParams(&one);
  EXPECT_EQ(p.page, 0) << "fewer than 2 lines: all zero";
}

TEST_F(FieldLayoutTest, ScrollToShowBringsALowerLineToTheBottom) {
  const int h = LineHeight();
  FieldState& s = Field(TenLines(), 300, 4 * h);
  uint16_t line8 = s.lines[8].start;
  EXPECT_EQ(ScrollFieldToShow(&s, line8, line8, 0), 1);
  EXPECT_EQ(s.topLine, 5) << "line 8 becomes the last fully visible line";
  EXPECT_EQ(ScrollFieldToShow(&s, s.lines[2].start, s.lines[2].start, 0), 1);
  EXPECT_EQ(s.topLine, 2) << "a line above the top becomes the top";
}

TEST_F(FieldLayoutTest, SelectionIsHighlightedInTheFieldKindsColour) {
  FieldOptions readOnly{};
  FieldOptions unfocused = Editable();
  unfocused.caretActive = 0;
  struct Case {
    FieldOptions options;
    ColorWord selected;  // expected behind the selected text
    ColorWord plain;
    const char* why;
  } cases[] = {
      {readOnly, kFieldReadOnlySelected, kFieldReadOnlyColor, "read-only highlight"},
      {Editable(), kFieldEditableSelected, kFieldEditableColor, "editable highlight"},
      {unfocused, kFieldEditableColor, kFieldEditableColor, "an editable field without its caret hides it"},
  };
  ASSERT_NE(ResolveColorWord(kFieldEditableSelected, kRoleBackground),
            ResolveColorWord(kFieldEditableColor, kRoleBackground));
  ASSERT_NE(ResolveColorWord(kFieldReadOnlySelected, kRoleBackground),
            ResolveColorWord(kFieldReadOnlyColor, kRoleBackground));
  Window(300, 100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FieldState& s = Field(u"ab\ncd", 300, 100, c.options);
    s.selStart = 0;
    s.selEnd = 4;
    RedrawField(&s);
    uint32_t selected = ResolveColorWord(c.selected, kRoleBackground);
    uint32_t plain = ResolveColorWord(c.plain, kRoleBackground);
    TextStyleState none{};
    int ab = MeasureText(app_->engine(), 0, 14, reinterpret_cast<const WCHAR*>(u"ab"), 2, &none);
    int spaces = MeasureText(app_->engine(), 0, 14, reinterpret_cast<const WCHAR*>(u"  "), 2, &none);
    int y = s.lines[0].height / 2;
    int afterText = 1 + ab;
    // A selected line break shows as two highlighted spaces after the text.
    EXPECT_EQ(Pixel(afterText + spaces / 2, y), selected) << "the highlighted block after the line";
    EXPECT_EQ(Pixel(afterText + spaces + 4, y), plain) << "nothing highlighted past the two spaces";
    FreeFieldStorage(&s);
    s = FieldState{};
  }
}

TEST_F(FieldLayoutTest, RuledLinesContinueBelowTheTextInAnEditableField) {
  const int h = LineHeight();
  FieldOptions o = Editable();
  o.ruled = 1;
  FieldState& s = Field(u"one", 300, 4 * h, o, true);
  RedrawField(&s);
  uint32_t back = ResolveColorWord(kFieldEditableColor, kRoleBackground);
  // A rule on the bottom row of every line box, the empty ones included.
  for (int line = 0; line < 4; ++line) {
    SCOPED_TRACE(line);
    int row = (line + 1) * h - 1;
    int ink = 0;
    for (int x = 0; x < 300; ++x) ink += Pixel(x, row) != back;
    EXPECT_GT(ink, 50) << "a dashed rule";
    EXPECT_LT(ink, 300) << "dashed, not solid";
  }
}

TEST_F(FieldLayoutTest, ScrollRedrawEqualsAFullRedrawOfTheNewTop) {
  const int h = LineHeight();
  std::u16string text;
  for (int i = 0; i < 12; ++i) text += u"line " + std::u16string(1, static_cast<char16_t>('A' + i)) + u"\n";
  for (int move : {1, 2, -1, 6}) {
    SCOPED_TRACE(move);
    FieldState& s = Field(text, 200, 4 * h + h / 2, FieldOptions{}, true);
    SetFieldTopLine(&s, 3);
    RedrawField(&s);
    if (move > 0) ScrollFieldBy(&s, static_cast<uint16_t>(move), 0);
    else
      ScrollFieldBy(&s, static_cast<uint16_t>(-move), 1);
    std::vector<uint32_t> scrolled = Pixels();
    RedrawField(&s);
    EXPECT_EQ(Pixels(), scrolled);
    FreeFieldStorage(&state_);
    FreeDrawContext(context_);
    context_ = nullptr;
  }
}

TEST_F(FieldLayoutTest, PagingMovesTheFirstLaidOutUnit) {
  const int h = LineHeight();
  // Ten lines "l0".."l9" of three units each (the last without its LF):
  // line n starts at 3n.
  std::u16string text;
  for (int i = 0; i < 10; ++i) text += u"l" + std::u16string(1, static_cast<char16_t>('0' + i)) + (i < 9 ? u"\n" : u"");
  FieldState& s = Field(text, 200, 4 * h);
  ASSERT_EQ(FullyVisibleLines(&s), 4);
  struct Step {
    uint32_t flags;
    uint16_t first;
    int moved;
    const char* why;
  } steps[] = {
      {0, 9, 1, "a page forward keeps the last fully visible line (3) as the first"},
      {2, 12, 1, "one line forward"},
      {1, 3, 1, "a page back: the current first line ends the previous page"},
      {1 | 2, 0, 1, "one line back"},
      {1, 0, 0, "nothing before the first unit"},
      {8, 9, 1, "bit 8 has no effect: a page forward"},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.why);
    EXPECT_EQ(PageField(&s, st.flags), st.moved);
    EXPECT_EQ(s.firstUnit, st.first);
  }
  // Re-align: from the middle of a line back to its start, and no move when
  // already at a start.
  s.firstUnit = 4;
  LayoutField(&s);
  EXPECT_EQ(PageField(&s, 4), 1);
  EXPECT_EQ(s.firstUnit, 3);
  EXPECT_EQ(PageField(&s, 4), 0);
  EXPECT_EQ(FindFieldPageStart(&s, 10, 1), 9);
}

TEST_F(FieldLayoutTest, DropDownButtonAtTheRightOrTheLeftEnd) {
  RegisterSorviResources();
  for (uint8_t left : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(left));
    FieldOptions o = Editable();
    o.singleLine = 1;
    o.buttonRegion = 1;
    o.buttonLeft = left;
    FieldState& s = Field(u"query", 200, 30, o, true);
    EXPECT_EQ(s.textRect.width, 180);
    EXPECT_EQ(s.textRect.x, left ? 20 : 0);
    RedrawField(&s);
    uint32_t text = ResolveColorWord(kFieldEditableColor, kRoleBackground);
    // The button's image puts ink of its own inside the button's columns.
    int buttonX = left ? 0 : 180;
    int ink = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = buttonX; x < buttonX + 20; ++x) ink += Pixel(x, y) != text;
    EXPECT_GT(ink, 20) << "the button image is drawn in its region";
    int textX = left ? 190 : 10;
    EXPECT_EQ(Pixel(textX, 28), text) << "the text area keeps its background";
    FreeFieldStorage(&state_);
    FreeDrawContext(context_);
    context_ = nullptr;
  }
}

TEST_F(FieldLayoutTest, WholeTextIsCutAtTheBoundNeverInsideAPairOrPayload) {
  struct Case {
    size_t codeAt;  // where a two-unit item starts near the bound
    char16_t first, second, third;
    uint16_t kept;
    const char* why;
  } cases[] = {
      {0, u'a', u'a', u'a', kFieldMaxUnits, "plain text keeps 32,766 units"},
      {kFieldMaxUnits - 1, 0xD83D, 0xDE00, u'a', kFieldMaxUnits - 1, "a surrogate pair across the cut"},
      {kFieldMaxUnits - 1, 0xEAC5, 0x0001, 0x0010, kFieldMaxUnits - 1, "size code: the cut falls after the code"},
      {kFieldMaxUnits - 2, 0xEAC5, 0x0001, 0x0010, kFieldMaxUnits - 2, "size code: the cut falls in the payload"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::u16string text(40000, u'a');
    if (c.codeAt) {
      text[c.codeAt] = c.first;
      text[c.codeAt + 1] = c.second;
      text[c.codeAt + 2] = c.third;
    }
    FieldState s{};
    ASSERT_EQ(InitFieldStorage(&s), 0);
    ASSERT_EQ(StoreFieldText(&s, reinterpret_cast<const WCHAR*>(text.c_str()), text.size()), 0);
    EXPECT_EQ(s.length, c.kept);
    EXPECT_EQ(s.text[s.length], 0);
    FreeFieldStorage(&s);
  }
}

}  // namespace

TEST_F(FieldLayoutTest, PlacingTheCaretStepsBackAPixelAndScrollsAtTheEdges) {
  const int h = LineHeight();
  FieldState& s = Field(TenLines(), 200, 4 * h, Editable());
  ASSERT_EQ(s.visibleCount, 4);
  auto width = [&](int units) { return MeasureText(s.engine, 0, 14, s.text, units, nullptr); };
  const int left = s.textRect.x + s.margin;
  struct Case {
    uint16_t top;  // top line before placing
    uint16_t column;
    int line;
    uint16_t wantTop, wantLine, wantColumn;
    int wantWidth;  // units measured before the caret
    const char* why;
  } cases[] = {
      {0, 0, 0, 0, 0, 0, 0, "column 0: no pixel taken off"},
      {0, 2, 1, 0, 1, 2, 2, "inside a line: one pixel left of the measured width"},
      {0, 5, 0, 0, 0, 4, 4, "after the line's LF: back before it"},
      {2, 1, -1, 1, 0, 1, 1, "above the top: one line up, caret on line 0"},
      {0, 9, 4, 1, 3, 4, 4, "past the visible lines: one line down, column cut and moved off the LF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SetFieldTopLine(&s, c.top);
    int w = PlaceFieldCaret(&s, c.column, c.line);
    EXPECT_EQ(s.topLine, c.wantTop);
    EXPECT_EQ(s.caretLine, c.wantLine);
    EXPECT_EQ(s.caretColumn, c.wantColumn);
    EXPECT_EQ(w, width(c.wantWidth));
    EXPECT_EQ(s.caretX, left + w - (w ? 1 : 0));
    EXPECT_EQ(s.caretY, s.textRect.y + c.wantLine * h);
    EXPECT_EQ(s.caretHeight, h);
  }
}

TEST_F(FieldLayoutTest, PagingKeepsTheCaretOffsetWhileItsLineStaysOnScreen) {
  const int h = LineHeight();
  // Line n of "l0".."l9" starts at 3n.
  std::u16string text;
  for (int i = 0; i < 10; ++i) text += u"l" + std::u16string(1, static_cast<char16_t>('0' + i)) + (i < 9 ? u"\n" : u"");
  FieldState& s = Field(text, 200, 4 * h);
  SetFieldCaretOffset(&s, 10);  // line 3, column 1
  ASSERT_EQ(s.caretLine, 3);
  ASSERT_TRUE(s.options.caretShown);
  ASSERT_EQ(PageField(&s, 0), 1);  // the page now starts at line 3
  EXPECT_EQ(GetFieldCaretOffset(&s), 10);
  EXPECT_EQ(s.caretLine, 0);
  EXPECT_EQ(s.caretColumn, 1);
  EXPECT_TRUE(s.options.caretShown);
  ASSERT_EQ(PageField(&s, 0), 1);  // line 3 leaves the screen
  EXPECT_FALSE(s.options.caretShown);
}
