// Search end to end over a Chinese dictionary from an excerpt of CC-CEDICT:
// query -> the method's result code for the dictionary and the first
// entries that Search returns.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/lookup_services.h"
#include "engine/search_methods.h"
#include "tests/engine_search/search_fixture.h"

using namespace searchfix;

namespace {

class SearchTest : public fetchfix::EngineFixture {
 protected:
  void SetUp() override {
    rows_ = LoadCedictExcerpt();
    ASSERT_GT(rows_.size(), 200u);
    AddDict(ChineseDict(rows_, 1, u"CEDICT"));
    ASSERT_NE(Create(), nullptr);
  }

  SearchRequest Request(const char16_t* query, uint16_t language = kLanguageChinese) {
    SearchRequest r{};
    r.query = query;
    r.language = language;
    r.currentSlot = 65535;
    r.sortMode = kSortByRank;
    return r;
  }

  // The method's code for slot 0.
  int Code(const char16_t* query, int32_t kind, uint8_t keepPartial = 0) {
    SearchRequest r = Request(query);
    r.keepPartial = keepPartial;
    uint32_t flags = 0;
    SearchMethod* m = CreateSearchMethod(engine_, &r, kind, &flags);
    if (!m) return -1;
    SearchResultList* list = NewResultList(32);
    int code = m->method(engine_, m, 0, list);
    FreeResultList(list);
    FreeSearchMethod(m);
    return code;
  }

  // Simplified headwords of the results, in order.
  std::vector<std::u16string> Heads(SearchRequest r, SearchResultList** keep = nullptr) {
    std::vector<std::u16string> out;
    SearchResultList* list = Search(engine_, &r);
    if (!list) return out;
    for (uint32_t i = 0; i < list->count; ++i) {
      uint32_t e = list->items[i].entry;
      out.push_back(e < rows_.size() ? rows_[e].simplified : u"?");
    }
    if (keep) *keep = list;
    else FreeResultList(list);
    return out;
  }
  bool Has(const std::vector<std::u16string>& heads, const std::u16string& h) {
    return std::find(heads.begin(), heads.end(), h) != heads.end();
  }

