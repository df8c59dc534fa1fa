// The flashcard store: the one open flashcard database of a program run and
// the caches every flashcard operation works through. It is made while the
// engine is created (the engine calls OpenFlashcardStoreFromEngine through
// its host table, engine/engine_host.h) and closed when the engine goes.
//
// Results follow the engine: 0 is success, 1 (or an SQLite code where
// stated) failure. Every function takes the engine lock itself; a worker
// thread holds it around each call as it does around engine calls.
#pragma once

#include <cstdint>

#include "flash/profile_lists.h"
#include "flash/profile_settings.h"

struct DictEngine;
struct MemHandle;
struct SqlDb;
struct SqlPropertyList;

// Categories and their tree rows are filled by the category module; the
// store only owns the fields so that closing can write them back.
struct FlashCategoryList {
  void* records;
  MemHandle* handle;
  int32_t count;
  uint8_t loaded;
};

struct FlashcardStore {
  DictEngine* engine;
  SqlDb* database;              // borrowed from the engine's database list
  SqlPropertyList* properties;  // property set 0 of "sorvi_flash_properties"
  int32_t currentProfile;       // mirrored in preference 82
  ProfileSettingRecord settings[kProfileSettingCount];
  uint8_t settingsLoaded;
  uint8_t severalDatabases;
  uint8_t needsIndexUpgrade;
  FlashCategoryList categories;
  void* categoryTreeRows;
  int32_t categoryTreeRowCount;
  FlashList profiles;
  FlashList scorefiles;
};

// The store over the oldest flashcard database among the engine's open
// databases, or over a new one created at `defaultPath` (a UTF-8 device
// path, may be null) when none qualifies. Null when neither works.
FlashcardStore* OpenFlashcardStore(DictEngine* engine, const char* defaultPath);
// The host-table form: `arg` is the default path (const char*) as the
// creator of the engine passed it in EngineParams.flashcardArg.
FlashcardStore* OpenFlashcardStoreFromEngine(DictEngine* engine, void* arg);
// Writes the dirty list records, frees the store; the database stays open
// (the engine closes it). 0; null is accepted.
int CloseFlashcardStore(FlashcardStore* store);

int WereMultipleFlashcardDbsFound(const FlashcardStore* store);
int NeedsFlashcardIndexUpgrade(const FlashcardStore* store);
int IsFlashcardIndexCurrent(FlashcardStore* store);
// Makes the two missing indexes; `progress` (optional) is the database's
// progress handler for the run. 0 (also when nothing was needed; the flag
// is then clear), 1 on failure.
int RunFlashcardIndexUpgrade(FlashcardStore* store, int (*progress)(void*), void* context);

// Puts the store's services into a host table (the other members are left
// as they are).
struct EngineHost;
void FillFlashcardHost(EngineHost* host);

// The current time as stored in every time column: seconds since 1970, UTC.
int32_t FlashNow();
// Registers, in the open transaction, that a rollback reloads the lists,
// the settings cache and the current profile from the file (0, or the
// SqlOnRollback failure). A change calls it once its statements have
// succeeded and before it changes memory, so that its own failure leaves
// memory alone and a caller's later rollback brings memory back.
int FlashRegisterRollback(FlashcardStore* store);
