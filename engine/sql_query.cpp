#include "engine/sql_query.h"

#include <sqlite3.h>

#include "engine/sql_db.h"
#include "platform/engine_lock.h"

namespace {

uint32_t TypeOf(const SqlColumnDef* columns, int column) {
  return column >= 0 && columns ? columns[column].type : kSqlInteger;
}

void AppendQuotedName(SqlText* t, const char* name) {
  SqlTextAppend(t, "\"");
  SqlTextAppend(t, name);
  SqlTextAppend(t, "\"");
}

void AppendNameList(SqlText* t, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (i) SqlTextAppend(t, ", ");
    if (terms[i].column >= 0) AppendQuotedName(t, columns[terms[i].column].name);
  }
}

// A selected term: MIN(...), MAX(...), (...) or the bare column; a literal
// term writes its value. With a qualifier the column is table.column.
void AppendSelected(SqlText* t, const SqlQuery* q, const SqlTerm& term, const char* qualifier) {
  if (term.column < 0) {
    SqlAppendValue(t, kSqlInteger, &term);
    return;
  }
  if (term.aggregate == kSqlAggMin) SqlTextAppend(t, "MIN");
  if (term.aggregate == kSqlAggMax) SqlTextAppend(t, "MAX");
  if (term.aggregate) SqlTextAppend(t, "(");
  SqlAppendColumnRef(t, q->columns, term.column, qualifier);
  if (term.aggregate) SqlTextAppend(t, ")");
}

void AppendOrderQualified(SqlText* t, const SqlQuery* q, const char* qualifier) {
  for (uint32_t i = 0; q->order && i < q->orderCount; ++i) {
    const SqlTerm& term = q->order[i];
    SqlTextAppend(t, i ? ", " : " ORDER BY ");
    if (term.column < 0) SqlAppendValue(t, kSqlInteger, &term);
    else SqlAppendColumnRef(t, q->columns, term.column, qualifier);
    SqlTextAppend(t, term.descending ? " DESC" : " ASC");
  }
  if (q->limit > 0) {
    SqlTextAppend(t, " LIMIT ");
    SqlTextAppendInt(t, q->limit);
  }
  if (q->offset > 0) {
    // OFFSET is only valid after a LIMIT; -1 means no limit.
    if (q->limit <= 0) SqlTextAppend(t, " LIMIT -1");
    SqlTextAppend(t, " OFFSET ");
    SqlTextAppendInt(t, q->offset);
  }
}

}  // namespace

int SqlInsert(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count,
              int64_t* rowId, int replace) {
  if (!db) return SQLITE_MISUSE;
  EngineLockGuard lock;  // the row id is read before anyone else inserts
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, replace ? "INSERT OR REPLACE INTO " : "INSERT INTO ");
  SqlTextAppend(&t, table);
  SqlTextAppend(&t, " (");
  AppendNameList(&t, columns, terms, count);
  SqlTextAppend(&t, ") VALUES (");
  for (uint32_t i = 0; i < count; ++i) {
    if (i) SqlTextAppend(&t, ", ");
    SqlAppendValue(&t, TypeOf(columns, terms[i].column), &terms[i]);
  }
  SqlTextAppend(&t, ")");
  int rc = SqlTextExec(db, &t);
  if (rowId) *rowId = rc == SQLITE_OK ? sqlite3_last_insert_rowid(db->conn) : 0;
  return rc;
}

int SqlDelete(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count) {
  if (!db) return SQLITE_MISUSE;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "DELETE FROM ");
  SqlTextAppend(&t, table);
  if (terms && count) {
    SqlTextAppend(&t, " WHERE ");
    SqlAppendWhere(&t, columns, terms, count, nullptr);
  }
  return SqlTextExec(db, &t);
}

