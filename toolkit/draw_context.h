// The drawing layer under every control: a DrawContext per window that lends
// out the window's DC with a use count and keeps a clip, the ShortRect and
// ColorWord primitives, bitmap resources chosen by screen resolution, and the
// glyph compositor that builds a line of text in one of two shared 8-bit
// offscreens and copies it to the window in spans.
//
// UI thread only. Drawing calls acquire and release the DC around their work;
// none of them fails visibly (a missing window or object draws nothing).
#pragma once

#include <cstdint>

#include "platform/ui.h"

// {x, y, width, height}; x and y are signed where controls compute positions.
struct ShortRect {
  int16_t x;
  int16_t y;
  uint16_t width;
  uint16_t height;
};

RECT ShortRectToRect(const ShortRect& r);
ShortRect RectToShortRect(const RECT& r);

// A colour word: 0xRRGGBB, or with bit 24 a system colour chosen by bits
// 25-27 and the role it is used in.
using ColorWord = uint32_t;
inline constexpr ColorWord kColorSystem = 0x1000000;          // bit 24
inline constexpr ColorWord kColorWindowFamily = 0xA000000;    // bits 25 and 27 together
inline constexpr ColorWord kColorHighlight = 0x4000000;       // bit 26
inline constexpr ColorWord kColorWhite = 0x10000000;          // bit 28; transparent as a text background
inline constexpr ColorWord kColorUseBackground = 0x20000000;  // bit 29
// The words used throughout the toolkit.
inline constexpr ColorWord kColorStatic = 0x1000000;
inline constexpr ColorWord kColorStaticText = 0x3000000;
inline constexpr ColorWord kColorSelected = 0x7000000;
inline constexpr ColorWord kColorTransparent = 0x10000000;

enum ColorRole : int { kRoleForeground = 0, kRoleBackground = 1 };

// Word and role to 0xRRGGBB: bit 28 gives white, a plain word itself, else
// the system colour of the family table.
uint32_t ResolveColorWord(ColorWord word, int role);
// 0xRRGGBB <-> the platform's COLORREF (bytes 0 and 2 exchanged).
uint32_t SwapRgbBytes(uint32_t colour);
// For bit 24 the system colour's shared brush (*deleteFlag = 0); otherwise a
// new solid brush of the low 24 bits (*deleteFlag = 1, caller deletes).
HBRUSH GetColorWordBrush(ColorWord word, int role, int* deleteFlag);
// A new one-pixel pen (caller deletes): for bit 24 the background family when
// bit 29 is set, else the foreground family; otherwise the low 24 bits.
HPEN CreateColorWordPen(ColorWord word, int dashed);

// One glyph as the TrueType engine hands it over.
struct GlyphBitmap {
  int32_t rows;
  int32_t width;  // pixels
  int32_t pitch;  // bytes; negative for bottom-up rows
  const uint8_t* buffer;
  int32_t grays;      // grey levels (mode 2)
  int32_t pixelMode;  // 1 one bit a pixel (MSB first), 2 one byte a pixel
};

struct TextOffscreen {
  HBITMAP bitmap;
  uint32_t foreground;  // 0xRRGGBB
  uint32_t background;
  uint16_t width;
  uint16_t height;
  uint16_t bitsPerPixel;  // 8
  uint16_t colorCount;    // 256
  uint8_t* bits;
  uint16_t stride;
};

struct DrawContext {
  HWND window;
  HINSTANCE instance;  // where bitmap resources are loaded from
  HDC dc;              // held while useCount > 0
  int32_t useCount;
  HRGN clip;                 // selected by SetClipShortRect, or null
  TextOffscreen* offscreen;  // of the text line in progress, or null
  uint16_t spanLeft;         // pending (not yet copied) columns
  uint16_t lineTop;          // window y of offscreen row 0
  uint16_t spanRight;
  uint16_t lineHeight;      // rows of the line to copy
  uint16_t drawnTo;         // x up to which the line is on the window
  uint32_t lineForeground;  // the line's resolved colours
  uint32_t lineBackground;
};

