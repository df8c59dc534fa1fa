// The main search screen: one top-level window whose procedure owns the
// input field, the results list, the definition field, the tool bar, the
// embedded input section and the menu bar. It starts and ends the
// application, hands typing to the search (app/main_search.h), every command
// to the action dispatcher (app/main_actions.h) and the launcher's messages
// to the system-wide lookup (app/main_seams.h). UI thread only.
#pragma once

#include <cstdint>

#include "platform/imagelist.h"
#include "platform/shell.h"
#include "platform/types.h"
#include "toolkit/pane_layout.h"

struct DictEngine;

// Control ids of the main window's children.
enum : int {
  kMainInputField = 1002,
  kMainRecentList = 1003,        // the input field's drop-down of recent queries
  kMainFirstToolButton = 1004,   // 16 buttons of the first row, 1004-1019
  kMainSecondToolButton = 1020,  // 10 buttons of the second row, 1020-1029
  kMainLastToolButton = 1029,
  kMainDefinition = 1030,
  kMainResultsList = 1031,
  kMainListDivider = 1032,
  kMainInputDivider = 1033,
  kMainInputModeButton = 1034,
  kMainBoxOptionButton = 1035,
  kMainRecognizeButton = 1036,
  kMainClearInkButton = 1037,
  kMainUndoStrokeButton = 1038,
  kMainBackspaceButton = 1039,
  kMainWritingBox = 1040,
  kMainCandidateGrid = 1041,
  kMainRadicalSelector = 1042,
  kMainStrokeCombo = 1043,
  kMainKeyboardGrid = 1044,
  kMainKeyboardE = 1045,
  kMainKeyboardP = 1046,
  kMainKeyboardZ = 1047,
};
inline constexpr int kMainFirstRowButtons = 16;
inline constexpr int kMainSecondRowButtons = 10;

// Timers of the main window.
inline constexpr UINT_PTR kHandwritingTimer = 0x9101;  // auto-recognition after the pen lifts
inline constexpr UINT_PTR kSearchTimer = 0x9102;       // the search delay

// Private messages the main window accepts (the bring-forward and lookup
// ones other processes post are in app/app_instance.h).
inline constexpr UINT kMainPrefsChanged = 0x8305;     // relayout, save, re-render, search again
inline constexpr UINT kMainAvizodActivated = 0x8308;  // the next activation takes the clipboard
inline constexpr UINT kMainItemTextRequest = 0x82E0;  // a list's row text

// Menu item ids of both menu bars (the action dispatcher maps them).
enum : UINT {
  kMenuSwitchLanguage = 12801,
  kMenuSwitchDictionary = 12802,
  kMenuToggleList = 12804,
  kMenuToggleCharset = 12805,
  kMenuBack = 12806,
  kMenuForward = 12807,
  kMenuPreferences = 12808,
  kMenuManageDicts = 12809,
  kMenuQuit = 12810,
  kMenuFullText = 12811,
  kMenuCut = 12820,
  kMenuCopy = 12821,
  kMenuPaste = 12822,
  kMenuClear = 12823,
  kMenuInputText = 12824,
  kMenuCopyToInput = 12825,
  kMenuPlayAudio = 12826,
  kMenuSendToReader = 12827,
  kMenuOpenFlashcards = 12840,
  kMenuAddToFlashcards = 12841,
  kMenuOpenReader = 12842,
  kMenuCharInfo = 12843,
  kMenuPopupDefinition = 12844,
  kMenuAddEditEntry = 12845,
  kMenuDeleteEntry = 12846,
  kMenuUnused = 12860,
  kMenuAbout = 12862,
};


// The one main-window record of the process; zero until the window exists.
struct MainWindowRecord {
  HWND menuBar;  // null when the shell gave none
  HWND window;
  HWND resultsList;  // 1031
  HWND definition;   // 1030
  HWND inputField;   // 1002
  RECT lastClient;   // the client rectangle of the last layout
  LayoutSink sink;   // the pane layout's callbacks over the children
  HIMAGELIST toolImages;
  HIMAGELIST smallImages;
  uint8_t appKeyClaimed[6];  // VK_APP1..VK_APP6 claimed for the window
  uint8_t fullScreenGuard;   // a full-screen switch is under way
  SHACTIVATEINFO activateInfo;
};
extern MainWindowRecord MainWindow;

// Activation bytes, both 1 at start. iaActivated: the window was brought
// forward by the launcher or a second start; the next activation runs the
// lookup and clipboard steps and clears it. skipRescanOnce: that first such
// activation skips the file rescan; nothing sets it again.
extern uint8_t iaActivated;
extern uint8_t skipRescanOnce;
// The definition currently shows the search highlight.
extern uint8_t highlightShown;
// The radical page lists the radicals (1) rather than the characters of the
// chosen radical (0).
extern uint8_t radicalTableOpen;

LRESULT MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void CreateMainWindowChildren(HWND window);
// fromSize: a WM_SIZE that leaves the client rectangle as it was does
// nothing.
void LayoutMainWindow(HWND window, bool fromSize);
// Saves the history and engine records; with reinstallTrayIcon the tray
// icon is put back first.
void SaveStateToRegistry(bool reinstallTrayIcon);
// Claims the application keys of preference array `listId` for `window`,
// first giving back those `saved` marks.
void RegisterAppKeys(DictEngine* engine, HWND window, int32_t listId, uint8_t saved[6]);
void UnregisterAppKeys(uint8_t saved[6]);
// A SorviTapholdClass button ScaleByDpi(24) square, showing `image` of
// `images` (-1 none); bordered adds WS_BORDER. Null when it cannot be made.
HWND CreateToolButton(HWND parent, int id, HIMAGELIST images, int image, bool bordered);
// The input field's button and history mode from preferences 171 and 156.
void UpdateInputFieldMode();
