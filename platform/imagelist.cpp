// Image lists: images kept as 32-bit colour with an optional mask each.
#include "platform/imagelist.h"

#include <algorithm>

#include "platform/errors.h"
#include "platform/gdi_internal.h"

using namespace gdi;

namespace {

std::shared_ptr<ImageListData> ListOf(HIMAGELIST list) { return Get<ImageListData>(list, Kind::ImageList); }

// Cuts `image` into cells and appends them; `maskOf` decides per pixel.
template <class MaskFn>
int AddImages(ImageListData& list, BitmapData& image, MaskFn maskOf) {
  int count = image.width / list.cx;
  if (count < 1 || image.height < list.cy) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  Target t = TargetOf(image);
  int first = static_cast<int>(list.images.size());
  bool masked = list.flags & ILC_MASK;
  for (int i = 0; i < count; ++i) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(list.cx) * list.cy);
    std::vector<std::uint8_t> mask;
    if (masked) mask.assign(pixels.size(), 0);
    for (int y = 0; y < list.cy; ++y)
      for (int x = 0; x < list.cx; ++x) {
        std::size_t k = static_cast<std::size_t>(y) * list.cx + x;
        std::uint32_t p = t.Read(i * list.cx + x, y);
        if (masked && maskOf(i * list.cx + x, y, p)) {
          mask[k] = 1;
          p = 0;  // a masked pixel's colour is black, as it is drawn over the cleared mask
        }
        pixels[k] = p;
      }
    list.images.push_back(std::move(pixels));
    list.masks.push_back(std::move(mask));
  }
  return first;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
  Guard lock(Mutex());
  if (cx < 1 || cy < 1 || cx > (1 << 14) || cy > (1 << 14)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto list = std::make_shared<ImageListData>();
  list->cx = cx;
  list->cy = cy;
  list->flags = flags;
  list->bk = CLR_NONE;
  return static_cast<HIMAGELIST>(Add(Kind::ImageList, list));
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  Guard lock(Mutex());
  if (!ListOf(list)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Remove(list);
  return TRUE;
}

int ImageList_Add(HIMAGELIST hlist, HBITMAP image, HBITMAP mask) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  auto bm = Get<BitmapData>(image, Kind::Bitmap);
  if (!list || !bm) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  std::shared_ptr<BitmapData> mb;
  if (mask) {
    mb = Get<BitmapData>(mask, Kind::Bitmap);
    if (!mb) {
      SetLastError(ERROR_INVALID_HANDLE);
      return -1;
    }
  }
  if (!mb) return AddImages(*list, *bm, [](int, int, std::uint32_t) { return false; });
  Target mt = TargetOf(*mb);
  return AddImages(*list, *bm, [&mt](int x, int y, std::uint32_t) {
    return x < mt.width && y < mt.height && mt.Read(x, y) != 0;
  });
}

int ImageList_AddMasked(HIMAGELIST hlist, HBITMAP image, COLORREF key) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  auto bm = Get<BitmapData>(image, Kind::Bitmap);
  if (!list || !bm) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  std::uint32_t k = ColorRefToXrgb(key);
  return AddImages(*list, *bm, [k](int, int, std::uint32_t p) { return p == k; });
}

int ImageList_GetImageCount(HIMAGELIST hlist) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST hlist, int* cx, int* cy) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  if (!list || !cx || !cy) return FALSE;
  *cx = list->cx;
  *cy = list->cy;
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST hlist, COLORREF color) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  if (!list) return CLR_NONE;
  COLORREF old = list->bk;
  list->bk = color == CLR_NONE ? CLR_NONE : (color & 0xFFFFFF);
  return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST hlist) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  return list ? list->bk : CLR_NONE;
}

BOOL ImageList_DrawEx(HIMAGELIST hlist, int index, HDC hdc, int x, int y, int width, int height,
                      COLORREF background, COLORREF, UINT style) {
  Guard lock(Mutex());
  auto list = ListOf(hlist);
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!list || !dc || index < 0 || index >= static_cast<int>(list->images.size())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Canvas c = CanvasOf(*dc);
  if (!c.ok) return TRUE;
  int w = width > 0 ? std::min(width, list->cx) : list->cx;
  int h = height > 0 ? std::min(height, list->cy) : list->cy;
  const auto& pixels = list->images[index];
  const auto& mask = list->masks[index];
  bool hasMask = !mask.empty();
  COLORREF bk = background == CLR_DEFAULT ? list->bk : background;
  bool transparent = (style & ILD_TRANSPARENT) || bk == CLR_NONE;
  std::uint32_t bkXrgb = ColorRefToXrgb(bk);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      std::size_t k = static_cast<std::size_t>(j) * list->cx + i;
      bool masked = hasMask && mask[k];
      if (style & ILD_MASK) {
        c.Plot(x + i, y + j, masked ? 0xFFFFFF : 0);
        continue;
      }
      if (masked) {
        if (!transparent) c.Plot(x + i, y + j, bkXrgb);
        continue;
      }
      c.Plot(x + i, y + j, pixels[k]);
    }
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}
