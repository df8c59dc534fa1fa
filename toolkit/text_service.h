// Measuring, breaking, hit-testing and drawing UTF-16 text that carries the
// inline style codes (toolkit/text_style.h), in one of the dict engine's font
// slots. The service keeps no state: each call gets the engine (slots, text
// scale), a slot number below the slot count, a pixel size and, where styles
// matter, a caller-owned TextStyleState that the call advances.
//
// Never drawn, zero width: the style codes U+EAB0-U+EAFF, the formatter's
// markup U+EA00-U+EA8F, and every unit while the hidden flag is set (the
// flag starts clear in every call). A 0 unit ends text early wherever a
// count is given. Measuring takes a payload when both following units are
// non-zero; drawing when both also lie within the count. Nothing fails: a
// slot that is not TrueType measures 0 and draws nothing.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "toolkit/draw_context.h"
#include "toolkit/text_style.h"

struct DictEngine;

int16_t GetCharAdvance(DictEngine* engine, uint16_t slot, uint16_t size, WCHAR character, const TextStyleState* style);
uint16_t GetLineHeight(DictEngine* engine, uint16_t slot, uint16_t size);
// TrueType: {cell width, line height, line height, 0}; result 0.
int GetFontMetrics(DictEngine* engine, uint16_t slot, uint16_t size, uint16_t out[4]);
// The greatest line height of the call's size and of every visible unit's
// size while sizeOn. The style is advanced.
uint16_t GetTextLineHeight(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, uint16_t count,
                           TextStyleState* style);
// Width of at most `count` units (an advance of exactly 255 counts as 0).
int16_t MeasureText(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, uint16_t count,
                    TextStyleState* style);
// 2 x position + 1 when x lies in the right half of the unit at position;
// 2 x count when no unit reaches past x.
uint16_t HitTestText(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, uint16_t count, int x,
                     TextStyleState* style);
// Units of one line that fit the width (a line break ending it included;
// CR LF counts as two units).
uint16_t FitText(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, int width, TextStyleState* style);
// Units of the next word-wrapped line; the style becomes the style at its end.
uint16_t FindLineBreak(DictEngine* engine, uint16_t slot, uint16_t size, const WCHAR* text, int width,
                       TextStyleState* style);
// The link around `position` (0-terminated text): start and end (start >= end
// means none), the hidden target of a U+EAD1 link in a new LocalAlloc block
// the caller frees (null when none), and the id (-1 when none). Each output
// may be null.
void GetLinkAt(DictEngine* engine, const WCHAR* text, uint16_t position, uint16_t* start, uint16_t* end, WCHAR** target,
               int32_t* id);
// Pixels advanced. With no style the codes change nothing.
int DrawStyledText(DictEngine* engine, DrawContext* context, uint16_t slot, uint16_t size, const WCHAR* text,
                   uint16_t count, int x, int y, int height, TextStyleState* style, ColorWord textColor,
                   ColorWord background);
// One character in the static text colour on a transparent background.
int DrawStyledChar(DictEngine* engine, DrawContext* context, uint16_t slot, uint16_t size, WCHAR character, int x,
                   int y, int height, TextStyleState* style);
