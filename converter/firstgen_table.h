// One table of a first-generation database: its table record, block index
// and Huffman code, and the one block it has loaded.
//
// Table record (big-endian u16 fields unless said): 0 flags; 2 fixed row
// size; 4 number of block records (and of cache keys); 6 sub-table count + 1
// (low 15 bits); 8 u32 row count; 12 rows per block (flag 0x100); 14
// distance back to the Huffman code record; 20 name length; 22 default
// section marker; 44 the name; then one u16 first block per sub-table; then,
// unless flag 0x020 or 0x100, one u16 per block record (the byte offset of
// its block index element from the start of the index area); then the index
// area: per block record a u32 first row, with flag 0x080 a u32 not used, and
// the first key as a u16 (or a u32 with flag 0x040). The element offsets of
// the per-block array are used only when flags 0x020 and 0x040 are both
// clear; otherwise the elements follow each other.
//
// Block record k of sub-table c is record (table record + first block of c
// + k + 1). Block record: u16 a; the row data from byte 2 to a; at a the u16
// row count; at a + 2 the u16 data length; from a + 4 one index entry per
// row: a u16 start (flags 0x008 and 0x010 clear), {u16 key, u16 start}
// (0x008) or {u32 key, u16 start} (0x010). A row ends where the next
// starts, the last at the data length; with flag 0x002 starts count fixed
// rows. With flag 0x100 there is no block index: block b holds rows from
// b x (rows per block).
//
// Everything is checked when the table opens or a block loads: a table
// whose arrays, block records or code record lie outside its record or the
// database is refused; a row whose bounds lie outside its block, or start
// above its end, has length 0.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/firstgen_bytes.h"
#include "converter/firstgen_file.h"
#include "converter/firstgen_huffman.h"

struct TextBuffer;

namespace converter {

struct FirstGenDb;

enum : uint16_t {
  kTableTextRows = 0x001,
  kTableFixedRows = 0x002,
  kTableKeys16 = 0x008,
  kTableKeys32 = 0x010,
  kTableIndexPacked = 0x020,   // no per-block offsets array
  kTableIndexKeys32 = 0x040,   // block first keys of two words
  kTableIndexExtra = 0x080,    // one more u32 per index element
  kTableNoIndex = 0x100,       // fixed rows per block, no block index
  kTableKeyedEntries = 0x200,  // entry numbers are row keys
  kTableEntryTable = 0x800,
};

inline constexpr uint32_t kTableNameOffset = 44;
// ReadFirstGenEntry's result for an entry that cannot be read.
inline constexpr uint32_t kEntryUnreadable = 65534;
inline constexpr uint32_t kNoRow = 0xFFFFFFFFu;

struct FirstGenTable {
  FirstGenDb* db;
  uint32_t recordNumber;
  FirstGenRecord* record;  // the table record, owned
  uint16_t flags;
  uint16_t fixedRowSize;
  uint16_t blockCount;
  uint16_t rowsPerBlock;
  uint16_t defaultMarker;
  uint32_t rowCount;     // as the table record says
  uint64_t rowCapacity;  // rows the block records can hold at most (a 2-byte index entry each)
  uint32_t keyBase;      // container tables: the first of blockCount cache keys
  ByteView name;
  std::vector<uint16_t> subTableFirst;  // first block of each sub-table
  std::vector<uint32_t> blockFirstRow;  // per block record (not with 0x100)
  std::vector<uint32_t> blockFirstKey;
  bool hasCode;
  HuffmanTable16 code;
  // The loaded block.
  FirstGenRecord* block;
  uint32_t blockNumber;  // table-wide block number, kNoRow for none
  uint32_t blockRows;
  uint32_t blockDataSize;    // a - 2
  uint32_t blockDataLength;  // the u16 at a + 2
};

// Null when the table record is refused (see above) or memory is short.
FirstGenTable* OpenFirstGenTable(FirstGenDb* db, uint32_t recordNumber);
// Releases the loaded block and frees the table. Close tables before the
// record cache is freed.
void CloseFirstGenTable(FirstGenTable* table);

uint32_t GetSubTableCount(const FirstGenTable* table);
// Block records of sub-table c (0 for a sub-table that does not exist).
uint32_t GetSubTableBlockCount(const FirstGenTable* table, uint32_t c);
// First row of block k of sub-table c.
uint32_t GetBlockFirstRow(const FirstGenTable* table, uint32_t c, uint32_t k);

// Loads block k of sub-table c (the previous block is released). 0 on
// success; 1 when there is no such block or it cannot be read.
int LoadFirstGenBlock(FirstGenTable* table, uint32_t c, uint32_t k);
// Rows of the loaded block (0 when none is loaded or its layout is bad).
uint32_t GetBlockRowCount(const FirstGenTable* table);
// The bytes of row r of the loaded block; {null, 0} for a row of length 0.
ByteView GetBlockRow(const FirstGenTable* table, uint32_t r);
// The key of row r of the loaded block (0 when the rows have no keys).
uint32_t GetBlockRowKey(const FirstGenTable* table, uint32_t r);

// Row n of sub-table c: its block and row in the block. 0 when found.
int FindBlockOfRow(const FirstGenTable* table, uint32_t c, uint32_t n, uint32_t* block, uint32_t* row);
// The row whose key is x in sub-table c (tables with row keys): loads its
// block. 0 when found, with the block, the row in the block and the entry
// index (the block's first row + the row).
int FindRowByKey(FirstGenTable* table, uint32_t c, uint32_t x, uint32_t* block, uint32_t* row, uint32_t* index);
// An entry number as (block, row) of sub-table c: through the row keys with
// flag 0x200, else as a row number. 0 when found.
int LocateFirstGenEntry(FirstGenTable* table, uint32_t c, uint32_t entryNumber, uint32_t* block, uint32_t* row);

// Reads row `row` of block `block` of sub-table c as 16-bit text into `out`
// (emptied first, terminated when done; initialise it with TextBufInit).
// Rows are Huffman-coded when the table has a code record, else big-endian
// chars; a 0 char ends the text. With `wanted` (count markers), only the
// sections they name are kept: a structural marker is U+EA00..U+EAAF other
// than the table's default marker; keeping starts on when there is no
// default marker or it is wanted; a wanted marker turns keeping on and is
// kept, any other turns it off; reading stops at the first marker after
// `count` wanted ones. `append` (optional) ends the text.
// Returns the length in chars; 0 (empty or missing row) or kEntryUnreadable
// (a block that cannot be read, bits that form no code, no memory) mean
// that the entry cannot be read.
uint32_t ReadFirstGenEntry(FirstGenTable* table, uint32_t c, uint32_t block, uint32_t row, TextBuffer* out,
                           const uint16_t* wanted, uint32_t count, const char16_t* append);

}  // namespace converter
