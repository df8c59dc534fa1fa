// Property sheets: PropertySheetW runs a modal sheet that fills the work
// area, with an OK button at the top right, the pages in between and the
// tab strip (tab control id 12320) at the bottom. Pages are child dialogs
// created the first time they are shown (WM_INITDIALOG lParam = the page's
// PROPSHEETPAGEW); each page gets PSN_SETACTIVE when shown, then
// PSN_PAGEFOCUS (after which pages make themselves active and take the
// focus), and PSN_KILLACTIVE when left (a TRUE DWLP_MSGRESULT keeps it).
// The current page also hears the sheet's WM_ACTIVATE, and WM_ACTIVATE
// (WA_ACTIVE / WA_INACTIVE) when it becomes or stops being the current page
// of the active sheet.
// OK (the button, WM_COMMAND IDOK, Enter, PSM_PRESSBUTTON PSBTN_OK) sends
// PSN_KILLACTIVE to the current page and PSN_APPLY to every created page;
// Cancel sends PSN_QUERYCANCEL and PSN_RESET. The sheet is destroyed once
// the handler that closed it has returned; every created page then gets
// WM_DESTROY, in page order.
//
// dwSize fields are not checked (the program passes the device's sizes).
#pragma once

#include "platform/dialog.h"
#include "platform/types.h"
#include "platform/window.h"

struct PROPSHEETPAGEW;
using LPFNPSPCALLBACKW = UINT (*)(HWND hwnd, UINT msg, PROPSHEETPAGEW* page);
using PFNPROPSHEETCALLBACK = int (*)(HWND hwnd, UINT msg, LPARAM lParam);

#define PSP_DEFAULT 0x0u
#define PSP_DLGINDIRECT 0x1u
#define PSP_USETITLE 0x8u
#define PSP_USECALLBACK 0x80u

struct PROPSHEETPAGEW {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  union {
    LPCWSTR pszTemplate;                 // MAKEINTRESOURCEW(id)
    const DialogTemplate* pResource;     // PSP_DLGINDIRECT
  };
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszTitle;  // PSP_USETITLE; otherwise the template's caption
  DLGPROC pfnDlgProc;
  LPARAM lParam;
  LPFNPSPCALLBACKW pfnCallback;  // PSP_USECALLBACK
  UINT* pcRefParent;
};

#define PSPCB_RELEASE 1u
#define PSPCB_CREATE 2u

#define PSH_DEFAULT 0x0u
#define PSH_PROPTITLE 0x1u
#define PSH_PROPSHEETPAGE 0x8u
#define PSH_NOAPPLYNOW 0x80u
#define PSH_USECALLBACK 0x100u
#define PSH_MAXIMIZE 0x2000u

struct PROPSHEETHEADERW {
  DWORD dwSize;
  DWORD dwFlags;
  HWND hwndParent;
  HINSTANCE hInstance;
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszCaption;
  UINT nPages;
  union {
    UINT nStartPage;
    LPCWSTR pStartPage;
  };
  const PROPSHEETPAGEW* ppsp;  // PSH_PROPSHEETPAGE
  PFNPROPSHEETCALLBACK pfnCallback;  // PSH_USECALLBACK
};

// Sheet callback messages. PSCB_GETVERSION comes first (hwnd null; the
// answer is kept but changes nothing), PSCB_INITIALIZED once the sheet and
// its tab control exist (before the first page is shown).
#define PSCB_INITIALIZED 1u
#define PSCB_PRECREATE 2u
#define PSCB_GETVERSION 3u

struct PSHNOTIFY {
  NMHDR hdr;  // hwndFrom = the sheet, idFrom 0
  LPARAM lParam;
};

#define PSN_FIRST (0u - 200u)
#define PSN_SETACTIVE (PSN_FIRST - 0)
#define PSN_KILLACTIVE (PSN_FIRST - 1)
#define PSN_APPLY (PSN_FIRST - 2)
#define PSN_RESET (PSN_FIRST - 3)
#define PSN_QUERYCANCEL (PSN_FIRST - 9)
// The handheld's "take the focus" request, sent to a page after it is shown.
#define PSN_PAGEFOCUS (0u - 12u)

#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_QUERYSIBLINGS (WM_USER + 108)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_PRESSBUTTON (WM_USER + 111)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_SETTITLEW (WM_USER + 120)
#define PSM_INDEXTOHWND (WM_USER + 130)

#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5

// The id of the sheet's tab control.
#define PSH_TABCONTROL_ID 12320

// Returns 1 when closed with OK, 0 with Cancel, -1 when no page could be
// shown. Runs on the calling thread like DialogBoxParamW.
INT_PTR PropertySheetW(const PROPSHEETHEADERW* header);
