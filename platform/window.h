// Windows: classes, the window tree, positions and z-order, properties,
// focus, capture, activation and the foreground window.
//
// HWND values are generation-checked ids with bit 0 clear (the program sets
// bit 0 to ask SetForegroundWindow for owned pop-ups too); a destroyed
// window's handle is refused by every call (0 / FALSE, last error
// ERROR_INVALID_WINDOW_HANDLE).
//
// A window belongs to the thread that created it; its procedure only ever
// runs on that thread (messages sent from other threads are handed over).
#pragma once

#include "platform/gdi.h"
#include "platform/types.h"

#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#endif
#ifndef ERROR_CLASS_ALREADY_EXISTS
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#endif
#ifndef ERROR_CLASS_DOES_NOT_EXIST
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#endif
#ifndef ERROR_CLASS_HAS_WINDOWS
#define ERROR_CLASS_HAS_WINDOWS 1412L
#endif
#ifndef ERROR_CLIPBOARD_NOT_OPEN
#define ERROR_CLIPBOARD_NOT_OPEN 1418L
#endif

SORVI_DECLARE_HANDLE(HCURSOR);

using WNDPROC = LRESULT (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Window messages ----
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_MOVE 0x0003u
#define WM_SIZE 0x0005u
#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_ENABLE 0x000Au
#define WM_SETREDRAW 0x000Bu
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_ERASEBKGND 0x0014u
#define WM_SYSCOLORCHANGE 0x0015u
#define WM_SHOWWINDOW 0x0018u
#define WM_SETTINGCHANGE 0x001Au
#define WM_ACTIVATEAPP 0x001Cu
#define WM_CANCELMODE 0x001Fu
#define WM_SETCURSOR 0x0020u
#define WM_NEXTDLGCTL 0x0028u
#define WM_DRAWITEM 0x002Bu
#define WM_MEASUREITEM 0x002Cu
#define WM_SETFONT 0x0030u
#define WM_GETFONT 0x0031u
#define WM_WINDOWPOSCHANGING 0x0046u
#define WM_WINDOWPOSCHANGED 0x0047u
#define WM_NOTIFY 0x004Eu
#define WM_HELP 0x0053u
#define WM_NCCREATE 0x0081u
#define WM_NCDESTROY 0x0082u
#define WM_NCHITTEST 0x0084u
#define WM_GETDLGCODE 0x0087u
#define WM_NCMOUSEMOVE 0x00A0u
#define WM_NCLBUTTONDOWN 0x00A1u
#define WM_NCLBUTTONUP 0x00A2u
#define WM_KEYFIRST 0x0100u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_DEADCHAR 0x0103u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u
#define WM_SYSCHAR 0x0106u
#define WM_KEYLAST 0x0108u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define WM_TIMER 0x0113u
#define WM_HSCROLL 0x0114u
#define WM_VSCROLL 0x0115u
#define WM_INITMENUPOPUP 0x0117u
#define WM_MENUSELECT 0x011Fu
#define WM_ENTERIDLE 0x0121u
#define WM_CTLCOLORMSGBOX 0x0132u
#define WM_CTLCOLOREDIT 0x0133u
#define WM_CTLCOLORLISTBOX 0x0134u
#define WM_CTLCOLORBTN 0x0135u
#define WM_CTLCOLORDLG 0x0136u
#define WM_CTLCOLORSCROLLBAR 0x0137u
#define WM_CTLCOLORSTATIC 0x0138u
#define WM_MOUSEFIRST 0x0200u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define WM_MOUSELAST 0x0209u
#define WM_CAPTURECHANGED 0x0215u
#define WM_IME_SETCONTEXT 0x0281u
#define WM_IME_NOTIFY 0x0282u
#define WM_IME_REQUEST 0x0288u
#define WM_CUT 0x0300u
#define WM_COPY 0x0301u
#define WM_PASTE 0x0302u
#define WM_CLEAR 0x0303u
#define WM_UNDO 0x0304u
#define WM_USER 0x0400u
#define WM_APP 0x8000u

// WM_SIZE kinds, WM_ACTIVATE states, mouse key flags, hit-test codes.
#define SIZE_RESTORED 0
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
#define MK_LBUTTON 0x0001u
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2
#define HTHSCROLL 6
#define HTVSCROLL 7
#define HTBORDER 18

// WM_GETDLGCODE answers.
#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// ---- Styles ----
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u  // WS_BORDER | WS_DLGFRAME
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u

#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TRANSPARENT 0x00000020u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_CONTROLPARENT 0x00010000u
#define WS_EX_STATICEDGE 0x00020000u
#define WS_EX_NOANIMATION 0x04000000u
#define WS_EX_NOACTIVATE 0x08000000u

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_PARENTDC 0x0080u
#define CS_NOCLOSE 0x0200u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;  // bytes for SetWindowLongPtrW at offsets 0.. (dialogs keep their slots here)
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;  // a brush or (HBRUSH)(COLOR_x + 1)
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};

