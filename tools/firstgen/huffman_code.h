// The canonical Huffman code of first-generation text rows, written from
// symbol counts: longest codes numerically smallest. For index j (code
// length Lmax - j) the first code is u[j], u[0] = 0 and
// u[j] = (u[j-1] + count[j-1]) / 2, which a full code tree always makes
// exact.
//
// Code record (big-endian): u16 Lmax, u16 Lmin (low byte), L u32 counts
// (index j = length Lmax - j), then the u16 symbols length by length.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/firstgen/bytes.h"

namespace firstgen {

struct HuffmanCode {
  uint32_t maxLength = 0;
  uint32_t minLength = 0;
  std::map<uint16_t, uint32_t> lengths;                     // symbol -> code length
  std::map<uint16_t, std::pair<uint32_t, uint32_t>> codes;  // symbol -> (code, length)
  std::vector<uint32_t> counts;                             // index j
  std::vector<std::vector<uint16_t>> symbols;               // index j, in code order
};

// From symbol frequencies. singleLength: every code has the same length
// (the fewest bits that number the symbols, at least 1). False when there
// are no symbols or a code would be longer than 32 bits.
bool BuildHuffmanCode(const std::map<uint16_t, uint64_t>& frequencies, bool singleLength, HuffmanCode* code);
Bytes WriteHuffmanCodeRecord(const HuffmanCode& code);

// Appends codes MSB-first to a bit string.
struct BitString {
  Bytes bytes;
  uint64_t bits = 0;
  void Append(uint32_t code, uint32_t length);
};
// The text's codes followed by the code of symbol 0 (the end of the text),
// padded with zero bits to a whole byte. False when a char has no code.
bool EncodeHuffmanText(const HuffmanCode& code, const std::u16string& text, Bytes* out);

}  // namespace firstgen
