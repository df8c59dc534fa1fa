#include "toolkit/control_taphold.h"

#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/ui_scale.h"

namespace {

constexpr const WCHAR* kTapholdProperty = u"SorviTapholdInfo";
constexpr int kLabelMax = 3;

TapholdState* StateOf(HWND hwnd) { return static_cast<TapholdState*>(GetControlState(hwnd, kTapholdProperty)); }

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

void Report(HWND hwnd, UINT code) {
  ControlNotify record{};
  SendControlNotify(hwnd, code, &record);
}

void ReportTap(HWND hwnd, const TapholdState* s) {
  Report(hwnd, s->info.tapReportsHold ? kTapholdHoldCode : kTapholdTapCode);
}

void PaintLabel(HWND hwnd, TapholdState* s, const ShortRect& client) {
  DrawContext* dc = s->drawContext;
  ShortRect box = TapholdLabelBox(client, s->info.maxSize);
  DrawShortRectEdge(dc, box, kColorStatic);
  if (box.width > 2 && box.height > 2) {
    ShortRect inside{static_cast<int16_t>(box.x + 1), static_cast<int16_t>(box.y + 1),
                     static_cast<uint16_t>(box.width - 2), static_cast<uint16_t>(box.height - 2)};
    EraseShortRect(dc, inside, s->info.inverted ? 0xFFFFFF : s->info.color);
  }
  if (s->focused) DrawShortRectEdge(dc, client, kColorStatic);
  int n = 0;
  while (n < kLabelMax && s->info.label[n]) ++n;
  if (!n) return;
  LetterGlyphStrip strip = LetterStripForMetric(GetUiMetric());
  HBITMAP bitmap = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(strip.resource));
  if (!bitmap) return;
  HDC target = AcquireDrawDC(dc);
  HDC source = target ? CreateCompatibleDC(target) : nullptr;
  if (source) {
    HGDIOBJ old = SelectObject(source, bitmap);
    int xs[kLabelMax] = {};
    TapholdLetterPositions(box.x, box.width, strip.glyphWidth, n, xs);
    int y = box.y + (box.height - strip.glyphHeight) / 2;
    DWORD rop = s->info.inverted ? NOTSRCCOPY : SRCPAINT;
    for (int i = 0; i < n; ++i) {
      int glyph = LetterGlyphIndex(s->info.label[i]);
      BitBlt(target, xs[i], y, strip.glyphWidth, strip.glyphHeight, source, glyph * strip.glyphWidth, 0, rop);
    }
    SelectObject(source, old);
    DeleteDC(source);
  }
  if (target) ReleaseDrawDC(dc);
  DeleteObject(bitmap);
  (void)hwnd;
}

void PaintImage(TapholdState* s, const ShortRect& client) {
  if (s->info.imageList && s->info.imageIndex >= 0) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(s->info.imageList, &cx, &cy);
    int x = cx > client.width ? 0 : (client.width - cx) / 2;
    int y = cy > client.height ? 0 : (client.height - cy) / 2;
    if (HDC dc = AcquireDrawDC(s->drawContext)) {
      ImageList_DrawEx(s->info.imageList, s->info.imageIndex, dc, client.x + x, client.y + y, 0, 0, CLR_NONE,
                       CLR_DEFAULT, ILD_TRANSPARENT);
      ReleaseDrawDC(s->drawContext);
    }
  }
  if (s->focused) DrawShortRectEdge(s->drawContext, client, kColorStatic);
}

void Paint(HWND hwnd, TapholdState* s) {
  PAINTSTRUCT paint{};
  BeginPaint(hwnd, &paint);
  ShortRect client = ClientShortRect(hwnd);
  if (s->info.textLabel) {
    PaintLabel(hwnd, s, client);
  } else {
    PaintImage(s, client);
  }
  EndPaint(hwnd, &paint);
}

// A new record ends a press in progress; a record with neither an image
// list nor a label keeps the old image list.
void SetInfo(HWND hwnd, TapholdState* s, const TapholdButtonInfo* info) {
  if (s->penDown) {
    s->penDown = 0;
    ReleaseCapture();
  }
  HIMAGELIST old = s->info.imageList;
  if (info) s->info = *info;
  if (!s->info.imageList && !s->info.textLabel) s->info.imageList = old;
  InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace

LetterGlyphStrip LetterStripForMetric(int16_t metric) {
  if (metric == 32) return kLetterStripLarge;
  if (metric == 22) return kLetterStripMedium;
  return kLetterStripSmall;
}

int LetterGlyphIndex(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= '0' && c <= '9') return 26 + (c - '0');
  if (c == '-') return 36;
  return 37;
}

