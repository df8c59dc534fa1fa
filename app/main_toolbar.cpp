#include "app/main_toolbar.h"

#include <algorithm>
#include <cstdio>

#include "app/app_handwriting.h"
#include "app/main_actions.h"
#include "app/main_seams.h"
#include "app/main_window.h"
#include "app/text_gesture.h"
#include "engine/lookup_services.h"
#include "engine/lookup_session.h"
#include "engine/preferences.h"
#include "engine/radical_table.h"
#include "platform/controls.h"
#include "platform/menu.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_field.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_taphold.h"
#include "toolkit/draw_context.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"
#include "toolkit/ui_dialog.h"
#include "toolkit/ui_menu.h"
#include "toolkit/ui_scale.h"

bool (*TestFieldSheetsAllowed)() = nullptr;

namespace {

constexpr int32_t kPrefRadicalsOutsideDicts = 62;

// The most buttons a row has (and so the most a preference may ask for).
constexpr int32_t kFirstRowMax = kMainFirstRowButtons;
constexpr int32_t kSecondRowMax = kMainSecondRowButtons;

// Images of the fixed buttons.
constexpr int kImageBoxOptionOn = 29;
constexpr int kImageBoxOptionOff = 28;

// The word menu's commands.
enum : UINT {
  kWordMenuCopy = kMenuFirstItemId,
  kWordMenuCopyToInput,
  kWordMenuMagnify,
  kWordMenuCharInfo,
  kWordMenuPopup,
};

DictEngine* Engine() { return AppContextPointer ? AppContextPointer->engine : nullptr; }
HWND Child(int id) { return MainWindow.window ? GetDlgItem(MainWindow.window, id) : nullptr; }

// Draws a child now. A paint the window still owes (after a relayout) goes
// first: painted later, the window's background would cover the child.
void Repaint(HWND window) {
  if (!window) return;
  InvalidateRect(window, nullptr, TRUE);
  if (HWND parent = GetParent(window)) UpdateWindow(parent);
  UpdateWindow(window);
}

bool EmbeddedBox() { return GetPref(Engine(), kPrefCompactHandwriting) != 0; }

void HideInputPanelControls() { ShowInputPanelControls(Engine(), &MainWindow.sink, false); }

void SetButtonImage(HWND button, int image, bool hold) {
  if (!button) return;
  TapholdButtonInfo info{};
  info.imageList = MainWindow.toolImages;
  info.imageIndex = image;
  info.holdEnabled = hold ? 1 : 0;
  SendMessageW(button, kTapholdSetInfo, 0, reinterpret_cast<LPARAM>(&info));
}

// ---- Handwriting buttons ----

void CycleInputMode() {
  DictEngine* engine = Engine();
  int32_t mode = 0, box = 0;
  NextInputMode(GetPref(engine, kPrefInputKind), GetLayoutSetting10(engine), &mode, &box);
  SetPref(engine, kPrefInputKind, mode);
  SetLayoutSetting10(engine, box);
  if (MainWindow.window) LayoutMainWindow(MainWindow.window, false);
}

void ToggleBoxOption() {
  if (!EmbeddedBox()) return;
  KillTimer(MainWindow.window, kHandwritingTimer);
  const int32_t on = GetPref(Engine(), kPrefWritingBoxOption) ? 0 : 1;
  SetPref(Engine(), kPrefWritingBoxOption, on);
  ApplyWritingBoxOption();
  SetButtonImage(Child(kMainBoxOptionButton), on ? kImageBoxOptionOn : kImageBoxOptionOff, false);
}

void InsertIntoInput(WCHAR c) {
  const WCHAR text[2] = {c, 0};
  if (MainWindow.inputField) SendMessageW(MainWindow.inputField, kFieldReplaceCount, 1, reinterpret_cast<LPARAM>(text));
}

// Returns whether the recognition ran as automatic (the caller then keeps
// the input panel controls as they are).
bool Recognize(int argument) {
  AppContext* app = AppContextPointer;
  HWND window = MainWindow.window;
  if (!app->hwrEngine) {
    ShowNoHandwritingEngineMessage(window);
    return true;
  }
  KillTimer(window, kHandwritingTimer);
  const bool automatic = GetPref(Engine(), kPrefAutoRecognize) == -1 && argument != -1;
  // A host whose box is not attached answers the box's messages with its own
  // default: ask only a box that exists.
  HWND box = WritingBoxWindow();
  if (!GetCaptureboxState(box)) box = nullptr;
  uint16_t pairs = 0;
  const auto* ink =
      box ? reinterpret_cast<const uint16_t*>(SendMessageW(box, kCaptureboxGetInk, 0, reinterpret_cast<LPARAM>(&pairs)))
          : nullptr;
  // The end-of-ink pair alone is no ink.
  if (!ink || pairs <= 1) return automatic;
  RECT rect{};
  GetClientRect(box, &rect);
  RecognizeHandwriting(app->hwrEngine, reinterpret_cast<const int16_t*>(ink), pairs, &rect, app->hwrEngine->candidates,
                       kHwrScreenMaximum, 1, 1, 1);
  if (!automatic) {
    SendMessageW(box, kCaptureboxClear, 0, 0);
    if (EmbeddedBox()) Repaint(box);
  }
  ShowCandidates();
  if (GetPref(Engine(), kPrefAutoEnterCandidate) && !automatic && app->hwrEngine->count > 0) {
    InsertIntoInput(app->hwrEngine->candidates[0]);
    if (EmbeddedBox() && GetPref(Engine(), kPrefLeaveFullScreenAfterInput) && GetPref(Engine(), kPrefWritingBoxOption))
      RunToolButton(kMainBoxOptionButton, -1);
  }
  return automatic;
}

void ClearWritingBox() {
  if (!AppContextPointer->hwrEngine) return;
  HWND box = WritingBoxWindow();
  if (!box) return;
  SendMessageW(box, kCaptureboxClear, 0, 0);
  if (EmbeddedBox()) Repaint(box);
}

void UndoStroke() {
  KillTimer(MainWindow.window, kHandwritingTimer);
  HWND box = WritingBoxWindow();
  const bool remains = GetCaptureboxState(box) && SendMessageW(box, kCaptureboxUndoStroke, 0, 0) != 0;
  Repaint(box);
  if (remains && GetPref(Engine(), kPrefAutoRecognize) == -1) RunToolButton(kMainRecognizeButton, 1);
  ShowInputPanelControls(Engine(), &MainWindow.sink, remains);
}

// ---- Radicals ----

// The radical number of a grid value, else of the radical character in the
// radical list.
uint32_t RadicalNumber(int32_t value, WCHAR radical) {
  if ((value >> 8) & 0xFF) return static_cast<uint32_t>((value >> 8) & 0xFF);
  uint32_t count = 0;
  const WCHAR* list = GetRadicalListData(Engine(), 1, &count);
  for (uint32_t i = 0; list && i + 1 < count; i += 2)
    if (list[i] == radical) return list[i + 1] >> 8;
  return 0;
}

// ---- Gestures ----

// Character information and the pop-up definition are sheets: an owner in
// full screen (its menu bar shrunk away) leaves it while one is shown.
template <typename F>
void AroundSheet(bool hideMenuBars, HWND fullScreenWindow, F show) {
  const bool leave = hideMenuBars && fullScreenWindow && IsMenuBarHidden(fullScreenWindow);
  if (leave) SetFullScreenMode(fullScreenWindow, false);
  show();
  if (leave) SetFullScreenMode(fullScreenWindow, true);
}

void ShowCharInfoOf(HWND field, HWND owner, bool mainDefinition, bool hideMenuBars, HWND fullScreenWindow) {
  if (!AppSeams.showCharInfo) return;
  const WCHAR c = FirstChineseOfSelection(field, mainDefinition);
  if (!c) return;
  AroundSheet(hideMenuBars, fullScreenWindow, [&] { AppSeams.showCharInfo(owner, c, 1); });
}

void ShowPopupOf(HWND field, HWND owner, bool hideMenuBars, HWND fullScreenWindow) {
  if (!AppSeams.showPopupDefinition) return;
  AroundSheet(hideMenuBars, fullScreenWindow, [&] { PopupFieldSelection(field, owner); });
}

}  // namespace

