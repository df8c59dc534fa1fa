// The search indexes the writer derives from a dictionary's entries: each
// index read back through the program's generic reader (data file, table
// cursors) by the layout the writer documents, against what the entries
// say it must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "engine/latin_fold.h"
#include "engine/text_compare.h"
#include "tests/databuild/file_decoder.h"
#include "tests/databuild/typed_table_fixture.h"
#include "tools/databuild/description.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"
#include "tools/databuild/index_tables.h"
#include "tools/databuild/markup_index.h"

namespace {

using typedtest::TypedTableTest;
namespace db = databuild;

std::u16string Codes(const char* pinyin) { return db::PinyinNumbersToCodes(pinyin); }

db::SearchIndexEntry Chinese(std::vector<std::u16string> forms, const char* pinyin,
                             std::vector<std::u16string> senses = {}) {
  db::SearchIndexEntry e;
  e.headwords = std::move(forms);
  e.pinyin = Codes(pinyin);
  e.senses = std::move(senses);
  return e;
}

db::DictionaryEntries ChineseEntries() {
  return {
      Chinese({u"中"}, "zhong1", {u"middle", u"centre"}),                 // 0
      Chinese({u"中国", u"中國"}, "Zhong1 guo2", {u"China"}),              // 1
      Chinese({u"中国人", u"中國人"}, "Zhong1 guo2 ren2", {u"Chinese person"}),  // 2
      Chinese({u"中文"}, "Zhong1 wen2", {u"Chinese language"}),          // 3
      Chinese({u"国", u"國"}, "guo2", {u"country"}),                      // 4
      Chinese({u"人"}, "ren2", {u"person", u"people"}),                  // 5
      Chinese({u"重"}, "zhong4", {u"heavy"}),                            // 6
      Chinese({u"重要"}, "zhong4 yao4", {u"important"}),                  // 7
      Chinese({u"种"}, "zhong3", {u"seed"}),                             // 8
      Chinese({u"卡拉OK"}, "ka3 la1 O K", {u"karaoke"}),                  // 9
      Chinese({u"看(书)"}, "kan4", {u"to read"}),                         // 10
      Chinese({u"奥黛丽·赫本"}, "Ao4 dai4 li4 · He4 ben3", {u"Audrey Hepburn"}),  // 11
  };
}

// The positions a key row of a column owns: [first, end).
struct Range {
  std::uint32_t first = 0, end = 0;
};

bool RowRange(TableCursor* c, std::uint32_t column, std::uint32_t key, Range* r) {
  const std::int64_t row = FindRowByKey(c, column, key, 1, 0);
  if (row < 0) return false;
  r->first = GetRowRecordOffset(c, column, static_cast<std::uint32_t>(row));
  r->end = r->first + GetRowRecordLength(c, column, static_cast<std::uint32_t>(row));
  return true;
}

std::vector<std::uint32_t> Values(TableCursor* c, std::uint32_t column, Range r) {
  std::vector<std::uint32_t> v;
  for (std::uint32_t p = r.first; p < r.end; ++p) v.push_back(ReadSingleValue(c, column, p));
  return v;
}

// The entries whose key starts with `prefix`, by the prefix index's layout:
// column 1's row of the first character, then in each deeper column the
// nodes of the next character whose value lies in the range before (they
// must be contiguous), then every node followed down to its entry.
std::set<std::uint32_t> WalkPrefix(TableCursor* c, const std::u16string& prefix) {
  const std::uint32_t columns = GetTableColumnCount(c);
  Range cur;
  if (prefix.empty() || columns < 2 || !RowRange(c, 1, prefix[0], &cur)) return {};
  std::uint32_t depth = 1;
  for (std::size_t i = 1; i < prefix.size() && i + 1 < columns; ++i) {
    const std::uint32_t column = static_cast<std::uint32_t>(i + 1);
    Range row;
    if (!RowRange(c, column, prefix[i], &row)) return {};
    Range next{0, 0};
    bool any = false;
    for (std::uint32_t p = row.first; p < row.end; ++p) {
      const std::uint32_t v = ReadSingleValue(c, column, p);
      if (v < cur.first || v >= cur.end) continue;
      if (!any) next.first = p;
      EXPECT_TRUE(!any || next.end == p) << "nodes under one prefix are not contiguous";
      next.end = p + 1;
      any = true;
    }
    if (!any) return {};
    cur = next;
    depth = column;
  }
  std::set<std::uint32_t> entries;
  for (std::uint32_t p = cur.first; p < cur.end; ++p) {
    std::uint32_t pos = p;
    for (std::uint32_t column = depth; column >= 2; --column) pos = ReadSingleValue(c, column, pos);
    entries.insert(ReadSingleValue(c, 1, pos));
  }
  return entries;
}

std::set<std::uint32_t> ExpectedPrefix(const db::DictionaryEntries& entries, const std::u16string& prefix,
                                       std::size_t depth) {
  const std::u16string cut = prefix.substr(0, depth);
  std::set<std::uint32_t> out;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    for (const std::u16string& k : db::PrefixIndexKeys(entries[e])) {
      if (k.compare(0, cut.size(), cut) == 0) out.insert(static_cast<std::uint32_t>(e));
    }
  }
  return out;
}

TableCursor* TableOfType(DataFileDb* d, std::vector<TableCursor*>& keep, std::uint32_t type) {
  for (std::uint32_t i = 0; i < GetTableCount(d); ++i) {
    if (GetTablePropertyByIndex(d, i, 1) == type) {
      TableCursor* c = NewTableCursor(GetTableByIndex(d, i));
      keep.push_back(c);
      return c;
    }
  }
  return nullptr;
}

class IndexTablesTest : public TypedTableTest {
 protected:
  TableCursor* OfType(DataFileDb* d, std::uint32_t type) { return TableOfType(d, cursors_, type); }

  DataFileDb* OpenIndexes(const db::DictionaryEntries& entries, const db::SearchIndexOptions& options) {
    db::DataFileSpec file;
    file.shortName = u"Index";
    std::string error;
    EXPECT_EQ(db::AddSearchIndexes(file, entries, options, &error), 0) << error;
    return Open(file);
  }
};

