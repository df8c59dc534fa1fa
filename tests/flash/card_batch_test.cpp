// Batch operations over card lists and over every card: the chunked
// transactions and progress, failed commits, the score operations, resets,
// deletion, categories, priorities, custom cards into user-dictionary
// entries, and a write from another thread while a chunk is open.
#include "flash/card_batch.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <climits>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/dict_set.h"
#include "engine/user_dict.h"
#include "flash/card_scores.h"
#include "flash/card_search.h"
#include "flash/cards.h"
#include "session_fixture.h"

namespace {

// Records the positions the callback hears of.
struct Progress {
  std::vector<uint32_t> positions;
  std::vector<uint32_t> kinds;
};
uint32_t Heard(uint32_t kind, const void*, const void*, uint32_t count, uint32_t, void* data) {
  auto* p = static_cast<Progress*>(data);
  p->kinds.push_back(kind);
  if (kind == 0) p->positions.push_back(count);
  return 0;
}

// Counts commits; fails the one numbered failAt (0 never).
struct Commits {
  int count = 0;
  int failAt = 0;
};
int OnCommit(void* data) {
  auto* c = static_cast<Commits*>(data);
  ++c->count;
  return c->failAt != 0 && c->count == c->failAt ? 1 : 0;
}

class BatchTest : public SessionTest {
 protected:
  void TearDown() override {
    FreeChunkedArray(list);
    list = nullptr;
    SessionTest::TearDown();
  }
  // A search-result list (2048 ids per chunk) of cards first .. last.
  ChunkedArray* List(int32_t first, int32_t last) {
    FreeChunkedArray(list);
    list = CreateChunkedArray(1, kSearchPerChunk, kSearchMaxChunks, 0);
    EXPECT_NE(list, nullptr);
    for (int32_t card = first; card <= last; ++card) EXPECT_EQ(AppendChunkedArray(list, card, 0), 0);
    return list;
  }
  int64_t Count(const std::string& sql) { return std::stoll(Query(kDefaultKvb, sql)); }
  std::string Scores() { return "sorvi_flash_scores_" + std::to_string(scorefile); }
  std::string ScoreOf(int32_t card, const char* column = "score") {
    return Query(kDefaultKvb,
                 std::string("SELECT ") + column + " FROM " + Scores() + " WHERE card = " + std::to_string(card));
  }
  void Assign(int32_t card, int32_t category) {
    OnStore("INSERT INTO sorvi_flash_categoryassigns (card, cat) VALUES (" + std::to_string(card) + ", " +
            std::to_string(category) + ")");
  }
  static std::vector<uint32_t> Positions(uint32_t first, uint32_t last) {
    std::vector<uint32_t> out;
    for (uint32_t p = first; p <= last; ++p) out.push_back(p);
    return out;
  }

  ChunkedArray* list = nullptr;
  Progress progress;
};

TEST_F(BatchTest, AddingFiveThousandCardsCommitsPerChunkAndReportsEveryCard) {
  Cards(1, 5000);
  const int32_t cat = Category(u"Cat");
  Commits commits;
  sqlite3_commit_hook(store->database->conn, OnCommit, &commits);
  EXPECT_EQ(AddCardListToCategory(store, List(1, 5000), cat, Heard, &progress), 0);
  sqlite3_commit_hook(store->database->conn, nullptr, nullptr);
  EXPECT_EQ(commits.count, 3);  // after 2048, after 4096, at the end
  EXPECT_EQ(progress.positions, Positions(1, 5000));
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns WHERE cat = " + std::to_string(cat)), 5000);
}

TEST_F(BatchTest, AFailedCommitEndsTheCommandAndEarlierChunksStay) {
  Cards(1, 5000);
  const int32_t cat = Category(u"Cat");
  Commits commits;
  commits.failAt = 2;
  sqlite3_commit_hook(store->database->conn, OnCommit, &commits);
  const int rc = AddCardListToCategory(store, List(1, 5000), cat, Heard, &progress);
  sqlite3_commit_hook(store->database->conn, nullptr, nullptr);
  EXPECT_NE(rc, 0);  // not reported as done
  EXPECT_EQ(commits.count, 2);
  EXPECT_EQ(progress.positions, Positions(1, 4096));  // the third chunk never ran
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 2048);
  EXPECT_EQ(SqlTransactionDepth(store->database), 0u);
}