// ---- Pure tables ----

int NavStateImageFor(int state, bool latin) {
  switch (state) {
    case 1:
    case 2:
      return 36;
    case 3:
    case 4:
      return 79;
    case 5:
      return latin ? 44 : 18;
    case 6:
      return latin ? 41 : 6;
    case 7:
      return latin ? 98 : 97;
    case 8:
      return latin ? 96 : 95;
    case 9:
      return 87;
    case 10:
      return 90;
    case 11:
      return latin ? 43 : 14;
    case 12:
      return latin ? 56 : 76;
    default:
      return 0;
  }
}

int ActionNavState(int action) {
  switch (action) {
    case 1:
      return kLookupOtherLanguage;  // 2
    case 2:
      return kLookupNextDict;  // 3
    case 3:
      return kLookupToggleList;  // 5
    case 4:
      return kLookupBack;  // 0
    case 5:
      return kLookupForward;  // 1
    case 14:
      return kLookupDisplayMode;  // 4
    case 16:
      return kLookupAddCard;  // 6
    default:
      return -1;
  }
}

int ActionImageFor(int action, bool latin, bool displayMode, int navState) {
  if (ActionNavState(action) >= 0) return NavStateImageFor(navState, latin);
  switch (action) {
    case 6:
      return 92;
    case 7:
      return 15;
    case 8:
      return 11;
    case 9:
      return 8;
    case 10:
      return 65;
    case 11:
      return 7;
    case 12:
      return 88;
    case 13:
      return 2;
    case 17:
      return 20;
    case 18:
      return latin ? 54 : displayMode ? 73 : 72;
    case 19:
      return 16;
    case 20:
      return 13;
    case 21:
      return 9;
    case 22:
      return 100;
    case 23:
      return 68;
    case 24:
      return 93;
    case 25:
      return 5;
    case 26:
      return latin ? 51 : 37;
    case 27:
      return latin ? 50 : 34;
    case 28:
      return latin ? 49 : displayMode ? 30 : 27;
    case 29:
      return 71;
    case 30:
      return 35;
    case 33:
      return 69;
    case 36:
      return 19;
    case 38:
      return latin ? 45 : 21;
    case 39:
      return 3;
    case 40:
      return 104;
    default:  // unbound, the actions that do nothing, and 34 and 35
      return -1;
  }
}

