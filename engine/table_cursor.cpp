#include "engine/table_cursor.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "engine/bit_reader.h"
#include "engine/data_file_db.h"
#include "engine/dict_set.h"
#include "engine/huffman.h"
#include "engine/latin_fold.h"
#include "engine/mem_handle.h"
#include "engine/record_cache.h"
#include "engine/string_utils.h"
#include "engine/text_compare.h"
#include "platform/heap.h"

TableCursor* NewTableCursor(DataTable* table) {
  if (!table) return nullptr;
  auto* cursor = static_cast<TableCursor*>(LocalAlloc(LPTR, sizeof(TableCursor)));
  if (!cursor) return nullptr;
  cursor->table = table;
  cursor->currentBlock = kNoBlock;
  cursor->valueColumn = kNoBlock;
  cursor->rowColumn = kNoBlock;
  return cursor;
}

TableCursor* CloneTableCursor(const TableCursor* cursor) { return cursor ? NewTableCursor(cursor->table) : nullptr; }

void ReleaseCursorBlock(TableCursor* cursor) {
  if (cursor->blockRecord) ReleaseCachedRecord(cursor->table->cache, cursor->blockRecord);
  cursor->blockRecord = nullptr;
  cursor->blockData = nullptr;
  cursor->rowTable = nullptr;
  cursor->recordData = nullptr;
  cursor->recordDataBytes = 0;
  cursor->currentBlock = kNoBlock;
  cursor->rows = 0;
  cursor->units = 0;
  if (cursor->inflated) LocalFree(cursor->inflated);
  cursor->inflated = nullptr;
  cursor->inflatedSize = 0;
  cursor->valueBase = 0;
  cursor->valueEnd = 0;
  cursor->valueColumn = kNoBlock;
  cursor->rowBase = 0;
  cursor->rowEnd = 0;
  cursor->rowColumn = kNoBlock;
}

void ResetCursor(TableCursor* cursor) {
  if (cursor) ReleaseCursorBlock(cursor);
}

void FreeTableCursor(TableCursor* cursor) {
  if (!cursor) return;
  ReleaseCursorBlock(cursor);
  LocalFree(cursor);
}

uint32_t GetTableEntryCount(const TableCursor* cursor) { return cursor->table->entryCount; }
uint32_t GetTableColumnCount(const TableCursor* cursor) { return cursor->table->columnCount; }
uint32_t GetColumnUnitSize(const TableCursor* cursor, uint32_t column) {
  return column < cursor->table->columnCount ? cursor->table->unitSize[column] : 0;
}

const uint8_t* GetTableInfoArea(const TableCursor* cursor) { return cursor->table->infoArea; }
uint32_t GetTableInfoAreaSize(const TableCursor* cursor) { return cursor->table->infoAreaSize; }

const uint8_t* GetSubtableRecord(TableCursor* cursor, uint32_t i, uint32_t* size) {
  return GetTableSubtable(cursor->table, i, size);
}

void GetCursorDataFileTexts(TableCursor* cursor, WCHAR** shortName, WCHAR** longName, WCHAR** notice) {
  GetDataFileTexts(cursor->table->db, shortName, longName, notice);
}

namespace {

void* ZlibAlloc(void*, uInt items, uInt size) {
  uint64_t bytes = uint64_t{items} * size;
  if (bytes > 0xFFFFFFFFu) return nullptr;
  return LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(bytes));
}

void ZlibFree(void*, void* address) { LocalFree(address); }

// Inflates a compressed block into a fresh buffer. A stream that ends
// (Z_STREAM_END) and one that was only flushed (Z_OK) are both whole; more
// than kInflatedBlockMax bytes is a bad block, never silently cut.
bool InflateBlock(const uint8_t* in, uint32_t inBytes, uint8_t** out, uint32_t* outBytes) {
  // One byte more than allowed tells an oversize block from a full one.
  const uint32_t room = kInflatedBlockMax + 1;
  auto* buffer = static_cast<uint8_t*>(LocalAlloc(LMEM_FIXED, room));
  if (!buffer) return false;
  z_stream zs{};
  zs.zalloc = ZlibAlloc;
  zs.zfree = ZlibFree;
  zs.next_in = const_cast<Bytef*>(in);
  zs.avail_in = inBytes;
  zs.next_out = buffer;
  zs.avail_out = room;
  if (inflateInit2(&zs, 14) != Z_OK) {
    LocalFree(buffer);
    return false;
  }
  int rc = inflate(&zs, Z_SYNC_FLUSH);
  uint32_t produced = room - zs.avail_out;
  inflateEnd(&zs);
  if ((rc != Z_OK && rc != Z_STREAM_END) || produced > kInflatedBlockMax) {
    LocalFree(buffer);
    return false;
  }
  *out = buffer;
  *outBytes = produced;
  return true;
}

