// Card selection over scripted query rows: pool letters, the unlearned
// limit and its pools, the ratio mix, the four methods' keys and orders,
// the weighted draw with its delay ring, and the word-length pools.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "flash/chunked_array.h"
#include "flash/session.h"
#include "flash/session_select.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "tests/support/virtual_clock.h"

namespace {

struct Row {
  Row(int32_t i, std::optional<int64_t> s = std::nullopt, int64_t c3 = 0, std::string h = "", int64_t c = 0)
      : id(i), score(s), column3(c3), history(std::move(h)), created(c) {}
  int32_t id;
  std::optional<int64_t> score;  // none: never reviewed
  int64_t column3;               // last reviewed (or difficulty)
  std::string history;
  int64_t created;
};

constexpr int64_t kT = 1800000000;  // a reference time well inside 32 bits

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    SeedRandomForTests(29);
    list = CreateChunkedArray(2, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 1);
    ASSERT_NE(list, nullptr);
    p.pointsPerDay = 100;
    p.referenceTime = static_cast<int32_t>(kT);
    p.learnedCount = 200;
    p.learnedMode = kHistoryScore;
  }
  void TearDown() override {
    ScriptRandomForTests(nullptr, 0);
    UnseedRandomForTests();
    FreeChunkedArray(list);
    sqlite3_close(db);
  }
  // The rows as the session query returns them (with the created column
  // when the unlearned limit is on).
  sqlite3_stmt* Statement(const std::vector<Row>& rows) {
    std::string sql;
    for (const Row& r : rows) {
      sql += sql.empty() ? "VALUES (" : ", (";
      sql += std::to_string(r.id) + ", ";
      if (p.limitUnlearned) sql += std::to_string(r.created) + ", ";
      sql += (r.score ? std::to_string(*r.score) : std::string("NULL")) + ", " + std::to_string(r.column3) + ", ";
      sql += r.history.empty() && !r.score ? "NULL" : "'" + r.history + "'";
      sql += ")";
    }
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
    return s;
  }
  int Select(const std::vector<Row>& rows) { return SelectSessionCards(Statement(rows), list, &p, sizeof p, nullptr); }
  std::vector<int32_t> Ids() const {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < list->count; ++i) out.push_back(GetChunkedArrayItem(list, i));
    return out;
  }
  uint32_t ValueOf(int32_t id) const { return GetChunkedArrayWeight(list, FindChunkedArrayItem(list, id)); }

  sqlite3* db = nullptr;
  ChunkedArray* list = nullptr;
  SelectionParameters p{};
};

uint32_t Spaced(int64_t time, uint32_t jitter, uint32_t rank) {
  return static_cast<uint32_t>((time + jitter) >> 3) | rank << 29;
}

TEST_F(SelectTest, PoolLettersAndTheUnlearnedLimit) {
  // Random without a ratio list, unlearned limit on with room for no new
  // card: excluded cards go, force-added cards are never held back, and a
  // card still being learned is asked, not dropped.
  p.method = kSelectFixed;  // keeps the row order
  p.limitUnlearned = 1;
  p.limitUnlearnedMax = 0;
  ASSERT_EQ(Select({{1, 300, 0, "5R"},
                    {2, std::nullopt, 0, "QW"},
                    {3, std::nullopt, 0, ""},
                    {4, 150, 0, "2"},
                    {5, 500, 0, "55"}}),
            0);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{2, 4, 5}));
}

TEST_F(SelectTest, ForceAddedCardKeepsItsRankWhenSpaced) {
  p.method = kSelectRepetitionSpaced;
  p.limitUnlearned = 1;
  p.limitUnlearnedMax = 0;
  const DWORD jitter[] = {100};
  ScriptRandomForTests(jitter, 1);
  ASSERT_EQ(Select({{2, std::nullopt, 0, "QW"}}), 0);
  EXPECT_EQ(ValueOf(2), Spaced(kT + 86400, 100, kRankHigh));
}

TEST_F(SelectTest, NothingListedIsOne) {
  p.method = kSelectRandom;
  EXPECT_EQ(Select({{1, 300, 0, "5R"}}), 1);
  EXPECT_EQ(list->count, 0);
  EXPECT_EQ(SelectSessionCards(nullptr, list, &p, sizeof p, nullptr), 1);
}

