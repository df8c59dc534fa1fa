// Scoring of answers: the history condition, the study day, and the four
// scoring kinds over one card of the store's first scorefile, as tables of
// (score, difficulty, grade) -> (score, difficulty).
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_time.h"
#include "flash/card_scores.h"
#include "flash/chunked_array.h"
#include "flash/profile_lists.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash/session_scoring.h"
#include "flash_fixture.h"
#include "platform/clock.h"

namespace {

std::vector<uint8_t> Grades(const std::string& digits) {
  std::vector<uint8_t> h(kScoreHistoryMax + 1, 0);
  for (size_t i = 0; i < digits.size(); ++i) h[i] = static_cast<uint8_t>(digits[i] - '0');
  return h;
}

TEST(HistoryCondition, ModesAndWindows) {
  struct Case {
    int32_t score;
    const char* history;
    int32_t window, side, count, mode, alt;
    int expected;
    const char* why;
  } cases[] = {
      {200, "", kHistoryWindowAll, 1, 200, kHistoryScore, 0, 1, "score threshold reached"},
      {199, "", kHistoryWindowAll, 1, 200, kHistoryScore, 0, 0, "score threshold missed"},
      {200, "", kHistoryWindowAll, 0, 200, kHistoryScore, 0, 0, "incorrect side is below N"},
      {199, "", kHistoryWindowAll, 0, 200, kHistoryScore, 0, 1, "incorrect side below N"},
      {0, "654", kHistoryWindowAll, 1, 3, kHistoryInRow, 0, 1, "three correct in a row"},
      {0, "652", kHistoryWindowAll, 1, 3, kHistoryInRow, 0, 0, "the third is incorrect"},
      {0, "65", kHistoryWindowAll, 1, 3, kHistoryInRow, 0, 0, "only two answers"},
      {0, "", kHistoryWindowAll, 1, 0, kHistoryInRow, 0, 1, "N = 0 always holds"},
      {0, "666", 2, 1, 3, kHistoryInRow, 0, 0, "N above the window"},
      {0, "123", kHistoryWindowAll, 0, 3, kHistoryInRow, 0, 1, "three incorrect in a row"},
      {0, "156", kHistoryWindowAll, 1, 2, kHistoryNOfLast, 3, 1, "two of the last three"},
      {0, "1156", kHistoryWindowAll, 1, 2, kHistoryNOfLast, 3, 0, "one of the last three"},
      {0, "1156", 2, 1, 1, kHistoryNOfLast, 3, 0, "M above the window keeps the window"},
      {0, "1156", kHistoryWindowAll, 1, 2, kHistoryInWindow, 0, 1, "two within the whole window"},
      {0, "1156", 3, 1, 2, kHistoryInWindow, 0, 0, "one within a window of three"},
      {0, "1156", 1, 1, 2, kHistoryInTotal, 0, 1, "the whole history whatever the window"},
      {0, "5", 0, 1, 1, kHistoryInWindow, 0, 0, "window 0 with N 1"},
      {0, "5", 0, 1, 0, kHistoryInWindow, 0, 1, "window 0 with N 0"},
      {0, "5", -3, 1, -1, kHistoryNOfLast, -5, 1, "window below 1 with N below 0"},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> h = Grades(c.history);
    EXPECT_EQ(HistoryMeetsCondition(c.score, h.data(), c.window, c.side, c.count, c.mode, c.alt), c.expected) << c.why;
  }
}

// TZ pinned to a zone with daylight time for the test's life.
class ZoneClock {
 public:
  ZoneClock(WORD year, WORD month, WORD day, WORD hour) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    old_ = old ? old : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    InstallTestClock(year, month, day, hour);
  }
  ~ZoneClock() {
    UninstallVirtualClock();
    if (had_) setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

TEST(StudyDay, BoundaryFollowsLocalMidnightAndDayStart) {
  struct Case {
    WORD month;
    uint32_t localMidnightUtc;  // start of the local day, UTC seconds
    uint32_t now;
  } days[] = {
      {12, 1796857200, 1796904000},  // 2026-12-10, standard time
      {7, 1783634400, 1783684800},   // 2026-07-10, daylight time
  };
  for (const Case& d : days) {
    ZoneClock zone(2026, d.month, 10, 12);
    ASSERT_EQ(GetUtcSeconds(), d.now);
    // Day start 04:00: today's boundary has passed.
    const uint32_t early = d.localMidnightUtc + 4 * 3600;
    EXPECT_EQ(IsNewStudyDay(early, 1, 4 * 3600), 1);
    EXPECT_EQ(IsNewStudyDay(early + 1, 1, 4 * 3600), 0);
    // Day start 20:00 local is still ahead: the day began yesterday then.
    const uint32_t late = d.localMidnightUtc + 20 * 3600 - 86400;
    EXPECT_EQ(IsNewStudyDay(late, 1, 20 * 3600), 1);
    EXPECT_EQ(IsNewStudyDay(late + 1, 1, 20 * 3600), 0);
    // Day type 0: the last 86400 seconds.
    EXPECT_EQ(IsNewStudyDay(d.now - 86400, 0, 0), 1);
    EXPECT_EQ(IsNewStudyDay(d.now - 86399, 0, 0), 0);
  }
}

class ScoringTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    ASSERT_NE(Open(), nullptr);
    scorefile = GetProfileScorefileId(store);
    ASSERT_GT(scorefile, 0);
    OnStore("INSERT INTO sorvi_flash_cards (id, lang, hw, wordlength) VALUES (7, 4096, 'x', 1)");
    session = std::make_unique<FlashSession>();
    session->store = store;
    session->currentCard = 7;
    session->testType = kTestSelfScored;
    session->method = kSelectRandom;
    session->referenceTime = GetUtcSeconds();
    session->order = order;
    session->orderCapacity = 4;
  }
  void Preset(uint32_t mode) { ASSERT_EQ(ResetProfileToPreset(store, GetCurrentProfileId(store), mode), 0); }
  void Set(uint32_t id, int32_t value) {
    const ProfileSettingValue v{value, nullptr};
    ASSERT_EQ(SetProfileSetting(store, id, &v), 0);
  }
  void Load() {
    LoadScoringSettings(&session->scoring, store);
    session->learnedCount = GetSessionSettingInt(store, kProLearnedselcount);
    session->learnedMode = GetSessionSettingInt(store, kProLearnedselmode);
  }
  void Card(int32_t score, int32_t difficulty, int32_t lastReviewed = 0, int32_t reviewed = 0) {
    CardScoreRecord r;
    InitCardScoreRecord(&r);
    r.score = score;
    r.difficulty = difficulty;
    r.lastReviewedTime = lastReviewed;
    r.reviewed = reviewed;
    ASSERT_EQ(WriteCardScore(store, scorefile, 7, &r), 0);
  }
  CardScoreRecord Row() {
    CardScoreRecord r;
    EXPECT_EQ(ReadCardScore(store, scorefile, 7, &r, 1), 0);
    return r;
  }
  struct Case {
    int32_t score, difficulty, grade, newScore, newDifficulty;
  };
  void Run(const std::vector<Case>& cases, const char* what) {
    for (const Case& c : cases) {
      Card(c.score, c.difficulty);
      EXPECT_EQ(ScoreSessionAnswer(session.get(), c.grade), 0);
      const CardScoreRecord r = Row();
      EXPECT_EQ(r.score, c.newScore) << what << " " << c.score << "/" << c.difficulty << " grade " << c.grade;
      EXPECT_EQ(r.difficulty, c.newDifficulty) << what << " " << c.score << "/" << c.difficulty << " grade " << c.grade;
    }
  }

