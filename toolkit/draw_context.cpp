#include "toolkit/draw_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/heap.h"
#include "platform/resources.h"

RECT ShortRectToRect(const ShortRect& r) {
  return RECT{r.x, r.y, r.x + static_cast<LONG>(r.width), r.y + static_cast<LONG>(r.height)};
}

ShortRect RectToShortRect(const RECT& r) {
  return ShortRect{static_cast<int16_t>(r.left), static_cast<int16_t>(r.top), static_cast<uint16_t>(r.right - r.left),
                   static_cast<uint16_t>(r.bottom - r.top)};
}

uint32_t SwapRgbBytes(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFF) << 16) | ((colour >> 16) & 0xFF);
}

// The system colour index of a bit-24 word in the role.
static int SystemColorIndex(ColorWord word, int role) {
  bool foreground = role == kRoleForeground && !(word & kColorUseBackground);
  if (word & kColorHighlight) return foreground ? COLOR_HIGHLIGHTTEXT : COLOR_HIGHLIGHT;
  if ((word & kColorWindowFamily) == kColorWindowFamily) return foreground ? COLOR_WINDOWTEXT : COLOR_WINDOW;
  return foreground ? COLOR_STATICTEXT : COLOR_STATIC;
}

uint32_t ResolveColorWord(ColorWord word, int role) {
  if (word & kColorWhite) return 0xFFFFFF;
  if (!(word & kColorSystem)) return word;
  return SwapRgbBytes(GetSysColor(SystemColorIndex(word, role)) & 0xFFFFFF);
}

HBRUSH GetColorWordBrush(ColorWord word, int role, int* deleteFlag) {
  if (word & kColorSystem) {
    *deleteFlag = 0;
    return GetSysColorBrush(SystemColorIndex(word, role));
  }
  *deleteFlag = 1;
  return CreateSolidBrush(SwapRgbBytes(word & 0xFFFFFF));
}

HPEN CreateColorWordPen(ColorWord word, int dashed) {
  COLORREF colour;
  if (word & kColorSystem)
    colour = GetSysColor(SystemColorIndex(word, (word & kColorUseBackground) ? kRoleBackground : kRoleForeground));
  else
    colour = SwapRgbBytes(word & 0xFFFFFF);
  return CreatePen(dashed ? PS_DASH : PS_SOLID, 1, colour);
}

DrawContext* NewDrawContext(HWND window, HINSTANCE instance) {
  auto* context = static_cast<DrawContext*>(LocalAlloc(LPTR, sizeof(DrawContext)));
  if (!context) return nullptr;
  context->window = window;
  context->instance = instance;
  return context;
}

void FreeDrawContext(DrawContext* context) {
  if (!context) return;
  if (context->clip) ClearClip(context);
  if (context->dc) ReleaseDC(context->window, context->dc);
  LocalFree(context);
}

HDC AcquireDrawDC(DrawContext* context) {
  if (context->useCount != 0 && context->dc) {
    ++context->useCount;
    return context->dc;
  }
  context->useCount = 0;
  context->dc = GetDC(context->window);
  if (context->dc) context->useCount = 1;
  return context->dc;
}

void ReleaseDrawDC(DrawContext* context) {
  if (context->useCount <= 0) return;
  if (--context->useCount == 0) {
    if (context->dc) ReleaseDC(context->window, context->dc);
    context->dc = nullptr;
  }
}

HDC GetDrawContextDC(DrawContext* context) { return AcquireDrawDC(context); }
void ReleaseDrawContextDC(DrawContext* context) { ReleaseDrawDC(context); }

static RGBQUAD Quad(uint32_t rgb) {
  return RGBQUAD{static_cast<BYTE>(rgb & 0xFF), static_cast<BYTE>((rgb >> 8) & 0xFF),
                 static_cast<BYTE>((rgb >> 16) & 0xFF), 0};
}

