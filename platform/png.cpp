// PNG reading and writing through libpng's simplified interface.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "platform/gdi_internal.h"

namespace gdi {

bool DecodePng(const void* data, std::size_t size, int* width, int* height, std::vector<std::uint32_t>* argb) {
  if (!data || size == 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  if (image.width < 1 || image.height < 1 || image.width > (1u << 14) || image.height > (1u << 14)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  argb->resize(static_cast<std::size_t>(image.width) * image.height);
  for (std::size_t i = 0; i < argb->size(); ++i) {
    const std::uint8_t* p = &bytes[i * 4];
    (*argb)[i] = (static_cast<std::uint32_t>(p[3]) << 24) | (static_cast<std::uint32_t>(p[0]) << 16) |
                 (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
  }
  return true;
}

bool EncodePng(const std::uint32_t* xrgb, int width, int height, int strideBytes, std::vector<std::uint8_t>* png) {
  if (!xrgb || width < 1 || height < 1 || !png) return false;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(xrgb) +
                                                             static_cast<std::ptrdiff_t>(y) * strideBytes);
    std::uint8_t* out = &rgb[static_cast<std::size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x) {
      out[x * 3] = (row[x] >> 16) & 0xFF;
      out[x * 3 + 1] = (row[x] >> 8) & 0xFF;
      out[x * 3 + 2] = row[x] & 0xFF;
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) return false;
  png->resize(size);
  if (!png_image_write_to_memory(&image, png->data(), &size, 0, rgb.data(), 0, nullptr)) return false;
  png->resize(size);
  return true;
}

}  // namespace gdi

using namespace gdi;

BOOL EncodeSurfacePng(const Surface* surface, const RECT* area, std::vector<std::uint8_t>* png) {
  if (!surface || !surface->pixels || !png) return FALSE;
  Guard lock(Mutex());
  RECT r{0, 0, surface->width, surface->height};
  if (area) r = Intersect(r, *area);
  if (IsEmpty(r)) return FALSE;
  const std::uint32_t* start = SurfaceRow(surface, r.top) + r.left;
  return EncodePng(start, r.right - r.left, r.bottom - r.top, surface->stride, png) ? TRUE : FALSE;
}

BOOL SaveSurfacePng(const Surface* surface, const RECT* area, const char* path) {
  std::vector<std::uint8_t> png;
  if (!path || !EncodeSurfacePng(surface, area, &png)) return FALSE;
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return FALSE;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  ok = std::fclose(f) == 0 && ok;
  return ok ? TRUE : FALSE;
}

Surface* LoadSurfacePng(const char* path) {
  if (!path) return nullptr;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  std::vector<std::uint8_t> data;
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
  std::fclose(f);
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;
  if (!DecodePng(data.data(), data.size(), &width, &height, &argb)) return nullptr;
  Surface* s = CreateSurface(width, height);
  if (!s) return nullptr;
  for (int y = 0; y < height; ++y) {
    std::uint32_t* row = SurfaceRow(s, y);
    for (int x = 0; x < width; ++x) row[x] = argb[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF;
  }
  return s;
}
