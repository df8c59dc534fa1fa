// The search indexes of a dictionary, derived from its entries, so that any
// word list becomes a searchable dictionary:
//   0x1100 prefix index of the headwords and pronunciations (completing the
//          entry bitmap of dict_tables.h, which stays its subtable record 0),
//   0x1120 character pairs of the entry texts,
//   0x1130 / 0x1131 English words of the definitions (0x1131 with relevance
//          bits above the entry id),
//   0x1140 letter triples of English headwords.
// Every value that names an entry is its entry number: its row in table
// 0x1000, i.e. its position in the entries given here.
//
// Prefix index 0x1100 (bit-packed, 16-bit keys, sorted):
//   The keys of an entry: each headword form (simplified, traditional) less
//   its parenthesised parts, blanks (U+0020, U+3000), U+00B7 and units of
//   U+E000-U+F8FF; and its pronunciation as the run of its syllable codes
//   (U+E000 + 5s + t, t 0-4; word breaks and any other unit dropped).
//   Equal keys of one entry count once.
//   Column c >= 1 holds one node per key of at least c characters, its rows
//   keyed by the key's c-th character; a row's record is the run of its
//   nodes ordered by value. A node's value in column 1 is the entry number;
//   in column c >= 2 it is the position (value index) of the same key's node
//   in column c - 1. Columns go as deep as the longest key, at most
//   SearchIndexOptions::maxKeyDepth.
//   Column 0 (the one-character reading): row c lists, ascending and once
//   each, the entries that have a key that is exactly the one character c —
//   a one-character headword or a one-syllable pronunciation. So a
//   one-character query answered from column 0 finds the entries whose whole
//   key is that character, the same entries a whole-key prefix search finds,
//   which is what the single-character result flag promises.
//   Value widths: columns 0 and 1 the bits of the largest entry number;
//   column c >= 2 the bits of the largest position of column c - 1.
//
// Numeric posting indexes 0x1120 and 0x1140 (bit-packed, 32-bit keys, sorted,
// one column): row k's record lists, ascending and once each, the entries
// that contain key k. The value width w leaves 2^w - 1 free: a record of
// that single value marks a key too common to be listed.
//   0x1120 keys are c1 * 65536 + c2 for two neighbouring units of one text of
//   the entry (a headword form, a sense, another text): neither a blank
//   (U+0020, U+3000), a control unit (below U+0020) nor a unit of
//   U+E000-U+F8FF (syllable codes and markup); with cjkPairsOnly at least
//   one of them from U+3400 to U+D7FF.
//   0x1140 keys are letter triples b0 * 65536 + b1 * 256 + b2 of the English
//   headwords, each byte the low 8 bits of a unit, taken LOWER-CASED (A-Z and
//   U+00C0-U+00DE but U+00D7 lowered); the index and the query are both
//   lower-cased. Which units enter: the headword less its parenthesised
//   parts, trimmed of blanks, in three spellings whose triples are all
//   listed (a query typed in any of them finds the entry; the search checks
//   every candidate against the headword anyway):
//     1. as written: every unit below U+3000 (blanks, hyphens, apostrophes,
//        digits and accented letters included);
//     2. letters only (A-Z, a-z and U+00C0-U+024F), blanks and punctuation
//        dropped;
//     3. letters only with accents folded to their base letters (FoldToKey).
//   A spelling t of n >= 2 units gives (1, t0, t1) (the byte 1 marks the
//   start), every (ti, ti+1, ti+2), and (tn-2, tn-1, 1) (the end).
//
// Word posting indexes 0x1130 and 0x1131 (byte units, text block index,
// rows in the order of search mode 5): one row per word; its record is the
// word as 0-terminated UTF-16LE text, zero-padded to a multiple of 4 bytes,
// then the postings: w-bit values, most significant bit first, the last
// byte padded with zero bits (w >= 8, so the padding never reads as a
// value). Info area: 9 little-endian words, word 7 = w, word 8 = x (the
// relevance bits; 0 in 0x1130).
//   Words: each text of the entry (its senses; for an English-headword
//   dictionary its headword first, then the senses) is cut at every unit
//   that is not a letter, a digit, an apostrophe or a hyphen, after "(" and
//   ")" become blanks; each piece is turned into its letter key (FoldToKey,
//   the same key the search makes of a query: lower case, accents folded,
//   non-letters dropped); empty keys are dropped.
//   Values: the entry number, ascending; in 0x1131 with the rank in the top
//   x bits: value = rank << (w - x) | entry, postings ascending by entry (the
//   low w - x bits). A lower rank is better, so results sorted by whole
//   value put the best first. The rank is the relevance r (2 bits), and
//   with SearchIndexOptions::frequencyBits = b > 0 a frequency band below
//   it: rank = r << b | band, x = 2 + b, so that within one relevance the
//   commoner word comes first (FrequencyBand). The relevance r:
//     0  the entry's first text IS the word,
//     1  a later text is the word,
//     2  the word is in the first text,
//     3  the word is only in later texts.
//   A text "is" the word when its letter key with spaces, less a leading
//   "to ", "a ", "an " or "the ", equals the word ("to eat" is "eat").
//   A word listed for more than tooCommonEntries entries (when not 0), or
//   one of tooCommonWords, gets the single value 2^w - 1 instead.
//
// English-headword dictionaries (DictionarySpec::searchIndexes in
// dict_tables.h): the entry table 0x1000 is the headword index itself; its
// entries are put in the order of search mode 0 (the letter key of the
// record text, digit runs as numbers) and it carries first-key texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/table_builder.h"

