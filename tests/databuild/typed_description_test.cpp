// The typed-table directives of the description: a description gives the
// same file as the builder calls it stands for; misplaced directives and
// broken rules are reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "resources/syllables.h"
#include "tools/databuild/audio_tables.h"
#include "tools/databuild/description.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/radical_tables.h"
#include "tools/databuild/stroke_tables.h"
#include "tools/databuild/table_groups.h"
#include "tools/databuild/table_rules.h"

namespace db = databuild;

namespace {

const char kTyped[] = R"desc(file name="Typed" short="Typed"
table type=0x4000 flags=key16,sorted
column unit=2 sort=key
row key=2 text="b"
row key=1 text="a"

dictionary creator=0x5352564E id=3 flags=0x20000 lang=4096 trans=0 icon="ZH" fill=0x0099CC textcolor=0xFFFFFF menu="Chinese-English" short="CE" secondary=2 idmap=keys wordlengths blockrows=2
field name="Headword" type=0x1001 class=0x000
field name="Pinyin" type=0x1101 class=0x100 style=0x2000
field name="Definition" name2="Def" prefix="(" suffix=")" separator="; " class=0x200 kind=1 grouping=2 level=1 style=0x80 color=0xFF0000
section flags=0x1002 limit=20 style=4 prefix="(" suffix=")" switch=3 style2=5 prefix2="[" suffix2="]"
entry key=10 headword="中" text="\uEA00中\uEA01\{zhong1}" secondary="\uEA02middle"
entry key=20 headword="中文" text="\uEA00中文\uEA01\{zhong1}\{wen2}" secondary="\uEA02Chinese" length=2
entry key=30 headword="文" text="\uEA00文\uEA01\{wen2}" secondary="\uEA02writing"
variant char="乾" forms="干乾"

radicals id=5 word1=2 lowest=0x4E00 lista=0,1,65535
listb code=0x4E00 byte=1 key=1
listb code=0x4E28 byte=1 key=2
radical code=120 s0="纟" s3="红纣"
radical code=9 s1="亿"
codes 1,2,3,120

table type=0x2000 infowords=1,2,3,4,5
column unit=2
row text="ref"

audiogroup id=2 flags=1 kind=1 pertable=2
clip key="\{ni3}" hex=4f676753
clip key="\{hao3}" hex=0102
clip key="\{yi1}" hex=aa yibu
)desc";

char16_t Syl(const char* spelling, int tone) {
  const int n = FindSyllable(spelling);
  EXPECT_GE(n, 0) << spelling;
  return static_cast<char16_t>(0xE000 + 5 * n + tone);
}

