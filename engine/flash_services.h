// What the engine, the lookup sessions and the user dictionaries use of the
// flashcard engine. The flashcard subsystem defines these; the store may be
// absent and every caller tests for that first.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct FlashcardStore;

// Opens the store over the engine's user databases (creating the database
// that `arg` names when none is found). Null when none could be opened.
FlashcardStore* OpenFlashcardStoreFromEngine(DictEngine* engine, void* arg);
// Writes back what is unsaved and frees the store; nothing for null. 0.
int CloseFlashcardStore(FlashcardStore* store);

// Input of SaveCard, cleared by the caller.
struct CardEditRecord {
  int32_t scorefile;          // gets a score row for a new card; -1 none, -2 all
  uint32_t reserved1;
  uint32_t reserved2;
  const int32_t* categories;  // category ids to file the card in
  uint32_t categoryCount;
  uint32_t linked;         // 1: texts come from the entry (dictSlot, entry)
  uint32_t duplicateMode;  // 0, 1, 4: reuse a card with the same texts; 3: always add
  uint32_t dictSlot;
  uint32_t entry;
  uint32_t reserved9[6];
  uint32_t usedExisting;  // result: an existing card was used
  uint32_t filed;         // result: filed in at least one category
};

// Card id, or -1 (no store, a dictionary with flag 0x100, an unreadable
// entry, a database error). Card id -1 inserts.
int32_t SaveCard(FlashcardStore* store, CardEditRecord* record, int32_t cardId);
// 1 when the store's indexes are current, 0 while they need their upgrade.
int IsFlashcardIndexCurrent(FlashcardStore* store);
int RelinkCardsOfUserEntry(FlashcardStore* store, uint32_t creator, uint32_t dictId, int32_t uid);
// 0 with the name (cut to *length, terminated) and *length its length; the
// ids -1, -2, -3 are "None", "Flashcards", "Uncategorized"; 1 for no category.
int GetCategoryDisplayName(FlashcardStore* store, int32_t category, WCHAR* buffer, uint32_t* length);

// Filled by the flashcard engine for the test window's layout.
struct SessionDisplayLayout {
  uint32_t fields[19];
};
enum : uint32_t {
  kLayoutAnswerMode = 1,
  kLayoutForm = 2,
  kLayoutWritingHeight = 3,
  kLayoutChoiceRows = 4,
  kLayoutMargin = 5,
  kLayoutFirstBottomButton = 7,  // 7-13
};