TEST_F(SelectTest, FixedKeysCountUnscoredAsOneHundred) {
  const std::vector<Row> rows = {{1, std::nullopt}, {2, 0}, {3, 300}, {4, 50}};
  p.method = kSelectFixed;
  p.fixedSortField = 1;
  ASSERT_EQ(Select(rows), 0);
  std::vector<int32_t> ids = Ids();
  EXPECT_EQ(ids.front(), 4);
  EXPECT_EQ(ids.back(), 3);
  EXPECT_EQ(std::set<int32_t>(ids.begin() + 1, ids.begin() + 3), (std::set<int32_t>{1, 2}));
  EXPECT_EQ(ValueOf(1), 100u);
  EXPECT_EQ(ValueOf(2), 100u);
  EXPECT_EQ(ValueOf(3), 300u);

  TruncateChunkedArray(list, 0);
  p.fixedSortOrder = 1;
  ASSERT_EQ(Select(rows), 0);
  ids = Ids();
  EXPECT_EQ(ids.front(), 3);
  EXPECT_EQ(ids.back(), 4);

  // Without a sort field the query's order stands.
  TruncateChunkedArray(list, 0);
  p.fixedSortField = 0;
  ASSERT_EQ(Select(rows), 0);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST_F(SelectTest, RepetitionSpacedOrdersByRankThenDueTime) {
  p.method = kSelectRepetitionSpaced;
  p.dayType = 1;
  // One random value per row, in row order: the jitter is each mod 7200.
  const DWORD random[] = {7200 + 5, 11, 3000, 7199, 42};
  const std::vector<Row> rows = {
      {10, 100, kT - 2 * 86400, "5"},     // X: due T - 86400
      {11, 100, kT - 86400 - 3600, "5"},  // Y: due T - 3600
      {12, 100, kT - 86400 - 60, "5V"},   // V: very high, due T - 60
      {13, std::nullopt, 0, ""},          // N: never reviewed
      {14, 100, kT, "5"},                 // Z: due tomorrow
  };
  ScriptRandomForTests(random, 5);
  ASSERT_EQ(Select(rows), 0);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{12, 10, 11, 13, 14}));
  EXPECT_EQ(list->mark, 4);
  EXPECT_EQ(ValueOf(10), Spaced(kT - 86400, 5, kRankNormal));
  EXPECT_EQ(ValueOf(11), Spaced(kT - 3600, 11, kRankNormal));
  EXPECT_EQ(ValueOf(12), Spaced(kT - 60, 3000, kRankVeryHigh));
  EXPECT_EQ(ValueOf(13), Spaced(kT + 86400, 7199, kRankNormal));
  EXPECT_EQ(ValueOf(14), Spaced(kT + 86400, 42, 2));

  // Day type 0 reckons the same one-day interval for 100 points.
  std::vector<uint32_t> values;
  for (int32_t id : Ids()) values.push_back(ValueOf(id));
  TruncateChunkedArray(list, 0);
  p.dayType = 0;
  ScriptRandomForTests(random, 5);
  ASSERT_EQ(Select(rows), 0);
  std::vector<uint32_t> again;
  for (int32_t id : Ids()) again.push_back(ValueOf(id));
  EXPECT_EQ(again, values);
}

TEST_F(SelectTest, RandomSortValuesReplaceDueOrderWhenAsked) {
  p.method = kSelectRepetitionSpaced;
  p.dayType = 1;
  p.randomDue = 1;
  p.randomNotDue = 1;
  const DWORD random[] = {900000, 5, 70};
  ScriptRandomForTests(random, 3);
  ASSERT_EQ(Select({{1, 100, kT - 2 * 86400, "5"}, {2, 100, kT - 3 * 86400, "5"}, {3, 100, kT, "5"}}), 0);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{2, 1, 3}));
  EXPECT_EQ(ValueOf(1), 900000u);
  EXPECT_EQ(ValueOf(3), 70u);
  EXPECT_EQ(list->mark, 2);
}

TEST_F(SelectTest, FarDueTimesStayNotDue) {
  // A score of 204800 at 20 points a day is due 884,736,000 seconds after
  // its review: past 2^31 from 2010 on. In 32 bits the due time wrapped
  // negative and the card came first as overdue.
  InstallTestClock(2025, 1, 1, 12);
  const int64_t now = 1735732800;  // 2025-01-01 12:00 UTC
  p.method = kSelectRepetitionSpaced;
  p.pointsPerDay = 20;
  p.referenceTime = static_cast<int32_t>(now);
  EXPECT_GT(now + ScoreIntervalSeconds(204800, 0, 20), int64_t{1} << 31);
  const DWORD random[] = {1, 2, 3};
  ScriptRandomForTests(random, 3);
  ASSERT_EQ(Select({{1, 204800, now, "5"}, {2, 10, now - 86400, "5"}, {3, 2000000000, now, "5"}}), 0);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{2, 1, 3}));
  EXPECT_EQ(list->mark, 1);
  EXPECT_EQ(ValueOf(1), Spaced(now + 884736000, 1, 2));
  // Beyond what 29 bits hold the time saturates: such a card sorts last
  // among the not-due cards instead of wrapping to the front.
  EXPECT_EQ(ValueOf(3), kSortTimeMax | 2u << 29);
  UninstallVirtualClock();
}

