// GDI handle table, stock objects, system colours, brushes, pens, regions,
// device contexts and their state.
#include <algorithm>
#include <array>

#include "platform/errors.h"
#include "platform/gdi_internal.h"

namespace gdi {
namespace {

// Handle value: tag byte, kind, 20-bit generation, index + 1. The tag keeps
// ids of other handle families (windows, kernel objects) from matching.
constexpr std::uint64_t kTag = 0xD5;
constexpr std::uint64_t kGenMask = 0xFFFFF;

struct Slot {
  std::uint32_t generation = 1;
  Kind kind = Kind::None;
  bool stock = false;
  std::shared_ptr<void> object;
};

struct Table {
  std::vector<Slot> slots;
  std::vector<std::uint32_t> free;
};

Table& TheTable() {
  static Table table;
  return table;
}

void* Encode(std::uint32_t index, const Slot& slot) {
  std::uint64_t v = (kTag << 56) | (static_cast<std::uint64_t>(slot.kind) << 52) |
                    ((slot.generation & kGenMask) << 32) | (static_cast<std::uint64_t>(index) + 1);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(v));
}

Slot* Decode(const void* handle) {
  auto v = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
  if ((v >> 56) != kTag) return nullptr;
  std::uint64_t low = v & 0xFFFFFFFFu;
  if (low == 0) return nullptr;
  Table& t = TheTable();
  std::uint64_t index = low - 1;
  if (index >= t.slots.size()) return nullptr;
  Slot& s = t.slots[index];
  if (s.kind == Kind::None || static_cast<std::uint64_t>(s.kind) != ((v >> 52) & 0xF) ||
      (s.generation & kGenMask) != ((v >> 32) & kGenMask))
    return nullptr;
  return &s;
}

// Device defaults: white windows with black text, navy selection, grey
// button faces; static controls are white with black text like windows.
constexpr std::array<COLORREF, SORVI_SYSCOLOR_COUNT> kDefaultColors = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // background
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(255, 255, 255),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // app workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3D dark shadow
    RGB(224, 224, 224),  // 3D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(255, 255, 255),  // static
    RGB(0, 0, 0),        // static text
};

struct Globals {
  std::array<COLORREF, SORVI_SYSCOLOR_COUNT> colors = kDefaultColors;
  std::array<void*, SORVI_SYSCOLOR_COUNT> sysBrushes{};
  std::array<void*, NULL_PEN + 1> stock{};
  void* monoBitmap = nullptr;  // the 1x1 bitmap every new memory DC starts with
  bool ready = false;
};

Globals& G() {
  static Globals g;
  if (!g.ready) {
    g.ready = true;
    for (int i = 0; i < SORVI_SYSCOLOR_COUNT; ++i) {
      auto b = std::make_shared<BrushData>();
      b->sysIndex = i;
      g.sysBrushes[i] = Add(Kind::Brush, b, true);
    }
    const COLORREF brushColors[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                                    RGB(0, 0, 0)};
    for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) {
      auto b = std::make_shared<BrushData>();
      b->color = brushColors[i];
      g.stock[i] = Add(Kind::Brush, b, true);
    }
    auto nb = std::make_shared<BrushData>();
    nb->null = true;
    g.stock[NULL_BRUSH] = Add(Kind::Brush, nb, true);
    auto wp = std::make_shared<PenData>();
    wp->color = RGB(255, 255, 255);
    g.stock[WHITE_PEN] = Add(Kind::Pen, wp, true);
    g.stock[BLACK_PEN] = Add(Kind::Pen, std::make_shared<PenData>(), true);
    auto np = std::make_shared<PenData>();
    np->style = PS_NULL;
    g.stock[NULL_PEN] = Add(Kind::Pen, np, true);
    auto mono = NewBitmap(1, 1, 1, true, 2);
    mono->monoDdb = true;
    mono->stock = true;
    mono->palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    g.monoBitmap = Add(Kind::Bitmap, mono, true);
  }
  return g;
}

std::shared_ptr<DcData> DcOf(HDC dc) { return Get<DcData>(dc, Kind::Dc); }

}  // namespace

std::recursive_mutex& Mutex() {
  static std::recursive_mutex m;
  return m;
}

void* Add(Kind kind, std::shared_ptr<void> object, bool stock) {
  Table& t = TheTable();
  std::uint32_t index;
  if (!t.free.empty()) {
    index = t.free.back();
    t.free.pop_back();
  } else {
    index = static_cast<std::uint32_t>(t.slots.size());
    t.slots.emplace_back();
  }
  Slot& s = t.slots[index];
  s.kind = kind;
  s.stock = stock;
  s.object = std::move(object);
  return Encode(index, s);
}

std::shared_ptr<void> Find(const void* handle, Kind kind) {
  Slot* s = Decode(handle);
  if (!s || s->kind != kind) return nullptr;
  return s->object;
}

Kind KindOf(const void* handle) {
  Slot* s = Decode(handle);
  return s ? s->kind : Kind::None;
}

bool IsStock(const void* handle) {
  Slot* s = Decode(handle);
  return s && s->stock;
}

