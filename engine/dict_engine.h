// The engine object: the data-file readers over one shared record cache, the
// user databases, the dictionary slots and order lists, the preferences, the
// data resources, the flashcard store and the font slots. The application
// makes it once at start-up and destroys it at shutdown, receiving the
// "Engine" and "Dicts" records to save.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct AppStreamFile;
struct CodePageSet;
struct DataFileDb;
struct DataResources;
struct DbFile;
struct DictOrderList;
struct DictSlot;
struct EngineHost;
struct FlashcardStore;
struct FontSlot;
struct MemHandle;
struct PreferenceBlock;
struct RecordCache;
struct SqlDb;

inline constexpr uint32_t kMaxEngineReaders = 512;
inline constexpr uint32_t kMaxUserDatabases = 512;
inline constexpr uint32_t kMaxFontSlots = 16;
inline constexpr uint32_t kMaxDictSlots = 64;
inline constexpr uint16_t kNoDictSlot = 65535;
inline constexpr uint32_t kUserFolderMax = 255;
inline constexpr uint32_t kUserExtensionMax = 7;

// Filled and owned by the application's start-up; CreateEngine only reads it.
struct EngineParams {
  MemHandle* engineRecord;  // saved "Engine" record, or null for the defaults
  MemHandle* dictsRecord;   // saved "Dicts" record, or null
  const char* const* userDbNames;  // UTF-8 device paths of user dictionaries
  uint16_t userDbCount;            // at most 512 are used
  const char* const* fontFiles;    // UTF-8 paths for the font slots
  uint16_t fontFileCount;
  uint8_t noFonts;
  uint8_t noFlashcards;
  // No user databases and none of the derived data (table groups, the
  // flashcard store, the auxiliary index, the radical table); 64-entry cache.
  uint8_t dataOnly;
  uint8_t smallCache;     // 64-entry record cache
  uint8_t smallestCache;  // 32-entry record cache
  void* flashcardArg;     // handed to the host's openFlashcardStore unchanged
  // The layers above the engine (engine/engine_host.h); kept, not copied, so
  // it must outlive the engine. Null: no flashcard store and no font slots.
  const EngineHost* host;
  const char* userFolder;     // prefix of new user-dictionary paths, or null
  const char* userExtension;  // extension of new user-dictionary files, or null
  // Display scale: the resolution factor over its base 3.
  uint32_t scaleNumerator;
  uint32_t scaleDenominator;
};

// One built-in table kept for the engine's life.
struct EngineBuiltinTable {
  MemHandle* handle;
  const uint8_t* data;
  uint32_t count;  // records
};

struct DictEngine {
  DataFileDb* readers[kMaxEngineReaders];
  uint16_t readerCount;
  RecordCache* cache;
  SqlDb* userDbs[kMaxUserDatabases];
  uint16_t userDbCount;
  FontSlot* fontSlots[kMaxFontSlots];  // owned by the font-slot module
  uint16_t fontSlotCount;
  DictSlot* slots[kMaxDictSlots];
  uint16_t slotCount;
  DictOrderList* orderLists[2];  // 0 Chinese headwords, 1 English
  uint16_t orderListCount;       // 2 while the lists exist
  FlashcardStore* flashcards;
  const EngineHost* host;  // from EngineParams; may be null
  // Radical table, table groups, syllable index groups and the auxiliary
  // index: made by LoadDataResources over all readers (engine/data_resources.h).
  DataResources* resources;
  CodePageSet* codePages;  // owned by the code-page module
  PreferenceBlock* preferences;
  AppStreamFile* readerPositionStore;  // opened by the reader, closed at destruction
  uint8_t scaled;  // scaleNumerator > scaleDenominator
  uint32_t scaleNumerator;
  uint32_t scaleDenominator;
  MemHandle* entryText[2];  // kept by the entry fetch for reuse
  char userFolder[kUserFolderMax + 1];
  char userExtension[kUserExtensionMax + 1];
  // Set from EngineParams: LoadDataResources loads only the syllable index
  // groups while it is set.
  uint8_t dataOnly;
  EngineBuiltinTable zhuyinSpelling;  // 6 bytes a record
  EngineBuiltinTable zhuyinIndex;     // 12 bytes a record
  EngineBuiltinTable pinyinSpelling;  // 6 bytes a record
  EngineBuiltinTable pinyinFinals;    // 3 bytes a record
  MemHandle* toneVowelHandle;
  const WCHAR* toneVowels;  // entry 1 of the tone-vowel table
};

// What DestroyEngine hands back (LocalFree the block after saving and freeing
// each record). `unused` is always null.
struct EngineSaveBlock {
  MemHandle* engineRecord;  // "Engine", version 12
  MemHandle* unused;
  MemHandle* dictsRecord;  // "Dicts", version 13; null when the lists were empty
};

// Never fails except when the heap is exhausted (null). Files that the
// reader refuses and user databases that do not open are passed over. The
// DbFiles stay the caller's: the engine reads through them and never closes
// them.
DictEngine* CreateEngine(DbFile* const* files, uint32_t fileCount, const EngineParams* params);
EngineSaveBlock* DestroyEngine(DictEngine* engine);
// Frees the block and both records, for callers that keep neither; null is
// ignored.
void FreeEngineSaveBlock(EngineSaveBlock* block);

// A new "Engine" record; `dicts` (optional) receives the "Dicts" record.
MemHandle* SaveEngineBlobs(DictEngine* engine, MemHandle** dicts);
// Back to the default preferences; the order lists are rebuilt without their
// saved order. Returns what BuildDictOrderLists returns.
int ResetPreferences(DictEngine* engine);
// Preferences 39-46 from the first items of the order lists.
void SetDefaultCurrentDicts(DictEngine* engine);

FlashcardStore* GetFlashcardStore(DictEngine* engine);
int CanCreateUserData(DictEngine* engine);
// kind 1 radical table, 2 code page `arg`, 3 auxiliary index, 4 a syllable
// index group, 5 a character dictionary (flag 0x10); else 0.
int QueryEngineCapability(DictEngine* engine, int kind, uint32_t arg);
// By preference 91: 0xF003, 0x1001, 0x1002, 0x3001, or 0.
uint32_t GetCharsetModeCode(DictEngine* engine);
int VacuumUserDatabases(DictEngine* engine);
void ApplyEngineFontRenderMode(DictEngine* engine);
// Frees the data resources and loads them again over every reader (after
// readers were added).
void ReloadEngineResources(DictEngine* engine);
// Closes the reader's position store when the engine holds one.
void CloseReaderPositionStore(DictEngine* engine);
