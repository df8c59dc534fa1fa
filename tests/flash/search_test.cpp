// Card search: conditions, groups, new cards as score 100, filters and
// sorting; the category card lists and their order.
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/sql_db.h"
#include "flash/card_scores.h"
#include "flash/card_search.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash_fixture.h"
#include "resources/resources.h"

namespace {

const WCHAR* W(const char16_t* s) { return reinterpret_cast<const WCHAR*>(s); }

class CardSearchTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    RegisterSorviResources();
    ASSERT_NE(Open(), nullptr);
    // Cards: 1 你好 scored 40; 2 书 scored 120; 3 book (English, new);
    // 4 你们 new; 5 书本 scored 100.
    const struct {
      const char16_t* hw;
      const char16_t* pron;
      uint32_t lang;
      int32_t score;  // -1: no score row
    } cards[] = {{u"你好", u"ni3 hao3", 4096, 40},
                 {u"书", u"shu1", 4096, 120},
                 {u"book", nullptr, 0, -1},
                 {u"你们", u"ni3 men5", 4096, -1},
                 {u"书本", u"shu1 ben3", 4096, 100}};
    for (const auto& c : cards) {
      CardEditRecord r{};
      r.scorefile = -1;
      r.language = c.lang;
      r.headword = W(c.hw);
      r.pronunciation = W(c.pron);
      r.duplicateMode = kDuplicateAllow;
      const int32_t id = SaveCard(store, &r, -1);
      ASSERT_GT(id, 0);
      ids.push_back(id);
      if (c.score >= 0) {
        CardScoreRecord s;
        InitCardScoreRecord(&s);
        s.score = c.score;
        s.history[0] = 5;
        s.reviewed = 1;
        ASSERT_EQ(WriteCardScore(store, 1, id, &s), 0);
      }
    }
    x = CreateCategory(store, W(u"X"), -1, kCategoryRoot, -1);
    xChild = CreateCategory(store, W(u"XChild"), -1, x, -1);
    y = CreateCategory(store, W(u"Y"), -1, kCategoryRoot, -1);
    AssignCard(store, ids[0], x);
    AssignCard(store, ids[1], xChild);
    AssignCard(store, ids[0], y);
    AssignCard(store, ids[2], y);
  }
  static FlashQueryCondition Cond(int32_t kind, int32_t op, int32_t value, int32_t connector = kQueryAnd,
                                  const char16_t* text = u"") {
    FlashQueryCondition c{};
    c.kind = kind;
    c.op = op;
    c.value = value;
    c.connector = connector;
    for (int i = 0; text[i] && i < 39; ++i) c.text[i] = text[i];
    return c;
  }
  // Card numbers (1-based positions in `ids`) the query finds, in order.
  std::vector<int> Run(std::vector<FlashQueryCondition> conditions, int32_t sortKey = 0, int32_t descending = 0) {
    FlashQueryRecord q{};
    q.scorefile = 1;
    q.sortKey = sortKey;
    q.sortDescending = descending;
    for (size_t i = 0; i < conditions.size(); ++i) q.conditions[i] = conditions[i];
    q.count = static_cast<int32_t>(conditions.size());
    ChunkedArray* list = SearchCards(store, &q);
    std::vector<int> out;
    for (int32_t i = 0; list && i < list->count; ++i) {
      const int32_t id = GetChunkedArrayItem(list, i);
      out.push_back(static_cast<int>(std::find(ids.begin(), ids.end(), id) - ids.begin()) + 1);
    }
    FreeChunkedArray(list);
    return out;
  }
  static std::vector<int> Sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
  std::vector<int32_t> ids;
  int32_t x = 0, xChild = 0, y = 0;
};