TEST_F(BatchTest, AFailedBeginIsReturned) {
  Cards(1, 3);
  const int32_t cat = Category(u"Cat");
  // Another thread's transaction is open: this thread may not begin one.
  std::mutex m;
  std::condition_variable cv;
  bool open = false, done = false;
  std::thread other([&] {
    std::unique_lock<std::mutex> lock(m);
    open = SqlBegin(store->database) == SQLITE_OK;
    cv.notify_all();
    cv.wait(lock, [&] { return done; });
    SqlRollback(store->database);
  });
  int rc = -1;
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return open; });
    rc = AddCardListToCategory(store, List(1, 3), cat, Heard, &progress);
    done = true;
    cv.notify_all();
  }
  other.join();
  EXPECT_EQ(rc, SQLITE_BUSY);
  EXPECT_TRUE(progress.positions.empty());
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 0);
}

TEST_F(BatchTest, WithoutAListEveryCardIsTakenInIdOrder) {
  Cards(1, 3000);
  const int32_t cat = Category(u"Cat");
  Assign(7, cat);  // already filed: no failure
  Commits commits;
  sqlite3_commit_hook(store->database->conn, OnCommit, &commits);
  EXPECT_EQ(AddCardListToCategory(store, nullptr, cat, Heard, &progress), 0);
  sqlite3_commit_hook(store->database->conn, nullptr, nullptr);
  EXPECT_EQ(commits.count, 2);
  EXPECT_EQ(progress.positions, Positions(1, 3000));
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 3000);
}

TEST_F(BatchTest, ScoreOperations) {
  Cards(1, 1);
  struct Case {
    int32_t operation, amount;
    int32_t score;  // the stored score before; 0: no row
    uint32_t random;
    int32_t expected;
    const char* why;
  };
  const Case cases[] = {
      {kBatchScoreSet, 250, 900, 0, 250, "set"},
      {kBatchScoreAdd, 50, 300, 0, 350, "add points"},
      {kBatchScoreAdd, -50, 300, 0, 350, "the amount counts as its absolute value"},
      {kBatchScoreAddPercent, 50, 300, 0, 450, "add percent"},
      {kBatchScoreSubtractPercent, 50, 300, 0, 150, "subtract percent"},
      {kBatchScoreSubtract, 200, 150, 0, 10, "a score below 10 is raised to 10"},
      {kBatchScoreAddRandom, 100, 300, 0x80000000u, 350, "R = floor(101 x 0.5)"},
      {kBatchScoreSubtractRandom, 100, 300, 0x80000000u, 250, "the same, taken away"},
      {kBatchScoreAddRandom, 100, 300, 0xFFFFFFFFu, 400, "at most A"},
      {kBatchScoreAddRandom, 100, 300, 0, 300, "at least 0"},
      {kBatchScoreAdd, 50, 0, 0, 150, "a card without a row starts from the new-card record"},
      {kBatchScoreAddPercent, 2000000000, 204800, 0, INT_MAX, "held to the stored range, no wrap"},
      {kBatchScoreAdd, INT_MAX, INT_MAX - 5, 0, INT_MAX, "points too"},
      {kBatchScoreSubtract, INT_MIN, 1000, 0, 10, "the absolute value of the lowest amount"},
  };
  for (const Case& c : cases) {
    OnStore("DELETE FROM " + Scores());
    if (c.score)
      OnStore("INSERT INTO " + Scores() +
              " (card, score, difficulty, history, correct, incorrect, reviewed, sincelastchange, firstreviewedtime, "
              "lastreviewedtime, scoreinctime, scoredectime) VALUES (1, " +
              std::to_string(c.score) + ", 300, '6', 1, 0, 1, 0, 5, 6, 7, 8)");
    ScriptRandomForTests(&c.random, 1);
    EXPECT_EQ(ApplyBatchScoreOperation(store, List(1, 1), scorefile, c.operation, c.amount, nullptr, nullptr), 0)
        << c.why;
    ScriptRandomForTests(nullptr, 0);
    EXPECT_EQ(ScoreOf(1), std::to_string(c.expected)) << c.why;
  }
  // Set clears both change times; the rest of the row stays.
  OnStore("UPDATE " + Scores() + " SET scoreinctime = 7, scoredectime = 8");
  EXPECT_EQ(ApplyBatchScoreOperation(store, List(1, 1), scorefile, kBatchScoreSet, 250, nullptr, nullptr), 0);
  EXPECT_EQ(ScoreOf(1, "scoreinctime || '/' || scoredectime || '/' || difficulty || '/' || history"), "0/0/300/6");
  // Difficulty reset ignores the amount and keeps the score.
  EXPECT_EQ(ApplyBatchScoreOperation(store, List(1, 1), scorefile, kBatchScoreResetDifficulty, 5, nullptr, nullptr), 0);
  EXPECT_EQ(ScoreOf(1, "difficulty || '/' || score"), "100/250");
  EXPECT_EQ(ApplyBatchScoreOperation(store, List(1, 1), scorefile, 8, 5, nullptr, nullptr), 1);
}

