// Data statements of the SQL builder: INSERT, DELETE, UPDATE, the SELECT of
// a SqlQuery descriptor (alone, joined with a second one, or combined with
// further descriptors by IN, NOT IN and UNION), counts, aggregate counts and
// INSERT ... SELECT; and the thin wrappers through which callers step and
// read a compiled statement.
//
// Changes return SQLite's result code (0 = success). Queries return a
// compiled statement (null when it does not compile) that the caller steps
// and always finalizes with SqlFinalize.
#pragma once

#include <cstdint>

#include "engine/sql_text.h"
#include "platform/types.h"

struct SqlDb;
struct sqlite3_stmt;

struct SqlQuery {
  const char* table;
  const SqlColumnDef* columns;
  uint32_t columnCount;
  const SqlTerm* where;
  uint32_t whereCount;
  const SqlTerm* select;  // none: "*"
  uint32_t selectCount;
  const SqlTerm* order;
  uint32_t orderCount;
  int32_t limit;   // written when above 0
  int32_t offset;  // written when above 0
  // Compound queries: index, in the base descriptor's columns, of the
  // column this descriptor's SELECT is matched against.
  int16_t inColumn;
  uint32_t connector;  // joins the next descriptor's condition to this one
  uint8_t notIn;
  uint8_t distinct;
};

// Join kinds of SqlAppendJoinSelect and SqlPrepareCompound.
enum : uint32_t { kSqlNoJoin = 0, kSqlInnerJoin = 1, kSqlLeftJoin = 2 };

// rowId (optional) receives the new row's id. replace: INSERT OR REPLACE.
int SqlInsert(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count,
              int64_t* rowId, int replace);
// No terms: every row.
int SqlDelete(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count);
// The WHERE clause is always written: pass at least one condition.
int SqlUpdate(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* where, uint32_t whereCount,
              const SqlTerm* set, uint32_t setCount);
// position >= 0: VALUES (...) with the query's SELECT as the value at that
// position; position < 0: INSERT INTO table (...) SELECT ...
int SqlInsertSelect(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count,
                    const SqlQuery* query, int position);

void SqlAppendSelect(SqlText* text, const SqlQuery* query, int withoutOrder);
void SqlAppendColumns(SqlText* text, const SqlQuery* query);
void SqlAppendOrder(SqlText* text, const SqlQuery* query);
void SqlAppendJoinSelect(SqlText* text, const SqlQuery* first, const SqlQuery* second, int withoutOrder,
                         uint32_t joinKind);

sqlite3_stmt* SqlPrepareSelect(SqlDb* db, const SqlQuery* query);
// Descriptor 0 (or the join of 0 and 1) is the base; each further
// descriptor adds "base column IN (its SELECT)" joined by the previous
// descriptor's connector; at a union position a new base starts after
// " UNION ".
sqlite3_stmt* SqlPrepareCompound(SqlDb* db, const SqlQuery* queries, uint32_t count, const uint32_t* unionPositions,
                                 uint32_t unionCount, uint32_t joinKind);

// Rows of the table matching the query (optional), -1 on failure.
int64_t SqlCount(SqlDb* db, const char* table, const SqlQuery* query);
// One row: a count per condition (none or no terms: all rows) and a sum per sum term,
// over the rows whose set query's IN column is (not) in its SELECT. 0, or
// -1 when the statement fails.
int SqlSelectAggregates(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* const* conditions,
                        const uint32_t* conditionCounts, uint32_t conditionCount, const SqlTerm* sums,
                        uint32_t sumCount, const SqlQuery* setQuery, int64_t* results);

// Reading rows. Each holds the engine lock for its call; a caller reading
// many rows from a shared handle holds it around the whole read.
int SqlStep(sqlite3_stmt* statement);
int SqlIsRow(int stepResult);
int32_t SqlColumnInt(sqlite3_stmt* statement, int column);
int64_t SqlColumnInt64(sqlite3_stmt* statement, int column);
const char* SqlColumnText(sqlite3_stmt* statement, int column);  // UTF-8; null for NULL
const WCHAR* SqlColumnText16(sqlite3_stmt* statement, int column);  // null for NULL
int SqlColumnIsNull(sqlite3_stmt* statement, int column);
int SqlFinalize(sqlite3_stmt* statement);
