// Editing through the field's messages, as (text, selection, operation) ->
// (text, selection, 0x8301 payload), the bound on every edit, and the
// clipboard: style codes stripped on the way out, tone marks converted on
// the way in, nothing done when the clipboard cannot be opened.
#include <functional>
#include <string>

#include "platform/clipboard.h"
#include "platform/controls.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_field.h"

namespace {

constexpr int kId = 62;

class FieldEditTest : public ControlTest {
 protected:
  HWND MakeField(bool editable = true, bool singleLine = false, bool characterSelection = false) {
    FieldCreateParams p{};
    p.fontSize = 14;
    p.editable = editable;
    p.singleLine = singleLine;
    p.characterSelection = characterSelection;
    field_ = MakeControl(kFieldClassName, kId, 10, 10, 300, 120, &p);
    UpdateWindow(field_);
    return field_;
  }
  void SetText(const std::u16string& text) {
    SendMessageW(field_, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text.c_str()));
    notes_.clear();
  }
  std::u16string Text() {
    std::u16string out(40000, u'\0');
    SendMessageW(field_, WM_GETTEXT, out.size(), reinterpret_cast<LPARAM>(out.data()));
    out.resize(std::char_traits<char16_t>::length(out.c_str()));
    return out;
  }
  uint32_t Sel() { return static_cast<uint32_t>(SendMessageW(field_, EM_GETSEL, 0, 0)); }
  std::u16string Clipboard() {
    if (!OpenClipboard(nullptr)) return u"<closed>";
    auto* t = static_cast<const char16_t*>(GetClipboardData(CF_UNICODETEXT));
    std::u16string out = t ? t : u"";
    CloseClipboard();
    return out;
  }
  void PutOnClipboard(const std::u16string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, (text.size() + 1) * sizeof(WCHAR)));
    std::copy(text.begin(), text.end(), block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
  }
  HWND field_ = nullptr;
};

uint32_t Pair(uint32_t a, uint32_t b) { return a << 16 | b; }

TEST_F(FieldEditTest, EditsGiveTextSelectionAndChangePayload) {
  struct Case {
    const char* why;
    const char16_t* text;
    uint16_t selStart, selEnd;
    std::function<void(HWND)> op;
    bool singleLine;
    const char16_t* after;
    uint32_t selection;  // EM_GETSEL after
    int changed;         // 0x8301 payload, -1 when none is sent
  } cases[] = {
      {"typing over 3..7 leaves the caret at 4", u"abcdefghij", 3, 7, [](HWND h) { SendMessageW(h, WM_CHAR, 'X', 0); },
       false, u"abcXhij", Pair(4, 4), 0},
      {"backspace at 0 changes nothing but reports 1", u"abc", 0, 0, [](HWND h) { SendMessageW(h, WM_CHAR, 8, 0); },
       false, u"abc", Pair(0, 0), 1},
      {"backspace deletes the unit before the caret", u"abc", 2, 2, [](HWND h) { SendMessageW(h, WM_CHAR, 8, 0); },
       false, u"ac", Pair(1, 1), 1},
      {"backspace after CR LF deletes only the LF", u"ab\r\ncd", 4, 4, [](HWND h) { SendMessageW(h, WM_CHAR, 8, 0); },
       false, u"ab\rcd", Pair(3, 3), 1},
      {"CR in a single-line field inserts nothing, reports 0", u"abc", 1, 1,
       [](HWND h) { SendMessageW(h, WM_CHAR, 13, 0); }, true, u"abc", Pair(1, 1), 0},
      {"CR in a multi-line field is one unit", u"abc", 1, 1, [](HWND h) { SendMessageW(h, WM_CHAR, 13, 0); }, false,
       u"a\rbc", Pair(2, 2), 0},
      {"WM_CLEAR with a two-character selection empties the text", u"abcdef", 1, 3,
       [](HWND h) { SendMessageW(h, WM_CLEAR, 0, 0); }, false, u"", Pair(0, 0), 0},
      {"0x818B with a selection deletes the selection", u"abcdef", 1, 3,
       [](HWND h) { SendMessageW(h, kFieldDeleteRange, 4, 6); }, false, u"adef", Pair(1, 1), 0},
      {"0x818B without a selection deletes its range, end cut", u"abcdef", 0, 0,
       [](HWND h) { SendMessageW(h, kFieldDeleteRange, 4, 60); }, false, u"abcd", Pair(4, 4), 0},
      {"0x818B with end < start does nothing", u"abcdef", 0, 0,
       [](HWND h) { SendMessageW(h, kFieldDeleteRange, 4, 2); }, false, u"abcdef", Pair(0, 0), -1},
      {"EM_REPLACESEL inserts its whole text", u"abcdef", 2, 4,
       [](HWND h) { SendMessageW(h, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"XYZ")); }, false, u"abXYZef",
       Pair(5, 5), 0},
      {"0x8181 inserts the given count", u"abcdef", 6, 6,
       [](HWND h) { SendMessageW(h, kFieldReplaceCount, 2, reinterpret_cast<LPARAM>(u"XYZ")); }, false, u"abcdefXY",
       Pair(8, 8), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeField(true, c.singleLine);
    SetText(c.text);
    SendMessageW(field_, EM_SETSEL, c.selStart, c.selEnd);
    notes_.clear();
    c.op(field_);
    EXPECT_EQ(Text(), c.after);
    EXPECT_EQ(Sel(), c.selection);
    if (c.changed < 0) {
      EXPECT_TRUE(notes_.empty());
    } else {
      ASSERT_EQ(notes_.size(), 1u);
      EXPECT_EQ(notes_[0].header.code, kFieldChanged);
      EXPECT_EQ(notes_[0].payload.index, static_cast<uint32_t>(c.changed));
    }
    DestroyWindow(field_);
  }
}

