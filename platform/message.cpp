// Per-thread message queues: posting, sending (also across threads),
// retrieval, dispatch, timers and message loops.
#include "platform/message.h"

#include <algorithm>
#include <chrono>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/engine_lock.h"
#include "platform/errors.h"
#include "platform/ipc.h"
#include "platform/threads.h"
#include "platform/window_internal.h"

namespace wm {

namespace {

BOOL WaitPump(void* context) {
  auto* q = static_cast<ThreadQueue*>(context);
  return HandleIncoming(q) > 0 ? TRUE : FALSE;
}

void ClockAdvanced(void*) {
  Lock lk(S().mutex);
  WakeAllQueues();
}

// Ends a thread's queue: its windows are destroyed, senders waiting on it
// are released with 0.
struct QueueOwner {
  ThreadQueue* q = nullptr;
  ~QueueOwner() {
    if (!q) return;
    std::vector<HWND> mine;
    {
      Lock lk(S().mutex);
      for (Window* w : S().slots)
        if (w && !w->remote && w->threadId == q->threadId) mine.push_back(w->handle);
    }
    // Only a thread that still owns windows needs the engine lock to end:
    // their procedures run as in any dispatch. A worker that only sent
    // messages must not wait for a lock its joiner may hold.
    if (!mine.empty()) {
      EngineLockGuard hold;
      for (HWND h : mine) DestroyWindow(h);  // a window already gone with its parent is refused
    }
    SetThreadWaitPump(nullptr, nullptr);
    Lock lk(S().mutex);
    q->alive = false;
    for (auto& item : q->incoming) {
      item->done = true;
      if (item->sender) item->sender->cv.notify_all();
    }
    q->incoming.clear();
    auto& v = S().queues;
    v.erase(std::remove(v.begin(), v.end(), q), v.end());
    S().timers.erase(std::remove_if(S().timers.begin(), S().timers.end(),
                                    [&](const Timer& t) { return t.threadId == q->threadId; }),
                     S().timers.end());
    q->posted.clear();
    S().endedQueues.push_back(q);
  }
};

thread_local QueueOwner tQueue;

bool MatchFilter(HWND filter, UINT mn, UINT mx, const MSG& m) {
  if (filter && m.hwnd != filter && !IsDescendantLocked(filter, m.hwnd)) return false;
  if ((mn || mx) && (m.message < mn || m.message > mx)) return false;
  return true;
}

bool Due(DWORD now, DWORD due) { return static_cast<LONG>(now - due) >= 0; }

MSG MakeMsg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m{hwnd, msg, wParam, lParam, GetTickCount(), S().penPos};
  return m;
}

}  // namespace

ThreadQueue* CurrentQueue() {
  static thread_local ThreadQueue* cached = nullptr;  // trivial: usable while thread objects are destroyed
  if (cached) return cached;
  // The core's per-thread state is set up before ours, so it outlives ours.
  DWORD id = GetCurrentThreadId();
  SetThreadWaitPump(nullptr, nullptr);
  auto* q = new ThreadQueue;
  q->threadId = id;
  {
    Lock lk(S().mutex);
    static bool hooked = false;
    if (!hooked) {
      hooked = true;
      SetVirtualClockAdvanceHook(&ClockAdvanced, nullptr);
    }
    S().queues.push_back(q);
  }
  cached = q;
  tQueue.q = q;
  SetThreadWaitPump(&WaitPump, q);
  return q;
}

ThreadQueue* QueueOfThread(DWORD threadId) {
  for (ThreadQueue* q : S().queues)
    if (q->threadId == threadId) return q;
  return nullptr;
}

void WakeQueue(ThreadQueue* q) {
  q->activity++;
  q->cv.notify_all();
  WakeThreadWait(q->threadId);
  if (q->threadId == BackendThreadId()) BackendWake();
}

void WakeAllQueues() {
  for (ThreadQueue* q : S().queues) WakeQueue(q);
}

void PostLocked(ThreadQueue* q, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  q->posted.push_back(MakeMsg(hwnd, msg, wParam, lParam));
  WakeQueue(q);
}

// How the message being handled on this thread arrived (IsMessageSent).
thread_local bool tInSend = false;

