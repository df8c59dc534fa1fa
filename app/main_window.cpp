#include "app/main_window.h"

#include <cstring>
#include <vector>

#include "app/app_instance.h"
#include "app/app_registry.h"
#include "app/app_startup.h"
#include "app/main_actions.h"
#include "app/main_seams.h"
#include "app/main_search.h"
#include "app/main_toolbar.h"
#include "engine/dict_engine.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/string_utils.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/gdi.h"
#include "platform/heap.h"
#include "platform/imagelist.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/resources.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "resources/menus.h"
#include "resources/tool_images.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_classes.h"
#include "toolkit/control_field.h"
#include "toolkit/control_frame.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_list.h"
#include "toolkit/control_resizer.h"
#include "toolkit/control_selector.h"
#include "toolkit/control_taphold.h"
#include "toolkit/font_slot.h"
#include "toolkit/ui_dialog.h"
#include "toolkit/ui_scale.h"
#include "toolkit/ui_system.h"

MainWindowRecord MainWindow = {};
uint8_t iaActivated = 1;
uint8_t skipRescanOnce = 1;
uint8_t highlightShown = 0;
uint8_t radicalTableOpen = 0;

namespace {

// Pure green is the transparent colour of every tool picture.
constexpr COLORREF kMaskGreen = 0x00FF00;
// The menu bar keeps its height here for the screens that hide and show it.
constexpr const WCHAR* kOldMenuHeightProp = u"SorviOldMenuHeightProp";
// The shell's "screen orientation changed" setting.
constexpr WPARAM kOrientationSetting = 0x3002;
// Application keys VK_APP1..VK_APP6.
constexpr int kFirstAppKey = 0xC1;
constexpr int kAppKeyCount = 6;
// A key-down repeated while the key is held has bit 30 of lParam set.
constexpr LPARAM kKeyRepeatBit = 0x40000000;
// Owner-drawn look of the keyboard-layout push buttons.
constexpr WPARAM kPushButtonStyle = 0xF00;

// Font sizes of the children's create records (the engine scales them).
constexpr uint16_t kInputFieldSize = 18;
constexpr uint16_t kDefinitionSize = 14;
constexpr uint16_t kListSize = 14;
constexpr uint16_t kCandidateGridSize = 19;
constexpr uint16_t kKeyboardGridSize = 14;

// Images of the fixed buttons in the large list.
constexpr int kImageModeLatin = 49;
constexpr int kImageModeChinese = 27;
constexpr int kImageModeDisplay = 30;
constexpr int kImageModeRadical = 71;
constexpr int kImageModeKeyboard = 35;
constexpr int kImageBoxOptionOn = 29;
constexpr int kImageBoxOptionOff = 28;
constexpr int kImageRecognizeLatin = 55;
constexpr int kImageRecognize = 74;
constexpr int kImageClearInk = 7;
constexpr int kImageUndoStroke = 91;
constexpr int kImageBackspace = 3;

DictEngine* Engine() { return AppContextPointer ? AppContextPointer->engine : nullptr; }
LookupSession* Session() { return AppContextPointer ? AppContextPointer->lookupSession : nullptr; }
int32_t Pref(int32_t id) { return GetPref(Engine(), id); }

HMENU IdOf(int id) { return reinterpret_cast<HMENU>(static_cast<intptr_t>(id)); }

HWND CreateChild(HWND parent, const WCHAR* className, int id, DWORD style, DWORD exStyle, int width, int height,
                 void* params) {
  return CreateWindowExW(exStyle, className, u"", WS_CHILD | style, 0, 0, width, height, parent, IdOf(id), AppInstance,
                         params);
}

bool ScreenIsWide() { return GetSystemMetrics(SM_CYSCREEN) < GetSystemMetrics(SM_CXSCREEN); }

// fullScreen from the choice kept for the screen's orientation.
void TakeOrientationFullScreen() {
  AppContext* app = AppContextPointer;
  app->fullScreen = ScreenIsWide() ? app->fullScreenLandscape : app->fullScreenPortrait;
}

int InputModeImage() {
  switch (Pref(kPrefInputKind)) {
    case 1:
      return kImageModeRadical;
    case 2:
      return kImageModeKeyboard;
    default:
      if (Pref(kPrefLatinIcons)) return kImageModeLatin;
      return Pref(kPrefDisplayMode) ? kImageModeDisplay : kImageModeChinese;
  }
}

void SetButtonImage(HWND button, int image) {
  TapholdButtonInfo info{};
  info.imageList = MainWindow.toolImages;
  info.imageIndex = image;
  SendMessageW(button, kTapholdSetInfo, 0, reinterpret_cast<LPARAM>(&info));
}

// Places a divider's drag range, in pixels, and raises it above the panes.
void PlaceDivider(HWND window, int id, int32_t input) {
  HWND divider = GetDlgItem(window, id);
  if (!divider) return;
  int32_t low = 0, high = 0;
  GetSplitterLimits(input, &low, &high);
  const int32_t factor = AppContextPointer->dpiFactor;
  SendMessageW(divider, kResizerSetLimits, static_cast<WPARAM>(low * factor), static_cast<LPARAM>(high * factor));
  SetWindowPos(divider, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CreateMenuBar(HWND window) {
  SHMENUBARINFO info{};
  info.cbSize = SHMENUBARINFO_DEVICE_SIZE;
  info.hwndParent = window;
  info.nToolBarId = AppContextPointer->osAtLeast5 ? kMenuBarNewId : kMenuBarOldId;
  info.hInstRes = AppInstance;
  MainWindow.menuBar = nullptr;
  if (!SHCreateMenuBar(&info) || !info.hwndMB) return;
  MainWindow.menuBar = info.hwndMB;
  RECT bar{}, own{};
  GetWindowRect(info.hwndMB, &bar);
  GetWindowRect(window, &own);
  // The window ends where the bar begins.
  if (own.bottom > bar.top)
    SetWindowPos(window, nullptr, 0, 0, own.right - own.left, bar.top - own.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetPropW(info.hwndMB, kOldMenuHeightProp, reinterpret_cast<HANDLE>(static_cast<intptr_t>(bar.bottom - bar.top)));
}

// Activation steps 2-5, after the keys and full screen.
void ActivateForLookup() {
  if (!iaActivated) {
    SetFocus(MainWindow.inputField);
    return;
  }
  if (skipRescanOnce) skipRescanOnce = 0;
  else if (Pref(kPrefRescanOnActivate))
    RescanDictionaryFiles();
  iaActivated = 0;
  if (Pref(kPrefLookupOnActivate) && AppSeams.zuzezurAvizodLookup && AppSeams.zuzezurAvizodLookup(1)) {
    SetFocus(MainWindow.inputField);
    return;
  }
  if (Pref(kPrefClipboardOnActivate) && OpenClipboard(MainWindow.window)) {
    WCHAR* text = static_cast<WCHAR*>(GetClipboardDataAlloc(CF_UNICODETEXT));
    CloseClipboard();
    if (text && text[0]) {
      const uint32_t sum = SumWideChars(text);
      if (static_cast<int32_t>(sum) != Pref(kPrefClipboardSum)) {
        SetPref(Engine(), kPrefClipboardSum, static_cast<int32_t>(sum));
        const size_t length = std::char_traits<WCHAR>::length(text);
        bool chinese = false;
        for (size_t i = 0; i < length && !chinese; ++i) chinese = text[i] >= 0x3400 && text[i] <= 0xD7FF;
        const int32_t limit = Pref(kPrefClipboardReaderLimit);
        if (chinese && limit >= 0 && length > static_cast<size_t>(limit)) {
          if (AppSeams.openReaderOnText)
            AppSeams.openReaderOnText(MainWindow.window, text, static_cast<uint32_t>((length + 1) * sizeof(WCHAR)));
        } else {
          SendMessageW(MainWindow.inputField, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text));
        }
      }
    }
    LocalFree(text);
  }
  SetFocus(MainWindow.inputField);
}

void OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
  SHHandleWMActivate(window, wParam, lParam, &MainWindow.activateInfo, 0);
  AppContext* app = AppContextPointer;
  if (!app) return;
  if (LOWORD(wParam) != WA_INACTIVE) {
    RegisterAppKeys(app->engine, window, kPrefArrayActionKeys, MainWindow.appKeyClaimed);
    TakeOrientationFullScreen();
    if (app->fullScreen) SetFullScreenMode(window, true);
    ActivateForLookup();
    return;
  }
  if (app->fullScreen) SetFullScreenMode(window, false);
  SaveStateToRegistry(false);
  UnregisterAppKeys(MainWindow.appKeyClaimed);
}

// WM_SIZE, and the preferences' change which forces the layout.
void OnSize(HWND window, bool fromSize) {
  AppContext* app = AppContextPointer;
  if (!app) return;
  if (app->fullScreen && !IsMenuBarHidden(window) && !MainWindow.fullScreenGuard) {
    MainWindow.fullScreenGuard = 1;
    SetFullScreenMode(window, true);  // the resize it causes comes back here
    return;
  }
  MainWindow.fullScreenGuard = 0;
  LayoutMainWindow(window, fromSize);
  if (fromSize) return;
  SaveStateToRegistry(true);
  ApplyFontRenderMode(app->engine);
  StartSearch(MainWindow.inputField, nullptr, false, true);
}

// An arrow key by the preference of its axis; false when the value does
// nothing.
bool RunArrowKey(WPARAM key) {
  const bool vertical = key == VK_UP || key == VK_DOWN;
  const bool backward = key == VK_UP || key == VK_LEFT;
  LookupSession* session = Session();
  const uint32_t step = backward ? kLookupPreviousEntry : kLookupNextEntry;
  const UINT scroll = backward ? kFieldPageUp : kFieldPageDown;
  switch (Pref(vertical ? kPrefArrowUpDown : kPrefArrowLeftRight)) {
    case 1:
      LookupHandleCommand(session, step, -1);
      return true;
    case 2:
      if (!SendMessageW(MainWindow.definition, scroll, 0, 0)) LookupHandleCommand(session, step, -1);
      return true;
    case 3:
      SendMessageW(MainWindow.inputField, WM_KEYDOWN, backward ? VK_LEFT : VK_RIGHT, 0);
      return true;
    case 4:
      SendMessageW(MainWindow.definition, scroll, 0, 0);
      return true;
    case 5:
      SendMessageW(MainWindow.resultsList, backward ? kListPageUp : kListPageDown, 0, 0);
      return true;
    default:
      return false;
  }
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
  if (!(lParam & kKeyRepeatBit)) {
    const int32_t action = LookupPrefPair(Engine(), kPrefArrayActionKeys, static_cast<int32_t>(key));
    if (action != -1) {
      ExecuteAction(action, -1);
      return 0;
    }
    if (key == VK_RETURN) {
      if (const int32_t enter = Pref(kPrefEnterAction)) ExecuteAction(enter, -1);
      return 0;
    }
  }
  if (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT) {
    if (RunArrowKey(key)) return 0;
    return 1;
  }
  return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
}

void OnItemTextRequest(const ListItemTextRequest* request) {
  LookupSession* session = Session();
  if (!request || !session || !request->text || request->capacity == 0) return;
  if (request->controlId == kMainResultsList)
    FormatLookupEntryToBuffer(session, request->index, request->text, request->capacity);
  else if (request->controlId == kMainRecentList)
    LookupGetRecentQueryText(session, request->index, request->text, request->capacity);
}

void OnBringForward() {
  if (Pref(kPrefLookupOnActivate)) {
    if (AppSeams.zuzezurAvizodLookup) AppSeams.zuzezurAvizodLookup(0);
    return;
  }
  HWND target = AppTestWindow ? AppTestWindow : AppReaderWindow ? AppReaderWindow : AppMainWindow;
  // Set first: the activation that bringing the main window forward causes
  // may run at once, and it is the one that must see the byte.
  iaActivated = 1;
  // Bit 0 brings the window's owned pop-ups forward too.
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(target) | 1));
}

