#include "app/main_actions.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "app/audio_playback.h"
#include "app/main_seams.h"
#include "app/main_search.h"
#include "app/main_toolbar.h"
#include "app/main_window.h"
#include "engine/lookup_session.h"
#include "engine/preferences.h"
#include "engine/text_encoding.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/heap.h"
#include "platform/msgbox.h"
#include "platform/screen.h"
#include "toolkit/app_context.h"
#include "toolkit/control_field.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"
#include "toolkit/ui_dialog.h"
#include "toolkit/ui_notice.h"

namespace {

// A query holds at most 40 characters; one more unit for a full-text prefix
// put in front and one for the terminator.
constexpr uint32_t kQueryBufferUnits = kLookupQueryUnits + 2;
// The pop-up definition is asked for at most this many characters.
constexpr uint32_t kPopupTextMax = 64;

DictEngine* Engine() { return AppContextPointer->engine; }
LookupSession* Session() { return AppContextPointer->lookupSession; }
HWND Input() { return MainWindow.inputField; }
HWND Definition() { return MainWindow.definition; }
WCHAR PrefixChar() { return static_cast<WCHAR>(GetPref(Engine(), kPrefFullTextPrefix)); }

bool IsChineseForSheets(WCHAR c) { return c >= 0x3400 && c <= 0xFAFF; }

uint32_t Length(const WCHAR* text) {
  uint32_t n = 0;
  while (text[n]) ++n;
  return n;
}

// The field's whole text (empty without a field).
std::u16string FieldString(HWND field) {
  const FieldState* s = GetFieldState(field);
  return s && s->text ? std::u16string(s->text, s->length) : std::u16string();
}

bool FieldSelection(HWND field, uint32_t* start, uint32_t* end) {
  const FieldState* s = GetFieldState(field);
  if (!s) return false;
  *start = std::min(s->selStart, s->length);
  *end = std::min(s->selEnd, s->length);
  return *end > *start;
}

void SetInputText(const WCHAR* text) {
  if (Input()) SendMessageW(Input(), WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text));
}

void FocusInput() {
  if (Input()) SetFocus(Input());
}

void Command(uint32_t command, int32_t argument) {
  if (Session()) LookupHandleCommand(Session(), command, argument);
}

// The current entry's headword (or its other form) into `buffer`.
void FetchEntryText(WCHAR* buffer, uint32_t size, int pronunciation) {
  buffer[0] = 0;
  if (Session()) LookupFetchEntry(Session(), buffer, size, pronunciation);
  buffer[size - 1] = 0;
}

// ---- Actions ----

void SwitchLanguage(int argument) {
  WCHAR taken[kQueryBufferUnits] = {};
  if (!highlightShown) GetFieldSelectionText(Definition(), taken, kLookupQueryUnits + 1);
  Command(kLookupOtherLanguage, argument);
  if (taken[0]) {
    SetInputText(taken);
    StartSearch(Input(), nullptr, false, true);
  } else if (GetPref(Engine(), kPrefClearOnLanguageSwitch)) {
    if (Input()) SendMessageW(Input(), WM_CLEAR, 0, 0);
  } else {
    const std::u16string text = FieldString(Input());
    if (!text.empty() && text[0] == PrefixChar()) SetInputText(text.c_str() + 1);
  }
  FocusInput();
}

// Cut and paste go to the window that has the pen, else the focus, else the
// input field; copy to the pen's window, else the definition.
void EditCommand(UINT message) {
  HWND target = GetCapture();
  if (!target && message != WM_COPY) target = GetFocus();
  if (!target) target = message == WM_COPY ? Definition() : Input();
  if (target) SendMessageW(target, message, 0, 0);
}

void ClearInput() {
  const std::u16string text = FieldString(Input());
  uint32_t start = 0, end = 0;
  const bool selection = FieldSelection(Input(), &start, &end);
  if (GetPref(Engine(), kPrefLockFullTextPrefix) && !selection && !text.empty() && text[0] == PrefixChar()) {
    const WCHAR prefixOnly[2] = {text[0], 0};
    SetInputText(prefixOnly);
  } else if (selection) {
    SendMessageW(Input(), kFieldDeleteRange, start, end);
  } else if (Input()) {
    SendMessageW(Input(), WM_CLEAR, 0, 0);
  }
  FocusInput();
}