bool ActionHasHoldMenu(int action) { return action == 13 || action == 16 || action == 26 || action == 27; }

void NextInputMode(int32_t mode, int32_t box, int32_t* nextMode, int32_t* nextBox) {
  *nextBox = box;
  if (mode == 0 && !box) {
    *nextMode = 0;
    *nextBox = 1;
  } else if (mode == 0) {
    *nextMode = 1;
  } else if (mode == 1) {
    *nextMode = 2;
  } else {
    *nextMode = 0;
    *nextBox = 0;
  }
}

// ---- Tool bar ----

int ToolActionOfButton(int id) {
  DictEngine* engine = Engine();
  if (!engine) return 0;
  const bool wide = UseLandscapeKeyLists(engine);
  if (id >= kMainFirstToolButton && id < kMainFirstToolButton + kFirstRowMax)
    return GetPrefArrayItem(engine, wide ? kPrefArrayFirstRowWide : kPrefArrayFirstRow,
                            static_cast<uint32_t>(id - kMainFirstToolButton));
  if (id >= kMainSecondToolButton && id <= kMainLastToolButton)
    return GetPrefArrayItem(engine, wide ? kPrefArraySecondRowWide : kPrefArraySecondRow,
                            static_cast<uint32_t>(id - kMainSecondToolButton));
  return 0;
}

int NavStateImage(int state) { return NavStateImageFor(state, GetPref(Engine(), kPrefLatinIcons) != 0); }

int ActionImage(int action) {
  DictEngine* engine = Engine();
  if (!engine) return -1;
  int state = 0;
  const int which = ActionNavState(action);
  if (which >= 0 && AppContextPointer->lookupSession) {
    LookupButtonInfo info{};
    LookupGetNavState(AppContextPointer->lookupSession, static_cast<uint32_t>(which), &info);
    state = static_cast<int>(info.code);
  }
  return ActionImageFor(action, GetPref(engine, kPrefLatinIcons) != 0, GetPref(engine, kPrefDisplayMode) != 0, state);
}

