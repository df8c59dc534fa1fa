#include "flash/store.h"

#include <sqlite3.h>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/engine_time.h"
#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "flash/card_batch.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/store_schema.h"
#include "platform/device_paths.h"
#include "platform/engine_lock.h"
#include "platform/files.h"
#include "platform/heap.h"

namespace {

// After a rollback the file no longer holds what memory says: memory
// follows the file again. `value` is the current profile from before the
// transaction.
void ReloadAfterRollback(SqlDb*, void* context, int64_t value) {
  auto* store = static_cast<FlashcardStore*>(context);
  FreeFlashList(&store->profiles);
  FreeFlashList(&store->scorefiles);
  UnloadProfileSettingsCache(store);
  store->currentProfile = static_cast<int32_t>(value);
  SetPref(store->engine, kPrefCurrentProfile, store->currentProfile);
}

// A new database: the default scorefile and the three profiles, all or
// nothing.
int FillNewDatabase(FlashcardStore* store) {
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  rc = CreateScorefile(store, u"Default", -1) > 0 ? SQLITE_OK : SQLITE_ERROR;
  const int32_t simple = rc == SQLITE_OK ? CreateProfile(store, u"Simple", -1) : -1;
  if (simple <= 0) rc = SQLITE_ERROR;
  if (rc == SQLITE_OK) rc = SelectFlashProfile(store, simple);
  const int32_t weighted = rc == SQLITE_OK ? CreateProfile(store, u"Weighted", -1) : -1;
  if (weighted <= 0) rc = SQLITE_ERROR;
  if (rc == SQLITE_OK) rc = ResetProfileToPreset(store, weighted, 2);
  const int32_t spaced = rc == SQLITE_OK ? CreateProfile(store, u"Spaced Repetition", -1) : -1;
  if (spaced <= 0) rc = SQLITE_ERROR;
  if (rc == SQLITE_OK) rc = ResetProfileToPreset(store, spaced, 1);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

// The engine's database that holds the oldest flashcard database, or null.
SqlDb* ChooseDatabase(FlashcardStore* store) {
  DictEngine* engine = store->engine;
  SqlDb* chosen = nullptr;
  uint32_t chosenCreated = 0;
  uint8_t chosenUpgrade = 0;
  for (uint32_t i = 0; i < engine->userDbCount; ++i) {
    SqlDb* db = engine->userDbs[i];
    uint32_t created = 0;
    uint8_t upgrade = 0;
    if (!RecognizeFlashcardDatabase(db, &created, &upgrade)) continue;
    if (chosen) {
      store->severalDatabases = 1;
      // Of equally old ones, the one written last: the whole write time,
      // since its low word alone wraps every few minutes.
      if (!(created < chosenCreated || (created == chosenCreated && db->writeStamp > chosen->writeStamp))) continue;
    }
    chosen = db;
    chosenCreated = created;
    chosenUpgrade = upgrade;
  }
  store->needsIndexUpgrade = chosenUpgrade;
  return chosen;
}

// Removes a file this store made and could not fill: it was empty before.
void RemoveCreatedFile(const char* path) { DeleteFileW(Utf8ToUtf16(path).c_str()); }

}  // namespace

int32_t FlashNow() { return static_cast<int32_t>(GetUtcSeconds()); }

int FlashRegisterRollback(FlashcardStore* store) {
  return SqlOnRollback(store->database, ReloadAfterRollback, store, store->currentProfile);
}

FlashcardStore* OpenFlashcardStore(DictEngine* engine, const char* defaultPath) {
  if (!engine) return nullptr;
  EngineLockGuard lock;
  auto* store = static_cast<FlashcardStore*>(LocalAlloc(LPTR, sizeof(FlashcardStore)));
  if (!store) return nullptr;
  store->engine = engine;
  for (uint32_t i = 0; i < kProfileSettingCount; ++i) store->settings[i].id = i;
  store->database = ChooseDatabase(store);
  if (store->database) {
    const int32_t wanted = GetPref(engine, kPrefCurrentProfile);
    if (ProfileExists(store, wanted)) {
      store->currentProfile = wanted;
    } else if (!store->profiles.loaded) {
      // No memory for the list: no store, rather than a current profile
      // chosen from a list that could not be read.
      store->database = nullptr;
    } else {
      store->currentProfile = GetProfileIdByIndex(store, 0);
      SetPref(engine, kPrefCurrentProfile, store->currentProfile);
    }
  } else if (defaultPath && engine->userDbCount < kMaxUserDatabases) {
    store->database = CreateFlashcardSchema(engine, defaultPath);
    if (store->database && FillNewDatabase(store) != SQLITE_OK) {
      SqlClose(store->database);
      store->database = nullptr;
      RemoveCreatedFile(defaultPath);
    }
    if (store->database) engine->userDbs[engine->userDbCount++] = store->database;
  }
  if (!store->database) {
    CloseFlashcardStore(store);
    return nullptr;
  }
  store->properties = SqlNewPropertyList(kFpCount, kFlashPropertyNames, kFpCount);
  if (!store->properties || SqlLoadPropertySet(store->database, kFlashPropertiesTable, 0, store->properties) != 0) {
    CloseFlashcardStore(store);
    return nullptr;
  }
  return store;
}

FlashcardStore* OpenFlashcardStoreFromEngine(DictEngine* engine, void* arg) {
  return OpenFlashcardStore(engine, static_cast<const char*>(arg));
}

int CloseFlashcardStore(FlashcardStore* store) {
  if (!store) return 0;
  EngineLockGuard lock;
  ClearProfileSettingRecords(store->settings, kProfileSettingCount);
  SqlFreePropertyList(store->properties);
  if (store->database) {
    SaveFlashListRecords(store, kFlashListProfiles, 1);
    SaveFlashListRecords(store, kFlashListScorefiles, 1);
    FlushDirtyCategories(store, 1);
  }
  UnloadCategories(store);
  FreeFlashList(&store->profiles);
  FreeFlashList(&store->scorefiles);
  LocalFree(store);
  return 0;
}

int WereMultipleFlashcardDbsFound(const FlashcardStore* store) { return store && store->severalDatabases ? 1 : 0; }
int NeedsFlashcardIndexUpgrade(const FlashcardStore* store) { return store && store->needsIndexUpgrade ? 1 : 0; }
int IsFlashcardIndexCurrent(FlashcardStore* store) { return NeedsFlashcardIndexUpgrade(store) ? 0 : 1; }

int RunFlashcardIndexUpgrade(FlashcardStore* store, int (*progress)(void*), void* context) {
  if (!store) return 1;
  if (!store->needsIndexUpgrade) return 0;
  EngineLockGuard lock;
  if (progress) SqlSetProgressHandler(store->database, progress, context);
  const int rc = UpgradeFlashcardIndexes(store->database);
  if (progress) SqlSetProgressHandler(store->database, nullptr, nullptr);
  if (rc == 0) store->needsIndexUpgrade = 0;
  return rc;
}

void FillFlashcardHost(EngineHost* host) {
  if (!host) return;
  host->openFlashcardStore = OpenFlashcardStoreFromEngine;
  host->closeFlashcardStore = CloseFlashcardStore;
  host->isFlashcardIndexCurrent = IsFlashcardIndexCurrent;
  host->saveCard = SaveCard;
  host->getCategoryDisplayName = GetCategoryDisplayName;
  host->relinkCardsOfUserEntry = RelinkCardsOfUserEntry;
}
