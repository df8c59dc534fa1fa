// Shared state of the window manager, message queues, painting and input.
// Not for the program: only platform/window*, message*, paint*, scrollbar*,
// caret*, clipboard*, backend*, ipc* and automation* include it.
//
// One mutex (State::mutex) guards everything here. It is never held while a
// window procedure runs, while the engine lock is taken, or while waiting for
// another thread; it may be held while taking the GDI lock (never the other
// way round).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message.h"
#include "platform/paint.h"
#include "platform/scrollbar.h"
#include "platform/surface.h"
#include "platform/window.h"

namespace wm {

struct WindowClass {
  ATOM atom = 0;
  std::u16string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int wndExtra = 0;
  HINSTANCE instance = nullptr;
  HBRUSH brush = nullptr;
  int windows = 0;
};

struct ScrollBarState {
  int min = 0;
  int max = 0;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  bool visible = false;
  bool disabled = false;  // shown because of SIF_DISABLENOSCROLL
};

struct ThreadQueue;

struct Window {
  HWND handle = nullptr;
  WindowClass* cls = nullptr;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // children only
  HWND owner = nullptr;   // top-level only
  std::vector<HWND> children;  // z-order, top first
  RECT rect{};  // parent's client coordinates; screen for top-level windows
  std::u16string text;
  LONG_PTR id = 0;
  LONG_PTR userdata = 0;
  HINSTANCE instance = nullptr;
  std::vector<unsigned char> extra;
  std::vector<std::pair<std::u16string, HANDLE>> props;
  ThreadQueue* queue = nullptr;
  DWORD threadId = 0;
  bool destroying = false;
  bool foreign = false;
  bool remote = false;
  std::string remotePath;  // remote proxies: the peer's socket
  bool published = false;
  // Painting: the update area is kept as its bounding box.
  bool needsPaint = false;
  bool erase = false;
  RECT update{};
  bool ncDirty = true;
  Surface* surface = nullptr;  // top-level windows only
  ScrollBarState bars[2];       // SB_HORZ, SB_VERT
};

struct SentItem {
  HWND hwnd = nullptr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::function<LRESULT()> task;  // automation work run on the owner thread instead
  LRESULT result = 0;
  bool done = false;
  ThreadQueue* sender = nullptr;
};

struct ThreadQueue {
  DWORD threadId = 0;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentItem>> incoming;
  std::vector<std::shared_ptr<SentItem>> handling;  // being handled now (failed if the thread ends)
  bool quit = false;
  int quitCode = 0;
  bool alive = true;
  std::condition_variable cv;
  unsigned long long activity = 0;  // bumped on everything that may end a wait
  MSG last{};
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  DWORD threadId;
  UINT elapse;
  TIMERPROC proc;
  DWORD due;
  unsigned long long seq;
};

struct ScrollTrack {
  HWND hwnd = nullptr;
  int bar = 0;
  int part = 0;  // 1 line up, 2 page up, 3 thumb, 4 page down, 5 line down
  POINT start{};
  int startPos = 0;
  bool moved = false;
  UINT_PTR repeatTimer = 0;  // thread timer repeating a held arrow or page press
};

struct State {
  std::mutex mutex;
  std::vector<Window*> slots;
  std::vector<WORD> generations;
  std::vector<DWORD> freeSlots;
  std::vector<WindowClass*> classes;
  ATOM nextAtom = 0xC000;
  std::vector<HWND> topLevels;  // z-order, top first
  std::vector<ThreadQueue*> queues;
  std::vector<ThreadQueue*> endedQueues;  // kept: other threads may still hold a pointer
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  std::vector<Timer> timers;
  unsigned long long timerSeq = 0;
  UINT_PTR nextThreadTimerId = 0x7F00;
  ScrollTrack track;
  // Input state.
  bool penDown = false;
  POINT penPos{};
  HWND lastDownWindow = nullptr;
  DWORD lastDownTime = 0;
  POINT lastDownPos{};
  bool lastWasDouble = false;
  BYTE keys[256] = {};
};

State& S();
using Lock = std::unique_lock<std::mutex>;

// ---- Handles (State::mutex held) ----
Window* Find(HWND hwnd);
// Bit 0 is ignored (the program sets it on SetForegroundWindow).
Window* FindMasked(HWND hwnd);
Window* FindOrFail(HWND hwnd);  // sets ERROR_INVALID_WINDOW_HANDLE when missing
HWND AllocHandle(Window* window);
void FreeHandle(HWND hwnd);

// ---- Geometry (State::mutex held) ----
// Non-client sizes: border/caption on top-left, border + scroll bars on the
// bottom-right.
RECT NonClientInsets(const Window* w);
int ClientWidth(const Window* w);
int ClientHeight(const Window* w);
Window* TopLevelOf(Window* w);
// The window's (0,0) in its top-level window's surface.
POINT WindowOriginInSurface(Window* w);
POINT ClientOriginInSurface(Window* w);
// The visible client area in surface coordinates (cut by the ancestors).
RECT VisibleClientInSurface(Window* w);
// Client (0,0) in screen coordinates.
POINT ClientOriginOnScreen(Window* w);
bool IsVisibleLocked(Window* w);
bool IsDescendantLocked(HWND ancestor, HWND hwnd);
bool RectEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);
RECT Union(const RECT& a, const RECT& b);
bool PtIn(const RECT& r, POINT p);

