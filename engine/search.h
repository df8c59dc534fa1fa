// Search: the entry point of every lookup. Classifies the query into kinds
// of search, searches the dictionaries of each kind in the user's order,
// keeps the first dictionary with exact matches (or the longest partial
// match), then ranks and sorts the items. FindEntriesByHeadword ties a
// headword (and pronunciation) back to its entries.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct SearchResultList;

enum SearchKindMode : uint16_t {
  kKindModeByLanguage = 0,
  kKindModeEnglishFirst = 1,
  kKindModeBoth = 2,
  kKindModeBothNoPinyinTest = 3,
};

enum : uint32_t {
  kSortKeepOrder = 0,
  kSortByEntry = 1,
  kSortByRank = 2,
};

// Cleared by the caller before it sets the fields it needs.
struct SearchRequest {
  const WCHAR* query;
  const uint16_t* slots;  // only these, in this order, when slotCount > 0
  uint16_t slotCount;
  uint16_t language;     // 4096 Chinese, 0 English
  uint16_t currentSlot;  // 65535 none
  uint8_t anyLanguageStart;
  uint32_t sortMode;
  uint8_t wholeSyllables;
  uint8_t keepPartial;
  uint8_t wholeKey;
  uint8_t exactLength;
  uint8_t strictExact;
  uint8_t partialIsExact;
  uint8_t currentOnly;
  uint8_t allDictionaries;
  uint8_t fullText;
  uint8_t addFullText;
  uint8_t addHeadword;
  uint8_t plainWildcards;
  uint8_t searchListOnly;
  uint8_t readerListOnly;
  uint16_t kindMode;  // SearchKindMode
  uint8_t allLanguagesFirst;
  // The kinds strictly in their order: no later kind tried ahead of the
  // pinyin search (the outcome is the same; tests compare the two ways).
  uint8_t kindsInOrder;
};

// The list (the caller frees it), or null when nothing was searchable or
// nothing found.
SearchResultList* Search(DictEngine* engine, SearchRequest* request);

SearchResultList* FindEntriesByHeadword(DictEngine* engine, const uint32_t* slots, uint32_t slotCount,
                                        const WCHAR* headword, const WCHAR* alternative, const WCHAR* pronunciation,
                                        uint32_t language, uint32_t transLanguage, int flag, int stopAtFirstDict,
                                        int stopAtFirstHit, int unique);

// Internals shared with the search methods and tests.
uint32_t ClassifyQuery(DictEngine* engine, const SearchRequest* request, int32_t kinds[3], int* noDictionary);
uint32_t BuildSearchDictList(DictEngine* engine, const SearchRequest* request, int32_t kind, int firstKind,
                             uint16_t* slots);
int IsDictSearchable(DictEngine* engine, const SearchRequest* request, uint16_t slot, uint32_t language,
                     uint32_t transLanguage);
void SortSearchResults(DictEngine* engine, const SearchRequest* request, int32_t kind, SearchResultList* list,
                       uint32_t methodFlags);
void CleanSearchKey(WCHAR* key, WCHAR* parallel, int keepSlashes);
