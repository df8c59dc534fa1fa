#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/system_services.h"
#include "platform/engine_lock.h"
#include "tests/engine_sql/sql_fixture.h"

namespace {

// A second connection straight to the file, as another program would.
struct OtherConnection {
  explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &conn); }
  ~OtherConnection() { sqlite3_close(conn); }
  int Exec(const char* sql) { return sqlite3_exec(conn, sql, nullptr, nullptr, nullptr); }
  std::string Text(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string out = "<error>";
    if (sqlite3_prepare_v2(conn, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* s = sqlite3_column_text(stmt, 0);
      out = s ? reinterpret_cast<const char*>(s) : "NULL";
    }
    sqlite3_finalize(stmt);
    return out;
  }
  sqlite3* conn = nullptr;
};

// Everything in the test table as one text.
constexpr char kSnapshot[] =
    "SELECT count(*) || '|' || ifnull(group_concat(id || ':' || ifnull(name, '-') || ':' || n, ','), '') "
    "FROM (SELECT * FROM items ORDER BY id)";

int InsertItem(SqlDb* db, int id, const char* name) {
  SqlTerm terms[3] = {IntTerm(kId, 0, id), TextTerm(kName, 0, name), IntTerm(kN, 0, id)};
  return SqlInsert(db, "items", kItems, terms, 3, nullptr, 0);
}

TEST_F(SqlTest, OpenMapsTheDevicePath) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  EXPECT_STREQ(db->path, kTestDbPath);
  EXPECT_TRUE(std::filesystem::exists(HostPath()));
  // Names match case-insensitively: the same file.
  SqlDb* again = SqlOpen("\\my documents\\TEST.KVB");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(SqlTableExists(again, "items", 0), 1);
  EXPECT_EQ(again->writeStamp, GetFileWriteStamp(kTestDbPath));
  EXPECT_NE(again->writeStamp, 0u);
  EXPECT_EQ(again->scratchCapacity, kSqlScratchStart);
  SqlClose(again);

  EXPECT_EQ(SqlOpen("\\No Such Folder\\x.kvb"), nullptr);
  EXPECT_EQ(SqlOpen(nullptr), nullptr);
  const std::string tooLong = "\\My Documents\\" + std::string(600, 'a');
  EXPECT_EQ(SqlOpen(tooLong.c_str()), nullptr);
  SqlClose(nullptr);
}

TEST_F(SqlTest, NestedTransactionsRollBackAsAWhole) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  OtherConnection other(HostPath());

  // An inner BEGIN/COMMIT (a property save inside an import, say) must not
  // end the outer transaction: the outer ROLLBACK undoes both.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 1, "outer"), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(SqlTransactionDepth(db), 2u);
  ASSERT_EQ(InsertItem(db, 2, "inner"), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_OK);
  EXPECT_EQ(SqlTransactionDepth(db), 1u);
  EXPECT_EQ(other.Text(kSnapshot), "0|");  // nothing written to the file yet
  EXPECT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_EQ(SqlTransactionDepth(db), 0u);
  EXPECT_EQ(other.Text(kSnapshot), "0|");

  // Both levels committed: both rows in the file.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 1, "outer"), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 2, "inner"), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_OK);
  EXPECT_EQ(other.Text(kSnapshot), "2|1:outer:1,2:inner:2");

  // An inner level rolled back: the outer commit rolls everything back
  // and says so.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 3, "before"), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 4, "failed"), SQLITE_OK);
  EXPECT_EQ(SqlRollback(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 5, "after"), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_ABORT);  // a later inner level learns it will not last
  EXPECT_EQ(SqlCommit(db), SQLITE_ABORT);
  EXPECT_EQ(SqlTransactionDepth(db), 0u);
  EXPECT_EQ(other.Text(kSnapshot), "2|1:outer:1,2:inner:2");

  // The next transaction starts clean.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 6, "next"), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_OK);
  EXPECT_EQ(other.Text(kSnapshot), "3|1:outer:1,2:inner:2,6:next:6");

  EXPECT_EQ(SqlCommit(db), SQLITE_ERROR);
  EXPECT_EQ(SqlRollback(db), SQLITE_ERROR);
  EXPECT_EQ(SqlTransactionDepth(db), 0u);
}

