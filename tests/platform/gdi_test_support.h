// Helpers for the drawing tests: owned surfaces, random pixels, pixel reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "platform/gdi.h"
#include "platform/surface.h"

namespace gditest {

struct SurfaceDeleter {
  void operator()(Surface* s) const { DestroySurface(s); }
};
using SurfacePtr = std::unique_ptr<Surface, SurfaceDeleter>;

inline SurfacePtr MakeSurface(int w, int h, std::uint32_t fill = 0xFFFFFF) {
  SurfacePtr s(CreateSurface(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SurfaceRow(s.get(), y)[x] = fill;
  return s;
}

inline void FillRandom(Surface* s, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < s->height; ++y)
    for (int x = 0; x < s->width; ++x) SurfaceRow(s, y)[x] = rng() & 0xFFFFFF;
}

inline std::uint32_t Px(const Surface* s, int x, int y) { return SurfaceRow(s, y)[x]; }

inline std::vector<std::uint32_t> Snapshot(const Surface* s) {
  std::vector<std::uint32_t> v;
  for (int y = 0; y < s->height; ++y) v.insert(v.end(), SurfaceRow(s, y), SurfaceRow(s, y) + s->width);
  return v;
}

// A DC over the whole surface with no offset.
inline HDC WholeDC(Surface* s) { return CreateSurfaceDC(s, POINT{0, 0}, RECT{0, 0, s->width, s->height}); }

// Counts the pixels of `s` equal to `xrgb`.
inline int Count(const Surface* s, std::uint32_t xrgb) {
  int n = 0;
  for (int y = 0; y < s->height; ++y)
    for (int x = 0; x < s->width; ++x) n += Px(s, x, y) == xrgb;
  return n;
}

}  // namespace gditest
