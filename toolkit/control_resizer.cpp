#include "toolkit/control_resizer.h"

#include "platform/core.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"
#include "toolkit/ui_scale.h"

namespace {

constexpr const WCHAR* kResizerProperty = u"SorviResizerInfo";
constexpr int kStripe = 2;

ResizerState* StateOf(HWND hwnd) { return static_cast<ResizerState*>(GetControlState(hwnd, kResizerProperty)); }

bool IsWide(const RECT& r) { return r.right - r.left > r.bottom - r.top; }

// The bar's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  if (HWND parent = GetParent(hwnd)) {
    ScreenToClient(parent, &corners[0]);
    ScreenToClient(parent, &corners[1]);
  }
  return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void Drag(HWND hwnd, ResizerState* s, int penX, int penY) {
  RECT bar = RectInParent(hwnd);
  bool wide = IsWide(bar);
  int position = ClampResizerPosition(s->position + (wide ? penY : penX), s->minimum, s->maximum);
  if (position == s->position) return;
  s->position = static_cast<uint16_t>(position);
  int x = wide ? 0 : position;
  int y = wide ? position : bar.top;
  SetWindowPos(hwnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

void Notify(HWND hwnd, const ResizerState* s) {
  RECT client{};
  GetClientRect(hwnd, &client);
  ControlNotify record{};
  record.payload.resizer.position = s->position;
  record.payload.resizer.wide = IsWide(client) ? 1 : 0;
  SendControlNotify(hwnd, kResizerMovedCode, &record);
}

}  // namespace

int ClampResizerPosition(int position, uint16_t minimum, uint16_t maximum) {
  if (position > maximum) position = maximum;
  if (position < minimum) position = minimum;
  return position;
}

void DrawResizer(DrawContext* context, const ShortRect& r, bool dragging, int grip) {
  EraseShortRect(context, r, kColorStatic);
  if (dragging) return;
  int half = grip / 2;
  if (r.width > r.height) {
    int first = r.x + (r.width / 2 - r.width % 2) - half;
    int second = r.x + (r.width - r.width / 2) + half;
    for (int x : {first, second})
      FillShortRect(context, ShortRect{static_cast<int16_t>(x), r.y, kStripe, r.height}, kColorStatic);
  } else {
    int first = r.y + (r.height / 2 - r.height % 2) - half;
    int second = r.y + (r.height - r.height / 2) + half;
    for (int y : {first, second})
      FillShortRect(context, ShortRect{r.x, static_cast<int16_t>(y), r.width, kStripe}, kColorStatic);
  }
}

LRESULT ResizerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* s = static_cast<ResizerState*>(LocalAlloc(LPTR, sizeof(ResizerState)));
    if (!s) return -1;
    s->drawContext = NewDrawContext(hwnd, AppInstance);
    SetControlState(hwnd, kResizerProperty, s);
    return 0;
  }
  ResizerState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      RemoveControlState(hwnd, kResizerProperty);
      FreeDrawContext(s->drawContext);
      LocalFree(s);
      return 0;
    case kResizerSetLimits:
      s->minimum = LOWORD(wParam);
      s->maximum = LOWORD(lParam);
      return 0;
    case WM_LBUTTONDOWN: {
      SetCapture(hwnd);
      RECT bar = RectInParent(hwnd);
      s->position = static_cast<uint16_t>(IsWide(bar) ? bar.top : bar.left);
      s->dragging = 1;
      InvalidateRect(hwnd, nullptr, FALSE);  // drawn plain while dragged
      return 0;
    }
    case WM_MOUSEMOVE:
      if (s->dragging) Drag(hwnd, s, PenX(lParam), PenY(lParam));
      return 0;
    case WM_LBUTTONUP:
      if (!s->dragging) return 0;
      ReleaseCapture();
      s->dragging = 0;
      InvalidateRect(hwnd, nullptr, FALSE);
      Notify(hwnd, s);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      RECT client{};
      GetClientRect(hwnd, &client);
      DrawResizer(s->drawContext, RectToShortRect(client), s->dragging != 0, ScaleByDpi(15));
      EndPaint(hwnd, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
