// Message queues (one per thread that uses them), sending and posting,
// timers and message loops.
//
// Engine lock: a message loop holds the engine lock while it dispatches
// (DispatchMessageW and the handling of sent messages take one level) and
// lets go of every level the thread holds while it waits (GetMessageW,
// WaitMessage, RunMessageLoopUntil, a cross-thread SendMessageW). While a
// thread waits it still handles the messages other threads send to it.
#pragma once

#include <functional>

#include "platform/types.h"
#include "platform/window.h"

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

// Order: messages sent from other threads are handled first (inside the
// call); then posted messages and input in arrival order; WM_QUIT once the
// posted messages are gone; WM_PAINT for a window needing paint; WM_TIMER for
// a due timer. A non-null hwnd (and a non-zero range) filters.
// GetMessageW returns 0 for WM_QUIT, -1 for a bad hwnd filter.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
// Waits until something arrives in this thread's queue.
BOOL WaitMessage();
// WM_KEYDOWN of VK_BACK, VK_TAB, VK_RETURN and VK_ESCAPE posts the matching
// WM_CHAR; printable characters arrive as WM_CHAR from the input source.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);
// Time (tick count) and screen position of the message last retrieved.
LONG GetMessageTime();
DWORD GetMessagePos();

// To a window of this thread: called directly (re-entrant). To another
// thread: queued; the caller waits, handling messages sent to itself, until
// the owner has handled it (the owner handles it in any loop or wait).
// To a window of another process: refused (0).
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// TRUE while this thread's window procedure handles a message that reached
// it through SendMessageW (from this thread or another of this process),
// FALSE while it handles one DispatchMessageW took from the queue (posted
// here, or arrived from another process) and outside any handling. Unlike
// the desktop's InSendMessage it is also TRUE for a send on the same thread:
// a procedure told a pointer in lParam by its own process's send can tell
// it from a bare number that came through the queue.
BOOL IsMessageSent();

// A window of another process takes integer messages only: WM_NULL,
// WM_CLOSE, WM_COMMAND, and private messages (>= WM_USER) whose lParam is 0;
// others are refused (ERROR_INVALID_PARAMETER). A null hwnd posts to the
// calling thread.
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends WM_NOTIFY to `parent` (wParam = header->idFrom). The result is the
// parent's answer.
LRESULT SendNotify(HWND parent, NMHDR* header);

// ---- Timers (tick count: the virtual clock when one is installed) ----
using TIMERPROC = void (*)(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
// Setting an existing (hwnd, id) restarts it. With a null hwnd a new id is
// chosen and returned. WM_TIMER is generated when the queue is otherwise
// empty, at most one pending per timer; lParam = the TIMERPROC (then
// DispatchMessageW calls it instead of the window procedure).
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// ---- Modal loops ----
// A nested message loop (dialogs, message boxes, menus) that runs until
// *finished is non-zero, checked after each message. `filter` (may be empty)
// sees each message first and returns true when it handled it (the dialog
// manager's IsDialogMessageW). The loop lets go of the engine lock while it
// waits. Returns TRUE when finished, FALSE when WM_QUIT arrived (it is posted
// again so the outer loop ends too). *finished belongs to the loop's thread:
// set it from a handler or the filter; another thread posts the loop's thread
// a message whose handling sets it.
BOOL RunMessageLoopUntil(const volatile BOOL* finished, const std::function<bool(MSG*)>& filter = {});
// Handles everything queued for this thread now (sent, posted, paint, due
// timers) without waiting; WM_QUIT is left in the queue. Returns the number
// of messages dispatched.
int PumpPendingMessages();

// ---- Process start ----
// The UI thread of a program: takes one level of the engine lock (the message
// loop gives it up while it waits) and picks the backend. Call once from main.
void InitUiThread();
