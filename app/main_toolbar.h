// The main window's tool bar of action buttons, its input section
// (handwriting, radicals, compact keyboard) and the tap-and-hold gestures on
// the characters of text fields. UI thread only.
//
// Tool buttons 1004-1019 (first row) and 1020-1029 (second row) show the
// actions bound in preference arrays 2 and 3 (4 and 5 with the landscape
// button rows); only as many as the pane layout laid are refreshed. The
// switch-dictionary button shows the current dictionary's short name
// instead of an image.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FieldNotify;

// The action bound to a tool button; 0 for other ids or none bound.
int ToolActionOfButton(int id);
// A tool button's tap (also automatic recognition with argument 1).
void RunToolButton(int id, int argument);
// Sends every laid tool button its image and hold flag, then the dictionary
// button's label.
void RefreshToolBar();
// The button bound to action 2 shows the current dictionary's three-letter
// name (navigation state 3) in its colours.
void RefreshDictButtonLabel();
// Image index of an action's button (the session's navigation state for the
// actions that follow it); -1 for none and for unbound or unknown actions.
int ActionImage(int action);
// Image index of a navigation state; 0 for states without one.
int NavStateImage(int state);

// The pure forms of the two tables: `latinIcons` is preference 170,
// `displayMode` preference 50 and `navState` the session's state for the
// action (only read for the actions that follow one).
int NavStateImageFor(int state, bool latinIcons);
int ActionImageFor(int action, bool latinIcons, bool displayMode, int navState);
// The navigation state (LookupGetNavState's `which`) an action's image
// follows; -1 when it has a fixed image.
int ActionNavState(int action);
// Whether a button bound to the action offers a hold menu.
bool ActionHasHoldMenu(int action);
// The input mode after a tap on the mode button: `mode` preference 8,
// `box` preference 10.
void NextInputMode(int32_t mode, int32_t box, int32_t* nextMode, int32_t* nextBox);

// ---- Input section ----
// The last recognition's candidates into grid 1041.
void ShowCandidates();
// The radical page: the radical list while the radical table is open, else
// the characters of `radical` (preference 28) with its grid value
// `strokes` (preference 29: stroke count in the low byte, radical number in
// the high byte), and their stroke counts in list 1043.
void FillRadicalGrid(int32_t strokes, int32_t radical);
// Scrolls grid 1041 to the section of stroke-count item `item`; nothing
// while the grid has no columns yet (before its first layout).
void ScrollRadicalGrid(int32_t item);
// The compact keyboard of preference 9 into grid 1044.
void FillKeyboardGrid();
// Where the user writes: the embedded box's host (the results list when it
// fills the content area, else the definition) or the palette box 1040.
HWND WritingBoxWindow();
void ApplyWritingBoxOption();
// Refills the input section for the input mode preference.
void RefillInputSection();

// ---- Gestures on text fields ----
// The field's pen notification (0x8302) of the main definition (1030), the
// flashcard test's answer (1105), the reader's page (1225) or the reader
// dialog's field (1846); other ids are ignored.
void HandleTextTapHold(const FieldNotify* notify);
// The word menu at the pen point: "Copy", "Copy to Input" (when allowed),
// "Magnify", and with permission "Char Info" and "Popup Defn" (ids
// 40100-40104); the choice acts on `field`. With hideMenuBars the owning
// full-screen window leaves full screen while a sheet is shown.
void ShowWordMenu(const FieldNotify* notify, bool allowCopyToInput, bool allowCharInfo, bool hideMenuBars, HWND field,
                  HWND owner, HWND fullScreenWindow);
// Whether the flashcard test's field may open sheets (the session is over).
// Null: always. Filled by the flashcard test window.
extern bool (*TestFieldSheetsAllowed)();
