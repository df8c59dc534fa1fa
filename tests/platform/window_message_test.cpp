// Queues, sending (re-entrant and across threads), the engine lock rules,
// timers on the virtual clock and nested loops.
#include <atomic>
#include <thread>

#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

using MessageTest = WindowTest;

// Runs the calling thread's loop until `done` (checked after each message).
void LoopUntil(const std::atomic<bool>& done) {
  MSG m;
  while (!done.load()) {
    ASSERT_GT(GetMessageW(&m, nullptr, 0, 0), 0);
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

TEST_F(MessageTest, PostedMessagesKeepOrderAndQuitComesAfterThem) {
  HWND a = Top();
  HWND b = Top();
  PumpPendingMessages();
  PostQuitMessage(3);
  PostMessageW(a, WM_USER + 1, 1, 0);
  PostMessageW(b, WM_USER + 2, 2, 0);
  PostMessageW(a, WM_USER + 3, 3, 0);
  MSG m;
  // A window filter skips the others' messages, which stay queued.
  ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 2);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 1);
  std::vector<UINT> got;
  while (GetMessageW(&m, nullptr, 0, 0)) got.push_back(m.message);
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 3}));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, RangeFilterAndTranslateMessage) {
  HWND a = Top();
  PumpPendingMessages();
  PostMessageW(a, WM_USER, 0, 0);
  PostMessageW(a, WM_KEYDOWN, VK_RETURN, 1);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
  EXPECT_EQ(m.message, WM_KEYDOWN);
  EXPECT_TRUE(TranslateMessage(&m));
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_CHAR);  // goes before the rest of the queue
  EXPECT_EQ(m.wParam, 13u);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER);
  MSG letter{a, WM_KEYDOWN, 'A', 1, 0, {}};
  EXPECT_FALSE(TranslateMessage(&letter));  // letters come as WM_CHAR from the input source
}

TEST_F(MessageTest, SendIsReentrant) {
  HWND parent = Top();
  HWND child = Child(parent, 7, 0, 0, 10, 10);
  std::vector<std::string> trace;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
    if (hwnd == child && msg == WM_USER) {
      trace.push_back("child in");
      // The parent calls back into the control while handling its notification.
      NMHDR hdr{child, 7, 0x8301};
      LRESULT r = SendNotify(parent, &hdr);
      trace.push_back("child out");
      return r + 1;
    }
    if (hwnd == parent && msg == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (hdr->hwndFrom != child || hdr->code != 0x8301) return 0;
      trace.push_back("parent notify");
      LRESULT r = SendMessageW(child, WM_USER + 1, 0, 0);
      trace.push_back("parent out");
      return r * 10;
    }
    if (hwnd == child && msg == WM_USER + 1) {
      trace.push_back("child again");
      return 4;
    }
    return std::nullopt;
  };
  EXPECT_EQ(SendMessageW(child, WM_USER, 0, 0), 41);
  EXPECT_EQ(trace, (std::vector<std::string>{"child in", "parent notify", "child again", "parent out", "child out"}));
  auto notes = TheLog().Of(WM_NOTIFY, parent);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].wParam, 7u);
}

TEST_F(MessageTest, CrossThreadSendRunsOnOwnerAndNestedSendsBackWork) {
  HWND ui = Top();
  DWORD uiThread = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::atomic<DWORD> handledOn{0};
  std::atomic<HWND> workerWindow{nullptr};
  std::atomic<LRESULT> result{0};
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == ui && msg == WM_USER) {
      handledOn = GetCurrentThreadId();
      // Sends back to the worker, which is blocked in its own send.
      return SendMessageW(workerWindow.load(), WM_USER + 5, wParam, 0) + 1;
    }
    if (msg == WM_USER + 5) return static_cast<LRESULT>(wParam * 2);
    return std::nullopt;
  };
  std::thread worker([&] {
    workerWindow = CreateWindowExW(0, kClass, u"w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    result = SendMessageW(ui, WM_USER, 20, 0);
    DestroyWindow(workerWindow.load());
    done = true;
    PostThreadMessageW(uiThread, WM_NULL, 0, 0);
  });
  LoopUntil(done);
  worker.join();
  EXPECT_EQ(handledOn.load(), uiThread);
  EXPECT_EQ(result.load(), 41);
}

