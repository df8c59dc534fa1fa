// The Huffman code record and decoder: bit peeks across words, codes of one
// and of several lengths, and the records that must be refused because they
// would loop or read out of bounds.
#include <gtest/gtest.h>

#include "converter/firstgen_huffman.h"
#include "tools/firstgen/bytes.h"
#include "tools/firstgen/huffman_code.h"

namespace {

using namespace converter;
using firstgen::AppendBe;
using firstgen::Bytes;

ByteView View(const Bytes& b) { return {b.data(), static_cast<uint32_t>(b.size())}; }

// A code record from its fields as written.
Bytes CodeRecord(uint32_t maxLength, uint32_t minLength, std::vector<uint32_t> counts, std::vector<uint16_t> symbols) {
  Bytes b;
  AppendBe(&b, 2, maxLength);
  AppendBe(&b, 2, minLength);
  for (uint32_t c : counts) AppendBe(&b, 4, c);
  for (uint16_t s : symbols) AppendBe(&b, 2, s);
  return b;
}

TEST(FirstGenHuffman, PeekAtBit37JoinsTwoWords) {
  Bytes b;
  for (uint8_t i = 1; i <= 12; ++i) b.push_back(i);
  // Words 0x05060708 and 0x090A0B0C, 32 bits from bit 5 of the second word.
  EXPECT_EQ(ReadBitsMsbFirst(View(b), 37, 32), 0xA0C0E101u);
  EXPECT_EQ(ReadBitsMsbFirst(View(b), 0, 32), 0x01020304u);
  EXPECT_EQ(ReadBitsMsbFirst(View(b), 4, 8), 0x10u);
}

TEST(FirstGenHuffman, PeekPastTheEndReadsZeros) {
  const Bytes b = {0xFF, 0x81};
  EXPECT_EQ(ReadBitsMsbFirst(View(b), 0, 24), 0xFF8100u);
  EXPECT_EQ(ReadBitsMsbFirst(View(b), 15, 4), 0x8u);
  EXPECT_EQ(ReadBitsMsbFirst(View(b), 1000, 32), 0u);
}

TEST(FirstGenHuffman, CodesOfThreeLengthsDecodeInOrder) {
  // Lengths 3 (A, B: 000, 001), 2 (C: 01), 1 (D: 1).
  const Bytes rec = CodeRecord(3, 1, {2, 1, 1}, {'A', 'B', 'C', 'D'});
  HuffmanTable16 table;
  ASSERT_EQ(LoadHuffmanTable16(View(rec), &table), 0);
  // 1 01 000 001 0000000 = D C A B, then zeros (A) to the end.
  const Bytes row = {0b10100000, 0b10000000};
  std::u16string got;
  uint64_t bit = 0;
  while (bit < 9) {
    uint16_t s = 0;
    ASSERT_EQ(DecodeHuffmanSymbol(&table, View(row), &bit, &s), 0);
    got += static_cast<char16_t>(s);
  }
  EXPECT_EQ(got, u"DCAB");
  EXPECT_EQ(bit, 9u);
}

TEST(FirstGenHuffman, SingleLengthCodeUsesMaxLengthBits) {
  const Bytes rec = CodeRecord(3, 3, {5}, {'a', 'b', 'c', 'd', 'e'});
  HuffmanTable16 table;
  ASSERT_EQ(LoadHuffmanTable16(View(rec), &table), 0);
  // 100 011 000 | 101: e... codes 4, 3, 0, then 5 which is no code.
  const Bytes row = {0b10001100, 0b01010000};
  uint64_t bit = 0;
  uint16_t s = 0;
  ASSERT_EQ(DecodeHuffmanSymbol(&table, View(row), &bit, &s), 0);
  EXPECT_EQ(s, 'e');
  ASSERT_EQ(DecodeHuffmanSymbol(&table, View(row), &bit, &s), 0);
  EXPECT_EQ(s, 'd');
  ASSERT_EQ(DecodeHuffmanSymbol(&table, View(row), &bit, &s), 0);
  EXPECT_EQ(s, 'a');
  EXPECT_EQ(bit, 9u);
  // Bits that form no code leave the position where it was.
  EXPECT_EQ(DecodeHuffmanSymbol(&table, View(row), &bit, &s), 1);
  EXPECT_EQ(bit, 9u);
}

TEST(FirstGenHuffman, WriterCodeRoundTrips) {
  std::map<uint16_t, uint64_t> freq = {{0, 1}, {'a', 40}, {'b', 3}, {'c', 3}, {0x4E2D, 9}, {0xEA01, 1}, {'z', 1}};
  for (bool single : {false, true}) {
    firstgen::HuffmanCode code;
    ASSERT_TRUE(firstgen::BuildHuffmanCode(freq, single, &code));
    const Bytes rec = firstgen::WriteHuffmanCodeRecord(code);
    HuffmanTable16 table;
    ASSERT_EQ(LoadHuffmanTable16(View(rec), &table), 0);
    const std::u16string text = u"abacab\u4E2Dz\uEA01aaaa";
    Bytes row;
    ASSERT_TRUE(firstgen::EncodeHuffmanText(code, text, &row));
    std::u16string got;
    uint64_t bit = 0;
    uint16_t s = 1;
    while (DecodeHuffmanSymbol(&table, View(row), &bit, &s) == 0 && s != 0) got += static_cast<char16_t>(s);
    EXPECT_EQ(s, 0) << single;
    EXPECT_EQ(got, text) << single;
  }
}

TEST(FirstGenHuffman, UnsoundRecordsAreRefused) {
  struct Case {
    const char* why;
    Bytes record;
  };
  const Case cases[] = {
      // A code of no bits would never advance the position.
      {"Lmin 0", CodeRecord(2, 0, {2, 1, 0}, {'a', 'b', 'c'})},
      // Codes longer than the 32-bit peek.
      {"Lmax 33", CodeRecord(33, 33, {1}, {'a'})},
      {"Lmax below Lmin", CodeRecord(2, 3, {}, {})},
      // Counts that run past the record.
      {"counts cut",
       [] {
         Bytes b = CodeRecord(4, 1, {2, 1, 1, 1}, {});
         b.resize(b.size() - 2);
         return b;
       }()},
      // Symbols that run past the record.
      {"symbols cut", CodeRecord(2, 1, {2, 1}, {'a', 'b'})},
      // More codes of one length than its bits can number.
      {"count too large", CodeRecord(2, 2, {5}, {'a', 'b', 'c', 'd', 'e'})},
      // An odd count of long codes makes the shorter codes overlap them.
      {"overlapping lengths", CodeRecord(2, 1, {1, 1}, {'a', 'b'})},
      // A huge count whose symbols cannot be there.
      {"huge count", CodeRecord(32, 32, {0xFFFFFFFFu}, {'a'})},
      {"shorter than its header", Bytes{0, 2}},
  };
  for (const Case& c : cases) {
    HuffmanTable16 table;
    EXPECT_EQ(LoadHuffmanTable16(View(c.record), &table), 1) << c.why;
  }
}

}  // namespace
