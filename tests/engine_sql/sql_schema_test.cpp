#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/engine_sql/sql_fixture.h"

namespace {

const SqlColumnDef kEntries[] = {
    {"uid", kSqlInteger, 0, 1, 1, 1, 0, 0, 0},    // indexed INTEGER primary key: no index
    {"word", kSqlText, 1, 0, 0, 0, 0, 0, 0},      // unique on its own
    {"a", kSqlText, 1, 0, 0, 0, 0, 1, 0},         // unique, but as a composite member
    {"b", kSqlInteger, 0, 0, 0, 0, 0, 1, 0},
    {"created", kSqlReal, 0, 0, 0, 0, 1, 0, 0},
    {"key", kSqlText, 0, 0, 1, 0, 0, 0, 1},
    {"raw", 9, 0, 0, 0, 0, 0, 0, 0},
};

const SqlColumnDef kNamed[] = {
    {"name", kSqlText, 0, 1, 1, 0, 0, 0, 0},  // indexed TEXT primary key: indexed
    {"value", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
};

TEST_F(SqlTest, CreateTableWritesTheColumnMarks) {
  ASSERT_EQ(SqlCreateTable(db, "entries", kEntries, 7), SQLITE_OK);
  EXPECT_EQ(trace, (std::vector<std::string>{
                       "CREATE TABLE 'entries' (\"uid\" INTEGER PRIMARY KEY AUTOINCREMENT, \"word\" TEXT UNIQUE, "
                       "\"a\" TEXT, \"b\" INTEGER, \"created\" REAL DEFAULT CURRENT_TIMESTAMP, "
                       "\"key\" TEXT COLLATE NOCASE, \"raw\" BLOB, UNIQUE (\"a\", \"b\") )",
                       "CREATE INDEX idx_entries_key ON entries (key)"}));
  EXPECT_EQ(SqlColumnIndexExists(db, "entries", kEntries, 5), 1);
  EXPECT_EQ(SqlColumnIndexExists(db, "entries", kEntries, 0), 0);

  // The marks work: a composite duplicate is refused, a single one is not.
  SqlTerm row[3] = {TextTerm(1, 0, "w1"), TextTerm(2, 0, "x"), IntTerm(3, 0, 1)};
  ASSERT_EQ(SqlInsert(db, "entries", kEntries, row, 3, nullptr, 0), SQLITE_OK);
  row[0].text = "w2";
  EXPECT_EQ(SqlInsert(db, "entries", kEntries, row, 3, nullptr, 0), SQLITE_CONSTRAINT);
  row[2].value = 2;
  EXPECT_EQ(SqlInsert(db, "entries", kEntries, row, 3, nullptr, 0), SQLITE_OK);
  row[1].text = "y";
  EXPECT_EQ(SqlInsert(db, "entries", kEntries, row, 3, nullptr, 0), SQLITE_CONSTRAINT);  // "word" w2 again
  EXPECT_EQ(CountItemsIn("entries", {TextTerm(1, kSqlOpEqual, "w2")}, kEntries), 1);
  // COLLATE NOCASE: the key matches in any case.
  SqlTerm keyed[4] = {TextTerm(1, 0, "w3"), TextTerm(2, 0, "z"), IntTerm(3, 0, 1), TextTerm(5, 0, "Abc")};
  ASSERT_EQ(SqlInsert(db, "entries", kEntries, keyed, 4, nullptr, 0), SQLITE_OK);
  EXPECT_EQ(CountItemsIn("entries", {TextTerm(5, kSqlOpEqual, "aBC")}, kEntries), 1);

  ASSERT_EQ(SqlCreateTable(db, "named", kNamed, 2), SQLITE_OK);
  EXPECT_EQ(trace.back(), "CREATE INDEX idx_named_name ON named (name)");
  EXPECT_EQ(SqlColumnIndexExists(db, "named", kNamed, 0), 1);

  // A table that exists already: the code of the CREATE TABLE, no index.
  trace.clear();
  EXPECT_EQ(SqlCreateTable(db, "named", kNamed, 2), SQLITE_ERROR);
  EXPECT_EQ(trace.size(), 0u);  // refused while compiling
}

TEST_F(SqlTest, IndexesAreMadeFoundAndDropped) {
  ASSERT_EQ(SqlCreateTable(db, "entries", kEntries, 7), SQLITE_OK);
  const uint32_t pair[] = {1, 5};
  EXPECT_EQ(SqlIndexExists(db, "entries", "word_key"), 0);
  ASSERT_EQ(SqlCreateIndex(db, "entries", "word_key", kEntries, pair, 2), SQLITE_OK);
  EXPECT_EQ(trace.back(), "CREATE INDEX idx_entries_word_key ON entries (\"word\", \"key\")");
  EXPECT_EQ(SqlIndexExists(db, "entries", "word_key"), 1);
  EXPECT_EQ(SqlCreateIndex(db, "entries", "word_key", kEntries, pair, 2), SQLITE_ERROR);
  ASSERT_EQ(SqlDropIndex(db, "entries", "word_key"), SQLITE_OK);
  EXPECT_EQ(trace.back(), "DROP INDEX 'idx_entries_word_key'");
  EXPECT_EQ(SqlIndexExists(db, "entries", "word_key"), 0);

  ASSERT_EQ(SqlCreateColumnIndex(db, "entries", kEntries, 4), SQLITE_OK);
  EXPECT_EQ(SqlColumnIndexExists(db, "entries", kEntries, 4), 1);
  ASSERT_EQ(SqlDropColumnIndex(db, "entries", kEntries, 4), SQLITE_OK);
  EXPECT_EQ(SqlColumnIndexExists(db, "entries", kEntries, 4), 0);
  EXPECT_EQ(SqlDropColumnIndex(db, "entries", kEntries, 4), SQLITE_ERROR);

  ASSERT_EQ(SqlDropTable(db, "entries"), SQLITE_OK);
  EXPECT_EQ(trace.back(), "DROP TABLE 'entries'");
  EXPECT_EQ(SqlTableExists(db, "entries", 0), 0);
  EXPECT_EQ(SqlColumnIndexExists(db, "entries", kEntries, 5), 0);  // went with its table
  EXPECT_EQ(SqlDropTable(db, "entries"), SQLITE_ERROR);
}

TEST_F(SqlTest, TablesAndRowsExist) {
  EXPECT_EQ(SqlIsEmptyDatabase(db), 1);
  EXPECT_EQ(SqlTableExists(db, "items", 0), 0);
  EXPECT_EQ(SqlTableExists(db, "items", 1), 0);
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  EXPECT_EQ(SqlIsEmptyDatabase(db), 0);
  EXPECT_EQ(SqlTableExists(db, "items", 0), 1);
  EXPECT_EQ(SqlTableExists(db, "items", 1), 0);  // exists, but empty
  SqlTerm row = IntTerm(kId, 0, 1);
  ASSERT_EQ(SqlInsert(db, "items", kItems, &row, 1, nullptr, 0), SQLITE_OK);
  EXPECT_EQ(SqlTableExists(db, "items", 1), 1);
  EXPECT_EQ(SqlTableExists(db, "it's", 0), 0);  // a quote in the name is no syntax error
  EXPECT_EQ(SqlIndexExists(db, "items", "name"), 1);
}

TEST_F(SqlTest, ProbesThatCannotReadTheFileSaySo) {
  // Not a database: neither "empty" nor "absent", or a caller would write
  // a schema over it.
  std::ofstream(root.host() + "/My Documents/junk.kvb") << std::string(4096, 'j');
  SqlDb* junk = SqlOpen("\\My Documents\\junk.kvb");
  ASSERT_NE(junk, nullptr);
  EXPECT_EQ(SqlIsEmptyDatabase(junk), kSqlProbeFailed);
  EXPECT_EQ(SqlTableExists(junk, "items", 0), kSqlProbeFailed);
  EXPECT_EQ(SqlTableExists(junk, "items", 1), kSqlProbeFailed);
  EXPECT_EQ(SqlIndexExists(junk, "items", "name"), kSqlProbeFailed);
  SqlClose(junk);

  // Locked by another program.
  ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(HostPath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  SqlDb* second = SqlOpen(kTestDbPath);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(SqlIsEmptyDatabase(second), kSqlProbeFailed);
  EXPECT_EQ(SqlTableExists(second, "items", 0), kSqlProbeFailed);
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(SqlIsEmptyDatabase(second), 0);
  EXPECT_EQ(SqlTableExists(second, "items", 0), 1);
  SqlClose(second);
}

}  // namespace
