#include "flash/profile_lists.h"

#include <sqlite3.h>

#include <cstring>
#include <utility>

#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "engine/sql_query.h"
#include "engine/string_utils.h"
#include "engine/text_compare.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

constexpr int32_t kListGrowth = 16;
// SQLite's primary result for a constraint (the name is taken); the
// builder's handle leaves extended codes off.
constexpr int kConstraintFailed = SQLITE_CONSTRAINT;

struct ListKind {
  const char* table;
  const SqlColumnDef* columns;
  uint32_t sortColumn;
};

const ListKind* KindOf(uint32_t kind) {
  static const ListKind kKinds[2] = {
      {kFlashProfilesTable, kFlashProfileColumns, kProfileSort},
      {kFlashScorefilesTable, kFlashScorefileColumns, kScorefileSort},
  };
  return kind < 2 ? &kKinds[kind] : nullptr;
}

FlashList* ListOf(FlashcardStore* store, uint32_t kind) {
  return kind == kFlashListProfiles ? &store->profiles : kind == kFlashListScorefiles ? &store->scorefiles : nullptr;
}

int Append(FlashList* list, const FlashListRecord& record) {
  if (list->count == list->capacity) {
    const int32_t capacity = list->capacity + kListGrowth;
    auto* grown = static_cast<FlashListRecord*>(LocalAlloc(LPTR, capacity * sizeof(FlashListRecord)));
    if (!grown) return 1;
    if (list->records) {
      std::memcpy(grown, list->records, list->count * sizeof(FlashListRecord));
      LocalFree(list->records);
    }
    list->records = grown;
    list->capacity = capacity;
  }
  list->records[list->count++] = record;
  return 0;
}

int32_t IndexOfId(const FlashList* list, int32_t id) {
  for (int32_t i = 0; i < list->count; ++i)
    if (list->records[i].id == id) return i;
  return -1;
}

SqlTerm IntTerm(uint32_t column, int32_t value) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.value = value;
  return t;
}

int WriteRecord(FlashcardStore* store, const ListKind* k, const FlashListRecord& r) {
  const SqlTerm where = IntTerm(kListId, r.id);
  SqlTerm set[3] = {IntTerm(kListName, 0), IntTerm(k->sortColumn, r.sort), IntTerm(kListModified, FlashNow())};
  set[0].wtext = r.name;
  return SqlUpdate(store->database, k->table, k->columns, &where, 1, set, 3);
}

int CopyScoreRows(SqlDb* db, int32_t target, int32_t source) {
  char from[kFlashScoresTableMax];
  char to[kFlashScoresTableMax];
  FlashScoresTableName(source, from);
  FlashScoresTableName(target, to);
  if (SqlTableExists(db, from, 1) != 1) return SQLITE_OK;
  SqlTerm columns[kScoreColumnCount];
  for (uint32_t i = 0; i < kScoreColumnCount; ++i) columns[i] = IntTerm(i, 0);
  SqlQuery q{};
  q.table = from;
  q.columns = kFlashScoreColumns;
  q.columnCount = kScoreColumnCount;
  q.select = columns;
  q.selectCount = kScoreColumnCount;
  return SqlInsertSelect(db, to, kFlashScoreColumns, columns, kScoreColumnCount, &q, -1);
}

// Ends a change: commit, or roll back after a failure. 0 when committed.
int Finish(SqlDb* db, int rc) {
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

}  // namespace

