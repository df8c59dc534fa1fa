// Index search: the walks over a dictionary's prefix index (table 0x1100)
// and the reads and intersections of its posting indexes (0x1120, 0x1130,
// 0x1131, 0x1140). Read only; the search methods build on it.
//
// Prefix index: column c >= 1 holds one node per entry key of at least c
// characters, its key rows are the c-th characters, each row's record the
// run of nodes sorted by value; a node of column c >= 2 holds the position
// of the same key's node in column c - 1, a node of column 1 the entry.
// Column 0 groups entries by one character.
//
// Posting indexes: column 0's key rows own the entries that contain the key;
// the single value 2^w - 1 (w the value width in bits) marks a key too
// common to be listed. Word postings (0x1130/0x1131) keep the word as text
// at the start of the record, padded to 4 bytes, then w-bit values.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct MemHandle;
struct RangeList;
struct RowRange;
struct SearchResultList;
struct TableCursor;

enum : uint32_t {
  kPrefixSingleColumn0 = 1,  // a key of one character goes through column 0
  kPrefixMatchOnly = 2,      // only the characters matched: nothing is added (the list may be null)
};

// The value positions owned by the key rows of keys low up to high (high
// excluded; low alone when equal): 1 found, 0 none.
int FindKeyRowRange(TableCursor* cursor, uint32_t column, uint32_t low, uint32_t high, RowRange* range);

// Matches key characters from `position` on, one column each, until the key
// ends, a wildcard, or nothing survives. On return *current holds the
// ranges of the last matched column (the lists may have changed places);
// the position where matching stopped is returned.
uint32_t MatchIndexLevel(TableCursor* cursor, const WCHAR* low, const WCHAR* high, uint32_t position, WCHAR wildcard,
                         RangeList** current, RangeList** spare, int* stillMatching);

// Adds (slot, entry) for every key that matches low/high (a wildcard stands
// for one character; at most three runs between wildcards are searched)
// when at least `minimum` characters matched. Returns the characters matched.
uint32_t SearchPrefixIndex(TableCursor* cursor, uint16_t slot, const WCHAR* low, const WCHAR* high,
                           SearchResultList* list, uint32_t minimum, WCHAR wildcard, uint32_t options);

// Adds the column-0 entries of the characters low up to high (high
// excluded; low alone when equal). 0.
int SearchSingleCharacter(TableCursor* cursor, uint16_t slot, WCHAR low, WCHAR high, SearchResultList* list);

// Largest posting list read at once (values); a longer one reads as cut.
inline constexpr uint32_t kPostingReadLimit = 1u << 22;

// The values of rows first up to end (excluded) into storage (grown as
// needed), sorted ascending when several rows were read: the count, or -1
// when a value is the too-common mark.
int32_t ReadPostingRange(TableCursor* cursor, uint32_t column, uint32_t firstRow, uint32_t endRow,
                         MemHandle* storage);

// The entries found under every key (lows[i] alone, or lows[i] up to
// highs[i] inclusive), compared under mask: a handle of *count values sorted
// ascending (the caller frees it), or null when some key has no row at all
// (or memory ran out). Too-common keys are passed over.
MemHandle* IntersectPostingRanges(TableCursor* cursor, uint32_t column, const uint32_t* lows, const uint32_t* highs,
                                  uint32_t keyCount, uint32_t* count, uint32_t mask);

// The w-bit postings of a word row when its stored word equals `word` (A-Z
// folded; in prefix mode the stored word may go on): the count, 0 when the
// word differs (or the record is malformed), -1 when too common.
int32_t ReadWordPostings(TableCursor* cursor, uint32_t column, uint32_t row, uint32_t w, MemHandle* storage,
                         const WCHAR* word, int prefixMode);

// Intersection of two posting lists, MemHandles of unsigned 32-bit values
// sorted ascending by (value & mask). List A keeps, in order, the values
// whose masked value also occurs in B (B's cursor only moves forward); a
// kept value equal to 0xFFFFFFFF is dropped too, as that value marks the
// dropped ones. Counts beyond a handle's size are cut to it. Returns A's
// new count.
uint32_t IntersectSortedWords(MemHandle* listA, uint32_t countA, MemHandle* listB, uint32_t countB, uint32_t mask);
// The same over lists of 8-byte pairs compared by their first word; with
// `take`, a kept pair's first word becomes B's first word. Dropped pairs
// are marked 0xFFFFFFFF in both words, and marked pairs are removed.
uint32_t IntersectSortedPairs(MemHandle* listA, uint32_t countA, MemHandle* listB, uint32_t countB, uint32_t mask,
                              bool take);
