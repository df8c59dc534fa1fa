// Search over several dictionaries: the CC-CEDICT excerpt, a small second
// Chinese dictionary, an English-headword dictionary and a character
// dictionary; English, wildcard, zhuyin and full-text queries, the merge
// in the user's order, the sorts, and the look-up by headword.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/index_search.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/search_methods.h"
#include "engine/table_cursor.h"
#include "tests/engine_search/search_fixture.h"

using namespace searchfix;

namespace {

enum : uint16_t { kCedict = 0, kMini = 1, kEnglish = 2, kChars = 3 };

class SearchDicts : public fetchfix::EngineFixture {
 protected:
  void SetUp() override {
    cedict_ = LoadCedictExcerpt();
    ASSERT_GT(cedict_.size(), 200u);
    mini_ = {Row(u"那", u"那", "na4", {u"that"}), Row(u"中国", u"中國", "Zhong1 guo2", {u"the Middle Kingdom"}),
             Row(u"好", u"好", "hao3", {u"good; well"}), Row(u"天", u"天", "tian1", {u"sky; day"})};
    english_ = {Row(u"student", u"", "", {u"学生", u"pupil"}), Row(u"study", u"", "", {u"学习"}),
                Row(u"stupid", u"", "", {u"笨"}),          Row(u"star", u"", "", {u"星星"}),
                Row(u"daughter", u"", "", {u"女儿"}),      Row(u"dog (animal)", u"", "", {u"狗"}),
                Row(u"café", u"", "", {u"咖啡馆"}),        Row(u"China", u"", "", {u"中国"})};
    chars_ = {Row(u"中", u"中", "zhong1 zhong4", {}), Row(u"好", u"好", "hao3 hao4", {}),
              Row(u"人", u"人", "ren2", {})};
    AddDict(ChineseDict(cedict_, 1, u"CEDICT"));
    AddDict(ChineseDict(mini_, 2, u"Mini"));
    db::DictionarySpec english = EnglishDict(english_, 3);
    englishOrder_ = db::DictionaryEntryOrder(english);
    AddDict(english);
    AddDict(CharDict(chars_, 4));
    ASSERT_NE(Create(), nullptr);
    ASSERT_EQ(GetDictCount(engine_), 4);
  }

  SearchRequest Request(const char16_t* query, uint16_t language = kLanguageChinese) {
    SearchRequest r{};
    r.query = query;
    r.language = language;
    r.currentSlot = 65535;
    r.sortMode = kSortByRank;
    return r;
  }

  std::u16string Head(uint16_t slot, uint32_t entry) {
    switch (slot) {
      case kCedict:
        return entry < cedict_.size() ? cedict_[entry].simplified : u"?";
      case kMini:
        return entry < mini_.size() ? mini_[entry].simplified : u"?";
      case kEnglish:
        return entry < englishOrder_.size() ? english_[englishOrder_[entry]].simplified : u"?";
      case kChars:
        return entry < chars_.size() ? chars_[entry].simplified : u"?";
    }
    return u"?";
  }

  struct Found {
    std::vector<std::pair<uint16_t, std::u16string>> items;
    uint32_t flags = 0, language = 0, best = 0;
    bool none = true;
  };
  Found Run(SearchRequest r) {
    Found f;
    SearchResultList* list = Search(engine_, &r);
    if (!list) return f;
    f.none = false;
    f.flags = list->flags;
    f.language = list->language;
    f.best = list->bestMatch;
    for (uint32_t i = 0; i < list->count; ++i) {
      uint16_t slot = static_cast<uint16_t>(list->items[i].first);
      f.items.push_back({slot, Head(slot, list->items[i].entry)});
    }
    FreeResultList(list);
    return f;
  }
  static bool HasHead(const Found& f, const std::u16string& h) {
    for (const auto& it : f.items)
      if (it.second == h) return true;
    return false;
  }

  // The method's code in one dictionary and the headwords it added.
  int Code(const char16_t* query, int32_t kind, uint16_t slot, std::vector<std::u16string>* heads = nullptr,
           uint32_t* best = nullptr) {
    SearchRequest r = Request(query);
    uint32_t flags = 0;
    SearchMethod* m = CreateSearchMethod(engine_, &r, kind, &flags);
    if (!m) return -1;
    SearchResultList* list = NewResultList(32);
    int code = m->method(engine_, m, slot, list);
    for (uint32_t i = 0; heads && i < list->count; ++i) heads->push_back(Head(slot, list->items[i].entry & 0x1FF));
    if (best) *best = list->bestMatch;
    FreeResultList(list);
    FreeSearchMethod(m);
    return code;
  }

