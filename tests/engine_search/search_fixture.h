// Dictionaries for the search tests: a Chinese one from the CC-CEDICT
// excerpt, a small English-headword one and a character dictionary, all
// written with their search indexes by tools/databuild.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "engine/preferences.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/utf8.h"
#include "tests/engine_fetch/fetch_fixture.h"
#include "tests/support/cedict_excerpt.h"
#include "tools/databuild/cedict_entry.h"
#include "tools/databuild/entry_markup.h"
#include "tools/databuild/index_tables.h"

namespace searchfix {

namespace db = databuild;

struct CedictRow {
  std::u16string traditional, simplified;
  std::string pinyin;
  std::vector<std::u16string> senses;
};

inline std::u16string Utf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    uint32_t c = static_cast<uint8_t>(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (n == 2) c &= 0x1F;
    if (n == 3) c &= 0x0F;
    if (n == 4) c &= 0x07;
    for (int k = 1; k < n && i + k < s.size(); ++k) c = c << 6 | (static_cast<uint8_t>(s[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

inline std::vector<CedictRow> LoadCedictExcerpt() {
  std::vector<CedictRow> rows;
  std::ifstream in(kCedictExcerptPath);
  for (db::CedictRow& r : db::ReadCedictTsv(in))
    rows.push_back(CedictRow{std::move(r.traditional), std::move(r.simplified), std::move(r.pinyin),
                             std::move(r.definitions)});
  return rows;
}

// Writes a dictionary with its search indexes, each row converted as the
// device data's dictionary converts CC-CEDICT (cedict_entry.h); entry i is
// rows[i].
inline db::DictionarySpec ChineseDict(const std::vector<CedictRow>& rows, uint32_t dictId, std::u16string name) {
  db::DictionarySpec dict = db::CedictDictionary();
  dict.info.dictId = dictId;
  dict.info.shortName = name;
  dict.info.menuName = name;
  for (const CedictRow& r : rows) {
    db::CedictRow row{r.traditional, r.simplified, r.pinyin, r.senses, {}};
    db::DictEntrySpec entry;
    std::string error;
    EXPECT_EQ(db::MakeCedictEntry(row, &entry, &error), 0) << error;
    dict.entries.push_back(entry);
  }
  return dict;
}

}  // namespace searchfix

namespace searchfix {

// One row of a small dictionary.
inline CedictRow Row(std::u16string simplified, std::u16string traditional, std::string pinyin,
                     std::vector<std::u16string> senses) {
  return CedictRow{traditional, simplified, pinyin, senses};
}

// An English-headword dictionary: each row's simplified form is the English
// headword, its senses the translations. The writer puts the entries in
// headword order; `order` receives the row of each entry number.
inline db::DictionarySpec EnglishDict(const std::vector<CedictRow>& rows, uint32_t dictId) {
  db::DictionarySpec dict;
  dict.info.creator = 0x454E4744;
  dict.info.dictId = dictId;
  dict.info.language = kLanguageEnglish;
  dict.info.transLanguage = kLanguageChinese;
  dict.info.shortName = u"EC";
  dict.info.menuName = u"English-Chinese";
  db::SetEntryMarkupFields(&dict.info);
  dict.wordLengths = true;
  dict.searchIndexes = true;
  for (const CedictRow& r : rows) {
    db::PlainEntry e;
    e.simplified = r.simplified;
    e.pinyin = r.pinyin;
    for (const auto& s : r.senses) e.senses.push_back({s, {}});
    db::DictEntrySpec entry;
    std::string error;
    EXPECT_EQ(db::MakeMarkupEntry(e, &entry, &error), 0) << error;
    entry.index.headwords = {r.simplified};
    entry.index.senses = r.senses;
    dict.entries.push_back(entry);
  }
  return dict;
}

// A character dictionary (flag 0x10): one-character entries whose main
// reading is field 0x21.
inline db::DictionarySpec CharDict(const std::vector<CedictRow>& rows, uint32_t dictId) {
  db::DictionarySpec dict;
  dict.info.creator = 0x43484152;
  dict.info.dictId = dictId;
  dict.info.flags = db::kDictCharacters;
  dict.info.shortName = u"Chars";
  dict.info.menuName = u"Characters";
  for (int f = 0; f < 34; ++f) {
    db::DictFieldSpec field;
    field.name = u"F" + std::u16string(1, static_cast<char16_t>(u'A' + f % 26));
    field.classWord = f == 0 ? 0x1000 : f == 1 ? 0x0100 : f == 33 ? 0x0300 : 0x0200;
    field.type = f == 0 ? db::kFieldChinese : (f == 1 || f == 33) ? db::kFieldPinyin : 0;
    field.displayKind = f == 0 ? 2 : 1;
    dict.info.fields.push_back(field);
  }
  dict.searchIndexes = true;
  dict.wordLengths = true;
  auto fieldMark = [](uint32_t f) { return std::u16string(1, static_cast<char16_t>(0xEA00 + f)); };
  for (const CedictRow& r : rows) {
    db::DictEntrySpec entry;
    std::u16string codes = db::PinyinNumbersToCodes(r.pinyin);
    entry.text = fieldMark(0) + r.simplified + fieldMark(33) + codes.substr(0, 1) + fieldMark(1) + codes;
    entry.headword = r.simplified;
    entry.index.headwords = {r.simplified};
    entry.index.pinyin = codes;
    dict.entries.push_back(entry);
  }
  return dict;
}

}  // namespace searchfix
