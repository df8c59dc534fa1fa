// The notices: the toast's size, place, cut and colours, the flash-text
// pop-up that closes on its timer, a tap's release, a key and another
// window's activation (handing the focus back), and the notices that follow
// adding a flashcard, code by code.
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/preferences.h"
#include "platform/dialog.h"
#include "platform/dialog_automation.h"
#include "platform/msgbox.h"
#include "tests/support/fake_engine_host.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_flashtext.h"
#include "toolkit/ui_notice.h"
#include "toolkit/ui_scale.h"

namespace {

class UiNoticeTest : public ControlTest {
 protected:
  void TearDown() override {
    AutoResetDialogScripts();
    ControlTest::TearDown();
  }
  RECT Rect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
  }
  int Width(const std::u16string& text, int size) {
    TextStyleState style{};
    return MeasureText(app_->engine(), 0, static_cast<uint16_t>(size), text.c_str(), static_cast<uint16_t>(text.size()),
                       &style);
  }
  int LineHeight(int size) { return GetLineHeight(app_->engine(), 0, static_cast<uint16_t>(size)); }
  std::u16string TextOf(HWND h) {
    WCHAR buffer[200] = {};
    GetWindowTextW(h, buffer, 200);
    return buffer;
  }
  // The open pop-up, if any.
  HWND Popup() { return FindWindowW(kFlashTextClassName, nullptr); }
};