// Row-table word `word` of local row `local` of the current block, or -1.
int64_t RowWord(const TableCursor* cursor, uint32_t local, uint32_t word) {
  uint64_t index = uint64_t{local} * cursor->table->wordsPerRow + word;
  if (local >= cursor->rows || index >= uint64_t{cursor->rows} * cursor->table->wordsPerRow) return -1;
  return LoadLe16(cursor->rowTable + 2 * index);
}

// The row-table word that holds a row's offset, after its key words.
uint32_t RowOffsetWord(const DataTable* t) { return (t->flags & kTableKey32) ? 2 : (t->flags & kTableKeyed) ? 1 : 0; }

// True when a row's offset word may be read unchecked for a row below the
// block's rows: the table has offsets, and the word lies in its row (a
// table flagged 32-bit keyed but not keyed counts two words a row and has
// its offset third, in the next row or past the row table).
bool OffsetWordInRow(const DataTable* t) {
  return !(t->flags & kTableFixedLength) && RowOffsetWord(t) < t->wordsPerRow;
}

// Offset in units of local row `local` of the loaded block; the row after the
// last starts at the block's end.
uint32_t LoadedRowOffset(const TableCursor* cursor, uint32_t local) {
  const DataTable* t = cursor->table;
  if (t->flags & kTableFixedLength) {
    uint64_t offset = uint64_t{t->fixedLength} * local;
    return offset > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(offset);
  }
  if (local == cursor->rows) return cursor->units;
  int64_t v = RowWord(cursor, local, RowOffsetWord(t));
  return v < 0 ? 0 : static_cast<uint32_t>(v);
}

// Units of the loaded block: an inflated block ends at its inflated size.
uint32_t LoadedBlockEnd(const TableCursor* cursor, uint32_t unitSize) {
  if (cursor->inflated) return unitSize ? cursor->inflatedSize / unitSize : 0;
  return cursor->units;
}

uint32_t LoadedRowLength(const TableCursor* cursor, uint32_t local, uint32_t unitSize) {
  if (local >= cursor->rows) return 0;
  uint32_t start = LoadedRowOffset(cursor, local);
  uint32_t end = local + 1 < cursor->rows ? LoadedRowOffset(cursor, local + 1) : LoadedBlockEnd(cursor, unitSize);
  return end > start ? end - start : 0;
}

// Byte span [*start, *end) of local row `local` (below the block's rows) in
// the loaded block's record data, as LoadedRowOffset and LoadedRowLength
// give it, with a last row of an inflated block running to the inflated
// end; not checked against the data. Inline, reading each row-table word
// once: it runs for every record a text search opens.
inline void LoadedRowSpan(const TableCursor* cursor, uint32_t local, uint32_t unitSize, uint64_t* start,
                          uint64_t* end) {
  const DataTable* t = cursor->table;
  const bool last = local + 1 == cursor->rows;
  uint32_t from, to;
  if (!OffsetWordInRow(t)) {
    // The checked reads give what they always gave.
    from = LoadedRowOffset(cursor, local);
    to = last ? LoadedBlockEnd(cursor, unitSize) : LoadedRowOffset(cursor, local + 1);
  } else {
    // Both rows are below the block's rows, so their words lie in the table.
    const uint8_t* at = cursor->rowTable + 2 * (uint64_t{local} * t->wordsPerRow + RowOffsetWord(t));
    from = LoadLe16(at);
    to = last ? LoadedBlockEnd(cursor, unitSize) : LoadLe16(at + 2 * t->wordsPerRow);
  }
  *start = uint64_t{unitSize} * from;
  *end = *start + uint64_t{unitSize} * (to > from ? to - from : 0);
  if (cursor->inflated && last) *end = cursor->inflatedSize;
}

