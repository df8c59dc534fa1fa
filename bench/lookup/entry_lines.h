// The entries of a built-in dictionary read back through the engine's table
// reader and written as CC-CEDICT lines ("trad simp [pin1 yin1] /sense/"):
// the raw text the data files are measured against, and the material the
// query sampler draws its queries from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DictEngine;

namespace lookupbench {

// One entry as its record holds it.
struct EntryText {
  uint16_t slot = 0;
  uint32_t entry = 0;
  std::u16string simplified;
  std::u16string traditional;  // the simplified form when the entry has one form
  // The reading field: syllable codes (U+E000 + 5 × syllable + tone), word
  // starts (U+E9F1) and any plain text between them.
  std::u16string reading;
  // Each sense's shown text; syllable codes inside links are left as codes.
  std::vector<std::u16string> senses;
};

// Splits an entry record's markup into the parts above. `fieldClass(f)`
// gives field f's class (0 headword, 1 reading, others definition text),
// `fieldKind(f)` its display kind (3: a link whose shown text follows
// U+EA93) and `fieldPrefix(f)` the label the program shows before it
// (blanks at its end dropped).
struct FieldInfo {
  uint32_t fieldClass = 2;
  uint32_t kind = 1;
  std::u16string prefix;
};
void SplitEntryMarkup(const std::u16string& markup, const std::vector<FieldInfo>& fields, EntryText* out);

// The fields of a built-in dictionary slot as the info header describes
// them; empty for a user dictionary or an unknown slot.
std::vector<FieldInfo> ReadFieldInfo(DictEngine* engine, uint16_t slot);

// Every entry of a built-in dictionary slot, read through its entry table.
// Entries whose record cannot be read are left out; *unreadable (optional)
// counts them.
std::vector<EntryText> ReadDictEntries(DictEngine* engine, uint16_t slot, uint32_t* unreadable);

// Syllable codes written as CC-CEDICT writes pinyin: numbered tones (5 for
// the neutral tone), ü as "u:", a capital after a word start, blanks
// between syllables and around plain text.
std::string CodesToNumberedPinyin(const std::u16string& text);

// One line, UTF-8, ending in "\n". Syllable codes inside senses become
// numbered pinyin too.
std::string CedictLine(const EntryText& entry);

}  // namespace lookupbench
