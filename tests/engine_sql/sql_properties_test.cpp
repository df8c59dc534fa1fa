#include "engine/sql_properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/heap.h"
#include "tests/engine_sql/sql_fixture.h"

namespace {

constexpr char kProps[] = "sorvi_dict_properties";
// Sorted differently from "propid" order on purpose; "Extra" has no entry
// in the lists below (they hold the first six names).
const char* const kNames[] = {"FormatString", "FormatVersion", "DictName", "Zero", "Negative", "Unset", "Extra"};
enum { kFormatString, kFormatVersion, kDictName, kZero, kNegative, kUnset };

std::u16string TextOf(const SqlPropertyList* list, int entry) {
  const SqlPropertyEntry& e = list->entries[entry];
  return e.isText && e.text ? std::u16string(e.text) : u"<not text>";
}

class SqlPropertyTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    ASSERT_EQ(SqlCreatePropertyTable(db, kProps), SQLITE_OK);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0],
              "CREATE TABLE 'sorvi_dict_properties' (\"propset\" INTEGER, \"propid\" TEXT, \"propvalue\" TEXT, "
              "\"propisstring\" INTEGER, UNIQUE (\"propset\", \"propid\") )");
    trace.clear();
    list = SqlNewPropertyList(6, kNames, 7);
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override {
    SqlFreePropertyList(list);
    SqlTest::TearDown();
  }

  void FillList() {
    ASSERT_EQ(SqlSetPropertyText(list, kFormatString, u"Sorvi SQL Dictionary Database"), 0);
    ASSERT_EQ(SqlSetPropertyInt(list, kFormatVersion, 8), 0);
    ASSERT_EQ(SqlSetPropertyText(list, kDictName, u"it's \U00020000\u4E2D"), 0);
    ASSERT_EQ(SqlSetPropertyInt(list, kZero, 0), 0);
    ASSERT_EQ(SqlSetPropertyInt(list, kNegative, -42), 0);
  }

  int64_t Rows(const std::vector<SqlTerm>& where) { return CountItemsIn(kProps, where, kSqlPropertyColumns); }

  SqlPropertyList* list = nullptr;
};

TEST_F(SqlPropertyTest, APropertySetRoundTrips) {
  FillList();
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_OK);
  EXPECT_EQ(trace.front(), "BEGIN");
  EXPECT_EQ(trace[1],
            "INSERT OR REPLACE INTO sorvi_dict_properties (\"propset\", \"propid\", \"propvalue\", \"propisstring\") "
            "VALUES (1, 'FormatString', 'Sorvi SQL Dictionary Database', 1)");
  EXPECT_EQ(trace[2],
            "INSERT OR REPLACE INTO sorvi_dict_properties (\"propset\", \"propid\", \"propvalue\", \"propisstring\") "
            "VALUES (1, 'FormatVersion', '8', 0)");
  EXPECT_EQ(trace.back(), "COMMIT");
  EXPECT_EQ(trace.size(), 7u);  // the unset entry is not written
  // 0 is stored as NULL.
  EXPECT_EQ(Rows({TextTerm(1, kSqlOpEqual, "Zero", kSqlAnd), IntTerm(2, kSqlOpEqual, 0)}), 1);
  // Another set in the same table stays apart; a row no entry names and a
  // row named in the table but without an entry are passed over.
  SqlPropertyList* other = SqlNewPropertyList(6, kNames, 7);
  ASSERT_EQ(SqlSetPropertyInt(other, kFormatVersion, 99), 0);
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 2, other), SQLITE_OK);
  SqlFreePropertyList(other);
  SqlTerm stranger[4] = {IntTerm(0, 0, 1), TextTerm(1, 0, "Stranger"), TextTerm(2, 0, "?"), IntTerm(3, 0, 1)};
  ASSERT_EQ(SqlInsert(db, kProps, kSqlPropertyColumns, stranger, 4, nullptr, 0), SQLITE_OK);
  stranger[1].text = "Extra";  // sorts before "FormatString"
  ASSERT_EQ(SqlInsert(db, kProps, kSqlPropertyColumns, stranger, 4, nullptr, 0), SQLITE_OK);

  SqlPropertyList* loaded = SqlNewPropertyList(6, kNames, 7);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(SqlLoadPropertySet(db, kProps, 1, loaded), SQLITE_OK);
  EXPECT_EQ(TextOf(loaded, kFormatString), u"Sorvi SQL Dictionary Database");
  EXPECT_EQ(TextOf(loaded, kDictName), u"it's \U00020000\u4E2D");
  EXPECT_EQ(loaded->entries[kFormatVersion].value, 8);
  EXPECT_EQ(loaded->entries[kFormatVersion].isText, 0);
  EXPECT_EQ(loaded->entries[kZero].value, 0);
  EXPECT_EQ(loaded->entries[kZero].hasValue, 1);
  EXPECT_EQ(loaded->entries[kNegative].value, -42);
  EXPECT_EQ(loaded->entries[kUnset].hasValue, 0);
  for (uint32_t i = 0; i < loaded->count; ++i) EXPECT_EQ(loaded->entries[i].nameIndex, i);

  // Loading again replaces texts without leaking them; another set loads
  // its own values.
  const SIZE_T blocks = GetLocalHeapBlockCount();
  ASSERT_EQ(SqlLoadPropertySet(db, kProps, 1, loaded), SQLITE_OK);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
  ASSERT_EQ(SqlLoadPropertySet(db, kProps, 2, loaded), SQLITE_OK);
  EXPECT_EQ(loaded->entries[kFormatVersion].value, 99);
  SqlFreePropertyList(loaded);

  // A text that becomes a number.
  ASSERT_EQ(SqlSetPropertyInt(list, kDictName, 5), 0);
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_OK);
  SqlPropertyList* reloaded = SqlNewPropertyList(6, kNames, 7);
  ASSERT_EQ(SqlLoadPropertySet(db, kProps, 1, reloaded), SQLITE_OK);
  EXPECT_EQ(reloaded->entries[kDictName].isText, 0);
  EXPECT_EQ(reloaded->entries[kDictName].value, 5);
  SqlFreePropertyList(reloaded);
}