HBITMAP CreateGlyphBitmap(HDC dc, int width, int height, int bitsPerPixel, int colorCount, uint32_t foreground,
                          uint32_t background, uint8_t** bits, uint16_t* stride) {
  if (bitsPerPixel != 1 && bitsPerPixel != 8 && bitsPerPixel != 24) return nullptr;
  int entries = bitsPerPixel == 1 ? 2 : bitsPerPixel == 8 ? std::clamp(colorCount, 2, 256) : 0;
  size_t size = sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * static_cast<size_t>(std::max(entries, 1));
  auto* info = static_cast<BITMAPINFO*>(LocalAlloc(LPTR, size));
  if (!info) return nullptr;
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = static_cast<DWORD>(entries);
  if (bitsPerPixel == 1) {
    info->bmiColors[0] = Quad(background);
    info->bmiColors[1] = Quad(foreground);
  } else if (bitsPerPixel == 8) {
    int n = entries - 1;
    for (int i = 0; i <= n; ++i) {
      uint32_t rgb = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t b = (background >> shift) & 0xFF, f = (foreground >> shift) & 0xFF;
        rgb |= ((b * static_cast<uint32_t>(n - i) + f * static_cast<uint32_t>(i)) / static_cast<uint32_t>(n)) << shift;
      }
      info->bmiColors[i] = Quad(rgb);
    }
  }
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  LocalFree(info);
  if (!bitmap) return nullptr;
  BITMAP bm{};
  GetObjectW(bitmap, sizeof(bm), &bm);
  if (bits) *bits = static_cast<uint8_t*>(pixels);
  if (stride) *stride = static_cast<uint16_t>(bm.bmWidthBytes);
  return bitmap;
}

static void FillWithBrush(DrawContext* context, const ShortRect& r, ColorWord word, int role) {
  HDC dc = AcquireDrawDC(context);
  if (!dc) return;
  int owned = 0;
  HBRUSH brush = GetColorWordBrush(word, role, &owned);
  RECT rect = ShortRectToRect(r);
  FillRect(dc, &rect, brush);
  if (owned) DeleteObject(brush);
  ReleaseDrawDC(context);
}

void FillShortRect(DrawContext* context, const ShortRect& r, ColorWord word) {
  FillWithBrush(context, r, word, kRoleBackground);
}

void EraseShortRect(DrawContext* context, const ShortRect& r, ColorWord word) {
  FillWithBrush(context, r, word, kRoleForeground);
}

void DrawShortRectEdge(DrawContext* context, const ShortRect& r, ColorWord) {
  HDC dc = AcquireDrawDC(context);
  if (!dc) return;
  RECT rect = ShortRectToRect(r);
  DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT | BF_MONO);
  ReleaseDrawDC(context);
}

void InvertShortRect(DrawContext* context, const ShortRect& r) {
  HDC dc = AcquireDrawDC(context);
  if (!dc) return;
  RECT rect = ShortRectToRect(r);
  InvertRect(dc, &rect);
  ReleaseDrawDC(context);
}

static void DrawLineWithPen(DrawContext* context, int x1, int y1, int x2, int y2, HPEN pen) {
  HDC dc = AcquireDrawDC(context);
  if (dc && pen) {
    HGDIOBJ old = SelectObject(dc, pen);
    POINT points[2] = {{x1, y1}, {x2, y2}};
    Polyline(dc, points, 2);
    SelectObject(dc, old);
  }
  if (pen) DeleteObject(pen);
  if (dc) ReleaseDrawDC(context);
}

void DrawLineColored(DrawContext* context, int x1, int y1, int x2, int y2, ColorWord word) {
  DrawLineWithPen(context, x1, y1, x2, y2, CreateColorWordPen(word, 0));
}

void DrawGreyLine(DrawContext* context, int x1, int y1, int x2, int y2) {
  DrawLineWithPen(context, x1, y1, x2, y2, CreatePen(PS_DASH, 1, SwapRgbBytes(0xCCCCCC)));
}

void FillPolygon(DrawContext* context, ColorWord word, const POINT* points, int count) {
  if (!points || count <= 0) return;
  HDC dc = AcquireDrawDC(context);
  if (!dc) return;
  auto* copy = static_cast<POINT*>(LocalAlloc(LPTR, sizeof(POINT) * static_cast<size_t>(count)));
  if (copy) {
    for (int i = 0; i < count; ++i)
      copy[i] = POINT{static_cast<LONG>(points[i].x & 0xFFFF), static_cast<LONG>(points[i].y & 0xFFFF)};
    HPEN pen = CreateColorWordPen(word, 0);
    int owned = 0;
    HBRUSH brush = GetColorWordBrush(word, kRoleForeground, &owned);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Polygon(dc, copy, count);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    if (owned) DeleteObject(brush);
    LocalFree(copy);
  }
  ReleaseDrawDC(context);
}

