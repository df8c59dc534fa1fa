// Table groups: the character-reference tables of a data file, types 0x2000
// to 0x2020. The reader gathers a file's tables of these types (at most 31,
// format version below 2) into one group, which exists only when the file
// has a 0x2000 table; it keeps the 0x2000 table's info area and its word 4,
// and the position of the first 0x2010 table.
//
// The content of the tables is the caller's (columns and flags as any
// table); this module sets their type, version and info words and keeps the
// group's rules: types within 0x2000-0x2020, at most 31 of them in a file,
// a 0x2000 table among them, the 0x2000 info area at least 5 words long.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr std::uint32_t kTypeGroupMain = 0x2000;
constexpr std::uint32_t kTypeGroupSecond = 0x2010;
constexpr std::uint32_t kTypeGroupLast = 0x2020;
constexpr std::size_t kMaxGroupTables = 31;
constexpr std::size_t kGroupMainInfoWords = 5;

struct GroupTableSpec {
  std::uint32_t type = kTypeGroupMain;
  std::uint32_t version = 1;  // 2 or more: the reader leaves the table out
  // Info area as 32-bit words; a 0x2000 table's is padded with zeros to 5 words.
  std::vector<std::uint32_t> infoWords;
  std::uint32_t flags = 0;
  std::vector<ColumnSpec> columns;  // none: one empty column
  std::u16string name1;
  std::u16string name2;
};

int MakeGroupTable(const GroupTableSpec& desc, TableSpec* out, std::string* error);
// Appends the group's tables in the given order. Fails when none is a
// 0x2000 table of version below 2, or the file would hold more than 31
// tables of types 0x2000-0x2020.
int AddTableGroup(const std::vector<GroupTableSpec>& tables, DataFileSpec* file, std::string* error);

}  // namespace databuild
