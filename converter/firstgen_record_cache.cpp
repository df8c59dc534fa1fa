#include "converter/firstgen_record_cache.h"

#include <new>

namespace converter {

namespace {

// The first entry whose key is not below `key`.
uint32_t LowerBound(const RecordCache* cache, uint32_t key) {
  uint32_t lo = 0, hi = cache->count;
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (cache->entries[mid].key < key) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

void RemoveAt(RecordCache* cache, uint32_t i) {
  for (uint32_t j = i + 1; j < cache->count; ++j) cache->entries[j - 1] = cache->entries[j];
  --cache->count;
}

// Frees the least recently used entry without users; false when every
// entry is in use.
bool EvictOne(RecordCache* cache) {
  uint32_t best = cache->count;
  for (uint32_t i = 0; i < cache->count; ++i) {
    const RecordCacheEntry& e = cache->entries[i];
    if (e.uses == 0 && (best == cache->count || e.stamp < cache->entries[best].stamp)) best = i;
  }
  if (best == cache->count) return false;
  FreeFirstGenRecord(cache->entries[best].record);
  RemoveAt(cache, best);
  return true;
}

}  // namespace

RecordCache* NewRecordCache() { return new (std::nothrow) RecordCache{}; }

void FreeRecordCache(RecordCache* cache) {
  if (!cache) return;
  for (uint32_t i = 0; i < cache->count; ++i) FreeFirstGenRecord(cache->entries[i].record);
  delete cache;
}

int ReserveRecordCacheKeys(RecordCache* cache, uint32_t n, uint32_t* base) {
  if (!cache || cache->nextKey + n > 0x100000000ull) return 1;
  *base = static_cast<uint32_t>(cache->nextKey);
  cache->nextKey += n;
  return 0;
}

FirstGenRecord* GetCachedRecord(RecordCache* cache, FirstGenDatabaseFile* file, uint32_t index, uint32_t key) {
  uint32_t at = LowerBound(cache, key);
  if (at < cache->count && cache->entries[at].key == key) {
    RecordCacheEntry& e = cache->entries[at];
    e.stamp = ++cache->stamp;
    ++e.uses;
    return e.record;
  }
  FirstGenRecord* record = ReadFirstGenFileRecord(file, index);
  if (!record) return nullptr;
  while (cache->count >= kRecordCacheEntries) {
    if (!EvictOne(cache)) return record;  // every entry in use: handed out uncached
  }
  at = LowerBound(cache, key);
  for (uint32_t j = cache->count; j > at; --j) cache->entries[j] = cache->entries[j - 1];
  cache->entries[at] = {record, key, ++cache->stamp, 1};
  ++cache->count;
  return record;
}

void ReleaseCachedRecord(RecordCache* cache, uint32_t key, FirstGenRecord* record) {
  if (!record) return;
  uint32_t at = LowerBound(cache, key);
  if (at < cache->count && cache->entries[at].key == key && cache->entries[at].record == record) {
    if (cache->entries[at].uses > 0) --cache->entries[at].uses;
    return;
  }
  FreeFirstGenRecord(record);
}

int IsRecordCached(const RecordCache* cache, uint32_t key) {
  uint32_t at = LowerBound(cache, key);
  return at < cache->count && cache->entries[at].key == key;
}

}  // namespace converter