TEST(IndexKeysTest, PrefixKeysAreTheCleanedFormsAndTheSyllables) {
  const db::DictionaryEntries entries = ChineseEntries();
  struct Case {
    std::size_t entry;
    std::vector<std::u16string> keys;
  } cases[] = {
      {0, {u"中", Codes("zhong1")}},
      // The traditional form is a key of its own; the word break of the
      // capital is no part of the pronunciation key.
      {1, {u"中国", u"中國", Codes("zhong1 guo2")}},
      // Letters stay in a headword; a pronunciation keeps only its syllables.
      {9, {u"卡拉OK", Codes("ka3 la1")}},
      {10, {u"看", Codes("kan4")}},
      {11, {u"奥黛丽赫本", Codes("ao4 dai4 li4 he4 ben3")}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db::PrefixIndexKeys(entries[c.entry]), c.keys) << "entry " << c.entry;
  }
  // Equal forms count once.
  EXPECT_EQ(db::PrefixIndexKeys(Chinese({u"人", u"人"}, "ren2")).size(), 2u);
}

TEST_F(IndexTablesTest, PrefixIndexFindsEveryPrefixOfEveryKey) {
  const db::DictionaryEntries entries = ChineseEntries();
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.maxBlockRows = 2;  // many blocks in every column
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(c, nullptr);
  // The longest key has five characters: columns 0 to 5.
  EXPECT_EQ(GetTableColumnCount(c), 6u);

  std::set<std::u16string> prefixes;
  for (const db::SearchIndexEntry& e : entries) {
    for (const std::u16string& k : db::PrefixIndexKeys(e)) {
      for (std::size_t n = 1; n <= k.size(); ++n) prefixes.insert(k.substr(0, n));
    }
  }
  for (const std::u16string& p : prefixes) {
    EXPECT_EQ(WalkPrefix(c, p), ExpectedPrefix(entries, p, 5)) << db::Utf16ToUtf8(p);
  }
  // Keys that no entry has.
  for (const std::u16string& p : {std::u16string(u"国中"), std::u16string(u"中国x"), Codes("guo2 zhong1")}) {
    EXPECT_TRUE(WalkPrefix(c, p).empty()) << db::Utf16ToUtf8(p);
  }
}

TEST_F(IndexTablesTest, PrefixIndexRowsHoldTheirNodesInValueOrder) {
  const db::DictionaryEntries entries = ChineseEntries();
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.maxBlockRows = 3;
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(c, nullptr);
  std::uint32_t nodesBefore = 0;
  for (std::uint32_t column = 0; column < GetTableColumnCount(c); ++column) {
    std::uint32_t nodes = 0;
    std::int64_t lastKey = -1;
    std::uint32_t widest = 0;
    for (std::uint32_t r = 0; r < GetColumnRowCount(c, column); ++r) {
      const std::int64_t key = GetRowKeyByRow(c, column, r);
      EXPECT_GT(key, lastKey) << "column " << column << " keys ascend";
      lastKey = key;
      const Range range{GetRowRecordOffset(c, column, r),
                        GetRowRecordOffset(c, column, r) + GetRowRecordLength(c, column, r)};
      EXPECT_EQ(range.first, nodes) << "records follow each other";
      const std::vector<std::uint32_t> v = Values(c, column, range);
      EXPECT_FALSE(v.empty());
      EXPECT_TRUE(std::is_sorted(v.begin(), v.end())) << "column " << column << " row " << r;
      if (column == 0) {
        EXPECT_EQ(std::adjacent_find(v.begin(), v.end()), v.end()) << "entries once each";
      }
      for (std::uint32_t x : v) widest = std::max(widest, x);
      nodes += static_cast<std::uint32_t>(v.size());
    }
    // Values of column c >= 2 are positions in column c - 1; of columns 0
    // and 1 entry numbers.
    if (column >= 2) {
      EXPECT_LT(widest, nodesBefore) << "column " << column;
    }
    if (column <= 1) {
      EXPECT_LT(widest, entries.size());
    }
    if (column >= 1) nodesBefore = nodes;
  }
}

// The table headers, read by the tests' own decoder: flags, value widths,
// info areas and entry counts of every index.
TEST(IndexHeadersTest, EachIndexHasItsFlagsWidthsAndInfo) {
  db::DictionaryEntries entries = ChineseEntries();
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.words = db::WordIndexKind::Both;
  options.triples = true;
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddSearchIndexes(file, entries, options, &error), 0) << error;
  db::ByteVec bytes;
  db::DataFileLayout layout;
  ASSERT_EQ(db::BuildDataFile(file, &bytes, &layout, &error), 0) << error;
  struct Case {
    std::uint32_t type, flags, columns, infoSize;
  } cases[] = {
      {0x1100, 0x054, 6, 0},   // bit-packed, 16-bit keys, sorted
      {0x1120, 0x074, 1, 0},   // bit-packed, 32-bit keys, sorted
      {0x1130, 0x100, 1, 36},  // bytes, first-key texts
      {0x1131, 0x100, 1, 36},
      {0x1140, 0x074, 1, 0},
  };
  ASSERT_EQ(layout.tables.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const dectest::Table t = dectest::DecodeTable(bytes, layout.tables[i].headerRecord);
    EXPECT_EQ(t.type, cases[i].type);
    EXPECT_EQ(t.flags, cases[i].flags) << std::hex << t.type;
    EXPECT_EQ(t.columnCount, cases[i].columns) << std::hex << t.type;
    EXPECT_EQ(t.infoSize, cases[i].infoSize) << std::hex << t.type;
    EXPECT_EQ(t.entryCount, entries.size()) << std::hex << t.type;
  }
  // Twelve entries: entry numbers take 4 bits, leaving 15 for the mark.
  const dectest::Table prefix = dectest::DecodeTable(bytes, layout.tables[0].headerRecord);
  EXPECT_EQ(prefix.unitSize[0], 4u);
  EXPECT_EQ(prefix.unitSize[1], 4u);
  EXPECT_EQ(prefix.subtableCount, 1u);
  EXPECT_EQ(dectest::DecodeTable(bytes, layout.tables[1].headerRecord).unitSize[0], 4u);
  EXPECT_EQ(dectest::DecodeTable(bytes, layout.tables[4].headerRecord).unitSize[0], 4u);
  const dectest::Table ranked = dectest::DecodeTable(bytes, layout.tables[3].headerRecord);
  EXPECT_EQ(ranked.unitSize[0], 1u);
  EXPECT_EQ(db::GetU32LE(&ranked.info[28]), 8u);
  EXPECT_EQ(db::GetU32LE(&ranked.info[32]), 2u);
  const dectest::Table plain = dectest::DecodeTable(bytes, layout.tables[2].headerRecord);
  EXPECT_EQ(db::GetU32LE(&plain.info[28]), 8u);
  EXPECT_EQ(db::GetU32LE(&plain.info[32]), 0u);
  // Column c >= 2 of the prefix index: the bits of column c - 1's largest
  // position. Column 1 has one node per key.
  std::size_t keys = 0;
  for (const db::SearchIndexEntry& e : entries) keys += db::PrefixIndexKeys(e).size();
  std::uint32_t bits = 0;
  while ((keys - 1) >> bits) ++bits;
  EXPECT_EQ(prefix.unitSize[2], bits);
}