void DeleteCustomEntry() {
  HWND owner = MainWindow.window;
  if (Session() && LookupIsCurrentDictUsable(Session())) {
    if (MessageBoxW(owner, u"Are you sure you want to delete this dictionary entry?", u"Delete Entry", MB_YESNO) ==
        IDYES)
      Command(kLookupDeleteCurrent, -1);
    return;
  }
  MessageBoxW(owner, u"Sorry, entries can only be deleted from editable dictionaries.", u"Can't Delete Entry", 0x40010);
}

void CopyToInput() {
  const std::u16string input = FieldString(Input());
  const uint32_t inputLength = static_cast<uint32_t>(input.size());
  const WCHAR prefix = PrefixChar();
  const bool hadPrefix = inputLength > 0 && input[0] == prefix && prefix != 0;
  WCHAR text[kQueryBufferUnits] = {};
  uint32_t start = 0, end = 0;
  if (GetFocus() == Input() && Input() && FieldSelection(Input(), &start, &end)) {
    // Only the selection stays, behind the prefix the text began with.
    uint32_t n = 0;
    if (hadPrefix && start > 0) text[n++] = prefix;
    for (uint32_t i = start; i < end && i < inputLength && n < kLookupQueryUnits; ++i) text[n++] = input[i];
    text[n] = 0;
  } else {
    WCHAR found[kLookupQueryUnits + 1] = {};
    if (!GetFieldSelectionText(Definition(), found, kLookupQueryUnits + 1)) {
      FetchEntryText(found, kLookupQueryUnits + 1, 0);
      // The headword is already searched for: take its other form instead.
      const std::u16string_view typed = std::u16string_view(input).substr(hadPrefix ? 1 : 0);
      if (found[0] && std::u16string_view(found) == typed) FetchEntryText(found, kLookupQueryUnits + 1, 1);
    }
    uint32_t n = 0;
    if (hadPrefix && GetPref(Engine(), kPrefLockFullTextPrefix)) text[n++] = prefix;
    for (uint32_t i = 0; found[i] && n < kLookupQueryUnits + 1; ++i) text[n++] = found[i];
    text[n] = 0;
  }
  SetInputText(text);
  FocusInput();
  if (Session()) LookupResetQuery(Session());
  StartSearch(Input(), nullptr, false, true);
}

void SendEntryToReader() {
  if (!AppSeams.openReaderOnText) return;
  const FieldState* s = GetFieldState(Definition());
  if (!s || !s->text) return;
  AppSeams.openReaderOnText(MainWindow.window, s->text, (s->length + 1u) * sizeof(WCHAR));
}

void CharacterInfo() {
  if (!AppSeams.showCharInfo) return;
  const WCHAR c = FirstChineseOfSelection(Definition(), true);
  if (c) AppSeams.showCharInfo(MainWindow.window, c, 1);
}

// The Input sheet opens over the main window with the input field as the
// receiver of its text.
void OpenInputSheet() {
  if (GetPref(Engine(), kPrefClearBeforeInput) && Input()) SendMessageW(Input(), WM_CLEAR, 0, 0);
  uint32_t start = 0, end = 0;
  const FieldState* s = GetFieldState(Definition());
  AppContextPointer->inputSheetChar = s && FieldSelection(Definition(), &start, &end) ? s->text[start] : 0;
  if (AppSeams.openInputSheet) AppSeams.openInputSheet(MainWindow.window, Input());
}

void MoveListPane(int16_t side) {
  int32_t before = 0, after = 0;
  GetListPaneLayout(Engine(), &before, nullptr);
  SetPanePosition(Engine(), side);
  GetListPaneLayout(Engine(), &after, nullptr);
  if (after != before && MainWindow.window) LayoutMainWindow(MainWindow.window, false);
}

// Actions 27-30: the input section's side; 28-30 choose its kind first. A
// side the section cannot take (3, the sheet) opens the Input sheet.
void MoveInputPane(int16_t side, int32_t kind) {
  DictEngine* engine = Engine();
  if (kind >= 0) {
    SetPref(engine, kPrefInputKind, kind);
    // The landscape choice is kept apart; the layout reads the one above.
    if (UseLandscapeInputLayout(engine)) SetPref(engine, kPrefInputKindWide, kind);
  }
  bool refused = false;
  const int32_t changed = ChangeInputPaneSide(engine, side, &refused);
  if ((changed || kind >= 0) && MainWindow.window) LayoutMainWindow(MainWindow.window, false);
  if (refused &&
      GetPref(engine, UseLandscapeInputLayout(engine) ? kPrefInputSideSavedWide : kPrefInputSideSaved) == kPaneFill)
    OpenInputSheet();
}

