#include "toolkit/control_capturebox.h"

#include <algorithm>

#include "engine/dict_engine.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "platform/core.h"
#include "platform/gdi.h"
#include "platform/paint.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"

namespace {

// The system colour of static text (foreground role) and of static
// backgrounds (background role).
constexpr ColorWord kInkColor = kColorStatic;
constexpr uint16_t kPointMax = 32767;
constexpr uint32_t kFadeColor = 0xC0C0C0;
// The end of the ink when an empty box cannot make its handle.
const uint16_t kEndOfInkOnly[2] = {kInkMarker, kInkMarker};

bool IsMarker(const uint16_t* pair) { return pair[0] == kInkMarker; }

ShortRect ClientRectOf(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

// Room for `pairs` pairs, growing by kInkGrowth; false when the handle
// cannot be made or grown. The handle stays locked but for the resize.
bool EnsureInkRoom(CaptureboxState* s, uint32_t pairs) {
  if (s->inkHandle && pairs <= s->capacity) return true;
  uint32_t capacity = s->capacity + kInkGrowth;
  if (pairs > capacity) return false;
  uint32_t bytes = capacity * 2 * sizeof(uint16_t);
  if (!s->inkHandle) {
    s->inkHandle = NewMemHandle(bytes);
    if (!s->inkHandle) return false;
    s->ink = static_cast<uint16_t*>(LockMemHandle(s->inkHandle));
  } else {
    UnlockMemHandle(s->inkHandle);
    int failed = ResizeMemHandle(s->inkHandle, bytes);
    s->ink = static_cast<uint16_t*>(LockMemHandle(s->inkHandle));
    if (failed) return false;
  }
  s->capacity = static_cast<uint16_t>(capacity);
  return true;
}

// Stores a pair below `limit` pairs held; the room for the end of the ink
// after it is made at the same time, so handing out never has to grow.
void StorePair(CaptureboxState* s, uint16_t x, uint16_t y, uint16_t limit) {
  if (s->count >= limit) return;
  if (s->count > 0 && s->ink[2 * (s->count - 1)] == x && s->ink[2 * (s->count - 1) + 1] == y) return;
  if (!EnsureInkRoom(s, s->count + 2u)) return;
  s->ink[2 * s->count] = x;
  s->ink[2 * s->count + 1] = y;
  ++s->count;
}

uint16_t ClampCoordinate(int v) { return static_cast<uint16_t>(std::clamp(v, 0, static_cast<int>(kPointMax))); }

// Ink is two pixels wide on a scaled screen: the segment is drawn four times,
// moved by one pixel right, down and both.
void DrawSegment(CaptureboxState* s, int x1, int y1, int x2, int y2) {
  if (s->engine && s->engine->scaled) {
    static const int kOffsets[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    HDC dc = AcquireDrawDC(s->draw);
    for (const auto& o : kOffsets) DrawLineColored(s->draw, x1 + o[0], y1 + o[1], x2 + o[0], y2 + o[1], kInkColor);
    if (dc) ReleaseDrawDC(s->draw);
    return;
  }
  DrawLineColored(s->draw, x1, y1, x2, y2, kInkColor);
}

void DrawDot(CaptureboxState* s, int x, int y) { DrawLineColored(s->draw, x, y, x, y, kInkColor); }

// The rounded mean of ring points first..last (raw move numbers).
InkPoint RingMean(const CaptureboxState* s, uint32_t first, uint32_t last) {
  uint32_t n = last - first + 1, sx = 0, sy = 0;
  for (uint32_t i = first; i <= last; ++i) {
    sx += s->ring[i % 5].x;
    sy += s->ring[i % 5].y;
  }
  return InkPoint{static_cast<uint16_t>((2 * sx / n + 1) / 2), static_cast<uint16_t>((2 * sy / n + 1) / 2)};
}

void AddSmoothed(CaptureboxState* s, InkPoint m) {
  AddInkPoint(s, m.x, m.y);
  DrawSegment(s, s->lastDrawn.x, s->lastDrawn.y, m.x, m.y);
  s->lastDrawn = m;
  ++s->processed;
}

void PenDown(CaptureboxState* s, InkPoint p) {
  s->penDown = 1;
  AddInkPoint(s, p.x, p.y);
  // The smoothing counters start again with or without smoothing, so that
  // smoothing switched on within a stroke never reads the last stroke's
  // points.
  s->processed = 0;
  s->rawCount = 0;
  s->lastDrawn = p;
  s->lastRaw = p;
  if (s->notify) s->notify(s->notifyContext, static_cast<uint16_t>(s->strokeCount + 1), 1);
}

// A move point: stored and drawn raw, or through the smoothing windows of 1,
// 3 and 5 points, each produced as soon as its last point has arrived.
void PenMove(CaptureboxState* s, InkPoint p) {
  if (!s->smoothing) {
    AddInkPoint(s, p.x, p.y);
    DrawSegment(s, s->lastRaw.x, s->lastRaw.y, p.x, p.y);
    ++s->processed;
  } else {
    s->ring[s->rawCount % 5] = p;
    ++s->rawCount;
    for (;;) {
      uint32_t c = s->processed, h = std::min<uint32_t>(c, 2);
      if (c + h >= s->rawCount) break;
      AddSmoothed(s, RingMean(s, c - h, c + h));
    }
  }
  s->lastRaw = p;
}

// The smoothed points still held back: the windows shrink to 3 and 1 points
// towards the stroke's end.
void FlushSmoothing(CaptureboxState* s) {
  HDC dc = AcquireDrawDC(s->draw);
  while (s->processed < s->rawCount) {
    uint32_t c = s->processed, h = s->rawCount - 1u - c;
    AddSmoothed(s, RingMean(s, c - h, s->rawCount - 1u));
  }
  if (dc) ReleaseDrawDC(s->draw);
}

void PenUp(CaptureboxState* s) {
  if (s->smoothing) FlushSmoothing(s);
  if (s->processed == 0) DrawDot(s, s->lastRaw.x, s->lastRaw.y);
  // A stroke counts only when its end is in the ink: at the limit, or when
  // none of its points could be stored, nothing of it is kept.
  uint16_t before = s->count;
  AddInkPoint(s, kInkMarker, 0);
  if (s->count != before) ++s->strokeCount;
  s->penDown = 0;
  if (s->notify) s->notify(s->notifyContext, static_cast<uint16_t>(s->strokeCount), 0);
}

bool InkHidesScrollBar(const CaptureboxState* s) {
  return s->engine && GetPref(s->engine, kPrefInkHidesScrollBar) != 0;
}

// The messages both forms answer, with the embedded form's results.
LRESULT InkMessage(CaptureboxState* s, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = true;
  switch (msg) {
    case kCaptureboxGetInk:
      return reinterpret_cast<LRESULT>(TakeInk(s, reinterpret_cast<uint16_t*>(lParam)));
    case kCaptureboxSetSmoothing:
      SetInkSmoothing(s, static_cast<uint8_t>(wParam & 0xFF));
      return 1;
    case kCaptureboxClear:
      ClearInk(s);
      return s->embedded && InkHidesScrollBar(s) ? kInkRefreshScrollBar : 1;
    case kCaptureboxUndoStroke: {
      int left = UndoInkStroke(s);
      return s->embedded ? left : 1;
    }
    default:
      *handled = false;
      return 0;
  }
}

}  // namespace

CaptureboxState* NewCaptureboxState(DictEngine* engine, const ShortRect& rect, DrawContext* draw, uint8_t embedded,
                                    HWND notifyContext, CaptureboxNotifyCallback notify) {
  auto* s = static_cast<CaptureboxState*>(LocalAlloc(LPTR, sizeof(CaptureboxState)));
  if (!s) return nullptr;
  s->engine = engine;
  s->draw = draw;
  s->rect = rect;
  s->embedded = embedded;
  s->smoothing = 1;
  s->notifyContext = notifyContext;
  s->notify = notify;
  return s;
}

void FreeCaptureboxState(CaptureboxState* s) {
  if (!s) return;
  FreeMemHandle(s->inkHandle);
  FreeDrawContext(s->draw);
  LocalFree(s);
}

void AddInkPoint(CaptureboxState* s, int x, int y) {
  if (x == kInkMarker && y == 0) {
    // A stroke end follows a point: the recogniser refuses ink that begins
    // with one (a stroke cleared while the pen was down leaves none).
    if (s->count > 0) StorePair(s, kInkMarker, 0, kInkPointLimit + 1);
    return;
  }
  StorePair(s, ClampCoordinate(x), ClampCoordinate(y), kInkPointLimit);
}

int CaptureboxPenEvent(CaptureboxState* s, int event, int x, int y) {
  InkPoint p{ClampCoordinate(x), ClampCoordinate(y)};
  switch (event) {
    case 0:
      // A down that finds the pen down (its up was lost) ends the open
      // stroke first, so that no stroke runs into the next.
      if (s->penDown) PenUp(s);
      PenDown(s, p);
      return 1;
    case 1: {
      if (!s->penDown) return 0;
      bool inside = ShortRectContains(s->rect, x, y);
      if (p.x != s->lastRaw.x || p.y != s->lastRaw.y) PenMove(s, p);
      // Leaving the box ends the stroke at the first outside point; the
      // moves and the up of the same contact then find the pen up.
      if (!inside) PenUp(s);
      return 1;
    }
    case 2:
      if (!s->penDown) return 0;
      PenUp(s);
      return 1;
    default:
      return 0;
  }
}

const uint16_t* TakeInk(CaptureboxState* s, uint16_t* count) {
  if (!EnsureInkRoom(s, s->count + 1u)) {
    // Only an empty box without a handle gets here: every stored pair keeps
    // room for the end after it.
    if (count) *count = 1;
    return kEndOfInkOnly;
  }
  s->ink[2 * s->count] = kInkMarker;
  s->ink[2 * s->count + 1] = kInkMarker;
  if (count) *count = static_cast<uint16_t>(s->count + 1);
  return s->ink;
}

int UndoInkStroke(CaptureboxState* s) {
  if (s->count < 2) {
    s->count = 0;
    return 0;
  }
  int found = -1;
  for (int i = s->count - 2; i >= 1; --i)
    if (IsMarker(s->ink + 2 * i)) {
      found = i;
      break;
    }
  if (found < 0) {
    s->count = 0;
    s->strokeCount = 0;
  } else {
    s->count = static_cast<uint16_t>(found + 1);
    s->ink[2 * s->count] = kInkMarker;
    s->ink[2 * s->count + 1] = kInkMarker;
    if (s->strokeCount) --s->strokeCount;
  }
  return s->count > 1 ? 1 : 0;
}

void ClearInk(CaptureboxState* s) {
  s->count = 0;
  s->strokeCount = 0;
  if (!s->embedded) DrawCaptureboxInk(s);
}

void DrawCaptureboxInk(CaptureboxState* s) {
  if (!s->embedded) {
    FillShortRect(s->draw, s->rect, kColorStatic);
    DrawShortRectEdge(s->draw, s->rect, kColorStatic);
  }
  if (s->count < 2) return;
  HDC dc = AcquireDrawDC(s->draw);
  for (uint32_t i = 1; i < s->count; ++i) {
    const uint16_t* p = s->ink + 2 * (i - 1);
    const uint16_t* q = s->ink + 2 * i;
    if (IsMarker(p)) continue;  // q begins a stroke
    if (!IsMarker(q)) {
      DrawSegment(s, p[0], p[1], q[0], q[1]);
    } else if (i == 1 || IsMarker(p - 2)) {
      DrawDot(s, p[0], p[1]);  // a stroke of one point
    }
  }
  if (dc) ReleaseDrawDC(s->draw);
}

void SetCaptureboxRect(CaptureboxState* s, const ShortRect& rect) { s->rect = rect; }
void SetInkSmoothing(CaptureboxState* s, uint8_t on) {
  on = on ? 1 : 0;
  // Within a stroke, the points smoothing holds back join the stroke before
  // it goes off, and smoothing that comes on starts from the pen's place.
  if (s->penDown && on != s->smoothing) {
    if (s->smoothing) {
      FlushSmoothing(s);
    } else {
      s->rawCount = 0;
      s->processed = 0;
      s->lastDrawn = s->lastRaw;
    }
  }
  s->smoothing = on;
}
uint16_t GetInkStrokeCount(const CaptureboxState* s) { return static_cast<uint16_t>(s->strokeCount & 0xFFFF); }
bool IsCaptureboxEmbedded(const CaptureboxState* s) { return s->embedded != 0; }

void SendCaptureboxNotify(HWND window, uint16_t stroke, uint8_t begun) {
  ControlNotify record{};
  record.payload.index = stroke;
  SendControlNotify(window, begun ? kCaptureboxStrokeBegun : kCaptureboxStrokeEnded, &record);
}

CaptureboxState* GetCaptureboxState(HWND window) {
  return static_cast<CaptureboxState*>(GetControlState(window, kCaptureboxProperty));
}

void AttachCapturebox(HWND host) {
  if (GetCaptureboxState(host)) return;
  DrawContext* draw = NewDrawContext(host, AppInstance);
  if (!draw) return;
  CaptureboxState* s = NewCaptureboxState(ControlEngine(), ClientRectOf(host), draw, 1, host, &SendCaptureboxNotify);
  if (!s) {
    FreeDrawContext(draw);
    return;
  }
  SetControlState(host, kCaptureboxProperty, s);
}

void DetachCapturebox(HWND host) {
  auto* s = static_cast<CaptureboxState*>(RemoveControlState(host, kCaptureboxProperty));
  FreeCaptureboxState(s);
}

LRESULT EmbeddedCaptureboxMessage(HWND host, UINT msg, WPARAM wParam, LPARAM lParam) {
  CaptureboxState* s = GetCaptureboxState(host);
  if (!s) return 0;
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetCapture(host);
      bool first = s->strokeCount == 0;
      if (first) SetCaptureboxRect(s, ClientRectOf(host));
      CaptureboxPenEvent(s, 0, PenX(lParam), PenY(lParam));
      if (first) FadeWindowForInk(host);
      return InkHidesScrollBar(s) ? kInkHideScrollBar : 1;
    }
    case WM_MOUSEMOVE:
      CaptureboxPenEvent(s, 1, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP:
      CaptureboxPenEvent(s, 2, PenX(lParam), PenY(lParam));
      if (GetCapture() == host) ReleaseCapture();
      return 1;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      SetCaptureboxRect(s, ClientRectOf(host));
      return 0;
    default: {
      bool handled = false;
      LRESULT r = InkMessage(s, msg, wParam, lParam, &handled);
      return handled ? r : 0;
    }
  }
}

void EmbeddedCaptureboxPaint(HWND host, UINT msg) {
  if (msg != WM_PAINT) return;
  CaptureboxState* s = GetCaptureboxState(host);
  if (!s || s->strokeCount == 0) return;
  FadeWindowForInk(host);
  DrawCaptureboxInk(s);
}

void FadeWindowForInk(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(SwapRgbBytes(kFadeColor));
    FillRect(memory, &client, brush);
    DeleteObject(brush);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCPAINT);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  if (memory) DeleteDC(memory);
  ReleaseDC(window, dc);
}

