#include "engine/data_file_db.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "engine/db_file.h"
#include "engine/huffman.h"
#include "engine/mem_handle.h"
#include "engine/record_cache.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kDatabaseHeaderSize = 132;  // fixed part before the table directory
constexpr uint32_t kTableHeaderSize = 256;  // fixed part before the info area
constexpr char kMagic[12] = {'S', 'O', 'R', 'V', 'I', 's', 'o', 'r', 'v', 'i', 'D', 'B'};

// A fresh zero-terminated copy of at most `maxChars` UTF-16 characters at
// `p` (stopping at a 0), null when empty or out of memory.
WCHAR* CopyText(const uint8_t* p, uint32_t maxChars) {
  uint32_t n = 0;
  while (n < maxChars && LoadLe16(p + 2 * n) != 0) ++n;
  if (n == 0) return nullptr;
  auto* text = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (n + 1) * sizeof(WCHAR)));
  if (!text) return nullptr;
  for (uint32_t i = 0; i < n; ++i) text[i] = LoadLe16(p + 2 * i);
  text[n] = 0;
  return text;
}

void CloseDataTable(DataTable* table) {
  if (!table) return;
  DbFile* file = table->db->file;
  LocalFree(table->firstBlock);
  LocalFree(table->blockCount);
  LocalFree(table->unitSize);
  FreeHuffmanTable(table->huffman);
  LocalFree(table->huffmanQuick);
  if (table->index) {
    for (uint32_t i = 0; i < table->indexRecordCount; ++i) {
      if (table->index[i].record) {
        UnlockMemHandle(table->index[i].record);
        FreeDbRecord(file, table->headerRecordIndex + 1 + i, table->index[i].record);
      }
    }
    LocalFree(table->index);
  }
  if (table->subtables) {
    for (uint32_t i = 0; i < table->subtableCount; ++i) {
      if (table->subtables[i].record) {
        UnlockMemHandle(table->subtables[i].record);
        FreeDbRecord(file, table->headerRecordIndex + 1 + table->indexRecordCount + i, table->subtables[i].record);
      }
    }
    LocalFree(table->subtables);
  }
  if (table->header) {
    UnlockMemHandle(table->header);
    FreeDbRecord(file, table->headerRecordIndex, table->header);
  }
  LocalFree(table);
}

