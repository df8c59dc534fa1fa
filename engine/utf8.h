// UTF-8 <-> UTF-16 conversion for the edges of the engine (SQL text, XML,
// imported and exported files, file names).
//
// Reading: 1-, 2- and 3-byte sequences give one unit each (a surrogate
// written as its own 3-byte sequence by older versions still reads back
// as that unit); a 4-byte sequence (lead F0-F7) gives a surrogate pair.
// Continuation bytes are not checked, as on the device. A stray
// continuation byte, or a lead byte F8-FF, gives nothing and is passed
// over; the bytes after it decode normally. A sequence that runs past the
// byte limit or into a 0 byte is not consumed, so a caller that reads a
// file in blocks can carry the incomplete tail over to the next block.
//
// Writing: U+0000-U+007F one byte, up to U+07FF two, a surrogate pair four,
// anything else (a lone surrogate too) three.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Decodes one character at src, where `avail` bytes may be read (bytes
// after a 0 byte are never looked at). Returns the bytes consumed, 0 when
// the sequence is incomplete. *unitCount receives 0 (nothing produced),
// 1 or 2 (a surrogate pair); out must hold 2 units.
uint32_t Utf8DecodeChar(const char* src, uint32_t avail, WCHAR* out, uint32_t* unitCount);

// Decodes src into dst, which holds dstUnits units including the
// terminator; dst is always terminated when dstUnits > 0, and a character
// that does not fit is left unconsumed. `limit` (optional): on entry a
// byte limit when above 0 (0: decode up to the terminating 0 byte); on
// return the number of bytes consumed. `bytesOut` (optional) receives the
// bytes written to dst, 2 per unit, terminator not counted.
// Returns the units written.
uint32_t Utf8ToWide(const char* src, WCHAR* dst, uint32_t dstUnits, uint32_t* limit, uint32_t* bytesOut);

// Units that Utf8ToWide would produce from the same input and byte limit
// (0 = up to the terminator), with room enough. 0 for null.
uint32_t Utf8CharCount(const char* src, uint32_t limit);

// Number of leading continuation bytes (0x80-0xBF) among the first
// min(n, 4) bytes of buf.
uint32_t CountUtf8TrailBytes(const char* buf, uint32_t n);

// Encodes src until its terminator or, when maxUnits > 0, until maxUnits
// units were taken (a pair cut by that bound is written as two lone
// surrogates). With quote set every "'" is written twice (SQL literals).
// dst holds dstBytes bytes including the terminator; it is always
// terminated when dstBytes > 0 and a character is never split: encoding
// stops before one that does not fit (size dst with Utf8Length + 1 to take
// the whole text). `length` (optional) receives the bytes written without
// the terminator. Returns the units consumed.
uint32_t WideToUtf8(const WCHAR* src, char* dst, uint32_t dstBytes, uint32_t maxUnits, uint32_t* length,
                    bool quote);

// Bytes WideToUtf8 would write for the same input (terminator not
// counted); 0 for null or empty.
uint32_t Utf8Length(const WCHAR* src, uint32_t maxUnits, bool quote);

// Newly allocated (local heap, caller frees with LocalFree) conversions of
// a whole text; null for null input or when memory runs out.
char* Utf8DupFromWide(const WCHAR* src, uint32_t maxUnits, bool quote);
WCHAR* WideDupFromUtf8(const char* src, uint32_t limit);