// DecodeHuffmanCode, with the code's bits taken by one 8-byte load where
// the record has them (its loop over single bytes is most of the cost of a
// text that runs to thousands of codes) and a short code found in the
// table's quick table; near the end, DecodeHuffmanCode.
inline HuffmanCode DecodeCodeAt(const HuffmanTable* table, const uint32_t* quick, const uint8_t* data,
                                uint64_t byteCount, uint64_t bitPos) {
  const uint64_t first = bitPos >> 3;
  if (first + 8 > byteCount) return DecodeHuffmanCode(table, data, byteCount, bitPos);
  uint64_t window;
  std::memcpy(&window, data + first, 8);
  window = __builtin_bswap64(window);
  // The code's `longest` bits start (bitPos & 7) bits into the window.
  const uint32_t value =
      static_cast<uint32_t>((window << (bitPos & 7)) >> (64 - table->longest));
  if (quick) {
    const uint32_t bits = std::min(kHuffmanQuickBits, table->longest);
    if (const uint32_t known = LookUpHuffmanQuick(quick, value, table->longest, bits))
      return HuffmanCode{static_cast<uint16_t>(known & 0xFFFF), known >> 16};
  }
  return DecodeHuffmanValue(table, value);
}

// True when the current block holds row r of the column (as LocateRow
// would find it).
inline bool BlockHoldsRow(const TableCursor* cursor, uint32_t column, uint32_t r) {
  return cursor->blockRecord && cursor->rowColumn == column && r >= cursor->rowBase && r < cursor->rowEnd;
}

bool LocateRowBlock(TableCursor* cursor, uint32_t column, uint32_t r, uint32_t* j, uint32_t* local);

// Finds and loads the block of row r (by word 0) and its local row. The
// current block is checked inline: consecutive rows mostly share a block.
inline bool LocateRow(TableCursor* cursor, uint32_t column, uint32_t r, uint32_t* j, uint32_t* local) {
  if (BlockHoldsRow(cursor, column, r)) {
    *j = cursor->currentBlock - cursor->table->firstBlock[column];
    *local = r - cursor->rowBase;
    return true;
  }
  return LocateRowBlock(cursor, column, r, j, local);
}

// LocateRow when the current block does not hold the row.
__attribute__((noinline)) bool LocateRowBlock(TableCursor* cursor, uint32_t column, uint32_t r, uint32_t* j,
                                              uint32_t* local) {
  DataTable* t = cursor->table;
  int64_t block = FindBlock(t, column, r, 0);
  if (block < 0) return false;
  const uint32_t b = static_cast<uint32_t>(block);
  uint32_t first;
  if (GetBlockIndexWord(t, column, b, 0, &first) != 0 || r < first) return false;
  if (LoadCursorBlock(cursor, column, b) != 0) return false;
  // The rows up to the next block's first: FindBlock gives this block for
  // each of them. The last block takes every row from its first on (those
  // past its rows read as past the column's end).
  uint32_t next = 0xFFFFFFFFu;
  if (b + 1 < t->blockCount[column] && GetBlockIndexWord(t, column, b + 1, 0, &next) != 0) next = first;
  cursor->rowBase = first;
  cursor->rowEnd = next > first ? next : first;
  cursor->rowColumn = column;
  *j = b;
  *local = r - first;
  return true;
}

}  // namespace

int LoadCursorBlock(TableCursor* cursor, uint32_t column, uint32_t j) {
  DataTable* t = cursor->table;
  if (column >= t->columnCount || j >= t->blockCount[column]) return 1;
  uint32_t b = j + t->firstBlock[column];
  if (cursor->currentBlock == b && cursor->blockRecord) return 0;
  ReleaseCursorBlock(cursor);

  MemHandle* record = GetCachedRecord(t->db->file, t->cache, t->headerRecordIndex, t->keyBase, b);
  if (!record) return 1;
  cursor->blockRecord = record;  // locked by the cache
  const uint8_t* data = static_cast<const uint8_t*>(record->data);
  uint32_t size = GetMemHandleSize(record);
  if (size < 8) {
    ReleaseCursorBlock(cursor);
    return 1;
  }
  uint32_t rows = LoadLe32(data);
  uint32_t units = LoadLe32(data + 4);
  uint64_t words = uint64_t{rows} * t->wordsPerRow;
  uint64_t rowBytes = 2 * (words + (words & 1));
  if (8 + rowBytes > size) {
    ReleaseCursorBlock(cursor);
    return 1;
  }
  const uint8_t* raw = data + 8 + rowBytes;
  uint64_t rawBytes = size - 8 - rowBytes;
  uint32_t unitSize = t->unitSize[column];
  uint64_t dataBytes = uint64_t{units} * unitSize;
  if (t->flags & kTableBitPacked) dataBytes = (dataBytes + 7) / 8;  // unit size counts bits
  if (dataBytes > rawBytes) {
    ReleaseCursorBlock(cursor);
    return 1;
  }
  cursor->blockData = data;
  cursor->rowTable = data + 8;
  cursor->rows = rows;
  cursor->units = units;
  if (t->flags & kTableCompressed) {
    uint8_t* out = nullptr;
    uint32_t outBytes = 0;
    if (!InflateBlock(raw, static_cast<uint32_t>(dataBytes), &out, &outBytes)) {
      ReleaseCursorBlock(cursor);
      return 1;
    }
    cursor->inflated = out;
    cursor->inflatedSize = outBytes;
    cursor->recordData = out;
    cursor->recordDataBytes = outBytes;
  } else {
    cursor->recordData = raw;
    cursor->recordDataBytes = static_cast<uint32_t>(dataBytes);
  }
  cursor->currentBlock = b;
  return 0;
}

