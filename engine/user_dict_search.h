// The user-dictionary search: the wildcard matcher that confirms candidate
// rows, the LIKE patterns over the stored key forms, the English look-up in
// the alphadex table, the search of the entries table, and SearchUserDict,
// which picks between them and the position tables
// (user_dict_posdex_search.h). Statuses are the search methods' (kSearchExact,
// kSearchPartial, kSearchNothing).
//
// Wildcards: the single-character one is preference 120, the any-run one
// preference 121.
#pragma once

#include <cstdint>

#include "engine/pinyin.h"
#include "platform/types.h"

struct DictEngine;
struct SearchMethod;
struct SearchResultList;

// Small tests shared by the user-dictionary search, its position-table
// search and its display.
namespace userdict {
inline bool IsCjk(WCHAR c) { return (c >= 0x3400 && c <= 0xFAFF) || (c >= 0xD800 && c <= 0xDBFF); }
inline bool IsSyllableCode(WCHAR c) { return c >= kSyllableFirst && c <= kSyllableLastArea; }
inline bool IsAsciiLetter(WCHAR c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
// The pinyin of one syllable code with its tone digit; its length.
uint32_t SyllableText(DictEngine* engine, WCHAR code, WCHAR* out, uint32_t size);
}  // namespace userdict

// Entry texts are compared over at most this many characters.
inline constexpr uint32_t kMatchTextMax = 128;

// The number of query characters an entry matches, 0 for no match. query
// holds characters, syllable codes (with their range ends in bounds, which
// may be null: one code each) and the two wildcards. word and altword are
// the stored headwords (key marks allowed), pron the stored pronunciation.
// With wholeMatch the entry must end where the query ends. Runs of the
// any-run wildcard are matched in time polynomial in the lengths.
uint32_t MatchUserDictEntry(DictEngine* engine, WCHAR singleWildcard, WCHAR anyWildcard, const WCHAR* query,
                            const WCHAR* bounds, const WCHAR* word, const WCHAR* altword, const WCHAR* pron,
                            int wholeMatch);

// LIKE patterns over the stored word key and pron key (LocalFree them);
// length 0: the whole text. markers: U+0001 after every piece that more
// input follows, so that a caller can cut the pattern back piece by piece.
inline constexpr WCHAR kPatternMarker = 0x0001;
WCHAR* MakeHeadwordLikePattern(DictEngine* engine, const WCHAR* text, uint32_t length, int trailingAny,
                               int markers);
WCHAR* MakePronLikePattern(DictEngine* engine, const WCHAR* text, const WCHAR* bounds, uint32_t length,
                           int trailingAny, int markers);

// English look-up: the first word (alphabetically) that begins with the
// longest beginning of the query. 0 exact, 1 partial (bestMatch says how
// many letters matched), 2 nothing; 1 also without database.
int SearchUserDictAlphadex(DictEngine* engine, uint16_t slot, const WCHAR* query, SearchResultList* list);

// Searches one user dictionary for a search method. A dictionary with its
// search tables answers the Chinese kinds (1, 2) from its position tables
// when it has Chinese headwords and the English kinds (4, 5) from its
// alphadex table when it has English ones; everything else is searched in
// the entries table by LIKE patterns with each candidate confirmed by the
// matcher. 0 exact, 1 partial, 2 nothing; 1 without database. The method's
// wholeKey is the prefix flag, keepPartial the shorten flag, strictExact
// the exactness flag.
//
// Results are plain uids: the rank of a Chinese result, the entry's
// length, is read from the entry when the results are sorted, so no uid is
// cut to make room for it.
int SearchUserDict(DictEngine* engine, SearchMethod* method, uint16_t slot, SearchResultList* list);
int SearchUserDictTable(DictEngine* engine, const SearchMethod* method, uint16_t slot, SearchResultList* list);
