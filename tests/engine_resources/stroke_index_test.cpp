// The stroke-data index: which index is kept, and records scaled from the
// design size to a box.
#include "engine/stroke_index.h"

#include <vector>

#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/stroke_tables.h"
#include "tools/databuild/table_rules.h"

namespace res_test {
namespace {

db::ByteVec Items(const std::vector<uint16_t>& items) {
  db::ByteVec b;
  for (uint16_t v : items) PutLe16(b, v);
  return b;
}

// Table 0 is the index; each record's first item tells the version apart.
// A usable index is written by the writer; the faulty ones are patched
// afterwards.
db::DataFileSpec StrokeFile(uint32_t version, uint32_t width = 192, uint32_t height = 384, uint32_t format = 1) {
  db::StrokeIndexSpec desc;
  desc.version = version;
  desc.designWidth = 192;
  desc.designHeight = 384;
  desc.records = {{0x4E00, {96, 384, 65535, 65535, 191, 383, 100, 7}},
                  {0x4E01, {static_cast<uint16_t>(version), 0}},
                  {0x4E8C, {65534, 1}}};
  desc.maxBlockRows = 2;
  db::DataFileSpec f;
  f.shortName = u"Strokes";
  f.tables.push_back(KeyedTable(0x9011, {Row(1, Items({1}))}));
  std::string error;
  EXPECT_EQ(db::AddStrokeIndexTable(desc, &f, &error), 0) << error;
  EXPECT_EQ(db::CheckDataFileRules(f, &error), 0) << error;
  SetLe32(f.tables[0].info, 4, format);
  SetLe32(f.tables[0].info, 8, width);
  SetLe32(f.tables[0].info, 12, height);
  return f;
}

std::vector<uint16_t> Record(DictEngine* engine) {
  uint32_t n = 0;
  const uint16_t* p = GetAuxIndexRecord(engine, &n);
  return p ? std::vector<uint16_t>(p, p + n) : std::vector<uint16_t>{};
}

using StrokeIndexTest = ResourcesTest;

TEST_F(StrokeIndexTest, RecordScaledToABox) {
  ASSERT_TRUE(Add(StrokeFile(1)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(IsAuxIndexPresent(engine_), 1);
  EXPECT_EQ(IsCodeMissingFromAuxIndex(engine_, 0x4E00), 0);
  EXPECT_EQ(IsCodeMissingFromAuxIndex(engine_, 0x4E02), 1);

  // Design 192 × 384 into 96 × 96: x halved, y quartered, truncating;
  // separators keep their place and count for the parity.
  ASSERT_EQ(LoadAuxIndexRecord(engine_, 0x4E00, 96, 96), 0);
  EXPECT_EQ(Record(engine_), (std::vector<uint16_t>{48, 96, 65535, 65535, 95, 95, 50, 1}));
  // Into a box larger than the design no item reaches the separator.
  ASSERT_EQ(LoadAuxIndexRecord(engine_, 0x4E8C, 384, 384), 0);
  EXPECT_EQ(Record(engine_), (std::vector<uint16_t>{65534, 1}));
  ASSERT_EQ(LoadAuxIndexRecord(engine_, 0x4E00, 192, 384), 0);
  EXPECT_EQ(Record(engine_), (std::vector<uint16_t>{96, 384, 65535, 65535, 191, 383, 100, 7}));

  // A code without a record loads nothing.
  EXPECT_EQ(LoadAuxIndexRecord(engine_, 0x4E02, 96, 96), 1);
  EXPECT_EQ(Record(engine_).size(), 8u);
}

TEST_F(StrokeIndexTest, TheHighestVersionWins) {
  ASSERT_TRUE(Add(StrokeFile(2)));
  ASSERT_TRUE(Add(StrokeFile(5)));
  ASSERT_TRUE(Add(StrokeFile(3)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(LoadAuxIndexRecord(engine_, 0x4E01, 192, 384), 0);
  EXPECT_EQ(Record(engine_), (std::vector<uint16_t>{5, 0}));
}

TEST_F(StrokeIndexTest, UnusableIndexesAreRefused) {
  struct Case {
    const char* name;
    db::DataFileSpec file;
  } cases[] = {
      {"design width 0", StrokeFile(9, 0, 384)},
      {"design height 0", StrokeFile(9, 192, 0)},
      {"format other than 1", StrokeFile(9, 192, 384, 2)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Add(c.file));
  }
  // Not table 0 of its file.
  db::DataFileSpec late = StrokeFile(9);
  std::swap(late.tables[0], late.tables[1]);
  ASSERT_TRUE(Add(late));
  ASSERT_TRUE(Add(StrokeFile(1)));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(IsAuxIndexPresent(engine_), 1);
  ASSERT_EQ(LoadAuxIndexRecord(engine_, 0x4E01, 192, 384), 0);
  EXPECT_EQ(Record(engine_), (std::vector<uint16_t>{1, 0}));  // the version-1 file
}

TEST_F(StrokeIndexTest, AbsentWithoutIndex) {
  ASSERT_TRUE(Add(DictFile(1, 1, 0, {u"\u4E00"})));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_EQ(IsAuxIndexPresent(engine_), 0);
  EXPECT_EQ(IsCodeMissingFromAuxIndex(engine_, 0x4E00), 1);
  EXPECT_EQ(LoadAuxIndexRecord(engine_, 0x4E00, 96, 96), 1);
  uint32_t n = 5;
  EXPECT_EQ(GetAuxIndexRecord(engine_, &n), nullptr);
  EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace res_test
