// Pen gestures on the field through real pen input under the virtual clock:
// word selection by double tap and drag, a tap inside a read-only field's
// kept selection, link taps and holds (whose target block must not leak),
// and the drop-down button.
#include <string>
#include <vector>

#include "platform/caret.h"
#include "platform/controls.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_field.h"
#include "toolkit/field_pen.h"

namespace {

constexpr int kId = 64;

struct Seen {
  UINT code;
  uint32_t start, end, flags;
  std::u16string linkText, linkTarget;
  int32_t linkId;
  uint32_t value;
};

class FieldPenTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    // Keep the whole payload (the shared hook keeps only the list's part).
    wintest::TheHook() = [this](HWND h, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
      if (h != parent_ || msg != WM_NOTIFY) return std::nullopt;
      const auto* n = reinterpret_cast<const FieldNotify*>(lParam);
      Seen s{n->header.code, 0, 0, 0, u"", u"", 0, 0};
      if (n->header.code == kFieldPen) {
        s.start = n->payload.pen.start;
        s.end = n->payload.pen.end;
        s.flags = n->payload.pen.flags;
      } else if (n->header.code == kFieldLink) {
        s.linkText = reinterpret_cast<const char16_t*>(n->payload.link.text);
        if (n->payload.link.target) s.linkTarget = reinterpret_cast<const char16_t*>(n->payload.link.target);
        s.linkId = n->payload.link.id;
      } else if (n->header.code == kFieldButton) {
        s.value = n->payload.value;
      }
      seen_.push_back(s);
      return 0;
    };
  }
  HWND MakeField(const std::u16string& text, bool editable, bool button = false) {
    FieldCreateParams p{};
    p.fontSize = 14;
    p.editable = editable;
    p.singleLine = button;
    p.buttonRegion = button;
    p.value = 77;
    field_ = MakeControl(kFieldClassName, kId, 10, 10, 300, 100, &p);
    UpdateWindow(field_);
    SendMessageW(field_, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text.c_str()));
    seen_.clear();
    return field_;
  }
  // The x inside the unit at `offset` on the first line: its left or right
  // quarter.
  int XOf(uint16_t offset, bool right) {
    FieldState* s = GetFieldState(field_);
    TextStyleState style{};
    int before = MeasureText(app_->engine(), 0, 14, s->text, offset, &style);
    TextStyleState style2{};
    int after = MeasureText(app_->engine(), 0, 14, s->text, static_cast<uint16_t>(offset + 1), &style2);
    int w = after - before;
    return s->textRect.x + s->margin + before + (right ? w * 3 / 4 : w / 4);
  }
  int Y() { return 5; }
  void DoubleTap(int x, int y) {
    Tap(field_, x, y);
    AutoAdvanceClock(100);
    Down(field_, x, y);
  }
  uint32_t Sel() { return static_cast<uint32_t>(SendMessageW(field_, kFieldGetSelection, 0, 0)); }
  HWND field_ = nullptr;
  std::vector<Seen> seen_;
};

TEST_F(FieldPenTest, DoubleTapOnTheRightHalfOfALastLetterSelectsNothing) {
  MakeField(u"a word, here", false);
  DoubleTap(XOf(5, true), Y());  // right half of "d"
  Up(field_, XOf(5, true), Y());
  EXPECT_EQ(Sel(), 0u) << "the offset lies on the comma";
  AutoAdvanceClock(1000);
  DoubleTap(XOf(3, false), Y());
  Up(field_, XOf(3, false), Y());
  EXPECT_EQ(Sel(), (2u << 16) | 6) << "the word around the offset";
  ASSERT_FALSE(seen_.empty());
  EXPECT_EQ(seen_.back().code, kFieldPen);
  EXPECT_EQ(seen_.back().flags & kFieldPenDoubleTap, kFieldPenDoubleTap);
}

TEST_F(FieldPenTest, DoubleTapDraggedExtendsWordByWord) {
  MakeField(u"one two three four", false);
  DoubleTap(XOf(5, false), Y());     // inside "two"
  Move(field_, XOf(9, false), Y());  // inside "three"
  EXPECT_EQ(Sel(), (4u << 16) | 13);
  Up(field_, XOf(9, false), Y());
  ASSERT_FALSE(seen_.empty());
  EXPECT_EQ(seen_.back().flags & (kFieldPenDragged | kFieldPenDoubleTap), kFieldPenDragged | kFieldPenDoubleTap);
}

TEST_F(FieldPenTest, TapInsideAReadOnlyKeptSelectionKeepsIt) {
  MakeField(u"one two three", false);
  SendMessageW(field_, EM_SETSEL, 4, 7);
  seen_.clear();
  Tap(field_, XOf(5, false), Y());
  EXPECT_EQ(Sel(), (4u << 16) | 7);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].flags & kFieldPenInSelection, kFieldPenInSelection);
  EXPECT_EQ(seen_[0].start, 4u);
  EXPECT_EQ(seen_[0].end, 7u);
}

TEST_F(FieldPenTest, LinkTapReportsTheLinkThenThePen) {
  MakeField(u"see \uEAB8link\uEABB end", false);
  Tap(field_, XOf(6, false), Y());
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_EQ(seen_[0].code, kFieldLink);
  EXPECT_NE(seen_[0].linkText.find(u"link"), std::u16string::npos);
  EXPECT_EQ(seen_[1].code, kFieldPen);
}

