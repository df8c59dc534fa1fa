#include "engine/bit_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Packs values MSB-first into bytes, the way the data files store them.
std::vector<uint8_t> Pack(const std::vector<uint32_t>& values, unsigned width) {
  std::vector<uint8_t> out;
  uint64_t bit = 0;
  for (uint32_t v : values) {
    for (unsigned i = 0; i < width; ++i, ++bit) {
      if (out.size() <= bit / 8) out.push_back(0);
      if ((v >> (width - 1 - i)) & 1) out[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
    }
  }
  return out;
}

TEST(ReadBitsBE, ReadsFieldsInsideAndAcrossWords) {
  const uint8_t words[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  const struct {
    uint64_t position;
    unsigned n;
    uint32_t expected;
  } cases[] = {
      {28, 8, 0x89},  // 4 bits from the end of word 0, 4 from the start of word 1
      {0, 32, 0x12345678},
      {32, 32, 0x9ABCDEF0},
      {4, 32, 0x23456789},
      {31, 2, 0x1},  // last bit of word 0 (0), first of word 1 (1)
      {0, 1, 0},
      {3, 1, 1},
      {60, 4, 0x0},
      {56, 8, 0xF0},
      {12, 12, 0x456},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(ReadBitsBE(words, sizeof words, c.position, c.n), c.expected);
  }
}

TEST(ReadBitsBE, ThirteenBitValuesRoundTripAcrossWords) {
  std::vector<uint32_t> values;
  for (uint32_t i = 0; i < 40; ++i) values.push_back((i * 2654435761u) & 0x1FFF);
  const auto bytes = Pack(values, 13);
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(ReadBitsBE(bytes.data(), bytes.size(), i * 13, 13), values[i]) << i;
}

TEST(ReadBitsBE, ZerosPastTheRecordEnd) {
  // A 5-byte record on the heap of exactly that size: the sanitizer build
  // catches any read of the rest of its last word.
  auto record = std::make_unique<uint8_t[]>(5);
  for (int i = 0; i < 5; ++i) record[i] = 0xFF;
  const uint8_t* r = record.get();
  EXPECT_EQ(ReadBitsBE(r, 5, 36, 8), 0xF0u);  // 4 bits of the record, then zeros
  EXPECT_EQ(ReadBitsBE(r, 5, 32, 32), 0xFF000000u);
  EXPECT_EQ(ReadBitsBE(r, 5, 40, 32), 0u);
  EXPECT_EQ(ReadBitsBE(r, 5, 1000000, 17), 0u);
  EXPECT_EQ(ReadBitsBE(r, 0, 0, 8), 0u);
}

TEST(ReadBitsBE, RefusesWidthsOutsideOneTo32) {
  const uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(ReadBitsBE(bytes, 5, 0, 0), 0u);
  EXPECT_EQ(ReadBitsBE(bytes, 5, 0, 33), 0u);
  EXPECT_EQ(ReadBitsBE(bytes, 5, 7, 32), 0xFFFFFFFFu);
  EXPECT_EQ(ReadBitsBE(nullptr, 5, 0, 8), 0u);
}

}  // namespace
