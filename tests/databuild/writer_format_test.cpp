// The writer's output checked byte by byte against the format rules, with
// the test's own decoder (file_decoder.h).
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <numeric>
#include <random>

#include "tests/databuild/file_decoder.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/huffman_coder.h"
#include "tools/databuild/row_sort.h"

using namespace dectest;
namespace db = databuild;

namespace {

ByteVec Build(const db::DataFileSpec& desc, db::DataFileLayout* layout = nullptr) {
  ByteVec out;
  std::string error;
  EXPECT_EQ(db::BuildDataFile(desc, &out, layout, &error), 0) << error;
  return out;
}

std::string BuildError(const db::DataFileSpec& desc) {
  ByteVec out;
  std::string error;
  EXPECT_EQ(db::BuildDataFile(desc, &out, nullptr, &error), 1);
  return error;
}

db::DataFileSpec OneTable(db::TableSpec t) {
  db::DataFileSpec desc;
  desc.shortName = u"Test";
  desc.tables.push_back(std::move(t));
  return desc;
}

ByteVec Concat(const std::vector<db::RowSpec>& rows, std::size_t from, std::size_t n) {
  ByteVec out;
  for (std::size_t i = from; i < from + n; ++i) out.insert(out.end(), rows[i].bytes.begin(), rows[i].bytes.end());
  return out;
}

// A keyed table of text records with `n` rows, keys 10, 20, ...
db::TableSpec KeyedTextTable(std::uint32_t n, std::uint32_t flags) {
  db::TableSpec t;
  t.type = 0x1010;
  t.flags = db::kTableKeyed | db::kTableSorted | flags;
  db::ColumnSpec c;
  c.unitSize = 2;
  for (std::uint32_t i = 0; i < n; ++i) {
    std::u16string text = u"row ";
    for (char ch : std::to_string(i)) text.push_back(static_cast<char16_t>(ch));
    text.append(i % 7, u'x');
    c.rows.push_back(db::MakeTextRow(10 * (i + 1), text));
  }
  t.columns.push_back(std::move(c));
  return t;
}

}  // namespace

TEST(DatabuildContainer, HeaderRecordListAndDatabaseHeaderAreExact) {
  db::DataFileSpec desc;
  desc.containerName = "Tiny";
  desc.containerType = db::kDbTypeDataAlt;
  desc.shortName = u"Tiny dict";
  desc.longName = u"A tiny dictionary";
  desc.notice = u"Notice text";
  desc.tables.push_back(KeyedTextTable(5, 0));
  db::TableSpec second = KeyedTextTable(3, 0);
  second.type = 0x2020;
  desc.tables.push_back(second);
  db::DataFileLayout layout;
  const ByteVec f = Build(desc, &layout);

  // Container: big-endian, records back to back up to the end of the file.
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "Tiny");
  EXPECT_EQ(f[4], 0);
  EXPECT_EQ(std::string(f.begin() + 60, f.begin() + 64), "SDDB");
  EXPECT_EQ(std::string(f.begin() + 64, f.begin() + 68), "SRVN");
  const std::vector<Span> recs = ContainerRecords(f);
  ASSERT_EQ(recs.size(), layout.recordOffsets.size());
  const std::uint32_t n = static_cast<std::uint32_t>(recs.size());
  EXPECT_EQ(recs[0].offset, 78 + 8 * n);
  for (std::uint32_t i = 0; i + 1 < n; ++i) EXPECT_EQ(recs[i].offset + recs[i].size, recs[i + 1].offset);
  EXPECT_EQ(recs.back().offset + recs.back().size, f.size());

  // Database header: little-endian, sizes exact.
  const ByteVec h = RecordBytes(f, 0);
  EXPECT_EQ(std::string(h.begin(), h.begin() + 12), "SORVIsorviDB");
  EXPECT_EQ(db::GetU32LE(&h[12]), 0xC8D32E17u);
  EXPECT_EQ(db::GetU32LE(&h[16]), 8u);
  EXPECT_EQ(db::GetU32LE(&h[28]), n);
  EXPECT_EQ(db::GetU32LE(&h[32]), f.size());
  EXPECT_EQ(db::GetU32LE(&h[36]), f.size() - recs[0].offset);
  EXPECT_EQ(db::GetU32LE(&h[40]), 2u);
  EXPECT_EQ(db::GetU16LE(&h[44]), u'T');
  EXPECT_EQ(db::GetU16LE(&h[44 + 2 * 9]), 0);
  EXPECT_EQ(db::GetU32LE(&h[108]), desc.longName.size());
  EXPECT_EQ(db::GetU32LE(&h[112]), desc.notice.size());
  // Directory, then the two texts without terminators.
  for (std::uint32_t t = 0; t < 2; ++t) {
    const std::uint32_t hr = db::GetU32LE(&h[132 + 8 * t]);
    EXPECT_EQ(hr, layout.tables[t].headerRecord);
    EXPECT_EQ(db::GetU32LE(&h[136 + 8 * t]), desc.tables[t].type);
    EXPECT_EQ(DecodeTable(f, hr).type, desc.tables[t].type);
  }
  std::u16string texts;
  for (std::size_t i = 0; i < desc.longName.size() + desc.notice.size(); ++i) {
    texts.push_back(db::GetU16LE(&h[148 + 2 * i]));
  }
  EXPECT_EQ(texts, desc.longName + desc.notice);
  // Table records follow each other: the second table starts behind the first.
  EXPECT_EQ(layout.tables[1].headerRecord, layout.tables[0].headerRecord + layout.tables[0].blockEnd);
  EXPECT_EQ(layout.tables[1].headerRecord + layout.tables[1].blockEnd, n);
}

