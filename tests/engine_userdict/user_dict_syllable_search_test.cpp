// The search of indexed Chinese-headword user dictionaries over their
// position tables, held against the search over the entries table.
#include <map>

#include "engine/preferences.h"
#include "engine/search.h"
#include "engine/search_methods.h"
#include "engine/search_results.h"
#include "engine/user_dict_search.h"
#include "engine/user_dict_posdex_search.h"
#include "tests/engine_userdict/userdict_fixture.h"

namespace {

constexpr WCHAR kOne = u'?';
constexpr WCHAR kAny = u'*';

struct Outcome {
  int status;
  std::vector<uint32_t> uids;  // in list order
  uint32_t best;
};

std::vector<uint32_t> Sorted(std::vector<uint32_t> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class SyllableSearchTest : public UserDictTest {
 public:
  // A Chinese dictionary of entries chosen to share characters, syllables
  // and beginnings; uids by name.
  void MakeFixture() {
    zh = NewDict(kLanguageChinese);
    SetPref(engine, kPrefSingleWildcard, kOne);
    SetPref(engine, kPrefAnyWildcard, kAny);
    SetPref(engine, 135, 0);
    struct Row {
      const char* name;
      const char16_t* word;
      const char16_t* alt;
      const char16_t* pron;
    } rows[] = {
        {"china", u"中国", u"中國", u"zhong1guo2"},
        {"chinese", u"中国人", u"中國人", u"zhong1guo2ren2"},
        {"writing", u"中文", nullptr, u"zhong1wen2"},
        {"middle", u"中", nullptr, u"zhong1"},
        {"kind", u"种", u"種", u"zhong3"},
        {"heavy", u"重", nullptr, u"zhong4"},
        {"person", u"人", nullptr, u"ren2"},
        {"prc", u"中华人民共和国", u"中華人民共和國", u"zhong1hua2ren2min2gong4he2guo2"},
        {"people", u"中华人民", u"中華人民", u"zhong1hua2ren2min2"},
        {"zhonghua", u"中华", u"中華", u"zhong1hua2"},
        {"xian", u"西安", nullptr, u"xi1an1"},
        {"first", u"先", nullptr, u"xian1"},
        {"now", u"现在", u"現在", u"xian4zai4"},
        {"mutual", u"相", nullptr, u"xiang1"},
        {"hello", u"你好", u"妳好", u"ni3hao3"},
        {"good", u"好", nullptr, u"hao3"},
        {"mother", u"妈", u"媽", u"ma1"},
        {"hemp", u"麻", nullptr, u"ma2"},
        {"horse", u"马", u"馬", u"ma3"},
        {"scold", u"骂", u"罵", u"ma4"},
        {"question", u"吗", u"嗎", u"ma"},
        {"green", u"绿", u"綠", u"lü4"},
        {"rare", u"𠀀人", nullptr, nullptr},
        {"pinyinOnly", nullptr, nullptr, u"zhong1guo2hua4"},
    };
    for (const Row& r : rows) {
      const int32_t uid = AddUserDictEntry(engine, zh, r.word, r.alt, r.pron, nullptr);
      ASSERT_GT(uid, 0) << r.name;
      uids[r.name] = static_cast<uint32_t>(uid);
    }
    ASSERT_TRUE(IsUserDictIndexed(engine, zh));
  }

  std::vector<uint32_t> Uids(std::initializer_list<const char*> names) {
    std::vector<uint32_t> out;
    for (const char* n : names) out.push_back(uids.at(n));
    return out;
  }

  // Runs one search of kind 1 (kind 2 when the query holds a wildcard)
  // with the method Search would make.
  Outcome Run(const char16_t* query, bool prefix, bool shorten, bool table, bool strict = false) {
    SearchRequest r{};
    r.query = query;
    r.wholeKey = prefix;
    r.keepPartial = shorten;
    r.strictExact = strict;
    const std::u16string q = query;
    const bool wild = q.find(kOne) != std::u16string::npos || q.find(kAny) != std::u16string::npos;
    uint32_t flags = 0;
    SearchMethod* m = CreateSearchMethod(engine, &r, wild ? kSearchChineseWildcard : kSearchChineseHeadword, &flags);
    EXPECT_NE(m, nullptr);
    Outcome o{};
    if (!m) return o;
    SearchResultList* list = NewResultList(0);
    o.status = table ? SearchUserDictTable(engine, m, zh, list) : SearchUserDict(engine, m, zh, list);
    for (uint32_t i = 0; i < GetResultListCount(list); ++i) {
      EXPECT_EQ(list->items[i].first, zh);
      o.uids.push_back(list->items[i].entry);
    }
    o.best = list->bestMatch;
    FreeResultList(list);
    FreeSearchMethod(m);
    return o;
  }

  uint16_t zh = 0;
  std::map<std::string, uint32_t> uids;
};

// Queries with one reading each: the position tables give what the scan
// of the entries table gives, entry for entry.
TEST_F(SyllableSearchTest, PositionTablesAnswerAsTheEntriesTableDoes) {
  MakeFixture();
  struct Case {
    const char16_t* query;
    bool prefix;
    bool shorten;
  } cases[] = {
      // Characters, either form, one to four places.
      {u"中国", false, false}, {u"中國", false, false}, {u"中", false, false}, {u"中", true, false},
      {u"中国人", false, false}, {u"中華人民", false, false}, {u"中国", true, false}, {u"人", false, false},
      // Toned, toneless and mixed pinyin; characters mixed with pinyin.
      {u"zhong1guo2", false, false}, {u"zhongguo", false, false}, {u"zhong1 guo", false, false},
      {u"zhong", false, false}, {u"zhong", true, false}, {u"zhong4", false, false}, {u"ma", false, false},
      {u"ma3", false, false}, {u"中guo", false, false}, {u"zhong国", true, false}, {u"lü4", false, false},
      {u"ren", true, false},
      // A syllable cut short.
      {u"zhongg", false, false}, {u"zhongg", true, false}, {u"zhonghuarenm", false, false},
      // More places than the tables hold.
      {u"中华人民共和国", false, false}, {u"中华人民共", false, false}, {u"中华人民共", true, false},
      {u"zhonghuarenmingonghe", true, false}, {u"中华人民共和国人", false, true},
      // Nothing, and partial matches when shorter queries are allowed.
      {u"中国人民", false, false}, {u"中国人民", false, true}, {u"中文书", false, true}, {u"美", false, true},
      {u"zhong1wen2shu1", false, true}, {u"中华人", false, true},
      // Wildcards: a single one at any place, an any-run after the first place.
      {u"中?", false, false}, {u"中?", true, false}, {u"?国", false, false}, {u"中?人", false, false},
      {u"中*国", false, false}, {u"中*国", true, false}, {u"中华??", false, false},
      {u"中华人民??国", false, false},
      // Outside the basic plane.
      {u"𠀀人", false, false}, {u"𠀀", true, false},
  };
  for (const Case& c : cases) {
    const Outcome fast = Run(c.query, c.prefix, c.shorten, false);
    const Outcome scan = Run(c.query, c.prefix, c.shorten, true);
    const std::string what = Utf8(c.query) + (c.prefix ? " prefix" : "") + (c.shorten ? " shorten" : "");
    EXPECT_EQ(fast.status, scan.status) << what;
    EXPECT_EQ(Sorted(fast.uids), Sorted(scan.uids)) << what;
    if (scan.status != kSearchNothing) {
      EXPECT_EQ(fast.best, scan.best) << what;
    }
  }
}

// The same answers pinned down, so that both searches cannot be wrong
// together.
TEST_F(SyllableSearchTest, AnswersOfTheFixture) {
  MakeFixture();
  struct Case {
    const char16_t* query;
    bool prefix;
    bool shorten;
    int status;
    std::vector<const char*> names;
    uint32_t best;
  } cases[] = {
      {u"中国", false, false, 0, {"china"}, 2},
      {u"中國", false, false, 0, {"china"}, 2},
      {u"中国", true, false, 0, {"china", "chinese"}, 2},
      {u"中", true, false, 0, {"china", "chinese", "writing", "middle", "prc", "people", "zhonghua"}, 1},
      {u"zhong", false, false, 0, {"middle", "kind", "heavy"}, 1},
      {u"ma", false, false, 0, {"mother", "hemp", "horse", "scold", "question"}, 1},  // all five tones
      {u"ma3", false, false, 0, {"horse"}, 1},
      {u"zhongg", false, false, 0, {"china"}, 2},
      {u"zhongguo", true, false, 0, {"china", "chinese", "pinyinOnly"}, 2},
      {u"中华人民共", true, false, 0, {"prc"}, 5},
      {u"中华人民共", false, false, 2, {}, 0},
      {u"中华人民共和国", false, false, 0, {"prc"}, 7},
      {u"中文书", false, true, 1, {"writing"}, 2},
      {u"中国人民", false, true, 1, {"chinese"}, 3},
      {u"中?", false, false, 0, {"china", "writing", "zhonghua"}, 2},
      {u"?国", false, false, 0, {"china"}, 2},
      {u"中*国", true, false, 0, {"china", "chinese", "prc"}, 3},
      {u"𠀀", true, false, 0, {"rare"}, 1},
      {u"lv4", false, false, 0, {"green"}, 1},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(c.query, c.prefix, c.shorten, false);
    const std::string what = Utf8(c.query) + (c.prefix ? " prefix" : "") + (c.shorten ? " shorten" : "");
    EXPECT_EQ(o.status, c.status) << what;
    std::vector<uint32_t> expected;
    for (const char* n : c.names) expected.push_back(uids.at(n));
    EXPECT_EQ(Sorted(o.uids), Sorted(expected)) << what;
    if (c.status != kSearchNothing) {
      EXPECT_EQ(o.best, c.best) << what;
    }
  }
}

// The tables really are what is asked: an entry whose position rows are
// gone is no longer found through them, though the entries table still
// has it.
TEST_F(SyllableSearchTest, IndexedDictionariesAskThePositionTables) {
  MakeFixture();
  Exec(zh, "DELETE FROM sorvi_dict_posdex_hz_1 WHERE uid = " + std::to_string(uids.at("writing")));
  EXPECT_EQ(Sorted(Run(u"中?", false, false, true).uids), Sorted(Uids({"china", "writing", "zhonghua"})));
  EXPECT_EQ(Sorted(Run(u"中?", false, false, false).uids), Sorted(Uids({"china", "zhonghua"})));
  // A dictionary without its tables is searched in the entries table.
  Slot(zh)->indexed = 0;
  EXPECT_EQ(Sorted(Run(u"中?", false, false, false).uids), Sorted(Uids({"china", "writing", "zhonghua"})));
}

TEST_F(SyllableSearchTest, ReadingsOrderAndEdges) {
  MakeFixture();
  // Every reading of ambiguous pinyin counts: xian and xi'an.
  EXPECT_EQ(Sorted(Run(u"xian", false, false, false).uids), Sorted(Uids({"xian", "first", "mutual"})));
  EXPECT_EQ(Sorted(Run(u"xi'an", false, false, false).uids), Uids({"xian"}));
  // A reading that matches fully beats one that matches in part.
  const Outcome hello = Run(u"nihao", false, true, false);
  EXPECT_EQ(hello.status, kSearchExact);
  EXPECT_EQ(hello.uids, Uids({"hello"}));

  // Rows come in syllable order: the first tone first.
  EXPECT_EQ(Run(u"zhong", false, false, false).uids, Uids({"middle", "kind", "heavy"}));

  // A trailing any-run changes nothing.
  for (const char16_t* query : {u"中国", u"中", u"zhong"}) {
    for (bool prefix : {false, true}) {
      const Outcome without = Run(query, prefix, false, false);
      const Outcome with = Run((std::u16string(query) + kAny).c_str(), prefix, false, false);
      EXPECT_EQ(with.status, without.status) << Utf8(query);
      EXPECT_EQ(with.uids, without.uids) << Utf8(query);
      EXPECT_EQ(with.best, without.best) << Utf8(query);
    }
  }

  // Preference 135: one character finds the single characters first.
  SetPref(engine, 135, 1);
  EXPECT_EQ(Run(u"中", true, false, false).uids, Uids({"middle"}));
  EXPECT_EQ(Run(u"zhong", true, false, false).uids, Uids({"middle", "kind", "heavy"}));
  EXPECT_EQ(Sorted(Run(u"现", true, false, false).uids), Uids({"now"}));  // no single one: the words
  SetPref(engine, 135, 0);

  // Exactness: under the prefix flag an exact status needs an entry of the
  // query's length.
  EXPECT_EQ(Run(u"中华人", true, false, false, true).status, kSearchPartial);
  EXPECT_EQ(Run(u"中华", true, false, false, true).status, kSearchExact);

  // Characters the tables do not keep send the query to the entries table.
  EXPECT_EQ(Run(u"%", true, false, false).status, kSearchNothing);
  EXPECT_EQ(Run(u"*国", false, false, false).uids, Run(u"*国", false, false, true).uids);
}

// Search hands out plain uids, also those beyond 24 bits, ranked by
// length.
TEST_F(SyllableSearchTest, SearchGetsWholeUidsRankedByLength) {
  MakeFixture();
  Exec(zh, "UPDATE sqlite_sequence SET seq = 16777300 WHERE name = 'sorvi_dict_entries'");
  const int32_t big = AddUserDictEntry(engine, zh, u"中国话", nullptr, u"zhong1guo2hua4", nullptr);
  ASSERT_EQ(big, 16777301);
  SearchRequest r{};
  r.query = u"zhongguo";
  r.language = kLanguageChinese;
  r.currentSlot = 65535;
  r.sortMode = kSortByRank;
  r.wholeKey = 1;
  SearchResultList* list = Search(engine, &r);
  ASSERT_NE(list, nullptr);
  std::vector<uint32_t> found;
  for (uint32_t i = 0; i < list->count; ++i) {
    EXPECT_EQ(list->items[i].first, zh);
    found.push_back(list->items[i].entry);
  }
  FreeResultList(list);
  EXPECT_EQ(found, (std::vector<uint32_t>{uids.at("china"), uids.at("chinese"), uids.at("pinyinOnly"),
                                          static_cast<uint32_t>(big)}));
}

}  // namespace
