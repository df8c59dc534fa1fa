// Importing a file, block by block, into flashcards (tab-separated text or
// the XML exchange format) or into the entries of one user dictionary
// (text). For every card the import finds the dictionary entry, applies
// the ambiguity, missing-entry and duplicate policies (asking through the
// settings' callback when told to), inserts the card with its categories
// (and, from XML, its scores) and logs the id ranges it added in
// "sorvi_flash_imports", so that UndoLastFlashImport can take it back.
//
// The import owns no thread and no file: the caller reads the file and
// feeds its bytes. Work is committed in chunks (every 200 text lines and at
// the end of each text block; every 16 XML blocks and at the end); a
// failure or cancel rolls back only the open chunk, and what was committed
// is covered by the log row. All calls come from one thread.
//
// Callback kinds (ImportTransferCallback in exchange_import_settings.h):
//   0 progress: count = items so far; result 1 cancels.
//   1 ambiguous card: argument the joined text of the card (a terminated
//     UTF-16 text), list the SearchResultList, defaultIndex the preferred
//     entry; result an entry index, kAnswerSkipCard, kAnswerSkipAll,
//     kAnswerUseFirstAll, kAnswerCancel, anything else entry 0.
//   2 duplicate card: argument an ImportDuplicateQuestion; result 0 skip,
//     1 merge categories, 2 replace, 3 allow, 4/5/6 the same as 0/2/3 and
//     the policy switched to it, 7 cancel, anything else allow.
//   3 encoding check (text): argument the first decoded characters of the
//     file (at most 1024, terminated); nonzero cancels.
#pragma once

#include <cstdint>

#include "flash/exchange_import_settings.h"
#include "platform/types.h"

struct DictEngine;
struct FlashImport;
struct FlashcardStore;

enum : uint32_t { kImportAskProgress = 0, kImportAskAmbiguous = 1, kImportAskDuplicate = 2, kImportAskEncoding = 3 };
enum : uint32_t {
  kAnswerSkipAll = 65532,
  kAnswerUseFirstAll = 65533,
  kAnswerSkipCard = 65534,
  kAnswerCancel = 65535,
};
// Characters of the encoding sample.
inline constexpr uint32_t kImportSampleMax = 1024;
// The line limit the import thread passes; the line buffer starts at
// twice this many units and grows, for a longer line, up to
// kImportLineMax units.
inline constexpr uint32_t kImportDefaultLineLimit = 2048;
inline constexpr uint32_t kImportLineMax = 1000000;
// Text lines per committed chunk.
inline constexpr uint32_t kImportLinesPerChunk = 200;

struct ImportDuplicateQuestion {
  const WCHAR* imported;  // joined text of the imported card
  const WCHAR* existing;  // display text of the card already stored
};

// A new import for the settings (copied), or null: a target other than 1
// or 2, XML for a user dictionary, a user dictionary that is not open, or
// no store. The engine lock is taken inside.
FlashImport* CreateFlashImport(DictEngine* engine, const ImportSettingsRecord* settings, uint32_t lineLimit);
// Feeds one block of file bytes; *length (in: the bytes, out: the bytes
// consumed) leaves at most an incomplete character at the end, which the
// caller passes again at the front of the next block. 0 to go on; nonzero
// when the import failed or was cancelled. On a nonzero result, or when
// `final` is set, the import has been ended and freed before the call
// returns. A text line longer than kImportLineMax units fails the import.
int ImportDataBlock(FlashImport* import, const uint8_t* bytes, uint32_t* length, int final);
// Ends the import without more input (failed: roll back the open chunk)
// and frees it; null is accepted.
void EndFlashImport(FlashImport* import, int failed);

// The most recent import: 0 with its times and card count (endcard -
// startcard + 1, 0 without cards); 1 when there is none.
int ReadFlashImportRecord(FlashcardStore* store, int32_t* startTime, int32_t* endTime, int32_t* cardCount);
// Takes the most recent import back in one transaction: its profiles,
// scorefiles (with their score tables), category assignments, categories
// and cards (with their assignments and score rows) go, then its log row;
// the lists are reloaded. Scores the import added to cards that existed
// before it cannot be told apart and stay. 0; nonzero when there is no
// import or a statement failed (nothing changed).
int UndoLastFlashImport(FlashcardStore* store);

// The display text of a stored card that the duplicate question shows
// (a new local-heap string, LocalFree; null when the card cannot be read).
WCHAR* GetImportDuplicateCardText(FlashcardStore* store, int32_t card);