// The description's index attributes give the same file as the calls they
// stand for.
TEST(IndexDescriptionTest, DictionaryLineWithSearchIndexesMatchesTheBuilderCalls) {
  const char text[] = R"desc(file name="Idx" short="Idx"
dictionary lang=4096 short="CE" searchindexes indexes=prefix,cjkpairs,words,plainwords indexdepth=2 toocommon=5 commonwords="the,To" blockrows=2
entry headword="中国" headword2="中國" pinyin="Zhong1 guo2" sense="China" sense="Middle Kingdom" text="\uEA00中国"
entry headword="中" pinyin="\{zhong1}" sense="middle" more="量词: 个" text="\uEA00中"
)desc";
  db::DataFileSpec described;
  std::string error;
  ASSERT_EQ(db::ParseDataFileDescription(text, &described, &error), 0) << error;

  db::DictionarySpec dict;
  dict.info.language = db::kLanguageChinese;
  dict.info.shortName = u"CE";
  dict.maxBlockRows = 2;
  dict.searchIndexes = true;
  db::SearchIndexOptions o;
  o.cjkPairsOnly = true;
  o.words = db::WordIndexKind::Both;
  o.maxKeyDepth = 2;
  o.tooCommonEntries = 5;
  o.tooCommonWords = {u"the", u"To"};
  o.maxBlockRows = 2;
  dict.indexOptions = o;
  db::DictEntrySpec a;
  a.headword = u"中国";
  a.text = u"\uEA00中国";
  a.index.headwords = {u"中国", u"中國"};
  a.index.pinyin = Codes("Zhong1 guo2");
  a.index.senses = {u"China", u"Middle Kingdom"};
  db::DictEntrySpec b;
  b.headword = u"中";
  b.text = u"\uEA00中";
  b.index.pinyin = Codes("zhong1");
  b.index.senses = {u"middle"};
  b.index.moreTexts = {u"量词: 个"};
  dict.entries = {a, b};
  db::DataFileSpec built;
  built.containerName = "Idx";
  built.shortName = u"Idx";
  ASSERT_EQ(db::AddDictionaryTables(dict, &built, &error), 0) << error;

  db::ByteVec x, y;
  ASSERT_EQ(db::BuildDataFile(described, &x, nullptr, &error), 0) << error;
  ASSERT_EQ(db::BuildDataFile(built, &y, nullptr, &error), 0) << error;
  std::vector<std::uint32_t> types;
  for (const db::TableSpec& t : described.tables) types.push_back(t.type);
  EXPECT_EQ(types, (std::vector<std::uint32_t>{0x1000, 0x1100, 0x1120, 0x1130, 0x1131}));
  EXPECT_EQ(x, y);

  // Without a list: the defaults of the language (English: pairs, ranked
  // words, triples, and the bitmap-only prefix index).
  ASSERT_EQ(db::ParseDataFileDescription("dictionary lang=0 searchindexes\nentry headword=\"pear\" text=\"pear\"\n",
                                         &described, &error),
            0)
      << error;
  types.clear();
  for (const db::TableSpec& t : described.tables) types.push_back(t.type);
  EXPECT_EQ(types, (std::vector<std::uint32_t>{0x1000, 0x1100, 0x1120, 0x1131, 0x1140}));

  EXPECT_NE(db::ParseDataFileDescription("dictionary indexes=prefix,bogus\n", &described, &error), 0);
  EXPECT_NE(error.find("indexes="), std::string::npos) << error;
}

TEST_F(IndexTablesTest, ColumnZeroListsTheEntriesWhoseWholeKeyIsTheCharacter) {
  db::DictionaryEntries entries = ChineseEntries();
  entries.push_back(Chinese({u"中"}, "zhong4", {u"to hit"}));  // 12: a second 中, another reading
  DataFileDb* d = OpenIndexes(entries, db::SearchIndexOptionsFor(db::kLanguageChinese));
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(c, nullptr);
  struct Case {
    std::u16string ch;
    std::vector<std::uint32_t> entries;
  } cases[] = {
      {u"中", {0, 12}},           // not 中国, 中文: their whole key is longer
      {u"國", {4}},               // a traditional form
      {Codes("zhong1"), {0}},     // one-syllable pronunciations
      {Codes("zhong4"), {6, 12}},
      {Codes("guo2"), {4}},
      {u"文", {}},                // only inside longer keys
  };
  for (const Case& k : cases) {
    Range r;
    std::vector<std::uint32_t> got;
    if (RowRange(c, 0, k.ch[0], &r)) got = Values(c, 0, r);
    EXPECT_EQ(got, k.entries) << db::Utf16ToUtf8(k.ch);
  }
  // The entry bitmap stays subtable record 0: one-character headwords only.
  std::uint32_t size = 0;
  const std::uint8_t* bitmap = GetSubtableRecord(c, 0, &size);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(size, db::kEntryBitmapBytes);
  const db::ByteVec b(bitmap, bitmap + size);
  for (char16_t ch : {u'中', u'国', u'國', u'人', u'重', u'种'}) EXPECT_TRUE(db::TestEntryBitmapBit(b, ch));
  for (char16_t ch : {u'文', u'看'}) EXPECT_FALSE(db::TestEntryBitmapBit(b, ch));
}

TEST_F(IndexTablesTest, PrefixIndexStopsAtItsDeepestColumn) {
  const db::DictionaryEntries entries = ChineseEntries();
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.maxKeyDepth = 2;
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GetTableColumnCount(c), 3u);
  // A longer key matches up to the deepest column: 中国 and 中国人 alike.
  EXPECT_EQ(WalkPrefix(c, u"中国人"), (std::set<std::uint32_t>{1, 2}));
  EXPECT_EQ(WalkPrefix(c, u"中国人"), ExpectedPrefix(entries, u"中国人", 2));
}

std::vector<std::uint32_t> PostingsOf(TableCursor* c, std::uint32_t key) {
  Range r;
  if (!RowRange(c, 0, key, &r)) return {};
  return Values(c, 0, r);
}