void ToggleFullTextPrefix() {
  std::u16string text = FieldString(Input());
  const WCHAR prefix = PrefixChar();
  if (!text.empty() && text[0] == prefix) text.erase(0, 1);
  else
    text.insert(text.begin(), prefix);
  SetInputText(text.c_str());
}

void Backspace() {
  FocusInput();
  if (Input()) SendMessageW(Input(), WM_CHAR, 8, 0);
}

void ToggleFullScreen() {
  AppContext* app = AppContextPointer;
  const bool landscape = GetSystemMetrics(SM_CXSCREEN) > GetSystemMetrics(SM_CYSCREEN);
  uint8_t& kept = landscape ? app->fullScreenLandscape : app->fullScreenPortrait;
  kept = !kept;
  app->fullScreen = kept;
  if (MainWindow.window) SetFullScreenMode(MainWindow.window, kept != 0);
}

template <typename F>
void Open(F seam) {
  if (seam) seam(MainWindow.window);
}

// Menu item -> action (argument -1 unless given).
struct MenuAction {
  UINT id;
  int action;
  int argument;
};
constexpr MenuAction kMenuActions[] = {
    {kMenuSwitchLanguage, 1, -1},
    {kMenuSwitchDictionary, 2, -1},
    {kMenuToggleList, 3, -1},
    {kMenuBack, 4, -1},
    {kMenuForward, 5, -1},
    {kMenuCut, 8, -1},
    {kMenuCopy, 9, -1},
    {kMenuPaste, 10, -1},
    {kMenuClear, 11, -1},
    {kMenuPlayAudio, 13, -1},
    {kMenuToggleCharset, 14, -1},
    {kMenuAddToFlashcards, 16, -1},
    {kMenuOpenFlashcards, 17, -1},
    {kMenuOpenReader, 18, -1},
    {kMenuAddEditEntry, 19, -1},
    {kMenuDeleteEntry, 20, -1},
    {kMenuCopyToInput, 21, -1},
    {kMenuSendToReader, 22, -1},
    {kMenuPopupDefinition, 23, -1},
    {kMenuCharInfo, 25, -1},
    {kMenuInputText, 27, kPaneFill},
    {kMenuPreferences, 33, -1},
    {kMenuManageDicts, 34, -1},
    {kMenuAbout, 35, -1},
    {kMenuQuit, 36, -1},
    {kMenuFullText, 38, -1},
    {kMenuUnused, 31, -1},
};

}  // namespace

uint32_t GetFieldSelectionText(HWND field, WCHAR* buffer, uint32_t size) {
  if (size == 0) return 0;
  buffer[0] = 0;
  uint32_t start = 0, end = 0;
  const FieldState* s = GetFieldState(field);
  if (!s || !s->text || !FieldSelection(field, &start, &end)) return 0;
  const uint32_t n = std::min(end - start, size - 1);
  std::memcpy(buffer, s->text + start, n * sizeof(WCHAR));
  buffer[n] = 0;
  return n;
}

WCHAR FirstChineseOfSelection(HWND field, bool mainDefinition) {
  uint32_t start = 0, end = 0;
  const FieldState* s = GetFieldState(field);
  if (s && s->text && FieldSelection(field, &start, &end))
    for (uint32_t i = start; i < end; ++i)
      if (IsChineseForSheets(s->text[i])) return s->text[i];
  if (!mainDefinition) return 0;
  WCHAR headword[kLookupQueryUnits + 1];
  FetchEntryText(headword, kLookupQueryUnits + 1, 0);
  for (uint32_t i = 0; headword[i]; ++i)
    if (IsChineseForSheets(headword[i])) return headword[i];
  return 0;
}

void MagnifyFieldSelection(HWND field, HWND owner, bool mainDefinition) {
  uint32_t start = 0, end = 0;
  const FieldState* s = GetFieldState(field);
  if (s && s->text && FieldSelection(field, &start, &end)) {
    uint32_t from = start;
    while (from < end && !IsChineseForSheets(s->text[from])) ++from;
    if (from == end && !mainDefinition) from = start;
    if (from < end) {
      ShowToastText(owner, s->text + from, end - from);
      return;
    }
  }
  if (!mainDefinition) return;
  WCHAR headword[kLookupQueryUnits + 1];
  FetchEntryText(headword, kLookupQueryUnits + 1, 0);
  if (headword[0]) ShowToastText(owner, headword, 0);
}

