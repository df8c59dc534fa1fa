// Card scores: one row per card in the score table of each scorefile
// ("sorvi_flash_scores_<id>"), in memory a CardScoreRecord. A card without
// a row is new in that scorefile. The history text holds one digit per
// review result, then optionally a pool letter ("Q" force added, "R"
// excluded) and a priority letter ("W" 1, "V" 2, "Y" 3, "Z" 4).
//
// Results are SQLite's codes (0 success) unless stated.
#pragma once

#include <cstdint>

struct FlashcardStore;

inline constexpr uint32_t kScoreHistoryMax = 256;
inline constexpr int32_t kNewCardScore = 100;
inline constexpr int32_t kNewCardDifficulty = 100;
inline constexpr int32_t kScoreMin = 10;
inline constexpr int32_t kDifficultyMin = 1;

enum : int32_t {
  kPriorityNormal = 0,
  kPriorityHigh = 1,
  kPriorityVeryHigh = 2,
  kPriorityLow = 3,
  kPriorityVeryLow = 4
};
enum : int32_t { kPoolNone = 0, kPoolForceAdd = 1, kPoolExclude = 2 };

// Codes of the card and batch menus.
enum : int32_t {
  kCodeVeryHigh = 2,
  kCodeHigh = 1,
  kCodeNormal = 0,
  kCodeLow = 3,
  kCodeVeryLow = 4,
  kCodeForceAdd = 5,
  kCodeForceExclude = 6,
  kCodeUnsetAdd = 7,
  kCodeUnsetExclude = 8,
};

struct CardScoreRecord {
  int32_t score;
  int32_t difficulty;
  uint8_t history[kScoreHistoryMax];  // results 1..6, most recent first; 0 ends
  int32_t correct;
  int32_t incorrect;
  int32_t reviewed;
  int32_t sinceLastChange;
  int32_t firstReviewedTime;
  int32_t lastReviewedTime;
  int32_t scoreIncTime;
  int32_t scoreDecTime;
  int32_t priority;
  int32_t poolMark;
};

// Progress of long deletions (and of imports and exports): kind 0 reports
// a position in the fourth argument; the context comes last.
using TransferCallback = int (*)(uint32_t kind, uint32_t arg1, uint32_t arg2, uint32_t position, void* context);

// All zero; score and difficulty 100; first reviewed now.
void InitCardScoreRecord(CardScoreRecord* record);
// The history text of a record (at most 256 digits and two letters, plus
// the terminator).
inline constexpr uint32_t kHistoryTextMax = kScoreHistoryMax + 3;
void EncodeScoreHistory(const CardScoreRecord* record, char out[kHistoryTextMax]);
// Fills history, pool mark and priority from a stored text (null: empty).
void DecodeScoreHistory(const char* text, CardScoreRecord* record);

// 0 with the card's record. Without a row: 1 with mustExist, else 0 and the
// new-card record. A failed statement returns its code and leaves the
// record as the new-card record, never taken for a missing row.
int ReadCardScore(FlashcardStore* store, int32_t scorefile, int32_t card, CardScoreRecord* record, int mustExist);
// Raises the score to at least 10 and the difficulty to at least 1 (in the
// caller's record too) and stores all twelve columns.
int WriteCardScore(FlashcardStore* store, int32_t scorefile, int32_t card, CardScoreRecord* record);
// Applies a menu code to the card's record (new cards get a row).
int ApplyCardPriorityCode(FlashcardStore* store, int32_t scorefile, int32_t card, int32_t code);
int32_t GetCardPriority(FlashcardStore* store, int32_t scorefile, int32_t card);
int32_t GetCardForcePool(FlashcardStore* store, int32_t scorefile, int32_t card);
// 1 when the card's history is empty or it was never reviewed.
int IsCardNewInScorefile(FlashcardStore* store, int32_t scorefile, int32_t card);
// Without ids every row; with ids, row by row, calling progress (kind 0,
// position = firstPosition + index) after each. No transaction of its own.
// Stops at the first failure and returns it.
int DeleteCardScores(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t firstPosition,
                     int32_t scorefile, TransferCallback progress, void* context);
int ResetCardScore(FlashcardStore* store, int32_t scorefile, int32_t card);