void Remove(const void* handle) {
  Slot* s = Decode(handle);
  if (!s) return;
  Table& t = TheTable();
  s->kind = Kind::None;
  s->object.reset();
  s->stock = false;
  s->generation = (s->generation + 1) & kGenMask;
  if (s->generation == 0) s->generation = 1;
  t.free.push_back(static_cast<std::uint32_t>(s - t.slots.data()));
}

void ForEachDc(void (*fn)(DcData&, void*), void* arg) {
  for (Slot& s : TheTable().slots)
    if (s.kind == Kind::Dc) fn(*std::static_pointer_cast<DcData>(s.object), arg);
}

std::shared_ptr<BrushData> BrushOf(HBRUSH brush) {
  auto v = reinterpret_cast<std::uintptr_t>(brush);
  if (v >= 1 && v <= SORVI_SYSCOLOR_COUNT) return Get<BrushData>(G().sysBrushes[v - 1], Kind::Brush);
  G();
  return Get<BrushData>(brush, Kind::Brush);
}

std::uint32_t BrushXrgb(const BrushData& brush) {
  COLORREF c = brush.sysIndex >= 0 ? G().colors[brush.sysIndex] : brush.color;
  return ColorRefToXrgb(c);
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) r = RECT{0, 0, 0, 0};
  return r;
}

Canvas CanvasOf(DcData& dc) {
  Canvas c;
  RECT bounds;
  if (dc.memory) {
    if (!dc.bitmap) return c;
    c.target = TargetOf(*dc.bitmap);
    c.origin = POINT{0, 0};
    bounds = RECT{0, 0, c.target.width, c.target.height};
  } else {
    if (!dc.surface || !dc.surface->pixels) return c;
    c.target = TargetOf(dc.surface);
    c.origin = dc.origin;
    bounds = Intersect(dc.baseClip, RECT{0, 0, c.target.width, c.target.height});
  }
  if (dc.hasClipRgn) {
    bounds = Intersect(bounds, Offset(dc.clipRgn, c.origin));
  }
  c.clip = bounds;
  c.ok = true;
  return c;
}

}  // namespace gdi

using namespace gdi;

void LockGdi() { Mutex().lock(); }
void UnlockGdi() { Mutex().unlock(); }

namespace {

std::shared_ptr<DcData> NewDc(bool memory) {
  Globals& g = G();
  auto dc = std::make_shared<DcData>();
  dc->memory = memory;
  dc->brush = Get<BrushData>(g.stock[WHITE_BRUSH], Kind::Brush);
  dc->brushHandle = g.stock[WHITE_BRUSH];
  dc->pen = Get<PenData>(g.stock[BLACK_PEN], Kind::Pen);
  dc->penHandle = g.stock[BLACK_PEN];
  return dc;
}

}  // namespace

HDC CreateSurfaceDC(Surface* surface, POINT origin, RECT clip) {
  Guard lock(Mutex());
  if (!surface) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto dc = NewDc(false);
  dc->surface = surface;
  dc->origin = origin;
  dc->baseClip = clip;
  return static_cast<HDC>(Add(Kind::Dc, dc));
}

BOOL ReleaseSurfaceDC(HDC hdc) {
  Guard lock(Mutex());
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc || dc->memory) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Remove(hdc);
  return TRUE;
}

HDC CreateCompatibleDC(HDC) {
  Guard lock(Mutex());
  auto dc = NewDc(true);
  dc->bitmapHandle = G().monoBitmap;
  dc->bitmap = Get<BitmapData>(dc->bitmapHandle, Kind::Bitmap);
  ++dc->bitmap->selectedIn;
  return static_cast<HDC>(Add(Kind::Dc, dc));
}

BOOL DeleteDC(HDC hdc) {
  Guard lock(Mutex());
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc || !dc->memory) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (dc->bitmap) --dc->bitmap->selectedIn;
  Remove(hdc);
  return TRUE;
}

// Also reached through SelectObject with a region.
int SelectClipRgn(HDC hdc, HRGN region) {
  Guard lock(Mutex());
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc) return ERROR;
  if (!region) {
    dc->hasClipRgn = false;
  } else {
    auto r = Get<RegionData>(region, Kind::Region);
    if (!r) return ERROR;
    dc->hasClipRgn = true;
    dc->clipRgn = r->rect;
  }
  Canvas c = CanvasOf(*dc);
  return (!c.ok || IsEmpty(c.clip)) ? NULLREGION : SIMPLEREGION;
}