DataTable* OpenDataTable(DataFileDb* db, uint32_t h, uint32_t expectedType, RecordCache* cache) {
  uint32_t fileRecords = GetDbRecordCount(db->file);
  if (h == 0 || h >= fileRecords) return nullptr;
  auto* table = static_cast<DataTable*>(LocalAlloc(LPTR, sizeof(DataTable)));
  if (!table) return nullptr;
  table->db = db;
  table->cache = cache;
  table->headerRecordIndex = h;
  table->header = ReadDbRecord(db->file, h);
  if (!table->header) {
    LocalFree(table);
    return nullptr;
  }
  const uint8_t* p = static_cast<const uint8_t*>(LockMemHandle(table->header));
  table->headerData = p;
  table->headerSize = GetMemHandleSize(table->header);
  if (table->headerSize < kTableHeaderSize || LoadLe32(p) != expectedType) {
    CloseDataTable(table);
    return nullptr;
  }
  table->type = LoadLe32(p);
  table->version = LoadLe32(p + 4);
  table->flags = LoadLe32(p + 8);
  table->blockEnd = LoadLe32(p + 16);
  table->indexRecordCount = LoadLe32(p + 20);
  table->subtableCount = LoadLe32(p + 24);
  uint32_t infoSize = LoadLe32(p + 28);
  table->columnCount = LoadLe32(p + 32);
  table->entryCount = LoadLe32(p + 36);
  table->fixedLength = LoadLe32(p + 40);
  table->textKind = LoadLe32(p + 56);
  table->wordsPerRow = ((table->flags & kTableFixedLength) ? 0 : 1) + ((table->flags & kTableKeyed) ? 1 : 0) +
                       ((table->flags & kTableKey32) ? 1 : 0);

  // The index and subtable records, and every block, must be records of the file.
  uint64_t leading = 1 + uint64_t{table->indexRecordCount} + table->subtableCount;
  uint64_t directoryEnd = kTableHeaderSize + uint64_t{infoSize} + 8ull * table->columnCount;
  if (table->columnCount == 0 || directoryEnd > table->headerSize || h + leading > fileRecords ||
      uint64_t{h} + table->blockEnd > fileRecords) {
    CloseDataTable(table);
    return nullptr;
  }
  table->infoArea = infoSize ? p + kTableHeaderSize : nullptr;
  table->infoAreaSize = infoSize;

  size_t arrayBytes = sizeof(uint32_t) * table->columnCount;
  table->firstBlock = static_cast<uint32_t*>(LocalAlloc(LPTR, arrayBytes));
  table->blockCount = static_cast<uint32_t*>(LocalAlloc(LPTR, arrayBytes));
  table->unitSize = static_cast<uint32_t*>(LocalAlloc(LPTR, arrayBytes));
  if (!table->firstBlock || !table->blockCount || !table->unitSize) {
    CloseDataTable(table);
    return nullptr;
  }
  const uint8_t* dir = p + kTableHeaderSize + infoSize;
  for (uint32_t c = 0; c < table->columnCount; ++c) {
    table->firstBlock[c] = LoadLe32(dir + 8 * c);
    table->unitSize[c] = LoadLe32(dir + 8 * c + 4);
    // Columns own consecutive runs of blocks behind the index and subtables.
    uint32_t floor = c == 0 ? static_cast<uint32_t>(leading) : table->firstBlock[c - 1];
    if (table->firstBlock[c] < floor || table->firstBlock[c] > table->blockEnd) {
      CloseDataTable(table);
      return nullptr;
    }
  }
  for (uint32_t c = 0; c < table->columnCount; ++c) {
    uint32_t next = c + 1 < table->columnCount ? table->firstBlock[c + 1] : table->blockEnd;
    table->blockCount[c] = next - table->firstBlock[c];
  }
  if (ReserveCacheKeys(cache, table->blockEnd, &table->keyBase) != 0) {
    CloseDataTable(table);
    return nullptr;
  }
  return table;
}

// Reads the block-index records on first use. A record that cannot be read
// leaves the index unloaded (tried again next time); a malformed one leaves
// it loaded but unusable, so every block reads as missing.
//
// Once loaded, the index stays as it is until the table closes, so the
// lock is taken only while it is not: indexLoaded is set last, with
// release, and read with acquire (every block lookup asks).
bool EnsureBlockIndex(DataTable* table) {
  if (std::atomic_ref<bool>(table->indexLoaded).load(std::memory_order_acquire)) return table->indexUsable;
  std::lock_guard<std::mutex> guard(table->db->lazyLock);
  if (std::atomic_ref<bool>(table->indexLoaded).load(std::memory_order_relaxed)) return table->indexUsable;
  uint32_t n = table->indexRecordCount;
  DbFile* file = table->db->file;
  auto* parts = static_cast<BlockIndexPart*>(LocalAlloc(LPTR, sizeof(BlockIndexPart) * (n ? n : 1)));
  if (!parts) return false;
  for (uint32_t i = 0; i < n; ++i) {
    parts[i].record = ReadDbRecord(file, table->headerRecordIndex + 1 + i);
    if (!parts[i].record) {
      for (uint32_t k = 0; k < i; ++k) {
        UnlockMemHandle(parts[k].record);
        FreeDbRecord(file, table->headerRecordIndex + 1 + k, parts[k].record);
      }
      LocalFree(parts);
      return false;
    }
  }
  bool usable = true;
  uint64_t covered = 0;
  bool withTexts = table->flags & kTableFirstKeyTexts;
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* data = static_cast<const uint8_t*>(LockMemHandle(parts[i].record));
    uint32_t size = GetMemHandleSize(parts[i].record);
    if (size < 4) {
      usable = false;
      continue;
    }
    uint32_t count = LoadLe32(data);
    uint64_t need = 4 + 12ull * count + (withTexts ? 2ull * count : 0);
    if (need > size) {
      usable = false;
      continue;
    }
    parts[i].entries = data + 4;
    parts[i].entryCount = count;
    if (withTexts) {
      parts[i].offsets = data + 4 + 12ull * count;
      parts[i].texts = data + need;
      parts[i].textBytes = static_cast<uint32_t>(size - need);
    }
    covered += count;
  }
  // One entry per block from the first block of column 0 to the block end.
  if (covered < table->blockEnd - table->firstBlock[0]) usable = false;
  table->index = parts;
  table->indexUsable = usable;
  std::atomic_ref<bool>(table->indexLoaded).store(true, std::memory_order_release);
  return usable;
}