  int32_t scorefile = 0;
  std::unique_ptr<FlashSession> session;
  uint32_t order[4] = {};
};

TEST_F(ScoringTest, OldAutomatic) {
  Set(kProScoretype, kScoringOldAutomatic);
  Set(kProScoreaggressiveness, 2);
  Set(kProScoreautoscaleinc, 0);
  Load();
  Run({{100, 100, 6, 400, 104},    // raised to the level's minimum after a correct answer
       {1000, 100, 5, 2000, 100},  // 1000 x 100 / 50
       {1000, 100, 2, 100, 78}},   // incorrect without scaling: 100
      "scaling off");
  Set(kProScoreautoscaleinc, 2);
  Load();
  Run({{1000, 100, 2, 500, 78},        // 100 x 1000 / 200
       {1000, 400, 1, 750, 368},       // difficulty capped at 200 x 3 / 4
       {300000, 100, 2, 102400, 78}},  // the score counts as 204800
      "scale decreases");
}

TEST_F(ScoringTest, OldAutomaticLevelBeyondTheTableStoresNothing) {
  Set(kProScoretype, kScoringOldAutomatic);
  Set(kProScoreaggressiveness, 6);
  Load();
  Card(1000, 100);
  EXPECT_EQ(ScoreSessionAnswer(session.get(), 5), 1);
  EXPECT_EQ(session->correctAnswers, 1);
  const CardScoreRecord r = Row();
  EXPECT_EQ(r.score, 1000);
  EXPECT_EQ(r.reviewed, 0);
  EXPECT_EQ(r.history[0], 0);
}

