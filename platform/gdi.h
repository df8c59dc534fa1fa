// The drawing subset: device contexts over window surfaces and bitmaps,
// brushes, pens, clip regions, fills, lines, polygons, edges, inversion,
// raster-op blits, DIB sections, colour-keyed blits and bitmap resources.
//
// GDI objects and DCs are generation-checked ids: a deleted or foreign handle
// is refused (0 / FALSE) and never dereferenced. Coordinates are logical =
// device units, relative to the DC's origin. All calls are safe from any
// thread (they take the GDI lock of platform/surface.h).
#pragma once

#include "platform/surface.h"
#include "platform/types.h"

using HGDIOBJ = void*;
SORVI_DECLARE_HANDLE(HBRUSH);
SORVI_DECLARE_HANDLE(HPEN);
SORVI_DECLARE_HANDLE(HBITMAP);
SORVI_DECLARE_HANDLE(HRGN);

#define RGB(r, g, b)                                                                      \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>((c) & 0xFF))
#define GetGValue(c) (static_cast<BYTE>(((c) >> 8) & 0xFF))
#define GetBValue(c) (static_cast<BYTE>(((c) >> 16) & 0xFF))

#define CLR_INVALID 0xFFFFFFFFu

// ---- Device contexts over window surfaces (for the window manager) ----

// A DC drawing into `surface`: logical (0,0) is surface point `origin` (a
// child window's client offset in its top-level surface); nothing is drawn
// outside `clip`, given in SURFACE coordinates (the window's visible client
// area, already cut by its ancestors). The DC starts with the default state:
// black pen, white brush, text black, background white, OPAQUE, no clip
// region. Null when the surface is null.
HDC CreateSurfaceDC(Surface* surface, POINT origin, RECT clip);
// FALSE for a memory DC or a stale handle.
BOOL ReleaseSurfaceDC(HDC dc);

// ---- Memory DCs and objects ----

// A memory DC with a 1x1 monochrome stock bitmap selected. `like` is ignored
// (every DC is compatible with every other).
HDC CreateCompatibleDC(HDC like);
// Memory DCs only; the selected bitmap is deselected, not deleted.
BOOL DeleteDC(HDC dc);

// Returns the object of the same kind it replaces. For regions it returns the
// region type (as SelectClipRgn). A bitmap already selected into another DC
// is refused (null).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Stock objects and system-colour brushes are not deleted (TRUE). A bitmap
// still selected into a DC is refused (FALSE); a pen or brush still selected
// is released once the DC lets go of it.
BOOL DeleteObject(HGDIOBJ object);

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
HGDIOBJ GetStockObject(int object);

#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_REGION 8
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10
// 0 for a stale or foreign handle.
DWORD GetObjectType(HGDIOBJ object);
// Test aid for leaks: the live DCs, objects and image lists, not counting
// stock objects and system-colour brushes.
int GetGdiObjectCount();

// ---- System colours ----
// The device's colour indices. COLOR_STATIC / COLOR_STATICTEXT are the
// handheld's own (background and text of static controls); they follow the
// standard set here as 25 and 26.
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_STATIC 25
#define COLOR_STATICTEXT 26
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT
#define SORVI_SYSCOLOR_COUNT 27

// 0 for an unknown index.
DWORD GetSysColor(int index);
// The shared brush of a system colour (follows SetSysColors); never deleted.
// Null for an unknown index.
HBRUSH GetSysColorBrush(int index);
// Changes system colours (tests, themes). FALSE if any index is unknown.
BOOL SetSysColors(int count, const int* indices, const COLORREF* colors);

// ---- Brushes, pens, text state ----

HBRUSH CreateSolidBrush(COLORREF color);
// Wherever a brush is taken (FillRect, class background brushes), the value
// (HBRUSH)(COLOR_x + 1) also means that system colour's brush.

#define PS_SOLID 0
#define PS_DASH 1
#define PS_NULL 5
// Widths 0 and 1 give a one-pixel pen; wider pens (up to 1024) plot a square
// per point.
// PS_DASH draws 6 pixels on, 4 off; with OPAQUE background mode the gaps take
// the background colour.
HPEN CreatePen(int style, int width, COLORREF color);

#define TRANSPARENT 1
#define OPAQUE 2
// Each returns the previous value; CLR_INVALID / 0 for a bad DC.
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);

// ---- Regions and clipping ----

#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3

HRGN CreateRectRgn(int left, int top, int right, int bottom);
// Region coordinates are logical. The DC keeps a copy (the region can be
// deleted afterwards); null removes the clip region. Returns the type of the
// resulting clip, ERROR for a bad DC or region.
int SelectClipRgn(HDC dc, HRGN region);
// The bounding box of what can be drawn, in logical coordinates.
int GetClipBox(HDC dc, RECT* rect);