// The same file through the builder calls.
db::DataFileSpec Expected() {
  db::DataFileSpec f;
  f.containerName = "Typed";
  f.shortName = u"Typed";
  db::TableSpec t;
  t.type = 0x4000;
  t.flags = db::kTableKeyed | db::kTableSorted;
  db::ColumnSpec c;
  c.unitSize = 2;
  c.rows = {db::MakeTextRow(1, u"a"), db::MakeTextRow(2, u"b")};
  t.columns = {c};
  f.tables.push_back(t);

  db::DictionarySpec d;
  d.info.creator = 0x5352564E;
  d.info.dictId = 3;
  d.info.flags = 0x20000;
  d.info.iconText = u"ZH";
  d.info.iconFillColor = 0x0099CC;
  d.info.iconTextColor = 0xFFFFFF;
  d.info.menuName = u"Chinese-English";
  d.info.shortName = u"CE";
  d.secondaryFirstField = 2;
  d.idMapFromKeys = true;
  d.wordLengths = true;
  d.maxBlockRows = 2;
  db::DictFieldSpec f0, f1, f2;
  f0.name = u"Headword";
  f0.type = 0x1001;
  f1.name = u"Pinyin";
  f1.type = 0x1101;
  f1.classWord = 0x100;
  f1.style = 0x2000;
  f2.name = u"Definition";
  f2.name2 = u"Def";
  f2.prefix = u"(";
  f2.suffix = u")";
  f2.separator = u"; ";
  f2.classWord = 0x200;
  f2.grouping = 2;
  f2.level = 1;
  f2.style = 0x80;
  f2.color = 0xFF0000;
  d.info.fields = {f0, f1, f2};
  db::DictSectionSpec s;
  s.flags = 0x1002;
  s.limit = 20;
  s.style = 4;
  s.prefix = u'(';
  s.suffix = u')';
  s.switchCount = 3;
  s.style2 = 5;
  s.prefix2 = u'[';
  s.suffix2 = u']';
  d.info.sections = {s};
  auto entry = [](std::uint32_t key, std::u16string head, std::u16string text, std::u16string sec,
                  std::uint32_t length) {
    db::DictEntrySpec e;
    e.hasKey = true;
    e.key = key;
    e.headword = std::move(head);
    e.text = std::move(text);
    e.secondary = std::move(sec);
    e.wordLength = length;
    return e;
  };
  const char16_t zhong1 = Syl("zhong", 1), wen2 = Syl("wen", 2);
  d.entries = {entry(10, u"中", u"\uEA00中\uEA01" + std::u16string{zhong1}, u"\uEA02middle", 0),
               entry(20, u"中文", u"\uEA00中文\uEA01" + std::u16string{zhong1, wen2}, u"\uEA02Chinese", 2),
               entry(30, u"文", u"\uEA00文\uEA01" + std::u16string{wen2}, u"\uEA02writing", 0)};
  d.charVariants = {{u'乾', u"干乾"}};
  std::string error;
  EXPECT_EQ(db::AddDictionaryTables(d, &f, &error), 0) << error;

  db::RadicalTablesSpec r;
  r.id = 5;
  r.infoWord1 = 2;
  r.lowestCode = 0x4E00;
  r.listA = {0, 1, 65535};
  r.listB = {{0x4E00, 1, 1}, {0x4E28, 1, 2}};
  r.radicals = {{120, {u"纟", u"", u"", u"红纣"}}, {9, {u"", u"亿"}}};
  r.codes = {1, 2, 3, 120};
  EXPECT_EQ(db::AddRadicalTables(r, &f, &error), 0) << error;

  db::TableSpec g;
  g.type = 0x2000;
  for (std::uint32_t w = 1; w <= 5; ++w) db::AppendU32LE(g.info, w);
  db::ColumnSpec gc;
  gc.unitSize = 2;
  gc.rows = {db::MakeTextRow(0, u"ref")};
  g.columns = {gc};
  f.tables.push_back(g);

  db::AudioGroupSpec a;
  a.id = 2;
  a.flags = 1;
  a.kind = 1;
  a.clipsPerTable = 2;
  a.clips = {{{Syl("ni", 3)}, {0x4F, 0x67, 0x67, 0x53}, false},
             {{Syl("hao", 3)}, {1, 2}, false},
             {{Syl("yi", 1)}, {0xAA}, true}};
  EXPECT_EQ(db::AddAudioGroup(a, &f, &error), 0) << error;
  return f;
}

TEST(TypedDescription, GivesTheSameFileAsTheBuilderCalls) {
  db::DataFileSpec parsed;
  std::string error;
  ASSERT_EQ(db::ParseDataFileDescription(kTyped, &parsed, &error), 0) << error;
  EXPECT_EQ(db::CheckDataFileRules(parsed, &error), 0) << error;

  const db::DataFileSpec want = Expected();
  const std::uint32_t types[] = {0x7010, 0x4000, 0x1000, 0x1010, 0x1030, 0x1040, 0x1100,
                                 0x1300, 0x5000, 0x5110, 0x2000, 0x7000, 0x7000};
  ASSERT_EQ(parsed.tables.size(), std::size(types));
  for (std::size_t i = 0; i < std::size(types); ++i) EXPECT_EQ(parsed.tables[i].type, types[i]) << i;
  db::ByteVec a, b;
  ASSERT_EQ(db::BuildDataFile(parsed, &a, nullptr, &error), 0) << error;
  ASSERT_EQ(db::BuildDataFile(want, &b, nullptr, &error), 0) << error;
  EXPECT_EQ(a, b);
}