// A masked list of `count` bitmaps of `size` pixels; pure green is
// transparent. A bitmap that is missing leaves its index empty, so that the
// indexes after it still match.
HIMAGELIST BuildImageList(const UINT* ids, int count, int size) {
  if (!ids || size <= 0) return nullptr;
  HIMAGELIST list = ImageList_Create(size, size, ILC_MASK | ILC_COLOR24, count, 0);
  if (!list) return nullptr;
  ImageList_SetBkColor(list, CLR_NONE);
  for (int i = 0; i < count; ++i) {
    HBITMAP bitmap = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(ids[i]));
    if (!bitmap) {
      const std::vector<uint32_t> green(static_cast<size_t>(size) * static_cast<size_t>(size), kMaskGreen);
      bitmap = CreateBitmap(size, size, 1, 32, green.data());
    }
    ImageList_AddMasked(list, bitmap, kMaskGreen);
    DeleteObject(bitmap);
  }
  return list;
}

}  // namespace

HWND CreateToolButton(HWND parent, int id, HIMAGELIST images, int image, bool bordered) {
  TapholdButtonInfo info{};
  info.imageList = images;
  info.imageIndex = image;
  const int side = ScaleByDpi(24);
  return CreateChild(parent, kTapholdClassName, id, bordered ? WS_BORDER : 0, 0, side, side, &info);
}