TEST_F(IndexTablesTest, CharacterPairsListTheEntriesThatHoldThem) {
  db::DictionaryEntries entries = ChineseEntries();
  entries[3].moreTexts = {u"classifier: 门 门"};
  entries[5].senses.push_back(u"see 中国人");
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.maxBlockRows = 4;
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeCharPairIndex);
  ASSERT_NE(c, nullptr);

  // Every key of every entry, against the entries that hold it.
  std::map<std::uint32_t, std::vector<std::uint32_t>> expected;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    for (std::uint32_t k : db::CharPairKeys(entries[e], false)) expected[k].push_back(static_cast<std::uint32_t>(e));
  }
  EXPECT_EQ(GetColumnRowCount(c, 0), expected.size());
  for (const auto& [key, ids] : expected) EXPECT_EQ(PostingsOf(c, key), ids) << std::hex << key;

  auto pair = [](char16_t a, char16_t b) { return static_cast<std::uint32_t>(a) << 16 | b; };
  struct Case {
    std::uint32_t key;
    std::vector<std::uint32_t> entries;
  } cases[] = {
      {pair(u'中', u'国'), {1, 2, 5}},  // headwords and a sense
      {pair(u'国', u'人'), {2, 5}},
      {pair(u'O', u'K'), {9}},          // letters too
      {pair(u'k', u'e'), {9}},          // "karaoke"
      {pair(u'門', u'门'), {}},
      {pair(u'门', u' '), {}},          // never a blank
      {pair(u':', u'门'), {}},          // ": 门" has a blank between
      {pair(u'中', 0xE000), {}},        // never a syllable code
  };
  for (const Case& k : cases) EXPECT_EQ(PostingsOf(c, k.key), k.entries) << std::hex << k.key;
}

TEST(IndexKeysTest, CjkOnlyPairsNeedAChineseCharacter) {
  const db::SearchIndexEntry e = Chinese({u"卡拉OK"}, "ka3 la1", {u"karaoke 卡"});
  const std::vector<std::uint32_t> all = db::CharPairKeys(e, false);
  const std::vector<std::uint32_t> cjk = db::CharPairKeys(e, true);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  const std::uint32_t laO = static_cast<std::uint32_t>(u'拉') << 16 | u'O';
  const std::uint32_t ok = static_cast<std::uint32_t>(u'O') << 16 | u'K';
  EXPECT_NE(std::find(all.begin(), all.end(), ok), all.end());
  EXPECT_EQ(std::find(cjk.begin(), cjk.end(), ok), cjk.end());
  EXPECT_NE(std::find(cjk.begin(), cjk.end(), laO), cjk.end());
}

// A Chinese character that begins no pair of the entry gets a key of its
// own (c << 16), so that the keys from c << 16 to (c << 16) | 0xFFFF list
// every entry that holds c.
TEST(IndexKeysTest, CharactersThatBeginNoPairHaveTheirOwnKey) {
  auto single = [](char16_t c) { return static_cast<std::uint32_t>(c) << 16; };
  struct Case {
    db::SearchIndexEntry entry;
    std::vector<char16_t> own, none;  // with and without a key of their own
  } cases[] = {
      {Chinese({u"根"}, "gen1", {u"root"}), {u'根'}, {}},                      // alone
      {Chinese({u"中国", u"中國"}, "Zhong1 guo2", {u"China"}), {u'国', u'國'}, {u'中'}},  // ends the run
      {Chinese({u"国中"}, "guo2 zhong1", {u"see 中国"}), {}, {u'国', u'中'}},  // each begins a pair somewhere
      {Chinese({u"卡拉OK"}, "ka3 la1", {u"karaoke"}), {}, {u'卡', u'拉'}},     // a Latin letter follows
      // A hidden-span mark does not break the pair 好了; 好 alone in the
      // headword begins that pair.
      {Chinese({u"好"}, "hao3", {u"好\uEA90了"}), {u'了'}, {u'好'}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    for (bool cjkOnly : {false, true}) {
      const std::vector<std::uint32_t> keys = db::CharPairKeys(cases[i].entry, cjkOnly);
      EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << i;
      EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end()) << i;
      auto has = [&](std::uint32_t k) { return std::find(keys.begin(), keys.end(), k) != keys.end(); };
      for (char16_t c : cases[i].own) EXPECT_TRUE(has(single(c))) << "case " << i << " char " << std::hex << static_cast<uint32_t>(c);
      for (char16_t c : cases[i].none) EXPECT_FALSE(has(single(c))) << "case " << i << " char " << std::hex << static_cast<uint32_t>(c);
      // Every Chinese character of the entry is reachable from its range.
      for (const auto* texts : {&cases[i].entry.headwords, &cases[i].entry.senses})
        for (const std::u16string& t : *texts)
          for (char16_t c : t) {
            if (c < 0x3400 || c > 0xD7FF) continue;
            auto it = std::lower_bound(keys.begin(), keys.end(), single(c));
            EXPECT_TRUE(it != keys.end() && *it <= (single(c) | 0xFFFF)) << "case " << i << " char " << std::hex << static_cast<uint32_t>(c);
          }
    }
  }
  // Letters never get one.
  const std::vector<std::uint32_t> keys = db::CharPairKeys(Chinese({u"A"}, "", {u"x"}), false);
  for (std::uint32_t k : keys) EXPECT_NE(k & 0xFFFF, 0u) << std::hex << k;
}

TEST_F(IndexTablesTest, TooCommonKeysHoldTheMark) {
  db::DictionaryEntries entries;
  for (int i = 0; i < 5; ++i) entries.push_back(Chinese({u"大人"}, "da4 ren2", {u"adult"}));
  entries.push_back(Chinese({u"大学"}, "da4 xue2", {u"university"}));
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.tooCommonEntries = 4;
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeCharPairIndex);
  ASSERT_NE(c, nullptr);
  const std::uint32_t w = GetColumnUnitSize(c, 0);
  EXPECT_EQ(w, 3u);  // six entries: 0-5 and the mark 7
  EXPECT_EQ(PostingsOf(c, static_cast<std::uint32_t>(u'大') << 16 | u'人'), std::vector<std::uint32_t>{7});
  EXPECT_EQ(PostingsOf(c, static_cast<std::uint32_t>(u'大') << 16 | u'学'), std::vector<std::uint32_t>{5});
}

std::uint32_t Triple(unsigned a, unsigned b, unsigned c) { return a << 16 | b << 8 | c; }

