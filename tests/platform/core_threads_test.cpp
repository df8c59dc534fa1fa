#include <atomic>
#include <thread>

#include "core_fixture.h"

namespace {

DWORD ReturnParameter(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p)); }

struct Gate {
  HANDLE go;
  std::atomic<DWORD> threadId{0};
};

DWORD WaitForGate(LPVOID p) {
  auto* gate = static_cast<Gate*>(p);
  gate->threadId = GetCurrentThreadId();
  return WaitForSingleObject(gate->go, INFINITE) == WAIT_OBJECT_0 ? 7 : 8;
}

TEST(Threads, ThreadsRunAndReportTheirExitCode) {
  Gate gate;
  gate.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(gate.go, nullptr);
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, WaitForGate, &gate, 0, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
  EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_BELOW_NORMAL));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(t, 10), WAIT_TIMEOUT);
  SetEvent(gate.go);
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(gate.threadId.load(), id);  // the id handed out is the thread's own
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 7u);
  // A finished thread stays signalled.
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(t));
  EXPECT_TRUE(CloseHandle(gate.go));

  HANDLE quick = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(quick, INFINITE), WAIT_OBJECT_0);
  GetExitCodeThread(quick, &code);
  EXPECT_EQ(code, 42u);
  CloseHandle(quick);
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Threads, ManualAndAutoResetEvents) {
  HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manual, 15), WAIT_TIMEOUT);

  HANDLE autoReset = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT);
  SetEvent(autoReset);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT);  // consumed

  // An auto-reset event set once releases exactly one of two waiters.
  std::atomic<int> released{0};
  auto waiter = [&] {
    if (WaitForSingleObject(autoReset, 300) == WAIT_OBJECT_0) ++released;
  };
  std::thread a(waiter), b(waiter);
  SetEvent(autoReset);
  a.join();
  b.join();
  EXPECT_EQ(released.load(), 1);

  // A wait is woken by a set from another thread.
  std::thread setter([&] {
    Sleep(20);
    SetEvent(manual);
  });
  EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
  setter.join();

  CloseHandle(manual);
  CloseHandle(autoReset);
  for (HANDLE bad : {manual, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(bad));
  }
}

TEST(Threads, CriticalSectionsAreRecursive) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  auto tryFromOtherThread = [&] {
    BOOL got = FALSE;
    std::thread t([&] {
      got = TryEnterCriticalSection(&cs);
      if (got) LeaveCriticalSection(&cs);
    });
    t.join();
    return got;
  };
  EXPECT_FALSE(tryFromOtherThread());
  LeaveCriticalSection(&cs);
  EXPECT_FALSE(tryFromOtherThread());
  LeaveCriticalSection(&cs);
  EXPECT_TRUE(tryFromOtherThread());
  DeleteCriticalSection(&cs);

  LONG volatile counter = 0;
  std::thread t1([&] {
    for (int i = 0; i < 10000; ++i) InterlockedIncrement(&counter);
  });
  for (int i = 0; i < 10000; ++i) InterlockedDecrement(&counter);
  t1.join();
  EXPECT_EQ(counter, 0);
  EXPECT_EQ(InterlockedCompareExchange(&counter, 5, 0), 0);
  EXPECT_EQ(InterlockedExchange(&counter, 9), 5);
}

// Whether another thread can take the engine lock right now.
bool OtherThreadCanTakeEngineLock() {
  BOOL got = FALSE;
  std::thread t([&] {
    got = engine_lock::TryAcquire();
    if (got) engine_lock::Release();
  });
  t.join();
  return got;
}

