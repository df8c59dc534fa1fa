#include "toolkit/control_choices.h"

#include <algorithm>

#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/text_service.h"
#include "toolkit/ui_scale.h"

namespace {

constexpr const WCHAR* kChoicesProperty = u"SorviChoicesInfo";
constexpr uint32_t kCorrectFill = 0xC8FFC8;
constexpr uint32_t kWrongFill = 0xFFC8C8;

ChoicesState* StateOf(HWND hwnd) { return static_cast<ChoicesState*>(GetControlState(hwnd, kChoicesProperty)); }

uint16_t ClampCount(uint32_t count) { return static_cast<uint16_t>(std::min<uint32_t>(count, kMaxChoices)); }

int CellHeight(const ChoicesState* s) {
  uint16_t metrics[4] = {};
  GetFontMetrics(s->engine, s->fontSlot, s->fontSize, metrics);
  return metrics[1];
}

uint16_t UnitCount(const WCHAR* text) {
  uint16_t n = 0;
  while (text[n]) ++n;
  return n;
}

int DrawText(const ChoicesState* s, const WCHAR* text, uint16_t count, int x, int y, int height, bool bold) {
  TextStyleState style{};
  style.bold = bold ? 1 : 0;
  return DrawStyledText(s->engine, s->drawContext, s->fontSlot, s->fontSize, text, count, x, y, height, &style,
                        kColorStaticText, kColorTransparent);
}

uint16_t Fit(const ChoicesState* s, const WCHAR* text, int width) {
  if (width <= 0) return 0;
  TextStyleState style{};
  return FitText(s->engine, s->fontSlot, s->fontSize, text, width, &style);
}

// The text area above the two buttons of the expanded view.
int ExpandedAvail(const ChoicesState* s) { return s->rect.height - CellHeight(s) - 2; }

void DrawExpanded(ChoicesState* s) {
  const ShortRect& r = s->rect;
  int cell = CellHeight(s);
  int avail = ExpandedAvail(s);
  if (avail > 0 && cell + 1 > 0) {
    int lines = avail / (cell + 1);
    int y = r.y + (avail % (cell + 1)) / 2;
    const WCHAR* rest = s->texts[s->expanded];
    for (int line = 0; line < lines && *rest; ++line) {
      uint16_t n = Fit(s, rest, r.width - 4);
      if (!n) break;
      DrawText(s, rest, n, r.x + 2, y, cell, false);
      rest += n;
      y += cell + 1;
    }
  }
  int below = r.y + avail + 1;
  int middle = r.x + 1 + r.width / 2;
  DrawLineColored(s->drawContext, r.x, below, r.x + r.width - 2, below, kColorStatic);
  DrawLineColored(s->drawContext, middle, below, middle, r.y + r.height - 2, kColorStatic);
  DrawText(s, u"Confirm", 7, r.x + 2, r.y + avail + 2, cell, false);
  DrawText(s, u"Cancel", 6, middle + 2, r.y + avail + 2, cell, false);
}

void DrawChoice(ChoicesState* s, int i, const ShortRect& cell) {
  int kind = s->kinds[i];
  if (kind == kChoiceEmpty) {
    s->expandable[i] = 0;
    return;
  }
  int fontCell = CellHeight(s);
  int pad = s->iconSize + 2 * s->inset;
  int textX = cell.x + pad;
  int textY = cell.y + (s->rowPitch - fontCell) / 2;
  if (kind == kChoiceCorrect || kind == kChoiceWrong) {
    if (cell.width > 2 && cell.height > 2) {
      ShortRect inside{static_cast<int16_t>(cell.x + 1), static_cast<int16_t>(cell.y + 1),
                       static_cast<uint16_t>(cell.width - 2), static_cast<uint16_t>(cell.height - 2)};
      EraseShortRect(s->drawContext, inside, kind == kChoiceCorrect ? kCorrectFill : kWrongFill);
    }
    uint32_t bitmap = kind == kChoiceCorrect ? s->correctBitmap : s->wrongBitmap;
    if (bitmap) {
      DrawBitmapResource(s->drawContext, bitmap, cell.x + s->inset, cell.y + (s->rowPitch - s->iconSize) / 2, 0, 0);
    }
  } else if (kind == kChoiceActive) {
    WCHAR digit = static_cast<WCHAR>(u'1' + i);
    DrawText(s, &digit, 1, cell.x + 2, textY, fontCell, true);
  }
  const WCHAR* text = s->texts[i];
  uint16_t n = Fit(s, text, s->columnPitch - pad - 1);
  DrawText(s, text, n, textX, textY, fontCell, false);
  s->expandable[i] = (s->expandAll || n < UnitCount(text)) ? 1 : 0;
}

void DrawList(ChoicesState* s) {
  const ShortRect& r = s->rect;
  int n = s->shownCount < s->count ? s->shownCount + 1 : s->shownCount;
  for (int i = 0; i < n; ++i) {
    int column = i / s->rows;
    int row = i % s->rows;
    int x = r.x + s->columnPitch * column;
    int y = r.y + s->rowPitch * row;
    if (column > 0) DrawLineColored(s->drawContext, x - 1, y, x - 1, y + s->rowPitch, kColorStatic);
    if (row > 0) DrawLineColored(s->drawContext, x, y - 1, x + s->columnPitch - 1, y - 1, kColorStatic);
    if (i == s->shownCount) break;
    int height = s->rowPitch - 1;
    if (i == n - 1) height = std::max(0, r.y + r.height - 1 - y);
    ShortRect cell{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(s->columnPitch - 1),
                   static_cast<uint16_t>(height)};
    DrawChoice(s, i, cell);
  }
}

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

bool MakeChoices(HWND hwnd, const ChoicesCreateParams* given) {
  ChoicesCreateParams record{};
  if (given) record = *given;
  record.window = hwnd;
  record.rect = ClientShortRect(hwnd);
  record.drawContext = NewDrawContext(hwnd, AppInstance);
  if (!record.drawContext) return false;
  record.callback = &SendChoicesNotify;
  record.iconSize = static_cast<uint16_t>(ScaleByDpi(15));
  record.inset = static_cast<uint16_t>(ScaleByDpi(3));
  record.fourthSize = static_cast<uint16_t>(ScaleByDpi(150));
  record.rowHeight = static_cast<uint16_t>(ScaleByDpi(20));
  ChoicesState* state = NewChoicesState(ControlEngine(), &record);
  if (!state) {
    FreeDrawContext(record.drawContext);
    return false;
  }
  SetControlState(hwnd, kChoicesProperty, state);
  return true;
}

}  // namespace

