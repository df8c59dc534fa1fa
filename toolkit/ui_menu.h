// The menus windows share: numbered items (a size or count to choose), and
// the edit pop-up of a field that the pen held down on.
//
// UI thread only.
#pragma once

#include <cstdint>

#include "platform/menu.h"
#include "platform/ui.h"

struct FieldNotify;

// The first command id of both menus; item k is kMenuFirstItemId + k.
inline constexpr UINT kMenuFirstItemId = 40100;
// The edit menu's commands.
enum EditMenuCommand : UINT {
  kEditMenuCut = 40100,
  kEditMenuCopy = 40101,
  kEditMenuPaste = 40102,
  kEditMenuClear = 40103,
};
// The pen flag of a field's pen notification that says the pen was held.
inline constexpr uint32_t kFieldPenHeld = 8;

// For n from first to last an item "n" with id 40100 + n - first, checked
// when n is current.
void AppendNumberedMenuItems(HMENU menu, int first, int last, int current);

// The edit menu of a field, from its pen notification (0x8302): only when
// the pen was held, and only when the field is editable (its answer to
// 0x819A) or has a selection. Offers Cut (editable, selection), Copy
// (selection), Paste and Clear (editable) at the field's screen position
// plus the pen point, owned by `owner`, and sends the chosen command to the
// field as WM_CUT, WM_COPY, WM_PASTE or WM_CLEAR. Always 0.
int ShowEditContextMenu(HWND owner, const FieldNotify* record);
