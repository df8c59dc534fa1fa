// Dictionaries for the search tests: a Chinese one from the CC-CEDICT
// excerpt, a small English-headword one and a character dictionary, all
// written with their search indexes by tools/databuild.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/preferences.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/utf8.h"
#include "tests/engine_fetch/fetch_fixture.h"
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
  std::ifstream in(std::string(SEARCH_FIXTURE_DIR) + "/cedict_excerpt.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string part;
    while (std::getline(ss, part, '\t')) f.push_back(part);
    if (f.size() < 4) continue;
    CedictRow r{Utf16(f[0]), Utf16(f[1]), f[2], {}};
    std::stringstream ds(f[3]);
    while (std::getline(ds, part, '/'))
      if (!part.empty()) r.senses.push_back(Utf16(part));
    rows.push_back(r);
  }
  return rows;
}

// Writes a dictionary with its search indexes; entry i is rows[i].
inline db::DictionarySpec ChineseDict(const std::vector<CedictRow>& rows, uint32_t dictId, std::u16string name) {
  db::DictionarySpec spec;
  spec.info.creator = 0x43454443;
  spec.info.dictId = dictId;
  spec.info.shortName = name;
  spec.info.menuName = name;
  db::SetEntryMarkupFields(&spec.info);
  spec.wordLengths = true;
  spec.searchIndexes = true;
  for (const CedictRow& r : rows) {
    db::PlainEntry e;
    e.simplified = r.simplified;
    e.traditional = r.traditional;
    e.pinyin = r.pinyin;
    for (const auto& s : r.senses) e.senses.push_back({s, {}});
    db::DictEntrySpec entry;
    std::string error;
    EXPECT_EQ(db::MakeMarkupEntry(e, &entry, &error), 0) << error;
    entry.index.headwords = {r.simplified, r.traditional};
    entry.index.pinyin = db::PinyinNumbersToCodes(r.pinyin);
    entry.index.senses = r.senses;
    spec.entries.push_back(entry);
  }
  return spec;
}

}  // namespace searchfix
