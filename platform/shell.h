// The handheld shell's calls: full-screen dialogs with their Done button,
// the soft-key menu bar at the bottom of the screen, full-screen mode,
// activation and setting-change helpers, the notification tray, the
// hardware application keys and the input panel.
//
// Records that carried a 32-bit size take either the device's size (given
// beside each struct) or sizeof the struct here.
#pragma once

#include <string>
#include <vector>

#include "platform/menu.h"
#include "platform/types.h"
#include "platform/window.h"

#ifndef IDOK
#define IDOK 1
#endif

// ---- Full-screen dialogs ----
#define SHIDIM_FLAGS 0x0001u
#define SHIDIF_DONEBUTTON 0x0001u
#define SHIDIF_SIZEDLG 0x0002u
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004u
#define SHIDIF_SIPDOWN 0x0008u
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010u
#define SHIDIF_EMPTYMENU 0x0020u

struct SHINITDLGINFO {
  DWORD dwMask;  // SHIDIM_FLAGS
  HWND hDlg;
  DWORD dwFlags;
};
// SIZEDLG / SIZEDLGFULLSCREEN: the dialog covers the screen below the task
// bar, down to the menu bar (to the bottom with FULLSCREENNOMENUBAR).
// DONEBUTTON: a "Done" button in the task-bar strip, owned by the dialog,
// posts WM_COMMAND(IDOK, BN_CLICKED) to it. EMPTYMENU: an empty menu bar.
// SIPDOWN: the input panel is lowered (recorded).
BOOL SHInitDialog(SHINITDLGINFO* info);
// The Done button SHInitDialog made for a dialog (null when none).
HWND SHFindDoneButton(HWND dialog);

// The shell's extra controls (ordinal 9): the standard controls serve for
// them here, so there is nothing to register. TRUE.
BOOL SHInitExtraControls();

// ---- Menu bar ----
#define SHCMBF_EMPTYBAR 0x0001u
#define SHCMBF_HIDDEN 0x0002u
#define SHCMBF_HIDESIPBUTTON 0x0004u
#define SHCMBF_COLORBK 0x0008u

struct SHMENUBARINFO {  // 36 bytes on the device
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;  // menu resource (RT_MENU) whose top-level items are the bar's buttons
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the bar
  COLORREF clrBk;
};
#define SHMENUBARINFO_DEVICE_SIZE 36u

// A bar window across the bottom of the screen (GetMenuBarHeight() high),
// owned by hwndParent, with one soft key per top-level item of the menu
// resource: a pop-up key opens its menu above the bar (WM_INITMENUPOPUP and
// the chosen WM_COMMAND go to the parent); a command key posts WM_COMMAND.
// SHCMBF_EMPTYBAR makes a bar without keys. A parent has one bar: a new one
// replaces the old. FALSE for a bad record, parent or resource.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
// The parent's bar, or null.
HWND SHFindMenuBar(HWND parent);
// The bar's menu (null for an empty bar).
#define SHCMBM_GETMENU (WM_USER + 402)
// wParam = index of a key: its pop-up menu.
#define SHCMBM_GETSUBMENU (WM_USER + 401)

// ---- Full-screen mode ----
#define SHFS_SHOWTASKBAR 0x0001u
#define SHFS_HIDETASKBAR 0x0002u
#define SHFS_SHOWSIPBUTTON 0x0004u
#define SHFS_HIDESIPBUTTON 0x0008u
#define SHFS_SHOWSTARTICON 0x0010u
#define SHFS_HIDESTARTICON 0x0020u
// Recorded per window (see GetShellFullScreenState); TRUE for a live window.
BOOL SHFullScreen(HWND hwnd, DWORD state);
// Bits SHFS_HIDETASKBAR / SHFS_HIDESIPBUTTON / SHFS_HIDESTARTICON that are in
// force for the window now.
DWORD GetShellFullScreenState(HWND hwnd);

// ---- Activation and setting changes ----
struct SHACTIVATEINFO {  // 12 bytes on the device
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
};
#define SHACTIVATEINFO_DEVICE_SIZE 12u
#define SHA_INPUTDIALOG 0x00000001u
// Keep the record's focus and activity bits; TRUE when the record is valid.
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// ---- Notification tray ----
struct CLSID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

