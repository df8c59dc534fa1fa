#include "toolkit/control_strokebox.h"

#include <algorithm>
#include <cstring>

#include "engine/preferences.h"
#include "platform/clock.h"
#include "platform/heap.h"
#include "toolkit/app_context.h"
#include "toolkit/control_frame.h"

namespace {

template <typename T>
T* Allocate(uint32_t count) {
  // At least one entry, so that a capacity of 0 still gives a valid block.
  return static_cast<T*>(LocalAlloc(LPTR, sizeof(T) * std::max<uint32_t>(count, 1)));
}

void FreeArrays(StrokeboxState* s) {
  LocalFree(s->outline);
  LocalFree(s->midline);
  LocalFree(s->strokeStarts);
  LocalFree(s->midlineStarts);
  LocalFree(s->choices);
  LocalFree(s->choiceValues);
  LocalFree(s->marks);
}

uint16_t StrokeEnd(const StrokeboxState* s, uint16_t stroke) {
  return stroke + 1 < s->strokeCount ? s->strokeStarts[stroke + 1] : s->outlineCount;
}
uint16_t MidlineEnd(const StrokeboxState* s, uint16_t stroke) {
  return stroke + 1 < s->strokeCount ? s->midlineStarts[stroke + 1] : s->midlineCount;
}

int Scaled(const StrokeboxState* s, int v) { return s->doubleCoordinates ? 2 * v : v; }

void Repaint(StrokeboxState* s) {
  if (s->context && IsWindow(s->context)) {
    InvalidateRect(s->context, nullptr, FALSE);
    UpdateWindow(s->context);
  } else {
    PaintStrokebox(s);
  }
}

// The stroke's outline as polygon vertices (each segment's start).
void FillOutline(StrokeboxState* s, uint16_t stroke, ColorWord colour) {
  uint16_t first = s->strokeStarts[stroke], end = StrokeEnd(s, stroke);
  if (end <= first || !s->draw) return;
  POINT* points = Allocate<POINT>(end - first);
  if (!points) return;
  for (uint16_t k = first; k < end; ++k) points[k - first] = POINT{s->outline[k].x1, s->outline[k].y1};
  FillPolygon(s->draw, colour, points, end - first);
  LocalFree(points);
}

ColorWord Lighter(ColorWord colour, uint16_t stroke, uint16_t count) {
  if (!count) return colour;
  ColorWord out = colour & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t c = (colour >> shift) & 0xFF;
    c += (255 - c) * stroke / count;
    out |= c << shift;
  }
  return out;
}

bool Chosen(const StrokeboxState* s, uint16_t stroke) {
  for (uint16_t i = 0; i < s->shown && i < s->strokeCapacity; ++i)
    if (s->choices[i] == stroke) return true;
  return false;
}

// Squared distance in the 16-bit arithmetic the direction flag uses.
uint16_t Distance16(int ax, int ay, int bx, int by) {
  auto dx = static_cast<uint16_t>(ax - bx), dy = static_cast<uint16_t>(ay - by);
  return static_cast<uint16_t>(dx * dx + dy * dy);
}

// The midline of every stroke: from the middle of the outline's two ends,
// through the middles of the points paired across the outline.
void BuildMidlines(StrokeboxState* s) {
  s->midlineCount = 0;
  for (uint16_t stroke = 0; stroke < s->strokeCount; ++stroke) {
    s->midlineStarts[stroke] = s->midlineCount;
    uint16_t first = s->strokeStarts[stroke], length = StrokeEnd(s, stroke) - first;
    if (length == 0) continue;
    const StrokeSegment* seg = s->outline + first;
    // Point P(k) is the start of segment k; P(L) the end of the last.
    auto px = [&](int k) { return k < length ? seg[k].x1 : seg[length - 1].x2; };
    auto py = [&](int k) { return k < length ? seg[k].y1 : seg[length - 1].y2; };
    uint16_t mx = static_cast<uint16_t>((px(0) + px(length)) / 2), my = static_cast<uint16_t>((py(0) + py(length)) / 2);
    for (int k = 0; k < length / 2 && s->midlineCount < s->midlineCapacity; ++k) {
      uint16_t nx = static_cast<uint16_t>((px(k + 1) + px(length - k - 1)) / 2);
      uint16_t ny = static_cast<uint16_t>((py(k + 1) + py(length - k - 1)) / 2);
      s->midline[s->midlineCount++] = StrokeSegment{mx, nx, my, ny};
      mx = nx;
      my = ny;
    }
  }
}

