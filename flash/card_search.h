// Card search: a query of up to ten conditions over the card row, its score
// row in one scorefile and its category assignments, turned into one
// compound statement of the SQL builder; and the smaller card-list queries
// of categories.
#pragma once

struct sqlite3_stmt;

#include <cstdint>

#include "platform/types.h"

struct ChunkedArray;
struct FlashcardStore;

inline constexpr uint32_t kQueryConditionMax = 10;
inline constexpr uint32_t kQueryTextMax = 40;  // units with the terminator

// Condition kinds.
enum : int32_t {
  kQueryCategory = 1,
  kQueryScore = 2,
  kQueryLength = 3,
  kQueryDifficulty = 4,
  kQueryCreated = 5,
  kQueryFirstReview = 6,
  kQueryLastReview = 7,
  kQueryReviewed = 8,
  kQueryCorrect = 9,
  kQueryIncorrect = 10,
  kQueryDictionary = 11,
  kQueryHeadword = 12,
  kQueryPron = 13,
  kQueryLanguage = 14,
  kQueryLastCorrect = 15,
  kQueryIncomplete = 16,
  kQueryAllCards = 17,
  kQueryExactCategory = 18,
  kQueryModified = 23,
  kQueryDuplicate = 24,
  kQueryPriority = 25,
};
// Operators: "=", "!=", ">", "<", ">=", "<=", "Y", "N", "~".
enum : int32_t {
  kQueryOpEqual = 0,
  kQueryOpNotEqual,
  kQueryOpGreater,
  kQueryOpLess,
  kQueryOpGreaterEqual,
  kQueryOpLessEqual,
  kQueryOpYes,
  kQueryOpNo,
  kQueryOpLike,
};
enum : int32_t { kQueryAnd = 1, kQueryOr = 2 };

struct FlashQueryCondition {
  int32_t kind;
  int32_t op;
  int32_t value;
  int32_t value2;
  WCHAR text[kQueryTextMax];
  int32_t connector;  // to the next condition
};

struct FlashQueryRecord {
  int32_t scorefile;
  int32_t sortKey;  // a condition kind; 0 none
  int32_t sortDescending;
  FlashQueryCondition conditions[kQueryConditionMax];
  int32_t count;
};

// Results stop at this many cards (31 full chunks), silently.
inline constexpr int32_t kSearchPerChunk = 2048;
inline constexpr int32_t kSearchMaxChunks = 32;

// A new list (width 1) of the matching card ids; without a query an empty
// list; null only when memory runs out. The caller frees it.
ChunkedArray* SearchCards(FlashcardStore* store, const FlashQueryRecord* query);
// For -3 the cards without assignment (width 1); otherwise {card,
// assignment id} pairs ordered by assignment id (width 2).
ChunkedArray* ListCategoryCards(FlashcardStore* store, int32_t category);
// A new list (width 1) of every card filed in any of the categories, each
// once (with their subcategories when `withSubcategories`); when -3 is
// among the ids the cards without any category follow. Null only when
// memory runs out; the caller frees it.
ChunkedArray* ListCardsOfCategories(FlashcardStore* store, const int32_t* ids, uint32_t count, int withSubcategories);
// Steps the statement (not finalized here) and appends each row's first
// column to the list. 0 when the rows ended, 1 when the list filled up or
// a step failed first.
int AppendQueryResults(sqlite3_stmt* statement, ChunkedArray* list);
// Moves the card at `from` to `to` inside the category's order; the
// assignment ids stay with their places. 0; 1 for a list not of width 2 or
// a position out of range, or a failed write (rolled back).
int MoveCardInCategoryOrder(FlashcardStore* store, ChunkedArray* pairs, int32_t from, int32_t to);
