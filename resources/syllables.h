// The syllable table shared by the program and tools/databuild. Syllable
// numbers are stored in data files (as U+E000 + 5 × number + tone), so both
// must read them from this one table.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

inline constexpr int kSyllableCount = 450;
// Rows that have a zhuyin spelling (the records of the zhuyin index).
inline constexpr int kZhuyinSyllableCount = 422;

// Pinyin spelling of syllable n ("a", "zuo"; "v" for ü), empty when n is out
// of range.
std::string_view SyllableSpelling(int n);
// Zhuyin spelling of syllable n (up to 3 bopomofo letters), empty when the
// row has none or n is out of range.
std::u16string_view SyllableZhuyin(int n);
// Number of the syllable spelt exactly `spelling` (lower case, "v" for ü),
// or -1.
int FindSyllable(std::string_view spelling);

// The resource tables as the program registers them.
inline constexpr int kPinyinSpellingTableId = 6013;  // "ASTR"
inline constexpr int kZhuyinSpellingTableId = 6011;  // "USTR"
inline constexpr int kZhuyinIndexTableId = 6012;     // "USTR"
inline constexpr int kPinyinFinalsTableId = 6014;    // "USTR"
std::span<const unsigned char> PinyinSpellingTableBytes();
std::span<const unsigned char> ZhuyinSpellingTableBytes();
std::span<const unsigned char> ZhuyinIndexTableBytes();
std::span<const unsigned char> PinyinFinalsTableBytes();
