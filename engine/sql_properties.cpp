#include "engine/sql_properties.h"

#include <sqlite3.h>

#include <cstring>

#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "engine/string_utils.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

const SqlColumnDef kSqlPropertyColumns[4] = {
    {"propset", kSqlInteger, 0, 0, 0, 0, 0, 1, 0},
    {"propid", kSqlText, 0, 0, 0, 0, 0, 1, 0},
    {"propvalue", kSqlText, 0, 0, 0, 0, 0, 0, 0},
    {"propisstring", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
};

namespace {

enum { kPropSet = 0, kPropId = 1, kPropValue = 2, kPropIsString = 3 };

// An owned copy; an empty text is a one-unit block, not null.
WCHAR* CopyText(const WCHAR* s) {
  const uint32_t n = WideStrLen(s);
  auto* copy = static_cast<WCHAR*>(LocalAlloc(LPTR, (n + 1) * sizeof(WCHAR)));
  if (copy && n) std::memcpy(copy, s, n * sizeof(WCHAR));
  return copy;
}

void ClearText(SqlPropertyEntry* e) {
  if (e->isText && e->text) LocalFree(e->text);
  e->text = nullptr;
  e->isText = 0;
}

SqlPropertyEntry* EntryForName(SqlPropertyList* list, const char* name) {
  if (!name) return nullptr;
  for (uint32_t n = 0; n < list->nameCount; ++n) {
    if (!list->names[n] || std::strcmp(list->names[n], name) != 0) continue;
    for (uint32_t i = 0; i < list->count; ++i)
      if (list->entries[i].nameIndex == n) return &list->entries[i];
    return nullptr;
  }
  return nullptr;
}

SqlTerm SetTerm(int32_t set) {
  SqlTerm t{};
  t.column = kPropSet;
  t.value = set;
  return t;
}

}  // namespace

int SqlCreatePropertyTable(SqlDb* db, const char* table) { return SqlCreateTable(db, table, kSqlPropertyColumns, 4); }

SqlPropertyList* SqlNewPropertyList(uint32_t entryCount, const char* const* names, uint32_t nameCount) {
  auto* list = static_cast<SqlPropertyList*>(LocalAlloc(LPTR, sizeof(SqlPropertyList)));
  if (!list) return nullptr;
  if (entryCount) {
    list->entries = static_cast<SqlPropertyEntry*>(LocalAlloc(LPTR, entryCount * sizeof(SqlPropertyEntry)));
    if (!list->entries) {
      LocalFree(list);
      return nullptr;
    }
  }
  list->count = entryCount;
  list->names = names;
  list->nameCount = nameCount;
  for (uint32_t i = 0; i < entryCount; ++i) list->entries[i].nameIndex = static_cast<uint16_t>(i);
  return list;
}

void SqlFreePropertyList(SqlPropertyList* list) {
  if (!list) return;
  for (uint32_t i = 0; i < list->count; ++i) ClearText(&list->entries[i]);
  if (list->entries) LocalFree(list->entries);
  LocalFree(list);
}

int SqlSetPropertyInt(SqlPropertyList* list, uint32_t entry, int32_t value) {
  if (!list || entry >= list->count) return 1;
  SqlPropertyEntry* e = &list->entries[entry];
  ClearText(e);
  e->value = value;
  e->hasValue = 1;
  e->changed = 1;
  return 0;
}

int SqlSetPropertyText(SqlPropertyList* list, uint32_t entry, const WCHAR* text) {
  if (!list || entry >= list->count) return 1;
  WCHAR* copy = CopyText(text);
  if (!copy) return 1;
  SqlPropertyEntry* e = &list->entries[entry];
  ClearText(e);
  e->text = copy;
  e->isText = 1;
  e->value = 0;
  e->hasValue = 1;
  e->changed = 1;
  return 0;
}

int SqlLoadPropertySet(SqlDb* db, const char* table, int32_t set, SqlPropertyList* list) {
  if (!db || !table || !list) return SQLITE_MISUSE;
  EngineLockGuard lock;
  const SqlTerm where = SetTerm(set);
  SqlTerm order{};
  order.column = kPropId;
  SqlQuery q{};
  q.table = table;
  q.columns = kSqlPropertyColumns;
  q.columnCount = 4;
  q.where = &where;
  q.whereCount = 1;
  q.order = &order;
  q.orderCount = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
  if (!stmt) {
    const int rc = sqlite3_errcode(db->conn);
    return rc != SQLITE_OK ? rc : SQLITE_ERROR;
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    SqlPropertyEntry* e = EntryForName(list, reinterpret_cast<const char*>(sqlite3_column_text(stmt, kPropId)));
    if (!e) continue;
    if (sqlite3_column_int(stmt, kPropIsString) == 0) {
      ClearText(e);
      e->value = sqlite3_column_int(stmt, kPropValue);
    } else {
      const auto* value = static_cast<const WCHAR*>(sqlite3_column_text16(stmt, kPropValue));
      WCHAR* copy = CopyText(value);
      if (!copy) {
        rc = SQLITE_NOMEM;
        break;
      }
      ClearText(e);
      e->text = copy;
      e->isText = 1;
      e->value = 0;
    }
    e->hasValue = 1;
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int SqlSavePropertySet(SqlDb* db, const char* table, int32_t set, const SqlPropertyList* list) {
  if (!db || !table || !list) return SQLITE_MISUSE;
  EngineLockGuard lock;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  for (uint32_t i = 0; i < list->count; ++i) {
    const SqlPropertyEntry& e = list->entries[i];
    if (!e.changed || !e.hasValue) continue;
    SqlTerm terms[4] = {};
    terms[0] = SetTerm(set);
    terms[1].column = kPropId;
    terms[1].text = e.nameIndex < list->nameCount ? list->names[e.nameIndex] : nullptr;
    terms[1].isNull = terms[1].text == nullptr;
    terms[2].column = kPropValue;
    if (e.isText) terms[2].wtext = e.text ? e.text : u"";
    else terms[2].value = e.value;
    terms[3].column = kPropIsString;
    terms[3].value = e.isText ? 1 : 0;
    rc = SqlInsert(db, table, kSqlPropertyColumns, terms, 4, nullptr, 1);
    if (rc != SQLITE_OK) {
      SqlRollback(db);
      return rc;
    }
  }
  return SqlCommit(db);
}

int SqlDeletePropertySet(SqlDb* db, const char* table, int32_t set) {
  const SqlTerm where = SetTerm(set);
  return SqlDelete(db, table, kSqlPropertyColumns, &where, 1);
}

int SqlUpdateProperty(SqlDb* db, const char* table, const char* id, int32_t oldValue, int32_t newValue) {
  SqlTerm where[2] = {};
  where[0].column = kPropId;
  where[0].text = id;
  where[0].connector = kSqlAnd;
  where[1].column = kPropValue;
  where[1].value = oldValue;  // 0 was saved as NULL: matched with IS NULL
  SqlTerm set{};
  set.column = kPropValue;
  set.value = newValue;
  return SqlUpdate(db, table, kSqlPropertyColumns, where, 2, &set, 1);
}
