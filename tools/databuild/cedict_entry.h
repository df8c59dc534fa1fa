// CC-CEDICT rows as dictionary entries: one row (traditional, simplified,
// pinyin, definitions, classifiers) to the plain fields of entry_markup.h and
// the index view of index_tables.h. The device data's dictionary and the
// search tests' dictionaries are both made by it.
//
// What a row becomes:
//   - headword: the simplified form, the traditional one as the second form;
//   - pinyin: syllable codes (CedictPinyinCodes below);
//   - senses: one per definition, in order; a definition that is nothing but
//     a classifier list ("CL:個|个[ge4],隻|只[zhi1]") and a "(CL:...)" note
//     inside one become the entry's classifiers;
//   - cross-references: the references that end a definition ("see
//     拜拜[bai2 bai2]", "variant of 豐|丰[feng1]", "abbr. for ...") become
//     links after the sense's remaining text ("see", "variant of"); a
//     reference in the middle of a definition stays text. A reference is
//     written traditional|simplified[pinyin], or form[pinyin] when both
//     forms are one;
//   - index view: both forms; the pinyin codes; as senses the pieces of each
//     definition cut at ';' with their parenthesised notes and the pinyin of
//     references ("[bai2 bai2]") taken out, the notes as later texts (so "hello; hi" and "hello (loanword)" both have
//     the first text "hello" and rank first for "hello"); the forms of the
//     links and classifiers as further text.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"
#include "tools/databuild/index_tables.h"

namespace databuild {

struct CedictRow {
  std::u16string traditional;
  std::u16string simplified;
  std::string pinyin;  // "ni3 hao3", "Bei3 jing1", "nu:3", "san1 C", "r5"
  std::vector<std::u16string> definitions;
  std::vector<MarkupLink> classifiers;  // given apart from the definitions
};

// What conversions met, for the progress line: the quirks kept in some
// form and the totals of senses, links and classifiers.
struct CedictCounts {
  std::size_t senses = 0;
  std::size_t classifiers = 0;
  std::size_t latinTokens = 0;      // pinyin tokens without a tone digit, kept as text ("C", "·", ",")
  std::size_t unknownSyllables = 0; // toned tokens that are no syllable ("xx5"), kept as text
  std::size_t noDefinition = 0;     // rows without a definition (kept with headword and pinyin)
  std::size_t classifierNotes = 0;  // classifier lists taken out of definitions
  std::size_t links = 0;            // cross-references made links
  void Add(const CedictCounts& q);
};

// CC-CEDICT pinyin as syllable codes. Tokens are separated by blanks; a
// syllable is letters and a tone digit 1-5 (5: the neutral tone, code tone
// 0); "u:" and "v" are ü; "r5" is the erhua r; a capital first letter puts
// U+E9F1 before the syllable. Every other token (Latin letters and digits
// "C", "4S", "w o r d", punctuation "," "·", a toned token that is no
// syllable) is kept as text, a blank between it and its neighbours. Unlike
// PinyinNumbersToCodes, a token without a tone digit is never a syllable:
// CC-CEDICT writes the neutral tone as 5, so "o" in "t o n y" is a letter.
std::u16string CedictPinyinCodes(std::string_view pinyin, CedictCounts* counts = nullptr);

// The parts of one definition: its text less the references that end it,
// the references as links, and any classifier list inside it.
struct CedictSense {
  std::u16string text;
  std::vector<MarkupLink> links;
  std::vector<MarkupLink> classifiers;
  std::u16string indexText;  // the definition less its classifier list, references kept
};
CedictSense SplitCedictDefinition(std::u16string_view definition);

// Reads one reference "trad|simp[pin yin]" or "form[pin yin]": true and the
// link when `text` is exactly one.
bool ParseCedictReference(std::u16string_view text, MarkupLink* link);

// The plain entry and its index view. 0, or 1 with a message (an empty
// headword, or text the markup cannot hold: units of U+E000-U+EAFF).
int CedictToPlainEntry(const CedictRow& row, PlainEntry* entry, SearchIndexEntry* index, std::string* error,
                       CedictCounts* counts = nullptr);
// The entry of a DictionarySpec: markup text (with the pinyin of
// CedictPinyinCodes), headword, word length and index view.
int MakeCedictEntry(const CedictRow& row, DictEntrySpec* out, std::string* error, CedictCounts* counts = nullptr);

// Words of the definitions too common to list in the word index: each is
// in thousands of entries ("to" in a quarter of them). A query of one of
// them alone finds nothing; with other words it only narrows their
// results, through the text check.
std::vector<std::u16string> CedictCommonWords();

// Rows of a tab-separated excerpt: traditional, simplified, pinyin and the
// definitions between slashes ("/hello/hi/"), one row a line (UTF-8);
// blank lines, lines starting with '#' and lines of fewer than four columns
// are passed over. The test fixtures and benchmarks read their excerpt so.
std::vector<CedictRow> ReadCedictTsv(std::istream& in);

// The dictionary's description as the device data has it: entry markup
// fields, names, icon, word lengths and search indexes (no entries): pairs
// of Chinese characters only, the common words above left out.
DictionarySpec CedictDictionary();

}  // namespace databuild
