// Card selection: turning the rows of a session's query into its card list
// in asking order (Random, Repetition-spaced, Frequency adjust, Fixed), with
// the pools of never-studied cards, the unlearned limit and the
// learned/unlearned ratio; the weighted draw of Frequency-adjust sessions
// with its delay ring; and the word-length pools of multiple-choice
// answers.
//
// Randomness comes only from GetRandom32 (the random-state arguments are
// kept for the callers' sake and not read).
#pragma once

#include <cstdint>

struct ChunkedArray;
struct FlashSession;
struct sqlite3_stmt;

enum : int32_t {
  kSelectRandom = 0,
  kSelectRepetitionSpaced = 1,
  kSelectFrequency = 2,
  kSelectFixed = 3,
};

// Priority ranks (Repetition-spaced sort values keep them in bits 29-31).
enum : int32_t { kRankVeryHigh = 0, kRankHigh = 1, kRankNormal = 2, kRankLow = 3, kRankVeryLow = 4, kRankCount = 5 };

// Jitter of due times: two cards due at the same moment are asked in an
// order that varies by up to two hours.
inline constexpr uint32_t kDueJitterRange = 7200;
// Weight of Frequency adjust: this over the score.
inline constexpr int32_t kWeightScale = 204800;
// Bits 0-28 of a Repetition-spaced sort value hold (time + jitter) >> 3.
inline constexpr uint32_t kSortTimeMax = (1u << 29) - 1;
// Row limit streaks are looked for over at most this many answers.
inline constexpr int32_t kRowLimitMax = 16;

// Filled by the session builder from the profile. Query columns: card id,
// the created time when limitUnlearned is on, score (null for a card never
// reviewed), last reviewed time (the difficulty for Fixed sort field 2),
// history text.
struct SelectionParameters {
  int32_t cardCount;  // -1 every card; -2 Frequency adjust unlimited
  int32_t method;
  int32_t randomDue;     // due cards in random order
  int32_t randomNotDue;  // not-due cards in random order
  int32_t ratioOn;
  int32_t ratioAmount;  // unlearned share in 1/10000
  int32_t fixedSortField;
  int32_t fixedSortOrder;  // 1 descending
  int32_t dayType;
  int32_t pointsPerDay;  // at least kPointsPerDayFloor
  int32_t referenceTime;
  int32_t limitUnlearned;
  int32_t limitUnlearnedMax;
  int32_t limitUnlearnedPriority;  // 0 shuffle, 1 oldest first, 2 a shuffled oldest day
  int32_t rowLimitOn;
  int32_t rowLimitAmount;
  int32_t rowLimitCorrect;  // the streak looked for is of correct answers
  int32_t rowLimitExclude;  // cards with the streak are left out
  int32_t learnedCount;
  int32_t learnedMode;
};

// The interval after which a card of `score` is due again, in seconds.
int64_t ScoreIntervalSeconds(int64_t score, int32_t dayType, int32_t pointsPerDay);
// The priority rank of a stored history text (null: normal) and its pool
// letter (0 none, 'Q' force added, 'R' excluded).
int32_t HistoryPriorityRank(const char* history, char* poolLetter);

// Fills `list` (width 2, weights) from the statement's rows and finalises
// the statement. 0 when the list holds a card, else 1. A failed append
// stops reading rows; the cards already listed stay.
int SelectSessionCards(sqlite3_stmt* statement, ChunkedArray* list, const SelectionParameters* parameters,
                       uint32_t size, void* randomState);

// Frequency adjust. The session's card list holds running sums: word 1 of
// a record is the weight before it in its chunk, weightSums[c] the weight
// before chunk c and weightSums[chunkCount] the total.
//
// The drawn card (it leaves the list; the session keeps its chunk), or -1
// when nothing can be drawn even after the delay ring was emptied into the
// list.
int32_t PickWeightedCard(FlashSession* session);
// Takes record `position` of chunk `chunk` out; its weight, 0 out of range.
uint32_t RemoveWeightedRecord(FlashSession* session, int32_t chunk, int32_t position);
// Adds the card at the end of chunk `chunk`. 0; 1 when that chunk is not
// in use or full.
int ReinsertWeightedCard(FlashSession* session, int32_t card, uint32_t weight, int32_t chunk);
// Holds the card back in the delay ring; a full ring reinserts its oldest
// entry, so a card comes back after `capacity` further answers.
void QueueWeightUpdate(FlashSession* session, int32_t card, uint32_t weight, int32_t chunk);

// Rows (card id, word length) into four lists for lengths 1-4, a list of
// longer words (id in bits 0-23, length in bits 24-31) and, when given, a
// list of all; each list is shuffled. The statement is finalised. 0, or 1
// when a list could not take a card (the reading stops there).
int FillLengthPools(sqlite3_stmt* statement, ChunkedArray* const lengthLists[4], ChunkedArray* longList,
                    ChunkedArray* allList, void* randomState);
