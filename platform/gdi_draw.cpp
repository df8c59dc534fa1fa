// Fills, pixels, lines, polygons, edges and inversion.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/gdi_internal.h"

using namespace gdi;

namespace {

void FillLogical(const Canvas& c, RECT r, std::uint32_t xrgb) {
  r = Intersect(Offset(r, c.origin), c.clip);
  if (!IsEmpty(r)) c.FillRectDevice(r, xrgb);
}

// Plots the points of one pen's strokes; the dash phase runs on across the
// segments of a polyline.
struct PenRun {
  const Canvas& canvas;
  const PenData& pen;
  std::uint32_t color;
  bool opaqueGaps;
  std::uint32_t bk;
  int dashPos = 0;

  void Dot(int x, int y, std::uint32_t xrgb) const {
    if (pen.width <= 1) {
      canvas.Plot(x, y, xrgb);
      return;
    }
    int lo = -(pen.width - 1) / 2;
    FillLogical(canvas, RECT{x + lo, y + lo, x + lo + pen.width, y + lo + pen.width}, xrgb);
  }

  void Point(int x, int y) {
    if (pen.style == PS_DASH) {
      bool on = dashPos < 6;
      dashPos = (dashPos + 1) % 10;
      if (on)
        Dot(x, y, color);
      else if (opaqueGaps)
        Dot(x, y, bk);
      return;
    }
    Dot(x, y, color);
  }

  // One point per step along the major axis, the minor coordinate rounded to
  // nearest; end point excluded, and a zero-length segment plots its point.
  // Only the steps that can reach the clip are visited.
  void Segment(int x0, int y0, int x1, int y1) {
    if (pen.style == PS_NULL) return;
    x0 = ClampCoord(x0), y0 = ClampCoord(y0), x1 = ClampCoord(x1), y1 = ClampCoord(y1);
    if (x0 == x1 && y0 == y1) {
      Point(x0, y0);
      return;
    }
    long long dx = static_cast<long long>(x1) - x0, dy = static_cast<long long>(y1) - y0;
    bool xMajor = std::llabs(dx) >= std::llabs(dy);
    long long n = xMajor ? std::llabs(dx) : std::llabs(dy);
    RECT vis = Offset(canvas.clip, POINT{-canvas.origin.x, -canvas.origin.y});
    long long margin = pen.width + 1;
    long long lo = 0, hi = n;
    // Narrows [lo, hi) to the steps where start + delta * i / n may lie in [a, b).
    auto limit = [&](long long start, long long delta, long long a, long long b) {
      a -= margin;
      b += margin;
      if (delta == 0) {
        if (start < a || start >= b) hi = lo;
        return;
      }
      long long i1 = (a - start) * n / delta, i2 = (b - start) * n / delta;
      if (i1 > i2) std::swap(i1, i2);
      lo = std::max(lo, i1 - 1);
      hi = std::min(hi, i2 + 2);
    };
    limit(x0, dx, vis.left, vis.right);
    limit(y0, dy, vis.top, vis.bottom);
    int start = dashPos;
    for (long long i = lo; i < hi; ++i) {
      long long major = (xMajor ? (dx > 0 ? i : -i) : (dy > 0 ? i : -i));
      long long minor = RoundDiv(i * (xMajor ? dy : dx), n);
      dashPos = static_cast<int>((start + i) % 10);
      if (xMajor)
        Point(static_cast<int>(x0 + major), static_cast<int>(y0 + minor));
      else
        Point(static_cast<int>(x0 + minor), static_cast<int>(y0 + major));
    }
    dashPos = static_cast<int>((start + n) % 10);
  }

