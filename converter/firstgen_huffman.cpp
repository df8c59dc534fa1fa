#include "converter/firstgen_huffman.h"

namespace converter {

int LoadHuffmanTable16(ByteView record, HuffmanTable16* table) {
  *table = HuffmanTable16{};
  if (!ViewHas(record, 0, 4)) return 1;
  const uint32_t maxLength = ViewBe16(record, 0);
  const uint32_t minLength = ViewBe16(record, 2) & 0xFF;
  if (minLength == 0 || maxLength > kMaxHuffmanCodeLength || maxLength < minLength) return 1;
  const uint32_t lengths = maxLength - minLength + 1;
  if (!ViewHas(record, 4, 4ull * lengths)) return 1;
  table->maxLength = maxLength;
  table->lengths = lengths;
  uint64_t u = 0, total = 0, previousEnd = 0;
  for (uint32_t j = 0; j < lengths; ++j) {
    const uint32_t count = ViewBe32(record, 4 + 4ull * j);
    if (j > 0) u = (u + table->count[j - 1]) / 2;
    const uint64_t first = u << j;
    // Codes of this length must start where the longer ones end and stay
    // inside the Lmax-bit space.
    if (first < previousEnd || u + count > (uint64_t{1} << (maxLength - j))) return 1;
    table->firstCode[j] = first;
    table->count[j] = count;
    table->symbolStart[j] = static_cast<uint32_t>(total);
    previousEnd = (u + count) << j;
    total += count;
  }
  const uint64_t symbolsAt = 4 + 4ull * lengths;
  if (!ViewHas(record, symbolsAt, 2 * total)) return 1;
  table->symbols.resize(total);
  for (uint64_t i = 0; i < total; ++i) table->symbols[i] = ViewBe16(record, symbolsAt + 2 * i);
  return 0;
}

uint32_t ReadBitsMsbFirst(ByteView bytes, uint64_t bit, uint32_t n) {
  if (n == 0 || n > 32) return 0;
  uint64_t window = 0;
  const uint64_t first = bit / 8;
  // Five bytes cover any 32 bits that start inside the first.
  for (uint64_t i = 0; i < 5; ++i) window = (window << 8) | ViewByte(bytes, first + i);
  const uint32_t skip = static_cast<uint32_t>(bit % 8);
  return static_cast<uint32_t>((window >> (40 - skip - n)) & ((uint64_t{1} << n) - 1));
}

int DecodeHuffmanSymbol(const HuffmanTable16* table, ByteView bytes, uint64_t* bit, uint16_t* symbol) {
  if (table->lengths == 0) return 1;
  const uint64_t value = ReadBitsMsbFirst(bytes, *bit, table->maxLength);
  // The largest j whose first code is at most the value.
  uint32_t lo = 0, hi = table->lengths - 1;
  while (lo < hi) {
    uint32_t mid = (lo + hi + 1) / 2;
    if (table->firstCode[mid] <= value) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  const uint64_t index = (value - table->firstCode[lo]) >> lo;
  if (index >= table->count[lo]) return 1;
  *symbol = table->symbols[table->symbolStart[lo] + index];
  *bit += table->maxLength - lo;
  return 0;
}

}  // namespace converter