// Draws one stroke highlighted, restored or chosen while choosing.
void DrawChoosing(StrokeboxState* s, uint16_t stroke, ColorWord colour) {
  DrawStrokes(s, stroke, stroke + 1, 0, colour);
}

}  // namespace

StrokeboxState* NewStrokeboxState(DictEngine* engine, const StrokeboxCreateParams* params) {
  StrokeboxCreateParams p{};
  if (params) p = *params;
  auto* s = static_cast<StrokeboxState*>(LocalAlloc(LPTR, sizeof(StrokeboxState)));
  if (!s) return nullptr;
  s->context = p.window;
  s->engine = engine;
  s->doubleCoordinates = p.doubleCoordinates;
  s->box = p.boxRect;
  s->fontSlot = p.fontSlot;
  s->fontSize = p.fontSize;
  s->notify = p.notify;
  s->outlineCapacity = p.pointCapacity;
  s->midlineCapacity = static_cast<uint16_t>(p.pointCapacity / 2);
  s->strokeCapacity = p.strokeCapacity;
  s->outline = Allocate<StrokeSegment>(s->outlineCapacity);
  s->midline = Allocate<StrokeSegment>(s->midlineCapacity);
  s->strokeStarts = Allocate<uint16_t>(s->strokeCapacity);
  s->midlineStarts = Allocate<uint16_t>(s->strokeCapacity);
  s->choices = Allocate<uint16_t>(s->strokeCapacity);
  s->choiceValues = Allocate<uint16_t>(s->strokeCapacity);
  s->marks = Allocate<uint16_t>(s->strokeCapacity);
  if (!s->outline || !s->midline || !s->strokeStarts || !s->midlineStarts || !s->choices || !s->choiceValues ||
      !s->marks) {
    FreeArrays(s);
    LocalFree(s);
    return nullptr;
  }
  s->draw = p.drawContext;
  s->highlighted = kNoStroke;
  return s;
}

void FreeStrokeboxState(StrokeboxState* s) {
  if (!s) return;
  FreeArrays(s);
  FreeDrawContext(s->draw);
  LocalFree(s);
}

void LoadStrokes(StrokeboxState* s, const uint16_t* data, uint16_t count, uint32_t flags) {
  SetStrokeChoosing(s, 0);
  if (!data || count == 0) return;
  s->outlineCount = 0;
  s->strokeCount = 0;
  if (s->strokeCapacity) s->strokeStarts[s->strokeCount++] = 0;
  bool firstOfStroke = true;
  uint16_t prevX = 0, prevY = 0;
  for (uint32_t i = 0; i + 1 < count; i += 2) {
    uint16_t x = data[i], y = data[i + 1];
    if (x == kStrokeDataEnd && y == kStrokeDataEnd) {
      // The last stroke end opened a stroke that holds nothing.
      if (s->strokeCount) --s->strokeCount;
      break;
    }
    if (x == kStrokeDataEnd) {
      // A stroke end that cannot open a stroke ends the reading: what follows
      // would otherwise be glued onto the last outline.
      if (s->strokeCount >= s->strokeCapacity) break;
      s->strokeStarts[s->strokeCount++] = s->outlineCount;
      firstOfStroke = true;
      continue;
    }
    auto nx = static_cast<uint16_t>(Scaled(s, x) + s->box.x), ny = static_cast<uint16_t>(Scaled(s, y) + s->box.y);
    if (!firstOfStroke && s->outlineCount < s->outlineCapacity && s->strokeCount)
      s->outline[s->outlineCount++] = StrokeSegment{prevX, nx, prevY, ny};
    prevX = nx;
    prevY = ny;
    firstOfStroke = false;
  }
  std::memset(s->marks, 0, sizeof(uint16_t) * s->strokeCapacity);
  BuildMidlines(s);
  if (flags & kStrokeLoadShowAll) {
    s->shown = s->strokeCount;
    s->ordered = 0;
  } else {
    s->shown = 0;
    s->ordered = (flags & kStrokeLoadOrdered) ? 1 : 0;
  }
  if (!(flags & kStrokeLoadNoRepaint)) Repaint(s);
}

