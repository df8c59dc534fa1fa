// Text comparisons. Several of them define sort orders that the data files
// rely on: the reader binary-searches tables that the data-file writer
// (tools/databuild) sorted, so both call these same functions and an order
// is defined in one place only.
//
// Orders defined here:
// - Tables searched by text (first-key texts of the block index and the
//   rows inside each block), by search mode; CompareTableText(mode, a, b)
//   is the whole order:
//   - mode 0, the English headword letter-key index: both texts turned into
//     their letter key without spaces (FoldToKey, engine/latin_fold.h),
//     then CompareNatural (digit runs compare as numbers, "a9" < "a10");
//   - modes 5 and 6, the English word posting index: both texts cut by
//     TrimCompareText, then EnglishKeyCmp (case-folded letters only, "(...)"
//     skipped, à á â as a, è é ê as e);
//   - mode 7, the syllable clip index: WideStrCmp (plain unit order) of the
//     text that follows the row's two leading data units (the caller passes
//     the text itself);
//   - other modes compare nothing (0).
// - The pinyin spelling table (450 rows of 6 blank-padded ASCII bytes) is
//   searched with PinyinWordCmpNarrow; its rows ascend under it.
// - Not table orders, but fixed rules the callers rely on: WideStrPrefixCmp
//   (its tie rule: b a prefix of a, or equal, is 0; a ending first is -1)
//   for the recent-query list; EnglishKeyCommonLength and CommonPrefixLength
//   for the best-match lengths of search results.
// - Keyed tables ascend by unsigned key and posting lists by (value & mask);
//   see IntersectSortedWords in engine/index_search.h.
//
// Results are differences (a's unit minus b's at the first place they
// differ) unless said otherwise; callers use only the sign.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Plain unit order.
int WideStrCmp(const WCHAR* a, const WCHAR* b);
// a's bytes sign-extended to 16 bits (0x80-0xFF compare as U+FF80-U+FFFF).
int NarrowWideCmp(const char* a, const WCHAR* b);
// As WideStrCmp, but a place where either unit is w matches any one unit
// (never a text's end). The comparison ends where a ends: equal when b's
// unit there is 0 or w. w = 0 means no wildcard.
int WideStrCmpWildcard(const WCHAR* a, const WCHAR* b, WCHAR w);
// Compares while both have units: the difference at the first unequal
// place; 0 when b ends first or both end together (b is a prefix of a or
// equal); -1 when a ends first.
int WideStrPrefixCmp(const WCHAR* a, const WCHAR* b);

// English key order: only letters count. In each text "(" skips up to and
// including the next ")" (not nested; an unclosed one skips the rest),
// U+00E0-U+00E2 count as "a" and U+00E8-U+00EA as "e", every other unit
// that is not A-Z or a-z is passed over, and letters compare with A-Z as
// a-z. 0 when both run out together; else the difference of the folded
// letters, a text that ran out having 0 there.
int EnglishKeyCmp(const WCHAR* a, const WCHAR* b);
// Letters that agree from the start under the EnglishKeyCmp rules; when
// both run out together the end counts as one more agreeing place.
uint32_t EnglishKeyCommonLength(const WCHAR* a, const WCHAR* b);
// Both at once, in one walk: EnglishKeyCmp's result, and the common length
// into *common.
int EnglishKeyCmpCommon(const WCHAR* a, const WCHAR* b, uint32_t* common);

// Leading places where the units agree with A-Z folded to a-z; equal texts
// count their terminator too (length + 1).
uint32_t CommonPrefixLength(const WCHAR* a, const WCHAR* b);
uint32_t CommonPrefixLengthNarrow(const WCHAR* a, const char* b);  // b sign-extended
// As CommonPrefixLengthNarrow with U+00DC and U+00FC (ü) in a read as "v".
uint32_t PinyinCommonLengthNarrow(const WCHAR* a, const char* b);
// As PinyinCommonLengthNarrow; a space in a ends the count.
uint32_t PinyinWordCommonLengthNarrow(const WCHAR* a, const char* b);

// Case-folded, at most n places: the first difference ends it, except that
// a's terminator against b's space is equal and gives 1; 0 after n places
// or when a reached its terminator or a space.
int WordPrefixCmpNarrow(const WCHAR* a, const char* b, uint32_t n);
// Case-folded, ü in a read as v, at most n places; stops with 0 at a's
// terminator or space. Letters (a-z after folding) of both: the first
// unequal pair gives the difference; a letter in a only: 1; in b only: -1;
// in neither: 0.
int PinyinWordCmpNarrow(const WCHAR* a, const char* b, uint32_t n);

// For each CJK character (U+3400-U+D7FF) of b, at CJK index k: a holds the
// same character at CJK index k, where a "/" in a lowers the index by one
// ("X/Y" alternatives share a place). 0 when all were found, else 1.
int MatchCharsByPosition(const WCHAR* a, const WCHAR* b);
// 1 when both texts hold the same pinyin syllables (codes U+E000-U+E9EF,
// tone ignored: (code - 0xE000) / 5), every other unit and every syllable
// inside parentheses ignored; else 0.
int EntryTextsMatch(const WCHAR* a, const WCHAR* b);

// Walks both texts together; where both hold an ASCII digit the whole digit
// runs compare as numbers (of any length) and the first numeric difference
// is the result; otherwise the first differing units give it. 0 if equal.
int CompareNatural(const WCHAR* a, const WCHAR* b);
// Units that TrimCompareText keeps.
uint32_t TrimCompareLength(const WCHAR* text);
// Cuts text in place at the first of: a "." after an earlier blank (the cut
// moves back to the nearest blank before the "."), "=", ",", or a unit
// U+4E00-U+9FAF. A text without any of them stays whole.
void TrimCompareText(WCHAR* text);

// The order of a table searched by text in the given mode (see the top of
// this file). Works on the texts as given (they are not changed).
int CompareTableText(int mode, const WCHAR* a, const WCHAR* b);
