#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine_sql/sql_fixture.h"

namespace {

enum { kItem = 0, kTag = 1 };
const SqlColumnDef kTags[] = {
    {"item", kSqlInteger, 0, 0, 1, 0, 0, 0, 0},
    {"tag", kSqlText, 0, 0, 0, 0, 0, 0, 0},
};

SqlQuery Items() {
  SqlQuery q{};
  q.table = "items";
  q.columns = kItems;
  q.columnCount = 5;
  return q;
}

SqlQuery Tags() {
  SqlQuery q{};
  q.table = "tags";
  q.columns = kTags;
  q.columnCount = 2;
  return q;
}

class SqlQueryTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    MakeItems();
    ASSERT_EQ(SqlCreateTable(db, "tags", kTags, 2), SQLITE_OK);
    const std::pair<int, const char*> rows[] = {{1, "red"}, {2, "blue"}, {2, "red"}, {3, "green"}};
    for (const auto& [item, tag] : rows) {
      SqlTerm terms[2] = {IntTerm(kItem, 0, item), TextTerm(kTag, 0, tag)};
      ASSERT_EQ(SqlInsert(db, "tags", kTags, terms, 2, nullptr, 0), SQLITE_OK);
    }
    trace.clear();
  }

  // The compiled text and column 0 of its rows.
  std::pair<std::string, std::vector<std::string>> Run(sqlite3_stmt* stmt) {
    std::string sql = stmt ? sqlite3_sql(stmt) : "<none>";
    return {sql, Column0(stmt)};
  }
};

using Rows = std::vector<std::string>;

TEST_F(SqlQueryTest, SelectsAreWrittenAsTheTableSays) {
  const SqlTerm desc = [] {
    SqlTerm t = IntTerm(kId, 0, 0);
    t.descending = 1;
    return t;
  }();
  const SqlTerm byId = IntTerm(kId, 0, 0);
  const SqlTerm byScore = IntTerm(kScore, 0, 0);
  const SqlTerm abc = TextTerm(kName, kSqlOpContains, "abc");
  const SqlTerm id3 = IntTerm(kId, kSqlOpEqual, 3);
  SqlTerm minMax[3] = {IntTerm(kId, 0, 0), IntTerm(kN, 0, 0), IntTerm(kName, 0, 0)};
  minMax[0].aggregate = kSqlAggMin;
  minMax[1].aggregate = kSqlAggMax;
  minMax[2].aggregate = 7;  // a bare parenthesis
  const SqlTerm literalAndColumn[2] = {TextTerm(-1, 0, "x'y"), IntTerm(kId, 0, 0)};
  const SqlTerm scoreColumn = IntTerm(kScore, 0, 0);

  struct SelectCase {
    const char* name;
    SqlQuery query;
    std::string sql;
    Rows rows;
  };
  std::vector<SelectCase> cases;
  {
    SqlQuery q = Items();
    q.limit = 0;
    q.offset = 0;
    Rows all;
    for (int i = 1; i <= 20; ++i) all.push_back(std::to_string(i));
    cases.push_back({"everything", q, "SELECT * FROM items", all});
  }
  {
    SqlQuery q = Items();
    q.order = &desc;
    q.orderCount = 1;
    q.limit = 10;
    q.offset = 20;
    cases.push_back({"limit and offset past the end", q, "SELECT * FROM items ORDER BY \"id\" DESC LIMIT 10 OFFSET 20", {}});
    q.limit = 3;
    q.offset = 2;
    cases.push_back({"limit and offset", q, "SELECT * FROM items ORDER BY \"id\" DESC LIMIT 3 OFFSET 2", {"18", "17", "16"}});
    q.limit = 0;
    q.offset = 18;
    cases.push_back({"offset alone", q, "SELECT * FROM items ORDER BY \"id\" DESC LIMIT -1 OFFSET 18", {"2", "1"}});
  }
  {
    SqlQuery q = Items();
    q.select = minMax;
    q.selectCount = 3;
    q.where = &abc;
    q.whereCount = 1;
    cases.push_back({"aggregates", q,
                     "SELECT MIN(\"id\"), MAX(\"n\"), (\"name\") FROM items WHERE \"name\" LIKE '%abc%' ESCAPE '\\'",
                     {"2"}});
  }
  {
    SqlQuery q = Items();
    q.select = &scoreColumn;
    q.selectCount = 1;
    q.order = &byScore;
    q.orderCount = 1;
    q.distinct = 1;
    cases.push_back(
        {"distinct", q, "SELECT DISTINCT \"score\" FROM items ORDER BY \"score\" ASC", {"1.0", "2.0", "3.0", "7.0"}});
  }
  {
    SqlQuery q = Items();
    q.select = literalAndColumn;
    q.selectCount = 2;
    q.where = &id3;
    q.whereCount = 1;
    q.order = &byId;
    q.orderCount = 1;
    cases.push_back({"a literal column", q, "SELECT 'x''y', \"id\" FROM items WHERE \"id\" == 3 ORDER BY \"id\" ASC", {"x'y"}});
  }
  for (SelectCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [sql, rows] = Run(SqlPrepareSelect(db, &c.query));
    EXPECT_EQ(sql, c.sql);
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendSelect(t, &c.query, 0); }), c.sql);
  }
  // Without order: no ORDER BY, LIMIT or OFFSET.
  SqlQuery q = Items();
  q.order = &desc;
  q.orderCount = 1;
  q.limit = 5;
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendSelect(t, &q, 1); }), "SELECT * FROM items");
  SqlQuery broken = Items();
  broken.table = "no_such_table";
  EXPECT_EQ(SqlPrepareSelect(db, &broken), nullptr);
}

