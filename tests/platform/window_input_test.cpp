// Focus, capture, activation, stylus and key routing, double-click
// synthesis and hot keys.
#include <atomic>
#include <thread>

#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

using InputTest = WindowTest;

POINT Screen(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  return p;
}

TEST_F(InputTest, FocusMessagesNameTheOtherWindow) {
  HWND top = Top();
  HWND a = Child(top, 1, 0, 0, 50, 50);
  HWND b = Child(top, 2, 50, 0, 50, 50);
  SetFocus(a);
  TheLog().Clear();
  EXPECT_EQ(SetFocus(b), a);
  auto recs = TheLog().All();
  std::vector<std::tuple<HWND, UINT, WPARAM>> got;
  for (const Rec& r : recs)
    if (r.msg == WM_SETFOCUS || r.msg == WM_KILLFOCUS) got.emplace_back(r.hwnd, r.msg, r.wParam);
  std::vector<std::tuple<HWND, UINT, WPARAM>> want{{a, WM_KILLFOCUS, reinterpret_cast<WPARAM>(b)},
                                                    {b, WM_SETFOCUS, reinterpret_cast<WPARAM>(a)}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(GetFocus(), b);
  // Focusing a window of an inactive top-level window activates that first.
  HWND other = Top(0, 52, 100, 100);
  EXPECT_EQ(GetActiveWindow(), other);
  SetFocus(a);
  EXPECT_EQ(GetActiveWindow(), top);
  EXPECT_EQ(GetForegroundKeyboardTarget(), a);
  // Disabling an ancestor of the focus takes the focus away.
  EnableWindow(top, FALSE);
  EXPECT_EQ(GetFocus(), nullptr);
  EnableWindow(top, TRUE);
}

TEST_F(InputTest, CaptureChangesAreReportedAndMovesFollowCapture) {
  HWND top = Top();
  HWND a = Child(top, 1, 10, 10, 50, 50);
  HWND b = Child(top, 2, 100, 10, 50, 50);
  SetCapture(a);
  TheLog().Clear();
  EXPECT_EQ(SetCapture(b), a);
  auto changed = TheLog().Of(WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].hwnd, a);
  EXPECT_EQ(reinterpret_cast<HWND>(changed[0].lParam), b);
  // A move far left of b still goes to b, in b's coordinates (negative).
  TheLog().Clear();
  POINT down = Screen(b, 5, 5);
  AutoPenDown(down.x, down.y);
  POINT far = Screen(a, 0, 0);
  AutoPenMove(far.x, far.y);
  auto moves = TheLog().Of(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].hwnd, b);
  EXPECT_EQ(static_cast<SHORT>(LOWORD(moves[0].lParam)), -90);
  EXPECT_EQ(static_cast<SHORT>(HIWORD(moves[0].lParam)), 0);
  AutoPenUp(far.x, far.y);
  TheLog().Clear();
  ReleaseCapture();
  changed = TheLog().Of(WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].hwnd, b);
  EXPECT_EQ(changed[0].lParam, 0);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, StylusGoesToTheDeepestEnabledWindow) {
  HWND top = Top(0, 52, 480, 536);
  HWND panel = Child(top, 1, 0, 0, 200, 200);
  HWND button = Child(panel, 2, 10, 10, 50, 50);
  HWND off = Child(panel, 3, 100, 10, 50, 50, WS_VISIBLE | WS_DISABLED);
  struct Case {
    HWND at;
    int x, y;
    HWND expected;
  } cases[] = {{button, 5, 5, button}, {panel, 5, 150, panel}, {off, 5, 5, panel}};
  for (const Case& k : cases) {
    TheLog().Clear();
    POINT p = Screen(k.at, k.x, k.y);
    AutoTap(p.x, p.y);
    auto downs = TheLog().Of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].hwnd, k.expected);
    EXPECT_EQ(downs[0].wParam, MK_LBUTTON);
    EXPECT_EQ(TheLog().Of(WM_LBUTTONUP).size(), 1u);
  }
  // A disabled top-level window (owner of a modal dialog) drops taps.
  EnableWindow(top, FALSE);
  TheLog().Clear();
  POINT p = Screen(button, 5, 5);
  AutoTap(p.x, p.y);
  EXPECT_TRUE(TheLog().Of(WM_LBUTTONDOWN).empty());
}