FlashList* LoadFlashList(FlashcardStore* store, uint32_t kind) {
  const ListKind* k = KindOf(kind);
  if (!store || !k) return nullptr;
  FlashList* list = ListOf(store, kind);
  if (list->loaded) return list;
  EngineLockGuard lock;
  list->loaded = 1;  // even when the table cannot be read: it is then empty
  SqlTerm select[3] = {IntTerm(kListId, 0), IntTerm(kListName, 0), IntTerm(k->sortColumn, 0)};
  const SqlTerm order = IntTerm(k->sortColumn, 0);
  SqlQuery q{};
  q.table = k->table;
  q.columns = k->columns;
  q.columnCount = kind == kFlashListProfiles ? kProfileColumnCount : kScorefileColumnCount;
  q.select = select;
  q.selectCount = 3;
  q.order = &order;
  q.orderCount = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(store->database, &q);
  if (!stmt) return list;
  while (SqlIsRow(SqlStep(stmt))) {
    FlashListRecord r{};
    r.id = SqlColumnInt(stmt, 0);
    WideStrCopyN(r.name, SqlColumnText16(stmt, 1), kFlashNameMax);
    r.sort = SqlColumnInt(stmt, 2);
    if (Append(list, r) != 0) {
      // Out of memory: a part of the list would pass for the whole one and
      // be written back so; it stays unloaded and the next use tries again.
      FreeFlashList(list);
      break;
    }
  }
  SqlFinalize(stmt);
  return list;
}

void FreeFlashList(FlashList* list) {
  if (!list) return;
  if (list->records) LocalFree(list->records);
  *list = FlashList{};
}

int32_t CreateFlashListRecord(FlashcardStore* store, uint32_t kind, const WCHAR* name, int32_t source) {
  const ListKind* k = KindOf(kind);
  if (!store || !k || !name) return kFlashCreateFailed;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  FlashList* list = LoadFlashList(store, kind);
  if (SqlBegin(db) != SQLITE_OK) return kFlashCreateFailed;
  int rc = SQLITE_OK;
  // Dirty records first, so that a later rollback's reload loses nothing.
  SaveFlashListRecords(store, kind, 0);
  FlashListRecord r{};
  WideStrCopyN(r.name, name, kFlashNameMax);
  r.sort = list->count ? list->records[list->count - 1].sort + 1 : 1;
  int64_t rowId = 0;
  if (rc == SQLITE_OK) {
    const int32_t now = FlashNow();
    SqlTerm terms[4] = {IntTerm(kListName, 0), IntTerm(k->sortColumn, r.sort), IntTerm(kListCreated, now),
                        IntTerm(kListModified, now)};
    terms[0].wtext = r.name;
    rc = SqlInsert(db, k->table, k->columns, terms, 4, &rowId, 0);
    if (rc == kConstraintFailed) {
      SqlRollback(db);
      return kFlashNameTaken;
    }
  }
  r.id = static_cast<int32_t>(rowId);
  // The row and its table or settings together, or neither: a scorefile
  // without its table would take its name for good.
  if (rc == SQLITE_OK && kind == kFlashListScorefiles) {
    rc = CreateScoreTable(db, r.id);
    if (rc == SQLITE_OK && source != -1) rc = CopyScoreRows(db, r.id, source);
  } else if (rc == SQLITE_OK) {
    rc = CopyProfileSettings(store, r.id, source);
  }
  // Memory changes only from here on; a rollback before leaves it alone.
  if (rc == SQLITE_OK) rc = FlashRegisterRollback(store);
  if (Finish(db, rc) != SQLITE_OK) return kFlashCreateFailed;
  // Memory follows once the file has it (a caller's later rollback reloads).
  list = LoadFlashList(store, kind);
  if (IndexOfId(list, r.id) < 0 && Append(list, r) != 0) FreeFlashList(list);
  return r.id;
}

int32_t CreateProfile(FlashcardStore* store, const WCHAR* name, int32_t source) {
  return CreateFlashListRecord(store, kFlashListProfiles, name, source);
}
int32_t CreateScorefile(FlashcardStore* store, const WCHAR* name, int32_t source) {
  return CreateFlashListRecord(store, kFlashListScorefiles, name, source);
}

