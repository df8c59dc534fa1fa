#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/mem_handle.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"
#include "tests/engine_sql/sql_fixture.h"

namespace {

struct WhereCase {
  const char* name;
  std::vector<SqlTerm> terms;
  std::string sql;
  int64_t rows;  // matching rows of the test table
};

SqlTerm WithOpen(SqlTerm t) {
  t.openParen = 1;
  return t;
}

SqlTerm Unindexed(SqlTerm t) {
  t.unindexed = 1;
  return t;
}

SqlTerm WithNull(SqlTerm t) {
  t.isNull = 1;
  return t;
}

const int32_t kOneTwoThree[] = {1, 2, 3};

SqlTerm ListTerm(uint32_t op, const int32_t* list, uint32_t count) {
  SqlTerm t = IntTerm(kId, op, 0);
  t.list = list;
  t.listCount = count;
  return t;
}

// n equalities on "id" (1..n) joined by OR, and the text each way of
// writing them gives.
std::vector<SqlTerm> OrEqualities(int n) {
  std::vector<SqlTerm> terms;
  for (int i = 1; i <= n; ++i) terms.push_back(IntTerm(kId, kSqlOpEqual, i, kSqlOr));
  return terms;
}

std::string OneByOne(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += (i > 1 ? " OR " : "") + std::string("\"id\" == ") + std::to_string(i);
  return s;
}

std::string InList(int n) {
  std::string s = "\"id\" IN (";
  for (int i = 1; i <= n; ++i) s += (i > 1 ? ", " : "") + std::to_string(i);
  return s + ") ";
}

std::vector<WhereCase> WhereCases() {
  std::vector<WhereCase> cases = {
      {"a quote is doubled", {TextTerm(kName, kSqlOpEqual, "it's")}, "\"name\" == 'it''s'", 1},
      {"UTF-16 text, quote doubled", {WideTerm(kName, kSqlOpEqual, u"it's")}, "\"name\" == 'it''s'", 1},
      {"integer for a TEXT column is quoted", {IntTerm(kName, kSqlOpEqual, 5)}, "\"name\" == '5'", 1},
      {"integer 0 for a TEXT column matches NULL", {IntTerm(kName, kSqlOpEqual, 0)}, "\"name\" IS NULL", 1},
      {"integer 0 for a TEXT column, not equal", {IntTerm(kName, kSqlOpNotEqual, 0)}, "\"name\" IS NOT NULL", 19},
      {"null mark", {WithNull(IntTerm(kN, kSqlOpEqual, 3))}, "\"n\" IS NULL", 0},
      {"null mark, not equal", {WithNull(IntTerm(kData, kSqlOpNotEqual, 0))}, "\"data\" IS NOT NULL", 1},
      {"greater", {IntTerm(kId, kSqlOpGreater, 18)}, "\"id\" > 18", 2},
      {"greater or equal", {IntTerm(kId, kSqlOpGreaterEqual, 18)}, "\"id\" >= 18", 3},
      {"less", {IntTerm(kId, kSqlOpLess, 3)}, "\"id\" < 3", 2},
      {"less or equal", {IntTerm(kId, kSqlOpLessEqual, 3)}, "\"id\" <= 3", 3},
      {"REAL column given an integer", {IntTerm(kScore, kSqlOpGreaterEqual, 3)}, "\"score\" >= 3", 2},
      {"BLOB column given an integer", {IntTerm(kData, kSqlOpEqual, 7)}, "\"data\" == 7", 1},
      {"contains", {TextTerm(kName, kSqlOpContains, "abc")}, "\"name\" LIKE '%abc%' ESCAPE '\\'", 2},
      {"contains a typed %", {TextTerm(kName, kSqlOpContains, "%")}, "\"name\" LIKE '%\\%%' ESCAPE '\\'", 1},
      {"UTF-16 contains a typed %", {WideTerm(kName, kSqlOpContains, u"50%")},
       "\"name\" LIKE '%50\\%%' ESCAPE '\\'", 1},
      {"begins with a typed _", {TextTerm(kName, kSqlOpBegins, "a_")}, "\"name\" LIKE 'a\\_%' ESCAPE '\\'", 1},
      {"begins with a backslash", {TextTerm(kName, kSqlOpBegins, "a\\")}, "\"name\" LIKE 'a\\\\%' ESCAPE '\\'", 0},
      {"ends with", {TextTerm(kName, kSqlOpEnds, "off")}, "\"name\" LIKE '%off' ESCAPE '\\'", 1},
      {"contains a quote", {TextTerm(kName, kSqlOpContains, "t's")}, "\"name\" LIKE '%t''s%' ESCAPE '\\'", 1},
      {"integer pattern on a TEXT column", {IntTerm(kName, kSqlOpBegins, 5)}, "\"name\" LIKE '5%'", 2},
      {"LIKE takes the caller's pattern", {TextTerm(kName, kSqlOpLike, "a%")}, "\"name\" LIKE 'a%'", 2},
      {"NOT LIKE takes the caller's pattern", {TextTerm(kName, kSqlOpNotLike, "row%")}, "\"name\" NOT LIKE 'row%'", 6},
      {"GLOB takes the caller's pattern", {TextTerm(kName, kSqlOpGlob, "a*")}, "\"name\" GLOB 'a*'", 2},
      {"IN list", {ListTerm(kSqlOpIn, kOneTwoThree, 3)}, "\"id\" IN (1,2,3)", 3},
      {"NOT IN list", {ListTerm(kSqlOpNotIn, kOneTwoThree, 3)}, "\"id\" NOT IN (1,2,3)", 17},
      {"empty IN list", {ListTerm(kSqlOpIn, nullptr, 0)}, "\"id\" IN ()", 0},
      {"empty NOT IN list", {ListTerm(kSqlOpNotIn, kOneTwoThree, 0)}, "\"id\" NOT IN ()", 20},
      {"AND", {IntTerm(kId, kSqlOpGreater, 2, kSqlAnd), IntTerm(kN, kSqlOpLess, 50)}, "\"id\" > 2 AND \"n\" < 50", 2},
      {"OR", {IntTerm(kId, kSqlOpEqual, 2, kSqlOr), IntTerm(kN, kSqlOpEqual, 50)}, "\"id\" == 2 OR \"n\" == 50", 2},
      {"a connector that opens a group is closed at the end",
       {IntTerm(kId, kSqlOpGreater, 1, kSqlAndOpen), IntTerm(kId, kSqlOpLess, 3, kSqlOr), IntTerm(kId, kSqlOpEqual, 5)},
       "\"id\" > 1 AND (\"id\" < 3 OR \"id\" == 5)", 2},
      {"OR group",
       {IntTerm(kId, kSqlOpEqual, 1, kSqlOrOpen), IntTerm(kId, kSqlOpGreater, 3, kSqlAnd), IntTerm(kId, kSqlOpLess, 5)},
       "\"id\" == 1 OR (\"id\" > 3 AND \"id\" < 5)", 2},
      {"open mark and closing connectors",
       {WithOpen(IntTerm(kId, kSqlOpEqual, 1, kSqlOr)), IntTerm(kId, kSqlOpEqual, 2, kSqlCloseAnd),
        IntTerm(kN, kSqlOpGreater, 10)},
       "(\"id\" == 1 OR \"id\" == 2) AND \"n\" > 10", 1},
      {"close then OR",
       {WithOpen(IntTerm(kId, kSqlOpEqual, 1, kSqlAnd)), IntTerm(kN, kSqlOpEqual, 10, kSqlCloseOr),
        IntTerm(kId, kSqlOpEqual, 3)},
       "(\"id\" == 1 AND \"n\" == 10) OR \"id\" == 3", 2},
      // "+column" hands the query plan to the other term's index, and the
      // test still means the same.
      {"a term kept off its index",
       {IntTerm(kId, kSqlOpEqual, 1, kSqlAnd), Unindexed(IntTerm(kN, kSqlOpEqual, 10))},
       "\"id\" == 1 AND +\"n\" == 10", 1},
      {"fifteen equalities are written one by one", OrEqualities(15), OneByOne(15), 15},
      {"sixteen equalities become one IN list", OrEqualities(16), InList(16), 16},
      {"twenty equalities become one IN list", OrEqualities(20), InList(20), 20},
  };
  // Sixteen equalities where one value is NULL: NULL never matches inside
  // IN, so they stay one by one and the NULL one becomes IS NULL.
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (int i = 8; i <= 20; ++i) v.push_back("row" + std::to_string(i));
    return v;
  }();
  WhereCase withNull{"sixteen equalities with a NULL value stay one by one", {}, "", 16};
  for (const std::string& n : names) withNull.terms.push_back(TextTerm(kName, kSqlOpEqual, n.c_str(), kSqlOr));
  withNull.terms.push_back(TextTerm(kName, kSqlOpEqual, "abc", kSqlOr));
  withNull.terms.push_back(TextTerm(kName, kSqlOpEqual, "a_b", kSqlOr));
  withNull.terms.push_back(IntTerm(kName, kSqlOpEqual, 0));
  for (const std::string& n : names) withNull.sql += "\"name\" == '" + n + "' OR ";
  withNull.sql += "\"name\" == 'abc' OR \"name\" == 'a_b' OR \"name\" IS NULL";
  cases.push_back(withNull);
  // An open mark on a later term keeps the list one by one.
  WhereCase grouped{"sixteen equalities with a group stay one by one", OrEqualities(16), "", 16};
  grouped.terms[3].openParen = 1;
  grouped.terms[4].connector = kSqlCloseOr;
  grouped.sql = OneByOne(3) + " OR (\"id\" == 4 OR \"id\" == 5) OR ";
  for (int i = 6; i <= 16; ++i) grouped.sql += (i > 6 ? " OR " : "") + std::string("\"id\" == ") + std::to_string(i);
  cases.push_back(grouped);
  return cases;
}

