// Test automation: input injection, the virtual clock, window lookup and
// pixel capture, each run on the thread that owns the windows concerned.
#include "platform/automation.h"

#include <algorithm>
#include <cstring>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/window_internal.h"

using namespace wm;

namespace {

ThreadQueue* QueueOfWindow(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w && !w->remote ? w->queue : nullptr;
}

// Runs `input` on the thread of `target`, then empties that thread's queue.
void Inject(HWND target, const std::function<void()>& input) {
  ThreadQueue* q = target ? QueueOfWindow(target) : nullptr;
  if (!q) q = CurrentQueue();
  RunOnThread(q, [&]() -> LRESULT {
    input();
    PumpPendingMessages();
    return 0;
  });
}

// Threads with something to handle now. Only those are asked to pump, so a
// thread that has windows but is busy elsewhere does not hold automation up.
std::vector<ThreadQueue*> QueuesWithWork() {
  ThreadQueue* me = CurrentQueue();
  Lock lk(S().mutex);
  std::vector<ThreadQueue*> out;
  DWORD now = GetTickCount();
  for (ThreadQueue* q : S().queues) {
    bool has = q == me || !q->posted.empty() || !q->incoming.empty() ||
               FindPaintWindowLocked(q->threadId, nullptr) != nullptr;
    for (const Timer& t : S().timers)
      has = has || (t.threadId == q->threadId && static_cast<LONG>(now - t.due) >= 0);
    if (has && q->alive) out.push_back(q);
  }
  return out;
}

HWND FindIn(Window* w, LPCWSTR className, int id) {
  if (w->cls && (!className || SameName(w->cls->name, className)) && (id < 0 || (w->parent && w->id == id)))
    return w->handle;
  for (HWND k : w->children)
    if (Window* c = Find(k))
      if (HWND h = FindIn(c, className, id)) return h;
  return nullptr;
}

// The window's rectangle in its top-level surface.
bool SurfaceArea(HWND hwnd, Surface** surface, RECT* area) {
  Window* w = Find(hwnd);
  if (!w || w->remote) return false;
  Window* top = TopLevelOf(w);
  if (!top->surface) return false;
  POINT o = WindowOriginInSurface(w);
  *surface = top->surface;
  *area = Intersect(RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)},
                    RECT{0, 0, top->surface->width, top->surface->height});
  return true;
}

}  // namespace

void AutoPenDown(int x, int y) {
  Inject(PenTargetWindow(x, y), [=] { InputPen(0, x, y); });
}
void AutoPenMove(int x, int y) {
  Inject(PenTargetWindow(x, y), [=] { InputPen(1, x, y); });
}
void AutoPenUp(int x, int y) {
  Inject(PenTargetWindow(x, y), [=] { InputPen(2, x, y); });
}
void AutoTap(int x, int y) {
  AutoPenDown(x, y);
  AutoPenUp(x, y);
}

BOOL AutoTapWindow(HWND hwnd, int x, int y) {
  POINT p{x, y};
  if (!ClientToScreen(hwnd, &p)) return FALSE;
  AutoTap(p.x, p.y);
  return TRUE;
}

void AutoKeyDown(UINT vk) {
  Inject(KeyTargetWindow(), [=] { InputKey(vk, true); });
}
void AutoKeyUp(UINT vk) {
  Inject(KeyTargetWindow(), [=] { InputKey(vk, false); });
}
void AutoKeyPress(UINT vk) {
  AutoKeyDown(vk);
  AutoKeyUp(vk);
}
void AutoTypeText(const std::u16string& text) {
  for (char16_t c : text) Inject(KeyTargetWindow(), [=] { InputChar(c); });
}

void AutoPump() {
  // Pumping may create work for another thread (posts); go round until quiet.
  for (int round = 0; round < 8; ++round) {
    int handled = 0;
    for (ThreadQueue* q : QueuesWithWork())
      handled += static_cast<int>(RunOnThread(q, [] { return static_cast<LRESULT>(PumpPendingMessages()); }));
    if (handled == 0) break;
  }
}

void AutoAdvanceClock(DWORD ms) {
  if (!IsVirtualClockInstalled()) {
    SYSTEMTIME start{2024, 1, 1, 1, 0, 0, 0, 0};
    InstallVirtualClock(&start, 0);
  }
  DWORD left = ms;
  int idle = 0;
  for (;;) {
    DWORD step = left;
    {
      Lock lk(S().mutex);
      DWORD now = GetTickCount();
      for (const Timer& t : S().timers) {
        LONG until = static_cast<LONG>(t.due - now);
        step = std::min(step, until < 0 ? 0u : static_cast<DWORD>(until));
      }
    }
    // A due timer nobody fires (its thread filters it out) must not stall time.
    idle = step == 0 ? idle + 1 : 0;
    if (idle > 64) step = std::min<DWORD>(left, 1);
    AdvanceVirtualClock(step);
    left -= step;
    AutoPump();
    if (left == 0) break;
  }
}

