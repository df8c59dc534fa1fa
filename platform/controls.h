// The standard controls: BUTTON (push, default, check box, radio, group
// box), STATIC (text, SS_NOTIFY), EDIT (single and multi-line), LISTBOX and
// COMBOBOX (drop-down list). Each is a window class whose procedure answers
// the messages below and reports to its parent with WM_COMMAND
// (MAKEWPARAM(id, code), control). Colours come from the parent's
// WM_CTLCOLORBTN (push buttons), WM_CTLCOLORSTATIC (statics, check boxes,
// radio buttons, group boxes, read-only edits), WM_CTLCOLOREDIT and
// WM_CTLCOLORLISTBOX: the returned brush fills the control and the colours
// set on the DC draw its text; 0 means the system colours.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#define WC_BUTTONW u"BUTTON"
#define WC_STATICW u"STATIC"
#define WC_EDITW u"EDIT"
#define WC_LISTBOXW u"LISTBOX"
#define WC_COMBOBOXW u"COMBOBOX"

// Registers the standard control classes (and those added with
// AddControlRegistrar) once per process; dialog creation, message boxes and
// InitCommonControlsEx call it. Thread-safe.
void RegisterStandardControls();
// Other control modules (tree view, date picker) add their class
// registration here so every entry point registers them too.
void AddControlRegistrar(void (*registrar)());

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
#define ICC_LISTVIEW_CLASSES 0x1u
#define ICC_TREEVIEW_CLASSES 0x2u
#define ICC_BAR_CLASSES 0x4u
#define ICC_TAB_CLASSES 0x8u
#define ICC_UPDOWN_CLASS 0x10u
#define ICC_PROGRESS_CLASS 0x20u
#define ICC_DATE_CLASSES 0x100u
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls();

// ---- BUTTON ----
#define BS_PUSHBUTTON 0x0u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_CHECKBOX 0x2u
#define BS_AUTOCHECKBOX 0x3u
#define BS_RADIOBUTTON 0x4u
#define BS_3STATE 0x5u
#define BS_AUTO3STATE 0x6u
#define BS_GROUPBOX 0x7u
#define BS_AUTORADIOBUTTON 0x9u
#define BS_TYPEMASK 0xFu
#define BS_LEFTTEXT 0x20u
#define BS_LEFT 0x100u
#define BS_RIGHT 0x200u
#define BS_CENTER 0x300u
#define BS_TOP 0x400u
#define BS_BOTTOM 0x800u
#define BS_VCENTER 0xC00u
#define BS_PUSHLIKE 0x1000u
#define BS_MULTILINE 0x2000u
#define BS_NOTIFY 0x4000u

#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BM_GETSTATE 0x00F2u
#define BM_SETSTATE 0x00F3u
#define BM_SETSTYLE 0x00F4u
#define BM_CLICK 0x00F5u

#define BST_UNCHECKED 0x0u
#define BST_CHECKED 0x1u
#define BST_INDETERMINATE 0x2u
#define BST_PUSHED 0x4u
#define BST_FOCUS 0x8u

#define BN_CLICKED 0
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

// ---- STATIC ----
#define SS_LEFT 0x0u
#define SS_CENTER 0x1u
#define SS_RIGHT 0x2u
#define SS_ICON 0x3u
#define SS_BLACKRECT 0x4u
#define SS_GRAYRECT 0x5u
#define SS_WHITERECT 0x6u
#define SS_LEFTNOWORDWRAP 0xCu
#define SS_TYPEMASK 0x1Fu
#define SS_NOPREFIX 0x80u
#define SS_NOTIFY 0x100u
#define SS_CENTERIMAGE 0x200u

#define STN_CLICKED 0
#define STN_DBLCLK 1

// ---- EDIT ----
#define ES_LEFT 0x0u
#define ES_CENTER 0x1u
#define ES_RIGHT 0x2u
#define ES_MULTILINE 0x4u
#define ES_UPPERCASE 0x8u
#define ES_LOWERCASE 0x10u
#define ES_PASSWORD 0x20u
#define ES_AUTOVSCROLL 0x40u
#define ES_AUTOHSCROLL 0x80u
#define ES_NOHIDESEL 0x100u
#define ES_READONLY 0x800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u

