// Text for dialogs and the standard controls: one label font (DejaVu Sans
// through FreeType, sized from the screen's dpi), measured and drawn into any
// DC with the DC's text colour, background colour and background mode.
// Without the font file text is measured with a fixed advance and drawn as
// hollow boxes, so layout stays the same.
//
// '&' is drawn as is (no mnemonic prefixes: the handheld has no keyboard
// accelerators on controls).
#pragma once

#include "platform/gdi.h"
#include "platform/types.h"

#define DT_TOP 0x0000u
#define DT_LEFT 0x0000u
#define DT_CENTER 0x0001u
#define DT_RIGHT 0x0002u
#define DT_VCENTER 0x0004u
#define DT_BOTTOM 0x0008u
#define DT_WORDBREAK 0x0010u
#define DT_SINGLELINE 0x0020u
#define DT_EXPANDTABS 0x0040u
#define DT_NOCLIP 0x0100u
#define DT_CALCRECT 0x0400u
#define DT_NOPREFIX 0x0800u
#define DT_END_ELLIPSIS 0x8000u

// Draws (or with DT_CALCRECT measures: rect's right and bottom are set)
// `count` characters (-1 = up to the terminator). Lines break at "\n"
// ("\r\n" counts once) and, with DT_WORDBREAK, between words to fit the
// width. Returns the height of the text; 0 on failure.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);
// Width and line height of a single line.
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);

// The label font's metrics in pixels: line height and the advance of a
// character (layout code of the controls works without a DC).
int DialogFontLineHeight();
int DialogTextWidth(LPCWSTR text, int count);
// Index of the character boundary nearest to x pixels into the line.
int DialogTextHitTest(LPCWSTR text, int count, int x);
// TRUE when the font file was found (tests can skip pixel checks otherwise).
BOOL DialogFontAvailable();