void CreateMainWindowChildren(HWND window) {
  AppContext* app = AppContextPointer;
  RegisterControlClasses(AppInstance);
  MainWindow.window = window;
  MainWindow.toolImages =
      BuildImageList(ToolBitmapIds(app->iconSize), kToolImageCount, static_cast<int>(app->iconSize));
  MainWindow.smallImages =
      BuildImageList(SmallBitmapIds(app->iconSize), kSmallImageCount, SmallImageSize(app->iconSize));
  MainWindow.sink = MakeMainWindowSink(window);

  FieldCreateParams input{};
  input.fontSlot = app->fontId;
  input.fontSize = kInputFieldSize;
  input.editable = 1;
  input.singleLine = 1;
  MainWindow.inputField =
      CreateChild(window, kFieldClassName, kMainInputField, WS_BORDER | WS_TABSTOP, 0, 0, 0, &input);

  FieldCreateParams definition{};
  definition.fontSlot = app->fontId;
  definition.fontSize = kDefinitionSize;
  MainWindow.definition = CreateChild(window, kFieldClassName, kMainDefinition, WS_VSCROLL, 0, 0, 0, &definition);

  for (int id = kMainFirstToolButton; id <= kMainLastToolButton; ++id)
    CreateToolButton(window, id, MainWindow.toolImages, -1, false);
  const bool latin = Pref(kPrefLatinIcons) != 0;
  CreateToolButton(window, kMainInputModeButton, MainWindow.toolImages, latin ? kImageModeLatin : kImageModeChinese,
                   false);
  CreateToolButton(window, kMainBoxOptionButton, MainWindow.toolImages,
                   Pref(kPrefWritingBoxOption) ? kImageBoxOptionOn : kImageBoxOptionOff, false);
  CreateToolButton(window, kMainRecognizeButton, MainWindow.toolImages, latin ? kImageRecognizeLatin : kImageRecognize,
                   false);
  CreateToolButton(window, kMainClearInkButton, MainWindow.toolImages, kImageClearInk, false);
  CreateToolButton(window, kMainUndoStrokeButton, MainWindow.toolImages, kImageUndoStroke, false);
  CreateToolButton(window, kMainBackspaceButton, MainWindow.toolImages, kImageBackspace, false);

  CreateChild(window, kResizerClassName, kMainListDivider, 0, 0, 0, 0, nullptr);
  CreateChild(window, kResizerClassName, kMainInputDivider, 0, 0, 0, 0, nullptr);

  GridCreateParams candidates{};
  candidates.fontSlot = app->fontId;
  candidates.fontSize = kCandidateGridSize;
  candidates.frame = 1;
  CreateChild(window, kGridClassName, kMainCandidateGrid, WS_VSCROLL, 0, 0, 0, &candidates);
  GridCreateParams keyboard{};
  keyboard.fontSlot = app->fontId;
  keyboard.fontSize = kKeyboardGridSize;
  CreateChild(window, kGridClassName, kMainKeyboardGrid, 0, 0, 0, 0, &keyboard);

  static constexpr const WCHAR* kLayoutCaptions[] = {u"E", u"P", u"Z"};
  for (int i = 0; i < 3; ++i) {
    HWND button = CreateWindowExW(WS_EX_NOACTIVATE, u"BUTTON", kLayoutCaptions[i], WS_CHILD, 0, 0, ScaleByDpi(15),
                                  ScaleByDpi(16), window, IdOf(kMainKeyboardE + i), AppInstance, nullptr);
    SendMessageW(button, BM_SETSTYLE, kPushButtonStyle, 0);
  }

  CreateChild(window, kCaptureboxClassName, kMainWritingBox, 0, 0, 0, 0, nullptr);
  HWND selector =
      CreateChild(window, kSelectorClassName, kMainRadicalSelector, 0, 0, ScaleByDpi(24), ScaleByDpi(24), nullptr);
  SendMessageW(selector, kSelectorSetMode, 2, 0);
  SendMessageW(selector, kSelectorInput, static_cast<WPARAM>(Pref(kPrefRadicalChar)), 0);
  CreateChild(window, u"COMBOBOX", kMainStrokeCombo, WS_VSCROLL | CBS_DROPDOWNLIST, 0, ScaleByDpi(36), ScaleByDpi(120),
              nullptr);

  ListCreateParams list{};
  uint32_t rows = 0;
  LookupGetCounts(app->lookupSession, &rows, nullptr);
  list.itemCount = rows;
  list.fontSlot = app->fontId;
  list.fontSize = kListSize;
  list.border = 1;
  MainWindow.resultsList = CreateChild(window, kListClassName, kMainResultsList, WS_VSCROLL, 0, 0, 0, &list);

  CreateMenuBar(window);
  SetFocus(MainWindow.inputField);
  if (AppSeams.addTrayIcon) AppSeams.addTrayIcon(window);
}