void DrawStrokeOutlines(StrokeboxState* s, uint16_t stroke) {
  if (stroke >= s->strokeCount || !s->draw) return;
  for (uint16_t k = s->strokeStarts[stroke]; k < StrokeEnd(s, stroke); ++k) {
    const StrokeSegment& g = s->outline[k];
    DrawLineColored(s->draw, g.x1, g.y1, g.x2, g.y2, 0);
  }
}

void AnimateStrokeFill(StrokeboxState* s, uint16_t stroke, uint16_t duration, ColorWord colour) {
  if (stroke >= s->strokeCount || !s->draw) return;
  uint16_t first = s->strokeStarts[stroke];
  int length = StrokeEnd(s, stroke) - first;
  int bands = length / 2;
  if (bands == 0 || duration == 0) {
    // No band to grow: the stroke appears at once.
    FillOutline(s, stroke, colour);
    return;
  }
  const StrokeSegment* seg = s->outline + first;
  DWORD perBand = duration / static_cast<DWORD>(bands);
  // More bands than milliseconds: a 1 ms sleep every so many bands.
  int bandsPerMs = perBand ? 0 : bands / duration;
  for (int k = 0; k < bands; ++k) {
    DWORD start = GetTickCount();
    const StrokeSegment& a = seg[k];
    const StrokeSegment& b = seg[length - 1 - k];
    POINT quad[4] = {{a.x1, a.y1}, {a.x2, a.y2}, {b.x1, b.y1}, {b.x2, b.y2}};
    FillPolygon(s->draw, colour, quad, 4);
    if (perBand) {
      DWORD spent = GetTickCount() - start;
      if (spent < perBand) Sleep(perBand - spent);
    } else if ((k + 1) % bandsPerMs == 0) {
      Sleep(1);
    }
  }
}

void DrawStrokes(StrokeboxState* s, uint16_t first, uint16_t end, uint16_t duration, ColorWord colour) {
  end = std::min(end, s->strokeCount);
  for (uint16_t i = first; i < end; ++i) {
    ColorWord c = colour;
    bool outline = false;
    if (!s->choosing) {
      uint16_t mark = s->marks[i];
      c = mark == kStrokeRight ? kStrokeGreen : mark == kStrokeWrong ? kStrokeRed : 0;
      outline = mark == kStrokeRight || mark == kStrokeWrong;
    } else {
      outline = colour != 0;
    }
    if (s->options.gradient) c = Lighter(c, i, s->strokeCount);
    if (s->options.outlineRest) outline = true;
    if (duration) AnimateStrokeFill(s, i, duration, c);
    else
      FillOutline(s, i, c);
    if (outline) DrawStrokeOutlines(s, i);
    if (duration > 2) Sleep(duration / 3);
  }
}

void PaintStrokebox(StrokeboxState* s) {
  if (!s->draw) return;
  FillShortRect(s->draw, s->box, 0xFFFFFF);
  if (!s->choosing) {
    DrawStrokes(s, 0, s->shown, 0, 0);
    if (s->options.outlineRest)
      for (uint16_t i = s->shown; i < s->strokeCount; ++i) DrawStrokeOutlines(s, i);
    return;
  }
  for (uint16_t i = 0; i < s->strokeCount; ++i) {
    if (Chosen(s, i)) DrawStrokes(s, i, i + 1, 0, 0);
    else
      DrawStrokeOutlines(s, i);
  }
}

