// toolkit-demo: the text field in a real window. An editable single-line
// field with its drop-down button (the search input, which holds the focus)
// above a read-only multi-line pane of styled text: bold, a colour, a link,
// pinyin with tone marks and Chinese. The fields' notifications are printed.
//
//   toolkit-demo [--control] [FONT_DEVICE_PATH...]
//
// Without paths the fonts `make data` installs are used, in start-up's
// order. With --control, lines on standard input drive the demo (the
// real-window test sends them while it types and clicks through the X
// server):
//   where WORD   prints "word X Y": a screen point inside WORD of the pane
//   shot PNG     holds the caret still (it stops blinking for good), saves
//                the window as PNG and prints where the fields' own hit
//                tests place the typed text, the caret, the pane's
//                selection and its link, in window coordinates
//   quit
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "platform/automation.h"
#include "platform/backend.h"
#include "platform/caret.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/core.h"
#include "platform/device_paths.h"
#include "platform/ui.h"
#include "resources/resources.h"
#include "toolkit/app_context.h"
#include "toolkit/control_classes.h"
#include "toolkit/control_field.h"
#include "toolkit/field_pen.h"
#include "toolkit/font_slot.h"
#include "toolkit/text_service.h"

namespace {

constexpr int kInputId = 13;
constexpr int kPaneId = 14;
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
    u"(zh\u014Dng w\u00E9n), the Chinese language.\r\n"
    u"The second paragraph wraps over the width of the pane.";

HWND gTop = nullptr;
HWND gInput = nullptr;
HWND gPane = nullptr;

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

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
      } else {
        std::snprintf(line, sizeof line, "field %u code %x", static_cast<unsigned>(note->header.idFrom),
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
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--control") control = true;
    else
      paths.push_back(a);
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
  gPane = CreateWindowExW(0, kFieldClassName, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, margin, paneTop, width,
                          client.bottom - paneTop - margin, gTop,
                          reinterpret_cast<HMENU>(static_cast<intptr_t>(kPaneId)), nullptr, &pane);
  if (!gInput || !gPane) return 1;
  SendMessageW(gPane, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(kPaneText));
  SetFocus(gInput);
  InvalidateRect(gTop, nullptr, TRUE);
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
