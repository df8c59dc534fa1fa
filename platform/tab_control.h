// The tab control (class "SysTabControl32"): a strip of labelled tabs, at
// the top or (TCS_BOTTOM, also when set later with SetWindowLongW) at the
// bottom of its window. A tap on another tab sends TCN_SELCHANGING (a
// non-zero answer keeps the current tab) and then TCN_SELCHANGE as
// WM_NOTIFY to the parent; TCM_SETCURSEL notifies nothing.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define WC_TABCONTROLW u"SysTabControl32"

#define TCS_BOTTOM 0x0002u

#define TCIF_TEXT 0x0001u
#define TCIF_IMAGE 0x0002u
#define TCIF_PARAM 0x0008u

struct TCITEMW {
  UINT mask;
  DWORD dwState;
  DWORD dwStateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};

#define TCM_FIRST 0x1300u
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_DELETEITEM (TCM_FIRST + 8)
#define TCM_DELETEALLITEMS (TCM_FIRST + 9)
#define TCM_GETITEMRECT (TCM_FIRST + 10)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)
#define TCM_HITTEST (TCM_FIRST + 13)
#define TCM_ADJUSTRECT (TCM_FIRST + 40)
#define TCM_GETCURFOCUS (TCM_FIRST + 47)
#define TCM_SETCURFOCUS (TCM_FIRST + 48)
#define TCM_GETITEMW (TCM_FIRST + 60)
#define TCM_SETITEMW (TCM_FIRST + 61)
#define TCM_INSERTITEMW (TCM_FIRST + 62)

struct TCHITTESTINFO {
  POINT pt;
  UINT flags;
};
#define TCHT_NOWHERE 0x1u
#define TCHT_ONITEM 0x6u

#define TCN_FIRST (0u - 550u)
#define TCN_KEYDOWN (TCN_FIRST - 0)
#define TCN_SELCHANGE (TCN_FIRST - 1)
#define TCN_SELCHANGING (TCN_FIRST - 2)

// Height of the tab strip in pixels.
int TabStripHeight();