TEST_F(InputTest, TapActivatesTheTappedTopLevelWindow) {
  HWND a = Top(0, 52, 200, 200);
  HWND b = Top(240, 52, 200, 200);
  EXPECT_EQ(GetActiveWindow(), b);
  TheLog().Clear();
  AutoTap(20, 100);
  EXPECT_EQ(GetActiveWindow(), a);
  auto act = TheLog().Of(WM_ACTIVATE, a);
  ASSERT_EQ(act.size(), 1u);
  EXPECT_EQ(LOWORD(act[0].wParam), WA_CLICKACTIVE);
  // Activation comes before the tap itself.
  auto msgs = TheLog().Msgs(a, {WM_ACTIVATE, WM_LBUTTONDOWN});
  EXPECT_EQ(msgs, (std::vector<UINT>{WM_ACTIVATE, WM_LBUTTONDOWN}));
}

TEST_F(InputTest, DoubleClicksAreSynthesisedForClassesThatAsk) {
  HWND top = Top();
  HWND dbl = Child(top, 1, 0, 0, 200, 200, WS_VISIBLE, kDblClass);
  HWND plain = Child(top, 2, 220, 0, 200, 200);
  struct Step {
    HWND hwnd;
    int x, y;
    DWORD waitBefore;
    UINT expected;
  } steps[] = {
      {dbl, 10, 10, 1000, WM_LBUTTONDOWN},
      {dbl, 12, 11, 100, WM_LBUTTONDBLCLK},   // second tap, close and quick
      {dbl, 12, 11, 100, WM_LBUTTONDOWN},     // a third tap starts again
      {dbl, 12, 11, 501, WM_LBUTTONDOWN},     // too slow
      {dbl, 40, 11, 100, WM_LBUTTONDOWN},     // too far
      {plain, 10, 10, 1000, WM_LBUTTONDOWN},
      {plain, 10, 10, 100, WM_LBUTTONDOWN},   // class without CS_DBLCLKS
  };
  for (const Step& s : steps) {
    AutoAdvanceClock(s.waitBefore);
    TheLog().Clear();
    POINT p = Screen(s.hwnd, s.x, s.y);
    AutoTap(p.x, p.y);
    EXPECT_EQ(TheLog().Msgs(s.hwnd, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP}),
              (std::vector<UINT>{s.expected, WM_LBUTTONUP}))
        << s.x << " after " << s.waitBefore;
  }
}

