// Canonical Huffman decoding of the 16-bit text of data-file tables.
#pragma once

#include <cstdint>

// Built from a table's Huffman subtable: L (longest code length), m
// (shortest), k = L - m + 1 lengths; for i < k, the codes of length L - i
// start at first[i] (aligned to L bits) and their symbols at symbols[i].
struct HuffmanTable {
  uint32_t longest;   // L
  uint32_t shortest;  // m
  uint32_t lengths;   // k
  uint32_t first[32];
  uint32_t count[32];
  const uint8_t* symbols[32];  // 16-bit little-endian symbols inside the subtable record
};

// Builds the table over the subtable record's data (which must outlive it).
// Null for a malformed subtable: L above 32, m above L or 0, more symbols
// than the record holds, or counts that do not fit their code length.
HuffmanTable* NewHuffmanTable(const uint8_t* data, uint32_t size);
void FreeHuffmanTable(HuffmanTable* table);

// Result of decoding one code at a bit position.
struct HuffmanCode {
  uint16_t symbol;
  uint32_t length;  // bits taken; 0 when the bits are no code of the table
};

// Decodes the code at `bitPos` of a record of `byteCount` bytes; bits past
// the record's end read as zeros, so a code is never taken from beyond it.
HuffmanCode DecodeHuffmanCode(const HuffmanTable* table, const uint8_t* data, uint64_t byteCount, uint64_t bitPos);

// The code that `value`, the next `longest` bits of a text, begins with.
inline HuffmanCode DecodeHuffmanValue(const HuffmanTable* table, uint32_t value) {
  uint32_t lo = 0, hi = table->lengths;
  while (hi - lo > 1) {
    uint32_t mid = (lo + hi) / 2;
    if (value < table->first[mid])
      hi = mid;
    else
      lo = mid;
  }
  HuffmanCode code{0, 0};
  if (value < table->first[lo]) return code;
  uint32_t index = (value - table->first[lo]) >> lo;
  if (index >= table->count[lo]) return code;
  const uint8_t* s = table->symbols[lo] + 2 * index;
  code.symbol = static_cast<uint16_t>(s[0] | s[1] << 8);
  code.length = table->longest - lo;
  return code;
}

// The bits of a code that a quick table's first level is indexed by (a
// 4 KB first level; the codes of English text are shorter).
inline constexpr uint32_t kHuffmanQuickBits = 10;

// A quick-table entry is one of:
// - symbol | length << 16: the code that the bits looked up begin with;
// - kHuffmanQuickSub | n << 24 | offset: longer codes begin with them, and
//   the entry for the text's next n bits is quick[offset + those bits], of
//   the first kind or 0 (a second level never points further);
// - 0: the bits decide nothing quickly; DecodeHuffmanValue answers (rare
//   codes, and bits that begin no code).
// The second level turns the search of DecodeHuffmanValue into one more
// lookup for the long codes of Chinese characters, which are a tenth of
// the codes of a CC-CEDICT entry's text.
inline constexpr uint32_t kHuffmanQuickSub = 0x80000000u;

// The quick-table entry of a code's first `longest` bits (value), where
// bits (at most `longest`) index the first level: never of the second kind.
inline uint32_t LookUpHuffmanQuick(const uint32_t* quick, uint32_t value, uint32_t longest, uint32_t bits) {
  uint32_t known = quick[value >> (longest - bits)];
  if (known & kHuffmanQuickSub) {
    const uint32_t n = known >> 24 & 0x1F;
    known = quick[(known & 0xFFFFFF) + (value >> (longest - bits - n) & ((uint32_t{1} << n) - 1))];
  }
  return known;
}
