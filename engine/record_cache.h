// The record cache shared by every table of every data file: block records
// read on demand, kept while the engine lives, the least recently used
// unlocked one evicted when the cache is full.
#pragma once

#include <cstdint>

struct MemHandle;
struct DbFile;
struct RecordCache;

// Cache modes: 0 gives 128 entries, 1 gives 64 and 2 gives 32 (the engine's
// start modes); as bits, 2 wins over 1.
inline constexpr uint32_t kRecordCacheMode64 = 1;
inline constexpr uint32_t kRecordCacheMode32 = 2;

// Null when the heap is exhausted.
RecordCache* NewRecordCache(uint32_t mode);
// Frees the records of every unlocked entry, then the cache. Records still
// locked by a cursor are left to that cursor's owner (they are not freed).
void FreeRecordCache(RecordCache* cache);

// Block `block` of the table whose header is record `headerRecordIndex` of
// `file` and whose keys start at `keyBase`. The record comes back LOCKED
// (lock count + 1, taken under the cache's lock, so no other thread can evict
// it between the lookup and the lock); give it back with
// ReleaseCachedRecord. Null when the record cannot be read or there is no
// memory to keep it.
MemHandle* GetCachedRecord(DbFile* file, RecordCache* cache, uint32_t headerRecordIndex, uint32_t keyBase,
                           uint32_t block);
// Unlocks a record obtained from GetCachedRecord.
void ReleaseCachedRecord(RecordCache* cache, MemHandle* record);

// Keys: each table takes `blockEnd` keys. Returns 0 and the table's key base,
// or 1 when the 32-bit key space is used up.
int ReserveCacheKeys(RecordCache* cache, uint32_t blockEnd, uint32_t* keyBase);

// For tests and diagnostics.
uint32_t GetRecordCacheCapacity(const RecordCache* cache);
uint32_t GetRecordCacheCount(const RecordCache* cache);
// 1 when the record of `key` is held.
int IsRecordCached(const RecordCache* cache, uint32_t key);
