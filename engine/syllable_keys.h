// Search keys made from a typed pinyin or zhuyin query: each key pair is a
// low and a high key of 40 units (39 and a terminator) that bound the
// syllable codes of one way to read the query. A pinyin query is divided
// into syllables depth first; every complete division gives one pair.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct MemHandle;

inline constexpr uint32_t kSyllableKeyUnits = 40;
// A long ambiguous query ("ananan...") has exponentially many divisions;
// only the first ones, in division order, become key pairs.
inline constexpr uint32_t kMaxSyllableKeyPairs = 64;

struct SyllableKeyItem {
  WCHAR low[kSyllableKeyUnits];
  WCHAR high[kSyllableKeyUnits];
};
static_assert(sizeof(SyllableKeyItem) == 160);

struct SyllableKeyList {
  MemHandle* storage;     // null until the first pair
  SyllableKeyItem* items;  // storage, locked
  uint32_t count;
  uint32_t capacity;
};

// Appends a pair (at most 40 units of each, terminated); a null list is
// left alone. The first pair makes room for 2, a full list grows by 4.
// 0, or 1 when the list could not grow.
int AddSyllableKeyPair(SyllableKeyList* list, const WCHAR* low, const WCHAR* high);
// Frees the storage and empties the list.
void FreeSyllableKeyList(SyllableKeyList* list);

// Divides text from `position` of the caller's two 40-unit keys on; 1 when a
// complete division was found. Of the parse flags 2, 4, 16, 32 and 64 act.
// At most kMaxSyllableKeyPairs divisions are taken (the rest are not looked
// for).
int SplitPinyinSyllables(DictEngine* engine, const WCHAR* text, uint32_t flags, SyllableKeyList* list, WCHAR* low,
                         WCHAR* high, uint32_t position);
// The same with another cap on the divisions taken (0: no cap).
int SplitPinyinSyllablesCapped(DictEngine* engine, const WCHAR* text, uint32_t flags, SyllableKeyList* list,
                               WCHAR* low, WCHAR* high, uint32_t position, uint32_t maxPairs);

// Key pairs of a query: one pair for zhuyin text, the divisions for
// pinyin. 1 when at least one pair was made (list may be null).
int ParseQuerySyllables(DictEngine* engine, const WCHAR* text, uint32_t flags, SyllableKeyList* list);
// 1 when the whole text reads as pinyin (letters only, whole syllables,
// first division).
int ParseQuerySimple(DictEngine* engine, const WCHAR* text);
