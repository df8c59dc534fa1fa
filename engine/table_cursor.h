// A cursor over one DataTable: at most one block loaded (locked in the
// shared RecordCache, inflated when the table is compressed), answering
// row-level questions about one column at a time.
//
// Rows of a column are numbered from 0 across its blocks. Every offset,
// length and index taken from a block is checked against that block: what
// does not fit reads as missing (the operation's neutral value).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/huffman.h"
#include "platform/types.h"

struct MemHandle;
struct DictSlot;

struct DataTable;

struct TableCursor {
  DataTable* table;
  MemHandle* blockRecord;     // locked while current
  const uint8_t* blockData;   // the locked record
  const uint8_t* rowTable;
  const uint8_t* recordData;  // raw data in the record, or the inflated buffer
  uint32_t recordDataBytes;   // bytes readable at recordData
  uint32_t currentBlock;      // table-relative block number; 65535 = none
  uint32_t rows;
  uint32_t units;
  uint8_t* inflated;  // owned kInflatedBlockMax-byte buffer of a compressed block
  uint32_t inflatedSize;
  // The value indexes [valueBase, valueEnd) of the current block (block
  // index word 1, up to the next block's) and its column, known once
  // ReadSingleValue has loaded it: a run of reads within one block then
  // skips finding the block. valueColumn kNoBlock: unknown.
  uint32_t valueBase;
  uint32_t valueEnd;
  uint32_t valueColumn;
  // The same for rows: [rowBase, rowEnd) of column rowColumn are the
  // current block's (block index word 0, up to the next block's), so that
  // reading records row after row in one block finds the block once.
  uint32_t rowBase;
  uint32_t rowEnd;
  uint32_t rowColumn;
};

constexpr uint32_t kNoBlock = 65535;

TableCursor* NewTableCursor(DataTable* table);
TableCursor* CloneTableCursor(const TableCursor* cursor);
void ResetCursor(TableCursor* cursor);
void FreeTableCursor(TableCursor* cursor);

uint32_t GetTableEntryCount(const TableCursor* cursor);
uint32_t GetTableColumnCount(const TableCursor* cursor);
uint32_t GetColumnUnitSize(const TableCursor* cursor, uint32_t column);

// 0 when block j of the column is current, 1 when it cannot be loaded (a
// missing record, a block that does not fit its record, an inflate failure or
// more than 49,152 inflated bytes); after a failure no block is current.
int LoadCursorBlock(TableCursor* cursor, uint32_t column, uint32_t j);
void ReleaseCursorBlock(TableCursor* cursor);

// The info area of the cursor's table (null when it has none) and its size.
const uint8_t* GetTableInfoArea(const TableCursor* cursor);
uint32_t GetTableInfoAreaSize(const TableCursor* cursor);
// Subtable record i: its data and size, or null when i is not below the count.
const uint8_t* GetSubtableRecord(TableCursor* cursor, uint32_t i, uint32_t* size);
void GetCursorDataFileTexts(TableCursor* cursor, WCHAR** shortName, WCHAR** longName, WCHAR** notice);

// Row access. Keys are -1 when missing; counts, offsets, lengths and values 0.
uint32_t GetColumnRowCount(TableCursor* cursor, uint32_t column);
int64_t GetRowKey(TableCursor* cursor, uint32_t column, uint32_t j, uint32_t local);
uint32_t GetRowOffset(TableCursor* cursor, uint32_t column, uint32_t j, uint32_t local);
uint32_t GetRowRecordOffset(TableCursor* cursor, uint32_t column, uint32_t r);
uint32_t GetRowRecordLength(TableCursor* cursor, uint32_t column, uint32_t r);
int64_t GetRowKeyByRow(TableCursor* cursor, uint32_t column, uint32_t r);
// A value of a fixed-width (or, with bit-packed tables, fixed bit-width)
// column; 0 when it cannot be read.
uint32_t ReadSingleValue(TableCursor* cursor, uint32_t column, uint32_t r);