// LocateIndexEntry once the index is known to be loaded and usable: the
// index stays as loaded until the table closes, so no lock is needed.
bool LocateLoadedIndexEntry(const DataTable* table, uint32_t column, uint32_t j, const BlockIndexPart** part,
                            uint32_t* at) {
  if (column >= table->columnCount || j >= table->blockCount[column]) return false;
  uint64_t p = uint64_t{table->firstBlock[column]} + j - table->firstBlock[0];
  for (uint32_t i = 0; i < table->indexRecordCount; ++i) {
    const BlockIndexPart& ip = table->index[i];
    if (p < ip.entryCount) {
      *part = &ip;
      *at = static_cast<uint32_t>(p);
      return true;
    }
    p -= ip.entryCount;
  }
  return false;
}

// The index part and position of block j of a column; false when not covered.
bool LocateIndexEntry(DataTable* table, uint32_t column, uint32_t j, const BlockIndexPart** part, uint32_t* at) {
  if (column >= table->columnCount || j >= table->blockCount[column]) return false;
  if (!EnsureBlockIndex(table)) return false;
  return LocateLoadedIndexEntry(table, column, j, part, at);
}

bool EnsureSubtables(DataTable* table) {
  // As the block index: once loaded the subtables stay, so the lock is
  // taken only while they are not (every Huffman text read asks).
  if (std::atomic_ref<bool>(table->subtablesLoaded).load(std::memory_order_acquire)) return true;
  std::lock_guard<std::mutex> guard(table->db->lazyLock);
  if (std::atomic_ref<bool>(table->subtablesLoaded).load(std::memory_order_relaxed)) return true;
  uint32_t n = table->subtableCount;
  DbFile* file = table->db->file;
  uint32_t firstRecord = table->headerRecordIndex + 1 + table->indexRecordCount;
  auto* subs = static_cast<SubtableRecord*>(LocalAlloc(LPTR, sizeof(SubtableRecord) * (n ? n : 1)));
  if (!subs) return false;
  for (uint32_t i = 0; i < n; ++i) {
    subs[i].record = ReadDbRecord(file, firstRecord + i);
    if (!subs[i].record) {
      for (uint32_t k = 0; k < i; ++k) {
        UnlockMemHandle(subs[k].record);
        FreeDbRecord(file, firstRecord + k, subs[k].record);
      }
      LocalFree(subs);
      return false;
    }
    subs[i].data = static_cast<const uint8_t*>(LockMemHandle(subs[i].record));
    subs[i].size = GetMemHandleSize(subs[i].record);
  }
  table->subtables = subs;
  std::atomic_ref<bool>(table->subtablesLoaded).store(true, std::memory_order_release);
  return true;
}

}  // namespace

