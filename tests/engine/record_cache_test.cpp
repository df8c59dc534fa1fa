#include "engine/record_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/data_file_db.h"
#include "engine/db_file.h"
#include "engine/mem_handle.h"
#include "engine/table_cursor.h"
#include "platform/heap.h"
#include "tests/engine/data_file_fixture.h"

using namespace fixture;

namespace {

// One table of `blocks` blocks of one 8-byte record each: the tag and the
// block number, so a read shows which table and block it came from.
Table TaggedTable(uint32_t tag, uint32_t blocks) {
  Table t;
  Column c;
  c.unitSize = 1;
  for (uint32_t b = 0; b < blocks; ++b) {
    Bytes r;
    PutLe32(r, tag);
    PutLe32(r, b);
    Block blk = RecordsBlock({r}, 0, 1);
    blk.word0 = b;
    c.blocks.push_back(blk);
  }
  t.columns.push_back(c);
  return t;
}

struct TaggedFile {
  DbFile* file = nullptr;
  DataFileDb* db = nullptr;
  DataTable* table = nullptr;
  TaggedFile(RecordCache* cache, uint32_t tag, uint32_t blocks, const std::string& name) {
    DataFile f;
    f.tables.push_back(TaggedTable(tag, blocks));
    file = WriteAndOpen(BuildContainer(BuildRecords(f)), name);
    if (file) db = OpenDataFileDb(file, cache);
    if (db) table = GetTableByIndex(db, 0);
  }
  ~TaggedFile() {
    CloseDataFileDb(db);
    if (file) CloseDbFile(file);
  }
  // Reads row r through the cursor and checks its tag and block.
  bool ReadsRow(TableCursor* cursor, uint32_t tag, uint32_t r) {
    uint8_t buffer[8];
    uint32_t bytes = 0;
    if (ReadTableRecord(cursor, 0, r, nullptr, buffer, sizeof buffer, &bytes) != kReadRecordOk || bytes != 8)
      return false;
    return LoadLe32(buffer) == tag && LoadLe32(buffer + 4) == r;
  }
  uint32_t Key(uint32_t row) const { return table->keyBase + table->firstBlock[0] + row; }
};

TEST(RecordCache, CapacityByMode) {
  const struct {
    uint32_t mode, capacity;
  } cases[] = {{0, 128}, {1, 64}, {2, 32}, {3, 32}};
  for (auto c : cases) {
    RecordCache* cache = NewRecordCache(c.mode);
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(GetRecordCacheCapacity(cache), c.capacity) << c.mode;
    FreeRecordCache(cache);
  }
}

TEST(RecordCache, EvictsTheLeastRecentlyUsedUnlockedBlock) {
  RecordCache* cache = NewRecordCache(0);  // 128 entries, at most 127 records
  {
    TaggedFile f(cache, 7, 200, "lru.pdb");
    ASSERT_NE(f.table, nullptr);
    TableCursor* holder = NewTableCursor(f.table);
    TableCursor* reader = NewTableCursor(f.table);
    // The holder keeps block 0 locked; the reader fills the cache.
    ASSERT_TRUE(f.ReadsRow(holder, 7, 0));
    for (uint32_t r = 1; r < 127; ++r) ASSERT_TRUE(f.ReadsRow(reader, 7, r));
    EXPECT_EQ(GetRecordCacheCount(cache), 127u);
    // Touch block 1 so block 2 is now the least recently used unlocked one.
    ASSERT_TRUE(f.ReadsRow(reader, 7, 1));
    ASSERT_TRUE(f.ReadsRow(reader, 7, 127));  // the 128th distinct block
    EXPECT_EQ(GetRecordCacheCount(cache), 127u);
    EXPECT_TRUE(IsRecordCached(cache, f.Key(0)));  // locked by the holder
    EXPECT_TRUE(IsRecordCached(cache, f.Key(1)));
    EXPECT_FALSE(IsRecordCached(cache, f.Key(2)));
    EXPECT_TRUE(IsRecordCached(cache, f.Key(127)));
    // Many more reads never evict the held block.
    for (uint32_t r = 128; r < 200; ++r) ASSERT_TRUE(f.ReadsRow(reader, 7, r));
    EXPECT_TRUE(IsRecordCached(cache, f.Key(0)));
    EXPECT_EQ(GetMemHandleLockCount(holder->blockRecord), 1);
    FreeTableCursor(holder);
    FreeTableCursor(reader);
  }
  FreeRecordCache(cache);
}

TEST(RecordCache, GrowsWhenEveryEntryIsLockedAndShrinksBack) {
  RecordCache* cache = NewRecordCache(kRecordCacheMode32);  // 32 entries
  {
    TaggedFile f(cache, 3, 60, "locked.pdb");
    ASSERT_NE(f.table, nullptr);
    std::vector<TableCursor*> cursors;
    for (uint32_t r = 0; r < 50; ++r) {
      cursors.push_back(NewTableCursor(f.table));
      ASSERT_TRUE(f.ReadsRow(cursors.back(), 3, r)) << r;
    }
    EXPECT_EQ(GetRecordCacheCount(cache), 50u);
    // Every held block still reads right.
    for (uint32_t r = 0; r < 50; ++r) EXPECT_TRUE(f.ReadsRow(cursors[r], 3, r));
    for (TableCursor* c : cursors) FreeTableCursor(c);
    // Once unlocked, misses evict down to the capacity again.
    TableCursor* reader = NewTableCursor(f.table);
    ASSERT_TRUE(f.ReadsRow(reader, 3, 55));
    EXPECT_EQ(GetRecordCacheCount(cache), 31u);
    ASSERT_TRUE(f.ReadsRow(reader, 3, 56));
    EXPECT_EQ(GetRecordCacheCount(cache), 31u);
    FreeTableCursor(reader);
  }
  FreeRecordCache(cache);
}

TEST(RecordCache, AFullyLockedCacheThatCannotGrowFailsTheReadCleanly) {
  RecordCache* cache = NewRecordCache(kRecordCacheMode32);
  {
    TaggedFile f(cache, 5, 40, "nogrow.pdb");
    ASSERT_NE(f.table, nullptr);
    std::vector<TableCursor*> cursors;
    for (uint32_t r = 0; r < 32; ++r) {
      cursors.push_back(NewTableCursor(f.table));
      ASSERT_TRUE(f.ReadsRow(cursors.back(), 5, r));
    }
    // 32 entries are in use, all locked: the next block needs the record
    // read and the entry array grown. Whichever allocation fails, the read
    // fails cleanly: nothing leaked, no block current, nothing cached.
    int failures = 0;
    bool succeeded = false;
    for (DWORD nth = 1; nth <= 12 && !succeeded; ++nth) {
      TableCursor* extra = NewTableCursor(f.table);
      SIZE_T blocks = GetLocalHeapBlockCount();
      SetLocalHeapFailure(nth, 1);
      uint8_t buffer[8];
      uint32_t bytes = 9;
      int status = ReadTableRecord(extra, 0, 33, nullptr, buffer, sizeof buffer, &bytes);
      ClearLocalHeapFailure();
      if (status == kReadRecordOk) {
        succeeded = true;
        EXPECT_EQ(bytes, 8u);
        EXPECT_EQ(LoadLe32(buffer + 4), 33u);
        EXPECT_EQ(GetRecordCacheCount(cache), 33u);
      } else {
        failures++;
        EXPECT_EQ(bytes, 0u);
        EXPECT_EQ(extra->currentBlock, kNoBlock);
        EXPECT_EQ(GetLocalHeapBlockCount(), blocks) << nth;
        EXPECT_EQ(GetRecordCacheCount(cache), 32u);
      }
      FreeTableCursor(extra);
    }
    EXPECT_TRUE(succeeded);
    EXPECT_GE(failures, 2);  // the record and the entry array at least
    for (TableCursor* c : cursors) FreeTableCursor(c);
  }
  FreeRecordCache(cache);
}

TEST(RecordCache, KeysOfTablesNeverCollide) {
  RecordCache* cache = NewRecordCache(0);
  // Push the next free key close to 65,536: with 16-bit keys the second
  // table's blocks would wrap onto the first table's.
  uint32_t base = 0;
  ASSERT_EQ(ReserveCacheKeys(cache, 65530, &base), 0);
  EXPECT_EQ(base, 0u);
  {
    TaggedFile a(cache, 0xA, 20, "keysa.pdb");
    TaggedFile b(cache, 0xB, 20, "keysb.pdb");
    ASSERT_NE(a.table, nullptr);
    ASSERT_NE(b.table, nullptr);
    EXPECT_EQ(a.table->keyBase, 65530u);
    EXPECT_GT(b.table->keyBase, 65536u);
    TableCursor* ca = NewTableCursor(a.table);
    TableCursor* cb = NewTableCursor(b.table);
    for (uint32_t r = 0; r < 20; ++r) {
      EXPECT_TRUE(a.ReadsRow(ca, 0xA, r)) << r;
      EXPECT_TRUE(b.ReadsRow(cb, 0xB, r)) << r;
    }
    FreeTableCursor(ca);
    FreeTableCursor(cb);
  }
  // The 32-bit key space can be used up, and then a table is refused.
  ASSERT_EQ(ReserveCacheKeys(cache, 0xFFFE0000u, &base), 0);
  EXPECT_EQ(ReserveCacheKeys(cache, 0x20000u, &base), 1);
  FreeRecordCache(cache);
}

TEST(RecordCache, FreeingTheCacheFreesItsRecords) {
  SIZE_T before = GetLocalHeapBlockCount();
  RecordCache* cache = NewRecordCache(0);
  {
    TaggedFile f(cache, 1, 10, "free.pdb");
    ASSERT_NE(f.table, nullptr);
    TableCursor* cursor = NewTableCursor(f.table);
    for (uint32_t r = 0; r < 10; ++r) ASSERT_TRUE(f.ReadsRow(cursor, 1, r));
    FreeTableCursor(cursor);
  }
  FreeRecordCache(cache);
  EXPECT_EQ(GetLocalHeapBlockCount(), before);
}

TEST(RecordCache, ThreadsShareOneCache) {
  RecordCache* cache = NewRecordCache(kRecordCacheMode32);  // small, so the threads evict each other's blocks
  {
    TaggedFile f(cache, 9, 100, "threads.pdb");
    ASSERT_NE(f.table, nullptr);
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        TableCursor* cursor = NewTableCursor(f.table);
        uint32_t r = static_cast<uint32_t>(t * 17);
        for (int i = 0; i < 2000; ++i) {
          r = (r * 37 + 11) % 100;
          if (!f.ReadsRow(cursor, 9, r)) bad++;
        }
        FreeTableCursor(cursor);
      });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_LE(GetRecordCacheCount(cache), 31u);
  }
  FreeRecordCache(cache);
}

}  // namespace
