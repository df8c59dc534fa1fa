#include "engine/record_cache.h"

#include <cstring>
#include <mutex>
#include <new>

#include "engine/db_file.h"
#include "engine/mem_handle.h"
#include "platform/heap.h"

namespace {

struct CacheEntry {
  MemHandle* record;
  uint32_t key;
  uint64_t stamp;
};

}  // namespace

// Keys are 32 bits wide (a table's base plus its block number), so the key
// ranges of all open tables never overlap however many blocks they hold.
struct RecordCache {
  mutable std::mutex lock;  // the UI thread and the workers share one cache
  CacheEntry* entries = nullptr;
  uint32_t count = 0;
  uint32_t allocated = 0;  // room in `entries`; grows past capacity only when all are locked
  uint32_t capacity = 0;
  uint64_t nextFreeKey = 0;
  uint64_t clock = 0;
};

RecordCache* NewRecordCache(uint32_t mode) {
  void* mem = LocalAlloc(LMEM_FIXED, sizeof(RecordCache));
  if (!mem) return nullptr;
  RecordCache* cache = new (mem) RecordCache;
  cache->capacity = (mode & kRecordCacheMode32) ? 32 : (mode & kRecordCacheMode64) ? 64 : 128;
  cache->entries = static_cast<CacheEntry*>(LocalAlloc(LMEM_FIXED, cache->capacity * sizeof(CacheEntry)));
  if (!cache->entries) {
    cache->~RecordCache();
    LocalFree(mem);
    return nullptr;
  }
  cache->allocated = cache->capacity;
  return cache;
}

void FreeRecordCache(RecordCache* cache) {
  if (!cache) return;
  for (uint32_t i = 0; i < cache->count; ++i) {
    if (GetMemHandleLockCount(cache->entries[i].record) == 0) FreeMemHandle(cache->entries[i].record);
  }
  LocalFree(cache->entries);
  cache->~RecordCache();
  LocalFree(cache);
}

namespace {

// Index of the first entry whose key is not below `key`.
uint32_t LowerBound(const RecordCache* cache, uint32_t key) {
  uint32_t lo = 0, hi = cache->count;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (cache->entries[mid].key < key)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// Drops the least recently used unlocked entry (the first in key order on a
// tie); its index, or -1 when every entry is locked. Its record goes to
// *kept when that is given (for the next read to reuse), else is freed.
int64_t EvictCacheEntry(RecordCache* cache, MemHandle** kept = nullptr) {
  int64_t best = -1;
  uint64_t bestStamp = ~uint64_t{0};
  const CacheEntry* entries = cache->entries;
  for (uint32_t i = 0; i < cache->count; ++i) {
    // The stamp first: only an entry older than the best so far needs its
    // record looked at (a miss scans every entry on the lookup path).
    // Stamps are all different and below the start value (the clock never
    // gets near it), so the oldest is one entry.
    if (entries[i].stamp >= bestStamp) continue;
    if (entries[i].record->lockCount != 0) continue;
    best = i;
    bestStamp = entries[i].stamp;
  }
  if (best < 0) return -1;
  if (kept) {
    *kept = cache->entries[best].record;
  } else {
    FreeMemHandle(cache->entries[best].record);
  }
  std::memmove(cache->entries + best, cache->entries + best + 1, (cache->count - best - 1) * sizeof(CacheEntry));
  cache->count--;
  return best;
}

// Room for one more entry; grows the array when every entry was locked.
bool EnsureEntryRoom(RecordCache* cache) {
  if (cache->count < cache->allocated) return true;
  uint32_t grown = cache->allocated * 2;
  void* mem = LocalReAlloc(cache->entries, grown * sizeof(CacheEntry), LMEM_MOVEABLE);
  if (!mem) return false;
  cache->entries = static_cast<CacheEntry*>(mem);
  cache->allocated = grown;
  return true;
}

}  // namespace

MemHandle* GetCachedRecord(DbFile* file, RecordCache* cache, uint32_t headerRecordIndex, uint32_t keyBase,
                           uint32_t block) {
  if (!file || !cache) return nullptr;
  uint64_t recordIndex = uint64_t{headerRecordIndex} + block;
  uint64_t wideKey = uint64_t{keyBase} + block;
  if (recordIndex > 0xFFFFFFFFu || wideKey > 0xFFFFFFFFu) return nullptr;
  uint32_t key = static_cast<uint32_t>(wideKey);

  std::lock_guard<std::mutex> guard(cache->lock);
  uint32_t pos = LowerBound(cache, key);
  if (pos < cache->count && cache->entries[pos].key == key) {
    CacheEntry& hit = cache->entries[pos];
    hit.stamp = ++cache->clock;
    LockMemHandle(hit.record);
    return hit.record;
  }

  // The cache holds at most capacity - 1 records while some can be evicted.
  const uint32_t limit = cache->capacity - 1;
  MemHandle* record = nullptr;
  if (cache->count < limit) record = ReadDbBlockRecord(file, static_cast<uint32_t>(recordIndex), nullptr);
  if (!record || cache->count >= limit) {
    // Make room; this also gives memory back when the read failed for want of
    // it. The first record dropped is read into (its handle and block reused)
    // rather than freed and allocated again: on the lookup path nearly every
    // miss drops one record to read the next.
    MemHandle* spare = nullptr;
    while (cache->count > 0) {
      int64_t evicted = EvictCacheEntry(cache, spare || record ? nullptr : &spare);
      if (evicted < 0) break;  // every entry is locked: the array grows instead
      if (static_cast<uint32_t>(evicted) < pos) pos--;
      if (cache->count < limit) break;
    }
    if (!record) record = ReadDbBlockRecord(file, static_cast<uint32_t>(recordIndex), spare);
  }
  if (!record) return nullptr;
  if (!EnsureEntryRoom(cache)) {
    FreeDbRecord(file, static_cast<uint32_t>(recordIndex), record);
    return nullptr;
  }
  std::memmove(cache->entries + pos + 1, cache->entries + pos, (cache->count - pos) * sizeof(CacheEntry));
  cache->entries[pos] = CacheEntry{record, key, ++cache->clock};
  cache->count++;
  LockMemHandle(record);
  return record;
}

void ReleaseCachedRecord(RecordCache* cache, MemHandle* record) {
  if (!cache || !record) return;
  std::lock_guard<std::mutex> guard(cache->lock);
  UnlockMemHandle(record);
}

int ReserveCacheKeys(RecordCache* cache, uint32_t blockEnd, uint32_t* keyBase) {
  std::lock_guard<std::mutex> guard(cache->lock);
  if (cache->nextFreeKey + blockEnd > 0x100000000ull) return 1;
  *keyBase = static_cast<uint32_t>(cache->nextFreeKey);
  cache->nextFreeKey += blockEnd;
  return 0;
}

uint32_t GetRecordCacheCapacity(const RecordCache* cache) { return cache->capacity; }

uint32_t GetRecordCacheCount(const RecordCache* cache) {
  std::lock_guard<std::mutex> guard(cache->lock);
  return cache->count;
}

int IsRecordCached(const RecordCache* cache, uint32_t key) {
  std::lock_guard<std::mutex> guard(cache->lock);
  uint32_t pos = LowerBound(cache, key);
  return pos < cache->count && cache->entries[pos].key == key;
}