  std::vector<CedictRow> rows_;
};

// With the CC-CEDICT excerpt alone (as on the device: no English-headword
// dictionary), an English word goes pinyin first, then through the word
// index; trying the word index ahead where the pinyin search cannot be
// exact gives what the kinds in order give, and where it can be exact
// (words that are both pinyin of a headword and English) the pinyin
// search still wins.
TEST_F(SearchTest, KindsTriedAheadGiveTheSameAsInOrder) {
  std::vector<std::u16string> queries = {u"bai",   u"guo",     u"shan",   u"Alishan", u"baijiu", u"bar",
                                         u"ming",  u"zhong",   u"da",     u"tian",    u"er",     u"na",
                                         u"agent", u"country", u"xyzzy",  u"see",     u"good",   u"middle kingdom",
                                         u"hao",   u"zhongguo", u"ni hao", u"Kingdom", u"bai jiu", u"wine"};
  for (const CedictRow& row : rows_) {
    if (row.senses.empty()) continue;
    const std::u16string& sense = row.senses[0];
    size_t a = 0;
    auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    while (a < sense.size() && !letter(sense[a])) ++a;
    size_t b = a;
    while (b < sense.size() && letter(sense[b])) ++b;
    if (b > a + 1) queries.push_back(sense.substr(a, b - a));
  }
  struct Outcome {
    std::vector<std::pair<uint32_t, uint32_t>> items;
    uint32_t flags = 0, best = 0, language = 0;
    bool none = true;
    bool operator==(const Outcome&) const = default;
  };
  auto run = [&](SearchRequest r) {
    Outcome o;
    SearchResultList* list = Search(engine_, &r);
    if (!list) return o;
    o.none = false;
    for (uint32_t i = 0; i < list->count; ++i) o.items.push_back({list->items[i].first, list->items[i].entry});
    o.flags = list->flags;
    o.best = list->bestMatch;
    o.language = list->language;
    FreeResultList(list);
    return o;
  };
  size_t pinyinWins = 0, wordsWin = 0;
  for (size_t i = 0; i < queries.size(); ++i) {
    for (uint16_t language : {uint16_t{kLanguageChinese}, uint16_t{kLanguageEnglish}}) {
      SearchRequest r{};
      BuildLookupSearchRequest(engine_, reinterpret_cast<const WCHAR*>(queries[i].c_str()), language, 0, 0, &r);
      SearchRequest inOrder = r;
      inOrder.kindsInOrder = 1;
      const Outcome ahead = run(r), plain = run(inOrder);
      EXPECT_TRUE(ahead == plain) << "query " << i << " language " << language;
      if (!plain.none) ++(plain.language == kLanguageChinese ? pinyinWins : wordsWin);
    }
  }
  // Both ways of ending are among the cases.
  EXPECT_GT(pinyinWins, 10u);
  EXPECT_GT(wordsWin, 10u);
}

TEST_F(SearchTest, PinyinAndCharacterQueries) {
  struct Case {
    const char16_t* query;
    int code;                  // of the Chinese headword method
    const char16_t* first;     // first result (ranked by headword length)
    const char16_t* contains;  // also among the results
  };
  const Case cases[] = {
      {u"zhong1guo2", kSearchExact, u"中国", nullptr},
      {u"zhongguo", kSearchExact, u"中国", nullptr},
      {u"zhong guo", kSearchExact, u"中国", nullptr},
      {u"zhongg", kSearchExact, u"中国", nullptr},
      {u"nv3er2", kSearchExact, u"女儿", nullptr},
      {u"nv er", kSearchExact, u"女儿", nullptr},
      {u"zhong1", kSearchExact, u"中", nullptr},
      {u"中国", kSearchExact, u"中国", nullptr},
      {u"中國", kSearchExact, u"中国", nullptr},
      {u"中", kSearchExact, u"中", nullptr},  // the one-character entries only
      {u"明白", kSearchExact, u"明白", nullptr},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(Code(c.query, kSearchChineseHeadword), c.code) << "case " << i;
    auto heads = Heads(Request(c.query));
    ASSERT_FALSE(heads.empty()) << "case " << i;
    EXPECT_TRUE(heads[0] == c.first) << "case " << i;
    if (c.contains) {
      EXPECT_TRUE(Has(heads, c.contains)) << "case " << i;
    }
  }
}

TEST_F(SearchTest, ErhuaAndNothing) {
  // "nar": na + the erhua syllable r; an entry for "na" with nothing after
  // it still counts as exact.
  EXPECT_EQ(Code(u"na4r", kSearchChineseHeadword), kSearchExact);
  // Nothing matches.
  EXPECT_TRUE(Heads(Request(u"qqqqxx")).empty());
  EXPECT_TRUE(Heads(Request(u"%%")).empty());
}

TEST_F(SearchTest, WildcardsInCharactersAndPinyin) {
  // '@' one character, '$' zero to three characters.
  auto heads = Heads(Request(u"中@"));
  ASSERT_FALSE(heads.empty());
  for (const auto& h : heads) EXPECT_EQ(h.size(), 2u) << "only two-character entries";
  EXPECT_TRUE(Has(heads, u"中国"));
  heads = Heads(Request(u"中$"));
  EXPECT_TRUE(Has(heads, u"中国"));
  EXPECT_TRUE(Has(heads, u"中"));
  EXPECT_TRUE(Has(heads, u"中国人"));
  for (const auto& h : heads) EXPECT_LE(h.size(), 4u);
  EXPECT_FALSE(Has(heads, u"中华人民共和国"));
  // '$' between characters: zero to three characters there, nothing after.
  heads = Heads(Request(u"中$国"));
  EXPECT_TRUE(Has(heads, u"中国"));
  EXPECT_FALSE(Has(heads, u"中国人"));
  EXPECT_FALSE(Has(heads, u"中华人民共和国")) << "five characters between";
  heads = Heads(Request(u"中$人"));
  EXPECT_TRUE(Has(heads, u"中国人"));
  heads = Heads(Request(u"zhong@"));
  EXPECT_TRUE(Has(heads, u"中国"));
  // Other characters as wildcards: '@' is then plain.
  SetPref(engine_, 120, u'?');
  SetPref(engine_, 121, u'*');
  heads = Heads(Request(u"中?"));
  EXPECT_TRUE(Has(heads, u"中国"));
  heads = Heads(Request(u"中*"));
  EXPECT_TRUE(Has(heads, u"中"));
  EXPECT_TRUE(Heads(Request(u"中@")).empty());
}

}  // namespace

