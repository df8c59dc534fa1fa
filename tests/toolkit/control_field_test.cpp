// The field's window procedure: text in and out with its conventions and
// bounds, the selection queries, the scroll bar and WM_VSCROLL, focus and
// the input method, and the notifications its parent receives.
#include <string>

#include "platform/caret.h"
#include "platform/controls.h"
#include "platform/gdi.h"
#include "platform/ime.h"
#include "platform/paint.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_field.h"

namespace {

constexpr int kId = 61;

class FieldTest : public ControlTest {
 protected:
  HWND MakeField(FieldCreateParams* p, int w = 200, int h = 100) {
    field_ = MakeControl(kFieldClassName, kId, 10, 10, w, h, p);
    UpdateWindow(field_);
    return field_;
  }
  void SetText(const std::u16string& text) {
    SendMessageW(field_, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::u16string Text() {
    std::u16string out(40000, u'\0');
    EXPECT_EQ(SendMessageW(field_, WM_GETTEXT, out.size(), reinterpret_cast<LPARAM>(out.data())), 1);
    out.resize(std::char_traits<char16_t>::length(out.c_str()));
    return out;
  }
  // Codes and first payload words of the field's notifications.
  std::vector<std::pair<UINT, uint32_t>> Notes() { return ListNotes(); }
  uint16_t LineHeight() { return GetLineHeight(app_->engine(), 0, 14); }
  HWND field_ = nullptr;
};

TEST_F(FieldTest, SetTextReportsAChangeAndGetTextReturnsOne) {
  FieldCreateParams p{};
  p.fontSize = 14;
  p.editable = 1;
  MakeField(&p);
  SetText(u"hello world");
  EXPECT_EQ(Text(), u"hello world");
  EXPECT_EQ(SendMessageW(field_, WM_GETTEXTLENGTH, 0, 0), 11);
  ASSERT_EQ(Notes().size(), 1u);
  EXPECT_EQ(Notes()[0], (std::pair<UINT, uint32_t>{kFieldChanged, 0}));
  // A buffer of 0 units is not written at all; a short one is cut and
  // terminated.
  WCHAR buffer[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(SendMessageW(field_, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 1);
  EXPECT_EQ(buffer[0], u'x');
  SendMessageW(field_, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer));
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer)), u"he");
  EXPECT_EQ(buffer[3], u'x');
}

TEST_F(FieldTest, LongTextIsCutToTheBound) {
  MakeField(nullptr);
  std::u16string text(40000, u'a');
  SetText(text);
  EXPECT_EQ(SendMessageW(field_, WM_GETTEXTLENGTH, 0, 0), kFieldMaxUnits);
}

TEST_F(FieldTest, CopyRangeStaysInsideTheText) {
  MakeField(nullptr);
  SetText(u"abcdef");
  struct Case {
    uint16_t start, end;
    const char16_t* copied;
    const char* why;
  } cases[] = {
      {1, 4, u"bcd", "a plain range"},
      {4, 1, u"", "end before start: nothing"},
      {3, 3, u"", "an empty range"},
      {4, 60000, u"ef", "an end past the length is cut to it"},
      {60000, 60001, u"", "both past the length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::u16string buffer(16, u'x');
    SendMessageW(field_, kFieldCopyRange, static_cast<WPARAM>(uint32_t{c.start} << 16 | c.end),
                 reinterpret_cast<LPARAM>(buffer.data()));
    EXPECT_EQ(std::u16string(buffer.c_str()), c.copied);
  }
}

TEST_F(FieldTest, SelectionQueries) {
  FieldCreateParams p{};
  p.fontSize = 14;
  p.editable = 1;
  MakeField(&p);
  SetText(u"one two three");
  SendMessageW(field_, kFieldSetCaret, 5, 0);
  EXPECT_EQ(SendMessageW(field_, kFieldGetSelection, 0, 0), 0) << "no selection";
  uint32_t start = 0, end = 0;
  EXPECT_EQ(SendMessageW(field_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)),
            (5 << 16) | 5);
  EXPECT_EQ(start, 5u);
  EXPECT_EQ(end, 5u);
  SendMessageW(field_, EM_SETSEL, 4, 7);
  EXPECT_EQ(SendMessageW(field_, kFieldGetSelection, 0, 0), (4 << 16) | 7);
  EXPECT_EQ(SendMessageW(field_, EM_GETSEL, 0, 0), (4 << 16) | 7);
}

TEST_F(FieldTest, ScrollBarAppearsWithLongTextAndVScrollClamps) {
  const int h = LineHeight();
  MakeField(nullptr, 200, 4 * h);
  std::u16string text;
  for (int i = 0; i < 10; ++i) text += i ? u"\nline" : u"line";
  SetText(text);
  FieldState* s = GetFieldState(field_);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->lineCount, 10);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  GetScrollInfo(field_, SB_VERT, &info);
  EXPECT_EQ(info.nMax, 9);
  EXPECT_EQ(info.nPage, 4u);
  RECT client{};
  GetClientRect(field_, &client);
  EXPECT_LT(client.right, 200) << "the bar took its width from the client area";
  EXPECT_EQ(s->clientRect.width, client.right) << "the WM_SIZE that followed laid the field out again";
  struct Step {
    WORD code;
    uint16_t top;
  } steps[] = {
      {SB_LINEDOWN, 1}, {SB_PAGEDOWN, 5}, {SB_PAGEDOWN, 6}, {SB_LINEDOWN, 6},
      {SB_PAGEUP, 2},   {SB_TOP, 0},      {SB_LINEUP, 0},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.code);
    SendMessageW(field_, WM_VSCROLL, st.code, 0);
    EXPECT_EQ(s->topLine, st.top) << "clamped to maximum + 1 - page";
  }
}