// ---- Drawing ----

COLORREF GetPixel(HDC dc, int x, int y);  // CLR_INVALID outside the clip
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Right and bottom edges are excluded.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// XORs the colour bits (the index bits on palette bitmaps): twice = original.
BOOL InvertRect(HDC dc, const RECT* rect);

// Lines exclude their end point, except that a segment of zero length plots
// its one point.
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
// Filled with the brush (even-odd rule) and outlined with the pen.
BOOL Polygon(HDC dc, const POINT* points, int count);

#define BDR_RAISEDOUTER 0x0001
#define BDR_SUNKENOUTER 0x0002
#define BDR_RAISEDINNER 0x0004
#define BDR_SUNKENINNER 0x0008
#define BDR_OUTER (BDR_RAISEDOUTER | BDR_SUNKENOUTER)
#define BDR_INNER (BDR_RAISEDINNER | BDR_SUNKENINNER)
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001
#define BF_TOP 0x0002
#define BF_RIGHT 0x0004
#define BF_BOTTOM 0x0008
#define BF_TOPLEFT (BF_TOP | BF_LEFT)
#define BF_BOTTOMRIGHT (BF_BOTTOM | BF_RIGHT)
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
#define BF_MIDDLE 0x0800
#define BF_ADJUST 0x2000
#define BF_FLAT 0x4000
#define BF_MONO 0x8000
// BF_MONO: a one-pixel frame in COLOR_WINDOWFRAME whatever the edge kind.
// Otherwise up to two one-pixel borders in the 3D colours. BF_MIDDLE fills
// the inside with COLOR_BTNFACE; BF_ADJUST shrinks *rect by the borders.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);

// ---- Blits ----
// Raster operations are evaluated bitwise on the XRGB colour bits, so any
// ternary code works; the named ones are those the program uses.
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define SRCERASE 0x00440328u
#define NOTSRCCOPY 0x00330008u
#define NOTSRCERASE 0x001100A6u
#define MERGEPAINT 0x00BB0226u
#define PATCOPY 0x00F00021u
#define PATINVERT 0x005A0049u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

// The source may be the same DC or another DC over the same surface: the
// copy behaves as if the source were read whole before writing. The source's
// clip is ignored; parts outside the source bitmap are not drawn. Colour
// conversion: palette bitmaps through their palette; a monochrome bitmap
// from CreateBitmap gives the destination's text colour for 0 bits and its
// background colour for 1 bits; into a monochrome bitmap, pixels equal to the
// source DC's background colour become 1, others 0.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// Nearest-neighbour scaling; a negative size mirrors.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int swidth,
                int sheight, DWORD rop);
// Colour-keyed copy (with nearest-neighbour scaling): source pixels whose
// colour equals `key` are skipped. `source` is a DC or a bitmap handle.
BOOL TransparentImage(HDC dest, LONG x, LONG y, LONG width, LONG height, HANDLE source, LONG sx, LONG sy,
                      LONG swidth, LONG sheight, COLORREF key);

// ---- Bitmaps ----

struct BITMAP {
  LONG bmType;  // 0
  LONG bmWidth;
  LONG bmHeight;  // always positive
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;  // DIB sections only; null otherwise
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative = top-down rows
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;  // 0 = the full 2^bits palette for 1 and 8 bits
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

// The header followed by the palette (the caller allocates room for all its
// entries).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

#define BI_RGB 0
#define DIB_RGB_COLORS 0

// Planes 1, BI_RGB, 1, 8, 24 or 32 bits; rows DWORD-aligned, bottom-up
// unless the height is negative. The pixels start cleared to 0 and *bits
// points at them until the bitmap is deleted. `dc`, `section` and `offset`
// are ignored (section must be null). Null for anything else.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// A device bitmap: 1 bit (monochrome, 0 = black, 1 = white) or 32 bits
// (XRGB), rows top-down and WORD-aligned; `bits` (may be null) is copied in.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// Always 32-bit XRGB, cleared to black.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A bitmap resource registered as RT_BITMAP holding a PNG file; decoded to a
// 32-bit bitmap. Pixels with alpha below 128 become pure green (0x00FF00),
// the key colour the program draws bitmap resources with. Null (with
// ERROR_RESOURCE_NAME_NOT_FOUND or ERROR_INVALID_PARAMETER) on failure.
HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name);
// BITMAP for bitmaps (size >= sizeof(BITMAP)); with a null buffer returns the
// size needed. Returns the bytes written, 0 on failure.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
