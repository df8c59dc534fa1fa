// Arrow keys in the field: caret moves over line ends, CR LF, the paragraph
// code and the scroll edges in an editable field; pages and the edge report
// 0x8307 in a read-only one; and the dialog codes.
#include <string>
#include <vector>

#include "platform/controls.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_field.h"

namespace {

constexpr int kId = 63;

class FieldKeysTest : public ControlTest {
 protected:
  HWND MakeField(bool editable, int lines) {
    FieldCreateParams p{};
    p.fontSize = 14;
    p.editable = editable;
    int h = GetLineHeight(app_->engine(), 0, 14);
    field_ = MakeControl(kFieldClassName, kId, 10, 10, 300, lines * h, &p);
    UpdateWindow(field_);
    if (editable) SetFocus(field_);
    return field_;
  }
  void SetText(const std::u16string& text) {
    SendMessageW(field_, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text.c_str()));
    notes_.clear();
  }
  LRESULT Key(WPARAM key) { return SendMessageW(field_, WM_KEYDOWN, key, 0); }
  uint32_t Caret() { return static_cast<uint32_t>(SendMessageW(field_, EM_GETSEL, 0, 0)) & 0xFFFF; }
  HWND field_ = nullptr;
};

TEST_F(FieldKeysTest, EditableCaretMovesOverLineEnds) {
  struct Case {
    const char* why;
    const char16_t* text;
    uint16_t from;
    std::vector<WPARAM> keys;
    uint16_t caret;
    uint16_t top;
  } cases[] = {
      {"right stops before CR LF, then the next line", u"ab\r\ncd", 1, {VK_RIGHT, VK_RIGHT}, 4, 0},
      {"left at a line start goes before the CR LF above, never between", u"ab\r\ncd", 4, {VK_LEFT}, 2, 0},
      {"down keeps the column", u"abc\ndef", 2, {VK_DOWN}, 6, 0},
      {"down onto the empty line after a final break", u"ab\r\n", 1, {VK_DOWN}, 4, 0},
      {"up from the first line does nothing", u"ab\ncd", 1, {VK_UP}, 1, 0},
      {"the paragraph code ends a line like CR", u"ab\uEAB1cd", 1, {VK_RIGHT, VK_RIGHT}, 3, 0},
      {"down at the bottom edge scrolls one line", u"a\nb\nc\nd\ne", 0, {VK_DOWN, VK_DOWN, VK_DOWN}, 6, 1},
      {"up at the top edge scrolls back", u"a\nb\nc\nd\ne", 0, {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP, VK_UP, VK_UP}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeField(true, 3);
    SetText(c.text);
    SendMessageW(field_, kFieldSetCaret, c.from, 0);
    SendMessageW(field_, kFieldShowRange, 0, 0);
    for (WPARAM k : c.keys) Key(k);
    EXPECT_EQ(Caret(), c.caret);
    EXPECT_EQ(GetFieldState(field_)->topLine, c.top);
    DestroyWindow(field_);
  }
}

TEST_F(FieldKeysTest, PuttingTheCaretBelowTheViewScrollsItIn) {
  MakeField(true, 3);
  SetText(u"a\nb\nc\nd\ne\nf");
  SendMessageW(field_, kFieldSetCaret, 0, 0);
  FieldState* s = GetFieldState(field_);
  ASSERT_EQ(s->topLine, 0);
  SendMessageW(field_, kFieldSetCaret, 8, 0);  // on "e", line 4
  EXPECT_EQ(s->topLine, 2) << "line 4 becomes the last fully visible line";
  EXPECT_EQ(SendMessageW(field_, kFieldGetCaret, 0, 0), 8);
  SendMessageW(field_, kFieldSetCaret, 2, 0);  // on "b", above the top
  EXPECT_EQ(s->topLine, 1);
}

TEST_F(FieldKeysTest, ReadOnlyPagesAndReportsTheEdge) {
  MakeField(false, 3);
  std::u16string text;
  for (int i = 0; i < 8; ++i) text += i ? u"\nline" : u"line";
  SetText(text);
  FieldState* s = GetFieldState(field_);
  ASSERT_EQ(s->greatestTop, 5);
  EXPECT_EQ(Key(VK_DOWN), 0);
  EXPECT_EQ(s->topLine, 2) << "a page of three lines less one";
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(s->topLine, 5);
  EXPECT_TRUE(notes_.empty()) << "no report without user-value bit 0";
  Key(VK_DOWN);
  EXPECT_TRUE(notes_.empty());
  SendMessageW(field_, kFieldSetUserValue, 1, 0);
  Key(VK_DOWN);
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].header.code, kFieldArrowAtEdge);
  EXPECT_EQ(notes_[0].payload.index, 0u);
  Key(VK_UP);
  EXPECT_EQ(s->topLine, 3);
}

TEST_F(FieldKeysTest, DialogCodes) {
  MSG down{};
  down.message = WM_KEYDOWN;
  down.wParam = VK_DOWN;
  MSG up = down;
  up.wParam = VK_UP;
  auto code = [&](const MSG* m) { return SendMessageW(field_, WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(m)); };
  MakeField(false, 3);
  SetText(u"a\nb\nc\nd\ne");
  EXPECT_EQ(code(nullptr), 1) << "read-only: arrow keys";
  EXPECT_EQ(code(&down), 1) << "can scroll down";
  EXPECT_EQ(code(&up), 0) << "cannot scroll up, user value 0";
  SendMessageW(field_, kFieldSetUserValue, 1, 0);
  EXPECT_EQ(code(&up), 1) << "user value bit 0";
  DestroyWindow(field_);
  FieldCreateParams single{};
  single.fontSize = 14;
  single.editable = 1;
  single.singleLine = 1;
  field_ = MakeControl(kFieldClassName, kId, 10, 10, 300, 30, &single);
  EXPECT_EQ(code(nullptr), 4) << "editable: all keys";
  EXPECT_EQ(code(&down), 0) << "single-line: up and down are not its";
}

}  // namespace
