// Modal and modeless dialogs from templates: nesting, EndDialog values and
// deferred destruction, WM_INITDIALOG, the owner's state, worker threads and
// the engine lock, keyboard navigation and the item helpers.
#include <atomic>
#include <thread>

#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

const DialogItemTemplate kOuterItems[] = {
    {101, u"BUTTON", u"Open", WS_TABSTOP | WS_VISIBLE | BS_PUSHBUTTON, 0, 4, 4, 50, 14},
    {102, u"EDIT", u"12", WS_TABSTOP | WS_VISIBLE | WS_BORDER, 0, 4, 24, 50, 12},
};
const DialogTemplate kOuter{5001, u"Outer", WS_POPUP | WS_CAPTION, 0, 10, 10, 120, 80, kOuterItems, 2};
const DialogItemTemplate kInnerItems[] = {
    {IDOK, u"BUTTON", u"OK", WS_TABSTOP | WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 4, 4, 40, 14},
};
const DialogTemplate kInner{5002, u"Inner", WS_POPUP | WS_CAPTION | DS_CENTER, 0, 0, 0, 80, 40, kInnerItems, 1};

struct Trace {
  HWND outer = nullptr;
  INT_PTR innerResult = 0;
  bool outerDisabledInside = false;
  bool outerEnabledAfter = false;
  bool outerActiveAfter = false;
  bool innerAliveAfterEnd = false;
  bool outerAliveAfterEnd = false;
  LPARAM initParam = 0;
  int initFocusId = 0;
};
Trace g;

INT_PTR InnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
    g.outerDisabledInside = !IsWindowEnabled(g.outer);
    EndDialog(hwnd, 0x830A);
    g.innerAliveAfterEnd = IsWindow(hwnd) != FALSE;
    return TRUE;
  }
  return FALSE;
}

INT_PTR OuterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    g.outer = hwnd;
    g.initParam = lParam;
    g.initFocusId = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(101, BN_CLICKED), 0);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == 101) {
    g.innerResult = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5002), hwnd, &InnerProc, 0);
    g.outerEnabledAfter = IsWindowEnabled(hwnd) != FALSE;
    g.outerActiveAfter = GetActiveWindow() == hwnd;
    BOOL ok = FALSE;
    UINT n = GetDlgItemInt(hwnd, 102, &ok, TRUE);
    EndDialog(hwnd, ok ? static_cast<INT_PTR>(n) * 1000 + g.innerResult : -5);
    g.outerAliveAfterEnd = IsWindow(hwnd) != FALSE;
    return TRUE;
  }
  return FALSE;
}

using DialogModalTest = DialogTest;

TEST_F(DialogModalTest, NestedModalDialogsEndWithTheirValuesAndDieAfterTheHandler) {
  RegisterDialogTemplate(&kOuter);
  RegisterDialogTemplate(&kInner);
  g = Trace{};
  INT_PTR r = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5001), nullptr, &OuterProc, 77);
  EXPECT_EQ(r, 12 * 1000 + 0x830A);
  EXPECT_EQ(g.innerResult, 0x830A);
  EXPECT_EQ(g.initParam, 77);
  EXPECT_EQ(g.initFocusId, 101);
  EXPECT_TRUE(g.outerDisabledInside);
  EXPECT_TRUE(g.outerEnabledAfter);
  EXPECT_TRUE(g.outerActiveAfter);
  EXPECT_TRUE(g.innerAliveAfterEnd);
  EXPECT_TRUE(g.outerAliveAfterEnd);
  EXPECT_FALSE(IsWindow(g.outer));
}

TEST_F(DialogModalTest, MissingTemplateOrFailingControlReturnsMinusOne) {
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5999), nullptr, &RecordingDlgProc, 0), -1);
  const DialogItemTemplate bad[] = {{1, u"NoSuchClass", u"", WS_VISIBLE, 0, 0, 0, 10, 10}};
  DialogTemplate t{5998, u"Bad", WS_POPUP, 0, 0, 0, 50, 50, bad, 1};
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &t, nullptr, &RecordingDlgProc, 0), -1);
  EXPECT_EQ(CreateDialogIndirectParamW(nullptr, &t, nullptr, &RecordingDlgProc, 0), nullptr);
}

TEST_F(DialogModalTest, HookAfterInitDialogDrivesControlsAndEnds) {
  RegisterDialogTemplate(&kOuter);
  std::u16string seen;
  int hook = AutoHookDialog(5001, [&](HWND d) {
    seen = AutoGetWindowText(GetDlgItem(d, 102));
    SetDlgItemTextW(d, 102, u"-42");
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(d, 102, &ok, TRUE)), -42);
    EXPECT_TRUE(ok);
    EndDialog(d, 16);
  });
  TheDlgHook() = [](HWND, UINT msg, WPARAM, LPARAM, INT_PTR* r) {
    if (msg != WM_INITDIALOG) return false;
    *r = TRUE;
    return true;
  };
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5001), nullptr, &RecordingDlgProc, 0), 16);
  EXPECT_EQ(seen, u"12");
  AutoUnhookDialog(hook);
}