uint16_t ResolveBitmapWord(uint32_t word) {
  if ((word >> 24) == 0x8C) {
    // The smaller dpi decides, so a screen with one low-resolution axis gets
    // the small bitmaps.
    int dpi = std::min(GetDeviceCaps(nullptr, LOGPIXELSX), GetDeviceCaps(nullptr, LOGPIXELSY));
    bool large = 3 * dpi / 96 >= 4;
    switch (word) {
      case kBitmapBackspace:
        return large ? 4592 : 4591;
      case kBitmapEnter:
        return large ? 4612 : 4611;
      case kBitmapShift:
        return large ? 5349 : 5348;
      case kBitmapDropDown:
        return large ? 5326 : 5325;
      default:
        break;
    }
  }
  return static_cast<uint16_t>(word & 0xFFFF);
}

int DrawBitmapResource(DrawContext* context, uint32_t word, int x, int y, int boxWidth, int boxHeight) {
  HBITMAP bitmap = LoadBitmapW(context->instance, MAKEINTRESOURCEW(ResolveBitmapWord(word)));
  if (!bitmap) return 0;
  BITMAP bm{};
  GetObjectW(bitmap, sizeof(bm), &bm);
  HDC dc = AcquireDrawDC(context);
  if (dc) {
    bool clip = false;
    if ((boxWidth == 0 || boxWidth > bm.bmWidth) && (boxHeight == 0 || boxHeight > bm.bmHeight)) {
      if (boxWidth != 0 && boxHeight != 0) {
        x += (boxWidth - bm.bmWidth) / 2 + 1;
        y += (boxHeight - bm.bmHeight) / 2 + 1;
      }
    } else {
      HRGN region = CreateRectRgn(x, y, x + boxWidth, y + boxHeight);
      SelectClipRgn(dc, region);
      DeleteObject(region);
      clip = true;
    }
    TransparentImage(dc, x, y, bm.bmWidth, bm.bmHeight, bitmap, 0, 0, bm.bmWidth, bm.bmHeight, RGB(0, 0xFF, 0));
    if (clip) {
      // Back to the context's own clip, if it keeps one.
      SelectClipRgn(dc, context->clip);
    }
    ReleaseDrawDC(context);
  }
  DeleteObject(bitmap);
  return 0;
}

void SetClipShortRect(DrawContext* context, const ShortRect& r) {
  if (context->clip) ClearClip(context);
  RECT rect = ShortRectToRect(r);
  context->clip = CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
  HDC dc = AcquireDrawDC(context);
  if (dc) SelectClipRgn(dc, context->clip);
}

void ClearClip(DrawContext* context) {
  if (!context->clip) return;
  if (context->dc) SelectClipRgn(context->dc, nullptr);
  DeleteObject(context->clip);
  context->clip = nullptr;
  ReleaseDrawDC(context);
}

void ScrollShortRect(DrawContext* context, const ShortRect& r, int dx, int dy) {
  HDC dc = AcquireDrawDC(context);
  if (!dc) return;
  BitBlt(dc, r.x, r.y, r.width, r.height, dc, r.x - dx, r.y - dy, SRCCOPY);
  ReleaseDrawDC(context);
}

// ---- The text offscreens ----

namespace {
TextOffscreen g_offscreens[2];
int g_offscreenUsers = 0;
bool g_directOnly = false;
}  // namespace

void CreateTextOffscreens() {
  if (g_offscreenUsers++ > 0) return;
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  const ColorWord words[2] = {kColorStaticText, kColorSelected};
  for (int i = 0; i < 2; ++i) {
    TextOffscreen& o = g_offscreens[i];
    o = TextOffscreen{};
    o.foreground = ResolveColorWord(words[i], kRoleForeground);
    o.background = ResolveColorWord(words[i], kRoleBackground);
    o.width = static_cast<uint16_t>(std::max(w, h));
    o.height = static_cast<uint16_t>(std::min(w, h) / 2);
    o.bitsPerPixel = 8;
    o.colorCount = 256;
    o.bitmap = CreateGlyphBitmap(nullptr, o.width, -static_cast<int>(o.height), 8, 256, o.foreground, o.background,
                                 &o.bits, &o.stride);
    if (!o.bitmap) o = TextOffscreen{};
  }
}

