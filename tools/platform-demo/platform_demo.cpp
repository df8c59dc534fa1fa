// platform-demo: draws a few primitives, echoes the stylus as ink and keys
// as coloured blocks, and prints every input event on stdout.
//
//   platform-demo [--single-instance]
//
// $SORVI_DEMO_SCRIPT runs steps one after another (150 ms apart), each
// "down X Y", "move X Y", "up X Y", "key NAME", "text UTF8", "shot PATH",
// "dialog" (opens a modeless dialog with each standard control; its
// notifications are printed as "dialog ID CODE"), "msgbox" or "quit",
// separated by ';'. "platform-demo --dialog" opens the dialog at start. Coordinates are device screen pixels. Under SDL
// the steps go in as SDL events (the same road as a real mouse and
// keyboard); headless they go through the test automation.
#include <SDL.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/core.h"
#include "platform/dialog.h"
#include "platform/ipc.h"
#include "platform/msgbox.h"
#include "platform/tab_control.h"
#include "platform/ui.h"

namespace {

constexpr UINT kBringForward = 0x8306;
constexpr UINT_PTR kScriptTimer = 1;
const WCHAR* const kClassName = u"SorviDemoClass";
const WCHAR* const kTitle = u"Platform Demo";

struct Demo {
  std::vector<std::vector<POINT>> strokes;
  std::vector<COLORREF> keys;
  std::vector<std::string> script;
  size_t step = 0;
  bool penDown = false;
};
Demo gDemo;

void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void DrawStroke(HDC dc, const std::vector<POINT>& s) {
  HPEN pen = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, s.data(), static_cast<int>(s.size()));
  SelectObject(dc, old);
  DeleteObject(pen);
}

void DrawKeys(HDC dc) {
  for (size_t i = 0; i < gDemo.keys.size(); ++i) {
    int x = 20 + static_cast<int>(i % 20) * 22;
    int y = 180 + static_cast<int>(i / 20) * 22;
    RECT r{x, y, x + 18, y + 18};
    HBRUSH b = CreateSolidBrush(gDemo.keys[i]);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT blue{20, 20, 120, 80};
  HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(dc, &blue, b);
  DeleteObject(b);
  HPEN dash = CreatePen(PS_DASH, 1, RGB(0xCC, 0xCC, 0xCC));
  HGDIOBJ oldPen = SelectObject(dc, dash);
  SetBkMode(dc, TRANSPARENT);
  POINT line[2] = {{140, 30}, {440, 30}};
  Polyline(dc, line, 2);
  SelectObject(dc, oldPen);
  DeleteObject(dash);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ oldBrush = SelectObject(dc, red);
  POINT triangle[3] = {{320, 40}, {380, 100}, {260, 100}};
  Polygon(dc, triangle, 3);
  SelectObject(dc, oldBrush);
  DeleteObject(red);
  RECT frame{20, 120, 460, 160};
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT | BF_MONO);
  RECT inverted{30, 130, 130, 150};
  InvertRect(dc, &inverted);
  DrawKeys(dc);
  for (const auto& s : gDemo.strokes) DrawStroke(dc, s);
  EndPaint(hwnd, &ps);
}

void AddKey(COLORREF c, HWND hwnd) {
  if (gDemo.keys.size() >= 60) gDemo.keys.erase(gDemo.keys.begin());
  gDemo.keys.push_back(c);
  InvalidateRect(hwnd, nullptr, FALSE);
}

// ---- Dialog with each standard control ----

