// Message boxes: buttons and results by style, scripted answers with text
// and caption checks, boxes on worker threads while the UI thread pumps,
// and the engine lock around their loop.
#include <atomic>
#include <thread>

#include "tests/platform/dialog_test_util.h"

using namespace dlgtest;

namespace {

using MessageBoxTest = DialogTest;

std::vector<int> ButtonIds(HWND box) {
  std::vector<int> ids;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    WCHAR cls[16];
    GetClassNameW(c, cls, 16);
    if (std::u16string(cls) == u"BUTTON") ids.push_back(GetDlgCtrlID(c));
  }
  return ids;
}

TEST_F(MessageBoxTest, StylesGiveTheirButtonsAndDefaults) {
  struct Case {
    UINT type;
    std::vector<int> buttons;
    int defaultId;
    UINT escapeKey;
    int escapeResult;  // 0: Escape does nothing
  };
  const Case cases[] = {
      {MB_OK, {IDOK}, IDOK, VK_ESCAPE, IDOK},
      {MB_OKCANCEL | MB_ICONHAND, {IDOK, IDCANCEL}, IDOK, VK_ESCAPE, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, {IDYES, IDNO}, IDYES, VK_ESCAPE, 0},
      {MB_YESNO | MB_DEFBUTTON2, {IDYES, IDNO}, IDNO, VK_ESCAPE, 0},
      {MB_YESNOCANCEL | MB_ICONQUESTION, {IDYES, IDNO, IDCANCEL}, IDYES, VK_ESCAPE, IDCANCEL},
  };
  for (const Case& c : cases) {
    std::vector<int> seen;
    int focused = 0;
    int hook = AutoHookDialog(-1, [&](HWND box) {
      seen = ButtonIds(box);
      focused = GetDlgCtrlID(GetFocus());
      MSG m{GetFocus(), WM_KEYDOWN, c.escapeKey, 1, 0, {}};
      IsDialogMessageW(box, &m);
      // Enter presses the default button.
      MSG enter{GetFocus(), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
      IsDialogMessageW(box, &enter);
    });
    int r = MessageBoxW(nullptr, u"Text", u"Caption", c.type);
    AutoUnhookDialog(hook);
    EXPECT_EQ(seen, c.buttons) << c.type;
    EXPECT_EQ(focused, c.defaultId) << c.type;
    EXPECT_EQ(r, c.escapeResult ? c.escapeResult : c.defaultId) << c.type;
  }
  auto log = AutoMessageBoxLog();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3].type, static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
  EXPECT_FALSE(log[0].scripted);
}

TEST_F(MessageBoxTest, ScriptAnswersAndChecksTextAndCaption) {
  AutoExpectMessageBox(u"Undo import of 3 cards?", u"Undo Import", IDYES);
  AutoExpectMessageBox(u"Save Failed text", u"Save Failed", IDCANCEL);
  HWND owner = CreateWindowExW(0, u"STATIC", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  int hook = AutoHookDialog(-1, [&](HWND box) {
    EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
    EXPECT_TRUE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
    PostMessageW(owner, WM_NULL, 0, 0);
  });
  TheDlgHook() = nullptr;
  EXPECT_EQ(MessageBoxW(owner, u"Undo import of 3 cards?", u"Undo Import", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST), IDYES);
  AutoUnhookDialog(hook);
  EXPECT_EQ(MessageBoxW(owner, u"Save Failed text", u"Save Failed", MB_OKCANCEL | MB_ICONHAND), IDCANCEL);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_TRUE(AutoScriptFailures().empty());
  // A mismatch is reported and the box is still answered.
  AutoExpectMessageBox(u"Expected", u"Cap", IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"Other", u"Cap", MB_OK), IDOK);
  auto failures = AutoScriptFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("Other"), std::string::npos);
  AutoResetDialogScripts();
  // An entry never used is reported too.
  AutoExpectMessageBox(u"Never", u"Shown", IDOK);
  EXPECT_EQ(AutoScriptFailures().size(), 1u);
  AutoResetDialogScripts();
}

TEST_F(MessageBoxTest, WorkerBoxAnsweredByScriptWhileUiThreadPumps) {
  HWND main = CreateWindowExW(0, u"STATIC", u"main", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  AutoExpectMessageBox(u"The file could not be read.", u"Import Failed", IDOK);
  std::atomic<int> result{-1};
  std::atomic<bool> done{false};
  std::atomic<DWORD> boxThread{0};
  int hook = AutoHookDialog(-1, [&](HWND box) {
    boxThread = GetWindowThreadProcessId(box, nullptr);
    // The UI thread keeps handling what the worker sends it meanwhile.
    SetWindowTextW(main, u"from worker");
  });
  std::thread worker([&] {
    result = MessageBoxW(main, u"The file could not be read.", u"Import Failed", MB_OK | MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST);
    done = true;
  });
  int pumped = 0;
  for (int i = 0; i < 5000 && !done; ++i) {
    PostMessageW(main, WM_NULL, 0, 0);
    pumped += PumpPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  AutoUnhookDialog(hook);
  EXPECT_EQ(result.load(), IDOK);
  EXPECT_GT(pumped, 0);
  EXPECT_NE(boxThread.load(), GetCurrentThreadId());
  EXPECT_EQ(AutoGetWindowText(main), u"from worker");
  ASSERT_EQ(AutoMessageBoxLog().size(), 1u);
  EXPECT_TRUE(AutoMessageBoxLog()[0].scripted);
}

TEST_F(MessageBoxTest, WorkerHoldingTheEngineLockLetsGoWhileItsBoxWaits) {
  std::atomic<int> result{-1};
  std::atomic<DWORD> depthAfter{99};
  std::thread worker([&] {
    engine_lock::Acquire();
    engine_lock::Acquire();
    result = MessageBoxW(nullptr, u"Upgrade Database?", u"Sorvi", MB_YESNO | MB_ICONQUESTION);
    depthAfter = engine_lock::Depth();
    engine_lock::Release();
    engine_lock::Release();
  });
  HWND box = AutoWaitForMessageBox(5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(AutoGetWindowText(box), u"Sorvi");
  bool took = false;
  for (int i = 0; i < 1000 && !took; ++i) {
    took = engine_lock::TryAcquire() != FALSE;
    if (!took) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(took);
  if (took) engine_lock::Release();
  EXPECT_TRUE(AutoAnswerMessageBox(box, IDNO));
  worker.join();
  EXPECT_EQ(result.load(), IDNO);
  EXPECT_EQ(depthAfter.load(), 2u);
  EXPECT_FALSE(AutoAnswerMessageBox(box, IDNO));  // gone
}

TEST_F(MessageBoxTest, BoxIsDrawnWithItsText) {
  std::vector<std::uint32_t> pixels;
  int w = 0, h = 0;
  int hook = AutoHookDialog(-1, [&](HWND box) {
    ShowWindow(box, SW_SHOW);
    ASSERT_TRUE(AutoCaptureWindow(box, &pixels, &w, &h));
    EndDialog(box, IDOK);
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"Some text to draw", u"Cap", MB_OK | MB_ICONINFORMATION), IDOK);
  AutoUnhookDialog(hook);
  ASSERT_GT(w * h, 0);
  int dark = 0, blue = 0;
  for (std::uint32_t p : pixels) {
    dark += (p & 0xFFFFFF) < 0x404040;
    blue += p == 0x0050C8;
  }
  EXPECT_GT(dark, 50);  // text and frames
  EXPECT_GT(blue, 100);  // the information icon
}

}  // namespace
