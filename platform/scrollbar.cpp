// Window scroll bars: state, geometry, drawing and stylus tracking.
#include "platform/scrollbar.h"

#include <algorithm>

#include "platform/errors.h"
#include "platform/screen.h"
#include "platform/window_internal.h"

namespace wm {

namespace {

enum Part { kNone = 0, kLineUp = 1, kPageUp = 2, kThumb = 3, kPageDown = 4, kLineDown = 5 };

int PositionRange(const ScrollBarState& s) {
  return s.max - s.min - std::max(static_cast<int>(s.page) - 1, 0);
}

struct BarGeometry {
  RECT rect;     // window coordinates
  int length;    // along the bar
  int arrow;     // size of each arrow button
  int track;     // length between the arrows
  int thumbLen;
  int thumbOff;  // from the end of the first arrow
};

BarGeometry Geometry(const Window* w, int bar, int pos) {
  BarGeometry g{};
  g.rect = ScrollBarRect(w, bar);
  bool vert = bar == SB_VERT;
  g.length = vert ? g.rect.bottom - g.rect.top : g.rect.right - g.rect.left;
  int thickness = vert ? g.rect.right - g.rect.left : g.rect.bottom - g.rect.top;
  g.arrow = std::min(thickness, g.length / 2);
  g.track = std::max(0, g.length - 2 * g.arrow);
  const ScrollBarState& s = w->bars[bar];
  int range = PositionRange(s);
  if (range <= 0 || g.track <= 0) return g;  // no thumb
  int count = s.max - s.min + 1;
  g.thumbLen = s.page ? static_cast<int>(static_cast<long long>(g.track) * s.page / count) : g.arrow;
  g.thumbLen = std::clamp(g.thumbLen, std::min(g.arrow, g.track), g.track);
  g.thumbOff = static_cast<int>(static_cast<long long>(pos - s.min) * (g.track - g.thumbLen) / range);
  return g;
}

void Frame(HDC dc, RECT r) {
  HBRUSH b = GetSysColorBrush(COLOR_WINDOWFRAME);
  RECT t{r.left, r.top, r.right, r.top + 1}, bo{r.left, r.bottom - 1, r.right, r.bottom};
  RECT l{r.left, r.top, r.left + 1, r.bottom}, ri{r.right - 1, r.top, r.right, r.bottom};
  FillRect(dc, &t, b);
  FillRect(dc, &bo, b);
  FillRect(dc, &l, b);
  FillRect(dc, &ri, b);
}

void Arrow(HDC dc, RECT r, int direction, bool enabled) {  // 0 up, 1 down, 2 left, 3 right
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  Frame(dc, r);
  int w = r.right - r.left, h = r.bottom - r.top;
  int cx = r.left + w / 2, cy = r.top + h / 2, a = std::max(2, std::min(w, h) / 4);
  POINT p[3];
  switch (direction) {
    case 0: p[0] = {cx, cy - a / 2 - 1}; p[1] = {cx - a, cy + a / 2}; p[2] = {cx + a, cy + a / 2}; break;
    case 1: p[0] = {cx, cy + a / 2 + 1}; p[1] = {cx - a, cy - a / 2}; p[2] = {cx + a, cy - a / 2}; break;
    case 2: p[0] = {cx - a / 2 - 1, cy}; p[1] = {cx + a / 2, cy - a}; p[2] = {cx + a / 2, cy + a}; break;
    default: p[0] = {cx + a / 2 + 1, cy}; p[1] = {cx - a / 2, cy - a}; p[2] = {cx - a / 2, cy + a}; break;
  }
  int colour = enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
  HBRUSH brush = CreateSolidBrush(GetSysColor(colour));
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colour));
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  Polygon(dc, p, 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

UINT ScrollMessage(int bar) { return bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL; }

constexpr UINT kRepeatDelay = 400;
constexpr UINT kRepeatInterval = 100;
const UINT kPartCodes[] = {0, SB_LINEUP, SB_PAGEUP, 0, SB_PAGEDOWN, SB_LINEDOWN};

// The part of a bar under a point in window coordinates.
int PartAt(const Window* w, int bar, POINT local) {
  const ScrollBarState& s = w->bars[bar];
  BarGeometry g = Geometry(w, bar, s.pos);
  if (!PtIn(g.rect, local)) return kNone;
  int along = bar == SB_VERT ? local.y - g.rect.top : local.x - g.rect.left;
  if (along < g.arrow) return kLineUp;
  if (along >= g.length - g.arrow) return kLineDown;
  if (along < g.arrow + g.thumbOff) return kPageUp;
  if (along < g.arrow + g.thumbOff + g.thumbLen) return kThumb;
  return kPageDown;
}

// A held arrow or page press repeats (a thread timer: the window's own
// WM_TIMER handling never sees it), as long as the stylus stays on the part.
void RepeatProc(HWND, UINT, UINT_PTR id, DWORD) {
  HWND hwnd;
  int bar;
  UINT code = 0;
  {
    Lock lk(S().mutex);
    ScrollTrack& t = S().track;
    Window* w = Find(t.hwnd);
    if (!w || t.repeatTimer != id || t.part == kThumb) {
      lk.unlock();
      KillTimer(nullptr, id);
      return;
    }
    hwnd = t.hwnd;
    bar = t.bar;
    Window* top = TopLevelOf(w);
    POINT o = WindowOriginInSurface(w);
    POINT local{S().penPos.x - top->rect.left - o.x, S().penPos.y - top->rect.top - o.y};
    if (PartAt(w, bar, local) == t.part) code = kPartCodes[t.part];
  }
  SetTimer(nullptr, id, kRepeatInterval, &RepeatProc);
  if (code) SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(code, 0), 0);
}

}  // namespace

