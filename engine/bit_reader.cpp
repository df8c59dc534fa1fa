#include "engine/bit_reader.h"

uint32_t ReadBitsBE(const void* data, size_t byteCount, uint64_t position, unsigned n) {
  if (n == 0 || n > 32 || !data) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  // Gather the (at most 5) bytes the field touches into a 64-bit window,
  // zeros for bytes past the end.
  const uint64_t first = position >> 3;
  const unsigned skip = static_cast<unsigned>(position & 7);
  uint64_t window = 0;
  for (unsigned i = 0; i < 5; ++i) {
    const uint64_t at = first + i;
    const uint64_t byte = at < byteCount ? bytes[at] : 0;
    window = (window << 8) | byte;
  }
  // The window holds 40 bits; the field starts `skip` bits in.
  return static_cast<uint32_t>((window >> (40 - skip - n)) & ((uint64_t{1} << n) - 1));
}