TEST(IndexKeysTest, TriplesAreLowerCasedInThreeSpellings) {
  struct Case {
    std::u16string headword;
    std::vector<std::uint32_t> present;
    std::vector<std::uint32_t> absent;
  } cases[] = {
      // As written (blank kept), and letters only.
      {u"Ice Cream",
       {Triple(1, 'i', 'c'), Triple('e', ' ', 'c'), Triple('c', 'e', 'c'), Triple('a', 'm', 1)},
       {Triple(1, 'I', 'c'), Triple('C', 'r', 'e')}},
      // The accent as written (its low byte) and folded.
      {u"Café", {Triple('a', 'f', 0xE9), Triple('f', 0xE9, 1), Triple('a', 'f', 'e'), Triple('f', 'e', 1)}, {}},
      {u"ÉCOLE", {Triple(1, 0xE9, 'c'), Triple(1, 'e', 'c')}, {Triple(1, 0xC9, 'c')}},
      // Parenthesised parts and outer blanks dropped: "bank" ends there.
      {u" bank (of a river)", {Triple(1, 'b', 'a'), Triple('n', 'k', 1)}, {Triple('k', ' ', 'o')}},
      // Hyphen as written, and without it.
      {u"e-mail", {Triple('e', '-', 'm'), Triple(1, 'e', 'm'), Triple('i', 'l', 1)}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint32_t> keys = db::TripleKeys(c.headword);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    for (std::uint32_t k : c.present) {
      EXPECT_NE(std::find(keys.begin(), keys.end(), k), keys.end()) << db::Utf16ToUtf8(c.headword) << std::hex << " " << k;
    }
    for (std::uint32_t k : c.absent) {
      EXPECT_EQ(std::find(keys.begin(), keys.end(), k), keys.end()) << db::Utf16ToUtf8(c.headword) << std::hex << " " << k;
    }
  }
  // One unit: no key (a query needs two units between wildcards).
  EXPECT_TRUE(db::TripleKeys(u"a").empty());
  EXPECT_EQ(db::TripleKeys(u"ab"), (std::vector<std::uint32_t>{Triple(1, 'a', 'b'), Triple('a', 'b', 1)}));
}

TEST(IndexKeysTest, WordsAreLetterKeysOfThePieces) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> words;
  } cases[] = {
      {u"to eat; to consume", {u"to", u"eat", u"to", u"consume"}},
      {u"(literary) Café/bar", {u"literary", u"cafe", u"bar"}},
      {u"well-known", {u"wellknown", u"well", u"known"}},
      {u"o'clock", {u"oclock", u"o", u"clock"}},
      {u"MP3 player", {u"mp", u"player"}},
      {u"see 中国[Zhong1 guo2]", {u"see", u"zhong", u"guo"}},
      {u"42 ... ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(db::IndexWords(c.text), c.words) << db::Utf16ToUtf8(c.text);
}

TEST(IndexKeysTest, RelevanceRanksTheEntryWhoseFirstSenseIsTheWord) {
  struct Case {
    std::vector<std::u16string> senses;
    std::uint32_t relevance;
  } cases[] = {
      {{u"to eat", u"to consume"}, db::kRelevanceFirstIsWord},
      {{u"Eat!"}, db::kRelevanceFirstIsWord},
      {{u"(coll.) the eat"}, db::kRelevanceFirstIsWord},
      {{u"food", u"eat"}, db::kRelevanceLaterIsWord},
      {{u"to eat a meal", u"eat"}, db::kRelevanceLaterIsWord},
      {{u"to eat a meal"}, db::kRelevanceInFirst},
      {{u"rice", u"to eat well"}, db::kRelevanceInLater},
      {{u"rice"}, 4},
  };
  for (const Case& c : cases) {
    db::SearchIndexEntry e;
    e.senses = c.senses;
    EXPECT_EQ(db::EntryWordRelevance(e, u"eat", false), c.relevance) << db::Utf16ToUtf8(c.senses[0]);
  }
  // In an English-headword dictionary the headword is the first text.
  db::SearchIndexEntry e;
  e.headwords = {u"eat"};
  e.senses = {u"吃"};
  EXPECT_EQ(db::EntryWordRelevance(e, u"eat", true), db::kRelevanceFirstIsWord);
  EXPECT_EQ(db::EntryWordRelevance(e, u"eat", false), 4u);
}

struct WordRecord {
  std::u16string word;
  std::vector<std::uint32_t> values;
};

// A word index record: the word (0-terminated, padded to 4 bytes), then
// w-bit values, MSB first, as many as fill the record.
WordRecord DecodeWordRecord(const db::ByteVec& rec, std::uint32_t w) {
  WordRecord out;
  std::size_t i = 0;
  for (; i + 1 < rec.size(); i += 2) {
    const char16_t u = static_cast<char16_t>(rec[i] | rec[i + 1] << 8);
    if (u == 0) break;
    out.word.push_back(u);
  }
  const std::size_t textBytes = 2 * ((out.word.size() + 2) / 2 * 2);
  EXPECT_EQ(textBytes % 4, 0u);
  const db::ByteVec data(rec.begin() + static_cast<std::ptrdiff_t>(std::min(textBytes, rec.size())), rec.end());
  const std::size_t count = data.size() * 8 / w;
  EXPECT_LT(data.size() * 8 - count * w, 8u) << "less than a byte of padding";
  for (std::size_t j = 0; j < count; ++j) {
    std::uint32_t v = 0;
    for (std::uint32_t b = 0; b < w; ++b) {
      const std::size_t bit = j * w + b;
      v = v << 1 | ((data[bit / 8] >> (7 - bit % 8)) & 1);
    }
    out.values.push_back(v);
  }
  return out;
}

db::DictionaryEntries EatEntries() {
  db::DictionaryEntries entries(4);
  entries[0].senses = {u"rice", u"(fig.) to eat well"};  // relevance 3
  entries[1].senses = {u"eat a meal"};                   // 2
  entries[2].senses = {u"food", u"to eat"};              // 1
  entries[3].senses = {u"to eat", u"to consume"};        // 0
  for (auto& e : entries) e.headwords = {u"吃"};
  return entries;
}

TEST_F(IndexTablesTest, RankedWordPostingsCarryTheRelevanceAboveTheEntry) {
  db::DictionaryEntries entries = EatEntries();
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.words = db::WordIndexKind::Both;
  options.tooCommonWords = {u"To"};
  options.maxBlockRows = 2;
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* ranked = OfType(d, db::kTypeRankedWordIndex);
  TableCursor* plain = OfType(d, db::kTypeWordIndex);
  ASSERT_NE(ranked, nullptr);
  ASSERT_NE(plain, nullptr);

  const db::ByteVec info = InfoArea(ranked);
  ASSERT_EQ(info.size(), 4u * db::kWordIndexInfoWords);
  const std::uint32_t w = db::GetU32LE(&info[28]);
  EXPECT_EQ(w, 8u);  // 3 entry bits + 2, raised to a byte
  EXPECT_EQ(db::GetU32LE(&info[32]) & 0xFF, db::kRelevanceBits);
  EXPECT_EQ(db::GetU32LE(&InfoArea(plain)[32]), 0u);
  const std::uint32_t mask = (1u << (w - db::kRelevanceBits)) - 1;

  const std::int64_t row = FindRowByText(ranked, 0, u"eat", 5);
  ASSERT_GE(row, 0);
  const WordRecord rec = DecodeWordRecord(Record(ranked, static_cast<std::uint32_t>(row)), w);
  EXPECT_EQ(rec.word, u"eat");
  ASSERT_EQ(rec.values.size(), 4u);
  // Ascending by entry, as intersections need.
  std::vector<std::uint32_t> ids;
  for (std::uint32_t v : rec.values) ids.push_back(v & mask);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 1, 2, 3}));
  // Sorted by whole value, the entry whose first sense is the word leads.
  std::vector<std::uint32_t> byValue = rec.values;
  std::sort(byValue.begin(), byValue.end());
  ids.clear();
  for (std::uint32_t v : byValue) ids.push_back(v & mask);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{3, 2, 1, 0}));

  // The plain index: the entries alone.
  const std::int64_t prow = FindRowByText(plain, 0, u"eat", 5);
  ASSERT_GE(prow, 0);
  EXPECT_EQ(DecodeWordRecord(Record(plain, static_cast<std::uint32_t>(prow)), db::GetU32LE(&InfoArea(plain)[28])).values,
            (std::vector<std::uint32_t>{0, 1, 2, 3}));

  // A word given as too common holds the single all-ones value.
  const std::int64_t to = FindRowByText(ranked, 0, u"to", 5);
  ASSERT_GE(to, 0);
  const WordRecord common = DecodeWordRecord(Record(ranked, static_cast<std::uint32_t>(to)), w);
  EXPECT_EQ(common.word, u"to");
  EXPECT_EQ(common.values, std::vector<std::uint32_t>{(1u << w) - 1});
}