TEST_F(FieldTest, FocusOpensAndClosesTheInputMethodInOrder) {
  FieldCreateParams p{};
  p.fontSize = 14;
  p.editable = 1;
  MakeField(&p);
  // Another field answers WM_IME_REQUEST 0x1000 with 1 (it takes
  // input-method text); a static answers 0.
  for (const WCHAR* gainingClass : {kFieldClassName, u"STATIC"}) {
    bool answer = gainingClass == kFieldClassName;
    SCOPED_TRACE(answer);
    HWND other = MakeControl(gainingClass, 5, 0, 300, 50, 20, nullptr);
    ClearImeCalls();
    SetFocus(field_);
    SetFocus(other);
    std::vector<std::pair<std::string, LONG_PTR>> calls;
    for (const ImeCall& c : GetImeCalls())
      if (c.hwnd == field_ && c.name != "ImmGetContext" && c.name != "ImmReleaseContext")
        calls.push_back({c.name, c.value});
    std::vector<std::pair<std::string, LONG_PTR>> expected = {
        {"ImmSetOpenStatus", 1}, {"ImmEscapeW", 0x800}, {"ImmSetOpenStatus", 0}};
    if (answer) expected.insert(expected.begin() + 2, {"ImmEscapeW", 0x804});
    EXPECT_EQ(calls, expected);
    DestroyWindow(other);
  }
}

TEST_F(FieldTest, FocusActivatesTheCaretOfAnEditableFieldOnly) {
  struct Case {
    uint8_t editable;
    bool active;
    const char* why;
  } cases[] = {
      {1, true, "an editable field shows its caret once focused"},
      {0, false, "a read-only field has no caret, focused or not"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FieldCreateParams p{};
    p.fontSize = 14;
    p.editable = c.editable;
    MakeField(&p);
    SetText(u"ab");
    FieldState* s = GetFieldState(field_);
    ASSERT_NE(s, nullptr);
    SetFocus(field_);
    ASSERT_EQ(GetFocus(), field_);
    EXPECT_EQ(static_cast<bool>(s->options.caretActive), c.active);
    HWND owner = nullptr;
    BOOL shown = FALSE;
    EXPECT_EQ(GetCaretStateForTest(&owner, nullptr, &shown) && owner == field_ && shown, c.active);
    SetFocus(parent_);
    EXPECT_FALSE(s->options.caretActive) << "focus loss deactivates it";
    DestroyWindow(field_);
  }
}

TEST_F(FieldTest, OptionMessagesApplyTheBlock) {
  FieldCreateParams p{};
  p.fontSize = 14;
  MakeField(&p, 200, 60);
  FieldState* s = GetFieldState(field_);
  SendMessageW(field_, kFieldSetButton, 1, 0);
  EXPECT_EQ(s->options.buttonRegion, 0) << "dropped on a multi-line field";
  EXPECT_EQ(s->textRect.width, 200);
  SendMessageW(field_, kFieldSetEditable, 1, 0);
  EXPECT_EQ(SendMessageW(field_, kFieldIsEditable, 0, 0), 1);
  DestroyWindow(field_);
  p.singleLine = 1;
  MakeField(&p, 200, 30);
  s = GetFieldState(field_);
  SendMessageW(field_, kFieldSetButton, 1, 1);
  EXPECT_EQ(s->options.buttonRegion, 1);
  EXPECT_EQ(s->textRect.x, s->buttonWidth) << "a button on the left moves the text right";
  SendMessageW(field_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"ab"));
  SendMessageW(field_, kFieldSetCentred, 1, 0);
  EXPECT_GT(s->singleIndent, 0);
}

