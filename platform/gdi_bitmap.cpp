// Bitmaps: DIB sections, device bitmaps, bitmap resources.
#include <algorithm>
#include <cstring>

#include "platform/errors.h"
#include "platform/gdi_internal.h"
#include "platform/resources.h"

namespace gdi {

std::shared_ptr<BitmapData> NewBitmap(int width, int height, int bpp, bool topDown, int rowAlign) {
  // Large enough for any screen-sized offscreen, small enough that sizes never overflow.
  constexpr long long kMaxBytes = 1LL << 28;
  if (width < 1 || height < 1 || width > (1 << 15) || height > (1 << 15)) return nullptr;
  long long bitsPerRow = static_cast<long long>(width) * bpp;
  long long alignBits = 8LL * rowAlign;
  long long stride = (bitsPerRow + alignBits - 1) / alignBits * rowAlign;
  if (stride * height > kMaxBytes) return nullptr;
  auto bm = std::make_shared<BitmapData>();
  bm->width = width;
  bm->height = height;
  bm->bpp = bpp;
  bm->stride = static_cast<int>(stride);
  bm->topDown = topDown;
  bm->storage.assign(static_cast<std::size_t>(stride * height), 0);
  return bm;
}

}  // namespace gdi

using namespace gdi;

namespace {

HBITMAP AddBitmap(std::shared_ptr<BitmapData> bm) { return static_cast<HBITMAP>(Add(Kind::Bitmap, std::move(bm))); }

RGBQUAD Quad(BYTE r, BYTE g, BYTE b) { return RGBQUAD{b, g, r, 0}; }

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  Guard lock(Mutex());
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int bpp = h.biBitCount;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB ||
      (bpp != 1 && bpp != 8 && bpp != 24 && bpp != 32) || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bm = NewBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, bpp, h.biHeight < 0, 4);
  if (!bm) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bm->dib = true;
  if (bpp <= 8) {
    DWORD full = 1u << bpp;
    DWORD n = h.biClrUsed ? std::min(h.biClrUsed, full) : full;
    // The palette follows the header's declared size.
    const auto* colors = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + h.biSize);
    bm->palette.assign(colors, colors + n);
  }
  if (bits) *bits = bm->storage.data();
  return AddBitmap(std::move(bm));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  Guard lock(Mutex());
  if (planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bm = NewBitmap(width, height, static_cast<int>(bitsPerPixel), true, 2);
  if (!bm) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (bitsPerPixel == 1) {
    bm->monoDdb = true;
    bm->palette = {Quad(0, 0, 0), Quad(255, 255, 255)};
  }
  if (bits) std::memcpy(bm->storage.data(), bits, bm->storage.size());
  if (bitsPerPixel == 32)
    for (std::size_t i = 3; i < bm->storage.size(); i += 4) bm->storage[i] = 0;
  return AddBitmap(std::move(bm));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  Guard lock(Mutex());
  auto bm = NewBitmap(width, height, 32, true, 4);
  if (!bm) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return AddBitmap(std::move(bm));
}

HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name) {
  HRSRC res = FindResourceW(module, name, RT_BITMAP);
  if (!res) return nullptr;
  HGLOBAL loaded = LoadResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, res);
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;
  if (!data || !DecodePng(data, size, &width, &height, &argb)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Guard lock(Mutex());
  auto bm = NewBitmap(width, height, 32, true, 4);
  if (!bm) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(bm->storage.data() + static_cast<std::size_t>(y) * bm->stride);
    for (int x = 0; x < width; ++x) {
      std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
      row[x] = (p >> 24) < 128 ? 0x00FF00u : (p & 0xFFFFFF);
    }
  }
  return AddBitmap(std::move(bm));
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  Guard lock(Mutex());
  auto bm = Get<BitmapData>(object, Kind::Bitmap);
  if (!bm) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!buffer) return sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  BITMAP b{};
  b.bmType = 0;
  b.bmWidth = bm->width;
  b.bmHeight = bm->height;
  b.bmWidthBytes = bm->stride;
  b.bmPlanes = 1;
  b.bmBitsPixel = static_cast<WORD>(bm->bpp);
  b.bmBits = bm->dib ? bm->storage.data() : nullptr;
  std::memcpy(buffer, &b, sizeof b);
  return sizeof(BITMAP);
}
