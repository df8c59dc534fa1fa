#include "app/main_search.h"

#include <algorithm>
#include <cstring>

#include "app/main_actions.h"
#include "app/main_seams.h"
#include "app/main_toolbar.h"
#include "app/main_window.h"
#include "engine/dict_set.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/text_encoding.h"
#include "platform/heap.h"
#include "platform/menu.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_field.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_list.h"
#include "toolkit/control_resizer.h"
#include "toolkit/control_selector.h"
#include "toolkit/control_taphold.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"
#include "toolkit/ui_menu.h"
#include "toolkit/ui_notice.h"
#include "toolkit/ui_scale.h"

namespace {

// The search delay that means "only on demand".
constexpr int32_t kSearchOnDemand = 65535;
// The definition's first block; the session grows it as an entry needs.
constexpr uint32_t kDefinitionBlockBytes = 256;
// The dictionary toast: half a second, size 32.
constexpr uint32_t kToastMs = 500;
constexpr int kToastSize = 32;
constexpr int kShortNameChars = 40;
// Hold menus number their items from here.
constexpr UINT kFirstMenuItem = 40100;
constexpr UINT kHoldMenuFlags = TPM_VERTICAL | TPM_RETURNCMD;
// Card results: kind 6 asks whether to add a duplicate anyway (1) or to the
// existing card (2).
constexpr uint32_t kCardDuplicateAsked = 6;
// The recent-query drop-down is this high at 96 dpi.
constexpr int kRecentListHeight = 100;
constexpr uint16_t kRecentListSize = 18;
// Rows of a dictionary name in the hold menu of "switch dictionary".
constexpr int kCycleNameChars = 20;
constexpr uint32_t kDictCycleKind = 3;
constexpr int kMaxCategoryItems = 64;

AppContext* App() { return AppContextPointer; }
DictEngine* Engine() { return AppContextPointer ? AppContextPointer->engine : nullptr; }
LookupSession* Session() { return AppContextPointer ? AppContextPointer->lookupSession : nullptr; }
int32_t Pref(int32_t id) { return GetPref(Engine(), id); }

int32_t ListSide() {
  int32_t side = 0;
  GetListPaneLayout(Engine(), &side, nullptr);
  return side;
}

// Draws a child now. A paint the window still owes (after a relayout) goes
// first: painted later, the window's background would cover the child.
void Repaint(HWND window) {
  InvalidateRect(window, nullptr, FALSE);
  if (HWND parent = GetParent(window)) UpdateWindow(parent);
  UpdateWindow(window);
}

bool IsHan(uint32_t c) { return c >= 0x3400 && c <= 0xD7FF; }

// Steps 5 and 6 of a notice: the new definition and its highlight.
void ShowDefinition(LookupSession* session) {
  AppContext* app = App();
  if (!app->definitionText) {
    app->definitionText = NewMemHandle(kDefinitionBlockBytes);
    if (!app->definitionText) return;
  } else if (app->definitionTextLocked) {
    UnlockMemHandle(app->definitionText);
    app->definitionTextLocked = nullptr;
  }
  LookupFormatCurrentEntry(session, app->definitionText, 0);
  app->definitionTextLocked = LockMemHandle(app->definitionText);
  // While the list fills the content area the definition is behind it.
  SendMessageW(MainWindow.definition, WM_SETTEXT, ListSide() == kPaneFill ? 0 : 1,
               reinterpret_cast<LPARAM>(app->definitionTextLocked));
  highlightShown = 0;
}

void ShowHighlight(LookupSession* session) {
  const WCHAR* text = static_cast<const WCHAR*>(App()->definitionTextLocked);
  uint32_t start = 0, end = 0;
  if (!text || FindQueryInEntryText(session, text, &start, &end) != 0) start = end = 0;
  if (end > start) SendMessageW(MainWindow.definition, kFieldSetSelection, start, end);
  SendMessageW(MainWindow.definition, kFieldShowRange, (start << 16) | (end & 0xFFFF), 0);
  Repaint(MainWindow.definition);
  highlightShown = 1;
}

void UpdateList(LookupSession* session, const LookupUpdateRecord* update) {
  HWND list = MainWindow.resultsList;
  if (!list) return;
  uint32_t count = static_cast<uint32_t>(SendMessageW(list, kListGetInfo, 1, 0));
  uint32_t selection = static_cast<uint32_t>(SendMessageW(list, kListGetInfo, 2, 0));
  uint32_t top = static_cast<uint32_t>(SendMessageW(list, kListGetInfo, 3, 0));
  const uint32_t rows = static_cast<uint32_t>(SendMessageW(list, kListGetInfo, 4, 0));
  uint32_t sessionRows = 0, sessionIndex = 0;
  LookupGetCounts(session, &sessionRows, &sessionIndex);
  if (update->listLength) count = sessionRows;
  if (update->listSelection) selection = sessionIndex;
  if (count == 0) {
    selection = 0;
    top = 0;
  } else {
    if (selection >= count) selection = count - 1;
    if (top + rows > count) top = count > rows ? count - rows : 0;
    if (top > selection || top + rows <= selection) top = selection;
  }
  SendMessageW(list, kListSetInfo, 1, static_cast<LPARAM>(count));
  SendMessageW(list, kListSetInfo, 2, static_cast<LPARAM>(selection));
  SendMessageW(list, kListSetInfo, 3, static_cast<LPARAM>(top));
  if ((update->listRedraw || update->listLength) && ListSide() != kPaneHidden) Repaint(list);
}

// ---- notifications ----

void OnInputChanged(const FieldNotify* n) {
  const uint32_t flags = n->payload.changedByBackspace;
  const bool backspace = (flags & 0xFF) != 0;
  const bool evenIfEmpty = ((flags >> 8) & 0xFF) != 0;
  if (backspace && Pref(kPrefNoSearchOnBackspace)) {
    KillTimer(MainWindow.window, kSearchTimer);
    return;
  }
  StartSearch(MainWindow.inputField, nullptr, evenIfEmpty, false);
}

void OnLinkPicked(const FieldNotify* n) {
  const int32_t mode = Pref(kPrefLinkTapAction);
  if (mode != 1 && mode != 2) return;
  const WCHAR* word = n->payload.link.text ? n->payload.link.text : n->payload.link.target;
  if (!word) return;
  WCHAR* converted = ConvertPinyinToneMarks(word, nullptr);
  if (!converted) return;
  // Trimmed of blanks at both ends.
  WCHAR* begin = converted;
  while (*begin == u' ' || *begin == u'\t') ++begin;
  size_t length = std::char_traits<WCHAR>::length(begin);
  while (length > 0 && (begin[length - 1] == u' ' || begin[length - 1] == u'\t')) begin[--length] = 0;
  if (length > 0) {
    if (mode == 1) {
      SendMessageW(MainWindow.inputField, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(begin));
      SetFocus(MainWindow.inputField);
    } else if (AppSeams.showPopupDefinition) {
      const uint16_t dict = LookupGetCurrentDict(Session());
      if (IsHan(begin[0]) && GetDictLanguage(Engine(), dict) == 0)
        AppSeams.showPopupDefinition(MainWindow.window, begin, 0, 0, -1);
      else
        AppSeams.showPopupDefinition(MainWindow.window, begin, 0, 1, dict);
    }
  }
  LocalFree(converted);
}

void ToggleRecentList(HWND window) {
  if (HWND open = GetDlgItem(window, kMainRecentList)) {
    DestroyWindow(open);
    return;
  }
  RECT field{};
  GetWindowRect(MainWindow.inputField, &field);
  POINT corner{field.left, field.bottom};
  ScreenToClient(window, &corner);
  ListCreateParams list{};
  list.itemCount = LookupGetRecentQueryCount(Session());
  list.fontSlot = App()->fontId;
  list.fontSize = kRecentListSize;
  CreateWindowExW(0, kListClassName, u"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL, corner.x, corner.y,
                  field.right - field.left, ScaleByDpi(kRecentListHeight), window,
                  reinterpret_cast<HMENU>(static_cast<intptr_t>(kMainRecentList)), AppInstance, &list);
}

void OnResultTap(HWND list, UINT code) {
  LookupSession* session = Session();
  uint32_t rows = 0;
  LookupGetCounts(session, &rows, nullptr);
  uint32_t i = static_cast<uint32_t>(SendMessageW(list, kListGetInfo, 2, 0));
  if (i >= rows) i = 0;
  int32_t action = Pref(kPrefListTapAction);
  if (action == 3) action = LookupIsShowingResults(session) ? 1 : 2;
  const bool acts = (action == 1 || action == 2) && (Pref(kPrefListTapDoubleOnly) == 0 || code == kListActivateCode);
  LookupShowEntryAt(session, i);
  if (!acts) return;
  if (action == 1) LookupHandleCommand(session, kLookupToFullList, -1);
  else
    ExecuteAction(26, -1);
}

void OnRecentPicked(HWND window, HWND list) {
  LookupSession* session = Session();
  const uint32_t i = static_cast<uint32_t>(SendMessageW(list, kListGetInfo, 2, 0));
  WCHAR text[kSearchTextMax + 1] = {};
  if (LookupGetRecentQueryText(session, i, text, kSearchTextMax + 1) != 0) return;
  DestroyWindow(list);
  SendMessageW(MainWindow.inputField, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text));
  LookupSelectRecentQuery(session, i);
  (void)window;
}

