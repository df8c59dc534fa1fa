// Window surfaces and pixel access for every depth.
#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/gdi_internal.h"

namespace gdi {
namespace {

std::uint32_t QuadToXrgb(const RGBQUAD& q) {
  return (static_cast<std::uint32_t>(q.rgbRed) << 16) | (static_cast<std::uint32_t>(q.rgbGreen) << 8) | q.rgbBlue;
}

int NearestIndex(const RGBQUAD* palette, int count, std::uint32_t xrgb) {
  int best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  int r = (xrgb >> 16) & 0xFF, g = (xrgb >> 8) & 0xFF, b = xrgb & 0xFF;
  for (int i = 0; i < count; ++i) {
    long dr = palette[i].rgbRed - r, dg = palette[i].rgbGreen - g, db = palette[i].rgbBlue - b;
    long d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

}  // namespace

std::uint32_t Target::Read(int x, int y) const {
  const std::uint8_t* row = Row(y);
  switch (bpp) {
    case 32:
      return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    case 24: {
      const std::uint8_t* p = row + x * 3;
      return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
    }
    case 8: {
      int i = row[x];
      return i < paletteCount ? QuadToXrgb(palette[i]) : 0;
    }
    case 1: {
      int i = (row[x >> 3] >> (7 - (x & 7))) & 1;
      return i < paletteCount ? QuadToXrgb(palette[i]) : 0;
    }
    default:
      return 0;
  }
}

void Target::Write(int x, int y, std::uint32_t xrgb) const {
  std::uint8_t* row = Row(y);
  xrgb &= 0xFFFFFF;
  switch (bpp) {
    case 32:
      reinterpret_cast<std::uint32_t*>(row)[x] = xrgb;
      break;
    case 24: {
      std::uint8_t* p = row + x * 3;
      p[0] = xrgb & 0xFF;
      p[1] = (xrgb >> 8) & 0xFF;
      p[2] = (xrgb >> 16) & 0xFF;
      break;
    }
    case 8:
      row[x] = static_cast<std::uint8_t>(NearestIndex(palette, paletteCount, xrgb));
      break;
    case 1: {
      int bit = NearestIndex(palette, paletteCount, xrgb) & 1;
      std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<std::uint8_t>(bit ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask));
      break;
    }
    default:
      break;
  }
}

void Target::Invert(int x, int y) const {
  std::uint8_t* row = Row(y);
  switch (bpp) {
    case 32:
      reinterpret_cast<std::uint32_t*>(row)[x] ^= 0xFFFFFF;
      break;
    case 24:
      for (int i = 0; i < 3; ++i) row[x * 3 + i] ^= 0xFF;
      break;
    case 8:
      row[x] ^= 0xFF;
      break;
    case 1:
      row[x >> 3] ^= static_cast<std::uint8_t>(0x80 >> (x & 7));
      break;
    default:
      break;
  }
}

Target TargetOf(Surface* surface) {
  Target t;
  t.bits = reinterpret_cast<std::uint8_t*>(surface->pixels);
  t.width = surface->width;
  t.height = surface->height;
  t.stride = surface->stride;
  return t;
}

Target TargetOf(BitmapData& bm) {
  Target t;
  t.bits = bm.storage.data();
  t.width = bm.width;
  t.height = bm.height;
  t.stride = bm.stride;
  t.bpp = bm.bpp;
  t.topDown = bm.topDown;
  t.monoDdb = bm.monoDdb;
  t.palette = bm.palette.data();
  t.paletteCount = static_cast<int>(bm.palette.size());
  return t;
}

void Canvas::FillRectDevice(RECT r, std::uint32_t xrgb) const {
  if (target.bpp == 32) {
    for (int y = r.top; y < r.bottom; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(target.Row(y));
      std::fill(row + r.left, row + r.right, xrgb & 0xFFFFFF);
    }
    return;
  }
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) target.Write(x, y, xrgb);
}

}  // namespace gdi

using namespace gdi;

namespace {

constexpr int kMaxSide = 1 << 14;

void Detach(DcData& dc, void* surface) {
  if (dc.surface == surface) dc.surface = nullptr;
}

}  // namespace

Surface* CreateSurface(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  auto* s = new Surface;
  s->width = width;
  s->height = height;
  s->stride = width * 4;
  s->pixels = new std::uint32_t[static_cast<std::size_t>(width) * height];
  std::fill(s->pixels, s->pixels + static_cast<std::size_t>(width) * height, 0xFFFFFFu);
  return s;
}

void DestroySurface(Surface* surface) {
  if (!surface) return;
  Guard lock(Mutex());
  ForEachDc(Detach, surface);
  delete[] surface->pixels;
  delete surface;
}

BOOL ResizeSurface(Surface* surface, int width, int height) {
  if (!surface || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return FALSE;
  Guard lock(Mutex());
  auto* pixels = new std::uint32_t[static_cast<std::size_t>(width) * height];
  std::fill(pixels, pixels + static_cast<std::size_t>(width) * height, 0xFFFFFFu);
  int w = std::min(width, surface->width), h = std::min(height, surface->height);
  for (int y = 0; y < h; ++y)
    std::memcpy(pixels + static_cast<std::size_t>(y) * width, SurfaceRow(surface, y), static_cast<std::size_t>(w) * 4);
  delete[] surface->pixels;
  surface->pixels = pixels;
  surface->width = width;
  surface->height = height;
  surface->stride = width * 4;
  return TRUE;
}