int DeleteFlashListRecord(FlashcardStore* store, uint32_t kind, int32_t id) {
  const ListKind* k = KindOf(kind);
  if (!store || !k) return 1;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  FlashList* list = LoadFlashList(store, kind);
  const int32_t at = IndexOfId(list, id);
  if (list->count <= 1 || at < 0) return 1;
  if (SqlBegin(db) != SQLITE_OK) return 1;
  int rc = SQLITE_OK;
  // Dirty records first, so that a later rollback's reload loses nothing;
  // a rename that still collides stays dirty and does not stop the delete.
  SaveFlashListRecords(store, kind, 0);
  if (kind == kFlashListScorefiles) {
    char table[kFlashScoresTableMax];
    FlashScoresTableName(id, table);
    // A table that is already gone is no failure.
    const int exists = SqlTableExists(db, table, 0);
    if (exists == kSqlProbeFailed) rc = SQLITE_ERROR;
    else if (exists == 1)
      rc = SqlDropTable(db, table);
  } else if (rc == SQLITE_OK) {
    rc = SqlDeletePropertySet(db, kFlashProfileSettingsTable, id);
  }
  if (rc == SQLITE_OK) {
    const SqlTerm where = IntTerm(kListId, id);
    rc = SqlDelete(db, k->table, k->columns, &where, 1);
  }
  const int32_t firstOther = list->records[at == 0 ? 1 : 0].id;
  // The cache's unsaved settings go into the file first (its dirty marks
  // come back if the delete fails after all).
  uint8_t dirty[kProfileSettingCount] = {};
  for (uint32_t i = 0; i < kProfileSettingCount; ++i) dirty[i] = store->settings[i].dirty ? 1 : 0;
  if (rc == SQLITE_OK && kind == kFlashListScorefiles) {
    if (store->settingsLoaded) rc = SaveCurrentProfileSettings(store);
    if (rc == SQLITE_OK)
      rc = SqlUpdateProperty(db, kFlashProfileSettingsTable, kProfileSettingKeys[kSetScorefile], id, firstOther);
  }
  // Memory changes only from here on; a rollback before leaves it alone.
  if (rc == SQLITE_OK) rc = FlashRegisterRollback(store);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    for (uint32_t i = 0; i < kProfileSettingCount; ++i) store->settings[i].dirty = dirty[i];
    return 1;
  }
  // Records behind move up one place, each taking the sort of its new place.
  for (int32_t i = list->count - 1; i > at; --i) {
    list->records[i].sort = list->records[i - 1].sort;
    list->records[i].dirty = 1;
  }
  std::memmove(&list->records[at], &list->records[at + 1], (list->count - at - 1) * sizeof(FlashListRecord));
  --list->count;
  if (kind == kFlashListScorefiles) {
    UnloadProfileSettingsCache(store);
  } else if (store->currentProfile == id) {
    store->currentProfile = list->records[0].id;
    SetPref(store->engine, kPrefCurrentProfile, store->currentProfile);
    UnloadProfileSettingsCache(store);
  }
  // A failed commit has already reloaded memory from the file.
  return SqlCommit(db) == SQLITE_OK ? 0 : 1;
}

int DeleteProfile(FlashcardStore* store, int32_t id) { return DeleteFlashListRecord(store, kFlashListProfiles, id); }
int DeleteScorefile(FlashcardStore* store, int32_t id) {
  return DeleteFlashListRecord(store, kFlashListScorefiles, id);
}

int RenameFlashListRecord(FlashcardStore* store, uint32_t kind, int32_t id, const WCHAR* name) {
  FlashList* list = store ? LoadFlashList(store, kind) : nullptr;
  if (!list || !name) return 1;
  EngineLockGuard lock;
  const int32_t at = IndexOfId(list, id);
  if (at < 0) return 1;
  WCHAR cut[kFlashNameMax];
  WideStrCopyN(cut, name, kFlashNameMax);
  for (int32_t i = 0; i < list->count; ++i)
    if (i != at && WideStrCmp(list->records[i].name, cut) == 0) return kFlashRenameTaken;
  WideStrCopyN(list->records[at].name, cut, kFlashNameMax);
  list->records[at].dirty = 1;
  return 0;
}

