// The tree view control (class "SysTreeView32"): items with text, a param,
// a state image (with TVS_CHECKBOXES: 1 unchecked, 2 checked, drawn as
// check boxes) and a children flag; expanding, selection with its action
// code, scrolling, hit testing and in-place label editing. It reports to
// its parent with WM_NOTIFY.
//
// The style is read whenever it matters, so TVS_CHECKBOXES may be set or
// cleared with SetWindowLongW(GWL_STYLE) at any time. A tap on a check box
// first sends NM_CLICK (a non-zero answer keeps the box as it is), then the
// control flips the box itself (2 becomes 1, anything else 2). Item handles
// are never reused within one control: a deleted item's handle is refused.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define WC_TREEVIEWW u"SysTreeView32"

// Registers the class (the dialog manager's control registration also does).
void RegisterTreeViewClass();

SORVI_DECLARE_HANDLE(HTREEITEM);
#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFD)))

#define TVS_HASBUTTONS 0x0001u
#define TVS_HASLINES 0x0002u
#define TVS_LINESATROOT 0x0004u
#define TVS_EDITLABELS 0x0008u
#define TVS_DISABLEDRAGDROP 0x0010u
#define TVS_SHOWSELALWAYS 0x0020u
#define TVS_CHECKBOXES 0x0100u

#define TVIF_TEXT 0x0001u
#define TVIF_IMAGE 0x0002u
#define TVIF_PARAM 0x0004u
#define TVIF_STATE 0x0008u
#define TVIF_HANDLE 0x0010u
#define TVIF_SELECTEDIMAGE 0x0020u
#define TVIF_CHILDREN 0x0040u

#define TVIS_SELECTED 0x0002u
#define TVIS_CUT 0x0004u
#define TVIS_DROPHILITED 0x0008u
#define TVIS_BOLD 0x0010u
#define TVIS_EXPANDED 0x0020u
#define TVIS_EXPANDEDONCE 0x0040u
#define TVIS_OVERLAYMASK 0x0F00u
#define TVIS_STATEIMAGEMASK 0xF000u
#define TVIS_USERMASK 0xF000u
#define INDEXTOSTATEIMAGEMASK(i) (static_cast<UINT>(i) << 12)
#define STATEIMAGEMASKTOINDEX(s) ((static_cast<UINT>(s) & TVIS_STATEIMAGEMASK) >> 12)

struct TVITEMW {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;  // non-zero: shown with a button even before it has children
  LPARAM lParam;
};

struct TVINSERTSTRUCTW {
  HTREEITEM hParent;       // TVI_ROOT (or null) for a top-level item
  HTREEITEM hInsertAfter;  // TVI_FIRST, TVI_LAST, TVI_SORT or a sibling
  TVITEMW item;
};

#define TV_FIRST 0x1100u
#define TVM_DELETEITEM (TV_FIRST + 1)      // lParam = item or TVI_ROOT (all): the item and its subtree
#define TVM_EXPAND (TV_FIRST + 2)          // wParam = TVE_*, lParam = item
#define TVM_GETITEMRECT (TV_FIRST + 4)     // wParam = text only, lParam = RECT* holding the item on entry
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETINDENT (TV_FIRST + 6)
#define TVM_GETNEXTITEM (TV_FIRST + 10)    // wParam = TVGN_*, lParam = item
#define TVM_SELECTITEM (TV_FIRST + 11)     // wParam = TVGN_CARET / TVGN_FIRSTVISIBLE, lParam = item
#define TVM_GETEDITCONTROL (TV_FIRST + 15)
#define TVM_GETVISIBLECOUNT (TV_FIRST + 16)
#define TVM_HITTEST (TV_FIRST + 17)        // lParam = TVHITTESTINFO*
#define TVM_ENSUREVISIBLE (TV_FIRST + 20)  // lParam = item
#define TVM_ENDEDITLABELNOW (TV_FIRST + 22)  // wParam = cancel
#define TVM_GETITEMSTATE (TV_FIRST + 39)   // wParam = item, lParam = mask
#define TVM_INSERTITEMW (TV_FIRST + 50)    // lParam = TVINSERTSTRUCTW*; returns the item
#define TVM_GETITEMW (TV_FIRST + 62)       // lParam = TVITEMW*
#define TVM_SETITEMW (TV_FIRST + 63)       // lParam = TVITEMW*
#define TVM_EDITLABELW (TV_FIRST + 65)     // lParam = item; returns the edit control