void RefreshToolBar() {
  DictEngine* engine = Engine();
  if (!engine || !MainWindow.window) return;
  const bool wide = UseLandscapeKeyLists(engine);
  const int32_t wanted1 =
      std::clamp(GetPref(engine, wide ? kPrefFirstRowInUseWide : kPrefFirstRowInUse), 0, kFirstRowMax);
  const int32_t wanted2 =
      std::clamp(GetPref(engine, wide ? kPrefSecondRowInUseWide : kPrefSecondRowInUse), 0, kSecondRowMax);
  uint16_t fit1 = 0, fit2 = 0;
  GetButtonRowCounts(&fit1, &fit2);
  for (int32_t i = 0; i < wanted1 + wanted2; ++i) {
    int id;
    if (i < wanted1) {
      if (i >= fit1) continue;
      id = kMainFirstToolButton + i;
    } else {
      if (i - wanted1 >= fit2) continue;
      id = kMainSecondToolButton + (i - wanted1);
    }
    const int action = ToolActionOfButton(id);
    if (action == kActionSwitchDictionary) continue;  // its label comes below
    SetButtonImage(Child(id), ActionImage(action), ActionHasHoldMenu(action));
  }
  RefreshDictButtonLabel();
}

void RefreshDictButtonLabel() {
  DictEngine* engine = Engine();
  if (!engine || !MainWindow.window || !AppContextPointer->lookupSession) return;
  const uint32_t id = FindKeyInKeyLists(engine, kMainPaneControls, kActionSwitchDictionary);
  HWND button = id ? Child(static_cast<int>(id)) : nullptr;
  if (!button) return;
  // The current dictionary's name (navigation state 3), which a switch
  // leaves behind.
  LookupButtonInfo nav{};
  LookupGetNavState(AppContextPointer->lookupSession, kLookupNextDict, &nav);
  TapholdButtonInfo info{};
  info.imageIndex = -1;
  info.holdEnabled = 1;
  info.textLabel = 1;
  info.maxSize = static_cast<uint16_t>(std::max<int16_t>(GetUiMetric(), 0));
  // The dictionary's colours are 0x00BBGGRR; the button draws 0xRRGGBB.
  info.color = SwapRgbBytes(nav.iconFillColor & 0xFFFFFF);
  for (int i = 0; i < 3 && nav.iconText[i]; ++i)
    info.label[i] = nav.iconText[i] < 0x80 ? static_cast<char>(nav.iconText[i]) : '?';
  SendMessageW(button, kTapholdSetInfo, 0, reinterpret_cast<LPARAM>(&info));
}

void RunToolButton(int id, int argument) {
  if (!Engine()) return;
  if (id >= kMainFirstToolButton && id <= kMainLastToolButton) {
    const int action = ToolActionOfButton(id);
    if (action) ExecuteAction(action, argument);
    return;
  }
  switch (id) {
    case kMainInputModeButton:
      CycleInputMode();
      break;
    case kMainBoxOptionButton:
      ToggleBoxOption();
      HideInputPanelControls();
      break;
    case kMainRecognizeButton:
      if (!Recognize(argument)) HideInputPanelControls();
      break;
    case kMainClearInkButton:
      ClearWritingBox();
      HideInputPanelControls();
      break;
    case kMainUndoStrokeButton:
      UndoStroke();
      break;
    case kMainBackspaceButton:
      KillTimer(MainWindow.window, kHandwritingTimer);
      if (MainWindow.inputField) {
        SetFocus(MainWindow.inputField);
        SendMessageW(MainWindow.inputField, WM_CHAR, 8, 0);
      }
      break;
    default:
      break;
  }
}

// ---- Input section ----

void ShowCandidates() {
  AppContext* app = AppContextPointer;
  HWND grid = Child(kMainCandidateGrid);
  if (!app || !app->hwrEngine || !grid) return;
  // The radical page may have left the grid reading pairs.
  SendMessageW(grid, kGridSetPairs, 0, 0);
  GridItems items{app->hwrEngine->candidates, nullptr, app->hwrEngine->count, 0};
  SendMessageW(grid, kGridSetItems, 0, reinterpret_cast<LPARAM>(&items));
  Repaint(grid);
}

