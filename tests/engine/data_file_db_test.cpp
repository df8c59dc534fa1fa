#include "engine/data_file_db.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/db_file.h"
#include "engine/record_cache.h"
#include "engine/table_cursor.h"
#include "platform/heap.h"
#include "tests/engine/data_file_fixture.h"

using namespace fixture;

namespace {

// One column of `blocks` blocks of `rowsPerBlock` 4-byte records each; the
// record of row r holds r.
Table CountingTable(uint32_t type, uint32_t blocks, uint32_t rowsPerBlock) {
  Table t;
  t.type = type;
  t.version = 2;
  t.name1 = u"Counting";
  t.name2 = u"Second name";
  t.info = {1, 2, 3, 4, 5, 6, 7, 8};
  Column c;
  c.unitSize = 4;
  uint32_t row = 0;
  for (uint32_t b = 0; b < blocks; ++b) {
    std::vector<Bytes> recs;
    for (uint32_t i = 0; i < rowsPerBlock; ++i) {
      Bytes r;
      PutLe32(r, row + i);
      recs.push_back(r);
    }
    Block blk = RecordsBlock(recs, t.flags, 4);
    blk.word0 = row;
    c.blocks.push_back(blk);
    row += rowsPerBlock;
  }
  t.columns.push_back(c);
  t.entryCount = row;
  return t;
}

struct Opened {
  DbFile* file = nullptr;
  RecordCache* cache = nullptr;
  DataFileDb* db = nullptr;
  ~Opened() {
    CloseDataFileDb(db);
    FreeRecordCache(cache);
    if (file) CloseDbFile(file);
  }
};

void Open(Opened& o, const Bytes& bytes, const std::string& name) {
  o.file = WriteAndOpen(bytes, name);
  ASSERT_NE(o.file, nullptr);
  o.cache = NewRecordCache(0);
  ASSERT_NE(o.cache, nullptr);
  o.db = OpenDataFileDb(o.file, o.cache);
}

std::u16string Take(WCHAR* text) {
  std::u16string s = text ? std::u16string(text) : std::u16string();
  if (text) LocalFree(text);
  return s;
}

TEST(DataFileDb, OpensTablesWithTheirPropertiesNamesAndTexts) {
  DataFile f;
  f.shortName = u"Short";
  f.longName = u"A longer name";
  f.notice = u"Notice text";
  f.tables.push_back(CountingTable(0x1000, 2, 3));
  f.tables.push_back(CountingTable(0x1100, 1, 5));
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "props.pdb");
  ASSERT_NE(o.db, nullptr);
  EXPECT_EQ(GetTableCount(o.db), 2u);
  EXPECT_EQ(GetTableByIndex(o.db, 2), nullptr);
  EXPECT_EQ(GetTablePropertyByIndex(o.db, 0, 1), 0x1000u);
  EXPECT_EQ(GetTablePropertyByIndex(o.db, 1, 1), 0x1100u);
  EXPECT_EQ(GetTablePropertyByIndex(o.db, 1, 2), 2u);
  EXPECT_EQ(GetTablePropertyByIndex(o.db, 1, 3), 0u);
  EXPECT_EQ(GetTablePropertyByIndex(o.db, 5, 1), 0u);

  WCHAR* name = nullptr;
  DataTable* t = GetTableByIndex(o.db, 0);
  EXPECT_EQ(GetTableName(t, 0, &name), 0);
  EXPECT_EQ(Take(name), u"Counting");
  EXPECT_EQ(GetTableName(t, 1, &name), 0);
  EXPECT_EQ(Take(name), u"Second name");
  EXPECT_EQ(GetTableName(t, 2, &name), 1);

  WCHAR *shortName, *longName, *notice;
  GetDataFileTexts(o.db, &shortName, &longName, &notice);
  EXPECT_EQ(Take(shortName), u"Short");
  EXPECT_EQ(Take(longName), u"A longer name");
  EXPECT_EQ(Take(notice), u"Notice text");

  TableCursor* cursor = NewTableCursor(t);
  ASSERT_EQ(GetTableInfoAreaSize(cursor), 8u);
  EXPECT_EQ(GetTableInfoArea(cursor)[7], 8);
  EXPECT_EQ(GetTableEntryCount(cursor), 6u);
  EXPECT_EQ(GetColumnRowCount(cursor, 0), 6u);
  FreeTableCursor(cursor);
}

TEST(DataFileDb, EmptyTextsAreNull) {
  DataFile f;
  f.shortName = u"";
  f.tables.push_back(CountingTable(0x1000, 1, 1));
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "notexts.pdb");
  ASSERT_NE(o.db, nullptr);
  WCHAR *shortName = nullptr, *longName = nullptr, *notice = nullptr;
  GetDataFileTexts(o.db, &shortName, &longName, &notice);
  EXPECT_EQ(shortName, nullptr);
  EXPECT_EQ(longName, nullptr);
  EXPECT_EQ(notice, nullptr);
}

