#include "bench/lookup/excerpt_dict.h"

#include <fstream>
#include <vector>

#include "platform/device_paths.h"
#include "tools/databuild/cedict_entry.h"
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
  for (const db::CedictRow& row : db::ReadCedictTsv(in)) {
    db::PlainEntry e;
    e.traditional = row.traditional;
    e.simplified = row.simplified;
    e.pinyin = row.pinyin;
    const std::vector<std::u16string>& senses = row.definitions;
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
