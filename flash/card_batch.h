// Batch operations over a card list (a search result) or over every card:
// categories, priorities and pool marks, scores, deletion, custom cards
// into user-dictionary entries, and relinking cards to dictionary entries.
// They run on the batch worker thread, one command at a time.
//
// The common pattern: one transaction per chunk of the list (per 2048 ids
// without a list), so that a long command neither holds one huge
// transaction nor commits every card; "no list" is every card of
// "sorvi_flash_cards" in id order. After each card the callback hears of
// the card's position (kind 0, position in `count`; its answer is not
// read). The callback is the transfer callback of the import
// (ImportTransferCallback) and runs with the engine lock released, so the
// UI thread may read meanwhile; a write from another thread while a chunk
// is open is refused with SQLITE_BUSY (engine/sql_db.h) and never joins
// the chunk.
//
// Results: 0 success. A per-card failure (a card that cannot be read, an
// assignment that exists) does not stop a command and is not reported,
// except in the score operations. A failed BEGIN or COMMIT ends the
// command with its SQLite code: the chunks committed before stay, the
// failed chunk's work is gone, and the caller learns that it is.
#pragma once

#include <cstdint>

#include "flash/exchange_import_settings.h"

struct ChunkedArray;
struct FlashcardStore;

// Ids per chunk when the command runs over every card.
inline constexpr uint32_t kBatchChunkCards = 2048;

int AddCardListToCategory(FlashcardStore* store, const ChunkedArray* list, int32_t category,
                          ImportTransferCallback callback, void* context);
// Without a list every assignment of the category goes in one delete.
int RemoveCardListFromCategory(FlashcardStore* store, const ChunkedArray* list, int32_t category,
                               ImportTransferCallback callback, void* context);
// Each card's assignments go and the card is stamped; without a list every
// assignment row goes in one delete.
int RemoveCardListFromAllCategories(FlashcardStore* store, const ChunkedArray* list, ImportTransferCallback callback,
                                    void* context);
// The menu codes of ApplyCardPriorityCode (card_scores.h). Positions count
// from 0 here. Scorefile -1 or -2: the current profile's.
int ApplyCardPriorityCodeToList(FlashcardStore* store, const ChunkedArray* list, int32_t scorefile, int32_t code,
                                ImportTransferCallback callback, void* context);
// Deletes the cards' score rows ("reset statistics"); without a list the
// whole score table is emptied in one delete.
int ResetCardScoresOfList(FlashcardStore* store, const ChunkedArray* list, int32_t scorefile,
                          ImportTransferCallback callback, void* context);

// Score operations; the amount counts as its absolute value A. A card
// without a row starts from the new-card record.
enum : int32_t {
  kBatchScoreSet = 0,         // score = A, both change times 0
  kBatchScoreAdd = 1,         // score + A
  kBatchScoreAddPercent = 2,  // score + score x A / 100
  kBatchScoreAddRandom = 3,   // score + R, R from 0 to A
  kBatchScoreSubtract = 4,    // score - A
  kBatchScoreSubtractPercent = 5,
  kBatchScoreSubtractRandom = 6,
  kBatchScoreResetDifficulty = 7,  // difficulty = 100; the amount is ignored
};
// The score after one operation, worked in 64 bits and held to the stored
// 32-bit range (a large amount must not wrap round to a small or negative
// score); `random` is the 32-bit draw of the random operations. Raising a
// low score to the minimum is left to WriteCardScore.
int32_t ApplyScoreOperation(int32_t score, int32_t operation, int32_t amount, uint32_t random);
// A record that cannot be read or written ends the command with that
// failure (after committing its chunk up to there). 1 for an unknown
// operation.
int ApplyBatchScoreOperation(FlashcardStore* store, const ChunkedArray* list, int32_t scorefile, int32_t operation,
                             int32_t amount, ImportTransferCallback callback, void* context);

// Each card with its assignments and score rows. Without a list every row
// of every score table, of the assignments and of the cards goes, in one
// transaction: 0, or the failure (nothing deleted). Profiles, scorefiles
// and categories stay.
int DeleteCards(FlashcardStore* store, const ChunkedArray* list, ImportTransferCallback callback, void* context);
// Each custom card becomes an entry of the newest user dictionary of its
// language (made when there is none) and is linked to it. No transaction
// of its own: every entry and card is written as it is made.
int ConvertCustomCardsToUserDict(FlashcardStore* store, const ChunkedArray* list, ImportTransferCallback callback,
                                 void* context);

// How several entries found for a card are dealt with.
enum : uint32_t { kRelinkUseBest = 0, kRelinkSkip = 1, kRelinkAsk = 2 };
// Field masks of the card text shown with the question, with and without
// the alternative headword first.
inline constexpr uint32_t kRelinkQuestionAltFirstMask = 519;
inline constexpr uint32_t kRelinkQuestionMask = 7;
// The slot of RelinkCardsToDictionary that means each card's own
// dictionary.
inline constexpr uint16_t kRelinkOwnDictionary = 65535;
// Result of RemapCardsToDictionary when the callback asked to stop.
inline constexpr int kRelinkStopped = -1;

// Links the cards (count ids, `stride` words apart) to the entries of the
// dictionary in `slot` that carry their texts. A card of another language
// or already linked to that dictionary stays as it is, as does a card no
// entry matches. Several matches: *mode says (kRelinkAsk puts the question
// to the callback, kind 1, with the card's text, the SearchResultList and
// the best match; its answers are those of the import's ambiguity
// question, and may change *mode for the rest). Progress after every card
// from firstPosition on. 0; 1 for a dictionary that takes no cards;
// kRelinkStopped when the callback asked to stop.
int RemapCardsToDictionary(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride, uint16_t slot,
                           uint32_t* mode, uint32_t firstPosition, ImportTransferCallback callback, void* context);
// Saves each linked card again from its entry while the entry's dictionary
// is open, taking the entry's current texts. Progress after every card.
// 0 (a card that cannot be saved is passed over).
int RefreshLinkedCards(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride,
                       uint32_t firstPosition, ImportTransferCallback callback, void* context);
// The batch command: kRelinkOwnDictionary refreshes the cards from their
// own entries; another slot remaps them to that dictionary, asking about
// several matches when a callback is given (else taking the best). 0; 1
// for a slot beyond the open dictionaries or a dictionary that takes no
// cards; a failed BEGIN or COMMIT. A stop asked for by the callback ends
// the command after committing what was done (0).
int RelinkCardsToDictionary(FlashcardStore* store, const ChunkedArray* list, uint16_t slot,
                            ImportTransferCallback callback, void* context);
// The cards linked to one user-dictionary entry, refreshed after the entry
// was edited (the engine calls it through its host table). 1 without doing
// anything while the store's index upgrade is pending; else 0, or 1 at the
// first card that cannot be saved (0 also when no card matches or the
// selection cannot be made).
int RelinkCardsOfUserEntry(FlashcardStore* store, uint32_t creator, uint32_t dictId, int32_t uid);