int RenameProfile(FlashcardStore* store, int32_t id, const WCHAR* name) {
  return RenameFlashListRecord(store, kFlashListProfiles, id, name);
}
int RenameScorefile(FlashcardStore* store, int32_t id, const WCHAR* name) {
  return RenameFlashListRecord(store, kFlashListScorefiles, id, name);
}

int MoveFlashListRecord(FlashcardStore* store, uint32_t kind, int32_t position, int up) {
  FlashList* list = store ? LoadFlashList(store, kind) : nullptr;
  if (!list) return 1;
  EngineLockGuard lock;
  const int32_t i = up ? position - 1 : position;
  if (i < 0 || i >= list->count - 1) return 1;
  FlashListRecord& a = list->records[i];
  FlashListRecord& b = list->records[i + 1];
  const FlashListRecord saved = a;
  a = b;
  b = saved;
  std::swap(a.sort, b.sort);
  a.dirty = b.dirty = 1;
  return 0;
}

int MoveProfile(FlashcardStore* store, int32_t position, int up) {
  return MoveFlashListRecord(store, kFlashListProfiles, position, up);
}
int MoveScorefile(FlashcardStore* store, int32_t position, int up) {
  return MoveFlashListRecord(store, kFlashListScorefiles, position, up);
}

int GetFlashListName(FlashcardStore* store, uint32_t kind, int32_t id, WCHAR* buffer, uint32_t* length) {
  FlashList* list = store ? LoadFlashList(store, kind) : nullptr;
  if (!list || !length) return 1;
  const int32_t at = IndexOfId(list, id);
  if (at < 0) return 1;
  if (buffer && *length) WideStrCopyN(buffer, list->records[at].name, *length);
  *length = WideStrLen(list->records[at].name);
  return 0;
}

int GetProfileName(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t* length) {
  return GetFlashListName(store, kFlashListProfiles, id, buffer, length);
}
int GetScorefileName(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t* length) {
  return GetFlashListName(store, kFlashListScorefiles, id, buffer, length);
}

FlashListName* CopyFlashList(FlashcardStore* store, uint32_t kind, int32_t* count) {
  if (count) *count = 0;
  FlashList* list = store ? LoadFlashList(store, kind) : nullptr;
  if (!list || list->count == 0) return nullptr;
  auto* names = static_cast<FlashListName*>(LocalAlloc(LPTR, list->count * sizeof(FlashListName)));
  if (!names) return nullptr;
  for (int32_t i = 0; i < list->count; ++i) {
    std::memcpy(names[i].name, list->records[i].name, sizeof names[i].name);
    names[i].id = list->records[i].id;
  }
  if (count) *count = list->count;
  return names;
}

FlashListName* CopyProfileList(FlashcardStore* store, int32_t* count) {
  return CopyFlashList(store, kFlashListProfiles, count);
}
FlashListName* CopyScorefileList(FlashcardStore* store, int32_t* count) {
  return CopyFlashList(store, kFlashListScorefiles, count);
}

int32_t GetProfileCount(FlashcardStore* store) {
  FlashList* list = store ? LoadFlashList(store, kFlashListProfiles) : nullptr;
  return list ? list->count : 0;
}
int32_t GetScorefileCount(FlashcardStore* store) {
  FlashList* list = store ? LoadFlashList(store, kFlashListScorefiles) : nullptr;
  return list ? list->count : 0;
}

int32_t GetProfileIdByIndex(FlashcardStore* store, int32_t position) {
  FlashList* list = store ? LoadFlashList(store, kFlashListProfiles) : nullptr;
  return list && position >= 0 && position < list->count ? list->records[position].id : -1;
}
int32_t GetScorefileIdByIndex(FlashcardStore* store, int32_t position) {
  FlashList* list = store ? LoadFlashList(store, kFlashListScorefiles) : nullptr;
  return list && position >= 0 && position < list->count ? list->records[position].id : -1;
}