TEST_F(InputTest, KeysGoToTheFocusWindowAndCharactersFollow) {
  HWND top = Top();
  HWND field = Child(top, 1001, 0, 0, 100, 30);
  SetFocus(field);
  TheLog().Clear();
  AutoKeyPress(VK_RETURN);
  AutoTypeText(u"中a");
  std::vector<std::pair<UINT, WPARAM>> got;
  for (const Rec& r : TheLog().All())
    if (r.hwnd == field && (r.msg == WM_KEYDOWN || r.msg == WM_KEYUP || r.msg == WM_CHAR)) got.emplace_back(r.msg, r.wParam);
  std::vector<std::pair<UINT, WPARAM>> want{{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}, {WM_KEYUP, VK_RETURN},
                                             {WM_CHAR, 0x4E2D},      {WM_CHAR, 'a'}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(GetKeyState(VK_RETURN), 0);
  AutoKeyDown(VK_SHIFT);
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  AutoKeyUp(VK_SHIFT);
  auto ups = TheLog().Of(WM_KEYUP, field);
  ASSERT_FALSE(ups.empty());
  EXPECT_NE(ups.back().lParam & static_cast<LPARAM>(0x80000000u), 0);
}

TEST_F(InputTest, HotKeysTakeTheApplicationButtons) {
  HWND top = Top();
  SetFocus(top);
  ASSERT_TRUE(RegisterHotKey(top, 0x30, 0, VK_APP1));
  EXPECT_FALSE(RegisterHotKey(top, 0x31, 0, VK_APP1));
  TheLog().Clear();
  AutoKeyPress(VK_APP1);
  auto hot = TheLog().Of(WM_HOTKEY, top);
  ASSERT_EQ(hot.size(), 1u);
  EXPECT_EQ(hot[0].wParam, 0x30u);
  EXPECT_EQ(HIWORD(hot[0].lParam), VK_APP1);
  EXPECT_TRUE(TheLog().Of(WM_KEYDOWN).empty());
  EXPECT_TRUE(UnregisterHotKey(top, 0x30));
  EXPECT_TRUE(AllKeys(TRUE));
  EXPECT_TRUE(IsAllKeysMode());
  AllKeys(FALSE);
}

TEST_F(InputTest, ForeignForegroundWindowAnswersCopy) {
  // A scripted program of its own: it puts its selection on the clipboard.
  HWND foreign = Top(0, 52, 100, 100, WS_VISIBLE, 0, nullptr, u"Notes");
  ASSERT_TRUE(MarkForeignWindow(foreign));
  foreign_.push_back(foreign);
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == foreign && msg == WM_COPY) {
      OpenClipboard(hwnd);
      EmptyClipboard();
      const std::u16string text = u"你好";
      auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * 2));
      std::copy(text.begin(), text.end(), block);
      block[text.size()] = 0;
      SetClipboardData(CF_UNICODETEXT, block);
      CloseClipboard();
      return 0;
    }
    return std::nullopt;
  };
  SetForegroundWindow(foreign);
  EXPECT_EQ(GetForegroundWindow(), foreign);
  EXPECT_TRUE(IsForeignWindow(foreign));
  EXPECT_EQ(FindWindowW(kClass, nullptr), nullptr);  // not one of ours
  SendMessageW(GetForegroundKeyboardTarget(), WM_COPY, 0, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE copy = GetClipboardDataAlloc(CF_UNICODETEXT);
  CloseClipboard();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::u16string(static_cast<WCHAR*>(copy)), u"你好");
  LocalFree(copy);
}

}  // namespace

namespace {

TEST_F(InputTest, AutomationFromAnotherThreadRunsOnTheUiThread) {
  HWND top = Top();
  HWND field = Child(top, 1001, 0, 0, 100, 40, WS_VISIBLE, kDblClass);
  DWORD uiThread = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::vector<DWORD> threads;
  std::vector<UINT> seen;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == field && (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_TIMER || msg == WM_CHAR)) {
      threads.push_back(GetCurrentThreadId());
      seen.push_back(msg);
    }
    return std::nullopt;
  };
  SetFocus(field);
  SetTimer(field, 37125, 500, nullptr);
  std::u16string text;
  AutoWindowState state{};
  std::thread driver([&] {
    AutoTapWindow(field, 5, 5);
    AutoAdvanceClock(100);
    AutoTapWindow(field, 5, 5);
    AutoAdvanceClock(400);
    AutoTypeText(u"x");
    AutoSendMessage(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"typed"));
    text = AutoGetWindowText(field);
    state = AutoGetWindowState(field);
    done = true;
    PostThreadMessageW(uiThread, WM_NULL, 0, 0);
  });
  MSG m;
  while (!done.load() && GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  driver.join();
  KillTimer(field, 37125);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_TIMER, WM_CHAR}));
  for (DWORD t : threads) EXPECT_EQ(t, uiThread);
  EXPECT_EQ(text, u"typed");
  EXPECT_TRUE(state.exists);
  EXPECT_TRUE(state.focused);
  EXPECT_TRUE(state.visible);
  EXPECT_EQ(AutoFindWindow(nullptr, kDblClass, 1001), field);
  EXPECT_EQ(AutoFindWindow(top, nullptr, 1001), field);
  EXPECT_EQ(AutoFindWindow(top, kClass, 1001), nullptr);
}

}  // namespace
