// Blits: raster operations, scaling and colour-keyed copies.
#include <algorithm>
#include <vector>

#include "platform/errors.h"
#include "platform/gdi_internal.h"

using namespace gdi;

namespace {

// Ternary raster operation on colour bits: bit i of `code` is the result for
// pattern/source/destination bits (i >> 2, i >> 1, i) & 1.
std::uint32_t Rop3(std::uint8_t code, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  switch (code) {
    case 0xCC:
      return s;
    case 0xEE:
      return s | d;
    case 0x88:
      return s & d;
    case 0x66:
      return (s ^ d) & 0xFFFFFF;
    case 0x33:
      return ~s & 0xFFFFFF;
    default:
      break;
  }
  std::uint32_t r = 0;
  for (int i = 0; i < 8; ++i)
    if ((code >> i) & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r & 0xFFFFFF;
}

bool UsesSource(std::uint8_t code) { return ((code >> 2) & 0x33) != (code & 0x33); }
bool UsesDest(std::uint8_t code) { return ((code >> 1) & 0x55) != (code & 0x55); }

struct Source {
  bool present = false;
  Target target;
  std::uint32_t bk = 0xFFFFFF;  // the source DC's background colour (XRGB)
};

struct Request {
  int x, y, width, height;
  int sx, sy, swidth, sheight;
  std::uint8_t code;
  bool keyed = false;
  std::uint32_t key = 0;
};

BOOL Blit(HDC hdest, const Source& src, Request q) {
  auto dc = Get<DcData>(hdest, Kind::Dc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  bool needSource = UsesSource(q.code) || q.keyed;
  if (needSource && !src.present) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (long long v : {q.x, q.y, q.width, q.height, q.sx, q.sy, q.swidth, q.sheight})
    if (v < -kCoordLimit || v > kCoordLimit) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  Canvas c = CanvasOf(*dc);
  if (!c.ok || q.width == 0 || q.height == 0 || q.swidth == 0 || q.sheight == 0) return TRUE;
  bool mirrorX = (q.width < 0) != (q.swidth < 0), mirrorY = (q.height < 0) != (q.sheight < 0);
  if (q.width < 0) q.x += q.width, q.width = -q.width;
  if (q.height < 0) q.y += q.height, q.height = -q.height;
  if (q.swidth < 0) q.sx += q.swidth, q.swidth = -q.swidth;
  if (q.sheight < 0) q.sy += q.sheight, q.sheight = -q.sheight;

  int left = q.x + c.origin.x, top = q.y + c.origin.y;
  RECT area = Intersect(RECT{left, top, left + q.width, top + q.height}, c.clip);
  if (IsEmpty(area)) return TRUE;

  // Read the source first, so a copy within one surface may overlap itself.
  RECT have{};
  std::vector<std::uint32_t> pixels;
  const Target& dt = c.target;
  if (needSource) {
    const Target& st = src.target;
    have = Intersect(RECT{q.sx, q.sy, q.sx + q.swidth, q.sy + q.sheight}, RECT{0, 0, st.width, st.height});
    if (IsEmpty(have)) return TRUE;
    int w = have.right - have.left;
    pixels.resize(static_cast<std::size_t>(w) * (have.bottom - have.top));
    bool monoToColour = st.monoDdb && dt.bpp != 1;
    bool colourToMono = dt.monoDdb && st.bpp != 1;
    std::uint32_t text = ColorRefToXrgb(dc->textColor), bk = ColorRefToXrgb(dc->bkColor);
    for (int y = have.top; y < have.bottom; ++y) {
      std::uint32_t* out = &pixels[static_cast<std::size_t>(y - have.top) * w];
      if (st.bpp == 32) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(st.Row(y));
        for (int x = have.left; x < have.right; ++x) out[x - have.left] = row[x] & 0xFFFFFF;
      } else {
        for (int x = have.left; x < have.right; ++x) out[x - have.left] = st.Read(x, y);
      }
      if (monoToColour) {
        for (int i = 0; i < w; ++i) out[i] = out[i] ? bk : text;
      } else if (colourToMono) {
        for (int i = 0; i < w; ++i) out[i] = out[i] == src.bk ? 0xFFFFFF : 0;
      }
    }
  }
  std::uint32_t pattern = 0;
  if (dc->brush && !dc->brush->null) pattern = BrushXrgb(*dc->brush);
  bool needDest = UsesDest(q.code);
  int haveWidth = have.right - have.left;

  // Unscaled copies between 32-bit pixels (every window update) skip the
  // per-pixel format dispatch.
  if (needSource && !q.keyed && dt.bpp == 32 && src.target.bpp == 32 && q.width == q.swidth &&
      q.height == q.sheight && !mirrorX && !mirrorY) {
    int dx0 = std::max(area.left, have.left - q.sx + left), dx1 = std::min(area.right, have.right - q.sx + left);
    int dy0 = std::max(area.top, have.top - q.sy + top), dy1 = std::min(area.bottom, have.bottom - q.sy + top);
    for (int dy = dy0; dy < dy1; ++dy) {
      const std::uint32_t* s = &pixels[static_cast<std::size_t>(dy - top + q.sy - have.top) * haveWidth +
                                       (dx0 - left + q.sx - have.left)];
      auto* d = reinterpret_cast<std::uint32_t*>(dt.Row(dy)) + dx0;
      int n = dx1 - dx0;
      if (q.code == 0xCC) {
        std::copy(s, s + n, d);
      } else {
        for (int i = 0; i < n; ++i) d[i] = Rop3(q.code, pattern, s[i], d[i] & 0xFFFFFF);
      }
    }
    return TRUE;
  }

  for (int dy = area.top; dy < area.bottom; ++dy) {
    int v = dy - top;
    int sy = q.sy + static_cast<int>(static_cast<long long>(mirrorY ? q.height - 1 - v : v) * q.sheight / q.height);
    if (needSource && (sy < have.top || sy >= have.bottom)) continue;
    for (int dx = area.left; dx < area.right; ++dx) {
      std::uint32_t s = 0;
      if (needSource) {
        int u = dx - left;
        int sx = q.sx + static_cast<int>(static_cast<long long>(mirrorX ? q.width - 1 - u : u) * q.swidth / q.width);
        if (sx < have.left || sx >= have.right) continue;
        s = pixels[static_cast<std::size_t>(sy - have.top) * haveWidth + (sx - have.left)];
        if (q.keyed && s == q.key) continue;
      }
      std::uint32_t d = needDest ? dt.Read(dx, dy) : 0;
      dt.Write(dx, dy, Rop3(q.code, pattern, s, d));
    }
  }
  return TRUE;
}

// A window DC reads from the whole surface at its origin; the source clip is
// not applied.
Source SourceOfDc(HDC hdc, POINT* offset) {
  Source s;
  *offset = POINT{0, 0};
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc) return s;
  if (dc->memory) {
    if (!dc->bitmap) return s;
    s.target = TargetOf(*dc->bitmap);
  } else {
    if (!dc->surface || !dc->surface->pixels) return s;
    s.target = TargetOf(dc->surface);
    *offset = dc->origin;
  }
  s.present = true;
  s.bk = ColorRefToXrgb(dc->bkColor);
  return s;
}

BOOL BlitFromDc(HDC dest, HDC source, Request q) {
  Source s;
  if (source) {
    if (!Get<DcData>(source, Kind::Dc)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    POINT offset;
    s = SourceOfDc(source, &offset);
    // A window DC whose surface is gone has nothing to give.
    if (!s.present) return Get<DcData>(dest, Kind::Dc) ? TRUE : FALSE;
    q.sx = ClampCoord(static_cast<long long>(q.sx) + offset.x);
    q.sy = ClampCoord(static_cast<long long>(q.sy) + offset.y);
  }
  return Blit(dest, s, q);
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
  Guard lock(Mutex());
  Request q{x, y, width, height, sx, sy, width, height, static_cast<std::uint8_t>(rop >> 16)};
  return BlitFromDc(dest, source, q);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int swidth,
                int sheight, DWORD rop) {
  Guard lock(Mutex());
  Request q{x, y, width, height, sx, sy, swidth, sheight, static_cast<std::uint8_t>(rop >> 16)};
  return BlitFromDc(dest, source, q);
}

BOOL TransparentImage(HDC dest, LONG x, LONG y, LONG width, LONG height, HANDLE source, LONG sx, LONG sy,
                      LONG swidth, LONG sheight, COLORREF key) {
  Guard lock(Mutex());
  Request q{x, y, width, height, sx, sy, swidth, sheight, 0xCC, true, ColorRefToXrgb(key)};
  if (KindOf(source) == Kind::Bitmap) {
    Source s;
    s.present = true;
    s.target = TargetOf(*Get<BitmapData>(source, Kind::Bitmap));
    return Blit(dest, s, q);
  }
  if (KindOf(source) != Kind::Dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return BlitFromDc(dest, static_cast<HDC>(source), q);
}