TEST_F(SqlTest, ConditionsAreWrittenAsTheTableSaysAndRunOnSqlite) {
  MakeItems();
  for (const WhereCase& c : WhereCases()) {
    SCOPED_TRACE(c.name);
    const std::string sql = Compose([&](SqlText* t) {
      SqlAppendWhere(t, kItems, c.terms.data(), static_cast<uint32_t>(c.terms.size()), nullptr);
    });
    EXPECT_EQ(sql, c.sql);
    EXPECT_EQ(CountItems(c.terms), c.rows);
  }
}

TEST_F(SqlTest, PatternsBuiltFromEscapedLiteralParts) {
  MakeItems();
  WCHAR* part = SqlLikeEscapeDup(u"0%_\\ \u4E2D");
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(std::u16string(part), u"0\\%\\_\\\\ \u4E2D");
  LocalFree(part);
  EXPECT_EQ(SqlLikeEscapeDup(nullptr), nullptr);

  // A word anywhere, then a typed "%" as itself.
  WCHAR* literal = SqlLikeEscapeDup(u"0% o");
  const std::u16string pattern = u"_" + std::u16string(literal) + u"%";
  LocalFree(literal);
  const std::vector<SqlTerm> terms = {WideTerm(kName, kSqlOpLikeEscaped, pattern.c_str())};
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendWhere(t, kItems, terms.data(), 1, nullptr); }),
            "\"name\" LIKE '_0\\% o%' ESCAPE '\\'");
  EXPECT_EQ(CountItems(terms), 1);
}

