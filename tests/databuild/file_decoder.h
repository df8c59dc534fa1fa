// A small decoder of data files for the writer's tests, written from the
// format rules alone (not from the program's reader), so that the writer's
// output can be checked byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/byte_sink.h"

namespace dectest {

using databuild::ByteVec;

struct Span {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// Container records (big-endian list); empty when the container is bad.
std::vector<Span> ContainerRecords(const ByteVec& file);
ByteVec RecordBytes(const ByteVec& file, std::uint32_t index);

struct Table {
  std::uint32_t h = 0;
  std::uint32_t type = 0, version = 0, flags = 0, blockEnd = 0, indexCount = 0, subtableCount = 0;
  std::uint32_t infoSize = 0, columnCount = 0, entryCount = 0, fixedLength = 0, textKind = 0;
  std::u16string name1, name2;
  ByteVec info;
  std::vector<std::uint32_t> firstBlock, unitSize;
  // Block index, all records in order.
  std::vector<std::array<std::uint32_t, 3>> entries;
  std::vector<std::u16string> texts;  // first-key texts, with flag 0x100
  std::vector<ByteVec> indexRecords;
  std::uint32_t BlockCount(std::uint32_t column) const;
  std::uint32_t WordsPerRow() const;
};

Table DecodeTable(const ByteVec& file, std::uint32_t h);

struct Block {
  std::uint32_t rows = 0;
  std::uint32_t units = 0;          // as stored
  std::vector<std::uint16_t> rowTable;
  std::uint32_t rowTableWords = 0;  // with its padding word
  ByteVec stored;                   // record data as stored (to the record's end)
  ByteVec data;                     // inflated, or the stored bytes
  int inflateResult = 0;            // with zlib: the result of one inflate call
};

// Block j of a column. Compressed blocks are inflated the way the reader
// does: window 2^14, one inflate call with a partial flush, 49,152 bytes.
Block DecodeBlock(const ByteVec& file, const Table& t, std::uint32_t column, std::uint32_t j);

// MSB-first bits of a byte array (zeros past its end).
std::uint32_t ReadBits(const ByteVec& data, std::uint64_t pos, unsigned n);

struct Huffman {
  std::uint32_t L = 0, m = 0;
  std::vector<std::uint32_t> counts;
  std::vector<std::uint16_t> symbols;
};
Huffman DecodeHuffmanTable(const ByteVec& subtable);
// Kraft sum of the code against 2^L: 0 when complete.
std::int64_t HuffmanKraftSlack(const Huffman& h);
// Decodes the bits from `begin` to `end` (bit positions) by the reader's
// rules; a code passing the end stops.
std::u16string HuffmanDecode(const Huffman& h, const ByteVec& data, std::uint64_t begin, std::uint64_t end);

}  // namespace dectest
