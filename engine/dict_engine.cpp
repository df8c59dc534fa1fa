#include "engine/dict_engine.h"

#include <cstring>

#include "engine/builtin_tables.h"
#include "engine/code_pages.h"
#include "engine/data_file_db.h"
#include "engine/data_resources.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/record_cache.h"
#include "engine/sql_db.h"
#include "engine/stream_file.h"
#include "platform/heap.h"


namespace {

void KeepTable(MemHandle* handle, uint32_t recordSize, EngineBuiltinTable* table) {
  table->handle = handle;
  if (!handle) return;
  table->data = static_cast<const uint8_t*>(handle->data);
  table->count = GetMemHandleSize(handle) / recordSize;
}

void CopyNarrow(char* dst, const char* src, uint32_t max) {
  uint32_t i = 0;
  for (; src && i < max && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
}

}  // namespace

DictEngine* CreateEngine(DbFile* const* files, uint32_t fileCount, const EngineParams* params) {
  static const EngineParams kNoParams{};
  if (!params) params = &kNoParams;
  auto* engine = static_cast<DictEngine*>(LocalAlloc(LPTR, sizeof(DictEngine)));
  if (!engine) return nullptr;
  if (fileCount > kMaxEngineReaders) fileCount = kMaxEngineReaders;
  engine->dataOnly = params->dataOnly ? 1 : 0;
  engine->host = params->host;

  uint32_t mode = (params->dataOnly || params->smallCache) ? kRecordCacheMode64
                  : params->smallestCache                  ? kRecordCacheMode32
                                                           : 0;
  engine->cache = NewRecordCache(mode);
  if (!engine->cache) {
    LocalFree(engine);
    return nullptr;
  }

  for (uint32_t i = 0; i < fileCount; ++i) {
    if (!files || !files[i]) continue;
    DataFileDb* db = OpenDataFileDb(files[i], engine->cache);
    if (db) engine->readers[engine->readerCount++] = db;
  }

  if (!params->dataOnly && params->userDbNames) {
    uint32_t n = params->userDbCount < kMaxUserDatabases ? params->userDbCount : kMaxUserDatabases;
    for (uint32_t i = 0; i < n; ++i) {
      SqlDb* db = params->userDbNames[i] ? SqlOpen(params->userDbNames[i]) : nullptr;
      if (db) engine->userDbs[engine->userDbCount++] = db;
    }
  }

  BuildDictSlots(engine, engine->readers, engine->readerCount, engine->userDbs, engine->userDbCount);
  LoadCodePages(engine, engine->readers, engine->readerCount);

  // A record this engine did not write is treated as missing.
  bool usedDefaults = true;
  if (params->engineRecord) {
    auto* data = static_cast<const uint8_t*>(LockMemHandle(params->engineRecord));
    engine->preferences = ReadEngineBlob(data, GetMemHandleSize(params->engineRecord));
    UnlockMemHandle(params->engineRecord);
    usedDefaults = engine->preferences == nullptr;
  }
  if (!engine->preferences) engine->preferences = NewDefaultPreferences();

  if (!params->dataOnly && !params->noFlashcards)
    engine->flashcards = HostOpenFlashcardStore(engine, params->flashcardArg);
  // With dataOnly set this loads the syllable index groups only.
  LoadDataResources(engine);

  CopyNarrow(engine->userFolder, params->userFolder, kUserFolderMax);
  CopyNarrow(engine->userExtension, params->userExtension, kUserExtensionMax);

  KeepTable(LoadZhuyinSpellingTable(), 6, &engine->zhuyinSpelling);
  KeepTable(LoadZhuyinIndexTable(), 12, &engine->zhuyinIndex);
  KeepTable(LoadPinyinSpellingTable(), 6, &engine->pinyinSpelling);
  KeepTable(LoadPinyinFinalsTable(), 3, &engine->pinyinFinals);
  engine->toneVowelHandle = NewToneVowelTable();
  if (engine->toneVowelHandle) engine->toneVowels = static_cast<const WCHAR*>(engine->toneVowelHandle->data) + 1;

  BuildDictOrderLists(engine, params->dictsRecord);
  if (usedDefaults) SetDefaultCurrentDicts(engine);

  engine->scaleNumerator = params->scaleNumerator;
  engine->scaleDenominator = params->scaleDenominator;
  engine->scaled = params->scaleNumerator > params->scaleDenominator ? 1 : 0;

  if (!params->noFonts) HostAddFontSlots(engine, params->fontFiles, params->fontFileCount);
  return engine;
}

void FreeEngineSaveBlock(EngineSaveBlock* block) {
  if (!block) return;
  FreeMemHandle(block->engineRecord);
  FreeMemHandle(block->dictsRecord);
  LocalFree(block);
}

EngineSaveBlock* DestroyEngine(DictEngine* engine) {
  if (!engine) return nullptr;
  auto* result = static_cast<EngineSaveBlock*>(LocalAlloc(LPTR, sizeof(EngineSaveBlock)));
  FreeDictSlots(engine);
  HostFreeFontSlots(engine);
  CloseReaderPositionStore(engine);
  HostCloseFlashcardStore(engine, engine->flashcards);
  engine->flashcards = nullptr;
  FreeCodePages(engine);
  // Its cursors give their records back before the cache goes.
  FreeDataResources(engine);
  FreeRecordCache(engine->cache);
  engine->cache = nullptr;
  for (uint32_t i = 0; i < engine->readerCount; ++i) CloseDataFileDb(engine->readers[i]);
  engine->readerCount = 0;
  for (uint32_t i = 0; i < engine->userDbCount; ++i) SqlClose(engine->userDbs[i]);
  engine->userDbCount = 0;
  for (MemHandle*& h : engine->entryText) {
    FreeMemHandle(h);
    h = nullptr;
  }
  MemHandle* dicts = FreeDictOrderLists(engine);
  MemHandle* prefs = MakeEngineBlob(engine->preferences);
  FreePreferenceBlock(engine->preferences);
  engine->preferences = nullptr;
  FreeTableHandle(engine->pinyinSpelling.handle);
  FreeTableHandle(engine->zhuyinSpelling.handle);
  FreeTableHandle(engine->zhuyinIndex.handle);
  FreeTableHandle(engine->pinyinFinals.handle);
  FreeTableHandle(engine->toneVowelHandle);
  LocalFree(engine);
  if (!result) {
    // Nowhere to hand the records over.
    FreeMemHandle(dicts);
    FreeMemHandle(prefs);
    return nullptr;
  }
  result->engineRecord = prefs;
  result->dictsRecord = dicts;
  return result;
}

MemHandle* SaveEngineBlobs(DictEngine* engine, MemHandle** dicts) {
  if (!engine) return nullptr;
  if (dicts) *dicts = SaveDictOrderLists(engine);
  return MakeEngineBlob(engine->preferences);
}

int ResetPreferences(DictEngine* engine) {
  if (!engine) return 1;
  FreePreferenceBlock(engine->preferences);
  engine->preferences = NewDefaultPreferences();
  SetDefaultCurrentDicts(engine);
  FreeMemHandle(FreeDictOrderLists(engine));
  return BuildDictOrderLists(engine, nullptr);
}

void SetDefaultCurrentDicts(DictEngine* engine) {
  if (!engine) return;
  SetPref(engine, kPrefCurrentLanguage, 4096);
  if (engine->orderListCount < 2) return;
  const DictOrderList* chinese = engine->orderLists[0];
  if (chinese->count) {
    const DictOrderSaved& s = chinese->items[0].saved;
    SetPref(engine, kPrefChineseCreator, static_cast<int32_t>(s.creator));
    SetPref(engine, kPrefPopupCreator, static_cast<int32_t>(s.creator));
    SetPref(engine, kPrefChineseDictId, static_cast<int32_t>(s.dictId));
    SetPref(engine, kPrefPopupDictId, static_cast<int32_t>(s.dictId));
    SetPref(engine, kPrefPopupEntry, -1);
  }
  const DictOrderList* english = engine->orderLists[1];
  if (english->count) {
    const DictOrderSaved& s = english->items[0].saved;
    SetPref(engine, kPrefEnglishCreator, static_cast<int32_t>(s.creator));
    SetPref(engine, kPrefEnglishDictId, static_cast<int32_t>(s.dictId));
  }
}

FlashcardStore* GetFlashcardStore(DictEngine* engine) { return engine ? engine->flashcards : nullptr; }

int CanCreateUserData(DictEngine*) { return 1; }

int QueryEngineCapability(DictEngine* engine, int kind, uint32_t arg) {
  if (!engine) return 0;
  switch (kind) {
    case 1:
      return engine->resources && engine->resources->radical ? 1 : 0;
    case 2:
      return FindCodePage(arg, engine) ? 1 : 0;
    case 3:
      return engine->resources && engine->resources->auxIndex ? 1 : 0;
    case 4:
      return engine->resources && engine->resources->syllableGroupCount > 0 ? 1 : 0;
    case 5:
      for (uint16_t s = 0; s < engine->slotCount; ++s)
        if (GetDictFlags(engine, s) & kDictFlagCharDict) return 1;
      return 0;
    default:
      return 0;
  }
}

uint32_t GetCharsetModeCode(DictEngine* engine) {
  switch (GetPref(engine, kPrefCharsetMode)) {
    case 0:
      return 0xF003;
    case 1:
      return 0x1001;
    case 2:
      return 0x1002;
    case 3:
      return 0x3001;
    default:
      return 0;
  }
}

int VacuumUserDatabases(DictEngine* engine) {
  for (uint32_t i = 0; engine && i < engine->userDbCount; ++i) SqlVacuum(engine->userDbs[i]);
  return 0;
}

void ApplyEngineFontRenderMode(DictEngine* engine) { HostApplyFontRenderMode(engine); }

void CloseReaderPositionStore(DictEngine* engine) {
  if (!engine || !engine->readerPositionStore) return;
  CloseAppStreamFile(engine->readerPositionStore);
  engine->readerPositionStore = nullptr;
}

void ReloadEngineResources(DictEngine* engine) {
  if (!engine) return;
  LoadDataResources(engine);  // frees the old set first
}
