#include "toolkit/control_selector.h"

#include <algorithm>

#include "platform/caret.h"
#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/text_service.h"

namespace {

constexpr const WCHAR* kSelectorProperty = u"SorviSelectorInfo";
constexpr uint32_t kGrey = 0x7F7F7F;
constexpr uint32_t kGreen = 0x64FF64;
constexpr uint32_t kRed = 0xFF6464;

SelectorState* StateOf(HWND hwnd) { return static_cast<SelectorState*>(GetControlState(hwnd, kSelectorProperty)); }

int TextLength(const SelectorState* s) {
  int n = 0;
  while (n < kSelectorMaxChars && s->text[n]) ++n;
  return n;
}

bool IsToneDigit(WCHAR c) { return c >= u'0' && c <= u'5'; }
bool IsToneMode(int32_t mode) { return mode == 6 || mode == 7; }
bool IsFocusedMode(int32_t mode) { return mode == 5 || mode == 7; }
// Modes whose typed characters are only passed on.
bool PassesOn(int32_t mode) { return mode == 0 || mode == 1 || mode == 3 || mode == 8 || mode == 9; }

void Redraw(SelectorState* s) { DrawSelector(s); }

void Append(SelectorState* s, WCHAR c) {
  int n = TextLength(s);
  if (n >= kSelectorMaxChars) return;  // dropped, still reported
  s->text[n] = c;
  s->text[n + 1] = 0;
}

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

bool MakeSelector(HWND hwnd, const SelectorCreateParams* given) {
  SelectorCreateParams record{};
  if (given) {
    record = *given;
  } else {
    record.fontSlot = AppContextPointer ? AppContextPointer->fontId : 0;
    record.fontSize = kSelectorDefaultFontSize;
  }
  record.window = hwnd;
  record.rect = ClientShortRect(hwnd);
  record.drawContext = NewDrawContext(hwnd, AppInstance);
  if (!record.drawContext) return false;
  record.modeCallback = &SendSelectorModeNotify;
  record.keyCallback = &SendSelectorKeyNotify;
  SelectorState* state = NewSelectorState(ControlEngine(), &record);
  if (!state) {
    FreeDrawContext(record.drawContext);
    return false;
  }
  SetControlState(hwnd, kSelectorProperty, state);
  return true;
}

}  // namespace

SelectorState* NewSelectorState(DictEngine* engine, const SelectorCreateParams* p) {
  auto* s = static_cast<SelectorState*>(LocalAlloc(LPTR, sizeof(SelectorState)));
  if (!s) return nullptr;
  s->window = p->window;
  s->engine = engine;
  s->drawContext = p->drawContext;
  s->rect = p->rect;
  s->fontSlot = p->fontSlot;
  s->fontSize = p->fontSize;
  s->modeCallback = p->modeCallback;
  s->keyCallback = p->keyCallback;
  return s;
}

void FreeSelectorState(SelectorState* state) {
  if (!state) return;
  FreeDrawContext(state->drawContext);
  LocalFree(state);
}

void SetSelectorMode(SelectorState* s, int32_t mode) { s->mode = mode; }

void FocusSelectorMode(SelectorState* s) {
  if (s->mode == 4) s->mode = 5;
  if (s->mode == 6) s->mode = 7;
  Redraw(s);
}

void UnfocusSelectorMode(SelectorState* s) {
  if (s->mode == 5) s->mode = 4;
  if (s->mode == 7) s->mode = 6;
  Redraw(s);
}

void SelectorInputChar(SelectorState* s, WCHAR c) {
  if (c == 8) {
    SelectorBackspace(s);
    return;
  }
  if (IsToneMode(s->mode)) {
    if (IsToneDigit(c)) {
      int n = TextLength(s);
      if (n > 0 && IsToneDigit(s->text[n - 1])) {
        s->text[n - 1] = c;
      } else {
        Append(s, c);
      }
    }
  } else if (!PassesOn(s->mode)) {
    Append(s, c);
  }
  if (s->keyCallback) s->keyCallback(s->window, static_cast<uint32_t>(s->mode), c, 0);
  Redraw(s);
}

void SelectorBackspace(SelectorState* s) {
  int n = TextLength(s);
  bool wasEmpty = n == 0;
  if (!wasEmpty) {
    if (IsToneMode(s->mode)) {
      // A tone mode takes back only its tone digit.
      if (!IsToneDigit(s->text[n - 1])) return;
    }
    s->text[n - 1] = 0;
  }
  if (s->keyCallback) s->keyCallback(s->window, static_cast<uint32_t>(s->mode), 8, wasEmpty ? 1 : 0);
  Redraw(s);
}

void SetSelectorText(SelectorState* s, const WCHAR* text) {
  int n = 0;
  if (text) {
    for (; n < kSelectorMaxChars && text[n]; ++n) s->text[n] = text[n];
  }
  s->text[n] = 0;
  Redraw(s);
}

void GetSelectorText(const SelectorState* s, WCHAR* buffer, uint16_t capacity) {
  if (!buffer || capacity == 0) return;
  int n = std::min(TextLength(s), capacity - 1);
  for (int i = 0; i < n; ++i) buffer[i] = s->text[i];
  buffer[n] = 0;
}

void ClearSelectorText(SelectorState* s) {
  s->text[0] = 0;
  Redraw(s);
}

