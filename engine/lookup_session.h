// The lookup session: the browse state of the main screen, kept apart from
// any window. It holds the current dictionary and entry, whether the list
// shows search results or the dictionary's full word list, the current
// query, the recent queries and the history of shown entries with back and
// forward. The application feeds it typed text (LookupSearchFor) and
// navigation (LookupHandleCommand), asks it for rows, counts and button
// states, and saves its two records ("RecentQueries", "RecentEntries") at
// shutdown and when a notice asks for a save. After every change the
// session calls the application back with a LookupUpdateRecord saying what
// to refresh; it never touches a window itself.
//
// "RecentQueries": RecentQueryRecords of 76 bytes back to back, newest
// first, little-endian: 0 query text (30 UTF-16 units, zero-terminated, at
// most 29 characters), 60 headword language, 64 translation language,
// 68 dictionary creator, 72 dictionary id.
// "RecentEntries": RecentEntryRecords of 12 bytes back to back, newest
// first, little-endian: 0 dictionary creator, 4 dictionary id, 8 entry key
// (GetDictEntryKey). Both are stored as registry records of version 11.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct LookupButtonInfo;
struct MemHandle;
struct SearchResultList;

inline constexpr uint32_t kRecentQueryRecordSize = 76;
inline constexpr uint32_t kRecentEntryRecordSize = 12;
inline constexpr uint32_t kRecentQueryUnits = 30;      // with the terminator
inline constexpr uint32_t kRecentQueryMax = 50;
inline constexpr uint32_t kHistoryMax = 200;
inline constexpr uint32_t kLookupQueryUnits = 40;      // without the terminator
inline constexpr uint32_t kLookupRecordVersion = 11;
inline constexpr uint32_t kLookupSaveSeconds = 30;

// Display states; 3 and 4 are also the built-in messages shown for them.
enum : uint32_t {
  kLookupStateNormal = 0,
  kLookupStateNoMatches = 3,
  kLookupStateDictionaryGone = 4,
};

// Card results of LookupUpdateRecord.
enum : uint32_t {
  kCardResultNone = 0,
  kCardResultAdded = 1,
  kCardResultFailed = 2,
  kCardResultDictCannot = 3,
  kCardResultExisted = 4,
  kCardResultExistedFiled = 5,
  kCardResultAsk = 6,
};
inline constexpr int32_t kCardNoCategory = -3;

// The change notice of the session, cleared before each use.
struct LookupUpdateRecord {
  uint8_t toolBar;        // dictionary, language or list kind changed
  uint8_t definition;     // the shown entry changed: format it again
  uint8_t highlight;      // mark the highlight text in the definition
  uint8_t listRedraw;     // the rows' text changed
  uint8_t listLength;     // the number of rows changed
  uint8_t listSelection;  // the current index changed
  uint8_t entryChosen;    // a search selected an entry
  uint8_t dictNotice;     // show the current dictionary's menu name briefly
  uint8_t searchAgain;    // search again with the input field's text
  uint8_t saveState;      // at least 30 seconds since the last save request
  uint32_t cardResult;    // kCardResult...
  int32_t cardArgument;   // the category used (-3 none); for kind 6 the command's argument
};

// The application's function that receives the notices.
using LookupCallback = int (*)(void* context, const LookupUpdateRecord* update);

// One per dictionary order list: its languages and the dictionary last made
// current in that language (-1, -1 none).
struct LanguageDictRecord {
  uint32_t language;
  uint32_t secondLanguage;
  uint32_t creator;
  uint32_t dictId;
};

struct LookupSessionParams {
  MemHandle* recentQueries;  // "RecentQueries" or null; the session adopts it
  MemHandle* recentEntries;  // "RecentEntries" or null; the session adopts it
  LookupCallback callback;
  void* context;
  uint8_t freshStart;  // none of the saved engine records was found
};

// In memory as on file, but decoded through the functions below.
struct RecentQueryRecord {
  WCHAR text[kRecentQueryUnits];
  uint32_t language;
  uint32_t transLanguage;
  uint32_t creator;
  uint32_t dictId;
};
static_assert(sizeof(RecentQueryRecord) == kRecentQueryRecordSize);

