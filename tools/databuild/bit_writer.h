// MSB-first bit stream: bit 0 of the stream is the most significant bit of
// byte 0, which is also the most significant bit of a big-endian 32-bit word.
// Bit-packed values and Huffman codes are written with it.
#pragma once

#include <cstdint>

#include "tools/databuild/byte_sink.h"

namespace databuild {

struct BitWriter {
  ByteVec bytes;
  std::uint64_t bitCount = 0;
};

// Appends the low `n` bits of `value` (n from 0 to 32), most significant first.
void WriteBits(BitWriter& w, std::uint32_t value, unsigned n);
// Zero bits up to the next multiple of `bits` (8 for a byte, 32 for a word).
void AlignBits(BitWriter& w, unsigned bits);

}  // namespace databuild