// Header of every WM_NOTIFY record (lParam); the control's payload follows.
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};

// ---- Rectangles (right and bottom edges are outside) ----
inline BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}
inline BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }
inline BOOL CopyRect(RECT* to, const RECT* from) {
  if (!to || !from) return FALSE;
  *to = *from;
  return TRUE;
}
inline BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
inline BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
inline BOOL PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
inline BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  *r = RECT{r->left + dx, r->top + dy, r->right + dx, r->bottom + dy};
  return TRUE;
}
inline BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  *r = RECT{r->left - dx, r->top - dy, r->right + dx, r->bottom + dy};
  return TRUE;
}
// FALSE (and an empty result) when they do not overlap.
inline BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  RECT r{a->left > b->left ? a->left : b->left, a->top > b->top ? a->top : b->top,
         a->right < b->right ? a->right : b->right, a->bottom < b->bottom ? a->bottom : b->bottom};
  if (IsRectEmpty(&r)) {
    *out = RECT{0, 0, 0, 0};
    return FALSE;
  }
  *out = r;
  return TRUE;
}
// An empty rectangle adds nothing; FALSE when both are empty.
inline BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  if (IsRectEmpty(a)) return IsRectEmpty(b) ? (SetRectEmpty(out), FALSE) : CopyRect(out, b);
  if (IsRectEmpty(b)) return CopyRect(out, a);
  *out = RECT{a->left < b->left ? a->left : b->left, a->top < b->top ? a->top : b->top,
              a->right > b->right ? a->right : b->right, a->bottom > b->bottom ? a->bottom : b->bottom};
  return TRUE;
}

// ---- Classes ----
// Returns the class atom, 0 when the name is taken (ERROR_CLASS_ALREADY_EXISTS)
// or the record is incomplete. Names compare case-insensitively.
ATOM RegisterClassW(const WNDCLASSW* wc);
// FALSE while windows of the class exist (ERROR_CLASS_HAS_WINDOWS).
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wc);
// Characters copied (without the terminator); 0 for a bad window.
int GetClassNameW(HWND hwnd, LPWSTR name, int size);

// ---- Creation and destruction ----
// WM_NCCREATE, WM_CREATE (lParam = CREATESTRUCTW*; a create record given as
// lpParam reaches lpCreateParams), WM_SIZE, WM_MOVE, then, for WS_VISIBLE,
// the messages of ShowWindow(SW_SHOW). Null when WM_NCCREATE returns 0,
// WM_CREATE returns -1 or the window destroyed itself meanwhile. For a
// child, hMenu is its control id; for a top-level window `parent` is the
// owner. CW_USEDEFAULT gives the work area.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
inline HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  return CreateWindowExW(0, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
// Owned windows go first; then WM_DESTROY parent before children and
// WM_NCDESTROY children before parent. Allowed from inside the window's own
// procedure (the handle is dead when DestroyWindow returns). A window of
// another thread is refused (ERROR_ACCESS_DENIED).
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Tree and enumeration ----
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

// Children are kept in z-order; a new child goes to the bottom, so
// GW_CHILD + GW_HWNDNEXT walks in creation order (the dialog tab order).
HWND GetWindow(HWND hwnd, UINT relation);
// The parent of a child, the owner of a top-level window.
HWND GetParent(HWND hwnd);
HWND SetParent(HWND child, HWND newParent);
BOOL IsChild(HWND parent, HWND hwnd);
#define GA_PARENT 1
#define GA_ROOT 2
#define GA_ROOTOWNER 3
HWND GetAncestor(HWND hwnd, UINT flags);
using WNDENUMPROC = BOOL (*)(HWND hwnd, LPARAM lParam);
// All descendants, depth first in z-order; stops when the callback returns FALSE.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
// Top-level windows of this process, top first.
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
// Searches this process's top-level windows, then (when not found) those
// other processes published; null arguments match anything locally.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// ---- Longs, text, properties ----
#define GWL_WNDPROC (-4)
#define GWL_HINSTANCE (-6)
#define GWL_HWNDPARENT (-8)
#define GWL_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWLP_WNDPROC GWL_WNDPROC
#define GWLP_HINSTANCE GWL_HINSTANCE
#define GWLP_ID GWL_ID
#define GWLP_USERDATA GWL_USERDATA
// The ...W forms keep 32 bits; the ...PtrW forms a pointer. Non-negative
// indexes address the class's cbWndExtra bytes. Setting returns the old value.
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);  // sends WM_SETTEXT
int GetWindowTextW(HWND hwnd, LPWSTR text, int size);  // sends WM_GETTEXT
int GetWindowTextLengthW(HWND hwnd);

