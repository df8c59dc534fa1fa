// The resources inside a whole engine: made by CreateEngine, rebuilt over
// every reader when dictionaries are added, freed by DestroyEngine.
#include <string>

#include "engine/audio_index.h"
#include "engine/dict_order.h"
#include "engine/radical_table.h"
#include "engine/stroke_index.h"
#include "engine/table_groups.h"
#include "tests/engine_resources/resources_fixture.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/stroke_tables.h"
#include "tools/databuild/table_groups.h"

namespace res_test {
namespace {

// Stroke index (table 0), radical tables and a table group in one file.
db::DataFileSpec CharacterFile() {
  db::DataFileSpec f;
  f.shortName = u"Characters";
  std::string error;
  db::StrokeIndexSpec strokes;
  strokes.designWidth = 100;
  strokes.designHeight = 100;
  strokes.records = {{0x7E9F, {50, 100}}};
  EXPECT_EQ(db::AddStrokeIndexTable(strokes, &f, &error), 0) << error;
  db::RadicalTablesSpec radicals;
  db::RadicalChars r120;
  r120.radical = 120;
  r120.sections = {u"\u7E9F", u"", u"\u7EA0\u7EAA"};
  radicals.radicals = {r120};
  EXPECT_EQ(db::AddRadicalTables(radicals, &f, &error), 0) << error;
  db::GroupTableSpec group;
  EXPECT_EQ(db::AddTableGroup({group}, &f, &error), 0) << error;
  return f;
}

db::DataFileSpec AudioFile() {
  db::AudioGroupSpec audio;
  audio.clips = {{std::u16string(1, Syl("hao", 3)), Ascii("hao3")}};
  db::DataFileSpec f;
  std::string error;
  EXPECT_EQ(db::AddAudioGroup(audio, &f, &error), 0) << error;
  return f;
}

void FreeSaveBlock(EngineSaveBlock* saved) {
  ASSERT_NE(saved, nullptr);
  FreeMemHandle(saved->engineRecord);
  FreeMemHandle(saved->dictsRecord);
  LocalFree(saved);
}

using EngineResourcesTest = ResourcesTest;

TEST_F(EngineResourcesTest, MadeByTheEngineAndRebuiltWhenDictionariesAreAdded) {
  DbFile* files[] = {WriteFile(CharacterFile()), WriteFile(DictFile(1, 1, 0, {u"\u7E9F", u"\u7EA0"}))};
  DbFile* audio = WriteFile(AudioFile());
  ASSERT_NE(files[0], nullptr);
  ASSERT_NE(files[1], nullptr);
  ASSERT_NE(audio, nullptr);
  const SIZE_T baseline = GetLocalHeapBlockCount();

  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  DictEngine* engine = CreateEngine(files, 2, &params);
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(QueryEngineCapability(engine, 1, 0), 1);
  EXPECT_EQ(QueryEngineCapability(engine, 3, 0), 1);
  EXPECT_EQ(QueryEngineCapability(engine, 4, 0), 0);
  EXPECT_EQ(GetTableGroupCount(engine), 1u);
  ASSERT_EQ(BuildRadicalCharList(engine, 120, 0x7E9F, 0, 1), 0);
  uint32_t n = 0;
  const WCHAR* list = GetRadicalListData(engine, 0, &n);
  EXPECT_EQ(std::u16string(list, n), u"\u7E9F\u2461\u7EA0");  // 纪 is in no dictionary

  // Adding a file rebuilds every resource over all readers.
  ASSERT_EQ(AddDictionaries(engine, &audio, 1), 0);
  EXPECT_EQ(QueryEngineCapability(engine, 4, 0), 1);
  EXPECT_EQ(QueryEngineCapability(engine, 1, 0), 1);
  EXPECT_EQ(GetTableGroupCount(engine), 1u);  // not a second copy
  list = GetRadicalListData(engine, 0, &n);   // fetched again: a new, empty list
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(BuildRadicalCharList(engine, 120, 0x7E9F, 0, 1), 0);
  list = GetRadicalListData(engine, 0, &n);
  EXPECT_EQ(std::u16string(list, n), u"\u7E9F\u2461\u7EA0");
  ASSERT_EQ(LoadAuxIndexRecord(engine, 0x7E9F, 50, 50), 0);
  const uint16_t* items = GetAuxIndexRecord(engine, &n);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(items[0], 25);
  EXPECT_EQ(items[1], 50);
  std::u16string key(1, Syl("hao", 3));
  EXPECT_EQ(LookupSyllableClip(engine, 0, key.c_str(), nullptr, nullptr, nullptr), kClipFound);

  FreeSaveBlock(DestroyEngine(engine));
  EXPECT_EQ(GetLocalHeapBlockCount(), baseline);
}

TEST_F(EngineResourcesTest, DataOnlyEngineHasOnlyTheSyllableGroups) {
  DbFile* files[] = {WriteFile(CharacterFile()), WriteFile(AudioFile())};
  EngineParams params{};
  params.noFonts = 1;
  params.dataOnly = 1;
  DictEngine* engine = CreateEngine(files, 2, &params);
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(QueryEngineCapability(engine, 4, 0), 1);
  EXPECT_EQ(QueryEngineCapability(engine, 1, 0), 0);
  EXPECT_EQ(QueryEngineCapability(engine, 3, 0), 0);
  EXPECT_EQ(GetTableGroupCount(engine), 0u);
  FreeSaveBlock(DestroyEngine(engine));
}

}  // namespace
}  // namespace res_test
