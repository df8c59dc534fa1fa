// Score rows: the history text with its pool and priority letters, the
// bounds on writing, the menu codes, and failures that must be reported.
#include <cstring>

#include "engine/sql_db.h"
#include "flash/card_scores.h"
#include "flash/profile_lists.h"
#include "flash_fixture.h"

namespace {

class ScoresTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    ASSERT_NE(Open(), nullptr);
    scorefile = GetScorefileIdByIndex(store, 0);
  }
  std::string History(int32_t card) {
    return Query(kDefaultKvb, "SELECT history FROM sorvi_flash_scores_" + std::to_string(scorefile) +
                                  " WHERE card = " + std::to_string(card));
  }
  int32_t scorefile = 0;
};

CardScoreRecord Record(std::vector<uint8_t> results, int32_t reviewed, int32_t pool, int32_t priority) {
  CardScoreRecord r{};
  r.score = 100;
  r.difficulty = 100;
  for (size_t i = 0; i < results.size(); ++i) r.history[i] = results[i];
  r.reviewed = reviewed;
  r.poolMark = pool;
  r.priority = priority;
  return r;
}

}  // namespace

TEST(ScoreHistory, EncodesAndDecodes) {
  struct Case {
    const char* what;
    CardScoreRecord record;
    const char* text;
    bool roundTrips;
  };
  const Case cases[] = {
      {"results, excluded, very high", Record({5, 6}, 2, kPoolExclude, kPriorityVeryHigh), "56RV", true},
      {"new card force added, low", Record({}, 0, kPoolForceAdd, kPriorityLow), "QY", true},
      {"reviewed card: force add not stored", Record({4}, 1, kPoolForceAdd, kPriorityNormal), "4", false},
      {"high", Record({1, 2, 3}, 3, kPoolNone, kPriorityHigh), "123W", true},
      {"very low", Record({}, 0, kPoolNone, kPriorityVeryLow), "Z", true},
      {"nothing", Record({}, 0, kPoolNone, kPriorityNormal), "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char text[kHistoryTextMax];
    EncodeScoreHistory(&c.record, text);
    EXPECT_STREQ(text, c.text);
    CardScoreRecord back{};
    back.reviewed = c.record.reviewed;
    DecodeScoreHistory(text, &back);
    EXPECT_EQ(back.priority, c.record.priority);
    EXPECT_EQ(back.poolMark, c.roundTrips ? c.record.poolMark : kPoolNone);
    EXPECT_EQ(std::memcmp(back.history, c.record.history, kScoreHistoryMax), 0);
  }
  // Older data and stray letters.
  struct Read {
    const char* text;
    std::vector<uint8_t> results;
    int32_t pool;
    int32_t priority;
  };
  const Read reads[] = {
      {"CIC", {6, 2, 6}, kPoolNone, kPriorityNormal},
      {"ci", {6, 2}, kPoolNone, kPriorityNormal},
      {"45X", {4, 5}, kPoolNone, kPriorityNormal},  // X: normal, set aside
      {"3QW", {3}, kPoolForceAdd, kPriorityHigh},
      {"17a9-2", {1, 2}, kPoolNone, kPriorityNormal},  // other characters skipped
  };
  for (const Read& r : reads) {
    SCOPED_TRACE(r.text);
    CardScoreRecord back{};
    DecodeScoreHistory(r.text, &back);
    EXPECT_EQ(std::vector<uint8_t>(back.history, back.history + r.results.size() + 1), [&] {
      auto v = r.results;
      v.push_back(0);
      return v;
    }());
    EXPECT_EQ(back.poolMark, r.pool);
    EXPECT_EQ(back.priority, r.priority);
  }
  // More than 256 results keep the first 256.
  std::string longText(300, '4');
  longText[0] = '1';
  CardScoreRecord back{};
  DecodeScoreHistory(longText.c_str(), &back);
  EXPECT_EQ(back.history[0], 1);
  EXPECT_EQ(back.history[255], 4);
}

TEST_F(ScoresTest, ReadWriteAndBounds) {
  CardScoreRecord r;
  // No row: the new-card record, or 1 when it must exist.
  ASSERT_EQ(ReadCardScore(store, scorefile, 7, &r, 0), 0);
  EXPECT_EQ(r.score, 100);
  EXPECT_EQ(r.difficulty, 100);
  EXPECT_EQ(r.history[0], 0);
  EXPECT_EQ(r.priority, 0);
  EXPECT_EQ(r.poolMark, 0);
  EXPECT_EQ(r.firstReviewedTime, FlashNow());
  EXPECT_EQ(ReadCardScore(store, scorefile, 7, &r, 1), 1);
  EXPECT_EQ(IsCardNewInScorefile(store, scorefile, 7), 1);
  // Score 3 is stored as 10, difficulty 0 as 1, in the caller's record too.
  r = Record({5, 6}, 2, kPoolExclude, kPriorityVeryHigh);
  r.score = 3;
  r.difficulty = 0;
  r.correct = 2;
  r.lastReviewedTime = 12345;
  ASSERT_EQ(WriteCardScore(store, scorefile, 7, &r), 0);
  EXPECT_EQ(r.score, 10);
  EXPECT_EQ(r.difficulty, 1);
  EXPECT_EQ(History(7), "56RV");
  CardScoreRecord back;
  ASSERT_EQ(ReadCardScore(store, scorefile, 7, &back, 1), 0);
  EXPECT_EQ(back.score, 10);
  EXPECT_EQ(back.difficulty, 1);
  EXPECT_EQ(back.correct, 2);
  EXPECT_EQ(back.lastReviewedTime, 12345);
  EXPECT_EQ(back.poolMark, kPoolExclude);
  EXPECT_EQ(GetCardPriority(store, scorefile, 7), kPriorityVeryHigh);
  EXPECT_EQ(GetCardForcePool(store, scorefile, 7), kPoolExclude);
  EXPECT_EQ(IsCardNewInScorefile(store, scorefile, 7), 0);
  EXPECT_EQ(ResetCardScore(store, scorefile, 7), 0);
  EXPECT_EQ(IsCardNewInScorefile(store, scorefile, 7), 1);
}

TEST_F(ScoresTest, PriorityCodes) {
  struct Step {
    int32_t code;
    int32_t pool;
    int32_t priority;
  };
  const Step steps[] = {
      {kCodeForceAdd, kPoolForceAdd, 0}, {kCodeUnsetExclude, kPoolForceAdd, 0},  // not excluded: unchanged
      {kCodeVeryHigh, kPoolForceAdd, 2}, {kCodeUnsetAdd, kPoolNone, 2},         {kCodeForceExclude, kPoolExclude, 2},
      {kCodeUnsetAdd, kPoolExclude, 2},  // not force added: unchanged
      {kCodeVeryLow, kPoolExclude, 4},   {kCodeUnsetExclude, kPoolNone, 4},     {kCodeNormal, kPoolNone, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.code);
    ASSERT_EQ(ApplyCardPriorityCode(store, scorefile, 3, s.code), 0);
    EXPECT_EQ(GetCardForcePool(store, scorefile, 3), s.pool);
    EXPECT_EQ(GetCardPriority(store, scorefile, 3), s.priority);
  }
}

TEST_F(ScoresTest, DeleteReportsProgress) {
  CardScoreRecord r;
  InitCardScoreRecord(&r);
  for (int32_t card = 1; card <= 5; ++card) ASSERT_EQ(WriteCardScore(store, scorefile, card, &r), 0);
  const int32_t cards[] = {2, 4};
  std::vector<uint32_t> positions;
  auto progress = [](uint32_t kind, uint32_t, uint32_t, uint32_t position, void* context) {
    EXPECT_EQ(kind, 0u);
    static_cast<std::vector<uint32_t>*>(context)->push_back(position);
    return 0;
  };
  EXPECT_EQ(DeleteCardScores(store, cards, 2, 10, scorefile, progress, &positions), 0);
  EXPECT_EQ(positions, (std::vector<uint32_t>{10, 11}));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT group_concat(card) FROM sorvi_flash_scores_" + std::to_string(scorefile)),
            "1,3,5");
  EXPECT_EQ(DeleteCardScores(store, nullptr, 0, 0, scorefile, nullptr, nullptr), 0);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_scores_" + std::to_string(scorefile)), "0");
}

