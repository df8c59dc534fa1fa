// Lookup services: what the two lookup sessions (the main screen's
// LookupSession and the editors' LinkLookup) and the application share to
// turn a session's state into engine calls: the search request built from a
// few option bits and the preferences, the row to select among homographs,
// the dictionary cycle of the "next dictionary" button, the definition and
// list-row texts, the pronunciation clips of an entry, the tool-bar button
// states and the compounds search of the character page. No state of their
// own besides preferences.
//
// The functions that take a LookupSession are declared in lookup_session.h.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct CardEditRecord;
struct DictEngine;
struct DictOrderSaved;
struct EntryFetchRequest;
struct MemHandle;
struct SearchRequest;
struct SearchResultList;

// Option bits of RunLookupSearch.
enum : uint32_t {
  kLookupRepeat = 0x1,             // the query in the given language only (kind mode 0)
  kLookupAnyLanguageStart = 0x2,   // start at the given dictionary even for its other language
  kLookupExact = 0x4,              // with 0x8 too: the link search of the editors
  kLookupReaderList = 0x8,         // search the reader list instead of the search list
  kLookupCurrentOnly = 0x20,       // the given dictionary only
  kLookupAllLanguagesFirst = 0x40,
};

// Option bits of FindNextDictionary.
enum : uint32_t {
  kCycleFullText = 0x1,
  kCycleReaderList = 0x2,
  kCycleAllLists = 0x4,
  kCycleAllListsToo = 0x8,
  kCycleSkipCharacterDicts = 0x10,
};

// Built-in messages shown in place of a definition; the session's display
// states 3 and 4 are these numbers.
enum : uint32_t {
  kMessageNoMatches = 3,
  kMessageDictionaryGone = 4,
  kMessageEntryDeleted = 5,
  kMessageNoDefinition = 7,
};

// Filled by the button-state queries.
struct LookupButtonInfo {
  uint32_t code;
  int32_t reserved;         // -1
  uint32_t iconFillColor;   // 0x00BBGGRR
  uint32_t iconTextColor;   // -1: default
  WCHAR iconText[4];        // 3 units and a terminator
};

// ---- search ----

// The request RunLookupSearch hands to Search (cleared first).
void BuildLookupSearchRequest(DictEngine* engine, const WCHAR* text, uint32_t language, uint16_t slot,
                              uint32_t options, SearchRequest* request);
// The result list of Search for the text, or null.
SearchResultList* RunLookupSearch(DictEngine* engine, const WCHAR* text, uint32_t language, uint16_t slot,
                                  uint32_t options);
// Leading superscript digits of a query (U+2070-U+2079, U+00B9, U+00B2,
// U+00B3) as a number; *capitalised (optional) is 1 when the character after
// them is A-Z. Returns the number of digit units read.
uint32_t ReadHomographMark(const WCHAR* text, uint16_t* number, uint8_t* capitalised);
// Row of the first of the first 64 results whose headword carries the
// homograph number (0: any) and the capital mark; 0 when none.
uint32_t PickHomographResult(DictEngine* engine, const SearchResultList* list, uint16_t number, uint8_t capitalised);
// Row of the designated dictionary's marked ("*") best match; 0 when none.
uint32_t PickMarkedResult(DictEngine* engine, const SearchResultList* list);
// The dictionary id PickMarkedResult looks for.
inline constexpr uint32_t kMarkedResultDictId = 0x53324345;  // "S2CE"

// ---- dictionary cycle ----

// The saved part of the slot's order record; null when the slot is in no
// order list. Its savedPosition and savedEntry are the session's.
DictOrderSaved* FindDictOrderPosition(DictEngine* engine, uint16_t slot);
// With pick: the slot of the n-th dictionary of the cycle, or 65535;
// without: how many dictionaries the cycle has.
uint32_t CountCycleDictionaries(DictEngine* engine, uint32_t language, int fullText, int allLists, int pick,
                                uint32_t n);
