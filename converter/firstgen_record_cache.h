// The record cache shared by the tables of every first-generation container
// file (bundle tables read their members directly). It is not the engine's
// cache of the same name: this one keeps first-generation records, keyed by
// 32-bit numbers that the tables reserve in blocks.
//
// At most 127 records are kept, sorted by key. A lookup that hits takes a
// new stamp and one more use; a miss reads the record and, when the cache is
// full, first frees the entry with the oldest stamp among those with no
// users. When every entry is in use the record is handed out uncached and
// freed on release, so a full cache never stalls a reader.
//
// Contract: release every record before FreeRecordCache (close the tables
// first); the cache frees what it holds whole.
#pragma once

#include <cstdint>

#include "converter/firstgen_file.h"

namespace converter {

inline constexpr uint32_t kRecordCacheEntries = 127;

struct RecordCacheEntry {
  FirstGenRecord* record;
  uint32_t key;
  uint32_t stamp;  // last use
  uint32_t uses;
};

struct RecordCache {
  RecordCacheEntry entries[kRecordCacheEntries];
  uint32_t count;
  uint32_t stamp;
  uint64_t nextKey;  // the running total of reserved keys
};

// Null when there is no memory.
RecordCache* NewRecordCache();
void FreeRecordCache(RecordCache* cache);

// Reserves n keys for one table. 0 and the first key in *base; 1 when the
// 32-bit key space is used up.
int ReserveRecordCacheKeys(RecordCache* cache, uint32_t n, uint32_t* base);

// Record `index` of `file` under `key`, read when not held. Null when the
// record cannot be read or memory is short. Give it back with
// ReleaseCachedRecord.
FirstGenRecord* GetCachedRecord(RecordCache* cache, FirstGenDatabaseFile* file, uint32_t index, uint32_t key);
// Lowers the entry's use count, or frees a record that was handed out
// uncached.
void ReleaseCachedRecord(RecordCache* cache, uint32_t key, FirstGenRecord* record);

// For tests: 1 when the key's record is held.
int IsRecordCached(const RecordCache* cache, uint32_t key);

}  // namespace converter
