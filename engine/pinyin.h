// Syllable codes: inside the engine a Mandarin syllable is one private-use
// character, U+E000 + 5 × syllable + tone (syllables 0-449 are the rows of
// the pinyin spelling table; tone 1-4, 0 neutral or unknown). This module
// renders codes as pinyin or zhuyin and reads typed pinyin and zhuyin into
// codes, over the built-in tables the engine keeps.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct TextBuffer;

inline constexpr WCHAR kSyllableFirst = 0xE000;
inline constexpr WCHAR kSyllableLastArea = 0xE9EF;  // last code that can be a syllable
inline constexpr WCHAR kSyllableSeparator = 0xE9F1;  // the next syllable starts a word
inline constexpr WCHAR kSyllableMarkFirst = 0xE9F0;  // reserved marks, never written
inline constexpr WCHAR kSyllableMarkLast = 0xE9FE;
inline constexpr WCHAR kSyllableNone = 0xE9FF;
inline constexpr WCHAR kTypedEllipsis = 0x2026;  // a typed "_" or "..."

inline constexpr WCHAR SyllableCode(uint32_t syllable, uint32_t tone) {
  return static_cast<WCHAR>(kSyllableFirst + 5 * syllable + tone);
}

// Format flags of FormatSyllableCode and FormatSyllableText.
enum : uint32_t {
  kSyllableTableMask = 0xF000,
  kSyllablePinyin = 0x1000,
  kSyllableZhuyin = 0x3000,
  kSyllableToneMask = 0x000F,
  kSyllableToneDigits = 2,
  kSyllableNoTone = 3,
  kSyllableCaseMask = 0x0030,
  kSyllableCapital = 0x20,
  kSyllableJoinMask = 0x0300,
  kSyllableFollows = 0x200,  // pinyin with tone marks: an apostrophe before a, e, o
  kSyllableAtSigns = 0x400,  // FormatSyllableText: '@' between syllables
};

// Parse flags of ParsePinyinQuery, ParseQuerySyllables and
// SplitPinyinSyllables.
enum : uint32_t {
  kParseDefiniteTone = 1,
  kParseLettersOnly = 2,
  kParseWholeSyllables = 4,
  kParseCapitalWords = 8,
  kParseKeepSeparators = 16,
  kParseSplitBeforeVowel = 32,
  kParseFirstDivision = 64,
};

// Renders one code into the buffer; the characters written (0 for a code
// outside the chosen table or an unknown table).
uint32_t FormatSyllableCode(DictEngine* engine, uint32_t flags, WCHAR code, TextBuffer* buffer);
// The text with every syllable code rendered; the characters written.
uint32_t FormatSyllableText(DictEngine* engine, uint32_t flags, const WCHAR* text, TextBuffer* buffer);
// The letter (a e i o u v ü A E O n) with tone 1-4 marked; other letters
// unchanged; with another tone, v becomes ü.
WCHAR ToneMarkedLetter(DictEngine* engine, WCHAR letter, uint32_t tone);

// Reads one syllable at *text and moves *text past what it used; the code
// or kSyllableNone. *high (optional) gets the end of the code range.
WCHAR MatchPinyinSyllable(const WCHAR** text, DictEngine* engine, WCHAR* high, bool definiteTone, bool lettersOnly,
                          bool wholeSyllable);
WCHAR MatchZhuyinSyllable(const WCHAR** text, DictEngine* engine, WCHAR* high, bool definiteTone);

// One code per syllable (and the other characters) into low and the range
// ends into high (optional): at most size - 1 characters and a 0 in each.
void ParsePinyinQuery(DictEngine* engine, const WCHAR* text, WCHAR* low, WCHAR* high, uint32_t size,
                      uint32_t flags);