namespace databuild {

constexpr std::uint32_t kTypeCharPairIndex = 0x1120;
constexpr std::uint32_t kTypeWordIndex = 0x1130;
constexpr std::uint32_t kTypeRankedWordIndex = 0x1131;
constexpr std::uint32_t kTypeTripleIndex = 0x1140;

constexpr std::uint32_t kWordIndexInfoWords = 9;
constexpr std::uint32_t kRelevanceBits = 2;
enum WordRelevance : std::uint32_t {
  kRelevanceFirstIsWord = 0,
  kRelevanceLaterIsWord = 1,
  kRelevanceInFirst = 2,
  kRelevanceInLater = 3,
};

// What the indexes are made of, per entry. The entry number is the position
// in the list.
struct SearchIndexEntry {
  std::vector<std::u16string> headwords;  // plain forms: simplified, traditional (or the English headword)
  std::u16string pinyin;                  // syllable codes; other units are ignored
  std::vector<std::u16string> senses;     // the definitions, in order
  std::vector<std::u16string> moreTexts;  // other shown text (classifiers, examples): character pairs only
  std::uint64_t frequency = 0;            // how common the word is (a corpus count; 0: unknown)
};
using DictionaryEntries = std::vector<SearchIndexEntry>;

enum class WordIndexKind {
  None,
  Plain,   // 0x1130
  Ranked,  // 0x1131 (the search prefers it)
  Both,
};

struct SearchIndexOptions {
  bool englishHeadwords = false;  // the headword language is English (0)
  bool prefixIndex = true;        // 0x1100 columns
  bool charPairs = true;          // 0x1120
  WordIndexKind words = WordIndexKind::Ranked;
  bool triples = false;  // 0x1140
  std::uint32_t maxKeyDepth = 39;   // deepest prefix column (a query holds at most 39 units)
  std::uint32_t tooCommonEntries = 0;  // 0: no key or word is too common
  std::vector<std::u16string> tooCommonWords;  // letter keys marked too common in the word index
  bool cjkPairsOnly = false;
  // Bits of frequency band under the relevance in 0x1131 (0: relevance
  // alone, x = 2). Each bit widens every posting by one bit.
  std::uint32_t frequencyBits = 0;
  std::uint32_t maxBlockRows = 0;  // 0: no limit (tests use small values for many blocks)
};

// The defaults of a headword language: Chinese (4096) prefix index, pairs
// and ranked words; English (0) pairs, ranked words and triples.
SearchIndexOptions SearchIndexOptionsFor(std::uint32_t language);

// The band of a frequency among 2^bits bands, 0 the commonest: a log scale
// of base 8 (each band 8 times the count of the next), so that counts of
// the same order fall together and the entry order decides among them;
// 2^bits - 1 is the band of a frequency of 0 (unknown). bits is 1-8.
std::uint32_t FrequencyBand(std::uint64_t frequency, std::uint32_t bits);

// Keys as the indexes hold them (for callers and tests that check them).
std::vector<std::u16string> PrefixIndexKeys(const SearchIndexEntry& entry);
// Character pairs (c1 << 16) | c2, and c << 16 for a Chinese character that
// begins no pair of the entry; sorted, distinct.
std::vector<std::uint32_t> CharPairKeys(const SearchIndexEntry& entry, bool cjkPairsOnly);
std::vector<std::uint32_t> TripleKeys(std::u16string_view headword);                      // sorted, distinct
std::vector<std::u16string> IndexWords(std::u16string_view text);  // in text order, with repeats
// The texts the word index reads, in order (headword first when English).
std::vector<std::u16string> WordIndexTexts(const SearchIndexEntry& entry, bool englishHeadwords);
// The relevance of a word of the entry (a WordRelevance), or 4 when the
// entry does not hold the word.
std::uint32_t EntryWordRelevance(const SearchIndexEntry& entry, std::u16string_view word, bool englishHeadwords);

// One table each; 0, or 1 with a message.
// 0x1100 with the entry bitmap of `bitmapChars` as subtable record 0.
int MakeSearchPrefixIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options,
                               const std::vector<char16_t>& bitmapChars, TableSpec* out, std::string* error);
int MakeCharPairIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options, TableSpec* out,
                           std::string* error);
int MakeWordIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options, bool ranked,
                       TableSpec* out, std::string* error);
int MakeTripleIndexTable(const DictionaryEntries& entries, const SearchIndexOptions& options, TableSpec* out,
                         std::string* error);

// Every index the options ask for, in the order 0x1100, 0x1120, 0x1130,
// 0x1131, 0x1140. The 0x1100 bitmap is of the one-character headwords.
int MakeSearchIndexTables(const DictionaryEntries& entries, const SearchIndexOptions& options,
                          std::vector<TableSpec>* out, std::string* error);

// Adds the indexes to a file that holds the dictionary's tables. A 0x1100
// table already there (the bitmap that AddDictionaryTables writes) is
// completed in place, its subtable records kept; the others are appended.
int AddSearchIndexes(DataFileSpec& file, const DictionaryEntries& entries, const SearchIndexOptions& options,
                     std::string* error);

}  // namespace databuild