TEST_F(SqlTest, QualifiedColumnReferences) {
  const SqlTerm terms[] = {TextTerm(kName, kSqlOpEqual, "abc", kSqlOr), IntTerm(kId, kSqlOpGreater, 3)};
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendWhere(t, kItems, terms, 2, "items"); }),
            "items.name == 'abc' OR items.id > 3");
}

TEST_F(SqlTest, ValuesByColumnType) {
  struct ValueCase {
    const char* name;
    uint32_t type;
    SqlTerm term;
    const char* sql;
  };
  const int32_t one[] = {42};
  SqlTerm list = IntTerm(kId, kSqlOpEqual, 0);
  list.list = one;
  list.listCount = 1;
  const ValueCase cases[] = {
      {"TEXT 0", kSqlText, IntTerm(kName, 0, 0), "NULL"},
      {"TEXT 5", kSqlText, IntTerm(kName, 0, 5), "'5'"},
      {"TEXT -5 contains", kSqlText, IntTerm(kName, kSqlOpContains, -5), "'%-5%'"},
      {"TEXT 5 ends", kSqlText, IntTerm(kName, kSqlOpEnds, 5), "'%5'"},
      {"INTEGER 0", kSqlInteger, IntTerm(kId, 0, 0), "0"},
      {"INTEGER negative", kSqlInteger, IntTerm(kId, 0, -2147483647 - 1), "-2147483648"},
      {"REAL integer", kSqlReal, IntTerm(kScore, 0, 12), "12"},
      {"BLOB integer", kSqlBlob, IntTerm(kData, 0, 9), "9"},
      {"other type is BLOB", 77, IntTerm(kData, 0, 9), "9"},
      {"null mark wins over a text", kSqlText, WithNull(TextTerm(kName, 0, "x")), "NULL"},
      {"one-item list", kSqlInteger, list, "(42)"},
      {"UTF-8 text", kSqlInteger, TextTerm(-1, 0, "a'b''c"), "'a''b''''c'"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendValue(t, c.type, &c.term); }), c.sql);
  }
}

