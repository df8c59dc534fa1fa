// Writes a seed corpus for fuzz_firstgen: pairs of a dictionary and a user
// data file from tools/firstgen, as containers and as bundles, covering
// every table form the writer knows. Usage: fuzz_firstgen_seeds DIR
#include <cstdio>
#include <string>
#include <vector>

#include "tools/firstgen/fixtures.h"

using namespace firstgen;

namespace {

Bytes Frame(const DatabaseSpec& spec, bool bundle) {
  std::vector<Bytes> records;
  DatabaseLayout layout;
  std::string error;
  if (!BuildDatabaseRecords(spec, &records, &layout, &error)) return {};
  return bundle ? WriteBundle(records) : WriteContainer(records);
}

bool WriteSeed(const std::string& dir, int n, const Bytes& a, const Bytes& b) {
  Bytes seed;
  AppendLe(&seed, 4, static_cast<uint32_t>(a.size()));
  seed.insert(seed.end(), a.begin(), a.end());
  seed.insert(seed.end(), b.begin(), b.end());
  std::string error;
  return WriteFile(dir + "/seed-" + std::to_string(n), seed, &error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_firstgen_seeds DIR\n");
    return 2;
  }
  std::vector<CedictRow> rows;
  std::string error;
  if (!LoadCedictRows(SORVI_CEDICT_EXCERPT, &rows, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::vector<CedictRow> few(rows.begin(), rows.begin() + 10);
  UserFileSpec user = SampleUserFile(rows);
  for (auto& list : user.lists) {
    for (auto& card : list.cards) {
      // Point the sample's cards into the small dictionaries of the seeds.
      if (card.dictionaryId != kCedictId) continue;
      const uint32_t odd = (card.entryNumber - CedictEntryNumber(0)) % 2;
      card.entryNumber = CedictEntryNumber(((card.entryNumber - CedictEntryNumber(0)) / 2) % 10) + odd;
    }
  }
  std::vector<DatabaseSpec> dicts = {ChineseEnglishDictionary(few), UserDictionary(few), NoDefinitionsDictionary(few)};
  // Other table forms: fixed rows without an index, several sub-tables, 16-bit keys with packed index.
  {
    DatabaseSpec d = ChineseEnglishDictionary(few);
    d.tables[1].flags = kTextRows | kNoIndex | kEntryTable;
    d.tables[1].rowsPerBlock = 3;
    dicts.push_back(d);
    DatabaseSpec s = UserDictionary(few);
    s.tables[0].subTables = {s.tables[0].subTables[0], s.tables[0].subTables[0]};
    s.tables[0].flags = kTextRows | kKeys16 | kIndexExtra | kEntryTable;
    s.tables[0].huffman = true;
    dicts.push_back(s);
  }
  int n = 0;
  for (size_t d = 0; d < dicts.size(); ++d) {
    for (bool bundle : {false, true}) {
      const Bytes a = Frame(dicts[d], bundle);
      const Bytes b = Frame(UserFile(user), (d % 2 == 0) != bundle);
      if (a.empty() || b.empty() || !WriteSeed(argv[1], n++, a, b)) {
        std::fprintf(stderr, "cannot write seed %d\n", n);
        return 1;
      }
    }
  }
  return 0;
}