uint32_t GetColumnRowCount(TableCursor* cursor, uint32_t column) {
  DataTable* t = cursor->table;
  if (column >= t->columnCount || t->blockCount[column] == 0) return 0;
  uint32_t last = t->blockCount[column] - 1;
  uint32_t first;
  if (GetBlockIndexWord(t, column, last, 0, &first) != 0) return 0;
  if (LoadCursorBlock(cursor, column, last) != 0) return 0;
  uint64_t total = uint64_t{first} + cursor->rows;
  return total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(total);
}

int64_t GetRowKey(TableCursor* cursor, uint32_t column, uint32_t j, uint32_t local) {
  if (!(cursor->table->flags & kTableKeyed)) return -1;
  if (LoadCursorBlock(cursor, column, j) != 0) return -1;
  int64_t low = RowWord(cursor, local, 0);
  if (low < 0) return -1;
  if (!(cursor->table->flags & kTableKey32)) return low;
  int64_t high = RowWord(cursor, local, 1);
  if (high < 0) return -1;
  return low | high << 16;
}

uint32_t GetRowOffset(TableCursor* cursor, uint32_t column, uint32_t j, uint32_t local) {
  if (cursor->table->flags & kTableFixedLength) return LoadedRowOffset(cursor, local);
  if (LoadCursorBlock(cursor, column, j) != 0 || local > cursor->rows) return 0;
  return LoadedRowOffset(cursor, local);
}

uint32_t GetRowRecordOffset(TableCursor* cursor, uint32_t column, uint32_t r) {
  uint32_t j, local, base;
  if (!LocateRow(cursor, column, r, &j, &local) || local > cursor->rows) return 0;
  if (GetBlockIndexWord(cursor->table, column, j, 1, &base) != 0) return 0;
  return GetRowOffset(cursor, column, j, local) + base;
}

uint32_t GetRowRecordLength(TableCursor* cursor, uint32_t column, uint32_t r) {
  uint32_t j, local;
  if (!LocateRow(cursor, column, r, &j, &local)) return 0;
  return LoadedRowLength(cursor, local, cursor->table->unitSize[column]);
}

int64_t GetRowKeyByRow(TableCursor* cursor, uint32_t column, uint32_t r) {
  uint32_t j, local;
  if (!LocateRow(cursor, column, r, &j, &local)) return -1;
  return GetRowKey(cursor, column, j, local);
}