int AdvanceStrokes(StrokeboxState* s, uint16_t count, int showAll) {
  if (showAll) {
    SetStrokeChoosing(s, 0);
    s->shown = s->strokeCount;
    Repaint(s);
    return 1;
  }
  if (s->strokeCount == 0) return 1;
  uint16_t target =
      count == 0 ? s->strokeCount : static_cast<uint16_t>(std::min<uint32_t>(s->shown + count, s->strokeCount));
  if (s->shown >= target) {
    SetStrokeChoosing(s, 0);
    return 0;
  }
  if (s->ordered) {
    // The choice list may hold entries of a character with more strokes
    // (loading keeps it): those name no stroke here and draw nothing.
    for (uint16_t j = s->shown; j < target; ++j) {
      uint16_t stroke = s->choices[j];
      if (stroke < s->strokeCount) DrawStrokes(s, stroke, stroke + 1, s->options.duration, 0);
    }
  } else {
    DrawStrokes(s, s->shown, target, s->options.duration, 0);
  }
  s->shown = target;
  if (s->shown < s->strokeCount) return 0;
  SetStrokeChoosing(s, 0);
  return 1;
}

void StepBackStroke(StrokeboxState* s) {
  if (s->shown == 0) return;
  --s->shown;
  Repaint(s);
}

void SetStrokeChoosing(StrokeboxState* s, int on) {
  s->choosing = on ? 1 : 0;
  s->penDown = 0;
  s->highlighted = kNoStroke;
}

int StrokeboxPenEvent(StrokeboxState* s, int event, int x, int y) {
  x = Scaled(s, x);
  y = Scaled(s, y);
  auto px = static_cast<uint16_t>(x), py = static_cast<uint16_t>(y);
  switch (event) {
    case 0: {
      s->penDown = 0;
      if (!s->choosing || s->shown >= s->strokeCount) return 0;
      uint16_t stroke = HitTestStroke(s, x, y, x, y, nullptr, 1);
      if (stroke == kNoStroke) return 1;
      DrawChoosing(s, stroke, kStrokeHighlight);
      s->highlighted = stroke;
      s->penDown = 1;
      s->lastX = px;
      s->lastY = py;
      return 1;
    }
    case 1: {
      if (!s->penDown) return 0;
      if (px == s->lastX && py == s->lastY) return 1;
      uint16_t stroke = HitTestStroke(s, x, y, x, y, nullptr, 1);
      if (stroke != kNoStroke && stroke != s->highlighted) {
        if (s->highlighted != kNoStroke) DrawChoosing(s, s->highlighted, kStrokeRestore);
        DrawChoosing(s, stroke, kStrokeHighlight);
        s->highlighted = stroke;
      }
      s->lastX = px;
      s->lastY = py;
      return 1;
    }
    case 2: {
      if (!s->penDown) return 0;
      int chosen = 0;
      if (s->highlighted != kNoStroke && s->shown < s->strokeCapacity) {
        DrawChoosing(s, s->highlighted, 0);
        s->choices[s->shown] = s->highlighted;
        s->choiceValues[s->shown] = 1;
        ++s->shown;
        if (s->shown >= s->strokeCount) s->choosing = 0;
        if (s->notify) s->notify(s->context, s->shown, s->strokeCount, s->choosing);
        chosen = 1;
      }
      s->penDown = 0;
      s->highlighted = kNoStroke;
      return chosen;
    }
    default:
      return 0;
  }
}

uint16_t HitTestStroke(const StrokeboxState* s, int ax, int ay, int bx, int by, uint8_t* direction,
                       int leaveOutChosen) {
  constexpr int kMaxCollected = 10;
  uint16_t collected[kMaxCollected];
  int n = 0;
  for (uint16_t i = 0; i < s->strokeCount && n < kMaxCollected; ++i) {
    if (leaveOutChosen && Chosen(s, i)) continue;
    uint16_t first = s->strokeStarts[i];
    if (PointInStrokeOutline(s->outline + first, static_cast<uint16_t>(StrokeEnd(s, i) - first), ax, ay))
      collected[n++] = i;
  }
  uint16_t found = kNoStroke;
  if (n > 0) {
    found = collected[0];
    for (int k = 0; k < n; ++k) {
      uint16_t first = s->strokeStarts[collected[k]];
      if (PointInStrokeOutline(s->outline + first, static_cast<uint16_t>(StrokeEnd(s, collected[k]) - first), bx, by)) {
        found = collected[k];
        break;
      }
    }
  } else {
    float best = kStrokeNearLimit;
    for (uint16_t i = 0; i < s->strokeCount; ++i) {
      if (leaveOutChosen && Chosen(s, i)) continue;
      uint16_t first = s->midlineStarts[i];
      float d =
          MinSquaredDistanceToSegments(s->midline + first, static_cast<uint16_t>(MidlineEnd(s, i) - first), ax, ay);
      if (d < best) {
        best = d;
        found = i;
      }
    }
  }
  if (direction && found != kNoStroke && s->strokeStarts[found] < StrokeEnd(s, found)) {
    const StrokeSegment& start = s->outline[s->strokeStarts[found]];
    *direction = Distance16(ax, ay, start.x1, start.y1) <= Distance16(bx, by, start.x1, start.y1) ? 1 : 0;
  }
  return found;
}

