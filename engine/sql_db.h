// The SQLite database handle of the statement builder. Every access to an
// SQLite database (user dictionaries, the flashcard database) goes through
// the builder: statements are composed as UTF-8 text with their values
// written as literals (engine/sql_text.h) and run here.
//
// Results are SQLite result codes (0 = SQLITE_OK) passed on unchanged.
//
// Threads: the import and the UI thread share one SqlDb. Every builder call
// holds the engine lock while it composes, runs and reads, so a statement
// is never composed in the scratch block by two threads at once. A caller
// that steps a statement over many calls holds the engine lock around the
// whole read, as workers do around every engine call.
//
// A transaction belongs to the thread that opened its outermost level. A
// worker keeps its transaction open while it waits on the UI thread (with
// the engine lock released); a change from another thread would then join
// that transaction and be rolled back with it. So while a transaction is
// open, SqlBegin, SqlCommit, SqlRollback and every changing statement
// (one SQLite does not report read-only) from another thread fail with
// SQLITE_BUSY without touching the database; reads go on. Callers pass the
// 5 on; one on the UI thread tells the user.
#pragma once

#include <cstdint>

struct MemHandle;
struct SqlDb;
struct sqlite3;

inline constexpr uint32_t kSqlPathMax = 512;
// The scratch block starts with this capacity and is cut back to the
// larger one between statements.
inline constexpr uint32_t kSqlScratchStart = 63;
inline constexpr uint32_t kSqlScratchKeep = 512;

// Work that puts state kept in memory back in step with the file when the
// transaction that changed both ends without its changes (see
// SqlOnRollback).
using SqlRollbackFn = void (*)(SqlDb* db, void* context, int64_t value);
struct SqlRollbackAction {
  SqlRollbackFn undo;
  void* context;
  int64_t value;
};
inline constexpr uint32_t kSqlRollbackActionMax = 8;

struct SqlDb {
  sqlite3* conn;
  uint64_t writeStamp;  // the file's last-write time when opened (GetFileWriteStamp)
  char path[kSqlPathMax];  // the device path, UTF-8
  // The scratch block lent to one statement text at a time.
  MemHandle* scratch;
  uint32_t scratchCapacity;
  uint8_t scratchInUse;
  // Transaction nesting: 0 outside a transaction, 1 inside BEGIN, deeper
  // levels are savepoints.
  uint32_t transactionDepth;
  // An inner level was rolled back (or SQLite dropped the transaction):
  // the outermost commit rolls everything back instead.
  uint8_t transactionFailed;
  // Run when the outermost level ends rolled back; dropped when it commits.
  SqlRollbackAction rollbackActions[kSqlRollbackActionMax];
  uint32_t rollbackActionCount;
  // The thread that opened the outermost level; 0 outside a transaction.
  uint32_t ownerThread;
};

// Opens (creating when missing) the database at a UTF-8 device path, which
// is mapped to the host path first. Null when the path cannot be mapped or
// SQLite cannot open the file.
SqlDb* SqlOpen(const char* utf8Path);
// Closes the connection and frees the handle; an open transaction is
// rolled back. Null is ignored.
void SqlClose(SqlDb* db);

// Transactions nest: the outermost level is BEGIN/COMMIT/ROLLBACK, inner
// levels are savepoints. A failure anywhere rolls back the whole change:
// rolling back an inner level marks the transaction failed, and the
// outermost SqlCommit then rolls back and returns SQLITE_ABORT. A failed
// COMMIT (busy, read-only, I/O) is returned; the transaction stays open
// when SQLite kept it, and the caller rolls back.
// SqlCommit and SqlRollback outside a transaction return SQLITE_ERROR.
int SqlBegin(SqlDb* db);
int SqlCommit(SqlDb* db);
int SqlRollback(SqlDb* db);
uint32_t SqlTransactionDepth(const SqlDb* db);
// 1 when a transaction opened by another thread is open: changes from this
// thread are refused with SQLITE_BUSY.
int SqlTransactionOwnedElsewhere(const SqlDb* db);
// 1 when `utf8Sql` may not run on this thread now: a transaction of another
// thread is open and the text holds a statement that changes the database
// (or one SQLite cannot compile, which is never taken for a read).
int SqlChangeRefusedHere(SqlDb* db, const char* utf8Sql);
// Registers work to run once the open transaction has ended rolled back at
// its outermost level: an explicit rollback, a commit turned into a
// rollback by a failed inner level, a failed COMMIT, or a transaction that
// SQLite dropped. A change made in a savepoint inside a caller's
// transaction is undone in the file when the caller rolls back later; this
// lets the code that changed memory along with it follow. The work runs
// after the rollback, outside any transaction, in the order registered.
// A second registration of the same function and context in one
// transaction keeps the first (its value describes the state before the
// transaction). Nothing runs when the outermost level commits or when the
// database is closed. 0; SQLITE_MISUSE outside a transaction; SQLITE_FULL
// when kSqlRollbackActionMax different actions are waiting.
int SqlOnRollback(SqlDb* db, SqlRollbackFn undo, void* context, int64_t value);
int SqlVacuum(SqlDb* db);

// Journal in memory with normal syncing for long imports, and back to the
// safe journal with full syncing. Each returns the result of its second
// pragma (or of the first when that failed).
int SqlSetFastJournal(SqlDb* db);
int SqlSetSafeJournal(SqlDb* db);

// Passes the limit to SQLite (process-wide); returns the previous limit.
int64_t SqlSetSoftHeapLimit(int64_t limit);

// Runs one statement text as it is (no composition). For statements the
// builder has no composer for (pragmas).
int SqlExecRaw(SqlDb* db, const char* utf8Sql);

// Calls callback(argument) every 1024 virtual-machine steps; a non-zero
// result stops the running statement (SQLITE_INTERRUPT). Null callback
// removes the handler. The callback runs inside the statement, under the
// engine lock and SQLite's own connection lock: it must not run a message
// loop that lets go of the engine lock, or a thread waiting on the same
// connection would deadlock with it.
void SqlSetProgressHandler(SqlDb* db, int (*callback)(void*), void* argument);
