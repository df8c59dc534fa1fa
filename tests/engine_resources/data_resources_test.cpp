// The resources as a whole: rebuilding over the readers, the data-only
// engine, running out of memory, and the credits text.
#include "engine/data_resources.h"

#include <string>
#include <vector>

#include "engine/audio_index.h"
#include "engine/radical_table.h"
#include "engine/stroke_index.h"
#include "engine/table_groups.h"
#include "tests/engine_resources/resources_fixture.h"

namespace res_test {
namespace {

// One file with every resource: the stroke index must be table 0, so the
// audio index comes in a file of its own.
db::DataFileSpec ResourceFile(std::u16string notice = u"") {
  db::TableSpec strokes = KeyedTable(kAuxIndexTableType, {Row(0x4E00, Units(u"\u0010\u0020"))});
  for (uint32_t v : {1u, 1u, 100u, 100u}) PutLe32(strokes.info, v);
  db::TableSpec radicals = KeyedTable(kRadicalTableType, {Row(1, Units(std::u16string{1, 0, 0x4E00}))});
  radicals.info.assign(16, 0);
  db::ByteVec list;
  PutLe16(list, 0);
  radicals.subtables.push_back(list);
  db::TableSpec group = KeyedTable(kTableGroupMainType, {Row(1, Units(u"x"))});
  db::DataFileSpec f;
  f.notice = std::move(notice);
  f.tables = {strokes, radicals, group};
  return f;
}

db::DataFileSpec AudioFile() {
  db::TableSpec index;
  index.type = kSyllableIndexTableType;
  index.flags = db::kTableTextIndex | db::kTableSorted;
  index.indexTextSkip = 2;
  index.info.assign(kClipListDescriptorsAt + kClipListDescriptorSize, 0);
  SetLe32(index.info, 0, 1);
  SetLe16(index.info, 4, 1);
  SetLe32(index.info, 12, 1);
  SetLe32(index.info, 16, kSyllableIndexFormat);
  SetLe16(index.info, kClipListDescriptorsAt, 1);
  db::ColumnSpec c;
  c.unitSize = 2;
  c.rows.push_back(Row(0, Units(u"\u0001\u0001\uE001")));
  index.columns.push_back(c);
  db::TableSpec clips;
  clips.type = kClipTableType;
  SetLe32(clips.info, 0, 1);
  SetLe16(clips.info, 8, 0);
  db::ColumnSpec cc;
  cc.unitSize = 1;
  cc.rows = {Row(0, Ascii("-")), Row(0, Ascii("clip"))};
  clips.columns.push_back(cc);
  db::DataFileSpec f;
  f.tables = {index, clips};
  return f;
}

using DataResourcesTest = ResourcesTest;

TEST_F(DataResourcesTest, EveryResourceLoadsAndRebuildsWithoutLeaks) {
  ASSERT_TRUE(Add(ResourceFile()));
  ASSERT_TRUE(Add(AudioFile()));
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_NE(GetRadicalTable(engine_), nullptr);
  EXPECT_EQ(IsAuxIndexPresent(engine_), 1);
  EXPECT_EQ(GetTableGroupCount(engine_), 1u);
  EXPECT_EQ(GetSyllableIndexGroupCount(engine_), 1u);
  EXPECT_EQ(IsSyllableIndexGroupComplete(engine_, 0), 1);
  ASSERT_EQ(BuildRadicalCharList(engine_, 1, 0, 1, 0), 0);
  ASSERT_EQ(LoadAuxIndexRecord(engine_, 0x4E00, 200, 200), 0);

  // Rebuilding (as when dictionaries are added) replaces every resource.
  const SIZE_T before = GetLocalHeapBlockCount();
  ASSERT_EQ(LoadDataResources(engine_), 0);
  ASSERT_EQ(BuildRadicalCharList(engine_, 1, 0, 1, 0), 0);
  EXPECT_EQ(GetLocalHeapBlockCount(), before);
  EXPECT_EQ(GetTableGroupCount(engine_), 1u);
  EXPECT_EQ(GetSyllableIndexGroupCount(engine_), 1u);
  uint32_t n = 0;
  EXPECT_EQ(GetAuxIndexRecord(engine_, &n) != nullptr, true);
  EXPECT_EQ(n, 0u);  // nothing loaded in the new index yet

  // Freeing gives back everything the resources held.
  FreeDataResources(engine_);
  EXPECT_EQ(engine_->resources, nullptr);
  ASSERT_EQ(LoadDataResources(engine_), 0);
  const SIZE_T loaded = GetLocalHeapBlockCount();
  FreeDataResources(engine_);
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_EQ(GetLocalHeapBlockCount(), loaded);
}

TEST_F(DataResourcesTest, DataOnlyEngineLoadsOnlyTheSyllableGroups) {
  ASSERT_TRUE(Add(ResourceFile()));
  ASSERT_TRUE(Add(AudioFile()));
  engine_->dataOnly = 1;
  ASSERT_EQ(LoadDataResources(engine_), 0);
  EXPECT_EQ(GetSyllableIndexGroupCount(engine_), 1u);
  EXPECT_EQ(GetRadicalTable(engine_), nullptr);
  EXPECT_EQ(IsAuxIndexPresent(engine_), 0);
  EXPECT_EQ(GetTableGroupCount(engine_), 0u);
}

TEST_F(DataResourcesTest, RunningOutOfMemoryLeavesResourcesAbsentOrPartial) {
  ASSERT_TRUE(Add(ResourceFile()));
  ASSERT_TRUE(Add(AudioFile()));
  // Warm the readers' lazily loaded parts so that only the resources allocate.
  ASSERT_EQ(LoadDataResources(engine_), 0);
  FreeDataResources(engine_);
  const SIZE_T base = GetLocalHeapBlockCount();

  SetLocalHeapFailure(1, 1);
  EXPECT_EQ(LoadDataResources(engine_), 1);
  ClearLocalHeapFailure();
  EXPECT_EQ(engine_->resources, nullptr);
  for (DWORD nth = 2; nth < 40; ++nth) {
    SetLocalHeapFailure(nth, 1);
    LoadDataResources(engine_);
    ClearLocalHeapFailure();
    FreeDataResources(engine_);
    EXPECT_EQ(GetLocalHeapBlockCount(), base) << nth;
  }
}

std::vector<std::u16string> Paragraphs(const std::u16string& text) {
  std::vector<std::u16string> out;
  size_t from = 0;
  for (;;) {
    size_t at = text.find(u"\n\n", from);
    out.push_back(text.substr(from, at == std::u16string::npos ? std::u16string::npos : at - from));
    if (at == std::u16string::npos) return out;
    from = at + 2;
  }
}

std::u16string Credits(DictEngine* engine) {
  MemHandle* h = NewMemHandle(16);
  EXPECT_EQ(BuildCreditsText(engine, h), 0);
  std::u16string text(static_cast<const char16_t*>(h->data));
  EXPECT_EQ(GetMemHandleLockCount(h), 0);
  FreeMemHandle(h);
  return text;
}

TEST_F(DataResourcesTest, CreditsTextOrder) {
  ASSERT_TRUE(Add(ResourceFile(u"First data notice")));
  ASSERT_TRUE(Add(AudioFile()));  // no notice
  ASSERT_TRUE(Add(ResourceFile(u"Second data notice")));
  std::vector<std::u16string> p = Paragraphs(Credits(engine_));
  ASSERT_EQ(p.size(), 7u);
  EXPECT_NE(p[0].find(u"Quillet"), std::u16string::npos);  // the recogniser
  EXPECT_EQ(p[0].find(u'\n'), std::u16string::npos);       // one line
  EXPECT_EQ(p[1], u"First data notice");
  EXPECT_EQ(p[2], u"Second data notice");
  const char16_t* libraries[] = {u"FreeType", u"zlib", u"Expat", u"Tremor"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p[3 + i].find(libraries[i]), 0u) << i;

  // Without data files: the recogniser, then the libraries.
  engine_->readerCount = 0;
  p = Paragraphs(Credits(engine_));
  engine_->readerCount = 3;
  ASSERT_EQ(p.size(), 5u);
  EXPECT_EQ(p[1].find(u"FreeType"), 0u);
  EXPECT_EQ(BuildCreditsText(engine_, nullptr), 1);
}

}  // namespace
}  // namespace res_test