// n >= 0: the n-th of the cycle (CountCycleDictionaries with pick); n < 0:
// the next after the current slot, never the current dictionary itself.
// 65535 when none.
uint16_t FindNextDictionary(DictEngine* engine, uint32_t language, uint16_t current, int32_t n, uint32_t options);

// ---- entry text ----

// Copies built-in message n with its terminator into the handle (grown when
// smaller); 1 when message n does not exist.
int LoadBuiltinMessage(uint32_t n, MemHandle* handle);
// The definition text of (slot, entry) into the handle; entry -1 gives
// message `message` (5 when 0). Flag bits: 0x1 short form, 0x2 one line,
// 0x8 inverts 0x1000000, 0x1000000 the second display mode. 0.
int FormatEntryText(DictEngine* engine, MemHandle* handle, uint16_t slot, uint32_t entry, uint32_t message,
                    uint32_t flags);
// The request FormatEntryText fetches an entry with (cleared first); for a
// character dictionary its first fetch, the one of the headword and readings.
void BuildEntryTextRequest(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t flags,
                           EntryFetchRequest* request);
// The headword (or, with pronunciation, the syllables) of the entry into the
// caller's buffer of `size` units; the fetch result.
int FetchEntryPart(DictEngine* engine, uint16_t slot, uint32_t entry, WCHAR* buffer, uint32_t size, int pronunciation,
                   int rawSyllables);

// ---- audio ----

// The pronunciation clips of an entry into clips[0..count) (handles; sizes
// optional); 0, a LookupSyllableRecord result, or 28688 without a syllable
// index group. `kind` (optional) receives the group's kind.
int CollectEntryAudioClips(DictEngine* engine, int fileSet, uint16_t slot, uint32_t entry, MemHandle* const* clips,
                           uint32_t* sizes, uint16_t* kind);
inline constexpr int kAudioNoGroup = 28688;
inline constexpr int kAudioNotFound = 28678;
int UseAltAudioFileSet(DictEngine* engine, int flag);
int ApplyAudioFileSetPref(DictEngine* engine, int defaultValue);
// The playback of both sessions: the set chosen from *audioSet (which
// becomes that set) is tried first, the other one when it finds nothing.
int CollectEntryAudioAlternating(DictEngine* engine, uint8_t* audioSet, uint16_t slot, uint32_t entry,
                                 MemHandle* const* clips, uint32_t* sizes, uint16_t* kind);

// ---- buttons ----

// Code 14 with the slot's icon text and colours. 0.
int GetDictDisplayInfo(DictEngine* engine, uint16_t slot, LookupButtonInfo* info);

// ---- compounds ----

uint16_t GetCompoundsDict(DictEngine* engine);
int SwitchCompoundsDict(DictEngine* engine);
int GetCompoundsDictInfo(DictEngine* engine, LookupButtonInfo* info);
SearchResultList* SearchCompoundsDict(DictEngine* engine, const WCHAR* query, uint32_t flags);
SearchResultList* FindCompoundsStartingWith(DictEngine* engine, WCHAR character, uint32_t flags);
SearchResultList* FindCompoundsEndingWith(DictEngine* engine, WCHAR character, uint32_t flags);

// ---- cards ----

// The card commands of both sessions: 6 adds with the mode of preference
// 201, 21 adds a new card anyway, 22 uses the entry's existing card.
// Clears and fills the record for (slot, entry), linked to the dictionary,
// without a score file; *category, which the record then points at,
// receives the category used: the argument, the default category
// (preference 83) for a negative argument other than -3, or -3 for none.
void FillLookupCardRecord(DictEngine* engine, uint16_t slot, uint32_t entry, uint32_t command, int32_t argument,
                          CardEditRecord* record, int32_t* category);
// What a card addition reports, given SaveCard's card id: 2 failed (-1),
// 1 a new card, 6 an existing card whose use the user is to be asked (mode
// 4), 5 an existing card filed in the category, 4 an existing card.
uint32_t LookupCardResult(int32_t card, const CardEditRecord* record);