struct SentScope {
  explicit SentScope(bool sent) : saved(tInSend) { tInSend = sent; }
  ~SentScope() { tInSend = saved; }
  bool saved;
};

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w || w->remote) return 0;
    proc = w->proc;
  }
  return proc(hwnd, msg, wParam, lParam);
}

int HandleIncoming(ThreadQueue* q) {
  int handled = 0;
  for (;;) {
    std::shared_ptr<SentItem> item;
    {
      Lock lk(S().mutex);
      if (q->incoming.empty()) break;
      item = q->incoming.front();
      q->incoming.pop_front();
    }
    LRESULT r;
    {
      EngineLockGuard hold;
      SentScope sent(true);
      r = item->task ? item->task() : CallProc(item->hwnd, item->msg, item->wParam, item->lParam);
    }
    Lock lk(S().mutex);
    item->result = r;
    item->done = true;
    if (item->sender) item->sender->cv.notify_all();
    ++handled;
  }
  return handled;
}

namespace {

// Waits (without the engine lock) until `item` is done, handling what other
// threads send to this one meanwhile.
LRESULT WaitForReply(ThreadQueue* me, const std::shared_ptr<SentItem>& item) {
  EngineLockReleaser release;
  Lock lk(S().mutex);
  while (!item->done) {
    if (!me->incoming.empty()) {
      lk.unlock();
      HandleIncoming(me);
      lk.lock();
      continue;
    }
    me->cv.wait(lk);
  }
  return item->result;
}

}  // namespace

LRESULT RunOnThread(ThreadQueue* q, std::function<LRESULT()> task) {
  ThreadQueue* me = CurrentQueue();
  if (q == me) return task();
  auto item = std::make_shared<SentItem>();
  item->task = std::move(task);
  item->sender = me;
  {
    Lock lk(S().mutex);
    if (!q->alive) return 0;
    q->incoming.push_back(item);
    WakeQueue(q);
  }
  return WaitForReply(me, item);
}

void KillTimersOf(HWND hwnd) {
  auto& t = S().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

namespace {

// One step of retrieval; see GetMessageW for the order.
bool PeekInternal(ThreadQueue* q, MSG* msg, HWND filter, UINT mn, UINT mx, UINT remove) {
  if (q->threadId == BackendThreadId()) {
    // Input may activate windows right away (sent messages): that is dispatching too.
    EngineLockGuard hold;
    BackendPoll();
  }
  HandleIncoming(q);
  HWND ncWindow = nullptr;
  {
    Lock lk(S().mutex);
    for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
      if (!MatchFilter(filter, mn, mx, *it)) continue;
      *msg = *it;
      if (remove & PM_REMOVE) q->posted.erase(it);
      q->last = *msg;
      return true;
    }
    if (q->quit) {
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, GetTickCount(), S().penPos};
      if (remove & PM_REMOVE) q->quit = false;
      return true;
    }
    if (!mn && !mx ? true : (WM_PAINT >= mn && WM_PAINT <= mx)) {
      HWND h = FindPaintWindowLocked(q->threadId, filter);
      if (h) {
        Window* w = Find(h);
        if (w->needsPaint) {
          *msg = MakeMsg(h, WM_PAINT, 0, 0);
          q->last = *msg;
          lk.unlock();
          PaintNonClient(h);
          return true;
        }
        ncWindow = h;
      }
    }
    if (!ncWindow) {
      DWORD now = GetTickCount();
      Timer* best = nullptr;
      for (Timer& t : S().timers) {
        if (t.threadId != q->threadId || !Due(now, t.due)) continue;
        MSG probe = MakeMsg(t.hwnd, WM_TIMER, t.id, 0);
        if (!MatchFilter(filter, mn, mx, probe)) continue;
        if (!best || static_cast<LONG>(t.due - best->due) < 0 || (t.due == best->due && t.seq < best->seq)) best = &t;
      }
      if (best) {
        *msg = MakeMsg(best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc));
        if (remove & PM_REMOVE) best->due = now + best->elapse;
        q->last = *msg;
        return true;
      }
    }
  }
  if (ncWindow) {
    // Only the frame is out of date: draw it and look again.
    PaintNonClient(ncWindow);
    return PeekInternal(q, msg, filter, mn, mx, remove);
  }
  if (q->threadId == BackendThreadId()) BackendPresent();
  return false;
}

