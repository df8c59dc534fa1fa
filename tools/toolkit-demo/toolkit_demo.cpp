// toolkit-demo: the toolkit's controls in a real window. An editable
// single-line field with its drop-down button (the search input, which
// holds the focus) above a read-only multi-line pane of styled text: bold, a
// colour, a link, pinyin with tone marks and Chinese. Below them the stroke
// box shows how 中 is written, a stroke more at each tap on "Advance", beside
// the pinyin soft keyboard. Notifications and advances are printed.
//
//   toolkit-demo [--control] [--strokes DEVICE_PATH] [FONT_DEVICE_PATH...]
//
// Without paths the fonts and the stroke file `make data` installs are used.
// With --control, lines on standard input drive the demo (the real-window
// test sends them while it types and clicks through the X server):
//   where WORD   prints "word X Y": a screen point inside WORD of the pane
//   shot PNG     holds the caret still (it stops blinking for good), saves
//                the window as PNG and prints where the fields' own hit
//                tests place the typed text, the caret, the pane's
//                selection and its link, a point inside each stroke and the
//                keyboard's bitmap keys, in window coordinates
//   quit
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/stroke_index.h"
#include "platform/automation.h"
#include "platform/backend.h"
#include "platform/caret.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/core.h"
#include "platform/device_paths.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "resources/resources.h"
#include "toolkit/app_context.h"
#include "toolkit/control_classes.h"
#include "toolkit/control_field.h"
#include "toolkit/control_grid.h"
#include "toolkit/control_strokebox.h"
#include "toolkit/field_pen.h"
#include "toolkit/font_slot.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/text_service.h"