TEST_F(SqlTest, FailedCommitIsReportedAndLeavesTheFileAsBefore) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 1, "kept"), SQLITE_OK);
  OtherConnection reader(HostPath());
  // The reader holds its shared lock until its transaction ends, so the
  // writer cannot take the exclusive lock it needs to commit.
  ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM items;"), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 2, "lost"), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_BUSY);
  EXPECT_EQ(SqlTransactionDepth(db), 0u);
  EXPECT_TRUE(sqlite3_get_autocommit(db->conn));  // not left holding the write lock
  ASSERT_EQ(reader.Exec("COMMIT"), SQLITE_OK);
  EXPECT_EQ(reader.Text(kSnapshot), "1|1:kept:1");
  // The caller's rollback after the failure does no harm.
  EXPECT_EQ(SqlRollback(db), SQLITE_ERROR);
  EXPECT_EQ(InsertItem(db, 3, "later"), SQLITE_OK);
  EXPECT_EQ(reader.Text(kSnapshot), "2|1:kept:1,3:later:3");
}

int StopAtOnce(void* calls) {
  ++*static_cast<int*>(calls);
  return 1;
}

TEST_F(SqlTest, FailureInTheMiddleOfAMultiRowChangeLeavesTheFileAsBefore) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  for (int id = 1; id <= 3000; ++id) ASSERT_EQ(InsertItem(db, id, "row"), SQLITE_OK);
  ASSERT_EQ(SqlCommit(db), SQLITE_OK);
  OtherConnection other(HostPath());
  const std::string before = other.Text(kSnapshot);

  // New rows, then a statement over every row killed part way.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 5000, "new"), SQLITE_OK);
  int calls = 0;
  SqlSetProgressHandler(db, StopAtOnce, &calls);
  const SqlTerm where = IntTerm(kId, kSqlOpGreater, 0);
  SqlTerm set = IntTerm(kN, 0, 1);
  set.increment = 1;
  EXPECT_EQ(SqlUpdate(db, "items", kItems, &where, 1, &set, 1), SQLITE_INTERRUPT);
  EXPECT_GT(calls, 0);
  SqlSetProgressHandler(db, nullptr, nullptr);
  EXPECT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_EQ(other.Text(kSnapshot), before);

  // Without the handler the same statement runs through.
  EXPECT_EQ(SqlUpdate(db, "items", kItems, &where, 1, &set, 1), SQLITE_OK);
  EXPECT_EQ(other.Text("SELECT sum(n) FROM items"), std::to_string(3000 * 3001 / 2 + 3000));
}

// Records each run of a rollback action: its value, and the depth it ran at.
struct UndoLog {
  std::vector<int64_t> values;
  std::vector<uint32_t> depths;
};

void LogUndo(SqlDb* db, void* context, int64_t value) {
  auto* log = static_cast<UndoLog*>(context);
  log->values.push_back(value);
  log->depths.push_back(SqlTransactionDepth(db));
}

void OtherUndo(SqlDb* db, void* context, int64_t value) { LogUndo(db, context, value + 1000); }

TEST_F(SqlTest, RollbackActionsRunOnlyWhenTheOutermostLevelEndsWithoutItsChanges) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  UndoLog log;
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 1), SQLITE_MISUSE);  // no transaction

  // Registered in a savepoint that committed; the caller rolls back: the
  // action runs once, after the rollback, with the first value.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 1), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 2), SQLITE_OK);  // kept as first registered
  EXPECT_EQ(SqlOnRollback(db, OtherUndo, &log, 3), SQLITE_OK);
  ASSERT_EQ(SqlCommit(db), SQLITE_OK);
  EXPECT_TRUE(log.values.empty());
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_EQ(log.values, (std::vector<int64_t>{1, 1003}));
  EXPECT_EQ(log.depths, (std::vector<uint32_t>{0, 0}));

  // A commit drops the actions: a later rollback does not run them.
  log = {};
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 4), SQLITE_OK);
  ASSERT_EQ(SqlCommit(db), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_TRUE(log.values.empty());

  // An inner level rolled back turns the outer commit into a rollback.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 5), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_TRUE(log.values.empty());  // not yet: the outer level is still open
  EXPECT_EQ(SqlCommit(db), SQLITE_ABORT);
  EXPECT_EQ(log.values, std::vector<int64_t>{5});

  // A failed COMMIT leaves the file as it was: the actions run.
  log = {};
  OtherConnection reader(HostPath());
  ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM items;"), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 1, "lost"), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 6), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_BUSY);
  EXPECT_EQ(log.values, std::vector<int64_t>{6});
  ASSERT_EQ(reader.Exec("COMMIT"), SQLITE_OK);

  // The table of waiting actions is bounded.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  UndoLog logs[kSqlRollbackActionMax + 1];
  for (uint32_t i = 0; i < kSqlRollbackActionMax; ++i) EXPECT_EQ(SqlOnRollback(db, LogUndo, &logs[i], i), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &logs[kSqlRollbackActionMax], 0), SQLITE_FULL);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  for (uint32_t i = 0; i < kSqlRollbackActionMax; ++i) EXPECT_EQ(logs[i].values.size(), 1u);
  EXPECT_TRUE(logs[kSqlRollbackActionMax].values.empty());

  // Closing with a transaction open runs nothing.
  log = {};
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(SqlOnRollback(db, LogUndo, &log, 7), SQLITE_OK);
  SqlClose(db);
  db = SqlOpen(kTestDbPath);
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(log.values.empty());
}

