// Statement text of the SQL builder: a growing UTF-8 text that borrows its
// handle's scratch block, the term that writes one value or condition, and
// the condition writer.
//
// Values are written as literals, never bound: texts in single quotes with
// every "'" doubled; for the LIKE operators that add wildcards (contains,
// begins with, ends with) the value's own "%", "_" and "\" are escaped and
// " ESCAPE '\'" follows, so a typed "%" matches only itself. The other
// pattern operators (LIKE, NOT LIKE, GLOB) take patterns their callers
// built and are written raw; kSqlOpLikeEscaped takes a caller's pattern
// whose literal parts went through SqlLikeEscapeDup.
#pragma once

#include <cstdint>

#include "engine/sql_schema.h"
#include "platform/types.h"

struct MemHandle;
struct SqlDb;

struct SqlText {
  char* data;         // the locked block; data[length] is always 0
  uint32_t capacity;  // bytes usable for text (the block holds one more)
  MemHandle* handle;
  uint32_t length;    // bytes, terminator not counted
  uint8_t borrowed;   // the block is the handle's scratch block
  uint8_t failed;     // the block could not grow: the text is cut and must not run
};

// Operators of a term.
enum : uint32_t {
  kSqlOpEqual = 0,      // " == " (" IS " for a NULL value)
  kSqlOpNotEqual = 1,   // " != " (" IS NOT " for a NULL value)
  kSqlOpGreater = 2,
  kSqlOpGreaterEqual = 3,
  kSqlOpLess = 4,
  kSqlOpLessEqual = 5,
  kSqlOpLike = 6,       // pattern as given
  kSqlOpContains = 7,   // LIKE '%value%'
  kSqlOpBegins = 8,     // LIKE 'value%'
  kSqlOpEnds = 9,       // LIKE '%value'
  kSqlOpNotLike = 10,   // pattern as given
  kSqlOpGlob = 11,      // pattern as given
  kSqlOpIn = 12,        // integer list
  kSqlOpNotIn = 13,     // integer list
  // " LIKE " with a pattern the caller built from literal parts escaped by
  // SqlLikeEscapeDup and wildcards of its own; " ESCAPE '\'" follows.
  kSqlOpLikeEscaped = 14,
};

// Connectors joining a term to the next one.
enum : uint32_t {
  kSqlAnd = 0,       // " AND "
  kSqlOr = 1,        // " OR "
  kSqlAndOpen = 2,   // " AND ("
  kSqlOrOpen = 3,    // " OR ("
  kSqlCloseAnd = 4,  // ") AND "
  kSqlCloseOr = 5,   // ") OR "
};

// Aggregates of selected columns (any other non-zero value: a bare
// parenthesis around the column).
enum : uint32_t { kSqlAggNone = 0, kSqlAggMin = 1, kSqlAggMax = 2 };

// One element of a WHERE, SET, VALUES, selected-column or ORDER BY list.
struct SqlTerm {
  int16_t column;  // index into the table's SqlColumnDef array; negative: a literal
  uint32_t op;
  uint32_t connector;
  uint32_t aggregate;
  uint8_t descending;  // ORDER BY
  uint8_t increment;   // SET: column = column + value
  uint8_t openParen;   // a "(" before this term
  uint8_t isNull;      // the value is NULL
  // WHERE: compared as "+column", which keeps the column's collation but
  // not its index, so that the plan searches by another term's index
  // (without statistics SQLite chooses between two equal tests itself).
  uint8_t unindexed;
  const char* text;    // UTF-8 value, or null
  const WCHAR* wtext;  // UTF-16 value, or null
  int32_t value;
  const int32_t* list;  // integer list for IN / NOT IN
  uint32_t listCount;
};

// A new copy (local heap, LocalFree it) of text with "%", "_" and "\"
// escaped by "\", for the literal parts of a kSqlOpLikeEscaped pattern.
// Null for null or when memory runs out.
WCHAR* SqlLikeEscapeDup(const WCHAR* text);

// Starts a statement, length 0: borrows the handle's scratch block when it
// is free, else takes a block of its own (db may be null). With a db it
// takes one level of the engine lock, which SqlTextEnd gives back, so every
// SqlTextBegin must be ended.
void SqlTextBegin(SqlDb* db, SqlText* text);
// 0 when n more bytes fit (after growing), 1 when the block cannot grow
// (the text is then marked failed).
int SqlTextReserve(SqlText* text, uint32_t n);
void SqlTextAppend(SqlText* text, const char* utf8);
void SqlTextAppendN(SqlText* text, const char* utf8, uint32_t n);
void SqlTextAppendInt(SqlText* text, int64_t value);
// The text with every "'" doubled (no surrounding quotes).
void SqlTextAppendQuoted(SqlText* text, const char* utf8);
// A whole literal: "'" + the text with "'" doubled + "'".
void SqlTextAppendLiteral(SqlText* text, const char* utf8);
// Gives the block back (pass the db given to SqlTextBegin): a borrowed block returns to the handle (cut back
// to 512 bytes when it grew beyond), a block of its own is freed.
void SqlTextEnd(SqlDb* db, SqlText* text);

// Runs the composed statement with sqlite3_exec and ends the text.
// SQLITE_NOMEM when the text could not be composed whole.
int SqlTextExec(SqlDb* db, SqlText* text);
// Compiles the composed statement and ends the text; null on failure.
struct sqlite3_stmt* SqlTextPrepare(SqlDb* db, SqlText* text);

// Writes the term's value for a column of the given type (literal terms
// pass kSqlInteger): NULL, an integer list "(1,2)" (an empty list for IN /
// NOT IN: "()"), a quoted text, or an integer: quoted for TEXT columns
// (0 is NULL there), bare for INTEGER, REAL and BLOB.
void SqlAppendValue(SqlText* text, uint32_t columnType, const SqlTerm* term);
// 1 when SqlAppendValue writes NULL for this term and column type.
int SqlValueIsNull(uint32_t columnType, const SqlTerm* term);
// Writes a connector; returns the parenthesis depth after it.
int SqlAppendConnector(SqlText* text, uint32_t connector, int depth);
// Writes a condition over the terms. Sixteen or more equalities on one
// column joined by OR become one IN list. Column references are
// qualifier "." name when a qualifier is given, else "name".
void SqlAppendWhere(SqlText* text, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count,
                    const char* qualifier);
// A column reference as SqlAppendWhere writes it.
void SqlAppendColumnRef(SqlText* text, const SqlColumnDef* columns, int column, const char* qualifier);
