// Small free functions over zero-terminated UTF-16 texts (and the 8-bit
// texts at the edges): lengths, copies with our truncation rules, number
// text, searching, and clean-up of texts that carry inline style codes.
// Everything works on caller-owned buffers unless it says it allocates;
// allocations come from the local heap and the caller frees them with
// LocalFree. Comparisons live in engine/text_compare.h, UTF-8 in
// engine/utf8.h.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Lengths, copies, allocation.
uint32_t WideStrLen(const WCHAR* s);  // 0 for null
void WideStrCopy(WCHAR* dst, const WCHAR* src);
// At most n units including the terminator; a text cut short keeps n - 1
// units and a terminator. n = 0 writes nothing.
void WideStrCopyN(WCHAR* dst, const WCHAR* src, uint32_t n);
// Copies until the terminator has been copied or n units were copied; no
// terminator is forced.
void WideStrCopyRawN(WCHAR* dst, const WCHAR* src, uint32_t n);
// As WideStrCopyRawN, each unit written byte-swapped (UTF-16 big-endian).
void WideStrCopySwapN(WCHAR* dst, const WCHAR* src, uint32_t n);
// Copies src without any unit equal to c (dst may be src); nothing happens
// when c is 0.
void WideStrRemoveChar(WCHAR* dst, const WCHAR* src, WCHAR c);
// New copy; null for a null or empty text.
WCHAR* WideStrDup(const WCHAR* s);
// Widens bytes 0-255 to U+0000-U+00FF until the terminator has been copied
// or n units were written; no terminator forced.
void WideFromNarrowN(WCHAR* dst, const char* src, uint32_t n);
// New widened copy with room for length + 2 units; null for null.
WCHAR* WideDupFromNarrow(const char* s);
// Low byte of each unit until the terminator has been copied or n bytes
// were written; no terminator forced.
void NarrowFromWideN(char* dst, const WCHAR* src, uint32_t n);

// In-place clean-up.
void WideTrimRight(WCHAR* s);      // trailing U+0020 only
void StripHighUnits(WCHAR* s);     // every unit from U+9FAF up (markup, compatibility forms)
// Removes the style codes U+EAB0-U+EAFF; U+EABA, U+EAC1, U+EAC3 and U+EAC5
// take their two payload units with them when both are there.
void StripFormatCodes(WCHAR* s);

// 1 when every unit is below U+0021, U+00A0 or U+3000 (an empty text too).
int IsBlankText(const WCHAR* s);
// Sum of all units: a cheap fingerprint of a text.
uint32_t SumWideChars(const WCHAR* s);

// Numbers. dst of WideFromInt holds at least 20 units; FormatHex8 and
// WideFromHex8 write 8 digits and a terminator.
void WideFromInt(WCHAR* dst, int32_t value);
// Decimal integer from the low bytes of the first 20 units: leading blanks
// and a sign accepted, stops at the first non-digit, 0 without digits;
// values beyond 32 bits saturate.
int32_t WideToInt(const WCHAR* s);
void FormatHex8(char* dst, uint32_t value);
void WideFromHex8(WCHAR* dst, uint32_t value);

// The first place in text where pattern matches, passing over the markup
// units U+EA90-U+EA9F of the text while matching; null when text is empty
// or nothing matches. *length (optional) receives the text units covered.
const WCHAR* FindText(const WCHAR* text, const WCHAR* pattern, uint32_t* length);
// Units that are A-Z, a-z, U+00E0-U+00E2 or U+00E8-U+00EA; 0 for null.
uint32_t CountKeyLetters(const WCHAR* s);

// "English" (0), "Chinese" (4096), "None" (65534), else "Unknown"; buffer
// holds at least 8 units (the longest name and its terminator).
void GetLanguageName(uint32_t code, WCHAR* buffer);
