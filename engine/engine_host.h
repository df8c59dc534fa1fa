// What the engine calls of the layers above it: the flashcard store and the
// font slots. The engine links against neither; whoever creates the engine
// (the program's start-up, a test) fills an `EngineHost` with the functions
// of those layers and hands it over in `EngineParams`, the way a zlib stream
// takes its allocator. The flashcard code defines `SaveCard` and the rest
// under their own names; start-up puts them in the table.
//
// A null host, or a null member, means that part is not there: the engine
// then behaves as with no flashcard database (no store, every card call
// fails with -1 or 1) and no fonts (no font slot is made). The Host*
// functions below are the only way engine code reaches the table; each
// checks for the missing member itself.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct FlashcardStore;

// Input of SaveCard, cleared by the caller.
struct CardEditRecord {
  int32_t scorefile;          // gets a score row for a new card; -1 none, -2 all
  int32_t initialScore;       // of that row
  int32_t initialDifficulty;  // of that row
  const int32_t* categories;  // category ids to file the card in
  uint32_t categoryCount;
  uint32_t linked;         // 1: texts come from the entry (dictSlot, entry)
  uint32_t duplicateMode;  // 0, 1, 4: reuse a card with the same texts; 3: always add
  uint32_t dictSlot;
  uint32_t entry;
  // Custom cards (linked = 0): language (4096 Chinese, 0 English) and texts.
  uint32_t language;
  const WCHAR* headword;
  const WCHAR* altHeadword;
  const WCHAR* pronunciation;
  const WCHAR* definition;
  uint32_t reserved;
  uint32_t usedExisting;  // result: an existing card was used
  uint32_t filed;         // result: filed in at least one category
};

// Filled by the flashcard engine for the test window's layout; read by the
// toolkit's test-window layout. Kept here because neither of those two
// libraries links the other.
struct SessionDisplayLayout {
  uint32_t fields[19];
};
enum : uint32_t {
  kLayoutLanguage = 0,
  kLayoutAnswerMode = 1,
  kLayoutForm = 2,
  kLayoutWritingHeight = 3,
  kLayoutChoiceRows = 4,
  kLayoutMargin = 5,
  kLayoutDefinitionSize = 6,
  kLayoutFirstBottomButton = 7,  // 7-13: back, info, delete, score, category, remove, audio
  kLayoutCategoryId = 14,        // the category button's category
  kLayoutTop1Clock = 15,         // top field 1 shows the clock
  kLayoutTop1Timer = 16,         // top field 1 shows a running time
  kLayoutTop2Clock = 17,
  kLayoutTop2Timer = 18,
};

struct EngineHost {
  // Handed to nobody by the engine; a host function that needs its own
  // state reads it back through GetEngineHost(engine)->context.
  void* context;

  // Flashcard store. Open over the engine's user databases, creating the
  // database `arg` names when none is found (null: none opened); close
  // writes back what is unsaved and frees the store (0).
  FlashcardStore* (*openFlashcardStore)(DictEngine* engine, void* arg);
  int (*closeFlashcardStore)(FlashcardStore* store);
  // Card id, or -1. Card id -1 inserts.
  int32_t (*saveCard)(FlashcardStore* store, CardEditRecord* record, int32_t cardId);
  // 1 when the store's indexes are current, 0 while they need their upgrade.
  int (*isFlashcardIndexCurrent)(FlashcardStore* store);
  // 0, or the first failure's code.
  int (*relinkCardsOfUserEntry)(FlashcardStore* store, uint32_t creator, uint32_t dictId, int32_t uid);
  // 0 with the name (cut to *length, terminated), 1 for no category.
  int (*getCategoryDisplayName)(FlashcardStore* store, int32_t category, WCHAR* buffer, uint32_t* length);

  // Font slots over the given UTF-8 font paths, kept in the engine's
  // fontSlots; freed again at destruction; the render-mode preference
  // applied to every slot.
  void (*addFontSlots)(DictEngine* engine, const char* const* paths, uint32_t count);
  void (*freeFontSlots)(DictEngine* engine);
  void (*applyFontRenderMode)(DictEngine* engine);
};

// The table the engine was created with, or null.
const EngineHost* GetEngineHost(const DictEngine* engine);

// The engine's calls through its host. Without the member each answers as
// with no flashcard database or no fonts.
FlashcardStore* HostOpenFlashcardStore(DictEngine* engine, void* arg);           // null
void HostCloseFlashcardStore(DictEngine* engine, FlashcardStore* store);         // nothing
int32_t HostSaveCard(DictEngine* engine, CardEditRecord* record, int32_t card);  // -1
int HostIsFlashcardIndexCurrent(DictEngine* engine);                             // 1 (no store to upgrade)
int HostRelinkCardsOfUserEntry(DictEngine* engine, uint32_t creator, uint32_t dictId, int32_t uid);  // 0
// 1 and an empty buffer (length 0) without a store.
int HostGetCategoryDisplayName(DictEngine* engine, int32_t category, WCHAR* buffer, uint32_t* length);
void HostAddFontSlots(DictEngine* engine, const char* const* paths, uint32_t count);
void HostFreeFontSlots(DictEngine* engine);
void HostApplyFontRenderMode(DictEngine* engine);