LRESULT CaptureboxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    // The create parameters are not used.
    DrawContext* draw = NewDrawContext(hwnd, AppInstance);
    if (!draw) return -1;
    CaptureboxState* s = NewCaptureboxState(ControlEngine(), ClientRectOf(hwnd), draw, 0, hwnd, &SendCaptureboxNotify);
    if (!s) {
      FreeDrawContext(draw);
      return -1;
    }
    SetControlState(hwnd, kCaptureboxProperty, s);
    return 0;
  }
  CaptureboxState* s = GetCaptureboxState(hwnd);
  // A box window never frees a state it did not make.
  if (!s || s->embedded) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      RemoveControlState(hwnd, kCaptureboxProperty);
      FreeCaptureboxState(s);
      return 1;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      SetCaptureboxRect(s, ClientRectOf(hwnd));
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      DrawCaptureboxInk(s);
      EndPaint(hwnd, &paint);
      return 1;
    }
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      CaptureboxPenEvent(s, 0, PenX(lParam), PenY(lParam));
      return 1;
    case WM_MOUSEMOVE:
      CaptureboxPenEvent(s, 1, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP:
      ReleaseCapture();
      CaptureboxPenEvent(s, 2, PenX(lParam), PenY(lParam));
      return 1;
    default: {
      bool handled = false;
      LRESULT r = InkMessage(s, msg, wParam, lParam, &handled);
      return handled ? r : DefWindowProcW(hwnd, msg, wParam, lParam);
    }
  }
}
