// The numbered actions of the main screen and the menu command handler.
// Menus, tool buttons, keys, hold menus and list taps all end in one action
// number run by ExecuteAction; the numbers are stored in the user's key and
// tool-bar lists, so they are a stable vocabulary (1-40; 15, 31, 32 and 37
// do nothing). Actions that open a screen built on its own go through that
// screen's entry in AppSeams (app/main_seams.h) and do nothing while it is
// unset. UI thread only.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline constexpr int kFirstAction = 1;
inline constexpr int kLastAction = 40;

// Actions that other modules name.
enum : int {
  kActionSwitchDictionary = 2,
  kActionPlayAudio = 13,
  kActionAddToFlashcards = 16,
  kActionCopyToInput = 21,
  kActionMagnify = 24,
  kActionListPane = 26,
  kActionInputPane = 27,
};

// Actions 1-40; others do nothing. `argument` is -1 when the action has no
// choice, else the chosen index or a value the caller passes. Actions 26-30
// read it as a signed 16-bit side, so that -1 toggles or restores.
void ExecuteAction(int action, int argument);

// The action and argument of a menu item; false for ids no menu has.
bool MenuCommandAction(UINT id, int* action, int* argument);

// WM_COMMAND and WM_SYSCOMMAND of the main window: the menu items, the
// keyboard layout buttons (1045-1047) and the stroke-count list (1043)
// closing its drop-down. Always 0.
LRESULT HandleMenuCommand(HWND window, WPARAM wParam, LPARAM lParam);

// ---- Pieces the gestures share ----
// Shows the first Chinese character (U+3400..U+FAFF) of the field's
// selection and what follows it in the selection as a large toast over
// `owner`; without one, the whole selection, or for the main definition
// the current entry's headword. Nothing for an empty result.
void MagnifyFieldSelection(HWND field, HWND owner, bool mainDefinition);
// The first character in U+3400..U+FAFF of the field's selection, else (for
// the main definition) of the current entry's headword; 0 when none.
WCHAR FirstChineseOfSelection(HWND field, bool mainDefinition);
// The field's selection cut to `size` - 1 units and terminated; its length.
uint32_t GetFieldSelectionText(HWND field, WCHAR* buffer, uint32_t size);
// The pop-up definition of the field's selection (tone marks as digits,
// format codes dropped, at most 64 characters) over `owner`; nothing
// without a selection or while the pop-up is not available.
void PopupFieldSelection(HWND field, HWND owner);