// Each case changes a good file in one way; every one must be refused and
// leave nothing allocated behind.
struct RefusalCase {
  const char* name;
  std::function<Bytes()> build;
};

Bytes GoodWith(const std::function<void(DataFile&)>& edit, const std::function<void(std::vector<Bytes>&)>& patch = {},
               int32_t sizeDelta = 0) {
  DataFile f;
  f.tables.push_back(CountingTable(0x1000, 2, 3));
  f.tables.push_back(CountingTable(0x1010, 1, 2));
  if (edit) edit(f);
  std::vector<Bytes> records = BuildRecords(f);
  if (patch) patch(records);
  return BuildContainer(records, true, sizeDelta);
}

TEST(DataFileDb, RefusesMalformedFiles) {
  // Record 0 is the database header; record 1 the first table's header.
  const RefusalCase cases[] = {
      {"version 7", [] { return GoodWith([](DataFile& f) { f.version = 7; }); }},
      {"file size one more", [] { return GoodWith({}, {}, 1); }},
      {"file size one less", [] { return GoodWith({}, {}, -1); }},
      {"table type differs from the directory",
       [] { return GoodWith([](DataFile& f) { f.directoryTypes = {0x1000, 0x1011}; }); }},
      {"bad magic", [] { return GoodWith({}, [](std::vector<Bytes>& r) { r[0][3] = 'x'; }); }},
      {"bad number", [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[0], 12, 0xC8D32E18u); }); }},
      {"table count past the header", [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[0], 40, 1000); }); }},
      {"texts past the header",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[0], 112, 0x7FFFFFFF); }); }},
      {"table header is record 0", [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[0], 132, 0); }); }},
      {"table header past the records",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[0], 132, 5000); }); }},
      {"short table header", [] { return GoodWith({}, [](std::vector<Bytes>& r) { r[1].resize(200); }); }},
      {"no columns", [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[1], 32, 0); }); }},
      {"column directory past the header",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[1], 32, 40); }); }},
      {"info area past the header",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[1], 28, 0xFFFFFFF0u); }); }},
      {"block end past the file's records",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[1], 16, 60000); }); }},
      {"first block inside the index records",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[1], 256 + 8, 1); }); }},
      {"index record count past the file",
       [] { return GoodWith({}, [](std::vector<Bytes>& r) { SetLe32(r[1], 20, 0xFFFFFFFFu); }); }},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    DbFile* file = WriteAndOpen(c.build(), "refused.pdb");
    ASSERT_NE(file, nullptr);
    RecordCache* cache = NewRecordCache(0);
    SIZE_T blocks = GetLocalHeapBlockCount();
    EXPECT_EQ(OpenDataFileDb(file, cache), nullptr);
    EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
    FreeRecordCache(cache);
    CloseDbFile(file);
  }
}

TEST(DataFileDb, AcceptsTheUnchangedFileOfTheRefusalCases) {
  Opened o;
  Open(o, GoodWith({}), "good.pdb");
  EXPECT_NE(o.db, nullptr);
}

TEST(DataFileDb, ColumnsOwnTheBlocksUpToTheNextColumn) {
  // One index record and three subtables put column 0's first block at 5.
  DataFile f;
  Table t = CountingTable(0x1000, 4, 2);
  t.subtables = {Bytes{1}, Bytes{2, 2}, Bytes{3, 3, 3}};
  Column second;
  second.unitSize = 2;
  Block b = RecordsBlock({Bytes{9, 0}}, 0, 2);
  second.blocks.push_back(b);
  t.columns.push_back(second);
  f.tables.push_back(t);
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "columns.pdb");
  ASSERT_NE(o.db, nullptr);
  DataTable* table = GetTableByIndex(o.db, 0);
  EXPECT_EQ(table->firstBlock[0], 5u);
  EXPECT_EQ(table->blockCount[0], 4u);
  EXPECT_EQ(table->firstBlock[1], 9u);
  EXPECT_EQ(table->blockCount[1], 1u);

  TableCursor* cursor = NewTableCursor(table);
  uint32_t size = 0;
  const uint8_t* sub = GetSubtableRecord(cursor, 2, &size);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(sub[0], 3);
  EXPECT_EQ(GetSubtableRecord(cursor, 3, &size), nullptr);
  EXPECT_EQ(GetColumnRowCount(cursor, 0), 8u);
  EXPECT_EQ(GetColumnRowCount(cursor, 1), 1u);
  EXPECT_EQ(ReadSingleValue(cursor, 1, 0), 9u);
  FreeTableCursor(cursor);
}