TEST_F(SqlQueryTest, Counts) {
  EXPECT_EQ(SqlCount(db, "items", nullptr), 20);
  SqlQuery q = Items();
  const SqlTerm score = IntTerm(kScore, 0, 0);
  q.select = &score;
  q.selectCount = 1;
  EXPECT_EQ(SqlCount(db, "items", &q), 4);
  const SqlTerm small = IntTerm(kId, kSqlOpLessEqual, 4);
  q.where = &small;
  q.whereCount = 1;
  EXPECT_EQ(SqlCount(db, "items", &q), 3);
  SqlQuery plain = Items();
  plain.where = &small;
  plain.whereCount = 1;
  EXPECT_EQ(SqlCount(db, "items", &plain), 4);
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0], "SELECT COUNT(*) FROM items");
  EXPECT_EQ(trace[1], "SELECT COUNT(DISTINCT \"score\") FROM items");
  EXPECT_EQ(trace[2], "SELECT COUNT(DISTINCT \"score\") FROM items WHERE \"id\" <= 4");
  EXPECT_EQ(trace[3], "SELECT COUNT(*) FROM items WHERE \"id\" <= 4");
  EXPECT_EQ(SqlCount(db, "no_such_table", nullptr), -1);
}

TEST_F(SqlQueryTest, Joins) {
  const SqlTerm name = IntTerm(kName, 0, 0);
  const SqlTerm tag = IntTerm(kTag, 0, 0);
  const SqlTerm idUpTo2 = IntTerm(kId, kSqlOpLessEqual, 2, kSqlAnd);
  const SqlTerm red = TextTerm(kTag, kSqlOpEqual, "red");
  const SqlTerm byId = IntTerm(kId, 0, 0);
  SqlQuery first = Items();
  first.select = &name;
  first.selectCount = 1;
  first.where = &idUpTo2;
  first.whereCount = 1;
  first.order = &byId;
  first.orderCount = 1;
  SqlQuery second = Tags();
  second.select = &tag;
  second.selectCount = 1;
  second.where = &red;
  second.whereCount = 1;
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendJoinSelect(t, &first, &second, 0, kSqlInnerJoin); }),
            "SELECT items.name, tags.tag FROM items INNER JOIN tags ON items.id = tags.item WHERE (items.id <= 2) "
            "AND (tags.tag == 'red') ORDER BY items.id ASC");
  const SqlQuery pair[2] = {first, second};
  EXPECT_EQ(Run(SqlPrepareCompound(db, pair, 2, nullptr, 0, kSqlInnerJoin)).second, (Rows{"it's", "abc"}));

  // Only the second has a condition; a left join keeps items without tags.
  SqlQuery all = Items();
  all.order = &byId;
  all.orderCount = 1;
  all.limit = 5;
  SqlQuery tags = Tags();
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendJoinSelect(t, &all, &tags, 1, kSqlLeftJoin); }),
            "SELECT * FROM items LEFT OUTER JOIN tags ON items.id = tags.item");
  tags.where = &red;
  tags.whereCount = 1;
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendJoinSelect(t, &all, &tags, 0, 9); }),
            "SELECT * FROM items JOIN tags ON items.id = tags.item WHERE (tags.tag == 'red') ORDER BY items.id ASC "
            "LIMIT 5");
  const SqlQuery leftPair[2] = {all, Tags()};
  EXPECT_EQ(Run(SqlPrepareCompound(db, leftPair, 2, nullptr, 0, kSqlLeftJoin)).second,
            (Rows{"1", "2", "2", "3", "4"}));
}