TEST_F(CardSearchTest, ConditionsAdmitTheirCards) {
  struct Case {
    const char* what;
    std::vector<FlashQueryCondition> conditions;
    std::vector<int> expected;
  } cases[] = {
      {"score < 50 leaves out new cards", {Cond(kQueryScore, kQueryOpLess, 50)}, {1}},
      {"score >= 100 finds new cards", {Cond(kQueryScore, kQueryOpGreaterEqual, 100)}, {2, 3, 4, 5}},
      {"category X or Y, each once",
       {Cond(kQueryCategory, kQueryOpEqual, 0, kQueryOr), Cond(kQueryCategory, kQueryOpEqual, 0)},
       {1, 2, 3}},
      {"kind 1 takes subcategories", {Cond(kQueryCategory, kQueryOpEqual, 0)}, {1, 2}},
      {"kind 18 does not", {Cond(kQueryExactCategory, kQueryOpEqual, 0)}, {1}},
      {"-3: without category", {Cond(kQueryCategory, kQueryOpEqual, kCategoryUncategorized)}, {4, 5}},
      {"Latin headword as typed", {Cond(kQueryHeadword, kQueryOpEqual, 0, kQueryAnd, u"bo%")}, {3}},
      {"CJK headword through its key", {Cond(kQueryHeadword, kQueryOpEqual, 0, kQueryAnd, u"你好")}, {1}},
      {"headword not like", {Cond(kQueryHeadword, kQueryOpNotEqual, 0, kQueryAnd, u"b%")}, {1, 2, 4, 5}},
      {"pron", {Cond(kQueryPron, kQueryOpEqual, 0, kQueryAnd, u"shu1")}, {2}},
      {"language", {Cond(kQueryLanguage, kQueryOpEqual, 0)}, {3}},
      {"last correct", {Cond(kQueryLastCorrect, kQueryOpYes, 0)}, {1, 2, 5}},
      {"all cards", {Cond(kQueryAllCards, kQueryOpEqual, 0)}, {1, 2, 3, 4, 5}},
  };
  // Category values are filled in here: the ids are the fixture's.
  cases[2].conditions[0].value = x;
  cases[2].conditions[1].value = y;
  cases[3].conditions[0].value = x;
  cases[4].conditions[0].value = x;
  for (const Case& c : cases) EXPECT_EQ(Sorted(Run(c.conditions)), c.expected) << c.what;
}

TEST_F(CardSearchTest, SixCategoryConditionsInOneGroupAreAllHonoured) {
  std::vector<FlashQueryCondition> conditions;
  for (int i = 0; i < 5; ++i) conditions.push_back(Cond(kQueryAllCards, kQueryOpEqual, 0));
  for (int i = 0; i < 5; ++i) conditions.push_back(Cond(kQueryCategory, kQueryOpEqual, x));
  // The sixth category condition excludes every card of X but card 1.
  conditions[9] = Cond(kQueryExactCategory, kQueryOpEqual, y);
  conditions[4] = Cond(kQueryCategory, kQueryOpEqual, x);
  EXPECT_EQ(Run(conditions), (std::vector<int>{1}));
}

TEST_F(CardSearchTest, SortsAndFilters) {
  // Score descending: new cards count as 100.
  const std::vector<int> order =
      Run({Cond(kQueryAllCards, kQueryOpEqual, 0), Cond(kQueryScore, kQueryOpGreater, 0)}, kQueryScore, 1);
  ASSERT_EQ(order.size(), 5u);
  EXPECT_EQ(order.front(), 2);
  EXPECT_EQ(order.back(), 1);
  // Incomplete: custom cards without definition; the sort is ignored.
  EXPECT_EQ(Sorted(Run({Cond(kQueryIncomplete, kQueryOpEqual, 0)}, kQueryScore, 1)), (std::vector<int>{1, 2, 3, 4, 5}));
  // Duplicate: only cards with a twin.
  EXPECT_TRUE(Run({Cond(kQueryDuplicate, kQueryOpEqual, 0)}).empty());
  CardEditRecord twin{};
  twin.scorefile = -1;
  twin.language = 4096;
  twin.headword = W(u"书");
  twin.pronunciation = W(u"shu1");
  twin.duplicateMode = kDuplicateAllow;
  ids.push_back(SaveCard(store, &twin, -1));
  EXPECT_EQ(Sorted(Run({Cond(kQueryDuplicate, kQueryOpEqual, 0)})), (std::vector<int>{2, 6}));
}