struct RecentEntryRecord {
  uint32_t creator;
  uint32_t dictId;
  uint32_t entryKey;
};
static_assert(sizeof(RecentEntryRecord) == kRecentEntryRecordSize);

// The text always comes back terminated (unit 29 is forced to 0).
void DecodeRecentQueryRecord(const uint8_t* bytes, RecentQueryRecord* record);
void EncodeRecentQueryRecord(const RecentQueryRecord* record, uint8_t* bytes);
void DecodeRecentEntryRecord(const uint8_t* bytes, RecentEntryRecord* record);
void EncodeRecentEntryRecord(const RecentEntryRecord* record, uint8_t* bytes);

struct LookupSession {
  DictEngine* engine;
  LookupCallback callback;
  void* context;
  uint16_t currentSlot;
  uint32_t currentEntry;     // -1 none
  uint32_t currentPosition;  // in the full word list; -1 when reached from results
  uint32_t displayState;
  uint32_t lastSaveTime;
  uint8_t audioSet;
  uint32_t language;  // 4096 or 0: the language of the next query
  uint32_t fullText;
  uint8_t repeat;
  uint8_t dictChosen;
  LanguageDictRecord* languageRecords;
  uint32_t languageRecordCount;
  uint8_t showingResults;
  SearchResultList* results;  // owned; null when no search is active
  uint32_t currentIndex;
  WCHAR query[kLookupQueryUnits + 1];
  WCHAR highlight[kLookupQueryUnits + 1];
  MemHandle* queryHandle;
  RecentQueryRecord* queries;  // locked data of queryHandle
  uint16_t queryCount;
  MemHandle* historyHandle;
  RecentEntryRecord* history;  // locked data of historyHandle
  uint16_t historyCount;
  uint16_t historyIndex;  // 0 = newest
  // The entry editor's target.
  uint16_t editSlot;       // 65535 none
  uint32_t editEntry;      // -1 a new entry
  uint32_t editLanguage;   // 4096 or 0
  uint32_t editReplaced;   // entry to delete when the edit is saved; -1 none
};

// The two records; each null when its list is empty. The caller stores and
// frees them.
struct LookupHistoryBlobs {
  MemHandle* recentQueries;
  MemHandle* recentEntries;
};

// ---- creation ----

LookupSession* NewLookupSession(DictEngine* engine, const LookupSessionParams* params);
// The records (as BuildHistoryBlobs), then everything the session owns.
LookupHistoryBlobs DestroyLookupSession(LookupSession* session, int savePositions);
// With savePositions the current place goes into the order record of the
// current dictionary and the language records into preferences 40-43.
LookupHistoryBlobs BuildHistoryBlobs(LookupSession* session, int savePositions);
int LookupClearRecentData(LookupSession* session);

// ---- searching and showing ----

int LookupSearchFor(LookupSession* session, const WCHAR* text, int force);
void LookupResetQuery(LookupSession* session);
// 1 when the row has no item (no notice); 0 otherwise.
int LookupShowIndex(LookupSession* session, uint32_t index, int listChanged, int toolBar);
int LookupShowEntryAt(LookupSession* session, uint32_t index);
int LookupShowEntry(LookupSession* session, uint16_t slot, uint32_t entry);
// Option bits: 1 keep the result list, 2 take the language from the
// dictionary, 4 keep the current language.
enum : uint32_t {
  kSetDictKeepResults = 0x1,
  kSetDictTakeLanguage = 0x2,
  kSetDictKeepLanguage = 0x4,
};
int LookupSetDictionary(LookupSession* session, uint16_t slot, uint32_t options);
int LookupSelectRecentQuery(LookupSession* session, uint32_t n);

// The session's own steps, for the commands.
void PushHistoryRecord(LookupSession* session, uint16_t slot, uint32_t entry);
void AddRecentQuery(LookupSession* session, const WCHAR* text);
// Sets the save flag when 30 seconds passed since the last save request.
void LookupSaveCheck(LookupSession* session, LookupUpdateRecord* update);
// Refreshes the audio set flag from preference 210.
void LookupRefreshAudioSet(LookupSession* session);
int LookupNotify(LookupSession* session, const LookupUpdateRecord* update);

