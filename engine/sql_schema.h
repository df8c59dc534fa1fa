// Tables described once as static SqlColumnDef arrays (every statement
// names a column by its index there): creating and dropping tables and
// indexes, and asking what exists.
//
// Index names are "idx_" + table + "_" + column or index name.
#pragma once

#include <cstdint>

struct SqlDb;

// Column types.
enum : uint32_t { kSqlInteger = 0, kSqlReal = 1, kSqlText = 2, kSqlBlob = 3 };

struct SqlColumnDef {
  const char* name;  // UTF-8
  uint32_t type;     // kSqlInteger, kSqlReal, kSqlText; any other value BLOB
  uint8_t unique;
  uint8_t primaryKey;
  uint8_t indexed;
  uint8_t autoincrement;
  uint8_t defaultTimestamp;  // DEFAULT CURRENT_TIMESTAMP
  uint8_t compositeUnique;   // member of the table's UNIQUE (...)
  uint8_t nocase;            // COLLATE NOCASE
};

// CREATE TABLE, then one index per indexed column (none for an INTEGER
// primary key; their results are not checked). 0, or the SQLite code of
// the CREATE TABLE.
int SqlCreateTable(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t count);
int SqlCreateColumnIndex(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t column);
int SqlCreateIndex(SqlDb* db, const char* table, const char* name, const SqlColumnDef* columns,
                   const uint32_t* columnIndexes, uint32_t count);
int SqlDropTable(SqlDb* db, const char* table);
int SqlDropIndex(SqlDb* db, const char* table, const char* name);
int SqlDropColumnIndex(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t column);

// The probes answer 1 (yes), 0 (no) or kSqlProbeFailed when SQLite could
// not answer (locked, corrupt, not a database): callers must not take a
// failure for "absent" or "empty" and create a schema over a file they
// could not read. Only SQLITE_DONE means absent.
inline constexpr int kSqlProbeFailed = -1;

// rows = 0: whether sqlite_master holds a table or index of that name.
// rows != 0: whether the table exists and holds at least one row.
int SqlTableExists(SqlDb* db, const char* name, int rows);
int SqlIndexExists(SqlDb* db, const char* table, const char* name);
int SqlColumnIndexExists(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t column);
// 1 when the database holds no table.
int SqlIsEmptyDatabase(SqlDb* db);