TEST_F(SqlPropertyTest, SavingNothingRunsOnlyTheTransaction) {
  ASSERT_EQ(SqlSetPropertyInt(list, kFormatVersion, 8), 0);
  list->entries[kFormatVersion].changed = 0;  // has a value, not changed
  list->entries[kZero].changed = 1;           // changed, no value
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_OK);
  EXPECT_EQ(trace, (std::vector<std::string>{"BEGIN", "COMMIT"}));
}

TEST_F(SqlPropertyTest, AFailedInsertRollsTheWholeSaveBack) {
  // Each insert is checked: the second one fails, the first is undone.
  ASSERT_EQ(SqlExecRaw(db,
                       "CREATE TRIGGER refuse BEFORE INSERT ON sorvi_dict_properties WHEN NEW.propid = 'DictName' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
            SQLITE_OK);
  FillList();
  EXPECT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_CONSTRAINT);
  EXPECT_EQ(SqlTransactionDepth(db), 0u);
  EXPECT_EQ(Rows({}), 0);

  // Inside a caller's transaction the caller's change goes too.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  SqlTerm row[4] = {IntTerm(0, 0, 7), TextTerm(1, 0, "Caller"), IntTerm(2, 0, 1), IntTerm(3, 0, 0)};
  ASSERT_EQ(SqlInsert(db, kProps, kSqlPropertyColumns, row, 4, nullptr, 0), SQLITE_OK);
  EXPECT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_CONSTRAINT);
  EXPECT_EQ(SqlCommit(db), SQLITE_ABORT);
  EXPECT_EQ(Rows({}), 0);
}

TEST_F(SqlPropertyTest, AFailedCommitIsReported) {
  FillList();
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(HostPath().c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM sorvi_dict_properties;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_BUSY);
  EXPECT_EQ(SqlTransactionDepth(db), 0u);
  sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  EXPECT_EQ(Rows({}), 0);
  // Once the reader is gone the same save goes through.
  EXPECT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_OK);
  EXPECT_EQ(Rows({}), 5);
}

TEST_F(SqlPropertyTest, DeleteAndUpdate) {
  FillList();
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 1, list), SQLITE_OK);
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 2, list), SQLITE_OK);
  ASSERT_EQ(SqlDeletePropertySet(db, kProps, 1), SQLITE_OK);
  EXPECT_EQ(trace.back(), "DELETE FROM sorvi_dict_properties WHERE \"propset\" == 1");
  EXPECT_EQ(Rows({}), 5);

  // Re-pointing a value in every set: 8 -> 9 in "FormatVersion" only.
  ASSERT_EQ(SqlSavePropertySet(db, kProps, 3, list), SQLITE_OK);
  ASSERT_EQ(SqlUpdateProperty(db, kProps, "FormatVersion", 8, 9), SQLITE_OK);
  EXPECT_EQ(trace.back(),
            "UPDATE sorvi_dict_properties SET \"propvalue\" = '9' WHERE \"propid\" == 'FormatVersion' AND "
            "\"propvalue\" == '8'");
  EXPECT_EQ(Rows({TextTerm(1, 0, "FormatVersion", kSqlAnd), IntTerm(2, 0, 9)}), 2);
  // An old value of 0 was saved as NULL and is found with IS NULL.
  ASSERT_EQ(SqlUpdateProperty(db, kProps, "Zero", 0, 4), SQLITE_OK);
  EXPECT_EQ(trace.back(),
            "UPDATE sorvi_dict_properties SET \"propvalue\" = '4' WHERE \"propid\" == 'Zero' AND \"propvalue\" IS NULL");
  SqlPropertyList* loaded = SqlNewPropertyList(6, kNames, 7);
  ASSERT_EQ(SqlLoadPropertySet(db, kProps, 3, loaded), SQLITE_OK);
  EXPECT_EQ(loaded->entries[kZero].value, 4);
  EXPECT_EQ(loaded->entries[kFormatVersion].value, 9);
  SqlFreePropertyList(loaded);
}

TEST_F(SqlPropertyTest, LoadingFromAMissingTableIsAnError) {
  EXPECT_NE(SqlLoadPropertySet(db, "no_such_table", 1, list), SQLITE_OK);
  for (uint32_t i = 0; i < list->count; ++i) EXPECT_EQ(list->entries[i].hasValue, 0);
  EXPECT_EQ(SqlSetPropertyInt(list, 6, 1), 1);  // no such entry
  EXPECT_EQ(SqlSetPropertyText(nullptr, 0, u"x"), 1);
  // Lists free what they own.
  const SIZE_T blocks = GetLocalHeapBlockCount();
  SqlPropertyList* l = SqlNewPropertyList(3, kNames, 3);
  SqlSetPropertyText(l, 0, u"a");
  SqlSetPropertyText(l, 0, u"b");
  SqlSetPropertyText(l, 1, nullptr);
  EXPECT_EQ(TextOf(l, 1), u"");
  SqlFreePropertyList(l);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
}

}  // namespace