RECT ScrollBarRect(const Window* w, int bar) {
  if (bar != SB_VERT && bar != SB_HORZ) return RECT{0, 0, 0, 0};
  if (!w->bars[bar].visible) return RECT{0, 0, 0, 0};
  LONG b = (w->style & (WS_BORDER | WS_DLGFRAME)) ? 1 : 0;
  LONG caption = (w->style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
  LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  LONG cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  if (bar == SB_VERT)
    return RECT{width - b - cx, b + caption, width - b, height - b - (w->bars[SB_HORZ].visible ? cy : 0)};
  return RECT{b, height - b - cy, width - b - (w->bars[SB_VERT].visible ? cx : 0), height - b};
}

void DrawScrollBar(HDC dc, const Window* w, int bar) {
  const ScrollBarState& s = w->bars[bar];
  bool tracking = S().track.hwnd == w->handle && S().track.bar == bar;
  BarGeometry g = Geometry(w, bar, tracking ? s.trackPos : s.pos);
  RECT r = g.rect;
  if (RectEmpty(r)) return;
  bool vert = bar == SB_VERT;
  bool enabled = !s.disabled && PositionRange(s) > 0;
  FillRect(dc, &r, GetSysColorBrush(COLOR_SCROLLBAR));
  Frame(dc, r);
  RECT first = vert ? RECT{r.left, r.top, r.right, r.top + g.arrow} : RECT{r.left, r.top, r.left + g.arrow, r.bottom};
  RECT last = vert ? RECT{r.left, r.bottom - g.arrow, r.right, r.bottom} : RECT{r.right - g.arrow, r.top, r.right, r.bottom};
  Arrow(dc, first, vert ? 0 : 2, enabled);
  Arrow(dc, last, vert ? 1 : 3, enabled);
  if (enabled && g.thumbLen > 0) {
    int start = g.arrow + g.thumbOff;
    RECT thumb = vert ? RECT{r.left, r.top + start, r.right, r.top + start + g.thumbLen}
                      : RECT{r.left + start, r.top, r.left + start + g.thumbLen, r.bottom};
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    Frame(dc, thumb);
  }
}

void ClientAreaChanged(HWND hwnd, int oldWidth, int oldHeight) {
  int cw, ch;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return;
    w->ncDirty = true;
    InvalidateLocked(w, nullptr, true);
    cw = ClientWidth(w);
    ch = ClientHeight(w);
    if (w->queue) WakeQueue(w->queue);
  }
  if (cw != oldWidth || ch != oldHeight) SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
}