// Waits for anything new in the queue (the engine lock is not held).
void WaitForWork(ThreadQueue* q, unsigned long long seen) {
  DWORD timeout = INFINITE;
  bool virtualClock = IsVirtualClockInstalled() != 0;
  {
    Lock lk(S().mutex);
    if (!virtualClock) {
      DWORD now = GetTickCount();
      for (const Timer& t : S().timers) {
        if (t.threadId != q->threadId) continue;
        DWORD left = Due(now, t.due) ? 0 : t.due - now;
        timeout = std::min(timeout, left);
      }
    }
  }
  timeout = std::min(timeout, CaretBlinkTick(q->threadId));
  bool backend = q->threadId == BackendThreadId() && GetBackendKind() == BACKEND_SDL;
  if (backend) timeout = std::min<DWORD>(timeout, 10);  // SDL events are polled
  if (timeout == 0) return;
  Lock lk(S().mutex);
  auto pred = [&] { return q->activity != seen || !q->incoming.empty(); };
  if (timeout == INFINITE) q->cv.wait(lk, pred);
  else q->cv.wait_for(lk, std::chrono::milliseconds(timeout), pred);
}

unsigned long long Activity(ThreadQueue* q) {
  Lock lk(S().mutex);
  return q->activity;
}

}  // namespace

}  // namespace wm

using namespace wm;

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  if (!msg) return FALSE;
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return PeekInternal(CurrentQueue(), msg, hwnd, filterMin, filterMax, remove) ? TRUE : FALSE;
}

namespace {

constexpr BOOL kStopped = 2;

// GetMessageW that also returns kStopped once *stop is set (a message sent
// from another thread may set it without anything being posted).
BOOL GetMessageUntil(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, const volatile BOOL* stop) {
  ThreadQueue* q = CurrentQueue();
  EngineLockReleaser release;
  for (;;) {
    unsigned long long seen = Activity(q);
    if (PeekInternal(q, msg, hwnd, filterMin, filterMax, PM_REMOVE)) return msg->message != WM_QUIT;
    if (stop && *stop) return kStopped;
    WaitForWork(q, seen);
  }
}

}  // namespace

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) return -1;
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  return GetMessageUntil(msg, hwnd, filterMin, filterMax, nullptr);
}

BOOL WaitMessage() {
  ThreadQueue* q = CurrentQueue();
  EngineLockReleaser release;
  MSG m;
  for (;;) {
    unsigned long long seen = Activity(q);
    if (PeekInternal(q, &m, nullptr, 0, 0, PM_NOREMOVE)) return TRUE;
    WaitForWork(q, seen);
  }
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  WCHAR ch = 0;
  switch (msg->wParam) {
    case VK_BACK: ch = 8; break;
    case VK_TAB: ch = 9; break;
    case VK_RETURN: ch = 13; break;
    case VK_ESCAPE: ch = 27; break;
    default: return FALSE;
  }
  Lock lk(S().mutex);
  ThreadQueue* q = CurrentQueue();
  // The character goes right after its key, before later input.
  q->posted.push_front(MSG{msg->hwnd, WM_CHAR, ch, msg->lParam, msg->time, msg->pt});
  WakeQueue(q);
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) {
    if (msg && msg->message == WM_TIMER && msg->lParam) {
      EngineLockGuard hold;
      reinterpret_cast<TIMERPROC>(msg->lParam)(nullptr, WM_TIMER, msg->wParam, msg->time);
    }
    return 0;
  }
  {
    Lock lk(S().mutex);
    Window* w = Find(msg->hwnd);
    if (!w || w->remote) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (w->threadId != CurrentQueue()->threadId) return 0;
  }
  EngineLockGuard hold;
  if (msg->message == WM_TIMER && msg->lParam) {
    bool live;
    {
      Lock lk(S().mutex);
      live = std::any_of(S().timers.begin(), S().timers.end(), [&](const Timer& t) {
        return t.hwnd == msg->hwnd && t.id == msg->wParam && reinterpret_cast<LPARAM>(t.proc) == msg->lParam;
      });
    }
    if (live) reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  LRESULT r;
  {
    SentScope sent(false);
    r = CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  }
  if (msg->message == WM_PAINT) {
    // A procedure that did not paint would get WM_PAINT forever.
    Lock lk(S().mutex);
    if (Window* w = Find(msg->hwnd)) w->needsPaint = false, w->erase = false;
  }
  return r;
}