int PointInStrokeOutline(const StrokeSegment* segments, uint16_t count, int px, int py) {
  int crossings = 0;
  for (uint16_t i = 0; i < count; ++i) {
    int x1 = segments[i].x1, x2 = segments[i].x2, y1 = segments[i].y1, y2 = segments[i].y2;
    bool spans = (y1 < py && py < y2) || (y1 > py && py > y2) || (y1 == py && y2 != py);
    if (!spans || (px <= x1 && px <= x2)) continue;
    int xa = x1, ya = y1, xb = x2, yb = y2;
    if (ya > yb) {
      std::swap(xa, xb);
      std::swap(ya, yb);
    }
    int x = xa + (py - ya) * (xb - xa) / (yb - ya);
    if (x < px) ++crossings;
  }
  return crossings & 1;
}

float MinSquaredDistanceToSegments(const StrokeSegment* segments, uint16_t count, int px, int py) {
  float best = kStrokeNearLimit;
  for (uint16_t i = 0; i < count; ++i) {
    float x1 = segments[i].x1, y1 = segments[i].y1;
    float dx = static_cast<float>(segments[i].x2) - x1, dy = static_cast<float>(segments[i].y2) - y1;
    float len2 = dx * dx + dy * dy;
    if (len2 == 0) continue;
    float t = ((static_cast<float>(px) - x1) * dx + (static_cast<float>(py) - y1) * dy) / len2;
    float nx = x1, ny = y1;
    if (t > 1) {
      nx = x1 + dx;
      ny = y1 + dy;
    } else if (t >= 0) {
      nx = x1 + t * dx;
      ny = y1 + t * dy;
    }
    float ex = static_cast<float>(px) - nx, ey = static_cast<float>(py) - ny;
    best = std::min(best, ex * ex + ey * ey);
  }
  return best;
}

void MoveStrokebox(StrokeboxState* s, const ShortRect& rect) {
  if (s->outlineCount && (rect.x != s->box.x || rect.y != s->box.y)) {
    auto dx = static_cast<uint16_t>(Scaled(s, rect.x - s->box.x)),
         dy = static_cast<uint16_t>(Scaled(s, rect.y - s->box.y));
    auto shift = [&](StrokeSegment* g, uint16_t n) {
      for (uint16_t i = 0; i < n; ++i) {
        g[i].x1 = static_cast<uint16_t>(g[i].x1 + dx);
        g[i].x2 = static_cast<uint16_t>(g[i].x2 + dx);
        g[i].y1 = static_cast<uint16_t>(g[i].y1 + dy);
        g[i].y2 = static_cast<uint16_t>(g[i].y2 + dy);
      }
    };
    shift(s->outline, s->outlineCount);
    shift(s->midline, s->midlineCount);
  }
  s->box = rect;
}

uint16_t GetStrokeAnimationDelay(DictEngine* engine) {
  switch (GetPref(engine, kPrefStrokeSpeed)) {
    case 1:
      return 600;
    case 3:
      return 200;
    default:
      return 400;
  }
}

void SendStrokeboxNotify(HWND context, uint16_t shown, uint16_t total, uint8_t choosing) {
  ControlNotify record{};
  record.payload.strokebox.shown = shown;
  record.payload.strokebox.total = total;
  record.payload.strokebox.choosing = choosing;
  SendControlNotify(context, kStrokeboxChosenCode, &record);
}

StrokeboxState* GetStrokeboxState(HWND hwnd) {
  return static_cast<StrokeboxState*>(GetControlState(hwnd, kStrokeboxProperty));
}

namespace {

ShortRect ClientShortRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return RectToShortRect(r);
}

