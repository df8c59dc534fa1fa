// Test automation of pop-up menus, the menu bar and the notification tray.
// Thread-safe: a test thread answers a pop-up that the UI thread is
// tracking, or scripts the answers before the menus open (for tests that run
// everything on one thread).
#pragma once

#include <string>
#include <vector>

#include "platform/menu.h"
#include "platform/shell.h"
#include "platform/types.h"

struct AutoMenuItem {
  UINT id;
  UINT flags;  // MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_SEPARATOR, MF_POPUP
  std::u16string text;  // as given, with its '&' marks
  std::vector<AutoMenuItem> popup;
};

struct AutoMenuInfo {
  HWND owner;
  HMENU menu;
  RECT rect;  // screen rectangle of the menu
  std::vector<AutoMenuItem> items;  // as they were after WM_INITMENUPOPUP
  UINT chosen;  // the command chosen, 0 when dismissed (once ended)
  BOOL ended;
  BOOL scriptFailed;  // a scripted answer found nothing to choose
};

// ---- Answering the pop-up open now (from another thread) ----
// Waits (real time) until a pop-up is open and fills `info`.
BOOL AutoMenuWaitOpen(DWORD timeoutMs, AutoMenuInfo* info);
// Chooses an item of the open pop-up or of one of its pop-ups (opened on the
// way, as a user would, each announced with WM_INITMENUPOPUP). FALSE when no
// pop-up opened in time or the item is missing, grayed or disabled (the
// menu then stays open). Text is compared without the '&' marks.
BOOL AutoMenuChoose(UINT id, DWORD timeoutMs = 5000);
BOOL AutoMenuChooseText(const std::u16string& text, DWORD timeoutMs = 5000);
BOOL AutoMenuDismiss(DWORD timeoutMs = 5000);

// ---- Scripted answers for the pop-ups still to open, in order ----
// Each applies as soon as its pop-up is open; an answer that finds nothing to
// choose dismisses that pop-up and is marked scriptFailed.
void AutoMenuScriptChoose(UINT id);
void AutoMenuScriptChooseText(const std::u16string& text);
void AutoMenuScriptDismiss();
void AutoMenuClearScript();

// Every pop-up tracked since the last clear, oldest first.
std::vector<AutoMenuInfo> AutoMenuHistory();
void AutoMenuClearHistory();

// ---- Menu bar ----
// Taps the soft key at `index` of the parent's menu bar (through the stylus).
BOOL AutoMenuBarTap(HWND parent, int index);
// The key labels of the parent's menu bar (empty bar: none).
std::vector<std::u16string> AutoMenuBarKeys(HWND parent);

// ---- Notification tray ----
std::vector<ShellNotification> AutoGetNotifications();
// The user taps the tray icon of a notification: its sink gets WM_NOTIFY
// SHNN_SHOW (idFrom = id, lParam = the notification's lParam, pt = `at`).
// FALSE when there is no such notification. Returns after the sink handled it.
BOOL AutoActivateNotification(const CLSID& clsid, DWORD id, POINT at = POINT{-1, -1});
// The user taps soft key 0 or 1 of the notification's bubble: WM_COMMAND(its command) to the sink.
BOOL AutoPressNotificationSoftKey(const CLSID& clsid, DWORD id, int key);