TEST_F(FieldTest, LineUpAndDownFromTheSelectionStart) {
  MakeField(nullptr, 200, 100);
  SetText(u"abcd\nxy\nlonger");
  struct Case {
    uint16_t start;
    WPARAM up;
    LRESULT want;
    const char* why;
  } cases[] = {
      {2, 0, 7, "down keeps the column, cut to the shorter line"},
      {6, 0, 9, "down from xy"},
      {6, 1, 1, "up from xy"},
      {1, 1, -1, "the top edge"},
      {10, 0, -1, "the bottom edge"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SendMessageW(field_, EM_SETSEL, c.start, c.start);
    EXPECT_EQ(SendMessageW(field_, kFieldLineUpDown, c.up, 0), c.want);
  }
}

TEST_F(FieldTest, SetTextAtKeepsTheTextBeforeTheFirstUnitOutOfTheLayout) {
  MakeField(nullptr, 200, 100);
  const std::u16string text = u"hidden\nshown";
  SendMessageW(field_, kFieldSetTextAt, 7, reinterpret_cast<LPARAM>(text.c_str()));
  FieldState* s = GetFieldState(field_);
  EXPECT_EQ(s->firstUnit, 7);
  ASSERT_EQ(s->lineCount, 1);
  EXPECT_EQ(s->lines[0].start, 7);
  EXPECT_EQ(SendMessageW(field_, kFieldTopOffset, 0, 0), 7);
  EXPECT_EQ(Text(), text) << "the whole text is kept";
  ASSERT_EQ(Notes().size(), 1u);
  EXPECT_EQ(Notes()[0].first, kFieldChanged);
}

TEST_F(FieldTest, RecreateBuildsANewStateFromTheRecord) {
  MakeField(nullptr, 200, 100);
  SetText(u"old");
  FieldCreateParams p{};
  p.fontSize = 20;
  p.editable = 1;
  p.singleLine = 1;
  EXPECT_EQ(SendMessageW(field_, kFieldRecreate, 0, 0), 1);
  EXPECT_EQ(GetFieldState(field_)->options.editable, 0) << "without a record nothing changes";
  SendMessageW(field_, kFieldRecreate, 0, reinterpret_cast<LPARAM>(&p));
  FieldState* s = GetFieldState(field_);
  EXPECT_EQ(s->options.editable, 1);
  EXPECT_EQ(s->options.singleLine, 1);
  EXPECT_EQ(s->fontSize, 20);
  EXPECT_EQ(s->length, 0) << "a new, empty state";
}

TEST_F(FieldTest, MessagesToAWindowWithoutStateReturnOne) {
  MakeField(nullptr);
  DestroyWindow(field_);
  HWND plain = MakeControl(u"STATIC", 9, 0, 0, 10, 10, nullptr);
  EXPECT_EQ(FieldWndProc(plain, kFieldGetCaret, 0, 0), 1);
}

// Messages of interest counted on their way to the field's procedure.
struct PaintCounts {
  int sizes = 0;
  int paints = 0;
};
PaintCounts g_counts;
WNDPROC g_fieldProc = nullptr;
LRESULT CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) ++g_counts.sizes;
  if (msg == WM_PAINT) ++g_counts.paints;
  return CallWindowProcW(g_fieldProc, hwnd, msg, wParam, lParam);
}

TEST_F(FieldTest, ScrollBarChangeRelaysOutOnceAndDrawsOnce) {
  std::u16string many;
  for (int i = 0; i < 20; ++i) many += u"line\n";
  struct Case {
    const char16_t* first;
    const char16_t* second;
    int sizes;         // WM_SIZE from the second text
    bool drawnAtOnce;  // drawn inside WM_SETTEXT (no bar change)
    int paints;        // WM_PAINT afterwards
    const char* why;
  } cases[] = {
      {u"a", many.c_str(), 1, false, 1, "the bar appears: one relayout, drawn only by the paint"},
      {many.c_str(), u"a", 1, false, 1, "the bar goes: one relayout, drawn only by the paint"},
      {u"a", u"b", 0, true, 0, "no bar change: drawn at once, nothing left to paint"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FieldCreateParams p{};
    p.fontSize = 14;
    MakeField(&p, 200, 3 * LineHeight());
    SetText(c.first);
    AutoPump();
    g_fieldProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(field_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    g_counts = {};
    // A marker the field's own drawing covers.
    HDC dc = GetDC(field_);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    RECT corner{0, 0, 2, 2};
    FillRect(dc, &corner, green);
    DeleteObject(green);
    ReleaseDC(field_, dc);
    // Read back through a DC: reading through automation would first
    // deliver the pending paint.
    auto marked = [&] {
      HDC read = GetDC(field_);
      COLORREF v = GetPixel(read, 0, 0);
      ReleaseDC(field_, read);
      return v == RGB(0, 255, 0);
    };
    ASSERT_TRUE(marked());
    SetText(c.second);
    EXPECT_EQ(g_counts.sizes, c.sizes);
    EXPECT_EQ(g_counts.paints, 0) << "nothing painted inside WM_SETTEXT";
    EXPECT_EQ(!marked(), c.drawnAtOnce);
    AutoPump();
    EXPECT_EQ(g_counts.paints, c.paints);
    EXPECT_NE(AutoGetPixel(field_, 0, 0) & 0xFFFFFF, 0x00FF00u) << "drawn in the end";
    SetWindowLongPtrW(field_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_fieldProc));
    DestroyWindow(field_);
  }
}

}  // namespace