  std::vector<CedictRow> cedict_, mini_, english_, chars_;
  std::vector<size_t> englishOrder_;
};

TEST_F(SearchDicts, EnglishHeadwords) {
  struct Case {
    const char16_t* query;
    int code;
    const char16_t* first;
    uint32_t best;
  };
  const Case cases[] = {
      {u"stud", kSearchExact, u"student", 4},     // a word prefix
      {u"student", kSearchExact, u"student", 7},
      {u"Cafe", kSearchExact, u"café", 4},        // accents and case folded
      {u"dog", kSearchExact, u"dog (animal)", 3},
      {u"stuq", kSearchPartial, nullptr, 3},      // the nearest headword is still added
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    std::vector<std::u16string> heads;
    uint32_t best = 0;
    EXPECT_EQ(Code(c.query, kSearchEnglishHeadword, kEnglish, &heads, &best), c.code) << "case " << i;
    ASSERT_EQ(heads.size(), 1u) << "case " << i;
    if (c.first) {
      EXPECT_TRUE(heads[0] == c.first) << "case " << i;
    }
    EXPECT_EQ(best, c.best) << "case " << i;
  }
  Found f = Run(Request(u"stud", kLanguageEnglish));
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.items[0], (std::pair<uint16_t, std::u16string>{kEnglish, u"student"}));
  EXPECT_EQ(f.language, kLanguageEnglish);
  EXPECT_EQ(f.flags, 0u);
}

TEST_F(SearchDicts, EmptyFoldedKeyFindsNothing) {
  // Nothing of the query is left as a letter key: no "nearest" row.
  for (int32_t kind : {kSearchEnglishHeadword, kSearchEnglishText}) {
    std::vector<std::u16string> heads;
    EXPECT_EQ(Code(u"(note)", kind, kEnglish, &heads), kSearchNothing) << kind;
    EXPECT_TRUE(heads.empty()) << kind;
    EXPECT_EQ(Code(u"(note)", kind, kCedict, &heads), kSearchNothing) << kind;
  }
}