TEST_F(ScoringTest, ManualWithOnceADay) {
  Set(kProScoretype, kScoringManual);
  Load();
  Card(500, 100);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);
  EXPECT_EQ(Row().score, 600);
  EXPECT_EQ(Row().scoreIncTime, static_cast<int32_t>(GetUtcSeconds()));
  // A second correct answer on the same study day changes nothing.
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 6), 0);
  EXPECT_EQ(Row().score, 600);
  EXPECT_EQ(Row().sinceLastChange, 1);
  // The next day it counts again.
  AdvanceVirtualClock(86401u * 1000);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 6), 0);
  EXPECT_EQ(Row().score, 700);

  Run({{600, 100, 2, 100, 100}}, "set to 100");
  Card(50, 100);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 2), 0);
  const CardScoreRecord r = Row();
  EXPECT_EQ(r.score, 100);
  EXPECT_EQ(r.scoreIncTime, static_cast<int32_t>(GetUtcSeconds()));
  EXPECT_EQ(r.scoreDecTime, 0);
}

TEST_F(ScoringTest, ManualPercentAmountsStayInSixtyFourBits) {
  Set(kProScoretype, kScoringManual);
  Set(kProScoreincreaseamttype, 1);
  Set(kProScoreincreaseamt, 2000000000);
  Load();
  Card(204800, 100);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);
  EXPECT_EQ(Row().score, 204800);
}

TEST_F(ScoringTest, AutomaticPreset0) {
  Set(kProScoretype, kScoringAutomatic);
  Load();
  Run({{100, 100, 4, 200, 96},
       {100, 100, 5, 300, 100},
       {100, 100, 6, 400, 104},
       {1000, 120, 5, 2000, 120},
       {1000, 66, 6, 1105, 70},
       {9000, 120, 6, 10000, 120},  // the preset's maximum score
       {1000, 100, 1, 100, 88}},    // 0 % of the score, raised to the minimum
      "preset 0");
}

TEST_F(ScoringTest, AutomaticPreset1) {
  Preset(1);
  Set(kProScoretype, kScoringAutomatic);
  Load();
  Run({{100, 100, 4, 235, 96}, {1000, 100, 5, 2500, 100}}, "preset 1");
}

TEST_F(ScoringTest, AutomaticEarlyAndLateReviews) {
  Set(kProScoretype, kScoringAutomatic);
  Set(kProCardpointsday, 100);
  Set(kProCarddaytype, 0);
  session->method = kSelectRepetitionSpaced;
  const int32_t t = static_cast<int32_t>(session->referenceTime);
  const int32_t day = 86400;
  struct Case {
    int32_t lastReviewed;  // the interval is 10 days
    int32_t early, late;
    int32_t newScore, newDifficulty;
  } cases[] = {
      {t - 5 * day, 1, 0, 1000, 100},   // five days early: no change
      {t - 30 * day, 0, 3, 3000, 100},  // twenty days late: tripled
      {t - 40 * day, 0, 2, 2333, 100},  // thirty days late: sqrt(3 + 1) - 1 = 1
      {t - 5 * day, 3, 0, 1333, 100},   // half the interval: half the increase
      {t - 5 * day, 4, 0, 1166, 100},   // squared: a quarter
  };
  for (const Case& c : cases) {
    Set(kProScorerepshortertimescale, c.early);
    Set(kProScorereplongerimescale, c.late);
    Load();
    Card(1000, 100, c.lastReviewed, 3);
    ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);
    EXPECT_EQ(Row().score, c.newScore) << c.early << "/" << c.late;
    EXPECT_EQ(Row().difficulty, c.newDifficulty);
  }
}

TEST_F(ScoringTest, StatsOnlyCountsButKeepsTheScore) {
  Set(kProScoretype, kScoringStatsOnly);
  Load();
  Card(300000, 90);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 2), 0);
  const CardScoreRecord r = Row();
  EXPECT_EQ(r.score, 300000);
  EXPECT_EQ(r.difficulty, 90);
  EXPECT_EQ(r.incorrect, 1);
  EXPECT_EQ(r.history[0], 2);
  EXPECT_EQ(r.reviewed, 1);
  EXPECT_EQ(r.lastReviewedTime, static_cast<int32_t>(GetUtcSeconds()));
  EXPECT_EQ(session->incorrectAnswers, 1);
  EXPECT_EQ(session->scoreSum, 204800);
  EXPECT_EQ(session->difficultySum, 90);
}