TEST(DatabuildContainer, RecordListLimits) {
  ByteVec out;
  std::string error;
  EXPECT_EQ(db::BuildRecordDb({}, {}, &out, nullptr, &error), 1);
  EXPECT_EQ(db::BuildRecordDb({}, std::vector<ByteVec>(65536, ByteVec{}), &out, nullptr, &error), 1);
  ASSERT_EQ(db::BuildRecordDb({}, std::vector<ByteVec>(65535, ByteVec{}), &out, nullptr, &error), 0);
  EXPECT_EQ(db::GetU16BE(&out[76]), 65535);
}

TEST(DatabuildTable, HeaderColumnDirectoryAndKeyedBlocks) {
  db::TableSpec t = KeyedTextTable(10, 0);
  t.version = 3;
  t.name1 = u"Words";
  t.name2 = u"Second";
  t.info = {1, 2, 3, 4, 5, 6, 7, 8};
  t.maxBlockRows = 3;
  t.subtables.push_back({9, 9, 9, 9});
  db::ColumnSpec values;  // a second, row-less column of 2-byte values
  values.unitSize = 2;
  values.values = {7, 8, 9};
  t.columns.push_back(values);
  db::DataFileLayout layout;
  const ByteVec f = Build(OneTable(t), &layout);
  const Table d = DecodeTable(f, layout.tables[0].headerRecord);

  EXPECT_EQ(d.version, 3u);
  EXPECT_EQ(d.name1, u"Words");
  EXPECT_EQ(d.name2, u"Second");
  EXPECT_EQ(d.info, t.info);
  EXPECT_EQ(d.columnCount, 2u);
  EXPECT_EQ(d.entryCount, 10u);
  EXPECT_EQ(d.indexCount, 1u);
  EXPECT_EQ(d.subtableCount, 1u);
  EXPECT_EQ(RecordBytes(f, d.h + 2), t.subtables[0]);
  // 10 rows in blocks of 3: 4 blocks; the value column owns one more.
  EXPECT_EQ(d.firstBlock[0], 1 + d.indexCount + d.subtableCount);
  EXPECT_EQ(d.BlockCount(0), 4u);
  EXPECT_EQ(d.BlockCount(1), 1u);
  EXPECT_EQ(d.blockEnd, d.firstBlock[1] + 1);
  EXPECT_EQ(d.unitSize, (std::vector<std::uint32_t>{2, 2}));
  ASSERT_EQ(d.entries.size(), 5u);

  const auto& rows = t.columns[0].rows;
  std::uint32_t row = 0, unit = 0;
  for (std::uint32_t j = 0; j < 4; ++j) {
    const Block b = DecodeBlock(f, d, 0, j);
    const std::uint32_t n = j < 3 ? 3 : 1;
    ASSERT_EQ(b.rows, n);
    // key + offset per row, padded to an even number of words.
    EXPECT_EQ(b.rowTableWords, 2 * n);
    const ByteVec expect = Concat(rows, row, n);
    EXPECT_EQ(b.units, expect.size() / 2);
    EXPECT_TRUE(std::equal(expect.begin(), expect.end(), b.data.begin()));
    EXPECT_EQ(b.stored.size() % 4, 0u);
    std::uint32_t off = 0;
    for (std::uint32_t k = 0; k < n; ++k) {
      EXPECT_EQ(b.rowTable[2 * k], rows[row + k].key);
      EXPECT_EQ(b.rowTable[2 * k + 1], off);
      off += static_cast<std::uint32_t>(rows[row + k].bytes.size() / 2);
    }
    EXPECT_EQ(d.entries[j][0], row);
    EXPECT_EQ(d.entries[j][1], unit);
    EXPECT_EQ(d.entries[j][2], rows[row].key);
    row += n;
    unit += b.units;
  }
  const Block v = DecodeBlock(f, d, 1, 0);
  EXPECT_EQ(v.rows, 0u);
  EXPECT_EQ(v.units, 3u);
  EXPECT_EQ(db::GetU16LE(&v.data[2]), 8);
  EXPECT_EQ(d.entries[4], (std::array<std::uint32_t, 3>{0, 0, 0}));
}