void PostQuitMessage(int exitCode) {
  ThreadQueue* q = CurrentQueue();
  Lock lk(S().mutex);
  q->quit = true;
  q->quitCode = exitCode;
  WakeQueue(q);
}

LONG GetMessageTime() {
  ThreadQueue* q = CurrentQueue();
  Lock lk(S().mutex);
  return static_cast<LONG>(q->last.time);
}

DWORD GetMessagePos() {
  ThreadQueue* q = CurrentQueue();
  Lock lk(S().mutex);
  return static_cast<DWORD>(MAKELONG(q->last.pt.x, q->last.pt.y));
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ThreadQueue* me = CurrentQueue();
  ThreadQueue* target;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return 0;
    if (w->remote) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    target = w->queue;
  }
  if (target == me) {
    SentScope sent(true);
    return CallProc(hwnd, msg, wParam, lParam);
  }
  auto item = std::make_shared<SentItem>();
  item->hwnd = hwnd;
  item->msg = msg;
  item->wParam = wParam;
  item->lParam = lParam;
  item->sender = me;
  {
    Lock lk(S().mutex);
    if (!target->alive) return 0;
    target->incoming.push_back(item);
    WakeQueue(target);
  }
  return WaitForReply(me, item);
}

BOOL IsMessageSent() { return tInSend ? TRUE : FALSE; }

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), msg, wParam, lParam);
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return FALSE;
    if (!w->remote) {
      PostLocked(w->queue, hwnd, msg, wParam, lParam);
      return TRUE;
    }
  }
  return IpcPost(hwnd, msg, wParam, lParam);
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) CurrentQueue();
  Lock lk(S().mutex);
  ThreadQueue* q = QueueOfThread(threadId);
  if (!q || !q->alive) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PostLocked(q, nullptr, msg, wParam, lParam);
  return TRUE;
}

LRESULT SendNotify(HWND parent, NMHDR* header) {
  if (!header) return 0;
  return SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(header->idFrom), reinterpret_cast<LPARAM>(header));
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  ThreadQueue* me = CurrentQueue();
  Lock lk(S().mutex);
  DWORD thread = me->threadId;
  if (hwnd) {
    Window* w = FindOrFail(hwnd);
    if (!w || w->remote) return 0;
    thread = w->threadId;
  }
  elapse = std::max<UINT>(elapse, 1);
  DWORD due = GetTickCount() + elapse;
  auto& timers = S().timers;
  if (hwnd || id) {
    for (Timer& t : timers)
      if (t.hwnd == hwnd && t.id == id && (hwnd || t.threadId == thread)) {
        t.elapse = elapse;
        t.proc = proc;
        t.due = due;
        t.seq = ++S().timerSeq;
        if (ThreadQueue* q = QueueOfThread(thread)) WakeQueue(q);
        return hwnd ? id : t.id;
      }
  }
  if (!hwnd && !id) id = ++S().nextThreadTimerId;
  timers.push_back(Timer{hwnd, id, thread, elapse, proc, due, ++S().timerSeq});
  if (ThreadQueue* q = QueueOfThread(thread)) WakeQueue(q);
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  ThreadQueue* me = CurrentQueue();
  Lock lk(S().mutex);
  auto& timers = S().timers;
  for (auto it = timers.begin(); it != timers.end(); ++it) {
    if (it->hwnd == hwnd && it->id == id && (hwnd || it->threadId == me->threadId)) {
      timers.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

BOOL RunMessageLoopUntil(const volatile BOOL* finished, const std::function<bool(MSG*)>& filter) {
  MSG m;
  while (!*finished) {
    BOOL r = GetMessageUntil(&m, nullptr, 0, 0, finished);
    if (r == kStopped) break;
    if (r == 0) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return FALSE;
    }
    if (r < 0) return FALSE;
    if (filter && filter(&m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return TRUE;
}

int PumpPendingMessages() {
  ThreadQueue* q = CurrentQueue();
  int count = 0;
  MSG m;
  while (PeekInternal(q, &m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
    ++count;
  }
  return count;
}

void InitUiThread() {
  CurrentQueue();
  engine_lock::Acquire();
  StartBackend(0);
}
