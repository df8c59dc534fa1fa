// Invalidation, WM_PAINT / WM_ERASEBKGND, device contexts over window
// surfaces, and the non-client frame (border, caption, scroll bars).
#include "platform/paint.h"

#include <atomic>

#include "platform/dialog_text.h"
#include "platform/errors.h"
#include "platform/screen.h"
#include "platform/window_internal.h"

namespace wm {

namespace {
std::atomic<bool> gScreenDirty{true};

bool MatchesFilter(Window* w, HWND filter) {
  return !filter || w->handle == filter || IsDescendantLocked(filter, w->handle);
}

// Parents first; siblings bottom first so the top one paints last.
Window* FindPaintIn(Window* w, DWORD threadId, HWND filter) {
  if (!(w->style & WS_VISIBLE) || w->destroying) return nullptr;
  if (w->threadId == threadId && (w->needsPaint || w->ncDirty) && MatchesFilter(w, filter)) return w;
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    Window* c = Find(*it);
    if (!c) continue;
    if (Window* found = FindPaintIn(c, threadId, filter)) return found;
  }
  return nullptr;
}

void FillStrip(HDC dc, LONG l, LONG t, LONG r, LONG b, HBRUSH brush) {
  RECT rc{l, t, r, b};
  if (!RectEmpty(rc)) FillRect(dc, &rc, brush);
}

}  // namespace

void MarkScreenDirty() { gScreenDirty.store(true); }
bool TakeScreenDirty() { return gScreenDirty.exchange(false); }

void InvalidateLocked(Window* w, const RECT* rect, bool erase) {
  RECT client{0, 0, ClientWidth(w), ClientHeight(w)};
  RECT r = rect ? Intersect(*rect, client) : client;
  if (RectEmpty(r)) return;
  w->update = w->needsPaint ? Union(w->update, r) : r;
  w->needsPaint = true;
  w->erase = w->erase || erase;
  if (w->queue) WakeQueue(w->queue);
  // The parent's painting covers its children there: they repaint after it.
  for (HWND k : w->children) {
    Window* c = Find(k);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    RECT over = Intersect(r, c->rect);
    if (RectEmpty(over)) continue;
    c->ncDirty = true;
    RECT in = NonClientInsets(c);
    RECT local{over.left - c->rect.left - in.left, over.top - c->rect.top - in.top, over.right - c->rect.left - in.left,
               over.bottom - c->rect.top - in.top};
    InvalidateLocked(c, &local, true);
    if (c->queue) WakeQueue(c->queue);
  }
}

void InvalidateCoveredLocked(Window* w) {
  if (w->parent) {
    if (Window* p = Find(w->parent)) InvalidateLocked(p, &w->rect, true);
  }
  MarkScreenDirty();
}

HWND FindPaintWindowLocked(DWORD threadId, HWND filter) {
  for (auto it = S().topLevels.rbegin(); it != S().topLevels.rend(); ++it) {
    Window* t = Find(*it);
    if (!t) continue;
    if (Window* w = FindPaintIn(t, threadId, filter)) return w->handle;
  }
  return nullptr;
}

namespace {

HDC MakeClientDCLocked(Window* w, const RECT* clipClient) {
  Window* top = TopLevelOf(w);
  if (!top || !top->surface) return nullptr;
  POINT origin = ClientOriginInSurface(w);
  RECT clip = VisibleClientInSurface(w);
  if (clipClient) {
    RECT c{clipClient->left + origin.x, clipClient->top + origin.y, clipClient->right + origin.x,
           clipClient->bottom + origin.y};
    clip = Intersect(clip, c);
  }
  return CreateSurfaceDC(top->surface, origin, clip);
}

HDC MakeWindowDCLocked(Window* w) {
  Window* top = TopLevelOf(w);
  if (!top || !top->surface) return nullptr;
  POINT origin = WindowOriginInSurface(w);
  RECT clip{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left), origin.y + (w->rect.bottom - w->rect.top)};
  if (w->parent)
    if (Window* p = Find(w->parent)) clip = Intersect(clip, VisibleClientInSurface(p));
  return CreateSurfaceDC(top->surface, origin, clip);
}

}  // namespace

HDC MakeClientDC(HWND hwnd, const RECT* clipClient) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w ? MakeClientDCLocked(w, clipClient) : nullptr;
}

HDC MakeWindowDC(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  return w ? MakeWindowDCLocked(w) : nullptr;
}