// ---- queries (no notice) ----

void LookupGetCounts(LookupSession* session, uint32_t* rows, uint32_t* index);
// 0, or 1 (entry -1) in display state 3 or past the result list.
int GetLookupDisplayItem(LookupSession* session, uint32_t row, uint16_t* slot, uint32_t* entry);
uint16_t LookupGetCurrentDict(LookupSession* session);
int LookupIsShowingResults(LookupSession* session);
uint32_t LookupGetRecentQueryCount(LookupSession* session);
// 0 with record n modulo the count, cut to size - 1 units; 1 when none.
int LookupGetRecentQueryText(LookupSession* session, uint32_t n, WCHAR* buffer, uint32_t size);

// ---- commands and the entry editor ----

enum : uint32_t {
  kLookupBack = 0,
  kLookupForward = 1,
  kLookupOtherLanguage = 2,
  kLookupNextDict = 3,
  kLookupDisplayMode = 4,
  kLookupToggleList = 5,
  kLookupAddCard = 6,
  kLookupNextEntry = 7,
  kLookupPreviousEntry = 8,
  kLookupToFullList = 9,
  kLookupToResults = 10,
  kLookupChinese = 11,
  kLookupEnglish = 12,
  kLookupOtherLanguageQuiet = 13,
  kLookupTop = 14,
  kLookupEditPrepare = 15,
  kLookupDeleteCurrent = 16,
  kLookupEditDelete = 17,
  kLookupEditLanguage = 18,
  kLookupEditShow = 19,
  kLookupEditReplace = 20,
  kLookupAddCardAnyway = 21,
  kLookupAddCardExisting = 22,
};

int LookupHandleCommand(LookupSession* session, uint32_t command, int32_t argument);
int LookupIsCurrentDictUsable(LookupSession* session);
int LookupGetEditTarget(LookupSession* session, uint32_t* language, uint16_t* slot, uint32_t* entry,
                        uint32_t* replaced);
int LookupSetEditDict(LookupSession* session, uint16_t slot);
// Clears the four outputs, then reads the editor entry (new MemHandles the
// caller frees) when there is one.
int LookupReadEditEntry(LookupSession* session, MemHandle** word, MemHandle** altword, MemHandle** pron,
                        MemHandle** defn);
int LookupSaveEditEntry(LookupSession* session, const WCHAR* word, const WCHAR* altword, const WCHAR* pron,
                        const WCHAR* defn);

// ---- services over the session ----

// Tool bar (and dictionary notice) after a dictionary change; the query is
// emptied. The callback's result.
int LookupNotifyDictChanged(LookupSession* session);
// Button kind 3: the dictionaries of the session's cycle; else 0.
uint32_t LookupCountCycleDicts(LookupSession* session, uint32_t buttonKind);
int LookupGetCycleDictMenuName(LookupSession* session, uint32_t buttonKind, uint32_t n, WCHAR* buffer,
                               uint32_t size);
int LookupGetDictMenuName(LookupSession* session, WCHAR* buffer, uint32_t size);
// The definition of the current entry (or the display state's message).
int LookupFormatCurrentEntry(LookupSession* session, MemHandle* handle, uint32_t flags);
int LookupFetchEntry(LookupSession* session, WCHAR* buffer, uint32_t size, int pronunciation);
// One list row's text; 1 when the row has no item.
int FormatLookupEntryToBuffer(LookupSession* session, uint32_t row, WCHAR* buffer, uint32_t size);
// 0 with the highlight text's place in text, 1 when not found.
int FindQueryInEntryText(LookupSession* session, const WCHAR* text, uint32_t* start, uint32_t* end);
int GetLookupEntryAudio(LookupSession* session, MemHandle* const* clips, uint32_t* sizes, uint16_t* kind);
int LookupGetNavState(LookupSession* session, uint32_t which, LookupButtonInfo* info);
