// Helpers shared by the index modules (index_tables.cpp, posting_tables.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/databuild/table_builder.h"

namespace databuild {

// Bits that hold `value` (at least 1).
std::uint32_t BitsFor(std::uint64_t value);
// Most values of `bits` bits one record can hold: a record never crosses a
// block, and a block holds at most 65,535 units and 49,152 bytes.
std::uint32_t MaxValuesPerRecord(std::uint32_t bits);
// A block size in bytes that fits the column's largest bit-packed record.
std::uint32_t BitPackedBlockBytes(const ColumnSpec& column);

// The text less its parenthesised parts ("(" ")" and U+FF08 U+FF09, nested).
std::u16string WithoutParentheses(std::u16string_view text);
bool IsIndexBlank(char16_t u);  // U+0020, U+3000

}  // namespace databuild