TEST_F(DialogModalTest, DestroyedModalDialogEndsItsLoopAndEndDialogKeepsTheFirstValue) {
  RegisterDialogTemplate(&kInner);
  int hook = AutoHookDialog(5002, [](HWND d) { DestroyWindow(d); });
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5002), nullptr, &RecordingDlgProc, 0), 0);
  AutoUnhookDialog(hook);
  hook = AutoHookDialog(5002, [](HWND d) {
    EXPECT_TRUE(EndDialog(d, 3));
    EXPECT_TRUE(EndDialog(d, 4));
  });
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5002), nullptr, &RecordingDlgProc, 0), 3);
  AutoUnhookDialog(hook);
  // EndDialog inside WM_INITDIALOG: the dialog never runs its loop.
  TheDlgHook() = [](HWND d, UINT msg, WPARAM, LPARAM, INT_PTR*) {
    if (msg == WM_INITDIALOG) EndDialog(d, 0x830A);
    return false;
  };
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5002), nullptr, &RecordingDlgProc, 0), 0x830A);
  // WM_CLOSE by default asks for IDCANCEL.
  TheDlgHook() = [](HWND d, UINT msg, WPARAM wParam, LPARAM, INT_PTR*) {
    if (msg == WM_INITDIALOG) PostMessageW(d, WM_CLOSE, 0, 0);
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(d, -1);
    return false;
  };
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5002), nullptr, &RecordingDlgProc, 0), -1);
  EXPECT_EQ(Codes(IDCANCEL), std::vector<int>{0});
}

