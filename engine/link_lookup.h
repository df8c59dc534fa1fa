// LinkLookup: the small lookup session of the windows that show one entry
// at a time outside the main screen (the pop-up definition and the
// flashcard editors). It keeps a headword and a reading, searches them,
// keeps the result list and the row shown, steps through rows and
// dictionaries, fetches the entry's texts and audio and adds the entry to
// the flashcards. It sends no notices: the window refreshes itself after
// each call.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct DictEntryRef;
struct LookupButtonInfo;
struct MemHandle;
struct SearchResultList;

inline constexpr uint32_t kLinkTextUnits = 40;

// Marks of a link text that carries a headword and its reading.
inline constexpr WCHAR kLinkHeadwordMark = 0xEAD8;
inline constexpr WCHAR kLinkReadingMark = 0xEAD9;

struct LinkLookup {
  DictEngine* engine;
  WCHAR headword[kLinkTextUnits + 1];
  WCHAR secondText[kLinkTextUnits + 1];  // a reading that chooses among homographs
  uint8_t follow;  // stepping to another entry copies its headword and reading into the two texts
  SearchResultList* results;  // owned, or null
  uint32_t row;
  uint8_t displayMode;     // adds 0x1000000 to the definition's format flags
  uint8_t readerList;      // searches use the reader list
  uint8_t dictChosen;      // a search after a dictionary change starts at it
  uint8_t audioSet;
  uint16_t slot;
  uint32_t entry;
  uint32_t message;   // passed to FormatEntryText for entry -1
  uint32_t language;  // GetDictLanguage of the slot
};

// Where a lookup starts: an entry in DictEntryRef form and the reader-list
// flag (low byte).
struct LinkLookupStart {
  uint32_t creator;
  uint32_t dictId;
  uint32_t entryKey;
  uint32_t readerList;
};

// Card results of the commands 6, 21 and 22.
enum : int {
  kLinkCardNothing = 0,
  kLinkCardAdded = 1,
  kLinkCardFailed = 2,
  kLinkCardNotAllowed = 3,
  kLinkCardExisted = 4,
  kLinkCardFiled = 5,
  kLinkCardAsk = 6,
};

// Null when the heap is exhausted. `start` may be null.
LinkLookup* NewLinkLookup(DictEngine* engine, const LinkLookupStart* start);
// Writes the current entry into `reference` (optional), then frees.
void DestroyLinkLookup(LinkLookup* lookup, DictEntryRef* reference);

int LinkLookupSetTerms(LinkLookup* lookup, const WCHAR* headword, const WCHAR* secondText, int follow);
// 0, or 1 when there is nothing to search.
int LinkLookupSetQuery(LinkLookup* lookup, const WCHAR* text, int plain, int exactLink, uint16_t slot);
// 0, or 1 (a new dictionary without a headword to search in it).
int LinkLookupSetDict(LinkLookup* lookup, uint16_t slot, int keepEntry);
int LinkLookupSetResults(LinkLookup* lookup, const SearchResultList* list, uint32_t row);
int LinkLookupReset(LinkLookup* lookup, uint16_t slot, uint32_t entry);
// 2 other language, 3 next dictionary (argument as FindNextDictionary's n),
// 4 display mode = argument, 6/21/22 add a card (argument: category), 7 next
// and 8 previous entry. 0, or the card result, or 1 (no headword).
int LinkLookupCommand(LinkLookup* lookup, uint32_t command, int32_t argument);

int LinkLookupGetEntry(const LinkLookup* lookup, uint16_t* slot, uint32_t* entry);
uint32_t LinkLookupGetDictLanguage(const LinkLookup* lookup);
void LinkLookupClearDictChosen(LinkLookup* lookup);
int LinkLookupGetPosition(const LinkLookup* lookup, uint32_t* row, uint32_t* count);
int LinkLookupGetDictInfo(const LinkLookup* lookup, LookupButtonInfo* info);

int LinkLookupFormatEntry(const LinkLookup* lookup, MemHandle* handle, uint32_t flags);
int LinkLookupFetchEntry(const LinkLookup* lookup, WCHAR* buffer, uint32_t size, int pronunciation);
int LinkLookupFetchPron(const LinkLookup* lookup, WCHAR* buffer, uint32_t size);
int GetLinkLookupEntryAudio(LinkLookup* lookup, MemHandle* const* clips, uint32_t* sizes, uint16_t* kind);
