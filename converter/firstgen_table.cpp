#include "converter/firstgen_table.h"

#include <new>

#include "converter/firstgen_db.h"
#include "engine/text_buffer.h"

namespace converter {

namespace {

constexpr uint16_t kStructuralFirst = 0xEA00;
constexpr uint16_t kStructuralLast = 0xEAAF;

ByteView RecordView(const FirstGenRecord* r) { return r ? ByteView{r->data, r->size} : ByteView{nullptr, 0}; }

uint32_t EntrySize(uint16_t flags) {
  if (flags & kTableKeys32) return 6;
  if (flags & kTableKeys16) return 4;
  return 2;
}

// Fills the sub-table and block index arrays; false when any lies outside
// the record or names blocks the database does not have.
bool ReadIndex(FirstGenTable* t) {
  ByteView rec = RecordView(t->record);
  const uint32_t subTables = (ViewBe16(rec, 6) & 0x7FFF) > 0 ? (ViewBe16(rec, 6) & 0x7FFF) - 1 : 0;
  uint64_t at = kTableNameOffset + ViewBe16(rec, 20);
  if (!ViewHas(rec, 0, at) || !ViewHas(rec, at, 2ull * subTables)) return false;
  t->name = {rec.data + kTableNameOffset, ViewBe16(rec, 20)};
  t->subTableFirst.resize(subTables);
  for (uint32_t c = 0; c < subTables; ++c) {
    t->subTableFirst[c] = ViewBe16(rec, at + 2ull * c);
    if (t->subTableFirst[c] > t->blockCount || (c > 0 && t->subTableFirst[c] < t->subTableFirst[c - 1])) return false;
  }
  at += 2ull * subTables;
  // Block records follow the table record.
  if (uint64_t{t->recordNumber} + t->blockCount >= t->db->recordCount) return false;
  if (t->flags & kTableNoIndex) return t->rowsPerBlock != 0;

  uint64_t offsetsAt = 0;
  const bool hasOffsets = !(t->flags & kTableIndexPacked);
  if (hasOffsets) {
    if (!ViewHas(rec, at, 2ull * t->blockCount)) return false;
    offsetsAt = at;
    at += 2ull * t->blockCount;
  }
  const bool useOffsets = hasOffsets && !(t->flags & kTableIndexKeys32);
  const uint32_t words = 3 + ((t->flags & kTableIndexExtra) ? 2 : 0) + ((t->flags & kTableIndexKeys32) ? 1 : 0);
  t->blockFirstRow.resize(t->blockCount);
  t->blockFirstKey.resize(t->blockCount);
  for (uint32_t k = 0; k < t->blockCount; ++k) {
    const uint64_t word = useOffsets ? ViewBe16(rec, offsetsAt + 2ull * k) / 2 : uint64_t{k} * words;
    const uint64_t e = at + 2 * word;
    if (!ViewHas(rec, e, 2ull * words)) return false;
    t->blockFirstRow[k] = ViewBe32(rec, e);
    const uint64_t keyAt = e + ((t->flags & kTableIndexExtra) ? 8 : 4);
    t->blockFirstKey[k] = (t->flags & kTableIndexKeys32) ? ViewBe32(rec, keyAt) : ViewBe16(rec, keyAt);
  }
  return true;
}

bool LoadCode(FirstGenTable* t) {
  const uint16_t distance = ViewBe16(RecordView(t->record), 14);
  if (!(t->flags & kTableTextRows) || distance == 0) return true;
  if (distance > t->recordNumber) return false;
  FirstGenRecord* code = ReadFirstGenDbRecord(t->db, t->recordNumber - distance);
  if (!code) return false;
  const bool ok = LoadHuffmanTable16(RecordView(code), &t->code) == 0;
  FreeFirstGenRecord(code);
  t->hasCode = ok;
  return ok;
}

void ReleaseBlock(FirstGenTable* t) {
  if (t->block) ReleaseFirstGenBlock(t->db, t->keyBase + t->blockNumber, t->block);
  t->block = nullptr;
  t->blockNumber = kNoRow;
  t->blockRows = t->blockDataSize = t->blockDataLength = 0;
}

// Keeps the sections a wanted-marker list asks for (see the header).
struct SectionFilter {
  const uint16_t* wanted;
  uint32_t count;
  uint16_t defaultMarker;
  bool keep;
  uint32_t counted;
  bool done;

