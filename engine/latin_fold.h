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

// FindFolded(text, pattern, nullptr, true) asked of a text that comes unit
// by unit, so that a caller producing the text can stop at the first match
// (a match at a word start stays one whatever follows it). The pattern's
// folded letters are matched together (shift-and, one bit a letter).
struct FoldedPattern {
  uint64_t letterMask[27];  // bit i: the pattern's letter i is that letter; [26] (no letter) is 0
  uint64_t last;            // the bit of the pattern's last letter
};
// One text's state.
struct FoldedMatch {
  uint64_t state;  // bit i: the pattern's letters 0..i end here
  uint64_t start;  // 1 when the next letter begins a word (a match may start there)
  bool found;
};

// False when the pattern has no letter or more than 64 (then only
// FindFolded answers).
bool InitFoldedPattern(FoldedPattern* pattern, const WCHAR* text);
inline void StartFoldedMatch(FoldedMatch* match) { *match = FoldedMatch{0, 1, false}; }
// A unit from U+0080 on: FeedFoldedMatch's rarer case.
bool FeedFoldedMatchLatin(const FoldedPattern& pattern, FoldedMatch* match, WCHAR unit);
// Takes the text's next unit; true when the pattern has been found (then
// the text's answer is known: feed it no more).
[[gnu::always_inline]] inline bool FeedFoldedMatch(const FoldedPattern& pattern, FoldedMatch* match, WCHAR unit) {
  // As FindFolded walks the text: a unit that folds to a letter gives it
  // (a ligature its two letters); a match may begin only at the first unit
  // of a run of such units, and passes over every other unit.
  if (static_cast<uint32_t>(unit - 0xC0) <= 0x1DCu - 0xC0u) {
    // Through a copy: the caller's state never has its address taken, so
    // it can stay in registers in the caller's loop.
    FoldedMatch copy = *match;
    const bool found = FeedFoldedMatchLatin(pattern, &copy, unit);
    *match = copy;
    return found;
  }
  // Every other unit without a branch on its kind, which follows the text
  // too irregularly to be foreseen: A-Z and a-z give their letter (0-25),
  // the rest 26, whose mask is 0 and which leaves the state as it was
  // (so not found: the state was not before).
  uint32_t letter = (unit | 0x20u) - u'a';
  letter = letter < 26 && unit < 0x80 ? letter : 26;
  const uint64_t s = ((match->state << 1) | match->start) & pattern.letterMask[letter];
  match->state = letter < 26 ? s : match->state;
  match->start = letter < 26 ? 0 : 1;
  match->found = (match->state & pattern.last) != 0;
  return match->found;
}