TEST_F(DialogModalTest, ModalDialogOnWorkerThreadEndedFromTheUiThread) {
  RegisterDialogTemplate(&kInner);
  HWND main = CreateWindowExW(0, u"STATIC", u"main", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  std::atomic<INT_PTR> result{0};
  std::atomic<bool> done{false};
  std::atomic<DWORD> depthAfter{99};
  std::thread worker([&] {
    engine_lock::Acquire();
    result = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(5002), main, &RecordingDlgProc, 0);
    depthAfter = engine_lock::Depth();
    engine_lock::Release();
    done = true;
  });
  HWND d = AutoWaitForDialog(5002, 5000);
  ASSERT_NE(d, nullptr);
  // The worker's loop waits without the engine lock; the owner (another thread's window) stays enabled.
  bool took = false;
  for (int i = 0; i < 500 && !took; ++i) {
    took = engine_lock::TryAcquire() != FALSE;
    if (!took) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(took);
  if (took) engine_lock::Release();
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_NE(GetWindowThreadProcessId(d, nullptr), GetCurrentThreadId());
  EXPECT_TRUE(EndDialog(d, 4054));
  while (!done) {
    PumpPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  EXPECT_EQ(result.load(), 4054);
  EXPECT_EQ(depthAfter.load(), 1u);
  EXPECT_FALSE(IsWindow(d));
}

TEST_F(DialogModalTest, ModelessDialogRunsInitAndStaysUntilDestroyed) {
  HWND d = Modeless({{201, u"EDIT", u"abc", WS_TABSTOP, 0, 4, 4, 60, 12}});
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(IsWindowVisible(d));
  EXPECT_EQ(GetDialogTemplateId(d), 7000);
  EXPECT_FALSE(EndDialog(d, 1));  // not modal
  WCHAR buf[16];
  EXPECT_EQ(GetDlgItemTextW(d, 201, buf, 16), 3u);
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(GetFocus(), GetDlgItem(d, 201));
  EXPECT_TRUE(DestroyWindow(d));
  EXPECT_FALSE(IsWindow(d));
}

TEST_F(DialogModalTest, DialogUnitsFollowTheBaseUnits) {
  LONG base = GetDialogBaseUnits();
  EXPECT_EQ(LOWORD(base), 12);  // 6 x 13 at 96 dpi, doubled at 192 dpi
  EXPECT_EQ(HIWORD(base), 26);
  RECT r{4, 8, 160, 112};
  ASSERT_TRUE(MapDialogRect(nullptr, &r));
  EXPECT_EQ(r.left, 12);
  EXPECT_EQ(r.top, 26);
  EXPECT_EQ(r.right, 480);
  EXPECT_EQ(r.bottom, 364);
  HWND d = Modeless({{201, u"STATIC", u"x", 0, 0, 10, 20, 40, 16}}, 7000, 160, 112);
  RECT c;
  GetClientRect(d, &c);
  EXPECT_EQ(c.right, 480);
  EXPECT_EQ(c.bottom, 364);
  RECT s;
  GetWindowRect(GetDlgItem(d, 201), &s);
  EXPECT_EQ(s.right - s.left, 120);
  EXPECT_EQ(s.bottom - s.top, 52);
}

TEST_F(DialogModalTest, KeyboardNavigationHonoursDlgCodes) {
  HWND d = Modeless({
      {301, u"EDIT", u"one", WS_TABSTOP | WS_GROUP, 0, 4, 4, 60, 12},
      {302, u"BUTTON", u"A", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 4, 20, 60, 12},
      {303, u"BUTTON", u"B", BS_AUTORADIOBUTTON, 0, 4, 34, 60, 12},
      {304, u"EDIT", u"multi", WS_TABSTOP | WS_GROUP | ES_MULTILINE | ES_WANTRETURN, 0, 4, 48, 60, 30},
      {IDOK, u"BUTTON", u"OK", WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0, 4, 90, 40, 14},
  });
  auto key = [&](UINT vk) {
    MSG m{GetFocus(), WM_KEYDOWN, vk, 1, 0, {}};
    return IsDialogMessageW(d, &m);
  };
  EXPECT_EQ(GetFocus(), GetDlgItem(d, 301));
  EXPECT_TRUE(key(VK_TAB));
  EXPECT_EQ(GetFocus(), GetDlgItem(d, 302));
  // Arrows move within the group and click auto radio buttons.
  EXPECT_TRUE(key(VK_DOWN));
  EXPECT_EQ(GetFocus(), GetDlgItem(d, 303));
  EXPECT_EQ(IsDlgButtonChecked(d, 303), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(d, 302), BST_UNCHECKED);
  EXPECT_TRUE(key(VK_TAB));
  EXPECT_EQ(GetFocus(), GetDlgItem(d, 304));
  // The multi-line edit with ES_WANTRETURN takes Enter itself.
  Events().clear();
  EXPECT_TRUE(key(VK_RETURN));
  PumpPendingMessages();
  EXPECT_TRUE(Codes(IDOK).empty());
  // Elsewhere Enter presses the default button, Escape sends IDCANCEL.
  SetFocus(GetDlgItem(d, 301));
  Events().clear();
  EXPECT_TRUE(key(VK_RETURN));
  EXPECT_TRUE(key(VK_ESCAPE));
  ASSERT_EQ(Events().size() >= 2, true);
  std::vector<int> ids;
  for (const Event& e : Events())
    if (e.id == IDOK || e.id == IDCANCEL) ids.push_back(e.id);
  EXPECT_EQ(ids, (std::vector<int>{IDOK, IDCANCEL}));
  // Shift+Tab goes back and wraps.
  SetFocus(GetDlgItem(d, 301));
  AutoKeyDown(VK_SHIFT);
  EXPECT_TRUE(key(VK_TAB));
  AutoKeyUp(VK_SHIFT);
  EXPECT_EQ(GetFocus(), GetDlgItem(d, IDOK));
  // Messages of other windows are not the dialog's.
  HWND other = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  MSG m{other, WM_KEYDOWN, VK_TAB, 1, 0, {}};
  EXPECT_FALSE(IsDialogMessageW(d, &m));
}

TEST_F(DialogModalTest, ItemHelpersCheckButtonsAndNumbers) {
  HWND d = Modeless({
      {401, u"BUTTON", u"c", BS_AUTOCHECKBOX, 0, 4, 4, 60, 12},
      {402, u"BUTTON", u"r1", BS_RADIOBUTTON | WS_GROUP, 0, 4, 20, 60, 12},
      {403, u"BUTTON", u"r2", BS_RADIOBUTTON, 0, 4, 34, 60, 12},
      {404, u"EDIT", u"", 0, 0, 4, 48, 60, 12},
  });
  EXPECT_TRUE(CheckDlgButton(d, 401, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(d, 401), BST_CHECKED);
  EXPECT_EQ(SendDlgItemMessageW(d, 401, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(CheckRadioButton(d, 402, 403, 403));
  EXPECT_EQ(IsDlgButtonChecked(d, 402), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(d, 403), BST_CHECKED);
  EXPECT_FALSE(CheckDlgButton(d, 999, 1));
  EXPECT_EQ(IsDlgButtonChecked(d, 999), 0u);
  struct Case {
    const char16_t* text;
    BOOL isSigned;
    UINT value;
    BOOL ok;
  };
  const Case cases[] = {
      {u"  17 ", FALSE, 17, TRUE},     {u"-5", TRUE, static_cast<UINT>(-5), TRUE}, {u"-5", FALSE, 0, FALSE},
      {u"", TRUE, 0, FALSE},           {u"12x", TRUE, 0, FALSE},                   {u"4294967295", FALSE, 4294967295u, TRUE},
      {u"4294967296", FALSE, 0, FALSE}, {u"2147483648", TRUE, 0, FALSE},
  };
  for (const Case& c : cases) {
    SetDlgItemTextW(d, 404, c.text);
    BOOL ok = 2;
    EXPECT_EQ(GetDlgItemInt(d, 404, &ok, c.isSigned), c.value) << static_cast<int>(c.text[0]);
    EXPECT_EQ(ok, c.ok);
  }
  EXPECT_TRUE(SetDlgItemInt(d, 404, static_cast<UINT>(-12), TRUE));
  EXPECT_EQ(AutoGetWindowText(GetDlgItem(d, 404)), u"-12");
  EXPECT_TRUE(SetDlgItemInt(d, 404, 4000000000u, FALSE));
  EXPECT_EQ(AutoGetWindowText(GetDlgItem(d, 404)), u"4000000000");
}

}  // namespace
