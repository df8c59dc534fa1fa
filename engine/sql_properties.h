// Property sets: named settings stored as rows ("propset", "propid",
// "propvalue", "propisstring") of a property table and held in memory as a
// SqlPropertyList whose entry i is the property named names[i].
#pragma once

#include <cstdint>

#include "engine/sql_schema.h"
#include "platform/types.h"

struct SqlDb;

// The property table's columns: "propset" INTEGER, "propid" TEXT,
// "propvalue" TEXT, "propisstring" INTEGER, UNIQUE ("propset", "propid").
extern const SqlColumnDef kSqlPropertyColumns[4];

struct SqlPropertyEntry {
  uint16_t nameIndex;  // index into the list's names; "propid" is that name
  int32_t value;
  WCHAR* text;         // owned by the entry while isText is set
  uint8_t changed;     // saved by SqlSavePropertySet (with hasValue)
  uint8_t isText;
  uint8_t hasValue;
};

struct SqlPropertyList {
  SqlPropertyEntry* entries;
  uint32_t count;
  const char* const* names;  // UTF-8, not owned
  uint32_t nameCount;
};

int SqlCreatePropertyTable(SqlDb* db, const char* table);

// A list of entryCount cleared entries, entry i naming names[i]. Null when
// memory runs out.
SqlPropertyList* SqlNewPropertyList(uint32_t entryCount, const char* const* names, uint32_t nameCount);
void SqlFreePropertyList(SqlPropertyList* list);

// Setters for callers: mark the entry changed and having a value. A text is
// copied (null is stored as an empty text). 0, or 1 for a bad index or when
// memory runs out.
int SqlSetPropertyInt(SqlPropertyList* list, uint32_t entry, int32_t value);
int SqlSetPropertyText(SqlPropertyList* list, uint32_t entry, const WCHAR* text);

// Fills the entries from the rows of the set; rows whose "propid" names no
// entry of the list are passed over. 0, or the SQLite code when the table
// cannot be read (the entries read so far keep their values).
int SqlLoadPropertySet(SqlDb* db, const char* table, int32_t set, SqlPropertyList* list);
// In one transaction (a savepoint inside a caller's), INSERT OR REPLACE of
// every entry that is changed and has a value. Integers are written by the
// TEXT rule ('5', NULL for 0) and read back the same. Any failed insert or
// commit rolls the whole save back and its code is returned; 0 on success.
// The marks stay as they are.
int SqlSavePropertySet(SqlDb* db, const char* table, int32_t set, const SqlPropertyList* list);
int SqlDeletePropertySet(SqlDb* db, const char* table, int32_t set);
// Sets "propvalue" to newValue in the rows (of every set) whose "propid" is
// id and whose value is oldValue.
int SqlUpdateProperty(SqlDb* db, const char* table, const char* id, int32_t oldValue, int32_t newValue);
