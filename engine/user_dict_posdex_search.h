// The Chinese kinds of the user-dictionary search over the eight position
// tables of an indexed dictionary.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct SearchMethod;
struct SearchResultList;

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