TEST_F(MessageTest, WorkerHoldingLockSendsSetTextToWindowInModalLoop) {
  HWND dialog = Top();
  DWORD uiThread = GetCurrentThreadId();
  engine_lock::Acquire();  // the UI thread holds the lock as the program's loop does
  std::atomic<bool> heldWhileHandling{false};
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == dialog && msg == WM_SETTEXT) heldWhileHandling = engine_lock::IsHeldByCurrentThread() != 0;
    return std::nullopt;
  };
  volatile BOOL finished = FALSE;
  std::atomic<DWORD> depthAfterSend{0};
  std::thread worker([&] {
    EngineLockGuard hold;  // an engine call reports progress
    EngineLockGuard again;
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Importing 50%"));
    depthAfterSend = engine_lock::Depth();
    PostThreadMessageW(uiThread, WM_USER + 41, 0, 0);  // "done": the dialog closes
  });
  EXPECT_TRUE(RunMessageLoopUntil(&finished, [&](MSG* m) {
    if (m->message == WM_USER + 41) finished = TRUE;
    return m->message == WM_USER + 41;
  }));
  worker.join();
  EXPECT_EQ(engine_lock::Depth(), 1u);
  engine_lock::Release();
  EXPECT_TRUE(heldWhileHandling.load());
  EXPECT_EQ(depthAfterSend.load(), 2u);
  EXPECT_EQ(AutoGetWindowText(dialog), u"Importing 50%");
}

DWORD WorkerNeedingLock(LPVOID param) {
  auto ui = static_cast<HWND>(param);
  EngineLockGuard hold;
  // Reports to the UI thread, which is inside WaitForSingleObject.
  return static_cast<DWORD>(SendMessageW(ui, WM_USER + 9, 0, 0));
}

TEST_F(MessageTest, UiThreadWaitingForWorkerReleasesLockAndHandlesSends) {
  HWND ui = Top();
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == ui && msg == WM_USER + 9) return engine_lock::IsHeldByCurrentThread() ? 77 : 1;
    return std::nullopt;
  };
  engine_lock::Acquire();
  engine_lock::Acquire();
  HANDLE thread = CreateThread(nullptr, 0, &WorkerNeedingLock, ui, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  EXPECT_EQ(code, 77u);
  EXPECT_EQ(engine_lock::Depth(), 2u);
  engine_lock::ReleaseAll();
}

TEST_F(MessageTest, WorkerModalLoopDoesNotKeepTheLock) {
  std::atomic<DWORD> workerThread{0};
  std::atomic<bool> inLoop{false};
  volatile BOOL finished = FALSE;
  std::atomic<DWORD> depthAfter{99};
  std::thread worker([&] {
    HWND own = CreateWindowExW(0, kClass, u"w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    workerThread = GetCurrentThreadId();
    EngineLockGuard hold;
    inLoop = true;
    RunMessageLoopUntil(&finished, [&](MSG* m) {
      if (m->message == WM_USER + 40) finished = TRUE;
      return m->message == WM_USER + 40;
    });
    depthAfter = engine_lock::Depth();
    DestroyWindow(own);
  });
  while (!inLoop.load()) std::this_thread::yield();
  // The worker waits in its loop: the lock is free for this thread.
  engine_lock::Acquire();
  EXPECT_EQ(engine_lock::Depth(), 1u);
  engine_lock::Release();
  PostThreadMessageW(workerThread.load(), WM_USER + 40, 0, 0);
  worker.join();
  EXPECT_EQ(depthAfter.load(), 1u);
}

TEST_F(MessageTest, NestedLoopEndsWhenASentMessageFinishesIt) {
  HWND dialog = Top();
  volatile BOOL finished = FALSE;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd == dialog && msg == WM_USER + 30) {
      finished = TRUE;  // as EndDialog from a handler
      return 1;
    }
    return std::nullopt;
  };
  PumpPendingMessages();
  // Only a send arrives: nothing is posted that would wake the loop.
  std::thread worker([&] { SendMessageW(dialog, WM_USER + 30, 0, 0); });
  EXPECT_TRUE(RunMessageLoopUntil(&finished));
  worker.join();
}

TEST_F(MessageTest, NestedLoopEndsOnQuitAndPassesItOn) {
  Top();
  volatile BOOL finished = FALSE;
  std::vector<UINT> filtered;
  PostThreadMessageW(GetCurrentThreadId(), WM_USER + 4, 0, 0);
  PostQuitMessage(5);
  EXPECT_FALSE(RunMessageLoopUntil(&finished, [&](MSG* m) {
    filtered.push_back(m->message);
    return true;
  }));
  EXPECT_NE(std::find(filtered.begin(), filtered.end(), WM_USER + 4), filtered.end());
  MSG m;
  EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), 0);
  EXPECT_EQ(m.wParam, 5u);
}