// Named per-window storage; properties still set at WM_NCDESTROY are dropped.
BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data);
HANDLE GetPropW(HWND hwnd, LPCWSTR name);
HANDLE RemovePropW(HWND hwnd, LPCWSTR name);

// ---- Position, size, visibility, z-order ----
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOCOPYBITS 0x0100u
#define SWP_NOOWNERZORDER 0x0200u
#define SWP_NOSENDCHANGING 0x0400u
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))

// Sends WM_WINDOWPOSCHANGED (lParam = WINDOWPOS*), then WM_MOVE when the
// client origin moved and WM_SIZE when the client size changed.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
// Returns whether the window was visible before. Showing a top-level window
// activates it unless SW_SHOWNA / SW_SHOWNOACTIVATE; hiding the active one
// activates the next.
BOOL ShowWindow(HWND hwnd, int command);
// Visible when the window and all its ancestors are.
BOOL IsWindowVisible(HWND hwnd);
// Sends WM_ENABLE; disabling the focus window's ancestor takes focus away.
// Returns whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// ---- Coordinates ----
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height)
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// Maps points from one window's client coordinates to another's (null =
// screen). Returns the offset packed as MAKELONG(dx, dy).
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The deepest visible, enabled window under a screen point.
HWND WindowFromPoint(POINT point);
// The child (one level) of `parent` under a client point, or `parent`.
HWND ChildWindowFromPoint(HWND parent, POINT point);

// ---- Focus, capture, activation, foreground ----
// Sends WM_KILLFOCUS (wParam = new) to the old window, then WM_SETFOCUS
// (wParam = old) to the new one; activates the new window's top-level window
// first. Returns the previous focus.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Moves of the stylus go to the capturing window even outside it, in its
// client coordinates. The window losing capture gets WM_CAPTURECHANGED
// (lParam = the new capture window or null).
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
// WM_ACTIVATE (WA_INACTIVE, lParam = new) to the old top-level window, then
// WM_ACTIVATE (WA_ACTIVE, lParam = old) to the new one, whose default handling
// puts the focus on it when the focus is not inside it already.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
// Brings the window (and the windows it owns) to the top and activates it.
// Bit 0 of the handle may be set (it is ignored).
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// The window that takes keys in the foreground window: its focus window
// when there is one, else the foreground window.
HWND GetForegroundKeyboardTarget();

// ---- Key state ----
#define VK_LBUTTON 0x01
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_APPS 0x5D
#define VK_F1 0x70
#define VK_F24 0x87
#define VK_APP1 0xC1
#define VK_APP2 0xC2
#define VK_APP3 0xC3
#define VK_APP4 0xC4
#define VK_APP5 0xC5
#define VK_APP6 0xC6
#define VK_PROCESSKEY 0xE5
// High bit set (negative) while the key is down, from the input delivered so far.
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);
// The shell's "all keys" switch: with TRUE the program receives the hardware
// keys the shell would otherwise keep. Recorded; always succeeds.
BOOL AllKeys(BOOL all);
BOOL IsAllKeysMode();
// Hardware application buttons (VK_APP1..6): RegisterHotKey with a
// modifier of 0 claims one for a window, which then gets WM_HOTKEY.
#define WM_HOTKEY 0x0312u
#define MOD_WIN 0x0008u
#define MOD_KEYUP 0x1000u
BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk);
BOOL UnregisterHotKey(HWND hwnd, int id);

// ---- Version ----
#define VER_PLATFORM_WIN32_CE 3u
struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
// 5.2.21000 unless set by SetOsVersion or $SORVI_OS_VERSION ("4.21" or "5.2.21000").
BOOL GetVersionExW(OSVERSIONINFOW* info);
void SetOsVersion(DWORD major, DWORD minor, DWORD build);

// ---- Fake windows of other programs (foreground model) ----
// Marks a window as belonging to another program: it is never given to the
// program's own lookups (FindWindowW finds it only by exact class and title),
// but can be the foreground window and answer messages (WM_COPY) the way a
// scripted foreign program would.
BOOL MarkForeignWindow(HWND hwnd);
BOOL IsForeignWindow(HWND hwnd);