#define TVE_COLLAPSE 0x0001u
#define TVE_EXPAND 0x0002u
#define TVE_TOGGLE 0x0003u

#define TVGN_ROOT 0x0000u
#define TVGN_NEXT 0x0001u
#define TVGN_PREVIOUS 0x0002u
#define TVGN_PARENT 0x0003u
#define TVGN_CHILD 0x0004u
#define TVGN_FIRSTVISIBLE 0x0005u
#define TVGN_NEXTVISIBLE 0x0006u
#define TVGN_PREVIOUSVISIBLE 0x0007u
#define TVGN_DROPHILITE 0x0008u
#define TVGN_CARET 0x0009u
#define TVGN_LASTVISIBLE 0x000Au

struct TVHITTESTINFO {
  POINT pt;  // client coordinates
  UINT flags;
  HTREEITEM hItem;
};
#define TVHT_NOWHERE 0x0001u
#define TVHT_ONITEMICON 0x0002u
#define TVHT_ONITEMLABEL 0x0004u
#define TVHT_ONITEMINDENT 0x0008u
#define TVHT_ONITEMBUTTON 0x0010u
#define TVHT_ONITEMRIGHT 0x0020u
#define TVHT_ONITEMSTATEICON 0x0040u
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100u
#define TVHT_BELOW 0x0200u
#define TVHT_TORIGHT 0x0400u
#define TVHT_TOLEFT 0x0800u

// ---- Notifications (WM_NOTIFY codes) ----
#ifndef NM_FIRST
#define NM_FIRST 0u
#endif
#ifndef NM_CLICK
#define NM_CLICK (NM_FIRST - 2u)
#endif
#ifndef NM_DBLCLK
#define NM_DBLCLK (NM_FIRST - 3u)
#endif
#ifndef NM_RETURN
#define NM_RETURN (NM_FIRST - 4u)
#endif
#define TVN_FIRST (0u - 400u)
#define TVN_SELCHANGINGW (TVN_FIRST - 50u)   // NMTREEVIEWW; non-zero answer keeps the old selection
#define TVN_SELCHANGEDW (TVN_FIRST - 51u)    // NMTREEVIEWW
#define TVN_ITEMEXPANDINGW (TVN_FIRST - 54u) // NMTREEVIEWW; non-zero answer prevents it
#define TVN_ITEMEXPANDEDW (TVN_FIRST - 55u)
#define TVN_DELETEITEMW (TVN_FIRST - 58u)    // NMTREEVIEWW (itemOld)
#define TVN_BEGINLABELEDITW (TVN_FIRST - 59u)  // NMTVDISPINFOW; non-zero answer cancels
#define TVN_ENDLABELEDITW (TVN_FIRST - 60u)    // NMTVDISPINFOW; pszText null = cancelled; TRUE keeps the text
#define TVN_KEYDOWN (TVN_FIRST - 12u)          // NMTVKEYDOWN

#define TVC_UNKNOWN 0x0000u
#define TVC_BYMOUSE 0x0001u
#define TVC_BYKEYBOARD 0x0002u

struct NMTREEVIEWW {
  NMHDR hdr;
  UINT action;  // TVC_* for selection, TVE_* for expanding
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
};

struct NMTVDISPINFOW {
  NMHDR hdr;
  TVITEMW item;
};

struct NMTVKEYDOWN {
  NMHDR hdr;
  WORD wVKey;
  UINT flags;
};