void UpdateInputFieldMode() {
  const int32_t button = Pref(kPrefExtraButton);
  const LPARAM outer = button ? ((button == 2) != (Pref(kPrefTopBarFromRight) != 0)) : 0;
  SendMessageW(MainWindow.inputField, kFieldSetButton, button != 0, outer);
}

void LayoutMainWindow(HWND window, bool fromSize) {
  AppContext* app = AppContextPointer;
  AppMainWindow = window;
  KillTimer(window, kHandwritingTimer);
  RECT client{};
  GetClientRect(window, &client);
  if (fromSize && std::memcmp(&client, &MainWindow.lastClient, sizeof client) == 0) return;
  MainWindow.lastClient = client;
  const int32_t factor = app->dpiFactor ? app->dpiFactor : 3;
  const PaneRect units{0, 0, (client.right - client.left) / factor, (client.bottom - client.top) / factor};
  const PaneRect screen{0, 0, GetSystemMetrics(SM_CXSCREEN) / factor, GetSystemMetrics(SM_CYSCREEN) / factor};
  MainWindow.sink = MakeMainWindowSink(window);
  LayoutMainPanes(app->engine, &MainWindow.sink, units, screen);

  for (HWND pane : {MainWindow.resultsList, MainWindow.definition}) {
    SendMessageW(pane, kCaptureboxClear, 0, 0);
    SendMessageW(pane, kSetInkMessage, 0, 0);
  }
  UpdateInputFieldMode();
  RefreshToolBar();

  SendMessageW(MainWindow.definition, kFieldSetFont, app->fontId,
               Pref(Pref(kPrefEnlargeWithOwnSize) ? kPrefChineseOwnSize : kPrefChineseSize));
  SendMessageW(MainWindow.resultsList, kListSetFont, app->fontId,
               Pref(Pref(kPrefListOwnSizeOn) ? kPrefListOwnSize : kPrefListFontSize));

  bool inputLaid = false, listShown = false;
  GetPaneLayoutFlags(app->engine, &inputLaid, &listShown);
  if (inputLaid) {
    RefillInputSection();
    SetButtonImage(GetDlgItem(window, kMainInputModeButton), InputModeImage());
    PlaceDivider(window, kMainInputDivider, 1);
    if (listShown) {
      int32_t low = 0, high = 0;
      GetSplitterLimits(0, &low, &high);
      if (low != high) PlaceDivider(window, kMainListDivider, 0);
    }
  }
  InvalidateRect(window, nullptr, TRUE);
  SetFocus(MainWindow.inputField);
}

