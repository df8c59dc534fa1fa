// How common a word or a reading is, for the order of the device
// dictionaries: the word counts of jieba's dict.txt (Debian package
// python3-jieba, a corpus count per simplified word) and the reading counts
// of Unihan's kHanyuPinlu (how often each reading of a character occurs in
// a frequency corpus).
//
// A CC-CEDICT row's frequency is the count of its simplified headword (of
// its traditional one when only that is listed); for a one-character row
// whose character has kHanyuPinlu counts, that count is shared out among
// the readings as kHanyuPinlu shares them, so 的 read de5 is far commoner
// than 的 read di4; a character missing from dict.txt takes the kHanyuPinlu
// count of its reading alone. Anything else counts 0.
//
// dict.txt is "word count [tag]" a line, UTF-8. A malformed line stops the
// read with its line number and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/databuild/cedict_entry.h"
#include "tools/devicedata/unihan_source.h"

namespace devicedata {

struct ReadingCount {
  char16_t syllable = 0;  // its syllable code (U+E000 + 5 x syllable + tone, tone 0 neutral)
  std::uint64_t count = 0;
};

struct WordCounts {
  std::unordered_map<std::u16string, std::uint64_t> words;           // dict.txt
  std::unordered_map<char16_t, std::vector<ReadingCount>> readings;  // kHanyuPinlu
};

// The words of dict.txt added to `counts` (a word listed twice keeps the
// larger count). 0, or 1 with "line N: reason".
int ReadJiebaDict(std::string_view text, WordCounts* counts, std::string* error);

// Every character's kHanyuPinlu ("de(75596) dì(157) dí(84)") added to
// `counts`; a reading that is no syllable of the table is left out. 0, or 1
// with the character and the reason when a value is malformed.
int AddHanyuPinlu(const UnihanData& data, WordCounts* counts, std::string* error);

// The files: dict.txt at `wordsPath` and the kHanyuPinlu lines of the
// Unihan file at `readingsPath` (Unihan_Readings.txt); either may be empty.
// 0, or 1 with the file and the reason.
int ReadWordCountFiles(const std::string& wordsPath, const std::string& readingsPath, WordCounts* counts,
                       std::string* error);

// Where a row's frequency came from.
enum class FrequencySource {
  None,      // in neither source: 0
  Words,     // dict.txt (shared out by kHanyuPinlu for one character)
  Readings,  // kHanyuPinlu alone
};
struct Frequency {
  std::uint64_t count = 0;
  FrequencySource source = FrequencySource::None;
};

Frequency CedictRowFrequency(const WordCounts& counts, const databuild::CedictRow& row);

// A character's own frequency, whatever its reading: its dict.txt count,
// else the sum of its kHanyuPinlu counts, else 0.
std::uint64_t CharacterFrequency(const WordCounts& counts, char16_t ch);

}  // namespace devicedata