int SqlUpdate(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* where, uint32_t whereCount,
              const SqlTerm* set, uint32_t setCount) {
  if (!db) return SQLITE_MISUSE;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "UPDATE ");
  SqlTextAppend(&t, table);
  SqlTextAppend(&t, " SET ");
  for (uint32_t i = 0; i < setCount; ++i) {
    const SqlTerm& term = set[i];
    if (i) SqlTextAppend(&t, ", ");
    AppendQuotedName(&t, columns[term.column].name);
    SqlTextAppend(&t, " = ");
    if (term.increment) {
      AppendQuotedName(&t, columns[term.column].name);
      SqlTextAppend(&t, " + ");
    }
    SqlAppendValue(&t, TypeOf(columns, term.column), &term);
  }
  SqlTextAppend(&t, " WHERE ");
  SqlAppendWhere(&t, columns, where, whereCount, nullptr);
  return SqlTextExec(db, &t);
}

int SqlInsertSelect(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count,
                    const SqlQuery* query, int position) {
  if (!db || !query) return SQLITE_MISUSE;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "INSERT INTO ");
  SqlTextAppend(&t, table);
  SqlTextAppend(&t, " ");
  if (terms && count) {
    SqlTextAppend(&t, "(");
    AppendNameList(&t, columns, terms, count);
    SqlTextAppend(&t, ") ");
  }
  if (position >= 0) {
    SqlTextAppend(&t, "VALUES (");
    for (uint32_t i = 0; i < count; ++i) {
      if (i) SqlTextAppend(&t, ", ");
      if (static_cast<int>(i) == position) {
        SqlTextAppend(&t, "(");
        SqlAppendSelect(&t, query, 0);
        SqlTextAppend(&t, ")");
      } else {
        SqlAppendValue(&t, TypeOf(columns, terms[i].column), &terms[i]);
      }
    }
    SqlTextAppend(&t, ")");
  } else {
    SqlAppendSelect(&t, query, 0);
  }
  return SqlTextExec(db, &t);
}

void SqlAppendColumns(SqlText* t, const SqlQuery* q) {
  for (uint32_t i = 0; q->select && i < q->selectCount; ++i) {
    if (i) SqlTextAppend(t, ", ");
    AppendSelected(t, q, q->select[i], nullptr);
  }
}

void SqlAppendOrder(SqlText* t, const SqlQuery* q) { AppendOrderQualified(t, q, nullptr); }

void SqlAppendSelect(SqlText* t, const SqlQuery* q, int withoutOrder) {
  SqlTextAppend(t, "SELECT ");
  if (q->distinct) SqlTextAppend(t, "DISTINCT ");
  if (q->select && q->selectCount) SqlAppendColumns(t, q);
  else SqlTextAppend(t, "*");
  SqlTextAppend(t, " FROM ");
  SqlTextAppend(t, q->table);
  if (q->where && q->whereCount) {
    SqlTextAppend(t, " WHERE ");
    SqlAppendWhere(t, q->columns, q->where, q->whereCount, nullptr);
  }
  if (!withoutOrder) SqlAppendOrder(t, q);
}

void SqlAppendJoinSelect(SqlText* t, const SqlQuery* first, const SqlQuery* second, int withoutOrder,
                         uint32_t joinKind) {
  SqlTextAppend(t, "SELECT ");
  if (first->distinct) SqlTextAppend(t, "DISTINCT ");
  const uint32_t firstCount = first->select ? first->selectCount : 0;
  const uint32_t secondCount = second->select ? second->selectCount : 0;
  if (firstCount + secondCount == 0) {
    SqlTextAppend(t, "*");
  } else {
    uint32_t written = 0;
    for (uint32_t i = 0; i < firstCount; ++i, ++written) {
      if (written) SqlTextAppend(t, ", ");
      AppendSelected(t, first, first->select[i], first->table);
    }
    for (uint32_t i = 0; i < secondCount; ++i, ++written) {
      if (written) SqlTextAppend(t, ", ");
      AppendSelected(t, second, second->select[i], second->table);
    }
  }
  SqlTextAppend(t, " FROM ");
  SqlTextAppend(t, first->table);
  SqlTextAppend(t, joinKind == kSqlInnerJoin ? " INNER JOIN " : joinKind == kSqlLeftJoin ? " LEFT OUTER JOIN " : " JOIN ");
  SqlTextAppend(t, second->table);
  SqlTextAppend(t, " ON ");
  SqlAppendColumnRef(t, first->columns, 0, first->table);
  SqlTextAppend(t, " = ");
  SqlAppendColumnRef(t, second->columns, 0, second->table);
  const bool firstWhere = first->where && first->whereCount;
  const bool secondWhere = second->where && second->whereCount;
  int depth = 0;
  if (firstWhere) {
    SqlTextAppend(t, " WHERE (");
    SqlAppendWhere(t, first->columns, first->where, first->whereCount, first->table);
    SqlTextAppend(t, ")");
    if (secondWhere) depth = SqlAppendConnector(t, first->where[first->whereCount - 1].connector, depth);
  }
  if (secondWhere) {
    SqlTextAppend(t, firstWhere ? "(" : " WHERE (");
    SqlAppendWhere(t, second->columns, second->where, second->whereCount, second->table);
    SqlTextAppend(t, ")");
  }
  for (; depth > 0; --depth) SqlTextAppend(t, ")");
  // Qualified: both tables may have a column of that name.
  if (!withoutOrder) AppendOrderQualified(t, first, first->table);
}

