// Small services of the platform the engine uses: random numbers, sorting,
// decimal text, square root, the platform's name and file write stamps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// 32 random bits from the platform's generator.
uint32_t GetRandom32();
void SortArray(void* base, size_t count, size_t width, int (*compare)(const void*, const void*));
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
// Low 32 bits of the last-write time of the file at a UTF-8 device path;
// 0 when it cannot be read.
uint32_t GetFileWriteStamp(const char* utf8Path);
