// A typed table of a data file, described as data: columns of rows (each
// row a key and a record) or of bare fixed-width values. BuildTableRecords
// turns it into the table's records: header, block index, subtables, blocks.
//
// Table types (dictionary tables, indexes, ...) are built on top of this:
// a type module fills a TableSpec from its own data and hands it over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/block_deflate.h"
#include "tools/databuild/byte_sink.h"

namespace databuild {

// Table flags (header word at 8).
constexpr std::uint32_t kTableHuffmanText = 0x002;
constexpr std::uint32_t kTableBitPacked = 0x004;
constexpr std::uint32_t kTableFixedLength = 0x008;
constexpr std::uint32_t kTableKeyed = 0x010;
constexpr std::uint32_t kTableKey32 = 0x020;
constexpr std::uint32_t kTableSorted = 0x040;
constexpr std::uint32_t kTableTextIndex = 0x100;
constexpr std::uint32_t kTableZlib = 0x200;
constexpr std::uint32_t kTableReleaseAfterRead = 0x800;

constexpr std::uint32_t kTextKindHuffman = 4096;

// Hard limits of a block: row offsets are 16-bit unit counts, and a
// compressed block must inflate into the reader's 48 KB buffer.
constexpr std::uint32_t kMaxBlockUnits = 65535;
constexpr std::uint32_t kMaxBlockBytes = 49152;
constexpr std::uint32_t kTableHeaderFixedSize = 256;

struct RowSpec {
  std::uint32_t key = 0;              // with kTableKeyed (16 bits, or 32 with kTableKey32)
  ByteVec bytes;                      // record of a byte-unit column (a whole number of units)
  std::vector<std::uint32_t> values;  // record of a bit-packed column, one value per unit
  std::u16string text;                // record of a Huffman-coded table
  // First-key text of the block index when this row starts a block; empty:
  // the record's text (see TableSpec::indexTextSkip).
  std::u16string indexText;
};

struct ColumnSpec {
  std::uint32_t unitSize = 1;  // bytes per unit; bits per value in bit-packed tables
  std::vector<RowSpec> rows;
  // A column without rows: bare values, unitSize bytes (at most 4, little-
  // endian) or bits each. Used only when `rows` is empty.
  std::vector<std::uint32_t> values;
  // Callers measure its records with the stored lengths: must not be compressed.
  bool lengthsMeasured = false;
};

struct TableSpec {
  std::uint32_t type = 0;
  std::uint32_t version = 1;
  std::uint32_t flags = 0;
  std::u16string name1;  // at most 31 units
  std::u16string name2;  // at most 39 units
  bool hasEntryCount = false;
  std::uint32_t entryCount = 0;  // default: the rows (or values) of column 0
  std::uint32_t fixedLength = 0;  // in units, with kTableFixedLength
  std::uint32_t textKind = 0;     // 0: 4096 with kTableHuffmanText
  ByteVec info;                   // the info area
  std::vector<ColumnSpec> columns;
  std::vector<ByteVec> subtables;  // behind the Huffman table when there is one
  ZlibEnd zlibEnd = ZlibEnd::Unfinished;
  // Block shaping (tests use small limits to get many blocks).
  std::uint32_t maxBlockRows = 0;      // 0: no limit
  std::uint32_t maxBlockBytes = 8192;  // record data per block before compression
  std::uint32_t maxIndexEntries = 0;   // block-index entries per index record; 0: as fit
  // Units dropped from the start of a record's text when it becomes a
  // first-key text (records that lead with binary words before their key).
  std::uint32_t indexTextSkip = 0;
};

struct BlockLayout {
  std::uint32_t blockNumber = 0;  // from the header record
  std::uint32_t firstRow = 0;     // index word 0
  std::uint32_t firstUnit = 0;    // index word 1
  std::uint32_t firstKey = 0;     // index word 2
  std::uint32_t rows = 0;
  std::uint32_t units = 0;        // inflated units
  std::uint32_t dataBytes = 0;    // record data before compression
  std::u16string firstText;
};

struct TableLayout {
  std::uint32_t headerRecord = 0;  // filled by the data-file builder
  std::uint32_t indexRecords = 0;
  std::uint32_t subtableRecords = 0;
  std::uint32_t blockEnd = 0;
  std::vector<std::uint32_t> firstBlock;          // per column
  std::vector<std::vector<BlockLayout>> blocks;   // per column
};

// Returns 0 and the table's records in order (records[k] is block number k),
// or 1 with a message in `error`.
int BuildTableRecords(const TableSpec& desc, std::vector<ByteVec>* records, TableLayout* layout,
                      std::string* error);

// Helpers for filling rows.
RowSpec MakeTextRow(std::uint32_t key, std::u16string_view text);     // record = UTF-16LE text
RowSpec MakeHuffmanRow(std::uint32_t key, std::u16string_view text);  // record = coded text
RowSpec MakeValuesRow(std::uint32_t key, std::vector<std::uint32_t> values);

}  // namespace databuild