ChoicesState* NewChoicesState(DictEngine* engine, const ChoicesCreateParams* p) {
  auto* s = static_cast<ChoicesState*>(LocalAlloc(LPTR, sizeof(ChoicesState)));
  if (!s) return nullptr;
  s->window = p->window;
  s->engine = engine;
  s->drawContext = p->drawContext;
  s->rect = p->rect;
  s->fontSlot = p->fontSlot;
  s->fontSize = p->fontSize;
  s->callback = p->callback;
  s->correctBitmap = p->correctBitmap;
  s->wrongBitmap = p->wrongBitmap;
  s->iconSize = p->iconSize;
  s->inset = p->inset;
  s->fourthSize = p->fourthSize;
  s->rowHeight = p->rowHeight;
  s->expanded = -1;
  LayoutChoices(s, p->count);
  return s;
}

void FreeChoicesState(ChoicesState* state) {
  if (!state) return;
  FreeDrawContext(state->drawContext);
  LocalFree(state);
}

uint16_t LayoutChoices(ChoicesState* s, uint16_t count) {
  count = ClampCount(count);
  if (!s->rect.width || !s->rect.height) return 0;
  s->columns = 1;
  uint16_t rows = static_cast<uint16_t>(std::min<int>(count, (s->rect.height + 1) / (s->rowHeight + 1)));
  s->rows = rows;
  if (!rows) return 0;
  s->rowPitch = static_cast<uint16_t>((s->rect.height + 1) / rows);
  s->columnPitch = static_cast<uint16_t>(s->rect.width + 1);
  s->count = count;
  return rows;
}

void SetChoicesRect(ChoicesState* s, const ShortRect& rect) {
  s->rect = rect;
  LayoutChoices(s, s->count);
}

void SetChoiceText(ChoicesState* s, uint32_t index, const WCHAR* text) {
  if (index < kMaxChoices) {
    WCHAR* out = s->texts[index];
    int n = 0;
    if (text) {
      while (*text == u' ') ++text;
      while (n < kChoiceTextUnits - 1 && text[n]) {
        out[n] = text[n];
        ++n;
      }
    }
    out[n] = 0;
  }
  s->expanded = -1;
}

void SetChoiceKind(ChoicesState* s, uint32_t index, int32_t kind) {
  if (index < kMaxChoices) s->kinds[index] = kind;
  s->expanded = -1;
}

void SetShownChoices(ChoicesState* s, uint16_t count) {
  s->shownCount = ClampCount(std::min<uint32_t>(count, static_cast<uint32_t>(s->rows) * s->columns));
  s->expanded = -1;
}

void DrawChoices(ChoicesState* s) {
  const ShortRect& r = s->rect;
  FillShortRect(s->drawContext, r, kColorStatic);
  if (!s->rows) return;
  ShortRect edge{r.x, static_cast<int16_t>(r.y - 1), r.width, static_cast<uint16_t>(r.height + 1)};
  DrawShortRectEdge(s->drawContext, edge, kColorStatic);
  if (s->expanded >= 0 && s->expanded < kMaxChoices) {
    DrawExpanded(s);
  } else {
    DrawList(s);
  }
}

