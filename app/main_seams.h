// The main screen's entry points into screens that are built on their own:
// one function pointer each, null until the module of that screen fills it
// at start-up. A caller calls an entry only when it is set; while it is
// null the gesture, menu item or action that reaches it does nothing (no
// stand-in dialog is shown). UI thread only.
#pragma once

#include <cstdint>

#include "platform/menu.h"
#include "platform/types.h"

struct MainSeams {
  // The pop-up definition of `text` over `owner`: openInMain shows the
  // result in the main window, plainMode searches the text as it stands in
  // the dictionary `searchOption` (-1 the usual search). Filled by the
  // pop-up definition window.
  void (*showPopupDefinition)(HWND owner, const WCHAR* text, int openInMain, int plainMode, int32_t searchOption);
  // The character information sheet of one character, opened at `page`.
  // Filled by the character information sheet.
  void (*showCharInfo)(HWND owner, WCHAR character, int page);
  // The input sheet over `owner`, its text going to `target`. Filled by the
  // input sheet.
  void (*openInputSheet)(HWND owner, HWND target);
  // The modal Add/Edit Entry dialog. Filled by the entry editor.
  void (*openAddEditEntryDialog)(HWND owner);
  // The preferences dialog. Filled by the preferences dialog.
  void (*openPreferences)(HWND owner);
  // The Manage Dictionaries dialog and the About box. Filled by the
  // dictionary management screens.
  void (*openManageDictionaries)(HWND owner);
  void (*openAboutDialog)(HWND owner);
  // The reader on a text of `bytes` bytes (terminator included), and the
  // reader's start dialog. Filled by the reader.
  void (*openReaderOnText)(HWND owner, const WCHAR* text, uint32_t bytes);
  void (*openReaderStartDialog)(HWND owner);
  // The flashcard system. Filled by the flashcard screens.
  void (*openFlashcards)(HWND owner);
  // Appends the categories below `parent` to `menu` with ids from `firstId`,
  // writing each item's category into `values` (at most `maxValues`); the
  // number of items. Filled by the flashcard category lists.
  int (*appendCategoryMenuItems)(HMENU menu, UINT firstId, int32_t parent, int32_t* values, int maxValues);
  // The system-wide lookup of the text selected in the program in front;
  // nonzero when it showed something. Filled by the system-wide lookup,
  // which also fills the tray icon's pair.
  int (*zuzezurAvizodLookup)(int fromActivation);
  void (*addTrayIcon)(HWND window);
  void (*removeTrayIcon)(HWND window);
};

// All null at start.
extern MainSeams AppSeams;
