// The reader of one data file: record 0 is the database header, the other
// records form typed tables whose blocks are served through the shared
// RecordCache. Numbers inside records are little-endian.
//
// Everything read from the file is checked against the record it lies in: a
// malformed file is refused when it opens, or the part that is malformed
// reads as empty. Reading rows is table_cursor.h.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/types.h"

struct MemHandle;
struct DbFile;
struct RecordCache;
struct HuffmanTable;
struct DataFileDb;

// Table flags (header word at 8).
enum : uint32_t {
  kTableHuffmanText = 0x002,
  kTableBitPacked = 0x004,
  kTableFixedLength = 0x008,
  kTableKeyed = 0x010,
  kTableKey32 = 0x020,
  kTableSorted = 0x040,
  kTableFirstKeyTexts = 0x100,
  kTableCompressed = 0x200,
  kTableReleaseAfterRead = 0x800,
};

constexpr uint32_t kHuffmanTextKind = 4096;
constexpr uint32_t kInflatedBlockMax = 49152;
constexpr uint32_t kDataFileVersion = 8;
constexpr uint32_t kDataFileNumber = 0xC8D32E17u;

// One block-index record.
struct BlockIndexPart {
  MemHandle* record;
  const uint8_t* entries;  // entryCount x three 32-bit words
  uint32_t entryCount;
  const uint8_t* offsets;  // with first-key texts: entryCount 16-bit byte offsets
  const uint8_t* texts;    // ... into this text area
  uint32_t textBytes;
};

struct SubtableRecord {
  MemHandle* record;
  const uint8_t* data;
  uint32_t size;
};

struct DataTable {
  uint32_t headerRecordIndex;  // h
  uint32_t keyBase;            // first key in the RecordCache
  DataFileDb* db;
  RecordCache* cache;
  uint32_t type;
  uint32_t version;
  uint32_t flags;
  uint32_t blockEnd;
  uint32_t indexRecordCount;
  uint32_t subtableCount;
  uint32_t columnCount;
  uint32_t entryCount;
  uint32_t fixedLength;
  uint32_t textKind;
  uint32_t wordsPerRow;
  uint32_t* firstBlock;  // per column
  uint32_t* blockCount;
  uint32_t* unitSize;
  MemHandle* header;
  const uint8_t* headerData;
  uint32_t headerSize;
  const uint8_t* infoArea;  // null when the table has none
  uint32_t infoAreaSize;
  // Loaded on first use, under the database's lock. The three flags
  // (indexLoaded, subtablesLoaded, huffmanLoaded) are also read without it,
  // atomically: each is set last, and the data it covers never changes after.
  bool indexLoaded;
  bool indexUsable;  // the index records cover every block of the table
  BlockIndexPart* index;
  bool subtablesLoaded;
  SubtableRecord* subtables;
  bool huffmanLoaded;
  HuffmanTable* huffman;
  // With the Huffman table: for each value of a code's first
  // kHuffmanQuickBits bits (huffman.h), a quick-table entry (owned; null
  // without a table).
  uint32_t* huffmanQuick;
};


struct DataFileDb {
  MemHandle* header;
  const uint8_t* headerData;
  uint32_t headerSize;
  uint32_t tableCount;
  uint32_t directoryOffset;  // 132
  uint32_t textsOffset;      // behind the directory
  uint32_t longNameLength;   // characters
  uint32_t noticeLength;
  DataTable** tables;
  DbFile* file;  // borrowed
  std::mutex lazyLock;  // first-use loads of the tables' index, subtables and Huffman table
};

// Null when the file is not an acceptable data file (its records are freed;
// the caller keeps its DbFile).
DataFileDb* OpenDataFileDb(DbFile* file, RecordCache* cache);
// Closes the tables and frees the header; the DbFile stays open. Does not
// touch the record cache (the engine may have freed it already).
void CloseDataFileDb(DataFileDb* db);

uint32_t GetTableCount(const DataFileDb* db);
DataTable* GetTableByIndex(DataFileDb* db, uint32_t i);
// 1: type id; 2: format version; 6: write stamp of the file; others: 0.
uint32_t GetTableProperty(DataTable* table, uint32_t property);
uint32_t GetTablePropertyByIndex(DataFileDb* db, uint32_t i, uint32_t property);
// A new zero-terminated copy (LocalFree it) of the first (0) or second (1)
// table name, null when the name is empty. 1 when `which` is not 0 or 1.
int GetTableName(DataTable* table, uint32_t which, WCHAR** text);
// Each requested output gets a new copy, or null when that text is empty.
void GetDataFileTexts(DataFileDb* db, WCHAR** shortName, WCHAR** longName, WCHAR** notice);

// Block index. Word 0 of a block's entry is its first row, word 2 its first
// key. 0 and the word, or 1 when the index does not cover the block.
int GetBlockIndexWord(DataTable* table, uint32_t column, uint32_t j, uint32_t word, uint32_t* value);
// The last block j of the column whose word is not above `value` (block 0
// when the value lies below all). -1 when the column has no blocks or the
// index cannot be read.
int64_t FindBlock(DataTable* table, uint32_t column, uint32_t value, uint32_t word);
// First-key text of block j (bytes, not terminated): 0 with the span, 1 when
// the table has none or the index does not cover the block.
int GetBlockFirstKeyText(DataTable* table, uint32_t column, uint32_t j, const uint8_t** text, uint32_t* bytes);

// Subtable i of the table (loaded on first use): its data and size, or null.
const uint8_t* GetTableSubtable(DataTable* table, uint32_t i, uint32_t* size);
// The table's Huffman table (built on first use), null when it has none or
// the subtable is malformed.
const HuffmanTable* GetTableHuffman(DataTable* table);
// The quick table of the table's Huffman codes (see DataTable), once
// GetTableHuffman has returned the codes; null when there is none.
const uint32_t* GetTableHuffmanQuick(const DataTable* table);

// Little-endian loads at a byte pointer.
inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
