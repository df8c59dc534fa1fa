// The short texts the card lists, the card information sheet and the
// statistics dialog show: one text per display field of a card, a card's
// category paths, and the statistics report of a category or of all cards.
//
// Field texts go into a caller buffer of `length` units, cut to fit and
// always terminated; the paths and the report are appended to a
// TextBuffer (engine/text_buffer.h). Results: 0 success, 1 failure unless
// stated. Every function takes the engine lock itself.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct CardScoreRecord;
struct FlashcardStore;
struct TextBuffer;

// Display fields: the condition kinds of the card search where a field
// has one, and the kinds only a display shows.
enum : uint32_t {
  kInfoScore = 2,
  kInfoDifficulty = 4,
  kInfoCreated = 5,
  kInfoFirstReviewed = 6,
  kInfoLastReviewed = 7,
  kInfoReviewed = 8,
  kInfoCorrect = 9,
  kInfoIncorrect = 10,
  kInfoDictionary = 11,
  kInfoHeadword = 12,
  kInfoPron = 13,
  kInfoPercentCorrect = 19,
  kInfoCorrectIncorrect = 20,
  kInfoDefinition = 21,
  kInfoFullCard = 22,
  kInfoModified = 23,
  kInfoPriorityRank = 25,
  kInfoPriorityLabel = 26,
  kInfoHistory = 27,
  kInfoLastReviewedDate = 28,
  kInfoCorrectIncorrectReviewed = 29,
};

// Results the percent-correct field looks back over at most: a share of
// the last ten answers says how the card goes now, not how it once went.
inline constexpr uint32_t kPercentCorrectWindow = 10;
// Syllables of the pronunciation field; a longer reading is cut.
inline constexpr uint32_t kPronFieldSyllables = 20;
// Units of one category path in FormatCardCategories.
inline constexpr uint32_t kCategoryPathMax = 120;

// The field's text for the card. Scorefile -1 or -2: the current
// profile's. 0 with the text; 1 (empty text) when the card, or for a score
// field its score record, cannot be read. A card without a score row
// shows the new-card record.
int FormatCardInfo(FlashcardStore* store, int32_t scorefile, int32_t card, uint32_t kind, WCHAR* buffer,
                   uint32_t length);
// The text of one score field of the record. 0; 1 (empty text) for a kind
// that is no score field.
int FormatScoreField(const CardScoreRecord* record, uint32_t kind, WCHAR* buffer, uint32_t length);
// Appends the paths of the card's existing categories, joined by ", ".
// 0; 1 when the assignments cannot be read or the text cannot grow.
int FormatCardCategories(FlashcardStore* store, int32_t card, TextBuffer* text);

// The "learned" test of the report can look at no more results than a
// history holds: a larger count would only make the statement larger.
inline constexpr int32_t kLearnedCountMax = 256;
inline constexpr char16_t kNoCardsFound[] = u"No Cards Found!";
// Appends the statistics report of the category with its subcategories, or
// of every card for a negative id: totals, averages, the learned count
// under the current profile's rule and the score ranges; "No Cards Found!"
// without cards or without a scorefile. 0, or the failing query's result.
int FormatCategoryStatistics(FlashcardStore* store, int32_t category, TextBuffer* text);