TEST_F(CardSearchTest, MovingACardKeepsTheAssignmentIds) {
  const int32_t cat = CreateCategory(store, W(u"Order"), -1, kCategoryRoot, -1);
  for (int i = 0; i < 3; ++i) ASSERT_GT(AssignCard(store, ids[i], cat), 0);
  ChunkedArray* pairs = ListCategoryCards(store, cat);
  ASSERT_NE(pairs, nullptr);
  ASSERT_EQ(pairs->count, 3);
  const uint32_t assignments[3] = {GetChunkedArrayWeight(pairs, 0), GetChunkedArrayWeight(pairs, 1),
                                   GetChunkedArrayWeight(pairs, 2)};
  EXPECT_EQ(MoveCardInCategoryOrder(store, pairs, 0, 2), 0);
  FreeChunkedArray(pairs);
  pairs = ListCategoryCards(store, cat);
  const int32_t expected[3] = {ids[1], ids[2], ids[0]};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetChunkedArrayItem(pairs, i), expected[i]) << i;
    EXPECT_EQ(GetChunkedArrayWeight(pairs, i), assignments[i]) << i;
  }
  EXPECT_EQ(MoveCardInCategoryOrder(store, pairs, 0, 3), 1);
  FreeChunkedArray(pairs);
}

TEST_F(CardSearchTest, CardsOfCategoriesComeOnceWithUncategorizedLast) {
  // Card 1 is in X and Y, card 2 in XChild, card 3 in Y; 4 and 5 in none.
  struct Case {
    std::vector<int32_t> categories;
    int withSubcategories;
    std::vector<int> cards;
    bool inOrder;  // the uncategorized cards follow the filed ones
  } cases[] = {
      {{x}, 0, {1}, false},
      {{x}, 1, {1, 2}, false},                               // XChild joins
      {{x, y}, 0, {1, 3}, false},                            // card 1 once
      {{kCategoryUncategorized}, 0, {4, 5}, false},          // no category at all
      {{y, kCategoryUncategorized}, 0, {1, 3, 4, 5}, true},  // filed first
      {{xChild, kCategoryUncategorized}, 1, {2, 4, 5}, true},
      {{kCategoryRoot, kCategoryNone}, 0, {}, false},  // other pseudo ids select nothing
      {{}, 0, {}, false},
  };
  for (const Case& c : cases) {
    ChunkedArray* list = ListCardsOfCategories(store, c.categories.data(), static_cast<uint32_t>(c.categories.size()),
                                               c.withSubcategories);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->width, 1);
    std::vector<int> got;
    for (int32_t k = 0; k < list->count; ++k)
      got.push_back(static_cast<int>(std::find(ids.begin(), ids.end(), GetChunkedArrayItem(list, k)) - ids.begin()) +
                    1);
    FreeChunkedArray(list);
    if (c.inOrder) {
      ASSERT_GE(got.size(), 2u);
      EXPECT_EQ(Sorted({got.end() - 2, got.end()}), (std::vector<int>{4, 5}));
    }
    EXPECT_EQ(Sorted(got), c.cards) << c.categories.size() << " ids, subcategories " << c.withSubcategories;
  }
}

TEST_F(CardSearchTest, AppendQueryResultsStopsWhenTheListIsFull) {
  auto prepare = [&] {
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(
        sqlite3_prepare_v2(store->database->conn, "SELECT id FROM sorvi_flash_cards ORDER BY id", -1, &s, nullptr),
        SQLITE_OK);
    return s;
  };
  // Room for every row: all five, in the statement's order.
  ChunkedArray* roomy = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  sqlite3_stmt* s = prepare();
  EXPECT_EQ(AppendQueryResults(s, roomy), 0);
  sqlite3_finalize(s);
  ASSERT_EQ(roomy->count, 5);
  for (int32_t k = 0; k < 5; ++k) EXPECT_EQ(GetChunkedArrayItem(roomy, k), ids[k]);
  FreeChunkedArray(roomy);
  // A list that holds fewer: it fills, keeps the first rows and reports it.
  ChunkedArray* small = CreateChunkedArray(1, 1, 3, 0);
  s = prepare();
  EXPECT_EQ(AppendQueryResults(s, small), 1);
  sqlite3_finalize(s);
  ASSERT_GT(small->count, 0);
  ASSERT_LT(small->count, 5);
  for (int32_t k = 0; k < small->count; ++k) EXPECT_EQ(GetChunkedArrayItem(small, k), ids[k]);
  FreeChunkedArray(small);
  EXPECT_EQ(AppendQueryResults(nullptr, nullptr), 1);
}

}  // namespace
