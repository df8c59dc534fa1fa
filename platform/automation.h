// Test automation: drive the program as a user would and look at the
// result. Every call is thread-safe: called from a thread other than the one
// that owns the windows concerned, it runs the work on that thread (which
// must be running a message loop or waiting) and returns when it is done.
// Input calls return after the input has been handled (the owning thread's
// queue has been emptied).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "platform/types.h"
#include "platform/window.h"

// ---- Stylus (screen coordinates) ----
void AutoPenDown(int x, int y);
void AutoPenMove(int x, int y);
void AutoPenUp(int x, int y);
// Down and up at one point.
void AutoTap(int x, int y);
// The same at a point of a window's client area.
BOOL AutoTapWindow(HWND hwnd, int x, int y);

// ---- Keys ----
void AutoKeyDown(UINT vk);
void AutoKeyUp(UINT vk);
// Down then up.
void AutoKeyPress(UINT vk);
// Each UTF-16 unit as WM_CHAR to the focus window.
void AutoTypeText(const std::u16string& text);

// ---- Time ----
// Advances the virtual clock (installed when missing, from tick 0) by `ms`,
// stopping at each due timer so timers fire in order of their due times.
void AutoAdvanceClock(DWORD ms);
// Handles everything pending in the queues of all threads with windows.
void AutoPump();

// ---- Finding and reading windows ----
// The first window (shown or not), depth first in z-order, whose class matches
// (case-insensitive; null = any) and, when id >= 0, whose control id is id;
// under `root` (null = all top-level windows).
HWND AutoFindWindow(HWND root, LPCWSTR className, int id);
std::u16string AutoGetWindowText(HWND hwnd);
struct AutoWindowState {
  BOOL exists, visible, enabled, focused, active, captured;
  RECT windowRect;  // screen
  RECT clientRect;  // screen
  DWORD style, exStyle;
};
AutoWindowState AutoGetWindowState(HWND hwnd);
// Sends a message from the automation thread, handed to the window's thread.
LRESULT AutoSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Pixels ----
// Paints what is pending, then copies the window's pixels (whole window
// rect, from its top-level surface) as 0x00RRGGBB rows; width/height set.
BOOL AutoCaptureWindow(HWND hwnd, std::vector<std::uint32_t>* pixels, int* width, int* height);
// The pixel at a client point of a window; 0xFFFFFFFF when outside.
std::uint32_t AutoGetPixel(HWND hwnd, int x, int y);
// PNG of a window (null = the whole screen).
BOOL AutoSaveWindowPng(HWND hwnd, const char* path);