enum SHNP { SHNP_INFORM = 0x1B1, SHNP_ICONIC = 0 };
#define SHNF_STRAIGHTTOTRAY 0x00000001u
#define SHNF_CRITICAL 0x00000002u
#define SHNF_FORCEMESSAGE 0x00000008u
#define SHNF_DISPLAYON 0x00000010u
#define SHNF_SILENT 0x00000020u

struct SOFTKEYCMD {
  WPARAM wpCmd;
  DWORD grfFlags;
};
struct SOFTKEYNOTIFY {
  LPCWSTR pszTitle;
  SOFTKEYCMD skc;
};

struct SHNOTIFICATIONDATA {  // 88 bytes on the device
  DWORD cbStruct;
  DWORD dwID;
  SHNP npPriority;
  DWORD csDuration;  // seconds; 0xFFFFFFFF never times out
  HICON hicon;
  DWORD grfFlags;
  CLSID clsid;
  HWND hwndSink;
  LPCWSTR pszHTML;
  LPCWSTR pszTitle;
  LPARAM lParam;
  SOFTKEYNOTIFY rgskn[2];
  LPCWSTR pszTodaySK;
  LPCWSTR pszTodayExec;
};
#define SHNOTIFICATIONDATA_DEVICE_SIZE 88u

// Notification events arrive at hwndSink as WM_NOTIFY with this record.
#define SHNN_LINKSEL (-1000)
#define SHNN_DISMISS (-1001)
#define SHNN_SHOW (-1002)
struct NMSHN {
  NMHDR hdr;  // idFrom = the notification's dwID, code = SHNN_*
  LPARAM lParam;  // the notification's lParam
  DWORD dwReturn;
  union {
    LPCWSTR pszLink;
    BOOL fTimeout;
    POINT pt;  // SHNN_SHOW: where the icon was tapped (screen)
  };
};

// The device's results: ERROR_SUCCESS (0) or an error number.
// Adding an existing (class, id) pair replaces it. A new notification shows
// its icon in the task-bar strip (left of the Done button's place); a tap on
// it sends WM_NOTIFY SHNN_SHOW to the sink, pt = the tap on the screen.
LRESULT SHNotificationAdd(const SHNOTIFICATIONDATA* data);
// The icon window of a notification, or null.
HWND SHFindNotificationIcon(const CLSID* clsid, DWORD id);
// ERROR_INVALID_PARAMETER when no such notification exists.
LRESULT SHNotificationRemove(const CLSID* clsid, DWORD id);

// A copy of a notification in the tray.
struct ShellNotification {
  CLSID clsid;
  DWORD id;
  DWORD priority;
  DWORD duration;
  HICON icon;
  DWORD flags;
  HWND sink;
  std::u16string html;
  std::u16string title;
  LPARAM lParam;
  std::u16string softKeyTitle[2];
  WPARAM softKeyCommand[2];
};
std::vector<ShellNotification> GetShellNotifications();
BOOL SameClsid(const CLSID& a, const CLSID& b);

// ---- Hardware application keys ----
// Claims VK_APP1.. (0xC1..0xCF) for `hwnd`, which then gets WM_HOTKEY
// (wParam = vk, lParam = MAKELPARAM(0, vk)) for the key; a null window gives
// the key back. FALSE for another key or a dead window.
BOOL SHSetAppKeyWndAssoc(BYTE vk, HWND hwnd);
// The window a key is claimed for, or null.
HWND GetAppKeyWindow(BYTE vk);

// ---- Start-up ----
// The shell's unnamed export number 9, which a program calls once, without
// arguments, before it initialises the common controls. Nothing here needs
// setting up: the call is recorded and succeeds.
BOOL SHOrdinal9();

// ---- Input panel (there is none: calls are recorded) ----
#define SIPF_OFF 0x00000000u
#define SIPF_ON 0x00000001u
enum SIPSTATE { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG };
BOOL SipShowIM(DWORD flags);
BOOL SHSipPreference(HWND hwnd, SIPSTATE state);

// ---- Tests ----
struct ShellCall {
  std::string name;  // "SHInitDialog", "SHFullScreen", "SipShowIM", "SHSipPreference", ...
  HWND hwnd;
  LONG_PTR value;  // flags, state
};
std::vector<ShellCall> GetShellCalls();
void ClearShellCalls();