TEST_F(UiNoticeTest, ToastIsCentredAtTextSizePlusMargin) {
  const int m = ScaleByDpi(2);
  ASSERT_EQ(m, 4);
  HWND inner = Child(parent_, 3, 40, 60, 300, 200);
  struct Case {
    HWND parent;
    int left, top, width, height;  // the room, in screen coordinates
    const char* why;
  } cases[] = {
      {parent_, 0, 0, 480, 400, "a top-level parent"},
      {inner, 40, 60, 300, 200, "a child parent: its client area"},
      {nullptr, 0, 0, 480, 640, "no parent: the screen"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HWND toast = ShowToast(c.parent, u"Card Added", 0, 20, false);
    ASSERT_NE(toast, nullptr);
    int w = Width(u"Card Added", 20) + m;
    int h = LineHeight(20) + m;
    RECT r = Rect(toast);
    EXPECT_EQ(r.right - r.left, w);
    EXPECT_EQ(r.bottom - r.top, h);
    EXPECT_EQ(r.left, c.left + (c.width - w) / 2);
    EXPECT_EQ(r.top, c.top + (c.height - h) / 2);
    EXPECT_EQ(TextOf(toast), u"Card Added");
    EXPECT_EQ(GetWindowLongPtrW(toast, GWL_USERDATA), 20);
    EXPECT_NE(GetWindowLongPtrW(toast, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetForegroundWindow(), toast);
    EXPECT_EQ(GetFocus(), toast) << "the pop-up takes the keys";
    DestroyWindow(toast);
  }
}

TEST_F(UiNoticeTest, ToastIsCutOnlyWhenWiderThanTheRoomLessTwoMargins) {
  const int m = ScaleByDpi(2);
  const std::u16string text = u"Duplicate Card";
  int whole = Width(text, 20);
  struct Case {
    int roomWidth;
    bool cut;
    const char* why;
  } cases[] = {
      {whole + 2 * m, false, "exactly the room less two margins: whole"},
      {whole + 2 * m - 1, true, "one pixel less: cut"},
      {whole / 2 + 2 * m, true, "half the room: cut"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HWND narrow = Child(parent_, 4, 0, 0, c.roomWidth, 100);
    HWND toast = ShowToast(narrow, text.c_str(), 0, 20, false);
    ASSERT_NE(toast, nullptr);
    std::u16string shown = TextOf(toast);
    if (!c.cut) {
      EXPECT_EQ(shown, text);
    } else {
      ASSERT_LT(shown.size(), text.size());
      EXPECT_EQ(text.compare(0, shown.size(), shown), 0) << "a prefix of the text";
      EXPECT_LE(Width(shown, 20), c.roomWidth - 2 * m);
      EXPECT_GT(Width(text.substr(0, shown.size() + 1), 20), c.roomWidth - 2 * m) << "as much as fits";
      EXPECT_EQ(Rect(toast).right - Rect(toast).left, Width(shown, 20) + m) << "measured again when cut";
    }
    DestroyWindow(toast);
    DestroyWindow(narrow);
  }
}

TEST_F(UiNoticeTest, ToastTextShowsTheGivenLength) {
  SetPref(app_->engine(), kPrefToastSize, 24);
  struct Case {
    uint32_t length;
    const char16_t* shown;
  } cases[] = {{0, u"abcdef"}, {3, u"abc"}, {6, u"abcdef"}, {60, u"abcdef"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    HWND toast = ShowToastText(parent_, u"abcdef", c.length);
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(TextOf(toast), c.shown);
    EXPECT_EQ(GetWindowLongPtrW(toast, GWL_USERDATA), 24) << "the size of preference 95";
    // No time-out: the pop-up is still there long after.
    AdvanceVirtualClock(10000);
    PumpPendingMessages();
    EXPECT_TRUE(IsWindow(toast));
    DestroyWindow(toast);
  }
}

TEST_F(UiNoticeTest, InvertedToastIsWhiteOnBlack) {
  for (bool inverted : {false, true}) {
    SCOPED_TRACE(inverted);
    HWND toast = ShowToast(parent_, u"WWW", 0, 32, inverted);
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(toast, GWL_USERDATA), inverted ? -32 : 32);
    UpdateWindow(toast);
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(AutoCaptureWindow(toast, &pixels, &w, &h));
    int black = 0, white = 0, other = 0;
    for (uint32_t p : pixels) {
      p &= 0xFFFFFF;
      if (p == 0) ++black;
      else if (p == 0xFFFFFF)
        ++white;
      else
        ++other;
    }
    uint32_t paper = inverted ? 0x000000 : 0xFFFFFF;
    EXPECT_EQ(AutoGetPixel(toast, 1, 1) & 0xFFFFFF, paper) << "the paper is the background colour";
    // Letters in the other colour.
    EXPECT_GT(inverted ? white : black, 20);
    DestroyWindow(toast);
  }
}

class FlashTextCloseTest : public UiNoticeTest {
 protected:
  void SetUp() override {
    UiNoticeTest::SetUp();
    focus_ = Child(parent_, 7, 10, 10, 50, 20);
    SetFocus(focus_);
    ASSERT_EQ(GetFocus(), focus_);
  }
  HWND focus_ = nullptr;
};

TEST_F(FlashTextCloseTest, ClosesOnItsTimerATapAndAKeyAndGivesTheFocusBack) {
  enum How { kTimer, kTap, kKey, kPenDownOnly };
  struct Case {
    How how;
    bool closes;
    const char* why;
  } cases[] = {
      {kTimer, true, "the time-out"},
      {kTap, true, "a tap's release"},
      {kKey, true, "any key"},
      {kPenDownOnly, false, "the pen going down alone does nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HWND toast = ShowToast(parent_, u"hello", 500, 20, false);
    ASSERT_NE(toast, nullptr);
    ASSERT_EQ(GetFocus(), toast);
    ASSERT_EQ(GetCapture(), toast);
    switch (c.how) {
      case kTimer:
        AdvanceVirtualClock(499);
        PumpPendingMessages();
        EXPECT_TRUE(IsWindow(toast)) << "not before its time";
        AdvanceVirtualClock(1);
        PumpPendingMessages();
        break;
      case kTap:
        // Anywhere: the pop-up holds the pen.
        AutoTap(400, 300);
        PumpPendingMessages();
        break;
      case kKey:
        AutoKeyPress('Q');
        PumpPendingMessages();
        break;
      case kPenDownOnly:
        AutoPenDown(400, 300);
        PumpPendingMessages();
        break;
    }
    EXPECT_EQ(IsWindow(toast) == FALSE, c.closes);
    if (c.closes) {
      EXPECT_EQ(GetFocus(), focus_);
      EXPECT_NE(GetCapture(), toast);
    } else {
      AutoPenUp(400, 300);
      PumpPendingMessages();
      EXPECT_FALSE(IsWindow(toast)) << "the release then closes it";
    }
  }
}

TEST_F(FlashTextCloseTest, ClosesWhenAnotherWindowBecomesActive) {
  HWND other = Top(0, 0, 100, 100);
  SetFocus(focus_);
  HWND toast = ShowToast(parent_, u"hello", 0, 20, false);
  ASSERT_NE(toast, nullptr);
  ASSERT_EQ(GetActiveWindow(), toast);
  SetActiveWindow(other);
  PumpPendingMessages();
  EXPECT_FALSE(IsWindow(toast));
  EXPECT_EQ(GetActiveWindow(), other) << "the window the user went to stays active";
}

TEST_F(FlashTextCloseTest, SecondNoticeReplacesTheFirstAndKeepsItsFocusWindow) {
  HWND first = ShowToast(parent_, u"first", 0, 20, false);
  HWND second = ShowToast(parent_, u"second", 0, 20, false);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first)) << "the first closed as the second took the focus";
  EXPECT_EQ(GetFocus(), second);
  AutoKeyPress('Q');
  PumpPendingMessages();
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(GetFocus(), focus_) << "the window that had the focus before both";
}

TEST_F(FlashTextCloseTest, StaleFocusWindowIsLeftAlone) {
  HWND toast = ShowToast(parent_, u"hello", 0, 20, false);
  ASSERT_NE(toast, nullptr);
  DestroyWindow(focus_);
  DestroyWindow(toast);
  EXPECT_FALSE(IsWindow(toast));
  EXPECT_NE(GetFocus(), focus_);
}

// The category names come from the fake flashcard store of tests/support:
// the engine's host table lends its category names for the test.
class CardNoticeTest : public UiNoticeTest {
 protected:
  void SetUp() override {
    UiNoticeTest::SetUp();
    DictEngine* engine = app_->engine();
    savedHost_ = engine->host;
    host_ = *savedHost_;
    host_.getCategoryDisplayName = fake_.host.getCategoryDisplayName;
    engine->host = &host_;
    engine->flashcards = reinterpret_cast<FlashcardStore*>(&fake_);
  }
  void TearDown() override {
    if (HWND p = Popup()) DestroyWindow(p);
    DictEngine* engine = app_->engine();
    engine->flashcards = nullptr;
    engine->host = savedHost_;
    UiNoticeTest::TearDown();
  }
  FakeEngineHost fake_;
  EngineHost host_{};
  const EngineHost* savedHost_ = nullptr;
};

TEST_F(CardNoticeTest, ToastsOfTheResultCodes) {
  struct Case {
    int code;
    bool categoryToasts;  // preference 208
    int32_t category;
    const char16_t* text;
    int userData;  // size, negative when inverted
    const char* why;
  } cases[] = {
      {1, false, 7, u"Card Added", 32, "added"},
      {4, false, 7, u"Duplicate Card", -32, "a duplicate"},
      {5, false, 7, u"Duplicate Card", -32, "a duplicate filed"},
      {4, true, 7, u"Duplicate Card", -32, "code 4 never names the category"},
      {1, true, 7, u"Words", 32, "the category's name"},
      {5, true, 7, u"*Words", -32, "the name marked, inverted"},
      {1, true, -3, u"Card Added", 32, "no category: the plain text"},
      {5, true, -3, u"Duplicate Card", -32, "no category: the plain text"},
      {1, true, 99, u"Card Added", 32, "an unknown category has no name"},
      {5, true, 99, u"Duplicate Card", -32, "an unknown category has no name"},
      {1, true, -2, u"Flashcards", 32, "a pseudo category other than -3 is named"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SetPref(app_->engine(), kPrefCategoryToasts, c.categoryToasts ? 1 : 0);
    EXPECT_EQ(ReportCardAdded(parent_, c.code, c.category), 0);
    HWND toast = Popup();
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(TextOf(toast), c.text);
    EXPECT_EQ(GetWindowLongPtrW(toast, GWL_USERDATA), c.userData);
    AdvanceVirtualClock(499);
    PumpPendingMessages();
    EXPECT_TRUE(IsWindow(toast));
    AdvanceVirtualClock(1);
    PumpPendingMessages();
    EXPECT_FALSE(IsWindow(toast)) << "500 ms";
    EXPECT_TRUE(AutoMessageBoxLog().empty());
  }
}

TEST_F(CardNoticeTest, MessageBoxesAndTheDuplicateQuestion) {
  const std::u16string failure =
      u"Sorry, the flashcard could not be created because your flashcard file could not be accessed - please exit "
      u"and reopen Sorvi and try again.";
  const std::u16string unsupported = u"Sorry, flashcards are not currently supported in this dictionary database.";
  const std::u16string question =
      u"Another card already exists with this same headword and pronunciation - would you like to create a new "
      u"card anyway (Yes), add the existing card to the selected category (No), or leave it unchanged (Cancel)?";
  constexpr UINT kOnTop = MB_TOPMOST | MB_SETFOREGROUND;
  struct Case {
    int code;
    std::u16string text;
    std::u16string caption;
    int answer;
    UINT type;
    int result;
  } cases[] = {
      {2, failure, u"Flashcard Failure", IDOK, MB_OK | MB_ICONERROR | kOnTop, 0},
      {3, unsupported, u"Unsupported Dictionary", IDOK, MB_OK | MB_ICONERROR | kOnTop, 0},
      {6, question, u"Duplicate Card", IDYES, MB_YESNOCANCEL | MB_ICONQUESTION | kOnTop, 1},
      {6, question, u"Duplicate Card", IDNO, MB_YESNOCANCEL | MB_ICONQUESTION | kOnTop, 2},
      {6, question, u"Duplicate Card", IDCANCEL, MB_YESNOCANCEL | MB_ICONQUESTION | kOnTop, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code * 100 + c.answer);
    AutoResetDialogScripts();
    AutoExpectMessageBox(c.text, c.caption, c.answer);
    EXPECT_EQ(ReportCardAdded(parent_, c.code, 7), c.result);
    std::vector<AutoMessageBoxRecord> log = AutoMessageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].type, c.type);
    EXPECT_TRUE(AutoScriptFailures().empty());
    EXPECT_EQ(Popup(), nullptr) << "nothing else is shown";
  }
}

TEST_F(CardNoticeTest, OtherCodesDoNothing) {
  SetPref(app_->engine(), kPrefCategoryToasts, 1);
  for (int code : {0, 7, -1, 100}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(ReportCardAdded(parent_, code, 7), 0);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_TRUE(AutoMessageBoxLog().empty());
  }
}

}  // namespace