// ---- Queues ----
ThreadQueue* CurrentQueue();        // created on first use
ThreadQueue* QueueOfThread(DWORD threadId);  // State::mutex held; null when none
void WakeQueue(ThreadQueue* q);     // State::mutex held
void WakeAllQueues();               // State::mutex held
// Runs `task` on the thread of `q` (directly when it is the calling thread)
// and returns its result; 0 when that thread has ended.
LRESULT RunOnThread(ThreadQueue* q, std::function<LRESULT()> task);
// Handles the messages sent to this thread from others; returns how many.
int HandleIncoming(ThreadQueue* q);
// Posts to a queue (State::mutex held).
void PostLocked(ThreadQueue* q, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window's procedure on this thread (no lock held by the caller).
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Drops a dead thread's windows, timers and pending sends.
void KillTimersOf(HWND hwnd);  // State::mutex held

// ---- Painting ----
// Adds to the update area (client coordinates; null = all), children too.
void InvalidateLocked(Window* w, const RECT* rect, bool erase);
// Marks the area a window covers in its parent for repainting (or the screen).
void InvalidateCoveredLocked(Window* w);
// The first window of the thread that needs painting (tree order, parents
// first), restricted to `filter` and its descendants when given.
HWND FindPaintWindowLocked(DWORD threadId, HWND filter);
// Draws border, caption and scroll bars when they are out of date.
void PaintNonClient(HWND hwnd);
// A DC over the window (client or whole window) of its top-level surface.
HDC MakeClientDC(HWND hwnd, const RECT* clipClient);
HDC MakeWindowDC(HWND hwnd);
void MarkScreenDirty();
bool TakeScreenDirty();

// ---- Scroll bars ----
// Where a bar lies in window coordinates (empty when hidden).
RECT ScrollBarRect(const Window* w, int bar);
void DrawScrollBar(HDC windowDC, const Window* w, int bar);
// Default handling of WM_NCLBUTTONDOWN / WM_NCMOUSEMOVE / WM_NCLBUTTONUP.
void ScrollBarNcMessage(HWND hwnd, UINT msg, WPARAM hit, POINT screen);
// Geometry changed: client area, WM_SIZE, repaint. Called without the lock.
void ClientAreaChanged(HWND hwnd, int oldWidth, int oldHeight);

// ---- Caret ----
// Takes the caret's pixels off before painting over its window and puts them
// back afterwards.
void CaretHideForPaint(HWND hwnd);
void CaretRestoreAfterPaint(HWND hwnd);
void CaretWindowDestroyed(HWND hwnd);
// Real-clock blinking: toggles when due; returns ms to the next toggle (or
// INFINITE).
DWORD CaretBlinkTick(DWORD threadId);

// ---- Input ----
// Routes stylus and key input on the calling thread (the thread of the
// windows concerned).
void InputPen(int kind, int x, int y);  // 0 down, 1 move, 2 up
void InputKey(UINT vk, bool down);
void InputChar(WCHAR ch);
// The window that would receive a pen event at a screen point now.
HWND PenTargetWindow(int x, int y);
// The window that receives keys now.
HWND KeyTargetWindow();
// Activates a top-level window (the caller is its thread).
void ActivateWindow(HWND hwnd, int how);
// After hiding/destroying the active window.
void ActivateNext(HWND leaving);

// ---- Backend hooks (backend.cpp) ----
DWORD BackendThreadId();
// Polls the backend's events (posts input); only on the backend thread.
void BackendPoll();
// Presents the screen when something was drawn.
void BackendPresent();
// Wakes the backend thread from a wait.
void BackendWake();

// ---- Clipboard / IPC / caret hooks on window destruction ----
void ClipboardWindowDestroyed(HWND hwnd);
void IpcPublish(HWND hwnd);
void IpcUnpublish(HWND hwnd);
BOOL IpcPost(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam);

// Case-insensitive compare of class names and properties.
bool SameName(const std::u16string& a, LPCWSTR b);
std::u16string ToU16(LPCWSTR text);

}  // namespace wm