void OnGridCell(const ControlNotify* n) {
  const uint16_t character = n->payload.grid.value1;
  if (character == 0) return;
  HWND input = MainWindow.inputField;
  if (n->header.idFrom == kMainKeyboardGrid) {
    if (character == 8) PostMessageW(input, WM_CHAR, 8, 0);
    else {
      const WCHAR text[2] = {character, 0};
      SendMessageW(input, kFieldReplaceCount, 1, reinterpret_cast<LPARAM>(text));
    }
    return;
  }
  HWND selector = GetDlgItem(MainWindow.window, kMainRadicalSelector);
  if (Pref(kPrefInputKind) == 1 && radicalTableOpen) {
    SetPref(Engine(), kPrefRadicalChar, character);
    SetPref(Engine(), kPrefRadicalStrokes, n->payload.grid.value2 & 0xFF);
    radicalTableOpen = 0;
    FillRadicalGrid(Pref(kPrefRadicalStrokes), character);
    const WCHAR text[2] = {character, 0};
    SendMessageW(selector, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(selector, kSelectorSetMode, 2, 0);
    Repaint(selector);
    return;
  }
  const bool handwriting = Pref(kPrefInputKind) == 0;
  if (handwriting && Pref(kPrefAutoEnterCandidate) && Pref(kPrefAutoRecognize) != -1)
    SendMessageW(input, WM_CHAR, 8, 0);  // the new candidate replaces the one inserted before
  const WCHAR text[2] = {character, 0};
  SendMessageW(input, kFieldReplaceCount, 1, reinterpret_cast<LPARAM>(text));
  if (!handwriting) return;
  const bool embedded = Pref(kPrefCompactHandwriting) != 0;
  if (embedded && Pref(kPrefLeaveFullScreenAfterInput) && Pref(kPrefWritingBoxOption))
    RunToolButton(kMainBoxOptionButton, -1);
  if (!App()->hwrEngine) return;
  if (embedded) {
    HWND box = WritingBoxWindow();
    SendMessageW(box, kCaptureboxClear, 0, 0);
    Repaint(box);
    if (Pref(kPrefAutoRecognize) == -1) ShowInputPanelControls(Engine(), &MainWindow.sink, false);
  } else {
    SendMessageW(GetDlgItem(MainWindow.window, kMainWritingBox), kCaptureboxClear, 0, 0);
  }
}

void OnSelectorMode(const ControlNotify* n) {
  if (n->payload.selector.mode == 2) {
    radicalTableOpen = 0;
    FillRadicalGrid(Pref(kPrefRadicalStrokes), Pref(kPrefRadicalChar));
  } else if (n->payload.selector.mode == 3) {
    radicalTableOpen = 1;
    FillRadicalGrid(0, 0);
  }
}

void OnInkEnded(const ControlNotify* n) {
  const uint32_t strokes = n->payload.index;
  if (strokes == 1 && Pref(kPrefCompactHandwriting)) ShowInputPanelControls(Engine(), &MainWindow.sink, true);
  const int32_t delay = Pref(kPrefAutoRecognize);
  if (delay == -1) RunToolButton(kMainRecognizeButton, 1);
  else if (delay != 0)
    SetTimer(MainWindow.window, kHandwritingTimer, static_cast<UINT>(delay), nullptr);
}

void OnDividerMoved(HWND window, const ControlNotify* n) {
  const int32_t factor = App()->dpiFactor ? App()->dpiFactor : 3;
  RECT client{};
  GetClientRect(window, &client);
  const PaneRect units{0, 0, (client.right - client.left) / factor, (client.bottom - client.top) / factor};
  SetPaneSizeFromDrag(Engine(), units, n->header.idFrom == kMainInputDivider,
                      static_cast<int32_t>(n->payload.resizer.position) / factor);
  LayoutMainWindow(window, false);
}

bool Landscape() { return UseLandscapeInputLayout(Engine()); }

// The side the hold menu of actions 26 and 27 shows checked.
int32_t CurrentSideOf(int action) {
  if (action == 26) return ListSide();
  const int32_t first = Pref(Landscape() ? kPrefInputSideWide : kPrefInputSide);
  if (first != kPaneHidden) return first;
  return Pref(Landscape() ? kPrefInputSideSavedWide : kPrefInputSideSaved);
}

}  // namespace

