// The dictionary tables: their bytes where the reader takes them, and round
// trips through the program's generic reader.
#include <gtest/gtest.h>

#include <functional>

#include "tests/databuild/file_decoder.h"
#include "tests/databuild/typed_table_fixture.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/table_rules.h"

namespace db = databuild;
using typedtest::TypedTableTest;

namespace {

std::u16string TextAt(const db::ByteVec& b, std::size_t at, std::size_t maxUnits) {
  std::u16string s;
  for (std::size_t i = 0; i < maxUnits && at + 2 * i + 1 < b.size(); ++i) {
    const char16_t u = db::GetU16LE(&b[at + 2 * i]);
    if (u == 0) break;
    s.push_back(u);
  }
  return s;
}

db::DataFileSpec OneTable(db::TableSpec t) {
  db::DataFileSpec f;
  f.tables.push_back(std::move(t));
  return f;
}

db::DictInfoSpec SampleInfo() {
  db::DictInfoSpec info;
  info.creator = 0x11223344;
  info.dictId = 7;
  info.flags = db::kDictCharacters | db::kDictSortedLast;
  info.firstField = 3;
  info.language = db::kLanguageChinese;
  info.transLanguage = db::kLanguageEnglish;
  info.iconText = u"ABC";
  info.iconText2 = u"xy";
  info.iconFillColor = 0x0099CC;
  info.iconTextColor = 0xFFFFFF;
  info.menuName = u"Menu name";
  info.shortName = u"Short";
  db::DictFieldSpec f0;
  f0.name = u"Headword";
  f0.type = db::kFieldChinese;
  db::DictFieldSpec f1;
  f1.name = u"Definition";
  f1.name2 = u"Defn";
  f1.prefix = u"<";
  f1.suffix = u">";
  f1.separator = u"; ";
  f1.classWord = 0x1200;
  f1.type = db::kFieldPinyin;
  f1.displayKind = 3;
  f1.grouping = 0x6;
  f1.level = 2;
  f1.style = 0x10080;
  f1.color = 0xCC33FF;
  info.fields = {f0, f1};
  db::DictSectionSpec s;
  s.flags = 0x1003;
  s.limit = 99;
  s.style = 4;
  s.prefix = u'(';
  s.suffix = u')';
  s.switchCount = 5;
  s.style2 = 6;
  s.prefix2 = u'[';
  s.suffix2 = u']';
  info.sections = {s};
  return info;
}

TEST(DictInfoHeader, EveryWordAtItsOffset) {
  db::ByteVec h;
  std::string error;
  ASSERT_EQ(db::BuildDictInfoHeader(SampleInfo(), &h, &error), 0) << error;
  ASSERT_EQ(h.size(), 328u + 2 * 424 + 32);

  const std::size_t f1 = 328 + 424;
  const std::size_t s0 = 328 + 2 * 424;
  const struct {
    std::size_t at;
    std::uint32_t value;
  } words[] = {
      {0, 0x11223344}, {4, 7},           {8, 0x20010},      {12, 3},          {16, 4096},       {20, 0},
      {44, 0x0099CC},  {48, 0xFFFFFF},   {316, 2},          {320, 1},         {328 + 376, 0x1001},
      {f1 + 372, 0x1200}, {f1 + 376, 0x1101}, {f1 + 380, 3}, {f1 + 384, 6},     {f1 + 392, 2},
      {f1 + 408, 0x10080}, {f1 + 416, 0xCC33FF}, {s0 + 0, 0x1003}, {s0 + 8, 99}, {s0 + 12, 4},
      {s0 + 20, 5},    {s0 + 24, 6},
  };
  for (const auto& w : words) EXPECT_EQ(db::GetU32LE(&h[w.at]), w.value) << "at " << w.at;
  EXPECT_EQ(db::GetU16LE(&h[s0 + 16]), u'(');
  EXPECT_EQ(db::GetU16LE(&h[s0 + 18]), u')');
  EXPECT_EQ(db::GetU16LE(&h[s0 + 28]), u'[');
  EXPECT_EQ(db::GetU16LE(&h[s0 + 30]), u']');

  const struct {
    std::size_t at;
    std::size_t units;
    std::u16string text;
  } texts[] = {
      {32, 3, u"ABC"},           {38, 3, u"xy"},          {52, 32, u"Menu name"},  {116, 32, u"Short"},
      {328, 32, u"Headword"},    {f1, 32, u"Definition"}, {f1 + 64, 32, u"Defn"},  {f1 + 272, 16, u"<"},
      {f1 + 304, 16, u">"},      {f1 + 336, 16, u"; "},
  };
  for (const auto& t : texts) EXPECT_EQ(TextAt(h, t.at, t.units), t.text) << "at " << t.at;
  // A 3-unit icon text runs into the second icon text without a terminator.
  EXPECT_EQ(db::GetU16LE(&h[38]), u'x');
  // The default display kind is plain text.
  EXPECT_EQ(db::GetU32LE(&h[328 + 380]), 1u);
}

TEST(DictInfoHeader, FullLengthNamesAreUnterminatedAndLongerOnesRefused) {
  db::DictInfoSpec info;
  info.menuName = std::u16string(32, u'M');
  info.shortName = std::u16string(32, u'S');
  db::ByteVec h;
  std::string error;
  ASSERT_EQ(db::BuildDictInfoHeader(info, &h, &error), 0) << error;
  EXPECT_EQ(db::GetU16LE(&h[52 + 62]), u'M');
  EXPECT_EQ(db::GetU16LE(&h[116]), u'S');  // straight behind the menu name
  EXPECT_EQ(db::GetU16LE(&h[116 + 62]), u'S');
  EXPECT_EQ(h.size(), 328u);

  const std::function<void(db::DictInfoSpec&)> tooLong[] = {
      [](db::DictInfoSpec& i) { i.iconText = u"ABCD"; },
      [](db::DictInfoSpec& i) { i.iconText2 = u"ABCD"; },
      [](db::DictInfoSpec& i) { i.menuName = std::u16string(33, u'm'); },
      [](db::DictInfoSpec& i) { i.shortName = std::u16string(33, u's'); },
      [](db::DictInfoSpec& i) { i.fields.push_back({}), i.fields[0].name = std::u16string(33, u'n'); },
      [](db::DictInfoSpec& i) { i.fields.push_back({}), i.fields[0].name2 = std::u16string(33, u'n'); },
      [](db::DictInfoSpec& i) { i.fields.push_back({}), i.fields[0].prefix = std::u16string(17, u'p'); },
      [](db::DictInfoSpec& i) { i.fields.push_back({}), i.fields[0].suffix = std::u16string(17, u'p'); },
      [](db::DictInfoSpec& i) { i.fields.push_back({}), i.fields[0].separator = std::u16string(17, u'p'); },
  };
  for (std::size_t k = 0; k < std::size(tooLong); ++k) {
    db::DictInfoSpec bad;
    tooLong[k](bad);
    error.clear();
    EXPECT_EQ(db::BuildDictInfoHeader(bad, &h, &error), 1) << "case " << k;
    EXPECT_FALSE(error.empty());
  }
}

std::vector<db::DictEntryRow> SampleEntries(std::size_t n) {
  std::vector<db::DictEntryRow> rows;
  for (std::size_t i = 0; i < n; ++i) {
    db::DictEntryRow r;
    r.text = u"\uEA00\u4E2D" + std::u16string(i % 5, u'x') + u"\uEA01\uE123 entry";
    r.text.push_back(static_cast<char16_t>(u'a' + i % 26));
    rows.push_back(r);
  }
  return rows;
}

class EntryTableCoding : public TypedTableTest, public ::testing::WithParamInterface<db::EntryCoding> {};

TEST_P(EntryTableCoding, RowsKeysTextsAndHeaderReadBack) {
  db::DictEntryTableSpec desc;
  desc.info = SampleInfo();
  desc.entries = SampleEntries(40);
  desc.coding = GetParam();
  desc.maxBlockRows = 7;  // several blocks
  db::TableSpec t;
  std::string error;
  ASSERT_EQ(db::MakeDictEntryTable(desc, &t, &error), 0) << error;
  db::DataFileSpec file;
  file.tables.push_back(t);
  ASSERT_EQ(db::CheckDataFileRules(file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GetTablePropertyByIndex(d, 0, 1), db::kTypeDictEntries);
  TableCursor* c = Cursor(d, 0);
  db::ByteVec header;
  ASSERT_EQ(db::BuildDictInfoHeader(desc.info, &header, &error), 0);
  EXPECT_EQ(InfoArea(c), header);
  EXPECT_EQ(GetTableEntryCount(c), 40u);
  EXPECT_EQ(GetColumnRowCount(c, 0), 40u);
  for (std::uint32_t r = 0; r < 40; ++r) {
    EXPECT_EQ(GetRowKeyByRow(c, 0, r), r) << r;  // the default key is the row
    EXPECT_EQ(RecordText(c, r), desc.entries[r].text) << r;
  }
  // Keys ascend, so the table is searchable by key.
  EXPECT_EQ(FindRowByKey(c, 0, 33, 1, 0), 33);
}

TEST_P(EntryTableCoding, LongEntriesGetBlocksOfTheirOwn) {
  db::DictEntryTableSpec desc;
  desc.coding = GetParam();
  std::u16string longText;
  for (std::uint32_t i = 0; i < 12000; ++i) longText.push_back(static_cast<char16_t>(0x4E00 + (i * 37) % 3000));
  desc.entries = {{false, 0, u"short"}, {false, 0, longText}, {false, 0, longText.substr(0, 9000)}, {false, 0, u"end"}};
  db::TableSpec t;
  std::string error;
  ASSERT_EQ(db::MakeDictEntryTable(desc, &t, &error), 0) << error;
  DataFileDb* d = Open(OneTable(t));
  ASSERT_NE(d, nullptr);
  TableCursor* c = Cursor(d, 0);
  for (std::uint32_t r = 0; r < 4; ++r) EXPECT_EQ(RecordText(c, r), desc.entries[r].text) << r;
}

INSTANTIATE_TEST_SUITE_P(Codings, EntryTableCoding,
                         ::testing::Values(db::EntryCoding::Huffman, db::EntryCoding::Raw, db::EntryCoding::Zlib));

TEST_F(TypedTableTest, EntryKeysPickTheirWidthAndOrderFlag) {
  const struct {
    std::vector<std::uint32_t> keys;
    bool key32;
    std::uint32_t flags;
  } cases[] = {
      {{5, 9, 70000}, false, db::kTableKeyed | db::kTableKey32 | db::kTableSorted},
      {{9, 5, 7}, false, db::kTableKeyed},
      {{1, 2, 3}, true, db::kTableKeyed | db::kTableKey32 | db::kTableSorted},
  };
  for (const auto& k : cases) {
    db::DictEntryTableSpec desc;
    desc.key32 = k.key32;
    for (std::uint32_t key : k.keys) desc.entries.push_back({true, key, u"e"});
    db::TableSpec t;
    std::string error;
    ASSERT_EQ(db::MakeDictEntryTable(desc, &t, &error), 0) << error;
    EXPECT_EQ(t.flags & ~db::kTableHuffmanText, k.flags);
    DataFileDb* d = Open(OneTable(t));
    ASSERT_NE(d, nullptr);
    TableCursor* c = Cursor(d, 0);
    for (std::uint32_t r = 0; r < k.keys.size(); ++r) EXPECT_EQ(GetRowKeyByRow(c, 0, r), k.keys[r]);
  }
  db::DictEntryTableSpec dup;
  dup.entries = {{true, 4, u"a"}, {true, 4, u"b"}};
  db::TableSpec t;
  std::string error;
  EXPECT_EQ(db::MakeDictEntryTable(dup, &t, &error), 1);
  dup.type = 0x1020;
  dup.entries.pop_back();
  EXPECT_EQ(db::MakeDictEntryTable(dup, &t, &error), 1);
}

TEST_F(TypedTableTest, IdMapFindsEachIdsRowAcrossBlocks) {
  std::vector<db::DictIdMapping> map;
  for (std::uint32_t i = 0; i < 50; ++i) map.push_back({1000 - 7 * i, i * 3 + 1});  // given in descending id order
  map.push_back({100000, 77});                                                   // needs 32-bit keys
  db::TableSpec t;
  std::string error;
  ASSERT_EQ(db::MakeDictIdMapTable(map, &t, &error, 6), 0) << error;
  DataFileDb* d = Open(OneTable(t));
  ASSERT_NE(d, nullptr);
  TableCursor* c = Cursor(d, 0);
  EXPECT_EQ(GetTablePropertyByIndex(d, 0, 1), db::kTypeDictIdMap);
  for (const db::DictIdMapping& m : map) {
    const int64_t row = FindRowByKey(c, 0, m.id, 1, 0);
    ASSERT_GE(row, 0) << m.id;
    EXPECT_EQ(ReadSingleValue(c, 0, static_cast<std::uint32_t>(row)), m.row) << m.id;
  }
  EXPECT_EQ(FindRowByKey(c, 0, 999, 1, 0), -1);
  EXPECT_EQ(FindRowByKey(c, 0, 5, 1, 0), -1);

  map.push_back({1000, 1});
  EXPECT_EQ(db::MakeDictIdMapTable(map, &t, &error), 1);
}

TEST_F(TypedTableTest, CharVariantsReadAsAtMostFourUnits) {
  const std::vector<db::CharVariant> variants = {
      {u'\u8AAA', u"\u8BF4"}, {u'\u4E7E', u"\u5E72\u4E7E\u6F27"}, {u'\u767C', u"\u53D1\u9AEE\u9AEA\u5F42"}};
  db::TableSpec t;
  std::string error;
  ASSERT_EQ(db::MakeCharVariantTable(9, 10, variants, &t, &error), 0) << error;
  DataFileDb* d = Open(OneTable(t));
  ASSERT_NE(d, nullptr);
  TableCursor* c = Cursor(d, 0);
  const db::ByteVec info = InfoArea(c);
  ASSERT_GE(info.size(), 12u);
  EXPECT_EQ(db::GetU32LE(&info[0]), 9u);
  EXPECT_EQ(db::GetU32LE(&info[4]), 10u);
  EXPECT_EQ(db::GetU32LE(&info[8]), db::kCharVariantsFlags);
  for (const db::CharVariant& v : variants) {
    const int64_t row = FindRowByKey(c, 0, v.ch, 1, 0);
    ASSERT_GE(row, 0);
    EXPECT_EQ(RecordText(c, static_cast<std::uint32_t>(row)), v.forms);
  }
  EXPECT_EQ(FindRowByKey(c, 0, u'\u4E00', 1, 0), -1);

  for (const std::u16string& bad : {std::u16string(), std::u16string(u"abcde")}) {
    EXPECT_EQ(db::MakeCharVariantTable(9, 10, {{u'a', bad}}, &t, &error), 1);
  }
  EXPECT_EQ(db::MakeCharVariantTable(9, 10, {{u'a', u"b"}, {u'a', u"c"}}, &t, &error), 1);
}

TEST_F(TypedTableTest, WordLengthsReadAsValuePlusOne) {
  const struct {
    std::vector<std::uint32_t> lengths;
    std::uint32_t unit;
  } cases[] = {{{1, 2, 4, 256, 3}, 1}, {{300, 1, 65536}, 2}};
  for (const auto& k : cases) {
    db::TableSpec t;
    std::string error;
    ASSERT_EQ(db::MakeWordLengthTable(3, 4, k.lengths, &t, &error), 0) << error;
    DataFileDb* d = Open(OneTable(t));
    ASSERT_NE(d, nullptr);
    TableCursor* c = Cursor(d, 0);
    EXPECT_EQ(GetColumnUnitSize(c, 0), k.unit);
    const db::ByteVec info = InfoArea(c);
    ASSERT_GE(info.size(), 12u);
    EXPECT_EQ(db::GetU32LE(&info[8]), db::kWordLengthsFlags);
    for (std::uint32_t r = 0; r < k.lengths.size(); ++r) EXPECT_EQ(ReadSingleValue(c, 0, r) + 1, k.lengths[r]);
  }
  db::TableSpec t;
  std::string error;
  EXPECT_EQ(db::MakeWordLengthTable(3, 4, {2, 0}, &t, &error), 1);
  EXPECT_EQ(db::MakeWordLengthTable(3, 4, {65537}, &t, &error), 1);
}

TEST(EntryBitmap, BitOfEachCharacterMsbFirstInLittleEndianWords) {
  const db::ByteVec b = db::MakeEntryBitmap({u'\u0000', u'A', u'\u4E00', u'\u4E1F', u'\uFFFF'});
  ASSERT_EQ(b.size(), db::kEntryBitmapBytes);
  // 'A' = 65: word 2, second bit from the top.
  EXPECT_EQ(db::GetU32LE(&b[8]), 0x40000000u);
  EXPECT_EQ(b[11], 0x40);
  EXPECT_EQ(db::GetU32LE(&b[0]), 0x80000000u);  // U+0000
  // U+4E00 and U+4E1F share word 0x270: its top and bottom bit.
  EXPECT_EQ(db::GetU32LE(&b[4 * 0x270]), 0x80000001u);
  EXPECT_EQ(db::GetU32LE(&b[8188]), 0x00000001u);  // U+FFFF
  std::size_t set = 0;
  for (std::uint32_t c = 0; c < 65536; ++c) set += db::TestEntryBitmapBit(b, static_cast<char16_t>(c)) ? 1 : 0;
  EXPECT_EQ(set, 5u);
}

TEST(EntryBitmap, OnlyWholeSingleCharacterHeadwordsCount) {
  const std::vector<char16_t> chars =
      db::SingleCharHeadwords({u"\u4E2D", u"\u4E2D\u6587", u"", std::u16string{0xD840, 0xDC00},
                               std::u16string(1, 0xD840), u"a", u"\u6587"});
  EXPECT_EQ(chars, (std::vector<char16_t>{u'\u4E2D', u'a', u'\u6587'}));
}

TEST_F(TypedTableTest, PrefixIndexCarriesTheBitmapAsSubtableZero) {
  db::PrefixIndexSpec p;
  p.singleCharHeadwords = {u'\u4E2D', u'\u6587'};
  p.moreSubtables = {{1, 2, 3, 4}};
  db::TableSpec t;
  std::string error;
  ASSERT_EQ(db::MakePrefixIndexTable(p, &t, &error), 0) << error;
  DataFileDb* d = Open(OneTable(t));
  ASSERT_NE(d, nullptr);
  TableCursor* c = Cursor(d, 0);
  std::uint32_t size = 0;
  const std::uint8_t* rec = GetSubtableRecord(c, 0, &size);
  ASSERT_NE(rec, nullptr);
  ASSERT_EQ(size, db::kEntryBitmapBytes);
  const db::ByteVec bitmap(rec, rec + size);
  EXPECT_EQ(bitmap, db::MakeEntryBitmap(p.singleCharHeadwords));
  EXPECT_TRUE(db::TestEntryBitmapBit(bitmap, u'\u6587'));
  EXPECT_FALSE(db::TestEntryBitmapBit(bitmap, u'\u6586'));
  rec = GetSubtableRecord(c, 1, &size);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec[3], 4);

  p.flags = db::kTableHuffmanText;
  EXPECT_EQ(db::MakePrefixIndexTable(p, &t, &error), 1);
}

TEST_F(TypedTableTest, WholeDictionaryTablesInOrderWithParallelSecondary) {
  db::DictionarySpec desc;
  desc.info = SampleInfo();
  desc.info.flags = 0;
  desc.secondaryFirstField = 1;
  desc.idMapFromKeys = true;
  desc.charVariants = {{u'\u4E7E', u"\u5E72"}};
  desc.wordLengths = true;
  const std::u16string heads[] = {u"\u4E2D", u"\u4E2D\u6587", u"\u6587", u"abc"};
  for (std::uint32_t i = 0; i < 4; ++i) {
    db::DictEntrySpec e;
    e.hasKey = true;
    e.key = 500 + 10 * i;
    e.headword = heads[i];
    e.text = u"\uEA00" + heads[i];
    e.secondary = u"\uEA01sense " + std::u16string(1, static_cast<char16_t>(u'0' + i));
    desc.entries.push_back(e);
  }
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddDictionaryTables(desc, &file, &error), 0) << error;
  ASSERT_EQ(db::CheckDataFileRules(file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  const std::uint32_t types[] = {0x1000, 0x1010, 0x1030, 0x1040, 0x1100, 0x1300};
  ASSERT_EQ(GetTableCount(d), std::size(types));
  for (std::uint32_t i = 0; i < std::size(types); ++i) EXPECT_EQ(GetTablePropertyByIndex(d, i, 1), types[i]);

  TableCursor* primary = Cursor(d, 0);
  TableCursor* secondary = Cursor(d, 1);
  const db::ByteVec pInfo = InfoArea(primary);
  const db::ByteVec sInfo = InfoArea(secondary);
  ASSERT_GE(sInfo.size(), 328u);
  EXPECT_EQ(db::GetU32LE(&pInfo[8]) & db::kDictHasSecondary, db::kDictHasSecondary);
  EXPECT_EQ(db::GetU32LE(&sInfo[12]), 1u);
  TableCursor* idMap = Cursor(d, 2);
  TableCursor* prefix = Cursor(d, 4);
  TableCursor* lengths = Cursor(d, 5);
  std::uint32_t size = 0;
  const std::uint8_t* bits = GetSubtableRecord(prefix, 0, &size);
  ASSERT_NE(bits, nullptr);
  const db::ByteVec bitmap(bits, bits + size);
  for (std::uint32_t r = 0; r < 4; ++r) {
    EXPECT_EQ(GetRowKeyByRow(primary, 0, r), 500 + 10 * r);
    EXPECT_EQ(GetRowKeyByRow(secondary, 0, r), 500 + 10 * r);
    EXPECT_EQ(RecordText(primary, r), desc.entries[r].text);
    EXPECT_EQ(RecordText(secondary, r), desc.entries[r].secondary);
    const int64_t m = FindRowByKey(idMap, 0, 500 + 10 * r, 1, 0);
    ASSERT_GE(m, 0);
    EXPECT_EQ(ReadSingleValue(idMap, 0, static_cast<std::uint32_t>(m)), r);
    EXPECT_EQ(ReadSingleValue(lengths, 0, r) + 1, heads[r].size());
  }
  EXPECT_TRUE(db::TestEntryBitmapBit(bitmap, u'\u4E2D'));
  EXPECT_TRUE(db::TestEntryBitmapBit(bitmap, u'\u6587'));
  EXPECT_FALSE(db::TestEntryBitmapBit(bitmap, u'a'));
}

TEST(DictionaryTables, OnlyAskedForTablesAreWritten) {
  db::DictionarySpec desc;
  desc.entryBitmap = false;
  desc.entries.push_back({});
  std::vector<db::TableSpec> tables;
  std::string error;
  ASSERT_EQ(db::MakeDictionaryTables(desc, &tables, &error), 0) << error;
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].type, db::kTypeDictEntries);
  EXPECT_EQ(db::GetU32LE(&tables[0].info[8]) & db::kDictHasSecondary, 0u);
  // A word-length table needs a length for every entry.
  desc.wordLengths = true;
  EXPECT_EQ(db::MakeDictionaryTables(desc, &tables, &error), 1);
  // Flags that announce a secondary table need one.
  desc.wordLengths = false;
  desc.info.flags = db::kDictHasSecondary;
  EXPECT_EQ(db::MakeDictionaryTables(desc, &tables, &error), 1);
}

}  // namespace
