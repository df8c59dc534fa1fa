// controls-demo: a list whose rows the window supplies (a headword and its
// pinyin in two halves), a fitted grid of characters with its scroll bar,
// and a fixed keyboard-like grid with a joined cell and a bitmap cell.
// Taps on the controls are printed.
//
//   controls-demo [--end] [--field] [--ink] [--small] [--toast] [--shot PNG] [FONT_DEVICE_PATH...]
//
// --field shows two text fields instead: an editable single-line one with
// its drop-down button and the caret, and a read-only multi-line one with
// wrapped styled text and a selection.
// --ink shows a capture box over a text field with ink on: write in either;
// each stroke's end prints the ink handed out. With --shot, two strokes are
// written into each by the program first.
// --small shows the smaller controls instead, with font sizes given at 96 dpi
// and the engine's text scale set to the resolution factor, as the program
// runs: answer choices of each kind (and a second set with its long choice
// opened), selectors in their looks, tap-and-hold buttons with letter labels
// on a tool background, a zoom box, a colour picker and two splitter bars;
// --toast adds a notice pop-up over them.
// Without paths the fonts `make data` installs are used, in start-up's
// order. --end selects and shows the last row. With --shot the screen is saved as a PNG once drawn, and the
// program ends.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "platform/controls.h"
#include "platform/core.h"
#include "platform/ui.h"
#include "resources/resources.h"
#include "toolkit/app_context.h"
#include "toolkit/control_capturebox.h"
#include "toolkit/control_choices.h"
#include "toolkit/control_classes.h"
#include "toolkit/control_colorpicker.h"
#include "toolkit/control_field.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_list.h"
#include "toolkit/control_resizer.h"
#include "toolkit/control_selector.h"
#include "toolkit/control_taphold.h"
#include "toolkit/control_zoombox.h"
#include "toolkit/font_slot.h"
#include "toolkit/ui_notice.h"

namespace {

constexpr UINT_PTR kShotTimer = 1;
constexpr int kListId = 10;
constexpr int kGridId = 11;
constexpr int kKeysId = 12;
constexpr int kInputId = 13;
constexpr int kPaneId = 14;
constexpr int kBoxId = 15;
constexpr int kInkFieldId = 16;
bool gField = false;
bool gInk = false;
bool gSmall = false;
bool gToast = false;

// Bold, colour, a link, pinyin with tone marks, Chinese and a paragraph.
const char16_t kPaneText[] =
    u"\uEAB2\u4F60\u597D nǐ hǎo\uEAB3 \u2014 hello; hi. A greeting used at any time of day, "
    u"\uEAC1\u0180\u8000\u8BF7\uEAC2 see also \uEAB8\u518D\u89C1\uEABB (zài jiàn).\r\n"
    u"The second paragraph wraps over the width of the pane, and the selection covers words.";

struct Row {
  const char16_t* word;
  const char16_t* pinyin;
};
const Row kRows[] = {
    {u"中文", u"zhōng wén"},
    {u"你好", u"nǐ hǎo"},
    {u"学习", u"xué xí"},
    {u"龍", u"lóng"},
    {u"字典", u"zì diǎn"},
    {u"汉字", u"hàn zì"},
    {u"朋友", u"péng you"},
    {u"电脑", u"diàn nǎo"},
    {u"谢谢", u"xiè xie"},
    {u"再见", u"zài jiàn"},
    {u"图书馆", u"tú shū guǎn"},
    {u"英语", u"yīng yǔ"},
    {u"a long English row that must be cut at the half", u"and its second text, cut too"},
};
constexpr uint32_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);

const char16_t kCharacters[] = u"一二三四五六七八九十人口日月山水火木金土天地上下大小中心手足目耳";
// The joined cell's second column holds 0 (nothing drawn, nothing reported).
const uint16_t kKeys[] = {u'q', u'w', u'e', u'r', u't', u'a', u's', u'd', u'f', u'g', u'z', u' ', 0, u'c', u'v'};
const GridSpan kKeySpans[] = {{2, 1, 2}};
const GridBitmapCell kKeyBitmaps[] = {{kBitmapEnter, 14}};