TEST(DataFileDb, FindBlockReturnsTheLastBlockNotAboveTheValue) {
  DataFile f;
  Table t = CountingTable(0x1000, 5, 100);  // first rows 0, 100, ... 400
  t.entriesPerIndexRecord = 2;               // three index records
  f.tables.push_back(t);
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "findblock.pdb");
  ASSERT_NE(o.db, nullptr);
  DataTable* table = GetTableByIndex(o.db, 0);
  const struct {
    uint32_t value;
    int64_t block;
  } cases[] = {{0, 0}, {99, 0}, {100, 1}, {300, 3}, {399, 3}, {400, 4}, {100000, 4}};
  for (auto c : cases) EXPECT_EQ(FindBlock(table, 0, c.value, 0), c.block) << c.value;
  uint32_t w = 0;
  EXPECT_EQ(GetBlockIndexWord(table, 0, 4, 0, &w), 0);
  EXPECT_EQ(w, 400u);
  EXPECT_EQ(GetBlockIndexWord(table, 0, 5, 0, &w), 1);
  EXPECT_EQ(FindBlock(table, 1, 0, 0), -1);
}

TEST(DataFileDb, FindBlockBelowTheFirstBlockGivesBlockZero) {
  DataFile f;
  Table t = CountingTable(0x1000, 4, 1);
  for (uint32_t b = 0; b < 4; ++b) t.columns[0].blocks[b].word2 = 10 * (b + 1);  // first keys 10..40
  f.tables.push_back(t);
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "findblock2.pdb");
  ASSERT_NE(o.db, nullptr);
  DataTable* table = GetTableByIndex(o.db, 0);
  EXPECT_EQ(FindBlock(table, 0, 3, 2), 0);
  EXPECT_EQ(FindBlock(table, 0, 40, 2), 3);
  EXPECT_EQ(FindBlock(table, 0, 25, 2), 1);
}

TEST(DataFileDb, AnIndexThatDoesNotCoverEveryBlockReadsAsEmpty) {
  DataFile f;
  f.tables.push_back(CountingTable(0x1000, 3, 2));
  // The index record claims only 2 entries for the table's 3 blocks.
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "shortindex.pdb");
  ASSERT_NE(o.db, nullptr);
  std::vector<Bytes> records = BuildRecords(f);
  SetLe32(records[2], 0, 2);
  Opened bad;
  Open(bad, BuildContainer(records), "shortindex2.pdb");
  ASSERT_NE(bad.db, nullptr);
  DataTable* table = GetTableByIndex(bad.db, 0);
  EXPECT_EQ(FindBlock(table, 0, 0, 0), -1);
  TableCursor* cursor = NewTableCursor(table);
  EXPECT_EQ(GetColumnRowCount(cursor, 0), 0u);
  uint8_t buffer[8];
  uint32_t bytes = 99;
  EXPECT_EQ(ReadTableRecord(cursor, 0, 0, nullptr, buffer, sizeof buffer, &bytes), kReadRecordFailed);
  EXPECT_EQ(bytes, 0u);
  FreeTableCursor(cursor);

  // An entry count larger than the record is refused the same way.
  SetLe32(records[2], 0, 1000);
  Opened huge;
  Open(huge, BuildContainer(records), "shortindex3.pdb");
  ASSERT_NE(huge.db, nullptr);
  EXPECT_EQ(FindBlock(GetTableByIndex(huge.db, 0), 0, 0, 0), -1);
}

TEST(DataFileDb, AColumnWithoutBlocksHasNoRows) {
  DataFile f;
  Table t;
  t.type = 0x1000;
  Column empty;
  empty.unitSize = 4;
  t.columns.push_back(empty);
  Table counting = CountingTable(0x1000, 2, 3);
  t.columns.push_back(counting.columns[0]);
  f.tables.push_back(t);
  Opened o;
  Open(o, BuildContainer(BuildRecords(f)), "emptycolumn.pdb");
  ASSERT_NE(o.db, nullptr);
  DataTable* table = GetTableByIndex(o.db, 0);
  EXPECT_EQ(table->blockCount[0], 0u);
  EXPECT_EQ(FindBlock(table, 0, 0, 0), -1);
  TableCursor* cursor = NewTableCursor(table);
  EXPECT_EQ(GetColumnRowCount(cursor, 0), 0u);
  EXPECT_EQ(ReadSingleValue(cursor, 0, 0), 0u);
  EXPECT_EQ(GetRowKeyByRow(cursor, 0, 0), -1);
  uint8_t buffer[8];
  uint32_t bytes = 99;
  EXPECT_EQ(ReadTableRecord(cursor, 0, 0, nullptr, buffer, sizeof buffer, &bytes), kReadRecordOk);
  EXPECT_EQ(bytes, 0u);
  // The next column keeps its own blocks.
  EXPECT_EQ(GetColumnRowCount(cursor, 1), 6u);
  EXPECT_EQ(ReadTableRecord(cursor, 1, 4, nullptr, buffer, sizeof buffer, &bytes), kReadRecordOk);
  ASSERT_EQ(bytes, 4u);
  EXPECT_EQ(buffer[0], 4);
  FreeTableCursor(cursor);
}

}  // namespace