TEST_F(SearchDicts, EnglishWordsInDefinitions) {
  struct Case {
    const char16_t* query;
    int code;
    std::vector<std::u16string> heads;  // exactly these (any order)
  };
  const Case cases[] = {
      {u"daughter", kSearchExact, {u"女", u"女儿"}},
      {u"servant girl", kSearchExact, {u"婢女"}},  // two words: both, together
      {u"servant slave", kSearchNothing, {}},  // both words, but not together
      {u"qwertyuiop", kSearchNothing, {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::vector<std::u16string> heads;
    EXPECT_EQ(Code(cases[i].query, kSearchEnglishText, kCedict, &heads), cases[i].code) << "case " << i;
    std::sort(heads.begin(), heads.end());
    EXPECT_EQ(heads, cases[i].heads) << "case " << i;
  }
  // Through Search: the full-text prefix '#' with English.
  Found f = Run(Request(u"#servant girl", kLanguageEnglish));
  ASSERT_FALSE(f.none);
  ASSERT_EQ(f.items.size(), 1u);
  EXPECT_EQ(f.items[0].second, u"婢女");
  EXPECT_EQ(f.flags & kResultFullText, kResultFullText);
  EXPECT_TRUE(Run(Request(u"#", kLanguageEnglish)).none);
}

TEST_F(SearchDicts, EnglishWildcards) {
  struct Case {
    const char16_t* query;
    std::vector<std::u16string> heads;
  };
  const Case cases[] = {
      {u"stu@ent", {u"student"}},
      {u"stu$", {u"student", u"study", u"stupid"}},
      {u"st$d", {u"stupid"}},
      {u"$ter", {u"daughter"}},
      {u"do@", {u"dog (animal)"}},  // the note in parentheses is not compared
      {u"x@z", {}},
      {u"@AFÉ", {u"café"}},  // capitals, accented ones too
      {u"ca@e", {u"café"}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::vector<std::u16string> heads;
    Code(cases[i].query, kSearchEnglishWildcard, kEnglish, &heads);
    std::sort(heads.begin(), heads.end());
    auto expected = cases[i].heads;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(heads, expected) << "case " << i;
  }
  Found f = Run(Request(u"stu@ent", kLanguageEnglish));
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.items[0].second, u"student");
}

TEST_F(SearchDicts, MatchWildcardText) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int match;
  };
  const Case cases[] = {
      {u"dog (animal)", u"dog", 1}, {u"Dog", u"d@g", 1},   {u"student", u"s$t", 1}, {u"student", u"s$x", 0},
      {u"café", u"cafe", 1},        {u"CAFÉ", u"cafe", 1},        {u"cat", u"c@", 1},    {u"ca", u"ca@t", 0},     {u"c@t", u"cat", 1},
      {u"", u"", 1},                {u"a", u"", 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(MatchWildcardText(cases[i].a, cases[i].b, u'@', u'$'), cases[i].match) << "case " << i;
}

TEST_F(SearchDicts, ZhuyinAndChineseFullText) {
  std::vector<std::u16string> heads;
  EXPECT_EQ(Code(u"ㄓㄨㄥ", kSearchChineseHeadword, kCedict, &heads), kSearchExact);
  ASSERT_FALSE(heads.empty());
  for (const auto& h : heads) EXPECT_EQ(h, u"中");
  // Characters inside definitions (and headwords): kind 3.
  heads.clear();
  EXPECT_EQ(Code(u"酒吧", kSearchChineseText, kCedict, &heads), kSearchExact);
  EXPECT_NE(std::find(heads.begin(), heads.end(), u"吧托女"), heads.end());
  // One character finds the entries that hold it (more below).
  heads.clear();
  EXPECT_EQ(Code(u"中", kSearchChineseText, kCedict, &heads), kSearchExact);
  EXPECT_NE(std::find(heads.begin(), heads.end(), u"中"), heads.end());
  Found f = Run(Request(u"#酒吧"));
  ASSERT_FALSE(f.none);
  EXPECT_TRUE(HasHead(f, u"吧托女"));
  EXPECT_EQ(f.flags & kResultFullText, kResultFullText);
}

// A one-character full-text query (typed "#根") lists every entry whose
// headwords or definitions hold the character, each once: where it begins
// a pair, where it ends one and where it stands alone.
TEST_F(SearchDicts, OneCharacterFullTextFindsEveryEntryHoldingIt) {
  auto holds = [](const CedictRow& r, char16_t c) {
    if (r.simplified.find(c) != std::u16string::npos || r.traditional.find(c) != std::u16string::npos) return true;
    for (const auto& sense : r.senses)
      if (sense.find(c) != std::u16string::npos) return true;
    return false;
  };
  // Characters of the excerpt: first characters, last characters and ones
  // found only inside definitions.
  std::vector<char16_t> chars = {u'中', u'国', u'人', u'吧', u'女'};
  for (const CedictRow& r : cedict_) {
    if (r.simplified.size() > 1) chars.push_back(r.simplified.back());
    if (chars.size() >= 25) break;
  }
  for (char16_t c : chars) {
    std::vector<uint32_t> expected;
    for (uint32_t e = 0; e < cedict_.size(); ++e)
      if (holds(cedict_[e], c)) expected.push_back(e);
    const char16_t query[] = {c, 0};
    SearchRequest r = Request(query);
    r.fullText = 1;  // as the full-text prefix character sets it
    r.sortMode = kSortKeepOrder;
    r.allDictionaries = 1;
    SearchResultList* list = Search(engine_, &r);
    std::vector<uint32_t> found;
    for (uint32_t i = 0; list && i < list->count; ++i)
      if ((list->items[i].first & kResultSlotMask) == kCedict) found.push_back(list->items[i].entry);
    if (list) {
      EXPECT_EQ(list->flags & kResultFullText, kResultFullText);
    }
    FreeResultList(list);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(std::adjacent_find(found.begin(), found.end()), found.end()) << std::hex << static_cast<uint32_t>(c) << ": an entry twice";
    // Every entry that holds it is found; what else is found holds it in a
    // text the rows do not show (a classifier, a link).
    for (uint32_t e : expected)
      EXPECT_TRUE(std::binary_search(found.begin(), found.end(), e)) << std::hex << static_cast<uint32_t>(c) << std::dec << " entry " << e;
    EXPECT_FALSE(expected.empty()) << std::hex << static_cast<uint32_t>(c);
  }
  // A single letter has no key of its own: nothing, as before.
  EXPECT_EQ(Code(u"a", kSearchChineseText, kCedict), kSearchNothing);
}

// The word lengths read many at once are those read one by one, over
// every slot kind, with the rank bits masked off; and a ranked pinyin
// search comes back ordered by them.
TEST_F(SearchDicts, WordLengthsReadAtOnceMatchOneByOne) {
  std::vector<SearchResultItem> items;
  for (uint16_t slot : {kCedict, kMini, kEnglish, kChars}) {
    const uint32_t n = slot == kCedict ? static_cast<uint32_t>(cedict_.size())
                       : slot == kMini ? static_cast<uint32_t>(mini_.size())
                       : slot == kEnglish ? static_cast<uint32_t>(english_.size())
                                          : static_cast<uint32_t>(chars_.size());
    for (uint32_t e = 0; e < n; ++e) items.push_back({slot, e | (e % 7) << 24});
  }
  // Slots interleaved, an entry past the end and a slot with no dictionary.
  std::swap(items[1], items.back());
  items.push_back({kMini, 5000});
  items.push_back({9, 0});
  std::vector<uint16_t> lengths(items.size(), 0xFFFF);
  GetEntryWordLengths(engine_, items.data(), static_cast<uint32_t>(items.size()), 0x00FFFFFF, lengths.data());
  for (size_t i = 0; i < items.size(); ++i)
    EXPECT_EQ(lengths[i], GetEntryWordLength(engine_, static_cast<uint16_t>(items[i].first), items[i].entry & 0x00FFFFFF))
        << "item " << i;

  // Queries that end in a syllable keep the order found among equal
  // lengths; the others are ordered by entry among them.
  struct Case {
    const char16_t* query;
    bool byEntry;
  } cases[] = {{u"zhong", false}, {u"ren", false}, {u"zhong$", true}, {u"中", true}};
  for (const Case& c : cases) {
    SearchRequest r = Request(c.query);
    r.allDictionaries = 1;
    SearchResultList* list = Search(engine_, &r);
    ASSERT_NE(list, nullptr) << (&c - cases);
    EXPECT_GT(list->count, 1u) << (&c - cases);
    for (uint32_t i = 1; i < list->count; ++i) {
      const SearchResultItem& a = list->items[i - 1];
      const SearchResultItem& b = list->items[i];
      const uint16_t la = GetEntryWordLength(engine_, static_cast<uint16_t>(a.first), a.entry);
      const uint16_t lb = GetEntryWordLength(engine_, static_cast<uint16_t>(b.first), b.entry);
      EXPECT_LE(la, lb) << "case " << (&c - cases) << " item " << i;
      if (c.byEntry && la == lb && a.first == b.first) {
        EXPECT_LT(a.entry, b.entry) << "case " << (&c - cases) << " item " << i;
      }
    }
    FreeResultList(list);
  }
}

// A later kind tried ahead of the pinyin search (an English word that the
// prefix index shows cannot be exact pinyin) gives what the kinds in their
// order give: the same items in the same order, flags, best match and
// language, over the lookup's own requests in both languages and with the
// lookup's kind modes.
TEST_F(SearchDicts, KindsTriedAheadGiveTheSameAsInOrder) {
  std::vector<std::u16string> queries = {u"agent", u"hao", u"zhongguo", u"see",     u"xyzzy",   u"country",
                                         u"good", u"sky day", u"middle kingdom", u"ni hao", u"China", u"dog",
                                         u"study", u"stu",    u"ta", u"tian",         u"café",   u"ok",
                                         // pinyin of a headword and a word of the definitions both
                                         u"bai", u"guo", u"shan", u"Alishan", u"baijiu", u"bar", u"ming", u"zhong"};
  for (const CedictRow& row : cedict_) {
    for (const std::u16string& sense : row.senses) {
      size_t a = 0;
      while (a < sense.size() && !((sense[a] >= u'a' && sense[a] <= u'z') || (sense[a] >= u'A' && sense[a] <= u'Z'))) ++a;
      size_t b = a;
      while (b < sense.size() && ((sense[b] >= u'a' && sense[b] <= u'z') || (sense[b] >= u'A' && sense[b] <= u'Z'))) ++b;
      if (b > a + 1) queries.push_back(sense.substr(a, b - a));
      break;
    }
  }
  size_t differing = 0, compared = 0;
  for (const std::u16string& q : queries) {
    for (uint16_t language : {uint16_t{kLanguageChinese}, uint16_t{kLanguageEnglish}}) {
      SearchRequest r{};
      BuildLookupSearchRequest(engine_, reinterpret_cast<const WCHAR*>(q.c_str()), language, kCedict, 0, &r);
      SearchRequest inOrder = r;
      inOrder.kindsInOrder = 1;
      Found ahead = Run(r), plain = Run(inOrder);
      ++compared;
      const bool same = ahead.none == plain.none && ahead.items == plain.items && ahead.flags == plain.flags &&
                        ahead.best == plain.best && ahead.language == plain.language;
      if (!same) ++differing;
      EXPECT_TRUE(same) << "query " << (&q - queries.data()) << " language " << language;
    }
  }
  EXPECT_GT(compared, 100u);
  EXPECT_EQ(differing, 0u);
}

TEST_F(SearchDicts, MergeStopsAtTheFirstExactDictionaryInOrder) {
  // Both Chinese dictionaries hold 中国; the first in the order wins.
  Found f = Run(Request(u"zhongguo"));
  ASSERT_FALSE(f.none);
  for (const auto& it : f.items) EXPECT_EQ(it.first, kCedict);
  // Searching from the second dictionary puts it first.
  SearchRequest r = Request(u"zhongguo");
  r.currentSlot = kMini;
  f = Run(r);
  ASSERT_FALSE(f.none);
  for (const auto& it : f.items) EXPECT_EQ(it.first, kMini);
  // All dictionaries: both, each item once, ranked by headword length.
  r = Request(u"中国");
  r.allDictionaries = 1;
  f = Run(r);
  int fromCedict = 0, fromMini = 0;
  for (const auto& it : f.items) {
    fromCedict += it.first == kCedict && it.second == u"中国";
    fromMini += it.first == kMini && it.second == u"中国";
  }
  EXPECT_EQ(fromCedict, 1);
  EXPECT_EQ(fromMini, 1);
  // "tian1" is in the second dictionary only.
  f = Run(Request(u"tian1"));
  ASSERT_FALSE(f.none);
  EXPECT_TRUE(HasHead(f, u"天"));
}

TEST_F(SearchDicts, ErhuaEndingCountsAsExact) {
  // The second dictionary has 那 but no 那儿: the erhua character or the
  // syllable r that finds nothing after a full match is still exact.
  struct Case {
    const char16_t* query;
    int code;
  };
  const Case cases[] = {
      {u"那儿", kSearchExact},      // U+513F
      {u"那兒", kSearchExact},      // U+5152, the traditional form
      {u"那儲", kSearchPartial},    // U+5132 is no erhua
      {u"na4r", kSearchExact},      // the syllable code of r
      {u"那天", kSearchPartial},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(Code(cases[i].query, kSearchChineseHeadword, kMini), cases[i].code) << "case " << i;
}

TEST_F(SearchDicts, FindEntriesByHeadword) {
  auto find = [&](const char16_t* head, const char16_t* alt, const char16_t* pron, int unique) {
    std::vector<std::pair<uint16_t, std::u16string>> out;
    SearchResultList* list =
        FindEntriesByHeadword(engine_, nullptr, 0, head, alt, pron, kLanguageChinese, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/0, /*stopAtFirstHit=*/0, /*unique=*/unique);
    for (uint32_t i = 0; list && i < list->count; ++i) {
      uint16_t slot = static_cast<uint16_t>(list->items[i].first);
      uint32_t e = list->items[i].entry;
      out.push_back({slot, slot == kCedict ? cedict_[e].pinyin.empty() ? u"" : Utf16(cedict_[e].pinyin)
                                           : Head(slot, e)});
    }
    FreeResultList(list);
    return out;
  };
  // Headword and pronunciation: only the reading asked for.
  auto r = find(u"中", nullptr, u"zhong4", 1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0], (std::pair<uint16_t, std::u16string>{kCedict, u"zhong4"}));
  // Headword, traditional form and pronunciation.
  // Headword, traditional form and pronunciation: one entry in each of the
  // two Chinese dictionaries; stopping at the first dictionary keeps one.
  r = find(u"中国", u"中國", u"Zhong1 guo2", 1);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].first, kCedict);
  EXPECT_EQ(r[1].first, kMini);
  SearchResultList* first = FindEntriesByHeadword(engine_, nullptr, 0, u"中国", u"中國", u"Zhong1 guo2",
                                                  kLanguageChinese, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/1, /*stopAtFirstHit=*/0, /*unique=*/1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->count, 1u);
  EXPECT_EQ(first->items[0].first, kCedict);
  FreeResultList(first);
  // Only the slots asked for.
  const uint32_t onlyMini[] = {kMini};
  first = FindEntriesByHeadword(engine_, onlyMini, 1, u"中国", nullptr, nullptr, kLanguageChinese, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/0, /*stopAtFirstHit=*/0, /*unique=*/0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->items[0].first, kMini);
  FreeResultList(first);
  // A wrong traditional form rejects the entry.
  EXPECT_TRUE(find(u"中国", u"中图", nullptr, 1).empty());
  // Without tones only neutral-tone syllables match exactly; toned ones are
  // near matches, and with unique set there is then nothing.
  EXPECT_TRUE(find(u"中", nullptr, u"zhong", 1).empty());
  EXPECT_FALSE(find(u"中", nullptr, u"zhong", 0).empty());
  // Nothing to look for.
  EXPECT_TRUE(find(nullptr, nullptr, nullptr, 0).empty());
  EXPECT_EQ(FindEntriesByHeadword(engine_, nullptr, 0, u"x", nullptr, nullptr, 65535, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/0, /*stopAtFirstHit=*/0, /*unique=*/0), nullptr);

  // English headwords.
  SearchResultList* list =
      FindEntriesByHeadword(engine_, nullptr, 0, u"Student", nullptr, nullptr, kLanguageEnglish, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/1, /*stopAtFirstHit=*/0, /*unique=*/0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Head(static_cast<uint16_t>(list->items[0].first), list->items[0].entry), u"student");
  FreeResultList(list);

  // The character dictionary through the dictionary set.
  uint16_t slot = 0;
  int32_t entry = -1;
  EXPECT_EQ(FindEntryInFlaggedDicts(engine_, u'好', &slot, &entry), 0);
  EXPECT_EQ(slot, kChars);
  EXPECT_EQ(entry, 1);
  EXPECT_EQ(FindEntryInFlaggedDicts(engine_, u'天', &slot, &entry), 0);
  EXPECT_EQ(slot, kChars);  // the first character dictionary, no entry
  EXPECT_EQ(entry, -1);
}