TEST_F(SqlTest, ConnectorsTrackTheDepth) {
  struct ConnectorCase {
    uint32_t connector;
    const char* sql;
    int depth;
  };
  const ConnectorCase cases[] = {{kSqlAnd, " AND ", 1},       {kSqlOr, " OR ", 1},          {kSqlAndOpen, " AND (", 2},
                                 {kSqlOrOpen, " OR (", 2},    {kSqlCloseAnd, ") AND ", 0},  {kSqlCloseOr, ") OR ", 0},
                                 {6, "", 1}};
  for (const ConnectorCase& c : cases) {
    int depth = -1;
    EXPECT_EQ(Compose([&](SqlText* t) { depth = SqlAppendConnector(t, c.connector, 1); }), c.sql) << c.connector;
    EXPECT_EQ(depth, c.depth) << c.connector;
  }
}

TEST_F(SqlTest, ScratchBlockIsLentToOneTextAndCutBack) {
  SqlText a;
  SqlTextBegin(db, &a);
  EXPECT_EQ(a.borrowed, 1);
  EXPECT_EQ(a.capacity, kSqlScratchStart);
  EXPECT_GE(engine_lock::Depth(), 1u);  // the statement is composed under the engine lock
  // A second statement while the first is composed gets a block of its own.
  SqlText b;
  SqlTextBegin(db, &b);
  EXPECT_EQ(b.borrowed, 0);
  EXPECT_NE(b.handle, a.handle);
  SqlTextAppend(&b, "SELECT 1");
  SqlTextEnd(db, &b);
  // Growing past 512 bytes: the block comes back cut to 512.
  const std::string big(2000, 'x');
  SqlTextAppend(&a, big.c_str());
  EXPECT_EQ(std::string(a.data, a.length), big);
  EXPECT_GE(a.capacity, 2000u);
  SqlTextEnd(db, &a);
  EXPECT_EQ(engine_lock::Depth(), 0u);
  EXPECT_EQ(db->scratchInUse, 0);
  EXPECT_EQ(db->scratchCapacity, kSqlScratchKeep);
  EXPECT_GE(GetMemHandleSize(db->scratch), kSqlScratchKeep + 1);
  SqlText c;
  SqlTextBegin(db, &c);
  EXPECT_EQ(c.borrowed, 1);
  EXPECT_EQ(c.capacity, kSqlScratchKeep);
  SqlTextEnd(db, &c);
}

