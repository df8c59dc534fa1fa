#include "flash/flash_sql.h"

#include <sqlite3.h>

#include "engine/sql_query.h"
#include "platform/engine_lock.h"

SqlTerm FlashIntTerm(uint32_t column, int32_t value, uint32_t connector) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.value = value;
  t.connector = connector;
  return t;
}

int SelectFlashInts(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t columnCount,
                    uint32_t whereColumn, int32_t value, uint32_t selectColumn, std::vector<int32_t>* out) {
  if (!db || !out) return 1;
  EngineLockGuard lock;
  const SqlTerm where = FlashIntTerm(whereColumn, value);
  const SqlTerm select = FlashIntTerm(selectColumn, 0);
  SqlQuery q{};
  q.table = table;
  q.columns = columns;
  q.columnCount = columnCount;
  q.where = &where;
  q.whereCount = 1;
  q.select = &select;
  q.selectCount = 1;
  sqlite3_stmt* statement = SqlPrepareSelect(db, &q);
  if (!statement) return 1;
  while (SqlStep(statement) == SQLITE_ROW) out->push_back(SqlColumnInt(statement, 0));
  SqlFinalize(statement);
  return 0;
}
