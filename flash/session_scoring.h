// Scoring of answers: the settings block a session loads once, the history
// condition that judges streaks and "learned", the study-day rule, and
// ScoreSessionAnswer, which turns a grade (1-3 incorrect, 4-6 correct, -1
// only acknowledged) into new counters, history, score and difficulty for
// the session's current card.
//
// Every time is UTC seconds from the engine's clock; scores are computed in
// 64 bits (a stored score may exceed what 32-bit products hold) and clamped
// before they are stored.
#pragma once

#include <cstdint>

struct FlashSession;
struct FlashcardStore;

// Scoring kinds ("pro_scoretype").
enum : int32_t {
  kScoringNone = 0,
  kScoringOldAutomatic = 1,
  kScoringManual = 2,
  kScoringStatsOnly = 3,
  kScoringAutomatic = 4,
};

// Ceiling of every score computation: a larger stored score counts as this.
inline constexpr int32_t kScoreCeiling = 204800;
// Selection and scoring raise a points-per-day value below 21 to this, so
// that no interval divides by 0 and both agree on due times.
inline constexpr int32_t kPointsPerDayFloor = 20;

// One direction of Manual scoring.
struct ManualScoreRule {
  int32_t on;
  int32_t amount;
  int32_t setTo;       // the amount is the new score
  int32_t amountType;  // 0 points, 1 percent
  int32_t count;       // N of HistoryMeetsCondition
  int32_t mode;
  int32_t altWindow;  // M
};

struct ScoringSettings {
  int32_t scorefile;  // -1 none
  int32_t kind;
  int32_t minScore;
  int32_t maxScore;
  int32_t aggressiveness;  // Old Automatic level 0-5
  int32_t scaleIncreases;
  int32_t scaleDecreases;
  int32_t scorePrompt;
  int32_t promptShowAll;
  int32_t limitScoreOn, limitScoreFrom, limitScoreTo;
  int32_t limitReviewedOn, limitReviewedCompare, limitReviewedCount;
  ManualScoreRule increase;
  ManualScoreRule decrease;
  // Once a day, per kind and direction.
  int32_t onceADayAutoIncrease, onceADayAutoDecrease, onceADayManualIncrease, onceADayManualDecrease;
  int32_t dayType, dayStart, pointsPerDay;
  int32_t noDoubleDifficultyDecrease;
  int32_t difficultyDivisor, minDifficulty, maxDifficulty;
  int32_t earlyReview;            // "pro_scorerepshortertimescale"
  int32_t lateReview;             // "pro_scorereplongerimescale"
  int32_t initialInterval[3];     // grades 4, 5, 6
  int32_t decreasePercent[3];     // grades 1, 2, 3
  int32_t intervalMultiplier[3];  // grades 4, 5, 6
  int32_t difficultyChange[6];    // grades 1-6
};

// Fills the block from the current profile's settings (an absent setting
// reads 0, the scorefile -1). Settings of other kinds are left 0.
void LoadScoringSettings(ScoringSettings* settings, FlashcardStore* store);

// History window that means "every answer".
inline constexpr int32_t kHistoryWindowAll = 2147483647;
enum : int32_t {
  kHistoryInRow = 0,     // N newest answers all on the side
  kHistoryNOfLast = 1,   // N of the last M
  kHistoryInWindow = 2,  // N within the window
  kHistoryScore = 3,     // score >= N (correct side) or < N
  kHistoryInTotal = 4,   // N in the whole history
};
// side 1 correct (grade >= 4), 0 incorrect. history: 256 grades, newest
// first, a 0 ends it. 1 or 0.
int HistoryMeetsCondition(int32_t score, const uint8_t* history, int32_t window, int32_t side, int32_t count,
                          int32_t mode, int32_t altWindow);

// 1 when t lies before the start of the current study day: with day type
// 0 a day is the last 86400 seconds; otherwise it starts at local midnight
// plus dayStart seconds.
int IsNewStudyDay(uint32_t t, int32_t dayType, int32_t dayStart);

// 0, the error of reading or writing the score row, or 1 for an Old
// Automatic level above 5 (counters moved, nothing stored) or when no card
// is current (nothing changes). A card that no longer meets the session's
// score or review filters sets session->cardLeaving.
int ScoreSessionAnswer(FlashSession* session, int32_t grade);

// The score, or -1 when the row cannot be read (a card without a row has
// the new-card score).
int32_t GetCardScore(FlashcardStore* store, int32_t scorefile, int32_t card);
// Writes the score and clears the increase and decrease times; 0 or the
// read/write error.
int SetCardScore(FlashcardStore* store, int32_t scorefile, int32_t card, int32_t score);