// Items of a list made by hand: (slot, entry).
SearchResultList* ListOf(const std::vector<std::pair<uint32_t, uint32_t>>& items) {
  SearchResultList* list = NewResultList(32);
  for (const auto& [s, e] : items) AddResultListItem(list, s, e);
  return list;
}
std::vector<std::pair<uint32_t, uint32_t>> Items(const SearchResultList* list) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (uint32_t i = 0; i < list->count; ++i) out.push_back({list->items[i].first, list->items[i].entry});
  return out;
}

TEST_F(SearchDicts, PlainSortOrdersByEntryThenSlotAndDropsDuplicates) {
  SearchRequest r = Request(u"x");
  r.sortMode = kSortByEntry;
  SearchResultList* list = ListOf({{1, 5}, {0, 5}, {1, 5}, {0, 3}, {0, 5}, {1, 3}});
  SortSearchResults(engine_, &r, kSearchEnglishHeadword, list, 0);
  EXPECT_EQ(Items(list), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 3}, {1, 3}, {0, 5}, {1, 5}}));
  FreeResultList(list);
}

TEST_F(SearchDicts, RankedSortKeepsPositionsBeyondSixteenBits) {
  // 70,000 items of entries past the dictionary's end (rank 0 each), in
  // descending entry order; the second ranked sort puts them back in their
  // found order, which a 16-bit position would wrap.
  SearchRequest r = Request(u"x");
  std::vector<std::pair<uint32_t, uint32_t>> items;
  for (uint32_t i = 0; i < 70000; ++i) items.push_back({kCedict, 100000 - i});
  SearchResultList* list = ListOf(items);
  ASSERT_EQ(list->count, 70000u);
  SortSearchResults(engine_, &r, kSearchChineseHeadword, list, kMethodEndsWithSyllable);
  ASSERT_EQ(list->count, 70000u);
  EXPECT_EQ(Items(list), items);
  FreeResultList(list);

  // Ranked by headword length: one character before two, then slot, entry.
  list = ListOf({{kMini, 1}, {kMini, 0}, {kCedict, 1}, {kMini, 1}});
  SortSearchResults(engine_, &r, kSearchChineseHeadword, list, 0);
  // 那 and the excerpt's entry 1 have one character (then by slot), 中国 two.
  EXPECT_EQ(Items(list), (std::vector<std::pair<uint32_t, uint32_t>>{{kCedict, 1}, {kMini, 0}, {kMini, 1}}));
  FreeResultList(list);
}