void DeleteTextOffscreens() {
  if (g_offscreenUsers <= 0 || --g_offscreenUsers > 0) return;
  for (TextOffscreen& o : g_offscreens) {
    if (o.bitmap) DeleteObject(o.bitmap);
    o = TextOffscreen{};
  }
}

const TextOffscreen* GetTextOffscreen(int index) {
  if (index < 0 || index > 1 || !g_offscreens[index].bitmap) return nullptr;
  return &g_offscreens[index];
}

void SetTextDrawDirectOnly(bool on) { g_directOnly = on; }

void BeginTextDraw(DrawContext* context, int x, int y, int lineHeight, ColorWord foreground, ColorWord background) {
  context->spanLeft = context->spanRight = static_cast<uint16_t>(x);
  context->lineTop = static_cast<uint16_t>(y);
  context->lineHeight = static_cast<uint16_t>(lineHeight);
  context->drawnTo = 0;
  context->offscreen = nullptr;
  context->lineForeground = ResolveColorWord(foreground, kRoleForeground);
  context->lineBackground = ResolveColorWord(background, kRoleBackground);
  if (g_directOnly) return;
  for (TextOffscreen& o : g_offscreens) {
    if (o.bitmap && o.foreground == context->lineForeground && o.background == context->lineBackground &&
        o.height >= lineHeight) {
      context->offscreen = &o;
      std::memset(o.bits, 0, static_cast<size_t>(o.stride) * o.height);
      break;
    }
  }
}

// Row r (0 = top) of the glyph's pixels.
static const uint8_t* GlyphRow(const GlyphBitmap* g, int r) {
  int stride = std::abs(g->pitch);
  return g->pitch >= 0 ? g->buffer + static_cast<ptrdiff_t>(r) * stride
                       : g->buffer + static_cast<ptrdiff_t>(g->rows - 1 - r) * stride;
}