int ChoicesPenEvent(ChoicesState* s, int event, int x, int y) {
  const ShortRect& r = s->rect;
  switch (event) {
    case kPenDown: {
      s->pressed.penDown = 0;
      s->pressed.shown = 0;
      ShortRect area{};
      if (s->expanded < 0) {
        if (!s->columnPitch || !s->rowPitch || x < r.x || y < r.y) return 0;
        int column = (x - r.x) / s->columnPitch;
        int row = (y - r.y) / s->rowPitch;
        int index = row + s->rows * column;
        if (column >= s->columns || row >= s->rows || index >= s->shownCount) return 0;
        if (s->kinds[index] != kChoiceActive) return 0;
        area = ShortRect{static_cast<int16_t>(r.x + s->columnPitch * column),
                         static_cast<int16_t>(r.y + s->rowPitch * row), static_cast<uint16_t>(s->columnPitch - 1),
                         static_cast<uint16_t>(s->rowPitch - 1)};
        s->pressedIndex = static_cast<uint16_t>(index);
      } else {
        int avail = ExpandedAvail(s);
        int half = r.width / 2;
        int buttonHeight = std::max(0, r.height - avail - 3);
        if (y > r.y + avail && x > r.x + half) {
          area = ShortRect{static_cast<int16_t>(r.x + half + 1), static_cast<int16_t>(r.y + avail + 2),
                           static_cast<uint16_t>(std::max(0, r.width - half - 2)), static_cast<uint16_t>(buttonHeight)};
          s->bottomButton = 1;
        } else if (y > r.y + avail) {
          area = ShortRect{static_cast<int16_t>(r.x + 1), static_cast<int16_t>(r.y + avail + 2),
                           static_cast<uint16_t>(half), static_cast<uint16_t>(buttonHeight)};
          s->bottomButton = 0;
        } else {
          area = ShortRect{static_cast<int16_t>(r.x + 1), static_cast<int16_t>(r.y + 1),
                           static_cast<uint16_t>(std::max(0, r.width - 2)), static_cast<uint16_t>(std::max(0, avail))};
          s->bottomButton = 0;
        }
      }
      PressAreaDown(s->drawContext, &s->pressed, area);
      return 1;
    }
    case kPenMove:
      if (!s->pressed.penDown) return 0;
      PressAreaMove(s->drawContext, &s->pressed, x, y);
      return 1;
    case kPenUp: {
      if (!s->pressed.penDown) return 0;
      if (!PressAreaUp(s->drawContext, &s->pressed, x, y)) return 0;
      if (s->expanded < 0) {
        uint16_t index = s->pressedIndex;
        if (index < kMaxChoices && s->expandable[index]) {
          s->expanded = static_cast<int16_t>(index);
          DrawChoices(s);
        } else if (s->callback) {
          s->callback(s->window, index);
        }
        return 1;
      }
      int16_t chosen = s->expanded;
      if (s->bottomButton == 0 && s->callback) s->callback(s->window, static_cast<uint32_t>(chosen));
      s->expanded = -1;
      DrawChoices(s);
      return 1;
    }
    default:
      return 0;
  }
}

LRESULT ChoicesWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* given = create ? static_cast<const ChoicesCreateParams*>(create->lpCreateParams) : nullptr;
    return MakeChoices(hwnd, given) ? 0 : -1;
  }
  ChoicesState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      FreeChoicesState(static_cast<ChoicesState*>(RemoveControlState(hwnd, kChoicesProperty)));
      return 1;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      SetChoicesRect(s, ClientShortRect(hwnd));
      if (msg == WM_WINDOWPOSCHANGED) DefWindowProcW(hwnd, msg, wParam, lParam);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      DrawChoices(s);
      EndPaint(hwnd, &paint);
      return 1;
    }
    case kChoicesSetText:
      SetChoiceText(s, LOWORD(wParam), reinterpret_cast<const WCHAR*>(lParam));
      return 1;
    case kChoicesSetKind:
      SetChoiceKind(s, static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam));
      return 1;
    case kChoicesSetShown:
      SetShownChoices(s, static_cast<uint16_t>(std::min<WPARAM>(wParam, 0xFFFF)));
      return 1;
    case kChoicesGetCount:
      return s->count;
    case kChoicesLayout:
      return LayoutChoices(s, LOWORD(wParam));
    case kChoicesExpandAll:
      s->expandAll = static_cast<uint8_t>(wParam & 0xFF);
      return 1;
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      ChoicesPenEvent(s, kPenDown, PenX(lParam), PenY(lParam));
      return 1;
    case WM_MOUSEMOVE:
      ChoicesPenEvent(s, kPenMove, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP:
      ChoicesPenEvent(s, kPenUp, PenX(lParam), PenY(lParam));
      ReleaseCapture();
      return 1;
    case WM_CAPTURECHANGED:
      PressAreaCancel(s->drawContext, &s->pressed);
      return 1;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