TEST(TypedDescription, MisplacedDirectivesAndBadValuesNameTheirLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"field name=\"x\"\n", "line 1: \"field\" outside a dictionary"},
      {"radicals\nentry text=\"x\"\n", "line 2: \"entry\" outside a dictionary"},
      {"dictionary\nentry\nclipkey key=\"a\"\n", "line 3: \"clipkey\" outside an audioindex"},
      {"strokes width=1 height=1\nradical code=1\n", "line 2: \"radical\" outside radicals"},
      {"dictionary\nentry\ncolumn unit=2\n", "line 3: \"column\" outside a table"},
      {"dictionary\nentry\nrow key=1\n", "line 3: \"row\" outside a column"},
      {"dictionary\ntable type=1\ncolumn\nrow\nstrokes width=1 height=1\nrow\n", "line 6: \"row\" outside a column"},
      {"dictionary coding=lzw\n", "line 1: coding=huffman, raw or zlib"},
      {"dictionary\nsection prefix=\"ab\"\n", "line 2: \"prefix\" takes one character"},
      {"dictionary\nfield colour=1\n", "line 2: bad attribute \"colour\" of field"},
      {"dictionary\nentry key=1\nentry key=1\n", "line 3: two entries have the same key"},
      {"audioindex\nclipkey key=\"\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}"
       "\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\\{a1}\"\n",
       "line 2: a clip key text has 1 to 19 units (has 20)"},
      {"strokes width=0 height=5\nstroke code=1 items=1,2\ntable type=1\n", "line 3: the design width"},
      {"strokes width=2 height=5\nstrokes width=2 height=5\n", "line 2: table 0 of the file is already"},
      {"cliptable group=1\nclip key=\"a\" hex=00\n", "line 2: bad attribute \"key\" of clip"},
      {"dictionary\nfile name=\"x\"\n", "line 2: \"file\" comes once"},
  };
  for (const auto& c : cases) {
    db::DataFileSpec draft;
    std::string error;
    EXPECT_EQ(db::ParseDataFileDescription(c.text, &draft, &error), 1) << c.text;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.text << "\n  gave: " << error;
  }
}

TEST(TypedDescription, StrokesRadicalSectionsAndClipTables) {
  const char text[] = R"desc(strokes version=2 width=192 height=96
stroke char="中" items=1,2,65535,3,4
stroke code=0x4E00 items=5,6
radicals id=1
radical code=3 s2="子"
cliptable group=4 list=1 place=2
clip hex=0a0b
clip
)desc";
  db::DataFileSpec draft;
  std::string error;
  ASSERT_EQ(db::ParseDataFileDescription(text, &draft, &error), 0) << error;
  ASSERT_EQ(draft.tables.size(), 3u);
  db::StrokeIndexSpec s;
  s.version = 2;
  s.designWidth = 192;
  s.designHeight = 96;
  s.records = {{0x4E2D, {1, 2, 65535, 3, 4}}, {0x4E00, {5, 6}}};
  db::TableSpec want;
  ASSERT_EQ(db::MakeStrokeIndexTable(s, &want, &error), 0);
  EXPECT_EQ(draft.tables[0].info, want.info);
  ASSERT_EQ(draft.tables[0].columns[0].rows.size(), 2u);
  EXPECT_EQ(draft.tables[0].columns[0].rows[0].key, 0x4E00u);
  EXPECT_EQ(draft.tables[0].columns[0].rows[1].bytes, want.columns[0].rows[1].bytes);

  EXPECT_EQ(draft.tables[1].columns[0].rows[0].bytes, db::RadicalRecordBytes({3, {u"", u"", u"子"}}));

  const db::TableSpec& clips = draft.tables[2];
  EXPECT_EQ(clips.type, db::kTypeClips);
  EXPECT_EQ(db::GetU32LE(&clips.info[0]), 4u);
  EXPECT_EQ(db::GetU16LE(&clips.info[4]), 1u);
  EXPECT_EQ(db::GetU16LE(&clips.info[8]), 2u);
  ASSERT_EQ(clips.columns[0].rows.size(), 2u);
  EXPECT_EQ(clips.columns[0].rows[0].bytes, (db::ByteVec{0x0A, 0x0B}));
  EXPECT_TRUE(clips.columns[0].rows[1].bytes.empty());
}

#ifdef SORVI_DATABUILD_EXE
TEST(TypedDescription, CommandRefusesABrokenRuleUnlessTold) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("databuild-typed-cli-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string desc = (dir / "d.txt").string();
  const std::string out = (dir / "d.pdb").string();
  const std::string err = (dir / "err.txt").string();
  // A stroke index described as a plain table behind another table.
  std::ofstream(desc) << "file short=\"x\"\ntable type=0x4000\ncolumn\n"
                         "table type=0x9010 infowords=1,1,10,10 flags=key16,sorted\ncolumn unit=2\nrow key=1 words=1,2\n";
  const std::string exe = SORVI_DATABUILD_EXE;
  EXPECT_NE(std::system((exe + " " + desc + " " + out + " 2>" + err).c_str()), 0);
  std::ifstream e(err);
  const std::string message((std::istreambuf_iterator<char>(e)), std::istreambuf_iterator<char>());
  EXPECT_NE(message.find("table 1: a syllable or stroke index is read only as table 0"), std::string::npos)
      << message;
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(std::system((exe + " --no-check " + desc + " " + out).c_str()), 0);
  EXPECT_TRUE(std::filesystem::exists(out));
  // The whole typed sample passes the check.
  std::ofstream(desc) << kTyped;
  EXPECT_EQ(std::system((exe + " " + desc + " " + out).c_str()), 0);
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