TEST_F(SelectTest, FrequencyWeightsBecomeRunningSums) {
  p.method = kSelectFrequency;
  ASSERT_EQ(Select({{1, std::nullopt}, {2, 100}, {3, 200}, {4, 204800}, {5, 1}}), 0);
  // Weights 2048, 2048, 1024, 1, 204800; word 1 holds the sum before.
  const uint32_t before[] = {0, 2048, 4096, 5120, 5121};
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(GetChunkedArrayWeight(list, i), before[i]) << i;
  EXPECT_EQ(list->weightSums[0], 0u);
  EXPECT_EQ(list->weightSums[list->chunkCount], 5121u + 204800u);
}

TEST_F(SelectTest, RatioMixesLearnedAndUnlearned) {
  p.method = kSelectRandom;
  p.ratioOn = 1;
  p.ratioAmount = 5000;
  std::vector<Row> rows;
  for (int32_t i = 1; i <= 30; ++i) rows.push_back({i, 500, 0, "5"});     // learned
  for (int32_t i = 101; i <= 105; ++i) rows.push_back({i, 150, 0, "2"});  // unlearned
  ASSERT_EQ(Select(rows), 0);
  const std::vector<int32_t> ids = Ids();
  ASSERT_EQ(ids.size(), 35u);
  // U = 5, L = 5 x 10000 / 5000 - 5 = 5: ten cards mixed, then the other
  // 25 learned ones.
  EXPECT_EQ(std::count_if(ids.begin(), ids.begin() + 10, [](int32_t id) { return id > 100; }), 5);
  EXPECT_EQ(std::count_if(ids.begin() + 10, ids.end(), [](int32_t id) { return id > 100; }), 0);
  EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), 35u);
}

TEST_F(SelectTest, RowLimitKeepsOrDropsStreaks) {
  struct Case {
    int32_t type;
    std::vector<int32_t> kept;
  } cases[] = {
      {1, {1}},        // only the last three correct
      {2, {3}},        // only the last three incorrect
      {3, {2, 3, 4}},  // all but the last three correct
      {4, {1, 2, 4}},  // all but the last three incorrect
  };
  for (const Case& c : cases) {
    TruncateChunkedArray(list, 0);
    p.method = kSelectFixed;
    p.rowLimitOn = 1;
    p.rowLimitAmount = 3;
    p.rowLimitCorrect = c.type == 1 || c.type == 3;
    p.rowLimitExclude = c.type == 3 || c.type == 4;
    Select({{1, 300, 0, "6541"}, {2, 300, 0, "653"}, {3, 300, 0, "1236"}, {4, 300, 0, "66"}});
    EXPECT_EQ(Ids(), c.kept) << "type " << c.type;
  }
}

TEST_F(SelectTest, NewCardPoolsFillUpToTheLimit) {
  p.method = kSelectFixed;
  p.limitUnlearned = 1;
  p.limitUnlearnedMax = 3;
  p.limitUnlearnedPriority = 1;  // oldest first
  // One reviewed unlearned card already counts against the limit.
  ASSERT_EQ(Select({{1, std::nullopt, 0, "", 50},
                    {2, std::nullopt, 0, "", 10},
                    {3, std::nullopt, 0, "Z", 5},
                    {4, std::nullopt, 0, "V", 40},
                    {5, 150, 0, "2", 0},
                    {6, std::nullopt, 0, "", 20}}),
            0);
  // Card 5 as read, then the very-high pool, then the normal pool by age.
  EXPECT_EQ(Ids(), (std::vector<int32_t>{5, 4, 2}));
}

TEST_F(SelectTest, OldestDayOfAPoolIsShuffled) {
  p.method = kSelectFixed;
  p.limitUnlearned = 1;
  p.limitUnlearnedMax = 2;
  p.limitUnlearnedPriority = 2;
  ASSERT_EQ(Select({{1, std::nullopt, 0, "", 90000},
                    {2, std::nullopt, 0, "", 100},
                    {3, std::nullopt, 0, "", 0},
                    {4, std::nullopt, 0, "", 200},
                    {5, std::nullopt, 0, "", 90001}}),
            0);
  const std::vector<int32_t> ids = Ids();
  ASSERT_EQ(ids.size(), 2u);
  for (int32_t id : ids) EXPECT_TRUE(id == 2 || id == 3 || id == 4) << id;
}

class WeightedDrawTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    session = std::make_unique<FlashSession>();
    session->cards = list;
    session->method = kSelectFrequency;
  }
  void Load(const std::vector<Row>& rows) {
    p.method = kSelectFrequency;
    ASSERT_EQ(Select(rows), 0);
    session->totalWeight = list->weightSums[list->chunkCount];
  }
  void Ring(int32_t capacity) {
    ring.assign(capacity, WeightRingEntry{});
    session->ring = ring.data();
    session->ringCapacity = capacity;
  }
  int32_t Draw(DWORD r) {
    ScriptRandomForTests(&r, 1);
    return PickWeightedCard(session.get());
  }
  std::unique_ptr<FlashSession> session;
  std::vector<WeightRingEntry> ring;
};