TEST_F(SqlQueryTest, CompoundQueries) {
  const SqlTerm nPositive = IntTerm(kN, kSqlOpGreater, 0);
  const SqlTerm item = IntTerm(kItem, 0, 0);
  const SqlTerm red = TextTerm(kTag, kSqlOpEqual, "red");
  const SqlTerm id20 = IntTerm(kId, kSqlOpEqual, 20);
  const SqlTerm byId = IntTerm(kId, 0, 0);
  const SqlTerm idColumn = IntTerm(kId, 0, 0);

  SqlQuery q[3] = {Items(), Tags(), Items()};
  q[0].where = &nPositive;
  q[0].whereCount = 1;
  q[0].order = &byId;
  q[0].orderCount = 1;
  q[0].select = &idColumn;
  q[0].selectCount = 1;
  q[0].connector = kSqlAnd;
  q[1].select = &item;
  q[1].selectCount = 1;
  q[1].where = &red;
  q[1].whereCount = 1;
  q[1].inColumn = kId;
  q[2].select = &idColumn;
  q[2].selectCount = 1;
  q[2].where = &id20;
  q[2].whereCount = 1;
  const uint32_t unionAt2[] = {2};
  auto [sql, rows] = Run(SqlPrepareCompound(db, q, 3, unionAt2, 1, kSqlNoJoin));
  EXPECT_EQ(sql,
            "SELECT \"id\" FROM items WHERE \"n\" > 0 AND \"id\" IN (SELECT \"item\" FROM tags WHERE \"tag\" == 'red') "
            " UNION SELECT \"id\" FROM items WHERE \"id\" == 20 ORDER BY \"id\" ASC");
  EXPECT_EQ(rows, (Rows{"1", "2", "20"}));

  // A base without conditions gets its WHERE; NOT IN; an OR group opened by
  // a connector is closed.
  SqlQuery n[3] = {Items(), Tags(), Tags()};
  n[0].select = &idColumn;
  n[0].selectCount = 1;
  n[0].order = &byId;
  n[0].orderCount = 1;
  n[0].limit = 4;
  n[1].select = &item;
  n[1].selectCount = 1;
  n[1].inColumn = kId;
  n[1].notIn = 1;
  n[1].connector = kSqlOrOpen;
  n[2].select = &item;
  n[2].selectCount = 1;
  n[2].where = &red;
  n[2].whereCount = 1;
  n[2].inColumn = kId;
  std::tie(sql, rows) = Run(SqlPrepareCompound(db, n, 3, nullptr, 0, kSqlNoJoin));
  EXPECT_EQ(sql,
            "SELECT \"id\" FROM items WHERE \"id\" NOT IN (SELECT \"item\" FROM tags)  OR (\"id\" IN (SELECT \"item\" "
            "FROM tags WHERE \"tag\" == 'red') ) ORDER BY \"id\" ASC LIMIT 4");
  EXPECT_EQ(rows, (Rows{"1", "2", "4", "5"}));

  // Over a join the base column is qualified.
  SqlQuery j[3] = {Items(), Tags(), Tags()};
  j[0].select = &idColumn;
  j[0].selectCount = 1;
  j[1].where = &red;
  j[1].whereCount = 1;
  j[1].connector = kSqlAnd;
  j[2].select = &item;
  j[2].selectCount = 1;
  const SqlTerm blue = TextTerm(kTag, kSqlOpEqual, "blue");
  j[2].where = &blue;
  j[2].whereCount = 1;
  j[2].inColumn = kId;
  std::tie(sql, rows) = Run(SqlPrepareCompound(db, j, 3, nullptr, 0, kSqlInnerJoin));
  EXPECT_EQ(sql,
            "SELECT items.id FROM items INNER JOIN tags ON items.id = tags.item WHERE (tags.tag == 'red') AND items.id "
            "IN (SELECT \"item\" FROM tags WHERE \"tag\" == 'blue') ");
  EXPECT_EQ(rows, (Rows{"2"}));

  // A union part followed at once by another union part gets no WHERE.
  SqlQuery u[3] = {Items(), Items(), Items()};
  for (SqlQuery& part : u) {
    part.select = &idColumn;
    part.selectCount = 1;
  }
  u[2].where = &id20;
  u[2].whereCount = 1;
  const uint32_t unions[] = {1, 2};
  std::tie(sql, rows) = Run(SqlPrepareCompound(db, u, 3, unions, 2, kSqlNoJoin));
  EXPECT_EQ(sql, "SELECT \"id\" FROM items UNION SELECT \"id\" FROM items UNION SELECT \"id\" FROM items WHERE \"id\" == 20");
  EXPECT_EQ(rows.size(), 20u);

  EXPECT_EQ(SqlPrepareCompound(db, q, 0, nullptr, 0, kSqlNoJoin), nullptr);
  std::tie(sql, rows) = Run(SqlPrepareCompound(db, q, 1, nullptr, 0, kSqlNoJoin));
  EXPECT_EQ(sql, "SELECT \"id\" FROM items WHERE \"n\" > 0 ORDER BY \"id\" ASC");
}