void FlushTextDraw(DrawContext* context) {
  TextOffscreen* o = context->offscreen;
  if (!o || context->spanRight <= context->spanLeft) return;
  int from = context->spanLeft;
  if (context->drawnTo != 0 && context->drawnTo > from) from = context->drawnTo;
  int to = std::min<int>(context->spanRight, o->width);
  int rows = std::min<int>(context->lineHeight, o->height);
  if (to > from && rows > 0) {
    HDC dc = AcquireDrawDC(context);
    if (dc) {
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(memory, o->bitmap);
      BitBlt(dc, from, context->lineTop, to - from, rows, memory, from, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
      ReleaseDrawDC(context);
    }
  }
  context->spanLeft = context->drawnTo = context->spanRight;
}

void EndTextDraw(DrawContext* context) {
  if (!context->offscreen) return;
  FlushTextDraw(context);
  context->offscreen = nullptr;
}

// Writes the glyph into the offscreen; false (nothing written) when it does
// not fit there, so that the caller draws it straight to the window. Every
// write stays inside the shared bitmap.
static bool DrawGlyphToOffscreen(DrawContext* context, const GlyphBitmap* g, int x, int y, int penX, int rows,
                                 int rowLimit, int extent, int decoration, int bearing) {
  TextOffscreen* o = context->offscreen;
  int rowPixels = g->pixelMode == 2 ? std::abs(g->pitch) : 8 * std::abs(g->pitch);
  int top = y - context->lineTop;
  int bottom = std::max(top + rows, decoration == kDecorationUnderline ? top + rowLimit : 0);
  if (x < 0 || top < 0 || bottom > o->height) return false;
  if (decoration == kDecorationUnderline && (rowLimit <= 0 || x + extent > o->width)) return false;
  if (x + rowPixels > o->width) return true;  // past the screen's widest line: not drawn at all
  int ored = bearing < 0 ? -bearing : 0;
  for (int r = 0; r < rows; ++r) {
    const uint8_t* src = GlyphRow(g, r);
    uint8_t* dst = o->bits + static_cast<ptrdiff_t>(top + r) * o->stride + x;
    for (int c = 0; c < rowPixels; ++c) {
      uint8_t v = g->pixelMode == 2 ? src[c] : ((src[c >> 3] >> (7 - (c & 7))) & 1) ? 255 : 0;
      dst[c] = c < ored ? static_cast<uint8_t>(dst[c] | v) : v;
    }
  }
  int moved = 0;
  if (x < context->spanLeft) {
    moved = context->spanLeft - x;
    context->spanLeft = static_cast<uint16_t>(x);
  }
  if (x + extent > context->spanRight)
    context->spanRight = static_cast<uint16_t>(std::min<int>(x + extent + moved, o->width));
  context->lineHeight = static_cast<uint16_t>(std::max<int>(context->lineHeight, top + rows));
  if (decoration == kDecorationUnderline) {
    int row = top + rowLimit - 1;
    int from = std::max(0, std::min(penX, x));
    std::memset(o->bits + static_cast<ptrdiff_t>(row) * o->stride + from, 255,
                static_cast<size_t>(std::max(0, x + extent - from)));
    context->lineHeight = static_cast<uint16_t>(std::max<int>(context->lineHeight, top + rowLimit));
  }
  return true;
}

static void DrawGlyphDirect(DrawContext* context, const GlyphBitmap* g, int x, int y, int penX, int advance, int rows,
                            int rowLimit, ColorWord foreground, ColorWord background, int extent, int decoration,
                            int bearing) {
  HDC dc = AcquireDrawDC(context);
  if (!dc) return;
  bool transparent = (background & kColorWhite) != 0;
  uint32_t fg = ResolveColorWord(foreground, kRoleForeground);
  uint32_t bg = ResolveColorWord(background, kRoleBackground);
  if (!transparent && (penX < x || advance > g->width || context->lineTop < y || context->lineHeight > g->rows)) {
    int left = std::min(penX, x);
    RECT cell{left, context->lineTop, std::max(penX, x) + advance - bearing, context->lineTop + context->lineHeight};
    HBRUSH brush = CreateSolidBrush(SwapRgbBytes(bg));
    FillRect(dc, &cell, brush);
    DeleteObject(brush);
  }
  if (rows > 0 && g->width > 0 && (g->pixelMode == 1 || g->pixelMode == 2)) {
    int stride = std::abs(g->pitch);
    bool grey = g->pixelMode == 2;
    uint8_t* bits = nullptr;
    uint16_t dstStride = 0;
    HBITMAP bitmap = CreateGlyphBitmap(dc, grey ? stride : 8 * stride, -rows, grey ? 8 : 1, grey ? g->grays : 2, fg, bg,
                                       &bits, &dstStride);
    if (bitmap) {
      for (int r = 0; r < rows; ++r) {
        uint8_t* dst = bits + static_cast<ptrdiff_t>(r) * dstStride;
        std::memcpy(dst, GlyphRow(g, r), static_cast<size_t>(stride));
        std::memset(dst + stride, 0, static_cast<size_t>(dstStride - stride));
      }
      if (transparent) {
        TransparentImage(dc, x, y, g->width, rows, bitmap, 0, 0, g->width, rows, RGB(255, 255, 255));
      } else {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(dc, x, y, g->width, rows, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
      }
      DeleteObject(bitmap);
    }
  }
  if (decoration == kDecorationUnderline && rowLimit > 0) {
    // The underline joins the previous glyph's when there is one; the first
    // glyph's starts at its own cell.
    int from = context->drawnTo != 0 ? std::min<int>(context->drawnTo, x) : std::min(penX, x);
    int row = y + rowLimit - 1;
    DrawLineColored(context, from, row, x + extent, row, foreground);
  }
  context->drawnTo = static_cast<uint16_t>(std::max(0, x + extent));
  ReleaseDrawDC(context);
}

void DrawGlyphRun(DrawContext* context, const GlyphBitmap* glyph, int x, int y, int penX, int advance, int rowLimit,
                  ColorWord foreground, ColorWord background, int decoration, int bearing) {
  if (!context || !glyph) return;
  int rows = std::clamp(rowLimit, 0, std::max(glyph->rows, 0));
  int extent = std::max(advance - bearing, glyph->width);
  TextOffscreen* o = context->offscreen;
  if (o && (glyph->pixelMode == 1 || glyph->pixelMode == 2) && !(background & kColorWhite) &&
      ResolveColorWord(foreground, kRoleForeground) == o->foreground &&
      ResolveColorWord(background, kRoleBackground) == o->background) {
    if (DrawGlyphToOffscreen(context, glyph, x, y, penX, rows, rowLimit, extent, decoration, bearing)) return;
  }
  if (context->spanRight > context->spanLeft) FlushTextDraw(context);
  DrawGlyphDirect(context, glyph, x, y, penX, advance, rows, rowLimit, foreground, background, extent, decoration,
                  bearing);
}
