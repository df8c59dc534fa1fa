// The radical, audio, stroke and table-group tables: their bytes where the
// reader takes them, the rules that fail silently when broken, and round
// trips through the program's generic reader.
#include <gtest/gtest.h>

#include <functional>

#include "engine/text_compare.h"
#include "tests/databuild/file_decoder.h"
#include "tests/databuild/typed_table_fixture.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/stroke_tables.h"
#include "tools/databuild/table_groups.h"
#include "tools/databuild/table_rules.h"

namespace db = databuild;
using typedtest::TypedTableTest;

namespace {

std::uint32_t Word(const db::ByteVec& b, std::size_t i) { return db::GetU32LE(&b[4 * i]); }

db::ByteVec Bytes(std::initializer_list<std::uint16_t> units) {
  db::ByteVec b;
  for (std::uint16_t u : units) db::AppendU16LE(b, u);
  return b;
}

// A table of no particular content.
db::TableSpec Plain(std::uint32_t type) {
  db::TableSpec t;
  t.type = type;
  t.columns.emplace_back();
  return t;
}

db::GroupTableSpec GroupOfType(std::uint32_t type) {
  db::GroupTableSpec g;
  g.type = type;
  return g;
}

// A syllable code: U+E000 + 5 x syllable + tone.
char16_t Syl(int syllable, int tone) { return static_cast<char16_t>(0xE000 + 5 * syllable + tone); }

// ---------------------------------------------------------------- radicals

TEST(RadicalTables, RecordIsCountStartsThenCharacters) {
  db::RadicalChars r;
  r.radical = 120;
  r.sections = {u"", u"\u7CF9\u7CFA", u"", u"\u7CFB"};
  EXPECT_EQ(db::RadicalRecordBytes(r), Bytes({4, 65535, 0, 65535, 2, 0x7CF9, 0x7CFA, 0x7CFB}));

  const db::ByteVec list = db::RadicalListBytes({0, 3, 65535}, {{0x4E00, 1, 7}, {0x4E28, 2, 9}});
  EXPECT_EQ(list, (db::ByteVec{3, 0, 0, 0, 3, 0, 0xFF, 0xFF, 0x00, 0x4E, 1, 7, 0x28, 0x4E, 2, 9}));
}

TEST_F(TypedTableTest, RadicalTablesReadBackAndKeepTheirOrder) {
  db::RadicalTablesSpec desc;
  desc.id = 42;
  desc.infoWord1 = 5;
  desc.listA = {0, 2};
  desc.listB = {{0x4E00, 1, 1}, {0x4E28, 1, 2}};
  for (std::uint16_t rad : {30, 9, 120}) {  // sorted by the writer
    db::RadicalChars rc;
    rc.radical = rad;
    rc.sections = {std::u16string(1, static_cast<char16_t>(0x4E00 + rad)), u"", u"\u4E8C\u4E09"};
    desc.radicals.push_back(rc);
  }
  desc.lowestCode = 0x4E00;
  desc.codes = {1, 2, 3, 120, 65535};
  desc.maxBlockRows = 1;

  db::DataFileSpec file;
  file.tables.push_back(Plain(0x4000));
  std::string error;
  ASSERT_EQ(db::AddRadicalTables(desc, &file, &error), 0) << error;
  ASSERT_EQ(db::CheckDataFileRules(file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(GetTableCount(d), 3u);
  EXPECT_EQ(GetTablePropertyByIndex(d, 1, 1), db::kTypeRadicals);
  EXPECT_EQ(GetTablePropertyByIndex(d, 2, 1), db::kTypeRadicalCodes);

  TableCursor* main = Cursor(d, 1);
  const db::ByteVec info = InfoArea(main);
  ASSERT_EQ(info.size(), 16u);
  EXPECT_EQ(Word(info, 0), 42u);
  EXPECT_EQ(Word(info, 1), 5u);
  EXPECT_EQ(Word(info, 2), 0x4E00u);
  EXPECT_EQ(Word(info, 3), 0x4E04u);
  std::uint32_t size = 0;
  const std::uint8_t* list = GetSubtableRecord(main, 0, &size);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(db::ByteVec(list, list + size), db::RadicalListBytes(desc.listA, desc.listB));
  for (const db::RadicalChars& rc : desc.radicals) {
    const int64_t row = FindRowByKey(main, 0, rc.radical, 1, 0);
    ASSERT_GE(row, 0) << rc.radical;
    EXPECT_EQ(Record(main, static_cast<std::uint32_t>(row)), db::RadicalRecordBytes(rc));
  }

  TableCursor* codes = Cursor(d, 2);
  const db::ByteVec codeInfo = InfoArea(codes);
  ASSERT_GE(codeInfo.size(), 4u);
  EXPECT_EQ(Word(codeInfo, 0), 42u);
  for (std::uint32_t i = 0; i < desc.codes.size(); ++i) EXPECT_EQ(ReadSingleValue(codes, 0, i), desc.codes[i]);
}

TEST(RadicalTables, WithoutCodesOnlyTheRadicalTableAndDuplicatesRefused) {
  db::RadicalTablesSpec desc;
  desc.radicals = {{1, {u"a"}}};
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddRadicalTables(desc, &file, &error), 0) << error;
  ASSERT_EQ(file.tables.size(), 1u);
  EXPECT_EQ(Word(file.tables[0].info, 2), 0u);
  EXPECT_EQ(Word(file.tables[0].info, 3), 0u);

  desc.radicals.push_back({1, {u"b"}});
  EXPECT_EQ(db::AddRadicalTables(desc, &file, &error), 1);
  EXPECT_EQ(file.tables.size(), 1u);  // nothing added on failure
}

// ---------------------------------------------------------------- audio

db::SyllableIndexSpec SampleIndex() {
  db::SyllableIndexSpec s;
  s.id = 7;
  s.flags = db::kAudioSetB;
  s.kind = 3;
  s.clipTables = {2, 1};
  // Keys given out of order; one whole word, one for 一/不 only, one whose
  // words A and B are both 0 (searched past them all the same).
  s.keys = {
      {{Syl(300, 3)}, 0, 1, 4, false},
      {{Syl(10, 1)}, 1, 0, 3, true},
      {{Syl(10, 1), Syl(300, 3)}, 0, 1, 2, false},
      {{Syl(2, 4)}, 0, 0, 0, false},
      {std::u16string(19, Syl(5, 2)), 0, 1, 5, false},
  };
  s.maxBlockRows = 2;
  return s;
}

TEST(SyllableIndex, InfoAreaRecordsAndFirstKeyTexts) {
  db::TableSpec t;
  std::string error;
  const db::SyllableIndexSpec desc = SampleIndex();
  ASSERT_EQ(db::MakeSyllableIndexTable(desc, &t, &error), 0) << error;
  ASSERT_EQ(t.info.size(), 84u + 2 * 72);
  EXPECT_EQ(Word(t.info, 0), 7u);
  EXPECT_EQ(db::GetU16LE(&t.info[4]), 2u);
  EXPECT_EQ(db::GetU16LE(&t.info[8]), 3u);
  EXPECT_EQ(Word(t.info, 3), db::kAudioSetB);
  EXPECT_EQ(Word(t.info, 4), 512u);
  EXPECT_EQ(db::GetU16LE(&t.info[84]), 2u);
  EXPECT_EQ(db::GetU16LE(&t.info[84 + 72]), 1u);

  db::DataFileSpec file;
  file.tables.push_back(t);
  db::ByteVec bytes;
  db::DataFileLayout layout;
  ASSERT_EQ(db::BuildDataFile(file, &bytes, &layout, &error), 0) << error;
  const dectest::Table dt = dectest::DecodeTable(bytes, layout.tables[0].headerRecord);
  ASSERT_EQ(dt.flags & db::kTableTextIndex, db::kTableTextIndex);
  // Rows ascend by their key text in plain unit order; each block's
  // first-key text is its first row's key text alone.
  std::vector<std::u16string> keys;
  for (std::uint32_t j = 0; j < dt.BlockCount(0); ++j) {
    const dectest::Block b = dectest::DecodeBlock(bytes, dt, 0, j);
    for (std::uint32_t r = 0; r < b.rows; ++r) {
      const std::uint32_t begin = 2 * b.rowTable[r];
      const std::uint32_t end = r + 1 < b.rows ? 2 * b.rowTable[r + 1] : 2 * b.units;
      ASSERT_LE(end, b.data.size());
      std::u16string text;
      for (std::uint32_t p = begin + 4; p < end; p += 2) text.push_back(db::GetU16LE(&b.data[p]));
      if (r == 0) {
        EXPECT_EQ(dt.texts[j], text) << "block " << j;
      }
      keys.push_back(text);
      const std::uint16_t a = db::GetU16LE(&b.data[begin]);
      const std::uint16_t bWord = db::GetU16LE(&b.data[begin + 2]);
      bool found = false;
      for (const db::SyllableClipRef& k : desc.keys) {
        if (k.key != text) continue;
        found = true;
        EXPECT_EQ(a, (k.yiBuOnly ? 0x1000 : 0) | k.list << 8 | k.table);
        EXPECT_EQ(bWord, k.row);
      }
      EXPECT_TRUE(found);
    }
  }
  ASSERT_EQ(keys.size(), desc.keys.size());
  EXPECT_GT(dt.BlockCount(0), 1u);
  for (std::size_t i = 1; i < keys.size(); ++i) EXPECT_LT(WideStrCmp(keys[i - 1].c_str(), keys[i].c_str()), 0);
}

TEST_F(TypedTableTest, SyllableIndexIsTableZeroAndSearchableByKeyText) {
  db::DataFileSpec file;
  file.tables.push_back(Plain(0x4000));
  std::string error;
  const db::SyllableIndexSpec desc = SampleIndex();
  ASSERT_EQ(db::AddSyllableIndexTable(desc, &file, &error), 0) << error;
  ASSERT_EQ(db::CheckDataFileRules(file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GetTablePropertyByIndex(d, 0, 1), db::kTypeSyllableIndex);
  TableCursor* c = Cursor(d, 0);
  for (const db::SyllableClipRef& k : desc.keys) {
    const int64_t row = FindRowByText(c, 0, k.key.c_str(), 7);
    ASSERT_GE(row, 0);
    // The whole record fits the 42-byte read of a clip lookup.
    const db::ByteVec rec = Record(c, static_cast<std::uint32_t>(row), 42);
    ASSERT_EQ(rec.size(), 4 + 2 * k.key.size());
    std::u16string text;
    for (std::size_t p = 4; p < rec.size(); p += 2) text.push_back(db::GetU16LE(&rec[p]));
    EXPECT_EQ(text, k.key);
    EXPECT_EQ(db::GetU16LE(&rec[2]), k.row);
  }

  // Another index cannot take table 0 too.
  EXPECT_EQ(db::AddSyllableIndexTable(desc, &file, &error), 1);
  db::StrokeIndexSpec strokes;
  strokes.designWidth = strokes.designHeight = 100;
  EXPECT_EQ(db::AddStrokeIndexTable(strokes, &file, &error), 1);
}

TEST(SyllableIndex, KeyTextsAreOneToNineteenDistinctUnits) {
  const struct {
    std::vector<std::u16string> keys;
    int result;
  } cases[] = {
      {{std::u16string(19, Syl(1, 1))}, 0},
      {{std::u16string(20, Syl(1, 1))}, 1},
      {{u""}, 1},
      {{{Syl(1, 1), 0, Syl(1, 2)}}, 1},
      {{{Syl(1, 1)}, {Syl(1, 1)}}, 1},
  };
  for (const auto& k : cases) {
    db::SyllableIndexSpec s;
    for (const std::u16string& key : k.keys) s.keys.push_back({key, 0, 0, 0, false});
    db::TableSpec t;
    std::string error;
    EXPECT_EQ(db::MakeSyllableIndexTable(s, &t, &error), k.result) << k.keys[0].size();
  }
  db::SyllableIndexSpec s;
  s.keys.push_back({{Syl(1, 1)}, 16, 0, 0, false});  // clip list has 4 bits
  db::TableSpec t;
  std::string error;
  EXPECT_EQ(db::MakeSyllableIndexTable(s, &t, &error), 1);
  s.keys.clear();
  s.clipTables.assign(17, 1);
  EXPECT_EQ(db::MakeSyllableIndexTable(s, &t, &error), 1);
}

TEST_F(TypedTableTest, AudioGroupClipsFoundThroughTheIndex) {
  db::AudioGroupSpec g;
  g.id = 9;
  g.kind = 1;
  g.clipsPerTable = 2;
  for (int i = 0; i < 5; ++i) {
    db::SyllableClip c;
    c.key = {Syl(20 + i, 1 + i % 4)};
    c.data = db::ByteVec(10 + i, static_cast<std::uint8_t>(0xA0 + i));
    g.clips.push_back(c);
  }
  g.clips[4].data.clear();  // an empty clip is written as such
  g.clips[1].yiBuOnly = true;
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddAudioGroup(g, &file, &error), 0) << error;
  ASSERT_EQ(db::CheckDataFileRules(file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(GetTableCount(d), 4u);  // the index and three clip tables
  TableCursor* index = Cursor(d, 0);
  const db::ByteVec info = InfoArea(index);
  EXPECT_EQ(db::GetU16LE(&info[4]), 1u);
  EXPECT_EQ(db::GetU16LE(&info[84]), 3u);
  std::vector<TableCursor*> clipTables;
  for (std::uint32_t t = 1; t < 4; ++t) {
    EXPECT_EQ(GetTablePropertyByIndex(d, t, 1), db::kTypeClips);
    TableCursor* c = Cursor(d, t);
    const db::ByteVec ci = InfoArea(c);
    ASSERT_GE(ci.size(), 10u);
    EXPECT_EQ(Word(ci, 0), 9u);
    EXPECT_EQ(db::GetU16LE(&ci[4]), 0u);
    EXPECT_EQ(db::GetU16LE(&ci[8]), t - 1);
    clipTables.push_back(c);
  }
  // Every index row leads to its key's clip.
  ASSERT_EQ(GetColumnRowCount(index, 0), g.clips.size());
  for (std::uint32_t r = 0; r < g.clips.size(); ++r) {
    const db::ByteVec rec = Record(index, r, 42);
    ASSERT_GE(rec.size(), 6u);
    const std::uint16_t a = db::GetU16LE(&rec[0]);
    const std::uint16_t b = db::GetU16LE(&rec[2]);
    std::u16string key;
    for (std::size_t p = 4; p < rec.size(); p += 2) key.push_back(db::GetU16LE(&rec[p]));
    const db::SyllableClip* clip = nullptr;
    for (const db::SyllableClip& c : g.clips) {
      if (c.key == key) clip = &c;
    }
    ASSERT_NE(clip, nullptr) << r;
    EXPECT_EQ((a & 0x1000) != 0, clip->yiBuOnly);
    EXPECT_EQ((a >> 8) & 0xF, 0);
    ASSERT_LT(a & 0xFFu, clipTables.size());
    EXPECT_EQ(Record(clipTables[a & 0xFF], b), clip->data);
    // The first clip's row has A = B = 0.
    EXPECT_EQ(FindRowByText(index, 0, key.c_str(), 7), r);
  }
}

// ---------------------------------------------------------------- strokes

TEST_F(TypedTableTest, StrokeIndexIsTableZeroWithItsDesignBox) {
  db::StrokeIndexSpec s;
  s.version = 3;
  s.designWidth = 192;
  s.designHeight = 200;
  s.records = {{0x4E2D, {10, 20, 30, 40, 65535, 50, 60}}, {0x4E00, {0, 100, 191, 100}}, {0x20000, {1, 2}}};
  s.maxBlockRows = 1;
  db::DataFileSpec file;
  file.tables.push_back(Plain(0x4000));
  std::string error;
  ASSERT_EQ(db::AddStrokeIndexTable(s, &file, &error), 0) << error;
  ASSERT_EQ(db::CheckDataFileRules(file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GetTablePropertyByIndex(d, 0, 1), db::kTypeStrokeIndex);
  TableCursor* c = Cursor(d, 0);
  const db::ByteVec info = InfoArea(c);
  ASSERT_EQ(info.size(), 16u);
  EXPECT_EQ(Word(info, 0), 3u);
  EXPECT_EQ(Word(info, 1), 1u);
  EXPECT_EQ(Word(info, 2), 192u);
  EXPECT_EQ(Word(info, 3), 200u);
  for (const db::StrokeRecord& r : s.records) {
    const int64_t row = FindRowByKey(c, 0, r.code, 1, 0);
    ASSERT_GE(row, 0) << r.code;
    db::ByteVec want;
    for (std::uint16_t v : r.items) db::AppendU16LE(want, v);
    EXPECT_EQ(Record(c, static_cast<std::uint32_t>(row)), want);
  }
  EXPECT_EQ(FindRowByKey(c, 0, 0x4E01, 1, 0), -1);

  // Another index cannot take table 0 too.
  EXPECT_EQ(db::AddStrokeIndexTable(s, &file, &error), 1);
  EXPECT_EQ(db::AddAudioGroup({}, &file, &error), 1);
}

TEST(StrokeIndex, RefusesAZeroDesignBoxLongRecordsAndDuplicates) {
  const std::function<void(db::StrokeIndexSpec&)> bad[] = {
      [](db::StrokeIndexSpec& s) { s.designWidth = 0; },
      [](db::StrokeIndexSpec& s) { s.designHeight = 0; },
      [](db::StrokeIndexSpec& s) { s.records.push_back({1, std::vector<std::uint16_t>(10001, 5)}); },
      [](db::StrokeIndexSpec& s) { s.records.push_back({1, {1}}), s.records.push_back({1, {2}}); },
  };
  db::TableSpec t;
  std::string error;
  db::StrokeIndexSpec ok;
  ok.designWidth = ok.designHeight = 1;
  ok.records.push_back({1, std::vector<std::uint16_t>(10000, 5)});
  EXPECT_EQ(db::MakeStrokeIndexTable(ok, &t, &error), 0) << error;
  for (std::size_t k = 0; k < std::size(bad); ++k) {
    db::StrokeIndexSpec s;
    s.designWidth = s.designHeight = 10;
    bad[k](s);
    EXPECT_EQ(db::MakeStrokeIndexTable(s, &t, &error), 1) << "case " << k;
  }
}

// ---------------------------------------------------------------- table groups

TEST_F(TypedTableTest, TableGroupNeedsItsMainTable) {
  db::GroupTableSpec main;
  main.infoWords = {1, 2};  // padded to 5 words
  db::ColumnSpec col;
  col.unitSize = 2;
  col.rows.push_back(db::MakeTextRow(0, u"ref"));
  main.columns = {col};
  db::GroupTableSpec second;
  second.type = db::kTypeGroupSecond;
  second.infoWords = {9};
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddTableGroup({main, second}, &file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(GetTableCount(d), 2u);
  EXPECT_EQ(GetTablePropertyByIndex(d, 0, 1), db::kTypeGroupMain);
  EXPECT_EQ(GetTablePropertyByIndex(d, 1, 1), db::kTypeGroupSecond);
  EXPECT_EQ(GetTablePropertyByIndex(d, 0, 2), 1u);
  const db::ByteVec info = InfoArea(Cursor(d, 0));
  ASSERT_EQ(info.size(), 20u);
  EXPECT_EQ(Word(info, 1), 2u);
  EXPECT_EQ(Word(info, 4), 0u);
  EXPECT_EQ(InfoArea(Cursor(d, 1)).size(), 4u);
  EXPECT_EQ(RecordText(Cursor(d, 0), 0), u"ref");

  db::GroupTableSpec oldMain;
  oldMain.version = 2;  // left out by the reader
  const struct {
    std::vector<db::GroupTableSpec> tables;
    const char* why;
  } refused[] = {
      {{second}, "no 0x2000 table"},
      {{oldMain, second}, "only a version-2 0x2000 table"},
      {{main, GroupOfType(0x2021)}, "type past 0x2020"},
      {{main, GroupOfType(0x1FFF)}, "type before 0x2000"},
      {std::vector<db::GroupTableSpec>(30, main), "more than 31 group tables in the file"},
  };
  for (const auto& r : refused) {
    db::DataFileSpec f = file;
    EXPECT_EQ(db::AddTableGroup(r.tables, &f, &error), 1) << r.why;
    EXPECT_EQ(f.tables.size(), file.tables.size()) << r.why;
  }
}

// ---------------------------------------------------------------- whole-file rules

TEST(DataFileRules, EachSilentFaultIsCaught) {
  db::SyllableIndexSpec index;
  index.clipTables = {1};
  index.keys.push_back({{Syl(1, 1)}, 0, 0, 0, false});
  db::TableSpec audio;
  std::string error;
  ASSERT_EQ(db::MakeSyllableIndexTable(index, &audio, &error), 0);
  db::StrokeIndexSpec strokeSpec;
  strokeSpec.designWidth = strokeSpec.designHeight = 50;
  db::TableSpec stroke;
  ASSERT_EQ(db::MakeStrokeIndexTable(strokeSpec, &stroke, &error), 0);
  db::RadicalTablesSpec radSpec;
  radSpec.id = 4;
  radSpec.codes = {1};
  db::TableSpec radicals, codes;
  ASSERT_EQ(db::MakeRadicalTables(radSpec, &radicals, &codes, &error), 0);
  db::TableSpec prefix;
  ASSERT_EQ(db::MakePrefixIndexTable({}, &prefix, &error), 0);
  db::DictEntryTableSpec entrySpec;
  entrySpec.info.fields.resize(2);
  db::TableSpec entries;
  ASSERT_EQ(db::MakeDictEntryTable(entrySpec, &entries, &error), 0);
  const db::TableSpec other = Plain(0x4000);

  auto with = [](std::vector<db::TableSpec> tables) {
    db::DataFileSpec f;
    f.tables = std::move(tables);
    return f;
  };
  auto patched = [](db::TableSpec t, const std::function<void(db::TableSpec&)>& change) {
    change(t);
    return t;
  };
  const db::TableSpec flaggedSecondary =
      patched(entries, [](db::TableSpec& t) { db::PutU32LE(t.info, 8, db::kDictHasSecondary); });
  db::TableSpec groupMain;
  ASSERT_EQ(db::MakeGroupTable(db::GroupTableSpec{}, &groupMain, &error), 0);
  static constexpr char16_t longKeyTail[] = u"abcdefghijklmnopqrs";  // 19 more units
  const struct {
    db::DataFileSpec file;
    int result;
    const char* what;
  } cases[] = {
      {with({audio, radicals, codes, prefix, entries}), 0, "all rules kept"},
      {with({stroke, patched(codes, [](db::TableSpec& t) { db::PutU32LE(t.info, 0, 5); }), radicals}), 0,
       "a code table of another id may come first"},
      {with({other, audio}), 1, "syllable index not table 0"},
      {with({other, stroke}), 1, "stroke index not table 0"},
      {with({patched(audio, [](db::TableSpec& t) { db::PutU32LE(t.info, 16, 511); })}), 1, "index marker not 512"},
      {with({patched(audio, [](db::TableSpec& t) { db::PutU16LE(t.info, 4, 2); })}), 1, "descriptor missing"},
      {with({patched(audio, [](db::TableSpec& t) { t.indexTextSkip = 0; })}), 1, "first-key texts with A and B"},
      {with({patched(audio, [](db::TableSpec& t) { t.columns[0].rows[0].indexText = u"x"; })}), 1,
       "first-key text differs from the key"},
      {with({patched(audio, [](db::TableSpec& t) { db::AppendUtf16LE(t.columns[0].rows[0].bytes, longKeyTail); })}),
       1, "key text of 20 units"},
      {with({patched(stroke, [](db::TableSpec& t) { db::PutU32LE(t.info, 8, 0); })}), 1, "design width 0"},
      {with({patched(stroke, [](db::TableSpec& t) { db::PutU32LE(t.info, 12, 0); })}), 1, "design height 0"},
      {with({patched(stroke, [](db::TableSpec& t) { db::PutU32LE(t.info, 4, 2); })}), 1, "stroke info word 1 not 1"},
      {with({other, codes, radicals}), 1, "code table before its radical table"},
      {with({patched(prefix, [](db::TableSpec& t) { t.subtables.clear(); })}), 1, "prefix index without bitmap"},
      {with({patched(prefix, [](db::TableSpec& t) { t.flags |= db::kTableHuffmanText; })}), 1, "Huffman prefix index"},
      {with({patched(entries, [](db::TableSpec& t) { t.info.resize(t.info.size() - 4); })}), 1,
       "info header shorter than its fields"},
      {with({patched(entries, [](db::TableSpec& t) { t.info.clear(); })}), 1, "entry table without info header"},
      {with({flaggedSecondary}), 1, "secondary table flagged but missing"},
      {with({flaggedSecondary, Plain(db::kTypeDictSecondary)}), 1, "secondary table without info header"},
      {with({flaggedSecondary, patched(entries, [](db::TableSpec& t) { t.type = db::kTypeDictSecondary; })}), 0,
       "secondary table with its info header"},
      {with({Plain(db::kTypeDictSecondary)}), 0, "an unflagged secondary table is not read"},
      {with({groupMain, Plain(db::kTypeGroupSecond)}), 0, "a table group"},
      {with({Plain(db::kTypeGroupSecond)}), 1, "group tables without a 0x2000 table"},
      {with({patched(groupMain, [](db::TableSpec& t) { t.version = 2; })}), 1, "only a version-2 0x2000 table"},
      {with({Plain(db::kTypeGroupMain)}), 1, "0x2000 info area shorter than 5 words"},
      {with(std::vector<db::TableSpec>(32, groupMain)), 1, "32 group tables"},
  };
  for (const auto& k : cases) {
    error.clear();
    EXPECT_EQ(db::CheckDataFileRules(k.file, &error), k.result) << k.what;
    EXPECT_EQ(error.empty(), k.result == 0) << k.what;
  }
}

// ---------------------------------------------------------------- long records

// Records longer than the usual block size get a block of their own.
TEST_F(TypedTableTest, LongClipsAndStrokeRecordsReadBackWhole) {
  db::ClipTableSpec clips;
  clips.clips = {db::ByteVec(100, 1), db::ByteVec(30000, 2), db::ByteVec(49152, 3), db::ByteVec(5, 4)};
  for (std::size_t i = 0; i < clips.clips[1].size(); ++i) clips.clips[1][i] = static_cast<std::uint8_t>(i * 7);
  db::TableSpec clipTable;
  std::string error;
  ASSERT_EQ(db::MakeClipTable(clips, &clipTable, &error), 0) << error;
  db::StrokeIndexSpec strokes;
  strokes.designWidth = strokes.designHeight = 1000;
  strokes.records = {{0x4E00, std::vector<std::uint16_t>(10000, 999)}, {0x4E01, {1, 2}}};
  for (std::size_t i = 0; i < 10000; ++i) strokes.records[0].items[i] = static_cast<std::uint16_t>(i % 997);

  db::DataFileSpec file;
  ASSERT_EQ(db::AddStrokeIndexTable(strokes, &file, &error), 0) << error;
  file.tables.push_back(clipTable);
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  TableCursor* s = Cursor(d, 0);
  TableCursor* c = Cursor(d, 1);
  for (std::uint32_t r = 0; r < clips.clips.size(); ++r) EXPECT_EQ(Record(c, r), clips.clips[r]) << r;
  const int64_t row = FindRowByKey(s, 0, 0x4E00, 1, 0);
  ASSERT_GE(row, 0);
  const db::ByteVec rec = Record(s, static_cast<std::uint32_t>(row), 20000);
  ASSERT_EQ(rec.size(), 20000u);
  for (std::size_t i = 0; i < 10000; ++i) ASSERT_EQ(db::GetU16LE(&rec[2 * i]), i % 997) << i;

  clips.clips.push_back(db::ByteVec(49153, 5));
  EXPECT_EQ(db::MakeClipTable(clips, &clipTable, &error), 1);
}

}  // namespace
