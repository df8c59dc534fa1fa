#include "engine/user_dict_import.h"

#include <sqlite3.h>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_properties.h"
#include "engine/sql_schema.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "platform/engine_lock.h"
#include "platform/threads.h"

namespace {

const SqlColumnDef kImportColumns[5] = {
    {"id", kSqlInteger, 0, 1, 0, 1, 0, 0, 0},         {"starttime", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
    {"endtime", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},    {"startentry", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
    {"endentry", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
};
enum { kImId = 0, kImStart = 1, kImEnd = 2, kImFirst = 3, kImLast = 4 };

const SqlColumnDef kLineColumns[2] = {
    {"line", kSqlInteger, 0, 1, 0, 0, 0, 0, 0},
    {"uid", kSqlInteger, 0, 0, 1, 0, 0, 0, 0},
};

constexpr uint32_t kLineChunk = 500;
constexpr int32_t kNearLines = 5000;

// The thread that runs the import into each slot (the slot record has no
// room for it). Guarded by the engine lock.
struct ImportOwner {
  const DictSlot* slot;
  DWORD thread;
};
ImportOwner owners[kMaxDictSlots];

ImportOwner* OwnerOf(const DictSlot* slot) {
  for (ImportOwner& o : owners)
    if (o.slot == slot) return &o;
  return nullptr;
}

SqlTerm IntTerm(int column, int32_t value) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.value = value;
  return t;
}

SqlQuery EntriesQuery() {
  SqlQuery q{};
  q.table = kUserDictEntriesTable;
  q.columns = kUserDictEntryColumns;
  q.columnCount = kUdEntryColumnCount;
  return q;
}

// ORDER BY of the word list: the sort column, then the uid (a sort column
// that holds equal values would otherwise leave their order to chance).
uint32_t WordListOrder(const DictSlot* s, SqlTerm* order, bool descending) {
  const uint32_t column = GetUserDictSortColumn(s);
  order[0] = IntTerm(static_cast<int>(column), 0);
  order[1] = IntTerm(kUdUid, 0);
  order[0].descending = order[1].descending = descending ? 1 : 0;
  return column == kUdUid ? 1 : 2;
}

// The first column of the first row as a number, or `missing`.
int32_t FirstInt(sqlite3_stmt* stmt, int32_t missing) {
  if (!stmt) return missing;
  const int32_t v = SqlIsRow(SqlStep(stmt)) ? SqlColumnInt(stmt, 0) : missing;
  SqlFinalize(stmt);
  return v;
}

// The uids of the entries in word-list order; `order` and `select` are the
// caller's storage, which the query points into.
SqlQuery WordListUids(const DictSlot* s, SqlTerm order[2], SqlTerm* select, bool descending) {
  *select = IntTerm(kUdUid, 0);
  SqlQuery q = EntriesQuery();
  q.select = select;
  q.selectCount = 1;
  q.order = order;
  q.orderCount = WordListOrder(s, order, descending);
  return q;
}

// One column of the line index where the other equals `value`, or -1.
int32_t LookUpLineIndex(SqlDb* db, int whereColumn, int32_t value, int selectColumn) {
  const SqlTerm where = IntTerm(whereColumn, value);
  const SqlTerm select = IntTerm(selectColumn, 0);
  SqlQuery q{};
  q.table = kUserDictLineIndexTable;
  q.columns = kLineColumns;
  q.columnCount = 2;
  q.where = &where;
  q.whereCount = 1;
  q.select = &select;
  q.selectCount = 1;
  q.limit = 1;
  return FirstInt(SqlPrepareSelect(db, &q), -1);
}

struct ImportRecord {
  int32_t id;
  int32_t startTime;
  int32_t endTime;
  int32_t first;
  int32_t last;
};

// 0 with the newest record, 1 when none, else the SQLite code.
int ReadNewestImport(SqlDb* db, ImportRecord* record) {
  record->id = -1;
  const int exists = SqlTableExists(db, kUserDictImportsTable, 0);
  if (exists != 1) return exists == 0 ? 1 : SQLITE_ERROR;
  SqlTerm select[5];
  for (int i = 0; i < 5; ++i) select[i] = IntTerm(i, 0);
  SqlTerm order = IntTerm(kImId, 0);
  order.descending = 1;
  SqlQuery q{};
  q.table = kUserDictImportsTable;
  q.columns = kImportColumns;
  q.columnCount = 5;
  q.select = select;
  q.selectCount = 5;
  q.order = &order;
  q.orderCount = 1;
  q.limit = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
  if (!stmt) return SQLITE_ERROR;
  const int step = SqlStep(stmt);
  if (SqlIsRow(step)) {
    record->id = SqlColumnInt(stmt, 0);
    record->startTime = SqlColumnInt(stmt, 1);
    record->endTime = SqlColumnInt(stmt, 2);
    record->first = SqlColumnInt(stmt, 3);
    record->last = SqlColumnInt(stmt, 4);
  }
  SqlFinalize(stmt);
  return SqlIsRow(step) ? 0 : step == SQLITE_DONE ? 1 : step;
}

int DeleteRange(SqlDb* db, const char* table, const SqlColumnDef* columns, int column, int32_t first, int32_t last) {
  SqlTerm where[2] = {IntTerm(column, first), IntTerm(column, last)};
  where[0].op = kSqlOpGreaterEqual;
  where[1].op = kSqlOpLessEqual;
  return SqlDelete(db, table, columns, where, 2);
}

}  // namespace

int BeginUserDictImport(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  s->importing = 1;
  s->importId = -1;
  ImportOwner* o = OwnerOf(s);
  if (!o) o = OwnerOf(nullptr);
  if (o) {
    o->slot = s;
    o->thread = GetCurrentThreadId();
  }
  return 0;
}

int EndUserDictImport(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  s->importing = 0;
  s->importId = -1;
  ForgetUserDictImport(s);
  return 0;
}

int IsUserDictImportRunningElsewhere(const DictSlot* slot) {
  if (!slot || !slot->importing) return 0;
  EngineLockGuard lock;
  const ImportOwner* o = OwnerOf(slot);
  return o && o->thread != GetCurrentThreadId() ? 1 : 0;
}

void ForgetUserDictImport(const DictSlot* slot) {
  if (!slot) return;
  EngineLockGuard lock;
  if (ImportOwner* o = OwnerOf(slot)) *o = ImportOwner{};
}

int LogUserDictImportEntry(DictSlot* slot, int32_t uid) {
  if (!slot || !slot->importing) return 0;
  EngineLockGuard lock;
  SqlDb* db = slot->db;
  const auto now = static_cast<int32_t>(GetUtcSeconds());
  if (slot->importId < 0) {
    const int exists = SqlTableExists(db, kUserDictImportsTable, 0);
    if (exists == kSqlProbeFailed) return SQLITE_ERROR;
    if (exists == 0) {
      const int rc = SqlCreateTable(db, kUserDictImportsTable, kImportColumns, 5);
      if (rc != SQLITE_OK) return rc;
    }
    SqlTerm values[4] = {IntTerm(kImStart, now), IntTerm(kImEnd, now), IntTerm(kImFirst, uid), IntTerm(kImLast, uid)};
    int64_t id = -1;
    const int rc = SqlInsert(db, kUserDictImportsTable, kImportColumns, values, 4, &id, 0);
    if (rc != SQLITE_OK) return rc;
    slot->importId = static_cast<int32_t>(id);
    return SQLITE_OK;
  }
  const SqlTerm where = IntTerm(kImId, slot->importId);
  SqlTerm set[2] = {IntTerm(kImEnd, now), IntTerm(kImLast, uid)};
  return SqlUpdate(db, kUserDictImportsTable, kImportColumns, &where, 1, set, 2);
}

int GetLastUserDictImport(DictEngine* engine, uint16_t slot, uint32_t* startTime, uint32_t* endTime,
                          uint32_t* count) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  ImportRecord r{};
  if (ReadNewestImport(s->db, &r) != 0) return 1;
  if (startTime) *startTime = static_cast<uint32_t>(r.startTime);
  if (endTime) *endTime = static_cast<uint32_t>(r.endTime);
  if (count) *count = static_cast<uint32_t>(r.last - r.first + 1);
  return 0;
}

int UndoLastUserDictImport(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  if (IsUserDictLocked(s) || s->importing) return 65534;
  EngineLockGuard lock;
  SqlDb* db = s->db;
  ImportRecord r{};
  const int found = ReadNewestImport(db, &r);
  if (found == 1 || (found == 0 && r.last < r.first)) return 1;
  if (found != 0) return found;
  const int32_t oldCount = s->entryCount;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  rc = DeleteRange(db, kUserDictEntriesTable, kUserDictEntryColumns, kUdUid, r.first, r.last);
  // The entries' index rows go with them, or searches would find entries
  // that are gone.
  const bool chinese = UserDictHeadwordLanguage(s) == kLanguageChinese;
  if (rc == SQLITE_OK && chinese) {
    for (uint32_t n = 0; rc == SQLITE_OK && n < kPosdexTables; ++n)
      for (uint32_t kind = 0; rc == SQLITE_OK && kind < 2; ++kind) {
        char name[32];
        PosdexTableName(n, kind, name);
        if (SqlTableExists(db, name, 0) == 1) rc = DeleteRange(db, name, kPosdexColumns, 1, r.first, r.last);
      }
  } else if (rc == SQLITE_OK && SqlTableExists(db, kUserDictAlphadexTable, 0) == 1) {
    rc = DeleteRange(db, kUserDictAlphadexTable, kAlphadexColumns, 1, r.first, r.last);
  }
  int64_t count = -1;
  if (rc == SQLITE_OK) {
    count = SqlCount(db, kUserDictEntriesTable, nullptr);
    if (count < 0) rc = SQLITE_ERROR;
  }
  SqlPropertyEntry before = s->properties->entries[kUdpEntryCount];
  if (rc == SQLITE_OK) rc = StoreUserDictNumber(s, kUdpEntryCount, static_cast<int32_t>(count));
  if (rc == SQLITE_OK) {
    const SqlTerm where = IntTerm(kImId, r.id);
    rc = SqlDelete(db, kUserDictImportsTable, kImportColumns, &where, 1);
  }
  if (rc == SQLITE_OK) {
    rc = SqlCommit(db);
  } else {
    SqlRollback(db);
  }
  if (rc != SQLITE_OK) {
    s->entryCount = oldCount;
    s->properties->entries[kUdpEntryCount] = before;
    return rc;
  }
  s->entryCount = static_cast<int32_t>(count);
  ClearUserDictLineCache(s);
  return 0;
}

uint32_t GetUserDictSortColumn(const DictSlot* slot) {
  switch (slot ? slot->sortMethod : 1) {
    case 0:
      return kUdSortKey;
    case 2:
      return kUdWord;
    case 3:
      return kUdAltWord;
    case 4:
      return kUdPron;
    default:
      return kUdUid;
  }
}

void ClearUserDictLineCache(DictSlot* slot) {
  if (!slot) return;
  slot->cachedLine = -1;
  slot->cachedUid = -1;
}

int32_t GetUserDictEntryAtLine(DictEngine* engine, uint16_t slot, int32_t line) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 0;
  if (line < 0) return -1;
  EngineLockGuard lock;
  if (line == s->cachedLine) return s->cachedUid;
  SqlDb* db = s->db;
  int32_t uid = -1;
  if (s->lineIndex) uid = LookUpLineIndex(db, 0, line, 1);
  const uint32_t column = GetUserDictSortColumn(s);
  if (uid < 0 && s->cachedUid > 0 && line - s->cachedLine < kNearLines && s->cachedLine - line < kNearLines) {
    // Step from the cached entry by (sort value, uid).
    const WCHAR* value = nullptr;
    sqlite3_stmt* valueStmt = nullptr;
    bool haveValue = column == kUdUid;
    if (!haveValue) {
      const SqlTerm where = IntTerm(kUdUid, s->cachedUid);
      const SqlTerm select = IntTerm(static_cast<int>(column), 0);
      SqlQuery q = EntriesQuery();
      q.where = &where;
      q.whereCount = 1;
      q.select = &select;
      q.selectCount = 1;
      valueStmt = SqlPrepareSelect(db, &q);
      if (valueStmt && SqlIsRow(SqlStep(valueStmt)) && !SqlColumnIsNull(valueStmt, 0)) {
        value = SqlColumnText16(valueStmt, 0);
        haveValue = value != nullptr;
      }
    }
    if (haveValue) {
      const bool after = line > s->cachedLine;
      const int32_t distance = after ? line - s->cachedLine : s->cachedLine - line;
      // (column > v) OR (column == v AND uid >= cached), mirrored backwards.
      SqlTerm where[3];
      uint32_t whereCount = 0;
      if (column == kUdUid) {
        where[whereCount++] = IntTerm(kUdUid, s->cachedUid);
        where[0].op = after ? kSqlOpGreaterEqual : kSqlOpLessEqual;
      } else {
        SqlTerm t{};
        t.column = static_cast<int16_t>(column);
        t.wtext = value;
        t.op = after ? kSqlOpGreater : kSqlOpLess;
        t.connector = kSqlOrOpen;
        where[whereCount++] = t;
        t.op = kSqlOpEqual;
        t.connector = kSqlAnd;
        where[whereCount++] = t;
        where[whereCount] = IntTerm(kUdUid, s->cachedUid);
        where[whereCount++].op = after ? kSqlOpGreaterEqual : kSqlOpLessEqual;
      }
      SqlTerm order[2];
      SqlTerm select;
      SqlQuery q = WordListUids(s, order, &select, !after);
      q.where = where;
      q.whereCount = whereCount;
      q.limit = 1;
      q.offset = distance;
      uid = FirstInt(SqlPrepareSelect(db, &q), -1);
      if (uid == s->cachedUid && distance != 0) uid = -1;
    }
    if (valueStmt) SqlFinalize(valueStmt);
  }
  if (uid < 0) {
    SqlTerm order[2];
    SqlTerm select;
    SqlQuery q = WordListUids(s, order, &select, false);
    q.limit = 1;
    q.offset = line;
    uid = FirstInt(SqlPrepareSelect(db, &q), -1);
    if (uid < 0) return -1;
  }
  s->cachedLine = line;
  s->cachedUid = uid;
  return uid;
}