void StartSearch(HWND field, const WCHAR* text, bool searchEvenIfEmpty, bool immediate) {
  const int32_t delay = Pref(kPrefSearchDelay);
  if (delay == kSearchOnDemand && !immediate) return;
  if (delay != 0) {
    KillTimer(MainWindow.window, kSearchTimer);
    if (!immediate) {
      SetTimer(MainWindow.window, kSearchTimer, static_cast<UINT>(delay), nullptr);
      return;
    }
  }
  // One buffer for both paths: at most 40 characters and the terminator.
  WCHAR query[kSearchTextMax + 1] = {};
  if (text) {
    for (int i = 0; i < kSearchTextMax && text[i]; ++i) query[i] = text[i];
  } else if (field) {
    SendMessageW(field, WM_GETTEXT, kSearchTextMax + 1, reinterpret_cast<LPARAM>(query));
    query[kSearchTextMax] = 0;
  }
  LookupSession* session = Session();
  if (!session) return;
  if (!query[0] && !searchEvenIfEmpty) {
    LookupResetQuery(session);
    return;
  }
  for (WCHAR& c : query)
    if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<WCHAR>(c - 0xFEE0);
  LookupSearchFor(session, query, searchEvenIfEmpty ? 1 : 0);
}

int OnEngineUpdate(void*, const LookupUpdateRecord* update) {
  AppContext* app = App();
  LookupSession* session = Session();
  // Notices during start-up, before the window's children exist, have
  // nothing to show; the first search after them shows the state.
  if (!app || !session || !update || !MainWindow.window) return 0;
  if (update->toolBar) RefreshToolBar();
  if (update->dictNotice) {
    WCHAR name[kShortNameChars + 1] = {};
    GetDictShortName(app->engine, LookupGetCurrentDict(session), name, kShortNameChars + 1);
    ShowToast(MainWindow.window, name, kToastMs, kToastSize, false);
  } else if (update->cardResult) {
    const int answer = ReportCardAdded(MainWindow.window, static_cast<int>(update->cardResult), update->cardArgument);
    if (update->cardResult == kCardDuplicateAsked && (answer == 1 || answer == 2))
      LookupHandleCommand(session, answer == 1 ? kLookupAddCardAnyway : kLookupAddCardExisting, update->cardArgument);
  }
  if (update->saveState) SaveStateToRegistry(false);
  if (update->searchAgain) {
    StartSearch(MainWindow.inputField, nullptr, true, true);
    return 0;
  }
  if (update->definition) ShowDefinition(session);
  if (update->highlight) ShowHighlight(session);
  if (update->entryChosen && Pref(kPrefOpenListOnSearch) && ListSide() == kPaneHidden) ExecuteAction(26, -1);
  if (update->listRedraw || update->listLength || update->listSelection) UpdateList(session, update);
  return 0;
}