TEST_F(SearchDicts, FullTextMasksEachDictionarysPostings) {
  // The relevance bits sit above a different number of entry bits in each
  // dictionary.
  auto maskOf = [&](uint16_t slot) {
    TableCursor* c = FindDictTableCursor(engine_, slot, kRankedWordIndexType);
    EXPECT_NE(c, nullptr);
    const uint8_t* info = GetTableInfoArea(c);
    uint32_t w = info[28], x = info[32];
    return std::pair<uint32_t, uint32_t>{(1u << (w - x)) - 1, w - x};
  };
  auto [maskA, bitsA] = maskOf(kCedict);
  auto [maskB, bitsB] = maskOf(kMini);
  ASSERT_NE(bitsA, bitsB);
  SearchRequest r = Request(u"x");
  r.sortMode = kSortByEntry;
  SearchResultList* list = ListOf({{kCedict, (2u << bitsA) | 7}, {kMini, (3u << bitsB) | 2}});
  SortSearchResults(engine_, &r, kSearchEnglishText, list, 0);
  auto got = Items(list);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uint32_t>>{{kCedict, 7}, {kMini, 2}}));
  (void)maskA;
  (void)maskB;
  FreeResultList(list);
}

TEST_F(SearchDicts, LongFullTextListsSortAsTheReferenceDoes) {
  // Lists long enough for the sort's counting pass, in the shapes postings
  // take: ranks above entries that ascend (the pass alone sorts them),
  // entries that descend (it cannot, the general sort finishes), repeated
  // items, and two dictionaries. Expected: by value, then slot, then found
  // order; repeats dropped; the rank bits masked off at the end.
  auto bitsOf = [&](uint16_t slot) {
    TableCursor* c = FindDictTableCursor(engine_, slot, kRankedWordIndexType);
    EXPECT_NE(c, nullptr);
    const uint8_t* info = GetTableInfoArea(c);
    return static_cast<uint32_t>(info[28] - info[32]);
  };
  const uint32_t bitsA = bitsOf(kCedict), bitsB = bitsOf(kMini);
  using List = std::vector<std::pair<uint32_t, uint32_t>>;
  auto ranked = [](uint32_t bits, uint32_t rank, uint32_t id) { return rank << bits | id; };
  struct Case {
    const char* what;
    List items;
  };
  std::vector<Case> cases(5);
  cases[0].what = "ranks over ascending entries";
  for (uint32_t i = 0; i < 600; ++i) cases[0].items.push_back({kCedict, ranked(bitsA, (i * 7) % 5, i * 3)});
  cases[1].what = "one rank, descending entries";
  for (uint32_t i = 0; i < 600; ++i) cases[1].items.push_back({kCedict, ranked(bitsA, 2, 5000 - i)});
  cases[2].what = "ranks over descending entries";
  for (uint32_t i = 0; i < 600; ++i) cases[2].items.push_back({kCedict, ranked(bitsA, i % 3, 5000 - i)});
  cases[3].what = "repeated items";
  for (uint32_t i = 0; i < 600; ++i) cases[3].items.push_back({kCedict, ranked(bitsA, i % 2, i / 3)});
  cases[4].what = "two dictionaries";
  for (uint32_t i = 0; i < 600; ++i)
    cases[4].items.push_back(i % 2 ? std::pair{kMini, ranked(bitsB, i % 4, i)}
                                   : std::pair{kCedict, ranked(bitsA, i % 3, i)});
  SetPref(engine_, kPrefMaskRanksEarly, 0);  // the ranks order the list, then go
  for (const Case& c : cases) {
    std::vector<size_t> order(c.items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      if (c.items[a].second != c.items[b].second) return c.items[a].second < c.items[b].second;
      return c.items[a].first < c.items[b].first;
    });
    List expected;
    for (size_t k = 0; k < order.size(); ++k) {
      if (k > 0 && c.items[order[k]] == c.items[order[k - 1]]) continue;
      const auto [slot, value] = c.items[order[k]];
      expected.push_back({slot, value & ((1u << (slot == kCedict ? bitsA : bitsB)) - 1)});
    }
    SearchRequest r = Request(u"x");
    r.sortMode = kSortByEntry;
    SearchResultList* list = ListOf(c.items);
    ASSERT_EQ(list->count, c.items.size()) << c.what;
    SortSearchResults(engine_, &r, kSearchEnglishText, list, 0);
    EXPECT_EQ(Items(list), expected) << c.what;
    FreeResultList(list);
  }
}