uint32_t ReadSingleValue(TableCursor* cursor, uint32_t column, uint32_t r) {
  DataTable* t = cursor->table;
  uint32_t base;
  if (cursor->blockRecord && cursor->valueColumn == column && r >= cursor->valueBase && r < cursor->valueEnd) {
    base = cursor->valueBase;  // the loaded block holds it
  } else {
    int64_t block = FindBlock(t, column, r, 1);
    if (block < 0) return 0;
    if (GetBlockIndexWord(t, column, static_cast<uint32_t>(block), 1, &base) != 0 || r < base) return 0;
    if (LoadCursorBlock(cursor, column, static_cast<uint32_t>(block)) != 0) return 0;
    // The block's values end where the next block's begin (a block's unit
    // count may run past them).
    uint32_t end = base + cursor->units < base ? 0xFFFFFFFF : base + cursor->units;
    uint32_t next;
    if (static_cast<uint32_t>(block) + 1 < t->blockCount[column] &&
        GetBlockIndexWord(t, column, static_cast<uint32_t>(block) + 1, 1, &next) == 0)
      end = std::min(end, next);
    else if (static_cast<uint32_t>(block) + 1 < t->blockCount[column])
      end = base;  // the next block's start unknown: no shortcut
    cursor->valueBase = base;
    cursor->valueEnd = end;
    cursor->valueColumn = column;
  }
  uint32_t index = r - base;
  if (index >= cursor->units) return 0;
  uint32_t unitSize = t->unitSize[column];
  if (t->flags & kTableBitPacked) {
    if (unitSize == 0 || unitSize > 32) return 0;
    return ReadBitsBE(cursor->recordData, cursor->recordDataBytes, uint64_t{unitSize} * index, unitSize);
  }
  uint32_t width = unitSize < 4 ? unitSize : 4;
  uint64_t at = uint64_t{unitSize} * index;
  if (at + width > cursor->recordDataBytes) return 0;
  uint32_t value = 0;
  for (uint32_t i = 0; i < width; ++i) value |= uint32_t{cursor->recordData[at + i]} << (8 * i);
  return value;
}

int ReadTableRecord(TableCursor* cursor, uint32_t column, uint32_t r, MemHandle* handle, void* buffer,
                    uint32_t maxBytes, uint32_t* bytes) {
  uint32_t written = 0;
  if (bytes) *bytes = 0;
  DataTable* t = cursor->table;
  if (!buffer && !handle) return kReadRecordFailed;
  if (column >= t->columnCount) return kReadRecordFailed;
  if (t->blockCount[column] == 0) return kReadRecordOk;  // an empty column has no rows
  uint32_t j, local;
  if (!LocateRow(cursor, column, r, &j, &local)) return kReadRecordFailed;
  if (local >= cursor->rows) return kReadRecordOk;  // past the column's end
  uint64_t start, end;
  LoadedRowSpan(cursor, local, t->unitSize[column], &start, &end);
  if (start > end || end > cursor->recordDataBytes) return kReadRecordFailed;

  const uint32_t limit = maxBytes ? maxBytes : 65535;
  uint8_t* out;
  uint32_t space;
  if (buffer) {
    out = static_cast<uint8_t*>(buffer);
    space = limit;
  } else {
    out = static_cast<uint8_t*>(LockMemHandle(handle));
    space = GetMemHandleSize(handle);
  }
  auto grow = [&](uint32_t by) -> bool {
    UnlockMemHandle(handle);
    bool ok = ResizeMemHandle(handle, space + by) == 0;
    out = static_cast<uint8_t*>(LockMemHandle(handle));
    if (ok) space = GetMemHandleSize(handle);
    return ok;
  };
  int status = kReadRecordOk;

  if (!(t->flags & kTableHuffmanText)) {
    uint64_t n = end - start;
    if (n > limit) n = limit;
    if (n > space) {
      if (buffer)
        n = space;
      else if (!grow(static_cast<uint32_t>(n - space)))
        status = kReadRecordFailed;
    }
    if (status == kReadRecordOk) {
      std::memcpy(out, cursor->recordData + start, static_cast<size_t>(n));
      written = static_cast<uint32_t>(n);
    }
  } else if (t->textKind == kHuffmanTextKind) {
    const HuffmanTable* huffman = GetTableHuffman(t);
    const uint32_t* quick = huffman ? GetTableHuffmanQuick(t) : nullptr;
    if (!huffman) {
      status = kReadRecordFailed;
    } else {
      uint64_t pos = start * 8;
      const uint64_t endBit = end * 8;
      while (pos < endBit) {
        if (written + 2 > limit) break;
        if (written + 2 > space) {
          if (buffer) break;
          if (!grow(64)) {
            status = kReadRecordFailed;
            break;
          }
        }
        // The code's bits are read from the block, which goes on past the
        // record: a code that fits the record decodes the same whatever
        // follows it, and one that does not is padding either way.
        HuffmanCode code = DecodeCodeAt(huffman, quick, cursor->recordData, cursor->recordDataBytes, pos);
        if (code.length == 0) break;  // not a code of this table
        pos += code.length;
        if (pos > endBit) break;  // padding, not a whole code
        std::memcpy(out + written, &code.symbol, 2);
        written += 2;
      }
    }
  }
  if (!buffer) UnlockMemHandle(handle);
  if (t->flags & kTableReleaseAfterRead) ReleaseCursorBlock(cursor);
  if (bytes) *bytes = status == kReadRecordOk ? written : 0;
  return status;
}

