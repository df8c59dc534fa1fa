// Image lists of the common controls: equal-sized images kept in one list,
// drawn opaque or through their mask.
#pragma once

#include "platform/gdi.h"
#include "platform/types.h"

SORVI_DECLARE_HANDLE(HIMAGELIST);

#define ILC_MASK 0x0001u
#define ILC_COLOR 0x0000u
#define ILC_COLOR8 0x0008u
#define ILC_COLOR16 0x0010u
#define ILC_COLOR24 0x0018u
#define ILC_COLOR32 0x0020u

#define ILD_NORMAL 0x0000u
#define ILD_TRANSPARENT 0x0001u
#define ILD_MASK 0x0010u
#define ILD_IMAGE 0x0020u

#define CLR_NONE 0xFFFFFFFFu
#define CLR_DEFAULT 0xFF000000u

// Images are stored as 32-bit colour whatever ILC_COLORx says; ILC_MASK gives
// each image a mask. `initial` and `grow` are only hints.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// Adds width / cx images cut from `image` left to right; `mask` (may be null)
// is a bitmap of the same size whose white (or 1) pixels are transparent.
// Returns the index of the first image added, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// Same with the pixels of colour `key` transparent.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF key);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
// The list's background colour (CLR_NONE by default); returns the old one.
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
// Draws image `index` at (x, y); width/height 0 = the image size, smaller
// values crop. Masked pixels are left alone when `background` is CLR_NONE
// (or CLR_DEFAULT with the list's background CLR_NONE) or the style has
// ILD_TRANSPARENT, otherwise painted in the background colour. A list
// without masks draws every pixel. `foreground` is accepted and ignored
// (blending is not supported). ILD_MASK draws the mask (black = image,
// white = transparent).
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height,
                      COLORREF background, COLORREF foreground, UINT style);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
