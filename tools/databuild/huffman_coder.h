// Canonical Huffman code over 16-bit symbols, in the layout the reader
// decodes: codes of the longest length L take the smallest values (from 0),
// each shorter length continues above them. The code is always complete and
// its longest code has at least 8 bits, so the zero bits that pad a record
// to a whole byte can never decode as a symbol.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/databuild/bit_writer.h"
#include "tools/databuild/byte_sink.h"

namespace databuild {

constexpr unsigned kHuffmanMinLongest = 8;
constexpr unsigned kHuffmanMaxLength = 24;

struct HuffmanCode {
  unsigned longest = 0;                 // L
  unsigned shortest = 0;                // m
  std::vector<std::uint32_t> counts;    // counts[i]: codes of length L - i
  std::vector<char16_t> symbols;        // longest codes first, by value within a length
  std::vector<std::uint8_t> lengths;    // per symbol value (65536), 0 = no code
  std::vector<std::uint32_t> codes;     // per symbol value, right-aligned
};

// Symbol frequencies, one counter per 16-bit value.
struct HuffmanCounts {
  std::vector<std::uint64_t> freq = std::vector<std::uint64_t>(65536, 0);
};

void CountHuffmanSymbols(HuffmanCounts& counts, std::u16string_view text);

// Builds the code for the counted symbols (any count, including none).
// `maxLength` bounds the longest code (at most 32; 8 at least is used).
void BuildHuffmanCode(const HuffmanCounts& counts, unsigned maxLength, HuffmanCode* code);

// The decode table as stored in subtable record 0: L, m, the L - m + 1
// counts, then the symbols (16-bit each), padded to a multiple of 4 bytes.
ByteVec HuffmanTableBytes(const HuffmanCode& code);

// Encodes a record: its symbols' codes, then zero bits to a whole byte.
// Returns false when a symbol has no code.
bool HuffmanEncode(const HuffmanCode& code, std::u16string_view text, ByteVec* out);

}  // namespace databuild
