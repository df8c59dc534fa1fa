// Table groups: the character-reference tables of one data file (types
// 0x2000 to 0x2020), read by the document reader. A group needs a table of
// type 0x2000, whose info area describes the group.
#pragma once

#include <cstdint>

struct DataFileDb;
struct DataTable;
struct DictEngine;
struct TableCursor;

inline constexpr uint32_t kTableGroupFirstType = 0x2000;
inline constexpr uint32_t kTableGroupMainType = 0x2000;
inline constexpr uint32_t kTableGroupSecondType = 0x2010;
inline constexpr uint32_t kTableGroupLastType = 0x2020;
inline constexpr uint32_t kMaxTableGroupTables = 31;
// Tables of this format version or later are left out.
inline constexpr uint32_t kTableGroupVersionLimit = 2;

struct TableGroup {
  TableCursor* cursors[kMaxTableGroupTables];
  uint32_t types[kMaxTableGroupTables];
  uint32_t count;
  uint32_t writeStamp;  // of the data file, through its 0x2000 table
  int32_t mainPosition;    // place of the 0x2000 table among the cursors
  int32_t secondPosition;  // place of the first 0x2010 table, -1 when none
  const uint8_t* info;     // info area of the 0x2000 table (the reader's), or null
  uint32_t infoSize;
  uint32_t infoWord4;  // 0 when the info area is shorter
  uint8_t valid;       // 1
};

void LoadTableGroups(DictEngine* engine, DataFileDb* const* readers, uint32_t count);
// One group over the given tables of one file, appended to the engine's. 0,
// or 1 when none was made (no usable 0x2000 table, 128 groups already, no
// memory).
int BuildTableGroup(DictEngine* engine, DataTable* const* tables, uint32_t count);
void FreeTableGroups(DictEngine* engine);

uint32_t GetTableGroupCount(DictEngine* engine);
// Group i, or null.
const TableGroup* GetTableGroup(DictEngine* engine, uint32_t i);
