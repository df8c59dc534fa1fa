// Table groups: one per data file with a table of type 0x2000.
#include "engine/table_groups.h"

#include "tests/engine_resources/resources_fixture.h"

namespace res_test {
namespace {

db::TableSpec GroupTable(uint32_t type, uint32_t version = 1, uint32_t word4 = 0) {
  db::TableSpec t = KeyedTable(type, {Row(1, Units(u"x"))});
  t.version = version;
  if (word4) SetLe32(t.info, 16, word4);
  return t;
}

db::DataFileSpec File(std::vector<db::TableSpec> tables) {
  db::DataFileSpec f;
  f.shortName = u"Reference";
  f.tables = std::move(tables);
  return f;
}

using TableGroupsTest = ResourcesTest;

TEST_F(TableGroupsTest, OneGroupPerFileWithItsMainTable) {
  // Kept: 0x2010, 0x2000 and 0x2020; the version-2 table and the types
  // outside the range are left out; the second 0x2000 is only a member.
  ASSERT_TRUE(Add(File({GroupTable(0x1FFF), GroupTable(0x2010), GroupTable(0x2000, 1, 0xABCD),
                        GroupTable(0x2005, 2), GroupTable(0x2020), GroupTable(0x2000, 1, 0x1234),
                        GroupTable(0x2021)})));
  ASSERT_TRUE(Add(File({GroupTable(0x2010), GroupTable(0x2020)})));        // no 0x2000 table
  ASSERT_TRUE(Add(File({GroupTable(0x2000, 2), GroupTable(0x2010)})));     // its 0x2000 is version 2
  ASSERT_TRUE(Add(File({GroupTable(0x2000, 1, 77)})));
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
  std::vector<db::TableSpec> tables;
  for (uint32_t type = 0x2000; type <= 0x2020; ++type) tables.push_back(GroupTable(type));
  ASSERT_TRUE(Add(File(tables)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetTableGroupCount(engine_), 1u);
  const TableGroup* g = GetTableGroup(engine_, 0);
  EXPECT_EQ(g->count, kMaxTableGroupTables);
  EXPECT_EQ(g->types[30], 0x201Eu);
  EXPECT_EQ(g->secondPosition, 0x10);
}

}  // namespace
}  // namespace res_test