TEST_F(ScoringTest, RetestPassOnlyFlagsIncorrectAnswers) {
  Set(kProScoretype, kScoringAutomatic);
  Load();
  Card(1000, 100);
  session->retestPass = 1;
  order[0] = 7;
  session->orderCount = 1;
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 1), 0);
  const CardScoreRecord r = Row();
  EXPECT_EQ(r.score, 1000);
  EXPECT_EQ(r.incorrect, 0);
  EXPECT_EQ(r.reviewed, 0);
  EXPECT_EQ(r.history[0], 0);
  EXPECT_EQ(session->incorrectAnswers, 0);
  EXPECT_EQ(order[0], 7u | kOrderIncorrectFlag);
}

TEST_F(ScoringTest, AcknowledgedAnswersOnlyCountTheReview) {
  Set(kProScoretype, kScoringAutomatic);
  Load();
  session->testType = kTestReviewOnly;
  Card(1000, 100);
  order[0] = 7;
  session->orderCount = 1;
  ASSERT_EQ(ScoreSessionAnswer(session.get(), -1), 0);
  EXPECT_EQ(Row().score, 1000);
  EXPECT_EQ(Row().reviewed, 1);
  EXPECT_EQ(session->correctAnswers + session->incorrectAnswers, 0);
  EXPECT_EQ(order[0], 7u | kOrderIncorrectFlag);
}

TEST_F(ScoringTest, ReviewedLimitDecidesWhoLeaves) {
  Set(kProScoretype, kScoringStatsOnly);
  Load();
  session->scoring.limitReviewedOn = 1;
  session->scoring.limitReviewedCount = 3;
  // Reviewed 2 before, 3 after the answer.
  const int leaves[6] = {0, 1, 1, 1, 0, 0};  // =, !=, >, <, >=, <= no longer hold
  for (int32_t code = 0; code < 6; ++code) {
    session->scoring.limitReviewedCompare = code;
    Card(500, 100, 0, 2);
    ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);
    EXPECT_EQ(session->cardLeaving, leaves[code]) << "comparison " << code;
  }
}

TEST_F(ScoringTest, LeavingTheScoreLimitsStopsTheRequeue) {
  Set(kProScoretype, kScoringAutomatic);
  Set(kProScoreonceaday, 0);
  Load();
  WeightRingEntry ring[2] = {};
  session->method = kSelectFrequency;
  session->ring = ring;
  session->ringCapacity = 2;
  session->currentChunk = 0;
  Card(100, 100);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);  // 300
  ASSERT_EQ(session->ringCount, 1);
  EXPECT_EQ(ring[0].card, 7);
  EXPECT_EQ(ring[0].weight, 204800u / 300);

  session->scoring.limitScoreOn = 1;
  session->scoring.limitScoreFrom = 0;
  session->scoring.limitScoreTo = 350;
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);
  EXPECT_EQ(session->cardLeaving, 1);
  EXPECT_EQ(session->ringCount, 1);

  // Other methods hand the card to the removal, which keeps the card
  // being shown and takes any other.
  session->method = kSelectRandom;
  session->cards = CreateChunkedArray(2, 8, 4, 1);
  AppendChunkedArray(session->cards, 7, 0);
  ASSERT_EQ(ScoreSessionAnswer(session.get(), 5), 0);
  EXPECT_EQ(session->cardLeaving, 1);
  EXPECT_EQ(session->cards->count, 1);
  FreeChunkedArray(session->cards);
}

TEST_F(ScoringTest, CardScoreHelpers) {
  EXPECT_EQ(GetCardScore(store, scorefile, 7), kNewCardScore);
  Card(500, 100);
  CardScoreRecord r = Row();
  r.scoreIncTime = 5;
  r.scoreDecTime = 6;
  ASSERT_EQ(WriteCardScore(store, scorefile, 7, &r), 0);
  ASSERT_EQ(SetCardScore(store, scorefile, 7, 900), 0);
  EXPECT_EQ(GetCardScore(store, scorefile, 7), 900);
  EXPECT_EQ(Row().scoreIncTime, 0);
  EXPECT_EQ(Row().scoreDecTime, 0);
  EXPECT_EQ(GetCardScore(store, 99999, 7), -1);  // no such score table
}

}  // namespace