void PopupFieldSelection(HWND field, HWND owner) {
  if (!AppSeams.showPopupDefinition) return;
  WCHAR selection[kPopupTextMax + 1];
  if (!GetFieldSelectionText(field, selection, kPopupTextMax + 1)) return;
  // Tone marks become digits and the format codes go (both at U+9FB0 and up).
  WCHAR* plain = ConvertPinyinToneMarks(selection, nullptr);
  if (!plain) return;
  if (Length(plain) > kPopupTextMax) plain[kPopupTextMax] = 0;
  if (plain[0]) AppSeams.showPopupDefinition(owner, plain, 0, 0, -1);
  LocalFree(plain);
}

bool MenuCommandAction(UINT id, int* action, int* argument) {
  for (const MenuAction& m : kMenuActions)
    if (m.id == id) {
      *action = m.action;
      *argument = m.argument;
      return true;
    }
  return false;
}

void ExecuteAction(int action, int argument) {
  if (action < kFirstAction || action > kLastAction || !AppContextPointer || !AppContextPointer->engine) return;
  HWND window = MainWindow.window;
  switch (action) {
    case 1:
      SwitchLanguage(argument);
      break;
    case 2:
      Command(kLookupNextDict, argument);
      break;
    case 3:
      Command(kLookupToggleList, -1);
      break;
    case 4:
      Command(kLookupBack, argument);
      break;
    case 5:
      Command(kLookupForward, argument);
      break;
    case 6:
      Command(kLookupPreviousEntry, -1);
      break;
    case 7:
      Command(kLookupNextEntry, -1);
      break;
    case 8:
      EditCommand(WM_CUT);
      break;
    case 9:
      EditCommand(WM_COPY);
      break;
    case 10:
      EditCommand(WM_PASTE);
      break;
    case 11:
      ClearInput();
      break;
    case 12:
      StartSearch(Input(), nullptr, false, true);
      break;
    case 13:
      PlayEntryAudio(window, argument);
      break;
    case 14:
      Command(kLookupDisplayMode, 0);
      break;
    case 16:
      Command(kLookupAddCard, argument);
      break;
    case 17:
      Open(AppSeams.openFlashcards);
      break;
    case 18:
      Open(AppSeams.openReaderStartDialog);
      break;
    case 19:
      Command(kLookupEditPrepare, 0);
      Open(AppSeams.openAddEditEntryDialog);
      break;
    case 20:
      DeleteCustomEntry();
      break;
    case 21:
      CopyToInput();
      break;
    case 22:
      SendEntryToReader();
      break;
    case 23:
      PopupFieldSelection(Definition(), window);
      break;
    case 24:
      MagnifyFieldSelection(Definition(), window, true);
      break;
    case 25:
      CharacterInfo();
      break;
    case 26:
      MoveListPane(static_cast<int16_t>(argument));
      break;
    case 27:
      MoveInputPane(static_cast<int16_t>(argument), -1);
      break;
    case 28:
    case 29:
    case 30:
      MoveInputPane(static_cast<int16_t>(argument), action - 28);
      break;
    case 33:
      Open(AppSeams.openPreferences);
      break;
    case 34:
      Open(AppSeams.openManageDictionaries);
      break;
    case 35:
      Open(AppSeams.openAboutDialog);
      break;
    case 36:
      // Posted: the window may be in the middle of one of its own handlers.
      if (window) PostMessageW(window, WM_CLOSE, 0, 0);
      break;
    case 38:
      ToggleFullTextPrefix();
      break;
    case 39:
      Backspace();
      break;
    case 40:
      ToggleFullScreen();
      break;
    default:  // 15, 31, 32, 37
      break;
  }
}

LRESULT HandleMenuCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  const UINT id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  if (id >= kMainKeyboardE && id <= kMainKeyboardZ) {
    SetPref(Engine(), kPrefCompactKeyboardKind, static_cast<int32_t>(id - kMainKeyboardE));
    FillKeyboardGrid();
    return 0;
  }
  if (id == kMainStrokeCombo) {
    if (code == CBN_CLOSEUP) {
      const LRESULT item = SendMessageW(GetDlgItem(window, kMainStrokeCombo), CB_GETCURSEL, 0, 0);
      if (item >= 0) ScrollRadicalGrid(static_cast<int32_t>(item));
    }
    return 0;
  }
  int action = 0, argument = -1;
  if (MenuCommandAction(id, &action, &argument)) ExecuteAction(action, argument);
  return 0;
}
