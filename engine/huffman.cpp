#include "engine/huffman.h"

#include <new>

#include "engine/bit_reader.h"
#include "platform/heap.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

HuffmanTable* NewHuffmanTable(const uint8_t* data, uint32_t size) {
  if (!data || size < 8) return nullptr;
  uint32_t longest = Le32(data);
  uint32_t shortest = Le32(data + 4);
  if (longest == 0 || longest > 32 || shortest == 0 || shortest > longest) return nullptr;
  uint32_t lengths = longest - shortest + 1;  // 1..32
  if (8 + uint64_t{lengths} * 4 > size) return nullptr;

  auto* table = static_cast<HuffmanTable*>(LocalAlloc(LPTR, sizeof(HuffmanTable)));
  if (!table) return nullptr;
  table->longest = longest;
  table->shortest = shortest;
  table->lengths = lengths;

  uint64_t symbolOffset = 8 + uint64_t{lengths} * 4;
  uint64_t first = 0;
  for (uint32_t i = 0; i < lengths; ++i) {
    uint32_t count = Le32(data + 8 + 4 * i);
    if (i > 0) first = (first + table->count[i - 1]) / 2;
    // Codes of length L - i are the values below 2^(L - i).
    uint32_t codeLength = longest - i;
    if (first + count > (uint64_t{1} << codeLength)) {
      LocalFree(table);
      return nullptr;
    }
    if (symbolOffset + uint64_t{count} * 2 > size) {
      LocalFree(table);
      return nullptr;
    }
    table->count[i] = count;
    table->symbols[i] = data + symbolOffset;
    table->first[i] = static_cast<uint32_t>(first << i);
    symbolOffset += uint64_t{count} * 2;
  }
  // first[] stored aligned; the halving above works on the unshifted values.
  return table;
}

void FreeHuffmanTable(HuffmanTable* table) {
  if (table) LocalFree(table);
}

HuffmanCode DecodeHuffmanCode(const HuffmanTable* table, const uint8_t* data, uint64_t byteCount, uint64_t bitPos) {
  return DecodeHuffmanValue(table, ReadBitsBE(data, static_cast<size_t>(byteCount), bitPos, table->longest));
}