int32_t GetUserDictLineOfEntry(DictEngine* engine, uint16_t slot, int32_t uid) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 0;
  EngineLockGuard lock;
  if (s->lineIndex) return LookUpLineIndex(s->db, 1, uid, 0);
  SqlTerm order[2];
  SqlTerm select;
  SqlQuery q = WordListUids(s, order, &select, false);
  sqlite3_stmt* stmt = SqlPrepareSelect(s->db, &q);
  if (!stmt) return -1;
  int32_t line = 0;
  int32_t result = -1;
  while (SqlIsRow(SqlStep(stmt))) {
    if (SqlColumnInt(stmt, 0) == uid) {
      result = line;
      break;
    }
    ++line;
  }
  SqlFinalize(stmt);
  return result;
}

int BuildUserDictLineIndex(DictSlot* slot, UserDictProgress* progress) {
  if (!slot || !slot->db) return 1;
  EngineLockGuard lock;
  SqlDb* db = slot->db;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  const int exists = SqlTableExists(db, kUserDictLineIndexTable, 0);
  if (exists == kSqlProbeFailed) rc = SQLITE_ERROR;
  if (rc == SQLITE_OK && exists == 1) rc = SqlDropTable(db, kUserDictLineIndexTable);
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kUserDictLineIndexTable, kLineColumns, 2);
  sqlite3_stmt* stmt = nullptr;
  if (rc == SQLITE_OK) {
    SqlTerm order[2];
    SqlTerm select;
    SqlQuery q = WordListUids(slot, order, &select, false);
    stmt = SqlPrepareSelect(db, &q);
    if (!stmt) rc = SQLITE_ERROR;
  }
  // Chunks of 500 rows as savepoints inside the one transaction: the whole
  // index or none of it.
  int32_t line = 0;
  int step = SQLITE_DONE;
  bool chunkOpen = false;
  while (rc == SQLITE_OK && SqlIsRow(step = SqlStep(stmt))) {
    if (!chunkOpen) {
      rc = SqlBegin(db);
      if (rc != SQLITE_OK) break;
      chunkOpen = true;
    }
    SqlTerm values[2] = {IntTerm(0, line), IntTerm(1, SqlColumnInt(stmt, 0))};
    rc = SqlInsert(db, kUserDictLineIndexTable, kLineColumns, values, 2, nullptr, 0);
    ++line;
    if (rc == SQLITE_OK && line % kLineChunk == 0) {
      rc = SqlCommit(db);
      chunkOpen = false;
    }
    ReportUserDictProgress(progress, static_cast<uint32_t>(line));
  }
  if (rc == SQLITE_OK && step != SQLITE_DONE) rc = step;
  if (stmt) SqlFinalize(stmt);
  if (chunkOpen) {
    if (rc == SQLITE_OK) rc = SqlCommit(db);
    else SqlRollback(db);
  }
  if (rc == SQLITE_OK) {
    rc = SqlCommit(db);
  } else {
    SqlRollback(db);
  }
  if (rc == SQLITE_OK) slot->lineIndex = 1;
  return rc;
}