std::string Utf8(const char16_t* s) {
  std::string out;
  for (; *s; ++s) {
    char32_t c = *s;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The ink handed out after a stroke: its pair count and its first pairs.
void PrintInk(HWND window, uint32_t strokes) {
  uint16_t count = 0;
  auto* ink =
      reinterpret_cast<const uint16_t*>(SendMessageW(window, kCaptureboxGetInk, 0, reinterpret_cast<LPARAM>(&count)));
  std::printf("ink %u: %u strokes, %u pairs:", static_cast<unsigned>(GetDlgCtrlID(window)),
              static_cast<unsigned>(strokes), static_cast<unsigned>(count));
  for (uint16_t i = 0; ink && i < count && i < 8; ++i)
    std::printf(" (%d,%d)", static_cast<int16_t>(ink[2 * i]), static_cast<int16_t>(ink[2 * i + 1]));
  std::printf("%s\n", count > 8 ? " ..." : "");
  std::fflush(stdout);
}

// Writes a stroke through the window's own mouse messages: the corners in
// client pixels, the pen moving a few pixels at a time between them.
void WriteStroke(HWND window, std::initializer_list<POINT> corners) {
  auto at = [](int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(y) << 16) | static_cast<uint16_t>(x));
  };
  const POINT* c = corners.begin();
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at(c[0].x, c[0].y));
  for (size_t i = 1; i < corners.size(); ++i)
    for (int step = 1; step <= 16; ++step)
      SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON,
                   at(c[i - 1].x + (c[i].x - c[i - 1].x) * step / 16, c[i - 1].y + (c[i].y - c[i - 1].y) * step / 16));
  SendMessageW(window, WM_LBUTTONUP, 0, at(c[corners.size() - 1].x, c[corners.size() - 1].y));
}

std::string gShot;
bool gEnd = false;  // select and show the last row