TEST_F(IndexTablesTest, EveryWordIsFoundByTextAndListsItsEntries) {
  db::DictionaryEntries entries = ChineseEntries();
  const db::DictionaryEntries eat = EatEntries();
  entries.insert(entries.end(), eat.begin(), eat.end());
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.maxBlockRows = 3;
  DataFileDb* d = OpenIndexes(entries, options);
  ASSERT_NE(d, nullptr);
  TableCursor* c = OfType(d, db::kTypeRankedWordIndex);
  ASSERT_NE(c, nullptr);
  const std::uint32_t w = db::GetU32LE(&InfoArea(c)[28]);
  const std::uint32_t mask = (1u << (w - db::kRelevanceBits)) - 1;

  std::map<std::u16string, std::vector<std::uint32_t>> expected;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    std::set<std::u16string> words;
    for (const std::u16string& t : db::WordIndexTexts(entries[e], false)) {
      for (const std::u16string& word : db::IndexWords(t)) words.insert(word);
    }
    for (const std::u16string& word : words) expected[word].push_back(static_cast<std::uint32_t>(e));
  }
  EXPECT_EQ(GetColumnRowCount(c, 0), expected.size());
  // Rows ascend in the order the search compares them.
  std::u16string last;
  for (std::uint32_t r = 0; r < GetColumnRowCount(c, 0); ++r) {
    const std::u16string word = DecodeWordRecord(Record(c, r), w).word;
    if (r > 0) {
      EXPECT_LT(CompareTableText(5, last.c_str(), word.c_str()), 0) << db::Utf16ToUtf8(word);
    }
    last = word;
  }
  for (const auto& [word, ids] : expected) {
    const std::int64_t row = FindRowByText(c, 0, word.c_str(), 5);
    ASSERT_GE(row, 0) << db::Utf16ToUtf8(word);
    const WordRecord rec = DecodeWordRecord(Record(c, static_cast<std::uint32_t>(row)), w);
    EXPECT_EQ(rec.word, word);
    std::vector<std::uint32_t> got;
    for (std::size_t i = 0; i < rec.values.size(); ++i) {
      got.push_back(rec.values[i] & mask);
      EXPECT_EQ(rec.values[i] >> (w - db::kRelevanceBits),
                db::EntryWordRelevance(entries[got.back()], word, false))
          << db::Utf16ToUtf8(word);
    }
    EXPECT_EQ(got, ids) << db::Utf16ToUtf8(word);
  }
  // A word prefix finds a row in prefix mode.
  const std::int64_t pre = FindRowByText(c, 0, u"karao", 6);
  ASSERT_GE(pre, 0);
  EXPECT_EQ(DecodeWordRecord(Record(c, static_cast<std::uint32_t>(pre)), w).word, u"karaoke");
}

// An English-headword dictionary made whole by AddDictionaryTables.
db::DictionarySpec EnglishDictionary() {
  db::DictionarySpec dict;
  dict.info.language = db::kLanguageEnglish;
  dict.info.transLanguage = db::kLanguageChinese;
  dict.info.shortName = u"EC";
  dict.searchIndexes = true;
  dict.maxBlockRows = 2;
  const std::pair<std::u16string, std::u16string> words[] = {
      {u"pear", u"梨"},        {u"Apple", u"苹果"},       {u"banana split", u"香蕉船"},
      {u"apple pie", u"苹果派"}, {u"café", u"咖啡馆"},     {u"zoo (animal park)", u"动物园"},
      {u"Eat", u"吃"},          {u"to eat out", u"下馆子"},
  };
  for (const auto& [head, def] : words) {
    db::DictEntrySpec e;
    e.headword = head;
    e.text = u"\uEA00" + head + u"\uEA01" + def;
    e.index.senses = {def};
    dict.entries.push_back(e);
  }
  return dict;
}