int ProfileExists(FlashcardStore* store, int32_t id) {
  FlashList* list = store ? LoadFlashList(store, kFlashListProfiles) : nullptr;
  return list && IndexOfId(list, id) >= 0 ? 1 : 0;
}

int32_t FindScorefileByName(FlashcardStore* store, const WCHAR* pattern, int largest) {
  FlashList* list = store ? LoadFlashList(store, kFlashListScorefiles) : nullptr;
  if (!list || !pattern) return -1;
  int32_t found = -1;
  for (int32_t i = 0; i < list->count; ++i) {
    const WCHAR* name = list->records[i].name;
    // Same length, and "_" on either side matches any one unit.
    if (WideStrLen(name) != WideStrLen(pattern) || WideStrCmpWildcard(name, pattern, u'_') != 0) continue;
    if (!largest) return list->records[i].id;
    if (found < list->records[i].id) found = list->records[i].id;
  }
  return found;
}

int ClearScorefile(FlashcardStore* store, int32_t scorefile) {
  if (!store) return 1;
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  return SqlDelete(store->database, table, kFlashScoreColumns, nullptr, 0);
}

int SaveFlashListRecords(FlashcardStore* store, uint32_t kind, int freeList) {
  const ListKind* k = KindOf(kind);
  if (!store || !k) return 1;
  FlashList* list = ListOf(store, kind);
  if (!list->loaded) return 0;
  EngineLockGuard lock;
  bool anyDirty = false;
  for (int32_t i = 0; i < list->count; ++i) anyDirty = anyDirty || list->records[i].dirty;
  int result = 0;
  if (anyDirty) {
    SqlDb* db = store->database;
    if (SqlBegin(db) != SQLITE_OK) return 1;
    // Renames that collide only with one another settle over passes.
    int failed = 0;
    int wrote = 1;
    while (wrote) {
      wrote = 0;
      failed = 0;
      for (int32_t i = 0; i < list->count; ++i) {
        FlashListRecord& r = list->records[i];
        if (!r.dirty) continue;
        if (WriteRecord(store, k, r) == SQLITE_OK) {
          r.dirty = 0;
          ++wrote;
        } else {
          ++failed;
        }
      }
      if (!failed) break;
    }
    if (SqlCommit(db) != SQLITE_OK) {
      // Nothing was written after all.
      for (int32_t i = 0; i < list->count; ++i) list->records[i].dirty = 1;
      result = 1;
    } else if (failed) {
      result = 1;
    }
  }
  if (freeList) FreeFlashList(list);
  return result;
}

int SaveProfileList(FlashcardStore* store) { return SaveFlashListRecords(store, kFlashListProfiles, 0); }
int SaveScorefileList(FlashcardStore* store) { return SaveFlashListRecords(store, kFlashListScorefiles, 0); }

int SelectFlashProfile(FlashcardStore* store, int32_t id) {
  if (!store || id == -1) return 1;
  EngineLockGuard lock;
  store->currentProfile = id;
  UnloadProfileSettingsCache(store);
  SetPref(store->engine, kPrefCurrentProfile, id);
  return 0;
}

int32_t GetCurrentProfileId(FlashcardStore* store) {
  if (!store) return -1;
  if (store->currentProfile == 0 || store->currentProfile == -1) {
    store->currentProfile = GetProfileIdByIndex(store, 0);
  }
  return store->currentProfile;
}

int SetProfileSessionTimes(FlashcardStore* store, int32_t id, int32_t start, int32_t end) {
  if (!store) return 1;
  const SqlTerm where = IntTerm(kListId, id);
  const SqlTerm set[2] = {IntTerm(kProfileLastStart, start), IntTerm(kProfileLastEnd, end)};
  return SqlUpdate(store->database, kFlashProfilesTable, kFlashProfileColumns, &where, 1, set, 2);
}
