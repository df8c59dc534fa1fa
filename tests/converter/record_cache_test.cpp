// The converter's record cache: eviction of the oldest unused entry, keys
// past 16 bits, and a full cache of records in use.
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

class RecordCacheTest : public ReaderTest {
 protected:
  // A container of n small records (record i holds the byte i).
  FirstGenDatabaseFile* Container(uint32_t n) {
    std::vector<firstgen::Bytes> records;
    for (uint32_t i = 0; i < n; ++i) records.push_back({static_cast<uint8_t>(i), 0xEE});
    const std::u16string path = Put("cache.pdb", firstgen::WriteContainer(records));
    file_ = OpenFirstGenDatabaseFile(path.c_str());
    return file_;
  }
  ~RecordCacheTest() override { CloseFirstGenDatabaseFile(file_); }
  FirstGenDatabaseFile* file_ = nullptr;
};

TEST_F(RecordCacheTest, FullCacheEvictsTheOldestUnusedEntry) {
  FirstGenDatabaseFile* file = Container(200);
  ASSERT_NE(file, nullptr);
  std::vector<FirstGenRecord*> held;
  for (uint32_t i = 0; i < kRecordCacheEntries; ++i) {
    FirstGenRecord* r = GetCachedRecord(cache_, file, i, 100 + i);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->data[0], i);
    held.push_back(r);
  }
  for (uint32_t i = 0; i < kRecordCacheEntries; ++i) ReleaseCachedRecord(cache_, 100 + i, held[i]);
  // Touch key 100 again: 101 is now the oldest unused.
  ReleaseCachedRecord(cache_, 100, GetCachedRecord(cache_, file, 0, 100));
  FirstGenRecord* r = GetCachedRecord(cache_, file, 150, 5000);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->data[0], 150);
  EXPECT_EQ(cache_->count, kRecordCacheEntries);
  EXPECT_TRUE(IsRecordCached(cache_, 100));
  EXPECT_FALSE(IsRecordCached(cache_, 101));
  EXPECT_TRUE(IsRecordCached(cache_, 102));
  EXPECT_TRUE(IsRecordCached(cache_, 5000));
  ReleaseCachedRecord(cache_, 5000, r);
}

TEST_F(RecordCacheTest, EveryEntryInUseHandsOutUncachedRecords) {
  FirstGenDatabaseFile* file = Container(200);
  ASSERT_NE(file, nullptr);
  std::vector<FirstGenRecord*> held;
  for (uint32_t i = 0; i < kRecordCacheEntries; ++i) held.push_back(GetCachedRecord(cache_, file, i, i));
  // No entry can be evicted: the record comes uncached and is freed on
  // release (ASan reports a leak otherwise).
  FirstGenRecord* extra = GetCachedRecord(cache_, file, 190, 190);
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(extra->data[0], 190);
  EXPECT_FALSE(IsRecordCached(cache_, 190));
  ReleaseCachedRecord(cache_, 190, extra);
  for (uint32_t i = 0; i < kRecordCacheEntries; ++i) ReleaseCachedRecord(cache_, i, held[i]);
}

TEST_F(RecordCacheTest, KeysPastSixteenBitsStayApart) {
  FirstGenDatabaseFile* file = Container(4);
  ASSERT_NE(file, nullptr);
  uint32_t a = 0, b = 0;
  ASSERT_EQ(ReserveRecordCacheKeys(cache_, 40000, &a), 0);
  ASSERT_EQ(ReserveRecordCacheKeys(cache_, 40000, &b), 0);
  EXPECT_EQ(b, a + 40000);
  // Keys that a 16-bit key would fold together (b + 30000 = 70000 = 4464 + 65536).
  FirstGenRecord* r1 = GetCachedRecord(cache_, file, 1, 4464);
  FirstGenRecord* r2 = GetCachedRecord(cache_, file, 2, b + 30000);
  ASSERT_NE(r1, nullptr);
  ASSERT_NE(r2, nullptr);
  EXPECT_EQ(r1->data[0], 1);
  EXPECT_EQ(r2->data[0], 2);
  ReleaseCachedRecord(cache_, 4464, r1);
  ReleaseCachedRecord(cache_, b + 30000, r2);
  // The 32-bit key space runs out rather than wrapping.
  uint32_t c = 0;
  EXPECT_EQ(ReserveRecordCacheKeys(cache_, 0xFFFFFFFFu, &c), 1);
}

}  // namespace
}  // namespace reader_test
