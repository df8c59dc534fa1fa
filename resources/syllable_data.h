// The generated syllable tables (built from syllables.txt and finals.txt by
// gen/make_syllable_tables.cpp). Use syllables.h; this is its data.
#pragma once

namespace syllable_data {

// Spelling of each row, zero-terminated.
extern const char kSpelling[450][8];
// Zhuyin of each row, zero-terminated; empty when the row has none.
extern const char16_t kZhuyin[450][4];

// The program's resource tables, byte for byte.
alignas(4) extern const unsigned char kPinyinSpellingTable[2700];  // "ASTR" 6013
alignas(4) extern const unsigned char kZhuyinSpellingTable[2700];  // "USTR" 6011
alignas(4) extern const unsigned char kZhuyinIndexTable[5064];     // "USTR" 6012
alignas(4) extern const unsigned char kPinyinFinalsTable[188];     // "USTR" 6014

}  // namespace syllable_data
