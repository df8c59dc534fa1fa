#include "engine/huffman.h"

#include <gtest/gtest.h>

#include "tests/engine/data_file_fixture.h"

using namespace fixture;

namespace {

Bytes Subtable(uint32_t longest, uint32_t shortest, const std::vector<uint32_t>& counts, size_t symbols) {
  Bytes b;
  PutLe32(b, longest);
  PutLe32(b, shortest);
  for (uint32_t c : counts) PutLe32(b, c);
  for (size_t i = 0; i < symbols; ++i) PutLe16(b, static_cast<uint32_t>(0x100 + i));
  return b;
}

TEST(Huffman, FirstCodesAlignToTheLongestLength) {
  // L = 12, m = 2: k = 11 lengths. Two codes of 2 bits, two of 3, four of
  // 12... only lengths 12, 3 and 2 used.
  std::vector<uint32_t> counts(11, 0);
  counts[0] = 1024;  // length 12: 1024/4096 = 1/4
  counts[9] = 2;     // length 3: 1/4
  counts[10] = 1;    // length 2: 1/4 (incomplete code)
  Bytes sub = Subtable(12, 2, counts, 1027);
  HuffmanTable* t = NewHuffmanTable(sub.data(), static_cast<uint32_t>(sub.size()));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->lengths, 11u);
  EXPECT_EQ(t->first[0], 0u);
  // Length 11 starts at 1024 / 2 = 512 (aligned: 1024), halving down to
  // length 3 at 2 (aligned 2 << 9 = 1024) and length 2 at (2 + 2) / 2 = 2.
  EXPECT_EQ(t->first[1], 1024u);
  EXPECT_EQ(t->first[9], 1024u);
  EXPECT_EQ(t->first[10], 2u << 10);
  // Bits 010 decode as the first 3-bit code; 1 0 as the 2-bit code.
  uint8_t bits3[2] = {0x40, 0x00};
  HuffmanCode c = DecodeHuffmanCode(t, bits3, 2, 0);
  EXPECT_EQ(c.length, 3u);
  EXPECT_EQ(c.symbol, 0x100 + 1024);
  uint8_t bits2[2] = {0x80, 0x00};
  c = DecodeHuffmanCode(t, bits2, 2, 0);
  EXPECT_EQ(c.length, 2u);
  EXPECT_EQ(c.symbol, 0x100 + 1026);
  // Values above the last code are no code of the table.
  uint8_t high[2] = {0xC0, 0x00};
  EXPECT_EQ(DecodeHuffmanCode(t, high, 2, 0).length, 0u);
  FreeHuffmanTable(t);
}

TEST(Huffman, BitsPastTheRecordReadAsZeros) {
  // Codes: 8-bit values 0..127 (symbols 0x100..), 1-bit "1".
  std::vector<uint32_t> counts(8, 0);
  counts[0] = 128;
  counts[7] = 1;
  Bytes sub = Subtable(8, 1, counts, 129);
  HuffmanTable* t = NewHuffmanTable(sub.data(), static_cast<uint32_t>(sub.size()));
  ASSERT_NE(t, nullptr);
  // A one-byte record 0x01 followed by bytes that are not part of it: the
  // 8-bit code at bit 4 would be 0001 1111 with them, 0001 0000 without.
  uint8_t data[2] = {0x01, 0xFF};
  HuffmanCode c = DecodeHuffmanCode(t, data, 1, 4);
  EXPECT_EQ(c.length, 8u);
  EXPECT_EQ(c.symbol, 0x100 + 0x10);
  FreeHuffmanTable(t);
}

TEST(Huffman, RefusesMalformedSubtables) {
  std::vector<uint32_t> two(2, 1);
  const struct {
    const char* name;
    Bytes sub;
  } cases[] = {
      {"too short", Bytes{1, 0, 0}},
      {"longest code above 32", Subtable(33, 32, two, 2)},
      {"shortest above longest", Subtable(8, 9, {}, 0)},
      {"shortest 0", Subtable(8, 0, std::vector<uint32_t>(9, 0), 0)},
      {"counts past the record", Subtable(8, 1, {1, 1}, 0)},
      {"symbols past the record", Subtable(2, 1, {2, 1}, 2)},
      {"more codes than the length has", Subtable(2, 1, {5, 0}, 5)},
      {"count overflowing 32 bits", Subtable(2, 1, {0xFFFFFFFFu, 0}, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NewHuffmanTable(c.sub.data(), static_cast<uint32_t>(c.sub.size())), nullptr);
  }
  Bytes ok = Subtable(2, 1, {2, 1}, 3);
  HuffmanTable* t = NewHuffmanTable(ok.data(), static_cast<uint32_t>(ok.size()));
  EXPECT_NE(t, nullptr);
  FreeHuffmanTable(t);
  Bytes widest = Subtable(32, 32, {1}, 1);
  t = NewHuffmanTable(widest.data(), static_cast<uint32_t>(widest.size()));
  EXPECT_NE(t, nullptr);
  FreeHuffmanTable(t);
}

}  // namespace