TEST_F(FieldEditTest, CharInAReadOnlyFieldIsReportedNotTyped) {
  MakeField(false);
  SetText(u"abc");
  EXPECT_EQ(SendMessageW(field_, WM_CHAR, 'q', 0), 0);
  EXPECT_EQ(Text(), u"abc");
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].header.code, kFieldCharInReadOnly);
  EXPECT_EQ(notes_[0].payload.index, static_cast<uint32_t>('q'));
}

TEST_F(FieldEditTest, CharacterSelectionAtTheEndSelectsTheLastUnit) {
  MakeField(true, false, true);
  SetText(u"abc");
  SendMessageW(field_, EM_SETSEL, 3, 3);
  EXPECT_EQ(SendMessageW(field_, kFieldGetSelection, 0, 0), Pair(2, 3));
}

TEST_F(FieldEditTest, AnEditPastTheBoundIsRefused) {
  MakeField();
  std::u16string text(kFieldMaxUnits - 1, u'a');
  SetText(text);
  SendMessageW(field_, EM_SETSEL, 0, 0);
  PutOnClipboard(u"bb");  // one unit too many
  SendMessageW(field_, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(), text);
  PutOnClipboard(u"b");  // exactly to the bound
  SendMessageW(field_, WM_PASTE, 0, 0);
  EXPECT_EQ(SendMessageW(field_, WM_GETTEXTLENGTH, 0, 0), kFieldMaxUnits);
  EXPECT_EQ(SendMessageW(field_, WM_CHAR, 'c', 0), 1);
  EXPECT_EQ(SendMessageW(field_, WM_GETTEXTLENGTH, 0, 0), kFieldMaxUnits) << "typing past the bound is refused";
}

TEST_F(FieldEditTest, ClipboardStripsStyleCodesAndConvertsToneMarks) {
  MakeField();
  SetText(u"a\uEAB2bold\uEAB3 \uEAC5\u0001\u0010big end");
  SendMessageW(field_, EM_SETSEL, 0, 14);
  SendMessageW(field_, WM_COPY, 0, 0);
  EXPECT_EQ(Clipboard(), u"abold big");
  SendMessageW(field_, WM_CUT, 0, 0);
  EXPECT_EQ(Clipboard(), u"abold big");
  EXPECT_EQ(Text(), u" end");
  SendMessageW(field_, kFieldCopyAll, 0, 0);
  EXPECT_EQ(Clipboard(), u" end");
  PutOnClipboard(u"n\u01D0 h\u01CEo");
  SendMessageW(field_, EM_SETSEL, 0, 0);
  SendMessageW(field_, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(), u"ni3 hao3 end");
}

TEST_F(FieldEditTest, NothingHappensWhenTheClipboardIsHeldElsewhere) {
  MakeField();
  SetText(u"abcdef");
  PutOnClipboard(u"zz");
  HWND holder = Top(0, 0, 10, 10);
  ASSERT_TRUE(OpenClipboard(holder));
  SendMessageW(field_, EM_SETSEL, 1, 3);
  SendMessageW(field_, WM_PASTE, 0, 0);
  SendMessageW(field_, WM_CUT, 0, 0);
  EXPECT_EQ(Text(), u"abcdef");
  EXPECT_TRUE(notes_.empty());
  CloseClipboard();
}

}  // namespace