TEST_F(SqlTest, CloseRollsBackAnOpenTransaction) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(InsertItem(db, 1, "unsaved"), SQLITE_OK);
  SqlClose(db);
  db = SqlOpen(kTestDbPath);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(SqlCount(db, "items", nullptr), 0);
}

TEST_F(SqlTest, JournalModesVacuumAndHeapLimit) {
  OtherConnection unused(HostPath());
  auto pragma = [&](const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db->conn, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return out;
  };
  EXPECT_EQ(pragma("PRAGMA cache_size"), "512");
  EXPECT_EQ(SqlSetFastJournal(db), SQLITE_OK);
  EXPECT_EQ(pragma("PRAGMA journal_mode"), "memory");
  EXPECT_EQ(pragma("PRAGMA synchronous"), "1");
  trace.clear();
  EXPECT_EQ(SqlSetSafeJournal(db), SQLITE_OK);
  EXPECT_EQ(trace, (std::vector<std::string>{"PRAGMA journal_mode = DELETE ", "PRAGMA synchronous = FULL"}));
  EXPECT_EQ(pragma("PRAGMA journal_mode"), "delete");
  EXPECT_EQ(pragma("PRAGMA synchronous"), "2");

  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  EXPECT_EQ(SqlVacuum(db), SQLITE_OK);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_NE(SqlVacuum(db), SQLITE_OK);  // not inside a transaction
  EXPECT_EQ(SqlRollback(db), SQLITE_OK);

  const int64_t previous = SqlSetSoftHeapLimit(8 << 20);
  EXPECT_EQ(SqlSetSoftHeapLimit(previous), 8 << 20);
}

TEST_F(SqlTest, ProgressHandlerStopsALongStatement) {
  int calls = 0;
  SqlSetProgressHandler(db, StopAtOnce, &calls);
  const char* longRun =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000000) SELECT count(*) FROM c";
  EXPECT_EQ(SqlExecRaw(db, longRun), SQLITE_INTERRUPT);
  EXPECT_EQ(calls, 1);
  SqlSetProgressHandler(db, nullptr, nullptr);
  EXPECT_EQ(SqlExecRaw(db, longRun), SQLITE_OK);
  EXPECT_EQ(calls, 1);
}