sqlite3_stmt* SqlPrepareSelect(SqlDb* db, const SqlQuery* query) {
  if (!db || !query) return nullptr;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlAppendSelect(&t, query, 0);
  return SqlTextPrepare(db, &t);
}

sqlite3_stmt* SqlPrepareCompound(SqlDb* db, const SqlQuery* queries, uint32_t count, const uint32_t* unionPositions,
                                 uint32_t unionCount, uint32_t joinKind) {
  if (!db || !queries || count == 0) return nullptr;
  if (count == 1) return SqlPrepareSelect(db, &queries[0]);
  if (!unionPositions) unionCount = 0;
  uint32_t nextUnion = 0;
  // A " WHERE " is written only when a condition follows it.
  auto conditionFollows = [&](uint32_t i) {
    return i + 1 < count && !(nextUnion < unionCount && unionPositions[nextUnion] == i + 1);
  };
  SqlText t;
  SqlTextBegin(db, &t);
  uint32_t base = 0;
  uint32_t i = 1;
  bool joined = false;
  bool opened = false;
  int depth = 0;
  if (joinKind != kSqlNoJoin) {
    SqlAppendJoinSelect(&t, &queries[0], &queries[1], 1, joinKind);
    joined = true;
    i = 2;
    if (queries[0].whereCount == 0 && queries[1].whereCount == 0 && conditionFollows(1)) {
      SqlTextAppend(&t, " WHERE ");
      opened = true;
    }
  } else {
    SqlAppendSelect(&t, &queries[0], 1);
    if (queries[0].whereCount == 0 && conditionFollows(0)) {
      SqlTextAppend(&t, " WHERE ");
      opened = true;
    }
  }
  for (; i < count; ++i) {
    const SqlQuery& q = queries[i];
    if (nextUnion < unionCount && unionPositions[nextUnion] == i) {
      for (; depth > 0; --depth) SqlTextAppend(&t, ")");
      SqlTextAppend(&t, " UNION ");
      ++nextUnion;
      base = i;
      joined = false;
      SqlAppendSelect(&t, &q, 1);
      opened = false;
      if (q.whereCount == 0 && conditionFollows(i)) {
        SqlTextAppend(&t, " WHERE ");
        opened = true;
      }
      continue;
    }
    if (!opened) depth = SqlAppendConnector(&t, queries[i - 1].connector, depth);
    opened = false;
    SqlAppendColumnRef(&t, queries[base].columns, q.inColumn, joined ? queries[base].table : nullptr);
    SqlTextAppend(&t, q.notIn ? " NOT IN (" : " IN (");
    SqlAppendSelect(&t, &q, 1);
    SqlTextAppend(&t, ") ");
  }
  for (; depth > 0; --depth) SqlTextAppend(&t, ")");
  SqlAppendOrder(&t, &queries[0]);
  return SqlTextPrepare(db, &t);
}