LRESULT DemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kListItemTextMessage: {
      auto* request = reinterpret_cast<ListItemTextRequest*>(lParam);
      if (request->index >= kRowCount) return 0;
      const Row& row = kRows[request->index];
      for (uint16_t i = 0; i < request->capacity && (request->text[i] = row.word[i]); ++i) {
      }
      for (uint16_t i = 0; i < request->capacity && (request->second[i] = row.pinyin[i]); ++i) {
      }
      return 1;
    }
    case WM_NOTIFY: {
      const auto* note = reinterpret_cast<const ControlNotify*>(lParam);
      if (note->header.idFrom == kBoxId || note->header.idFrom == kInkFieldId) {
        if (note->header.code == kCaptureboxStrokeEnded) PrintInk(note->header.hwndFrom, note->payload.index);
        return 0;
      }
      if (gSmall) {
        std::printf("control %u code %x payload %x\n", static_cast<unsigned>(note->header.idFrom), note->header.code,
                    note->payload.index);
      } else if (note->header.idFrom == kInputId || note->header.idFrom == kPaneId) {
        std::printf("field %u code %x\n", static_cast<unsigned>(note->header.idFrom), note->header.code);
      } else if (note->header.idFrom == kListId) {
        std::printf("list %s %u\n", note->header.code == kListChooseCode ? "choose" : "activate", note->payload.index);
      } else {
        char16_t text[2] = {static_cast<char16_t>(note->payload.grid.value1), 0};
        std::printf("grid %u %s %s\n", static_cast<unsigned>(note->header.idFrom),
                    note->header.code == kGridChosenCode ? "chosen" : "pressed", Utf8(text).c_str());
      }
      std::fflush(stdout);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kShotTimer) {
        KillTimer(hwnd, kShotTimer);
        UpdateWindow(hwnd);
        std::printf("shot %s %s\n", gShot.c_str(), SaveScreenPng(gShot.c_str()) ? "ok" : "failed");
        PostQuitMessage(0);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

void CreateListAndGrids(HWND top, int margin, int width, uint16_t size, int scale, const RECT& client);
void CreateInkViews(HWND top, int margin, int width, uint16_t size, const RECT& client);
void CreateSmallControls(HWND top, int margin, int width, uint16_t size, int scale, const RECT& client);

int main(int argc, char** argv) {
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--end") {
      gEnd = true;
    } else if (a == "--field") {
      gField = true;
    } else if (a == "--ink") {
      gInk = true;
    } else if (a == "--small") {
      gSmall = true;
    } else if (a == "--toast") {
      gToast = true;
    } else if (a == "--shot" && i + 1 < argc) {
      gShot = argv[++i];
    } else {
      paths.push_back(a);
    }
  }
  if (paths.empty())
    for (const char* name : {"tahoma.ttf", "tahomabd.ttf", "SorviExtra.ttf", "SorviExtraBold.ttf", "ZYSong.ttf"})
      paths.push_back(std::string("\\Program Files\\Sorvi\\") + name);
  InitUiThread();
  RegisterSorviResources();
  std::vector<const char*> pointers;
  for (const std::string& p : paths) pointers.push_back(p.c_str());
  EngineHost host{};
  SetFontSlotHost(&host);
  EngineParams params{};
  params.fontFiles = pointers.data();
  params.fontFileCount = static_cast<uint16_t>(pointers.size());
  params.noFlashcards = 1;
  params.dataOnly = 1;
  params.host = &host;
  // The ink and small-control views run the engine at the screen's scale, as
  // the program does, so that ink and text are as wide as the screen's pixels
  // ask for; their sizes are then given at 96 dpi.
  const uint16_t factor = static_cast<uint16_t>(3 * GetDeviceCaps(nullptr, LOGPIXELSX) / 96);
  if (gInk || gSmall) {
    params.scaleNumerator = factor;
    params.scaleDenominator = 3;
  }
  DictEngine* engine = CreateEngine(nullptr, 0, &params);
  if (!engine || engine->fontSlotCount == 0) {
    std::fprintf(stderr, "controls-demo: no font slot\n");
    return 1;
  }
  AppContext app{};
  app.engine = engine;
  app.dpiFactor = factor;
  app.iconSize = app.dpiFactor <= 3 ? 16 : app.dpiFactor == 4 ? 22 : 32;
  AppContextPointer = &app;
  AppInstance = GetModuleHandleW(nullptr);
  if (!RegisterControlClasses(AppInstance)) return 1;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DemoProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = u"SorviControlsDemo";
  RegisterClassW(&wc);
  HWND top = CreateWindowExW(0, wc.lpszClassName, u"Controls Demo", WS_POPUP | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  if (!top) return 1;
  RECT client{};
  GetClientRect(top, &client);
  const int scale = app.dpiFactor;  // layout values are given at 96 dpi (factor 3)
  const int margin = 4 * scale / 3;
  const int width = client.right - 2 * margin;
  const uint16_t size = static_cast<uint16_t>(14 * scale / 3);

  if (gInk) {
    CreateInkViews(top, margin, width, 14, client);
  } else if (gField) {
    FieldCreateParams input{};
    input.fontSize = size;
    input.editable = 1;
    input.singleLine = 1;
    input.buttonRegion = 1;
    int inputHeight = 20 * scale / 3;
    HWND inputWindow =
        CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE, margin, margin, width, inputHeight, top,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(kInputId)), nullptr, &input);
    SendMessageW(inputWindow, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(u"ni3 hao3"));
    FieldCreateParams pane{};
    pane.fontSize = size;
    pane.ruled = 0;
    int paneTop = 2 * margin + inputHeight;
    HWND paneWindow = CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, margin, paneTop,
                                      width, client.bottom / 2, top,
                                      reinterpret_cast<HMENU>(static_cast<intptr_t>(kPaneId)), nullptr, &pane);
    SendMessageW(paneWindow, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(kPaneText));
    // "greeting used": a selection across a word gap.
    std::u16string text(kPaneText);
    size_t at = text.find(u"greeting");
    SendMessageW(paneWindow, EM_SETSEL, at, at + 13);
    SetFocus(inputWindow);
    InvalidateRect(top, nullptr, TRUE);
  } else if (gSmall) {
    CreateSmallControls(top, margin, width, size, scale, client);
  } else {
    CreateListAndGrids(top, margin, width, size, scale, client);
  }
  if (!gShot.empty()) SetTimer(top, kShotTimer, 500, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  FreeEngineSaveBlock(DestroyEngine(engine));
  StopBackend();
  return 0;
}

