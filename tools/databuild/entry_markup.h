// Entry markup from plain fields: what a dictionary source gives per entry
// (headword in simplified and traditional characters, pinyin with tone
// numbers, senses, classifiers, cross-references) written as the marked-up
// UTF-16 text of an entry record, with the field and section descriptors
// that say how the program shows it.
//
// The markup, as the program reads it:
//   U+EA00 + f         starts the content of field f (up to the next marker)
//   U+EAA0 + d         opens a section at depth d; U+EAAF closes it
//   U+EA93             separates the two forms of a two-form field, and a
//                      link's hidden target from its shown text
//   U+E000 + 5s + t    syllable s of the shared syllable table, tone t
//                      (1-4; 0 neutral); U+E9F1 before it starts a word
//                      (shown with a capital)
// Units from U+E000 to U+EAFF are never plain text.
//
// Two rules the descriptors must keep, checked by CheckEntryFields:
//   - a two-form field (display kind 2) needs bits 8-15 of its class word
//     to be 0x10, so it is always of class 0 (else both forms run together);
//   - a hidden-target link field (display kind 3) needs style 0x100 (else
//     its hidden target shows).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/databuild/dict_tables.h"

namespace databuild {

// The fields of a dictionary written by this module, in field order.
enum EntryMarkupField : std::uint32_t {
  kMarkupHeadword = 0,     // two-form: simplified, then traditional (class 0)
  kMarkupPinyin = 1,       // syllable codes (class 1)
  kMarkupDefinition = 2,   // one sense's text (class 2)
  kMarkupLink = 3,         // a cross-reference: hidden target, shown text (class 2)
  kMarkupClassifiers = 4,  // on a line of its own after the senses (class 4)
  kMarkupFieldCount = 5,
};

// Another entry named by a cross-reference or a classifier.
struct MarkupLink {
  std::u16string simplified;
  std::u16string traditional;  // empty or equal: one form
  std::string pinyin;          // tone numbers, "ge4"; may be empty
};

struct MarkupSense {
  std::u16string text;            // may be empty when the sense is only links
  std::vector<MarkupLink> links;  // shown after the text
};

struct PlainEntry {
  std::u16string simplified;
  std::u16string traditional;  // empty or equal: one form
  std::string pinyin;          // "xue2 sheng5", "Bei3 jing1", "lu:4"
  std::vector<MarkupSense> senses;
  std::vector<MarkupLink> classifiers;
};

// Replaces the fields and section levels of `info` with those of this
// module (senses numbered 1., 2., ... on lines of their own).
void SetEntryMarkupFields(DictInfoSpec* info);

// 0, or 1 with a message when a field breaks one of the two rules above.
int CheckEntryFields(const DictInfoSpec& info, std::string* error);

// Pinyin with tone numbers as syllable codes. Tokens are separated by
// blanks; a token is letters and an optional tone digit 1-5 (5 and no digit:
// neutral); "u:", "v" and "ü" are ü; a capital first letter starts a word.
// Tokens that are no syllable (letters, punctuation, and a capitalised token
// without a tone number, such as the Latin "A" of "A xing2") are kept as
// text, with a blank between them and their neighbours.
std::u16string PinyinNumbersToCodes(std::string_view pinyin);

// The record text of an entry: 0, or 1 with a message (an empty headword,
// or text holding units of U+E000-U+EAFF).
int MakeEntryMarkup(const PlainEntry& entry, std::u16string* out, std::string* error);
// The same as an entry of a DictionarySpec: its text, its headword (for the
// entry bitmap) and its word length in characters.
int MakeMarkupEntry(const PlainEntry& entry, DictEntrySpec* out, std::string* error);

}  // namespace databuild