TEST_F(SearchDicts, DivisionsOfLongAmbiguousInputAreCapped) {
  SearchRequest r = Request(u"anananananananananananananananan");
  uint32_t flags = 0;
  SearchMethod* m = CreateSearchMethod(engine_, &r, kSearchChineseHeadword, &flags);
  ASSERT_NE(m, nullptr);
  EXPECT_GT(m->keys.count, 1u);
  EXPECT_LE(m->keys.count, kMaxSyllableKeyPairs);
  FreeSearchMethod(m);
  Run(r);  // returns (and finds what the excerpt has, if anything)
}

}  // namespace

namespace {

TEST_F(SearchDicts, ClassifiesQueries) {
  struct Case {
    const char16_t* query;
    uint16_t mode;
    uint16_t language;
    uint8_t fullText, addFullText, addHeadword;
    std::vector<int32_t> kinds;
  };
  const Case cases[] = {
      {u"zhong1", kKindModeBoth, kLanguageEnglish, 0, 0, 0, {1}},     // a tone digit
      {u"student", kKindModeBoth, kLanguageEnglish, 0, 0, 0, {4}},    // not pinyin
      {u"hao", kKindModeBoth, kLanguageEnglish, 0, 0, 0, {4, 1}},     // reads as pinyin
      {u"hao", kKindModeBoth, kLanguageEnglish, 0, 1, 0, {4, 6, 1}},  // and full text asked for
      {u"hao", kKindModeBothNoPinyinTest, kLanguageEnglish, 0, 0, 0, {4}},
      {u"hao", kKindModeBoth, kLanguageChinese, 0, 0, 0, {1, 4}},
      {u"hao", kKindModeEnglishFirst, kLanguageChinese, 0, 0, 0, {4}},
      {u"中@", kKindModeByLanguage, kLanguageChinese, 0, 0, 0, {2}},
      {u"st@r", kKindModeByLanguage, kLanguageEnglish, 0, 0, 0, {5}},
      {u"st@r", kKindModeBoth, kLanguageChinese, 0, 0, 0, {2, 5}},
      {u"st@r", kKindModeBoth, kLanguageEnglish, 0, 0, 0, {5, 2}},
      {u"中", kKindModeByLanguage, kLanguageChinese, 0, 0, 0, {1}},
      {u"中", kKindModeByLanguage, kLanguageChinese, 0, 1, 0, {1, 3}},
      {u"ㄓㄨㄥ", kKindModeBoth, kLanguageEnglish, 0, 0, 0, {1}},
      {u"girl", kKindModeByLanguage, kLanguageEnglish, 1, 0, 0, {6, 4}},
      {u"中", kKindModeByLanguage, kLanguageChinese, 1, 0, 0, {3, 1}},
      {u"girl", kKindModeBoth, kLanguageEnglish, 1, 0, 1, {6, 4}},
      {u"1234 !?", kKindModeBoth, kLanguageEnglish, 0, 0, 0, {}},  // digits and punctuation
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SearchRequest r = Request(c.query, c.language);
    r.kindMode = c.mode;
    r.fullText = c.fullText;
    r.addFullText = c.addFullText;
    r.addHeadword = c.addHeadword;
    int32_t kinds[3] = {};
    int noDictionary = -1;
    uint32_t n = ClassifyQuery(engine_, &r, kinds, &noDictionary);
    EXPECT_EQ(std::vector<int32_t>(kinds, kinds + n), c.kinds) << "case " << i;
  }
  // The full-text prefix with only itself, or followed by nothing useful.
  EXPECT_TRUE(Run(Request(u"#", kLanguageEnglish)).none);
  EXPECT_TRUE(Run(Request(u"1234", kLanguageEnglish)).none);
}

TEST_F(SearchDicts, ResultFlagsAndTheRequestAfterwards) {
  // Syllables without tones: flag 4.
  Found f = Run(Request(u"zhongguo"));
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.flags, kResultNoTones);
  EXPECT_EQ(f.language, kLanguageChinese);
  f = Run(Request(u"zhong1guo2"));
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.flags, 0u);
  // The request comes back as it was given, prefix included.
  SearchRequest r = Request(u"#daughter", kLanguageEnglish);
  const char16_t* query = r.query;
  SearchResultList* list = Search(engine_, &r);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(r.query, query);
  EXPECT_EQ(r.fullText, 0);
  EXPECT_EQ(list->flags & kResultFullText, kResultFullText);
  FreeResultList(list);
  // With preference 122 at 0, '#' is part of the query: an English
  // headword search (whose letter key drops it).
  SetPref(engine_, 122, 0);
  f = Run(Request(u"#daughter", kLanguageEnglish));
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.flags & kResultFullText, 0u);
  EXPECT_EQ(f.items[0], (std::pair<uint16_t, std::u16string>{kEnglish, u"daughter"}));
}