TEST(DatabuildTable, RowTableShapesFollowTheFlags) {
  struct Case {
    std::uint32_t flags;
    std::uint32_t wordsPerRow;
  } cases[] = {
      {0, 1},
      {db::kTableKeyed, 2},
      {db::kTableKeyed | db::kTableKey32, 3},
      {db::kTableFixedLength, 0},
      {db::kTableFixedLength | db::kTableKeyed | db::kTableKey32, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    db::TableSpec t;
    t.type = 1;
    t.flags = c.flags;
    t.fixedLength = 2;
    db::ColumnSpec col;
    col.unitSize = 1;
    const std::uint32_t keys[] = {5, 0x12345, 0xFFFFFFFF};
    for (std::uint32_t k : keys) {
      db::RowSpec r;
      r.key = (c.flags & db::kTableKey32) ? k : (k & 0xFFFF);
      r.bytes = {static_cast<std::uint8_t>(k), 0xAB};
      col.rows.push_back(r);
    }
    t.columns.push_back(col);
    const ByteVec f = Build(OneTable(t));
    const Table d = DecodeTable(f, 1);
    ASSERT_EQ(d.WordsPerRow(), c.wordsPerRow);
    const Block b = DecodeBlock(f, d, 0, 0);
    ASSERT_EQ(b.rows, 3u);
    EXPECT_EQ(b.rowTableWords, 3 * c.wordsPerRow + (3 * c.wordsPerRow) % 2);
    for (std::uint32_t k = 0; k < 3 && c.wordsPerRow > 0; ++k) {
      const std::uint16_t* w = &b.rowTable[k * c.wordsPerRow];
      if (c.flags & db::kTableKeyed) {
        std::uint32_t key = w[0];
        if (c.flags & db::kTableKey32) key |= static_cast<std::uint32_t>(w[1]) << 16;
        EXPECT_EQ(key, col.rows[k].key);
      }
      if (!(c.flags & db::kTableFixedLength)) {
        EXPECT_EQ(w[c.wordsPerRow - 1], 2 * k);
      }
    }
    if (c.flags & db::kTableKeyed) {
      EXPECT_EQ(d.entries[0][2], col.rows[0].key);
    }
  }
}

TEST(DatabuildTable, EveryColumnOwnsABlockAndEmptyColumnsHaveNoRows) {
  db::TableSpec t;
  t.type = 7;
  t.flags = db::kTableKeyed;
  t.columns.resize(3);
  t.columns[1].rows.push_back(db::MakeTextRow(1, u"only"));
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  ASSERT_EQ(d.columnCount, 3u);
  for (std::uint32_t c = 0; c < 3; ++c) {
    EXPECT_EQ(d.BlockCount(c), 1u) << c;
    const Block b = DecodeBlock(f, d, c, 0);
    EXPECT_EQ(b.rows, c == 1 ? 1u : 0u);
  }
  EXPECT_EQ(d.entryCount, 0u);  // rows of column 0
}

TEST(DatabuildTable, BlocksStayWithinTheUnitAndByteLimits) {
  // 40 rows of 2,000 bytes: 49,152-byte blocks hold 24 rows at most.
  db::TableSpec t;
  t.type = 1;
  t.maxBlockBytes = 100000;  // above the hard limit, which wins
  db::ColumnSpec c;
  for (int i = 0; i < 40; ++i) {
    db::RowSpec r;
    r.bytes.assign(2000, static_cast<std::uint8_t>(i));
    c.rows.push_back(r);
  }
  t.columns.push_back(c);
  ByteVec f = Build(OneTable(t));
  Table d = DecodeTable(f, 1);
  ASSERT_EQ(d.BlockCount(0), 2u);
  EXPECT_EQ(DecodeBlock(f, d, 0, 0).rows, 24u);
  EXPECT_EQ(DecodeBlock(f, d, 0, 0).units, 48000u);

  // 1-bit values: the block holds 65,535 units at most, whatever the bytes.
  db::TableSpec bits;
  bits.type = 2;
  bits.flags = db::kTableBitPacked;
  bits.maxBlockBytes = 0;
  db::ColumnSpec v;
  v.unitSize = 1;
  v.values.assign(70000, 1);
  bits.columns.push_back(v);
  f = Build(OneTable(bits));
  d = DecodeTable(f, 1);
  ASSERT_EQ(d.BlockCount(0), 2u);
  EXPECT_EQ(DecodeBlock(f, d, 0, 0).units, 65535u);
  EXPECT_EQ(DecodeBlock(f, d, 0, 1).units, 70000u - 65535u);
  EXPECT_EQ(d.entries[1][1], 65535u);

  // A record that no block can hold is refused.
  db::TableSpec big;
  big.type = 3;
  db::ColumnSpec bc;
  db::RowSpec r;
  r.bytes.assign(49153, 0);
  bc.rows.push_back(r);
  big.columns.push_back(bc);
  EXPECT_NE(BuildError(OneTable(big)).find("does not fit"), std::string::npos);
}

TEST(DatabuildTable, RowsOfOneKeyStayInOneBlockWhenTheyFit) {
  db::TableSpec t;
  t.type = 1;
  t.flags = db::kTableKeyed | db::kTableSorted;
  t.maxBlockRows = 4;
  db::ColumnSpec c;
  for (std::uint32_t k : {1, 2, 3, 3, 3, 4, 5}) c.rows.push_back(db::MakeTextRow(k, u"v"));
  t.columns.push_back(c);
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  ASSERT_EQ(d.BlockCount(0), 3u);
  EXPECT_EQ(DecodeBlock(f, d, 0, 0).rows, 2u);  // 1, 2; the three 3s move on together
  EXPECT_EQ(DecodeBlock(f, d, 0, 1).rows, 4u);
  EXPECT_EQ(d.entries[1][2], 3u);
  EXPECT_EQ(d.entries[1][0], 2u);
}

TEST(DatabuildTable, BlocksOfAColumnNeverStartAtTheSameUnit) {
  // Empty runs do not make a block of their own: values are found by the
  // first unit of each block.
  db::TableSpec t;
  t.type = 1;
  t.flags = db::kTableBitPacked | db::kTableKeyed | db::kTableSorted;
  t.maxBlockRows = 2;
  db::ColumnSpec c;
  c.unitSize = 9;
  const std::vector<std::vector<std::uint32_t>> runs = {{}, {}, {}, {1, 2}, {}, {}, {}, {}, {3}, {4}, {}, {}};
  for (std::uint32_t k = 0; k < runs.size(); ++k) c.rows.push_back(db::MakeValuesRow(k, runs[k]));
  t.columns.push_back(c);
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  std::uint32_t rows = 0;
  for (std::uint32_t j = 0; j < d.BlockCount(0); ++j) {
    const Block b = DecodeBlock(f, d, 0, j);
    rows += b.rows;
    if (j + 1 < d.BlockCount(0)) {
      EXPECT_GT(b.units, 0u) << j;
      EXPECT_LT(d.entries[j][1], d.entries[j + 1][1]) << j;
    }
  }
  EXPECT_EQ(rows, runs.size());
}

TEST(DatabuildTable, InvalidDescriptionsAreRefused) {
  struct Case {
    const char* what;
    std::function<void(db::TableSpec&)> change;
    const char* message;
  } cases[] = {
      {"compressed measured column",
       [](db::TableSpec& t) {
         t.flags |= db::kTableZlib;
         t.columns[0].lengthsMeasured = true;
       },
       "measured"},
      {"unsorted keys", [](db::TableSpec& t) { std::swap(t.columns[0].rows[0], t.columns[0].rows[1]); }, "sorted"},
      {"wide key in a 16-bit table", [](db::TableSpec& t) { t.columns[0].rows.back().key = 0x10000; }, "32-bit"},
      {"fixed length mismatch",
       [](db::TableSpec& t) {
         t.flags |= db::kTableFixedLength;
         t.fixedLength = 3;
       },
       "fixed length"},
      {"record not a whole number of units", [](db::TableSpec& t) { t.columns[0].rows[0].bytes.push_back(0); },
       "whole number"},
      {"Huffman with 2-byte units", [](db::TableSpec& t) { t.flags |= db::kTableHuffmanText; }, "1-byte units"},
      {"no columns", [](db::TableSpec& t) { t.columns.clear(); }, "column"},
      {"bit-packed and compressed", [](db::TableSpec& t) { t.flags |= db::kTableBitPacked | db::kTableZlib; },
       "compressed"},
      {"long table name", [](db::TableSpec& t) { t.name1.assign(32, u'n'); }, "name"},
      {"values in a byte table", [](db::TableSpec& t) { t.columns[0].rows[1].values = {1}; }, "hold bytes"},
      {"bytes in a bit-packed table", [](db::TableSpec& t) { t.flags |= db::kTableBitPacked; }, "hold values"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    db::TableSpec t = KeyedTextTable(4, 0);
    c.change(t);
    EXPECT_NE(BuildError(OneTable(t)).find(c.message), std::string::npos);
  }
}

class DatabuildZlib : public ::testing::TestWithParam<db::ZlibEnd> {};

TEST_P(DatabuildZlib, BlocksInflateWithASmallWindowInOneCall) {
  db::TableSpec t = KeyedTextTable(300, db::kTableZlib);
  t.zlibEnd = GetParam();
  t.maxBlockBytes = 1500;
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  ASSERT_GE(d.BlockCount(0), 3u);
  const auto& rows = t.columns[0].rows;
  std::uint32_t row = 0;
  for (std::uint32_t j = 0; j < d.BlockCount(0); ++j) {
    SCOPED_TRACE(j);
    const Block b = DecodeBlock(f, d, 0, j);
    // zlib header: deflate, window 2^14 at most.
    ASSERT_GE(b.stored.size(), 2u);
    EXPECT_EQ(b.stored[0] & 0x0F, 8);
    EXPECT_LE((b.stored[0] >> 4) + 8, 14);
    if (GetParam() == db::ZlibEnd::Finished) {
      EXPECT_EQ(b.inflateResult, Z_STREAM_END);
    } else {
      EXPECT_EQ(b.inflateResult, Z_OK);
      // The stream ends with the empty stored block of the sync flush, then
      // at most one zero byte that makes up the last 2-byte unit.
      std::size_t end = b.units * 2;
      if (b.stored[end - 1] == 0) --end;
      ASSERT_GE(end, 4u);
      EXPECT_EQ(ByteVec(b.stored.begin() + end - 4, b.stored.begin() + end), (ByteVec{0, 0, 0xFF, 0xFF}));
    }
    // The inflated data is exactly the records: the last row ends at its size.
    const ByteVec expect = Concat(rows, row, b.rows);
    EXPECT_EQ(b.data, expect);
    EXPECT_LE(b.data.size(), 1500u);
    EXPECT_EQ(d.entries[j][0], row);
    row += b.rows;
  }
  EXPECT_EQ(row, 300u);
}

INSTANTIATE_TEST_SUITE_P(Ends, DatabuildZlib, ::testing::Values(db::ZlibEnd::Unfinished, db::ZlibEnd::Finished));

TEST(DatabuildZlib, FullBlocksInflateToAtMost49152Bytes) {
  db::TableSpec t;
  t.type = 1;
  t.flags = db::kTableZlib;
  t.maxBlockBytes = 0;  // as large as allowed
  db::ColumnSpec c;
  std::mt19937 rng(5);
  for (int i = 0; i < 60; ++i) {
    db::RowSpec r;
    for (int k = 0; k < 1024; ++k) r.bytes.push_back(static_cast<std::uint8_t>(rng()));
    c.rows.push_back(r);
  }
  t.columns.push_back(c);
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  ASSERT_EQ(d.BlockCount(0), 2u);
  const Block b = DecodeBlock(f, d, 0, 0);
  EXPECT_EQ(b.inflateResult, Z_OK);
  EXPECT_EQ(b.data.size(), 49152u);
  EXPECT_EQ(b.data, Concat(c.rows, 0, 48));
}

TEST(DatabuildHuffman, CodesAreCompleteLongEnoughAndDecodeEveryRecord) {
  struct Case {
    const char* what;
    std::vector<std::u16string> texts;
  } cases[] = {
      {"ordinary text", {u"hello world", u"a", u"", u"zebra crossing", u"\u4E2D\u6587 mixed"}},
      {"one symbol", {u"aaaa", u"a"}},
      {"no text at all", {u"", u""}},
      {"two symbols", {u"ab", u"ba", u"abab"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    db::TableSpec t;
    t.type = 0x1001;
    t.flags = db::kTableHuffmanText;
    t.maxBlockRows = 2;
    db::ColumnSpec col;
    for (const auto& text : c.texts) col.rows.push_back(db::MakeHuffmanRow(0, text));
    t.columns.push_back(col);
    const ByteVec f = Build(OneTable(t));
    const Table d = DecodeTable(f, 1);
    EXPECT_EQ(d.textKind, 4096u);
    ASSERT_EQ(d.subtableCount, 1u);
    const Huffman h = DecodeHuffmanTable(RecordBytes(f, d.h + 1 + d.indexCount));
    EXPECT_GE(h.L, 8u);
    EXPECT_LE(h.L, 32u);
    EXPECT_EQ(h.counts.size(), h.L - h.m + 1);
    EXPECT_GT(h.counts.back(), 0u);
    EXPECT_EQ(HuffmanKraftSlack(h), 0);
    std::size_t row = 0;
    for (std::uint32_t j = 0; j < d.BlockCount(0); ++j) {
      const Block b = DecodeBlock(f, d, 0, j);
      for (std::uint32_t k = 0; k < b.rows; ++k, ++row) {
        const std::uint32_t off = b.rowTable[k];
        const std::uint32_t end = k + 1 < b.rows ? b.rowTable[k + 1] : b.units;
        EXPECT_EQ(HuffmanDecode(h, b.data, 8ull * off, 8ull * end), c.texts[row]) << row;
        // On its own, with zeros behind it (as the reader supplies past a
        // record's end): the zero padding decodes as nothing, and is shorter
        // than a byte (without the last byte a symbol is lost).
        const ByteVec alone(b.data.begin() + off, b.data.begin() + end);
        EXPECT_EQ(HuffmanDecode(h, alone, 0, 8ull * alone.size()), c.texts[row]);
        if (!alone.empty()) {
          EXPECT_LT(HuffmanDecode(h, alone, 0, 8ull * alone.size() - 8).size(), c.texts[row].size());
        }
      }
    }
    EXPECT_EQ(row, c.texts.size());
  }
}

TEST(DatabuildHuffman, LargeSkewedAlphabetsStayWithinTheLengthLimit) {
  db::HuffmanCounts counts;
  // Fibonacci-like weights make a very deep plain Huffman tree.
  std::uint64_t a = 1, b = 1;
  for (int i = 0; i < 60; ++i) {
    counts.freq[0x100 + i] = a;
    const std::uint64_t next = a + b;
    a = b;
    b = next;
  }
  for (int i = 0; i < 3000; ++i) counts.freq[0x4E00 + i] += 1;
  db::HuffmanCode code;
  db::BuildHuffmanCode(counts, db::kHuffmanMaxLength, &code);
  const Huffman h = DecodeHuffmanTable(db::HuffmanTableBytes(code));
  EXPECT_LE(h.L, db::kHuffmanMaxLength);
  EXPECT_EQ(HuffmanKraftSlack(h), 0);
  EXPECT_EQ(h.symbols.size(), 3060u);
  std::u16string text;
  for (int i = 0; i < 60; i += 7) text.push_back(static_cast<char16_t>(0x100 + i));
  text += u"\u4E00\u4E01\u59B7";
  ByteVec bytes;
  ASSERT_TRUE(db::HuffmanEncode(code, text, &bytes));
  EXPECT_EQ(HuffmanDecode(h, bytes, 0, 8 * bytes.size()), text);
  EXPECT_FALSE(db::HuffmanEncode(code, u"\u0041", &bytes));
}

TEST(DatabuildBits, PackedValuesAreMsbFirstWordPaddedAndRunsStayInTheirBlock) {
  // A keyed column of runs of 13-bit values, and a row-less value column.
  db::TableSpec t;
  t.type = 0x1131;
  t.flags = db::kTableBitPacked | db::kTableKeyed | db::kTableSorted;
  t.maxBlockBytes = 40;  // ten words: 24 values at most a block
  db::ColumnSpec runs;
  runs.unitSize = 13;
  std::vector<std::uint32_t> all;
  for (std::uint32_t k = 0; k < 12; ++k) {
    std::vector<std::uint32_t> v;
    for (std::uint32_t i = 0; i < k % 5 + 1; ++i) v.push_back((k * 977 + i * 331) & 0x1FFF);
    all.insert(all.end(), v.begin(), v.end());
    runs.rows.push_back(db::MakeValuesRow(k * 3, v));
  }
  t.columns.push_back(runs);
  db::ColumnSpec values;
  values.unitSize = 13;
  for (std::uint32_t i = 0; i < 50; ++i) values.values.push_back(8191 - 97 * i);
  t.columns.push_back(values);
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  ASSERT_GE(d.BlockCount(0), 2u);
  ASSERT_EQ(d.BlockCount(1), 3u);  // 24 + 24 + 2

  std::uint32_t row = 0, unit = 0;
  for (std::uint32_t j = 0; j < d.BlockCount(0); ++j) {
    const Block b = DecodeBlock(f, d, 0, j);
    EXPECT_EQ(b.data.size() % 4, 0u);
    EXPECT_LE(b.data.size(), 40u);
    EXPECT_EQ(b.data.size(), (b.units * 13 + 31) / 32 * 4);
    // Offsets count values; the last run ends at the block's units.
    std::uint32_t expectOff = 0;
    for (std::uint32_t k = 0; k < b.rows; ++k) {
      EXPECT_EQ(b.rowTable[2 * k], runs.rows[row + k].key);
      EXPECT_EQ(b.rowTable[2 * k + 1], expectOff);
      expectOff += static_cast<std::uint32_t>(runs.rows[row + k].values.size());
    }
    EXPECT_EQ(expectOff, b.units);  // no run crosses into the next block
    for (std::uint32_t i = 0; i < b.units; ++i) EXPECT_EQ(ReadBits(b.data, 13ull * i, 13), all[unit + i]);
    EXPECT_EQ(d.entries[j][0], row);
    EXPECT_EQ(d.entries[j][1], unit);
    row += b.rows;
    unit += b.units;
  }
  EXPECT_EQ(row, 12u);
  for (std::uint32_t i = 0; i < 50; ++i) {
    const std::uint32_t j = i / 24;
    const Block b = DecodeBlock(f, d, 1, j);
    EXPECT_EQ(d.entries[d.BlockCount(0) + j][1], 24 * j);
    EXPECT_EQ(ReadBits(b.data, 13ull * (i - 24 * j), 13), values.values[i]);
  }
  // The padding bits of the last word are zero.
  const Block last = DecodeBlock(f, d, 1, 2);
  EXPECT_EQ(last.data.size(), 4u);
  EXPECT_EQ(ReadBits(last.data, 26, 6), 0u);

  db::TableSpec wide = t;
  wide.columns[1].values.push_back(8192);
  EXPECT_NE(BuildError(OneTable(wide)).find("too wide"), std::string::npos);
}

TEST(DatabuildIndex, FirstKeyTextsEndInsideTheirSpanAcrossSeveralIndexRecords) {
  db::TableSpec t = KeyedTextTable(20, db::kTableTextIndex);
  t.maxBlockRows = 2;
  t.maxIndexEntries = 3;
  t.indexTextSkip = 1;
  t.columns[0].rows[4].indexText = u"given";
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  ASSERT_EQ(d.BlockCount(0), 10u);
  EXPECT_EQ(d.indexCount, 4u);  // 3 + 3 + 3 + 1 entries
  ASSERT_EQ(d.texts.size(), 10u);
  for (std::uint32_t j = 0; j < 10; ++j) {
    std::u16string expect = j == 2 ? u"given" : db::RowCompareText(t.columns[0].rows[2 * j], false, 1);
    EXPECT_EQ(d.texts[j], expect) << j;
  }
  for (const ByteVec& ir : d.indexRecords) {
    const std::uint32_t n = db::GetU32LE(&ir[0]);
    const std::size_t area = 4 + 14 * n;
    for (std::uint32_t e = 0; e < n; ++e) {
      const std::size_t from = area + db::GetU16LE(&ir[4 + 12 * n + 2 * e]);
      const std::size_t to = e + 1 < n ? area + db::GetU16LE(&ir[4 + 12 * n + 2 * (e + 1)]) : ir.size();
      ASSERT_LE(to, ir.size());
      ASSERT_GE(to - from, 2u);
      EXPECT_EQ(db::GetU16LE(&ir[to - 2]), 0) << "text ends with a 0 inside its span";
    }
    EXPECT_EQ(ir.size() % 4, 0u);
  }
}

TEST(DatabuildIndex, LongFirstKeyTextsSplitTheIndexBelow64K) {
  // 40 blocks whose first-key texts take 4,002 bytes each.
  db::TableSpec t;
  t.type = 1;
  t.flags = db::kTableTextIndex;
  t.maxBlockRows = 1;
  db::ColumnSpec c;
  for (int i = 0; i < 40; ++i) {
    c.rows.push_back(db::MakeTextRow(0, std::u16string(2000, static_cast<char16_t>(u'a' + i % 26))));
  }
  t.columns.push_back(c);
  const ByteVec f = Build(OneTable(t));
  const Table d = DecodeTable(f, 1);
  EXPECT_EQ(d.indexCount, 3u);
  for (const ByteVec& ir : d.indexRecords) EXPECT_LE(ir.size(), 0xFFFFu);
  ASSERT_EQ(d.texts.size(), 40u);
  EXPECT_EQ(d.texts[39], std::u16string(2000, u'n'));
  EXPECT_EQ(d.entries.size(), 40u);
}

TEST(DatabuildSort, RowsSortByTheProgramsTableOrders) {
  db::ColumnSpec c;
  // Mode 0: letter keys (case and accents folded, "(...)" and digits dropped).
  for (const char16_t* s : {u"cafe", u"B\u00E4r (note)", u"apple", u"b", u"bar 2"}) {
    c.rows.push_back(db::MakeTextRow(0, s));
  }
  db::SortRowsByText(c, 0, false, 0);
  std::vector<std::u16string> got;
  for (const auto& r : c.rows) got.push_back(db::RowCompareText(r, false, 0));
  EXPECT_EQ(got, (std::vector<std::u16string>{u"apple", u"b", u"B\u00E4r (note)", u"bar 2", u"cafe"}));

  // Modes 5 and 6: English key order of the text cut at "," or "=".
  db::ColumnSpec e;
  for (const char16_t* s : {u"Zoo, the", u"\u00E9clair", u"ant=x", u"Eclat"}) e.rows.push_back(db::MakeTextRow(0, s));
  db::SortRowsByText(e, 5, false, 0);
  got.clear();
  for (const auto& r : e.rows) got.push_back(db::RowCompareText(r, false, 0));
  EXPECT_EQ(got, (std::vector<std::u16string>{u"ant=x", u"\u00E9clair", u"Eclat", u"Zoo, the"}));

  // Mode 7 compares the text behind two leading data units.
  db::ColumnSpec m7;
  m7.rows.push_back(db::MakeTextRow(0, u"\u0001\u0009zz"));
  m7.rows.push_back(db::MakeTextRow(0, u"\u0009\u0001aa"));
  db::SortRowsByText(m7, 7, false, 2);
  EXPECT_EQ(db::RowCompareText(m7.rows[0], false, 2), u"aa");

  db::ColumnSpec keys;
  for (std::uint32_t k : {5u, 1u, 0xFFFFFFFFu, 3u}) keys.rows.push_back(db::MakeTextRow(k, u"r"));
  db::SortRowsByKey(keys);
  EXPECT_EQ(keys.rows[0].key, 1u);
  EXPECT_EQ(keys.rows[3].key, 0xFFFFFFFFu);
}