// Builds the state from a create record, filling what the class owns.
bool MakeStrokebox(HWND hwnd, const StrokeboxCreateParams* given) {
  StrokeboxCreateParams record{};
  if (given) record = *given;
  record.window = hwnd;
  record.boxRect = ClientShortRect(hwnd);
  record.notify = &SendStrokeboxNotify;
  record.drawContext = NewDrawContext(hwnd, AppInstance);
  if (!record.drawContext) return false;
  StrokeboxState* s = NewStrokeboxState(ControlEngine(), &record);
  if (!s) {
    FreeDrawContext(record.drawContext);
    return false;
  }
  SetControlState(hwnd, kStrokeboxProperty, s);
  return true;
}

void DropStrokebox(HWND hwnd) {
  FreeStrokeboxState(static_cast<StrokeboxState*>(RemoveControlState(hwnd, kStrokeboxProperty)));
}

// Copies the first min(room, shown) entries of a per-choice array.
LRESULT CopyChoices(const StrokeboxState* s, const uint16_t* from, WPARAM room, LPARAM buffer) {
  auto* out = reinterpret_cast<uint16_t*>(buffer);
  if (!out) return 0;
  uint16_t n = std::min<uint16_t>(static_cast<uint16_t>(room & 0xFFFF), s->shown);
  std::memcpy(out, from, sizeof(uint16_t) * n);
  return n;
}

}  // namespace

LRESULT StrokeboxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* given = create ? static_cast<const StrokeboxCreateParams*>(create->lpCreateParams) : nullptr;
    return MakeStrokebox(hwnd, given) ? 0 : -1;
  }
  StrokeboxState* s = GetStrokeboxState(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      DropStrokebox(hwnd);
      return 1;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      MoveStrokebox(s, ClientShortRect(hwnd));
      if (msg == WM_WINDOWPOSCHANGED) return DefWindowProcW(hwnd, msg, wParam, lParam);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(hwnd, &paint);
      PaintStrokebox(s);
      EndPaint(hwnd, &paint);
      return 1;
    }
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      StrokeboxPenEvent(s, 0, PenX(lParam), PenY(lParam));
      return 1;
    case WM_MOUSEMOVE:
      StrokeboxPenEvent(s, 1, PenX(lParam), PenY(lParam));
      return 1;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      StrokeboxPenEvent(s, 2, PenX(lParam), PenY(lParam));
      return 1;
    case kStrokeboxSetOptions:
      if (lParam) s->options = *reinterpret_cast<const StrokeboxOptions*>(lParam);
      Repaint(s);
      return 1;
    case kStrokeboxLoad:
      LoadStrokes(s, reinterpret_cast<const uint16_t*>(lParam), static_cast<uint16_t>(wParam & 0xFFFF),
                  static_cast<uint32_t>(wParam));
      return 1;
    case kStrokeboxAdvance:
      return AdvanceStrokes(s, static_cast<uint16_t>(lParam & 0xFFFF), static_cast<int>(wParam & 1));
    case kStrokeboxStepBack:
      StepBackStroke(s);
      return 1;
    case kStrokeboxGetCounts:
      return static_cast<LRESULT>(uint32_t{s->shown} * 65536u + s->strokeCount);
    case kStrokeboxSetChoosing:
      SetStrokeChoosing(s, static_cast<int>(wParam & 0xFF));
      return 1;
    case kStrokeboxGetChoices:
      return CopyChoices(s, s->choices, wParam, lParam);
    case kStrokeboxGetChoiceValues:
      return CopyChoices(s, s->choiceValues, wParam, lParam);
    case kStrokeboxSetMarks: {
      const auto* marks = reinterpret_cast<const uint16_t*>(lParam);
      if (marks) {
        uint16_t n = std::min<uint16_t>(static_cast<uint16_t>(wParam & 0xFFFF), s->strokeCapacity);
        std::memcpy(s->marks, marks, sizeof(uint16_t) * n);
      }
      Repaint(s);
      return 1;
    }
    case kStrokeboxRecreate: {
      const auto* record = reinterpret_cast<const StrokeboxCreateParams*>(lParam);
      if (!record) return 1;
      DropStrokebox(hwnd);
      MakeStrokebox(hwnd, record);
      return 1;
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