int OpenRecordUnitStream(TableCursor* cursor, uint32_t column, uint32_t r, RecordUnitStream* stream) {
  DataTable* t = cursor->table;
  RecordUnitStream codes{};
  if (stream->table == t && stream->huffman) {
    codes.table = t;
    codes.huffman = stream->huffman;
    codes.quick = stream->quick;
    codes.quickShift = stream->quickShift;
  }
  *stream = codes;
  if (column >= t->columnCount) return kReadRecordFailed;
  if (t->blockCount[column] == 0) return kReadRecordOk;
  uint32_t j, local;
  if (!LocateRow(cursor, column, r, &j, &local)) return kReadRecordFailed;
  if (local >= cursor->rows) return kReadRecordOk;
  uint64_t start, end;
  LoadedRowSpan(cursor, local, t->unitSize[column], &start, &end);
  if (start > end || end > cursor->recordDataBytes) return kReadRecordFailed;
  stream->data = cursor->recordData;
  stream->dataBytes = cursor->recordDataBytes;
  stream->unitsLeft = 65535 / 2;
  if (!(t->flags & kTableHuffmanText)) {
    stream->pos = start;
    stream->end = end - start > 65535 ? start + 65535 : end;
    return kReadRecordOk;
  }
  if (t->textKind != kHuffmanTextKind) return kReadRecordFailed;
  if (!stream->huffman) {
    stream->huffman = GetTableHuffman(t);
    if (!stream->huffman) return kReadRecordFailed;
    stream->table = t;
    stream->quick = GetTableHuffmanQuick(t);
    stream->quickShift = stream->huffman->longest - std::min(kHuffmanQuickBits, stream->huffman->longest);
  }
  stream->pos = start * 8;
  stream->end = end * 8;
  // bits / shortest >= unitsLeft, without a division (shortest is 1 to 32).
  stream->mayReachCap = stream->end - stream->pos >= uint64_t{stream->unitsLeft} * stream->huffman->shortest;
  return kReadRecordOk;
}

uint32_t ReadRecordUnits(RecordUnitStream* s, WCHAR* out, uint32_t max) {
  uint32_t n = 0;
  if (max == 0) return 0;
  VisitRecordUnits(s, [&](WCHAR u) {
    out[n++] = u;
    return n < max;
  });
  return n;
}

void PrefetchTableRecord(const TableCursor* cursor, uint32_t column, uint32_t r, bool rowOnly) {
  if (!BlockHoldsRow(cursor, column, r)) return;
  const DataTable* t = cursor->table;
  const uint32_t local = r - cursor->rowBase;
  if (local >= cursor->rows) return;
  const uint8_t* rowWord = cursor->rowTable + 2 * (uint64_t{local} * t->wordsPerRow + RowOffsetWord(t));
  if (rowOnly) {
    __builtin_prefetch(rowWord);  // a hint: reads nothing, even past the table
    return;
  }
  // The row's offset as LoadedRowOffset gives it, read here without its
  // checks where the row's offset word lies in the table.
  const uint32_t offset = OffsetWordInRow(t) ? LoadLe16(rowWord) : LoadedRowOffset(cursor, local);
  const uint64_t start = uint64_t{t->unitSize[column]} * offset;
  if (start < cursor->recordDataBytes) __builtin_prefetch(cursor->recordData + start);
}

void EndRecordUnitStream(TableCursor* cursor) {
  if (cursor->table->flags & kTableReleaseAfterRead) ReleaseCursorBlock(cursor);
}

int64_t FindRowByKey(TableCursor* cursor, uint32_t column, uint32_t key, int exact, int orNext) {
  DataTable* t = cursor->table;
  int64_t block = FindBlock(t, column, key, 2);
  if (block < 0) return -1;
  uint32_t j = static_cast<uint32_t>(block);
  uint32_t first;
  if (GetBlockIndexWord(t, column, j, 0, &first) != 0) return -1;
  if (LoadCursorBlock(cursor, column, j) != 0) return -1;
  const int64_t wanted = key;
  uint32_t lo = 0, hi = cursor->rows;
  while (hi - lo > 1) {
    uint32_t mid = (lo + hi) / 2;
    if (wanted >= GetRowKey(cursor, column, j, mid))
      lo = mid;
    else
      hi = mid;
  }
  int64_t keyLo = GetRowKey(cursor, column, j, lo);
  if (exact) {
    if (keyLo == wanted) return int64_t{first} + lo;
    if (GetRowKey(cursor, column, j, hi) == wanted) return int64_t{first} + hi;
    return -1;
  }
  if (orNext && keyLo >= 0 && keyLo < wanted) {
    if (hi < cursor->rows) return int64_t{first} + hi;
    // Above every key of this block: the next row is the next block's first.
    if (j + 1 < t->blockCount[column]) return int64_t{first} + cursor->rows;
  }
  if (keyLo < 0) return -1;  // an empty block
  return int64_t{first} + lo;
}

