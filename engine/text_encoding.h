// Conversion of the engine's UTF-16 text to and from bytes in the five
// encodings of imports, exports and the reader's documents. GB-2312 and
// Big5 go only through the code-page tables of the installed data files
// (engine/code_pages.h); they cannot hold tone-marked pinyin, which they
// get as letters with tone digits (ConvertPinyinToneMarks does the same for
// UTF-16 text).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;

enum TextEncoding : uint32_t {
  kEncodingUtf8 = 0,
  kEncodingGb2312 = 1,
  kEncodingBig5 = 2,
  kEncodingUtf8Too = 3,  // treated exactly as 0
  kEncodingUtf16Le = 4,
  kEncodingUtf16Be = 5,
};

// Bytes EncodeWideText writes for the first `length` characters of text (0:
// the whole text), terminator not counted. 1 when the encoding has no code
// page, 0 for a null text.
uint32_t GetEncodedTextSize(DictEngine* engine, uint32_t encoding, const WCHAR* text, uint32_t length);

// Encodes at most textBytes / 2 characters of text (fewer when a 0 comes
// first) into out, which holds outBytes bytes including the terminator (one
// 0 byte, two for UTF-16); nothing is written past it, and a character that
// does not fit ends the text. *written (optional) receives the bytes
// written, terminator not counted (for UTF-16 the units before the text's
// 0, never bytes that were not written). 0, or 1 (nothing written) when the
// encoding has no code page.
int EncodeWideText(DictEngine* engine, uint32_t encoding, const WCHAR* text, char* out, uint32_t outBytes,
                   uint32_t textBytes, uint32_t* written);

// Bytes of UTF-16 (terminator not counted) DecodeTextToWide makes from the
// input. *length: in, the input's bytes (0: up to a 0 byte); out, the bytes
// that make whole characters. 0 when the encoding has no code page.
uint32_t GetDecodedTextSize(DictEngine* engine, uint32_t encoding, const char* bytes, uint32_t* length);

// Decodes into out, which holds outUnits units including the terminator
// (always written when outUnits > 0). *length: in, the input's bytes (0: up
// to a 0 byte); out, the bytes used: a character cut at the end of the
// input (a lead byte without its trail, half a UTF-16 unit, an incomplete
// UTF-8 sequence) or one that did not fit in out is left unused, so the
// caller can pass it again with the next block. *written (optional): bytes
// written, always even. 0, or 1 (nothing written) when the encoding has no
// code page.
int DecodeTextToWide(DictEngine* engine, uint32_t encoding, const char* bytes, WCHAR* out, uint32_t outUnits,
                     uint32_t* length, uint32_t* written);

// Writes text with each tone-marked letter as its base letter and a tone
// digit behind the syllable's final (Zhōngguó -> Zhong1guo2), "u:" as v,
// U+223C and U+FF5E as '~', U+0320, U+0323 and U+9FB0 and up dropped. out
// must hold 2 × length + 1 units; with out null a block of that size is
// allocated (LocalFree it). Returns out, or null for a null or empty text.
WCHAR* ConvertPinyinToneMarks(const WCHAR* text, WCHAR* out);