const DialogItemTemplate kControls[] = {
    {10, WC_STATICW, u"Static text, wrapped over two lines when it is long enough", WS_VISIBLE, 0, 4, 4, 110, 18},
    {11, WC_STATICW, u"Tap me (SS_NOTIFY)", WS_VISIBLE | SS_NOTIFY | SS_RIGHT, 0, 116, 4, 40, 18},
    {12, WC_BUTTONW, u"Push", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 4, 26, 48, 14},
    {13, WC_BUTTONW, u"Coloured", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 56, 26, 48, 14},
    {IDOK, WC_BUTTONW, u"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 108, 26, 48, 14},
    {14, WC_BUTTONW, u"Options", WS_VISIBLE | BS_GROUPBOX, 0, 4, 44, 152, 40},
    {15, WC_BUTTONW, u"Check box", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 10, 54, 64, 12},
    {16, WC_BUTTONW, u"Radio A", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 84, 54, 64, 12},
    {17, WC_BUTTONW, u"Radio B", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 84, 68, 64, 12},
    {18, WC_EDITW, u"Edit me", WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_BORDER | ES_AUTOHSCROLL, 0, 4, 88, 152, 12},
    {19, WC_EDITW, u"Multi-line\r\nedit", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_WANTRETURN, 0, 4, 104, 74, 30},
    {20, WC_LISTBOXW, u"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 0, 82, 104, 74, 30},
    {21, WC_COMBOBOXW, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 4, 138, 152, 60},
    {22, WC_TABCONTROLW, u"", WS_VISIBLE | TCS_BOTTOM, 0, 4, 156, 152, 14},
};
const DialogTemplate kControlsDialog{9000, u"Controls", WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_CENTER, 0, 0, 0, 160,
                                     174, kControls, static_cast<int>(sizeof(kControls) / sizeof(kControls[0]))};
HWND gDialog = nullptr;
HBRUSH gOrange = nullptr;

INT_PTR ControlsProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      for (const char16_t* t : {u"apple", u"banana", u"cherry", u"damson", u"elder"}) {
        SendDlgItemMessageW(hwnd, 20, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
        SendDlgItemMessageW(hwnd, 21, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
      }
      SendDlgItemMessageW(hwnd, 21, CB_SETCURSEL, 1, 0);
      CheckRadioButton(hwnd, 16, 17, 16);
      for (const char16_t* t : {u"Cards", u"Display", u"Tests"}) {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(t)), 0, -1, 0};
        SendDlgItemMessageW(hwnd, 22, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
      }
      SendDlgItemMessageW(hwnd, 22, TCM_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_CTLCOLORBTN:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == 13) {
        if (!gOrange) gOrange = CreateSolidBrush(RGB(255, 102, 0));
        return reinterpret_cast<INT_PTR>(gOrange);
      }
      return FALSE;
    case WM_COMMAND:
      Print("dialog %d %d", LOWORD(wParam), HIWORD(wParam));
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(hwnd);
      return TRUE;
    case WM_NOTIFY:
      Print("dialog %d %d", static_cast<int>(reinterpret_cast<NMHDR*>(lParam)->idFrom),
            static_cast<int>(reinterpret_cast<NMHDR*>(lParam)->code));
      return TRUE;
    case WM_DESTROY:
      gDialog = nullptr;
      return TRUE;
  }
  return FALSE;
}

void OpenDialog(HWND owner) {
  if (gDialog) return;
  gDialog = CreateDialogIndirectParamW(nullptr, &kControlsDialog, owner, &ControlsProc, 0);
  Print("dialog %s", gDialog ? "open" : "failed");
}

// ---- Script ----

SDL_Keycode KeyFromName(const std::string& name) {
  if (name == "enter") return SDLK_RETURN;
  if (name == "up") return SDLK_UP;
  if (name == "down") return SDLK_DOWN;
  if (name == "left") return SDLK_LEFT;
  if (name == "right") return SDLK_RIGHT;
  if (name == "backspace") return SDLK_BACKSPACE;
  if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') return static_cast<SDL_Keycode>(name[0]);
  return SDLK_UNKNOWN;
}

UINT VkFromKeycode(SDL_Keycode k) {
  if (k >= 'a' && k <= 'z') return static_cast<UINT>(k - 'a' + 'A');
  switch (k) {
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_BACKSPACE: return VK_BACK;
    default: return 0;
  }
}

void PushMouse(Uint32 type, int x, int y) {
  SDL_Event e{};
  e.type = type;
  int scale = GetBackendScale();
  if (type == SDL_MOUSEMOTION) {
    e.motion.x = x * scale;
    e.motion.y = y * scale;
    e.motion.state = SDL_BUTTON_LMASK;
  } else {
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x * scale;
    e.button.y = y * scale;
  }
  SDL_PushEvent(&e);
}

void RunStep(HWND hwnd, const std::string& step) {
  std::istringstream in(step);
  std::string verb;
  in >> verb;
  bool sdl = GetBackendKind() == BACKEND_SDL;
  if (verb == "down" || verb == "move" || verb == "up") {
    int x = 0, y = 0;
    in >> x >> y;
    if (sdl) {
      PushMouse(verb == "down" ? SDL_MOUSEBUTTONDOWN : verb == "move" ? SDL_MOUSEMOTION : SDL_MOUSEBUTTONUP, x, y);
    } else if (verb == "down") {
      AutoPenDown(x, y);
    } else if (verb == "move") {
      AutoPenMove(x, y);
    } else {
      AutoPenUp(x, y);
    }
  } else if (verb == "key") {
    std::string name;
    in >> name;
    SDL_Keycode k = KeyFromName(name);
    if (sdl) {
      SDL_Event e{};
      e.type = SDL_KEYDOWN;
      e.key.state = SDL_PRESSED;
      e.key.keysym.sym = k;
      SDL_PushEvent(&e);
      e.type = SDL_KEYUP;
      e.key.state = SDL_RELEASED;
      SDL_PushEvent(&e);
    } else {
      AutoKeyPress(VkFromKeycode(k));
    }
  } else if (verb == "text") {
    std::string text;
    std::getline(in >> std::ws, text);
    if (sdl) {
      SDL_Event e{};
      e.type = SDL_TEXTINPUT;
      SDL_strlcpy(e.text.text, text.c_str(), sizeof e.text.text);
      SDL_PushEvent(&e);
    } else {
      AutoTypeText(Utf8ToUtf16(text));
    }
  } else if (verb == "shot") {
    std::string path;
    in >> path;
    UpdateWindow(hwnd);
    Print("shot %s %s", path.c_str(), SaveScreenPng(path.c_str()) ? "ok" : "failed");
  } else if (verb == "dialog") {
    OpenDialog(hwnd);
  } else if (verb == "msgbox") {
    Print("msgbox %d", MessageBoxW(hwnd, u"A message box with two buttons.", u"Demo", MB_OKCANCEL | MB_ICONINFORMATION));
  } else if (verb == "quit") {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
}

LRESULT DemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  int x = static_cast<SHORT>(LOWORD(lParam)), y = static_cast<SHORT>(HIWORD(lParam));
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      Print("pen down %d %d", x, y);
      SetCapture(hwnd);
      gDemo.penDown = true;
      gDemo.strokes.push_back({POINT{x, y}});
      {
        HDC dc = GetDC(hwnd);
        DrawStroke(dc, gDemo.strokes.back());
        ReleaseDC(hwnd, dc);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (!gDemo.penDown) return 0;
      Print("pen move %d %d", x, y);
      gDemo.strokes.back().push_back(POINT{x, y});
      {
        HDC dc = GetDC(hwnd);
        auto& s = gDemo.strokes.back();
        DrawStroke(dc, std::vector<POINT>(s.end() - 2, s.end()));
        ReleaseDC(hwnd, dc);
      }
      return 0;
    case WM_LBUTTONUP:
      if (!gDemo.penDown) return 0;
      Print("pen up %d %d", x, y);
      gDemo.penDown = false;
      ReleaseCapture();
      return 0;
    case WM_KEYDOWN:
      Print("key down 0x%02X", static_cast<unsigned>(wParam));
      AddKey(RGB(0, (wParam * 37) & 0xFF, 128), hwnd);
      return 0;
    case WM_KEYUP:
      Print("key up 0x%02X", static_cast<unsigned>(wParam));
      return 0;
    case WM_CHAR:
      Print("char U+%04X", static_cast<unsigned>(wParam));
      AddKey(RGB(0, 160, 0), hwnd);
      return 0;
    case WM_TIMER:
      if (wParam == kScriptTimer) {
        if (gDemo.step < gDemo.script.size()) RunStep(hwnd, gDemo.script[gDemo.step++]);
        else KillTimer(hwnd, kScriptTimer);
      }
      return 0;
    case WM_DESTROY:
      Print("closing");
      PostQuitMessage(0);
      return 0;
    default:
      if (msg >= WM_USER) {
        Print("message 0x%04X %lu %ld", msg, static_cast<unsigned long>(wParam), static_cast<long>(lParam));
        return 0;
      }
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

std::vector<std::string> SplitScript(const char* text) {
  std::vector<std::string> steps;
  std::string step;
  for (const char* p = text; *p; ++p) {
    if (*p == ';') {
      if (!step.empty()) steps.push_back(step);
      step.clear();
    } else if (!(step.empty() && *p == ' ')) {
      step += *p;
    }
  }
  if (!step.empty()) steps.push_back(step);
  return steps;
}

}  // namespace

int main(int argc, char** argv) {
  bool single = argc > 1 && std::string(argv[1]) == "--single-instance";
  bool dialog = argc > 1 && std::string(argv[1]) == "--dialog";
  InitUiThread();
  if (single) {
    // The second of two starts finds the first and hands over.
    if (HWND other = FindWindowW(kClassName, kTitle)) {
      Print("secondary");
      PostMessageW(other, kBringForward, 1, 0);
      return 3;
    }
  }
  // What a second start (or the tests) may post to the window from outside.
  for (UINT msg : {kBringForward, UINT{0x8310}, UINT{WM_CLOSE}}) AcceptRemoteMessage(msg);
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &DemoProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, kClassName, kTitle, WS_POPUP | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) return 1;
  Print("ready %s", GetBackendKind() == BACKEND_SDL ? "sdl" : "headless");
  if (const char* script = std::getenv("SORVI_DEMO_SCRIPT")) {
    gDemo.script = SplitScript(script);
    SetTimer(hwnd, kScriptTimer, 150, nullptr);
  }
  if (dialog) OpenDialog(hwnd);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (gDialog && IsDialogMessageW(gDialog, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  StopBackend();
  return 0;
}