// Result of ReadTableRecord. A byte count cannot tell a failure (records run
// up to 65,535 bytes), so the status comes apart from it.
enum ReadRecordStatus : int {
  kReadRecordOk = 0,       // *bytes written (0 for a row past the column's end)
  kReadRecordFailed = 1,   // the block or the record cannot be read, or the handle cannot grow
};

// Reads row r's record into `buffer` (at most maxBytes bytes) or, with a null
// buffer, into `handle` (grown as needed, from its start). maxBytes 0 means
// 65,535. Huffman text is decoded into 16-bit units (native order); whole
// units only. Callers that need the old "cannot be read" length use 65534.
int ReadTableRecord(TableCursor* cursor, uint32_t column, uint32_t r, MemHandle* handle, void* buffer,
                    uint32_t maxBytes, uint32_t* bytes);

// Row r's record read a piece at a time, as ReadTableRecord (into a
// handle, 65,535 bytes at most) would give it whole: for a reader that
// may stop early, such as a text check that has found what it looks for.
// The cursor keeps the block loaded while the stream is read; the stream
// is good until the cursor moves.
struct RecordUnitStream {
  const DataTable* table;  // whose Huffman codes the stream holds
  const uint8_t* data;     // the block's record data
  uint64_t dataBytes;
  uint64_t pos;  // bit position (Huffman text) or byte position
  uint64_t end;
  const HuffmanTable* huffman;  // null: the record's bytes are its units
  const uint32_t* quick;
  uint32_t quickShift;  // a code's `longest` bits to its quick-table index
  uint32_t unitsLeft;   // the 65,535-byte cap
  bool mayReachCap;     // the record's bits could hold that many codes
};

// kReadRecordOk with the stream set (empty for a row past the column's
// end), or kReadRecordFailed where ReadTableRecord fails or its Huffman
// text is of another kind. Start from a zeroed stream; one opened before on
// the same table keeps the table's codes (found once, under a lock).
int OpenRecordUnitStream(TableCursor* cursor, uint32_t column, uint32_t r, RecordUnitStream* stream);
// Up to max units into out; 0 at the record's end.
uint32_t ReadRecordUnits(RecordUnitStream* stream, WCHAR* out, uint32_t max);
// The record's next units one by one to visit(unit), until it returns
// false (the stream then stands after that unit) or the record ends.
template <typename Visit>
inline void VisitRecordUnits(RecordUnitStream* s, Visit&& visit);
// What ReadTableRecord does after a read: a table flagged so lets go of
// its block.
void EndRecordUnitStream(TableCursor* cursor);
// A hint for a record about to be read: when the current block holds row
// r, its row-table entry (rowOnly) or its first bytes are fetched into the
// processor's cache ahead of the read. Reads nothing else, changes nothing.
void PrefetchTableRecord(const TableCursor* cursor, uint32_t column, uint32_t r, bool rowOnly);

// Searches. Row number or -1.
int64_t FindRowByKey(TableCursor* cursor, uint32_t column, uint32_t key, int exact, int orNext);
int CompareRowText(TableCursor* cursor, uint32_t column, uint32_t r, const WCHAR* key, uint32_t keyLength,
                   WCHAR* buffer, uint32_t bufferBytes, int mode, int* matched, uint32_t* prefixLength);
int64_t FindRowByText(TableCursor* cursor, uint32_t column, const WCHAR* key, int mode);

// The first cursor that a built-in dictionary slot keeps for a table of
// `type`, or null (also for a user dictionary or a null slot).
TableCursor* FindTableByType(DictSlot* slot, uint32_t type);