int GetClipBox(HDC hdc, RECT* rect) {
  Guard lock(Mutex());
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc || !rect) return ERROR;
  Canvas c = CanvasOf(*dc);
  if (!c.ok || IsEmpty(c.clip)) {
    *rect = RECT{0, 0, 0, 0};
    return NULLREGION;
  }
  *rect = Offset(c.clip, POINT{-c.origin.x, -c.origin.y});
  return SIMPLEREGION;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  Guard lock(Mutex());
  auto dc = Get<DcData>(hdc, Kind::Dc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  switch (KindOf(object)) {
    case Kind::Brush: {
      HGDIOBJ old = dc->brushHandle;
      dc->brush = Get<BrushData>(object, Kind::Brush);
      dc->brushHandle = object;
      return old;
    }
    case Kind::Pen: {
      HGDIOBJ old = dc->penHandle;
      dc->pen = Get<PenData>(object, Kind::Pen);
      dc->penHandle = object;
      return old;
    }
    case Kind::Region:
      return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(SelectClipRgn(hdc, static_cast<HRGN>(object))));
    case Kind::Bitmap: {
      auto bm = Get<BitmapData>(object, Kind::Bitmap);
      if (!dc->memory || (bm->selectedIn > 0 && !bm->stock && dc->bitmap != bm)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      HGDIOBJ old = dc->bitmapHandle;
      if (dc->bitmap) --dc->bitmap->selectedIn;
      dc->bitmap = bm;
      dc->bitmapHandle = object;
      ++bm->selectedIn;
      return old;
    }
    default: {
      // (HBRUSH)(COLOR_x + 1) is a brush wherever brushes are taken.
      auto v = reinterpret_cast<std::uintptr_t>(object);
      if (v >= 1 && v <= SORVI_SYSCOLOR_COUNT) return SelectObject(hdc, G().sysBrushes[v - 1]);
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
}

BOOL DeleteObject(HGDIOBJ object) {
  Guard lock(Mutex());
  G();
  Kind k = KindOf(object);
  if (k == Kind::None || k == Kind::Dc || k == Kind::ImageList) {
    auto v = reinterpret_cast<std::uintptr_t>(object);
    if (v >= 1 && v <= SORVI_SYSCOLOR_COUNT) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (IsStock(object)) return TRUE;
  if (k == Kind::Bitmap && Get<BitmapData>(object, Kind::Bitmap)->selectedIn > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Remove(object);
  return TRUE;
}

HGDIOBJ GetStockObject(int object) {
  Guard lock(Mutex());
  if (object < 0 || object > NULL_PEN) return nullptr;
  return G().stock[object];
}

DWORD GetObjectType(HGDIOBJ object) {
  Guard lock(Mutex());
  switch (KindOf(object)) {
    case Kind::Pen:
      return OBJ_PEN;
    case Kind::Brush:
      return OBJ_BRUSH;
    case Kind::Bitmap:
      return OBJ_BITMAP;
    case Kind::Region:
      return OBJ_REGION;
    case Kind::Dc:
      return Get<DcData>(object, Kind::Dc)->memory ? OBJ_MEMDC : OBJ_DC;
    default:
      return 0;
  }
}

int GetGdiObjectCount() {
  Guard lock(Mutex());
  int n = 0;
  for (const Slot& s : TheTable().slots) n += s.kind != Kind::None && !s.stock;
  return n;
}

DWORD GetSysColor(int index) {
  Guard lock(Mutex());
  if (index < 0 || index >= SORVI_SYSCOLOR_COUNT) return 0;
  return G().colors[index];
}

HBRUSH GetSysColorBrush(int index) {
  Guard lock(Mutex());
  if (index < 0 || index >= SORVI_SYSCOLOR_COUNT) return nullptr;
  return static_cast<HBRUSH>(G().sysBrushes[index]);
}

BOOL SetSysColors(int count, const int* indices, const COLORREF* colors) {
  Guard lock(Mutex());
  if (count < 0 || (count > 0 && (!indices || !colors))) return FALSE;
  for (int i = 0; i < count; ++i)
    if (indices[i] < 0 || indices[i] >= SORVI_SYSCOLOR_COUNT) return FALSE;
  for (int i = 0; i < count; ++i) G().colors[indices[i]] = colors[i] & 0xFFFFFF;
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  Guard lock(Mutex());
  G();
  auto b = std::make_shared<BrushData>();
  b->color = color & 0xFFFFFF;
  return static_cast<HBRUSH>(Add(Kind::Brush, b));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  Guard lock(Mutex());
  if (style != PS_SOLID && style != PS_DASH && style != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  G();
  auto p = std::make_shared<PenData>();
  p->style = style;
  p->width = std::clamp(width, 1, 1024);
  p->color = color & 0xFFFFFF;
  return static_cast<HPEN>(Add(Kind::Pen, p));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  Guard lock(Mutex());
  auto r = std::make_shared<RegionData>();
  r->rect = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  return static_cast<HRGN>(Add(Kind::Region, r));
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  Guard lock(Mutex());
  auto dc = DcOf(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->textColor;
  dc->textColor = color & 0xFFFFFF;
  return old;
}

COLORREF GetTextColor(HDC hdc) {
  Guard lock(Mutex());
  auto dc = DcOf(hdc);
  return dc ? dc->textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  Guard lock(Mutex());
  auto dc = DcOf(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->bkColor;
  dc->bkColor = color & 0xFFFFFF;
  return old;
}

COLORREF GetBkColor(HDC hdc) {
  Guard lock(Mutex());
  auto dc = DcOf(hdc);
  return dc ? dc->bkColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
  Guard lock(Mutex());
  auto dc = DcOf(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

int GetBkMode(HDC hdc) {
  Guard lock(Mutex());
  auto dc = DcOf(hdc);
  return dc ? dc->bkMode : 0;
}