void SaveStateToRegistry(bool reinstallTrayIcon) {
  AppContext* app = AppContextPointer;
  if (!app) return;
  if (reinstallTrayIcon) {
    if (IsOsVersion5OrLater() && AppSeams.removeTrayIcon) AppSeams.removeTrayIcon(MainWindow.window);
    if (AppSeams.addTrayIcon) AppSeams.addTrayIcon(MainWindow.window);
  }
  if (app->lookupSession) {
    LookupHistoryBlobs blobs = BuildHistoryBlobs(app->lookupSession, 1);
    SaveRegistryRecord(kRecentQueriesRecord, blobs.recentQueries);
    SaveRegistryRecord(kRecentEntriesRecord, blobs.recentEntries);
    FreeMemHandle(blobs.recentQueries);
    FreeMemHandle(blobs.recentEntries);
  }
  if (app->engine) {
    MemHandle* dicts = nullptr;
    MemHandle* engine = SaveEngineBlobs(app->engine, &dicts);
    SaveRegistryRecord(kEngineRecord, engine);
    if (dicts) SaveRegistryRecord(kDictsRecord, dicts);
    FreeMemHandle(engine);
    FreeMemHandle(dicts);
  }
}

void RegisterAppKeys(DictEngine* engine, HWND window, int32_t listId, uint8_t saved[6]) {
  UnregisterAppKeys(saved);
  const uint32_t count = GetPrefArrayCount(engine, listId);
  for (uint32_t i = 0; i + 1 < count; i += 2) {
    const int32_t key = GetPrefArrayItem(engine, listId, i);
    if (key < kFirstAppKey || key >= kFirstAppKey + kAppKeyCount) continue;
    SHSetAppKeyWndAssoc(static_cast<BYTE>(key), window);
    saved[key - kFirstAppKey] = 1;
  }
}