DataFileDb* OpenDataFileDb(DbFile* file, RecordCache* cache) {
  if (!file || !cache) return nullptr;
  MemHandle* header = ReadDbRecord(file, 0);
  if (!header) return nullptr;
  const uint8_t* p = static_cast<const uint8_t*>(LockMemHandle(header));
  uint32_t size = GetMemHandleSize(header);
  auto refuse = [&]() -> DataFileDb* {
    UnlockMemHandle(header);
    FreeDbRecord(file, 0, header);
    return nullptr;
  };
  if (size < kDatabaseHeaderSize || std::memcmp(p, kMagic, sizeof kMagic) != 0 || LoadLe32(p + 12) != kDataFileNumber ||
      LoadLe32(p + 16) != kDataFileVersion)
    return refuse();
  if (CheckDbFileSizes(file, LoadLe32(p + 28), LoadLe32(p + 32), LoadLe32(p + 36)) != 0) return refuse();
  uint32_t tableCount = LoadLe32(p + 40);
  uint64_t textsOffset = kDatabaseHeaderSize + 8ull * tableCount;
  uint32_t longLength = LoadLe32(p + 108);
  uint32_t noticeLength = LoadLe32(p + 112);
  if (textsOffset + 2ull * longLength + 2ull * noticeLength > size) return refuse();

  void* mem = LocalAlloc(LMEM_FIXED, sizeof(DataFileDb));
  if (!mem) return refuse();
  DataFileDb* db = new (mem) DataFileDb{};
  db->header = header;
  db->headerData = p;
  db->headerSize = size;
  db->tableCount = tableCount;
  db->directoryOffset = kDatabaseHeaderSize;
  db->textsOffset = static_cast<uint32_t>(textsOffset);
  db->longNameLength = longLength;
  db->noticeLength = noticeLength;
  db->file = file;
  db->tables = static_cast<DataTable**>(LocalAlloc(LPTR, sizeof(DataTable*) * (tableCount ? tableCount : 1)));
  if (!db->tables) {
    CloseDataFileDb(db);
    return nullptr;
  }
  for (uint32_t i = 0; i < tableCount; ++i) {
    const uint8_t* entry = p + kDatabaseHeaderSize + 8 * i;
    db->tables[i] = OpenDataTable(db, LoadLe32(entry), LoadLe32(entry + 4), cache);
    if (!db->tables[i]) {
      CloseDataFileDb(db);
      return nullptr;
    }
  }
  return db;
}

void CloseDataFileDb(DataFileDb* db) {
  if (!db) return;
  if (db->tables) {
    for (uint32_t i = 0; i < db->tableCount; ++i) CloseDataTable(db->tables[i]);
    LocalFree(db->tables);
  }
  if (db->header) {
    UnlockMemHandle(db->header);
    FreeDbRecord(db->file, 0, db->header);
  }
  db->~DataFileDb();
  LocalFree(db);
}

uint32_t GetTableCount(const DataFileDb* db) { return db ? db->tableCount : 0; }

DataTable* GetTableByIndex(DataFileDb* db, uint32_t i) {
  if (!db || i >= db->tableCount) return nullptr;
  return db->tables[i];
}

uint32_t GetTableProperty(DataTable* table, uint32_t property) {
  if (!table) return 0;
  switch (property) {
    case 1: return table->type;
    case 2: return table->version;
    case 6: return GetDbFileWriteStamp(table->db->file);
    default: return 0;
  }
}

uint32_t GetTablePropertyByIndex(DataFileDb* db, uint32_t i, uint32_t property) {
  DataTable* table = GetTableByIndex(db, i);
  return table ? GetTableProperty(table, property) : 0;
}

int GetTableName(DataTable* table, uint32_t which, WCHAR** text) {
  if (which > 1) return 1;
  *text = which == 0 ? CopyText(table->headerData + 112, 32) : CopyText(table->headerData + 176, 40);
  return 0;
}