HWND AutoFindWindow(HWND root, LPCWSTR className, int id) {
  Lock lk(S().mutex);
  if (root) {
    Window* w = Find(root);
    if (!w) return nullptr;
    for (HWND k : w->children)
      if (Window* c = Find(k))
        if (HWND h = FindIn(c, className, id)) return h;
    return nullptr;
  }
  for (HWND t : S().topLevels)
    if (Window* w = Find(t))
      if (HWND h = FindIn(w, className, id)) return h;
  return nullptr;
}

std::u16string AutoGetWindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::u16string s(static_cast<size_t>(n) + 1, u'\0');
  int got = GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(0, got)));
  return s;
}

AutoWindowState AutoGetWindowState(HWND hwnd) {
  AutoWindowState st{};
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  if (!w || w->remote) return st;
  st.exists = TRUE;
  st.visible = IsVisibleLocked(w);
  st.enabled = !(w->style & WS_DISABLED);
  st.focused = S().focus == hwnd;
  st.active = S().active == hwnd;
  st.captured = S().capture == hwnd;
  Window* top = TopLevelOf(w);
  POINT o = WindowOriginInSurface(w);
  st.windowRect = RECT{top->rect.left + o.x, top->rect.top + o.y, top->rect.left + o.x + (w->rect.right - w->rect.left),
                       top->rect.top + o.y + (w->rect.bottom - w->rect.top)};
  POINT c = ClientOriginOnScreen(w);
  st.clientRect = RECT{c.x, c.y, c.x + ClientWidth(w), c.y + ClientHeight(w)};
  st.style = w->style;
  st.exStyle = w->exStyle;
  return st;
}

LRESULT AutoSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(hwnd, msg, wParam, lParam);
}

BOOL AutoCaptureWindow(HWND hwnd, std::vector<std::uint32_t>* pixels, int* width, int* height) {
  ThreadQueue* q = QueueOfWindow(hwnd);
  if (!q || !pixels) return FALSE;
  return static_cast<BOOL>(RunOnThread(q, [&]() -> LRESULT {
    PumpPendingMessages();
    Lock lk(S().mutex);
    Surface* surface;
    RECT area;
    if (!SurfaceArea(hwnd, &surface, &area)) return FALSE;
    int w = area.right - area.left, h = area.bottom - area.top;
    pixels->assign(static_cast<size_t>(std::max(0, w)) * static_cast<size_t>(std::max(0, h)), 0);
    LockGdi();
    for (int y = 0; y < h; ++y)
      std::memcpy(pixels->data() + static_cast<size_t>(y) * static_cast<size_t>(w), SurfaceRow(surface, area.top + y) + area.left,
                  static_cast<size_t>(w) * 4);
    UnlockGdi();
    if (width) *width = w;
    if (height) *height = h;
    return TRUE;
  }));
}

std::uint32_t AutoGetPixel(HWND hwnd, int x, int y) {
  ThreadQueue* q = QueueOfWindow(hwnd);
  if (!q) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(RunOnThread(q, [&]() -> LRESULT {
    PumpPendingMessages();
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w || x < 0 || y < 0 || x >= ClientWidth(w) || y >= ClientHeight(w)) return 0xFFFFFFFFu;
    Window* top = TopLevelOf(w);
    POINT o = ClientOriginInSurface(w);
    if (!top->surface || o.x + x >= top->surface->width || o.y + y >= top->surface->height) return 0xFFFFFFFFu;
    LockGdi();
    std::uint32_t v = SurfaceRow(top->surface, o.y + y)[o.x + x];
    UnlockGdi();
    return v;
  }));
}

BOOL AutoSaveWindowPng(HWND hwnd, const char* path) {
  if (!hwnd) {
    AutoPump();
    return SaveScreenPng(path);
  }
  ThreadQueue* q = QueueOfWindow(hwnd);
  if (!q) return FALSE;
  return static_cast<BOOL>(RunOnThread(q, [&]() -> LRESULT {
    PumpPendingMessages();
    Lock lk(S().mutex);
    Surface* surface;
    RECT area;
    if (!SurfaceArea(hwnd, &surface, &area)) return FALSE;
    LockGdi();
    BOOL ok = SaveSurfacePng(surface, &area, path);
    UnlockGdi();
    return ok;
  }));
}
