// The character reference ("s2unihan.pdb") built from Unihan: a character
// dictionary (dictionary flag 0x10) with one entry per BMP character, its
// search indexes, and the radical tables 0x5000 / 0x5110 of the radical
// input, all in one file.
//
// Why one file: the engine takes the first 0x5000 table over all data files
// and the 0x5110 table of the same id met after it, wherever they are; the
// radical tables are made from the same kRSUnicode values the entries show,
// so they travel (and are rebuilt) together.
//
// Fields of an entry (index: name, class, level). Classes: 0 the character,
// 1 the main reading (list rows, the head of the definition pane, the
// reading match of cross references), 3 the body of the definition pane,
// 4 and 5 shown only on the character sheet. Levels: 1 and 2 are shown on
// the sheet normally, 5 only with "Rare" checked; the main reading (level 9)
// is never listed there, the "Pinyin" field holds it with the other
// readings. Readings are split by use: kMandarin, kHanyuPinlu (readings
// counted in a frequency corpus, most frequent first) and kXHC1983 (the
// modern standard dictionary) and kTGHZ2013 (the dictionary of the general
// standard characters) give the common readings; readings of
// kHanyuPinyin (the historical dictionary) beyond them are rare.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/radical_tables.h"
#include "tools/devicedata/unihan_source.h"
#include "tools/devicedata/word_frequency.h"

namespace devicedata {

enum UnihanField : std::uint32_t {
  kUnihanPinyin = 0,       // the common readings, syllable codes, ", " between
  kUnihanDefinition = 1,   // kDefinition
  kUnihanRadical = 2,      // "女 38.3": radical character, number (' simplified form), residual strokes
  kUnihanStrokes = 3,      // kTotalStrokes
  kUnihanSimplified = 4,   // kSimplifiedVariant (not when it is only the character)
  kUnihanTraditional = 5,  // kTraditionalVariant (likewise)
  kUnihanFrequency = 6,    // kFrequency, 1 (most frequent) to 5
  kUnihanGradeLevel = 7,   // kGradeLevel
  kUnihanRareReadings = 8, // kHanyuPinyin readings that are not common
  kUnihanCantonese = 9,
  kUnihanJapaneseOn = 10,
  kUnihanJapaneseKun = 11,
  kUnihanKorean = 12,
  kUnihanHangul = 13,
  kUnihanVietnamese = 14,
  kUnihanTang = 15,
  kUnihanSemantic = 16,
  kUnihanSpecialized = 17,
  kUnihanZVariant = 18,
  kUnihanCompatibility = 19,
  kUnihanPinlu = 20,
  kUnihanCore = 21,
  kUnihanCangjie = 22,
  kUnihanFourCorner = 23,
  kUnihanAltStrokes = 24,  // kAlternateTotalStrokes
  kUnihanGb = 25,
  kUnihanBig5 = 26,
  kUnihanNumeric = 27,      // kPrimaryNumeric, kAccountingNumeric, kOtherNumeric
  kUnihanGeneralStandard = 28,  // kTGH: the Table of General Standard Chinese Characters
  kUnihanJoyo = 29,         // kJoyoKanji
  kUnihanKoreanEducation = 30,  // kKoreanEducationHanja
  kUnihanCode = 31,         // "U+597D"
  kUnihanCharacter = 32,    // the character (class 0)
  kUnihanMainReading = 33,  // 0x21: the main reading as a syllable code (class 1)
  kUnihanFieldCount = 34,
};

// Identity of the dictionary (DictEntryRef keeps it).
constexpr std::uint32_t kUnihanCreator = 0x5352564E;  // "SRVN"
constexpr std::uint32_t kUnihanDictId = 0x554E4948;   // "UNIH"
constexpr std::uint32_t kUnihanRadicalTableId = 1;

// Field levels.
constexpr std::uint32_t kLevelCommon = 1;
constexpr std::uint32_t kLevelUsage = 2;
constexpr std::uint32_t kLevelRare = 5;
constexpr std::uint32_t kLevelNotADetail = 9;

// The stroke count of a radical's traditional form, from its number (the
// 214 radicals are numbered by stroke count).
int KangxiRadicalStrokes(int number);

// One character's entry: 0, or 1 with the reason. `radicals` gives the
// radical characters of the "Radical" field.
struct UnihanEntry {
  char16_t code = 0;
  char16_t mainReading = 0;  // its syllable code, 0 when it has none
  std::u16string readings;   // the syllable codes of the common readings, main first
  databuild::DictEntrySpec entry;
};
int MakeUnihanEntry(const UnihanChar& c, const std::vector<UnihanRadical>& radicals, UnihanEntry* out,
                    std::string* error);

// The radical tables: records by radical number (the characters by
// residual strokes, the commoner first by `frequency` when given, then the
// common block first, then by code; compatibility ideographs left out), the radical list (list B: traditional and
// simplified radicals ordered by their strokes, each item the radical's
// ideograph, its stroke count and its number; list A[s]: the item where the
// radicals of s strokes start, A[0] = 0), and the code table 0x5110 over
// U+3400..the highest unified ideograph (a character's first radical).
int MakeUnihanRadicalTables(const UnihanData& data, databuild::RadicalTablesSpec* out, std::string* error,
                            const std::unordered_map<char16_t, std::uint64_t>* frequency = nullptr);

// The dictionary's header: names, icon, flags and the field descriptors.
databuild::DictInfoSpec UnihanDictInfo();

struct UnihanBuildStats {
  std::size_t entries = 0;
  std::size_t withReading = 0;     // a main reading as a syllable code
  std::size_t withDefinition = 0;
  std::size_t withFrequency = 0;   // a character frequency (dict.txt or kHanyuPinlu)
  std::size_t radicalChars = 0;    // characters in the radical records (with repeats)
  std::size_t radicals = 0;        // radical records
  std::size_t outsideBmp = 0;
  std::string version;
};

// What the check reads back: each entry's character and main reading, and
// the radical tables.
struct UnihanContents {
  std::vector<char16_t> chars;         // by entry number
  std::vector<char16_t> mainReadings;  // by entry number, 0 when none
  std::vector<std::u16string> readings;  // by entry number: the common readings' codes
  databuild::RadicalTablesSpec radicals;
};

// The prefix index keys an entry by its headword and one pronunciation;
// a character is looked up by each of its common readings, so each of them
// is added as a further one-syllable key of its entry (columns 0 and 1 of
// the 0x1100 table the dictionary writer made).
int AddReadingKeys(databuild::DataFileSpec* file, const std::vector<std::u16string>& readings, std::string* error);

// The notice of the file: the source, its Unicode version and licence.
std::u16string UnihanNotice(const std::string& version);

// The whole file from what ReadUnihanFolder read. Entries go by character
// frequency (the dict.txt count of `words` when given, else the
// kHanyuPinlu counts together; commonest first, by code among equals), so
// a reading lists its common characters first; the radical records order
// each section so too.
int BuildUnihanFile(const UnihanData& data, const std::u16string& notice, databuild::DataFileSpec* file,
                    UnihanContents* contents, UnihanBuildStats* stats, std::string* error,
                    const WordCounts* words = nullptr);

}  // namespace devicedata
