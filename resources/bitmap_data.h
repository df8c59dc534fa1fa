// The program's bitmap resources: PNGs in resources/bitmaps/ (drawn by
// tools/bitmaps/draw_bitmaps.py), embedded at build time and registered as
// RT_BITMAP under their file names' ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct BitmapResource {
  uint16_t id;
  const unsigned char* data;  // a PNG file
  size_t size;
};

std::span<const BitmapResource> SorviBitmapResources();
