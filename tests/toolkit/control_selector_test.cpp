// The selector: what each mode does with a typed character, a backspace and
// a tap, the notifications that follow, the bounded text in and out, and the
// modes' frames and fills.
#include <string>
#include <vector>

#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_selector.h"

namespace {

constexpr int kId = 81;

struct KeyNote {
  uint32_t mode, character, flag;
  bool operator==(const KeyNote&) const = default;
};

class SelectorTest : public ControlTest {
 protected:
  HWND Make(int32_t mode, const std::u16string& text, int w = 120, int h = 30) {
    SelectorCreateParams p{};
    p.fontSize = 14;
    box_ = MakeControl(kSelectorClassName, kId, 10, 10, w, h, &p);
    SendMessageW(box_, kSelectorSetMode, static_cast<WPARAM>(mode), 0);
    SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    notes_.clear();
    return box_;
  }
  SelectorState* State() { return static_cast<SelectorState*>(GetPropW(box_, u"SorviSelectorInfo")); }
  std::u16string Text() {
    WCHAR buffer[64] = {};
    SendMessageW(box_, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  std::vector<KeyNote> Keys() {
    std::vector<KeyNote> out;
    for (const ControlNotify& n : notes_)
      if (n.header.code == kSelectorKeyCode)
        out.push_back({n.payload.selector.mode, n.payload.selector.character, n.payload.selector.flag});
    return out;
  }
  std::vector<uint32_t> Modes() {
    std::vector<uint32_t> out;
    for (const ControlNotify& n : notes_)
      if (n.header.code == kSelectorModeCode) out.push_back(n.payload.selector.mode);
    return out;
  }
  uint32_t Px(int x, int y) { return AutoGetPixel(box_, x, y) & 0xFFFFFF; }
  HWND box_ = nullptr;
};

TEST_F(SelectorTest, ModesApplyTypedCharactersThenReportThem) {
  struct Step {
    WCHAR input;  // 8: backspace
    const char16_t* text;
    bool reported;
    uint32_t flag;
  };
  struct Case {
    int32_t mode;
    const char16_t* start;
    std::vector<Step> steps;
    const char* why;
  } cases[] = {
      {7,
       u"ab",
       {{u'3', u"ab3", true, 0}, {u'4', u"ab4", true, 0}, {8, u"ab", true, 0}, {8, u"ab", false, 0}},
       "tone mode: a digit appends, the next replaces it, backspace takes only the digit"},
      {6,
       u"ab",
       {{u'7', u"ab", true, 0}, {u'x', u"ab", true, 0}, {u'0', u"ab0", true, 0}},
       "tone mode: only 0-5 are tone digits; others are passed on"},
      {1, u"ab", {{u'x', u"ab", true, 0}, {8, u"a", true, 0}}, "mode 1 passes a letter on; a backspace still removes"},
      {2,
       u"",
       {{8, u"", true, 1}, {u'k', u"k", true, 0}, {8, u"", true, 0}},
       "backspace on an empty box reports flag 1"},
      {4, u"a", {{u'b', u"ab", true, 0}}, "mode 4 appends"},
      {5, u"a", {{u'b', u"ab", true, 0}}, "mode 5 appends"},
      {3, u"a", {{u'b', u"a", true, 0}}, "mode 3 passes on"},
      {8, u"a", {{u'b', u"a", true, 0}}, "mode 8 passes on"},
      {9, u"a", {{u'b', u"a", true, 0}}, "mode 9 passes on"},
      {0, u"a", {{u'b', u"a", true, 0}}, "mode 0 passes on"},
      {42, u"a", {{u'b', u"ab", true, 0}}, "an unknown mode appends like mode 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Make(c.mode, c.start);
    for (const Step& step : c.steps) {
      SCOPED_TRACE(static_cast<int>(step.input));
      notes_.clear();
      SendMessageW(box_, WM_CHAR, step.input, 0);
      EXPECT_EQ(Text(), step.text);
      std::vector<KeyNote> want;
      if (step.reported) want.push_back({static_cast<uint32_t>(c.mode), step.input, step.flag});
      EXPECT_EQ(Keys(), want);
    }
    DestroyWindow(box_);
  }
}

TEST_F(SelectorTest, TwentiethCharacterIsDroppedButReported) {
  for (int32_t mode : {2, 7}) {
    SCOPED_TRACE(mode);
    std::u16string nineteen = mode == 7 ? std::u16string(19, u'a') : std::u16string(19, u'b');
    Make(mode, nineteen);
    EXPECT_EQ(Text(), nineteen);
    SendMessageW(box_, kSelectorInput, mode == 7 ? u'3' : u'c', 0);
    EXPECT_EQ(Text(), nineteen);
    ASSERT_EQ(Keys().size(), 1u);
    EXPECT_EQ(Keys()[0].flag, 0u);
    DestroyWindow(box_);
  }
  // A longer text set from outside is cut to 19.
  Make(2, std::u16string(30, u'z'));
  EXPECT_EQ(Text(), std::u16string(19, u'z'));
}

TEST_F(SelectorTest, BackspaceMessageAndInputMessage) {
  Make(2, u"ab");
  SendMessageW(box_, kSelectorBackspace, 0, 0);
  EXPECT_EQ(Text(), u"a");
  SendMessageW(box_, kSelectorInput, 8, 0);  // a backspace through 0x8242
  EXPECT_EQ(Text(), u"");
  EXPECT_EQ(Keys(), (std::vector<KeyNote>{{2, 8, 0}, {2, 8, 0}}));
}

TEST_F(SelectorTest, GetTextRespectsTheCapacity) {
  Make(2, u"hello");
  struct Case {
    uint16_t capacity;
    const char16_t* expected;  // the buffer afterwards, from "########"
  } cases[] = {
      {0, u"########"},  // no room even for the terminator: untouched
      {1, u""},         {3, u"he"}, {6, u"hello"}, {60, u"hello"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    WCHAR buffer[64];
    std::fill(buffer, buffer + 64, u'#');
    buffer[8] = 0;
    EXPECT_EQ(SendMessageW(box_, WM_GETTEXT, c.capacity, reinterpret_cast<LPARAM>(buffer)), 1);
    EXPECT_EQ(std::u16string(buffer), c.expected);
  }
  SendMessageW(box_, WM_CLEAR, 0, 0);
  EXPECT_EQ(Text(), u"");
  SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x"));
  SendMessageW(box_, WM_SETTEXT, 0, 0);
  EXPECT_EQ(Text(), u"") << "null empties";
}

TEST_F(SelectorTest, TapsChangeTheModeAndTakeTheFocus) {
  struct Case {
    int32_t mode;
    int32_t after;
    bool reported;
    bool focused;
    const char* why;
  } cases[] = {
      {4, 5, true, true, "mode 4: mode 5 and the focus"}, {6, 7, true, true, "mode 6: mode 7 and the focus"},
      {2, 3, true, false, "mode 2 toggles to 3"},         {3, 2, true, false, "mode 3 toggles to 2"},
      {5, 5, false, false, "mode 5 does nothing"},        {7, 7, false, false, "mode 7 does nothing"},
      {1, 1, false, false, "mode 1 does nothing"},        {8, 8, false, false, "mode 8 does nothing"},
  };
  HWND other = Child(parent_, 5, 300, 300, 20, 20);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Make(c.mode, u"ab");
    SetFocus(other);
    notes_.clear();
    Tap(box_, 20, 10);
    EXPECT_EQ(State()->mode, c.after);
    EXPECT_EQ(Modes(), c.reported ? std::vector<uint32_t>{static_cast<uint32_t>(c.after)} : std::vector<uint32_t>{});
    EXPECT_EQ(GetFocus() == box_, c.focused);
    if (c.after == 5 || c.after == 7) {
      UpdateWindow(box_);
      EXPECT_NE(Px(1, 15), 0xFFFFFFu) << "the double frame of the focused box";
    }
    DestroyWindow(box_);
    UpdateWindow(parent_);
  }
  // Released outside: nothing.
  Make(4, u"ab");
  Down(box_, 20, 10);
  Up(box_, 200, 100);
  EXPECT_EQ(State()->mode, 4);
  EXPECT_TRUE(Modes().empty());
}

TEST_F(SelectorTest, FocusTurnsInputModesIntoTheirFocusedForms) {
  HWND other = Child(parent_, 5, 300, 300, 20, 20);
  const std::pair<int32_t, int32_t> cases[] = {{4, 5}, {6, 7}, {2, 2}, {9, 9}};
  for (const auto& [mode, focused] : cases) {
    SCOPED_TRACE(mode);
    Make(mode, u"");
    SetFocus(box_);
    EXPECT_EQ(State()->mode, focused);
    SetFocus(other);
    EXPECT_EQ(State()->mode, mode);
    SendMessageW(box_, kSelectorFocusMode, 0, 0);
    EXPECT_EQ(State()->mode, focused);
    DestroyWindow(box_);
  }
  Make(1, u"");
  EXPECT_EQ(SendMessageW(box_, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
}

TEST_F(SelectorTest, ModesDrawTheirFramesAndFills) {
  struct Case {
    int32_t mode;
    bool doubleFrame;
    uint32_t fill;  // inside the frames, away from the text
  } cases[] = {
      {1, false, 0xFFFFFF}, {5, true, 0xFFFFFF},  {7, true, 0xFFFFFF},
      {3, false, 0x7F7F7F}, {8, false, 0x64FF64}, {9, false, 0xFF6464},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Make(c.mode, u"i", 120, 30);
    UpdateWindow(parent_);  // the place of the box before is repainted first
    UpdateWindow(box_);
    DrawSelector(State());
    EXPECT_NE(Px(0, 15), 0xFFFFFFu) << "the outer frame";
    EXPECT_EQ(Px(1, 15) != c.fill, c.doubleFrame) << "the second frame one pixel in";
    EXPECT_EQ(Px(3, 15), c.fill);
    EXPECT_EQ(Px(116, 27), c.fill);
    DestroyWindow(box_);
  }
  // Mode 0 shows no text; mode 1 the same text centred.
  Make(0, u"WWW");
  UpdateWindow(parent_);
  DrawSelector(State());
  int blank = 0;
  for (int y = 2; y < 28; ++y)
    for (int x = 2; x < 118; ++x)
      if (Px(x, y) != 0xFFFFFF) ++blank;
  EXPECT_EQ(blank, 0);
  SendMessageW(box_, kSelectorSetMode, 1, 0);
  DrawSelector(State());
  int left = 200, right = -1;
  for (int y = 2; y < 28; ++y)
    for (int x = 2; x < 118; ++x)
      if (Px(x, y) != 0xFFFFFF) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_GE(right, left);
  EXPECT_NEAR(left - 1, 118 - right, 3) << "centred";
}

}  // namespace