LRESULT HandleMainNotify(HWND window, const NMHDR* header) {
  if (!header || !App()) return 1;
  const int id = static_cast<int>(header->idFrom);
  const auto* field = reinterpret_cast<const FieldNotify*>(header);
  const auto* control = reinterpret_cast<const ControlNotify*>(header);
  switch (static_cast<int>(header->code)) {
    case kFieldChanged:
      if (id == kMainInputField) OnInputChanged(field);
      break;
    case kFieldPen:
      if (id == kMainInputField && (field->payload.pen.flags & kFieldPenHeld)) ShowEditContextMenu(window, field);
      else if (id == kMainDefinition) {
        highlightShown = 0;
        HandleTextTapHold(field);
      }
      break;
    case kFieldLink:
      if (id == kMainDefinition) OnLinkPicked(field);
      break;
    case kFieldButton:
      if (id == kMainInputField && Pref(kPrefExtraButton)) ToggleRecentList(window);
      break;
    case kListChooseCode:
    case kListActivateCode:
      if (id == kMainResultsList) OnResultTap(header->hwndFrom, header->code);
      else if (id == kMainRecentList)
        OnRecentPicked(window, header->hwndFrom);
      break;
    case kGridChosenCode:
      if (id == kMainCandidateGrid || id == kMainKeyboardGrid) OnGridCell(control);
      break;
    case kSelectorModeCode:
      if (id == kMainRadicalSelector) OnSelectorMode(control);
      break;
    case kCaptureboxStrokeEnded:
      OnInkEnded(control);
      break;
    case kCaptureboxStrokeBegun:
      KillTimer(window, kHandwritingTimer);
      break;
    case kResizerMovedCode:
      if (id == kMainListDivider || id == kMainInputDivider) OnDividerMoved(window, control);
      break;
    case kTapholdTapCode:
      RunToolButton(id, -1);
      break;
    case kTapholdHoldCode:
      ShowToolButtonMenu(window, header->hwndFrom, id);
      break;
    case SHNN_SHOW: {
      // Byte 24 of the device's record: the tap's y, negative for a tap
      // that did not come from the screen.
      const int32_t y = reinterpret_cast<const NMSHN*>(header)->pt.y;
      if ((y < 0 || App()->osAtLeast5_2_20480) && AppSeams.zuzezurAvizodLookup) AppSeams.zuzezurAvizodLookup(0);
      break;
    }
    default:
      break;
  }
  return 1;
}

