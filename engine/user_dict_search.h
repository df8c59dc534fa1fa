// The parts of the user-dictionary search that stand on their own: the
// wildcard matcher that confirms candidate rows, the LIKE patterns over the
// stored key forms, and the English look-up in the alphadex table.
//
// Wildcards: the single-character one is preference 120, the any-run one
// preference 121.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct EntryFetchRequest;
struct SearchMethod;
struct SearchResultList;
struct TextBuffer;

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

// Display text of a user entry for the entry fetch: 0; 65532 when the
// entry does not exist (0 also for a slot without database). With
// kFetchDictNameAfter the dictionary's short name follows in brackets.
int LoadUserDictEntryText(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer);
// Formats one entry (texts as stored, UTF-8) with the style codes of the
// text service: the headword forms (tone colours, a link, the other form in
// brackets), the pronunciation in bold and the definition. 0.
int FormatUserDictEntry(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer, const char* word,
                        const char* altword, const char* pron, const char* defn);

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

// The Chinese kinds over the position tables. Each reading of the query
// (the method's key pairs; the query read as pinyin when it has none),
// from the last to the first, is answered by one indexed query per
// character or syllable at the first four places, the candidates cut by
// sorted intersection; the deepest place that kept candidates gives the
// results (shallower ones, when it gives none, only under the shorten
// flag): under the prefix flag all of them, else those no longer than the
// places matched. Syllables without tone or cut short ask for the range of
// codes they stand for. Readings with more places than the tables hold,
// or with wildcards, read their candidates' entries and check them with
// the matcher as the entries-table search does. A trailing any-run
// wildcard is ignored. A reading whose places cannot be known (a leading
// any-run) or that holds characters the tables do not keep (letters, a
// typed ellipsis) sends the whole method to the entries-table search. Of
// the readings a better status replaces the results of the others; of two
// partial ones, the one that leaves fewer characters unmatched stays.
int SearchUserDictSyllables(DictEngine* engine, const SearchMethod* method, uint16_t slot, SearchResultList* list);