TEST_F(SqlQueryTest, InsertsDeletesAndUpdates) {
  // Row id of a new row; a duplicate key is a constraint failure unless
  // replacing.
  int64_t rowId = 0;
  SqlTerm named = TextTerm(kName, 0, "new");
  ASSERT_EQ(SqlInsert(db, "items", kItems, &named, 1, &rowId, 0), SQLITE_OK);
  EXPECT_EQ(rowId, 21);
  EXPECT_EQ(trace.back(), "INSERT INTO items (\"name\") VALUES ('new')");
  SqlTerm again[2] = {IntTerm(kId, 0, 21), TextTerm(kName, 0, "newer")};
  EXPECT_EQ(SqlInsert(db, "items", kItems, again, 2, &rowId, 0), SQLITE_CONSTRAINT);
  ASSERT_EQ(SqlInsert(db, "items", kItems, again, 2, &rowId, 1), SQLITE_OK);
  EXPECT_EQ(trace.back(), "INSERT OR REPLACE INTO items (\"id\", \"name\") VALUES (21, 'newer')");
  EXPECT_EQ(CountItems({TextTerm(kName, 0, "newer")}), 1);

  // The increment mark adds to the column; TEXT 0 sets NULL.
  const SqlTerm id1 = IntTerm(kId, kSqlOpEqual, 1);
  SqlTerm set[2] = {IntTerm(kN, 0, 2), IntTerm(kName, 0, 0)};
  set[0].increment = 1;
  ASSERT_EQ(SqlUpdate(db, "items", kItems, &id1, 1, set, 2), SQLITE_OK);
  EXPECT_EQ(trace.back(), "UPDATE items SET \"n\" = \"n\" + 2, \"name\" = NULL WHERE \"id\" == 1");
  EXPECT_EQ(CountItems({IntTerm(kN, 0, 12), IntTerm(kName, 0, 0)}), 1);

  const SqlTerm big = IntTerm(kId, kSqlOpGreater, 15);
  ASSERT_EQ(SqlDelete(db, "items", kItems, &big, 1), SQLITE_OK);
  EXPECT_EQ(trace.back(), "DELETE FROM items WHERE \"id\" > 15");
  EXPECT_EQ(SqlCount(db, "items", nullptr), 15);
  ASSERT_EQ(SqlDelete(db, "tags", kTags, nullptr, 0), SQLITE_OK);
  EXPECT_EQ(trace.back(), "DELETE FROM tags");
  EXPECT_EQ(SqlCount(db, "tags", nullptr), 0);
  EXPECT_NE(SqlDelete(db, "no_such_table", kTags, nullptr, 0), SQLITE_OK);
}