TEST_F(SearchDicts, PartialMatchesAreKeptOnlyWhenAsked) {
  // "zhongguox": 中国 matches two syllables of three.
  SearchRequest r = Request(u"中国天");
  EXPECT_TRUE(Run(r).none);
  r.keepPartial = 1;
  Found f = Run(r);
  ASSERT_FALSE(f.none);
  EXPECT_TRUE(HasHead(f, u"中国"));
  EXPECT_EQ(f.best, 2u);
  for (const auto& it : f.items) EXPECT_EQ(it.first, kCedict) << "the first dictionary with the longest match";
  // Partial counted as exact.
  r = Request(u"中国天");
  r.partialIsExact = 1;
  EXPECT_FALSE(Run(r).none);
  // Only the current dictionary.
  r = Request(u"tian1");
  r.currentSlot = kCedict;
  r.currentOnly = 1;
  f = Run(r);
  for (const auto& it : f.items) EXPECT_EQ(it.first, kCedict);
  r.currentSlot = kMini;
  f = Run(r);
  ASSERT_FALSE(f.none);
  for (const auto& it : f.items) EXPECT_EQ(it.first, kMini);
}

}  // namespace

namespace {

TEST_F(SearchDicts, LaterKindsReplaceOnlyPartialResults) {
  // "hao" in English mode: the English headword search finds only a nearest
  // headword (partial); the pinyin search that follows is exact and wins.
  SearchRequest r = Request(u"hao", kLanguageEnglish);
  r.kindMode = kKindModeBoth;
  r.keepPartial = 1;
  Found f = Run(r);
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.language, kLanguageChinese);
  EXPECT_TRUE(HasHead(f, u"好"));
  for (const auto& it : f.items) EXPECT_NE(it.first, kEnglish);
  // When the pinyin search is partial too, the English results stay:
  // "chinan" shares "china" with an English headword.
  r.query = u"chinan";
  f = Run(r);
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.language, kLanguageEnglish);
  ASSERT_EQ(f.items.size(), 1u);
  EXPECT_EQ(f.items[0], (std::pair<uint16_t, std::u16string>{kEnglish, u"China"}));
  EXPECT_EQ(f.best, 5u);
  // Partial everywhere: the one dictionary that matched the longest part
  // (the character dictionary's two-syllable reading of 好).
  r.query = u"haohaohaohao";
  f = Run(r);
  ASSERT_FALSE(f.none);
  EXPECT_EQ(f.best, 2u);
  for (const auto& it : f.items) EXPECT_EQ(it.first, kChars);
}

}  // namespace

