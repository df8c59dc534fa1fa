// Resource tables whose counts do not fit their records: what does not fit
// reads as absent, never past the record.
#include <string>

#include "engine/audio_index.h"
#include "engine/radical_table.h"
#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/audio_tables.h"

namespace res_test {
namespace {

using MalformedResourcesTest = ResourcesTest;

TEST_F(MalformedResourcesTest, RadicalCountsBeyondTheirRecords) {
  // Radical 5 claims 30 section starts in a record of three units; the
  // radical list claims 100 values in six bytes.
  db::ByteVec shortRecord;
  for (uint16_t v : {30, 0, 0x4E00}) PutLe16(shortRecord, v);
  db::ByteVec good;
  for (uint16_t v : {1, 0, 0x4E00, 0x4E01}) PutLe16(good, v);
  db::TableSpec t = KeyedTable(kRadicalTableType, {Row(5, shortRecord), Row(6, good)});
  t.info.assign(16, 0);
  db::ByteVec list;
  for (uint16_t v : {100, 1, 2}) PutLe16(list, v);
  t.subtables.push_back(list);
  db::DataFileSpec f;
  f.tables = {t};
  ASSERT_TRUE(Add(f));
  ASSERT_EQ(LoadDataResources(engine_), 0);

  ASSERT_EQ(BuildRadicalCharList(engine_, 6, 0, 1, 0), 0);
  uint32_t n = 0;
  GetRadicalListData(engine_, 0, &n);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(BuildRadicalCharList(engine_, 5, 0, 1, 0), 1);
  EXPECT_NE(GetRadicalListData(engine_, 0, &n), nullptr);
  EXPECT_EQ(n, 0u);
  uint16_t numbers[kMaxRadicalSections];
  EXPECT_EQ(GetRadicalSections(engine_, 0, numbers, &n), 0);
  EXPECT_EQ(n, 0u);

  EXPECT_EQ(GetRadicalListData(engine_, 1, &n), nullptr);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(GetRadicalSections(engine_, 1, numbers, &n), 0);
  EXPECT_EQ(n, 0u);
}

// An index of one 19-unit key and one 20-unit key (which the writer would
// refuse): the reader's 42-byte read holds only 19 units of a key.
db::DataFileSpec LongKeyFile(uint32_t descriptors) {
  std::u16string key19, key20;
  for (int i = 0; i < 19; ++i) key19.push_back(Syl("ma", 1 + i % 4));
  key20 = key19;
  key20[0] = Syl("ba", 1);
  key20.push_back(Syl("ma", 1));
  db::SyllableIndexSpec index;
  index.clipTables = {1};
  index.keys = {{key19, 0, 0, 1}, {std::u16string(1, Syl("ba", 1)), 0, 0, 2}};
  db::DataFileSpec f;
  std::string error;
  EXPECT_EQ(db::AddSyllableIndexTable(index, &f, &error), 0) << error;
  db::ClipTableSpec clips;
  clips.clips = {Ascii("-"), Ascii("nineteen"), Ascii("ba1"), Ascii("twenty")};
  EXPECT_EQ(db::AddClipTable(clips, &f, &error), 0) << error;
  // The long key goes in behind the writer's back, in its sorted place.
  db::ColumnSpec& c = f.tables[0].columns[0];
  db::ByteVec record;
  PutLe16(record, 0);
  PutLe16(record, 3);
  db::ByteVec text = Units(key20);
  record.insert(record.end(), text.begin(), text.end());
  c.rows.push_back(Row(0, record));
  db::SortRowsByText(c, 7, false, 2);
  // Claim more clip lists than the info area describes.
  SetLe16(f.tables[0].info, 4, descriptors);
  return f;
}

TEST_F(MalformedResourcesTest, KeyTextsStopAtNineteenUnits) {
  ASSERT_TRUE(Add(LongKeyFile(1)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(GetSyllableIndexGroupCount(engine_), 1u);
  std::u16string key19;
  for (int i = 0; i < 19; ++i) key19.push_back(Syl("ma", 1 + i % 4));
  std::u16string key20 = key19;
  key20[0] = Syl("ba", 1);
  key20.push_back(Syl("ma", 1));

  MemHandle* h = NewMemHandle(8);
  uint32_t size = 0;
  ASSERT_EQ(LookupSyllableClip(engine_, 0, key19.c_str(), nullptr, h, &size), kClipFound);
  EXPECT_EQ(std::string(static_cast<const char*>(h->data), size), "nineteen");
  // The 20-unit key is cut to 19 units in the read, so it never matches.
  EXPECT_EQ(LookupSyllableClip(engine_, 0, key20.c_str(), nullptr, h, &size), kClipNoRecord);
  FreeMemHandle(h);
}

TEST_F(MalformedResourcesTest, IndexWithMoreListsThanDescriptorsIsRefused) {
  ASSERT_TRUE(Add(LongKeyFile(2)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_EQ(GetSyllableIndexGroupCount(engine_), 0u);
}

}  // namespace
}  // namespace res_test