namespace {

// The comparison and prefix count of one search mode on a terminated text.
int CompareByMode(int mode, const WCHAR* text, const WCHAR* key, uint32_t* prefix) {
  switch (mode) {
    case 0:
      if (prefix) *prefix = EnglishKeyCommonLength(text, key);
      return CompareNatural(text, key);
    case 5:
    case 6:
      if (prefix) return EnglishKeyCmpCommon(text, key, prefix);
      return EnglishKeyCmp(text, key);
    case 7:
      if (prefix) *prefix = CommonPrefixLength(text, key);
      return WideStrCmp(text, key);
    default:
      if (prefix) *prefix = 0;
      return 0;
  }
}

// Brings a text into the form its mode compares (in place, within `units`);
// returns where the compared text starts.
WCHAR* PrepareByMode(int mode, WCHAR* text, uint32_t units) {
  switch (mode) {
    case 0:
      FoldToKey(text, units, false);
      return text;
    case 5:
    case 6:
      TrimCompareText(text);
      return text;
    case 7:
      // The two leading data units may be 0: skip them by count, not by length.
      return text + (units < 2 ? units : 2);
    default:
      return text;
  }
}

}  // namespace

int CompareRowText(TableCursor* cursor, uint32_t column, uint32_t r, const WCHAR* key, uint32_t keyLength,
                   WCHAR* buffer, uint32_t bufferBytes, int mode, int* matched, uint32_t* prefixLength) {
  if (matched) *matched = 0;
  if (prefixLength) *prefixLength = 0;
  if (!buffer || bufferBytes < 2) return 0;
  // Keep room for the terminator; a row that cannot be read compares as empty.
  uint32_t readLimit = (bufferBytes - 2) & ~1u;
  uint32_t got = 0;
  if (readLimit == 0 || ReadTableRecord(cursor, column, r, nullptr, buffer, readLimit, &got) != kReadRecordOk)
    got = 0;
  buffer[got / 2] = 0;
  if (mode >= 1 && mode <= 4) return 0;
  if (mode > 7 || mode < 0) return 0;
  WCHAR* text = PrepareByMode(mode, buffer, mode == 7 ? got / 2 : bufferBytes / 2);
  uint32_t prefix = 0;
  int c = CompareByMode(mode, text, key, &prefix);
  if (prefixLength) *prefixLength = prefix;
  if (c == 0) {
    if (matched) *matched = 1;
    return 0;
  }
  if (c > 0) {
    if (WideStrLen(text) > keyLength) text[keyLength] = 0;
    if (CompareByMode(mode, text, key, nullptr) == 0 && matched) *matched = 1;
  }
  return c;
}

namespace {

struct RowComparison {
  int64_t row = -1;
  int result = 0;
  int matched = 0;
  uint32_t prefix = 0;
};

}  // namespace

