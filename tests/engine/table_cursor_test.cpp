#include "engine/table_cursor.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>

#include "engine/data_file_db.h"
#include "engine/db_file.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/record_cache.h"
#include "engine/text_compare.h"
#include "platform/device_paths.h"
#include "tests/engine/data_file_fixture.h"

using namespace fixture;

namespace {

// A file of one table, opened with its cursor.
struct OneTable {
  DbFile* file = nullptr;
  RecordCache* cache = nullptr;
  DataFileDb* db = nullptr;
  TableCursor* cursor = nullptr;

  OneTable(const Table& t, const std::string& name) {
    DataFile f;
    f.tables.push_back(t);
    Init(BuildContainer(BuildRecords(f)), name);
  }
  OneTable(const Bytes& bytes, const std::string& name) { Init(bytes, name); }
  void Init(const Bytes& bytes, const std::string& name) {
    file = WriteAndOpen(bytes, name);
    cache = NewRecordCache(0);
    if (file) db = OpenDataFileDb(file, cache);
    if (db) cursor = NewTableCursor(GetTableByIndex(db, 0));
  }
  ~OneTable() {
    FreeTableCursor(cursor);
    FreeRecordCache(cache);
    CloseDataFileDb(db);
    if (file) CloseDbFile(file);
  }
};

std::string RecordText(uint32_t row) { return "record " + std::to_string(row) + std::string(row % 7, '*'); }

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Byte records "record <r>***" in blocks of the given row counts.
Table RawTable(const std::vector<uint32_t>& blockRows, uint32_t flags = 0) {
  Table t;
  t.flags = flags;
  Column c;
  c.unitSize = 1;
  uint32_t row = 0;
  for (uint32_t rows : blockRows) {
    std::vector<Bytes> recs;
    for (uint32_t i = 0; i < rows; ++i) recs.push_back(AsBytes(RecordText(row + i)));
    Block b = RecordsBlock(recs, flags, 1);
    b.word0 = row;
    c.blocks.push_back(b);
    row += rows;
  }
  t.columns.push_back(c);
  return t;
}

std::string Read(TableCursor* cursor, uint32_t row, int* status = nullptr) {
  char buffer[256];
  uint32_t bytes = 0;
  int s = ReadTableRecord(cursor, 0, row, nullptr, buffer, sizeof buffer, &bytes);
  if (status) *status = s;
  return std::string(buffer, bytes);
}

TEST(TableCursor, RawRecordsAcrossBlocks) {
  OneTable o(RawTable({100, 100, 50}), "raw.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(GetColumnRowCount(o.cursor, 0), 250u);
  for (uint32_t r : {0u, 1u, 99u, 100u, 150u, 199u, 200u, 249u}) EXPECT_EQ(Read(o.cursor, r), RecordText(r)) << r;
  // Row 150 lies in block 1 at local row 50.
  EXPECT_EQ(GetRowRecordLength(o.cursor, 0, 150), RecordText(150).size());
  EXPECT_EQ(o.cursor->currentBlock, o.cursor->table->firstBlock[0] + 1);
  uint32_t offset = 0;
  for (uint32_t r = 100; r < 150; ++r) offset += static_cast<uint32_t>(RecordText(r).size());
  EXPECT_EQ(GetRowOffset(o.cursor, 0, 1, 50), offset);
  // A row past the end is no error.
  int status = -1;
  EXPECT_EQ(Read(o.cursor, 250, &status), "");
  EXPECT_EQ(status, kReadRecordOk);
}

TEST(TableCursor, RecordIntoBufferTakesWhatFitsAndHandleGrows) {
  Table t;
  Column c;
  Bytes record(40);
  for (int i = 0; i < 40; ++i) record[i] = static_cast<uint8_t>(i + 1);
  c.blocks.push_back(RecordsBlock({record}, 0, 1));
  t.columns.push_back(c);
  OneTable o(t, "grow.pdb");
  ASSERT_NE(o.cursor, nullptr);

  uint8_t buffer[16] = {};
  uint32_t bytes = 0;
  EXPECT_EQ(ReadTableRecord(o.cursor, 0, 0, nullptr, buffer, 10, &bytes), kReadRecordOk);
  EXPECT_EQ(bytes, 10u);
  EXPECT_EQ(buffer[9], 10);
  EXPECT_EQ(buffer[10], 0);

  MemHandle* handle = NewMemHandle(10);
  ASSERT_EQ(ReadTableRecord(o.cursor, 0, 0, handle, nullptr, 0, &bytes), kReadRecordOk);
  EXPECT_EQ(bytes, 40u);
  EXPECT_EQ(GetMemHandleSize(handle), 40u);
  EXPECT_EQ(GetMemHandleLockCount(handle), 0);
  EXPECT_EQ(static_cast<uint8_t*>(handle->data)[39], 40);
  // maxBytes limits a handle output too.
  ASSERT_EQ(ReadTableRecord(o.cursor, 0, 0, handle, nullptr, 12, &bytes), kReadRecordOk);
  EXPECT_EQ(bytes, 12u);
  FreeMemHandle(handle);
}

TEST(TableCursor, ReleaseAfterReadLeavesNoBlockCurrent) {
  OneTable o(RawTable({3, 3}, kTableReleaseAfterRead), "release.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(Read(o.cursor, 4), RecordText(4));
  EXPECT_EQ(o.cursor->currentBlock, kNoBlock);
  EXPECT_EQ(o.cursor->blockRecord, nullptr);
}

class CompressedBlocks : public ::testing::TestWithParam<bool> {};

TEST_P(CompressedBlocks, InflateFinishedAndFlushedStreams) {
  const bool finished = GetParam();
  Table t = RawTable({40, 40, 40}, kTableCompressed);
  t.columns[0].unitSize = 2;
  // Records of whole 2-byte units.
  uint32_t row = 0;
  for (Block& b : t.columns[0].blocks) {
    std::vector<Bytes> recs;
    for (uint32_t i = 0; i < b.rows; ++i) {
      std::string s = RecordText(row + i);
      if (s.size() % 2) s += '.';
      recs.push_back(AsBytes(s));
    }
    uint32_t w0 = b.word0;
    b = RecordsBlock(recs, t.flags, 2);
    b.word0 = w0;
    CompressBlock(b, 2, finished);
    row += b.rows;
  }
  OneTable o(t, finished ? "zfinished.pdb" : "zflushed.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(GetColumnRowCount(o.cursor, 0), 120u);
  for (uint32_t r = 0; r < 120; ++r) {
    std::string want = RecordText(r);
    if (want.size() % 2) want += '.';
    // The last row of each block ends at the inflated size, not at the
    // block's (compressed) unit count.
    ASSERT_EQ(Read(o.cursor, r), want) << r;
  }
  EXPECT_NE(o.cursor->inflated, nullptr);
}

INSTANTIATE_TEST_SUITE_P(ZlibEnds, CompressedBlocks, ::testing::Values(true, false));

// A one-block compressed table whose stored data is `data`.
Table CompressedTableWith(const Bytes& data, uint32_t rows = 1) {
  Table t;
  t.flags = kTableCompressed;
  Column c;
  Block b;
  b.rows = rows;
  for (uint32_t i = 0; i < rows; ++i) b.rowWords.push_back(0);
  b.units = static_cast<uint32_t>(data.size());
  b.data = data;
  c.blocks.push_back(b);
  t.columns.push_back(c);
  return t;
}

TEST(TableCursor, BadCompressedBlocksFailTheLoadCleanly) {
  Bytes big(kInflatedBlockMax + 1, 'x');
  Bytes exact(kInflatedBlockMax, 'y');
  Bytes corrupt = Deflate(AsBytes("some text to squeeze"), true);
  corrupt[4] ^= 0xFF;
  corrupt[5] ^= 0x55;
  // A stream that asks for a 32 KB window (2^15) is not one of ours.
  Bytes wideWindow;
  {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
    Bytes in = AsBytes(std::string(100000, 'a') + "tail");
    wideWindow.resize(deflateBound(&zs, in.size()));
    zs.next_in = in.data();
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = wideWindow.data();
    zs.avail_out = static_cast<uInt>(wideWindow.size());
    deflate(&zs, Z_FINISH);
    wideWindow.resize(wideWindow.size() - zs.avail_out);
    deflateEnd(&zs);
  }
  const struct {
    const char* name;
    Bytes data;
  } bad[] = {
      {"inflates past 49,152 bytes", Deflate(big, true)},
      {"corrupt stream", corrupt},
      {"empty stream", Bytes{}},
      {"window above 2^14", wideWindow},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.name);
    OneTable o(CompressedTableWith(c.data), std::string("zbad") + ".pdb");
    ASSERT_NE(o.cursor, nullptr);
    EXPECT_EQ(LoadCursorBlock(o.cursor, 0, 0), 1);
    EXPECT_EQ(o.cursor->currentBlock, kNoBlock);
    EXPECT_EQ(o.cursor->blockRecord, nullptr);
    EXPECT_EQ(o.cursor->inflated, nullptr);
    uint8_t buffer[8];
    uint32_t bytes = 7;
    EXPECT_EQ(ReadTableRecord(o.cursor, 0, 0, nullptr, buffer, sizeof buffer, &bytes), kReadRecordFailed);
    EXPECT_EQ(bytes, 0u);
    // The failed block holds no lock in the cache: it can be evicted.
    EXPECT_LE(GetRecordCacheCount(o.cache), 1u);
  }
  // Exactly 49,152 inflated bytes is a whole block.
  OneTable ok(CompressedTableWith(Deflate(exact, false)), "zexact.pdb");
  ASSERT_NE(ok.cursor, nullptr);
  MemHandle* handle = NewMemHandle(0);
  uint32_t bytes = 0;
  EXPECT_EQ(ReadTableRecord(ok.cursor, 0, 0, handle, nullptr, 0, &bytes), kReadRecordOk);
  EXPECT_EQ(bytes, 49152u);  // ends at the inflated size; a whole record fits under the 65,535 limit
  FreeMemHandle(handle);
}

// Code lengths 2 (x2), 4 (x4), 6 (x8) and 8 (x32): a complete code.
CanonicalCode TestCode() {
  std::u16string alphabet = u" etaoinshrdlcumwfgypbvkjxqzETAOINSHRDLCUMW.,";
  std::vector<std::pair<char16_t, uint32_t>> lengths;
  for (size_t i = 0; i < 46; ++i) {
    char16_t s = i < alphabet.size() ? alphabet[i] : static_cast<char16_t>(0x4E00 + i);
    lengths.push_back({s, i < 2 ? 2u : i < 6 ? 4u : i < 14 ? 6u : 8u});
  }
  return MakeCanonicalCode(lengths);
}

Table HuffmanTableOf(const std::vector<std::u16string>& texts, uint32_t rowsPerBlock, const CanonicalCode& code) {
  Table t;
  t.flags = kTableHuffmanText;
  t.textKind = kHuffmanTextKind;
  t.subtables.push_back(HuffmanSubtable(code));
  Column c;
  for (size_t first = 0; first < texts.size(); first += rowsPerBlock) {
    std::vector<Bytes> recs;
    for (size_t i = first; i < std::min(texts.size(), first + rowsPerBlock); ++i)
      recs.push_back(HuffmanEncode(code, texts[i]));
    Block b = RecordsBlock(recs, t.flags, 1);
    b.word0 = static_cast<uint32_t>(first);
    c.blocks.push_back(b);
  }
  t.columns.push_back(c);
  return t;
}

std::u16string ReadText(TableCursor* cursor, uint32_t row, uint32_t maxBytes = 0, int* status = nullptr) {
  MemHandle* handle = NewMemHandle(0);
  uint32_t bytes = 0;
  int s = ReadTableRecord(cursor, 0, row, handle, nullptr, maxBytes, &bytes);
  if (status) *status = s;
  std::u16string text(static_cast<const char16_t*>(handle->data), bytes / 2);
  FreeMemHandle(handle);
  return text;
}

// Texts of every length the test code gives: empty, one unit, a run of
// one unit, Chinese (8-bit codes), and padding ending mid byte.
const std::vector<std::u16string> kHuffmanTexts = {
    u"the cat",   u"a",        u"",          u"zebra crossing",
    u"Mountain.", u"qqqqqqqq", u"\u4E2C\u4E2D", u"one, two, three",
    u"long text where the padding ends mid byte"};

TEST(TableCursor, HuffmanTextAcrossBlocks) {
  CanonicalCode code = TestCode();
  const std::vector<std::u16string>& texts = kHuffmanTexts;
  OneTable o(HuffmanTableOf(texts, 4, code), "huffman.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(GetColumnRowCount(o.cursor, 0), texts.size());
  for (uint32_t r = 0; r < texts.size(); ++r) EXPECT_EQ(ReadText(o.cursor, r), texts[r]) << r;
  // Limits count bytes and take whole units only.
  EXPECT_EQ(ReadText(o.cursor, 0, 6), u"the");
  EXPECT_EQ(ReadText(o.cursor, 0, 7), u"the");
  char16_t small[3] = {1, 1, 1};
  uint32_t bytes = 0;
  EXPECT_EQ(ReadTableRecord(o.cursor, 0, 3, nullptr, small, 5, &bytes), kReadRecordOk);
  EXPECT_EQ(bytes, 4u);
  EXPECT_EQ(small[2], 1);  // not one byte past the limit
}

// A record read a piece at a time gives the units ReadTableRecord gives
// (whole units of a byte record), whatever the pieces' size, rows taken
// in order across blocks and then back in an earlier block.
TEST(TableCursor, RecordUnitStreamGivesTheRecordsUnits) {
  CanonicalCode code = TestCode();
  const std::vector<std::u16string>& texts = kHuffmanTexts;
  OneTable huffman(HuffmanTableOf(texts, 4, code), "stream_huffman.pdb");
  OneTable raw(RawTable({5, 5, 3}), "stream_raw.pdb");
  ASSERT_NE(huffman.cursor, nullptr);
  ASSERT_NE(raw.cursor, nullptr);
  auto streamed = [](TableCursor* cursor, uint32_t row, uint32_t piece) {
    RecordUnitStream stream{};
    EXPECT_EQ(OpenRecordUnitStream(cursor, 0, row, &stream), kReadRecordOk);
    std::u16string out;
    WCHAR units[16];
    for (uint32_t n; (n = ReadRecordUnits(&stream, units, piece)) > 0;) out.append(units, n);
    EndRecordUnitStream(cursor);
    return out;
  };
  auto whole = [](TableCursor* cursor, uint32_t row) {
    MemHandle* handle = NewMemHandle(0);
    uint32_t bytes = 0;
    EXPECT_EQ(ReadTableRecord(cursor, 0, row, handle, nullptr, 0, &bytes), kReadRecordOk);
    std::u16string text(static_cast<const char16_t*>(handle->data), bytes / 2);
    FreeMemHandle(handle);
    return text;
  };
  for (uint32_t piece : {1u, 3u, 16u}) {
    for (uint32_t r = 0; r < texts.size(); ++r) EXPECT_EQ(streamed(huffman.cursor, r, piece), texts[r]) << r;
    EXPECT_EQ(streamed(huffman.cursor, 1, piece), texts[1]);
    for (uint32_t r = 0; r < 13; ++r) EXPECT_EQ(streamed(raw.cursor, r, piece), whole(raw.cursor, r)) << r;
    EXPECT_EQ(streamed(raw.cursor, 2, piece), whole(raw.cursor, 2));
  }
  // A row past the end is an empty record, as ReadTableRecord has it.
  EXPECT_EQ(streamed(huffman.cursor, static_cast<uint32_t>(texts.size()), 16), u"");
  // The visitor stops where it says, and the stream goes on from there.
  RecordUnitStream stream{};
  ASSERT_EQ(OpenRecordUnitStream(huffman.cursor, 0, 3, &stream), kReadRecordOk);
  std::u16string first;
  VisitRecordUnits(&stream, [&](WCHAR u) {
    first.push_back(u);
    return u != u' ';
  });
  EXPECT_EQ(first, u"zebra ");
  WCHAR rest[32];
  EXPECT_EQ(std::u16string(rest, ReadRecordUnits(&stream, rest, 32)), u"crossing");
}

// Codes of 2 to 24 bits, as the Chinese characters of a dictionary's text
// have long ones: the short are decided by the quick table's first level,
// the 11- to 22-bit ones through a second level, and those behind the
// first 10 bits that also begin 23- and 24-bit codes by the full search.
// Every path gives the same units, read whole, streamed in pieces, or
// visited one by one.
TEST(TableCursor, LongHuffmanCodesDecodeAlikeOnEveryPath) {
  // Counts per length, from the longest: each length's codes continue the
  // canonical order of the longer ones, and the code is complete.
  std::vector<std::pair<char16_t, uint32_t>> lengths;
  char16_t next = 0x4E00;
  uint32_t taken = 0;  // codes of the lengths done so far, in the next shorter's terms times two
  for (uint32_t len = 24; len >= 2; --len) {
    uint32_t want = len >= 11 ? 24 : len >= 5 ? 3 : 1;
    if ((taken + want) % 2 != 0) ++want;
    want = std::min<uint32_t>(want, (1u << len) - taken);
    for (uint32_t i = 0; i < want; ++i) lengths.push_back({next++, len});
    taken = (taken + want) / 2;
  }
  CanonicalCode code = MakeCanonicalCode(lengths);
  ASSERT_EQ(code.longest, 24u);
  std::vector<std::u16string> texts;
  uint32_t seed = 12345;
  for (int t = 0; t < 40; ++t) {
    std::u16string text;
    seed = seed * 1103515245u + 12345u;
    const uint32_t size = seed >> 26;  // 0 to 63 units
    for (uint32_t i = 0; i < size; ++i) {
      seed = seed * 1103515245u + 12345u;
      text.push_back(lengths[(seed >> 8) % lengths.size()].first);
    }
    texts.push_back(text);
  }
  OneTable o(HuffmanTableOf(texts, 4, code), "long_codes.pdb");
  ASSERT_NE(o.cursor, nullptr);
  for (uint32_t r = 0; r < texts.size(); ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(ReadText(o.cursor, r), texts[r]);
    for (uint32_t piece : {1u, 3u, 64u}) {
      RecordUnitStream stream{};
      ASSERT_EQ(OpenRecordUnitStream(o.cursor, 0, r, &stream), kReadRecordOk);
      std::u16string out;
      WCHAR units[64];
      for (uint32_t n; (n = ReadRecordUnits(&stream, units, piece)) > 0;) out.append(units, n);
      EndRecordUnitStream(o.cursor);
      EXPECT_EQ(out, texts[r]) << "pieces of " << piece;
    }
  }
}

// The hint reads nothing into the cursor and changes no read.
TEST(TableCursor, PrefetchLeavesTheCursorAsItWas) {
  OneTable o(RawTable({100, 100, 50}), "prefetch.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(Read(o.cursor, 150), RecordText(150));
  const uint32_t block = o.cursor->currentBlock;
  for (uint32_t r : {0u, 120u, 199u, 200u, 400u}) {
    PrefetchTableRecord(o.cursor, 0, r, false);
    PrefetchTableRecord(o.cursor, 0, r, true);
    EXPECT_EQ(o.cursor->currentBlock, block) << r;
  }
  for (uint32_t r : {199u, 100u, 99u, 200u}) EXPECT_EQ(Read(o.cursor, r), RecordText(r)) << r;
}

TEST(TableCursor, HuffmanCodeHandCheck) {
  // Lengths 2,2,2,3,4,5,6,7,8,8: the longer codes take the small values
  // (i, j = 00000000, 00000001; h = 0000001; ... d = 001), and a, b, c of
  // length 2 continue above them as 01, 10, 11. "cab" is 11 01 10, padded
  // with two zero bits, which begin no whole code.
  CanonicalCode code = MakeCanonicalCode({{u'a', 2}, {u'b', 2}, {u'c', 2}, {u'd', 3}, {u'e', 4}, {u'f', 5}, {u'g', 6},
                                      {u'h', 7}, {u'i', 8}, {u'j', 8}});
  Table t = HuffmanTableOf({u"cab", u"dj"}, 4, code);
  t.columns[0].blocks[0].data = {0xD8, 0x20, 0x20};  // "dj" = 001 00000001, then padding
  t.columns[0].blocks[0].rowWords = {0, 1};
  t.columns[0].blocks[0].units = 3;
  OneTable o(t, "handcheck.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(ReadText(o.cursor, 0), u"cab");
  EXPECT_EQ(ReadText(o.cursor, 1), u"dj");
}

TEST(TableCursor, MalformedHuffmanSubtableFailsTheRead) {
  CanonicalCode code = TestCode();
  Table t = HuffmanTableOf({u"the cat"}, 4, code);
  Bytes& sub = t.subtables[0];
  SetLe32(sub, 0, 33);  // longest code 33 bits
  OneTable o(t, "badhuffman.pdb");
  ASSERT_NE(o.cursor, nullptr);
  int status = -1;
  EXPECT_EQ(ReadText(o.cursor, 0, 0, &status), u"");
  EXPECT_EQ(status, kReadRecordFailed);
}

// Keyed rows: keys 10, 20, ... in blocks of `perBlock`.
Table KeyedTable(uint32_t flags, uint32_t rows, uint32_t perBlock, uint32_t keyStep, uint32_t keyBase = 10) {
  Table t;
  t.flags = flags | kTableKeyed | kTableSorted;
  Column c;
  c.unitSize = 1;
  for (uint32_t first = 0; first < rows; first += perBlock) {
    std::vector<Bytes> recs;
    std::vector<uint32_t> keys;
    for (uint32_t r = first; r < std::min(rows, first + perBlock); ++r) {
      recs.push_back(AsBytes(RecordText(r)));
      keys.push_back(keyBase + keyStep * r);
    }
    Block b = RecordsBlock(recs, t.flags, 1, keys);
    b.word0 = first;
    c.blocks.push_back(b);
  }
  t.columns.push_back(c);
  return t;
}

struct KeyCase {
  uint32_t key;
  int exact, orNext;
  int64_t row;
};

void CheckKeys(TableCursor* cursor, const std::vector<KeyCase>& cases) {
  for (const KeyCase& c : cases)
    EXPECT_EQ(FindRowByKey(cursor, 0, c.key, c.exact, c.orNext), c.row)
        << "key " << c.key << " exact " << c.exact << " orNext " << c.orNext;
}

TEST(TableCursor, FindRowByKey16) {
  // 25 rows, keys 10, 20, ... 250, blocks of 10 rows.
  OneTable o(KeyedTable(0, 25, 10, 10), "keys16.pdb");
  ASSERT_NE(o.cursor, nullptr);
  CheckKeys(o.cursor, {
                          {10, 1, 0, 0},
                          {150, 1, 0, 14},
                          {250, 1, 0, 24},
                          {155, 1, 0, -1},
                          {155, 0, 0, 14},   // between: the lower row
                          {155, 0, 1, 15},   // or the higher one
                          {105, 0, 1, 10},   // above block 0's last key: block 1's first row
                          {100, 0, 1, 9},
                          {5, 0, 0, 0},      // below all
                          {5, 0, 1, 0},
                          {999, 0, 0, 24},   // above all
                          {999, 0, 1, 24},
                          {999, 1, 0, -1},
                      });
  EXPECT_EQ(GetRowKeyByRow(o.cursor, 0, 13), 140);
  EXPECT_EQ(GetRowKey(o.cursor, 0, 1, 10), -1);  // local row past the block
  EXPECT_EQ(Read(o.cursor, 14), RecordText(14));
}

TEST(TableCursor, FindRowByKey32) {
  // Keys above 16 bits: 0x12340 + 0x10000 * r.
  OneTable o(KeyedTable(kTableKey32, 12, 5, 0x10000, 0x12340), "keys32.pdb");
  ASSERT_NE(o.cursor, nullptr);
  CheckKeys(o.cursor, {
                          {0x12340, 1, 0, 0},
                          {0x12340 + 0x10000 * 7, 1, 0, 7},
                          {0x12340 + 0x10000 * 7 + 1, 1, 0, -1},
                          {0x12340 + 0x10000 * 7 + 1, 0, 0, 7},
                          {0x12340 + 0x10000 * 7 + 1, 0, 1, 8},
                          {0x12340 + 0x10000 * 11, 1, 0, 11},
                      });
  EXPECT_EQ(GetRowKeyByRow(o.cursor, 0, 3), 0x12340 + 0x10000 * 3);
  EXPECT_EQ(Read(o.cursor, 7), RecordText(7));
}

TEST(TableCursor, ReadSingleValueFixedWidth) {
  // 2-byte values in blocks of 4; word 1 of each block is its first value's index.
  Table t;
  Column c;
  c.unitSize = 2;
  for (uint32_t first = 0; first < 10; first += 4) {
    Block b;
    for (uint32_t i = first; i < std::min(10u, first + 4); ++i) PutLe16(b.data, 1000 + i);
    b.units = static_cast<uint32_t>(b.data.size() / 2);
    b.word1 = first;
    c.blocks.push_back(b);
  }
  t.columns.push_back(c);
  // A second column of 3-byte values reads zero-extended.
  Column wide;
  wide.unitSize = 3;
  Block w;
  w.data = {1, 2, 3, 0xFF, 0xFF, 0xFF};
  w.units = 2;
  wide.blocks.push_back(w);
  t.columns.push_back(wide);
  OneTable o(t, "values.pdb");
  ASSERT_NE(o.cursor, nullptr);
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(ReadSingleValue(o.cursor, 0, i), 1000 + i) << i;
  EXPECT_EQ(ReadSingleValue(o.cursor, 0, 10), 0u);  // past the last block's units
  EXPECT_EQ(ReadSingleValue(o.cursor, 1, 0), 0x030201u);
  EXPECT_EQ(ReadSingleValue(o.cursor, 1, 1), 0xFFFFFFu);
  EXPECT_EQ(ReadSingleValue(o.cursor, 1, 2), 0u);
}

TEST(TableCursor, ReadSingleValueBitPacked13) {
  // 13-bit values: value 2 spans bits 26..38, across the first word boundary.
  std::vector<uint32_t> values;
  for (uint32_t i = 0; i < 20; ++i) values.push_back((i * 2654435761u) & 0x1FFF);
  values[2] = 0x1ABC;
  Table t;
  t.flags = kTableBitPacked;
  Column c;
  c.unitSize = 13;
  for (uint32_t first = 0; first < 20; first += 10) {
    Block b;
    b.data = PackBits(std::vector<uint32_t>(values.begin() + first, values.begin() + first + 10), 13);
    b.units = 10;
    b.word1 = first;
    c.blocks.push_back(b);
  }
  t.columns.push_back(c);
  OneTable o(t, "bits13.pdb");
  ASSERT_NE(o.cursor, nullptr);
  for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(ReadSingleValue(o.cursor, 0, i), values[i]) << i;
  EXPECT_EQ(ReadSingleValue(o.cursor, 0, 20), 0u);
}

TEST(TableCursor, RecordOffsetsAddTheBlocksFirstUnit) {
  Table t = RawTable({5, 5});
  t.columns[0].blocks[1].word1 = 1000;
  OneTable o(t, "offsets.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(GetRowRecordOffset(o.cursor, 0, 5), 1000u);
  EXPECT_EQ(GetRowRecordOffset(o.cursor, 0, 6), 1000u + RecordText(5).size());
  // The row after the last starts at the block's end.
  uint32_t end = 0;
  for (uint32_t r = 5; r < 10; ++r) end += static_cast<uint32_t>(RecordText(r).size());
  EXPECT_EQ(GetRowRecordOffset(o.cursor, 0, 10), 1000u + end);
  EXPECT_EQ(GetRowRecordLength(o.cursor, 0, 9), RecordText(9).size());
}

TEST(TableCursor, FixedLengthRecords) {
  Table t;
  t.flags = kTableFixedLength;
  t.fixedLength = 3;
  Column c;
  c.unitSize = 1;
  Block b = RecordsBlock({AsBytes("abc"), AsBytes("def"), AsBytes("ghi")}, t.flags, 1);
  c.blocks.push_back(b);
  t.columns.push_back(c);
  OneTable o(t, "fixed.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(GetColumnRowCount(o.cursor, 0), 3u);
  EXPECT_EQ(Read(o.cursor, 1), "def");
  EXPECT_EQ(Read(o.cursor, 2), "ghi");
  EXPECT_EQ(GetRowOffset(o.cursor, 0, 0, 2), 6u);
}

// A table flagged 32-bit keyed but not keyed counts two words a row, the
// offset being the third: a row's offset then lies in the next row, or
// (for the last) past the row table, where the block's record may end.
// Such rows read as they always did, from checked words, and nothing is
// read past the record (which the sanitizer build sees).
TEST(TableCursor, OffsetWordOutsideItsRowReadsChecked) {
  Table t;
  t.flags = kTableKey32;
  Column c;
  Block b;
  b.rows = 2;
  b.rowWords = {0, 0, 0, 0};  // the record ends right after them
  b.units = 0;
  c.blocks.push_back(b);
  t.columns.push_back(c);
  OneTable o(t, "offset_word.pdb");
  ASSERT_NE(o.cursor, nullptr);
  for (uint32_t r = 0; r < 2; ++r) {
    int status = kReadRecordFailed;
    EXPECT_EQ(Read(o.cursor, r, &status), "") << r;
    EXPECT_EQ(status, kReadRecordOk) << r;
    RecordUnitStream stream{};
    EXPECT_EQ(OpenRecordUnitStream(o.cursor, 0, r, &stream), kReadRecordOk) << r;
    WCHAR unit;
    EXPECT_EQ(ReadRecordUnits(&stream, &unit, 1), 0u) << r;
    PrefetchTableRecord(o.cursor, 0, r, false);
  }
}

// Blocks whose stored numbers do not fit their record.
TEST(TableCursor, MalformedBlocksReadAsMissing) {
  const struct {
    const char* name;
    void (*edit)(Block&);
  } cases[] = {
      {"more rows than the row table holds", [](Block& b) { b.rows = 100000; }},
      {"units past the record", [](Block& b) { b.units = 5000; }},
      {"offset past the data", [](Block& b) { b.rowWords[3] = 60000; }},
      {"offsets running backwards", [](Block& b) { b.rowWords[1] = 30; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Table t = KeyedTable(0, 4, 4, 10);
    c.edit(t.columns[0].blocks[0]);
    OneTable o(t, "badblock.pdb");
    ASSERT_NE(o.cursor, nullptr);
    // Reads fail or come back short; nothing is read outside the record
    // (the sanitizer build checks that).
    for (uint32_t r = 0; r < 5; ++r) {
      char buffer[64];
      uint32_t bytes = 0;
      int status = ReadTableRecord(o.cursor, 0, r, nullptr, buffer, sizeof buffer, &bytes);
      if (status != kReadRecordOk) {
        EXPECT_EQ(bytes, 0u);
      }
      EXPECT_LE(bytes, 64u);
      GetRowKeyByRow(o.cursor, 0, r);
      GetRowRecordLength(o.cursor, 0, r);
      ReadSingleValue(o.cursor, 0, r);
    }
    FindRowByKey(o.cursor, 0, 20, 1, 0);
  }
  // The block whose row table does not fit does not load at all.
  Table t = KeyedTable(0, 4, 4, 10);
  t.columns[0].blocks[0].rows = 100000;
  OneTable o(t, "badblock2.pdb");
  ASSERT_NE(o.cursor, nullptr);
  EXPECT_EQ(LoadCursorBlock(o.cursor, 0, 0), 1);
  EXPECT_EQ(GetColumnRowCount(o.cursor, 0), 0u);
  EXPECT_EQ(FindRowByKey(o.cursor, 0, 20, 1, 0), -1);
}

// --- searches by text ---

// Sorted UTF-16 text rows (sorted by the table order of `mode`), in blocks
// of `perBlock` with first-key texts. `lead` units are written before each
// row's text (mode 7 rows carry two data units first).
Table TextTable(std::vector<std::u16string> texts, int mode, uint32_t perBlock, size_t lead = 0) {
  std::stable_sort(texts.begin(), texts.end(),
                   [mode](const std::u16string& a, const std::u16string& b) {
                     return CompareTableText(mode, a.c_str(), b.c_str()) < 0;
                   });
  Table t;
  t.flags = kTableFirstKeyTexts;
  Column c;
  c.unitSize = 2;
  for (size_t first = 0; first < texts.size(); first += perBlock) {
    std::vector<Bytes> recs;
    for (size_t i = first; i < std::min(texts.size(), first + perBlock); ++i) {
      std::u16string row = std::u16string(lead, u'\x7F') + texts[i];
      recs.push_back(TextBytes(row, true));
    }
    Block b = RecordsBlock(recs, t.flags, 2);
    b.word0 = static_cast<uint32_t>(first);
    b.firstText = texts[first];
    c.blocks.push_back(b);
  }
  t.columns.push_back(c);
  return t;
}

std::u16string RowText(TableCursor* cursor, int64_t row, size_t lead = 0) {
  if (row < 0) return u"<none>";
  char16_t buffer[128];
  uint32_t bytes = 0;
  ReadTableRecord(cursor, 0, static_cast<uint32_t>(row), nullptr, buffer, sizeof buffer - 2, &bytes);
  buffer[bytes / 2] = 0;
  return std::u16string(buffer + lead);
}

const std::vector<std::u16string> kHeadwords = {
    u"aardvark", u"abacus",   u"abbey",     u"apple",    u"apple pie", u"banana", u"band",   u"bandage",
    u"car",      u"card",     u"care",      u"cargo",    u"cherry",    u"dog",    u"door",   u"egg",
    u"eggplant", u"fig",      u"grape",     u"guava",    u"hazel",     u"iris",   u"jade",   u"kiwi",
    u"lemon",    u"lime",     u"mango",     u"melon",    u"nut",       u"olive",  u"orange", u"papaya"};

TEST(TableCursor, FindRowByTextMode0FindsEveryHeadword) {
  OneTable o(TextTable(kHeadwords, 0, 5), "mode0.pdb");
  ASSERT_NE(o.cursor, nullptr);
  for (const std::u16string& word : kHeadwords) {
    std::u16string key = word;
    key.erase(std::remove(key.begin(), key.end(), u' '), key.end());  // letter key without spaces
    int64_t row = FindRowByText(o.cursor, 0, key.c_str(), 0);
    EXPECT_EQ(RowText(o.cursor, row), word) << std::string(word.begin(), word.end());
  }
  // A key that is no row gives the row sharing the longest prefix.
  EXPECT_EQ(RowText(o.cursor, FindRowByText(o.cursor, 0, u"cherri", 0)), u"cherry");
  EXPECT_EQ(RowText(o.cursor, FindRowByText(o.cursor, 0, u"cargp", 0)), u"cargo");
  EXPECT_EQ(RowText(o.cursor, FindRowByText(o.cursor, 0, u"eggp", 0)), u"eggplant");
  EXPECT_EQ(RowText(o.cursor, FindRowByText(o.cursor, 0, u"doorz", 0)), u"door");  // above a block's last row
  EXPECT_EQ(RowText(o.cursor, FindRowByText(o.cursor, 0, u"aaa", 0)), u"aardvark");
  EXPECT_EQ(RowText(o.cursor, FindRowByText(o.cursor, 0, u"zebra", 0)), u"papaya");
}

TEST(TableCursor, FindRowByTextModes5And6) {
  std::vector<std::u16string> words = {u"able",        u"bank, river", u"bank",      u"banker",  u"cat (animal)",
                                       u"catalogue",   u"dark",        u"day. night", u"east",    u"eat",
                                       u"\u00E9clair", u"fig",         u"fork",       u"garden",  u"gate",
                                       u"habit",       u"hat",         u"ice",        u"idle",    u"jam"};
  OneTable o(TextTable(words, 5, 4), "mode56.pdb");
  ASSERT_NE(o.cursor, nullptr);
  // Mode 5, whole words: present words are found; the trimmed and
  // parenthesised rows match their plain word.
  for (const char16_t* key : {u"able", u"banker", u"catalogue", u"fork", u"jam", u"ice", u"eclair"}) {
    int64_t row = FindRowByText(o.cursor, 0, key, 5);
    ASSERT_GE(row, 0) << std::string(key, key + 3);
    std::u16string text = RowText(o.cursor, row);
    std::vector<char16_t> copy(text.begin(), text.end());
    copy.push_back(0);
    TrimCompareText(copy.data());
    EXPECT_EQ(EnglishKeyCmp(copy.data(), key), 0);
  }
  EXPECT_GE(FindRowByText(o.cursor, 0, u"cat", 5), 0);
  EXPECT_EQ(FindRowByText(o.cursor, 0, u"dog", 5), -1);
  EXPECT_EQ(FindRowByText(o.cursor, 0, u"ban", 5), -1);
  // Mode 6, word prefixes: a row beginning with the key, or nothing.
  for (const char16_t* key : {u"ban", u"cata", u"gar", u"ha", u"id"}) {
    int64_t row = FindRowByText(o.cursor, 0, key, 6);
    ASSERT_GE(row, 0);
    std::u16string text = RowText(o.cursor, row);
    EXPECT_EQ(EnglishKeyCommonLength(text.c_str(), key), std::u16string(key).size());
  }
  EXPECT_EQ(FindRowByText(o.cursor, 0, u"zz", 6), -1);
  EXPECT_EQ(FindRowByText(o.cursor, 0, u"dx", 6), -1);
}

TEST(TableCursor, FindRowByTextMode7SkipsTwoLeadingUnits) {
  std::vector<std::u16string> names = {u"a1", u"ai4", u"ba3", u"bang1", u"ce4", u"chi1", u"de5",
                                       u"er2", u"fu2", u"ge1", u"hao3", u"ji1", u"ka3", u"le4"};
  OneTable o(TextTable(names, 7, 3, 2), "mode7.pdb");
  ASSERT_NE(o.cursor, nullptr);
  for (const std::u16string& name : names) {
    int64_t row = FindRowByText(o.cursor, 0, name.c_str(), 7);
    EXPECT_EQ(RowText(o.cursor, row, 2), name) << std::string(name.begin(), name.end());
  }
}

TEST(TableCursor, CompareRowTextReportsPrefixMatches) {
  OneTable o(TextTable(kHeadwords, 0, 40), "compare.pdb");
  ASSERT_NE(o.cursor, nullptr);
  int64_t row = FindRowByText(o.cursor, 0, u"bandage", 0);
  ASSERT_GE(row, 0);
  WCHAR buffer[40];
  int matched = 0;
  uint32_t prefix = 0;
  EXPECT_GT(CompareRowText(o.cursor, 0, static_cast<uint32_t>(row), u"band", 4, buffer, sizeof buffer, 0, &matched,
                           &prefix),
            0);
  EXPECT_EQ(matched, 1);  // the key is a prefix of the row
  EXPECT_EQ(prefix, 4u);
  EXPECT_EQ(CompareRowText(o.cursor, 0, static_cast<uint32_t>(row), u"bandage", 7, buffer, sizeof buffer, 0,
                           &matched, &prefix),
            0);
  EXPECT_EQ(matched, 1);
  EXPECT_LT(CompareRowText(o.cursor, 0, static_cast<uint32_t>(row), u"bandages", 8, buffer, sizeof buffer, 0,
                           &matched, &prefix),
            0);
  EXPECT_EQ(matched, 0);
  // Modes 1 to 4 compare nothing.
  EXPECT_EQ(CompareRowText(o.cursor, 0, static_cast<uint32_t>(row), u"zzz", 3, buffer, sizeof buffer, 2, &matched,
                           &prefix),
            0);
  EXPECT_EQ(matched, 0);
  // A tiny buffer still leaves room for the terminator.
  WCHAR tiny[3] = {9, 9, 9};
  CompareRowText(o.cursor, 0, static_cast<uint32_t>(row), u"ba", 2, tiny, 4, 0, &matched, &prefix);
  EXPECT_EQ(tiny[1], 0);
  EXPECT_EQ(tiny[2], 9);
}

TEST(TableCursor, CloneReadsTheSameTableIndependently) {
  OneTable o(RawTable({4, 4}), "clone.pdb");
  ASSERT_NE(o.cursor, nullptr);
  TableCursor* other = CloneTableCursor(o.cursor);
  EXPECT_EQ(Read(o.cursor, 1), RecordText(1));
  EXPECT_EQ(Read(other, 6), RecordText(6));
  EXPECT_NE(o.cursor->currentBlock, other->currentBlock);
  ResetCursor(o.cursor);
  EXPECT_EQ(o.cursor->currentBlock, kNoBlock);
  FreeTableCursor(other);
}

TEST(TableCursor, FindTableByTypeTakesTheFirstCursorOfTheType) {
  OneTable o(RawTable({2}), "bytype.pdb");
  ASSERT_NE(o.cursor, nullptr);
  TableCursor* second = CloneTableCursor(o.cursor);
  TableCursor* third = CloneTableCursor(o.cursor);
  TableCursor* cursors[] = {o.cursor, second, third};
  uint32_t types[] = {0x1000, 0x1100, 0x1100};
  DictSlot slot{};
  slot.kind = kDictKindBuiltIn;
  slot.cursors = cursors;
  slot.tableTypes = types;
  slot.cursorCount = 3;
  EXPECT_EQ(FindTableByType(&slot, 0x1100), second);
  EXPECT_EQ(FindTableByType(&slot, 0x1000), o.cursor);
  EXPECT_EQ(FindTableByType(&slot, 0x1130), nullptr);
  slot.kind = kDictKindUser;
  EXPECT_EQ(FindTableByType(&slot, 0x1000), nullptr);
  EXPECT_EQ(FindTableByType(nullptr, 0x1000), nullptr);
  FreeTableCursor(second);
  FreeTableCursor(third);
}

// Blocks of several pages each: a cut inside one leaves pages wholly past
// the file's end, where a block borrowed from the file's view shows the cut.
TEST(TableCursor, BlocksLostFromAShrunkFileFailTheirReads) {
  DataFile f;
  f.tables.push_back(RawTable({600, 600, 600, 600}));
  std::vector<Bytes> records = BuildRecords(f);
  // Records: database header, table header, index, blocks 0..3.
  const size_t thirdBlock = 5;
  size_t offset = 78 + 8 * records.size();
  for (size_t k = 0; k < thirdBlock; ++k) offset += records[k].size();
  OneTable o(BuildContainer(records), "shrunk.pdb");
  ASSERT_NE(o.cursor, nullptr);
  ASSERT_GT(records[thirdBlock].size(), 8192u);
  EXPECT_EQ(Read(o.cursor, 2000), RecordText(2000));
  ResetCursor(o.cursor);
  // Cut the file inside the third block.
  std::string host = GetDeviceRoot() + "/shrunk.pdb";
  ASSERT_EQ(truncate(host.c_str(), static_cast<off_t>(offset + 5)), 0);
  int status = -1;
  EXPECT_EQ(Read(o.cursor, 1500, &status), "");
  EXPECT_EQ(status, kReadRecordFailed);
  EXPECT_EQ(o.cursor->currentBlock, kNoBlock);
  EXPECT_EQ(Read(o.cursor, 1900, &status), "");
  EXPECT_EQ(status, kReadRecordFailed);
  // The blocks before the cut still read from the file.
  EXPECT_EQ(Read(o.cursor, 200), RecordText(200));
  EXPECT_EQ(Read(o.cursor, 900), RecordText(900));
}

}  // namespace
