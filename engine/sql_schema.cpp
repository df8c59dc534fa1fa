#include "engine/sql_schema.h"

#include <sqlite3.h>

#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "platform/engine_lock.h"

namespace {

const char* TypeName(uint32_t type) {
  switch (type) {
    case kSqlInteger: return " INTEGER";
    case kSqlReal: return " REAL";
    case kSqlText: return " TEXT";
    default: return " BLOB";
  }
}

void AppendIndexName(SqlText* t, const char* table, const char* name) {
  SqlTextAppend(t, "idx_");
  SqlTextAppend(t, table);
  SqlTextAppend(t, "_");
  SqlTextAppend(t, name);
}

int CreateColumnIndex(SqlDb* db, const char* table, const char* column) {
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "CREATE INDEX ");
  AppendIndexName(&t, table, column);
  SqlTextAppend(&t, " ON ");
  SqlTextAppend(&t, table);
  SqlTextAppend(&t, " (");
  SqlTextAppend(&t, column);
  SqlTextAppend(&t, ")");
  return SqlTextExec(db, &t);
}

// 1 for a row, 0 for SQLITE_DONE, kSqlProbeFailed for anything else.
int ProbeFirstStep(SqlDb* db, SqlText* t) {
  sqlite3_stmt* stmt = SqlTextPrepare(db, t);
  if (!stmt) return kSqlProbeFailed;
  const int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  return rc == SQLITE_ROW ? 1 : rc == SQLITE_DONE ? 0 : kSqlProbeFailed;
}

}  // namespace

int SqlCreateTable(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t count) {
  if (!db || !table || !columns) return SQLITE_MISUSE;
  EngineLockGuard lock;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "CREATE TABLE '");
  SqlTextAppendQuoted(&t, table);
  SqlTextAppend(&t, "' (");
  bool composite = false;
  for (uint32_t i = 0; i < count; ++i) {
    const SqlColumnDef& c = columns[i];
    if (i) SqlTextAppend(&t, ", ");
    SqlTextAppend(&t, "\"");
    SqlTextAppend(&t, c.name);
    SqlTextAppend(&t, "\"");
    SqlTextAppend(&t, TypeName(c.type));
    if (c.unique && !c.primaryKey && !c.compositeUnique) SqlTextAppend(&t, " UNIQUE");
    if (c.primaryKey) SqlTextAppend(&t, c.autoincrement ? " PRIMARY KEY AUTOINCREMENT" : " PRIMARY KEY");
    if (c.defaultTimestamp) SqlTextAppend(&t, " DEFAULT CURRENT_TIMESTAMP");
    if (c.nocase) SqlTextAppend(&t, " COLLATE NOCASE");
    composite = composite || c.compositeUnique;
  }
  if (composite) {
    SqlTextAppend(&t, ", UNIQUE (");
    bool first = true;
    for (uint32_t i = 0; i < count; ++i) {
      if (!columns[i].compositeUnique) continue;
      if (!first) SqlTextAppend(&t, ", ");
      first = false;
      SqlTextAppend(&t, "\"");
      SqlTextAppend(&t, columns[i].name);
      SqlTextAppend(&t, "\"");
    }
    SqlTextAppend(&t, ") ");
  }
  SqlTextAppend(&t, ")");
  const int rc = SqlTextExec(db, &t);
  if (rc != SQLITE_OK) return rc;
  // An INTEGER primary key is the row id: it needs no index.
  for (uint32_t i = 0; i < count; ++i)
    if (columns[i].indexed && !(columns[i].primaryKey && columns[i].type == kSqlInteger))
      CreateColumnIndex(db, table, columns[i].name);
  return SQLITE_OK;
}

int SqlCreateColumnIndex(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t column) {
  if (!db || !table || !columns) return SQLITE_MISUSE;
  return CreateColumnIndex(db, table, columns[column].name);
}

int SqlCreateIndex(SqlDb* db, const char* table, const char* name, const SqlColumnDef* columns,
                   const uint32_t* columnIndexes, uint32_t count) {
  if (!db || !table || !name || !columns || !columnIndexes) return SQLITE_MISUSE;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "CREATE INDEX ");
  AppendIndexName(&t, table, name);
  SqlTextAppend(&t, " ON ");
  SqlTextAppend(&t, table);
  SqlTextAppend(&t, " (");
  for (uint32_t i = 0; i < count; ++i) {
    if (i) SqlTextAppend(&t, ", ");
    SqlTextAppend(&t, "\"");
    SqlTextAppend(&t, columns[columnIndexes[i]].name);
    SqlTextAppend(&t, "\"");
  }
  SqlTextAppend(&t, ")");
  return SqlTextExec(db, &t);
}

int SqlDropTable(SqlDb* db, const char* table) {
  if (!db || !table) return SQLITE_MISUSE;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "DROP TABLE '");
  SqlTextAppendQuoted(&t, table);
  SqlTextAppend(&t, "'");
  return SqlTextExec(db, &t);
}

int SqlDropIndex(SqlDb* db, const char* table, const char* name) {
  if (!db || !table || !name) return SQLITE_MISUSE;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "DROP INDEX '");
  AppendIndexName(&t, table, name);
  SqlTextAppend(&t, "'");
  return SqlTextExec(db, &t);
}

int SqlDropColumnIndex(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t column) {
  if (!columns) return SQLITE_MISUSE;
  return SqlDropIndex(db, table, columns[column].name);
}

int SqlTableExists(SqlDb* db, const char* name, int rows) {
  if (!db || !name) return kSqlProbeFailed;
  EngineLockGuard lock;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "SELECT * FROM sqlite_master WHERE name = ");
  SqlTextAppendLiteral(&t, name);
  const int exists = ProbeFirstStep(db, &t);
  if (!rows || exists != 1) return exists;
  const int64_t n = SqlCount(db, name, nullptr);
  return n < 0 ? kSqlProbeFailed : n > 0 ? 1 : 0;
}

int SqlIndexExists(SqlDb* db, const char* table, const char* name) {
  if (!db || !table || !name) return kSqlProbeFailed;
  EngineLockGuard lock;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "SELECT * FROM sqlite_master WHERE name = '");
  AppendIndexName(&t, table, name);  // index names are never quoted
  SqlTextAppend(&t, "'");
  return ProbeFirstStep(db, &t);
}

int SqlColumnIndexExists(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t column) {
  if (!columns) return kSqlProbeFailed;
  return SqlIndexExists(db, table, columns[column].name);
}

int SqlIsEmptyDatabase(SqlDb* db) {
  if (!db) return kSqlProbeFailed;
  EngineLockGuard lock;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "SELECT name FROM sqlite_master WHERE type = 'table'");
  const int any = ProbeFirstStep(db, &t);
  return any == kSqlProbeFailed ? kSqlProbeFailed : any == 0 ? 1 : 0;
}