// Zero-filled; null when the heap is exhausted.
DrawContext* NewDrawContext(HWND window, HINSTANCE instance);
// Releases a DC and clip still held. Null is ignored.
void FreeDrawContext(DrawContext* context);

HDC AcquireDrawDC(DrawContext* context);
void ReleaseDrawDC(DrawContext* context);
// Second names of the same two operations.
HDC GetDrawContextDC(DrawContext* context);
void ReleaseDrawContextDC(DrawContext* context);

// 8 bits: a palette of min(colours, 256) entries (at least 2) running from
// the background (0) to the foreground (last); 1 bit: {background,
// foreground}; 24 bits: none. Null for other depths. A negative height makes
// a top-down bitmap. *stride receives the bytes per row.
HBITMAP CreateGlyphBitmap(HDC dc, int width, int height, int bitsPerPixel, int colorCount, uint32_t foreground,
                          uint32_t background, uint8_t** bits, uint16_t* stride);

void FillShortRect(DrawContext* context, const ShortRect& r, ColorWord word);   // background role
void EraseShortRect(DrawContext* context, const ShortRect& r, ColorWord word);  // foreground role
void DrawShortRectEdge(DrawContext* context, const ShortRect& r, ColorWord word);
void InvertShortRect(DrawContext* context, const ShortRect& r);
void DrawLineColored(DrawContext* context, int x1, int y1, int x2, int y2, ColorWord word);
void DrawGreyLine(DrawContext* context, int x1, int y1, int x2, int y2);
// Outlined with the word's pen, filled with its brush in the foreground role.
// Coordinates are taken as their low 16 bits, unsigned.
void FillPolygon(DrawContext* context, ColorWord word, const POINT* points, int count);

// Resolution-chosen bitmap words (top byte 0x8C).
inline constexpr uint32_t kBitmapBackspace = 0x8C000001;
inline constexpr uint32_t kBitmapEnter = 0x8C000005;
inline constexpr uint32_t kBitmapShift = 0x8C000006;
inline constexpr uint32_t kBitmapDropDown = 0x8C000007;
// The resource id a bitmap word names on this screen.
uint16_t ResolveBitmapWord(uint32_t word);
// Draws the bitmap with pure green transparent, centred (+1) in a larger box
// and clipped to a smaller one; 0.
int DrawBitmapResource(DrawContext* context, uint32_t word, int x, int y, int boxWidth, int boxHeight);

// The clip stays selected in a DC held for it until ClearClip.
void SetClipShortRect(DrawContext* context, const ShortRect& r);
void ClearClip(DrawContext* context);
// Moves the rectangle's content by (dx, dy).
void ScrollShortRect(DrawContext* context, const ShortRect& r, int dx, int dy);

// The two shared offscreens (static text colours and selected colours), at
// the width of the screen's larger side and half its smaller side. Counted:
// every creator calls delete once, and the last delete frees them.
void CreateTextOffscreens();
void DeleteTextOffscreens();
// The two records while they exist (tests), else null.
const TextOffscreen* GetTextOffscreen(int index);

inline constexpr int kDecorationUnderline = 2;

void BeginTextDraw(DrawContext* context, int x, int y, int lineHeight, ColorWord foreground, ColorWord background);
// One glyph: (x, y) its top-left, penX and advance its cell, bearing its left
// offset from the pen. Rows at and past `rowLimit` are not drawn; with
// decoration 2 the underline lies on row rowLimit - 1.
void DrawGlyphRun(DrawContext* context, const GlyphBitmap* glyph, int x, int y, int penX, int advance, int rowLimit,
                  ColorWord foreground, ColorWord background, int decoration, int bearing);
void FlushTextDraw(DrawContext* context);
void EndTextDraw(DrawContext* context);
// Tests: every glyph takes the direct path.
void SetTextDrawDirectOnly(bool on);
