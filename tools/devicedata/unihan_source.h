// Reading the Unihan database (the Unihan_*.txt files of the Unicode
// Character Database, Debian package unicode-data) and CJKRadicals.txt
// beside it: the few properties the character reference shows, per
// character, and the parsers of their values.
//
// A source line is "U+XXXX<TAB>kProperty<TAB>value"; "#" starts a comment
// line. Only BMP characters are kept: the program handles characters as
// single 16-bit units (the character sheet, the radical records, the radical
// code table), so a character beyond U+FFFF is counted and left out.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace devicedata {

// The properties kept, by name ("kMandarin" -> value), per character.
struct UnihanChar {
  char16_t code = 0;
  std::map<std::string, std::string, std::less<>> props;
  // The property's value, or empty.
  std::string_view Get(std::string_view name) const;
};

// One line of CJKRadicals.txt: "120; 2F77; 7CF8" or "120'; 2EB0; 7E9F".
struct UnihanRadical {
  int number = 0;          // 1-214
  bool simplified = false; // the number carried an apostrophe
  char16_t ideograph = 0;  // the unified ideograph of the radical
};

struct UnihanData {
  std::string version;  // "15.0.0", from the files' "# Unicode version:" line
  std::map<char16_t, UnihanChar> chars;
  std::vector<UnihanRadical> radicals;
  std::size_t outsideBmp = 0;  // characters left out (beyond U+FFFF)
  std::size_t lines = 0;       // property lines read
};

// The property names the character reference reads.
const std::vector<std::string_view>& UnihanProperties();

// Every "Unihan*.txt" in `folder` and its "CJKRadicals.txt". A malformed
// line fails the read with the file, the line number and the reason.
int ReadUnihanFolder(const std::string& folder, UnihanData* data, std::string* error);
// One file's text; `name` is used in messages.
int ReadUnihanText(std::string_view text, const std::string& name, UnihanData* data, std::string* error);
int ReadCjkRadicals(std::string_view text, std::vector<UnihanRadical>* radicals, std::string* error);
const UnihanChar* FindUnihanChar(const UnihanData& data, char16_t code);

// ---- value parsers ----

// One pinyin syllable with a tone mark ("hǎo", "lüè", "m̄", "shui") as a
// syllable code (U+E000 + 5 x syllable + tone, no mark = neutral tone 0);
// 0 when it is no syllable of the table.
char16_t ToneMarkedSyllableCode(std::string_view syllable);

// A reading list as the properties give it, in order, each reading once:
//   kMandarin     "qián gān"
//   kHanyuPinlu   "zhōng(4875) zhòng(66)"
//   kHanyuPinyin  "10028.100:zhōng,zhòng" (several "locations:readings" groups)
//   kXHC1983      "0352.091:gān 0913.050:qián"
//   kTGHZ2013     "105.130,105.140:gān 107.050:gàn"
// Each reading is its UTF-8 spelling with tone marks.
std::vector<std::string> SplitReadings(std::string_view value);

// kRSUnicode / kRSKangXi: "38.3", "149'.7" (apostrophe: the radical's
// simplified form), several separated by blanks. False when malformed.
struct RadicalStroke {
  int radical = 0;
  bool simplified = false;
  int residual = 0;  // strokes beyond the radical (may be negative in the source)
};
bool ParseRadicalStrokes(std::string_view value, std::vector<RadicalStroke>* out);

// Variants: "U+4E7E U+5E72", "U+4E79<kMorohashi:T U+4E81<kFenn": the code
// points without their source tags. False when malformed.
bool ParseVariantCodes(std::string_view value, std::vector<char32_t>* out);

// kTotalStrokes: "9 10" (zh-Hans first): the first number, 0 when none.
int ParseTotalStrokes(std::string_view value);

}  // namespace devicedata
