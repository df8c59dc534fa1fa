// Internals shared by the drawing modules: the handle table, object records
// and pixel access over surfaces and bitmaps of every depth.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi.h"
#include "platform/surface.h"

namespace gdi {

enum class Kind : std::uint8_t { None = 0, Dc = 1, Brush = 2, Pen = 3, Bitmap = 4, Region = 5, ImageList = 6 };

std::recursive_mutex& Mutex();
using Guard = std::lock_guard<std::recursive_mutex>;

struct BitmapData {
  int width = 0;
  int height = 0;
  int bpp = 32;
  int stride = 0;
  bool topDown = true;
  bool dib = false;      // DIB section: bits handed out
  bool monoDdb = false;  // 1-bit device bitmap: text/background colour rules in blits
  bool stock = false;
  int selectedIn = 0;  // DCs holding it (at most one unless stock)
  std::vector<std::uint8_t> storage;
  std::vector<RGBQUAD> palette;
};

struct BrushData {
  bool null = false;
  int sysIndex = -1;  // >= 0: follows that system colour
  COLORREF color = 0;
};

struct PenData {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct RegionData {
  RECT rect{};
};

struct DcData {
  bool memory = false;
  Surface* surface = nullptr;  // surface DCs; null once the surface is destroyed
  POINT origin{};
  RECT baseClip{};  // surface coordinates
  std::shared_ptr<BitmapData> bitmap;
  HGDIOBJ bitmapHandle = nullptr;
  std::shared_ptr<BrushData> brush;
  HGDIOBJ brushHandle = nullptr;
  std::shared_ptr<PenData> pen;
  HGDIOBJ penHandle = nullptr;
  bool hasClipRgn = false;
  RECT clipRgn{};  // logical
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  POINT position{};
};

struct ImageListData {
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
  COLORREF bk = 0xFFFFFFFFu;
  std::vector<std::vector<std::uint32_t>> images;  // XRGB, cx * cy each
  std::vector<std::vector<std::uint8_t>> masks;    // 1 = transparent
};

// The handle table. Lookups check kind and generation; null when the handle
// is stale, foreign or of another kind.
void* Add(Kind kind, std::shared_ptr<void> object, bool stock = false);
std::shared_ptr<void> Find(const void* handle, Kind kind);
Kind KindOf(const void* handle);
bool IsStock(const void* handle);
void Remove(const void* handle);
template <class T>
std::shared_ptr<T> Get(const void* handle, Kind kind) {
  return std::static_pointer_cast<T>(Find(handle, kind));
}
// Every live DC (for surface destruction).
void ForEachDc(void (*fn)(DcData&, void*), void* arg);

// Brush lookup that also accepts (HBRUSH)(COLOR_x + 1).
std::shared_ptr<BrushData> BrushOf(HBRUSH brush);
std::uint32_t BrushXrgb(const BrushData& brush);

// A view of pixels of any supported depth.
struct Target {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  int bpp = 32;
  bool topDown = true;
  bool monoDdb = false;
  const RGBQUAD* palette = nullptr;
  int paletteCount = 0;

  std::uint8_t* Row(int y) const {
    int r = topDown ? y : height - 1 - y;
    return bits + static_cast<std::ptrdiff_t>(r) * stride;
  }
  std::uint32_t Read(int x, int y) const;           // XRGB
  void Write(int x, int y, std::uint32_t xrgb) const;  // nearest palette entry when palettised
  void Invert(int x, int y) const;                  // XOR of the raw bits
};

Target TargetOf(Surface* surface);
Target TargetOf(BitmapData& bitmap);

// A DC resolved for one drawing call: where the pixels are, the origin and the
// clip in device coordinates. `ok` is false for a DC with nothing to draw on.
struct Canvas {
  bool ok = false;
  Target target;
  POINT origin{};
  RECT clip{};  // device coordinates, inside the target
  bool Inside(int dx, int dy) const { return dx >= clip.left && dx < clip.right && dy >= clip.top && dy < clip.bottom; }
  // Logical coordinates.
  void Plot(int x, int y, std::uint32_t xrgb) const {
    long long dx = static_cast<long long>(x) + origin.x, dy = static_cast<long long>(y) + origin.y;
    if (dx >= clip.left && dx < clip.right && dy >= clip.top && dy < clip.bottom)
      target.Write(static_cast<int>(dx), static_cast<int>(dy), xrgb);
  }
  void FillRectDevice(RECT r, std::uint32_t xrgb) const;  // already-clipped device rect
};

Canvas CanvasOf(DcData& dc);

// Coordinates are held within this range so that offsets and spans never
// overflow; anything beyond is far outside every surface anyway.
constexpr LONG kCoordLimit = 1 << 27;
inline LONG ClampCoord(long long v) {
  return static_cast<LONG>(v < -kCoordLimit ? -kCoordLimit : (v > kCoordLimit ? kCoordLimit : v));
}
inline RECT Offset(const RECT& r, POINT o) {
  return RECT{ClampCoord(static_cast<long long>(r.left) + o.x), ClampCoord(static_cast<long long>(r.top) + o.y),
              ClampCoord(static_cast<long long>(r.right) + o.x), ClampCoord(static_cast<long long>(r.bottom) + o.y)};
}

RECT Intersect(const RECT& a, const RECT& b);
inline bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

std::shared_ptr<BitmapData> NewBitmap(int width, int height, int bpp, bool topDown, int rowAlign);

// PNG decoding into XRGB (alpha kept in the top byte). False on failure.
bool DecodePng(const void* data, std::size_t size, int* width, int* height, std::vector<std::uint32_t>* argb);
bool EncodePng(const std::uint32_t* xrgb, int width, int height, int strideBytes, std::vector<std::uint8_t>* png);

}  // namespace gdi
