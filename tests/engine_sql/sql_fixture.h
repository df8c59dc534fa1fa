// A fresh device root per test with one database open on it, the test
// table "items", and a trace of the statements SQLite ran.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_schema.h"
#include "engine/sql_text.h"
#include "tests/support/temp_device_root.h"

inline constexpr char kTestDbPath[] = "\\My Documents\\test.kvb";

enum { kId = 0, kName = 1, kScore = 2, kData = 3, kN = 4 };

inline const SqlColumnDef kItems[] = {
    {"id", kSqlInteger, 0, 1, 0, 0, 0, 0, 0},
    {"name", kSqlText, 0, 0, 1, 0, 0, 0, 0},
    {"score", kSqlReal, 0, 0, 0, 0, 0, 0, 0},
    {"data", kSqlBlob, 0, 0, 0, 0, 0, 0, 0},
    {"n", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
};

inline SqlTerm IntTerm(int column, uint32_t op, int32_t value, uint32_t connector = kSqlAnd) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.op = op;
  t.value = value;
  t.connector = connector;
  return t;
}

inline SqlTerm TextTerm(int column, uint32_t op, const char* text, uint32_t connector = kSqlAnd) {
  SqlTerm t = IntTerm(column, op, 0, connector);
  t.text = text;
  return t;
}

inline SqlTerm WideTerm(int column, uint32_t op, const char16_t* text, uint32_t connector = kSqlAnd) {
  SqlTerm t = IntTerm(column, op, 0, connector);
  t.wtext = text;
  return t;
}

class SqlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db = SqlOpen(kTestDbPath);
    ASSERT_NE(db, nullptr);
    sqlite3_trace_v2(db->conn, SQLITE_TRACE_STMT, &SqlTest::Trace, &trace);
  }
  void TearDown() override { SqlClose(db); }

  static int Trace(unsigned type, void* context, void*, void* x) {
    if (type == SQLITE_TRACE_STMT) static_cast<std::vector<std::string>*>(context)->push_back(static_cast<const char*>(x));
    return 0;
  }

  std::string HostPath() const { return root.host() + "/My Documents/test.kvb"; }

  // The text a composer writes.
  template <typename F>
  std::string Compose(F&& write) {
    SqlText t;
    SqlTextBegin(db, &t);
    write(&t);
    std::string s(t.data, t.length);
    SqlTextEnd(db, &t);
    return s;
  }

  // The test table: ids 1-20, names with quotes and LIKE metacharacters,
  // one NULL name.
  void MakeItems() {
    ASSERT_EQ(SqlCreateTable(db, "items", kItems, 5), SQLITE_OK);
    struct Row {
      const char* name;
      int32_t score;
      int32_t data;
    };
    const Row rows[7] = {{"it's", 1, 0}, {"abc", 2, 0}, {"50% off", 3, 0}, {"a_b", 1, 0},
                         {nullptr, 7, 0}, {"5", 2, 0},  {"xabcx", 1, 7}};
    std::vector<std::string> names;
    for (int id = 1; id <= 20; ++id) names.push_back("row" + std::to_string(id));
    for (int id = 1; id <= 20; ++id) {
      SqlTerm terms[5] = {IntTerm(kId, 0, id), IntTerm(kName, 0, 0), IntTerm(kScore, 0, 1), IntTerm(kData, 0, 0),
                          IntTerm(kN, 0, id * 10)};
      if (id <= 7) {
        terms[kName].text = rows[id - 1].name;
        terms[kName].isNull = rows[id - 1].name == nullptr;
        terms[kScore].value = rows[id - 1].score;
        terms[kData].value = rows[id - 1].data;
        terms[kData].isNull = rows[id - 1].data == 0;
      } else {
        terms[kName].text = names[id - 1].c_str();
        terms[kData].isNull = 1;
      }
      ASSERT_EQ(SqlInsert(db, "items", kItems, terms, 5, nullptr, 0), SQLITE_OK) << id;
    }
    trace.clear();
  }

  int64_t CountItems(const std::vector<SqlTerm>& where) { return CountItemsIn("items", where); }
  // Rows of a table (columns from kItems unless given) matching the terms.
  int64_t CountItemsIn(const char* table, const std::vector<SqlTerm>& where, const SqlColumnDef* columns = kItems) {
    SqlQuery q{};
    q.table = table;
    q.columns = columns;
    q.where = where.data();
    q.whereCount = static_cast<uint32_t>(where.size());
    return SqlCount(db, table, &q);
  }

  // Runs a query and gives column 0 of every row as text ("NULL" for NULL).
  std::vector<std::string> Column0(sqlite3_stmt* stmt) {
    std::vector<std::string> out;
    EXPECT_NE(stmt, nullptr);
    if (!stmt) return out;
    int rc;
    while (SqlIsRow(rc = SqlStep(stmt)))
      out.push_back(SqlColumnIsNull(stmt, 0) ? "NULL" : SqlColumnText(stmt, 0));
    EXPECT_EQ(rc, SQLITE_DONE);
    EXPECT_EQ(SqlFinalize(stmt), SQLITE_OK);
    return out;
  }

  TempDeviceRoot root;
  SqlDb* db = nullptr;
  std::vector<std::string> trace;
};
