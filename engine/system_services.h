// Small services of the platform the engine uses: random numbers, sorting
// and its comparisons, decimal text, square root, the platform's name, file
// write stamps, and two record helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// 32 random bits from the platform's generator.
uint32_t GetRandom32();
// The same; the argument is not used.
uint32_t GetRandomValue(uint32_t n);
// Clears the first 72 bytes of a random-state record and returns it (the
// values always come from the system generator).
void* ClearRecord72(void* record);
void SortArray(void* base, size_t count, size_t width, int (*compare)(const void*, const void*));
// Sort comparisons for SortArray/qsort over records that start with two
// 32-bit words: -1, 0 or 1 by the signed value of the first (second) word.
int CompareFirstWord(const void* a, const void* b);
int CompareSecondWord(const void* a, const void* b);
// Decimal text of `value` ("-123"); `buffer` holds at least
// kDecimalTextSize bytes. Returns buffer.
inline constexpr size_t kDecimalTextSize = 12;
char* FormatDecimal(char* buffer, int32_t value);
// Leading blanks, an optional sign and digits; 0 when there are none. Values
// beyond 32 bits saturate.
int32_t ParseDecimal(const char* text);
double SquareRoot(double x);
// Copies "Windows Mobile" with its terminator (15 units) into `buffer`.
inline constexpr size_t kPlatformNameSize = 15;
void GetPlatformName(WCHAR* buffer);
// The whole last-write time (100 ns units) of the file at a UTF-8 device
// path; 0 when it cannot be read. The low word alone wraps every seven
// minutes, too often to tell a file from its copy.
uint64_t GetFileWriteStamp(const char* utf8Path);

// 1 when left <= x < left + width and top <= y < top + height for
// rect = {left, top, width, height}.
int PointInRect(int x, int y, const uint16_t* rect);