TEST_F(FieldPenTest, PressedLinkIsInvertedAndReleasingOffItTapsNoLink) {
  MakeField(u"see \uEAB8link\uEABB end", false);
  std::vector<uint32_t> before = ClientPixels(field_);
  Down(field_, XOf(6, false), Y());
  EXPECT_NE(ClientPixels(field_), before) << "the link is inverted while pressed";
  Move(field_, 250, 60);
  EXPECT_EQ(ClientPixels(field_), before) << "and restored when the pen leaves it";
  Up(field_, 250, 60);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].code, kFieldPen) << "no link notification, only the pen's";
}

TEST_F(FieldPenTest, HeldLinkIsSelectedAndReportedOnceAsAHold) {
  MakeField(u"see \uEAB8link\uEABB end", false);
  Down(field_, XOf(6, true), Y());
  AutoAdvanceClock(501);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].code, kFieldPen);
  EXPECT_EQ(seen_[0].flags, kFieldPenHeld | kFieldPenRightHalf);
  EXPECT_NE(Sel(), 0u) << "the link is selected";
  Move(field_, XOf(1, false), Y());
  Up(field_, XOf(1, false), Y());
  EXPECT_EQ(seen_.size(), 1u) << "the later move and up are ignored";
}

TEST_F(FieldPenTest, ButtonTapGivesTheValueAndDraggingOffGivesNothing) {
  MakeField(u"query", true, true);
  FieldState* s = GetFieldState(field_);
  int bx = s->clientRect.width - s->buttonWidth / 2;
  Tap(field_, bx, 5);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].code, kFieldButton);
  EXPECT_EQ(seen_[0].value, 77u);
  seen_.clear();
  Down(field_, bx, 5);
  Move(field_, 10, 5);
  Up(field_, 10, 5);
  EXPECT_TRUE(seen_.empty());
}

TEST_F(FieldPenTest, DestroyedMidLinkGestureLeaksNothing) {
  MakeField(u"see \uEAD1target\uEAD0link\uEAD2 end", false);
  Down(field_, XOf(13, false), Y());
  ASSERT_NE(GetFieldState(field_)->pen.linkTarget, nullptr) << "the press took the hidden target";
  DestroyWindow(field_);  // LeakSanitizer checks the target block
}

TEST_F(FieldPenTest, LineOfAnOffsetAndTheBoxATapOwns) {
  // Three lines: "ab\n" 0..2, "cd\n" 3..5, "ef" 6..7.
  MakeField(u"ab\ncd\nef", false);
  FieldState* s = GetFieldState(field_);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->visibleCount, 3);
  struct Case {
    uint16_t offset;
    uint16_t line, column;
    const char* why;
  } cases[] = {
      {0, 0, 0, "the first unit"},
      {2, 0, 2, "the line's own break stays on it"},
      {3, 1, 0, "the next line's start"},
      {8, 2, 2, "the end of the text: the last visible line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    uint16_t column = 99, line = 99;
    FieldLineOf(s, c.offset, &column, &line);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(column, c.column);
    EXPECT_EQ(FieldOffsetOf(s, column, line), c.offset);
  }
  // The box runs from the middle of the unit before the column to the middle
  // of the unit at it, on the line's row.
  auto advance = [&](char16_t u) {
    TextStyleState none{};
    WCHAR unit = u;
    return MeasureText(s->engine, s->fontSlot, s->fontSize, &unit, 1, &none);
  };
  int left = s->textRect.x + s->margin;
  ShortRect box = GetFieldCharRect(s, 1, 1);  // between "c" and "d"
  EXPECT_EQ(box.x, left + advance(u'c') - (advance(u'c') + 1) / 2);
  EXPECT_EQ(box.width, (advance(u'c') + 1) / 2 + (advance(u'd') + 1) / 2);
  EXPECT_EQ(box.y, s->textRect.y + s->lines[0].height);
  EXPECT_EQ(box.height, s->lines[1].height);
  ShortRect first = GetFieldCharRect(s, 0, 0);
  EXPECT_EQ(first.x, left) << "nothing before the first column";
  EXPECT_EQ(first.width, (advance(u'a') + 1) / 2);
}

TEST_F(FieldPenTest, OnlyAnEditableFieldActivatesItsCaret) {
  struct Case {
    bool editable;
    bool active;
  } cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.editable ? "editable" : "read-only");
    MakeField(u"ab", c.editable);
    FieldState* s = GetFieldState(field_);
    ASSERT_NE(s, nullptr);
    ASSERT_FALSE(s->options.caretActive);
    SendMessageW(field_, kFieldActivateCaret, 0, 0);
    EXPECT_EQ(static_cast<bool>(s->options.caretActive), c.active);
    HWND owner = nullptr;
    RECT r{};
    BOOL shown = FALSE;
    bool has = GetCaretStateForTest(&owner, &r, &shown) && owner == field_;
    EXPECT_EQ(has && shown, c.active) << "the platform caret follows";
    DeactivateFieldCaret(s);
    EXPECT_FALSE(s->options.caretActive);
    EXPECT_FALSE(GetCaretStateForTest(&owner, &r, &shown) && owner == field_ && shown);
    DestroyWindow(field_);
  }
}

}  // namespace