int64_t SqlCount(SqlDb* db, const char* table, const SqlQuery* query) {
  if (!db || !table) return -1;
  EngineLockGuard lock;
  SqlText t;
  SqlTextBegin(db, &t);
  if (!query || !query->select || query->selectCount == 0) {
    SqlTextAppend(&t, "SELECT COUNT(*) FROM ");
  } else {
    SqlTextAppend(&t, "SELECT COUNT(");
    if (query->distinct || query->selectCount == 1) SqlTextAppend(&t, "DISTINCT ");
    SqlAppendColumns(&t, query);
    SqlTextAppend(&t, ") FROM ");
  }
  SqlTextAppend(&t, table);
  if (query && query->where && query->whereCount) {
    SqlTextAppend(&t, " WHERE ");
    SqlAppendWhere(&t, query->columns, query->where, query->whereCount, nullptr);
  }
  sqlite3_stmt* stmt = SqlTextPrepare(db, &t);
  if (!stmt) return -1;
  int64_t n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  return n;
}

int SqlSelectAggregates(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* const* conditions,
                        const uint32_t* conditionCounts, uint32_t conditionCount, const SqlTerm* sums,
                        uint32_t sumCount, const SqlQuery* setQuery, int64_t* results) {
  if (!db || !table || !results) return -1;
  EngineLockGuard lock;
  SqlText t;
  SqlTextBegin(db, &t);
  SqlTextAppend(&t, "SELECT");
  for (uint32_t i = 0; i < conditionCount; ++i) {
    if (i) SqlTextAppend(&t, ",");
    if (!conditions || !conditions[i] || !conditionCounts || conditionCounts[i] == 0) {
      SqlTextAppend(&t, " COUNT(*)");
    } else {
      // A condition is 1 or 0 per row; NULLIF makes 0 not counted.
      SqlTextAppend(&t, " COUNT(NULLIF(");
      SqlAppendWhere(&t, columns, conditions[i], conditionCounts[i], nullptr);
      SqlTextAppend(&t, ", 0))");
    }
  }
  for (uint32_t i = 0; i < sumCount; ++i) {
    if (i || conditionCount) SqlTextAppend(&t, ",");
    SqlTextAppend(&t, " SUM(");
    SqlTextAppend(&t, columns[sums[i].column].name);
    SqlTextAppend(&t, ")");
  }
  SqlTextAppend(&t, " FROM ");
  SqlTextAppend(&t, table);
  if (setQuery) {
    SqlTextAppend(&t, " WHERE ");
    SqlAppendColumnRef(&t, columns, setQuery->inColumn, nullptr);
    SqlTextAppend(&t, setQuery->notIn ? " NOT IN (" : " IN (");
    SqlAppendSelect(&t, setQuery, 1);
    SqlTextAppend(&t, ") ");
  }
  sqlite3_stmt* stmt = SqlTextPrepare(db, &t);
  if (!stmt) return -1;
  int rc = sqlite3_step(stmt);
  const int n = static_cast<int>(conditionCount + sumCount);
  for (int c = 0; c < n; ++c) results[c] = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, c) : 0;
  sqlite3_finalize(stmt);
  return rc == SQLITE_ROW ? 0 : -1;
}

int SqlStep(sqlite3_stmt* statement) {
  EngineLockGuard lock;
  return sqlite3_step(statement);
}

int SqlIsRow(int stepResult) { return stepResult == SQLITE_ROW; }

int32_t SqlColumnInt(sqlite3_stmt* statement, int column) {
  EngineLockGuard lock;
  return sqlite3_column_int(statement, column);
}

int64_t SqlColumnInt64(sqlite3_stmt* statement, int column) {
  EngineLockGuard lock;
  return sqlite3_column_int64(statement, column);
}

const char* SqlColumnText(sqlite3_stmt* statement, int column) {
  EngineLockGuard lock;
  return reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
}

const WCHAR* SqlColumnText16(sqlite3_stmt* statement, int column) {
  EngineLockGuard lock;
  return static_cast<const WCHAR*>(sqlite3_column_text16(statement, column));
}

int SqlColumnIsNull(sqlite3_stmt* statement, int column) {
  EngineLockGuard lock;
  return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

int SqlFinalize(sqlite3_stmt* statement) {
  EngineLockGuard lock;
  return sqlite3_finalize(statement);
}
