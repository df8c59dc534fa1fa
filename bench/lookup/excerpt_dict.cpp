#include "bench/lookup/excerpt_dict.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/device_paths.h"
#include "tools/databuild/data_file_builder.h"
#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"

namespace lookupbench {

namespace db = databuild;

int WriteExcerptDict(const std::string& tsvPath, const std::string& dataPath, std::string* error) {
  std::ifstream in(tsvPath);
  if (!in) {
    if (error) *error = "cannot read " + tsvPath;
    return 1;
  }
  db::DictionarySpec dict;
  dict.info.creator = 0x43454443;
  dict.info.dictId = 1;
  dict.info.shortName = u"CEDICT";
  dict.info.menuName = u"CC-CEDICT excerpt";
  db::SetEntryMarkupFields(&dict.info);
  dict.wordLengths = true;
  dict.searchIndexes = true;
  std::string line, part;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    while (std::getline(ss, part, '\t')) f.push_back(part);
    if (f.size() < 4) continue;
    db::PlainEntry e;
    e.traditional = Utf8ToUtf16(f[0]);
    e.simplified = Utf8ToUtf16(f[1]);
    e.pinyin = f[2];
    std::vector<std::u16string> senses;
    std::stringstream ds(f[3]);
    while (std::getline(ds, part, '/'))
      if (!part.empty()) senses.push_back(Utf8ToUtf16(part));
    for (const std::u16string& s : senses) e.senses.push_back({s, {}});
    db::DictEntrySpec entry;
    if (db::MakeMarkupEntry(e, &entry, error) != 0) return 1;
    entry.index.headwords = {e.simplified, e.traditional};
    entry.index.pinyin = db::PinyinNumbersToCodes(e.pinyin);
    entry.index.senses = senses;
    dict.entries.push_back(std::move(entry));
  }
  db::DataFileSpec file;
  file.shortName = dict.info.shortName;
  if (db::AddDictionaryTables(dict, &file, error) != 0) return 1;
  return db::WriteDataFile(file, dataPath, error);
}

}  // namespace lookupbench