TEST_F(IndexTablesTest, EnglishHeadwordDictionaryIsSortedAndIndexedByItsNewRows) {
  db::DictionarySpec dict = EnglishDictionary();
  dict.idMap = {{500, 1}, {600, 5}};  // "Apple" and "zoo" by their given positions
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddDictionaryTables(dict, &file, &error), 0) << error;
  std::vector<std::uint32_t> types;
  for (const db::TableSpec& t : file.tables) types.push_back(t.type);
  // English: the bitmap-only prefix index, pairs, ranked words, triples.
  EXPECT_EQ(types, (std::vector<std::uint32_t>{0x1000, 0x1030, 0x1100, 0x1120, 0x1131, 0x1140}));
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  TableCursor* entriesTable = OfType(d, db::kTypeDictEntries);
  TableCursor* triples = OfType(d, db::kTypeTripleIndex);
  TableCursor* prefix = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(entriesTable, nullptr);
  ASSERT_NE(triples, nullptr);
  ASSERT_NE(prefix, nullptr);
  EXPECT_EQ(GetTableColumnCount(prefix), 1u);

  const std::vector<std::size_t> order = db::DictionaryEntryOrder(dict);
  ASSERT_EQ(order.size(), dict.entries.size());
  std::u16string last;
  for (std::uint32_t r = 0; r < order.size(); ++r) {
    const std::u16string text = RecordText(entriesTable, r);
    EXPECT_EQ(text, dict.entries[order[r]].text) << "row " << r;
    if (r > 0) {
      EXPECT_LE(CompareTableText(0, last.c_str(), text.c_str()), 0) << "row " << r;
    }
    last = text;
    // The default key follows the row.
    EXPECT_EQ(GetRowKeyByRow(entriesTable, 0, r), r);
    // The headword index finds the row by its letter key.
    WCHAR key[64];
    FoldToKeyCopy(key, 64, dict.entries[order[r]].headword.c_str(), false);
    EXPECT_EQ(FindRowByText(entriesTable, 0, key, 0), r) << db::Utf16ToUtf8(dict.entries[order[r]].headword);
    // Every triple of the headword lists the row.
    for (std::uint32_t k : db::TripleKeys(dict.entries[order[r]].headword)) {
      const std::vector<std::uint32_t> rows = PostingsOf(triples, k);
      EXPECT_NE(std::find(rows.begin(), rows.end(), r), rows.end()) << std::hex << k;
    }
  }
  // Apple sorts before apple pie before banana split ... and zoo last.
  EXPECT_EQ(RecordText(entriesTable, 0).substr(1, 5), u"Apple");
  EXPECT_EQ(RecordText(entriesTable, static_cast<std::uint32_t>(order.size() - 1)).substr(1, 3), u"zoo");
  // The id map follows its entries to their new rows.
  TableCursor* idMap = OfType(d, db::kTypeDictIdMap);
  ASSERT_NE(idMap, nullptr);
  for (const auto& [id, row] : {std::pair<std::uint32_t, std::uint32_t>{500, 0}, {600, 7}}) {
    const std::int64_t r = FindRowByKey(idMap, 0, id, 1, 0);
    ASSERT_GE(r, 0);
    EXPECT_EQ(ReadSingleValue(idMap, 0, static_cast<std::uint32_t>(r)), row) << id;
  }

  // The word index reads the headword as the first text.
  TableCursor* words = OfType(d, db::kTypeRankedWordIndex);
  ASSERT_NE(words, nullptr);
  const std::uint32_t w = db::GetU32LE(&InfoArea(words)[28]);
  const std::int64_t row = FindRowByText(words, 0, u"eat", 5);
  ASSERT_GE(row, 0);
  std::vector<std::uint32_t> values = DecodeWordRecord(Record(words, static_cast<std::uint32_t>(row)), w).values;
  std::sort(values.begin(), values.end());
  ASSERT_EQ(values.size(), 2u);
  const std::uint32_t mask = (1u << (w - db::kRelevanceBits)) - 1;
  EXPECT_EQ(RecordText(entriesTable, values[0] & mask).substr(1, 3), u"Eat");
  EXPECT_EQ(RecordText(entriesTable, values[1] & mask).substr(1, 10), u"to eat out");
}