// A failed statement is reported, and never read as a new card whose record
// would then be written over the card's history.
TEST_F(ScoresTest, FailuresAreReported) {
  CardScoreRecord r = Record({4, 4, 4}, 3, kPoolNone, kPriorityHigh);
  ASSERT_EQ(WriteCardScore(store, scorefile, 1, &r), 0);
  OnStore("CREATE TRIGGER no_write BEFORE INSERT ON sorvi_flash_scores_" + std::to_string(scorefile) +
          " BEGIN SELECT RAISE(ABORT, 'no'); END; CREATE TRIGGER no_delete BEFORE DELETE ON sorvi_flash_scores_" +
          std::to_string(scorefile) + " BEGIN SELECT RAISE(ABORT, 'no'); END;");
  EXPECT_NE(WriteCardScore(store, scorefile, 2, &r), 0);
  EXPECT_NE(ApplyCardPriorityCode(store, scorefile, 1, kCodeLow), 0);
  const int32_t one = 1;
  EXPECT_NE(DeleteCardScores(store, &one, 1, 0, scorefile, nullptr, nullptr), 0);
  EXPECT_EQ(History(1), "444W");
  // A score table that cannot be read is an error, not a new card.
  CardScoreRecord back;
  EXPECT_NE(ReadCardScore(store, 999, 1, &back, 0), 0);
  EXPECT_NE(ApplyCardPriorityCode(store, 999, 1, kCodeLow), 0);
}