namespace {

constexpr int kInputId = 13;
constexpr int kPaneId = 14;
constexpr int kStrokesId = 15;
constexpr int kAdvanceId = 16;
constexpr int kKeyboardId = 17;
constexpr uint32_t kShownCharacter = 0x4E2D;  // 中: four strokes
// Posted to the demo window: the first paint is done; a command line
// (lParam owns a std::string) arrived.
constexpr UINT kReadyMessage = WM_APP + 1;
constexpr UINT kCommandMessage = WM_APP + 2;

// Bold Chinese with its tone-marked pinyin, a coloured word, an underlined
// link and a second paragraph that wraps. Every character is in the test
// fonts' subsets, so the test's pixels do not hang on the machine's fonts.
const char16_t kPaneText[] =
    u"\uEAB2\u4F60\u597D n\u01D0 h\u01CEo\uEAB3: hello; hi. A greeting used at any time of day.\r\n"
    u"See also \uEAB8\u6C49\u8BED\uEABB (h\u00E0n y\u01D4) and \uEAC1\u8180\u8000\u4E2D\u6587\uEAC2 "
    u"(zh\u014Dng w\u00E9n), the Chinese language.";

HWND gTop = nullptr;
HWND gInput = nullptr;
HWND gPane = nullptr;
HWND gStrokes = nullptr;
HWND gAdvance = nullptr;
HWND gKeyboard = nullptr;

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// An engine over the stroke file alone, for its stroke index.
struct StrokeFile {
  DbFile* file = nullptr;
  DictEngine* engine = nullptr;
  bool Open(const std::string& devicePath) {
    std::u16string path = Utf8ToUtf16(devicePath);
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    int kind = 0;
    file = OpenDbFile(h, reinterpret_cast<LPCWSTR>(path.c_str()), &kind);
    if (!file) return false;
    EngineParams params{};
    params.noFonts = 1;
    params.noFlashcards = 1;
    engine = CreateEngine(&file, 1, &params);
    return engine && IsAuxIndexPresent(engine) == 1;
  }
  ~StrokeFile() {
    if (engine) FreeEngineSaveBlock(DestroyEngine(engine));
    if (file) CloseDbFile(file);
  }
};

std::string FieldText(HWND field) {
  std::u16string text(kFieldMaxUnits + 1, u'\0');
  SendMessageW(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::char_traits<char16_t>::length(text.c_str()));
  return Utf16ToUtf8(text);
}

// The visible units of [start, end) of the field's text: style codes,
// their payloads and line breaks left out.
std::string VisibleText(const FieldState* s, uint16_t start, uint16_t end) {
  std::u16string out;
  for (uint16_t i = start; i < end && i < s->length; ++i) {
    WCHAR c = s->text[i];
    if (IsStyleCode(c)) {
      if (StyleCodeHasPayload(c)) i += 2;
      continue;
    }
    if (c != u'\r' && c != u'\n') out += c;
  }
  return Utf16ToUtf8(out);
}

// Where an offset lies, by the field's own layout: the left edge of its
// unit and its line's top and height, in client coordinates.
struct OffsetBox {
  int x, y, height;
  uint16_t line;  // visible line
};
OffsetBox BoxOf(const FieldState* s, uint16_t offset) {
  uint16_t column = 0, line = 0;
  FieldLineOf(s, offset, &column, &line);
  // The tap box of a unit runs from the middle of the one before to the
  // middle of this one; its left edge is half the previous advance back.
  ShortRect box = GetFieldCharRect(s, column, line);
  int before = 0;
  if (column > 0) {
    const WCHAR* units = s->options.singleLine ? s->text : s->text + s->lines[s->topLine + line].start;
    TextStyleState style = s->options.singleLine ? TextStyleState{} : s->lines[s->topLine + line].startStyle;
    MeasureText(s->engine, s->fontSlot, s->fontSize, units, column, &style);
    before = (GetCharAdvance(s->engine, s->fontSlot, s->fontSize, units[column - 1], &style) + 1) / 2;
  }
  return OffsetBox{box.x + before, box.y, box.height, line};
}

// Client point of a field to the demo window's own coordinates.
POINT InWindow(HWND field, int x, int y) {
  POINT p{x, y};
  ClientToScreen(field, &p);
  RECT top{};
  GetWindowRect(gTop, &top);
  return POINT{p.x - top.left, p.y - top.top};
}

void PrintBox(const char* what, HWND field, int x0, int y0, int x1, int y1, const std::string& extra = "") {
  POINT a = InWindow(field, x0, y0), b = InWindow(field, x1, y1);
  char line[160];
  std::snprintf(line, sizeof line, "%s %ld %ld %ld %ld", what, static_cast<long>(a.x), static_cast<long>(a.y),
                static_cast<long>(b.x), static_cast<long>(b.y));
  Print(line + (extra.empty() ? "" : " " + extra));
}

void Where(const std::string& word) {
  FieldState* s = GetFieldState(gPane);
  std::u16string text(s->text, s->length), wanted = Utf8ToUtf16(word);
  size_t at = text.find(wanted);
  if (at == std::u16string::npos || wanted.empty()) {
    Print("word not found");
    return;
  }
  // The middle unit of the word, at the middle of its box.
  OffsetBox a = BoxOf(s, static_cast<uint16_t>(at + wanted.size() / 2));
  OffsetBox b = BoxOf(s, static_cast<uint16_t>(at + wanted.size() / 2 + 1));
  POINT p{(a.x + b.x) / 2, a.y + a.height / 2};
  FieldHit hit = HitTestField(s, p.x, p.y);
  uint16_t offset = FieldOffsetOf(s, hit.column, hit.line);
  uint16_t start = 0, end = 0;
  ExpandFieldSelection(s, offset, 2, &start, &end);
  ClientToScreen(gPane, &p);
  char line[160];
  std::snprintf(line, sizeof line, "word %ld %ld expands to %u %u", static_cast<long>(p.x), static_cast<long>(p.y),
                start, end);
  Print(line);
}

// The demo window's screen rectangle and the SDL window's scale.
std::string WindowPlace() {
  RECT r{};
  GetWindowRect(gTop, &r);
  char line[160];
  std::snprintf(line, sizeof line, "window %ld %ld %ld %ld scale %d", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top),
                GetBackendScale());
  return line;
}

