// Table groups: one per data file with a table of type 0x2000.
#include "engine/table_groups.h"

#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/table_groups.h"

namespace res_test {
namespace {

db::GroupTableSpec Group(uint32_t type, uint32_t version = 1, uint32_t word4 = 0) {
  db::GroupTableSpec g;
  g.type = type;
  g.version = version;
  if (word4) g.infoWords = {0, 0, 0, 0, word4};
  return g;
}

// A file of one group as the writer lays it out, with tables of other
// types before and after it.
db::DataFileSpec File(const std::vector<db::GroupTableSpec>& group, bool neighbours = false) {
  db::DataFileSpec f;
  f.shortName = u"Reference";
  std::string error;
  if (neighbours) f.tables.push_back(KeyedTable(0x1FFF, {Row(1, Units(u"x"))}));
  EXPECT_EQ(db::AddTableGroup(group, &f, &error), 0) << error;
  if (neighbours) f.tables.push_back(KeyedTable(0x2021, {Row(1, Units(u"x"))}));
  return f;
}

// Group tables the writer would not group: a file without a usable 0x2000
// table.
db::DataFileSpec UngroupedFile(const std::vector<db::GroupTableSpec>& tables) {
  db::DataFileSpec f;
  std::string error;
  for (const db::GroupTableSpec& g : tables) {
    db::TableSpec t;
    EXPECT_EQ(db::MakeGroupTable(g, &t, &error), 0) << error;
    f.tables.push_back(t);
  }
  EXPECT_NE(db::AddTableGroup(tables, &f, &error), 0);
  return f;
}

using TableGroupsTest = ResourcesTest;

TEST_F(TableGroupsTest, OneGroupPerFileWithItsMainTable) {
  // Kept: 0x2010, 0x2000 and 0x2020; the version-2 table and the types
  // outside the range are left out; the second 0x2000 is only a member.
  ASSERT_TRUE(Add(File({Group(0x2010), Group(0x2000, 1, 0xABCD), Group(0x2005, 2), Group(0x2020),
                        Group(0x2000, 1, 0x1234)},
                       true)));
  ASSERT_TRUE(Add(UngroupedFile({Group(0x2010), Group(0x2020)})));     // no 0x2000 table
  ASSERT_TRUE(Add(UngroupedFile({Group(0x2000, 2), Group(0x2010)})));  // its 0x2000 is version 2
  ASSERT_TRUE(Add(File({Group(0x2000, 1, 77)})));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetTableGroupCount(engine_), 2u);

  const TableGroup* g = GetTableGroup(engine_, 0);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->valid, 1);
  ASSERT_EQ(g->count, 4u);
  EXPECT_EQ(std::vector<uint32_t>(g->types, g->types + g->count),
            (std::vector<uint32_t>{0x2010, 0x2000, 0x2020, 0x2000}));
  EXPECT_EQ(g->mainPosition, 1);
  EXPECT_EQ(g->secondPosition, 0);
  EXPECT_EQ(g->infoWord4, 0xABCDu);
  EXPECT_EQ(g->infoSize, 20u);
  EXPECT_EQ(g->writeStamp, GetTableProperty(GetTableByIndex(engine_->readers[0], 2), 6));
  for (uint32_t i = 0; i < g->count; ++i) EXPECT_NE(g->cursors[i], nullptr);

  g = GetTableGroup(engine_, 1);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->count, 1u);
  EXPECT_EQ(g->mainPosition, 0);
  EXPECT_EQ(g->secondPosition, -1);
  EXPECT_EQ(g->infoWord4, 77u);
  EXPECT_EQ(GetTableGroup(engine_, 2), nullptr);
}

TEST_F(TableGroupsTest, AtMost31TablesAGroup) {
  // More than the writer puts in one file.
  std::vector<db::GroupTableSpec> tables;
  for (uint32_t type = 0x2000; type <= 0x2020; ++type) tables.push_back(Group(type));
  db::DataFileSpec f = File({tables.begin(), tables.begin() + 31});
  db::DataFileSpec more = File({tables[0], tables[31], tables[32]});
  f.tables.push_back(more.tables[1]);
  f.tables.push_back(more.tables[2]);
  ASSERT_TRUE(Add(f));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetTableGroupCount(engine_), 1u);
  const TableGroup* g = GetTableGroup(engine_, 0);
  EXPECT_EQ(g->count, kMaxTableGroupTables);
  EXPECT_EQ(g->types[30], 0x201Eu);
  EXPECT_EQ(g->secondPosition, 0x10);
}

}  // namespace
}  // namespace res_test
