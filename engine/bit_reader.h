// Reads bit fields from the bit-packed records of the data files: values
// stored most significant bit first in 32-bit big-endian words (bit 0 of
// the stream is the top bit of the record's first byte).
#pragma once

#include <cstddef>
#include <cstdint>

// The n-bit value (n from 1 to 32; any other n gives 0) that starts at bit
// `position` of a record of `byteCount` bytes. Bits past the record's end
// read as zeros: nothing beyond data + byteCount is ever touched, even
// where the record's last word is incomplete.
uint32_t ReadBitsBE(const void* data, size_t byteCount, uint64_t position, unsigned n);
