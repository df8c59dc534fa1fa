#include "tools/databuild/bit_writer.h"

namespace databuild {

void WriteBits(BitWriter& w, std::uint32_t value, unsigned n) {
  for (unsigned i = n; i-- > 0;) {
    const unsigned bitInByte = static_cast<unsigned>(w.bitCount % 8);
    if (bitInByte == 0) w.bytes.push_back(0);
    if ((value >> i) & 1u) w.bytes.back() |= static_cast<std::uint8_t>(0x80u >> bitInByte);
    ++w.bitCount;
  }
}

void AlignBits(BitWriter& w, unsigned bits) {
  while (w.bitCount % bits != 0) WriteBits(w, 0, 1);
}

}  // namespace databuild
