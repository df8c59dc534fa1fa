#include "engine/sql_db.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/mem_handle.h"
#include "engine/system_services.h"
#include "platform/device_paths.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"
#include "platform/threads.h"

namespace {

int Exec(SqlDb* db, const char* sql) { return sqlite3_exec(db->conn, sql, nullptr, nullptr, nullptr); }

// SQLite ends a transaction by itself after some errors (full disk, I/O,
// out of memory); our levels then no longer match and the change is lost.
bool TransactionLost(const SqlDb* db) { return db->transactionDepth > 0 && sqlite3_get_autocommit(db->conn); }

void SavepointSql(char* out, size_t n, const char* verb, uint32_t level) {
  std::snprintf(out, n, "%s sorvi_level_%u", verb, level);
}

// The outermost level has ended: rolled back runs the waiting work (taken
// off the handle first, so that the work may open transactions of its
// own), committed drops it.
void EndOutermost(SqlDb* db, bool rolledBack) {
  SqlRollbackAction actions[kSqlRollbackActionMax];
  const uint32_t count = db->rollbackActionCount;
  for (uint32_t i = 0; i < count; ++i) actions[i] = db->rollbackActions[i];
  db->rollbackActionCount = 0;
  if (!rolledBack) return;
  for (uint32_t i = 0; i < count; ++i) actions[i].undo(db, actions[i].context, actions[i].value);
}

}  // namespace

SqlDb* SqlOpen(const char* utf8Path) {
  if (!utf8Path || std::strlen(utf8Path) >= kSqlPathMax) return nullptr;
  std::string host;
  if (!DevicePathToHostPath(Utf8ToUtf16(utf8Path).c_str(), &host)) return nullptr;
  auto* db = static_cast<SqlDb*>(LocalAlloc(LPTR, sizeof(SqlDb)));
  if (!db) return nullptr;
  sqlite3* conn = nullptr;
  if (sqlite3_open_v2(host.c_str(), &conn, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(conn);
    LocalFree(db);
    return nullptr;
  }
  db->conn = conn;
  db->writeStamp = GetFileWriteStamp(utf8Path);
  db->scratch = NewMemHandle(kSqlScratchStart + 1);
  db->scratchCapacity = db->scratch ? kSqlScratchStart : 0;
  std::memcpy(db->path, utf8Path, std::strlen(utf8Path) + 1);
  Exec(db, "PRAGMA cache_size = 512");
  return db;
}

void SqlClose(SqlDb* db) {
  if (!db) return;
  EngineLockGuard lock;
  if (db->transactionDepth > 0 && !sqlite3_get_autocommit(db->conn)) Exec(db, "ROLLBACK");
  FreeMemHandle(db->scratch);
  // Statements a caller forgot to finalize keep the connection alive until
  // they are; close_v2 frees it then instead of failing now.
  sqlite3_close_v2(db->conn);
  LocalFree(db);
}

int SqlTransactionOwnedElsewhere(const SqlDb* db) {
  return db && db->transactionDepth > 0 && db->ownerThread != GetCurrentThreadId() ? 1 : 0;
}

int SqlChangeRefusedHere(SqlDb* db, const char* sql) {
  if (!SqlTransactionOwnedElsewhere(db) || !sql) return 0;
  // Every statement of the text must be a read.
  const char* rest = sql;
  while (rest && *rest) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db->conn, rest, -1, &stmt, &tail) != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return 1;
    }
    const bool readOnly = !stmt || sqlite3_stmt_readonly(stmt);
    sqlite3_finalize(stmt);
    if (!readOnly) return 1;
    if (tail == rest) break;
    rest = tail;
  }
  return 0;
}

int SqlBegin(SqlDb* db) {
  if (!db) return SQLITE_MISUSE;
  EngineLockGuard lock;
  if (SqlTransactionOwnedElsewhere(db)) return SQLITE_BUSY;
  if (db->transactionDepth == 0) {
    int rc = Exec(db, "BEGIN");
    if (rc == SQLITE_OK) {
      db->transactionDepth = 1;
      db->transactionFailed = 0;
      db->ownerThread = GetCurrentThreadId();
    }
    return rc;
  }
  // A savepoint outside a transaction would start a new one of its own.
  if (TransactionLost(db)) {
    db->transactionFailed = 1;
    return SQLITE_ABORT;
  }
  char sql[64];
  SavepointSql(sql, sizeof sql, "SAVEPOINT", db->transactionDepth);
  int rc = Exec(db, sql);
  if (rc == SQLITE_OK) ++db->transactionDepth;
  return rc;
}

