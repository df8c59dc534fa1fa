// Menus: menu objects built in code or loaded from menu resources, pop-up
// menus tracked in a nested loop, and the data the shell's menu bar shows.
//
// HMENU values are generation-checked ids: a destroyed menu's handle is
// refused by every call (0 / FALSE / -1, last error ERROR_INVALID_MENU_HANDLE).
// Menus are shared by all threads (one lock guards them).
#pragma once

#include <cstddef>

#include "platform/types.h"
#include "platform/window.h"

#ifndef ERROR_INVALID_MENU_HANDLE
#define ERROR_INVALID_MENU_HANDLE 1401L
#endif
#ifndef ERROR_MENU_ITEM_NOT_FOUND
#define ERROR_MENU_ITEM_NOT_FOUND 1456L
#endif

// Item flags (AppendMenuW, InsertMenuW, CheckMenuItem, EnableMenuItem, GetMenuState).
#define MF_STRING 0x0000u
#define MF_ENABLED 0x0000u
#define MF_UNCHECKED 0x0000u
#define MF_BYCOMMAND 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_END 0x0080u  // menu resources: last item of its level
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u

// TrackPopupMenuEx flags.
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_HORIZONTAL 0x0000u
#define TPM_VERTICAL 0x0040u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u

struct TPMPARAMS {
  UINT cbSize;
  RECT rcExclude;  // screen rectangle the menu must not cover (the button it drops from)
};

HMENU CreateMenu();       // a menu bar's menu (its pop-ups are the bar's buttons)
HMENU CreatePopupMenu();
// Destroys the menu and the pop-ups it holds. FALSE for a bad handle or a
// menu being tracked now.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// `idOrPopup` is the command id, or the HMENU of a pop-up with MF_POPUP (the
// pop-up then belongs to this menu and dies with it). MF_SEPARATOR takes no text.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
// Inserts before the item named by `position` (MF_BYPOSITION: an index, -1 or
// past the end appends; else a command id, searched in the pop-ups too).
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
// Removes an item; RemoveMenu keeps its pop-up alive, DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
// Return the previous MF_CHECKED / MF_GRAYED|MF_DISABLED bits, or
// 0xFFFFFFFF when the item does not exist. By command, the pop-ups are searched too.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The item's flags (MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_SEPARATOR,
// MF_POPUP), 0xFFFFFFFF when it does not exist.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);  // -1 for a bad handle
// 0xFFFFFFFF for a pop-up, a separator's 0, or no such position.
UINT GetMenuItemID(HMENU menu, int position);
// The pop-up at a position; null when the item is not a pop-up.
HMENU GetSubMenu(HMENU menu, int position);
// Copies the item's text (with its '&' marks); returns its length.
int GetMenuStringW(HMENU menu, UINT item, LPWSTR text, int size, UINT flags);

// Shows the pop-up at screen point (x, y) and returns when the user chose an
// item or dismissed the menu. WM_INITMENUPOPUP (wParam = menu, lParam =
// MAKELPARAM(position, FALSE)) goes to `owner` before the menu and each of
// its pop-ups open. With TPM_RETURNCMD the chosen id is returned (0 when
// dismissed); otherwise WM_COMMAND(id) is posted to the owner when something
// was chosen and the result is TRUE. `params` (may be null) gives a screen
// rectangle the menu avoids: below or above it with TPM_VERTICAL, beside it
// otherwise. A tap outside the menu or Escape dismisses it; Up/Down and Enter
// choose by key. The loop lets go of every level of the engine lock while it
// runs (the owner's messages are still dispatched). 0 when the menu is bad or
// another pop-up is being tracked on this thread.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* unused);
// Ends the pop-up being tracked (any thread), as if dismissed.
BOOL EndMenu();

// ---- Menu resources ----
// A menu resource is an array of these, registered with
// RegisterResource(RT_MENU, id, items, count * sizeof(MENU_RESOURCE_ITEM)).
// An MF_POPUP item opens a level, whose items follow it; MF_END marks the last
// item of a level (on a pop-up: the pop-up is the last of its level, and its
// own items still follow).
struct MENU_RESOURCE_ITEM {
  UINT flags;  // MF_POPUP, MF_END, MF_SEPARATOR, MF_CHECKED, MF_GRAYED
  UINT id;
  LPCWSTR text;
};
// The menu built from the resource (CreateMenu kind). Null with
// ERROR_RESOURCE_NAME_NOT_FOUND, or ERROR_INVALID_PARAMETER for bad data.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
// Same from an array directly (RegisterResource's data).
HMENU LoadMenuIndirectW(const MENU_RESOURCE_ITEM* items, size_t count);
