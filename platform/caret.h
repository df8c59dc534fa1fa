// The caret: one per process, owned by one window. Drawn by inverting its
// rectangle (a zero-width caret is drawn 1 pixel wide); it blinks every
// 500 ms on the real clock and stays steadily shown under the virtual clock.
#pragma once

#include "platform/gdi.h"
#include "platform/types.h"
#include "platform/window.h"

// Replaces any existing caret; the new one starts hidden (ShowCaret shows it).
// `bitmap` must be null (solid carets only).
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
// Hide/show nest: the caret is visible after as many ShowCaret as HideCaret.
// Null means the caret's own window.
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
// Client coordinates of the caret's window.
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
UINT GetCaretBlinkTime();

// --- Tests ---
// The caret's window, rectangle (client coordinates, at least 1 pixel wide)
// and whether it is shown (hide count 0); FALSE when there is no caret.
BOOL GetCaretStateForTest(HWND* hwnd, RECT* rect, BOOL* shown);
