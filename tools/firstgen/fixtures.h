// The first-generation files that the converter's tests and the sample
// device use: dictionaries in entry markup from CC-CEDICT rows, and the
// user data file with its card lists.
//
// Entry markup: U+EA01 then the simplified headword and, when it differs,
// "[traditional]" with '-' for each char equal to the simplified one;
// U+EA02 then the pinyin with tones 1-4 as U+2071-U+2074; U+EA03 then the
// definitions, separated by the line-break mark U+EAB1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/firstgen/database_writer.h"

namespace firstgen {

struct CedictRow {
  std::string traditional;
  std::string simplified;
  std::string pinyin;       // "zhong1 guo2"
  std::string definitions;  // "/"-separated
};

// Rows of a tab-separated excerpt (traditional, simplified, pinyin,
// definitions; '#' lines are comments).
bool LoadCedictRows(const std::string& path, std::vector<CedictRow>* rows, std::string* error);
std::u16string EntryMarkup(const CedictRow& row, bool withDefinition);
std::u16string PinyinMarkup(const std::string& pinyin);

// Dictionary header (big-endian): kind 0 at 2, id at 4, flags at 24,
// identity words at 26, 36, 38, languages at 32 and 34, a u32 at 40, the
// name at 44.
struct DictHeaderSpec {
  uint32_t id = 1;
  uint16_t flags = 0x0002;
  uint16_t identity1 = 0, identity2 = 0, identity3 = 0;
  uint16_t headwordLanguage = 4096, secondLanguage = 0;
  uint32_t extraWord = 0;
  std::string name;
  uint16_t kind = 0;
};
Bytes DictionaryHeader(const DictHeaderSpec& spec);

// Ids of the standard fixtures.
inline constexpr uint32_t kCedictId = 1;
inline constexpr uint32_t kUserDictId = 0x2001;
inline constexpr uint32_t kNoDefinitionsId = 0x3001;
inline constexpr uint32_t kMissingDictId = 0x7777;
// Entry numbers of the Chinese-English dictionary are keys: 1000 + 2 x row.
inline uint32_t CedictEntryNumber(uint32_t row) { return 1000 + 2 * row; }

// Chinese-English, definitions (flag 2), Huffman-coded keyed entry rows and a
// plain secondary table of pinyin.
DatabaseSpec ChineseEnglishDictionary(const std::vector<CedictRow>& rows);
// User dictionary with definitions (flags 4 and 2, and 1 as bundles mark
// theirs), plain rows numbered by row.
DatabaseSpec UserDictionary(const std::vector<CedictRow>& rows);
// Headwords and pinyin only (flags 0), a single-length code and 32-bit keys.
DatabaseSpec NoDefinitionsDictionary(const std::vector<CedictRow>& rows);

// One card row (little-endian; times local seconds since 1904).
struct CardSpec {
  uint32_t dictionaryId = kCedictId;
  uint32_t entryNumber = 0;
  uint32_t firstReview = 0;
  uint32_t lastReview = 0;
  uint32_t flags = 0;
  uint32_t history = 0;
  uint16_t correct = 0, incorrect = 0;
  uint8_t counterA = 0, counterB = 0, rank = 0;
};
Bytes CardRow(const CardSpec& card, uint32_t rowSize);

struct CardListSpec {
  std::string name;
  std::vector<CardSpec> cards;
};

// User data file (kind 0xA000, big-endian at 2; the rest little-endian):
// rank count at 34, flag count at 36, settings at 40 (rank divisor +6,
// study mode +16, rank-table switch +20), flag names at 184, rank table at
// 952.
struct UserFileSpec {
  std::vector<std::string> flagNames;
  int32_t flagCount = -1;  // -1: the number of names
  std::vector<std::array<uint16_t, 7>> rankRows;
  int32_t rankCount = -1;  // -1: the number of rows
  uint16_t rankDivisor = 200;
  uint16_t studyMode = 0;
  uint16_t rankTableSwitch = 0;
  std::vector<CardListSpec> lists;
  uint16_t cardRowSize = 32;
  uint32_t cardsPerBlock = 4;
};
DatabaseSpec UserFile(const UserFileSpec& spec);

// The user file of the sample: a flag named "a/b", five ranks, lists
// "Lesson 1", "Verbs", "Verbs", "A/B" and one named with 140 bytes, and
// cards never reviewed, reviewed 35 times, ranked above the rank count, of
// a dictionary that is not open, of an entry that cannot be read, and of
// the user dictionary.
UserFileSpec SampleUserFile(const std::vector<CedictRow>& rows);

// The sample device root: the Chinese-English dictionary and the one
// without definitions in "My Documents", the user dictionary there as a
// bundle, the user file in "Program Files/Old Sorvi Data".
bool WriteSample(const std::string& root, const std::vector<CedictRow>& rows, std::string* error);

// Writes a database as a container or a bundle.
bool WriteDatabase(const DatabaseSpec& spec, bool bundle, const std::string& path, std::string* error);

}  // namespace firstgen