TEST_F(SqlTest, QuotedTextLargerThanTheScratchBlockSurvives) {
  // Many quotes: the doubled ones need room of their own.
  std::string value;
  for (int i = 0; i < 300; ++i) value += i % 3 ? "'" : "a'";
  std::string doubled;
  for (char c : value) doubled += c == '\'' ? "''" : std::string(1, c);
  EXPECT_EQ(Compose([&](SqlText* t) { SqlTextAppendQuoted(t, value.c_str()); }), doubled);
  const std::u16string wide(200, u'\'');
  SqlTerm w = WideTerm(kName, kSqlOpEqual, wide.c_str());
  EXPECT_EQ(Compose([&](SqlText* t) { SqlAppendValue(t, kSqlText, &w); }), "'" + std::string(400, '\'') + "'");

  MakeItems();
  SqlTerm terms[2] = {IntTerm(kId, 0, 100), TextTerm(kName, 0, value.c_str())};
  ASSERT_EQ(SqlInsert(db, "items", kItems, terms, 2, nullptr, 0), SQLITE_OK);
  SqlTerm sel = IntTerm(kName, 0, 0);
  SqlQuery q{};
  q.table = "items";
  q.columns = kItems;
  q.where = &terms[0];
  q.whereCount = 1;
  q.select = &sel;
  q.selectCount = 1;
  EXPECT_EQ(Column0(SqlPrepareSelect(db, &q)), std::vector<std::string>{value});
}

TEST_F(SqlTest, TextThatCannotGrowIsNotRun) {
  MakeItems();
  const std::string big(5000, 'y');
  SqlTerm terms[2] = {IntTerm(kId, 0, 100), TextTerm(kName, 0, big.c_str())};
  SetLocalHeapFailure(1, 1000);
  const int rc = SqlInsert(db, "items", kItems, terms, 2, nullptr, 0);
  ClearLocalHeapFailure();
  EXPECT_EQ(rc, SQLITE_NOMEM);
  EXPECT_EQ(CountItems({IntTerm(kId, 0, 100)}), 0);
  EXPECT_EQ(db->scratchInUse, 0);
  EXPECT_EQ(engine_lock::Depth(), 0u);
}

TEST_F(SqlTest, TextOutsideTheBasicPlaneRoundTrips) {
  MakeItems();
  // U+20000 and U+2A6D6 (Extension B) around a BMP character.
  const std::u16string word = u"\U00020000\u4E2D\U0002A6D6";
  SqlTerm terms[2] = {IntTerm(kId, 0, 100), WideTerm(kName, 0, word.c_str())};
  ASSERT_EQ(SqlInsert(db, "items", kItems, terms, 2, nullptr, 0), SQLITE_OK);
  SqlTerm sel = IntTerm(kName, 0, 0);
  SqlQuery q{};
  q.table = "items";
  q.columns = kItems;
  q.where = &terms[1];  // found by its own text
  q.whereCount = 1;
  q.select = &sel;
  q.selectCount = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
  ASSERT_NE(stmt, nullptr);
  ASSERT_TRUE(SqlIsRow(SqlStep(stmt)));
  // Stored as real 4-byte UTF-8, so other readers see the characters.
  EXPECT_STREQ(SqlColumnText(stmt, 0), "\xF0\xA0\x80\x80\xE4\xB8\xAD\xF0\xAA\x9B\x96");
  EXPECT_EQ(std::u16string(SqlColumnText16(stmt, 0)), word);
  EXPECT_FALSE(SqlIsRow(SqlStep(stmt)));
  SqlFinalize(stmt);
  // A search for the supplementary character alone finds it.
  EXPECT_EQ(CountItems({WideTerm(kName, kSqlOpBegins, u"\U00020000")}), 1);
}

}  // namespace
