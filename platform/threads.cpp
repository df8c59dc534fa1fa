#include "platform/threads.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/engine_lock.h"
#include "platform/errors.h"
#include "platform/kernel_objects.h"

namespace {

// What a thread needs to be woken while it waits: by a signalled object or
// by WakeThreadWait.
struct ThreadWaitState {
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;          // something happened since the thread last looked
  bool pumpRequested = false;  // WakeThreadWait asked for the pump
  BOOL (*pump)(void*) = nullptr;
  void* pumpContext = nullptr;
};

struct ThreadDirectory {
  std::mutex mutex;
  std::map<DWORD, std::shared_ptr<ThreadWaitState>> threads;
};

ThreadDirectory& Directory() {
  static ThreadDirectory* d = new ThreadDirectory;
  return *d;
}

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

// Removes the thread from the directory when it ends.
struct ThreadRegistration {
  std::shared_ptr<ThreadWaitState> state;
  DWORD id = 0;
  ~ThreadRegistration() {
    if (!id) return;
    ThreadDirectory& d = Directory();
    std::lock_guard lock(d.mutex);
    d.threads.erase(id);
  }
};
thread_local ThreadRegistration t_registration;

ThreadWaitState& Self() {
  if (!t_registration.state) {
    if (!t_threadId) t_threadId = g_nextThreadId++;
    t_registration.state = std::make_shared<ThreadWaitState>();
    t_registration.id = t_threadId;
    ThreadDirectory& d = Directory();
    std::lock_guard lock(d.mutex);
    d.threads[t_threadId] = t_registration.state;
  }
  return *t_registration.state;
}

void Wake(ThreadWaitState& w, bool pump) {
  std::lock_guard lock(w.mutex);
  w.woken = true;
  if (pump) w.pumpRequested = true;
  w.cv.notify_all();
}

struct Waitable : KernelObject {
  explicit Waitable(KernelKind k) : KernelObject(k) {}
  std::mutex mutex;
  bool signaled = false;
  bool manualReset = true;
  std::vector<std::shared_ptr<ThreadWaitState>> waiters;
};

struct ThreadObject : Waitable {
  ThreadObject() : Waitable(KernelKind::Thread) {}
  DWORD id = 0;
  std::atomic<DWORD> exitCode{STILL_ACTIVE};
};

struct EventObject : Waitable {
  EventObject() : Waitable(KernelKind::Event) {}
};

void Signal(Waitable& w) {
  std::lock_guard lock(w.mutex);
  w.signaled = true;
  for (auto& waiter : w.waiters) Wake(*waiter, false);
}

std::shared_ptr<Waitable> GetWaitable(HANDLE h) {
  KernelKind kind;
  if (!KernelHandleKind(h, &kind) || (kind != KernelKind::Thread && kind != KernelKind::Event)) return nullptr;
  return std::static_pointer_cast<Waitable>(KernelHandleGet(h, kind));
}

std::shared_ptr<EventObject> GetEvent(HANDLE h) {
  return std::static_pointer_cast<EventObject>(KernelHandleGet(h, KernelKind::Event));
}

// Takes the signal if it is there (an auto-reset event is consumed).
bool TakeSignal(Waitable& w) {
  std::lock_guard lock(w.mutex);
  if (!w.signaled) return false;
  if (!w.manualReset) w.signaled = false;
  return true;
}

struct CriticalSectionImpl {
  std::recursive_mutex mutex;
};

const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    DWORD* threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>();
  thread->id = g_nextThreadId++;
  HANDLE h = KernelHandleCreate(thread);
  if (!h) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = thread->id;
  std::thread([thread, start, parameter] {
    t_threadId = thread->id;
    Self();
    const DWORD code = start(parameter);
    thread->exitCode = code;
    Signal(*thread);
  }).detach();
  return h;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  auto t = std::static_pointer_cast<ThreadObject>(KernelHandleGet(thread, KernelKind::Thread));
  if (!t || !exitCode) {
    SetLastError(t ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = t->exitCode.load();
  return TRUE;
}

BOOL SetThreadPriority(HANDLE thread, int) {
  if (thread != kCurrentThreadPseudo && !KernelHandleGet(thread, KernelKind::Thread)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

int GetThreadPriority(HANDLE) { return THREAD_PRIORITY_NORMAL; }

HANDLE GetCurrentThread() { return kCurrentThreadPseudo; }

DWORD GetCurrentThreadId() {
  Self();
  return t_threadId;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR) {
  auto event = std::make_shared<EventObject>();
  event->manualReset = manualReset != FALSE;
  event->signaled = initialState != FALSE;
  HANDLE h = KernelHandleCreate(event);
  if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  else SetLastError(ERROR_SUCCESS);
  return h;
}

BOOL SetEvent(HANDLE event) {
  auto e = GetEvent(event);
  if (!e) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Signal(*e);
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  auto e = GetEvent(event);
  if (!e) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(e->mutex);
  e->signaled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  auto w = GetWaitable(object);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (milliseconds == 0) return TakeSignal(*w) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;

  ThreadWaitState& self = Self();
  std::shared_ptr<ThreadWaitState> selfShared = t_registration.state;
  {
    std::lock_guard lock(w->mutex);
    w->waiters.push_back(selfShared);
  }
  DWORD depth = engine_lock::ReleaseAll();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  bool first = true;
  DWORD result;
  for (;;) {
    if (TakeSignal(*w)) {
      result = WAIT_OBJECT_0;
      break;
    }
    BOOL (*pump)(void*) = nullptr;
    void* context = nullptr;
    {
      std::lock_guard lock(self.mutex);
      if (self.pump && (first || self.pumpRequested)) {
        pump = self.pump;
        context = self.pumpContext;
        self.pumpRequested = false;
      }
    }
    first = false;
    if (pump) {
      // The pump dispatches with the lock the waiting thread held.
      engine_lock::Reacquire(depth);
      pump(context);
      depth = engine_lock::ReleaseAll();
      continue;
    }
    bool timedOut = false;
    {
      std::unique_lock lock(self.mutex);
      if (milliseconds == INFINITE) {
        self.cv.wait(lock, [&] { return self.woken; });
      } else {
        timedOut = !self.cv.wait_until(lock, deadline, [&] { return self.woken; });
      }
      self.woken = false;
    }
    if (timedOut) {
      result = TakeSignal(*w) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
      break;
    }
  }
  {
    std::lock_guard lock(w->mutex);
    for (auto it = w->waiters.begin(); it != w->waiters.end(); ++it) {
      if (it->get() == &self) {
        w->waiters.erase(it);
        break;
      }
    }
  }
  engine_lock::Reacquire(depth);
  return result;
}

void SetThreadWaitPump(BOOL (*pump)(void* context), void* context) {
  ThreadWaitState& self = Self();
  std::lock_guard lock(self.mutex);
  self.pump = pump;
  self.pumpContext = context;
}

BOOL WakeThreadWait(DWORD threadId) {
  std::shared_ptr<ThreadWaitState> state;
  {
    ThreadDirectory& d = Directory();
    std::lock_guard lock(d.mutex);
    auto it = d.threads.find(threadId);
    if (it == d.threads.end()) return FALSE;
    state = it->second;
  }
  Wake(*state, true);
  return TRUE;
}

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  if (section) section->impl = new CriticalSectionImpl;
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  if (!section) return;
  delete static_cast<CriticalSectionImpl*>(section->impl);
  section->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  static_cast<CriticalSectionImpl*>(section->impl)->mutex.lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  static_cast<CriticalSectionImpl*>(section->impl)->mutex.unlock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  return static_cast<CriticalSectionImpl*>(section->impl)->mutex.try_lock() ? TRUE : FALSE;
}

LONG InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
