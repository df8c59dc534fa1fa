// Search methods: one per kind of search. CreateSearchMethod turns a query
// into the keys the kind's index needs (syllable key pairs, character
// pairs, letter triples, folded text) and picks the method that searches
// one dictionary's index tables into a result list.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/syllable_keys.h"
#include "platform/types.h"

struct DictEngine;
struct SearchRequest;
struct SearchResultList;

// Kinds of search.
enum SearchKind : int32_t {
  kSearchChineseHeadword = 1,  // pinyin, zhuyin or characters
  kSearchChineseWildcard = 2,
  kSearchChineseText = 3,   // characters inside definitions
  kSearchEnglishHeadword = 4,
  kSearchEnglishWildcard = 5,
  kSearchEnglishText = 6,  // words inside definitions
};

// Result codes of a method for one dictionary.
enum : int {
  kSearchExact = 0,
  kSearchPartial = 1,
  kSearchNothing = 2,
  kSearchTooCommon = 3,
  kSearchExactButErhua = 4,  // inside the Chinese headword search only
};

// Method flags (kinds 1-3).
enum : uint32_t {
  kMethodLeadingWildcard = 0x1,
  kMethodEndsWithSyllable = 0x2,
  kMethodNoTones = 0x4,
  kMethodAllSingle = 0x8,
  kMethodSomeSingle = 0x10,
};

// Index table types.
inline constexpr uint32_t kCharPairIndexType = 0x1120;
inline constexpr uint32_t kWordIndexType = 0x1130;
inline constexpr uint32_t kRankedWordIndexType = 0x1131;
inline constexpr uint32_t kTripleIndexType = 0x1140;

inline constexpr uint32_t kMethodKeyUnits = 40;

struct SearchMethod;
using SearchMethodFn = int (*)(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);

struct SearchMethod {
  const WCHAR* query;
  int32_t kind;
  uint8_t keepPartial;
  uint8_t wholeKey;
  uint8_t exactLength;
  uint8_t strictExact;
  SearchMethodFn method;
  // Kinds 1-3.
  SyllableKeyList keys;
  uint32_t parseWord;  // bit 0: the query was shortened before it parsed
  uint32_t* pairs;     // character pairs c1 << 16 | c2
  uint32_t pairCount;
  // Kinds 4 and 6: letter key without and with spaces.
  WCHAR key[kMethodKeyUnits];
  WCHAR spacedKey[kMethodKeyUnits];
  // Kind 5.
  uint32_t* tripleLows;
  uint32_t* tripleHighs;
  uint32_t tripleCount;
};

// The record of a kind, or null (no key could be made, another kind, or
// no memory); *flags gets the method flags. FreeSearchMethod frees it.
SearchMethod* CreateSearchMethod(DictEngine* engine, const SearchRequest* request, int32_t kind, uint32_t* flags);
void FreeSearchMethod(SearchMethod* method);
// 1 when the query as a whole does not parse as syllables, so that the
// method of kinds 1-3 would take it shortened (parseWord bit 0): found by
// the first of the parses CreateSearchMethod makes, without the rest.
int QueryIsShortenedToParse(DictEngine* engine, const SearchRequest* request);

int SearchChineseHeadword(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);
int SearchChineseText(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);
int SearchEnglishHeadword(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);
int SearchEnglishWildcard(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);
int SearchEnglishWords(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);
// The indexes of n candidates in the order of their entries (value & mask,
// where mask is the low `bits` bits), those of one entry in index order:
// the order sorting entry << 32 | index gives. SearchEnglishWords visits
// its candidates so.
std::vector<uint32_t> OrderCandidatesByEntry(const uint32_t* values, uint32_t n, uint32_t mask, uint32_t bits);
int SearchSyllableKey(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list,
                      uint32_t keyIndex);
// 0 when SearchChineseHeadword in this built-in dictionary cannot come out
// exact (kSearchExact), found by walking the prefix index for each key
// without listing an entry; 1 when it may, or when that cannot be told so
// (wildcards, keys not taken whole, the exact-length rule, another language).
int ChineseHeadwordMayBeExact(DictEngine* engine, SearchMethod* method, uint16_t slot);

// 1 when the texts match, either holding the wildcards `one` (one letter)
// and `many` (any letters); parentheses, case and non-letters are ignored.
int MatchWildcardText(const WCHAR* a, const WCHAR* b, WCHAR one, WCHAR many);