ShortRect TapholdLabelBox(const ShortRect& client, uint16_t maxSize) {
  ShortRect box = client;
  if (!maxSize) return box;  // no limit on either side
  if (box.width > maxSize) {
    box.x = static_cast<int16_t>(box.x + (box.width - maxSize) / 2);
    box.width = maxSize;
  }
  if (box.height > maxSize) {
    box.y = static_cast<int16_t>(box.y + (box.height - maxSize) / 2);
    box.height = maxSize;
  }
  return box;
}

void TapholdLetterPositions(int boxX, int boxWidth, int glyphWidth, int n, int* xs) {
  if (n <= 0) return;
  int d = boxWidth - glyphWidth * n;
  int gap = d / (n + 1);
  int r = d % (n + 1);
  int lead = r / 2;
  int after = 0;
  // Two letters with an odd remainder: the spare pixel goes after each
  // letter rather than half of it before the first.
  if (n == 2 && r % 2 != 0) {
    lead = 0;
    after = r;
  }
  int x = boxX + lead + gap;
  for (int i = 0; i < n; ++i) {
    xs[i] = x;
    x += glyphWidth + gap + after;
  }
}

LRESULT TapholdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* s = static_cast<TapholdState*>(LocalAlloc(LPTR, sizeof(TapholdState)));
    if (!s) return -1;
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (create && create->lpCreateParams) s->info = *static_cast<const TapholdButtonInfo*>(create->lpCreateParams);
    s->drawContext = NewDrawContext(hwnd, AppInstance);
    SetControlState(hwnd, kTapholdProperty, s);
    return 1;
  }
  TapholdState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      KillTimer(hwnd, HoldTimerId);
      RemoveControlState(hwnd, kTapholdProperty);
      FreeDrawContext(s->drawContext);
      LocalFree(s);
      return 1;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      s->focused = msg == WM_SETFOCUS ? 1 : 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) ReportTap(hwnd, s);
      return 1;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_LBUTTONDOWN:
      s->penDown = 1;
      SetCapture(hwnd);
      s->shown = 1;
      InvertShortRect(s->drawContext, ClientShortRect(hwnd));
      SetTimer(hwnd, HoldTimerId, kHoldTime, nullptr);
      return 1;
    case WM_MOUSEMOVE: {
      if (!s->penDown) return 1;
      ShortRect client = ClientShortRect(hwnd);
      uint8_t inside = ShortRectContains(client, PenX(lParam), PenY(lParam)) ? 1 : 0;
      if (inside != s->shown) {
        InvertShortRect(s->drawContext, client);
        s->shown = inside;
        if (inside) {
          SetTimer(hwnd, HoldTimerId, kHoldTime, nullptr);
        } else {
          KillTimer(hwnd, HoldTimerId);
        }
      }
      return 1;
    }
    case WM_TIMER:
      if (wParam != HoldTimerId) return 1;
      KillTimer(hwnd, HoldTimerId);
      if (s->info.holdEnabled && s->shown) {
        s->penDown = 0;  // before the capture goes, so the release finds no press
        ReleaseCapture();
        Report(hwnd, kTapholdHoldCode);
        if (TapholdState* now = StateOf(hwnd)) {
          InvertShortRect(now->drawContext, ClientShortRect(hwnd));
          now->shown = 0;
        }
      }
      return 1;
    case WM_LBUTTONUP: {
      if (!s->penDown) return 1;
      KillTimer(hwnd, HoldTimerId);
      s->penDown = 0;
      ReleaseCapture();
      bool inside = ShortRectContains(ClientShortRect(hwnd), PenX(lParam), PenY(lParam));
      s->shown = 0;
      if (inside) ReportTap(hwnd, s);
      if (IsWindow(hwnd)) InvalidateRect(hwnd, nullptr, TRUE);
      return 1;
    }
    case WM_CAPTURECHANGED:
      KillTimer(hwnd, HoldTimerId);
      return 1;
    case kTapholdSetInfo:
      SetInfo(hwnd, s, reinterpret_cast<const TapholdButtonInfo*>(lParam));
      return 1;
    case WM_PAINT:
      Paint(hwnd, s);
      return 1;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
