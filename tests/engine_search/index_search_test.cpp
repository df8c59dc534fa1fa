// The prefix and posting index walks over tables written by
// tools/databuild from a small word list.
#include "engine/index_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/mem_handle.h"
#include "engine/search_methods.h"
#include "engine/table_cursor.h"
#include "tests/engine_search/search_fixture.h"

using namespace searchfix;

namespace {

// Entry numbers are positions in this list.
std::vector<CedictRow> Words() {
  return {Row(u"中", u"中", "zhong1", {u"middle"}),
          Row(u"中国", u"中國", "zhong1 guo2", {u"China"}),
          Row(u"中文", u"中文", "zhong1 wen2", {u"Chinese language"}),
          Row(u"国", u"國", "guo2", {u"country"}),
          Row(u"中国人", u"中國人", "zhong1 guo2 ren2", {u"Chinese person"}),
          Row(u"中华国", u"中華國", "zhong1 hua2 guo2", {u"a made-up country"}),
          Row(u"大中国", u"大中國", "da4 zhong1 guo2", {u"Greater China"}),
          Row(u"学生", u"學生", "xue2 sheng5", {u"student", u"pupil"})};
}

class IndexSearch : public fetchfix::EngineFixture {
 protected:
  void Build(std::vector<db::TableSpec>* patch(std::vector<db::TableSpec>*) = nullptr,
             uint32_t tooCommonEntries = 0, std::vector<std::u16string> tooCommonWords = {},
             const std::vector<CedictRow>& words = Words()) {
    db::DictionarySpec dict = ChineseDict(words, 1, u"Words");
    db::SearchIndexOptions options = db::SearchIndexOptionsFor(kLanguageChinese);
    options.tooCommonEntries = tooCommonEntries;
    options.tooCommonWords = tooCommonWords;
    dict.indexOptions = options;
    std::vector<db::TableSpec> tables;
    std::string error;
    ASSERT_EQ(db::MakeDictionaryTables(dict, &tables, &error), 0) << error;
    if (patch) patch(&tables);
    AddTables(tables, u"Words");
    ASSERT_NE(Create(), nullptr);
  }
  TableCursor* Cursor(uint32_t type) {
    TableCursor* c = FindDictTableCursor(engine_, 0, type);
    EXPECT_NE(c, nullptr) << type;
    return c;
  }
  // SearchPrefixIndex over characters (low = high); entries sorted.
  uint32_t Prefix(const char16_t* key, uint32_t minimum, std::vector<uint32_t>* entries) {
    TableCursor* c = Cursor(kDictPrefixIndexType);
    SearchResultList* list = NewResultList(32);
    uint32_t got = SearchPrefixIndex(c, 0, key, key, list, minimum, u'@', 0);
    ResetCursor(c);
    for (uint32_t i = 0; i < list->count; ++i) entries->push_back(list->items[i].entry);
    std::sort(entries->begin(), entries->end());
    entries->erase(std::unique(entries->begin(), entries->end()), entries->end());
    FreeResultList(list);
    return got;
  }
};

TEST_F(IndexSearch, PrefixWalks) {
  Build();
  struct Case {
    const char16_t* key;
    uint32_t minimum;
    uint32_t matched;
    std::vector<uint32_t> entries;
  };
  const Case cases[] = {
      {u"中国", 2, 2, {1, 4}},            // the keys that begin with it
      {u"中国人", 3, 3, {4}},
      {u"天", 0, 0, {}},                  // no row in column 1
      {u"中天", 0, 1, {0, 1, 2, 4, 5}},   // stops after 中; minimum 0 adds 中's range
      {u"中天", 2, 1, {}},
      {u"中@国", 3, 3, {5}},              // any character between, three at least
      {u"@中国", 3, 3, {6}},              // a leading wildcard
      // The walk does not look past the last character: a trailing wildcard
      // counts, and the search method then checks the headword's length.
      {u"中@", 2, 2, {0, 1, 2, 4, 5}},
      {u"学生学生", 4, 2, {}},            // deeper than any key
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::vector<uint32_t> entries;
    EXPECT_EQ(Prefix(cases[i].key, cases[i].minimum, &entries), cases[i].matched) << "case " << i;
    EXPECT_EQ(entries, cases[i].entries) << "case " << i;
  }
}

TEST_F(IndexSearch, SingleCharactersAndRowRanges) {
  Build();
  TableCursor* c = Cursor(kDictPrefixIndexType);
  SearchResultList* list = NewResultList(32);
  EXPECT_EQ(SearchSingleCharacter(c, 0, u'中', u'中', list), 0);
  ASSERT_EQ(list->count, 1u);  // only the entry whose whole key is 中
  EXPECT_EQ(list->items[0].entry, 0u);
  RowRange range{};
  EXPECT_EQ(FindKeyRowRange(c, 1, u'天', u'天', &range), 0);
  EXPECT_EQ(FindKeyRowRange(c, 1, u'中', u'中', &range), 1);
  EXPECT_EQ(range.end - range.first, 8u);  // keys that begin with 中, in both forms
  ResetCursor(c);
  FreeResultList(list);
}

TEST_F(IndexSearch, PostingIntersections) {
  Build();
  TableCursor* c = Cursor(kCharPairIndexType);
  auto intersect = [&](std::vector<uint32_t> keys, bool* none) {
    uint32_t count = 99;
    MemHandle* h = IntersectPostingRanges(c, 0, keys.data(), nullptr, static_cast<uint32_t>(keys.size()), &count,
                                          0xFFFFFFFF);
    std::vector<uint32_t> out;
    *none = h == nullptr;
    if (h) {
      auto* v = static_cast<uint32_t*>(LockMemHandle(h));
      out.assign(v, v + count);
      UnlockMemHandle(h);
      FreeMemHandle(h);
    }
    return out;
  };
  auto pair = [](char16_t a, char16_t b) { return uint32_t{a} << 16 | b; };
  bool none = false;
  EXPECT_EQ(intersect({pair(u'中', u'国')}, &none), (std::vector<uint32_t>{1, 4, 6}));
  EXPECT_EQ(intersect({pair(u'中', u'国'), pair(u'国', u'人')}, &none), (std::vector<uint32_t>{4}));
  EXPECT_TRUE(intersect({pair(u'中', u'国'), pair(u'天', u'天')}, &none).empty());
  EXPECT_TRUE(none);  // a key without a row
  ResetCursor(c);
}

TEST_F(IndexSearch, FewCandidatesAgainstALongPostingRow) {
  // 中国 begins 300 headwords; 国人 ends a few of them and two others. A
  // short list checked against the long row looks its values up; the long
  // list first reads the short row whole: the same entries either way.
  std::vector<CedictRow> words;
  std::vector<uint32_t> both;
  for (uint32_t i = 0; i < 300; ++i) {
    std::u16string head = u"中国";
    head.push_back(static_cast<char16_t>(0x5F00 + i));
    if (i % 97 == 5) {
      head = u"中国" + std::u16string(1, static_cast<char16_t>(0x5F00 + i)) + u"国人";
      both.push_back(static_cast<uint32_t>(words.size()));
    }
    words.push_back(Row(head.c_str(), head.c_str(), "zhong1 guo2", {u"x"}));
    if (i == 40 || i == 250) words.push_back(Row(u"美国人", u"美國人", "mei3 guo2 ren2", {u"American"}));
  }
  Build(nullptr, 0, {}, words);
  TableCursor* c = Cursor(kCharPairIndexType);
  auto pair = [](char16_t a, char16_t b) { return uint32_t{a} << 16 | b; };
  const std::vector<std::vector<uint32_t>> orders = {{pair(u'国', u'人'), pair(u'中', u'国')},
                                                     {pair(u'中', u'国'), pair(u'国', u'人')},
                                                     {pair(u'美', u'国'), pair(u'国', u'人'), pair(u'中', u'国')}};
  const std::vector<std::vector<uint32_t>> expected = {both, both, {}};
  for (size_t k = 0; k < orders.size(); ++k) {
    uint32_t count = 99;
    MemHandle* h = IntersectPostingRanges(c, 0, orders[k].data(), nullptr, static_cast<uint32_t>(orders[k].size()),
                                          &count, 0xFFFFFFFF);
    ASSERT_NE(h, nullptr) << k;
    auto* v = static_cast<uint32_t*>(LockMemHandle(h));
    EXPECT_EQ(std::vector<uint32_t>(v, v + count), expected[k]) << k;
    UnlockMemHandle(h);
    FreeMemHandle(h);
  }
  ResetCursor(c);
}

TEST_F(IndexSearch, TooCommonKeysAreMarked) {
  Build(nullptr, 2);
  TableCursor* c = Cursor(kCharPairIndexType);
  uint32_t key = uint32_t{u'中'} << 16 | u'国';  // in three entries
  uint32_t count = 99;
  MemHandle* h = IntersectPostingRanges(c, 0, &key, nullptr, 1, &count, 0xFFFFFFFF);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(count, 0u);
  FreeMemHandle(h);
  ResetCursor(c);
}

TEST_F(IndexSearch, WordPostingsWholeAndPrefix) {
  Build();
  TableCursor* c = Cursor(kRankedWordIndexType);
  const uint8_t* info = GetTableInfoArea(c);
  uint32_t w = info[28], x = info[32];
  int64_t row = FindRowByText(c, 0, u"student", 5);
  ASSERT_GE(row, 0);
  MemHandle* storage = NewMemHandle(4);
  EXPECT_EQ(ReadWordPostings(c, 0, static_cast<uint32_t>(row), w, storage, u"student", 0), 1);
  auto* v = static_cast<uint32_t*>(LockMemHandle(storage));
  EXPECT_EQ(v[0] & ((1u << (w - x)) - 1), 7u);
  EXPECT_EQ(v[0] >> (w - x), 0u) << "relevance 0: the entry's first sense is the word";
  UnlockMemHandle(storage);
  EXPECT_EQ(ReadWordPostings(c, 0, static_cast<uint32_t>(row), w, storage, u"stud", 1), 1);
  EXPECT_EQ(ReadWordPostings(c, 0, static_cast<uint32_t>(row), w, storage, u"stud", 0), 0);
  EXPECT_EQ(ReadWordPostings(c, 0, static_cast<uint32_t>(row), w, storage, u"STUDENT", 0), 1);
  EXPECT_EQ(ReadWordPostings(c, 0, static_cast<uint32_t>(row), w, storage, u"students", 1), 0);
  FreeMemHandle(storage);
  ResetCursor(c);
}

// A word record whose word has no terminator, and one that ends inside its
// word: both read as "no such word", nothing beyond the record is read.
std::vector<db::TableSpec>* BreakWordRecords(std::vector<db::TableSpec>* tables) {
  for (db::TableSpec& t : *tables) {
    if (t.type != kRankedWordIndexType) continue;
    auto& rows = t.columns[0].rows;
    EXPECT_GE(rows.size(), 2u);
    for (size_t r = 0; r < 2 && r < rows.size(); ++r) {
      std::u16string word;
      for (size_t i = 0; i + 1 < rows[r].bytes.size(); i += 2) {
        char16_t u = static_cast<char16_t>(rows[r].bytes[i] | rows[r].bytes[i + 1] << 8);
        if (!u) break;
        word.push_back(u);
      }
      rows[r].indexText = word;
      if (r == 0) {
        rows[r].bytes.resize(2 * word.size());  // the word alone, unterminated
      } else {
        rows[r].bytes.resize(2);  // one unit of the word
      }
    }
  }
  return tables;
}

TEST_F(IndexSearch, MalformedWordRecordsAreBounded) {
  Build(BreakWordRecords);
  TableCursor* c = Cursor(kRankedWordIndexType);
  const uint8_t* info = GetTableInfoArea(c);
  uint32_t w = info[28];
  MemHandle* storage = NewMemHandle(4);
  for (uint32_t row = 0; row < 2; ++row) {
    for (int prefix = 0; prefix < 2; ++prefix)
      EXPECT_EQ(ReadWordPostings(c, 0, row, w, storage, u"a", prefix), 0) << row;
  }
  // An impossible width reads nothing.
  EXPECT_EQ(ReadWordPostings(c, 0, 2, 0, storage, u"a", 1), 0);
  EXPECT_EQ(ReadWordPostings(c, 0, 2, 33, storage, u"a", 1), 0);
  // A posting range past the column's rows reads nothing.
  EXPECT_EQ(ReadPostingRange(c, 0, 5, 100000, storage), 0);
  FreeMemHandle(storage);
  ResetCursor(c);
}

TEST_F(IndexSearch, TooCommonWords) {
  Build(nullptr, 0, {u"chinese"});
  struct Case {
    const char16_t* query;
    int code;
    std::vector<uint32_t> entries;
  };
  const Case cases[] = {
      {u"chinese", kSearchTooCommon, {}},
      {u"chinese person", kSearchExact, {4}},  // the common word is passed over
      {u"person chinese", kSearchNothing, {}},  // but the text must hold both in order
      {u"china", kSearchExact, {1, 6}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SearchRequest r{};
    r.query = cases[i].query;
    uint32_t flags = 0;
    SearchMethod* m = CreateSearchMethod(engine_, &r, kSearchEnglishText, &flags);
    ASSERT_NE(m, nullptr);
    SearchResultList* list = NewResultList(32);
    EXPECT_EQ(m->method(engine_, m, 0, list), cases[i].code) << "case " << i;
    std::vector<uint32_t> entries;
    for (uint32_t k = 0; k < list->count; ++k) entries.push_back(list->items[k].entry & 0x3F);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, cases[i].entries) << "case " << i;
    FreeResultList(list);
    FreeSearchMethod(m);
  }
}

}  // namespace