void DrawSelector(SelectorState* s) {
  DrawContext* dc = s->drawContext;
  const ShortRect& r = s->rect;
  FillShortRect(dc, r, kColorStatic);
  DrawShortRectEdge(dc, r, kColorStatic);
  int inset = 1;
  if (IsFocusedMode(s->mode)) {
    inset = 2;
    if (r.width > 2 && r.height > 2) {
      ShortRect second{static_cast<int16_t>(r.x + 1), static_cast<int16_t>(r.y + 1), static_cast<uint16_t>(r.width - 2),
                       static_cast<uint16_t>(r.height - 2)};
      DrawShortRectEdge(dc, second, kColorStatic);
    }
  }
  if (r.width <= 2 * inset || r.height <= 2 * inset) return;
  ShortRect inner{static_cast<int16_t>(r.x + inset), static_cast<int16_t>(r.y + inset),
                  static_cast<uint16_t>(r.width - 2 * inset), static_cast<uint16_t>(r.height - 2 * inset)};
  ColorWord background = kColorStaticText;
  if (s->mode == 3) EraseShortRect(dc, inner, kGrey);
  if (s->mode == 8) EraseShortRect(dc, inner, background = kGreen);
  if (s->mode == 9) EraseShortRect(dc, inner, background = kRed);
  if (s->mode == 0 || s->mode == 3) return;
  TextStyleState style{};
  uint16_t n = FitText(s->engine, s->fontSlot, s->fontSize, s->text, inner.width - 2, &style);
  n = std::max<uint16_t>(n, 1);
  n = static_cast<uint16_t>(std::min(static_cast<int>(n), TextLength(s)));
  TextStyleState measure{};
  int w = MeasureText(s->engine, s->fontSlot, s->fontSize, s->text, n, &measure);
  uint16_t metrics[4] = {};
  GetFontMetrics(s->engine, s->fontSlot, s->fontSize, metrics);
  int cell = metrics[1];
  int x = inner.x;
  int y = inner.y;
  if (w < inner.width && cell < inner.height) {
    x += (inner.width - w) / 2;
    y += (inner.height - cell) / 2;
  }
  TextStyleState drawStyle{};
  DrawStyledText(s->engine, dc, s->fontSlot, s->fontSize, s->text, n, x, y, cell, &drawStyle, kColorStaticText,
                 background);
}

int SelectorPenEvent(SelectorState* s, int event, int x, int y) {
  switch (event) {
    case kPenDown:
      s->pressed.penDown = 0;
      s->pressed.shown = 0;
      if (s->mode != 2 && s->mode != 3 && s->mode != 4 && s->mode != 6) return 0;
      PressAreaDown(s->drawContext, &s->pressed, s->rect);
      return 1;
    case kPenMove:
      if (!s->pressed.penDown) return 0;
      PressAreaMove(s->drawContext, &s->pressed, x, y);
      return 1;
    case kPenUp: {
      if (!s->pressed.penDown) return 0;
      if (!PressAreaUp(s->drawContext, &s->pressed, x, y)) return 0;
      int result = 2;
      if (s->mode == 2 || s->mode == 3) {
        s->mode = s->mode == 2 ? 3 : 2;
        result = 1;
      } else {
        s->mode = s->mode == 6 ? 7 : 5;
      }
      if (s->modeCallback) s->modeCallback(s->window, static_cast<uint32_t>(s->mode));
      Redraw(s);
      return result;
    }
    default:
      return 0;
  }
}

LRESULT SelectorWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* given = create ? static_cast<const SelectorCreateParams*>(create->lpCreateParams) : nullptr;
    return MakeSelector(hwnd, given) ? 0 : -1;
  }
  SelectorState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      FreeSelectorState(static_cast<SelectorState*>(RemoveControlState(hwnd, kSelectorProperty)));
      return 1;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      s->rect = ClientShortRect(hwnd);
      if (msg == WM_WINDOWPOSCHANGED) DefWindowProcW(hwnd, msg, wParam, lParam);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      DrawSelector(s);
      EndPaint(hwnd, &paint);
      return 1;
    }
    case kSelectorSetMode:
      SetSelectorMode(s, static_cast<int32_t>(wParam));
      return 1;
    case kSelectorInput:
      SelectorInputChar(s, static_cast<WCHAR>(wParam & 0xFFFF));
      return 1;
    case kSelectorBackspace:
      SelectorBackspace(s);
      return 1;
    case kSelectorFocusMode:
      DestroyCaret();
      FocusSelectorMode(s);
      return 1;
    case WM_CHAR: {
      WCHAR c = static_cast<WCHAR>(wParam & 0xFFFF);
      if (c == 8) {
        SelectorBackspace(s);
      } else {
        SelectorInputChar(s, c);
      }
      return 1;
    }
    case WM_SETTEXT:
      SetSelectorText(s, reinterpret_cast<const WCHAR*>(lParam));
      return 1;
    case WM_GETTEXT:
      GetSelectorText(s, reinterpret_cast<WCHAR*>(lParam), static_cast<uint16_t>(wParam & 0xFFFF));
      return 1;
    case WM_CLEAR:
      ClearSelectorText(s);
      return 1;
    case WM_SETFOCUS:
      FocusSelectorMode(s);
      return 1;
    case WM_KILLFOCUS:
      UnfocusSelectorMode(s);
      return 1;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      SelectorPenEvent(s, kPenDown, PenX(lParam), PenY(lParam));
      return 1;
    case WM_MOUSEMOVE:
      SelectorPenEvent(s, kPenMove, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP: {
      // The capture goes first; the press survives it (the box does not
      // cancel a press on WM_CAPTURECHANGED) and is judged by the release.
      ReleaseCapture();
      if (SelectorPenEvent(s, kPenUp, PenX(lParam), PenY(lParam)) == 2) {
        DestroyCaret();
        SetFocus(hwnd);
        if (SelectorState* now = StateOf(hwnd)) FocusSelectorMode(now);
      }
      return 1;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