#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u
#define EM_GETRECT 0x00B2u
#define EM_SCROLLCARET 0x00B7u
#define EM_GETMODIFY 0x00B8u
#define EM_SETMODIFY 0x00B9u
#define EM_GETLINECOUNT 0x00BAu
#define EM_LINEINDEX 0x00BBu
#define EM_LINELENGTH 0x00C1u
#define EM_REPLACESEL 0x00C2u
#define EM_GETLINE 0x00C4u
#define EM_LIMITTEXT 0x00C5u
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_CANUNDO 0x00C6u
#define EM_UNDO 0x00C7u
#define EM_LINEFROMCHAR 0x00C9u
#define EM_SETPASSWORDCHAR 0x00CCu
#define EM_EMPTYUNDOBUFFER 0x00CDu
#define EM_GETFIRSTVISIBLELINE 0x00CEu
#define EM_SETREADONLY 0x00CFu
#define EM_GETPASSWORDCHAR 0x00D2u
#define EM_GETLIMITTEXT 0x00D5u

#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_ERRSPACE 0x0500
#define EN_MAXTEXT 0x0501

// ---- LISTBOX ----
#define LBS_NOTIFY 0x1u
#define LBS_SORT 0x2u
#define LBS_NOREDRAW 0x4u
#define LBS_HASSTRINGS 0x40u
#define LBS_NOINTEGRALHEIGHT 0x100u
#define LBS_WANTKEYBOARDINPUT 0x400u
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)

#define LB_ADDSTRING 0x0180u
#define LB_INSERTSTRING 0x0181u
#define LB_DELETESTRING 0x0182u
#define LB_RESETCONTENT 0x0184u
#define LB_SETCURSEL 0x0186u
#define LB_GETSEL 0x0187u
#define LB_GETCURSEL 0x0188u
#define LB_GETTEXT 0x0189u
#define LB_GETTEXTLEN 0x018Au
#define LB_GETCOUNT 0x018Bu
#define LB_SELECTSTRING 0x018Cu
#define LB_GETTOPINDEX 0x018Eu
#define LB_FINDSTRING 0x018Fu
#define LB_SETTOPINDEX 0x0197u
#define LB_GETITEMRECT 0x0198u
#define LB_GETITEMDATA 0x0199u
#define LB_SETITEMDATA 0x019Au
#define LB_SETITEMHEIGHT 0x01A0u
#define LB_GETITEMHEIGHT 0x01A1u
#define LB_FINDSTRINGEXACT 0x01A2u
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)

#define LBN_ERRSPACE (-2)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define LBN_SELCANCEL 3
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5

// ---- COMBOBOX ----
// Only the drop-down list kind (CBS_DROPDOWNLIST) is built; CBS_DROPDOWN and
// CBS_SIMPLE behave as it. The height given at creation (or by MoveWindow /
// SetWindowPos) is the height with the list dropped; the window itself is
// one row high.
#define CBS_SIMPLE 0x1u
#define CBS_DROPDOWN 0x2u
#define CBS_DROPDOWNLIST 0x3u
#define CBS_AUTOHSCROLL 0x40u
#define CBS_SORT 0x100u
#define CBS_HASSTRINGS 0x200u
#define CBS_NOINTEGRALHEIGHT 0x400u
#define CBS_DISABLENOSCROLL 0x800u

#define CB_ADDSTRING 0x0143u
#define CB_DELETESTRING 0x0144u
#define CB_GETCOUNT 0x0146u
#define CB_GETCURSEL 0x0147u
#define CB_GETLBTEXT 0x0148u
#define CB_GETLBTEXTLEN 0x0149u
#define CB_INSERTSTRING 0x014Au
#define CB_RESETCONTENT 0x014Bu
#define CB_FINDSTRING 0x014Cu
#define CB_SELECTSTRING 0x014Du
#define CB_SETCURSEL 0x014Eu
#define CB_SHOWDROPDOWN 0x014Fu
#define CB_GETITEMDATA 0x0150u
#define CB_SETITEMDATA 0x0151u
#define CB_GETDROPPEDCONTROLRECT 0x0152u
#define CB_SETITEMHEIGHT 0x0153u
#define CB_GETITEMHEIGHT 0x0154u
#define CB_GETDROPPEDSTATE 0x0157u
#define CB_FINDSTRINGEXACT 0x0158u
#define CB_GETTOPINDEX 0x015Bu
#define CB_SETTOPINDEX 0x015Cu
#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)

#define CBN_ERRSPACE (-1)
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10