namespace {

TEST_F(SearchDicts, DictionaryOrderPerKind) {
  auto order = [&](int32_t kind, uint16_t current, int first = 1) {
    SearchRequest r = Request(u"x");
    r.currentSlot = current;
    uint16_t slots[8] = {};
    uint32_t n = BuildSearchDictList(engine_, &r, kind, first, slots);
    return std::vector<uint16_t>(slots, slots + n);
  };
  using V = std::vector<uint16_t>;
  EXPECT_EQ(order(kSearchChineseHeadword, 65535), (V{kCedict, kMini, kChars}));
  // The third of the list is searched first, the first two last.
  EXPECT_EQ(order(kSearchChineseHeadword, kChars), (V{kChars, kCedict, kMini}));
  // Wildcards leave the character dictionary out.
  EXPECT_EQ(order(kSearchChineseWildcard, 65535), (V{kCedict, kMini}));
  EXPECT_EQ(order(kSearchEnglishHeadword, 65535), (V{kEnglish}));
  // An English current dictionary does not rotate the Chinese list.
  EXPECT_EQ(order(kSearchChineseHeadword, kEnglish), (V{kCedict, kMini, kChars}));
  // Full text: dictionaries with the index, the other language's list too.
  V english = order(kSearchEnglishText, 65535);
  EXPECT_EQ(english.front(), kCedict);
  EXPECT_NE(std::find(english.begin(), english.end(), kEnglish), english.end());
  // A slot list of the caller, rotated to the current slot.
  SearchRequest r = Request(u"x");
  const uint16_t list[] = {kMini, kCedict, kChars};
  r.slots = list;
  r.slotCount = 3;
  r.currentSlot = kCedict;
  uint16_t slots[8] = {};
  uint32_t n = BuildSearchDictList(engine_, &r, kSearchChineseHeadword, 1, slots);
  EXPECT_EQ(V(slots, slots + n), (V{kCedict, kChars, kMini}));
}

TEST_F(SearchDicts, FindEntriesByPronunciationAlone) {
  SearchResultList* list =
      FindEntriesByHeadword(engine_, nullptr, 0, nullptr, nullptr, u"tian1", kLanguageChinese, /*transLanguage=*/65535, /*flag=*/0, /*stopAtFirstDict=*/0, /*stopAtFirstHit=*/0, /*unique=*/0);
  ASSERT_NE(list, nullptr);
  bool found = false;
  for (uint32_t i = 0; i < list->count; ++i)
    found |= Head(static_cast<uint16_t>(list->items[i].first), list->items[i].entry) == u"天";
  EXPECT_TRUE(found);
  FreeResultList(list);
}

}  // namespace

namespace {

TEST(CleanSearchKey, DropsNotesBlanksMarkupAndSlashes) {
  struct Case {
    const char16_t* key;
    int keepSlashes;
    const char16_t* expected;
    const char16_t* parallel;  // the parallel key after cleaning ("abc..." positions)
  };
  const Case cases[] = {
      {u"中国 (China)", 0, u"中国", u"ab"},
      {u"中（国）人", 0, u"中人", u"ae"},
      {u"a(b(c)d)e", 0, u"ae", u"ai"},
      {u"头/頭发", 0, u"头发", u"ad"},   // a slash and the alternative after it
      {u"头/頭发", 1, u"头/頭发", u"abcd"},
      {u"x\uEA01y", 0, u"xy", u"ac"},
      {u"", 0, u"", u""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    WCHAR key[48] = {}, parallel[48] = {};
    std::u16string k = cases[i].key;
    std::copy(k.begin(), k.end(), key);
    for (size_t p = 0; p < k.size(); ++p) parallel[p] = static_cast<WCHAR>(u'a' + p);
    CleanSearchKey(key, parallel, cases[i].keepSlashes);
    EXPECT_EQ(std::u16string(key), cases[i].expected) << "case " << i;
    EXPECT_EQ(std::u16string(parallel), cases[i].parallel) << "case " << i;
  }
}

}  // namespace