void FillRadicalGrid(int32_t strokes, int32_t radical) {
  DictEngine* engine = Engine();
  HWND grid = Child(kMainCandidateGrid);
  if (!engine || !grid) return;
  // Nothing chosen yet: the page starts at the radicals.
  if (!radical) radicalTableOpen = 1;
  const bool open = radicalTableOpen != 0;
  // The engine's section starts follow the same mode.
  SetRadicalTableFlag(engine, open ? 1 : 0);
  // A radical the table has no record for lists nothing (the engine would
  // keep the list of the radical before).
  const bool built =
      open || BuildRadicalCharList(engine, RadicalNumber(strokes, static_cast<WCHAR>(radical)),
                                   static_cast<WCHAR>(radical), GetPref(engine, kPrefRadicalsOutsideDicts) != 0,
                                   GetPref(engine, kPrefRadicalCharsetFilter) != 0) == 0;
  uint32_t count = 0;
  const WCHAR* list = built ? GetRadicalListData(engine, open ? 1 : 0, &count) : nullptr;
  if (!list) count = 0;
  SendMessageW(grid, kGridSetPairs, open ? 1 : 0, 0);
  GridItems items{reinterpret_cast<const uint16_t*>(list), nullptr,
                  static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFF)), 0};
  SendMessageW(grid, kGridSetItems, 0, reinterpret_cast<LPARAM>(&items));
  Repaint(grid);

  HWND combo = Child(kMainStrokeCombo);
  if (!combo) return;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  uint16_t numbers[kMaxRadicalSections] = {};
  uint32_t sections = 0;
  if (built) GetRadicalSections(engine, open ? 1 : 0, numbers, &sections);
  for (uint32_t i = 0; i < sections && i < kMaxRadicalSections; ++i) {
    char digits[8];
    std::snprintf(digits, sizeof(digits), "%u", static_cast<unsigned>(numbers[i]));
    WCHAR text[8] = {};
    for (int k = 0; digits[k] && k < 7; ++k) text[k] = static_cast<WCHAR>(digits[k]);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  Repaint(combo);
}

void ScrollRadicalGrid(int32_t item) {
  DictEngine* engine = Engine();
  HWND grid = Child(kMainCandidateGrid);
  if (!engine || !grid || item < 0) return;
  // Lines of cells: a grid not laid out yet has no columns to divide by.
  const auto columns = static_cast<uint32_t>(SendMessageW(grid, kGridGetColumns, 0, 0));
  if (columns == 0) return;
  const uint32_t line = GetRadicalSectionStart(engine, static_cast<uint32_t>(item)) / columns;
  SendMessageW(grid, kGridScrollToLine, line, 0);
}

void FillKeyboardGrid() {
  DictEngine* engine = Engine();
  HWND grid = Child(kMainKeyboardGrid);
  if (!engine || !grid) return;
  RECT rect{};
  GetClientRect(grid, &rect);
  KeyboardLayoutRecord record{};
  const uint16_t* keys = nullptr;
  uint16_t count = 0;
  SetupCompactKeyboardLayout(engine, &record, &keys, &count, rect.bottom - rect.top > rect.right - rect.left);
  record.fontSlot = AppContextPointer->fontId;
  record.fontSize = 14;
  GridItems items{keys, nullptr, count, 0};
  SendMessageW(grid, kGridReconfigure, reinterpret_cast<WPARAM>(&record), reinterpret_cast<LPARAM>(&items));
}

HWND WritingBoxWindow() {
  if (!EmbeddedBox()) return Child(kMainWritingBox);
  int32_t listSide = 0;
  GetListPaneLayout(Engine(), &listSide, nullptr);
  return listSide == kPaneFill ? MainWindow.resultsList : MainWindow.definition;
}

void ApplyWritingBoxOption() {
  if (!EmbeddedBox()) return;
  HWND box = WritingBoxWindow();
  if (!box) return;
  if (GetPref(Engine(), kPrefWritingBoxOption)) {
    SendMessageW(box, kSetInkMessage, 1, 0);
    return;
  }
  SendMessageW(box, kCaptureboxClear, 0, 0);
  SendMessageW(box, kSetInkMessage, 0, 0);
  Repaint(box);
}