  // a / n rounded to nearest, halves up; n > 0.
  static long long RoundDiv(long long a, long long n) {
    long long num = 2 * a + n, den = 2 * n;
    long long q = num / den;
    return (num % den != 0 && num < 0) ? q - 1 : q;
  }
};

struct Prepared {
  std::shared_ptr<DcData> dc;
  Canvas canvas;
};

Prepared Prepare(HDC hdc) {
  Prepared p;
  p.dc = Get<DcData>(hdc, Kind::Dc);
  if (p.dc) p.canvas = CanvasOf(*p.dc);
  return p;
}

PenRun MakePenRun(const Prepared& p) {
  return PenRun{p.canvas, *p.dc->pen, ColorRefToXrgb(p.dc->pen->color), p.dc->bkMode == OPAQUE,
                ColorRefToXrgb(p.dc->bkColor)};
}

void FillPolygon(const Canvas& c, const std::vector<POINT>& pts, std::uint32_t xrgb) {
  int n = static_cast<int>(pts.size());
  int minY = pts[0].y, maxY = pts[0].y;
  for (const POINT& p : pts) {
    minY = std::min(minY, static_cast<int>(p.y));
    maxY = std::max(maxY, static_cast<int>(p.y));
  }
  // Only the rows inside the clip are scanned.
  minY = std::max(minY, static_cast<int>(c.clip.top - c.origin.y));
  maxY = std::min(maxY, static_cast<int>(c.clip.bottom - c.origin.y));
  std::vector<double> xs;
  for (int y = minY; y < maxY; ++y) {
    xs.clear();
    for (int i = 0; i < n; ++i) {
      const POINT& a = pts[i];
      const POINT& b = pts[(i + 1) % n];
      if (a.y == b.y) continue;
      int lo = std::min(a.y, b.y), hi = std::max(a.y, b.y);
      if (y < lo || y >= hi) continue;
      xs.push_back(a.x + static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
      int left = ClampCoord(static_cast<long long>(std::ceil(xs[i])));
      int right = ClampCoord(static_cast<long long>(std::ceil(xs[i + 1])));
      if (right > left) FillLogical(c, RECT{left, y, right, y + 1}, xrgb);
    }
  }
}

}  // namespace

COLORREF GetPixel(HDC hdc, int x, int y) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc || !p.canvas.ok) return CLR_INVALID;
  RECT at = Offset(RECT{x, y, x, y}, p.canvas.origin);
  if (!p.canvas.Inside(at.left, at.top)) return CLR_INVALID;
  return XrgbToColorRef(p.canvas.target.Read(at.left, at.top));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc || !p.canvas.ok) return CLR_INVALID;
  RECT at = Offset(RECT{x, y, x, y}, p.canvas.origin);
  if (!p.canvas.Inside(at.left, at.top)) return CLR_INVALID;
  p.canvas.target.Write(at.left, at.top, ColorRefToXrgb(color));
  return XrgbToColorRef(p.canvas.target.Read(at.left, at.top));
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  auto b = BrushOf(brush);
  if (!p.dc || !rect || !b) return 0;
  if (!p.canvas.ok || b->null) return 1;
  FillLogical(p.canvas, *rect, BrushXrgb(*b));
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc || !rect) return FALSE;
  if (!p.canvas.ok) return TRUE;
  RECT r = Intersect(Offset(*rect, p.canvas.origin), p.canvas.clip);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) p.canvas.target.Invert(x, y);
  return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  Guard lock(Mutex());
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc) return FALSE;
  if (p.canvas.ok) {
    PenRun run = MakePenRun(p);
    run.Segment(p.dc->position.x, p.dc->position.y, x, y);
  }
  p.dc->position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc || !points || count < 2) return FALSE;
  if (!p.canvas.ok) return TRUE;
  PenRun run = MakePenRun(p);
  for (int i = 0; i + 1 < count; ++i) run.Segment(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y);
  return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc || !points || count < 2) return FALSE;
  if (!p.canvas.ok) return TRUE;
  std::vector<POINT> pts(points, points + count);
  for (POINT& pt : pts) pt = POINT{ClampCoord(pt.x), ClampCoord(pt.y)};
  if (!p.dc->brush->null) FillPolygon(p.canvas, pts, BrushXrgb(*p.dc->brush));
  PenRun run = MakePenRun(p);
  for (int i = 0; i < count; ++i) {
    const POINT& a = pts[i];
    const POINT& b = pts[(i + 1) % count];
    run.Segment(a.x, a.y, b.x, b.y);
  }
  return TRUE;
}

namespace {

// One ring of a frame, one pixel wide: top and left in `tl`, then bottom and
// right in `br`.
void Ring(const Canvas& c, const RECT& r, UINT flags, std::uint32_t tl, std::uint32_t br) {
  if (IsEmpty(r)) return;
  if (flags & BF_TOP) FillLogical(c, RECT{r.left, r.top, r.right, r.top + 1}, tl);
  if (flags & BF_LEFT) FillLogical(c, RECT{r.left, r.top, r.left + 1, r.bottom}, tl);
  if (flags & BF_BOTTOM) FillLogical(c, RECT{r.left, r.bottom - 1, r.right, r.bottom}, br);
  if (flags & BF_RIGHT) FillLogical(c, RECT{r.right - 1, r.top, r.right, r.bottom}, br);
}

RECT Shrink(RECT r, UINT flags) {
  if (flags & BF_LEFT) ++r.left;
  if (flags & BF_TOP) ++r.top;
  if (flags & BF_RIGHT) --r.right;
  if (flags & BF_BOTTOM) --r.bottom;
  return r;
}

std::uint32_t Sys(int index) { return ColorRefToXrgb(GetSysColor(index)); }

}  // namespace

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags) {
  Guard lock(Mutex());
  Prepared p = Prepare(hdc);
  if (!p.dc || !rect) return FALSE;
  RECT r = *rect;
  bool outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  if (flags & BF_MONO) {
    if (p.canvas.ok && (outer || inner)) Ring(p.canvas, r, flags, Sys(COLOR_WINDOWFRAME), Sys(COLOR_WINDOWFRAME));
    if (outer || inner) r = Shrink(r, flags);
  } else {
    if (outer) {
      std::uint32_t tl, br;
      if (flags & BF_FLAT)
        tl = br = Sys(COLOR_BTNSHADOW);
      else if (edge & BDR_RAISEDOUTER)
        tl = Sys(COLOR_3DLIGHT), br = Sys(COLOR_3DDKSHADOW);
      else
        tl = Sys(COLOR_BTNSHADOW), br = Sys(COLOR_BTNHIGHLIGHT);
      if (p.canvas.ok) Ring(p.canvas, r, flags, tl, br);
      r = Shrink(r, flags);
    }
    if (inner) {
      std::uint32_t tl, br;
      if (flags & BF_FLAT)
        tl = br = Sys(COLOR_BTNFACE);
      else if (edge & BDR_RAISEDINNER)
        tl = Sys(COLOR_BTNHIGHLIGHT), br = Sys(COLOR_BTNSHADOW);
      else
        tl = Sys(COLOR_3DDKSHADOW), br = Sys(COLOR_3DLIGHT);
      if (p.canvas.ok) Ring(p.canvas, r, flags, tl, br);
      r = Shrink(r, flags);
    }
  }
  if ((flags & BF_MIDDLE) && p.canvas.ok)
    FillLogical(p.canvas, r, (flags & BF_MONO) ? Sys(COLOR_WINDOW) : Sys(COLOR_BTNFACE));
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}