void PaintNonClient(HWND hwnd) {
  Lock lk(S().mutex);
  Window* w = Find(hwnd);
  if (!w || !w->ncDirty) return;
  w->ncDirty = false;
  RECT in = NonClientInsets(w);
  if (in.left == 0 && in.top == 0 && in.right == 0 && in.bottom == 0) return;
  HDC dc = MakeWindowDCLocked(w);
  if (!dc) return;
  LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  if (w->style & (WS_BORDER | WS_DLGFRAME)) {
    HBRUSH frame = GetSysColorBrush(COLOR_WINDOWFRAME);
    FillStrip(dc, 0, 0, width, 1, frame);
    FillStrip(dc, 0, height - 1, width, height, frame);
    FillStrip(dc, 0, 0, 1, height, frame);
    FillStrip(dc, width - 1, 0, width, height, frame);
  }
  if ((w->style & WS_CAPTION) == WS_CAPTION) {
    HBRUSH caption = GetSysColorBrush(S().active == hwnd ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    FillStrip(dc, 1, 1, width - 1, in.top, caption);
    // The title, as the shell writes it on a caption: left, in the caption
    // text colour, cut with an ellipsis when the bar is too short for it.
    if (!w->text.empty()) {
      const int pad = ScaleToScreenDpi(4);
      RECT title{1 + pad, 1, width - 1 - pad, in.top};
      const COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
      const int oldMode = SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, w->text.c_str(), static_cast<int>(w->text.size()), &title,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      SetBkMode(dc, oldMode);
      SetTextColor(dc, oldColor);
    }
  }
  for (int bar : {SB_VERT, SB_HORZ})
    if (w->bars[bar].visible) DrawScrollBar(dc, w, bar);
  if (w->bars[SB_VERT].visible && w->bars[SB_HORZ].visible) {
    RECT v = ScrollBarRect(w, SB_VERT), h = ScrollBarRect(w, SB_HORZ);
    FillStrip(dc, v.left, h.top, v.right, h.bottom, GetSysColorBrush(COLOR_BTNFACE));
  }
  ReleaseSurfaceDC(dc);
  MarkScreenDirty();
}

}  // namespace wm

using namespace wm;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  Lock lk(S().mutex);
  if (!hwnd) {
    // The whole screen: every window.
    for (size_t i = 0; i < S().slots.size(); ++i)
      if (Window* w = S().slots[i]; w && !w->remote) InvalidateLocked(w, nullptr, erase != 0), w->ncDirty = true;
    MarkScreenDirty();
    return TRUE;
  }
  Window* w = FindOrFail(hwnd);
  if (!w || w->remote) return FALSE;
  InvalidateLocked(w, rect, erase != 0);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    w->needsPaint = false;
    w->erase = false;
    return TRUE;
  }
  // The update area is a box: validating a part that covers it ends it.
  if (w->needsPaint && rect->left <= w->update.left && rect->top <= w->update.top && rect->right >= w->update.right &&
      rect->bottom >= w->update.bottom) {
    w->needsPaint = false;
    w->erase = false;
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  Lock lk(S().mutex);
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->needsPaint ? w->update : RECT{0, 0, 0, 0};
  return w->needsPaint ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  std::vector<HWND> order;
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return FALSE;
    std::vector<Window*> stack{w};
    while (!stack.empty()) {
      Window* x = stack.back();
      stack.pop_back();
      if (!(x->style & WS_VISIBLE) || x->threadId != w->threadId) continue;
      order.push_back(x->handle);
      for (HWND k : x->children)  // pushed top first: bottom children come out first
        if (Window* c = Find(k)) stack.push_back(c);
    }
  }
  for (HWND h : order) {
    bool paint, nc;
    {
      Lock lk(S().mutex);
      Window* x = Find(h);
      if (!x) continue;
      paint = x->needsPaint;
      nc = x->ncDirty;
    }
    if (paint) {
      SendMessageW(h, WM_PAINT, 0, 0);
      Lock lk(S().mutex);
      if (Window* x = Find(h)) x->needsPaint = false, x->erase = false;
    } else if (nc) {
      PaintNonClient(h);
    }
  }
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (!paint) return nullptr;
  *paint = PAINTSTRUCT{};
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  CaretHideForPaint(hwnd);
  PaintNonClient(hwnd);
  bool erase;
  HDC dc;
  RECT update;
  {
    Lock lk(S().mutex);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    update = w->needsPaint ? w->update : RECT{0, 0, 0, 0};
    erase = w->erase && w->needsPaint;
    w->needsPaint = false;
    w->erase = false;
    dc = MakeClientDCLocked(w, &update);
  }
  paint->hdc = dc;
  paint->rcPaint = update;
  if (erase && dc) paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (paint && paint->hdc) ReleaseSurfaceDC(paint->hdc);
  CaretRestoreAfterPaint(hwnd);
  MarkScreenDirty();
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) return CreateCompatibleDC(nullptr);  // for device capabilities
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  CaretHideForPaint(hwnd);
  return MakeClientDC(hwnd, nullptr);
}

int ReleaseDC(HWND hwnd, HDC dc) {
  if (!dc) return 0;
  if (!ReleaseSurfaceDC(dc)) return DeleteDC(dc) ? 1 : 0;
  CaretRestoreAfterPaint(hwnd);
  MarkScreenDirty();
  return 1;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
  {
    Lock lk(S().mutex);
    Window* w = FindOrFail(hwnd);
    if (!w) return FALSE;
    if (flags & RDW_FRAME) w->ncDirty = true;
    if (flags & RDW_INVALIDATE) InvalidateLocked(w, rect, (flags & RDW_ERASE) != 0);
    if (flags & RDW_VALIDATE) w->needsPaint = false;
    if (w->queue) WakeQueue(w->queue);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(hwnd);
  return TRUE;
}
