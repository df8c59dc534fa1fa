// The canonical Huffman code of first-generation text rows: 16-bit symbols,
// codes of Lmin..Lmax bits, the longest codes numerically smallest.
//
// Code record (big-endian): u16 Lmax; u16 whose low byte is Lmin; then
// L = Lmax - Lmin + 1 u32 counts, index j for code length Lmax - j; then the
// symbols as u16, the count[0] symbols of length Lmax first. The first code
// of index j as an Lmax-bit value is F[j] = u[j] << j, with u[0] = 0 and
// u[j] = (u[j-1] + count[j-1]) / 2.
//
// The record is untrusted. It is refused when Lmin is 0 (a code of no bits
// would never advance), Lmax is above 32 or below Lmin, the counts or
// symbols run past the record, or the codes of some length overlap those
// of the next (so that no code's index can pass its length's count).
#pragma once

#include <cstdint>
#include <vector>

#include "converter/firstgen_bytes.h"

namespace converter {

inline constexpr uint32_t kMaxHuffmanCodeLength = 32;

struct HuffmanTable16 {
  uint32_t maxLength;                         // Lmax
  uint32_t lengths;                           // L
  uint64_t firstCode[kMaxHuffmanCodeLength];  // F[j]
  uint32_t count[kMaxHuffmanCodeLength];
  uint32_t symbolStart[kMaxHuffmanCodeLength];  // index of count[j]'s first symbol
  std::vector<uint16_t> symbols;                // host order
};

// 0 and the table, or 1 when the record is refused.
int LoadHuffmanTable16(ByteView record, HuffmanTable16* table);

// n (1..32) bits at bit position `bit` of the bytes, most significant bit
// first (bit 0 is the top bit of the first byte; a peek may straddle two
// 32-bit words). Bits past the end of the bytes read 0.
uint32_t ReadBitsMsbFirst(ByteView bytes, uint64_t bit, uint32_t n);

// Decodes one symbol at *bit and advances it. 0 on success; 1 when the bits
// form no code (the position is left as it was).
int DecodeHuffmanSymbol(const HuffmanTable16* table, ByteView bytes, uint64_t* bit, uint16_t* symbol);

}  // namespace converter