void GetDataFileTexts(DataFileDb* db, WCHAR** shortName, WCHAR** longName, WCHAR** notice) {
  const uint8_t* p = db->headerData;
  if (shortName) *shortName = CopyText(p + 44, 32);
  if (longName) *longName = CopyText(p + db->textsOffset, db->longNameLength);
  if (notice) *notice = CopyText(p + db->textsOffset + 2 * db->longNameLength, db->noticeLength);
}

int GetBlockIndexWord(DataTable* table, uint32_t column, uint32_t j, uint32_t word, uint32_t* value) {
  const BlockIndexPart* part;
  uint32_t at;
  if (!LocateIndexEntry(table, column, j, &part, &at)) return 1;
  uint32_t w = (word == 1 || word == 2) ? word : 0;
  *value = LoadLe32(part->entries + 12 * at + 4 * w);
  return 0;
}

int64_t FindBlock(DataTable* table, uint32_t column, uint32_t value, uint32_t word) {
  if (column >= table->columnCount || table->blockCount[column] == 0) return -1;
  if (!EnsureBlockIndex(table)) return -1;
  uint32_t lo = 0, hi = table->blockCount[column];
  const uint32_t w = (word == 1 || word == 2) ? word : 0;
  while (hi - lo > 1) {
    uint32_t mid = (lo + hi) / 2;
    const BlockIndexPart* part;
    uint32_t at;
    if (!LocateLoadedIndexEntry(table, column, mid, &part, &at)) return -1;
    const uint32_t v = LoadLe32(part->entries + 12 * at + 4 * w);
    if (v == value) return mid;
    if (value < v)
      hi = mid;
    else
      lo = mid;
  }
  return lo;
}

int GetBlockFirstKeyText(DataTable* table, uint32_t column, uint32_t j, const uint8_t** text, uint32_t* bytes) {
  if (!(table->flags & kTableFirstKeyTexts)) return 1;
  const BlockIndexPart* part;
  uint32_t at;
  if (!LocateIndexEntry(table, column, j, &part, &at)) return 1;
  uint32_t from = LoadLe16(part->offsets + 2 * at);
  uint32_t to = at + 1 < part->entryCount ? LoadLe16(part->offsets + 2 * (at + 1)) : part->textBytes;
  if (to > part->textBytes) to = part->textBytes;
  if (from > to) from = to;
  *text = part->texts + from;
  *bytes = to - from;
  return 0;
}

const uint8_t* GetTableSubtable(DataTable* table, uint32_t i, uint32_t* size) {
  if (i >= table->subtableCount || !EnsureSubtables(table)) {
    if (size) *size = 0;
    return nullptr;
  }
  if (size) *size = table->subtables[i].size;
  return table->subtables[i].data;
}

