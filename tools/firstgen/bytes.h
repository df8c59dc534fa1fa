// Byte vectors and fixed-width fields in either byte order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace firstgen {

using Bytes = std::vector<uint8_t>;

// Writes `width` (1, 2 or 4) bytes of value at offset, growing the vector
// with zeros when needed.
void PutBe(Bytes* b, size_t offset, uint32_t width, uint32_t value);
void PutLe(Bytes* b, size_t offset, uint32_t width, uint32_t value);
void AppendBe(Bytes* b, uint32_t width, uint32_t value);
void AppendLe(Bytes* b, uint32_t width, uint32_t value);
void PutText(Bytes* b, size_t offset, const std::string& text);

// UTF-8 to UTF-16 (no checks beyond what well-formed input needs).
std::u16string Utf16(const std::string& utf8);

}  // namespace firstgen