void Shot(const std::string& path) {
  // The caret blinks on the real clock and stands still under the virtual
  // one: from here on the screen and the capture see it shown.
  if (!IsVirtualClockInstalled()) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    InstallVirtualClock(&now, GetTickCount());
  }
  if (HideCaret(nullptr)) ShowCaret(nullptr);
  UpdateWindow(gTop);
  BOOL saved = AutoSaveWindowPng(gTop, path.c_str());
  Print(WindowPlace());
  char line[200];
  // The typed text: one box per unit.
  const FieldState* in = GetFieldState(gInput);
  Print("input " + FieldText(gInput));
  for (uint16_t i = 0; i < in->length; ++i) {
    OffsetBox a = BoxOf(in, i), b = BoxOf(in, static_cast<uint16_t>(i + 1));
    PrintBox("unit", gInput, a.x, a.y, b.x, a.y + a.height, Utf16ToUtf8(std::u16string(1, in->text[i])));
  }
  HWND owner = nullptr;
  RECT caret{};
  BOOL shown = FALSE;
  if (GetCaretStateForTest(&owner, &caret, &shown) && owner == gInput && shown) {
    PrintBox("caret", gInput, caret.left, caret.top, caret.right, caret.bottom,
             "offset " + std::to_string(GetFieldCaretOffset(in)));
  }
  const FieldState* pane = GetFieldState(gPane);
  if (pane->selStart < pane->selEnd) {
    OffsetBox a = BoxOf(pane, pane->selStart), b = BoxOf(pane, pane->selEnd);
    if (a.line == b.line) {
      std::snprintf(line, sizeof line, "%06X", ResolveColorWord(kFieldReadOnlySelected, kRoleBackground));
      PrintBox("selection", gPane, a.x, a.y, b.x, a.y + a.height,
               std::string(line) + " " + VisibleText(pane, pane->selStart, pane->selEnd));
    }
  }
  // The link: found by the field's own link lookup from a unit inside it.
  std::u16string text(pane->text, pane->length);
  size_t mark = text.find(static_cast<char16_t>(kStyleLinkStart));
  if (mark != std::u16string::npos) {
    uint16_t start = 0, end = 0;
    GetLinkAt(pane->engine, pane->text, static_cast<uint16_t>(mark + 1), &start, &end, nullptr, nullptr);
    OffsetBox a = BoxOf(pane, start), b = BoxOf(pane, end);
    if (start < end && a.line == b.line)
      PrintBox("link", gPane, a.x, a.y, b.x, a.y + a.height, VisibleText(pane, start, end));
  }
  // Each stroke of the character: a point of its midline well inside its
  // own outline and clear of every other stroke and outline, and whether the
  // stroke is shown.
  if (const StrokeboxState* b = GetStrokeboxState(gStrokes)) {
    auto outlineOf = [b](uint16_t i, uint16_t* count) {
      uint16_t first = b->strokeStarts[i];
      uint16_t end = i + 1 < b->strokeCount ? b->strokeStarts[i + 1] : b->outlineCount;
      *count = static_cast<uint16_t>(end - first);
      return b->outline + first;
    };
    auto clear = [&](uint16_t i, int x, int y) {
      for (uint16_t j = 0; j < b->strokeCount; ++j) {
        uint16_t n = 0;
        const StrokeSegment* o = outlineOf(j, &n);
        if (MinSquaredDistanceToSegments(o, n, x, y) < 9) return false;
        if ((PointInStrokeOutline(o, n, x, y) != 0) != (i == j)) return false;
      }
      return true;
    };
    for (uint16_t i = 0; i < b->strokeCount; ++i) {
      uint16_t midEnd = i + 1 < b->strokeCount ? b->midlineStarts[i + 1] : b->midlineCount;
      for (uint16_t m = b->midlineStarts[i]; m < midEnd; ++m) {
        int x = b->midline[m].x1, y = b->midline[m].y1;
        if (!clear(i, x, y)) continue;
        PrintBox("stroke", gStrokes, x, y, x + 1, y + 1, i < b->shown ? "shown" : "hidden");
        break;
      }
    }
  }
  // The keys drawn as bitmaps, inside their separators.
  if (const auto* g = static_cast<const GridState*>(GetPropW(gKeyboard, u"SorviGridInfo"))) {
    for (uint16_t i = 0; g->params.fixedColumns && i < g->params.bitmapCellCount; ++i) {
      int cell = g->params.bitmapCells[i].itemIndex;
      int column = cell % g->params.fixedColumns, row = cell / g->params.fixedColumns;
      PrintBox("key-bitmap", gKeyboard, GridCellX(g, column) + 1, GridCellY(g, row) + 1,
               GridCellX(g, column) + g->cellWidth - 1, GridCellY(g, row) + g->cellHeight - 1);
    }
  }
  Print(std::string("shot ") + path + (saved ? " ok" : " failed"));
}

