#include "resources/syllables.h"

#include <algorithm>

#include "resources/syllable_data.h"

std::string_view SyllableSpelling(int n) {
  if (n < 0 || n >= kSyllableCount) return {};
  return syllable_data::kSpelling[n];
}

std::u16string_view SyllableZhuyin(int n) {
  if (n < 0 || n >= kSyllableCount) return {};
  return syllable_data::kZhuyin[n];
}

int FindSyllable(std::string_view spelling) {
  // The rows are in alphabetical order (the generator checks it).
  const auto* first = std::begin(syllable_data::kSpelling);
  const auto* last = std::end(syllable_data::kSpelling);
  const auto* it = std::lower_bound(first, last, spelling,
                                    [](const char(&row)[8], std::string_view s) { return std::string_view(row) < s; });
  if (it == last || std::string_view(*it) != spelling) return -1;
  return static_cast<int>(it - first);
}

std::span<const unsigned char> PinyinSpellingTableBytes() { return syllable_data::kPinyinSpellingTable; }
std::span<const unsigned char> ZhuyinSpellingTableBytes() { return syllable_data::kZhuyinSpellingTable; }
std::span<const unsigned char> ZhuyinIndexTableBytes() { return syllable_data::kZhuyinIndexTable; }
std::span<const unsigned char> PinyinFinalsTableBytes() { return syllable_data::kPinyinFinalsTable; }