int SetUserDictEditLock(DictEngine* engine, uint16_t slot, int lock, UserDictProgress* progress) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard guard;
  SqlDb* db = s->db;
  const SqlPropertyEntry before = s->properties->entries[kUdpEditLock];
  if (lock && !IsUserDictLocked(s)) {
    if (s->importing) return kUserDictLocked;
    int rc = SqlBegin(db);
    if (rc != SQLITE_OK) return rc;
    rc = StoreUserDictNumber(s, kUdpEditLock, 2);
    if (rc == SQLITE_OK) rc = BuildUserDictLineIndex(s, progress);
    if (rc == SQLITE_OK) {
      rc = SqlCommit(db);
    } else {
      SqlRollback(db);
    }
    if (rc != SQLITE_OK) {
      s->properties->entries[kUdpEditLock] = before;
      s->lineIndex = 0;
      return rc;
    }
    // What is in memory is what is stored.
    s->editLock = 2;
    ClearUserDictLineCache(s);
  } else if (!lock && IsUserDictLocked(s)) {
    int rc = SqlBegin(db);
    if (rc != SQLITE_OK) return rc;
    if (SqlTableExists(db, kUserDictLineIndexTable, 0) == 1) rc = SqlDropTable(db, kUserDictLineIndexTable);
    if (rc == SQLITE_OK) rc = StoreUserDictNumber(s, kUdpEditLock, 0);
    if (rc == SQLITE_OK) {
      rc = SqlCommit(db);
    } else {
      SqlRollback(db);
    }
    if (rc != SQLITE_OK) {
      s->properties->entries[kUdpEditLock] = before;
      return rc;
    }
    s->editLock = 0;
    s->lineIndex = 0;
    ClearUserDictLineCache(s);
  }
  return 0;
}
