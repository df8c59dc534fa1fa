// A 32-bit XRGB pixel surface: what a top-level window draws into. The
// window manager owns one per top-level window and hands out device contexts
// over it (CreateSurfaceDC in platform/gdi.h); backends read the pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

// Pixels are 0x00RRGGBB (the X byte is kept 0), row 0 at the top.
struct Surface {
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes per row (width * 4)
  std::uint32_t* pixels = nullptr;
};

// A new surface cleared to white; null for a size below 1 or too large.
Surface* CreateSurface(int width, int height);
// Also disconnects every device context still made over the surface: they
// stay valid handles but draw nothing.
void DestroySurface(Surface* surface);
// Keeps the pixels of the area both sizes share; new area is white. Device
// contexts over the surface stay usable (their clip is cut to the new size).
BOOL ResizeSurface(Surface* surface, int width, int height);

inline std::uint32_t* SurfaceRow(const Surface* surface, int y) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(surface->pixels) +
                                          static_cast<std::ptrdiff_t>(y) * surface->stride);
}

// Colour references are 0x00BBGGRR; surface pixels 0x00RRGGBB.
inline std::uint32_t ColorRefToXrgb(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF XrgbToColorRef(std::uint32_t p) {
  return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

// PNG (8-bit RGB) of the whole surface or of `area` (cut to the surface; null
// = whole). Host path, UTF-8. FALSE when the area is empty or the file cannot
// be written.
BOOL SaveSurfacePng(const Surface* surface, const RECT* area, const char* path);
// Same into memory.
BOOL EncodeSurfacePng(const Surface* surface, const RECT* area, std::vector<std::uint8_t>* png);
// Reads a PNG file into a new surface (alpha dropped); null on failure.
Surface* LoadSurfacePng(const char* path);

// Every drawing call holds one process-wide GDI lock while it runs. A thread
// that reads a surface's pixels while the UI thread may draw (automation
// capture, a backend presenting from another thread) holds it too. Recursive.
void LockGdi();
void UnlockGdi();