TEST_F(BatchTest, AScoreRecordThatCannotBeWrittenEndsTheCommand) {
  Cards(1, 3);
  OnStore("CREATE TEMP TRIGGER refuse BEFORE INSERT ON " + Scores() +
          " WHEN NEW.card = 2 BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_NE(ApplyBatchScoreOperation(store, List(1, 3), scorefile, kBatchScoreAdd, 5, Heard, &progress), 0);
  EXPECT_EQ(progress.positions, Positions(1, 1));
  EXPECT_EQ(ScoreOf(1), "105");  // done before the failure: committed
  EXPECT_EQ(ScoreOf(3), "<none>");
}

TEST_F(BatchTest, ResetStatisticsWithAndWithoutAList) {
  Cards(1, 4);
  for (int32_t card = 1; card <= 4; ++card) Score(card, 500, "66", now, 2);
  EXPECT_EQ(ResetCardScoresOfList(store, List(2, 3), scorefile, Heard, &progress), 0);
  EXPECT_EQ(progress.positions, Positions(1, 2));
  EXPECT_EQ(Count("SELECT count(*) FROM " + Scores()), 2);
  EXPECT_EQ(ResetCardScoresOfList(store, nullptr, -1, nullptr, nullptr), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM " + Scores()), 0);
  for (int32_t card = 1; card <= 4; ++card) EXPECT_EQ(IsCardNewInScorefile(store, scorefile, card), 1);
}

TEST_F(BatchTest, DeletingEveryCardKeepsProfilesScorefilesAndCategories) {
  Cards(1, 3);
  const int32_t cat = Category(u"Cat");
  Assign(1, cat);
  Score(1, 500, "6", now);
  const std::string lists =
      "SELECT (SELECT count(*) FROM sorvi_flash_profiles) || '/' || "
      "(SELECT count(*) FROM sorvi_flash_scorefiles) || '/' || "
      "(SELECT count(*) FROM sorvi_flash_categories)";
  const std::string before = Query(kDefaultKvb, lists);
  EXPECT_EQ(DeleteCards(store, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_cards"), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM " + Scores()), 0);
  EXPECT_EQ(Query(kDefaultKvb, lists), before);
}

TEST_F(BatchTest, AFailureInTheMiddleOfDeletingEveryCardChangesNothing) {
  Cards(1, 3);
  const int32_t cat = Category(u"Cat");
  Assign(1, cat);
  Score(1, 500, "6", now);
  // The scores go first, then the assignments: fail there.
  OnStore(
      "CREATE TEMP TRIGGER refuse BEFORE DELETE ON sorvi_flash_categoryassigns BEGIN SELECT RAISE(ABORT, "
      "'refused'); END");
  EXPECT_NE(DeleteCards(store, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM " + Scores()), 1);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 1);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_cards"), 3);
  EXPECT_EQ(SqlTransactionDepth(store->database), 0u);
}

TEST_F(BatchTest, DeletingAListTakesTheCardsWithTheirRows) {
  Cards(1, 4);
  const int32_t cat = Category(u"Cat");
  for (int32_t card = 1; card <= 4; ++card) {
    Assign(card, cat);
    Score(card, 500, "6", now);
  }
  EXPECT_EQ(DeleteCards(store, List(2, 3), Heard, &progress), 0);
  EXPECT_EQ(progress.positions, Positions(1, 2));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT group_concat(id) FROM sorvi_flash_cards"), "1,4");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT group_concat(card) FROM sorvi_flash_categoryassigns"), "1,4");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT group_concat(card) FROM " + Scores()), "1,4");
}