void RunCommand(const std::string& command) {
  if (command.rfind("where ", 0) == 0) {
    Where(command.substr(6));
  } else if (command.rfind("shot ", 0) == 0) {
    Shot(command.substr(5));
  } else if (command == "quit") {
    DestroyWindow(gTop);
  }
}

LRESULT DemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ACTIVATE:
      // Coming to the front gives the search input the keys again.
      if (LOWORD(wParam) != WA_INACTIVE && gInput) SetFocus(gInput);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kAdvanceId && HIWORD(wParam) == BN_CLICKED) {
        LRESULT last = SendMessageW(gStrokes, kStrokeboxAdvance, 0, 1);
        uint32_t counts = static_cast<uint32_t>(SendMessageW(gStrokes, kStrokeboxGetCounts, 0, 0));
        Print("advanced shown " + std::to_string(counts >> 16) + " of " + std::to_string(counts & 0xFFFF) +
              (last ? " (all)" : ""));
        SetFocus(gInput);  // the search input keeps the keys
      }
      return 0;
    case WM_NOTIFY: {
      const auto* note = reinterpret_cast<const FieldNotify*>(lParam);
      char line[160];
      if (note->header.idFrom == kInputId && note->header.code == kFieldChanged) {
        Print("input " + FieldText(gInput));
      } else if (note->header.idFrom == kPaneId && note->header.code == kFieldPen) {
        const FieldState* s = GetFieldState(gPane);
        std::snprintf(line, sizeof line, "pane pen %u %u flags %u", note->payload.pen.start, note->payload.pen.end,
                      note->payload.pen.flags);
        Print(line + std::string(" ") +
              VisibleText(s, static_cast<uint16_t>(note->payload.pen.start),
                          static_cast<uint16_t>(note->payload.pen.end)));
      } else if (note->header.idFrom == kKeyboardId) {
        const auto* key = reinterpret_cast<const ControlNotify*>(lParam);
        if (key->header.code == kGridChosenCode) {
          std::snprintf(line, sizeof line, "key %u", key->payload.grid.value1);
          Print(line);
        }
      } else {
        std::snprintf(line, sizeof line, "control %u code %x", static_cast<unsigned>(note->header.idFrom),
                      note->header.code);
        Print(line);
      }
      return 0;
    }
    case kReadyMessage:
      UpdateWindow(hwnd);
      Print(std::string("ready ") + (GetBackendKind() == BACKEND_SDL ? "sdl " : "headless ") + WindowPlace());
      return 0;
    case kCommandMessage: {
      auto* command = reinterpret_cast<std::string*>(lParam);
      RunCommand(*command);
      delete command;
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths;
  bool control = false;
  std::string strokePath = "\\Program Files\\Sorvi\\s2stroke.pdb";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--control") {
      control = true;
    } else if (a == "--strokes" && i + 1 < argc) {
      strokePath = argv[++i];
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
  DictEngine* engine = CreateEngine(nullptr, 0, &params);
  if (!engine || engine->fontSlotCount == 0) {
    std::fprintf(stderr, "toolkit-demo: no font slot\n");
    return 1;
  }
  AppContext app{};
  app.engine = engine;
  app.dpiFactor = static_cast<uint16_t>(3 * GetDeviceCaps(nullptr, LOGPIXELSX) / 96);
  AppContextPointer = &app;
  AppInstance = GetModuleHandleW(nullptr);
  RegisterStandardControls();
  if (!RegisterControlClasses(AppInstance)) return 1;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DemoProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = u"SorviToolkitDemo";
  RegisterClassW(&wc);
  gTop = CreateWindowExW(0, wc.lpszClassName, u"Toolkit Demo", WS_POPUP | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  if (!gTop) return 1;
  RECT client{};
  GetClientRect(gTop, &client);
  const int scale = app.dpiFactor;  // layout values are given at 96 dpi (factor 3)
  const int margin = 4 * scale / 3;
  const int width = client.right - 2 * margin;
  const uint16_t size = static_cast<uint16_t>(14 * scale / 3);

  FieldCreateParams input{};
  input.fontSize = size;
  input.editable = 1;
  input.singleLine = 1;
  input.buttonRegion = 1;
  const int inputHeight = 20 * scale / 3;
  gInput = CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE, margin, margin, width, inputHeight, gTop,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(kInputId)), nullptr, &input);
  FieldCreateParams pane{};
  pane.fontSize = size;
  const int paneTop = 2 * margin + inputHeight;
  const int paneHeight = 120 * scale / 3;
  gPane = CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, margin, paneTop, width,
                          paneHeight, gTop, reinterpret_cast<HMENU>(static_cast<intptr_t>(kPaneId)), nullptr, &pane);
  if (!gInput || !gPane) return 1;
  SendMessageW(gPane, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(kPaneText));

  // The stroke box with its button, and the keyboard beside them.
  const int lowerTop = paneTop + paneHeight + margin;
  const int buttonHeight = 20 * scale / 3;
  const int boxSize = std::min(width / 2, static_cast<int>(client.bottom) - lowerTop - buttonHeight - 2 * margin);
  StrokeboxCreateParams strokes{};
  strokes.pointCapacity = 2000;
  strokes.strokeCapacity = 50;
  gStrokes = CreateWindowExW(0, kStrokeboxClassName, u"", WS_CHILD | WS_VISIBLE, margin, lowerTop, boxSize, boxSize,
                             gTop, reinterpret_cast<HMENU>(static_cast<intptr_t>(kStrokesId)), nullptr, &strokes);
  gAdvance = CreateWindowExW(0, WC_BUTTONW, u"Advance", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, margin,
                             lowerTop + boxSize + margin, boxSize, buttonHeight, gTop,
                             reinterpret_cast<HMENU>(static_cast<intptr_t>(kAdvanceId)), nullptr, nullptr);
  KeyboardLayoutRecord keyboard{};
  const uint16_t* keys = nullptr;
  uint16_t keyCount = 0;
  SetupPinyinKeyboardLayout(engine, &keyboard, &keys, &keyCount, 0);
  keyboard.fontSize = size;
  const int keyboardLeft = 2 * margin + boxSize;
  gKeyboard = CreateWindowExW(0, kGridClassName, u"", WS_CHILD | WS_VISIBLE, keyboardLeft, lowerTop,
                              client.right - keyboardLeft - margin, client.bottom - lowerTop - margin, gTop,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(kKeyboardId)), nullptr, &keyboard);
  if (!gStrokes || !gAdvance || !gKeyboard) return 1;
  GridItems keyItems{keys, nullptr, keyCount, 1};
  SendMessageW(gKeyboard, kGridSetItems, 0, reinterpret_cast<LPARAM>(&keyItems));
  StrokeboxOptions strokeOptions{};
  strokeOptions.duration = GetStrokeAnimationDelay(engine);
  strokeOptions.outlineRest = 1;
  SendMessageW(gStrokes, kStrokeboxSetOptions, 0, reinterpret_cast<LPARAM>(&strokeOptions));
  StrokeFile strokeFile;
  if (strokeFile.Open(strokePath) && LoadAuxIndexRecord(strokeFile.engine, kShownCharacter, boxSize, boxSize) == 0) {
    uint32_t count = 0;
    const uint16_t* items = GetAuxIndexRecord(strokeFile.engine, &count);
    SendMessageW(gStrokes, kStrokeboxLoad, std::min<uint32_t>(count, 0xFFFF), reinterpret_cast<LPARAM>(items));
  } else {
    std::fprintf(stderr, "toolkit-demo: no stroke data in %s\n", strokePath.c_str());
  }
  SetFocus(gInput);
  InvalidateRect(gTop, nullptr, TRUE);
  RECT button{};
  GetWindowRect(gAdvance, &button);
  char where[80];
  std::snprintf(where, sizeof where, "advance %ld %ld", static_cast<long>((button.left + button.right) / 2),
                static_cast<long>((button.top + button.bottom) / 2));
  Print(where);
  PostMessageW(gTop, kReadyMessage, 0, 0);

  if (control) {
    // Commands arrive on their own thread and run on the window's.
    std::thread([] {
      std::string line;
      while (std::getline(std::cin, line))
        PostMessageW(gTop, kCommandMessage, 0, reinterpret_cast<LPARAM>(new std::string(line)));
    }).detach();
  }
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  FreeEngineSaveBlock(DestroyEngine(engine));
  StopBackend();
  return 0;
}