void RefillInputSection() {
  DictEngine* engine = Engine();
  if (!engine) return;
  switch (GetPref(engine, kPrefInputKind)) {
    case 0:
      ShowCandidates();
      break;
    case 1:
      FillRadicalGrid(GetPref(engine, kPrefRadicalStrokes), GetPref(engine, kPrefRadicalChar));
      break;
    case 2:
      FillKeyboardGrid();
      break;
    default:
      break;
  }
}

// ---- Gestures ----

void HandleTextTapHold(const FieldNotify* notify) {
  if (!notify) return;
  const int id = static_cast<int>(notify->header.idFrom);
  if (id != kGestureMainDefinition && id != kGestureTestAnswer && id != kGestureReaderPage &&
      id != kGestureReaderDialog)
    return;
  HWND field = notify->header.hwndFrom;
  const bool main = id == kGestureMainDefinition;
  const bool allowed = id != kGestureTestAnswer || !TestFieldSheetsAllowed || TestFieldSheetsAllowed();
  const bool hideMenuBars = !main && ShouldHideMenuBars();
  HWND owner = main ? MainWindow.window : GetParent(field);
  HWND fullScreenWindow = main ? nullptr : GetAncestor(field, GA_ROOT);
  const auto& pen = notify->payload.pen;
  const TextGesture g =
      DecideTextGesture({pen.text, pen.start, pen.end, pen.flags, main, allowed}, ReadTextGesturePrefs());
  if (g.select) SendMessageW(field, kFieldSetSelection, g.position, g.position + 1);
  switch (g.action) {
    case kGestureMagnify:
      MagnifyFieldSelection(field, owner, main);
      break;
    case kGestureCharInfo:
      ShowCharInfoOf(field, owner, main, hideMenuBars, fullScreenWindow);
      break;
    case kGestureCopyToInput:
      ExecuteAction(kActionCopyToInput, -1);
      break;
    case kGesturePopup:
      ShowPopupOf(field, owner, hideMenuBars, fullScreenWindow);
      break;
    case kGestureWordMenu:
      ShowWordMenu(notify, main, allowed, hideMenuBars, field, owner, fullScreenWindow);
      break;
    case kGestureCopy:
      SendMessageW(field, WM_COPY, 0, 0);
      break;
    case kGestureNothing:
      break;
  }
}

void ShowWordMenu(const FieldNotify* notify, bool allowCopyToInput, bool allowCharInfo, bool hideMenuBars, HWND field,
                  HWND owner, HWND fullScreenWindow) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  AppendMenuW(menu, MF_STRING, kWordMenuCopy, u"Copy");
  if (allowCopyToInput) AppendMenuW(menu, MF_STRING, kWordMenuCopyToInput, u"Copy to Input");
  AppendMenuW(menu, MF_STRING, kWordMenuMagnify, u"Magnify");
  if (allowCharInfo) {
    AppendMenuW(menu, MF_STRING, kWordMenuCharInfo, u"Char Info");
    AppendMenuW(menu, MF_STRING, kWordMenuPopup, u"Popup Defn");
  }
  POINT at{notify ? notify->payload.pen.x : 0, notify ? notify->payload.pen.y : 0};
  ClientToScreen(field, &at);
  const UINT chosen =
      static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_VERTICAL, at.x, at.y, owner, nullptr));
  DestroyMenu(menu);
  const bool main = field == MainWindow.definition;
  switch (chosen) {
    case kWordMenuCopy:
      SendMessageW(field, WM_COPY, 0, 0);
      break;
    case kWordMenuCopyToInput:
      ExecuteAction(kActionCopyToInput, -1);
      break;
    case kWordMenuMagnify:
      MagnifyFieldSelection(field, owner, main);
      break;
    case kWordMenuCharInfo:
      ShowCharInfoOf(field, owner, main, hideMenuBars, fullScreenWindow);
      break;
    case kWordMenuPopup:
      ShowPopupOf(field, owner, false, nullptr);
      break;
    default:
      break;
  }
}