template <typename Visit>
[[gnu::always_inline]] inline void VisitRecordUnits(RecordUnitStream* s, Visit&& visit) {
  if (!s->huffman) {
    while (s->pos + 2 <= s->end) {
      WCHAR u;
      std::memcpy(&u, s->data + s->pos, 2);
      s->pos += 2;
      if (!visit(u)) return;
    }
    return;
  }
  // As ReadTableRecord's loop, each code read from the same `longest` bits
  // as it reads them: a code that is none of the table's, or one that runs
  // past the record (padding), ends the text. One 8-byte load serves every
  // code that its bits hold whole.
  const HuffmanTable* table = s->huffman;
  const uint32_t longest = table->longest;
  const uint32_t quickShift = s->quickShift;
  const uint32_t* quick = s->quick;
  const uint64_t end = s->end;
  uint64_t pos = s->pos;
  uint32_t left = s->unitsLeft;
  bool more = true;
  if (quick && !s->mayReachCap && longest - quickShift == kHuffmanQuickBits) {
    // The same with fewer tests and fewer live values (this loop runs
    // inlined into its callers' own loops, whose state competes for the
    // registers): the cap cannot be reached, so no unit count is kept; a
    // code the quick table knows is one of the table's; the first level's
    // size is a constant.
    constexpr uint32_t kBits = kHuffmanQuickBits;
    while (more && pos < end) {
      const uint64_t first = pos >> 3;
      if (first + 8 > s->dataBytes) {
        const HuffmanCode code = DecodeHuffmanCode(table, s->data, s->dataBytes, pos);
        if (code.length == 0 || pos + code.length > end) {
          pos = end;
          break;
        }
        pos += code.length;
        more = visit(static_cast<WCHAR>(code.symbol));
        continue;
      }
      uint64_t window;
      std::memcpy(&window, s->data + first, 8);
      window = __builtin_bswap64(window) << (pos & 7);
      // The last position whose code is read from this window: it still
      // holds `longest` bits from there, and the record goes on.
      const uint64_t last = std::min(first * 8 + 64 - longest, end - 1);
      do {
        uint32_t known = quick[window >> (64 - kBits)];
        if (known & kHuffmanQuickSub) {
          const uint32_t subBits = known >> 24 & 0x1F;
          known = quick[(known & 0xFFFFFF) + static_cast<uint32_t>((window << kBits) >> (64 - subBits))];
        }
        uint32_t symbol = known & 0xFFFF, length = known >> 16;
        if (!known) {
          const HuffmanCode code = DecodeHuffmanValue(table, static_cast<uint32_t>(window >> (64 - longest)));
          symbol = code.symbol;
          length = code.length;
          if (length == 0) {
            pos = end;
            break;
          }
        }
        pos += length;
        if (pos > end) {
          pos = end;
          break;
        }
        window <<= length;
        if (!visit(static_cast<WCHAR>(symbol))) {
          more = false;
          break;
        }
      } while (pos <= last);
    }
    s->pos = pos;
    return;
  }
  while (more && left > 0 && pos < end) {
    const uint64_t first = pos >> 3;
    HuffmanCode code;
    if (first + 8 > s->dataBytes) {
      code = DecodeHuffmanCode(table, s->data, s->dataBytes, pos);
      if (code.length == 0 || pos + code.length > end) {
        pos = end;
        break;
      }
      pos += code.length;
      --left;
      more = visit(static_cast<WCHAR>(code.symbol));
      continue;
    }
    uint64_t window;
    std::memcpy(&window, s->data + first, 8);
    window = __builtin_bswap64(window) << (pos & 7);
    uint32_t valid = 64 - static_cast<uint32_t>(pos & 7);
    while (valid >= longest && left > 0 && pos < end) {
      const uint32_t value = static_cast<uint32_t>(window >> (64 - longest));
      const uint32_t known = quick ? LookUpHuffmanQuick(quick, value, longest, longest - quickShift) : 0;
      code = known ? HuffmanCode{static_cast<uint16_t>(known & 0xFFFF), known >> 16} : DecodeHuffmanValue(table, value);
      if (code.length == 0 || pos + code.length > end) {
        pos = end;
        break;
      }
      pos += code.length;
      window <<= code.length;
      valid -= code.length;
      --left;
      if (!visit(static_cast<WCHAR>(code.symbol))) {
        more = false;
        break;
      }
    }
  }
  s->pos = pos;
  s->unitsLeft = left;
}
