// First-generation databases described as data: tables of rows become the
// directory record, Huffman code records, table records and block records,
// and those records become a container ("*.pdb", big-endian) or a bundle
// ("*.kve", little-endian framing).
//
// Records of a database: 0 the directory (u16 table count, the table record
// numbers, the header); then per table its code record (when Huffman-coded),
// its table record and its block records, which must follow it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/firstgen/bytes.h"

namespace firstgen {

// Table flags as the file holds them.
enum : uint16_t {
  kTextRows = 0x001,
  kFixedRows = 0x002,
  kKeys16 = 0x008,
  kKeys32 = 0x010,
  kIndexPacked = 0x020,
  kIndexKeys32 = 0x040,
  kIndexExtra = 0x080,
  kNoIndex = 0x100,
  kKeyedEntries = 0x200,
  kEntryTable = 0x800,
};

// Table kinds of a dictionary header (the word at 90 + 2i).
inline constexpr uint16_t kKindEntryTable = 0x0100;
inline constexpr uint16_t kKindSecondaryTable = 0x0200;

struct Row {
  std::u16string text;  // text rows: big-endian chars, or Huffman-coded
  Bytes bytes;          // used when text is empty (fixed rows, raw bytes)
  uint32_t key = 0;     // with kKeys16 / kKeys32
};

struct TableSpec {
  uint16_t flags = kTextRows;
  uint16_t fixedRowSize = 0;
  bool huffman = false;           // write a code record (text rows)
  bool singleLengthCode = false;  // every code of one length
  uint32_t rowsPerBlock = 4;
  std::vector<std::vector<Row>> subTables{{}};
  std::string name;  // 8-bit
  uint16_t defaultMarker = 0;
  int64_t rowCount = -1;                  // the u32 at 8; -1: the rows of sub-table 0
  uint16_t kind = 0;                      // dictionary table kind, 0 for none
  uint32_t indexExtraWord = 0xA5A5A5A5u;  // the extra index word of kIndexExtra
};

struct DatabaseSpec {
  Bytes header;  // the database header after the directory's table list
  std::vector<TableSpec> tables;
};

struct DatabaseLayout {
  std::vector<uint32_t> tableRecords;
  std::vector<int64_t> codeRecords;  // -1 for tables without one
};

// False (with a message) when a text has a char without a code or a code
// cannot be built.
bool BuildDatabaseRecords(const DatabaseSpec& spec, std::vector<Bytes>* records, DatabaseLayout* layout,
                          std::string* error);

// Container: "SRDB" / "SRDE" at 60 / 64, count at 76, record list at 78.
// `offsets` (optional) receives each record's file offset.
Bytes WriteContainer(const std::vector<Bytes>& records, std::vector<uint32_t>* offsets = nullptr);

struct BundleOptions {
  uint32_t version = 1;
  int64_t memberCount = -1;   // m; -1: the number of records
  uint32_t extraEntries = 0;  // directory entries beyond the members
  uint32_t storedSlack = 0;   // stored length = used length + this (zero bytes)
};
// `offsets` (optional) receives each member's file offset.
Bytes WriteBundle(const std::vector<Bytes>& records, const BundleOptions& options = {},
                  std::vector<uint32_t>* offsets = nullptr);

bool WriteFile(const std::string& path, const Bytes& bytes, std::string* error);

}  // namespace firstgen
