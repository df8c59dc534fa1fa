// The radical tables of a data file, described as data:
//   0x5000 the characters of each radical by stroke count (rows keyed by
//          radical code), with the radical list in subtable record 0;
//   0x5110 the radical code of each character from the lowest code on
//          (bare 16-bit values, value i for character lowest + i).
// The reader takes the first 0x5000 table it meets and then a 0x5110 table
// with the same id met LATER; one met before is passed over. So 0x5110 is
// always written behind its 0x5000 (AddRadicalTables appends both in that
// order; CheckDataFileRules refuses a file where it comes first).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr std::uint32_t kTypeRadicals = 0x5000;
constexpr std::uint32_t kTypeRadicalCodes = 0x5110;
constexpr std::uint16_t kNoSection = 65535;

// One 4-byte item of list B: 16-bit code, a byte, a key byte.
struct RadicalListItem {
  std::uint16_t code = 0;
  std::uint8_t byte = 0;
  std::uint8_t key = 0;
};

// One radical's record: sections[s] holds the characters with s further
// strokes (an empty section is written as start 65535). The record is the
// section count k, k section starts (positions in the character sequence),
// then the characters in section order.
struct RadicalChars {
  std::uint16_t radical = 0;
  std::vector<std::u16string> sections;
};

struct RadicalTablesSpec {
  std::uint32_t id = 1;         // info word 0 of both tables
  std::uint32_t infoWord1 = 0;  // 0x5000 info word 1
  // Radical list (subtable record 0): 16-bit count n, list A (n values),
  // list B (4-byte items).
  std::vector<std::uint16_t> listA;
  std::vector<RadicalListItem> listB;
  std::vector<RadicalChars> radicals;  // sorted by radical here; radicals must differ
  // 0x5110, written when codes is not empty: codes[i] is the radical code of
  // character lowestCode + i. Info words 2 and 3 of 0x5000 are the lowest
  // and highest code (0 and 0 without codes).
  std::uint32_t lowestCode = 0;
  std::vector<std::uint16_t> codes;
  std::uint32_t maxBlockRows = 0;
};

ByteVec RadicalRecordBytes(const RadicalChars& radical);
ByteVec RadicalListBytes(const std::vector<std::uint16_t>& listA, const std::vector<RadicalListItem>& listB);

// `codes` is cleared (type 0) when the desc has no codes.
int MakeRadicalTables(const RadicalTablesSpec& desc, TableSpec* radicals, TableSpec* codes, std::string* error);
// Appends 0x5000 and then (with codes) 0x5110.
int AddRadicalTables(const RadicalTablesSpec& desc, DataFileSpec* file, std::string* error);

}  // namespace databuild