TEST_F(SqlQueryTest, InsertSelect) {
  const SqlTerm columns[2] = {IntTerm(kItem, 0, 99), IntTerm(kTag, 0, 0)};
  const SqlTerm sel[2] = {IntTerm(kId, 0, 0), IntTerm(kName, 0, 0)};
  const SqlTerm upTo2 = IntTerm(kId, kSqlOpLessEqual, 2);
  SqlQuery source = Items();
  source.select = sel;
  source.selectCount = 2;
  source.where = &upTo2;
  source.whereCount = 1;
  ASSERT_EQ(SqlInsertSelect(db, "tags", kTags, columns, 2, &source, -1), SQLITE_OK);
  EXPECT_EQ(trace.back(), "INSERT INTO tags (\"item\", \"tag\") SELECT \"id\", \"name\" FROM items WHERE \"id\" <= 2");
  EXPECT_EQ(SqlCount(db, "tags", nullptr), 6);

  // One value taken from a query.
  const SqlTerm id2 = IntTerm(kId, kSqlOpEqual, 2);
  SqlQuery one = Items();
  one.select = &sel[1];
  one.selectCount = 1;
  one.where = &id2;
  one.whereCount = 1;
  ASSERT_EQ(SqlInsertSelect(db, "tags", kTags, columns, 2, &one, 1), SQLITE_OK);
  EXPECT_EQ(trace.back(),
            "INSERT INTO tags (\"item\", \"tag\") VALUES (99, (SELECT \"name\" FROM items WHERE \"id\" == 2))");
  SqlQuery check = Tags();
  const SqlTerm item99 = IntTerm(kItem, kSqlOpEqual, 99);
  const SqlTerm tagColumn = IntTerm(kTag, 0, 0);
  check.where = &item99;
  check.whereCount = 1;
  check.select = &tagColumn;
  check.selectCount = 1;
  EXPECT_EQ(Column0(SqlPrepareSelect(db, &check)), Rows{"abc"});

  // Without column terms every column is filled from the query.
  SqlQuery whole = Tags();
  ASSERT_EQ(SqlInsertSelect(db, "tags", kTags, nullptr, 0, &whole, -1), SQLITE_OK);
  EXPECT_EQ(trace.back(), "INSERT INTO tags SELECT * FROM tags");
  EXPECT_EQ(SqlCount(db, "tags", nullptr), 14);
}

TEST_F(SqlQueryTest, Aggregates) {
  const SqlTerm abc = TextTerm(kName, kSqlOpContains, "abc");
  const SqlTerm big = IntTerm(kN, kSqlOpGreater, 100);
  const SqlTerm* conditions[3] = {nullptr, &abc, &big};
  const uint32_t counts[3] = {0, 1, 1};
  const SqlTerm sum = IntTerm(kN, 0, 0);
  const SqlTerm item = IntTerm(kItem, 0, 0);
  SqlQuery tagged = Tags();
  tagged.select = &item;
  tagged.selectCount = 1;
  tagged.inColumn = kId;
  int64_t results[4] = {-9, -9, -9, -9};
  ASSERT_EQ(SqlSelectAggregates(db, "items", kItems, conditions, counts, 3, &sum, 1, &tagged, results), 0);
  EXPECT_EQ(trace.back(),
            "SELECT COUNT(*), COUNT(NULLIF(\"name\" LIKE '%abc%' ESCAPE '\\', 0)), COUNT(NULLIF(\"n\" > 100, 0)), "
            "SUM(n) FROM items WHERE \"id\" IN (SELECT \"item\" FROM tags) ");
  EXPECT_EQ(results[0], 3);
  EXPECT_EQ(results[1], 1);
  EXPECT_EQ(results[2], 0);
  EXPECT_EQ(results[3], 60);

  tagged.notIn = 1;
  ASSERT_EQ(SqlSelectAggregates(db, "items", kItems, conditions, counts, 3, &sum, 1, &tagged, results), 0);
  EXPECT_EQ(results[0], 17);
  EXPECT_EQ(results[1], 1);  // xabcx
  EXPECT_EQ(results[2], 10);
  EXPECT_EQ(results[3], 2100 - 60);

  // A condition without terms counts every row.
  const uint32_t noTerms[1] = {0};
  const SqlTerm* some[1] = {&abc};
  ASSERT_EQ(SqlSelectAggregates(db, "items", kItems, some, noTerms, 1, nullptr, 0, nullptr, results), 0);
  EXPECT_EQ(trace.back(), "SELECT COUNT(*) FROM items");
  EXPECT_EQ(results[0], 20);

  EXPECT_EQ(SqlSelectAggregates(db, "no_such_table", kItems, conditions, counts, 1, nullptr, 0, nullptr, results), -1);
}

}  // namespace
