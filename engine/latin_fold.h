// Folding of accented Latin letters to their base letters, the letter keys
// and the accent-blind find built on it.
//
// FoldToKey defines the letter keys of English headwords: the English
// headword index (search mode 0, see engine/text_compare.h) is sorted by
// the key without spaces, and the search folds the query the same way.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Longest letter key FoldToKey produces (units, terminator not counted).
constexpr uint32_t kFoldKeyMaxUnits = 256;

// The base letter of U+00C0-U+017F and U+01CD-U+01DC (À -> A, ǚ -> u,
// Ð -> D, ĸ -> q); every other unit, × and ÷ come back unchanged. The
// ligatures Æ æ Œ œ Ĳ ĳ Þ þ ß give two letters: the second goes to
// *second (may be null), which is otherwise left as it was.
WCHAR FoldLatinLetter(WCHAR unit, WCHAR* second);

// Writes src folded (a ligature as its two letters) into dst of `size`
// units including the terminator; nothing happens when size is 0.
void FoldTextN(WCHAR* dst, const WCHAR* src, uint32_t size);

// The letter key of src written to dst (at most `size` units including the
// terminator; nothing when size is 0): reading src, "(" skips up to and
// including the next ")" (an unclosed one ends the key), a markup unit
// U+EA00-U+EA8F after the first unit ends the key; each unit is folded,
// A-Z lowered, letters kept (a ligature with its second letter), a space
// kept only with keepSpaces, everything else dropped; at most
// kFoldKeyMaxUnits units. Returns the key's length as written.
uint32_t FoldToKeyCopy(WCHAR* dst, uint32_t size, const WCHAR* src, bool keepSpaces);
// The same, rewriting text in place.
void FoldToKey(WCHAR* text, uint32_t size, bool keepSpaces);
// Length of the letter key of text.
uint32_t FoldedKeyLength(const WCHAR* text, bool keepSpaces);

// Accent- and case-blind find of pattern at the start of a word of text
// (non-letters of either side are passed over while matching; a ligature
// matches its two letters). Without `anywhere` the match must also end at
// a word end. Returns the match start, or null (also for a pattern without
// letters); *length (optional) receives the text units the match covers.
const WCHAR* FindFolded(const WCHAR* text, const WCHAR* pattern, uint32_t* length, bool anywhere);