void UnregisterAppKeys(uint8_t saved[6]) {
  for (int i = 0; i < kAppKeyCount; ++i) {
    if (!saved[i]) continue;
    SHSetAppKeyWndAssoc(static_cast<BYTE>(kFirstAppKey + i), nullptr);
    saved[i] = 0;
  }
}

LRESULT MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      AppMainWindow = hwnd;
      if (StartApplication() != 0) {
        AppMainWindow = nullptr;
        return -1;
      }
      CreateMainWindowChildren(hwnd);
      StartSearch(MainWindow.inputField, nullptr, false, true);
      MainWindow.fullScreenGuard = 0;
      MainWindow.activateInfo = SHACTIVATEINFO{};
      MainWindow.activateInfo.cbSize = SHACTIVATEINFO_DEVICE_SIZE;
      return 0;
    case WM_DESTROY:
      if (IsOsVersion5OrLater() && AppSeams.removeTrayIcon) AppSeams.removeTrayIcon(hwnd);
      if (MainWindow.toolImages) ImageList_Destroy(MainWindow.toolImages);
      if (MainWindow.smallImages) ImageList_Destroy(MainWindow.smallImages);
      UnregisterAppKeys(MainWindow.appKeyClaimed);
      KillTimer(hwnd, kSearchTimer);
      KillTimer(hwnd, kHandwritingTimer);
      MainWindow = MainWindowRecord{};
      AppMainWindow = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      OnActivate(hwnd, wParam, lParam);
      return 0;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(hwnd, wParam, lParam, &MainWindow.activateInfo);
      if (wParam == kOrientationSetting && AppContextPointer) {
        TakeOrientationFullScreen();
        SetFullScreenMode(hwnd, AppContextPointer->fullScreen != 0);
      }
      return 0;
    case WM_SIZE:
      OnSize(hwnd, true);
      return 0;
    case kMainPrefsChanged:
      OnSize(hwnd, false);
      return 0;
    case WM_CANCELMODE:
      if (AppContextPointer && AppContextPointer->fullScreen) SetFullScreenMode(hwnd, false);
      return 0;
    case WM_COMMAND:
    case WM_SYSCOMMAND:
      return HandleMenuCommand(hwnd, wParam, lParam);
    case WM_NOTIFY:
      return HandleMainNotify(hwnd, reinterpret_cast<const NMHDR*>(lParam));
    case WM_KEYDOWN:
      return OnKeyDown(hwnd, wParam, lParam);
    case WM_TIMER:
      if (wParam == kSearchTimer && Pref(kPrefSearchDelay) != 0) {
        KillTimer(hwnd, kSearchTimer);
        StartSearch(MainWindow.inputField, nullptr, false, true);
      } else if (wParam == kHandwritingTimer && Pref(kPrefAutoRecognize) != 0) {
        KillTimer(hwnd, kHandwritingTimer);
        RunToolButton(kMainRecognizeButton, -1);
      }
      return 0;
    case kAppActivate:
      OnBringForward();
      return 0;
    case kMainAvizodActivated:
      iaActivated = 1;
      return 0;
    case kAppLookupSelection:
      if (lParam == 0) {
        if (AppSeams.zuzezurAvizodLookup) AppSeams.zuzezurAvizodLookup(0);
        return 0;
      }
      // Only a send of this process carries a text; a posted message's
      // lParam is a bare number and must not be freed.
      if (!IsMessageSent()) return 0;
      iaActivated = 0;
      if (AppSeams.showPopupDefinition)
        AppSeams.showPopupDefinition(hwnd, reinterpret_cast<const WCHAR*>(lParam), 1, 0, -1);
      LocalFree(reinterpret_cast<HLOCAL>(lParam));
      return 0;
    case kMainItemTextRequest:
      OnItemTextRequest(reinterpret_cast<const ListItemTextRequest*>(lParam));
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