int64_t FindRowByText(TableCursor* cursor, uint32_t column, const WCHAR* key, int mode) {
  DataTable* t = cursor->table;
  if (!key || column >= t->columnCount || t->blockCount[column] == 0) return -1;
  const uint32_t keyLength = WideStrLen(key);
  const uint32_t span = keyLength + 10;  // rows are compared on at most this many characters
  const uint32_t bufferUnits = 4 * span;
  auto* work = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, bufferUnits * sizeof(WCHAR)));
  if (!work) return -1;
  auto finish = [&](int64_t result) {
    LocalFree(work);
    return result;
  };

  // Block phase over the first-key texts of the index.
  uint32_t lo = 0, hi = t->blockCount[column];
  if (hi > 1 && !(t->flags & kTableFirstKeyTexts)) return finish(-1);
  while (hi - lo > 1) {
    uint32_t mid = (lo + hi) / 2;
    const uint8_t* text;
    uint32_t textBytes;
    if (GetBlockFirstKeyText(t, column, mid, &text, &textBytes) != 0) return finish(-1);
    uint32_t n = 0;
    const uint32_t maxChars = 2 * span;
    while (n < maxChars && 2 * (n + 1) <= textBytes && LoadLe16(text + 2 * n) != 0) {
      work[n] = LoadLe16(text + 2 * n);
      ++n;
    }
    work[n] = 0;
    int c = 0;
    if (mode == 0) {
      FoldToKey(work, bufferUnits, false);
      c = CompareNatural(work, key);
    } else if (mode == 5 || mode == 6) {
      TrimCompareText(work);
      c = EnglishKeyCmp(work, key);
    } else if (mode == 7) {
      c = WideStrCmp(work, key);
    }
    if (c > 0) {
      hi = mid;
    } else {
      lo = mid;
      if (c == 0) break;
    }
  }

  uint32_t block = lo;
  uint32_t first;
  if (GetBlockIndexWord(t, column, block, 0, &first) != 0 || LoadCursorBlock(cursor, column, block) != 0)
    return finish(-1);
  int64_t rlo = first, rhi = int64_t{first} + cursor->rows;

  RowComparison last;
  auto compare = [&](int64_t row) {
    if (row == last.row) return last;
    RowComparison rc;
    rc.row = row;
    rc.result = CompareRowText(cursor, column, static_cast<uint32_t>(row), key, keyLength, work, 2 * span + 2, mode,
                               &rc.matched, &rc.prefix);
    last = rc;
    return rc;
  };

  bool endedEqual = false;
  bool comparedAny = false;
  while (rhi - rlo >= 2) {
    int64_t mid = (rlo + rhi) / 2;
    RowComparison rc = compare(mid);
    comparedAny = true;
    if (rc.result == 0) {
      if (mid + 1 >= rhi) {
        int64_t earliest = mid;
        for (int64_t k = mid - 1; k >= rlo && compare(k).result == 0; --k) earliest = k;
        rlo = earliest;
        endedEqual = true;
        break;
      }
      rhi = mid + 1;
    } else if (rc.result < 0) {
      rlo = mid;  // keep the row below the key as a candidate
    } else if (rc.matched) {
      if (mid + 1 >= rhi) {
        rhi = mid;
        break;
      }
      rhi = mid + 1;
    } else {
      rhi = mid;  // and the row above it: the nearest row may be either
    }
  }

  // The row just past the block is a candidate only when the next block holds it.
  const int64_t blockEnd = int64_t{first} + cursor->rows;
  const bool nextBlockExists = block + 1 < t->blockCount[column];
  auto isRow = [&](int64_t row) { return row >= first && (row < blockEnd || (row == blockEnd && nextBlockExists)); };

  const bool exactModes = mode == 3 || mode == 4 || mode == 5;
  // Mode 6 must still check a row it never compared (a block of one row).
  if (endedEqual || (!comparedAny && mode != 6)) {
    if (!exactModes) return finish(isRow(rlo) ? rlo : -1);
    if (rlo == last.row) return finish(rlo);
  }

  RowComparison a = isRow(rlo) ? compare(rlo) : RowComparison{};
  RowComparison b = isRow(rhi) ? compare(rhi) : RowComparison{};
  bool aValid = isRow(rlo), bValid = isRow(rhi);
  int64_t result = -1;
  if (exactModes) {
    if (aValid && a.result == 0)
      result = rlo;
    else if (bValid && b.result == 0)
      result = rhi;
  } else if (mode == 6) {
    uint32_t letters = CountKeyLetters(key);
    uint32_t pa = aValid ? a.prefix : 0, pb = bValid ? b.prefix : 0;
    if (pb <= pa) {
      if (aValid && pa >= letters) result = rlo;
    } else if (pb >= letters) {
      result = rhi;
    } else if (aValid && pa >= letters) {
      result = rlo;
    }
  } else {
    uint32_t pa = aValid ? a.prefix : 0, pb = bValid ? b.prefix : 0;
    if (bValid && pb > pa)
      result = rhi;
    else if (aValid)
      result = rlo;
  }
  return finish(result);
}

TableCursor* FindTableByType(DictSlot* slot, uint32_t type) {
  if (!slot || slot->kind != kDictKindBuiltIn || !slot->cursors || !slot->tableTypes) return nullptr;
  for (uint32_t i = 0; i < slot->cursorCount; ++i)
    if (slot->tableTypes[i] == type) return slot->cursors[i];
  return nullptr;
}