  bool IsWanted(uint16_t c) const {
    for (uint32_t i = 0; i < count; ++i) {
      if (wanted[i] == c) return true;
    }
    return false;
  }
  // 0 to append nothing, 1 to append c; sets done when reading stops.
  bool Take(uint16_t c) {
    if (!wanted) return true;
    if (c < kStructuralFirst || c > kStructuralLast || c == defaultMarker) return keep;
    if (counted >= count) {
      done = true;
      return false;
    }
    keep = IsWanted(c);
    if (keep) ++counted;
    return keep;
  }
};

}  // namespace

FirstGenTable* OpenFirstGenTable(FirstGenDb* db, uint32_t recordNumber) {
  auto* t = new (std::nothrow) FirstGenTable{};
  if (!t) return nullptr;
  t->db = db;
  t->recordNumber = recordNumber;
  t->blockNumber = kNoRow;
  t->record = recordNumber < db->recordCount ? ReadFirstGenDbRecord(db, recordNumber) : nullptr;
  ByteView rec = RecordView(t->record);
  bool ok = t->record && ViewHas(rec, 0, kTableNameOffset);
  if (ok) {
    t->flags = ViewBe16(rec, 0);
    t->fixedRowSize = ViewBe16(rec, 2);
    t->blockCount = ViewBe16(rec, 4);
    t->rowCount = ViewBe32(rec, 8);
    t->rowsPerBlock = ViewBe16(rec, 12);
    t->defaultMarker = ViewBe16(rec, 22);
    ok = ((t->flags & kTableFixedRows) == 0 || t->fixedRowSize != 0) && ReadIndex(t) && LoadCode(t);
  }
  if (ok) {
    for (uint32_t k = 0; k < t->blockCount; ++k) {
      t->rowCapacity += GetFirstGenDbRecordLength(db, recordNumber + k + 1) / 2;
    }
  }
  if (ok && db->cache) ok = ReserveRecordCacheKeys(db->cache, t->blockCount, &t->keyBase) == 0;
  if (!ok) {
    CloseFirstGenTable(t);
    return nullptr;
  }
  return t;
}

void CloseFirstGenTable(FirstGenTable* table) {
  if (!table) return;
  ReleaseBlock(table);
  FreeFirstGenRecord(table->record);
  delete table;
}

uint32_t GetSubTableCount(const FirstGenTable* table) { return static_cast<uint32_t>(table->subTableFirst.size()); }

uint32_t GetSubTableBlockCount(const FirstGenTable* table, uint32_t c) {
  if (c >= table->subTableFirst.size()) return 0;
  const uint32_t end = c + 1 < table->subTableFirst.size() ? table->subTableFirst[c + 1] : table->blockCount;
  return end - table->subTableFirst[c];
}

uint32_t GetBlockFirstRow(const FirstGenTable* table, uint32_t c, uint32_t k) {
  if (k >= GetSubTableBlockCount(table, c)) return 0;
  if (table->flags & kTableNoIndex) return k * table->rowsPerBlock;
  return table->blockFirstRow[table->subTableFirst[c] + k];
}

int LoadFirstGenBlock(FirstGenTable* table, uint32_t c, uint32_t k) {
  if (k >= GetSubTableBlockCount(table, c)) return 1;
  const uint32_t number = table->subTableFirst[c] + k;
  if (table->block && table->blockNumber == number) return 0;
  ReleaseBlock(table);
  FirstGenRecord* block = AcquireFirstGenBlock(table->db, table->recordNumber + number + 1, table->keyBase + number);
  if (!block) return 1;
  table->block = block;
  table->blockNumber = number;
  ByteView b = RecordView(block);
  const uint32_t a = ViewBe16(b, 0);
  // A block whose row area or counts lie past its record has no rows.
  if (a >= 2 && ViewHas(b, a, 4)) {
    table->blockDataSize = a - 2;
    table->blockRows = ViewBe16(b, a);
    table->blockDataLength = ViewBe16(b, a + 2);
  }
  return 0;
}

uint32_t GetBlockRowCount(const FirstGenTable* table) { return table->block ? table->blockRows : 0; }

ByteView GetBlockRow(const FirstGenTable* table, uint32_t r) {
  const ByteView none{nullptr, 0};
  if (!table->block || r >= table->blockRows) return none;
  ByteView b = RecordView(table->block);
  const uint64_t a = table->blockDataSize + 2;
  const uint32_t size = EntrySize(table->flags);
  const uint32_t startAt = size - 2;
  const uint64_t entry = a + 4 + uint64_t{r} * size;
  if (!ViewHas(b, entry, size)) return none;
  uint64_t start = ViewBe16(b, entry + startAt);
  uint64_t end;
  if (r + 1 < table->blockRows) {
    if (!ViewHas(b, entry + size, size)) return none;
    end = ViewBe16(b, entry + size + startAt);
  } else {
    end = table->blockDataLength;
  }
  if (table->flags & kTableFixedRows) {
    start *= table->fixedRowSize;
    end *= table->fixedRowSize;
  }
  if (start >= end || end > table->blockDataSize) return none;
  return {b.data + 2 + start, static_cast<uint32_t>(end - start)};
}

uint32_t GetBlockRowKey(const FirstGenTable* table, uint32_t r) {
  if (!table->block || r >= table->blockRows || !(table->flags & (kTableKeys16 | kTableKeys32))) return 0;
  ByteView b = RecordView(table->block);
  const uint64_t entry = table->blockDataSize + 2 + 4 + uint64_t{r} * EntrySize(table->flags);
  return (table->flags & kTableKeys32) ? ViewBe32(b, entry) : ViewBe16(b, entry);
}

int FindBlockOfRow(const FirstGenTable* table, uint32_t c, uint32_t n, uint32_t* block, uint32_t* row) {
  const uint32_t blocks = GetSubTableBlockCount(table, c);
  if (blocks == 0) return 1;
  if (table->flags & kTableNoIndex) {
    if (n / table->rowsPerBlock >= blocks) return 1;
    *block = n / table->rowsPerBlock;
    *row = n % table->rowsPerBlock;
    return 0;
  }
  const uint32_t first = table->subTableFirst[c];
  // The last block whose first row is at most n.
  uint32_t lo = 0, hi = blocks;
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (table->blockFirstRow[first + mid] <= n) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo == 0) return 1;
  *block = lo - 1;
  *row = n - table->blockFirstRow[first + lo - 1];
  return 0;
}