TEST_F(IndexTablesTest, ChineseDictionaryGetsTheWholePrefixIndexInPlaceOfTheBitmap) {
  db::DictionarySpec dict;
  dict.info.shortName = u"CE";
  dict.searchIndexes = true;
  dict.wordLengths = true;
  const db::DictionaryEntries entries = ChineseEntries();
  for (const db::SearchIndexEntry& ie : entries) {
    db::DictEntrySpec e;
    e.headword = ie.headwords[0];
    e.text = u"\uEA00" + ie.headwords[0];
    e.index = ie;
    dict.entries.push_back(e);
  }
  db::DataFileSpec file;
  std::string error;
  ASSERT_EQ(db::AddDictionaryTables(dict, &file, &error), 0) << error;
  std::vector<std::uint32_t> types;
  for (const db::TableSpec& t : file.tables) types.push_back(t.type);
  EXPECT_EQ(types, (std::vector<std::uint32_t>{0x1000, 0x1100, 0x1120, 0x1131, 0x1300}));
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  TableCursor* prefix = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(prefix, nullptr);
  EXPECT_EQ(WalkPrefix(prefix, u"中国"), (std::set<std::uint32_t>{1, 2}));
  EXPECT_EQ(WalkPrefix(prefix, Codes("zhong1")), (std::set<std::uint32_t>{0, 1, 2, 3}));
  // Entry rows keep the given order.
  EXPECT_EQ(db::DictionaryEntryOrder(dict), (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  std::uint32_t size = 0;
  const std::uint8_t* bitmap = GetSubtableRecord(prefix, 0, &size);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_TRUE(db::TestEntryBitmapBit(db::ByteVec(bitmap, bitmap + size), u'國'));
}

TEST_F(IndexTablesTest, AddSearchIndexesCompletesAPrefixIndexAlreadyInTheFile) {
  db::PrefixIndexSpec bitmapOnly;
  bitmapOnly.singleCharHeadwords = {u'丁'};
  bitmapOnly.moreSubtables = {db::ByteVec{1, 2, 3, 4}};
  db::TableSpec t;
  std::string error;
  ASSERT_EQ(db::MakePrefixIndexTable(bitmapOnly, &t, &error), 0) << error;
  db::DataFileSpec file;
  file.tables.push_back(t);
  ASSERT_EQ(db::AddSearchIndexes(file, ChineseEntries(), db::SearchIndexOptionsFor(db::kLanguageChinese), &error),
            0)
      << error;
  ASSERT_EQ(file.tables.size(), 3u);
  EXPECT_EQ(file.tables[0].type, db::kTypeDictPrefixIndex);
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  TableCursor* prefix = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(prefix, nullptr);
  EXPECT_EQ(WalkPrefix(prefix, u"人"), (std::set<std::uint32_t>{5}));
  std::uint32_t size = 0;
  const std::uint8_t* bitmap = GetSubtableRecord(prefix, 0, &size);
  ASSERT_NE(bitmap, nullptr);
  const db::ByteVec b(bitmap, bitmap + size);
  EXPECT_TRUE(db::TestEntryBitmapBit(b, u'丁'));   // the file's own bitmap stays
  EXPECT_FALSE(db::TestEntryBitmapBit(b, u'人'));
  ASSERT_NE(GetSubtableRecord(prefix, 1, &size), nullptr);
  EXPECT_EQ(size, 4u);
}

TEST_F(IndexTablesTest, AnEmptyDictionaryStillGivesReadableIndexes) {
  db::SearchIndexOptions options = db::SearchIndexOptionsFor(db::kLanguageChinese);
  options.words = db::WordIndexKind::Both;
  options.triples = true;
  DataFileDb* d = OpenIndexes({}, options);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GetTableCount(d), 5u);
  TableCursor* prefix = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(prefix, nullptr);
  EXPECT_EQ(GetTableColumnCount(prefix), 1u);
  EXPECT_EQ(GetColumnRowCount(prefix, 0), 0u);
  TableCursor* words = OfType(d, db::kTypeRankedWordIndex);
  ASSERT_NE(words, nullptr);
  EXPECT_EQ(FindRowByText(words, 0, u"eat", 5), -1);
}

TEST_F(IndexTablesTest, PlainEntriesBecomeASearchableDictionary) {
  db::PlainEntry guo;
  guo.simplified = u"中国";
  guo.traditional = u"中國";
  guo.pinyin = "Zhong1 guo2";
  guo.senses = {{u"China", {}}, {u"", {{u"华夏", u"華夏", "Hua2 xia4"}}}};
  guo.classifiers = {{u"个", u"個", "ge4"}};
  db::PlainEntry ren;
  ren.simplified = u"人";
  ren.traditional = u"人";
  ren.pinyin = "ren2";
  ren.senses = {{u"person", {}}};

  const db::SearchIndexEntry ie = db::IndexEntryFromPlain(guo);
  EXPECT_EQ(ie.headwords, (std::vector<std::u16string>{u"中国", u"中國"}));
  EXPECT_EQ(ie.pinyin, Codes("Zhong1 guo2"));
  EXPECT_EQ(ie.senses, (std::vector<std::u16string>{u"China", u""}));
  EXPECT_EQ(ie.moreTexts, (std::vector<std::u16string>{u"华夏", u"華夏", u"个", u"個"}));
  EXPECT_EQ(db::IndexEntryFromPlain(ren).headwords, std::vector<std::u16string>{u"人"});

  db::DictionarySpec dict;
  dict.info.shortName = u"CE";
  db::SetEntryMarkupFields(&dict.info);
  dict.searchIndexes = true;
  std::string error;
  for (const db::PlainEntry* p : {&guo, &ren}) {
    db::DictEntrySpec e;
    ASSERT_EQ(db::MakeIndexedMarkupEntry(*p, &e, &error), 0) << error;
    EXPECT_FALSE(e.text.empty());
    dict.entries.push_back(e);
  }
  db::DataFileSpec file;
  ASSERT_EQ(db::AddDictionaryTables(dict, &file, &error), 0) << error;
  DataFileDb* d = Open(file);
  ASSERT_NE(d, nullptr);
  TableCursor* prefix = OfType(d, db::kTypeDictPrefixIndex);
  TableCursor* pairs = OfType(d, db::kTypeCharPairIndex);
  ASSERT_NE(prefix, nullptr);
  ASSERT_NE(pairs, nullptr);
  EXPECT_EQ(WalkPrefix(prefix, Codes("zhong1")), std::set<std::uint32_t>{0});
  EXPECT_EQ(WalkPrefix(prefix, u"中國"), std::set<std::uint32_t>{0});
  EXPECT_EQ(WalkPrefix(prefix, u"人"), std::set<std::uint32_t>{1});
  EXPECT_EQ(PostingsOf(pairs, static_cast<std::uint32_t>(u'華') << 16 | u'夏'), std::vector<std::uint32_t>{0});
}

// Lists as long as a block allows: a word in more entries than its record
// can hold is marked too common by itself; long prefix rows and pair rows
// still read back whole.
TEST_F(IndexTablesTest, ListsTooLongForABlockAreMarkedTooCommon) {
  const std::uint32_t n = 25000;  // 15-bit entry numbers: 17-bit ranked postings
  db::DictionaryEntries entries(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    entries[i].headwords = {std::u16string(u"物") + static_cast<char16_t>(0x4E00 + i % 500) +
                            static_cast<char16_t>(0x4E00 + i / 500)};
    entries[i].pinyin = Codes("wu4");
    entries[i].senses = {u"thing"};
  }
  entries[7].senses = {u"rare thing"};
  DataFileDb* d = OpenIndexes(entries, db::SearchIndexOptionsFor(db::kLanguageChinese));
  ASSERT_NE(d, nullptr);
  TableCursor* words = OfType(d, db::kTypeRankedWordIndex);
  ASSERT_NE(words, nullptr);
  const std::uint32_t w = db::GetU32LE(&InfoArea(words)[28]);
  EXPECT_EQ(w, 17u);
  const std::int64_t thing = FindRowByText(words, 0, u"thing", 5);
  ASSERT_GE(thing, 0);
  EXPECT_EQ(DecodeWordRecord(Record(words, static_cast<std::uint32_t>(thing)), w).values,
            std::vector<std::uint32_t>{(1u << w) - 1});
  const std::int64_t rare = FindRowByText(words, 0, u"rare", 5);
  ASSERT_GE(rare, 0);
  EXPECT_EQ(DecodeWordRecord(Record(words, static_cast<std::uint32_t>(rare)), w).values,
            std::vector<std::uint32_t>{db::kRelevanceInFirst << (w - 2) | 7});

  TableCursor* prefix = OfType(d, db::kTypeDictPrefixIndex);
  ASSERT_NE(prefix, nullptr);
  EXPECT_EQ(WalkPrefix(prefix, u"物").size(), n);
  EXPECT_EQ(WalkPrefix(prefix, Codes("wu4")).size(), n);
  EXPECT_EQ(WalkPrefix(prefix, u"物丁").size(), n / 500);  // i % 500 = 1
  EXPECT_EQ(WalkPrefix(prefix, u"物丁丁"), std::set<std::uint32_t>{501});
  TableCursor* pairs = OfType(d, db::kTypeCharPairIndex);
  ASSERT_NE(pairs, nullptr);
  EXPECT_EQ(PostingsOf(pairs, static_cast<std::uint32_t>(u'物') << 16 | u'一').size(), n / 500);
}

}  // namespace
