// Window scroll bars: part of a window's non-client area (WS_VSCROLL /
// WS_HSCROLL), SM_CXVSCROLL wide. A bar is shown only while its range does
// not fit its page; showing or hiding one resizes the client area and sends
// WM_SIZE. Stylus input on a bar sends WM_VSCROLL / WM_HSCROLL.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_BOTH 3

#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_LEFT 6
#define SB_BOTTOM 7
#define SB_RIGHT 7
#define SB_ENDSCROLL 8

#define SIF_RANGE 0x0001u
#define SIF_PAGE 0x0002u
#define SIF_POS 0x0004u
#define SIF_DISABLENOSCROLL 0x0008u
#define SIF_TRACKPOS 0x0010u
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

struct SCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
};

// Sets the fields named by fMask; the position is kept inside
// [nMin, nMax - max(nPage - 1, 0)]. The bar is visible while nMax > nMin
// and the page does not cover the range; with SIF_DISABLENOSCROLL a bar whose
// range fits its page stays visible (disabled) unless the range is empty.
// Returns the new position.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
// nTrackPos is the thumb position while the user drags it.
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