int FindRowByKey(FirstGenTable* table, uint32_t c, uint32_t x, uint32_t* block, uint32_t* row, uint32_t* index) {
  const uint32_t blocks = GetSubTableBlockCount(table, c);
  if (blocks == 0 || (table->flags & kTableNoIndex) || !(table->flags & (kTableKeys16 | kTableKeys32))) return 1;
  const uint32_t first = table->subTableFirst[c];
  uint32_t lo = 0, hi = blocks;
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (table->blockFirstKey[first + mid] <= x) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo == 0 || LoadFirstGenBlock(table, c, lo - 1) != 0) return 1;
  uint32_t rlo = 0, rhi = table->blockRows;
  while (rlo < rhi) {
    uint32_t mid = (rlo + rhi) / 2;
    const uint32_t key = GetBlockRowKey(table, mid);
    if (key == x) {
      *block = lo - 1;
      *row = mid;
      *index = table->blockFirstRow[first + lo - 1] + mid;
      return 0;
    }
    if (key < x) {
      rlo = mid + 1;
    } else {
      rhi = mid;
    }
  }
  return 1;
}

int LocateFirstGenEntry(FirstGenTable* table, uint32_t c, uint32_t entryNumber, uint32_t* block, uint32_t* row) {
  if (table->flags & kTableKeyedEntries) {
    uint32_t index = 0;
    return FindRowByKey(table, c, entryNumber, block, row, &index);
  }
  return FindBlockOfRow(table, c, entryNumber, block, row);
}

uint32_t ReadFirstGenEntry(FirstGenTable* table, uint32_t c, uint32_t block, uint32_t row, TextBuffer* out,
                           const uint16_t* wanted, uint32_t count, const char16_t* append) {
  if (!out) return kEntryUnreadable;
  out->length = 0;
  if (LoadFirstGenBlock(table, c, block) != 0) return kEntryUnreadable;
  if (row >= table->blockRows) return 0;
  ByteView bytes = GetBlockRow(table, row);
  if (bytes.size == 0) return 0;

  TextBufAlloc(out);
  SectionFilter filter{wanted, count, table->defaultMarker, false, 0, false};
  filter.keep = table->defaultMarker == 0 || filter.IsWanted(table->defaultMarker);
  uint32_t result = 0;
  if (table->hasCode) {
    const uint64_t end = uint64_t{bytes.size} * 8;
    for (uint64_t bit = 0; bit < end && !filter.done;) {
      uint16_t symbol = 0;
      if (DecodeHuffmanSymbol(&table->code, bytes, &bit, &symbol) != 0) {
        result = kEntryUnreadable;
        break;
      }
      if (symbol == 0) break;
      if (filter.Take(symbol) && TextBufAppendChar(out, symbol) != 0) {
        result = kEntryUnreadable;
        break;
      }
    }
  } else {
    for (uint32_t i = 0; i + 1 < bytes.size && !filter.done; i += 2) {
      const uint16_t ch = ViewBe16(bytes, i);
      if (ch == 0) break;
      if (filter.Take(ch) && TextBufAppendChar(out, ch) != 0) {
        result = kEntryUnreadable;
        break;
      }
    }
  }
  if (result == 0 && append && TextBufAppendWide(out, append, 0) != 0) result = kEntryUnreadable;
  if (result == 0) result = out->length;
  TextBufFinish(out);
  return result;
}

}  // namespace converter
