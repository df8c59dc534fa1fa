// Invalidation and painting. Each top-level window draws into its own
// surface; a child draws into its top-level window's surface through a DC
// whose origin is the child's client origin and whose clip is the child's
// client area cut by its ancestors'.
#pragma once

#include "platform/gdi.h"
#include "platform/types.h"
#include "platform/window.h"

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;  // TRUE when WM_ERASEBKGND returned 0 (the background still needs erasing)
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

// Adds `rect` (client coordinates; null = the whole client area) to the
// update area; the visible children under it are invalidated too, since the
// parent's painting covers them. `erase` asks for WM_ERASEBKGND.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// Sends WM_PAINT now when the window (or one of its children) needs paint.
BOOL UpdateWindow(HWND hwnd);
// The bounding box of the update area; FALSE when there is none.
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);

// Sends WM_ERASEBKGND (wParam = the DC) when an erase is pending, validates
// the update area and returns a DC clipped to it.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
// A DC over the whole client area for drawing outside WM_PAINT.
HDC GetDC(HWND hwnd);
// Also hands the pixels to the backend.
int ReleaseDC(HWND hwnd, HDC dc);

// ---- Redraw ----
#define RDW_INVALIDATE 0x0001u
#define RDW_INTERNALPAINT 0x0002u
#define RDW_ERASE 0x0004u
#define RDW_VALIDATE 0x0008u
#define RDW_ALLCHILDREN 0x0080u
#define RDW_UPDATENOW 0x0100u
#define RDW_ERASENOW 0x0200u
#define RDW_FRAME 0x0400u
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);