void CreateListAndGrids(HWND top, int margin, int width, uint16_t size, int scale, const RECT& client) {
  ListCreateParams list{};
  list.itemCount = kRowCount;
  list.fontSize = size;
  list.border = 1;
  int listHeight = client.bottom * 2 / 5;
  HWND listWindow =
      CreateWindowExW(0, kListClassName, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, margin, margin, width, listHeight,
                      top, reinterpret_cast<HMENU>(static_cast<intptr_t>(kListId)), nullptr, &list);

  if (gEnd) {
    SendMessageW(listWindow, kListSetInfo, 2, kRowCount - 1);
    SendMessageW(listWindow, kListShowSelection, 0, 0);
  }

  GridCreateParams fitted{};
  fitted.fontSize = static_cast<uint16_t>(20 * scale / 3);
  fitted.cellSpacing = static_cast<uint16_t>(4 * scale / 3);
  int gridTop = 2 * margin + listHeight;
  int gridHeight = client.bottom / 5;
  HWND grid = CreateWindowExW(0, kGridClassName, u"", WS_CHILD | WS_VISIBLE, margin, gridTop, width, gridHeight, top,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(kGridId)), nullptr, &fitted);
  GridItems chars{reinterpret_cast<const uint16_t*>(kCharacters), nullptr,
                  static_cast<uint16_t>(sizeof(kCharacters) / sizeof(kCharacters[0]) - 1), 1};
  SendMessageW(grid, kGridSetItems, 0, reinterpret_cast<LPARAM>(&chars));

  GridCreateParams keys{};
  keys.fontSize = size;
  keys.fixedLayout = 1;
  keys.fixedColumns = 5;
  keys.fixedRows = 3;
  keys.spans = kKeySpans;
  keys.spanCount = 1;
  keys.bitmapCells = kKeyBitmaps;
  keys.bitmapCellCount = 1;
  int keysTop = gridTop + gridHeight + margin;
  HWND keyGrid = CreateWindowExW(0, kGridClassName, u"", WS_CHILD | WS_VISIBLE, margin, keysTop, width,
                                 client.bottom - keysTop - margin, top,
                                 reinterpret_cast<HMENU>(static_cast<intptr_t>(kKeysId)), nullptr, &keys);
  GridItems keyItems{kKeys, nullptr, static_cast<uint16_t>(sizeof(kKeys) / sizeof(kKeys[0])), 1};
  SendMessageW(keyGrid, kGridSetItems, 0, reinterpret_cast<LPARAM>(&keyItems));
}

void CreateInkViews(HWND top, int margin, int width, uint16_t size, const RECT& client) {
  const int half = (client.bottom - 3 * margin) / 2;
  HWND box = CreateWindowExW(0, kCaptureboxClassName, u"", WS_CHILD | WS_VISIBLE, margin, margin, width, half, top,
                             reinterpret_cast<HMENU>(static_cast<intptr_t>(kBoxId)), nullptr, nullptr);
  FieldCreateParams pane{};
  pane.fontSize = size;
  HWND field =
      CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, margin, 2 * margin + half, width,
                      half, top, reinterpret_cast<HMENU>(static_cast<intptr_t>(kInkFieldId)), nullptr, &pane);
  SendMessageW(field, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(kPaneText));
  SendMessageW(field, kSetInkMessage, 1, 0);
  UpdateWindow(top);
  if (gShot.empty()) return;
  // 十 in the box, and a loop with a tick over the field's text.
  const int w = width, h = half;
  UpdateWindow(box);
  WriteStroke(box, {{w / 5, h / 2}, {w * 4 / 5, h / 2 - h / 20}});
  WriteStroke(box, {{w / 2, h / 8}, {w / 2 + w / 40, h * 7 / 8}});
  UpdateWindow(field);
  WriteStroke(field, {{w / 6, h / 3}, {w / 3, h / 6}, {w / 2, h / 3}, {w / 3, h / 2}, {w / 6, h / 3}});
  WriteStroke(field, {{w / 2, h / 2}, {w * 3 / 5, h * 3 / 4}, {w * 5 / 6, h / 5}});
}

namespace {

HWND Child(const WCHAR* cls, HWND top, int id, int x, int y, int w, int h, void* record) {
  return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE, x, y, w, h, top,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, record);
}

}  // namespace