void ScrollBarNcMessage(HWND hwnd, UINT msg, WPARAM hit, POINT screen) {
  UINT sendCode = 0xFFFF, sendCode2 = 0xFFFF;
  int sendPos = 0, bar = 0;
  bool repaint = false, startRepeat = false;
  UINT_PTR stopRepeat = 0;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return;
    Window* top = TopLevelOf(w);
    POINT o = WindowOriginInSurface(w);
    POINT local{screen.x - top->rect.left - o.x, screen.y - top->rect.top - o.y};
    ScrollTrack& t = S().track;
    if (msg == WM_NCLBUTTONDOWN) {
      if (hit != HTVSCROLL && hit != HTHSCROLL) return;
      bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
      ScrollBarState& s = w->bars[bar];
      if (s.disabled || PositionRange(s) <= 0) return;
      int part = PartAt(w, bar, local);
      if (part == kNone) return;
      if (t.repeatTimer) stopRepeat = t.repeatTimer;
      t = ScrollTrack{hwnd, bar, part, local, s.pos, false, 0};
      s.trackPos = s.pos;
      if (part != kThumb) {
        sendCode = kPartCodes[part];
        startRepeat = true;
      }
    } else if (t.hwnd == hwnd) {
      bar = t.bar;
      ScrollBarState& s = w->bars[bar];
      if (msg == WM_NCMOUSEMOVE && t.part == kThumb) {
        BarGeometry g = Geometry(w, bar, s.pos);
        int delta = bar == SB_VERT ? local.y - t.start.y : local.x - t.start.x;
        int span = g.track - g.thumbLen;
        int range = PositionRange(s);
        int pos = t.startPos;
        if (span > 0) {
          long long num = static_cast<long long>(delta) * range;
          pos += static_cast<int>((num + (num >= 0 ? span / 2 : -span / 2)) / span);
        }
        pos = std::clamp(pos, s.min, s.min + std::max(range, 0));
        if (pos != s.trackPos) {
          s.trackPos = pos;
          t.moved = true;
          w->ncDirty = true;
          repaint = true;
          sendCode = SB_THUMBTRACK;
          sendPos = pos;
        }
      } else if (msg == WM_NCLBUTTONUP) {
        if (t.part == kThumb && t.moved) {
          sendCode = SB_THUMBPOSITION;
          sendPos = s.trackPos;
        }
        sendCode2 = SB_ENDSCROLL;
        stopRepeat = t.repeatTimer;
        t = ScrollTrack{};
        w->ncDirty = true;
        repaint = true;
      }
    }
  }
  if (stopRepeat) KillTimer(nullptr, stopRepeat);
  if (startRepeat) {
    UINT_PTR id = SetTimer(nullptr, 0, kRepeatDelay, &RepeatProc);
    Lock lk(S().mutex);
    if (S().track.hwnd == hwnd) S().track.repeatTimer = id;
  }
  if (repaint) PaintNonClient(hwnd);
  if (sendCode != 0xFFFF) SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(sendCode, sendPos), 0);
  if (sendCode2 != 0xFFFF) SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(sendCode2, 0), 0);
}

}  // namespace wm

using namespace wm;

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
  if (!info || (bar != SB_VERT && bar != SB_HORZ)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int pos, oldW, oldH;
  bool changed;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return 0;
    ScrollBarState& s = w->bars[bar];
    if (info->fMask & SIF_RANGE) {
      s.min = info->nMin;
      s.max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) s.page = info->nPage;
    if (s.page > static_cast<UINT>(s.max - s.min + 1)) s.page = static_cast<UINT>(s.max - s.min + 1);
    if (info->fMask & SIF_POS) s.pos = info->nPos;
    s.pos = std::clamp(s.pos, s.min, s.min + std::max(PositionRange(s), 0));
    bool scrollable = s.max > s.min && PositionRange(s) > 0;
    bool visible = scrollable || ((info->fMask & SIF_DISABLENOSCROLL) && s.max > s.min);
    s.disabled = !scrollable;
    oldW = ClientWidth(w);
    oldH = ClientHeight(w);
    changed = visible != s.visible;
    s.visible = visible;
    DWORD styleBit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    w->style = visible ? (w->style | styleBit) : (w->style & ~styleBit);
    pos = s.pos;
    if (!changed && redraw && visible) {
      w->ncDirty = true;
      if (w->queue) WakeQueue(w->queue);
    }
  }
  if (changed) ClientAreaChanged(hwnd, oldW, oldH);
  return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
  if (!info || (bar != SB_VERT && bar != SB_HORZ)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  const ScrollBarState& s = w->bars[bar];
  if (info->fMask & SIF_RANGE) info->nMin = s.min, info->nMax = s.max;
  if (info->fMask & SIF_PAGE) info->nPage = s.page;
  if (info->fMask & SIF_POS) info->nPos = s.pos;
  if (info->fMask & SIF_TRACKPOS) {
    bool tracking = S().track.hwnd == hwnd && S().track.bar == bar;
    info->nTrackPos = tracking ? s.trackPos : s.pos;
  }
  return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  SCROLLINFO old{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(hwnd, bar, &old)) return 0;
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, pos, 0};
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE, minPos, maxPos, 0, 0, 0};
  if (!IsWindow(hwnd)) return FALSE;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  int oldW, oldH;
  bool changed = false;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return FALSE;
    oldW = ClientWidth(w);
    oldH = ClientHeight(w);
    for (int b : {SB_HORZ, SB_VERT}) {
      if (bar != b && bar != SB_BOTH) continue;
      if (w->bars[b].visible != (show != 0)) changed = true;
      w->bars[b].visible = show != 0;
      DWORD styleBit = b == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
      w->style = show ? (w->style | styleBit) : (w->style & ~styleBit);
    }
  }
  if (changed) ClientAreaChanged(hwnd, oldW, oldH);
  return TRUE;
}