namespace {

// Where the first bits of a code decide it: both ends of the values they
// begin decode to the same code (its index in its length), which then
// holds for every value between, as decoding is monotone in the value.
// Where they begin longer codes, the next bits up to the longest of those
// get a second-level table, while the second levels stay small.
uint32_t* MakeHuffmanQuick(const HuffmanTable* h) {
  // A second level of more than 2^12 entries serves codes too rare to pay
  // for it; all second levels together at most 2^15 entries (128 KB).
  constexpr uint32_t kSubBitsMax = 12;
  constexpr uint32_t kSubEntriesMax = uint32_t{1} << 15;
  const uint32_t bits = std::min(kHuffmanQuickBits, h->longest);
  const uint32_t rest = h->longest - bits;
  auto locate = [&](uint32_t value, uint32_t* lo, uint32_t* index) {
    uint32_t l = 0, hi = h->lengths;
    while (hi - l > 1) {
      uint32_t mid = (l + hi) / 2;
      if (value < h->first[mid])
        hi = mid;
      else
        l = mid;
    }
    if (value < h->first[l]) return false;
    *lo = l;
    *index = (value - h->first[l]) >> l;
    return *index < h->count[l];
  };
  // The entry of the code that every value from v0 to v1 begins with, when
  // one code does and is at most `within` bits long; else 0.
  auto decided = [&](uint32_t v0, uint32_t v1, uint32_t within) -> uint32_t {
    uint32_t lo0 = 0, i0 = 0, lo1 = 0, i1 = 0;
    if (!locate(v0, &lo0, &i0) || !locate(v1, &lo1, &i1) || lo0 != lo1 || i0 != i1) return 0;
    const uint32_t length = h->longest - lo0;
    if (length > within) return 0;
    const uint8_t* sym = h->symbols[lo0] + 2 * i0;
    return static_cast<uint32_t>(sym[0] | sym[1] << 8) | length << 16;
  };
  // The longest code beginning with the values v0 to v1 (0 when none):
  // codes of length L - lo take the values from first[lo] on, 2^lo each.
  auto longestWithin = [&](uint32_t v0, uint32_t v1) {
    uint32_t longest = 0;
    for (uint32_t lo = 0; lo < h->lengths; ++lo) {
      if (h->count[lo] == 0) continue;
      const uint64_t start = h->first[lo];
      const uint64_t end = start + (uint64_t{h->count[lo]} << lo);  // past the last
      if (start <= v1 && end > v0) longest = std::max(longest, h->longest - lo);
    }
    return longest;
  };

  const uint32_t top = uint32_t{1} << bits;
  std::vector<uint32_t> table(top, 0);
  for (uint32_t prefix = 0; prefix < top; ++prefix) {
    const uint32_t v0 = prefix << rest;
    const uint32_t v1 = v0 | ((uint32_t{1} << rest) - 1);
    table[prefix] = decided(v0, v1, bits);
    if (table[prefix] != 0) continue;
    const uint32_t longest = longestWithin(v0, v1);
    if (longest <= bits) continue;
    const uint32_t n = longest - bits;
    if (n > kSubBitsMax || table.size() - top + (size_t{1} << n) > kSubEntriesMax) continue;
    const uint32_t offset = static_cast<uint32_t>(table.size());
    const uint32_t below = h->longest - longest;  // bits past the sub-table's
    for (uint32_t next = 0; next < (uint32_t{1} << n); ++next) {
      const uint32_t w0 = v0 | next << below;
      table.push_back(decided(w0, w0 | ((uint32_t{1} << below) - 1), longest));
    }
    table[prefix] = kHuffmanQuickSub | n << 24 | offset;
  }
  // Room for a whole first level even when the codes are shorter.
  const size_t size = std::max<size_t>(table.size(), uint32_t{1} << kHuffmanQuickBits);
  auto* quick = static_cast<uint32_t*>(LocalAlloc(LPTR, size * sizeof(uint32_t)));
  if (!quick) return nullptr;
  std::memcpy(quick, table.data(), table.size() * sizeof(uint32_t));
  return quick;
}

}  // namespace

const HuffmanTable* GetTableHuffman(DataTable* table) {
  if (!(table->flags & kTableHuffmanText) || table->textKind != kHuffmanTextKind) return nullptr;
  uint32_t size = 0;
  const uint8_t* data = GetTableSubtable(table, 0, &size);
  if (!data) return nullptr;
  if (std::atomic_ref<bool>(table->huffmanLoaded).load(std::memory_order_acquire)) return table->huffman;
  std::lock_guard<std::mutex> guard(table->db->lazyLock);
  if (!std::atomic_ref<bool>(table->huffmanLoaded).load(std::memory_order_relaxed)) {
    table->huffman = NewHuffmanTable(data, size);
    table->huffmanQuick = table->huffman ? MakeHuffmanQuick(table->huffman) : nullptr;
    std::atomic_ref<bool>(table->huffmanLoaded).store(true, std::memory_order_release);
  }
  return table->huffman;
}

const uint32_t* GetTableHuffmanQuick(const DataTable* table) { return table->huffmanQuick; }