int SqlCommit(SqlDb* db) {
  if (!db) return SQLITE_MISUSE;
  EngineLockGuard lock;
  if (db->transactionDepth == 0) return SQLITE_ERROR;
  if (SqlTransactionOwnedElsewhere(db)) return SQLITE_BUSY;
  const bool lost = TransactionLost(db);
  if (lost) db->transactionFailed = 1;
  if (db->transactionDepth > 1) {
    --db->transactionDepth;
    if (lost) return SQLITE_ABORT;
    char sql[64];
    SavepointSql(sql, sizeof sql, "RELEASE", db->transactionDepth);
    int rc = Exec(db, sql);
    if (rc != SQLITE_OK) db->transactionFailed = 1;
    return db->transactionFailed ? (rc != SQLITE_OK ? rc : SQLITE_ABORT) : SQLITE_OK;
  }
  db->transactionDepth = 0;
  db->ownerThread = 0;
  if (db->transactionFailed) {
    db->transactionFailed = 0;
    if (!lost) Exec(db, "ROLLBACK");
    EndOutermost(db, true);
    return SQLITE_ABORT;
  }
  int rc = Exec(db, "COMMIT");
  // A commit that fails (busy, read-only, I/O) may leave the transaction
  // open; nobody retries, so end it here and leave the file as it was.
  if (rc != SQLITE_OK && !sqlite3_get_autocommit(db->conn)) Exec(db, "ROLLBACK");
  EndOutermost(db, rc != SQLITE_OK);
  return rc;
}

int SqlRollback(SqlDb* db) {
  if (!db) return SQLITE_MISUSE;
  EngineLockGuard lock;
  if (db->transactionDepth == 0) return SQLITE_ERROR;
  if (SqlTransactionOwnedElsewhere(db)) return SQLITE_BUSY;
  const bool lost = TransactionLost(db);
  if (db->transactionDepth > 1) {
    --db->transactionDepth;
    db->transactionFailed = 1;
    if (lost) return SQLITE_OK;
    char sql[96];
    SavepointSql(sql, sizeof sql, "ROLLBACK TO", db->transactionDepth);
    int rc = Exec(db, sql);
    SavepointSql(sql, sizeof sql, "RELEASE", db->transactionDepth);
    int rc2 = Exec(db, sql);
    return rc != SQLITE_OK ? rc : rc2;
  }
  db->transactionDepth = 0;
  db->transactionFailed = 0;
  db->ownerThread = 0;
  const int rc = lost ? SQLITE_OK : Exec(db, "ROLLBACK");
  EndOutermost(db, true);
  return rc;
}

uint32_t SqlTransactionDepth(const SqlDb* db) { return db ? db->transactionDepth : 0; }

int SqlOnRollback(SqlDb* db, SqlRollbackFn undo, void* context, int64_t value) {
  if (!db || !undo) return SQLITE_MISUSE;
  EngineLockGuard lock;
  if (db->transactionDepth == 0) return SQLITE_MISUSE;
  for (uint32_t i = 0; i < db->rollbackActionCount; ++i)
    if (db->rollbackActions[i].undo == undo && db->rollbackActions[i].context == context) return SQLITE_OK;
  if (db->rollbackActionCount == kSqlRollbackActionMax) return SQLITE_FULL;
  db->rollbackActions[db->rollbackActionCount++] = SqlRollbackAction{undo, context, value};
  return SQLITE_OK;
}

int SqlVacuum(SqlDb* db) { return SqlExecRaw(db, "VACUUM"); }

int SqlSetFastJournal(SqlDb* db) {
  int rc = SqlExecRaw(db, "PRAGMA journal_mode = MEMORY");
  return rc != SQLITE_OK ? rc : SqlExecRaw(db, "PRAGMA synchronous = NORMAL");
}

int SqlSetSafeJournal(SqlDb* db) {
  int rc = SqlExecRaw(db, "PRAGMA journal_mode = DELETE ");
  return rc != SQLITE_OK ? rc : SqlExecRaw(db, "PRAGMA synchronous = FULL");
}

int64_t SqlSetSoftHeapLimit(int64_t limit) { return sqlite3_soft_heap_limit64(limit); }

int SqlExecRaw(SqlDb* db, const char* utf8Sql) {
  if (!db || !utf8Sql) return SQLITE_MISUSE;
  EngineLockGuard lock;
  if (SqlChangeRefusedHere(db, utf8Sql)) return SQLITE_BUSY;
  return Exec(db, utf8Sql);
}

void SqlSetProgressHandler(SqlDb* db, int (*callback)(void*), void* argument) {
  if (!db) return;
  EngineLockGuard lock;
  sqlite3_progress_handler(db->conn, callback ? 1024 : 0, callback, argument);
}