TEST_F(MessageTest, TimersFireInOrderOnTheVirtualClock) {
  HWND a = Top();
  PumpPendingMessages();
  DWORD start = GetTickCount();
  std::vector<std::pair<UINT_PTR, DWORD>> fired;
  TheHook() = [&](HWND, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (msg == WM_TIMER) fired.emplace_back(wParam, GetTickCount() - start);
    return std::nullopt;
  };
  ASSERT_EQ(SetTimer(a, 37124, 500, nullptr), 37124u);
  ASSERT_EQ(SetTimer(a, 2, 200, nullptr), 2u);
  AutoAdvanceClock(199);
  EXPECT_TRUE(fired.empty());
  AutoAdvanceClock(801);
  std::vector<std::pair<UINT_PTR, DWORD>> want{{2, 200}, {2, 400}, {37124, 500}, {2, 600},
                                               {2, 800}, {37124, 1000}, {2, 1000}};
  EXPECT_EQ(fired, want);
  // Restarting a timer moves its due time; a killed one stays quiet.
  fired.clear();
  KillTimer(a, 2);
  AutoAdvanceClock(300);
  SetTimer(a, 37124, 500, nullptr);
  AutoAdvanceClock(499);
  EXPECT_TRUE(fired.empty());
  AutoAdvanceClock(1);
  EXPECT_EQ(fired, (std::vector<std::pair<UINT_PTR, DWORD>>{{37124, 1800}}));
  EXPECT_TRUE(KillTimer(a, 37124));
  EXPECT_FALSE(KillTimer(a, 37124));
}

std::vector<UINT_PTR>* gProcTimers;
void TimerCallback(HWND, UINT msg, UINT_PTR id, DWORD) {
  if (msg == WM_TIMER) gProcTimers->push_back(id);
}

TEST_F(MessageTest, TimerProcsAndDestroyedWindowsTimers) {
  std::vector<UINT_PTR> calls;
  gProcTimers = &calls;
  HWND a = Top();
  UINT_PTR threadTimer = SetTimer(nullptr, 0, 100, &TimerCallback);
  ASSERT_NE(threadTimer, 0u);
  SetTimer(a, 9, 100, &TimerCallback);
  HWND b = Top();
  SetTimer(b, 3, 50, nullptr);
  DestroyWindow(b);  // its timer goes with it
  AutoAdvanceClock(100);
  std::sort(calls.begin(), calls.end());
  std::vector<UINT_PTR> want{9, threadTimer};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(calls, want);
  EXPECT_TRUE(TheLog().Of(WM_TIMER).empty());  // the procedures took them
  KillTimer(nullptr, threadTimer);
  gProcTimers = nullptr;
}

TEST_F(MessageTest, SendToWindowOfEndedThreadReturnsZero) {
  std::atomic<HWND> hwnd{nullptr};
  std::thread t([&] {
    hwnd = CreateWindowExW(0, kClass, u"w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  });
  t.join();
  // The thread's windows went with it.
  EXPECT_FALSE(IsWindow(hwnd.load()));
  EXPECT_EQ(SendMessageW(hwnd.load(), WM_USER, 0, 0), 0);
}

}  // namespace

namespace {

// How a message reached its procedure: sent on this thread, sent from
// another thread, posted and dispatched, and nested in each other.
TEST_F(MessageTest, IsMessageSentTellsSendsFromDispatchedMessages) {
  HWND a = Top();
  PumpPendingMessages();
  std::vector<std::pair<UINT, BOOL>> seen;
  TheHook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (hwnd != a || msg < WM_USER || msg > WM_USER + 9) return std::nullopt;
    seen.emplace_back(msg, IsMessageSent());
    // A send from inside a dispatched message, and the state after it.
    if (msg == WM_USER + 2) {
      SendMessageW(a, WM_USER + 3, 0, 0);
      seen.emplace_back(WM_USER + 4, IsMessageSent());
    }
    return 0;
  };
  EXPECT_FALSE(IsMessageSent());
  SendMessageW(a, WM_USER + 1, 0, 0);
  PostMessageW(a, WM_USER + 2, 0, 0);
  PumpPendingMessages();
  std::atomic<bool> done{false};
  const DWORD uiThread = GetCurrentThreadId();
  std::thread worker([&] {
    SendMessageW(a, WM_USER + 5, 0, 0);
    done = true;
    PostThreadMessageW(uiThread, WM_NULL, 0, 0);
  });
  LoopUntil(done);
  worker.join();
  EXPECT_FALSE(IsMessageSent());
  const std::vector<std::pair<UINT, BOOL>> expected = {
      {WM_USER + 1, TRUE}, {WM_USER + 2, FALSE}, {WM_USER + 3, TRUE}, {WM_USER + 4, FALSE}, {WM_USER + 5, TRUE}};
  EXPECT_EQ(seen, expected);
}

}  // namespace