// The import thread and the UI thread use one handle: statements composed
// on both at once must neither mix their texts nor lose rows, and the row id
// an insert reports is its own row's.
TEST_F(SqlTest, ThreadsShareOneHandle) {
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  ASSERT_EQ(SqlExecRaw(db, "PRAGMA synchronous = OFF"), SQLITE_OK);
  constexpr int kRows = 400;
  auto textFor = [](int writer, int i) {
    return std::string(60 + i % 500, static_cast<char>('a' + i % 26)) + "'" + std::to_string(writer) + ":" +
           std::to_string(i);
  };
  std::atomic<int> writing{2};
  std::atomic<int> failures{0};
  auto nameOf = [&](int64_t id) {
    const SqlTerm where = IntTerm(kId, kSqlOpEqual, static_cast<int32_t>(id));
    const SqlTerm name = IntTerm(kName, 0, 0);
    SqlQuery q{};
    q.table = "items";
    q.columns = kItems;
    q.where = &where;
    q.whereCount = 1;
    q.select = &name;
    q.selectCount = 1;
    EngineLockGuard hold;  // a whole read is one step for the other threads
    sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
    std::string out = stmt && SqlIsRow(SqlStep(stmt)) ? SqlColumnText(stmt, 0) : "<none>";
    SqlFinalize(stmt);
    return out;
  };
  auto writer = [&](int w) {
    for (int i = 0; i < kRows; ++i) {
      const std::string s = textFor(w, i);
      SqlTerm terms[2] = {TextTerm(kName, 0, s.c_str()), IntTerm(kN, 0, w)};
      int64_t rowId = 0;
      if (SqlInsert(db, "items", kItems, terms, 2, &rowId, 0) != SQLITE_OK || nameOf(rowId) != s) ++failures;
    }
    --writing;
  };
  std::thread a(writer, 1);
  std::thread b(writer, 2);
  std::thread reader([&] {
    while (writing > 0) {
      const SqlTerm where = TextTerm(kName, kSqlOpContains, "'1:");
      SqlQuery q{};
      q.table = "items";
      q.columns = kItems;
      q.where = &where;
      q.whereCount = 1;
      if (SqlCount(db, "items", &q) < 0) ++failures;
    }
  });
  a.join();
  b.join();
  reader.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(SqlCount(db, "items", nullptr), 2 * kRows);
}

}  // namespace

// A worker's open transaction belongs to it: while it waits (with the engine
// lock released), another thread's begin, changes and ends are refused with
// SQLITE_BUSY and touch nothing; its reads go on.
TEST_F(SqlTest, TransactionOfAnotherThreadRefusesChangesHere) {
  MakeItems();
  std::atomic<int> stage{0};
  std::thread worker([&] {
    EXPECT_EQ(SqlBegin(db), SQLITE_OK);
    SqlTerm row[2] = {IntTerm(kId, 0, 100), IntTerm(kN, 0, 1)};
    EXPECT_EQ(SqlInsert(db, "items", kItems, row, 2, nullptr, 0), SQLITE_OK);
    stage = 1;
    while (stage != 2) std::this_thread::yield();
    EXPECT_EQ(SqlCommit(db), SQLITE_OK);
    stage = 3;
  });
  while (stage != 1) std::this_thread::yield();
  EXPECT_EQ(SqlTransactionOwnedElsewhere(db), 1);
  const SqlTerm where = IntTerm(kId, kSqlOpEqual, 1);
  SqlTerm set = IntTerm(kN, 0, 555);
  SqlTerm row[2] = {IntTerm(kId, 0, 200), IntTerm(kN, 0, 2)};
  EXPECT_EQ(SqlBegin(db), SQLITE_BUSY);
  EXPECT_EQ(SqlInsert(db, "items", kItems, row, 2, nullptr, 0), SQLITE_BUSY);
  EXPECT_EQ(SqlUpdate(db, "items", kItems, &where, 1, &set, 1), SQLITE_BUSY);
  EXPECT_EQ(SqlDelete(db, "items", kItems, &where, 1), SQLITE_BUSY);
  EXPECT_EQ(SqlExecRaw(db, "SELECT 1; DELETE FROM items"), SQLITE_BUSY);
  EXPECT_EQ(SqlCommit(db), SQLITE_BUSY);
  EXPECT_EQ(SqlRollback(db), SQLITE_BUSY);
  EXPECT_EQ(SqlExecRaw(db, "SELECT count(*) FROM items"), SQLITE_OK);  // reads go on
  EXPECT_EQ(CountItems({}), 21);  // the worker's row is visible on the shared connection
  stage = 2;
  while (stage != 3) std::this_thread::yield();
  worker.join();
  // After the worker's commit: its row stays, nothing of ours got in, and
  // this thread may change again.
  EXPECT_EQ(SqlTransactionOwnedElsewhere(db), 0);
  EXPECT_EQ(CountItems({IntTerm(kId, kSqlOpEqual, 100)}), 1);
  EXPECT_EQ(CountItems({IntTerm(kId, kSqlOpEqual, 200)}), 0);
  EXPECT_EQ(CountItems({IntTerm(kN, kSqlOpEqual, 555)}), 0);
  EXPECT_EQ(SqlInsert(db, "items", kItems, row, 2, nullptr, 0), SQLITE_OK);
}