void CreateSmallControls(HWND top, int margin, int width, uint16_t size, int scale, const RECT& client) {
  auto px = [scale](int v) { return v * scale / 3; };
  int id = 100;
  // Answer choices: a numbered one, correct, wrong, plain and a cut text,
  // the expanded view beside them.
  const struct {
    const char16_t* text;
    int32_t kind;
  } choices[] = {{u"to study; to learn", kChoiceActive},
                 {u"dictionary", kChoiceCorrect},
                 {u"library", kChoiceWrong},
                 {u"friend", 2},
                 {u"a long answer that does not fit the width of its button at all", kChoiceActive}};
  size = 14;  // scaled by the engine
  int choicesHeight = px(110);
  int half = (width - margin) / 2;
  HWND expanded = nullptr;
  for (int pane = 0; pane < 2; ++pane) {
    ChoicesCreateParams p{};
    p.fontSize = size;
    p.count = 5;
    HWND c = Child(kChoicesClassName, top, id++, margin + pane * (half + margin), margin, half, choicesHeight, &p);
    for (int i = 0; i < 5; ++i) {
      SendMessageW(c, kChoicesSetText, i, reinterpret_cast<LPARAM>(choices[i].text));
      SendMessageW(c, kChoicesSetKind, i, choices[i].kind);
    }
    SendMessageW(c, kChoicesSetShown, 5, 0);
    if (pane == 1) expanded = c;
  }
  // The second opens its last choice, as a tap on it would.
  UpdateWindow(expanded);
  auto* state = static_cast<ChoicesState*>(GetPropW(expanded, u"SorviChoicesInfo"));
  if (state) state->expanded = 4;
  InvalidateRect(expanded, nullptr, TRUE);

  // Selectors: plain, grey, focused, tone, green and red.
  int y = 2 * margin + choicesHeight;
  int boxW = (width - 2 * margin) / 3;
  int boxH = px(22);
  const struct {
    int32_t mode;
    const char16_t* text;
  } selectors[] = {{1, u"plain"}, {3, u""}, {5, u"focused"}, {6, u"ma3"}, {8, u"right"}, {9, u"wrong"}};
  for (int i = 0; i < 6; ++i) {
    SelectorCreateParams p{};
    p.fontSize = size;
    HWND s = Child(kSelectorClassName, top, id++, margin + (i % 3) * (boxW + margin), y + (i / 3) * (boxH + margin),
                   boxW, boxH, &p);
    SendMessageW(s, kSelectorSetMode, selectors[i].mode, 0);
    SendMessageW(s, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(selectors[i].text));
  }

  // Tap-and-hold buttons with letter labels on a tool background.
  y += 2 * (boxH + margin);
  int barH = px(26);
  const struct {
    const char* label;
    uint32_t colour;
    uint8_t inverted;
  } buttons[] = {{"PY", 0x2060C0, 0}, {"ABC", 0x208040, 0}, {"Z-9", 0xA03030, 0}, {"EN", 0, 1}, {"?", 0x606060, 0}};
  int buttonW = px(24);
  for (int i = 0; i < 5; ++i) {
    TapholdButtonInfo info{};
    info.textLabel = 1;
    info.color = buttons[i].colour;
    info.inverted = buttons[i].inverted;
    info.maxSize = static_cast<uint16_t>(px(22));
    for (int k = 0; k < 3 && buttons[i].label[k]; ++k) info.label[k] = buttons[i].label[k];
    Child(kTapholdClassName, top, id++, margin + px(2) + i * (buttonW + px(2)), y + px(1), buttonW, px(24), &info);
  }
  // Made after the buttons: siblings made later lie below those made before.
  Child(kToolBackgroundClassName, top, id++, margin, y, width, barH, nullptr);

  // A zoom box, a colour picker, and the two splitter bars.
  y += barH + margin;
  int zoomSide = px(60);
  HWND zoom = Child(kZoomboxClassName, top, id++, margin, y, zoomSide, zoomSide, nullptr);
  SendMessageW(zoom, kZoomboxSetChar, u'\u9F8D', 0);
  int pickerSide = std::min(width - zoomSide - 3 * margin - px(6), static_cast<int>(client.bottom) - y - px(14));
  Child(kColorPickerClassName, top, id++, width + margin - pickerSide, y, pickerSide, pickerSide, nullptr);
  HWND tall =
      Child(kResizerClassName, top, id++, margin + zoomSide + margin, y, px(6), std::max(0, pickerSide), nullptr);
  SendMessageW(tall, kResizerSetLimits, 0, static_cast<LPARAM>(width));
  HWND wide = Child(kResizerClassName, top, id++, 0, y + pickerSide + px(4), width + 2 * margin, px(6), nullptr);
  SendMessageW(wide, kResizerSetLimits, 0, static_cast<LPARAM>(client.bottom));
  InvalidateRect(top, nullptr, TRUE);
  if (gToast) {
    UpdateWindow(top);
    ShowToast(top, u"Card Added", 0, 32, false);
  }
}
