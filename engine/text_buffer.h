// TextBuffer: the UTF-16 output channel of every formatter (definitions,
// list rows, exported text and XML). The same calls append to a growable
// MemHandle block or to a fixed array the caller owns.
//
// A fixed buffer (data and capacity set, no handle) never grows: appends
// take what fits and always leave room for the terminator, so TextBufFinish
// can terminate the text without losing a unit. A growable buffer (a
// handle, or neither data nor handle: the first use makes a 128-unit
// block) grows by at least 128 units at a time.
//
// Results: 0 = done; 1 = the text did not fit (a fixed buffer is full, or
// a block could not be grown; what fitted was appended).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct MemHandle;

struct TextBuffer {
  WCHAR* data;        // the locked block, or the caller's array
  uint32_t capacity;  // units available at data
  MemHandle* handle;  // null for a fixed caller array
  uint32_t length;    // units written, terminator not counted
};

// Units a growable buffer gains at least when it grows.
constexpr uint32_t kTextBufGrowUnits = 128;

// length = 0, then TextBufAlloc.
void TextBufInit(TextBuffer* tb);
// With a handle: lock it, data = its block, capacity = its size / 2.
// A fixed array: nothing more. Neither: a new 128-unit handle. Then a
// counted 0 at the end of the text is dropped, so a finished text can be
// continued.
void TextBufAlloc(TextBuffer* tb);
// 0 when length + n < capacity (room for n units and the terminator),
// after growing a growable buffer when needed; 1 when a fixed buffer lacks
// the room or the block cannot grow.
int TextBufEnsureRoom(TextBuffer* tb, uint32_t n);

// Appends c (a 0 too, which then counts in the length). When a fixed
// buffer is full, c = 0 replaces the last unit and gives 0; any other c is
// dropped and gives 1.
int TextBufAppendChar(TextBuffer* tb, WCHAR c);
// 1 when empty, else the last unit becomes c and 0.
int TextBufReplaceLast(TextBuffer* tb, WCHAR c);
// 1 when the text ends with U+000A.
int TextBufEndsWithNewline(const TextBuffer* tb);

// Appends count units of text (count 0: up to its terminator; a null text
// is empty). swap: each unit is byte-swapped first. skip (not 0): units
// equal to it are left out; skip U+000A leaves out U+000D too, so that
// line breaks go whole.
int TextBufAppendWideEx(TextBuffer* tb, const WCHAR* text, uint32_t count, bool swap, WCHAR skip);
int TextBufAppendWide(TextBuffer* tb, const WCHAR* text, uint32_t count);
int TextBufAppendWideOpt(TextBuffer* tb, const WCHAR* text, uint32_t count, bool swap, WCHAR skip);

// Appends count bytes (0: up to the terminator). utf8: decoded as
// engine/utf8.h describes, a decoded 0 not written, an incomplete tail
// ending the append. Raw: each byte one unit, sign-extended (0x80-0xFF
// become U+FF80-U+FFFF).
int TextBufAppendBytes(TextBuffer* tb, const char* bytes, uint32_t count, bool utf8);
int TextBufAppendNarrowRaw(TextBuffer* tb, const char* bytes, uint32_t count);
int TextBufAppendUtf8(TextBuffer* tb, const char* bytes, uint32_t count);

// Appends text escaped for XML character data and attribute values: " & '
// < > as entities; control characters other than TAB, LF and CR, lone
// surrogates, U+FFFE, U+FFFF and skip (when not 0) left out. A valid
// surrogate pair is kept. swap and count as TextBufAppendWideEx.
int TextBufAppendXmlEscaped(TextBuffer* tb, const WCHAR* text, uint32_t count, bool swap, WCHAR skip);
// UTF-8 bytes escaped the same way (count 0: up to the terminator).
int TextBufAppendUtf8Xml(TextBuffer* tb, const char* bytes, uint32_t count);

// Terminates the text (not counted) and unlocks the handle, if any.
void TextBufFinish(TextBuffer* tb);

// Unlocks handle, resizes it to *size + n bytes and locks it again into
// *pointer; *size grows by n on success. Returns the resize result (0 ok;
// on failure the old block stays, locked again into *pointer).
int GrowLockedHandle(void** pointer, MemHandle* handle, uint32_t* size, uint32_t n);
