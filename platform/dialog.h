// Dialogs: templates as data, the dialog manager (modal and modeless
// dialogs, EndDialog, keyboard navigation, item helpers) and the default
// dialog procedure.
//
// Templates are plain records (DialogTemplate below) that resources/
// registers with RegisterDialogTemplate (type RT_DIALOG); sizes and
// positions are dialog units. One dialog unit is a quarter of the label
// font's nominal cell width horizontally and an eighth of its height
// vertically; the cell is 6 x 13 pixels at 96 dpi, scaled to the screen's dpi.
//
// Threads: a modal dialog runs its loop on the thread that calls
// DialogBoxParamW and its windows belong to that thread (worker threads may
// open dialogs and message boxes of their own). The owner is disabled for the
// dialog's life only when it belongs to the same thread (disabling a window
// of another thread would make the worker wait on the UI thread). Every modal
// loop lets go of all levels of the engine lock while it waits and takes
// them back when it returns; messages it dispatches hold one level, as in the
// main loop.
#pragma once

#include "platform/message.h"
#include "platform/resources.h"
#include "platform/types.h"
#include "platform/window.h"

using DLGPROC = INT_PTR (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Templates ----
// One control: the class is a registered class name ("BUTTON", "EDIT",
// "STATIC", "LISTBOX", "COMBOBOX", "SysTabControl32" or a custom class),
// WS_CHILD is implied.
struct DialogItemTemplate {
  int id;
  LPCWSTR className;
  LPCWSTR text;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
  int id;               // resource id (also what automation hooks match)
  LPCWSTR caption;
  DWORD style;          // WS_POPUP | WS_CAPTION | DS_... ; WS_CHILD for pages
  DWORD exStyle;
  short x, y, cx, cy;   // dialog units; cx, cy = client size
  const DialogItemTemplate* items;
  int itemCount;
};

// Registers the template as resource (RT_DIALOG, id); the record must live
// for the program's life.
void RegisterDialogTemplate(const DialogTemplate* dialogTemplate);
// The registered template of an id (MAKEINTRESOURCEW), or null.
const DialogTemplate* FindDialogTemplate(HINSTANCE instance, LPCWSTR name);

// ---- Dialog styles ----
#define DS_ABSALIGN 0x01u
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define DS_SETFOREGROUND 0x200u
#define DS_CONTROL 0x400u
#define DS_CENTER 0x800u

// ---- Window slots of a dialog (SetWindowLongPtrW) ----
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16
#define DWL_MSGRESULT DWLP_MSGRESULT
#define DWL_USER DWLP_USER
#define DLGWINDOWEXTRA 32

// ---- Command ids ----
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// ---- Dialog messages ----
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

// ---- Units ----
// LOWORD = horizontal base unit, HIWORD = vertical (pixels per 4 / 8 DLU).
LONG GetDialogBaseUnits();
// Converts a rectangle from dialog units to pixels.
BOOL MapDialogRect(HWND dialog, RECT* rect);

// ---- Creation ----
// The dialog procedure sees messages from WM_INITDIALOG on (wParam = the
// first tab-stop control, lParam = `param`); returning TRUE from it puts the
// focus on that control. Returns the dialog's EndDialog value, or -1 when the
// template is missing or the dialog could not be created.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
inline INT_PTR DialogBoxW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc) {
  return DialogBoxParamW(instance, templateName, owner, proc, 0);
}
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param);
// Modeless: visible only when the template has WS_VISIBLE (or after
// ShowWindow); ended with DestroyWindow. A WS_CHILD template makes a child
// of `parent` (property pages).
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
inline HWND CreateDialogW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc) {
  return CreateDialogParamW(instance, templateName, parent, proc, 0);
}
HWND CreateDialogIndirectParamW(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param);
// Marks a modal dialog ended with `result`; it is destroyed when its
// handler has returned to the modal loop (so the handler, and what it calls,
// still find the dialog and the windows it owns). From another thread the
// request is posted to the dialog's thread. FALSE for a window that is not a
// modal dialog.
BOOL EndDialog(HWND dialog, INT_PTR result);

// The dialog class's procedure: calls the dialog procedure and does the
// default handling when it returns FALSE.
LRESULT DefDlgProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Keyboard ----
// Handles the message when it is for `dialog` or one of its descendants:
// Tab / Shift+Tab move between WS_TABSTOP controls, arrows within a
// WS_GROUP group, Enter presses the focused or default push button, Escape
// sends IDCANCEL, unless the control's WM_GETDLGCODE (lParam = the MSG)
// asks for the key. Everything else for the dialog is dispatched here too.
// FALSE (nothing done) for other windows' messages.
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);

// ---- Items ----
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// Leading/trailing spaces allowed; *translated FALSE for no number or one
// out of range.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and unchecks the others of [first, last].
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

// ---- For the other dialog-like modules ----
// The template id a dialog was made from (0 for none / not a dialog). Call
// it on the dialog's thread.
int GetDialogTemplateId(HWND dialog);