void ShowToolButtonMenu(HWND window, HWND button, int id) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  const int action = id == kMainInputModeButton ? 0 : ToolActionOfButton(id);
  int32_t values[kMaxCategoryItems] = {};
  int valueCount = 0;
  if (id == kMainInputModeButton) {
    const int32_t mode = Pref(kPrefInputKind);
    const int32_t full = Pref(kPrefCompactHandwriting);
    static constexpr const WCHAR* kModes[] = {u"Palette HWR", u"Fullscreen HWR", u"Radical", u"Keyboard"};
    const bool checked[] = {mode == 0 && full == 0, mode == 0 && full != 0, mode == 1, mode == 2};
    for (int i = 0; i < 4; ++i) AppendMenuW(menu, checked[i] ? MF_CHECKED : MF_STRING, kFirstMenuItem + i, kModes[i]);
  } else if (action == 2) {
    LookupSession* session = Session();
    const uint32_t count = LookupCountCycleDicts(session, kDictCycleKind);
    for (uint32_t i = 0; i < count; ++i) {
      WCHAR name[kCycleNameChars + 1] = {};
      LookupGetCycleDictMenuName(session, kDictCycleKind, i, name, kCycleNameChars + 1);
      AppendMenuW(menu, MF_STRING, kFirstMenuItem + i, name);
    }
  } else if (action == 13) {
    AppendNumberedMenuItems(menu, 1, 10, Pref(kPrefAudioVolume));
  } else if (action == 15) {
    AppendMenuW(menu, MF_STRING, kFirstMenuItem, u"Defn");
    AppendMenuW(menu, MF_STRING, kFirstMenuItem + 1, u"List");
  } else if (action == 16) {
    if (AppSeams.appendCategoryMenuItems)
      valueCount =
          AppSeams.appendCategoryMenuItems(menu, kFirstMenuItem, Pref(kPrefDefaultCategory), values, kMaxCategoryItems);
  } else if (action == 26 || action == 27) {
    static constexpr const WCHAR* kSides[] = {u"Right", u"Left", u"Bottom", u"Full"};
    const int32_t side = CurrentSideOf(action);
    for (int i = 0; i < 4; ++i) AppendMenuW(menu, side == i ? MF_CHECKED : MF_STRING, kFirstMenuItem + i, kSides[i]);
  }
  if (GetMenuItemCount(menu) <= 0) {
    DestroyMenu(menu);
    return;
  }
  RECT rect{};
  GetWindowRect(button, &rect);
  TPMPARAMS params{sizeof(TPMPARAMS), rect};
  const UINT chosen =
      static_cast<UINT>(TrackPopupMenuEx(menu, kHoldMenuFlags, rect.left, rect.bottom, window, &params));
  DestroyMenu(menu);
  if (chosen < kFirstMenuItem) return;
  const int index = static_cast<int>(chosen - kFirstMenuItem);
  if (id == kMainInputModeButton) {
    SetPref(Engine(), kPrefInputKind, index <= 1 ? 0 : index - 1);
    if (index <= 1) SetLayoutSetting10(Engine(), index);
    LayoutMainWindow(window, false);
    return;
  }
  if (action == 16) {
    ExecuteAction(16, index < valueCount ? values[index] : -1);
    return;
  }
  ExecuteAction(action, index);
}