TEST_F(WeightedDrawTest, TheRandomValuePicksTheCardWhoseRangeHoldsIt) {
  Load({{1, std::nullopt}, {2, 100}, {3, 200}, {4, 204800}, {5, 1}});
  const uint64_t total = session->totalWeight;
  EXPECT_EQ(Draw(4096 + total), 3);  // R mod total = 4096: [4096, 5120)
  EXPECT_EQ(session->currentChunk, 0);
  EXPECT_EQ(session->totalWeight, total - 1024);
  // Card 4 now covers [4096, 4097) and card 5 the rest.
  EXPECT_EQ(Draw(4096), 4);
  EXPECT_EQ(Draw(0), 1);
  EXPECT_EQ(Draw(static_cast<DWORD>(session->totalWeight - 1)), 5);
  EXPECT_EQ(Draw(0), 2);
  EXPECT_EQ(Draw(0), -1);
}

TEST_F(WeightedDrawTest, ZeroWeightIsNeverDrawn) {
  Load({{1, 300000}, {2, 204800}});
  EXPECT_EQ(session->totalWeight, 1u);
  EXPECT_EQ(Draw(0), 2);
  EXPECT_EQ(Draw(0), -1);
  EXPECT_EQ(list->count, 1);
}

TEST_F(WeightedDrawTest, RingOfOneReinsertsAtTheNextAnswer) {
  Load({{1, 100}, {2, 100}});
  Ring(1);
  const int32_t first = Draw(0);
  QueueWeightUpdate(session.get(), first, 2048, session->currentChunk);
  EXPECT_EQ(list->count, 1);
  const int32_t second = Draw(0);
  EXPECT_NE(second, first);
  QueueWeightUpdate(session.get(), second, 1024, session->currentChunk);
  // The first card is back with its queued weight; the second waits.
  EXPECT_EQ(list->count, 1);
  EXPECT_EQ(session->totalWeight, 2048u);
  EXPECT_EQ(Draw(12345), first);
  // An empty list takes the ring's cards back before drawing.
  EXPECT_EQ(Draw(0), second);
  EXPECT_EQ(session->ringCount, 0);
}

TEST_F(WeightedDrawTest, ReinsertNeedsAChunkInUseWithRoom) {
  Load({{1, 100}});
  EXPECT_EQ(ReinsertWeightedCard(session.get(), 9, 10, 1), 1);
  EXPECT_EQ(ReinsertWeightedCard(session.get(), 9, 10, -1), 1);
  EXPECT_EQ(ReinsertWeightedCard(session.get(), 9, 10, 0), 0);
  EXPECT_EQ(session->totalWeight, 2058u);
  EXPECT_EQ(RemoveWeightedRecord(session.get(), 0, 1), 10u);
  EXPECT_EQ(RemoveWeightedRecord(session.get(), 0, 5), 0u);
}

TEST_F(SelectTest, LengthPoolsSplitByWordLength) {
  ChunkedArray* lengths[4];
  for (ChunkedArray*& l : lengths) l = CreateChunkedArray(1, 16, 8, 0);
  ChunkedArray* longWords = CreateChunkedArray(1, 16, 8, 0);
  ChunkedArray* all = CreateChunkedArray(1, 16, 8, 0);
  sqlite3_stmt* s = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "VALUES (1, 1), (2, 2), (3, 4), (4, 5), (5, 7), (6, 0), (7, 1)", -1, &s, nullptr),
            SQLITE_OK);
  ASSERT_EQ(FillLengthPools(s, lengths, longWords, all, nullptr), 0);
  EXPECT_EQ(lengths[0]->count, 2);
  EXPECT_EQ(lengths[1]->count, 1);
  EXPECT_EQ(lengths[2]->count, 0);
  EXPECT_EQ(GetChunkedArrayItem(lengths[3], 0), 3);
  EXPECT_EQ(all->count, 7);
  ASSERT_EQ(longWords->count, 2);
  std::set<uint32_t> packed = {static_cast<uint32_t>(GetChunkedArrayItem(longWords, 0)),
                               static_cast<uint32_t>(GetChunkedArrayItem(longWords, 1))};
  EXPECT_EQ(packed, (std::set<uint32_t>{4u | 5u << 24, 5u | 7u << 24}));
  for (ChunkedArray* l : lengths) FreeChunkedArray(l);
  FreeChunkedArray(longWords);
  FreeChunkedArray(all);
}

}  // namespace