TEST(EngineLock, DepthReleaseAllAndReacquire) {
  EXPECT_FALSE(engine_lock::IsHeldByCurrentThread());
  EXPECT_EQ(engine_lock::ReleaseAll(), 0u);
  {
    EngineLockGuard outer;
    EngineLockGuard inner;
    engine_lock::Acquire();
    EXPECT_EQ(engine_lock::Depth(), 3u);
    EXPECT_FALSE(OtherThreadCanTakeEngineLock());
    engine_lock::Release();
    EXPECT_FALSE(OtherThreadCanTakeEngineLock());  // two levels still held
    const DWORD depth = engine_lock::ReleaseAll();
    EXPECT_EQ(depth, 2u);
    EXPECT_EQ(engine_lock::Depth(), 0u);
    EXPECT_TRUE(OtherThreadCanTakeEngineLock());
    engine_lock::Reacquire(depth);
    EXPECT_EQ(engine_lock::Depth(), 2u);
    {
      EngineLockReleaser released;
      EXPECT_EQ(released.depth, 2u);
      EXPECT_TRUE(OtherThreadCanTakeEngineLock());
    }
    EXPECT_EQ(engine_lock::Depth(), 2u);
    // Another thread's release must not free our hold.
    std::thread([] { engine_lock::Release(); }).join();
    EXPECT_EQ(engine_lock::Depth(), 2u);
  }
  EXPECT_FALSE(engine_lock::IsHeldByCurrentThread());
  EXPECT_TRUE(OtherThreadCanTakeEngineLock());
}

TEST(EngineLock, BlockedThreadRunsOnceEveryLevelIsReleased) {
  std::atomic<bool> entered{false};
  engine_lock::Acquire();
  engine_lock::Acquire();
  std::thread worker([&] {
    EngineLockGuard guard;
    entered = true;
  });
  Sleep(20);
  EXPECT_FALSE(entered.load());
  engine_lock::Release();
  Sleep(20);
  EXPECT_FALSE(entered.load());
  engine_lock::Release();
  worker.join();
  EXPECT_TRUE(entered.load());
}

DWORD WorkerNeedingTheLock(LPVOID p) {
  EngineLockGuard guard;
  *static_cast<std::atomic<int>*>(p) = engine_lock::Depth();
  return 0;
}

TEST(EngineLock, WaitingLetsGoOfTheLockAndTakesItBack) {
  std::atomic<int> workerDepth{0};
  EngineLockGuard a;
  EngineLockGuard b;
  HANDLE worker = CreateThread(nullptr, 0, WorkerNeedingTheLock, &workerDepth, 0, nullptr);
  // Without the release inside the wait this would time out.
  EXPECT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(workerDepth.load(), 1);
  EXPECT_EQ(engine_lock::Depth(), 2u);
  CloseHandle(worker);
}

struct PumpState {
  std::atomic<int> calls{0};
  std::atomic<int> depthSeen{-1};
  HANDLE handled;
};

BOOL CountingPump(void* context) {
  auto* s = static_cast<PumpState*>(context);
  s->depthSeen = static_cast<int>(engine_lock::Depth());
  ++s->calls;
  SetEvent(s->handled);
  return TRUE;
}

struct SenderArgs {
  DWORD uiThread;
  PumpState* state;
};

// Stands for a worker that sends a message to the UI thread and needs the
// answer before it can finish.
DWORD Sender(LPVOID p) {
  auto* args = static_cast<SenderArgs*>(p);
  const int before = args->state->calls;
  while (args->state->calls == before) {
    WakeThreadWait(args->uiThread);
    WaitForSingleObject(args->state->handled, 1000);
  }
  EngineLockGuard guard;  // and it needs the engine too
  return 0;
}

// Runs on a thread of its own: the pump is per thread, and the test must not
// replace a pump that another module installed on the main thread.
void PumpScenario() {
  PumpState state;
  state.handled = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  SetThreadWaitPump(CountingPump, &state);
  EngineLockGuard guard;
  SenderArgs args{GetCurrentThreadId(), &state};
  // The pump runs once at the start of each wait.
  HANDLE idle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(idle, 1), WAIT_TIMEOUT);
  EXPECT_EQ(state.calls.load(), 1);
  EXPECT_EQ(state.depthSeen.load(), 1);

  HANDLE sender = CreateThread(nullptr, 0, Sender, &args, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(sender, 5000), WAIT_OBJECT_0);
  EXPECT_GE(state.calls.load(), 2);
  EXPECT_EQ(state.depthSeen.load(), 1);
  EXPECT_EQ(engine_lock::Depth(), 1u);
  SetThreadWaitPump(nullptr, nullptr);
  CloseHandle(sender);
  CloseHandle(idle);
  CloseHandle(state.handled);
}

TEST(EngineLock, WaitPumpRunsWithTheWaitersLockWhenWoken) {
  std::thread ui(PumpScenario);
  ui.join();
  EXPECT_FALSE(WakeThreadWait(0xFFFFFFF0u));
}

}  // namespace