namespace {

// Room made ahead of many adds gives the list exactly what adding them one
// by one does: the same items, the same failures at the limit, and a
// capacity on the same steps of 32.
TEST(ResultListRoom, ReservingChangesNothingTheAddsSee) {
  const uint32_t top = kResultListLimit - kResultListGrowItems;  // the last capacity reached from 32
  struct Case {
    uint32_t capacity, count, adds;
  } cases[] = {
      {32, 0, 1},       {32, 5, 27},        {32, 32, 1},     {32, 10, 1000},  {100, 99, 70},
      {top, top - 3, 10}, {top - 64, top - 70, 200}, {kResultListLimit - 1, kResultListLimit - 5, 9},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SearchResultList* plain = NewResultList(c.capacity);
    SearchResultList* ahead = NewResultList(c.capacity);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(ahead, nullptr);
    plain->count = ahead->count = c.count;
    EXPECT_EQ(ReserveResultListItems(ahead, c.adds), 0) << i;
    EXPECT_GE(ahead->capacity, plain->capacity) << i;
    EXPECT_EQ((ahead->capacity - c.capacity) % kResultListGrowItems, 0u) << i;
    EXPECT_LT(ahead->capacity, kResultListLimit) << i;
    for (uint32_t k = 0; k < c.adds; ++k) {
      const int a = AddResultListItem(plain, 1, 100 + k);
      const int b = AddResultListItem(ahead, 1, 100 + k);
      ASSERT_EQ(a, b) << "case " << i << " add " << k;
    }
    ASSERT_EQ(plain->count, ahead->count) << i;
    EXPECT_EQ(plain->capacity, ahead->capacity) << i;
    for (uint32_t k = c.count; k < plain->count; ++k) EXPECT_EQ(plain->items[k].entry, ahead->items[k].entry) << i;
    FreeResultList(plain);
    FreeResultList(ahead);
  }
  // No list, or one with no storage yet: nothing to do.
  EXPECT_EQ(ReserveResultListItems(nullptr, 5), 0);
  SearchResultList* empty = NewResultList(0);
  EXPECT_EQ(ReserveResultListItems(empty, 5), 0);
  EXPECT_EQ(empty->capacity, 0u);
  FreeResultList(empty);
}

}  // namespace

namespace {

// The candidate order of a two-word English search is the order a sort of
// (entry << 32 | index) gives, whichever way it is made: short lists, long
// ones in the counting passes, entries too wide for them.
TEST(CandidateOrder, SameAsSortingEntryThenIndex) {
  struct Case {
    uint32_t n;
    uint32_t bits;      // entry bits under the mask
    uint32_t rankBits;  // relevance bits above them
    uint32_t entries;   // entries drawn below this (repeats when small)
  } cases[] = {
      {0, 17, 8, 1},             // nothing to order
      {200, 17, 8, 100000},      // short: the general sort
      {3771, 17, 8, 124000},     // a common query's list: two 9- and 8-bit passes
      {3000, 17, 8, 40},         // many candidates of each entry: ties keep index order
      {1000, 1, 7, 2},           // one-bit entries: an empty high digit
      {600, 0, 8, 1},            // no entry bits: every candidate one entry
      {2000, 24, 8, 1u << 24},   // the widest the passes take
      {2000, 25, 7, 1u << 25},   // wider: the general sort
      {2000, 32, 0, 0xFFFFFFFF}, // an unranked index of full words
  };
  uint64_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(seed >> 32);
  };
  for (size_t c = 0; c < std::size(cases); ++c) {
    const Case& k = cases[c];
    const uint32_t mask = k.bits >= 32 ? 0xFFFFFFFF : (1u << k.bits) - 1;
    // Postings come in entry order within each rank, so entries repeat
    // across ranks and the list is far from sorted by entry.
    std::vector<uint32_t> values(k.n);
    for (uint32_t i = 0; i < k.n; ++i) {
      const uint32_t entry = (k.entries > 1 ? next() % k.entries : 0) & mask;
      const uint32_t rank = k.rankBits ? next() & ((1u << k.rankBits) - 1) : 0;
      values[i] = k.bits >= 32 ? entry : entry | rank << k.bits;
    }
    std::vector<uint64_t> keys(k.n);
    for (uint32_t i = 0; i < k.n; ++i) keys[i] = uint64_t{values[i] & mask} << 32 | i;
    std::sort(keys.begin(), keys.end());
    const std::vector<uint32_t> order = OrderCandidatesByEntry(values.data(), k.n, mask, k.bits);
    ASSERT_EQ(order.size(), k.n) << "case " << c;
    for (uint32_t i = 0; i < k.n; ++i) ASSERT_EQ(order[i], static_cast<uint32_t>(keys[i])) << "case " << c << " at " << i;
  }
}

}  // namespace