TEST_F(BatchTest, RemovingFromCategories) {
  Cards(1, 4);
  const int32_t a = Category(u"A");
  const int32_t b = Category(u"B");
  for (int32_t card = 1; card <= 4; ++card) {
    Assign(card, a);
    Assign(card, b);
  }
  OnStore("UPDATE sorvi_flash_cards SET modified = 0");
  // From one category, a list.
  EXPECT_EQ(RemoveCardListFromCategory(store, List(1, 2), a, Heard, &progress), 0);
  EXPECT_EQ(progress.positions, Positions(1, 2));
  EXPECT_EQ(
      Query(kDefaultKvb, "SELECT group_concat(card) FROM sorvi_flash_categoryassigns WHERE cat = " + std::to_string(a)),
      "3,4");
  // From all categories: the cards are stamped.
  OnStore("UPDATE sorvi_flash_cards SET modified = 0");
  EXPECT_EQ(RemoveCardListFromAllCategories(store, List(3, 3), nullptr, nullptr), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns WHERE card = 3"), 0);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT modified FROM sorvi_flash_cards WHERE id = 3"), std::to_string(now));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT modified FROM sorvi_flash_cards WHERE id = 4"), "0");
  // Without a list: one delete each.
  EXPECT_EQ(RemoveCardListFromCategory(store, nullptr, b, nullptr, nullptr), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns WHERE cat = " + std::to_string(b)), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 1);
  EXPECT_EQ(RemoveCardListFromAllCategories(store, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns"), 0);
}

TEST_F(BatchTest, PriorityCodesOverAListCountFromZero) {
  Cards(1, 3);
  Score(3, 500, "6", now);  // not in the list
  struct Case {
    int32_t code;
    int32_t priority, pool;
  };
  // Applied in turn to cards 1 and 2 (new cards get a row).
  const Case cases[] = {
      {kCodeVeryHigh, kPriorityVeryHigh, kPoolNone},
      {kCodeHigh, kPriorityHigh, kPoolNone},
      {kCodeLow, kPriorityLow, kPoolNone},
      {kCodeVeryLow, kPriorityVeryLow, kPoolNone},
      {kCodeNormal, kPriorityNormal, kPoolNone},
      {kCodeForceAdd, kPriorityNormal, kPoolForceAdd},
      {kCodeUnsetExclude, kPriorityNormal, kPoolForceAdd},
      {kCodeUnsetAdd, kPriorityNormal, kPoolNone},
      {kCodeForceExclude, kPriorityNormal, kPoolExclude},
      {kCodeUnsetAdd, kPriorityNormal, kPoolExclude},
      {kCodeUnsetExclude, kPriorityNormal, kPoolNone},
  };
  for (const Case& c : cases) {
    progress = {};
    EXPECT_EQ(ApplyCardPriorityCodeToList(store, List(1, 2), -1, c.code, Heard, &progress), 0);
    EXPECT_EQ(progress.positions, Positions(0, 1)) << c.code;
    for (int32_t card : {1, 2}) {
      EXPECT_EQ(GetCardPriority(store, scorefile, card), c.priority) << c.code;
      EXPECT_EQ(GetCardForcePool(store, scorefile, card), c.pool) << c.code;
    }
  }
  EXPECT_EQ(GetCardPriority(store, scorefile, 3), kPriorityNormal);
  EXPECT_EQ(ScoreOf(3, "history"), "6");
}

TEST_F(BatchTest, CustomCardsBecomeEntriesOfAUserDictionaryMadeForThem) {
  ASSERT_EQ(FindDictByLanguages(engine, kCardLanguageChinese, 65535), 65535);
  CardEditRecord r{};
  r.scorefile = -1;
  r.language = kCardLanguageChinese;
  r.headword = W(u"猫");
  r.pronunciation = W(u"mao1");
  r.definition = W(u"cat");
  r.duplicateMode = kDuplicateAllow;
  const int32_t card = SaveCard(store, &r, -1);
  ASSERT_GT(card, 0);
  EXPECT_EQ(ConvertCustomCardsToUserDict(store, nullptr, Heard, &progress), 0);
  EXPECT_EQ(progress.positions, Positions(1, 1));
  const uint16_t slot = FindDictByLanguages(engine, kCardLanguageChinese, 65535);
  ASSERT_NE(slot, 65535);
  EXPECT_EQ(IsCardUnlinked(store, card), 0);
  EXPECT_EQ(IsCardLinkedToUserDict(store, card), 1);
  EXPECT_EQ(GetDictEntryCount(engine, slot), 1u);
}

// The UI thread's write while a worker's chunk is open.
struct Handshake {
  std::mutex m;
  std::condition_variable cv;
  bool batchWaiting = false;
  bool uiDone = false;
  uint32_t at = 0;
};
uint32_t WaitForTheUiThread(uint32_t kind, const void*, const void*, uint32_t count, uint32_t, void* data) {
  auto* h = static_cast<Handshake*>(data);
  if (kind != 0 || count != h->at) return 0;
  std::unique_lock<std::mutex> lock(h->m);
  h->batchWaiting = true;
  h->cv.notify_all();
  h->cv.wait(lock, [h] { return h->uiDone; });
  return 0;
}

TEST_F(BatchTest, AWriteFromAnotherThreadDuringABatchIsRefusedAsBusy) {
  Cards(1, 3000);
  const int32_t cat = Category(u"Cat");
  Handshake h;
  h.at = 100;  // inside the first chunk
  int batchResult = -1;
  ChunkedArray* cards = List(1, 3000);
  std::thread worker([&] { batchResult = AddCardListToCategory(store, cards, cat, WaitForTheUiThread, &h); });
  int uiResult = -1;
  {
    std::unique_lock<std::mutex> lock(h.m);
    h.cv.wait(lock, [&h] { return h.batchWaiting; });
    // Card 1 is filed by now, in the open chunk: taking its assignments
    // away would join that chunk.
    uiResult = RemoveCardFromAllCategories(store, 1);
    h.uiDone = true;
    h.cv.notify_all();
  }
  worker.join();
  EXPECT_EQ(uiResult, SQLITE_BUSY);
  EXPECT_EQ(batchResult, 0);
  EXPECT_EQ(Count("SELECT count(*) FROM sorvi_flash_categoryassigns WHERE cat = " + std::to_string(cat)), 3000);
}

}  // namespace
