// A cursor over one DataTable: at most one block loaded (locked in the
// shared RecordCache, inflated when the table is compressed), answering
// row-level questions about one column at a time.
//
// Rows of a column are numbered from 0 across its blocks. Every offset,
// length and index taken from a block is checked against that block: what
// does not fit reads as missing (the operation's neutral value).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DataTable;
struct MemHandle;
struct DictSlot;

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

// Searches. Row number or -1.
int64_t FindRowByKey(TableCursor* cursor, uint32_t column, uint32_t key, int exact, int orNext);
int CompareRowText(TableCursor* cursor, uint32_t column, uint32_t r, const WCHAR* key, uint32_t keyLength,
                   WCHAR* buffer, uint32_t bufferBytes, int mode, int* matched, uint32_t* prefixLength);
int64_t FindRowByText(TableCursor* cursor, uint32_t column, const WCHAR* key, int mode);

// The first cursor that a built-in dictionary slot keeps for a table of
// `type`, or null (also for a user dictionary or a null slot).
TableCursor* FindTableByType(DictSlot* slot, uint32_t type);
